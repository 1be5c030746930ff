// The train-travel board's pictures: station icons (plain, start and goal, with their highlight
// and refused variants, the exit), the item overlays (closed, sanctuary, double turn), the two
// figures, the rail band drawn along the tracks and the demo level's night-map background.
// Icons are 48 pixels square; the figures stand on an icon's bottom edge. The item overlays are
// 32 (their texture's size sets the legend's rows, which stay on an 800 x 600 screen).
#include <cstdint>
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"

namespace demogen {

namespace {

constexpr int kIcon = 48;
constexpr uint32_t kInk = 0xFF2B2620u, kPaper = 0xFFE8DCC0u, kRed = 0xFFB03020u, kGreen = 0xFF3C8A3Cu;

base::cl_Bitmap32 Blank(int w, int h) {
  base::cl_Bitmap32 image;
  image.Create(w, h);  // transparent black
  return image;
}

// A round station plate with a rim; start and goal plates carry a brass ring inside.
base::cl_Bitmap32 Station(uint32_t rim, uint32_t face, bool start) {
  base::cl_Bitmap32 image = Blank(kIcon, kIcon);
  cl_Painter paint(image);
  const float c = kIcon * 0.5f;
  paint.Disc(c, c, 20.0f, face);
  paint.Ring(c, c, 20.0f, 4.0f, rim);
  if (start) paint.Ring(c, c, 11.0f, 3.0f, 0xFFC89B3Cu);
  return image;
}

base::cl_Bitmap32 Exit() {
  base::cl_Bitmap32 image = Blank(kIcon, kIcon);
  cl_Painter paint(image);
  paint.Rect(8, 8, 40, 40, kInk);
  paint.Rect(12, 12, 36, 36, kGreen);
  paint.Rect(18, 22, 32, 26, kPaper);  // an arrow out of the network
  paint.Rect(28, 18, 32, 30, kPaper);
  return image;
}

// Overlays drawn over a station's icon, and the legend's pictures.
constexpr int kItem = 32;

base::cl_Bitmap32 Closed() {
  base::cl_Bitmap32 image = Blank(kItem, kItem);
  cl_Painter paint(image);
  for (int i = 5; i < 27; ++i) {
    paint.Rect(i - 2, i - 2, i + 2, i + 2, kRed);
    paint.Rect(30 - i, i - 2, 34 - i, i + 2, kRed);
  }
  return image;
}

base::cl_Bitmap32 Sanctuary() {
  base::cl_Bitmap32 image = Blank(kItem, kItem);
  cl_Painter paint(image);
  paint.Ring(16.0f, 16.0f, 14.0f, 3.0f, 0xFF2E6FB0u);
  paint.Rect(14, 7, 18, 25, 0xFF2E6FB0u);
  paint.Rect(8, 12, 24, 16, 0xFF2E6FB0u);
  return image;
}

base::cl_Bitmap32 DoubleTurn() {
  base::cl_Bitmap32 image = Blank(kItem, kItem);
  cl_Painter paint(image);
  paint.Disc(10.0f, 8.0f, 5.0f, 0xFFD8A020u);
  paint.Disc(22.0f, 8.0f, 5.0f, 0xFFD8A020u);
  return image;
}

// A standing figure: head, body and a coat colour.
base::cl_Bitmap32 Figure(uint32_t coat, uint32_t hat) {
  base::cl_Bitmap32 image = Blank(24, 40);
  cl_Painter paint(image);
  paint.Rect(6, 14, 18, 38, coat);
  paint.Disc(12.0f, 9.0f, 6.0f, 0xFFE0B890u);
  paint.Rect(5, 1, 19, 5, hat);
  return image;
}

// The rail: two steel lines over sleepers, 16 pixels wide, repeating every 16 pixels.
base::cl_Bitmap32 Rail() {
  base::cl_Bitmap32 image = Blank(16, 16);
  cl_Painter paint(image);
  paint.Rect(1, 2, 15, 6, 0xFF6A4A2Au);
  paint.Rect(3, 0, 5, 16, 0xFF9098A0u);
  paint.Rect(11, 0, 13, 16, 0xFF9098A0u);
  return image;
}

// A parchment night map with a faint grid and a darker coast; half the layout's height (the game
// centres the board by the picture's height).
base::cl_Bitmap32 Map() {
  base::cl_Bitmap32 image = Blank(1024, 512);
  cl_Painter paint(image);
  paint.VerticalGradient(0xFFD9CBA6u, 0xFFBFAE86u);
  for (int x = 0; x < 1024; x += 64) paint.Rect(x, 0, x + 1, 512, 0x30403020u);
  for (int y = 0; y < 512; y += 64) paint.Rect(0, y, 1024, y + 1, 0x30403020u);
  paint.Rect(0, 456, 1024, 512, 0x60405870u);
  paint.Noise(0.03f, 0.05f);
  return image;
}

}  // namespace

bool MakeTrainTravelPictures(cl_Output& out) {
  const std::string dir = "gui/minigames/traintravel/";
  bool ok = true;
  ok = ok && out.WriteTga(dir + "node.tga", Station(kInk, kPaper, false), true);
  ok = ok && out.WriteTga(dir + "startnode.tga", Station(kInk, kPaper, true), true);
  ok = ok && out.WriteTga(dir + "startnode_highlight.tga", Station(kGreen, 0xFFF4F0D8u, true), true);
  ok = ok && out.WriteTga(dir + "startnode_invalid.tga", Station(kRed, 0xFFD8C8B0u, true), true);
  ok = ok && out.WriteTga(dir + "node_highlight.tga", Station(kGreen, 0xFFF4F0D8u, false), true);
  ok = ok && out.WriteTga(dir + "node_invalid.tga", Station(kRed, 0xFFD8C8B0u, false), true);
  ok = ok && out.WriteTga(dir + "exit.tga", Exit(), true);
  ok = ok && out.WriteTga(dir + "outoforder.tga", Closed(), true);
  ok = ok && out.WriteTga(dir + "savehaven.tga", Sanctuary(), true);
  ok = ok && out.WriteTga(dir + "doubleturn.tga", DoubleTurn(), true);
  ok = ok && out.WriteTga(dir + "quil.tga", Figure(0xFF7A2E5Au, 0xFF301020u), true);
  ok = ok && out.WriteTga(dir + "agent.tga", Figure(0xFF303A48u, 0xFF101418u), true);
  ok = ok && out.WriteTga(dir + "rail.tga", Rail(), true);
  ok = ok && out.WriteTga(dir + "bg_quaycity.tga", Map(), true);
  return ok;
}

}  // namespace demogen
