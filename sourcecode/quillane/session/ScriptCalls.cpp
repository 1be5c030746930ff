#include "quillane/session/ScriptCalls.h"

namespace quillane {

base::String GetDialogScriptPath(const base::String& name) {
  base::String path("Dialogs/");
  path += name.c_str();
  path += ".lua";
  return path;
}

bool HasDialogScriptFunction(const base::String&, const base::String&) { return false; }
base::Variant CallDialogScriptFunction(const base::String&, const base::String&) { return {}; }
base::Variant CallSceneScriptFunction(const base::String&, const base::String&) { return {}; }
bool HasScriptFunction(const base::String&) { return false; }
base::Variant CallScriptFunctionByPath(const base::String&) { return {}; }
bool RunTrigger(const base::String&) { return false; }

}  // namespace quillane
