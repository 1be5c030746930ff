// What the world (scenes, actors, characters) asks of the game session. The session sits above
// the world, so it fills these entries when it starts; an empty entry gives the answer the world
// needs without a session (no hotspot table, every hotspot active, the player free). Main thread only.
#pragma once

#include <functional>

#include "base/String.h"

namespace base {
class Variant;
}

namespace quillane {

struct st_GameAction;

struct st_WorldServices {
  // Entries are added by the code that needs them, each with its answer when empty.

  // Scenes: the hotspot table, hotspot states, captions and the player's freedom.
  const base::Variant* (*GetHotspotTable)() = nullptr;      // "scripts/hotspots.xml"; none when empty
  bool (*IsHotspotActive)(const char* label) = nullptr;     // true when empty
  // The caption of a label after hover seconds; special set for the elaborate text. False (text
  // untouched) when empty.
  bool (*GetTooltipText)(const char* label, base::tString<base::BaseUnicodeString>& text, float hover,
                         bool& special) = nullptr;
  bool (*IsPlayerFree)() = nullptr;     // true when empty (no session)
  bool (*IsEditorActive)() = nullptr;   // false when empty

  // Walking characters and their animation channels: skipping and dialog scripts. What a
  // character asks of its own stage (obstacles, gaze targets, the floor) is the stage's
  // (i_StageWorld), handed to the characters it makes.
  bool (*IsSkippingSequence)() = nullptr;  // footsteps are silent while true; false when empty
  // True when the character's dialog script ("Dialogs/" + character + ".lua") defines function;
  // false when empty.
  bool (*CallSceneScript)(const char* character, const char* function) = nullptr;
  // Runs function of the character's dialog script with the arguments; its result (nil when empty).
  base::Variant (*CallHotspotScript)(const char* character, const char* function,
                                     const base::Variant& arguments) = nullptr;
  // True when the script path ("module::function") names a defined function; false when empty.
  bool (*HasScriptFunction)(const char* path) = nullptr;
  // Runs the function a script path names; its result (nil when empty).
  base::Variant (*CallScriptFunctionByPath)(const char* path, const base::Variant& arguments) = nullptr;

  // Characters and their faces: dialogue partners, actions and the timer script.
  bool (*IsDialogActive)() = nullptr;         // true while a dialogue runs; false when empty
  const char* (*GetDialogPartner)() = nullptr;  // the heroine's partner in it; "" when empty
  // An action's name ("speak", "play_animation", ...); "" when empty.
  const char* (*GetActionName)(const st_GameAction* action) = nullptr;
  // Finishes an action, so that the script waiting on it goes on; nothing when empty.
  void (*FinishAction)(st_GameAction* action) = nullptr;
  // Calls "CharacterTimer" of the character's dialog script: false when it has none. Else true,
  // with its result in delay when the call ended; a call that waits (it speaks a line, say) goes
  // on as a thread of its own, and *ended is set to what tells its end: false while it runs,
  // then true with the call's result in delay. No timer function when empty. Asked through the
  // session's stage only.
  bool (*CallCharacterTimer)(const char* character, float& delay, std::function<bool(float& delay)>* ended) = nullptr;
};

// The program's one table; the session fills it, tests install stand-ins.
st_WorldServices& WorldServices();

}  // namespace quillane
