// The editor's table and the entries that forward to it.
#include "quillane/core/EditorServices.h"

st_EditorServices& EditorServices() {
  static st_EditorServices services;
  return services;
}

base::cl_Module* CreateEditorModule() { return EditorServices().CreateEditor ? EditorServices().CreateEditor() : nullptr; }

bool HandleEditorToggleKeys(base::ICMD& cmd) {
  return EditorServices().HandleToggleKeys && EditorServices().HandleToggleKeys(cmd);
}
