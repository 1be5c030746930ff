// The Sabotage panels' rules on their own, without a session or pictures: the element's queue of
// steps, the pump panel's knobs, plates and reset, the mixing desk's amounts, columns and alarm,
// and the pipe trace on boards built from grid documents. Without pictures every element is a
// point, and a click lands on it at its corner.
#include <gtest/gtest.h>

#include <string>

#include "base/app/ICMD.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/minigames/sabotage/ActionElement.h"
#include "quillane/minigames/sabotage/SabotageGrid.h"
#include "quillane/minigames/sabotage/SabotageMixer.h"
#include "quillane/minigames/sabotage/SabotagePumps.h"

namespace sabotagetest {
namespace {

using quillane::cl_ActionElement;
using quillane::cl_SabotagePhase1;
using quillane::cl_SabotagePhase2;
using quillane::cl_SabotagePhase3;

// The panels are drawn from this origin, so elements left of or above a panel lie on the window.
constexpr float kOrigin = 200.0f;

base::ICMD Release(const cl_ActionElement& on) {
  base::ICMD cmd;
  cmd.type = base::ICMD::LEFT_UP;
  cmd.mouseX = static_cast<uint16_t>(on.m_X + kOrigin);
  cmd.mouseY = static_cast<uint16_t>(on.m_Y + kOrigin);
  return cmd;
}

// ---- the element

TEST(ActionElementSteps, StepsRunInTurnAndMeasureFromTheElementAtQueueing) {
  cl_ActionElement e;
  e.AddRotation(0.0f, true);  // already there: over at once, the next step starts in the same update
  e.AddTranslation(100.0f, 0.0f, 1.0f, false);
  e.AddTranslation(100.0f, 0.0f, 1.0f, false);  // also to x 100: both measured from x 0
  e.Update(0.25f);
  EXPECT_EQ(e.m_Animations.size(), 2u);
  EXPECT_FLOAT_EQ(e.m_X, 25.0f);
  e.Update(0.25f), e.Update(0.25f);
  EXPECT_EQ(e.m_Animations.size(), 2u);
  e.Update(0.25f);  // one second summed: at the target and dropped in this update
  EXPECT_EQ(e.m_Animations.size(), 1u);
  EXPECT_FLOAT_EQ(e.m_X, 100.0f);
  for (int i = 0; i < 4; ++i) e.Update(0.25f);
  EXPECT_FALSE(e.IsAnimating());
  EXPECT_FLOAT_EQ(e.m_X, 100.0f) << "the second step went from 100 to 100";

  // A turn ends the frame after it reached its angle; a change of no length jumps.
  e.AddRotation(1.0f, false);
  EXPECT_TRUE(e.Update(0.5f));
  EXPECT_FLOAT_EQ(e.m_Rotation, 1.0f);
  EXPECT_FALSE(e.Update(0.5f));
  e.AddScale(0.0f, -40.0f, 0.0f, true);
  EXPECT_FALSE(e.Update(0.0f));
  EXPECT_FLOAT_EQ(e.m_Height, -40.0f);
}

TEST(ActionElementSteps, StripRunsAndTheHitBox) {
  cl_ActionElement lamp;
  lamp.AddStripRun(false);  // nothing would end it: it ends at once
  EXPECT_FALSE(lamp.Update(0.1f));

  lamp.m_Strip = std::make_unique<gfx::cl_TextureStrip>();
  lamp.AddStripRun(true);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(lamp.Update(0.1f)) << "a looping run ends only when stopped";
  lamp.m_Strip->SetPosition(2.5f);
  lamp.StopAnimations();
  EXPECT_FALSE(lamp.IsAnimating());
  EXPECT_EQ(lamp.m_Strip->GetPosition(), 0.0f);
  EXPECT_TRUE(lamp.m_Strip->IsPlaying());

  cl_ActionElement box;
  box.m_X = 10.0f, box.m_Y = 20.0f, box.m_Width = 30.0f, box.m_Height = 40.0f;
  EXPECT_TRUE(box.HitTest(10.0f, 20.0f, 2.0f));
  EXPECT_TRUE(box.HitTest(70.0f, 100.0f, 2.0f)) << "the corner unscaled, the size scaled, borders in";
  EXPECT_FALSE(box.HitTest(70.5f, 100.0f, 2.0f));
  EXPECT_FALSE(box.HitTest(9.5f, 30.0f, 2.0f));
}

// ---- the pumps

class SabotagePumps : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pumps.Layout(1.0f, nullptr, nullptr);
    Settle();
  }
  void Settle() {
    for (int i = 0; i < 100; ++i) {
      m_pumps.Update(0.1f);
      if (!m_pumps.IsAnimating()) return;
    }
  }
  bool Knob(int k) { return m_pumps.HandleInput(Release(m_pumps.GetKnob(k - 1)), kOrigin, kOrigin, 1.0f); }
  void Knobs(std::initializer_list<int> knobs) {
    for (int k : knobs) {
      ASSERT_TRUE(Knob(k));
      Settle();
    }
  }
  std::vector<int> Values(int p) const {
    const auto& v = m_pumps.GetPump(p).m_Value;
    return {v[0], v[1], v[2]};
  }

  cl_SabotagePhase1 m_pumps;
};

TEST_F(SabotagePumps, EachPumpIsSetByItsKnobsAndOpensTheNext) {
  EXPECT_EQ(m_pumps.GetCurrent(), 0);
  EXPECT_FLOAT_EQ(m_pumps.GetPlate(0).m_Y, 190.0f + 105.0f) << "the first plate opened at layout";
  ASSERT_TRUE(Knob(1));
  m_pumps.Update(0.1f);
  EXPECT_FALSE(Knob(2)) << "a click while the knob turns is lost";
  Settle();
  Knobs({2, 3});
  EXPECT_EQ(m_pumps.GetCurrent(), 1);
  EXPECT_FLOAT_EQ(m_pumps.GetPlate(0).m_Y, 190.0f);
  EXPECT_FLOAT_EQ(m_pumps.GetPlate(1).m_Y, 295.0f);
  Knobs({1, 1, 2, 2, 3});
  EXPECT_EQ(m_pumps.GetCurrent(), 2);
  Knobs({1, 2, 2});
  EXPECT_EQ(Values(2), (std::vector<int>{3, 2, 2}));
  Knobs({2});
  EXPECT_TRUE(m_pumps.IsDone());
  EXPECT_FALSE(Knob(1)) << "a set panel takes nothing";
}

TEST_F(SabotagePumps, TheResetRestoresTheStartValuesOnceThePlateHasClosed) {
  Knobs({1});
  EXPECT_EQ(Values(0), (std::vector<int>{2, 2, 1}));
  ASSERT_TRUE(m_pumps.HandleInput(Release(m_pumps.GetResetButton()), kOrigin, kOrigin, 1.0f));
  for (int i = 0; i < 5; ++i) m_pumps.Update(0.1f);
  EXPECT_EQ(Values(0), (std::vector<int>{2, 2, 1})) << "the plate is still closing";
  for (int i = 0; i < 6; ++i) m_pumps.Update(0.1f);
  EXPECT_EQ(Values(0), (std::vector<int>{1, 1, 1}));
  Settle();
  EXPECT_FLOAT_EQ(m_pumps.GetPlate(0).m_Y, 295.0f) << "and opens again";
  // The colours wipe from the old to the new value: the incoming box shrinks to nothing.
  Knobs({3});
  const auto& row = m_pumps.GetPump(0).m_Boxes[0];
  EXPECT_EQ(row[1].m_Colour, cl_SabotagePhase1::ValueColour(2));
  EXPECT_EQ(row[0].m_Width, 0.0f);
}

// ---- the mixing desk

class SabotageMixer : public ::testing::Test {
 protected:
  void SetUp() override { m_mixer.Layout(1.0f, nullptr); }
  void Settle() {
    for (int i = 0; i < 100; ++i) {
      m_mixer.Update(0.1f);
      if (!m_mixer.IsAnimating()) return;
    }
  }
  void Press(std::initializer_list<int> valves) {
    for (int v : valves) {
      ASSERT_TRUE(m_mixer.HandleInput(Release(m_mixer.GetButton(v - 1).m_ButtonElement), kOrigin, kOrigin, 1.0f));
      Settle();
    }
  }
  std::vector<int> Amounts() const {
    return {m_mixer.GetColumn(0).m_Amount, m_mixer.GetColumn(1).m_Amount, m_mixer.GetColumn(2).m_Amount};
  }
  float Height(int c) const { return -m_mixer.GetColumn(c).m_Bar.m_Height; }

  cl_SabotagePhase3 m_mixer;
};

TEST_F(SabotageMixer, ColumnsShowTheirAmountsOnlyWhileFilled) {
  Press({7});
  EXPECT_EQ(Amounts(), (std::vector<int>{7, 7, 7}));
  EXPECT_EQ(Height(0), 0.0f) << "an unfilled column changes silently";
  for (int c = 0; c < 3; ++c) m_mixer.SetFilled(c, true);
  Settle();
  EXPECT_NEAR(Height(0), 128.0f, 1.0f);
  // Heights for -25, 0, 12, 28 are (n + 20) * 190 / 40 with n held to -20 .. 20.
  Press({8});
  EXPECT_EQ(Amounts(), (std::vector<int>{0, 0, 0}));
  EXPECT_NEAR(Height(0), 95.0f, 1.0f);
  Press({7, 7, 7});
  EXPECT_EQ(Amounts(), (std::vector<int>{21, 21, 21}));
  Press({7, 7});
  EXPECT_EQ(Amounts(), (std::vector<int>{28, 28, 28})) << "raised below 22 only";
  EXPECT_NEAR(Height(1), 190.0f, 1.0f);
  Press({8, 2, 2, 2, 2, 2, 2});
  EXPECT_EQ(Amounts(), (std::vector<int>{-25, 0, 0})) << "lowered above -22 only";
  EXPECT_NEAR(Height(0), 0.0f, 1.0f);
  Press({8, 7, 7, 1});
  EXPECT_EQ(Amounts()[0], 12);
  EXPECT_NEAR(Height(0), 152.0f, 1.0f);
  // A lost pipe empties its column in a second and keeps the amount.
  m_mixer.SetFilled(0, false);
  for (int i = 0; i < 11; ++i) m_mixer.Update(0.1f);
  EXPECT_EQ(Height(0), 0.0f);
  EXPECT_EQ(Amounts()[0], 12);
}

TEST_F(SabotageMixer, TheCriticalMixtureSetsOffTheAlarmWhichRunsOutAfterTwoSeconds) {
  for (int c = 0; c < 3; ++c) m_mixer.SetFilled(c, true);
  Settle();
  Press({7, 7, 1, 4, 3, 3, 5});
  EXPECT_FALSE(m_mixer.IsAlarm());
  Press({5});
  EXPECT_EQ(Amounts(), (std::vector<int>{12, 5, 10}));
  EXPECT_TRUE(m_mixer.IsAlarm());
  EXPECT_TRUE(m_mixer.GetTubeLight(2).IsAnimating()) << "a critical column's light blinks";
  EXPECT_FALSE(m_mixer.HandleInput(Release(m_mixer.GetButton(0).m_ButtonElement), kOrigin, kOrigin, 1.0f));
  for (int i = 0; i < 19; ++i) m_mixer.Update(0.1f);
  EXPECT_FALSE(m_mixer.IsEnded());
  m_mixer.Update(0.1f), m_mixer.Update(0.1f);
  EXPECT_TRUE(m_mixer.IsEnded());
}

// ---- the pipe trace

// A 4 x 3 board from row-major cells, each "<texture><rotation>" (82: a corner turned twice).
bool BuildBoard(cl_SabotagePhase2& grid, const std::string& cells) {
  std::string xml = "<Grid><Data GridSize_X=\"4\" GridSize_Y=\"3\"/>";
  for (size_t i = 0; i + 1 < cells.size(); i += 3)
    xml += "<Element Texture=\"" + std::string(cells[i] == '1' ? "10" : std::string(1, cells[i])) + "\" Rotation=\"" +
           cells[i + 1] + "\"/>";
  xml += "</Grid>";
  base::Variant document;
  return base::xml::read_text(document, xml.c_str()) && grid.BuildGrid(document, "test");
}

TEST(SabotagePipes, APipeIsJoinedWhenEveryOpeningMeetsItsNeighbourOrAnAcceptedEnd) {
  // '1' stands for texture 10, the straight: 10 upright, 11 across.
  struct st_Case {
    const char* cells;
    bool joined[3];
    const char* why;
  };
  const st_Case cases[] = {
      {"82 80 82 10 11 82 60 10 11 11 11 82", {true, true, true}, "the demo board, turned"},
      {"82 80 82 10 11 82 60 10 11 10 11 82", {true, true, false}, "the demo board as shipped"},
      {"11 82 60 10 11 82 60 10 11 11 11 82", {false, false, true}, "an up end over column 1 has no tank"},
      {"90 11 11 11 11 82 60 10 11 11 11 82", {false, false, false}, "the T's way right ends open at the edge"},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(c.why);
    cl_SabotagePhase2 grid;
    ASSERT_TRUE(BuildBoard(grid, c.cells));
    EXPECT_EQ(grid.Connected(0, 0), c.joined[0]);
    EXPECT_EQ(grid.Connected(1, 2), c.joined[1]);
    EXPECT_EQ(grid.Connected(2, 3), c.joined[2]);
  }
}

}  // namespace
}  // namespace sabotagetest
