// The session's frame: frame-time limits and the time factor, pausing, and the requests to leave
// the game, which wait for the fader to cover the screen.
#include <gtest/gtest.h>

#include "quillane/frame/GameFrame.h"
#include "quillane/session/Session.h"
#include "session_fixture.h"

namespace quillane {
namespace {

class SessionUpdate : public sessiontest::SessionTest {
 protected:
  int Count(const std::string& text) const {
    const std::string log = Log();
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  }
  // A session made by the frame, started and shown: its start-up tasks have run.
  cl_Session* RunSession() {
    m_frame->NewSession();
    m_frame->RunSession();
    if (!StepUntilState("Session")) return nullptr;
    return GetSession();
  }
};

TEST_F(SessionUpdate, FrameTimesAreScaledLimitedAndLongOnesLogged) {
  StartFrame();
  base::smart_ptr<cl_Session> session(new cl_Session());
  struct st_Case {
    float dt;
    float advance;
    int warnings;  // "timedelta" lines so far
  };
  const st_Case cases[] = {{0.6f, 0.1f, 1}, {0.3f, 0.1f, 1}, {0.05f, 0.05f, 1}, {0.5f, 0.1f, 1}};
  for (const st_Case& c : cases) {
    const float before = session->GetGameTime();
    session->Update(0.0f, c.dt);
    EXPECT_NEAR(session->GetGameTime() - before, c.advance, 1e-6f) << c.dt;
    EXPECT_EQ(Count("timedelta="), c.warnings) << c.dt;
  }
  EXPECT_EQ(Count("warning: timedelta=0.60\n"), 1);

  cl_Session::s_timeFactor = 2.0f;
  float before = session->GetGameTime();
  session->Update(0.0f, 0.04f);
  EXPECT_NEAR(session->GetGameTime() - before, 0.08f, 1e-6f);
  before = session->GetGameTime();
  session->Update(0.0f, 0.3f);  // 0.6 after the factor: logged, then limited
  EXPECT_NEAR(session->GetGameTime() - before, 0.1f, 1e-6f);
  EXPECT_EQ(Count("warning: timedelta=0.60\n"), 2);
  cl_Session::s_timeFactor = 1.0f;

  session->SetForcedStep(0.25f);
  before = session->GetGameTime();
  session->Update(0.0f, 0.01f);
  EXPECT_NEAR(session->GetGameTime() - before, 0.25f, 1e-6f) << "a forced step replaces the frame time once";
  before = session->GetGameTime();
  session->Update(0.0f, 0.01f);
  EXPECT_NEAR(session->GetGameTime() - before, 0.01f, 1e-6f);
}

TEST_F(SessionUpdate, PausedGameStandsStillWhileTheFaderRuns) {
  StartFrame();
  base::smart_ptr<cl_Session> session(new cl_Session());
  session->SetPaused(true);
  session->GetFader().Start(true, 0.3f, "", 0);
  for (int i = 0; i < 4; ++i) session->Update(0.0f, 0.1f);
  EXPECT_EQ(session->GetGameTime(), 0.0f);
  EXPECT_EQ(session->GetFader().m_state, cl_Fader::STATE_COVERED);
  EXPECT_FLOAT_EQ(session->GetHoverTime(), 0.4f) << "the hover time counts on while paused";
}

// The in-game menu's "mainmenu" pauses the game and fades to black; the session goes once the
// fade is complete, and the frame shows the root menu.
TEST_F(SessionUpdate, MainMenuRequestWhilePausedLeavesAfterTheFade) {
  StartFrame();
  cl_Session* session = RunSession();
  ASSERT_NE(session, nullptr);
  session->SetPaused(true);
  session->SetPendingRequest("mainmenu");
  session->GetFader().Start(true, 0.5f, "", 0);
  for (int i = 0; i < 4; ++i) Step();
  EXPECT_EQ(GetSession(), session) << "still fading";
  EXPECT_EQ(StateName(), "Session");
  for (int i = 0; i < 3 && GetSession(); ++i) Step();
  EXPECT_EQ(GetSession(), nullptr);
  EXPECT_EQ(m_frame->GetSession(), nullptr);
  EXPECT_EQ(StateName(), "RootMenu");
  Step();  // the root menu runs on
  EXPECT_FALSE(m_system->GetQuit());
}

TEST_F(SessionUpdate, QuitRequestEndsTheProgramAfterTheFade) {
  StartFrame();
  cl_Session* session = RunSession();
  ASSERT_NE(session, nullptr);
  session->SetRequest("quit");
  session->GetFader().Start(true, 0.2f, "", 0);
  Step();
  EXPECT_FALSE(m_system->GetQuit());
  Step();
  EXPECT_TRUE(m_system->GetQuit());
}

TEST_F(SessionUpdate, UnknownRequestDoesNothingOnceCovered) {
  StartFrame();
  cl_Session* session = RunSession();
  ASSERT_NE(session, nullptr);
  session->SetRequest("options");
  session->GetFader().Start(true, 0.0f, "", 0);
  for (int i = 0; i < 3; ++i) Step();
  EXPECT_EQ(GetSession(), session);
  EXPECT_FALSE(m_system->GetQuit());
}

}  // namespace
}  // namespace quillane
