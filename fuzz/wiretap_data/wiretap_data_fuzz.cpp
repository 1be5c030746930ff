// Reads arbitrary bytes as a compiled wire-tap or floor-lights data file (the last byte chooses):
// a damaged or short file must be refused with the file failed, never read out of bounds, and
// whatever was read must leave the game able to place its board.
#include <cstddef>
#include <cstdint>

#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/floorlights/FloorLights.h"
#include "quillane/minigames/wiretap/WireTap.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  quillane::cl_MinigameDataFile file;
  if (!file.OpenMemory(data, static_cast<int>(size), "fuzz.dat")) return 0;
  quillane::cl_WiretapPanel wiretap;
  quillane::cl_FloorLightsPanel lamps;
  quillane::cl_WiretapPanel& game = size > 0 && (data[size - 1] & 1) ? lamps : wiretap;
  const bool ok = game.ArchiveDataFile(file);
  if (ok == file.Failed()) __builtin_trap();
  // The board must still be laid out from whatever sizes were read.
  game.BuildGrid(base::Variant(), "fuzz.xml");
  return 0;
}
