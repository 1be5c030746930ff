// The editor's scene list, "scenes/scenes.xml": a root "Scenes" with one child "Scene" {label}
// per scene the editor knows, sorted by label (byte-wise), rewritten after every change. The list
// names scenes only; each scene's data lives in its folder "Scenes/<label>/". These are the list's
// operations; the scene manager panel shows them and the editor owns the list.
#pragma once

#include "base/data/Xml.h"

namespace base {
class Variant;
}

namespace quillane {

// The list file into out. READ_MISSING (out untouched, quiet) when there is none; READ_FAILED
// (out untouched, "ERROR: <file>: <cause>" logged) when what stands there cannot be read as the
// list. A scene whose label would leave the scenes folder ("/", "\", ".", "..", empty) is dropped with
// an ERROR line naming the file and the label.
base::xml::en_OptionalRead ReadSceneList(base::Variant& out, const char* file);
// Writes the list through a temporary file renamed into place, after clearing the file's write
// protection and making its folder when it is missing. False (logged, the old file kept) when it
// cannot be written.
bool WriteSceneList(const base::Variant& list, const char* file);

// out := element "List" with one "String" {label, value} per scene of the list, in list order.
void FillSceneEntries(const base::Variant& list, base::Variant& out);
// out := element "List" with one "String" {label, value} per folder of a ListDirectory listing
// that can be a scene's name (base::PlainNameProblem, as OpenScene asks) and is not listed yet;
// files are never offered.
void FillNewSceneEntries(const base::Variant& folders, const base::Variant& list, base::Variant& out);

// Appends "Scene" {label = name} and sorts the list. False, adding nothing, for an empty name.
bool AddScene(base::Variant& list, const char* name);
// Removes every scene whose label is label.
void RemoveScene(base::Variant& list, const char* label);
// Sorts the scenes ascending by label, byte-wise; a child without a label stays where it is and
// the scenes on either side of it are sorted apart.
void SortSceneList(base::Variant& list);

}  // namespace quillane
