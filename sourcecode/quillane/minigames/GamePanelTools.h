// What the mini-game panels share beyond the base panel: pictures compiled at their own size, the
// mouse cursor by label, the games' sounds (on "PLAYER" unless told), the exit zones at the
// window's edges with their hint, and the time-graded "Skill" bonus. Main thread only.
#pragma once

namespace gfx {
class cl_Image;
}

namespace quillane {

// The exit zones: 0 none, 1 the left edge, 2 the right edge.
enum en_EdgeZone : int { EDGE_NONE = 0, EDGE_LEFT = 1, EDGE_RIGHT = 2 };

// The picture as an image of its own size: the loader pads pictures to powers of two, and
// layouts that centre a picture need the size it was painted at. A missing or unreadable file
// gives an empty image and false.
bool CompileImageOwnSize(gfx::cl_Image& image, const char* file);

// The cursor picture of that label (a texture); nothing when it does not exist.
void SetGameCursor(const char* label);
// The label of the cursor SetGameCursor last put up; empty before the first.
const char* GetGameCursor();
// A sample on channel, kept off the effect list; its length in seconds (0 when nothing plays).
float PlayGameSound(const char* file, const char* name, float volume, const char* channel = "PLAYER");

// The zone of a mouse x: left when x + 32 < 50, right when x > window width − 50.
int EdgeZoneAt(int mouseX);
// "#gui_x0_324 Exit" in the font "tooltip" beside the edge of the zone; nothing for EDGE_NONE.
void DrawExitHint(int edge);

// The mission state name raised by amount (capped by "Max" + name); a missing value counts as 0.
void RaiseMissionValue(const char* name, int amount);
// The mission state "Skill" raised by bonus (capped by "MaxSkill").
void RaiseSkill(int bonus);

}  // namespace quillane
