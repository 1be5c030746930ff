// What the Bookshelf and Decoder panels share beyond the base panel: building their compiled
// data file's records from the source pictures, checking a read data file, the mouse cursor by
// label, the games' sounds on the "PLAYER" channel, the exit zones at the window's edges with
// their hint, and the time-graded "Skill" bonus. Main thread only.
#pragma once

namespace base {
class File;
}
namespace gfx {
class cl_Image;
class cl_Texture;
}  // namespace gfx

namespace quillane {

// The exit zones: 0 none, 1 the left edge, 2 the right edge.
enum en_EdgeZone : int { EDGE_NONE = 0, EDGE_LEFT = 1, EDGE_RIGHT = 2 };

// The picture as an image of its own size (the loader's power-of-two padding cut away). A
// missing or unreadable file gives an empty image and false.
bool CompileGameImage(gfx::cl_Image& image, const char* file);
// The picture as an A8R8G8B8 texture with its pivot in the middle; false when it cannot load.
bool CompileGameTexture(gfx::cl_Texture& texture, const char* file);
// After a data file's records were read: false, with one "ERROR:" line naming the file and the
// game, when a record was damaged or bytes are left over.
bool CheckDataFileRead(base::File& file, const char* game);

// The cursor picture of that label (a texture); nothing when it does not exist.
void SetGameCursor(const char* label);
// A sample on "PLAYER", kept off the effect list; its length in seconds (0 when nothing plays).
float PlayGameSound(const char* file, const char* name, float volume);

// The zone of a mouse x: left when x + 32 < 50, right when x > window width − 50.
int EdgeZoneAt(int mouseX);
// "#gui_x0_324 Exit" in the font "tooltip" beside the edge of the zone; nothing for EDGE_NONE.
void DrawExitHint(int edge);

// The mission state "Skill" raised by bonus (capped by "MaxSkill").
void RaiseSkill(int bonus);

}  // namespace quillane
