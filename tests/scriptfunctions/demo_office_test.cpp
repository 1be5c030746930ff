// The demo's own Office script: PrepareScene places Quillane and Odo with their step sounds, and
// the opening cutscene walks Quillane up to Odo, turns her to him and hands over to the player.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "quillane/script/SoundScript.h"
#include "quillane/session/GameActionQueue.h"
#include "office_fixture.h"
#include "support/GoldenImage.h"

namespace scriptfunctionstest {
namespace {

using DemoOffice = OfficeTest;

TEST_F(DemoOffice, TheOpeningWalksQuillaneUpToOdoAndHandsOver) {
  CopyDemoScript("MainInclude.lua");  // the opening turns the two to each other through it
  ASSERT_NO_FATAL_FAILURE(Load("", false));
  // The demo script replaces the test's; the session's script set-up binds the sound functions.
  CopyDemoScript("Scenes/Office.lua");
  ASSERT_TRUE(cl_SoundScript::Register());
  m_session->LoadScene("Office");
  ASSERT_TRUE(StepUntilState("Session", 200));
  cl_Character* quillane = Character("Quillane");
  cl_Character* odo = Character("Odo");
  ASSERT_NE(quillane, nullptr);
  ASSERT_NE(odo, nullptr);
  EXPECT_EQ(m_session->GetStage()->GetPlayerCharacter(), quillane);
  EXPECT_EQ(std::string(quillane->footsteps.steps[0].sound.c_str()), "sfx/steps.ogg");
  const tPoint start = quillane->GetPosition();
  // Idle clips start at a random time; from 0, the picture repeats.
  quillane->idleChannel.timer = 0.0f;
  odo->idleChannel.timer = 0.0f;
  // As a Transit into the Office runs it once the loading screen is done.
  Call("OnEnterScene");
  int frames = 0;
  while (LinesAfter("Office: the player takes over").empty() && frames < 600) {
    Step(0.05f);
    // A second in: both placed, Odo greeting Quillane at the door (his line in its box).
    if (++frames == 20) {
      EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/office_opening.png",
                                                m_pixels, kWidth, kHeight));
    }
  }
  ASSERT_LT(frames, 600) << Log();
  const tPoint at = quillane->GetPosition(), there = odo->GetPosition();
  EXPECT_GT(std::hypot(at.x - start.x, at.z - start.z), 50.0f) << "she walked";
  EXPECT_LT(std::hypot(at.x - there.x, at.z - there.z), 200.0f) << "up to Odo";
  EXPECT_FALSE(m_session->GetActionQueue().m_inCutscene);
  EXPECT_FALSE(Logged("does not exist"));
  EXPECT_FALSE(Logged("wrong parameter"));
}

}  // namespace
}  // namespace scriptfunctionstest
