// Reads arbitrary bytes as a tile-grid level and builds the wire-tap, floor-lights and sabotage
// boards from it, then drives a few presses taken from the input: every board must keep its size
// within the bounds, fill every cell, and answer its trace (the sabotage board's three pipes) and
// the presses without reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "quillane/minigames/floorlights/FloorLights.h"
#include "quillane/minigames/sabotage/SabotageGrid.h"
#include "quillane/minigames/wiretap/WireTap.h"

#include "../BaseFuzz.h"

namespace {

using quillane::cl_WiretapPanel;

// The floor-lights board's terminals are only set by its start, which needs its data file.
struct cl_LampBoard : quillane::cl_FloorLightsPanel {
  void Build(const base::Variant& document) {
    BuildGrid(document, "fuzz.xml");
    PlaceTerminals();
    m_Solved = CheckSolved(false);
  }
};

void CheckBoard(cl_WiretapPanel& board) {
  const int columns = board.GetColumns(), rows = board.GetRows();
  if (columns < cl_WiretapPanel::kMinGridSide || columns > cl_WiretapPanel::kMaxGridSide) __builtin_trap();
  if (rows < cl_WiretapPanel::kMinGridSide || rows > cl_WiretapPanel::kMaxGridSide) __builtin_trap();
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const cl_WiretapPanel::st_Tile* tile = board.TileAtCell(c, r);
      if (!tile || tile->m_TextureIndex < cl_WiretapPanel::kFirstTilePicture ||
          tile->m_TextureIndex > cl_WiretapPanel::kLastTilePicture || tile->m_Mask < 0 || tile->m_Mask > 15)
        __builtin_trap();
    }
}

void Press(cl_WiretapPanel& board, uint8_t a, uint8_t b) {
  base::ICMD cmd;
  cmd.type = base::ICMD::LEFT_DOWN;
  cmd.mouseX = static_cast<uint16_t>(a * 8);
  cmd.mouseY = static_cast<uint16_t>(b * 8);
  board.HandleInput(cmd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 64 * 1024)) return 0;
  static std::unique_ptr<base::cl_System> system = [] {
    auto s = std::make_unique<base::cl_System>();
    s->SetWindowSize(1024, 768);
    return s;
  }();
  const std::string text(reinterpret_cast<const char*>(data), size);
  base::Variant document;
  base::xml::read_text(document, text.c_str(), "fuzz.xml");  // a refused text leaves an empty board

  cl_WiretapPanel wiretap;
  wiretap.BuildGrid(document, "fuzz.xml");
  CheckBoard(wiretap);
  cl_LampBoard lamps;
  lamps.Build(document);
  CheckBoard(lamps);
  quillane::cl_SabotagePhase2 pipes;
  pipes.BuildGrid(document, "fuzz.xml");
  CheckBoard(pipes);
  for (size_t i = 0; i + 1 < size && i < 16; i += 2) {
    Press(wiretap, data[i], data[i + 1]);
    Press(lamps, data[i + 1], data[i]);
    Press(pipes, data[i], data[i]);
    // Each pipe from its inlet row to its tank column, also where they lie off a small board.
    pipes.Connected(0, 0), pipes.Connected(1, 2), pipes.Connected(2, 3);
  }
  wiretap.Update(0.1f);
  CheckBoard(wiretap);
  CheckBoard(lamps);
  return 0;
}
