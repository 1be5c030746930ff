// Every mini-game's texts (legend, status, labels, help) inside its game area, in a large and a
// small window: the area is the game's panel as laid out, centred down the window and scaled
// with its width; the bands above and below it stay black.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/DemoResources.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "minigame_fixture.h"
#include "quillane/minigames/Minigame.h"
#include "quillane/minigames/MinigameManager.h"

namespace {

namespace fs = std::filesystem;

// The demo's mini-game art and fonts, and the missions' values the levels read.
class BoardAreaTest : public minigametest::MinigameTest {
 protected:
  void SetUp() override {
    MinigameTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    const fs::path art = fs::path(QUILLANE_DATA_DIR) / "gui/minigames";
    if (!fs::exists(art / "traintravel/node.tga")) GTEST_SKIP() << "no generated mini-game pictures (run demogen)";
    for (const char* folder : {"traintravel", "wiretap", "floorlights", "sabotage"})
      fs::copy(art / folder, m_dir / "gui/minigames" / folder,
               fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    ASSERT_GT(testsupport::LoadDemoResources(QUILLANE_DATA_DIR, m_dir,
                                             {"gui/minigames/traintravel/", "gui/minigames/sabotage/", "gui/minigames/dance/", "gui/cursors/",
                                              "gui/skin/dialog_", "gui/menu/mb_"},
                                             {"tooltip", "tutorial", "train_travel", "decoder", "game", "system",
                                              "dance_score", "sabotage", "messagebox"},
                                             "area_resources.xml"),
              0);
    SetState("Missions/Skill", 0);
    SetState("Missions/MaxSkill", 1000);
    SetState("Missions/Minigames/TrainTravel/Filename", "demo.xml");
    SetState("Missions/Minigames/TrainTravel/Scenario", "demo_0.scr");
    SetState("Missions/Minigames/Wiretap/Filename", "grid1.xml");
    for (const auto& [name, value] : {std::pair{"Vowels", "AE"}, {"Consonants", "BCD"}, {"Alphabet", "ABCDE"},
                                      {"MessageL1", "BAD BEE"}, {"MessageL2", "CAB, DAD"}, {"MaxVowels", "2"},
                                      {"MaxConsonants", "3"}, {"MaxAlphabet", "5"}})
      SetState((std::string("Missions/Minigames/Decoder/") + name).c_str(), value);
    // The session compiled the office games before the fixture copied their art.
    for (const char* data : {"gui/minigames/decoder.dat", "gui/minigames/bookshelf.dat"}) fs::remove(m_dir / data);
    m_games->CompileMissing();
  }
};

TEST_F(BoardAreaTest, EveryGamesTextsStayInsideItsAreaInLargeAndSmallWindows) {
  struct st_Case {
    const char* game;
    float panelHeight;  // as laid out for a 1024 wide window
  } cases[] = {
      {"TrainTravel", 512.0f}, {"Wiretap", 512.0f}, {"FloorLights", 512.0f}, {"Decoder", 640.0f},
      {"Bookshelf", 640.0f},   {"Dance", 768.0f},   {"Sabotage", 768.0f},
  };
  for (const auto& [width, height] : {std::pair{1024, 768}, std::pair{800, 600}}) {
    base::sys::SetWindowSize(width, height);
    for (const st_Case& c : cases) {
      SCOPED_TRACE(std::string(c.game) + " at " + std::to_string(width));
      quillane::i_Minigame* game = StartSeeded(c.game, 5);
      ASSERT_NE(game, nullptr) << Log();
      std::vector<gfx::st_DrawnText> drawn;
      gfx::TraceDrawnText(&drawn);
      for (int i = 0; i < 3; ++i) Step();
      gfx::TraceDrawnText(nullptr);
      EXPECT_FALSE(drawn.empty());
      const float panel = c.panelHeight * width / 1024.0f, top = (height - panel) / 2.0f;
      for (const gfx::st_DrawnText& text : drawn) {
        SCOPED_TRACE(text.text);
        EXPECT_GE(text.top, top - 1.0f);
        EXPECT_LE(text.bottom, top + panel + 1.0f);
        EXPECT_GE(text.left, -1.0f);
        EXPECT_LE(text.right, width + 1.0f);
      }
      m_games->End();
    }
  }
  base::sys::SetWindowSize(kWidth, kHeight);
}

}  // namespace
