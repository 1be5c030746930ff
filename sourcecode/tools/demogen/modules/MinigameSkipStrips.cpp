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
// ORDER GAMES: the game folders under gui/minigames/, as the registry names their data files.
// Floor lights keeps its art in the folder of its level file ("floorlights"): one folder on disk
// serves the games' two spellings, where a second one differing in case would hide the first.
const char* const kGameFolders[] = {"traintravel", "wiretap", "decoder", "bookshelf", "dance", "sabotage",
                                    "floorlights"};
constexpr int kLeft = 24, kTop = 40, kRight = 184, kBottom = 80;  // the button in layout pixels
constexpr uint32_t kPlate = 0xFF5A2A20u, kPressed = 0xFF3A1A14u, kRim = 0xFFDCA459u, kText = 0xFFF4E8D0u;

base::cl_Bitmap32 SkipButton(bool pressed) {
  base::cl_Bitmap32 image;
  image.Create(kRight + 8, kBottom + 16);  // transparent black
  cl_Painter paint(image);
  const int sink = pressed ? 2 : 0;
  paint.Rect(kLeft, kTop, kRight, kBottom, kRim);
  paint.Rect(kLeft + 2, kTop + 2, kRight - 2, kBottom - 2, pressed ? kPressed : kPlate);
  paint.Rect(kLeft + 2, kTop + 2, kRight - 2, kTop + 4, Mix(pressed ? kPressed : kPlate, 0xFFFFFFFFu, 0.25f));
  const cl_TextPainter sans(kSans, 20);
  if (!sans.IsOpen()) return image;
  const char* text = "Skip >>";
  const int x = (kLeft + kRight - sans.Width(text)) / 2 + sink;
  const int baseline = (kTop + kBottom - sans.LineHeight()) / 2 + sans.Ascent() + sink;
  sans.Draw(image, x, baseline, text, kText);
  return image;
}

}  // namespace

bool MakeMinigameSkipStrips(cl_Output& out) {
  const base::cl_Bitmap32 rest = SkipButton(false), pressed = SkipButton(true);
  bool ok = true;
  for (const char* game : kGameFolders) {
    const std::string folder = std::string("gui/minigames/") + game + "/texturestrips/panicbutton/";
    ok = ok && out.WriteTga(folder + "panicbutton_0.tga", rest, true);
    ok = ok && out.WriteTga(folder + "panicbutton_1.tga", pressed, true);
  }
  return ok;
}

}  // namespace demogen
