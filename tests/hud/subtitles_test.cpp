// Subtitle lines on a fake video clock: expiry from the front only, the fades, removal by kind,
// the clock of relative lines, and the registration the video controller looks for.
#include <gtest/gtest.h>

#include "HudStandIns.h"
#include "quillane/hud/Subtitles.h"

namespace hudtest {
namespace {

class SubtitleTest : public HudTest {
 protected:
  void At(float videoTime, float dt = 0.1f) {
    Rules().videoTime = videoTime;
    m_lines.Update(0.0f, dt);
  }
  cl_SubtitleCtrl m_lines;
};

TEST_F(SubtitleTest, OnlyTheFrontLineExpires) {
  m_lines.AddLine("#a", 0.0f, 5.0f, 0.5f, 0xFFFFFFFFu, 1);
  m_lines.AddLine("#b", 1.0f, 2.0f, 0.5f, 0xFFFFFFFFu, 1);  // ends earlier, queued later
  m_lines.AddLine(nullptr, 1.0f, 2.0f, 0.5f, 0xFFFFFFFFu, 1);
  ASSERT_EQ(m_lines.GetLines().size(), 2u);
  At(3.0f);
  EXPECT_EQ(m_lines.GetLines().size(), 2u) << "#b waits behind #a";
  At(5.0f);
  EXPECT_EQ(m_lines.GetLines().size(), 2u) << "a line ends after its last second";
  At(5.01f);
  EXPECT_TRUE(m_lines.GetLines().empty());
}

TEST_F(SubtitleTest, FadesInAndOutAndAZeroFadeIsFullAlpha) {
  cl_SubtitleCtrl::st_Line line;
  line.start = 1.0f, line.end = 3.0f, line.fade = 0.5f;
  EXPECT_EQ(cl_SubtitleCtrl::FadeAlpha(line, 1.25f), 127);
  EXPECT_EQ(cl_SubtitleCtrl::FadeAlpha(line, 2.0f), 255);
  EXPECT_EQ(cl_SubtitleCtrl::FadeAlpha(line, 2.75f), 127);
  line.fade = 0.0f;
  for (float t : {1.0f, 2.0f, 2.999f}) EXPECT_EQ(cl_SubtitleCtrl::FadeAlpha(line, t), 255) << t;
}

TEST_F(SubtitleTest, RemoveAllEmptiesTheQueueAndTheClockRestartsNextUpdate) {
  m_lines.AddLine("#a", 0.0f, 50.0f, 0.0f, 0xFFFFFFFFu, 1);
  At(0.0f, 1.0f);
  At(0.0f, 1.0f);
  EXPECT_FLOAT_EQ(m_lines.GetClock(), 2.0f);
  // A relative line counts from the clock.
  m_lines.AddLine("#r", 1.0f, 2.0f, 0.0f, 0xFFFFFFFFu, 3);
  EXPECT_FLOAT_EQ(m_lines.GetLines().back().start, 3.0f);
  m_lines.RemoveLines(3);
  EXPECT_EQ(m_lines.GetLines().size(), 1u);
  m_lines.RemoveLines(i_SubtitleLines::REMOVE_ALL);
  EXPECT_TRUE(m_lines.GetLines().empty());
  EXPECT_FLOAT_EQ(m_lines.GetClock(), 2.0f);
  At(0.0f, 1.0f);
  EXPECT_FLOAT_EQ(m_lines.GetClock(), 0.0f);
}

TEST_F(SubtitleTest, TheControlIsTheProgramsSubtitleLinesWhileItLives) {
  EXPECT_EQ(GetSubtitleLines(), &m_lines);
  EXPECT_EQ(cl_SubtitleCtrl::GetInstance(), &m_lines);
  {
    cl_SubtitleCtrl other;
    EXPECT_EQ(GetSubtitleLines(), &other);
  }
  EXPECT_EQ(GetSubtitleLines(), nullptr);
  EXPECT_EQ(cl_SubtitleCtrl::GetInstance(), nullptr);
}

}  // namespace
}  // namespace hudtest
