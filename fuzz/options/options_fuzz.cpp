// Reads arbitrary bytes as "config.xml" (and its defaults), then opens the options panel on it,
// applies every tab, names every slider's value, resets to the defaults and closes: a damaged options description (odd "Steps", missing
// values, unknown types, huge numbers) and empty display-mode lists must neither crash nor hang.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <memory>
#include <string>

#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "quillane/options/OptionEffects.h"
#include "quillane/options/OptionsPanel.h"
#include "win32dx9/SysInfo.h"

#include "../BaseFuzz.h"
#include "../ScratchFile.h"

namespace {

class cl_NoEffects : public i_OptionEffects {
 public:
  void FadeMasterVolume(float, float) override {}
  void FadeChannelVolume(const char*, float, float) override {}
  void SetGamma(float) override {}
  void RequestDeviceReset() override {}
  void ReleaseAllActors() override {}
};

base::cl_System& System() {
  static std::unique_ptr<base::cl_System> system = [] {
    auto s = std::make_unique<base::cl_System>();
    static cl_NoEffects effects;
    SetOptionEffects(&effects);
    return s;
  }();
  return *system;
}

// The mode lists the panel may meet, chosen by the input size: none, one mode, several sizes with
// several rates.
void SetModes(uint8_t which) {
  std::vector<sysinfo::st_DisplayMode>& modes = base::sys::GetSystemInfo().m_AllowedModes;
  modes.clear();
  if (which % 3 >= 1) modes.push_back({1024, 768, 22, 60});
  if (which % 3 == 2) {
    modes.push_back({1024, 768, 22, 75});
    modes.push_back({1280, 720, 21, 60});
    modes.push_back({800, 600, 22, 60});
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 64 * 1024)) return 0;
  base::cl_System& system = System();
  fuzzsupport::st_InScratchFolder inFolder("options");
  if (!inFolder.ok) return 0;
  // The input is the defaults too: a missing "default_config.xml" would be looked for in the
  // working folder, whatever that holds.
  for (const char* name : {"config.xml", "default_config.xml"}) {
    std::FILE* f = std::fopen(name, "wb");
    if (!f) return 0;
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) return 0;
  }
  system.SetUserDataPath(".");
  system.GetConfigTree().set_nil();
  base::Variant config;
  if (base::sys::LoadConfig(config, "config.xml")) system.GetConfigTree() = config;
  SetModes(static_cast<uint8_t>(size % 3));

  std::unique_ptr<cl_OptionsPanel> panel(cl_OptionsPanel::Create(nullptr));
  if (!panel || !panel->Init(base::StaticVariantIterator())) return 0;
  panel->Show(true);
  panel->SetFlag(base::WF_DISABLED, false);
  for (size_t t = 0; t < panel->GetTabs().size(); ++t) {
    panel->SelectTab(static_cast<int>(t));
    for (base::cl_Window* row : panel->GetTabs()[t].rows) {
      if (auto* slider = dynamic_cast<cl_OptionsSlider*>(row)) {
        std::u16string text;
        slider->GetValueText(text);
      }
    }
    panel->ApplyImmediate();
  }
  panel->ApplyOptions(false);
  panel->ResetToDefaults();
  panel->Close(false);
  return 0;
}
