// Every mini-game's texts (legend, status, labels, help) and pictures (board, pieces, panels)
// inside its game area, in a large and a small window: the area is the game's panel as laid out,
// centred down the window and scaled with its width; the bands above and below it stay black.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/DemoResources.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "minigame_fixture.h"
#include "quillane/minigames/Minigame.h"
#include "quillane/minigames/MinigameManager.h"
#include "win32dx9/DynamicBuffer.h"

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

// The window's part of the pictures a capture holds, one rectangle a triangle: a scrolled map
// reaches past the window unseen. Flat fills (a game's black backdrop) and lines are left out.
std::vector<gfx::st_DrawnText> Pictures(const win32dx9::st_BitmapCapture& capture, float width, float height) {
  std::vector<gfx::st_DrawnText> out;
  size_t first = 0;
  for (size_t draw = 0; draw < capture.drawSizes.size(); ++draw) {
    const size_t end = first + static_cast<size_t>(capture.drawSizes[draw]);
    for (size_t t = first; capture.drawTextured[draw] && t + 2 < end; t += 3) {
      gfx::st_DrawnText r{1e9f, 1e9f, -1e9f, -1e9f, "a picture's triangle"};
      for (size_t v = t; v < t + 3; ++v) {
        r.left = std::min(r.left, capture.vertices[v].x), r.right = std::max(r.right, capture.vertices[v].x);
        r.top = std::min(r.top, capture.vertices[v].y), r.bottom = std::max(r.bottom, capture.vertices[v].y);
      }
      r.left = std::max(r.left, 0.0f), r.top = std::max(r.top, 0.0f);
      r.right = std::min(r.right, width), r.bottom = std::min(r.bottom, height);
      if (r.left < r.right && r.top < r.bottom) out.push_back(r);
    }
    first = end;
  }
  return out;
}

TEST_F(BoardAreaTest, EveryGamesTextsAndPicturesStayInsideItsAreaInLargeAndSmallWindows) {
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
      std::vector<gfx::st_DrawnText> texts;
      win32dx9::st_BitmapCapture capture;
      gfx::TraceDrawnText(&texts);
      win32dx9::CaptureBitmapTriangles(&capture);
      for (int i = 0; i < 3; ++i) Step();
      win32dx9::CaptureBitmapTriangles(nullptr);
      gfx::TraceDrawnText(nullptr);
      std::vector<gfx::st_DrawnText> pictures = Pictures(capture, static_cast<float>(width), static_cast<float>(height));
      EXPECT_FALSE(texts.empty());
      EXPECT_FALSE(pictures.empty());
      const float panel = c.panelHeight * width / 1024.0f, top = (height - panel) / 2.0f;
      std::vector<std::string> outside;
      for (const std::vector<gfx::st_DrawnText>* drawn : {&texts, &pictures})
        for (const gfx::st_DrawnText& r : *drawn)
          if (r.top < top - 1.0f || r.bottom > top + panel + 1.0f || r.left < -1.0f || r.right > width + 1.0f)
            outside.push_back(r.text + " at (" + std::to_string(int(r.left)) + ", " + std::to_string(int(r.top)) +
                              ")-(" + std::to_string(int(r.right)) + ", " + std::to_string(int(r.bottom)) + ")");
      // One line per thing outside is enough to find it.
      std::sort(outside.begin(), outside.end());
      outside.erase(std::unique(outside.begin(), outside.end()), outside.end());
      EXPECT_EQ(outside, std::vector<std::string>{}) << "area " << top << " to " << top + panel;
      m_games->End();
    }
  }
  base::sys::SetWindowSize(kWidth, kHeight);
}

}  // namespace
