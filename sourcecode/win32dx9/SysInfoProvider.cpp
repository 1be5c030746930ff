// The system-information provider over /proc, sysfs and the graphics adapter.
#include "win32dx9/SysInfoProvider.h"

#include <cstdint>

#include "base/system.h"
#include "platform/gpu/Device.h"
#include "platform/os/MemoryInfo.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace win32dx9 {

namespace {

constexpr float kBytesPerMb = 1024.0f * 1024.0f;

}  // namespace

cl_DXSysInfoProvider::cl_DXSysInfoProvider() : m_info(&base::sys::GetSystemInfo()) {}

cl_DXSysInfoProvider* cl_DXSysInfoProvider::Create() { return new cl_DXSysInfoProvider(); }

void cl_DXSysInfoProvider::SetSources(const char* meminfo, const char* drmRoot) {
  m_meminfoPath = meminfo ? meminfo : "";
  m_drmRoot = drmRoot ? drmRoot : "";
}

bool cl_DXSysInfoProvider::Provide() {
  uint64_t kilobytes = 0;
  if (platform::os::ReadMemTotal(&kilobytes, m_meminfoPath.c_str())) {
    m_info->m_PhysicalMemory = static_cast<float>(kilobytes) / 1024.0f;
  } else {
    base::sys::Output("Warning: '%s' gives no MemTotal; the physical memory stays unknown\n", m_meminfoPath.c_str());
  }
  if (const uint64_t bytes = gpu::QuerySysfsVideoMemory(m_drmRoot.c_str()))
    m_info->m_DisplayMemory = static_cast<float>(bytes) / kBytesPerMb;
  if (m_adapter) sysinfo::ProvideDisplayModes(*m_adapter, *m_info);
  return true;
}

void cl_DXSysInfoProvider::ProvideDeviceInfo(gpu::Device& device, sysinfo::cl_SysInfo& info) {
  const gpu::AdapterInfo adapter = device.GetAdapterInfo();
  if (adapter.videoMemoryBytes > 0) info.m_DisplayMemory = static_cast<float>(adapter.videoMemoryBytes) / kBytesPerMb;
  base::sys::Output("Physical memory: %.0f MB, display memory: %.0f MB (%s)\n", info.m_PhysicalMemory,
                    info.m_DisplayMemory, adapter.memorySource);
  base::sys::Output("OpenGL renderer: %s; vendor: %s; version: %s\n", adapter.renderer.c_str(),
                    adapter.vendor.c_str(), adapter.version.c_str());
}

void RegisterSysInfoProvider() {
  GraphicsServices().ProvideSystemInfo = [](gpu::System& adapter, sysinfo::cl_SysInfo& info) {
    cl_DXSysInfoProvider* provider = cl_DXSysInfoProvider::Create();
    provider->SetAdapter(&adapter);
    provider->SetRecord(&info);
    provider->Provide();
    delete provider;
  };
}

void ProvideDeviceInfo() {
  if (gpu::Device* device = GetD3DDevice())
    cl_DXSysInfoProvider::ProvideDeviceInfo(*device, base::sys::GetSystemInfo());
}

}  // namespace win32dx9
