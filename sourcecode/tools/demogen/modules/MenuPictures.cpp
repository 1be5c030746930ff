// The menus' pictures: the small menu logo, the button plates of the main and in-game menus, the
// menu buttons in their four states, the message box's captioned buttons in three states and the
// game slider's scroll-bar pieces. Sizes are powers of two where the code lays out by them, as
// pictures are padded to powers of two when loaded.
#include <algorithm>
#include <cmath>
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"
#include "core/TextPainter.h"

namespace demogen {

namespace {

const char* const kCaptionFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

base::cl_Bitmap32 Canvas(int w, int h) {
  base::cl_Bitmap32 image;
  image.Create(w, h);  // transparent black
  return image;
}

// A plate with a lighter rim: the background of a button column. Only the top plateHeight rows
// are painted; the rest stays transparent.
base::cl_Bitmap32 Plate(int w, int h, int plateHeight, uint32_t top, uint32_t bottom) {
  base::cl_Bitmap32 image = Canvas(w, h);
  cl_Painter paint(image);
  for (int y = 0; y < plateHeight; ++y)
    paint.Rect(0, y, w, y + 1, Mix(top, bottom, static_cast<float>(y) / plateHeight));
  paint.Rect(0, 0, w, 2, 0xFFC8A86Au);
  paint.Rect(0, plateHeight - 2, w, plateHeight, 0xFFC8A86Au);
  paint.Rect(0, 0, 2, plateHeight, 0xFFC8A86Au);
  paint.Rect(w - 2, 0, w, plateHeight, 0xFFC8A86Au);
  return image;
}

// A bevelled bar in face colour: light upper and left edge, dark lower and right edge.
base::cl_Bitmap32 Bar(int w, int h, uint32_t face, uint32_t light, uint32_t dark) {
  base::cl_Bitmap32 image = Canvas(w, h);
  cl_Painter paint(image);
  for (int y = 0; y < h; ++y) paint.Rect(0, y, w, y + 1, Mix(light, face, std::min(1.0f, y * 2.5f / h)));
  paint.Rect(0, 0, w, 1, light);
  paint.Rect(0, 0, 1, h, light);
  paint.Rect(0, h - 1, w, h, dark);
  paint.Rect(w - 1, 0, w, h, dark);
  return image;
}

base::cl_Bitmap32 MenuLogo() {
  base::cl_Bitmap32 image = Canvas(128, 128);
  cl_Painter paint(image);
  paint.Disc(64, 64, 60, 0xC0101C30u);
  paint.Ring(64, 64, 57, 4, 0xFFE8D9A8u);
  paint.Disc(58, 52, 26, 0xFFF4E6B8u);
  paint.Disc(70, 44, 23, 0xC0101C30u);
  for (float x = 26; x <= 102; x += 0.25f) paint.Disc(x, 92 + std::sin((x - 64) * 0.2f) * 3.0f, 1.6f, 0xFF7FB7D8u);
  return image;
}

// Writes caption centred on image in colour; false when the face is missing.
bool Caption(base::cl_Bitmap32& image, const char* caption, uint32_t colour) {
  const cl_TextPainter text(kCaptionFace, 16);
  if (!text.IsOpen()) return false;
  const int baseline = (image.Height() - text.LineHeight()) / 2 + text.Ascent();
  text.Draw(image, (image.Width() - text.Width(caption)) / 2, baseline, caption, colour);
  return true;
}

struct st_State {
  const char* suffix;
  uint32_t face, light, dark, text;
};

constexpr st_State kStates[] = {
    {"default", 0xFF2C3E5Au, 0xFF6A84A8u, 0xFF10182Au, 0xFFF0F0C8u},
    {"highlight", 0xFF44608Au, 0xFF9AB4D8u, 0xFF1A2840u, 0xFFFFFFF0u},
    {"pressed", 0xFF1C2A40u, 0xFF10182Au, 0xFF6A84A8u, 0xFFFFFFFFu},
    {"disabled", 0xFF3A3A3Au, 0xFF5A5A5Au, 0xFF202020u, 0xFF969696u},
};

}  // namespace

bool MakeMenuPictures(cl_Output& out) {
  bool ok = out.WriteTga("gui/menu/menu_logo.tga", MenuLogo(), true);
  // The main menu is as tall as its plate: the version line goes right under it, and the menu is
  // centred by it, with the logo over its top (on an 800 x 600 window too).
  ok = ok && out.WriteTga("gui/menu/buttons_bg_main.tga", Plate(256, 380, 380, 0xFF182438u, 0xFF0A1220u), true);
  ok = ok && out.WriteTga("gui/menu/buttons_bg_ingame.tga", Plate(256, 512, 380, 0xFF241C30u, 0xFF100A18u), true);
  for (const st_State& s : kStates) {
    ok = ok && out.WriteTga(std::string("gui/menu/menubutton_") + s.suffix + ".tga", Bar(160, 25, s.face, s.light, s.dark),
                            true);
  }
  // The message box's buttons carry their caption in the picture: the box draws no text on them.
  // "Clear" stands right of the name box's edit field, where the box leaves it about 115 pixels; a
  // box that only tells something is closed with "OK".
  const struct {
    const char* name;
    const char* caption;
    int width;
  } kBoxButtons[] = {{"mb_yes", "Yes", 128}, {"mb_ok", "OK", 128}, {"mb_no", "No", 128}, {"mb_clear", "Clear", 100}};
  for (const auto& button : kBoxButtons) {
    for (int i = 0; i < 3; ++i) {
      const st_State& s = kStates[i];
      base::cl_Bitmap32 image = Bar(button.width, 32, s.face, s.light, s.dark);
      ok = ok && Caption(image, button.caption, s.text) &&
           out.WriteTga(std::string("gui/menu/") + button.name + "_" + s.suffix + ".tga", image, true);
    }
  }
  base::cl_Bitmap32 cap = Bar(14, 3, 0xFFB89858u, 0xFFE8D0A0u, 0xFF5A4420u);
  ok = ok && out.WriteTga("gui/menu/scrollbar_01.tga", cap, true) && out.WriteTga("gui/menu/scrollbar_03.tga", cap, true);
  ok = ok && out.WriteTga("gui/menu/scrollbar_02.tga", Bar(16, 16, 0xFFB89858u, 0xFFE8D0A0u, 0xFF5A4420u), true);
  return ok;
}

}  // namespace demogen
