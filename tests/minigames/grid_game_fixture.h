// The tile-grid games through the manager in a session: the demo's generated pictures, skip
// strips and level files copied into the test's folder, the games compiled there by
// CompileMissing, started by name, their tutorials clicked away and their tiles pressed through
// the module tree at the cells the running board shows.
#pragma once

#include <filesystem>
#include <string>

#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "minigame_fixture.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/minigames/wiretap/WireTap.h"
#include "quillane/session/Session.h"
#include "support/DemoResources.h"

namespace gridgametest {

class GridGameTest : public minigametest::MinigameTest {
 protected:
  void SetUp() override {
    MinigameTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    namespace fs = std::filesystem;
    const fs::path art = fs::path(QUILLANE_DATA_DIR) / "gui/minigames";
    if (!fs::exists(art / "wiretap/tile00.tga")) GTEST_SKIP() << "no generated grid-game pictures (run demogen)";
    for (const char* folder : {"wiretap", "floorlights"})
      fs::copy(art / folder, m_dir / "gui/minigames" / folder,
               fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    ASSERT_GT(testsupport::LoadDemoResources(QUILLANE_DATA_DIR, m_dir, {"gui/skin/dialog_"}, {"tooltip", "tutorial"},
                                             "grid_resources.xml"),
              0);
    SetState("Missions/Skill", 0);
    SetState("Missions/MaxSkill", 1000);  // the bound the demo's initial state carries
    m_logged = Log().size();  // the fixture's own start leaves lines of its own
  }
  // The log since the fixture was ready.
  std::string NewLog() { return Log().substr(m_logged); }

  size_t m_logged = 0;

  // The held game as a grid board; null when the running game is none.
  quillane::cl_WiretapPanel* Board(const char* name) {
    for (int i = 0; i < m_games->GetGameCount(); ++i)
      if (std::string(m_games->GetGameName(i)) == name)
        return dynamic_cast<quillane::cl_WiretapPanel*>(m_games->GetInstance(i));
    return nullptr;
  }
  // Starts the game and steps until it runs; false when it was refused or never came up.
  bool StartGame(const char* name, testsupport::st_EventCounts& counts) {
    auto* event = new testsupport::cl_CountingEvent(counts);
    if (!m_games->Start(name, event, false)) {
      delete event;
      return false;
    }
    return StepUntilRunning();
  }
  // Clicks every tutorial box away once it holds, and waits until the board takes clicks again;
  // false when a box is still up after limit frames.
  bool DismissTutorials(quillane::cl_WiretapPanel& board, int limit = 200) {
    for (int i = 0; i < limit; ++i) {
      if (!board.GetActiveTutorial() && board.IsPlayCondition("idle")) return true;
      if (board.GetActiveTutorial()) Mouse(base::ICMD::LEFT_UP, 512.0f, 80.0f);
      Step();
    }
    return !board.GetActiveTutorial();
  }
  // A press on the middle of a cell, as the board lays it out now.
  void PressCell(quillane::cl_WiretapPanel& board, int column, int row, float dx = 0.0f) {
    const float x = board.GetOriginX() + column * board.GetCellSize() + board.GetCellSize() / 2 + dx;
    const float y = board.GetOriginY() + row * board.GetCellSize() + board.GetCellSize() / 2;
    Mouse(base::ICMD::LEFT_DOWN, x, y);
    Step();
    Mouse(base::ICMD::LEFT_UP, x, y);
    Step();
  }
  // A turn is a press on the tile and a second one on it.
  void TurnCell(quillane::cl_WiretapPanel& board, int column, int row, int turns = 1) {
    for (int i = 0; i < turns; ++i) {
      PressCell(board, column, row);
      PressCell(board, column, row);
    }
  }
};

}  // namespace gridgametest
