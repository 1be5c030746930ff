// What the world (scenes, actors, characters) asks of the game session. The session sits above
// the world, so it fills these entries when it starts; an empty entry gives the answer the world
// needs without a session (no hotspot table, every hotspot active, the player free). Main thread only.
#pragma once

#include <vector>

#include "base/math/Vector.h"
#include "base/String.h"

namespace base {
class Variant;
}

namespace quillane {

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

  // Walking characters and their animation channels: obstacles, skipping and dialog scripts.
  // Appends one floor circle (x, z, radius) per stage character other than walker that others
  // avoid (the stage's FindCharacterAt); no obstacles when empty.
  void (*CollectObstacles)(std::vector<base::tVector3<float>>& obstacles, const char* walker) = nullptr;
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
};

// The program's one table; the session fills it, tests install stand-ins.
st_WorldServices& WorldServices();

}  // namespace quillane
