// The options panel driven through the GUI: opening from both menus, rows and columns, live
// effects, "Ok", "Cancel" and "Default", the restart question and the quality preset.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "OptionsFixture.h"
#include "base/app/KeyCode.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "quillane/gui/Messagebox.h"
#include "quillane/menu/RootMenu.h"
#include "support/EngineLogCapture.h"

namespace optionstest {
namespace {

using menutest::Cmd;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<float> RowXs(const OptionsTab& tab) {
  std::vector<float> xs;
  for (const base::cl_Window* row : tab.rows) xs.push_back(row->m_Rect.x);
  return xs;
}

// ---- opening

TEST_F(OptionsTest, IngameMenuOpensThePanelInGameModeWithTabsColumnsAndIngameRowsDisabled) {
  cl_StandInSession session;
  m_panel = cl_OptionsPanel::Create(m_gui, &session);
  m_gui->AddChild(m_panel);
  auto* menu = new cl_IngameMenuPanel(&session);
  m_gui->AddChild(menu);
  menu->Show(true);
  menu->SetFlag(base::WF_DISABLED, false);
  base::Variant press;
  press.set_element("ButtonPressed");
  press.attribute("ctrl_label")->set_string("options");
  menu->ProcessEvent(press);

  EXPECT_EQ(m_panel->GetMode(), "game");
  EXPECT_FALSE(m_panel->HasFlag(base::WF_HIDDEN));
  EXPECT_TRUE(menu->HasFlag(base::WF_HIDDEN));
  const auto& tabs = m_panel->GetTabs();
  ASSERT_EQ(tabs.size(), 3u);
  EXPECT_EQ(tabs[0].x, 153);  // (937 - 3 x 210) / 2
  EXPECT_EQ(tabs[2].x, 573);
  EXPECT_TRUE(tabs[0].selected);
  // Seven options: five in the first column, two in the second; the comment makes no row.
  EXPECT_EQ(RowXs(tabs[2]), (std::vector<float>{44, 44, 44, 44, 44, 494, 494}));
  EXPECT_EQ(tabs[2].rows[5]->m_Rect.y, 75);
  // The advanced rows always begin a new column.
  EXPECT_EQ(RowXs(tabs[1]), (std::vector<float>{44, 44, 44, 44, 44, 494, 494, 494, 494, 494}));
  EXPECT_TRUE(Row("Game/Difficulty")->HasFlag(base::WF_DISABLED));
  EXPECT_FALSE(Row("Game/TextSpeed")->HasFlag(base::WF_DISABLED));
  ASSERT_NE(m_panel->FindChild("Ok"), nullptr);
  EXPECT_EQ(m_panel->FindChild("Ok")->m_Rect.x, 740);  // 739, and a menu button sits one to the right
  EXPECT_EQ(m_panel->FindChild("Default")->m_Rect.x, 392);

  // A disabled row ignores clicks; Esc closes and the game goes on.
  m_panel->SelectTab(2);
  base::cl_Window* difficulty = Row("Game/Difficulty");
  RenderFrame();
  EndFrame();
  Click(difficulty->m_AbsRect.right - 5, difficulty->m_AbsRect.top + 10);
  EXPECT_EQ(OptionValueText(difficulty->m_Value), "0.5");
  Send(Cmd(base::ICMD::KEY_PRESSED, 0, 0, base::key::Escape));
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
  EXPECT_FALSE(session.m_paused);
  EXPECT_TRUE(m_panel->GetTabs().empty());
}

TEST_F(OptionsTest, RootModeEnablesIngameRowsAndClosingShowsTheMainMenuAgain) {
  OpenPanel();
  EXPECT_EQ(m_panel->GetMode(), "root");
  EXPECT_FALSE(Row("Game/Difficulty")->HasFlag(base::WF_DISABLED));
  // Opening again rebuilds the rows but keeps one set of buttons.
  OpenPanel();
  EXPECT_EQ(m_panel->m_Children.size(), 3u);
  PressButton("Cancel");
  EXPECT_FALSE(m_mainMenu->HasFlag(base::WF_HIDDEN));
  EXPECT_FALSE(m_mainMenu->HasFlag(base::WF_DISABLED));
}

TEST_F(OptionsTest, AdvancedRowsTakePartOnlyWhileTheToggleIsOnAndQualityOnlyWhileOff) {
  OpenPanel();
  m_panel->SelectTab(1);
  RenderFrame();
  EndFrame();
  base::cl_Window* scene = Row("Gfx/SceneLOD");
  base::cl_Window* quality = Row("Gfx/GfxQuality");
  EXPECT_FALSE(quality->HasFlag(base::WF_HIDDEN));
  // Hidden behind the toggle: a click where the row would be changes nothing.
  Click(scene->m_AbsRect.left + 395, scene->m_AbsRect.top + 10);
  EXPECT_EQ(OptionValueText(scene->m_Value), "1");
  Click(scene->m_AbsRect.left + 15, scene->m_AbsRect.top + 10);
  EXPECT_EQ(OptionValueText(scene->m_Value), "1");

  base::cl_Window* toggle = Row("Gfx/ToggleAdvancedGraphics");
  Click(toggle->m_AbsRect.left + 5, toggle->m_AbsRect.top + 5);
  EXPECT_EQ(toggle->m_Value.get_int(), 1);
  RenderFrame();
  EndFrame();
  EXPECT_TRUE(quality->HasFlag(base::WF_HIDDEN));
  Click(scene->m_AbsRect.left + 15, scene->m_AbsRect.top + 10);
  EXPECT_EQ(OptionValueText(scene->m_Value), "0.5");
}

TEST_F(OptionsTest, RootMenuOptionsOpenTheRootMenusPanelAndExitRestoresTheMusic) {
  base::smart_ptr<cl_RootMenu> root(cl_RootMenu::Create(m_gui));
  m_panel = dynamic_cast<cl_OptionsPanel*>(m_gui->FindByLabel("OptionsPanel"));
  ASSERT_NE(m_panel, nullptr);
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
  base::Variant press;
  press.set_element("ButtonPressed");
  press.attribute("ctrl_label")->set_string("options");
  root->ProcessEvent(press);
  EXPECT_EQ(m_panel->GetMode(), "root");
  ASSERT_FALSE(m_panel->HasFlag(base::WF_HIDDEN));
  base::cl_Window* main = m_gui->FindByLabel("MainMenuPanel");
  EXPECT_TRUE(main->HasFlag(base::WF_HIDDEN));

  RenderFrame();
  EndFrame();
  base::cl_Window* music = Row("Sfx/MusicVolume");
  Click(music->m_AbsRect.right - 5, music->m_AbsRect.top + 10);
  EXPECT_EQ(m_effects.LastFor("FadeChannelVolume MUSIC"), "FadeChannelVolume MUSIC 1 0.5");
  ClickWindow(m_panel->FindChild("Cancel"));
  EXPECT_EQ(m_effects.LastFor("FadeChannelVolume MUSIC"), "FadeChannelVolume MUSIC 0.5 0.5");
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
  EXPECT_FALSE(main->HasFlag(base::WF_HIDDEN));
}

TEST_F(OptionsTest, TheDemoOptionsBuildThreeTabsWithASecondGameColumn) {
  std::filesystem::copy_file(std::filesystem::path(QUILLANE_DATA_DIR) / "default_config.xml",
                             m_dir / "default_config.xml", std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(std::filesystem::path(QUILLANE_DATA_DIR) / "config.xml", m_dir / "config.xml",
                             std::filesystem::copy_options::overwrite_existing);
  ASSERT_TRUE(m_system->LoadConfig("config.xml"));
  OpenPanel();
  const auto& tabs = m_panel->GetTabs();
  ASSERT_EQ(tabs.size(), 3u);
  EXPECT_EQ(tabs[0].rows.size(), 5u);
  EXPECT_EQ(tabs[1].rows.size(), 10u);
  EXPECT_EQ(RowXs(tabs[2]), (std::vector<float>{44, 44, 44, 44, 44, 494}));
  EXPECT_NE(m_panel->FindChild("Default"), nullptr);
  PressButton("Default");
  Answer(13);
  EXPECT_EQ(m_panel->GetTabs().size(), 3u);
  PressButton("Ok");
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
}

// ---- live effects, Ok, Cancel

TEST_F(OptionsTest, MusicSliderFadesAtOnceAndCancelFadesTheOldLevelBack) {
  OpenPanel();
  base::cl_Window* music = Row("Sfx/MusicVolume");
  m_effects.m_calls.clear();
  // Continuous: a track click puts the handle under the mouse.
  Click(music->m_AbsRect.left + 30, music->m_AbsRect.top + 10);
  const float v = music->m_Value.get_float();
  EXPECT_LT(v, 0.5f);
  char expected[64];
  std::snprintf(expected, sizeof expected, "FadeChannelVolume MUSIC %g 0.5", static_cast<double>(v));
  EXPECT_EQ(m_effects.LastFor("FadeChannelVolume MUSIC"), expected);
  EXPECT_EQ(m_effects.LastFor("FadeChannelVolume AMBIENT2"), "FadeChannelVolume AMBIENT2 0.6 0.5");
  EXPECT_EQ(m_effects.LastFor("FadeMasterVolume"), "FadeMasterVolume 0.8 0.5");

  PressButton("Cancel");
  EXPECT_EQ(m_effects.LastFor("FadeChannelVolume MUSIC"), "FadeChannelVolume MUSIC 0.5 0.5");
  EXPECT_EQ(Live("Sfx/MusicVolume/Value"), "0.5");
  EXPECT_FALSE(std::filesystem::exists(m_dir / "config.xml.tmp"));
}

TEST_F(OptionsTest, OkWritesAConfigThatReadsBackEqualWithTheChosenMode) {
  OpenPanel();
  m_panel->SelectTab(2);
  base::cl_Window* speed = Row("Game/TextSpeed");
  RenderFrame();
  EndFrame();
  Click(speed->m_AbsRect.right - 5, speed->m_AbsRect.top + 10);
  EXPECT_EQ(Live("Game/TextSpeed/Value"), "0.75");

  m_panel->SelectTab(1);
  Row("Gfx/ScreenResolution")->m_Value.set_float(0.0f);  // 800 x 600
  m_panel->ApplyImmediate();
  Send(Cmd(base::ICMD::KEY_PRESSED, 0, 0, base::key::Enter));
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
  EXPECT_EQ(Display("Width"), "800");
  EXPECT_EQ(Display("Height"), "600");
  EXPECT_EQ(Display("RefreshRate"), "60");

  base::Variant saved;
  ASSERT_TRUE(base::sys::LoadConfig(saved, "config.xml"));
  base::Variant live = base::sys::GetConfig();
  saved.number_to_text();
  live.number_to_text();
  EXPECT_TRUE(base::variant_equal(saved, live)) << ReadFile(m_dir / "config.xml");
}

TEST_F(OptionsTest, RestartQuestionOnlyForAChangedRestartOptionAndTheSaveFollowsTheAnswer) {
  OpenPanel();
  PressButton("Ok");
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
  EXPECT_TRUE(m_gui->GetModalWindows().empty());

  OpenPanel();
  m_panel->SelectTab(2);
  const std::string before = ReadFile(m_dir / "config.xml");
  base::cl_Window* windowed = Row("Game/Windowed");
  RenderFrame();
  EndFrame();
  Click(windowed->m_AbsRect.left + 5, windowed->m_AbsRect.top + 5);
  PressButton("Ok");
  ASSERT_EQ(m_gui->GetModalWindows().size(), 1u);
  EXPECT_FALSE(m_panel->HasFlag(base::WF_HIDDEN));
  EXPECT_EQ(ReadFile(m_dir / "config.xml"), before);
  Answer(13);
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
  base::Variant saved;
  ASSERT_TRUE(base::sys::LoadConfig(saved, "config.xml"));
  EXPECT_EQ(base::get_int(base::variant_get_attribute_by_path(saved, "Options/Game/Windowed/Value", false)), 1);
}

TEST_F(OptionsTest, DefaultThenCancelKeepsTheDefaults) {
  OpenPanel();
  m_panel->SelectTab(2);
  PressButton("Default");
  ASSERT_EQ(m_gui->GetModalWindows().size(), 1u);
  Answer(13);
  EXPECT_EQ(m_panel->GetSelectedTab(), 2);
  EXPECT_EQ(OptionValueText(Row("Sfx/MusicVolume")->m_Value), "1");
  // Not the selected tab, yet live: "Ok" would save what the rows show.
  EXPECT_EQ(Live("Sfx/MusicVolume/Value"), "1");
  PressButton("Cancel");
  EXPECT_EQ(Live("Sfx/MusicVolume/Value"), "1");
  EXPECT_EQ(m_effects.LastFor("FadeChannelVolume MUSIC"), "FadeChannelVolume MUSIC 1 0.5");
}

TEST_F(OptionsTest, WithoutDefaultsThereIsNoDefaultButton) {
  WriteConfig(StandardOptions(), "");
  OpenPanel();
  EXPECT_EQ(m_panel->FindChild("Default"), nullptr);
  EXPECT_NE(m_panel->FindChild("Ok"), nullptr);
}

TEST_F(OptionsTest, AFailedSaveIsLoggedAndShownAndTheValuesStayApplied) {
  OpenPanel();
  m_panel->SelectTab(1);
  Row("Gfx/ScreenResolution")->m_Value.set_float(1.0f);  // 1280 x 720
  m_panel->ApplyImmediate();
  std::filesystem::remove(m_dir / "config.xml");
  std::filesystem::create_directory(m_dir / "config.xml");  // cannot be replaced by a file
  testsupport::LogCapture log;
  PressButton("Ok");
  EXPECT_EQ(log.count("ERROR: options: \"config.xml\" could not be saved"), 1) << log.text("\n");
  ASSERT_EQ(m_gui->GetModalWindows().size(), 1u);
  EXPECT_EQ(static_cast<cl_Messagebox*>(m_gui->GetModalWindows().front())->GetType(), "MB_OK");
  EXPECT_EQ(Display("Width"), "1280");
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
}

// ---- the quality preset

struct st_PresetCase {
  float quality;
  const char* scene;
  const char* character;
  const char* npc;
  const char* antialiasing;
  const char* reflections;
  int releases;
  int resets;
};

TEST_F(OptionsTest, QualityPresetSetsTheFiveValuesAndItsEffects) {
  const st_PresetCase cases[] = {
      {0.5f, "0.5", "0.5", "0", "1", "1", 1, 0},
      {0.0f, "0", "0", "0", "0", "0", 1, 1},
      {1.0f, "1", "1", "1", "1", "1", 0, 0},  // unchanged: the values as they were
  };
  for (const st_PresetCase& c : cases) {
    SCOPED_TRACE(c.quality);
    WriteConfig(StandardOptions(), DefaultOptions());
    OpenPanel();
    m_panel->SelectTab(1);
    Row("Gfx/GfxQuality")->m_Value.set_float(c.quality);
    m_panel->ApplyImmediate();
    m_effects.m_calls.clear();
    m_panel->ApplyOptions(false);
    EXPECT_EQ(Live("Gfx/SceneLOD/Value"), c.scene);
    EXPECT_EQ(Live("Gfx/CharacterLOD/Value"), c.character);
    EXPECT_EQ(Live("Gfx/NPCLOD/Value"), c.npc);
    EXPECT_EQ(Live("Gfx/Antialiasing/Value"), c.antialiasing);
    EXPECT_EQ(Live("Gfx/Reflections/Value"), c.reflections);
    EXPECT_EQ(m_effects.Count("ReleaseAll"), c.releases);
    EXPECT_EQ(m_effects.Count("RequestDeviceReset"), c.resets);
    PressButton("Cancel");
  }
}

TEST_F(OptionsTest, UnchangedQualityKeepsIndividuallyTunedValues) {
  OpenPanel();
  m_panel->SelectTab(1);
  Row("Gfx/SceneLOD")->m_Value.set_float(0.0f);
  m_panel->ApplyImmediate();
  m_panel->ApplyOptions(false);
  EXPECT_EQ(Live("Gfx/SceneLOD/Value"), "0");
  EXPECT_EQ(Live("Gfx/GfxQuality/Value"), "1");
}

struct st_AdvancedCase {
  const char* name;
  float scene, character, antialiasing, npc, reflections;
  bool dropReflections;
  const char* quality;
};

TEST_F(OptionsTest, AdvancedValuesAddUpToTheQuality) {
  const st_AdvancedCase cases[] = {
      {"reflections off", 0.5f, 0.5f, 1, 0, 0, false, "0.5"},
      {"everything off", 0, 0, 0, 0, 0, false, "0"},
      {"everything on", 1, 1, 1, 1, 1, false, "1"},
      {"a missing option counts -1", 1, 0.5f, 1, 1, 0, true, "0.5"},
  };
  for (const st_AdvancedCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string options = StandardOptions();
    if (c.dropReflections) {
      const std::string reflections = "<Reflections Type=\"CheckBox\" Value=\"1\"/>";
      options.erase(options.find(reflections), reflections.size());
    }
    WriteConfig(options, DefaultOptions());
    OpenPanel();
    m_panel->SelectTab(1);
    Row("Gfx/ToggleAdvancedGraphics")->m_Value.set_int(1);
    Row("Gfx/SceneLOD")->m_Value.set_float(c.scene);
    Row("Gfx/CharacterLOD")->m_Value.set_float(c.character);
    Row("Gfx/Antialiasing")->m_Value.set_int(static_cast<int>(c.antialiasing));
    Row("Gfx/NPCLOD")->m_Value.set_int(static_cast<int>(c.npc));
    if (!c.dropReflections) Row("Gfx/Reflections")->m_Value.set_int(static_cast<int>(c.reflections));
    m_panel->ApplyImmediate();
    m_panel->ApplyOptions(false);
    EXPECT_EQ(Live("Gfx/GfxQuality/Value"), c.quality);
    PressButton("Cancel");
  }
}

}  // namespace
}  // namespace optionstest
