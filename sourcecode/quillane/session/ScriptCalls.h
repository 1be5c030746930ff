// Script calls by composed name: a scene's script ("Scenes/<scene>.lua"), a dialogue partner's
// ("Dialogs/<name>.lua") and function paths ("module::function"), and the scene trigger a click on
// a scene object runs. A call that cannot be made yields nil. Main thread only.
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"

namespace quillane {

// "Dialogs/" + name + ".lua" into path. False (path empty) for a name that would lead out of that
// folder (a folder separator, "..", dots only: a damaged savegame's or scene's), which has no
// dialogue script.
bool GetDialogScriptPath(const base::String& name, base::String& path);

bool HasDialogScriptFunction(const base::String& dialog, const base::String& function);
base::Variant CallDialogScriptFunction(const base::String& dialog, const base::String& function);
base::Variant CallSceneScriptFunction(const base::String& scene, const base::String& function);
bool HasScriptFunction(const base::String& path);
base::Variant CallScriptFunctionByPath(const base::String& path);
// Compiles anew the scripts written since they were compiled, so that a game started or loaded
// runs what the files say now (a modder edits them while the program runs); logs how many.
void ReadChangedScripts();
// Runs "OnTrigger_" + name of the current scene's script as the scene-script sequence; false
// (logged) when the script has none.
bool RunTrigger(const base::String& name);

}  // namespace quillane
