// The options panel's display-mode lists and ApplyOptions: option values into sound levels,
// gamma, the display mode of the next start and the graphics-quality preset.
#include <algorithm>
#include <string>

#include "base/data/VariantTools.h"
#include "base/system.h"
#include "quillane/options/OptionEffects.h"
#include "quillane/options/OptionsPanel.h"

namespace {

constexpr float kFadeSeconds = 0.5f;  // every sound option fades over the same time

struct st_SoundOption {
  const char* path;
  const char* channel;  // null: the master volume
  const char* secondChannel;
};

// ORDER: master, music, speech, sound effects, ambient.
constexpr st_SoundOption kSoundOptions[] = {
    {"Sfx/MasterVolume/Value", nullptr, nullptr}, {"Sfx/MusicVolume/Value", "MUSIC", nullptr},
    {"Sfx/SpeechVolume/Value", "SPEECH", nullptr}, {"Sfx/SfxVolume/Value", "PLAYER", nullptr},
    {"Sfx/AmbientVolume/Value", "AMBIENT", "AMBIENT2"},
};

// ORDER ADVANCED: the values that add up to the quality preset.
constexpr const char* kAdvancedOptions[] = {"Gfx/SceneLOD", "Gfx/CharacterLOD", "Gfx/Antialiasing", "Gfx/NPCLOD",
                                            "Gfx/Reflections"};

}  // namespace

// ---- lists

void cl_OptionsPanel::BuildResolutionList() {
  m_Resolutions.clear();
  int lastW = 0, lastH = 0;
  for (const sysinfo::st_DisplayMode& mode : base::sys::GetSystemInfo().m_AllowedModes) {
    if (mode.width == lastW && mode.height == lastH) continue;
    sysinfo::st_DisplayMode entry = mode;
    entry.refresh = -1;
    m_Resolutions.push_back(entry);
    lastW = mode.width;
    lastH = mode.height;
  }
  // The mode the program runs in joins the list when the display does not offer it (a window
  // smaller than the screen): the slider must show it, and "Ok" without a change must keep it.
  sysinfo::st_DisplayMode running;
  if (!RunningMode(running)) return;
  const bool listed = std::any_of(m_Resolutions.begin(), m_Resolutions.end(), [&](const sysinfo::st_DisplayMode& m) {
    return m.width == running.width && m.height == running.height;
  });
  if (listed) return;
  const auto before = std::find_if(m_Resolutions.begin(), m_Resolutions.end(), [&](const sysinfo::st_DisplayMode& m) {
    return m.width > running.width || (m.width == running.width && m.height > running.height);
  });
  running.refresh = -1;
  m_Resolutions.insert(before, running);
}

bool cl_OptionsPanel::RunningMode(sysinfo::st_DisplayMode& out) const {
  int w = 0, h = 0, rate = -1;
  if (!m_Display.get_attribute_int("Width", w) || !m_Display.get_attribute_int("Height", h) || w <= 0 || h <= 0)
    return false;
  m_Display.get_attribute_int("RefreshRate", rate);
  out.width = w, out.height = h, out.refresh = rate;
  out.format = m_Resolutions.empty() ? 0 : m_Resolutions.front().format;
  return true;
}

float cl_OptionsPanel::BuildRefreshList(int resolutionIndex, int rate) {
  const sysinfo::st_DisplayMode* resolution = GetResolution(resolutionIndex);
  if (!m_pRefreshSlider) return -1.0f;
  if (!resolution) {
    // No display mode at all: nothing to choose between.
    m_RefreshRates.clear();
    m_pRefreshSlider->SetFlag(base::WF_DISABLED, true);
    return -1.0f;
  }
  m_RefreshRates.clear();
  for (const sysinfo::st_DisplayMode& mode : base::sys::GetSystemInfo().m_AllowedModes) {
    if (mode.width == resolution->width && mode.height == resolution->height && mode.format == resolution->format)
      m_RefreshRates.push_back(mode.refresh);
  }
  // The running mode's rate likewise, when the display lists its size without it.
  sysinfo::st_DisplayMode running;
  if (RunningMode(running) && running.width == resolution->width && running.height == resolution->height &&
      running.refresh > 0 && FindRefreshRate(running.refresh) < 0)
    m_RefreshRates.push_back(running.refresh);
  const int n = static_cast<int>(m_RefreshRates.size());
  m_pRefreshSlider->SetSteps(static_cast<float>(n));
  float v = 1.0f;
  if (rate != -1) {
    const int j = FindRefreshRate(rate);
    if (j >= 0) v = static_cast<float>(j) / static_cast<float>(n - 1 > 1 ? n - 1 : 1);
  }
  m_pRefreshSlider->SetValue(v);
  m_pRefreshSlider->SetFlag(base::WF_DISABLED, n <= 1);
  return v;
}

const sysinfo::st_DisplayMode* cl_OptionsPanel::GetResolution(int i) const {
  if (i < 0 || i >= static_cast<int>(m_Resolutions.size())) return nullptr;
  return &m_Resolutions[static_cast<size_t>(i)];
}

int cl_OptionsPanel::GetRefreshRate(int i) const {
  if (i < 0 || i >= static_cast<int>(m_RefreshRates.size())) return -1;
  return m_RefreshRates[static_cast<size_t>(i)];
}

int cl_OptionsPanel::FindResolution(int width, int height) const {
  for (size_t i = 0; i < m_Resolutions.size(); ++i) {
    if (m_Resolutions[i].width == width && m_Resolutions[i].height == height) return static_cast<int>(i);
  }
  return 0;
}

int cl_OptionsPanel::FindRefreshRate(int rate) const {
  for (size_t i = 0; i < m_RefreshRates.size(); ++i) {
    if (m_RefreshRates[i] == rate) return static_cast<int>(i);
  }
  return -1;
}

int cl_OptionsPanel::ResolutionIndexFromValue(float v) const {
  return IndexFromValue(v, static_cast<int>(m_Resolutions.size()));
}

int cl_OptionsPanel::RefreshIndexFromValue(float v) const {
  return IndexFromValue(v, static_cast<int>(m_RefreshRates.size()));
}

// ---- applying

void cl_OptionsPanel::ApplyImmediate() {
  base::Variant* options = base::sys::GetOptions();
  const int selected = GetSelectedTab();
  if (options && selected >= 0) {
    for (base::cl_Window* row : m_Tabs[static_cast<size_t>(selected)].rows) {
      const std::string path = std::string(row->m_Label.c_str()) + "/Value";
      if (base::Variant* value = base::variant_get_attribute_by_path(*options, path.c_str(), false))
        *value = row->m_Value;
    }
  }
  ApplyOptions(true);
}

void cl_OptionsPanel::ApplyOptions(bool immediateOnly) {
  base::Variant* options = base::sys::GetOptions();
  if (!options) return;
  auto at = [options](const char* path) { return base::variant_get_attribute_by_path(*options, path, false); };
  i_OptionEffects& effects = GetOptionEffects();

  for (const st_SoundOption& sound : kSoundOptions) {
    const base::Variant* value = at(sound.path);
    if (!value) continue;
    const float v = value->get_float();
    if (!sound.channel) {
      effects.FadeMasterVolume(v, kFadeSeconds);
      continue;
    }
    effects.FadeChannelVolume(sound.channel, v, kFadeSeconds);
    if (sound.secondChannel) effects.FadeChannelVolume(sound.secondChannel, v, kFadeSeconds);
  }
  if (const base::Variant* gamma = at("Gfx/Gamma/Value")) effects.SetGamma(gamma->get_float());

  if (const base::Variant* refresh = at("Gfx/RefreshRate/Value")) m_RefreshValueText = FormatOptionF(refresh->get_float());
  if (const base::Variant* resolution = at("Gfx/ScreenResolution/Value")) {
    const std::string text = OptionValueText(*resolution);
    if (text != m_ResolutionValueText) {
      // A new resolution offers its own rates; the rate chosen so far stays when it is offered.
      const int rate = GetRefreshRate(RefreshIndexFromValue(ParseOptionNumber(m_RefreshValueText)));
      const float v = BuildRefreshList(ResolutionIndexFromValue(resolution->get_float()), rate);
      m_RefreshValueText = FormatOptionF(v);
      m_ResolutionValueText = text;
      // The refresh row moved; the option follows it, or "Ok" would choose from the old position.
      if (m_pRefreshSlider && v >= 0) {
        if (base::Variant* refresh = at("Gfx/RefreshRate/Value")) *refresh = m_pRefreshSlider->m_Value;
      }
    }
  }
  if (immediateOnly) return;

  base::Variant& display = DisplayElement();
  // Without display modes there is nothing to choose from: the saved mode stays.
  if (const base::Variant* resolution = at("Gfx/ScreenResolution/Value");
      resolution && !m_Resolutions.empty() && IsChanged("Gfx/ScreenResolution", OptionValueText(*resolution))) {
    const sysinfo::st_DisplayMode& mode = m_Resolutions[static_cast<size_t>(ResolutionIndexFromValue(resolution->get_float()))];
    display.attribute("Width")->set_int(mode.width);
    display.attribute("Height")->set_int(mode.height);
  }
  if (const base::Variant* refresh = at("Gfx/RefreshRate/Value"); refresh && !m_RefreshRates.empty()) {
    const int rate = m_RefreshRates[static_cast<size_t>(RefreshIndexFromValue(refresh->get_float()))];
    if (IsChanged("Gfx/RefreshRate", FormatOptionD(rate))) display.attribute("RefreshRate")->set_int(rate);
  }

  if (const base::Variant* quality = at("Gfx/GfxQuality/Value");
      quality && IsChanged("Gfx/GfxQuality", OptionValueText(*quality))) {
    const float q = quality->get_float();
    auto set = [&at](const char* path, float v) {
      if (base::Variant* value = at(path)) value->set_float(v);
    };
    set("Gfx/SceneLOD/Value", q);
    set("Gfx/CharacterLOD/Value", q);
    set("Gfx/NPCLOD/Value", q >= 1 ? 1.0f : 0.0f);
    set("Gfx/Antialiasing/Value", q >= 0.5f ? 1.0f : 0.0f);
    set("Gfx/Reflections/Value", q >= 0.5f ? 1.0f : 0.0f);
  }
  if (const base::Variant* lod = at("Gfx/CharacterLOD/Value"); lod && IsChanged("Gfx/CharacterLOD", OptionValueText(*lod)))
    effects.ReleaseAllActors();
  if (const base::Variant* aa = at("Gfx/Antialiasing/Value"); aa && IsChanged("Gfx/Antialiasing", OptionValueText(*aa)))
    effects.RequestDeviceReset();

  const int selected = GetSelectedTab();
  bool advanced = false;
  if (selected >= 0) {
    for (base::cl_Window* row : m_Tabs[static_cast<size_t>(selected)].rows) {
      if (std::string(row->m_Label.c_str()) == "Gfx/ToggleAdvancedGraphics" && row->m_Value.get_int() == 1)
        advanced = true;
    }
  }
  if (!advanced) return;
  bool changed = false;
  float sum = 0;
  for (const char* name : kAdvancedOptions) {
    const base::Variant* value = at((std::string(name) + "/Value").c_str());
    const float v = value ? value->get_float() : -1.0f;
    sum += v;
    changed |= IsChanged(name, value ? OptionValueText(*value) : FormatOptionG(v));
  }
  if (!changed) return;
  if (base::Variant* quality = at("Gfx/GfxQuality/Value")) quality->set_float(sum >= 5 ? 1.0f : (sum >= 2 ? 0.5f : 0.0f));
}
