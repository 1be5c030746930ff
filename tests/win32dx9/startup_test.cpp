// What the platform's start-up and shut-down call into the subsystems above it, in order, and
// with which values; the window size taken from the desktop; the hardware cursor on screen.
#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "platform/gpu/Device.h"
#include "shell_test_support.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Services.h"

namespace shelltest {
namespace {

std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}

void Note(const std::string& call) { Calls().push_back(call); }

class StartUpCalls : public ShellTest {
 protected:
  void SetUp() override {
    Calls().clear();
    win32dx9::st_PlatformServices& p = win32dx9::PlatformServices();
    p.CrashHandlerStartUp = [] { Note("crash start"); return true; };
    p.CrashHandlerSetReportFile = [](const char* name) { Note(std::string("report ") + name); };
    p.CrashHandlerShutDown = [] { Note("crash end"); return true; };
    p.RegisterBitmapLoaders = [] { Note("bitmap loaders"); };
    p.RegisterResourceTypes = [](base::i_ResourceMgr*) { Note("resource types"); };
    p.InitTextsystem = [](const base::Variant& v) {
      Note(std::string("text ") + (v.get_label() ? v.get_label() : "?"));
      return true;
    };
    p.CleanupTextsystem = [] { Note("text end"); };
    win32dx9::st_SoundServices& s = win32dx9::SoundServices();
    s.Create = [] { Note("sound made"); };
    s.Destroy = [] { Note("sound gone"); };
    s.StartUp = [] { Note("sound start"); return true; };
    s.AddChannel = [](const char* name, float volume, float pan, int priority) {
      Note(std::string(name) + " " + std::to_string(volume).substr(0, 4) + " " + std::to_string(pan).substr(0, 3) +
           " " + std::to_string(priority));
    };
    s.FadeMasterVolume = [](float level, float seconds) {
      Note("master " + std::to_string(level).substr(0, 4) + " in " + std::to_string(seconds).substr(0, 3));
    };
    s.FadeOutAll = [](float) { Note("silence"); };
    ShellTest::SetUp();
  }
  void TearDown() override {
    ShellTest::TearDown();
    win32dx9::PlatformServices() = win32dx9::st_PlatformServices();
    win32dx9::SoundServices() = win32dx9::st_SoundServices();
  }
};

TEST_F(StartUpCalls, InOrderWithChannelVolumesFromTheOptions) {
  // No "AmbientVolume": AMBIENT and AMBIENT2 keep the music's volume.
  Configure(
      "<Config><Display Width=\"64\" Height=\"48\"/><Localization Language=\"English\"/>"
      "<Options><Sfx><SfxVolume Value=\"0.25\"/><MusicVolume Value=\"0.5\"/><SpeechVolume Value=\"0.75\"/>"
      "<MasterVolume Value=\"0.8\"/></Sfx></Options></Config>");
  Start();
  m_system->ShutDown();
  EXPECT_EQ(Calls(), (std::vector<std::string>{
                         "sound made", "crash start", "report crash.log", "bitmap loaders", "resource types",
                         "text Localization", "sound start", "PLAYER 0.25 0.5 1", "MUSIC 0.50 0.5 0",
                         "AMBIENT 0.50 0.5 0", "AMBIENT2 0.50 0.5 0", "SPEECH 0.75 0.5 2", "GUI 1.00 0.5 0",
                         "master 0.80 in 0.0", "text end", "silence", "crash end", "sound gone"}));
}

TEST_F(StartUpCalls, MissingLocalizationIsLoggedAndStartUpGoesOn) {
  testsupport::LogCapture log;
  Configure("<Config><Display Width=\"0\" Height=\"0\"/></Config>");
  Start();
  EXPECT_TRUE(log.contains("ERROR: Cannot initialize Textsystem"));
  for (const std::string& c : Calls()) EXPECT_EQ(c.rfind("text", 0), std::string::npos) << c;
  // No volume options: every channel at full volume, the master level left alone.
  EXPECT_NE(std::find(Calls().begin(), Calls().end(), "AMBIENT2 1.00 0.5 0"), Calls().end());
  for (const std::string& c : Calls()) EXPECT_EQ(c.rfind("master", 0), std::string::npos) << c;
  // A size of 0 takes the desktop's (the headless adapter's 1024 x 768).
  EXPECT_EQ(base::sys::GetWindowWidth(), 1024);
  EXPECT_EQ(base::sys::GetWindowHeight(), 768);
}

class Cursor : public ShellTest {};

TEST_F(Cursor, DrawnAtItsPositionAroundTheHotSpotFollowsThePointerAndHidesWithoutImage) {
  Configure(kSmallDisplay);
  Start();
  auto* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  gpu::Device* d = device->GetDevice();
  gpu::Texture* image = nullptr;
  ASSERT_EQ(d->CreateTexture(4, 4, 1, 0, gpu::fmt::A8R8G8B8, gpu::pool::Managed, &image), gpu::kOk);
  gpu::LockedRect locked;
  ASSERT_EQ(image->LockRect(0, &locked, nullptr, 0), gpu::kOk);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      static_cast<uint32_t*>(locked.bits)[y * locked.pitch / 4 + x] = 0xFFFF0000u;
  image->UnlockRect(0);

  auto frame = [&] {
    ASSERT_TRUE(device->BeginFrame());
    d->Clear(0, nullptr, gpu::clear::Target, 0xFF000000u, 1.0f, 0);
    device->EndFrame();
  };
  auto screen = [&](int x, int y) {
    std::vector<uint32_t> pixels;
    uint32_t w = 0, h = 0;
    d->ReadScreen(&pixels, &w, &h);
    return pixels[size_t(y) * w + x] & 0xFFFFFFu;
  };
  device->SetCursor(image, 1.0f, 1.0f);
  device->SetCursorPosition(10.0f, 20.0f);
  frame();
  EXPECT_EQ(screen(9, 19), 0xFF0000u);
  EXPECT_EQ(screen(12, 22), 0xFF0000u);
  EXPECT_EQ(screen(8, 19), 0u);
  EXPECT_EQ(screen(13, 22), 0u);
  // Like a hardware cursor it follows the pointer by itself: the mouse moved, the picture is there.
  win32dx9::GetPlatform()->GetInputQueue().MouseMotion(30, 10, 40, 30, 0);
  frame();
  EXPECT_EQ(screen(39, 29), 0xFF0000u);
  EXPECT_EQ(screen(10, 20), 0u);
  device->SetCursor(nullptr, 0, 0);
  frame();
  EXPECT_EQ(screen(10, 20), 0u);
  image->Release();
}

}  // namespace
}  // namespace shelltest
