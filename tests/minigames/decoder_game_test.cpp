// The Decoder started through the manager in a session: a level from the mission element
// solved by clicking the fixed arrows back to offset 0 (Win, the Skill bonus by play time, the
// "Win" box shown and clicked away), leaving at the edge (a loss), levels that cannot be played
// refused with an error and no game, and the drawn frame against a stored picture; in an
// 800 x 600 window the knobs' labels between their arrow buttons.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/DemoResources.h"
#include "../support/GoldenImage.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "minigame_fixture.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/minigames/decoder/Decoder.h"
#include "quillane/session/Session.h"

namespace minigametest {
namespace {

using quillane::cl_DecoderCipher;
using quillane::cl_DecoderPanel;

class DecoderGame : public MinigameTest {
 protected:
  void SetUp() override {
    MinigameTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // The session compiled the machine before the fixture copied its art: build it again.
    std::filesystem::remove(m_dir / "gui/minigames/decoder.dat");
    m_games->CompileMissing();
    SetMission("MaxSkill", "100");
  }
  // An attribute of the game state's "Missions/Minigames/Decoder" ("MaxSkill" goes to "Missions").
  void SetMission(const char* name, const char* value) {
    const std::string path =
        std::string(std::string(name) == "MaxSkill" ? "Missions/" : "Missions/Minigames/Decoder/") + name;
    base::variant_get_attribute_by_path(*m_session->GetGameState(), path.c_str(), true)->set_string(value);
  }
  // The small level: two vowels, three consonants, five letters; the start boxes already seen.
  void SmallLevel() {
    for (auto [name, value] : {std::pair{"Vowels", "AE"},
                               {"Consonants", "BCD"},
                               {"Alphabet", "ABCDE"},
                               {"MessageL1", "BAD BEE"},
                               {"MessageL2", "CAB, DAD"},
                               {"MaxVowels", "2"},
                               {"MaxConsonants", "3"},
                               {"MaxAlphabet", "5"},
                               {"TutorialTriggerStart", "1"}})
      SetMission(name, value);
  }
  cl_DecoderPanel* StartDecoder(int seed) { return static_cast<cl_DecoderPanel*>(StartSeeded("Decoder", seed)); }
  void Click(float x, float y) {
    Mouse(base::ICMD::MOUSE_MOVE, x, y);
    Mouse(base::ICMD::LEFT_DOWN, x, y);
    Mouse(base::ICMD::LEFT_UP, x, y);
    Step();
  }
  // Frames until both lines rest; false after limit.
  bool StepUntilRested(const cl_DecoderPanel& game, int limit = 100) {
    for (int i = 0; i < limit; ++i) {
      if (!game.GetLine(0).IsRolling() && !game.GetLine(1).IsRolling()) return true;
      Step();
    }
    return false;
  }
  // The fixed arrow (6 to 11) of the wheel turning in direction d.
  static int FixedArrow(int wheel, int d) {
    for (int i = 6; i < cl_DecoderPanel::kArrows; ++i)
      if (cl_DecoderPanel::ArrowWheel(i) == wheel && cl_DecoderPanel::ArrowDirection(i) == d) return i;
    return -1;
  }
};

TEST_F(DecoderGame, TurningTheWheelsBackDecodesTheMessageAndPaysTheFastBonus) {
  SmallLevel();
  cl_DecoderPanel* game = StartDecoder(3);
  ASSERT_NE(game, nullptr) << Log();
  ASSERT_TRUE(StepUntilRested(*game));  // the silent roll from the plain text into the cipher
  ASSERT_FALSE(game->IsSolved());
  EXPECT_EQ(game->GetLine(1).m_Shown.size(), 8u);
  EXPECT_EQ(game->GetLine(1).m_Shown[3], u',') << "punctuation never changes";
  for (int wheel = 0; wheel < 3; ++wheel) {
    while (game->GetCipher().m_Offsets[wheel] != 0) {
      const int d = game->GetCipher().m_Offsets[wheel] > 0 ? -1 : 1;
      const quillane::cl_RotateButton& arrow = game->GetArrow(FixedArrow(wheel, d));
      const int before = game->GetCipher().m_Offsets[wheel];
      Click(arrow.m_Position[0], arrow.m_Position[1]);
      ASSERT_EQ(game->GetCipher().m_Offsets[wheel], before + d) << "wheel " << wheel;
      ASSERT_TRUE(StepUntilRested(*game));
    }
  }
  Step();
  EXPECT_TRUE(game->IsSolved());
  EXPECT_EQ(GameStateInt("Missions/Skill"), 30);
  base::ICMD f1;
  f1.type = base::ICMD::KEY_PRESSED;
  f1.key = base::key::F1;
  EXPECT_FALSE(game->HandleInput(f1)) << "a solved machine lets the commands go on (F1 leaves an editor)";
  // The dial turns, then the "Win" box holds the clock until it is clicked away.
  for (int i = 0; i < 40 && !game->GetActiveTutorial(); ++i) Step();
  ASSERT_NE(game->GetActiveTutorial(), nullptr);
  EXPECT_EQ(std::string(game->GetActiveTutorial()->m_Trigger.c_str()), "Win");
  for (int i = 0; i < 30; ++i) Step();
  EXPECT_TRUE(m_games->IsRunning()) << "the box stops the play clock";
  Click(512.0f, 384.0f);
  ASSERT_TRUE(StepUntilIdle(80));
  EXPECT_EQ(m_counts[0].executed, 1);
  EXPECT_EQ(GameStateInt("Missions/Minigames/Decoder/Win"), 1);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 30) << "the bonus is paid once";
}

TEST_F(DecoderGame, APressAtTheEdgeLeavesWithALoss) {
  SmallLevel();
  SetMission("Win", "1");
  cl_DecoderPanel* game = StartDecoder(8);
  ASSERT_NE(game, nullptr) << Log();
  Mouse(base::ICMD::MOUSE_MOVE, 1010.0f, 300.0f);
  Mouse(base::ICMD::LEFT_DOWN, 1010.0f, 300.0f);
  Step();
  EXPECT_TRUE(game->IsFinished());
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(GameStateInt("Missions/Minigames/Decoder/Win"), 0);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 0);
}

// Levels whose letters could never settle or whose wheels cannot hide the message, and a
// damaged data file: one error line, no game, no result.
TEST_F(DecoderGame, LevelsThatCannotBePlayedAndADamagedDataFileAreRefused) {
  struct {
    const char* what;
    const char* name;
    const char* value;
    const char* logged;
  } const cases[] = {
      {"no alphabet", "Alphabet", "", "the alphabet is empty"},
      {"a vowel outside the alphabet", "Vowels", "AEX", "a vowel is not in the alphabet"},
      {"a wheel of size 0", "MaxConsonants", "0", "a wheel size is below 1"},
      {"a message without letters of the sets", "MessageL1", "XYZ", "cannot change the message"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SmallLevel();
    SetMission("MessageL2", "");
    SetMission(c.name, c.value);
    const size_t logged = Log().size();
    EXPECT_EQ(StartDecoder(1), nullptr);
    EXPECT_FALSE(m_games->IsRunning());
    EXPECT_NE(Log().find(c.logged, logged), std::string::npos) << Log().substr(logged);
  }
  SmallLevel();
  const std::filesystem::path file = m_dir / "gui/minigames/decoder.dat";
  std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);
  const size_t logged = Log().size();
  EXPECT_EQ(StartDecoder(1), nullptr);
  EXPECT_NE(Log().find("ERROR: mini-game data file 'gui/minigames/decoder.dat'", logged), std::string::npos)
      << Log().substr(logged);
  EXPECT_NE(Log().find("Decoder Minigame Error! Cannot read Textures!", logged), std::string::npos);
  EXPECT_EQ(GameStateInt("Missions/Minigames/Decoder/Win"), -1);
}

// The demo's fonts and texts in English, as the machine shows them.
class DrawnDecoder : public DecoderGame {
 protected:
  void SetUp() override {
    DecoderGame::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_GT(testsupport::LoadDemoResources(QUILLANE_DATA_DIR, m_dir, {},
                                             {"decoder", "game", "diary", "tooltip", "system"}, "decoder_resources.xml"),
              0);
    std::filesystem::create_directories(m_dir / "loca");
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(QUILLANE_DATA_DIR) / "loca"))
      if (entry.path().filename().string().find("_English.xml") != std::string::npos)
        std::filesystem::copy_file(entry.path(), m_dir / "loca" / entry.path().filename());
    const base::Variant* localization = base::sys::GetConfig().get_element("Localization");
    ASSERT_NE(localization, nullptr);
    ASSERT_TRUE(base::sys::InitTextsystem(*localization));
  }
};

// The machine after a turn of the consonant wheel, with the labels in the demo's language and
// the edge hint at the left.
TEST_F(DrawnDecoder, TheMachineIsDrawnWithItsLabelsAndLetters) {
  SetMission("TutorialTriggerStart", "1");  // the demo's level otherwise
  for (auto [name, value] : {std::pair{"Vowels", "AEIOU"},
                             {"Consonants", "BCDFGHKLMNPRSTVW"},
                             {"Alphabet", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
                             {"MessageL1", "THE FERRY SAILS AT ONE"},
                             {"MessageL2", "TRUST THE HARBOUR MASTER"},
                             {"MaxVowels", "3"},
                             {"MaxConsonants", "3"},
                             {"MaxAlphabet", "5"}})
    SetMission(name, value);
  cl_DecoderPanel* game = StartDecoder(21);
  ASSERT_NE(game, nullptr) << Log();
  ASSERT_TRUE(StepUntilRested(*game));
  const quillane::cl_RotateButton& arrow = game->GetArrow(6);
  Click(arrow.m_Position[0], arrow.m_Position[1]);
  Mouse(base::ICMD::MOUSE_MOVE, 8.0f, 384.0f);
  Step();
  EXPECT_TRUE(testsupport::MatchesGoldenPng(QUILLANE_TEST_DIR "/golden/decoder_turned.png", m_pixels, kWidth, kHeight));
}

// The machine is drawn smaller in an 800 x 600 window, and so is the room under each knob: each
// label still stands between its wheel's two fixed arrow buttons, clear of both.
TEST_F(DrawnDecoder, InAnEightHundredWindowEachLabelStandsBetweenItsArrowButtons) {
  base::sys::SetWindowSize(800, 600);
  SmallLevel();
  cl_DecoderPanel* game = StartDecoder(4);
  ASSERT_NE(game, nullptr) << Log();
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step();
  gfx::TraceDrawnText(nullptr);
  const char* const names[cl_DecoderCipher::WHEEL_COUNT] = {"Vowels", "Consonants", "Alphabet"};
  for (int wheel = 0; wheel < cl_DecoderCipher::WHEEL_COUNT; ++wheel) {
    SCOPED_TRACE(names[wheel]);
    const quillane::cl_RotateButton& left = game->GetArrow(FixedArrow(wheel, 1));
    const quillane::cl_RotateButton& right = game->GetArrow(FixedArrow(wheel, -1));
    int found = 0;
    for (const gfx::st_DrawnText& t : texts) {
      if (t.text != names[wheel]) continue;
      ++found;
      EXPECT_GE(t.left, left.m_Position[0] + left.m_Radius);
      EXPECT_LE(t.right, right.m_Position[0] - right.m_Radius);
    }
    EXPECT_GT(found, 0);
  }
  base::sys::SetWindowSize(kWidth, kHeight);
}

}  // namespace
}  // namespace minigametest
