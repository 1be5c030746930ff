// The configured resolutions into the system information.
#include "quillane/frame/GameSysInfoProvider.h"

#include "base/data/Variant.h"
#include "base/system.h"
#include "win32dx9/SysInfo.h"

namespace {

constexpr int kFormatX8R8G8B8 = 22;
constexpr int kFormatA8R8G8B8 = 21;

}  // namespace

bool cl_GameSysInfoProvider::Provide() {
  sysinfo::cl_SysInfo& info = base::sys::GetSystemInfo();
  const base::Variant* formats = &base::sys::GetConfig();
  for (const char* label : {"Options", "Gfx", "ScreenResolution", "OutputFormat"}) {
    formats = formats->get_element(label);
    if (!formats) return true;
  }
  for (int i = 0; i < formats->size(); ++i) {
    const base::Variant* mode = formats->child(i);
    int width = 0, height = 0;
    if (!mode || !mode->is_element() || !mode->get_attribute_int("width", width) ||
        !mode->get_attribute_int("height", height))
      continue;
    info.AddFiltered(sysinfo::st_DisplayMode{width, height, kFormatX8R8G8B8, -1});
    info.AddFiltered(sysinfo::st_DisplayMode{width, height, kFormatA8R8G8B8, -1});
  }
  return true;
}
