// The system-information provider: fills the process-wide record (base::sys::GetSystemInfo)
// with the physical memory, the display memory, the desktop mode and the adapter's display
// modes. The graphics device runs it once during its start-up; the driver's own figures join
// once the device exists (ProvideDeviceInfo).
#pragma once

#include <string>

namespace gpu {
class Device;
class System;
}  // namespace gpu

namespace sysinfo {
class cl_SysInfo;
}

namespace win32dx9 {

class i_SysInfoProvider {
 public:
  virtual ~i_SysInfoProvider() = default;
  // Runs the queries into the record; true when the provider could run at all.
  virtual bool Provide() = 0;
};

class cl_DXSysInfoProvider final : public i_SysInfoProvider {
 public:
  // A new provider over the process-wide record, without an adapter.
  static cl_DXSysInfoProvider* Create();

  // Physical memory (MemTotal of /proc/meminfo in MB), display memory (the DRM card's sysfs
  // figure; 0 when there is none) and, with an adapter, the desktop mode and the modes of both
  // back-buffer formats. A figure that cannot be read leaves its field as it was. True.
  bool Provide() override;

  void SetAdapter(gpu::System* adapter) { m_adapter = adapter; }
  void SetRecord(sysinfo::cl_SysInfo* info) { m_info = info; }
  // Where the figures are read (tests point these at sample files).
  void SetSources(const char* meminfo, const char* drmRoot);

  // Once the device exists: the driver's display memory replaces the sysfs figure when the
  // driver reports one; the figures and the driver's renderer, vendor and version are logged.
  static void ProvideDeviceInfo(gpu::Device& device, sysinfo::cl_SysInfo& info);

 private:
  cl_DXSysInfoProvider();

  gpu::System* m_adapter = nullptr;
  sysinfo::cl_SysInfo* m_info;
  std::string m_meminfoPath = "/proc/meminfo";
  std::string m_drmRoot = "/sys/class/drm";
};

// Fills GraphicsServices().ProvideSystemInfo with the provider.
void RegisterSysInfoProvider();
// The driver's part after start-up (ProvideDeviceInfo on the running device); nothing without one.
void ProvideDeviceInfo();

}  // namespace win32dx9
