// What the world (scenes, actors, characters) asks of the game session. The session sits above
// the world, so it fills these entries when it starts; an empty entry gives the answer the world
// needs without a session (no hotspot table, every hotspot active, the player free). Main thread only.
#pragma once

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
};

// The program's one table; the session fills it, tests install stand-ins.
st_WorldServices& WorldServices();

}  // namespace quillane
