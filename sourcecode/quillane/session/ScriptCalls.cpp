// Script calls by composed name, and the scene trigger.
#include "quillane/session/ScriptCalls.h"

#include "KRX/ScriptLoader.h"
#include "base/FileTools.h"
#include "base/system.h"
#include "quillane/savegame/SaveSlots.h"
#include "quillane/scene/Scene.h"
#include "quillane/script/GameThread.h"
#include "quillane/session/Session.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {
namespace {

base::String SceneScriptPath(const base::String& scene) {
  base::String path("Scenes/");
  path += scene.c_str();
  path += ".lua";
  return path;
}

// "module::function" split at its first "::"; false when there is none or it opens the path.
bool SplitFunctionPath(const base::String& path, base::String& module, base::String& function) {
  const int pos = path.find("::");
  if (pos < 1) return false;
  module = path.left(pos);
  function = path.mid(pos + 2);
  return true;
}

}  // namespace

bool GetDialogScriptPath(const base::String& name, base::String& path) {
  path.clear();
  // An empty name is the nameless script "Dialogs/.lua", still inside the folder.
  if (!name.empty() && base::PlainNameProblem(name.c_str())) return false;
  path = "Dialogs/";
  path += name.c_str();
  path += ".lua";
  return true;
}

bool HasDialogScriptFunction(const base::String& dialog, const base::String& function) {
  base::String path;
  return GetDialogScriptPath(dialog, path) && KRX::Require(path.c_str(), false) &&
         KRX::HasFunction(path.c_str(), function.c_str());
}

base::Variant CallDialogScriptFunction(const base::String& dialog, const base::String& function) {
  base::String path;
  // A missing script is reported here, once; starting it would only report it again.
  if (!GetDialogScriptPath(dialog, path) || !KRX::Require(path.c_str(), true)) return {};
  return GameThread::Start(path.c_str(), function.c_str(), base::Variant());
}

base::Variant CallSceneScriptFunction(const base::String& scene, const base::String& function) {
  const base::String path = SceneScriptPath(scene);
  if (!KRX::Require(path.c_str(), true)) return {};
  return GameThread::Start(path.c_str(), function.c_str(), base::Variant());
}

bool HasScriptFunction(const base::String& path) {
  base::String module, function;
  if (!SplitFunctionPath(path, module, function)) return false;
  return KRX::Require(module.c_str(), false) && KRX::HasFunction(module.c_str(), function.c_str());
}

base::Variant CallScriptFunctionByPath(const base::String& path) {
  base::String module, function;
  if (!SplitFunctionPath(path, module, function) || !KRX::Require(module.c_str(), false)) return {};
  return GameThread::Start(module.c_str(), function.c_str(), base::Variant());
}

void ReadChangedScripts() {
  if (const int count = KRX::ReloadChangedModules(); count > 0)
    base::sys::Output("Scripts: %d changed script file%s read anew\n", count, count == 1 ? "" : "s");
}

bool RunTrigger(const base::String& name) {
  cl_Session* session = GetSession();
  cl_Scene* scene = session ? session->GetScene() : nullptr;
  if (!scene) return false;
  // Before the look-up: a click on an object without a trigger saves too.
  if (AutoSave_OnUserAction) WriteAutoSave(session);
  base::String function("OnTrigger_");
  function += name.c_str();
  if (KRX::HasFunction(scene->GetScriptPath().c_str(), function.c_str())) {
    session->CallSceneScript(scene->GetName(), function, base::Variant());
    return true;
  }
  base::sys::Output("No trigger for %s in scene %s.\n", name.c_str(), scene->GetName().c_str());
  return false;
}

}  // namespace quillane
