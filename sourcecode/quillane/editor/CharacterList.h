// The actor list file "characters/characters.xml" as the character viewer edits it: writing it
// crash-safe, and turning a material script into the "Material" and "Texture" elements of a
// character. Parsers here take bytes, so hostile files and the fuzzers reach the same code.
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"

namespace quillane {

class cl_ActorRegistry;

// Clears the file's write protection and writes tree through a temporary file: the old file stays
// when writing fails (one "ERROR: ..." line naming the file). True when written.
bool WriteCharacterList(const base::Variant& tree);

// Removes every entry labelled label from the list file and makes the registry read the list
// again. False, changing nothing, when the list cannot be read or written.
bool RemoveFromCharacterList(cl_ActorRegistry& registry, const char* label);

// The material script text (size bytes, any content) into character: its "Mesh" children
// "Material" and its "Texture" children are replaced by those the script names; texture files
// become folder + "/" + name. Lines are read whole, whatever their length; the last line counts
// also without a line break.
void ImportMaterialScriptText(base::Variant& character, const char* text, int size,
                              const base::tString<base::BaseString>& folder);

}  // namespace quillane
