// The option rows on their own and the display-mode lists built from made-up mode lists.
#include <cmath>
#include <limits>

#include "OptionsFixture.h"
#include "base/system.h"
#include "win32dx9/SysInfo.h"

namespace optionstest {
namespace {

using menutest::Cmd;

TEST(OptionIndexFromValue, StepsThroughTheListAndStaysInside) {
  struct {
    float v;
    int n;
    int index;
  } const cases[] = {
      {0.7f, 0, 0},  {1.0f, 1, 0},  {0.0f, 2, 0},  {0.5f, 2, 0}, {0.51f, 2, 1}, {1.0f, 2, 1},  {0.0f, 5, 0},
      {0.25f, 5, 1}, {0.37f, 5, 1}, {0.38f, 5, 2}, {1.0f, 5, 4}, {7.0f, 5, 4},  {-1.0f, 5, 0},
      {std::numeric_limits<float>::infinity(), 5, 4}, {std::nanf(""), 5, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(IndexFromValue(c.v, c.n), c.index) << c.v << " of " << c.n;
}

TEST(OptionNumberTexts, AreTheCLocaleForms) {
  EXPECT_EQ(FormatOptionG(0.5f), "0.5");
  EXPECT_EQ(FormatOptionG(1.0f), "1");
  EXPECT_EQ(FormatOptionG(0.333333343f), "0.333333");
  EXPECT_EQ(FormatOptionF(0.25f), "0.250000");
  EXPECT_EQ(FormatOptionD(-3), "-3");
  EXPECT_EQ(ParseOptionNumber("0.750000"), 0.75f);
  EXPECT_EQ(ParseOptionNumber(""), 0.0f);
}

// ---- sliders

class OptionSliderTest : public OptionsTest {
 protected:
  cl_OptionsSlider& MakeSlider(float steps, bool immediate, const char* format) {
    m_slider = std::make_unique<cl_OptionsSlider>();
    m_slider->Setup(100, 100, 400, 32, nullptr);
    m_slider->SetSteps(steps);
    m_slider->SetImmediateUpdate(immediate);
    base::Variant out;
    out.set_element("OutputFormat");
    out.attribute("type")->set_string(format);
    for (const char* key : {"#optio0_300 Low", "#optio0_301 Medium", "#optio0_302 High"})
      out.add_element("S").attribute("value")->set_string(key);
    m_slider->SetOutputFormat(out);
    m_slider->UpdateRect(0, 0);
    return *m_slider;
  }
  bool Input(int type, int x) {
    base::ICMD cmd = Cmd(type, x, 110);
    return m_slider->ProcessInput(cmd);
  }
  std::unique_ptr<cl_OptionsSlider> m_slider;
};

std::u16string Localized(const char* key) {
  base::tString<base::BaseUnicodeString> text;
  base::sys::Localize(key, text);
  return text.c_str();
}

TEST_F(OptionSliderTest, TextFormatNamesEachOfThreeSteps) {
  cl_OptionsSlider& slider = MakeSlider(3, true, "Text");
  const std::pair<float, const char*> cases[] = {
      {0.0f, "#optio0_300 Low"}, {0.5f, "#optio0_301 Medium"}, {1.0f, "#optio0_302 High"}};
  for (const auto& [v, key] : cases) {
    slider.SetValue(v);
    std::u16string text;
    EXPECT_TRUE(slider.GetValueText(text));
    EXPECT_EQ(text, Localized(key)) << v;
  }
}

TEST_F(OptionSliderTest, TrackClicksMoveAFiveStepSliderByAQuarterUpToOne) {
  cl_OptionsSlider& slider = MakeSlider(5, true, "Percent");
  slider.SetValue(0.5f);
  slider.UpdateRect(0, 0);
  const float expected[] = {0.75f, 1.0f, 1.0f};
  for (float v : expected) {
    EXPECT_TRUE(Input(base::ICMD::LEFT_DOWN, 495));
    EXPECT_EQ(slider.GetValue(), v);
    slider.UpdateRect(0, 0);
  }
  EXPECT_TRUE(Input(base::ICMD::LEFT_DOWN, 105));
  EXPECT_EQ(slider.GetValue(), 0.75f);
  EXPECT_FALSE(Input(base::ICMD::LEFT_DOWN, 600));  // outside
}

TEST_F(OptionSliderTest, WithoutImmediateUpdateTheValueChangesAndSnapsOnRelease) {
  cl_OptionsSlider& slider = MakeSlider(5, false, "Raw");
  const float handle = slider.GetHandleX();
  ASSERT_TRUE(Input(base::ICMD::LEFT_DOWN, static_cast<int>(handle) + 2));
  ASSERT_TRUE(slider.IsDragging());
  EXPECT_TRUE(Input(base::ICMD::MOUSE_MOVE, 300));
  EXPECT_EQ(slider.GetValue(), 0.0f);
  std::u16string text;
  slider.GetValueText(text);
  EXPECT_NE(text, u"0.000000");  // the text follows the handle
  EXPECT_TRUE(Input(base::ICMD::LEFT_UP, 300));
  EXPECT_EQ(slider.GetValue(), 0.5f);  // (290 - 110) / 360 = 0.5
  // Pressing and releasing the handle where it is keeps the value.
  slider.UpdateRect(0, 0);
  Input(base::ICMD::LEFT_DOWN, static_cast<int>(slider.GetHandleX()) + 2);
  Input(base::ICMD::LEFT_UP, static_cast<int>(slider.GetHandleX()) + 2);
  EXPECT_EQ(slider.GetValue(), 0.5f);
}

TEST_F(OptionSliderTest, OneStepOrFewerIsContinuous) {
  for (float steps : {1.0f, 0.0f, -3.0f}) {
    cl_OptionsSlider& slider = MakeSlider(steps, true, "Raw");
    EXPECT_TRUE(Input(base::ICMD::LEFT_DOWN, 300));
    const float track = 400 - (slider.GetHandleX2() - slider.GetHandleX()) - 20;
    EXPECT_NEAR(slider.GetValue(), (290.0f - 110.0f) / track, 1e-6) << steps;
    EXPECT_TRUE(Input(base::ICMD::LEFT_UP, 300) || !slider.IsDragging());
    EXPECT_TRUE(std::isfinite(slider.GetValue()));
  }
}

TEST_F(OptionSliderTest, DisabledCheckBoxSwallowsClicksWithoutToggling) {
  cl_OptionsCheckBox box;
  box.m_Rect = {10, 10, 40, 40};
  box.m_Value.set_int(0);
  box.UpdateRect(0, 0);
  base::ICMD down = Cmd(base::ICMD::LEFT_DOWN, 20, 20), up = Cmd(base::ICMD::LEFT_UP, 20, 20);
  EXPECT_TRUE(box.ProcessInput(down));
  EXPECT_TRUE(box.ProcessInput(up));
  EXPECT_EQ(box.m_Value.get_int(), 1);
  box.SetFlag(base::WF_DISABLED, true);
  EXPECT_TRUE(box.ProcessInput(down));
  EXPECT_TRUE(box.ProcessInput(up));
  EXPECT_EQ(box.m_Value.get_int(), 1);
}

// ---- display-mode lists

struct st_ListCase {
  const char* name;
  std::vector<sysinfo::st_DisplayMode> modes;
  std::vector<std::pair<int, int>> resolutions;
  std::vector<int> refresh;  // for the display's size, 1024 x 768 at 60
  float refreshValue;
};

TEST_F(OptionsTest, ResolutionAndRefreshListsFromTheAllowedModes) {
  const st_ListCase cases[] = {
      {"one size with three rates",
       {{1024, 768, 22, 60}, {1024, 768, 22, 75}, {1024, 768, 22, 85}},
       {{1024, 768}},
       {60, 75, 85},
       0.0f},
      {"duplicates kept together",
       {{800, 600, 22, 60}, {800, 600, 22, 60}, {1024, 768, 22, 75}, {1024, 768, 22, 60}, {1024, 768, 21, 70}},
       {{800, 600}, {1024, 768}},
       {75, 60},
       1.0f},
      {"one mode", {{1024, 768, 22, 60}}, {{1024, 768}}, {60}, 0.0f},
      // The running mode is always offered, and shown: "Ok" without a change keeps it.
      {"a rate not offered", {{1024, 768, 22, 75}, {1024, 768, 22, 85}}, {{1024, 768}}, {75, 85, 60}, 1.0f},
      {"a window smaller than the screen",
       {{800, 600, 22, 60}, {1280, 1024, 22, 0}},
       {{800, 600}, {1024, 768}, {1280, 1024}},
       {60},
       0.0f},
      {"none", {}, {{1024, 768}}, {60}, 0.0f},
  };
  for (const st_ListCase& c : cases) {
    SCOPED_TRACE(c.name);
    base::sys::GetSystemInfo().m_AllowedModes = c.modes;
    WriteConfig(StandardOptions(), DefaultOptions());
    OpenPanel();
    EXPECT_EQ(Display("RefreshRate"), "60");
    std::vector<std::pair<int, int>> sizes;
    for (const auto& m : m_panel->GetResolutionList()) {
      sizes.emplace_back(m.width, m.height);
      EXPECT_EQ(m.refresh, -1);
    }
    EXPECT_EQ(sizes, c.resolutions);
    EXPECT_EQ(m_panel->GetRefreshList(), c.refresh);
    base::cl_Window* refresh = Row("Gfx/RefreshRate");
    if (c.refreshValue >= 0) {
      EXPECT_EQ(refresh->m_Value.get_float(), c.refreshValue);
    }
    EXPECT_EQ(!refresh->HasFlag(base::WF_DISABLED), c.refresh.size() > 1);
    // Whatever the lists, a full apply and "Ok" work, and "Ok" without a change keeps the mode.
    PressButton("Ok");
    EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
    EXPECT_EQ(Display("Width"), "1024");
    EXPECT_EQ(Display("Height"), "768");
    EXPECT_EQ(Display("RefreshRate"), "60");
    if (c.modes.empty()) {
      EXPECT_EQ(Live("Gfx/ScreenResolution/Value"), "0.000000");
    }
  }
}

// The rates read as "60 Hz"; a mode whose rate the system does not tell (0) is the screen's own.
TEST_F(OptionsTest, RefreshRatesReadInHertzAndAnUntoldRateAsTheDefault) {
  base::sys::GetSystemInfo().m_AllowedModes = {{1024, 768, 22, 0}, {1024, 768, 22, 60}};
  WriteConfig(StandardOptions(), DefaultOptions());
  OpenPanel();
  ASSERT_EQ(m_panel->GetRefreshList(), (std::vector<int>{0, 60}));
  auto* slider = dynamic_cast<cl_OptionsSlider*>(Row("Gfx/RefreshRate"));
  ASSERT_NE(slider, nullptr);
  std::u16string text;
  slider->SetValue(0.0f);
  slider->UpdateRect(0, 0);  // the text follows the handle
  ASSERT_TRUE(slider->GetValueText(text));
  EXPECT_EQ(text, Localized("#optio0_721 Default"));
  slider->SetValue(1.0f);
  slider->UpdateRect(0, 0);
  ASSERT_TRUE(slider->GetValueText(text));
  EXPECT_EQ(text, u"60 Hz");
}

TEST_F(OptionsTest, ChoosingAnotherResolutionRefillsTheRefreshRowBeforeOk) {
  OpenPanel();
  m_panel->SelectTab(1);
  EXPECT_EQ(m_panel->GetRefreshList(), (std::vector<int>{60, 75, 85}));
  base::cl_Window* refresh = Row("Gfx/RefreshRate");
  EXPECT_FALSE(refresh->HasFlag(base::WF_DISABLED));
  Row("Gfx/ScreenResolution")->m_Value.set_float(0.0f);  // 800 x 600: one rate
  m_panel->ApplyImmediate();
  EXPECT_EQ(m_panel->GetRefreshList(), (std::vector<int>{60}));
  EXPECT_TRUE(refresh->HasFlag(base::WF_DISABLED));
  EXPECT_EQ(Display("Width"), "1024");  // only "Ok" writes the mode
  Row("Gfx/ScreenResolution")->m_Value.set_float(0.5f);
  m_panel->ApplyImmediate();
  EXPECT_FALSE(refresh->HasFlag(base::WF_DISABLED));
  EXPECT_EQ(refresh->m_Value.get_float(), 0.0f);  // 60 Hz is offered again and kept
  PressButton("Ok");
  EXPECT_EQ(Display("Width"), "1024");
  EXPECT_EQ(Display("RefreshRate"), "60");
}

}  // namespace
}  // namespace optionstest
