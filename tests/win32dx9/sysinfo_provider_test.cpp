// The system-information provider: memory figures from sample /proc/meminfo texts and a sample
// DRM folder, the headless adapter's display modes, and the whole path through the platform's
// start-up with the driver's strings in the log.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/gpu/Device.h"
#include "platform/os/MemoryInfo.h"
#include "shell_test_support.h"
#include "support/ScratchFolder.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"
#include "win32dx9/SysInfoProvider.h"

namespace shelltest {
namespace {

namespace fs = std::filesystem;

const char kMeminfo[] =
    "MemTotal:       16314512 kB\n"
    "MemFree:         1234567 kB\n"
    "MemAvailable:    9876543 kB\n";

// A scratch folder with a meminfo text and, when vram is not empty, a DRM card reporting it.
class SampleSources {
 public:
  SampleSources(const std::string& meminfo, const std::string& vram) {
    m_dir = testsupport::MakeScratchFolder("quillane_sysinfo");
    std::ofstream(m_dir / "meminfo") << meminfo;
    fs::create_directories(m_dir / "drm");
    if (!vram.empty()) {
      fs::create_directories(m_dir / "drm/card1/device");
      std::ofstream(m_dir / "drm/card1/device/mem_info_vram_total") << vram << "\n";
    }
  }
  ~SampleSources() {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  std::string Meminfo() const { return (m_dir / "meminfo").string(); }
  std::string Drm() const { return (m_dir / "drm").string(); }

 private:
  fs::path m_dir;
};

TEST(SysInfoProvider, MemoryFiguresFromSampleTexts) {
  struct st_Case {
    const char* name;
    std::string meminfo;
    std::string vram;
    float physical;  // MB expected; -1: the field keeps its old value
    float display;
  };
  const st_Case cases[] = {
      {"normal", kMeminfo, "2147483648", 16314512.0f / 1024.0f, 2048.0f},
      {"MemTotal not first", "MemFree: 10 kB\nMemTotal:  2048 kB\n", "", 2.0f, -1.0f},
      {"without MemTotal", "MemFree: 10 kB\nSwapTotal: 99 kB\n", "", -1.0f, -1.0f},
      {"only inside another key", "XMemTotal: 4096 kB\n", "", -1.0f, -1.0f},
      {"empty", "", "not a number", -1.0f, -1.0f},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(c.name);
    SampleSources sources(c.meminfo, c.vram);
    sysinfo::cl_SysInfo info;
    info.m_PhysicalMemory = 7.0f;
    info.m_DisplayMemory = 5.0f;
    std::unique_ptr<win32dx9::cl_DXSysInfoProvider> provider(win32dx9::cl_DXSysInfoProvider::Create());
    provider->SetRecord(&info);
    provider->SetSources(sources.Meminfo().c_str(), sources.Drm().c_str());
    testsupport::LogCapture log;
    EXPECT_TRUE(provider->Provide());
    EXPECT_FLOAT_EQ(info.m_PhysicalMemory, c.physical < 0 ? 7.0f : c.physical);
    EXPECT_FLOAT_EQ(info.m_DisplayMemory, c.display < 0 ? 5.0f : c.display);
    EXPECT_EQ(log.contains("Warning: "), c.physical < 0);
    // Without an adapter no display mode is listed.
    EXPECT_TRUE(info.m_AdapterModes.empty());
  }
}

TEST(SysInfoProvider, HeadlessAdapterListsEachModeInBothFormatsXrgbFirst) {
  std::unique_ptr<gpu::System> adapter = gpu::System::Create(gpu::Backend::Headless);
  ASSERT_TRUE(adapter);
  SampleSources sources(kMeminfo, "");
  sysinfo::cl_SysInfo info;
  std::unique_ptr<win32dx9::cl_DXSysInfoProvider> provider(win32dx9::cl_DXSysInfoProvider::Create());
  provider->SetRecord(&info);
  provider->SetSources(sources.Meminfo().c_str(), sources.Drm().c_str());
  provider->SetAdapter(adapter.get());
  ASSERT_TRUE(provider->Provide());

  EXPECT_EQ(info.m_DesktopMode.width, 1024);
  EXPECT_EQ(info.m_DesktopMode.height, 768);
  ASSERT_EQ(info.m_AdapterModes.size(), 12u);
  for (size_t i = 0; i < 6; ++i) {
    const sysinfo::st_DisplayMode& x = info.m_AdapterModes[i];
    const sysinfo::st_DisplayMode& a = info.m_AdapterModes[i + 6];
    EXPECT_EQ(x.format, 22);
    EXPECT_EQ(a.format, 21);
    EXPECT_EQ(x.width, a.width);
    EXPECT_EQ(x.height, a.height);
  }
  EXPECT_EQ(info.m_AdapterModes[0].width, 640);
  EXPECT_EQ(info.m_AdapterModes[5].width, 1920);
}

TEST(SysInfoProvider, MemTotalParsingNeedsANumberAtALineStart) {
  uint64_t kb = 0;
  EXPECT_TRUE(platform::os::ParseMemTotal("MemTotal:\t\t 512 kB", &kb));
  EXPECT_EQ(kb, 512u);
  EXPECT_FALSE(platform::os::ParseMemTotal("MemTotal: kB\n", &kb));
  EXPECT_FALSE(platform::os::ParseMemTotal("", &kb));
  EXPECT_FALSE(platform::os::ReadMemTotal(&kb, "/nonexistent/meminfo"));
}

class SysInfoStartUp : public ShellTest {
 protected:
  void TearDown() override {
    ShellTest::TearDown();
    win32dx9::GraphicsServices() = win32dx9::st_GraphicsServices();
  }
};

TEST_F(SysInfoStartUp, DeviceStartUpFillsTheRecordAndTheLogNamesMemoryAndRenderer) {
  if (!HeadlessGpuAvailable()) GTEST_SKIP() << "no headless GL here";
  win32dx9::RegisterSysInfoProvider();
  base::sys::GetSystemInfo() = sysinfo::cl_SysInfo();
  Configure(kSmallDisplay);
  Start();
  const sysinfo::cl_SysInfo& info = base::sys::GetSystemInfo();
  EXPECT_GT(info.m_PhysicalMemory, 0.0f);  // this machine's own /proc/meminfo
  EXPECT_EQ(info.m_AdapterModes.size(), 12u);

  testsupport::LogCapture log;
  win32dx9::ProvideDeviceInfo();
  EXPECT_TRUE(log.contains("Physical memory: ")) << "no memory line";
  EXPECT_TRUE(log.contains("OpenGL renderer: ")) << "no renderer line";
  EXPECT_GE(info.m_DisplayMemory, 0.0f);
  m_system->ShutDown();
}

}  // namespace
}  // namespace shelltest
