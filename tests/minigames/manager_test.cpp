// The manager's fades, its start and end rules and what the session does around a held game.
#include <string>
#include <vector>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "minigame_fixture.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/script/GameThread.h"
#include "quillane/session/Session.h"

namespace minigametest {
namespace {

using quillane::cl_MinigameManager;
using testsupport::st_EventCounts;

struct st_FadeStep {
  float alpha;
  float target;
  int state;
};

// The fade-in at long frames, driven without the session (which would cut frames to 0.1 s): the
// black point is held exactly, 0 itself does not end the fade, and the game is not updated
// before the frame after the one that ends it.
TEST_F(MinigameTest, FadeInHitsTheBlackPointAndStartsTheGameAtTheRightFrame) {
  struct st_Case {
    float dt;
    std::vector<st_FadeStep> steps;
  };
  const int in = cl_MinigameManager::FadeIn, run = cl_MinigameManager::Running;
  const st_Case cases[] = {
      {0.5f, {{127.5f, 255, in}, {255, 0, in}, {127.5f, 0, in}, {0, 0, in}, {0, 255, run}}},
      {0.4f, {{102, 255, in}, {204, 255, in}, {255, 0, in}, {153, 0, in}, {51, 0, in}, {0, 255, run}}},
  };
  st_EventCounts* counts = m_counts;  // the second start ends the first game and runs its event
  for (int i = 0; i < 2; ++i) {
    const st_Case& c = cases[i];
    SCOPED_TRACE(c.dt);
    ASSERT_TRUE(StartProbe(counts[i], true));
    const int updates = ProbeCounts().updates;
    EXPECT_TRUE(m_games->IsBackgroundVisible());
    for (const st_FadeStep& step : c.steps) {
      m_games->Update(c.dt);
      EXPECT_NEAR(m_games->GetAlpha(), step.alpha, 1e-3f);
      EXPECT_EQ(m_games->GetTarget(), step.target);
      EXPECT_EQ(m_games->GetState(), step.state);
      // The scene shows only while the black rises over it.
      EXPECT_EQ(m_games->IsBackgroundVisible(), step.state == in && step.target == 255);
    }
    EXPECT_EQ(ProbeCounts().updates, updates);
    m_games->Update(c.dt);
    EXPECT_EQ(ProbeCounts().updates, updates + 1);
  }
}

// A game done on its first running frame fades out at once: one update of the game, two
// seconds of fade, then one End and one run of the event, which is then deleted.
TEST_F(MinigameTest, AGameFinishedOnItsFirstFrameFadesOutAndEndsOnce) {
  st_EventCounts& counts = m_counts[0];
  ASSERT_TRUE(StartProbe(counts));
  for (int i = 0; i < 5; ++i) m_games->Update(0.5f);
  ASSERT_EQ(m_games->GetState(), cl_MinigameManager::Running);
  ProbeCounts().finishNow = true;
  m_games->Update(0.5f);
  EXPECT_EQ(m_games->GetState(), cl_MinigameManager::FadeOut);
  EXPECT_FLOAT_EQ(m_games->GetAlpha(), 127.5f);
  EXPECT_FALSE(m_games->IsBackgroundVisible()) << "the black rises over the finished game";
  for (int i = 0; i < 3; ++i) m_games->Update(0.5f);
  EXPECT_TRUE(m_games->IsRunning());
  EXPECT_TRUE(m_games->IsBackgroundVisible()) << "the black falls over the scene";
  EXPECT_EQ(counts.executed, 0);
  m_games->Update(0.5f);
  EXPECT_FALSE(m_games->IsRunning());
  EXPECT_EQ(ProbeCounts().updates, 1);
  EXPECT_EQ(ProbeCounts().ends, 1);
  EXPECT_EQ(counts.executed, 1);
  EXPECT_EQ(counts.deleted, 1);
  m_games->Update(0.5f);
  EXPECT_EQ(ProbeCounts().ends, 1);
}

// A busy manager refuses a plain start and leaves the held game, its event and its fade alone;
// a forced start ends the held game (its event runs) and starts the same instance again.
TEST_F(MinigameTest, StartIsRefusedWhileBusyUnlessForced) {
  st_EventCounts &first = m_counts[0], &refused = m_counts[1], &forced = m_counts[2];
  ASSERT_TRUE(StartProbe(first));
  m_games->Update(0.3f);
  EXPECT_FALSE(StartProbe(refused));
  EXPECT_EQ(refused.executed, 0);
  EXPECT_NEAR(m_games->GetAlpha(), 76.5f, 1e-3f);
  EXPECT_EQ(first.executed + first.deleted + ProbeCounts().ends, 0);
  EXPECT_NE(Log().find("\"Probe\" is still running"), std::string::npos);

  ASSERT_TRUE(StartProbe(forced, true));
  EXPECT_EQ(first.executed, 1);
  EXPECT_EQ(ProbeCounts().ends, 1);
  EXPECT_EQ(ProbeCounts().inits, 2);
  EXPECT_EQ(ProbeCounts().made, 1) << "the instance is kept between starts";
  EXPECT_EQ(m_games->GetState(), cl_MinigameManager::FadeIn);
  EXPECT_EQ(m_games->GetAlpha(), 0.0f);
}

// Shutdown (a savegame loaded into the running session) drops the event without running it and
// deletes the instances; the next start makes a fresh one. A failing Init leaves it cached.
TEST_F(MinigameTest, ShutdownDropsTheEventAndTheInstances) {
  st_EventCounts& counts = m_counts[0];
  ASSERT_TRUE(StartProbe(counts));
  m_games->Shutdown();
  EXPECT_EQ(counts.executed, 0);
  EXPECT_EQ(counts.deleted, 1);
  EXPECT_EQ(ProbeCounts().ends, 1);
  EXPECT_EQ(ProbeCounts().deleted, 1);
  EXPECT_EQ(Probe(), nullptr);
  EXPECT_FALSE(m_games->IsRunning());
  EXPECT_TRUE(m_games->IsBackgroundVisible());

  ProbeCounts().refuseInit = true;
  st_EventCounts& refused = m_counts[1];
  EXPECT_FALSE(StartProbe(refused));
  EXPECT_EQ(ProbeCounts().made, 2);
  EXPECT_NE(Probe(), nullptr) << "the instance stays for the next start";
  EXPECT_FALSE(m_games->IsRunning());
  EXPECT_EQ(refused.executed, 0);
}

// Started by a script: the thread waits while the game fades in, runs and fades out, and goes on
// after it. The session draws the game instead of the scene and gives it every command, but
// only once it runs: during the fades even Escape reaches neither the game nor the menus.
TEST_F(MinigameTest, AScriptWaitsForTheGameWhileTheSessionHandsItTheScreenAndTheInput) {
  Write("Scripts/probe.lua",
        "function Play()\n  Debugout(\"probe: before\")\n  StartMinigame(\"Probe\")\n  Debugout(\"probe: after\")\nend\n");
  GameThread::Start("probe.lua", "Play", base::Variant());
  ASSERT_TRUE(m_games->IsRunning()) << Log();
  Step();
  EXPECT_NE(Pixel(512, 384) & 0xFFFFFF, kProbeColour & 0xFFFFFF) << "the scene shows while the black rises";
  Key(base::key::Escape);
  EXPECT_FALSE(m_session->IsMenuOpen());
  ASSERT_TRUE(StepUntilRunning());
  Key('K');
  EXPECT_EQ(Probe()->GetLastKey(), 'K');
  EXPECT_FALSE(m_session->IsMenuOpen());
  Step();
  EXPECT_EQ(Pixel(512, 384), kProbeColour & 0xFFFFFF);
  EXPECT_EQ(Log().find("probe: after"), std::string::npos);
  ProbeCounts().finishNow = true;
  ASSERT_TRUE(StepUntilIdle());
  Step();
  EXPECT_NE(Log().find("probe: after"), std::string::npos) << Log();
  EXPECT_EQ(ProbeCounts().ends, 1);
}

}  // namespace
}  // namespace minigametest
