// The options panel: opening and closing, the rows and their input, the display-mode lists and
// turning option values into effects.
#include "quillane/options/OptionsPanel.h"

#include <cmath>
#include <new>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/app/SystemRoot.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "quillane/gui/MainMenuButton.h"
#include "quillane/gui/MenuSession.h"
#include "quillane/gui/Messagebox.h"
#include "quillane/options/OptionEffects.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/screen/ScreenDraw.h"

namespace {

constexpr float kRowX = 44, kRowY = 75, kRowStep = 80, kColumnStep = 450;
constexpr float kTabW = 200, kTabH = 64, kTabPitch = 210;
constexpr float kTabReach = 16;  // how far the tabs' pictures stand above the panel
constexpr float kButtonWidth = 154, kButtonY = 460;
constexpr const char* kAdvancedToggle = "Gfx/ToggleAdvancedGraphics";
constexpr const char* kQuality = "Gfx/GfxQuality";
constexpr const char* kResolution = "Gfx/ScreenResolution";
constexpr const char* kRefreshRate = "Gfx/RefreshRate";
// The settings could not be written: shown once the panel has closed.
constexpr const char* kSaveFailedKey = "#optio0_2400 Your settings could not be saved.";

bool IsLabel(const char* label, const char* expected) { return label && base::str::compare(label, expected) == 0; }

std::string RowLabel(const base::cl_Window* row) { return row->m_Label.c_str(); }

// The rows of a tab that are shown: those after the advanced-graphics toggle only while it is on.
template <typename Fn>
void ForShownRows(const OptionsTab& tab, Fn&& fn) {
  for (base::cl_Window* row : tab.rows) {
    fn(row);
    if (RowLabel(row) == kAdvancedToggle && row->m_Value.get_float() < 1) break;
  }
}

}  // namespace

// ---- construction

cl_OptionsPanel::cl_OptionsPanel(base::cl_GUI* gui, i_MenuSession* session) : m_pGUI(gui), m_pSession(session) {
  m_Label = "OptionsPanel";
  m_Flags = base::WF_DISABLED | base::WF_HIDDEN;
  m_Rect = {std::floor((static_cast<float>(base::sys::GetWindowWidth()) - kWidth) * 0.5f),
            std::floor((static_cast<float>(base::sys::GetWindowHeight()) - kHeight) * 0.5f), kWidth, kHeight};
  m_View.Fit({0.0f, -kTabReach, kWidth, kHeight});
  if (m_View.IsScaled()) m_Rect.x = m_View.GetPanelPlace().x, m_Rect.y = m_View.GetPanelPlace().y;
}

cl_OptionsPanel* cl_OptionsPanel::Create(base::cl_GUI* gui, i_MenuSession* session) {
  return new (std::nothrow) cl_OptionsPanel(gui, session);
}

cl_OptionsPanel::~cl_OptionsPanel() { DestroyRows(); }

bool cl_OptionsPanel::Init(base::StaticVariantIterator desc) {
  if (desc.is_element() && base::cl_Panel::Init(desc)) return false;
  if (base::Variant* options = base::sys::GetOptions()) m_OptionsCopy = *options;
  else m_OptionsCopy.set_nil();
  m_Defaults.set_nil();
  base::Variant defaults;
  if (base::sys::LoadConfig(defaults, "default_config.xml")) {
    if (base::Variant* element = defaults.get_element("Options")) m_Defaults = *element;
  }
  m_Display = DisplayElement();
  DestroyRows();
  BuildRows();
  // Opened again and again: the buttons of the last opening go first.
  while (!m_Children.empty()) {
    base::cl_Window* child = m_Children.back();
    RemoveChild(child);
    delete child;
  }
  auto addButton = [this](const char* label, const char* text, float x) {
    if (cl_MainMenuButton* button = CreateMainMenuButton(label, text, x, kButtonY, true)) AddChild(button);
  };
  addButton("Cancel", "#loads0_832 Exit", 44);
  addButton("Ok", "#loads0_844 Save", std::floor(m_Rect.w - 44 - kButtonWidth));
  if (!m_Defaults.is_void())
    addButton("Default", "#optio0_1876 Default Settings", std::floor((m_Rect.w - kButtonWidth) * 0.5f));
  return true;
}

base::Variant& cl_OptionsPanel::DisplayElement() {
  static base::Variant s_scratch;  // without a system nothing is kept
  base::cl_System* system = base::cl_System::GetInstance();
  if (!system) {
    s_scratch.set_element("Display");
    return s_scratch;
  }
  return *base::variant_find_or_add_element(system->GetConfigTree(), "Display");
}

// ---- rows

void cl_OptionsPanel::BuildRows() {
  // Lists of an earlier opening would name modes the rows no longer offer.
  m_Resolutions.clear();
  m_RefreshRates.clear();
  if (!m_OptionsCopy.is_element()) return;
  const int groups = m_OptionsCopy.size();
  for (int i = 0; i < groups; ++i) {
    base::Variant& group = m_OptionsCopy[i];
    if (!group.is_element()) continue;
    const char* groupLabel = group.get_label() ? group.get_label() : "";
    OptionsTab tab;
    if (const char* key = base::get_string(group.get_attribute("display_name"))) {
      base::tString<base::BaseUnicodeString> name;
      base::sys::Localize(key, name);
      tab.name = name.c_str();
    } else {
      for (const char* c = groupLabel; *c; ++c) tab.name.push_back(static_cast<unsigned char>(*c));
    }
    tab.w = kTabW;
    tab.h = kTabH;
    tab.selected = m_Tabs.empty();
    m_Tabs.push_back(tab);
    float x = kRowX, y = kRowY;
    for (int j = 0; j < group.size(); ++j) {
      base::Variant& option = group[j];
      if (!option.is_element() || !option.get_attribute("Type")) continue;
      const std::string key = std::string(groupLabel) + "/" + (option.get_label() ? option.get_label() : "");
      if (base::cl_Window* row = CreateRow(key, option, x, y)) m_Tabs.back().rows.push_back(row);
      y += kRowStep;
      if (m_Rect.h - 60 < y || key == kAdvancedToggle) {
        x += kColumnStep;
        y = kRowY;
      }
    }
  }
  const float start = std::floor((m_Rect.w - static_cast<float>(m_Tabs.size()) * kTabPitch) * 0.5f);
  for (size_t k = 0; k < m_Tabs.size(); ++k) {
    m_Tabs[k].x = start + kTabPitch * static_cast<float>(k);
    m_Tabs[k].y = -4;
  }
}

base::cl_Window* cl_OptionsPanel::CreateRow(const std::string& key, base::Variant& option, float x, float y) {
  base::tString<base::BaseString> type, text;
  option.get_attribute_string("Type", type);
  option.get_attribute_string("display_name", text);
  base::Variant* live = base::sys::GetOptions();
  auto setLive = [live, &key](const std::string& value) {
    if (!live) return;
    if (base::Variant* v = base::variant_get_attribute_by_path(*live, (key + "/Value").c_str(), true))
      v->set_string(value.c_str());
  };
  base::cl_Window* row = nullptr;
  if (type == "CheckBox") {
    if (!gfx::ImageExists("options_checkbox")) return nullptr;
    cl_OptionsCheckBox* box = new (std::nothrow) cl_OptionsCheckBox();
    if (!box) return nullptr;
    box->m_Rect.x = x;
    box->m_Rect.y = y;
    box->m_Parent = this;
    row = box;
  } else if (type == "Slider") {
    cl_OptionsSlider* slider = new (std::nothrow) cl_OptionsSlider();
    if (!slider) return nullptr;
    slider->Setup(x, y, 400, 32, this);
    int steps = 0;
    option.get_attribute_int("Steps", steps);
    slider->SetSteps(static_cast<float>(steps));
    if (key == kResolution) {
      BuildResolutionList();
      const int n = static_cast<int>(m_Resolutions.size());
      slider->SetSteps(static_cast<float>(n));
      int w = 1024, h = 768;
      m_Display.get_attribute_int("Width", w);
      m_Display.get_attribute_int("Height", h);
      // One display mode or none has no second position to divide by.
      const float v = n > 1 ? static_cast<float>(FindResolution(w, h)) / static_cast<float>(n - 1) : 0.0f;
      m_ResolutionValueText = FormatOptionF(v);
      option.attribute("Value")->set_string(m_ResolutionValueText.c_str());
      setLive(m_ResolutionValueText);
    } else if (key == kRefreshRate) {
      int rate = 60;
      m_Display.get_attribute_int("RefreshRate", rate);
      m_pRefreshSlider = slider;
      const float v = BuildRefreshList(ResolutionIndexFromValue(ParseOptionNumber(m_ResolutionValueText)), rate);
      m_RefreshValueText = FormatOptionF(v);
      option.attribute("Value")->set_string(m_RefreshValueText.c_str());
      setLive(m_RefreshValueText);
    }
    if (const base::Variant* format = option.get_element("OutputFormat")) slider->SetOutputFormat(*format);
    int immediate = 0;
    option.get_attribute_int("ImmediateUpdate", immediate);
    slider->SetImmediateUpdate(immediate == 1);
    row = slider;
  } else {
    return nullptr;
  }
  row->m_Label = key.c_str();
  row->m_Text = text;
  if (const base::Variant* value = option.get_attribute("Value")) {
    const bool refresh = key == kRefreshRate, resolution = key == kResolution;
    row->m_Value = *value;
    base::Variant snapshot = option;
    if (refresh || resolution) {
      std::string& valueText = refresh ? m_RefreshValueText : m_ResolutionValueText;
      const float v = ParseOptionNumber(valueText);
      row->m_Value.set_float(v);
      valueText = FormatOptionG(v);
      snapshot.attribute("Value")->set_string(valueText.c_str());
    }
    m_Snapshot[key] = snapshot;
  }
  int noIngame = 0;
  option.get_attribute_int("No_Ingame", noIngame);
  if (noIngame == 1 && m_pSession) row->SetFlag(base::WF_DISABLED, true);
  return row;
}

void cl_OptionsPanel::DestroyRows() {
  for (OptionsTab& tab : m_Tabs) {
    for (base::cl_Window* row : tab.rows) delete row;
  }
  m_Tabs.clear();
  m_pRefreshSlider = nullptr;
}

int cl_OptionsPanel::GetSelectedTab() const {
  for (size_t i = 0; i < m_Tabs.size(); ++i) {
    if (m_Tabs[i].selected) return static_cast<int>(i);
  }
  return -1;
}

void cl_OptionsPanel::SelectTab(int index) {
  if (index < 0 || index >= static_cast<int>(m_Tabs.size())) return;
  for (size_t i = 0; i < m_Tabs.size(); ++i) m_Tabs[i].selected = static_cast<int>(i) == index;
}

base::cl_Window* cl_OptionsPanel::FindRow(const char* key) const {
  for (const OptionsTab& tab : m_Tabs) {
    for (base::cl_Window* row : tab.rows) {
      if (key && RowLabel(row) == key) return row;
    }
  }
  return nullptr;
}

// ---- change tests

bool cl_OptionsPanel::IsChanged(const char* key, const std::string& text) const {
  const auto it = m_Snapshot.find(key ? key : "");
  if (it == m_Snapshot.end()) return true;
  const base::Variant* value = it->second.get_attribute("Value");
  return (value ? OptionValueText(*value) : std::string()) != text;
}

bool cl_OptionsPanel::NeedsRestart(const char* key, const std::string& text) const {
  const auto it = m_Snapshot.find(key ? key : "");
  if (it == m_Snapshot.end()) return false;
  int restart = 0;
  it->second.get_attribute_int("Needs_Restart", restart);
  return restart == 1 && IsChanged(key, text);
}

// ---- input and events

bool cl_OptionsPanel::ProcessInput(base::ICMD& cmd) {
  if (HasFlag(base::WF_HIDDEN) || HasFlag(base::WF_DISABLED)) return false;
  return m_View.Input(cmd, [this](base::ICMD& laidOut) { return ProcessPanelInput(laidOut); });
}

bool cl_OptionsPanel::ProcessPanelInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::KEY_PRESSED) {
    if (cmd.key == base::key::Escape) {
      Close(false);
      return true;
    }
    if (cmd.key == base::key::Enter) {
      Accept(true);
      return true;
    }
    return false;
  }
  // Rows are placed at render; input may come first.
  UpdateRect(m_Parent ? m_Parent->m_AbsRect.left : 0.0f, m_Parent ? m_Parent->m_AbsRect.top : 0.0f);
  if (cmd.type == base::ICMD::LEFT_UP) {
    for (size_t i = 0; i < m_Tabs.size(); ++i) {
      const OptionsTab& tab = m_Tabs[i];
      const float x = m_AbsRect.left + tab.x, y = m_AbsRect.top + tab.y;
      if (cmd.mouseX >= x && cmd.mouseX < x + tab.w && cmd.mouseY >= y && cmd.mouseY < y + tab.h) {
        SelectTab(static_cast<int>(i));
        break;
      }
    }
  }
  const int selected = GetSelectedTab();
  if (selected >= 0) {
    bool handled = false;
    // Rows that are not drawn take no input either.
    ForShownRows(m_Tabs[static_cast<size_t>(selected)], [&](base::cl_Window* row) {
      row->UpdateRect(m_AbsRect.left, m_AbsRect.top);
      if (row->ProcessInput(cmd)) handled = true;
    });
    if (handled) ApplyImmediate();
  }
  ProcessInputChildren(cmd);
  return true;
}

bool cl_OptionsPanel::ProcessEvent(const base::Variant& event) {
  if (event.is_string()) m_Mode = event.get_string() ? event.get_string() : "";
  if (HasFlag(base::WF_HIDDEN)) return false;
  const char* name = event.get_label();
  base::tString<base::BaseString> answer;
  event.get_attribute_string("ctrl_label", answer);
  if (IsLabel(name, "ButtonPressed")) {
    PlayClickSound();
    if (answer == "Ok") {
      Accept(true);
    } else if (answer == "Cancel") {
      Close(false);
    } else if (answer == "Default") {
      cl_Messagebox::Show("MB_YESNO",
                          "#optio0_2300 All your changes will be overwritten by the default stettings. Continue?",
                          "MB_reset", nullptr, m_pGUI, this);
    }
    return true;
  }
  if (IsLabel(name, "MB_reset")) {
    if (answer == "Ok") ResetToDefaults();
    return false;
  }
  if (IsLabel(name, "MB_restart")) {
    Close(true);
    return true;
  }
  return false;
}

// ---- closing

void cl_OptionsPanel::Accept(bool apply) {
  if (!apply) {
    Close(false);
    return;
  }
  for (const OptionsTab& tab : m_Tabs) {
    for (base::cl_Window* row : tab.rows) {
      if (NeedsRestart(RowLabel(row).c_str(), OptionValueText(row->m_Value))) {
        cl_Messagebox::Show("MB_OK",
                            "#optio0_1936 Some changes you have made requires a restart of Quillane to be effective",
                            "MB_restart", nullptr, m_pGUI, this);
        return;
      }
    }
  }
  ApplyOptions(false);
  SaveOptions();
  FinishClose();
}

void cl_OptionsPanel::Close(bool keep) {
  if (!keep) {
    if (base::Variant* options = base::sys::GetOptions(); options && m_OptionsCopy.is_element()) *options = m_OptionsCopy;
    ApplyOptions(false);
  } else {
    ApplyOptions(false);
    SaveOptions();
  }
  FinishClose();
}

// The values stay applied for this run even when they cannot be kept for the next.
void cl_OptionsPanel::SaveOptions() {
  if (base::sys::SaveConfig("config.xml")) return;
  base::sys::Output("ERROR: options: \"config.xml\" could not be saved; the settings hold until the program ends\n");
  cl_Messagebox::Show("MB_OK", kSaveFailedKey, "MB_savefailed", nullptr, m_pGUI, this);
}

void cl_OptionsPanel::FinishClose() {
  DestroyRows();
  Show(false);
  SetFlag(base::WF_DISABLED, true);
  if (m_pSession) {
    m_pSession->SetPaused(false);
    return;
  }
  base::cl_Window* root = m_pGUI ? static_cast<base::cl_Window*>(m_pGUI) : m_Parent;
  if (base::cl_Window* menu = root ? root->FindByLabel("MainMenuPanel") : nullptr) {
    menu->Show(true);
    menu->SetFlag(base::WF_DISABLED, false);
  }
}

void cl_OptionsPanel::ResetToDefaults() {
  const int selected = GetSelectedTab();
  m_OptionsCopy = m_Defaults;
  DestroyRows();
  std::map<std::string, base::Variant> kept;
  for (const char* key : {kResolution, kRefreshRate}) {
    if (auto it = m_Snapshot.find(key); it != m_Snapshot.end()) kept[key] = it->second;
  }
  base::Variant file;
  if (base::sys::LoadConfig(file, "default_config.xml")) {
    int w = 0, h = 0, rate = 0;
    if (const base::Variant* display = file.get_element("Display")) {
      display->get_attribute_int("Width", w);
      display->get_attribute_int("Height", h);
      display->get_attribute_int("RefreshRate", rate);
    }
    if (w != 0 && h != 0) {
      m_Display.attribute("Width")->set_int(w);
      m_Display.attribute("Height")->set_int(h);
      m_Display.attribute("RefreshRate")->set_int(rate);
    }
  }
  BuildRows();
  SelectTab(selected);
  // Every tab shows the defaults now, so every tab's values go live, not only the selected one's:
  // "Ok" saves what the rows show.
  const int shown = GetSelectedTab();
  for (size_t i = 0; i < m_Tabs.size(); ++i) {
    SelectTab(static_cast<int>(i));
    ApplyImmediate();
  }
  SelectTab(shown);
  for (auto& [key, entry] : kept) m_Snapshot[key] = entry;
}

// ---- render

void cl_OptionsPanel::Render(float px, float py) {
  if (HasFlag(base::WF_HIDDEN)) return;
  m_View.Render(px, py, {0.0f, 0.0f, kWidth, kHeight}, kSkinCornerSize,
                [this](float x, float y) { RenderPanel(x, y); });
}

void cl_OptionsPanel::RenderPanel(float px, float py) {
  const int selected = GetSelectedTab();
  if (selected >= 0) {
    const OptionsTab& tab = m_Tabs[static_cast<size_t>(selected)];
    base::cl_Window* quality = nullptr;
    base::cl_Window* toggle = nullptr;
    for (base::cl_Window* row : tab.rows) {
      if (RowLabel(row) == kQuality) quality = row;
      if (RowLabel(row) == kAdvancedToggle) toggle = row;
    }
    if (quality && toggle) quality->Show(toggle->m_Value.get_int() == 0);
  }
  if (gfx::cl_Font* font = gfx::FontExists("game")) gfx::SetFont(font);
  UpdateRect(px, py);
  DrawRoundFrame(m_AbsRect.left, m_AbsRect.top, m_AbsRect.right, m_AbsRect.bottom, 255);
  for (const OptionsTab& tab : m_Tabs) {
    const float x = m_AbsRect.left + tab.x, y = m_AbsRect.top + tab.y;
    DrawOptionsTab(x, y, x + tab.w, y + tab.h, tab.name, tab.selected);
  }
  if (selected >= 0)
    ForShownRows(m_Tabs[static_cast<size_t>(selected)],
                 [this](base::cl_Window* row) { row->Render(m_AbsRect.left, m_AbsRect.top); });
  RenderChildren(px, py);
}
