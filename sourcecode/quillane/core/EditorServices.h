// What the frame, the session and the level editors ask of the editor, which stands above them:
// the module the frame enters as its state "Editor", the display toggle keys the session offers
// every command it does not use itself, and the name and file dialogs of the level editors. The editor fills the table at program start (InstallEditorServices in the
// editor area); an empty entry gives the answer stated here. Main thread only.
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"

namespace base {
class cl_Module;
class cl_Window;
struct ICMD;
}  // namespace base

struct st_EditorServices {
  base::cl_Module* (*CreateEditor)() = nullptr;       // a new editor module; none when empty
  bool (*HandleToggleKeys)(base::ICMD& cmd) = nullptr;  // true when a key was used; false when empty
  // A new name dialog (not yet in a GUI): on "Ok" it sends answer with "label" = the typed text.
  base::cl_Window* (*CreateNameDialog)(base::cl_Window* listener, base::Variant answer,
                                       base::tString<base::BaseString> text) = nullptr;
  // A new file browser in mode (not yet in a GUI); the caller fills its list "FileNames".
  base::cl_Window* (*CreateFileBrowser)(base::cl_Window* listener, base::tString<base::BaseString> mode,
                                        base::Variant options) = nullptr;
  // A new question box (not yet in a GUI): the pressed button reaches listener as the element
  // title {"ctrl_label" = "button0" (yes) or "button1" (no)}.
  base::cl_Window* (*CreateQuestionBox)(base::cl_Window* listener, base::tString<base::BaseString> title,
                                        base::tString<base::BaseString> text) = nullptr;
};

// The program's one table; the editor fills it, tests install stand-ins.
st_EditorServices& EditorServices();

// A new editor module (the caller owns it); null when the program has no editor.
base::cl_Module* CreateEditorModule();
// The editor's toggle keys (H, N, L, B); false when the program has no editor.
bool HandleEditorToggleKeys(base::ICMD& cmd);
