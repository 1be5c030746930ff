// The frame's start-up branches, its quit confirmation driven through the root module, the
// one-time graphics configuration and the configured resolutions.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "frame_fixture.h"
#include "graphics/gfx.h"
#include "quillane/frame/CustomQuit.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/frame/GameSysInfoProvider.h"
#include "quillane/gui/Messagebox.h"
#include "support/ProgramRun.h"
#include "win32dx9/SysInfo.h"

namespace frametest {
namespace {

// A state that counts what reaches it and draws itself grey.
class cl_ProbeState : public base::cl_Module {
 public:
  void Update(float, float) override { ++updates; }
  void Render() override {
    ++renders;
    gfx::ClearScreen(0xFF808080u);
  }
  bool ProcessInput(base::ICMD&) override {
    ++inputs;
    return true;
  }
  int updates = 0, renders = 0, inputs = 0;
};

class QuitConfirmation : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    if (IsSkipped()) return;
    StartFrame();
    m_probe = new cl_ProbeState();
    m_frame->AddState("Probe", m_probe);
    StartLoading(base::tString<base::BaseString>("Probe"));
    AddLoadingTask(new Task_SetupCustomQuitModule());
    Step();
    Step();
    ASSERT_EQ(StateName(), "Probe");
    ASSERT_NE(m_frame->GetQuitModule(), nullptr);
  }
  // A click on the box's button; the box answers at the frame's next update.
  void Click(const char* label) {
    cl_Messagebox* box = m_frame->GetQuitModule()->GetMessageBox();
    ASSERT_NE(box, nullptr);
    base::cl_Window* button = box->FindByLabel(label);
    ASSERT_NE(button, nullptr);
    const int x = static_cast<int>((button->m_AbsRect.left + button->m_AbsRect.right) / 2);
    const int y = static_cast<int>((button->m_AbsRect.top + button->m_AbsRect.bottom) / 2);
    Input(Mouse(base::ICMD::MOUSE_MOVE, x, y));
    Input(Mouse(base::ICMD::LEFT_DOWN, x, y));
    Input(Mouse(base::ICMD::LEFT_UP, x, y));
  }
  cl_ProbeState* m_probe = nullptr;
};

TEST_F(QuitConfirmation, TheBoxStopsTheGameCancelGoesOnAndOkEndsTheProgram) {
  EXPECT_TRUE(base::sys::CustomQuit());  // the window's close request
  cl_CustomQuitModule* quit = m_frame->GetQuitModule();
  ASSERT_TRUE(quit->IsActive());
  cl_Messagebox* first = quit->GetMessageBox();
  ASSERT_NE(first, nullptr);
  const int updates = m_probe->updates, renders = m_probe->renders, inputs = m_probe->inputs;
  Step();
  Input(Mouse(base::ICMD::LEFT_DOWN, 5, 5));
  Input(Mouse(base::ICMD::LEFT_UP, 5, 5));
  Step();
  EXPECT_EQ(m_probe->updates, updates) << "the game behind the box stands still";
  EXPECT_EQ(m_probe->inputs, inputs) << "input reaches only the box";
  EXPECT_EQ(m_probe->renders, renders + 2) << "the game is still drawn";
  // The box over the game: its dark face inside its rectangle, the game untouched outside it.
  int darkInside = 0, greyOutside = 0, outside = 0;
  const base::st_ScreenRect& r = first->m_AbsRect;
  for (int y = 0; y < kHeight; y += 4)
    for (int x = 0; x < kWidth; x += 4) {
      if (x >= r.left + 4 && x < r.right - 4 && y >= r.top + 4 && y < r.bottom - 4) {
        darkInside += (Pixel(x, y) & 0xFF) < 0x40;
      } else if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) {
        ++outside;
        greyOutside += Pixel(x, y) == 0x808080u;
      }
    }
  EXPECT_GT(darkInside, 0);
  EXPECT_EQ(greyOutside, outside);
  EXPECT_NEAR((first->m_AbsRect.left + first->m_AbsRect.right) * 0.5f, kWidth * 0.5f, 0.5f);
  // Laid out at width 400: the text 10 narrower, the box 60 wider than the text.
  EXPECT_FLOAT_EQ(first->m_AbsRect.right - first->m_AbsRect.left, 450.0f);

  Click("Cancel");
  EXPECT_TRUE(quit->IsActive()) << "the answer comes at the box's next update";
  Step();
  EXPECT_FALSE(quit->IsActive());
  EXPECT_EQ(quit->GetMessageBox(), nullptr);
  EXPECT_FALSE(m_system->GetQuit());
  Step();
  EXPECT_EQ(m_probe->updates, updates + 1) << "the game goes on";

  EXPECT_TRUE(base::sys::CustomQuit());
  ASSERT_NE(quit->GetMessageBox(), nullptr);
  Step();
  Click("Ok");
  Step();
  EXPECT_TRUE(m_system->GetQuit());
  EXPECT_NE(Log().find("Quit confirmed"), std::string::npos);
}

TEST_F(QuitConfirmation, ASecondCloseRequestHidesTheBoxAndTheNextShowsItAgain) {
  EXPECT_TRUE(base::sys::CustomQuit());
  cl_Messagebox* box = m_frame->GetQuitModule()->GetMessageBox();
  EXPECT_TRUE(base::sys::CustomQuit());
  EXPECT_FALSE(m_frame->GetQuitModule()->IsActive());
  EXPECT_EQ(m_frame->GetQuitModule()->GetMessageBox(), box);
  EXPECT_TRUE(base::sys::CustomQuit());
  EXPECT_EQ(m_frame->GetQuitModule()->GetMessageBox(), box);
  // Answers of other boxes, or without a button, change nothing.
  base::Variant other;
  other.set_element("MB_other");
  other.attribute("ctrl_label")->set_string("Ok");
  m_frame->GetQuitModule()->ProcessEvent(other);
  base::Variant bare;
  bare.set_element("MB_quit");
  m_frame->GetQuitModule()->ProcessEvent(bare);
  EXPECT_EQ(m_frame->GetQuitModule()->GetMessageBox(), box);
  EXPECT_FALSE(m_system->GetQuit());
}

using FrameStart = FrameTest;

TEST_F(FrameStart, AnUnknownQuickLaunchLeavesNoStateAndNoQuitModule) {
  StartFrame("<DevTools QuickLaunch=\"Game\" ShowIntroMovies=\"1\"/>");  // the names are exact
  EXPECT_EQ(StateName(), "");
  for (int i = 0; i < 3; ++i) Step();
  EXPECT_EQ(Pixel(10, 10), 0u) << "nothing draws";
  EXPECT_EQ(m_frame->GetQuitModule(), nullptr);
  EXPECT_FALSE(base::sys::CustomQuit()) << "a close request is not intercepted";
  EXPECT_NE(Log().find("unknown QuickLaunch value \"Game\""), std::string::npos);
  EXPECT_FALSE(m_frame->IsEditorActive());
  base::tString<base::BaseUnicodeString> text;
  base::sys::Localize("one[BR]two", text);
  EXPECT_EQ(std::u16string(text.c_str()), u"one\ntwo") << "the display-text parser is installed";
}

TEST_F(FrameStart, QuickLaunchTestPathFinderOpensThePathFinderTest) {
  const std::filesystem::path data = QUILLANE_DATA_DIR;
  if (!std::filesystem::exists(data / "scenes/Jail/navmesh.xml")) GTEST_SKIP() << "no generated demo data";
  // A copy: starting the frame writes caches and archives into its data folder, and other test
  // programs copy the bundled folder while this one runs.
  testprogram::TempDir dir("quillane_pathfinder");
  testsupport::CopyDemoData(data, dir.path("data"));
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(dir.path("data"));
  StartFrame("<DevTools QuickLaunch=\"testpathfinder\"/>");
  std::filesystem::current_path(here);
  EXPECT_EQ(StateName(), "PathFinderTest");
  EXPECT_NE(Log().find("GameFrame: state PathFinderTest"), std::string::npos);
  Step();
  EXPECT_NE(Pixel(512, 384), 0xDEADBEEFu);
  m_frame->LeaveEditor();  // without a session: the root menu
  EXPECT_EQ(StateName(), "RootMenu");
}

TEST_F(FrameStart, WithoutIntroMoviesTheNormalStartGoesStraightToTheLoadingScreen) {
  StartFrame("<DevTools ShowIntroMovies=\"0\"/>");
  EXPECT_EQ(StateName(), "LoadingScreen");
  EXPECT_EQ(Log().find("intro"), std::string::npos) << Log();
  for (int i = 0; i < 5 && StateName() != "RootMenu"; ++i) Step();
  EXPECT_EQ(StateName(), "RootMenu");
  ASSERT_NE(m_frame->GetQuitModule(), nullptr);
  EXPECT_TRUE(base::sys::CustomQuit());
}

// With the intro on (also without "DevTools") the video controller plays "Movie/intro.xml"
// first; a list that cannot be read moves on to the loading screen at the next update.
TEST_F(FrameStart, TheIntroPlaysBeforeTheLoadingScreen) {
  StartFrame("");
  EXPECT_EQ(StateName(), "VideoController");
  for (int i = 0; i < 3 && StateName() == "VideoController"; ++i) Step();
  EXPECT_EQ(StateName(), "LoadingScreen");
  const std::string log = Log();
  EXPECT_LT(log.find("GameFrame: state VideoController"), log.rfind("GameFrame: state LoadingScreen")) << log;
}

// The quality by display memory, and the two files written once.
TEST_F(FrameStart, AutoConfigSetsTheQualityByDisplayMemoryOnce) {
  struct st_Case {
    float memory;
    float quality;
    int antialiasing, npc;
  };
  const st_Case cases[] = {{64.0f, 0.0f, 0, 0}, {128.0f, 0.5f, 1, 0}, {128.5f, 1.0f, 1, 1}, {0.0f, 1.0f, 1, 1}};
  StartFrame();
  for (const st_Case& c : cases) {
    SCOPED_TRACE(c.memory);
    base::Variant& config = m_system->GetConfigTree();
    config.get_element("Display")->attribute("AutoConfig")->set_int(1);
    base::sys::GetSystemInfo().m_DisplayMemory = c.memory;
    std::filesystem::remove(m_dir / "config.xml");
    std::filesystem::remove(m_dir / "default_config.xml");
    m_frame->InitGfxOptions();
    for (const char* file : {"config.xml", "default_config.xml"}) {
      base::Variant written;
      ASSERT_TRUE(base::sys::LoadConfig(written, file)) << file;
      int autoConfig = -1, aa = -1, reflections = -1, npc = -1;
      float quality = -1.0f, lod = -1.0f;
      EXPECT_TRUE(written.get_element("Display")->get_attribute_int("AutoConfig", autoConfig));
      EXPECT_EQ(autoConfig, 0);
      auto attr = [&](const char* path) { return base::variant_get_attribute_by_path(written, path, false); };
      ASSERT_NE(attr("Options/Gfx/GfxQuality/Value"), nullptr);
      quality = attr("Options/Gfx/GfxQuality/Value")->get_float();
      lod = attr("Options/Gfx/CharacterLOD/Value")->get_float();
      aa = attr("Options/Gfx/Antialiasing/Value")->get_int();
      reflections = attr("Options/Gfx/Reflections/Value")->get_int();
      npc = attr("Options/Gfx/NPCLOD/Value")->get_int();
      EXPECT_FLOAT_EQ(quality, c.quality);
      EXPECT_FLOAT_EQ(lod, c.quality);
      EXPECT_EQ(aa, c.antialiasing);
      EXPECT_EQ(reflections, c.antialiasing);
      EXPECT_EQ(npc, c.npc);
    }
    // Once applied it is off: a second call writes nothing.
    std::filesystem::remove(m_dir / "default_config.xml");
    m_frame->InitGfxOptions();
    EXPECT_FALSE(std::filesystem::exists(m_dir / "default_config.xml"));
  }
  EXPECT_NE(Log().find("reports no display memory; configuring for 256 MB"), std::string::npos);
}

TEST_F(FrameStart, EachCompleteResolutionAddsTwoModesInFormatOrder) {
  StartFrame(
      "<Options><Gfx><ScreenResolution><OutputFormat><Mode width=\"800\" height=\"600\"/><Mode width=\"1024\"/>"
      "<Mode width=\"1280\" height=\"800\"/></OutputFormat></ScreenResolution></Gfx></Options>"
      "<DevTools QuickLaunch=\"none\"/>");
  sysinfo::cl_SysInfo& info = base::sys::GetSystemInfo();
  info.m_AllowedModes.clear();
  cl_GameSysInfoProvider provider;
  EXPECT_TRUE(provider.Provide());
  ASSERT_EQ(info.m_AllowedModes.size(), 4u);
  EXPECT_EQ(info.m_AllowedModes[0].width, 800);
  EXPECT_EQ(info.m_AllowedModes[0].format, 22);
  EXPECT_EQ(info.m_AllowedModes[1].format, 21);
  EXPECT_EQ(info.m_AllowedModes[2].width, 1280);
  EXPECT_EQ(info.m_AllowedModes[3].height, 800);
  EXPECT_EQ(info.m_AllowedModes[3].refresh, -1);
}

}  // namespace
}  // namespace frametest
