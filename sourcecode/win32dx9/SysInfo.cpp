#include "win32dx9/SysInfo.h"

#include "base/system.h"
#include "platform/gpu/Device.h"

namespace sysinfo {

bool cl_SysInfo::Find(int width, int height, int format, int) const {
  for (const st_DisplayMode& m : m_AllowedModes)
    if (m.width == width && m.height == height && m.format == format) return true;
  return false;
}

void cl_SysInfo::Rebuild() {
  std::vector<st_DisplayMode> taken;
  for (const st_DisplayMode& a : m_AllowedModes) {
    for (const st_DisplayMode& m : m_AdapterModes) {
      if (m.width != a.width || m.height != a.height || m.format != a.format) continue;
      if (m.refresh != -1 && a.refresh != -1 && m.refresh != a.refresh) continue;
      taken.push_back(m);
    }
  }
  m_AllowedModes.swap(taken);
}

void ProvideDisplayModes(gpu::System& adapter, cl_SysInfo& info) {
  gpu::DisplayMode mode;
  info.m_AdapterModes.clear();
  if (adapter.GetAdapterDisplayMode(&mode) == gpu::kOk)
    info.m_DesktopMode = {int(mode.width), int(mode.height), int(mode.format), int(mode.refreshRate)};
  for (uint32_t format : {gpu::fmt::X8R8G8B8, gpu::fmt::A8R8G8B8}) {
    const uint32_t count = adapter.GetAdapterModeCount(format);
    for (uint32_t i = 0; i < count; ++i)
      if (adapter.EnumAdapterModes(format, i, &mode) == gpu::kOk)
        info.Add({int(mode.width), int(mode.height), int(format), int(mode.refreshRate)});
  }
}

}  // namespace sysinfo

namespace base::sys {

sysinfo::cl_SysInfo& GetSystemInfo() {
  static sysinfo::cl_SysInfo info;
  return info;
}

}  // namespace base::sys
