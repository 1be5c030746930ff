// What the world (scenes, actors, characters) asks of the game session. The session sits above
// the world, so it fills these entries when it starts; an empty entry gives the answer the world
// needs without a session (no hotspot table, every hotspot active, the player free). Main thread only.
#pragma once

#include <vector>

#include "base/data/Variant.h"
#include "base/math/Vector.h"
#include "base/String.h"

namespace quillane {

class i_FaceOwner;
class i_NavMesh;
struct st_GameAction;

struct st_WorldServices {
  // Entries are added by the code that needs them, each with its answer when empty.

  // ---- walking characters and their animation channels (actor/MovementCtrl, actor/AnimChannel)
  // Appends one floor circle (x, z, radius) per stage character other than walker that others
  // avoid (the stage's FindCharacterAt). Empty: no obstacles.
  void (*CollectObstacles)(std::vector<base::tVector3<float>>& obstacles, const char* walker) =
      [](std::vector<base::tVector3<float>>&, const char*) {};
  // True while the session skips a sequence (footsteps are then silent). Empty: false.
  bool (*IsSkippingSequence)() = []() { return false; };
  // True when the character's dialog script ("Dialogs/" + character + ".lua") defines function.
  // Empty: no function.
  bool (*CallSceneScript)(const char* character, const char* function) = [](const char*, const char*) {
    return false;
  };
  // Runs function of the character's dialog script with the arguments; its result. Empty: nil.
  base::Variant (*CallHotspotScript)(const char* character, const char* function, const base::Variant& arguments) =
      [](const char*, const char*, const base::Variant&) { return base::Variant(); };
  // True when the script path ("module::function") names a defined function. Empty: false.
  bool (*HasScriptFunction)(const char* path) = [](const char*) { return false; };
  // Runs the function a script path names; its result. Empty: nil.
  base::Variant (*CallScriptFunctionByPath)(const char* path, const base::Variant& arguments) =
      [](const char*, const base::Variant&) { return base::Variant(); };

  // ---- the faces of the stage's characters (character/GazeCtrl, character/FacialCtrl)
  // True while a stage is shown. Empty: false.
  bool (*HasStage)() = []() { return false; };
  // The stage's characters in list order. Empty: none.
  void (*GetStageCharacters)(std::vector<i_FaceOwner*>& characters) = [](std::vector<i_FaceOwner*>&) {};
  // The stage character of that name, or null. Empty: null.
  i_FaceOwner* (*GetCharacter)(const char* name) = [](const char*) -> i_FaceOwner* { return nullptr; };
  // True while a dialogue runs. Empty: false.
  bool (*IsDialogActive)() = []() { return false; };
  // The name of the character the heroine talks with ("" for none). Empty: "".
  const char* (*GetDialogPartner)() = []() { return ""; };

  // ---- stage characters (character/Character)
  // The first nav mesh of the current scene holding position, or null. Empty: null (no scene).
  i_NavMesh* (*FindNavMeshAt)(const base::tVector3<float>& position) = [](const base::tVector3<float>&) -> i_NavMesh* {
    return nullptr;
  };
  // The stage's obstacle radius of a character. Empty: 40.0.
  float (*GetAvoidanceRadius)() = []() { return 40.0f; };
  // An action's name ("speak", "play_animation", ...). Empty: "".
  const char* (*GetActionName)(const st_GameAction* action) = [](const st_GameAction*) { return ""; };
  // Finishes an action, so that the script waiting on it goes on. Empty: nothing.
  void (*FinishAction)(st_GameAction* action) = [](st_GameAction*) {};
  // Calls "CharacterTimer" of the character's dialog script; false when it has none, else true
  // with its result in delay. Empty: no timer function.
  bool (*CallCharacterTimer)(const char* character, float& delay) = [](const char*, float&) { return false; };

  // Scenes: the hotspot table, hotspot states, captions and the player's freedom.
  const base::Variant* (*GetHotspotTable)() = nullptr;      // "scripts/hotspots.xml"; none when empty
  bool (*IsHotspotActive)(const char* label) = nullptr;     // true when empty
  // The caption of a label after hover seconds; special set for the elaborate text. False (text
  // untouched) when empty.
  bool (*GetTooltipText)(const char* label, base::tString<base::BaseUnicodeString>& text, float hover,
                         bool& special) = nullptr;
  bool (*IsPlayerFree)() = nullptr;     // true when empty (no session)
  bool (*IsEditorActive)() = nullptr;   // false when empty
};

// The program's one table; the session fills it, tests install stand-ins.
st_WorldServices& WorldServices();

}  // namespace quillane
