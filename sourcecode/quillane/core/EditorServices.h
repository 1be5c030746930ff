// What the frame and the session ask of the editor, which stands above them: the module the frame
// enters as its state "Editor" and the display toggle keys the session offers every command it
// does not use itself. The editor fills the table at program start (InstallEditorServices in the
// editor area); an empty entry gives the answer stated here. Main thread only.
#pragma once

namespace base {
class cl_Module;
struct ICMD;
}  // namespace base

struct st_EditorServices {
  base::cl_Module* (*CreateEditor)() = nullptr;       // a new editor module; none when empty
  bool (*HandleToggleKeys)(base::ICMD& cmd) = nullptr;  // true when a key was used; false when empty
};

// The program's one table; the editor fills it, tests install stand-ins.
st_EditorServices& EditorServices();

// A new editor module (the caller owns it); null when the program has no editor.
base::cl_Module* CreateEditorModule();
// The editor's toggle keys (H, N, L, B); false when the program has no editor.
bool HandleEditorToggleKeys(base::ICMD& cmd);
