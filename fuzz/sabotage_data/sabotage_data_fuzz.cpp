// Reads arbitrary bytes as the Sabotage game's compiled data file: the panels' strips, each read
// into the element that shows it, the grid's textures, then the skip strip. A file that does not
// fit must fail with the file failed, and whatever the strips came in as, the elements placed by
// them must run, draw nothing out of bounds and answer their hit tests.
#include <cstddef>
#include <cstdint>

#include "base/app/ICMD.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/sabotage/Sabotage.h"
#include "quillane/minigames/sabotage/SabotageGrid.h"
#include "quillane/minigames/sabotage/SabotageMixer.h"
#include "quillane/minigames/sabotage/SabotagePumps.h"

#include "../BaseFuzz.h"

namespace {

// The strips before the skip strip (1 + 2 + 3), the grid's textures (21) and the skip strip.
constexpr int kRecords = 28;

void Run(quillane::cl_ActionElement& element) {
  element.AddStripRun(false);
  for (int i = 0; i < 4; ++i) element.Update(0.25f);
  element.AddStripRun(true);
  element.Update(0.1f);
  element.StopAnimations();
  element.HitTest(element.m_X, element.m_Y, 1.0f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  quillane::cl_MinigameDataFile file;
  if (!file.OpenMemory(data, static_cast<int>(size), "sabotage.dat")) return 0;
  quillane::cl_Sabotage game;
  const bool ok = game.ArchiveDataFile(file);
  if (ok == file.Failed()) __builtin_trap();
  if (ok && file.GetRecordCount() != kRecords) __builtin_trap();
  Run(game.GetPumps()->GetResetButton());
  for (int i = 1; i < quillane::cl_SabotagePhase2::kPipes; ++i) Run(game.GetGrid()->GetLight(i));
  for (int i = 0; i < quillane::cl_SabotagePhase3::kColumns; ++i) Run(game.GetMixer()->GetTubeLight(i));
  return 0;
}
