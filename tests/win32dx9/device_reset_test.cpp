// The graphics device's loss and reset protocol, driven frame by frame: what is released and
// made again, in which order, what a frame returns meanwhile, and the display choice of
// "AutoConfig".
#include <string>
#include <vector>

#include "platform/gpu/Device.h"
#include "shell_test_support.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace shelltest {
namespace {

using win32dx9::cl_DX9GraphicsDevice;

std::vector<std::string>& Journal() {
  static std::vector<std::string> journal;
  return journal;
}

// Stand-ins for the recorders, the skinning effect and the sound, writing into the journal.
void InstallSpies() {
  win32dx9::st_GraphicsServices& g = win32dx9::GraphicsServices();
  g.CreateRecorders = [] { Journal().push_back("recorders+"); };
  g.DestroyRecorders = [] { Journal().push_back("recorders-"); };
  g.ReleaseSkinShader = [] { Journal().push_back("skin-"); };
  win32dx9::SoundServices().SetActive = [](bool on) { Journal().push_back(on ? "sound+" : "sound-"); };
}

void RemoveSpies() {
  win32dx9::GraphicsServices() = win32dx9::st_GraphicsServices();
  win32dx9::SoundServices() = win32dx9::st_SoundServices();
}

// Holds a default-pool texture, as a render target or a TrueType font does: the device cannot
// be reset while it lives.
class VideoMemoryHolder final : public win32dx9::i_ResetCriticalResource {
 public:
  explicit VideoMemoryHolder(const char* name) : m_name(name) { Make(); }
  ~VideoMemoryHolder() override { Drop(); }
  void OnLost() override {
    Journal().push_back(m_name + "-");
    Drop();
  }
  void OnRestore() override {
    Journal().push_back(m_name + "+");
    Make();
  }
  bool Holds() const { return m_texture != nullptr; }

 private:
  void Make() {
    win32dx9::GetD3DDevice()->CreateTexture(8, 8, 1, gpu::usage::RenderTarget, gpu::fmt::A8R8G8B8,
                                            gpu::pool::Default, &m_texture);
  }
  void Drop() {
    if (m_texture) m_texture->Release();
    m_texture = nullptr;
  }
  std::string m_name;
  gpu::Texture* m_texture = nullptr;
};

class DeviceReset : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    if (IsSkipped()) return;
    Journal().clear();
    InstallSpies();
    Configure(kSmallDisplay);
    Start();
    m_device = cl_DX9GraphicsDevice::GetInstance();
    Journal().clear();
  }
  void TearDown() override {
    RemoveSpies();
    ShellTest::TearDown();
  }
  // One frame as the loop runs it; the result of BeginFrame.
  bool Frame() {
    if (!m_device->BeginFrame()) return false;
    m_device->EndFrame();
    return true;
  }

  cl_DX9GraphicsDevice* m_device = nullptr;
};

TEST_F(DeviceReset, LostAtPresentThenRestoredOnALaterFrame) {
  StepClock clock(0, 1);
  testsupport::LogCapture log;
  {
    VideoMemoryHolder a("A"), b("B");
    ASSERT_TRUE(Frame());
    m_device->GetDevice()->SimulateDeviceLoss();
    ASSERT_TRUE(Frame());  // drawn; its Present reports the loss
    EXPECT_EQ(m_device->GetState(), cl_DX9GraphicsDevice::LOST);
    EXPECT_EQ(Journal(), (std::vector<std::string>{"sound-"}));

    // The next frame waits 100 ms, resets and draws nothing; the one after draws again.
    EXPECT_FALSE(Frame());
    EXPECT_EQ(clock.Slept(), 100u);
    EXPECT_EQ(Journal(), (std::vector<std::string>{"sound-", "skin-", "recorders-", "A-", "B-", "recorders+", "A+",
                                                   "B+", "sound+"}));
    EXPECT_TRUE(log.contains("reset successfull!"));
    EXPECT_TRUE(a.Holds());
    EXPECT_TRUE(b.Holds());
    EXPECT_EQ(m_device->GetState(), cl_DX9GraphicsDevice::READY);
    EXPECT_TRUE(Frame());
    // The back buffer is held again: it can be read.
    ASSERT_TRUE(m_device->LockBackBuffer());
    EXPECT_NE(m_device->GetLockedBits(), nullptr);
    EXPECT_GE(m_device->GetLockedPitch(), 64 * 4);
    m_device->UnlockBackBuffer();
  }
  // Objects that went away left the reset list: a later reset does not reach them.
  Journal().clear();
  m_device->RequestReset();
  EXPECT_TRUE(Frame());
  EXPECT_EQ(Journal(), (std::vector<std::string>{"skin-", "recorders-", "recorders+", "sound+"}));
}

TEST_F(DeviceReset, FailedResetIsLoggedAndTriedAgain) {
  StepClock clock(0, 1);
  testsupport::LogCapture log;
  VideoMemoryHolder a("A");
  m_device->GetDevice()->SimulateDeviceLoss();
  ASSERT_TRUE(Frame());
  m_device->GetDevice()->SimulateResetResult(gpu::kErrOutOfVideoMemory);
  EXPECT_FALSE(Frame());
  EXPECT_TRUE(log.contains("Out of video memory!"));
  EXPECT_TRUE(log.contains("Warning: reset graphics device failed!"));
  EXPECT_EQ(m_device->GetState(), cl_DX9GraphicsDevice::LOST);
  EXPECT_FALSE(a.Holds());
  EXPECT_FALSE(Frame());  // this time the reset works
  EXPECT_EQ(m_device->GetState(), cl_DX9GraphicsDevice::READY);
  EXPECT_TRUE(a.Holds());
  EXPECT_TRUE(Frame());
}

TEST_F(DeviceReset, ResetRefusedWhileVideoMemoryIsHeldDoesNotStickForever) {
  // An object that keeps its video memory through OnLost makes the reset fail; once it lets go,
  // the device comes back instead of staying lost.
  StepClock clock(0, 1);
  gpu::Texture* leaked = nullptr;
  win32dx9::GetD3DDevice()->CreateTexture(4, 4, 1, gpu::usage::RenderTarget, gpu::fmt::A8R8G8B8,
                                          gpu::pool::Default, &leaked);
  ASSERT_NE(leaked, nullptr);
  m_device->RequestReset();
  EXPECT_FALSE(Frame());
  EXPECT_EQ(m_device->GetState(), cl_DX9GraphicsDevice::LOST);
  leaked->Release();
  EXPECT_FALSE(Frame());
  EXPECT_TRUE(Frame());
}

// A panel still holding its texture when the program shuts the device down (its GUI goes after
// the device) is told to let go first: the device is released with nothing of its video memory
// alive, and no warning.
TEST_F(DeviceReset, VideoMemoryStillHeldWhenTheDeviceIsReleasedIsLetGoFirst) {
  testsupport::LogCapture log;
  VideoMemoryHolder a("A");
  ASSERT_TRUE(a.Holds());
  m_device->ShutDown();
  EXPECT_FALSE(a.Holds());
  EXPECT_EQ(Journal(), (std::vector<std::string>{"recorders-", "A-", "skin-"}));
  EXPECT_FALSE(log.contains("default-pool objects live"));
}

class AutoConfig : public ShellTest {};

TEST_F(AutoConfig, ChoosesAndStoresTheDisplayMode) {
  // The headless adapter's desktop is 1024 x 768 at 60 Hz; its modes run from 640 x 480 to
  // 1920 x 1080.
  struct st_Case {
    const char* name;
    std::vector<sysinfo::st_DisplayMode> allowed;
    int width, height;
  };
  const st_Case cases[] = {
      {"desktop allowed", {{800, 600, 22, -1}, {1024, 768, 22, -1}}, 1024, 768},
      {"nothing allowed", {}, 1024, 768},
      {"desktop not allowed: the first allowed", {{800, 600, 22, -1}, {1280, 720, 22, -1}}, 800, 600},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    Configure("<Config><Display Width=\"64\" Height=\"48\" AutoConfig=\"1\"/></Config>");
    for (const auto& m : c.allowed) base::sys::GetSystemInfo().AddFiltered(m);
    Start();
    EXPECT_EQ(base::sys::GetWindowWidth(), c.width);
    EXPECT_EQ(base::sys::GetWindowHeight(), c.height);
    const std::string saved = UserFile("config.xml");
    EXPECT_NE(saved.find("Width=\"" + std::to_string(c.width) + "\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("RefreshRate=\"60\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("AutoConfig=\"1\""), std::string::npos) << saved;
  }
}

TEST_F(AutoConfig, OffLeavesTheConfiguredSize) {
  Configure(kSmallDisplay);
  Start();
  EXPECT_EQ(base::sys::GetWindowWidth(), 64);
  EXPECT_EQ(base::sys::GetWindowHeight(), 48);
  EXPECT_EQ(UserFile("config.xml"), kSmallDisplay);  // not rewritten
}

TEST(DisplayModes, RebuildKeepsMatchingAdapterModesAndFindIgnoresRefresh) {
  sysinfo::cl_SysInfo info;
  info.Add({800, 600, 22, 60});
  info.Add({800, 600, 22, 75});
  info.Add({800, 600, 21, 60});
  info.Add({1024, 768, 22, 60});
  info.AddFiltered({800, 600, 22, -1});  // any refresh: both 22-format modes
  info.AddFiltered({1024, 768, 22, 85});  // refresh differs: none
  info.AddFiltered({800, 600, 22, 75});   // listed again
  info.Rebuild();
  ASSERT_EQ(info.m_AllowedModes.size(), 3u);
  EXPECT_EQ(info.m_AllowedModes[0].refresh, 60);
  EXPECT_EQ(info.m_AllowedModes[1].refresh, 75);
  EXPECT_EQ(info.m_AllowedModes[2].refresh, 75);
  EXPECT_TRUE(info.Find(800, 600, 22, 50));
  EXPECT_FALSE(info.Find(800, 600, 21, 60));
  info.m_AdapterModes.clear();
  info.Rebuild();
  EXPECT_TRUE(info.m_AllowedModes.empty());
}

}  // namespace
}  // namespace shelltest
