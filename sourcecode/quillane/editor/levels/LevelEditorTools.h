// What the train-travel and dance level editors share: opening the editor's name, file and
// question dialogs, the file listing for the file browser, and the check of file names typed by
// the user. Main thread only.
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"

namespace base {
class cl_Window;
}

namespace quillane {

// An element "List" with one "String" {"value", "label" = file name} per file of folder matching
// pattern (not recursive), in listing order.
void ListLevelFiles(base::Variant& out, const char* folder, const char* pattern);

// Opens the name dialog modally over listener's GUI at (x, y); false when listener has no GUI or
// the dialog cannot be made.
bool OpenNameDialog(base::cl_Window* listener, const char* answer, const char* text, float x, float y);
// Opens the file browser modally in mode, listing folder with pattern; with previewPath the list
// carries "path" for the previews. False when listener has no GUI or the dialog cannot be made.
bool OpenFileBrowser(base::cl_Window* listener, const char* mode, const char* folder, const char* pattern,
                     const char* previewPath);

// Asks a Yes/No question modally over listener's GUI; the answer arrives as the element title with
// "ctrl_label" "button0" (Yes) or "button1" (No). False when listener has no GUI or the box
// cannot be made.
bool OpenQuestion(base::cl_Window* listener, const char* title, const char* text);

// A typed name used inside a level folder: false (and an "ERROR:" line naming what) for an empty
// name, one with "/" or "\", and "." or "..": they would leave the folder or name none.
bool IsPlainFileName(const char* name, const char* what);

}  // namespace quillane
