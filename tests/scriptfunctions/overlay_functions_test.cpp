// The overlay script functions on a running game: the picture a script waits on, score changes,
// subtitles in the script's colour, effects and plain overlays, as the overlay manager holds them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_fixture.h"
#include "quillane/hud/OverlayMgr.h"

namespace scriptfunctionstest {
namespace {

class OverlayScript : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(
        Start("function Picture()\n"
              "  AllowSkip(1)\n"
              "  AllowCancel(1)\n"
              "  ShowImage(\"gui/overlays/letter.tga\", 0.5, 2.0, 0.5)\n"
              "  Debugout(\"t: shown\")\n"
              "end\n"
              "function Scores()\n"
              "  ShowScore(\"skill\", 0, 0.1, 1.0, 0.1)\n"
              "  ShowScore(\"wealth\", -3, 0.1, 1.0, 0.1)\n"
              "  ShowScore(\"Wealth\", 25, 0.2, 1.5, 0.3)\n"
              "end\n"
              "function Subtitles()\n"
              "  ShowSceneSubtitle(\"#white\", 0.5, 2.0, 0.5)\n"
              "  ShowSceneSubtitle(\"#clamped\", 0.5, 2.0, 0.5, 300, -5, 128)\n"
              "end\n"
              "function Others()\n"
              "  StartEffect(\"text\", 2.0)\n"
              "  AddOverlay(\"spycraft\", \"7\", 0.25, 1.0, 0.75)\n"
              "  AddOverlay(\"smoke\", \"x\", 1.0, 1.0, 1.0)\n"
              "end\n"));
    m_overlays = m_session->GetOverlayMgr();
    ASSERT_NE(m_overlays, nullptr);
    m_overlays->Clear();
  }

  size_t Count(const char* name) const {
    size_t n = 0;
    for (size_t i = 0; i < m_overlays->GetCount(); ++i)
      if (m_overlays->GetOverlay(i)->m_name == name) ++n;
    return n;
  }
  // Steps 0.1 s frames until the picture's script went on; the seconds that took, -1 after 10 s.
  float StepUntilShown() {
    for (int i = 0; i <= 100; ++i) {
      if (!Said().empty()) return float(i) * 0.1f;
      Step(0.1f);
    }
    return -1.0f;
  }

  cl_OverlayMgr* m_overlays = nullptr;
};

TEST_F(OverlayScript, APictureHoldsItsScriptForAllThreePhasesAndGoesWithTheWait) {
  Call("Picture");
  EXPECT_EQ(Count("image"), 1u);
  quillane::cl_GameActionQueue& queue = m_session->GetActionQueue();
  EXPECT_FALSE(queue.m_skipAllowed) << "the picture is clicked away, not skipped";
  EXPECT_FALSE(queue.m_cancelAllowed);
  EXPECT_TRUE(queue.IsCurrentActionSkippable());
  const float waited = StepUntilShown();
  EXPECT_GE(waited, 3.0f);
  EXPECT_LE(waited, 3.25f);
  EXPECT_EQ(Count("image"), 0u);
  EXPECT_FALSE(queue.m_skipAllowed) << "the flags stay off once the wait is over";
}

TEST_F(OverlayScript, AClickedAwayPictureEndsTheWaitAtOnce) {
  Call("Picture");
  for (int i = 0; i < 10; ++i) Step(0.1f);
  EXPECT_TRUE(Said().empty());
  // What a click on the picture does.
  m_session->GetActionQueue().SkipCurrentAction();
  EXPECT_EQ(Count("image"), 0u) << "the picture goes with its wait";
  Step(0.1f);
  EXPECT_EQ(Said(), std::vector<std::string>{"shown"});
}

TEST_F(OverlayScript, OnlyAPositiveScoreShowsAndItsAmountIsTheText) {
  Run("Scores");
  ASSERT_EQ(m_overlays->GetCount(), 1u);
  const cl_Overlay* score = m_overlays->GetOverlay(0);
  EXPECT_EQ(std::string(score->m_name.c_str()), "Wealth");
  EXPECT_EQ(std::string(score->m_text.c_str()), "25");
  EXPECT_FLOAT_EQ(score->m_fadeIn, 0.2f);
  EXPECT_FLOAT_EQ(score->m_hold, 1.5f);
  EXPECT_FLOAT_EQ(score->m_fadeOut, 0.3f);
}

TEST_F(OverlayScript, ASubtitleIsOpaqueWhiteUnlessColouredAndItsChannelsAreClamped) {
  Run("Subtitles");
  ASSERT_EQ(m_overlays->GetCount(), 2u);
  const auto* white = dynamic_cast<const cl_TextOverlay*>(m_overlays->GetOverlay(0));
  const auto* clamped = dynamic_cast<const cl_TextOverlay*>(m_overlays->GetOverlay(1));
  ASSERT_NE(white, nullptr);
  ASSERT_NE(clamped, nullptr);
  EXPECT_EQ(white->GetColour(), 0xFFFFFFFFu);
  EXPECT_EQ(clamped->GetColour(), 0xFFFF0080u);
  EXPECT_EQ(std::string(clamped->m_text.c_str()), "#clamped");
  EXPECT_FALSE(Logged("wrong parameter")) << "the colour is optional";
}

TEST_F(OverlayScript, AnEffectHoldsWithoutFadesAndAnUnknownTypeMakesNothing) {
  Run("Others");
  ASSERT_EQ(m_overlays->GetCount(), 2u);
  const cl_Overlay* effect = m_overlays->GetOverlay(0);
  EXPECT_EQ(std::string(effect->m_text.c_str()), "");
  EXPECT_EQ(effect->m_fadeIn, 0.0f);
  EXPECT_FLOAT_EQ(effect->m_hold, 2.0f);
  EXPECT_EQ(effect->m_fadeOut, 0.0f);
  const cl_Overlay* plain = m_overlays->GetOverlay(1);
  EXPECT_EQ(std::string(plain->m_name.c_str()), "spycraft");
  EXPECT_FLOAT_EQ(plain->m_fadeIn, 0.25f);
  EXPECT_FLOAT_EQ(plain->m_fadeOut, 0.75f);
}

}  // namespace
}  // namespace scriptfunctionstest
