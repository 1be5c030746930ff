// The process-wide system-information record (base::sys::GetSystemInfo): here its display-mode
// part. The adapter's modes, the modes the game allows (registered at start-up from the
// configuration's resolutions, then narrowed to the adapter's matching modes by Rebuild) and the
// desktop mode; and the memory figures the system-information provider fills in.
#pragma once

#include <vector>

namespace gpu {
class System;
}

namespace sysinfo {

// Four 32-bit ints in this order. format: 22 X8R8G8B8, 21 A8R8G8B8; refresh -1 = any.
struct st_DisplayMode {
  int width = 0;
  int height = 0;
  int format = 0;
  int refresh = -1;
};

class cl_SysInfo {
 public:
  void Add(const st_DisplayMode& mode) { m_AdapterModes.push_back(mode); }         // an adapter mode
  void AddFiltered(const st_DisplayMode& mode) { m_AllowedModes.push_back(mode); }  // an allowed mode
  // True when an allowed mode has this width, height and format (the refresh rate is not compared).
  bool Find(int width, int height, int format, int refresh) const;
  // Replaces the allowed modes by the adapter modes that match them, in allowed-mode order: same
  // size and format, and the same refresh rate unless either is -1. An adapter mode matching two
  // allowed entries is listed twice.
  void Rebuild();

  std::vector<st_DisplayMode> m_AdapterModes;
  std::vector<st_DisplayMode> m_AllowedModes;
  st_DisplayMode m_DesktopMode;
  float m_PhysicalMemory = 0.0f;  // MB; 0 while unknown
  float m_DisplayMemory = 0.0f;   // MB; 0 while unknown
};

// The display part of the provider: the adapter's desktop mode and its modes (replacing those
// listed before), once for each of the two back-buffer formats (X8R8G8B8, then A8R8G8B8).
void ProvideDisplayModes(gpu::System& adapter, cl_SysInfo& info);

}  // namespace sysinfo
