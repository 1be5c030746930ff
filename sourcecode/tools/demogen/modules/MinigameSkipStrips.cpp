// The skip ("panic") button of the seven mini-games: a two-frame strip per game folder, frame 0
// at rest and frame 1 pressed. A strip's frames are placed by their visible pixels, relative to
// the corner of the 1024-wide layout that each game draws from, so the pictures are transparent
// around the button and only as large as the button's far corner needs.
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"
#include "core/TextPainter.h"

namespace demogen {

namespace {

const char* const kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr uint32_t kPlate = 0xFF5A2A20u, kPressed = 0xFF3A1A14u, kRim = 0xFFDCA459u, kText = 0xFFF4E8D0u;

// ORDER GAMES: the game folders under gui/minigames/, as the registry names their data files,
// each with its button in layout pixels. Floor lights keeps its art in the folder of its level
// file ("floorlights"): one folder on disk serves the games' two spellings, where a second one
// differing in case would hide the first. Sabotage draws its button from the pipe grid's corner,
// which the first view shows at x 874 of a 1024-wide window: a narrow button there stays clear of
// the 50-pixel band at the window's edge that scrolls the view. The dance's button stands at the
// stage's lower left, clear of the score bar along its top and of the notes' lanes.
struct st_Button {
  const char* folder;
  int left, top, right, bottom;
  int textSize;
};
constexpr st_Button kButtons[] = {
    {"traintravel", 24, 40, 184, 80, 20}, {"wiretap", 24, 40, 184, 80, 20}, {"decoder", 24, 40, 184, 80, 20},
    {"bookshelf", 24, 40, 184, 80, 20},   {"dance", 24, 580, 184, 620, 20}, {"sabotage", 10, 40, 90, 80, 13},
    {"floorlights", 24, 40, 184, 80, 20},
};

base::cl_Bitmap32 SkipButton(const st_Button& b, bool pressed) {
  base::cl_Bitmap32 image;
  image.Create(b.right + 8, b.bottom + 16);  // transparent black
  cl_Painter paint(image);
  const int sink = pressed ? 2 : 0;
  paint.Rect(b.left, b.top, b.right, b.bottom, kRim);
  paint.Rect(b.left + 2, b.top + 2, b.right - 2, b.bottom - 2, pressed ? kPressed : kPlate);
  paint.Rect(b.left + 2, b.top + 2, b.right - 2, b.top + 4, Mix(pressed ? kPressed : kPlate, 0xFFFFFFFFu, 0.25f));
  const cl_TextPainter sans(kSans, b.textSize);
  if (!sans.IsOpen()) return image;
  const char* text = "Skip >>";
  const int x = (b.left + b.right - sans.Width(text)) / 2 + sink;
  const int baseline = (b.top + b.bottom - sans.LineHeight()) / 2 + sans.Ascent() + sink;
  sans.Draw(image, x, baseline, text, kText);
  return image;
}

}  // namespace

bool MakeMinigameSkipStrips(cl_Output& out) {
  bool ok = true;
  for (const st_Button& button : kButtons) {
    const std::string folder = std::string("gui/minigames/") + button.folder + "/texturestrips/panicbutton/";
    ok = ok && out.WriteTga(folder + "panicbutton_0.tga", SkipButton(button, false), true);
    ok = ok && out.WriteTga(folder + "panicbutton_1.tga", SkipButton(button, true), true);
  }
  return ok;
}

}  // namespace demogen
