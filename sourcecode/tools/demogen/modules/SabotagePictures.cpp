// The Sabotage game's art, laid out for quarters of 1024 × 640 (the game reads the quarter size
// from "nophase_bg"): the pump house's corner, where the mixing desk's plate with its valves for
// all fluids begins; the pump panel with its indicator window (columns at x
// 612, 668, 724 from y 197, three rows of 32), the overlay that hides the opened plates, the
// plates and the knob; the pipe grid's board (cells of 159 from (160, 50), inlets on the left,
// tanks over columns 0, 2 and 3), its five pipe tiles, flag and gas fills; the mixing desk with
// its tube windows (fluids rising from y 310 at x 260, 523, 780), the glass behind them, fluids,
// caps, meter, exit sign and valve buttons. The six strips (reset button, two signal lights, three
// tube lights) are frames reaching from their panel's corner: the strip places itself by its
// visible pixels. Also the train-travel game's item cursors.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"
#include "core/TextPainter.h"

namespace demogen {

namespace {

const char* const kSansBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int kQuarterW = 1024, kQuarterH = 640;
constexpr int kCell = 159;
constexpr int kTilePicture = 256;
constexpr int kGridX = 160, kGridY = 50;
constexpr int kPipeWidth = 36;
constexpr uint32_t kSteel = 0xFF4C5862u, kSteelDark = 0xFF262E36u, kSteelLight = 0xFF7A8894u;
constexpr uint32_t kHazard = 0xFFD8A820u, kPipe = 0xFF8A949Cu, kPipeDark = 0xFF505A62u;
constexpr uint32_t kGas[3] = {0xFF5CC040u, 0xFFE0C030u, 0xFFA050D0u};

enum en_Side { UP = 1, LEFT = 2, DOWN = 4, RIGHT = 8 };

base::cl_Bitmap32 Canvas(int w, int h) {
  base::cl_Bitmap32 image;
  image.Create(w, h);  // transparent black
  return image;
}

void Label(base::cl_Bitmap32& image, int x, int baseline, int size, const char* text, uint32_t colour) {
  const cl_TextPainter font(kSansBold, size);
  if (font.IsOpen()) font.Draw(image, x, baseline, text, colour);
}

// A riveted steel plate filling the rectangle.
void Plate(cl_Painter& paint, int x0, int y0, int x1, int y1, uint32_t colour) {
  paint.Rect(x0, y0, x1, y1, colour);
  paint.Rect(x0, y0, x1, y0 + 3, Mix(colour, 0xFFFFFFFFu, 0.25f));
  paint.Rect(x0, y1 - 3, x1, y1, Mix(colour, 0xFF000000u, 0.35f));
  for (const auto& [x, y] :
       {std::pair{x0 + 8, y0 + 8}, std::pair{x1 - 8, y0 + 8}, std::pair{x0 + 8, y1 - 8}, std::pair{x1 - 8, y1 - 8}})
    paint.Disc(float(x), float(y), 3.0f, kSteelLight);
}

// A pipe band of the pipe width along one axis between two points.
void PipeRun(cl_Painter& paint, int x0, int y0, int x1, int y1) {
  const int h = kPipeWidth / 2;
  if (y0 == y1) {
    paint.Rect(std::min(x0, x1), y0 - h, std::max(x0, x1), y0 + h, kPipe);
    paint.Rect(std::min(x0, x1), y0 - h, std::max(x0, x1), y0 - h + 4, kSteelLight);
  } else {
    paint.Rect(x0 - h, std::min(y0, y1), x0 + h, std::max(y0, y1), kPipe);
    paint.Rect(x0 - h, std::min(y0, y1), x0 - h + 4, std::max(y0, y1), kSteelLight);
  }
}

base::cl_Bitmap32 Wall(uint32_t top, uint32_t bottom) {
  base::cl_Bitmap32 image = Canvas(kQuarterW, kQuarterH);
  cl_Painter paint(image);
  paint.VerticalGradient(top, bottom);
  paint.Noise(6.0f, 0.07f);
  return image;
}

// ---- the corner

// The mixing desk's two valves for all fluids stand left of its quarter, over this one (the wheel
// at (-96, 205), the lever at (-30, 120) from the desk's corner, 64 pixels each): the desk's
// plate reaches over here to carry them, each with its name.
constexpr int kAllWheelX = kQuarterW - 96 + 32, kAllWheelY = 205 + 32;
constexpr int kEmptyLeverY = 120 + 32;

base::cl_Bitmap32 Corner() {
  base::cl_Bitmap32 image = Wall(0xFF2A3036u, 0xFF1A1E22u);
  cl_Painter paint(image);
  for (int y : {90, 220, 520}) PipeRun(paint, 0, y, kQuarterW, y);
  for (int x = 0; x < kQuarterW; x += 64) paint.Rect(x, 600, x + 32, 640, kHazard);
  Label(image, 300, 380, 40, "PUMP HOUSE", 0xFF8A949Cu);
  Plate(paint, 840, 60, kQuarterW, 560, kSteel);
  Label(image, 862, 96, 16, "ALL FLUIDS", 0xFFE8E8E0u);
  paint.Disc(float(kAllWheelX), float(kAllWheelY), 40.0f, kSteelDark);
  paint.Ring(float(kAllWheelX), float(kAllWheelY), 40.0f, 3.0f, kHazard);
  Label(image, kAllWheelX - 30, kAllWheelY + 66, 16, "+7 ALL", 0xFFE8E8E0u);
  const cl_TextPainter font(kSansBold, 16);
  if (font.IsOpen()) font.Draw(image, kQuarterW - 40 - font.Width("EMPTY"), kEmptyLeverY + 6, "EMPTY", 0xFFE8E8E0u);
  return image;
}

// ---- the pump panel

base::cl_Bitmap32 PumpPanel() {
  base::cl_Bitmap32 image = Wall(0xFF34403Au, 0xFF1E2622u);
  cl_Painter paint(image);
  Plate(paint, 20, 130, 980, 560, kSteel);
  paint.Rect(600, 182, 786, 304, 0xFF101418u);  // behind the indicator rows
  for (int p = 0; p < 3; ++p) {
    const int x = 612 + 56 * p;
    paint.Rect(x, 197, x + 50, 293, 0xFF202830u);
  }
  // Knob wells under the three knobs (64 × 64 from their corners).
  for (const auto& [x, y] : {std::pair{507, 347}, std::pair{658, 450}, std::pair{806, 347}}) {
    paint.Disc(float(x + 32), float(y + 32), 40.0f, kSteelDark);
    paint.Ring(float(x + 32), float(y + 32), 40.0f, 3.0f, kHazard);
  }
  Label(image, 180, 180, 28, "PUMPS", 0xFFE8E8E0u);
  Label(image, 500, 330, 16, "A", 0xFFE8E8E0u);
  Label(image, 650, 440, 16, "B", 0xFFE8E8E0u);
  Label(image, 800, 330, 16, "C", 0xFFE8E8E0u);
  for (int y : {600, 40}) PipeRun(paint, 0, y, kQuarterW, y);
  return image;
}

// Over the indicator (drawn from (563, 168)): opaque from x 40 of it, clear of the knobs, but for
// the window the rows show through; the opened plates slide down behind its lower part.
base::cl_Bitmap32 PumpOverlay() {
  base::cl_Bitmap32 image = Canvas(224, 240);
  cl_Painter paint(image);
  paint.Rect(40, 0, 224, 240, kSteel);
  paint.Noise(4.0f, 0.06f);
  for (int x = 40; x < 224; x += 40) paint.Rect(x, 226, x + 20, 240, kHazard);
  // The window: the three pumps' value boxes (screen 610..778 × 190..296).
  for (int y = 22; y < 128; ++y)
    for (int x = 47; x < 215; ++x) *image.Pixel(x, y) = base::Color32(0u);
  paint.Rect(44, 19, 218, 22, kSteelLight);
  Label(image, 60, 160, 16, "1", 0xFFE8E8E0u);
  Label(image, 116, 160, 16, "2", 0xFFE8E8E0u);
  Label(image, 172, 160, 16, "3", 0xFFE8E8E0u);
  return image;
}

base::cl_Bitmap32 PumpPlate() {
  base::cl_Bitmap32 image = Canvas(54, 106);
  cl_Painter paint(image);
  paint.Rect(0, 0, 54, 106, kSteelLight);
  for (int y = 8; y < 100; y += 16) paint.Rect(4, y, 50, y + 8, Mix(kSteelLight, kHazard, 0.6f));
  paint.Noise(3.0f, 0.08f);
  return image;
}

base::cl_Bitmap32 Knob() {
  base::cl_Bitmap32 image = Canvas(64, 64);
  cl_Painter paint(image);
  paint.Disc(32.0f, 32.0f, 28.0f, 0xFF1A1A1Au);
  paint.Ring(32.0f, 32.0f, 26.0f, 4.0f, kSteelLight);
  paint.Rect(29, 6, 35, 30, kHazard);  // the pointer
  return image;
}

// The reset button at rest, pressed, and at rest again (a run once ends on its last frame), in
// frames reaching from the panel's corner.
std::vector<base::cl_Bitmap32> ResetFrames() {
  std::vector<base::cl_Bitmap32> frames;
  for (int f = 0; f < 3; ++f) {
    base::cl_Bitmap32 image = Canvas(264, 536);
    cl_Painter paint(image);
    const int sink = f == 1 ? 2 : 0;
    paint.Rect(180, 480, 260, 530, 0xFF202020u);
    paint.Rect(182 + sink, 482 + sink, 258, 528, f == 1 ? 0xFF801010u : 0xFFC02020u);
    Label(image, 190 + sink, 512 + sink, 14, "RESET", 0xFFF0F0F0u);
    frames.push_back(std::move(image));
  }
  return frames;
}

// ---- the pipe grid

base::cl_Bitmap32 GridPanel() {
  base::cl_Bitmap32 image = Wall(0xFF2C343Cu, 0xFF1C2228u);
  cl_Painter paint(image);
  paint.Rect(kGridX - 10, kGridY - 10, kGridX + 4 * kCell + 10, kGridY + 3 * kCell + 10, kSteelDark);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c)
      paint.Rect(kGridX + c * kCell + 3, kGridY + r * kCell + 3, kGridX + (c + 1) * kCell - 3,
                 kGridY + (r + 1) * kCell - 3, 0xFF14181Cu);
  // The inlets: a band at the gas fill's height, then up into the middle of the row.
  for (int r = 0; r < 3; ++r) {
    const int fillY = (r == 0 ? 176 : r == 1 ? 328 : 490) + 6;
    const int rowY = kGridY + r * kCell + kCell / 2;
    PipeRun(paint, 0, fillY, 130, fillY);
    PipeRun(paint, 130, std::min(fillY, rowY) - kPipeWidth / 2, 130, std::max(fillY, rowY) + kPipeWidth / 2);
    PipeRun(paint, 112, rowY, kGridX, rowY);
  }
  // The tanks over columns 0, 2 and 3.
  for (int c : {0, 2, 3}) {
    const int x = kGridX + c * kCell + kCell / 2;
    paint.Rect(x - 50, 2, x + 50, kGridY - 10, 0xFF6A7480u);
    paint.Rect(x - 50, 2, x + 50, 8, kSteelLight);
  }
  Label(image, 830, 200, 22, "MAIN", 0xFFE8E8E0u);
  Label(image, 830, 228, 22, "BOILER", 0xFFE8E8E0u);
  paint.Rect(8, 8, 128, 64, kSteelDark);  // under the signal lights
  return image;
}

// One pipe tile: a plate with pipe bands from its middle to the sides it opens on (at angle 0:
// end down; corner down, right; T up, left, right; straight up, down). Textures are loaded at
// powers of two, so the cell-sized tile sits in the top-left corner of a transparent picture.
base::cl_Bitmap32 PipeTile(int sides) {
  base::cl_Bitmap32 image = Canvas(kTilePicture, kTilePicture);
  cl_Painter paint(image);
  paint.Rect(2, 2, kCell - 2, kCell - 2, 0xFF3A4450u);
  paint.Rect(2, 2, kCell - 2, 5, 0xFF5A6674u);
  paint.Noise(5.0f, 0.06f);
  const int c = kCell / 2, h = kPipeWidth / 2;
  if (sides & UP) paint.Rect(c - h, 0, c + h, c + h, kPipe);
  if (sides & DOWN) paint.Rect(c - h, c - h, c + h, kCell, kPipe);
  if (sides & LEFT) paint.Rect(0, c - h, c + h, c + h, kPipe);
  if (sides & RIGHT) paint.Rect(c - h, c - h, kCell, c + h, kPipe);
  if (sides) paint.Disc(c - 0.5f, c - 0.5f, h + 6.0f, kPipeDark);
  return image;
}

// The flag turns about the point 34 from its picture's right and 63 from its bottom: (30, 65).
base::cl_Bitmap32 Flag() {
  base::cl_Bitmap32 image = Canvas(64, 128);
  cl_Painter paint(image);
  paint.Rect(28, 58, 32, 126, kSteelLight);
  paint.Rect(32, 58, 60, 80, 0xFFD03020u);
  paint.Disc(30.0f, 65.0f, 4.0f, kSteelDark);
  return image;
}

base::cl_Bitmap32 FlagCap() {
  base::cl_Bitmap32 image = Canvas(32, 32);
  cl_Painter paint(image);
  paint.Disc(16.0f, 16.0f, 12.0f, kSteelDark);
  paint.Ring(16.0f, 16.0f, 12.0f, 3.0f, kHazard);
  return image;
}

base::cl_Bitmap32 Solid(int w, int h, uint32_t colour) {
  base::cl_Bitmap32 image = Canvas(w, h);
  cl_Painter paint(image);
  paint.Rect(0, 0, w, h, colour);
  paint.Rect(0, 0, w, 2, Mix(colour, 0xFFFFFFFFu, 0.35f));
  return image;
}

// A lamp at (x, y) of its panel, dark or lit, in a frame reaching from the panel's corner.
base::cl_Bitmap32 Lamp(int x, int y, int radius, uint32_t colour, bool lit) {
  const int reach = radius * 2;
  base::cl_Bitmap32 image = Canvas(x + reach, y + reach);
  cl_Painter paint(image);
  if (lit) paint.Disc(float(x), float(y), radius * 1.6f, Mix(colour, 0x00000000u, 0.5f));
  paint.Disc(float(x), float(y), float(radius), lit ? colour : Mix(colour, 0xFF000000u, 0.7f));
  paint.Ring(float(x), float(y), float(radius), 3.0f, kSteelDark);
  return image;
}

// ---- the mixing desk

constexpr int kTubeX[3] = {260, 523, 780};
constexpr int kTubeHalf = 24, kTubeTop = 112, kTubeFoot = 318;

base::cl_Bitmap32 MixerPanel() {
  base::cl_Bitmap32 image = Wall(0xFF3A3444u, 0xFF201C26u);
  cl_Painter paint(image);
  Plate(paint, 0, 60, 900, 560, kSteel);  // on from the corner's, under the valves for all fluids
  for (int i = 0; i < 3; ++i) {
    paint.Rect(kTubeX[i] - kTubeHalf - 6, kTubeTop - 6, kTubeX[i] + kTubeHalf + 6, kTubeFoot + 6, kSteelLight);
    paint.Rect(kTubeX[i] - 40, 420, kTubeX[i] + 40, 430, kSteelDark);
  }
  Label(image, 330, 100, 20, "MIXER", 0xFFE8E8E0u);
  Label(image, 230, 360, 14, "ELEM. A", 0xFFE8E8E0u);
  Label(image, 493, 360, 14, "ELEM. B", 0xFFE8E8E0u);
  Label(image, 750, 360, 14, "ELEM. C", 0xFFE8E8E0u);
  // The tube windows show the fluids drawn behind this picture.
  for (int i = 0; i < 3; ++i)
    for (int y = kTubeTop; y < kTubeFoot; ++y)
      for (int x = kTubeX[i] - kTubeHalf; x < kTubeX[i] + kTubeHalf; ++x) *image.Pixel(x, y) = base::Color32(0u);
  return image;
}

base::cl_Bitmap32 MixerGlass() {
  base::cl_Bitmap32 image = Canvas(620, 270);
  cl_Painter paint(image);
  paint.VerticalGradient(0xFF1A2630u, 0xFF0E141Au);
  return image;
}

base::cl_Bitmap32 Cap(uint32_t colour) {
  base::cl_Bitmap32 image = Canvas(80, 16);
  cl_Painter paint(image);
  paint.Rect(16, 4, 64, 12, Mix(colour, 0xFFFFFFFFu, 0.4f));
  return image;
}

base::cl_Bitmap32 Meter() {
  base::cl_Bitmap32 image = Canvas(20, 200);
  cl_Painter paint(image);
  paint.Rect(0, 0, 20, 200, 0xFF202428u);
  for (int y = 5; y < 200; y += 19) paint.Rect(4, y, y % 38 == 5 ? 18 : 12, y + 2, 0xFFE0E0D0u);
  return image;
}

base::cl_Bitmap32 ExitSign() {
  base::cl_Bitmap32 image = Canvas(110, 40);
  cl_Painter paint(image);
  paint.Rect(0, 0, 110, 40, 0xFF1E8A3Cu);
  paint.Rect(3, 3, 107, 37, 0xFF2EAA4Cu);
  Label(image, 30, 28, 18, "EXIT", 0xFFF4F4F4u);
  return image;
}

// A valve: a hand wheel (spokes) or a lever, drawn upright; the game turns it.
base::cl_Bitmap32 Valve(int size, bool wheel, uint32_t colour) {
  base::cl_Bitmap32 image = Canvas(size, size);
  cl_Painter paint(image);
  const float c = size * 0.5f;
  if (wheel) {
    paint.Ring(c, c, c - 6.0f, 6.0f, colour);
    paint.Rect(int(c) - 3, 6, int(c) + 3, size - 6, colour);
    paint.Rect(6, int(c) - 3, size - 6, int(c) + 3, colour);
  } else {
    paint.Rect(int(c) - 5, 4, int(c) + 5, int(c), colour);
    paint.Disc(c, 8.0f, 7.0f, 0xFFD03020u);
  }
  paint.Disc(c, c, 9.0f, kSteelDark);
  return image;
}

// ---- the train-travel items' cursors

base::cl_Bitmap32 ItemCursor(int item) {
  base::cl_Bitmap32 image = Canvas(32, 32);
  cl_Painter paint(image);
  paint.Disc(16.0f, 16.0f, 14.0f, 0xC0202020u);
  if (item == 0) {
    for (int i = 8; i < 24; ++i) {
      paint.Rect(i - 2, i - 2, i + 2, i + 2, 0xFFE03020u);
      paint.Rect(30 - i, i - 2, 34 - i, i + 2, 0xFFE03020u);
    }
  } else if (item == 1) {
    paint.Rect(14, 6, 18, 26, 0xFF4A90E0u);
    paint.Rect(6, 14, 26, 18, 0xFF4A90E0u);
  } else {
    paint.Disc(11.0f, 16.0f, 5.0f, 0xFFE0B020u);
    paint.Disc(21.0f, 16.0f, 5.0f, 0xFFE0B020u);
  }
  return image;
}

bool WriteStrip(cl_Output& out, const std::string& name, const std::vector<base::cl_Bitmap32>& frames) {
  bool ok = true;
  const std::string folder = "gui/minigames/sabotage/texturestrips/" + name + "/";
  for (size_t i = 0; i < frames.size(); ++i)
    ok = out.WriteTga(folder + name + "_" + std::to_string(i) + ".tga", frames[i], true) && ok;
  return ok;
}

}  // namespace

bool MakeSabotagePictures(cl_Output& out) {
  const std::string dir = "gui/minigames/sabotage/";
  bool ok = out.WriteTga(dir + "nophase_bg.tga", Corner(), true);
  ok = out.WriteTga(dir + "phase1_bg.tga", PumpPanel(), true) && ok;
  ok = out.WriteTga(dir + "phase1_bg_overlay.tga", PumpOverlay(), true) && ok;
  ok = out.WriteTga(dir + "phase1_slot.tga", PumpPlate(), true) && ok;
  ok = out.WriteTga(dir + "phase1_knob.tga", Knob(), true) && ok;
  ok = WriteStrip(out, "phase01_reset", ResetFrames()) && ok;

  ok = out.WriteTga(dir + "phase2_bg.tga", GridPanel(), true) && ok;
  const int kinds[] = {0, DOWN, DOWN | RIGHT, UP | LEFT | RIGHT, UP | DOWN};
  for (int i = 0; i < 5; ++i)
    ok = out.WriteTga(dir + "tile0" + std::to_string(i) + ".tga", PipeTile(kinds[i]), true) && ok;
  ok = out.WriteTga(dir + "phase2_flag.tga", Flag(), true) && ok;
  ok = out.WriteTga(dir + "phase2_flag_overlay.tga", FlagCap(), true) && ok;
  for (int i = 0; i < 3; ++i) {
    const std::string n = std::to_string(i + 1);
    ok = out.WriteTga(dir + "phase2_fluid" + n + ".tga", Solid(16, 16, kGas[i]), true) && ok;
    ok = out.WriteTga(dir + "phase3_fluid" + n + ".tga", Solid(32, 16, kGas[i]), true) && ok;
    ok = out.WriteTga(dir + "phase3_fluid_cap" + n + ".tga", Cap(kGas[i]), true) && ok;
    ok = WriteStrip(out, "phase03_tubelight" + n,
                    {Lamp(kTubeX[i], 92, 12, 0xFFFFE060u, false), Lamp(kTubeX[i], 92, 12, 0xFFFFE060u, true)}) &&
         ok;
  }
  // The lights that blink when the mixture holds, in the grid's free upper-left corner: the pumps
  // run again, so they are the green of a working plant, not an alarm's red.
  for (int i = 0; i < 2; ++i)
    ok = WriteStrip(out, "phase03_alertlight" + std::to_string(i + 1),
                    {Lamp(36 + 60 * i, 36, 20, 0xFF40E070u, false), Lamp(36 + 60 * i, 36, 20, 0xFF40E070u, true)}) &&
         ok;

  ok = out.WriteTga(dir + "phase3_bg.tga", MixerPanel(), true) && ok;
  ok = out.WriteTga(dir + "phase3_bg_back.tga", MixerGlass(), true) && ok;
  ok = out.WriteTga(dir + "phase3_tubemeter.tga", Meter(), true) && ok;
  ok = out.WriteTga(dir + "phase3_exit.tga", ExitSign(), true) && ok;
  ok = out.WriteTga(dir + "phase3_button1.tga", Valve(64, true, 0xFFC03020u), true) && ok;
  ok = out.WriteTga(dir + "phase3_button2.tga", Valve(64, false, kSteelLight), true) && ok;
  ok = out.WriteTga(dir + "phase3_button3.tga", Valve(64, true, 0xFF3070C0u), true) && ok;

  const char* cursors[] = {"cursor_outoforder", "cursor_savehaven", "cursor_doubleturn"};
  for (int i = 0; i < 3; ++i)
    ok = out.WriteTga(std::string("gui/cursors/") + cursors[i] + ".tga", ItemCursor(i), true) && ok;
  return ok;
}

}  // namespace demogen
