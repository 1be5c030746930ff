#include "OptionsFixture.h"

#include <cstdio>
#include <fstream>

#include "base/data/VariantTools.h"
#include "base/system.h"
#include "win32dx9/SysInfo.h"

namespace optionstest {

namespace {

std::string Number(float v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
  return buffer;
}

}  // namespace

void cl_RecordingEffects::FadeMasterVolume(float level, float seconds) {
  m_calls.push_back("FadeMasterVolume " + Number(level) + " " + Number(seconds));
}

void cl_RecordingEffects::FadeChannelVolume(const char* channel, float level, float seconds) {
  m_calls.push_back("FadeChannelVolume " + std::string(channel) + " " + Number(level) + " " + Number(seconds));
}

void cl_RecordingEffects::SetGamma(float gamma) { m_calls.push_back("SetGamma " + Number(gamma)); }

int cl_RecordingEffects::Count(const std::string& call) const {
  int n = 0;
  for (const std::string& c : m_calls) n += c == call ? 1 : 0;
  return n;
}

std::string cl_RecordingEffects::LastFor(const std::string& prefix) const {
  for (auto it = m_calls.rbegin(); it != m_calls.rend(); ++it) {
    if (it->rfind(prefix, 0) == 0) return *it;
  }
  return "";
}

cl_Fader& cl_StandInSession::GetFader() { return m_fader; }

std::string OptionsTest::StandardOptions() {
  return R"(<Options>
  <Sfx display_name="#optio0_100 Sound">
    <MasterVolume Type="Slider" Value="0.8" ImmediateUpdate="1"><OutputFormat type="Percent"/></MasterVolume>
    <MusicVolume Type="Slider" Value="0.5" ImmediateUpdate="1"><OutputFormat type="Percent"/></MusicVolume>
    <SpeechVolume Type="Slider" Value="1" ImmediateUpdate="1"/>
    <SfxVolume Type="Slider" Value="1" ImmediateUpdate="1"/>
    <AmbientVolume Type="Slider" Value="0.6" ImmediateUpdate="1"/>
  </Sfx>
  <Gfx display_name="#optio0_200 Graphics">
    <ScreenResolution Type="Slider" Value="0"><OutputFormat type="Resolution"/></ScreenResolution>
    <RefreshRate Type="Slider" Value="0"><OutputFormat type="RefreshRate"/></RefreshRate>
    <Gamma Type="Slider" Value="0.5" ImmediateUpdate="1"/>
    <GfxQuality Type="Slider" Steps="3" Value="1"><OutputFormat type="Text"><S value="#optio0_300 Low"/><S value="#optio0_301 Medium"/><S value="#optio0_302 High"/></OutputFormat></GfxQuality>
    <ToggleAdvancedGraphics Type="CheckBox" Value="0"/>
    <SceneLOD Type="Slider" Steps="3" Value="1"/>
    <CharacterLOD Type="Slider" Steps="3" Value="1"/>
    <NPCLOD Type="CheckBox" Value="1"/>
    <Antialiasing Type="CheckBox" Value="1"/>
    <Reflections Type="CheckBox" Value="1"/>
  </Gfx>
  <Game>
    <AutoFadeInterface Type="CheckBox" Value="1"/>
    <Subtitles Type="CheckBox" Value="1"/>
    <TextSpeed Type="Slider" Steps="5" Value="0.5"/>
    <ShowHotspots Type="CheckBox" Value="0"/>
    <Windowed Type="CheckBox" Value="0" Needs_Restart="1"/>
    <Difficulty Type="Slider" Steps="3" Value="0.5" No_Ingame="1"/>
    <MouseSpeed Type="Slider" Value="0.5"/>
    <Comment>not an option</Comment>
  </Game>
</Options>)";
}

std::string OptionsTest::DefaultOptions() {
  std::string options = StandardOptions();
  const std::string music = "<MusicVolume Type=\"Slider\" Value=\"0.5\"";
  options.replace(options.find(music), music.size(), "<MusicVolume Type=\"Slider\" Value=\"1\"");
  return options;
}

void OptionsTest::SetUp() {
  menutest::MenuTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  SetOptionEffects(&m_effects);
  sysinfo::cl_SysInfo& info = base::sys::GetSystemInfo();
  info.m_AllowedModes = {{800, 600, 22, 60}, {1024, 768, 22, 60}, {1024, 768, 22, 75}, {1024, 768, 22, 85},
                         {1280, 720, 22, 60}};
  AddPicture("options_checkbox", 40, 40, 0x808080);
  AddPicture("options_checkbox_check", 40, 40, 0xFFFFFF);
  AddPicture("options_slider_handle", 20, 20, 0xC0C0C0);
  LoadPictures();
  WriteConfig(StandardOptions(), DefaultOptions());
  m_mainMenu = new base::cl_Panel;
  m_mainMenu->m_Label = "MainMenuPanel";
  m_gui->AddChild(m_mainMenu);
}

void OptionsTest::TearDown() {
  SetOptionEffects(nullptr);
  menutest::MenuTest::TearDown();
}

void OptionsTest::WriteConfig(const std::string& options, const std::string& defaults, int width, int height,
                              int refresh) {
  const std::string display = "<Display Fullscreen=\"0\" Width=\"" + std::to_string(width) + "\" Height=\"" +
                              std::to_string(height) + "\" RefreshRate=\"" + std::to_string(refresh) + "\"/>";
  std::ofstream(m_dir / "config.xml") << "<Config>" << display << "<Localization Language=\"English\"/>" << options
                                      << "</Config>";
  std::filesystem::remove(m_dir / "default_config.xml");
  if (!defaults.empty())
    std::ofstream(m_dir / "default_config.xml") << "<Config><Display Width=\"800\" Height=\"600\" RefreshRate=\"60\"/>"
                                                << defaults << "</Config>";
  ASSERT_TRUE(m_system->LoadConfig("config.xml"));
}

void OptionsTest::OpenPanel(i_MenuSession* session) {
  if (!m_panel) {
    m_panel = cl_OptionsPanel::Create(m_gui, session);
    ASSERT_NE(m_panel, nullptr);
    m_gui->AddChild(m_panel);
  }
  m_mainMenu->Show(false);
  ASSERT_TRUE(m_panel->Init(base::StaticVariantIterator()));
  base::Variant mode;
  mode.set_string(session ? "game" : "root");
  m_panel->ProcessEvent(mode);
  m_panel->SetFlag(base::WF_DISABLED, false);
  m_panel->Show(true);
  RenderFrame();
  EndFrame();
}

std::string OptionsTest::Live(const char* path) {
  base::Variant* options = base::sys::GetOptions();
  const base::Variant* v = options ? base::variant_get_attribute_by_path(*options, path, false) : nullptr;
  return v ? OptionValueText(*v) : "<none>";
}

std::string OptionsTest::Display(const char* name) {
  const base::Variant* display = base::sys::GetConfig().get_element("Display");
  const base::Variant* v = display ? display->get_attribute(name) : nullptr;
  return v ? OptionValueText(*v) : "<none>";
}

base::cl_Window* OptionsTest::Row(const char* key) { return m_panel ? m_panel->FindRow(key) : nullptr; }

void OptionsTest::Answer(int key) {
  Send(menutest::Cmd(base::ICMD::KEY_PRESSED, 0, 0, key));
  for (int i = 0; i < 20; ++i) m_gui->Update(0.1f);
}

void OptionsTest::PressButton(const char* label) {
  base::Variant event;
  event.set_element("ButtonPressed");
  event.attribute("ctrl_label")->set_string(label);
  m_panel->ProcessEvent(event);
}

}  // namespace optionstest
