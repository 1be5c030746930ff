// The savegame's XML side file: the saved game-state tree as text beside the savegame (same path,
// extension "xml"), for reading and editing a save by hand; a load can merge it back in.
#pragma once

#include "base/String.h"

namespace base {
class Variant;
}

namespace quillane {

// path with its extension replaced by "xml".
base::String SavegameSideFileName(const char* path);
// The tree as XML to the side file of path, through the crash-safe file. False (logged) when
// it could not be written; the savegame itself does not depend on it.
bool WriteSavegameXml(const char* path, const base::Variant& gameState);
// Merges the side file of path, when it reads as XML, into gameState. False when there is none
// or it is malformed (the reader logs why); gameState is then unchanged.
bool MergeSavegameXml(const char* path, base::Variant& gameState);

}  // namespace quillane
