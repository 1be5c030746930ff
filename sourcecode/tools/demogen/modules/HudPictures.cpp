// The in-game interface's pictures: the interface bar's decorated band and button glow, the
// token look (plain, highlight sparkle, glow, dissolve, combine), one picture per demo token but
// the message (which falls back to the plain token), the three score icons, and the dust mote
// with its mask.
#include <cmath>
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"

namespace demogen {

namespace {

constexpr uint32_t kGold = 0xFFDCA459u, kWood = 0xFF5A4020u, kDark = 0xFF2A1E10u;

base::cl_Bitmap32 Canvas(int w, int h) {
  base::cl_Bitmap32 image;
  image.Create(w, h);  // transparent black
  return image;
}

// A soft round light: alpha falls from the centre outwards.
base::cl_Bitmap32 Glow(int size, uint32_t rgb) {
  base::cl_Bitmap32 image = Canvas(size, size);
  const float c = (size - 1) * 0.5f;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float d = std::sqrt((x - c) * (x - c) + (y - c) * (y - c)) / (size * 0.5f);
      const float a = d < 1.0f ? (1.0f - d) * (1.0f - d) : 0.0f;
      *image.Pixel(x, y) = base::Color32((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF,
                                         static_cast<unsigned char>(a * 255.0f));
    }
  return image;
}

// A glow for the blends that brighten or darken the target by the picture's colour alone (the
// bar buttons' glow, the dust): the colour fades out with the alpha, else the whole square shows.
base::cl_Bitmap32 LightGlow(int size, uint32_t rgb) {
  base::cl_Bitmap32 image = Glow(size, rgb);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      base::Color32& c = *image.Pixel(x, y);
      c *= static_cast<float>(c.a) / 255.0f;
    }
  return image;
}

// The band's left or right end: a wooden strip 80 high along the bottom, rising into a rounded
// plate that holds the three buttons on the right.
base::cl_Bitmap32 BandEnd(bool right) {
  base::cl_Bitmap32 image = Canvas(256, 128);
  cl_Painter paint(image);
  paint.Rect(0, 114, 256, 128, kWood);
  paint.Rect(0, 112, 256, 114, kGold);
  // The plates keep a margin above the picture's bottom, which is the window's: painted past
  // it they would be cut off there.
  if (right) {
    paint.Disc(210, 80, 44, kDark);
    paint.Ring(210, 80, 44, 3, kGold);
    for (const auto& [x, y] : {std::pair{193, 84}, std::pair{226, 58}, std::pair{231, 97}}) {
      paint.Disc(float(x), float(y), 13, kWood);
      paint.Ring(float(x), float(y), 13, 2, kGold);
    }
  } else {
    // A brass-capped post, not a round plate: a plate here looked like an empty slot before the
    // tokens, which begin to its right.
    paint.Rect(22, 76, 36, 112, kWood);
    paint.Rect(20, 72, 38, 76, kGold);
    paint.Disc(29, 62, 11, kGold);
    paint.Disc(29, 62, 7, kWood);
  }
  return image;
}

base::cl_Bitmap32 BandMiddle() {
  base::cl_Bitmap32 image = Canvas(32, 16);
  cl_Painter paint(image);
  paint.Rect(0, 0, 32, 14, kWood);
  paint.Rect(0, 0, 32, 2, kGold);
  return image;
}

// A round token plate with an emblem of its own colour.
base::cl_Bitmap32 TokenPlate(uint32_t colour, int emblem) {
  base::cl_Bitmap32 image = Canvas(64, 64);
  cl_Painter paint(image);
  paint.Disc(32, 32, 29, 0xFFE8DCC0u);
  paint.Ring(32, 32, 29, 3, kGold);
  switch (emblem % 3) {
    case 0: paint.Rect(20, 18, 44, 46, colour); break;
    case 1: paint.Disc(32, 32, 13, colour); break;
    default:
      for (int row = 0; row < 22; ++row) paint.Rect(32 - row / 2, 18 + row, 33 + row / 2, 19 + row, colour);
  }
  return image;
}

base::cl_Bitmap32 Sparkle() {
  base::cl_Bitmap32 image = Glow(128, 0xFFF0B0);
  cl_Painter paint(image);
  paint.Rect(62, 16, 66, 112, 0xC0FFFFFFu);
  paint.Rect(16, 62, 112, 66, 0xC0FFFFFFu);
  return image;
}

base::cl_Bitmap32 Combine() {
  base::cl_Bitmap32 image = Canvas(64, 64);
  cl_Painter paint(image);
  paint.Ring(32, 32, 30, 4, 0xFF40E0A0u);
  paint.Rect(44, 8, 48, 24, 0xFF40E0A0u);
  paint.Rect(38, 14, 54, 18, 0xFF40E0A0u);
  return image;
}

base::cl_Bitmap32 Dissolve() {
  base::cl_Bitmap32 image = Canvas(64, 64);
  cl_Painter paint(image);
  for (int i = 0; i < 40; ++i) {
    const float a = i * 2.39996f, r = 4.0f + i * 0.65f;
    paint.Disc(32 + r * std::cos(a), 32 + r * std::sin(a), 2.5f, 0xFFFFFFFFu);
  }
  return image;
}

base::cl_Bitmap32 ScoreIcon(uint32_t colour, int emblem) {
  base::cl_Bitmap32 image = TokenPlate(colour, emblem);
  cl_Painter paint(image);
  paint.Ring(32, 32, 24, 2, colour);
  return image;
}

// Where dust may show: the upper two thirds (the air of a room), black below (the floor).
base::cl_Bitmap24 DustMask() {
  base::cl_Bitmap24 mask;
  mask.Create(64, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x)
      *mask.Pixel(x, y) = y < 26 ? base::Color24(160, 160, 160) : base::Color24(0, 0, 0);
  return mask;
}

struct st_TokenPicture {
  const char* label;
  uint32_t colour;
};

// The demo's tokens. Each has its picture: a token without one shows its tooltip at all times,
// which a player takes for a tooltip that never goes away.
constexpr st_TokenPicture kTokens[] = {
    {"T6_EndChat", 0xFF803030u}, {"T6_Ferry", 0xFF305080u},    {"T6_Lamp", 0xFFC0A020u},
    {"T6_Dance", 0xFFA03080u},   {"T1_Ledger", 0xFF6B4020u},   {"T1_Codebook", 0xFF204060u},
    {"T1_Telegram", 0xFFD0C090u}, {"T1_Pass", 0xFF308040u},    {"T1_Ticket", 0xFFB05020u},
    {"T1_Message", 0xFF708090u},
};

}  // namespace

bool MakeHudPictures(cl_Output& out) {
  bool ok = out.WriteTga("gui/hud/fluff_left.tga", BandEnd(false), true);
  ok = ok && out.WriteTga("gui/hud/fluff_mid.tga", BandMiddle(), true);
  ok = ok && out.WriteTga("gui/hud/fluff_right.tga", BandEnd(true), true);
  ok = ok && out.WriteTga("gui/hud/fluffy_glow.tga", LightGlow(64, 0xFFE0A0), true);
  ok = ok && out.WriteTga("gui/hud/token.tga", TokenPlate(0xFF808080u, 1), true);
  ok = ok && out.WriteTga("gui/hud/token_hilite.tga", Sparkle(), true);
  ok = ok && out.WriteTga("gui/hud/token_glow.tga", Glow(128, 0xFFFFC0), true);
  ok = ok && out.WriteTga("gui/hud/token_dissolve.tga", Dissolve(), true);
  ok = ok && out.WriteTga("gui/hud/token_combine.tga", Combine(), true);
  ok = ok && out.WriteTga("gui/hud/scoreicon_skill.tga", ScoreIcon(0xFF3060C0u, 0), true);
  ok = ok && out.WriteTga("gui/hud/scoreicon_wealth.tga", ScoreIcon(0xFFD0A020u, 1), true);
  ok = ok && out.WriteTga("gui/hud/scoreicon_spycraft.tga", ScoreIcon(0xFF30A050u, 2), true);
  ok = ok && out.WriteTga("helper/dust.tga", LightGlow(16, 0xFFFFFF), true);
  ok = ok && out.WriteBmp("helper/dustmask.bmp", DustMask());
  for (size_t i = 0; ok && i < sizeof kTokens / sizeof kTokens[0]; ++i)
    ok = out.WriteTga(std::string("GUI/tokens/") + kTokens[i].label + ".tga", TokenPlate(kTokens[i].colour, int(i)),
                      true);
  return ok;
}

}  // namespace demogen
