// What the world (scenes, actors, characters) asks of the game session. The session sits above
// the world, so it fills these entries when it starts; an empty entry gives the answer the world
// needs without a session (no hotspot table, nothing active, the player free). Main thread only.
#pragma once

namespace quillane {

struct st_WorldServices {
  // Entries are added by the code that needs them, each with its answer when empty.
};

// The program's one table; the session fills it, tests install stand-ins.
st_WorldServices& WorldServices();

}  // namespace quillane
