// The base panel's services through the probe game: the skip button and its delay, the result
// it writes, the tutorial boxes and their once key, and level XML.
#include <string>

#include "minigame_fixture.h"
#include "../support/DemoResources.h"
#include "../support/GoldenImage.h"
#include "base/app/ICMD.h"
#include "base/data/Variant.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/minigames/MinigameManager.h"

namespace minigametest {
namespace {

using testsupport::st_EventCounts;

// The game's own delay, or 0.1 s with the option, whatever the game asks for.
TEST_F(MinigameTest, TheSkipButtonShowsAfterTheGamesDelayOrAfterATenthWithTheOption) {
  st_EventCounts& counts = m_counts[0];
  ASSERT_TRUE(StartProbe(counts));
  for (const bool quick : {false, true}) {
    SCOPED_TRACE(quick);
    SetQuickSkip(quick);
    Probe()->ResetPanicTimer(kProbeSkipDelay);
    int frames = 0;
    while (!Probe()->IsSkipVisible() && frames < 100) {
      Probe()->i_Minigame::Update(0.25f);
      ++frames;
    }
    EXPECT_EQ(frames, quick ? 1 : 20);
  }
}

// Only a release on the button skips; the game then counts as won and finished, and fades out
// with the pressed frame shown. A second release changes nothing; the script goes on after.
TEST_F(MinigameTest, AReleaseOnTheSkipButtonWinsTheGameAndAPressDoesNothing) {
  m_games->CompileMissing();  // the probe's data file with the skip strip
  SetQuickSkip(true);
  st_EventCounts& counts = m_counts[0];
  ASSERT_TRUE(StartProbe(counts));
  ASSERT_TRUE(StepUntilRunning());
  Step();
  Step();
  float x = 0.0f, y = 0.0f;
  ASSERT_TRUE(Probe()->GetSkipButtonCentre(x, y)) << Log();
  Mouse(base::ICMD::LEFT_DOWN, x, y);
  Step();
  EXPECT_FALSE(Probe()->IsFinished());
  EXPECT_EQ(GameStateInt("Missions/Minigames/Probe/Win"), -1);
  Mouse(base::ICMD::LEFT_UP, x + 200.0f, y);
  EXPECT_FALSE(Probe()->IsFinished()) << "a release beside the button";
  Mouse(base::ICMD::LEFT_UP, x, y);
  EXPECT_TRUE(Probe()->IsFinished());
  EXPECT_EQ(GameStateInt("Missions/Minigames/Probe/Win"), 1);
  base::ICMD again;
  again.type = base::ICMD::LEFT_UP;
  again.mouseX = static_cast<uint16_t>(x), again.mouseY = static_cast<uint16_t>(y);
  EXPECT_FALSE(Probe()->HitSkipButton(again, 0.0f, 0.0f, Probe()->m_Scale));
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(counts.executed, 1);
  EXPECT_EQ(GameStateInt("Missions/Minigames/Probe/Win"), 1);
}

// The frame of a running game: its own picture, the first tutorial box in its hold and the skip
// button with its tooltip under the mouse, against the stored picture.
TEST_F(MinigameTest, TheSkipButtonTooltipAndTutorialBoxAreDrawnOverTheGame) {
  ASSERT_GT(testsupport::LoadDemoResources(QUILLANE_DATA_DIR, m_dir, {"gui/skin/dialog_"}, {"tooltip", "tutorial"},
                                           "probe_resources.xml"),
            0);
  m_games->CompileMissing();
  SetQuickSkip(true);
  st_EventCounts& counts = m_counts[0];
  ASSERT_TRUE(StartProbe(counts));
  ASSERT_TRUE(StepUntilRunning());
  Step();
  float x = 0.0f, y = 0.0f;
  ASSERT_TRUE(Probe()->GetSkipButtonCentre(x, y));
  MoveMouse({x, y});
  ASSERT_TRUE(Probe()->TriggerTutorial(Probe()->GetMissionPath(), "Start", false));
  for (int i = 0; i < 8; ++i) Step();
  ASSERT_NE(Probe()->GetActiveTutorial(), nullptr);
  EXPECT_EQ(Probe()->GetActiveTutorial()->m_Alpha, 255.0f);
  EXPECT_TRUE(testsupport::MatchesGoldenPng(QUILLANE_TEST_DIR "/golden/probe_skip_tutorial.png", m_pixels, kWidth,
                                            kHeight));
}

// Two boxes of one trigger show one after the other, each for its full time; a click while a box
// fades in is swallowed without shortening it, a click while it holds starts its last second.
TEST_F(MinigameTest, TutorialBoxesOfOneTriggerShowInTurnForTheirFullTime) {
  st_EventCounts& counts = m_counts[0];
  ASSERT_TRUE(StartProbe(counts));
  cl_ProbeGame& game = *Probe();
  ASSERT_TRUE(game.TriggerTutorial(game.GetMissionPath(), "Start", false));
  base::ICMD click;
  click.type = base::ICMD::LEFT_UP;
  auto framesOf = [&](const char* text, bool clickInFadeIn) {
    int frames = 0;
    while (game.GetActiveTutorial() && game.GetActiveTutorial()->m_Text == text && frames < 200) {
      EXPECT_TRUE(game.UpdateTutorial(0.1f));
      if (frames == 1 && clickInFadeIn) {
        EXPECT_TRUE(game.HandleTutorialInput(click));
      }
      ++frames;
    }
    return frames;
  };
  const int first = framesOf("#probe0_1 First box", true);
  const int second = framesOf("#probe0_2 Second box", false);
  EXPECT_EQ(first, second);
  EXPECT_GE(first * 0.1f, kProbeTutorialTime);
  EXPECT_LE(first * 0.1f, kProbeTutorialTime + 1.0f);
  EXPECT_EQ(game.GetTutorialCount(), 1) << "shown boxes leave the list";
  EXPECT_FALSE(game.UpdateTutorial(0.1f)) << "the Win box is not armed";

  // A click in the hold leaves one second of fade-out.
  ASSERT_TRUE(game.TriggerTutorial(game.GetMissionPath(), "Win", false));
  for (int i = 0; i < 8; ++i) game.UpdateTutorial(0.1f);
  EXPECT_TRUE(game.HandleTutorialInput(click));
  int left = 0;
  while (game.GetActiveTutorial() && left < 100) game.UpdateTutorial(0.1f), ++left;
  EXPECT_LE(left, 12);
}

// With once the trigger's key in the game state arms a box only the first time; a box armed
// later but standing earlier in the list is shown first.
TEST_F(MinigameTest, AOnceTriggerArmsOnlyTheFirstTimeAndTheListOrderDecides) {
  st_EventCounts& counts = m_counts[0];
  ASSERT_TRUE(StartProbe(counts));
  cl_ProbeGame& game = *Probe();
  EXPECT_TRUE(game.TriggerTutorial(game.GetMissionPath(), "Win", true));
  EXPECT_EQ(GameStateInt("Missions/Minigames/Probe/TutorialTriggerWin"), 1);
  EXPECT_FALSE(game.TriggerTutorial(game.GetMissionPath(), "Win", true));
  EXPECT_TRUE(game.TriggerTutorial(game.GetMissionPath(), "Start", false));
  ASSERT_NE(game.GetActiveTutorial(), nullptr);
  EXPECT_EQ(game.GetActiveTutorial()->m_Text, "#probe0_1 First box");
  int shown = 0;
  for (int i = 0; i < 300 && game.UpdateTutorial(0.1f); ++i)
    if (game.GetActiveTutorial() && game.GetActiveTutorial()->m_Trigger == "Win" && shown == 0) shown = i;
  EXPECT_GT(shown, 0) << "the Win box comes after both Start boxes";
  EXPECT_EQ(game.GetTutorialCount(), 0);
}

// Level XML: a loose file is parsed; a missing or malformed one leaves the output untouched.
TEST_F(MinigameTest, LevelXmlIsReadFromLooseFilesAndFailuresLeaveTheOutputAlone) {
  st_EventCounts& counts = m_counts[0];
  ASSERT_TRUE(StartProbe(counts));
  Write("gui/minigames/probe/level.xml", "<Level size=\"3\"><Row/></Level>");
  Write("gui/minigames/probe/broken.xml", "<Level size=\"3\"><Row>");
  base::Variant level;
  ASSERT_TRUE(Probe()->ReadMinigameData(level, "gui/minigames/probe/level.xml"));
  int size = 0;
  EXPECT_TRUE(level.get_attribute_int("size", size) && size == 3);
  for (const char* member : {"gui/minigames/probe/missing.xml", "gui/minigames/probe/broken.xml",
                             static_cast<const char*>(nullptr)}) {
    base::Variant kept;
    kept.set_int(7);
    EXPECT_FALSE(Probe()->ReadMinigameData(kept, member));
    EXPECT_EQ(kept.get_int(), 7);
  }
}

}  // namespace
}  // namespace minigametest
