// The engine as the drawing tests and benchmarks run it: a root module started on the headless
// platform with the graphics library, in a scratch user folder of its own, and the back buffer
// read back into memory. Every test and benchmark program that starts the headless engine does it
// here, so they all start it one way.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "support/ScratchFolder.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace testsupport {

// ---- The steps every headless start shares; fixtures that keep a root module of their own use
// them directly, the rest through cl_HeadlessEngine.

// A windowed width x height "Display" in a config tree (its attributes set where it has one).
inline void SetWindowedDisplay(base::Variant& config, int width, int height) {
  base::Variant* display = config.get_element("Display");
  if (!display) display = &config.add_element("Display");
  display->attribute("Fullscreen")->set_int(0);
  display->attribute("Width")->set_int(width);
  display->attribute("Height")->set_int(height);
}
// The platform's system information, the headless platform and the graphics library, registered
// on a root module whose config is read; StartUp then makes the device.
inline void RegisterHeadless(base::cl_System& system) {
  base::sys::GetSystemInfo() = sysinfo::cl_SysInfo();
  system.RegisterPlatform(win32dx9::CreatePlatform(gpu::Backend::Headless));
  gfx::RegisterGraphics();
}
// Empties the services the platform and the graphics library installed, once the root module
// is shut down, so the next start (or a test without a device) finds none of them.
inline void ForgetHeadlessServices() {
  win32dx9::GraphicsServices() = win32dx9::st_GraphicsServices();
  win32dx9::PlatformServices().RegisterResourceTypes = nullptr;
}

class cl_HeadlessEngine {
 public:
  ~cl_HeadlessEngine() { Stop(); }

  // Makes the scratch folder "quillane_<name>_<pid>_XXXXXX" in the temporary folder; false when it
  // cannot be made. Files the start reads (texts, pictures) may be written there before Start.
  bool MakeFolder(const char* name) {
    m_dir = MakeScratchFolder("quillane_" + std::string(name));
    return !m_dir.empty();
  }
  // Prepare, then StartUp. False when either fails.
  bool Start(int width, int height, const std::string& displayAttributes = "", const std::string& extraConfig = "") {
    return Prepare(width, height, displayAttributes, extraConfig) && StartUp();
  }
  // Writes the folder's config.xml for a windowed width x height display (displayAttributes
  // added to "Display", extraConfig after "Localization"), makes the root module with the folder
  // as its user folder and registers the headless platform and the graphics library. Modules may
  // be added to GetSystem() before StartUp. False when the config cannot be read.
  bool Prepare(int width, int height, const std::string& displayAttributes = "", const std::string& extraConfig = "") {
    m_system = std::make_unique<base::cl_System>();
    m_system->SetUserDataPath(m_dir.string().c_str());
    std::ofstream(m_dir / "config.xml") << "<Config><Display Fullscreen=\"0\" Width=\"" << width << "\" Height=\""
                                        << height << "\" " << displayAttributes
                                        << "/><Localization Language=\"English\"/>" << extraConfig << "</Config>";
    if (!m_system->LoadConfig("config.xml")) return false;
    RegisterHeadless(*m_system);
    return true;
  }
  // Starts the prepared root module; false when it fails or nothing was prepared.
  bool StartUp() { return m_system && m_system->StartUp(); }
  // Shuts the root module down, empties the services the platform and the graphics library
  // installed and removes the folder, first leaving it for the temporary folder when it is the
  // working folder. Nothing when nothing was started.
  void Stop() {
    ShutDownRoot();
    ForgetHeadlessServices();
    if (m_dir.empty()) return;
    std::error_code ec;
    if (std::filesystem::equivalent(std::filesystem::current_path(ec), m_dir, ec))
      std::filesystem::current_path(std::filesystem::temp_directory_path(), ec);
    std::filesystem::remove_all(m_dir, ec);
    m_dir.clear();
  }

  // Shuts the root module down and lets it go; the folder stays, so Start may run again.
  void ShutDownRoot() {
    if (m_system) m_system->ShutDown();
    m_system.reset();
  }

  const std::filesystem::path& GetDir() const { return m_dir; }
  base::cl_System* GetSystem() const { return m_system.get(); }

 private:
  std::filesystem::path m_dir;
  std::unique_ptr<base::cl_System> m_system;
};

// The rectangle (x, y, width, height) of the running device's back buffer, rows top down, each
// pixel 0x00RRGGBB (the back buffer has no alpha) or, with colourOnly false, as stored. Empty
// when the back buffer cannot be locked.
inline std::vector<uint32_t> ReadBackBuffer(int x, int y, int width, int height, bool colourOnly = true) {
  win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  std::vector<uint32_t> pixels;
  if (!device || !device->LockBackBuffer()) return pixels;
  pixels.reserve(static_cast<size_t>(width) * height);
  const auto* bits = static_cast<const unsigned char*>(device->GetLockedBits());
  for (int row = y; row < y + height; ++row) {
    const auto* line = reinterpret_cast<const uint32_t*>(bits + static_cast<size_t>(row) * device->GetLockedPitch());
    for (int col = x; col < x + width; ++col) pixels.push_back(colourOnly ? line[col] & 0xFFFFFFu : line[col]);
  }
  device->UnlockBackBuffer();
  return pixels;
}

// One back-buffer pixel as 0x00RRGGBB; 0xDEADBEEF when the back buffer cannot be locked.
inline uint32_t BackBufferPixel(int x, int y) {
  const std::vector<uint32_t> pixel = ReadBackBuffer(x, y, 1, 1);
  return pixel.empty() ? 0xDEADBEEFu : pixel[0];
}

}  // namespace testsupport
