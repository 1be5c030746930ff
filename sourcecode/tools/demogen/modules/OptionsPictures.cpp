// The options panel's pictures: the slider track (two caps and a stretched middle) and handle,
// the check box and its check mark, and the tab header (two caps and a stretched middle); each
// also greyed as "_disabled". Sizes are powers of two, as pictures are padded to them when loaded.
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"

namespace demogen {

namespace {

struct st_Tone {
  const char* suffix;
  uint32_t face, rim, mark;
};

constexpr st_Tone kTones[] = {
    {"", 0xFF2A3A58u, 0xFFC8A86Au, 0xFFF4E6B8u},
    {"_disabled", 0xFF3A3A3Au, 0xFF6A6A6Au, 0xFF9A9A9Au},
};

// A w x h piece in the face colour with a rim along the given sides.
base::cl_Bitmap32 Piece(int w, int h, const st_Tone& tone, bool left, bool right, bool top, bool bottom) {
  base::cl_Bitmap32 image;
  image.Create(w, h);
  cl_Painter paint(image);
  paint.VerticalGradient(Mix(tone.face, 0xFFFFFFFFu, 0.15f), tone.face);
  if (left) paint.Rect(0, 0, 2, h, tone.rim);
  if (right) paint.Rect(w - 2, 0, w, h, tone.rim);
  if (top) paint.Rect(0, 0, w, 2, tone.rim);
  if (bottom) paint.Rect(0, h - 2, w, h, tone.rim);
  return image;
}

base::cl_Bitmap32 Check(const st_Tone& tone) {
  base::cl_Bitmap32 image;
  image.Create(32, 32);  // transparent but for the mark
  cl_Painter paint(image);
  paint.Disc(16, 16, 8, tone.mark);
  return image;
}

}  // namespace

bool MakeOptionsPictures(cl_Output& out) {
  bool ok = true;
  for (const st_Tone& t : kTones) {
    const std::string s = t.suffix;
    auto write = [&](const char* name, const base::cl_Bitmap32& image) {
      ok = ok && out.WriteTga(std::string("gui/options/") + name + s + ".tga", image, true);
    };
    write("options_slider_left", Piece(8, 32, t, true, false, true, true));
    write("options_slider_right", Piece(8, 32, t, false, true, true, true));
    write("options_slider_middle", Piece(16, 32, t, false, false, true, true));
    write("options_slider_handle", Piece(16, 16, t, true, true, true, true));
    write("options_checkbox", Piece(32, 32, t, true, true, true, true));
    write("options_checkbox_check", Check(t));
    write("options_header_left", Piece(16, 64, t, true, false, true, false));
    write("options_header_right", Piece(16, 64, t, false, true, true, false));
    write("options_header_middle", Piece(16, 64, t, false, false, true, false));
  }
  return ok;
}

}  // namespace demogen
