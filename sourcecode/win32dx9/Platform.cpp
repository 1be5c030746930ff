// The platform: window, start-up, shut-down and the frame loop.
#include "win32dx9/Platform.h"

#include <cstdio>

#include "base/app/Clock.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "dds/Log.h"
#include "platform/gpu/Log.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/DX9InputDevice.h"
#include "win32dx9/FrameLock.h"
#include "win32dx9/Services.h"

namespace win32dx9 {
namespace {

cl_Platform* g_Platform = nullptr;

void MessageBoxPanic(const char* message) {
  std::fprintf(stderr, "Error: %s\n", message);
  platform::input::ShowMessageBox("Error", message);
}

// The graphics layer and the texture library know nothing of the engine; while a platform runs
// their lines go to the engine's log like every other (their texts carry their own prefix).
void ToEngineLog(const char* text) { base::sys::Output("%s", text); }

}  // namespace

cl_Platform* CreatePlatform(gpu::Backend backend) { return new cl_Platform(backend); }

void LogLibrariesToEngine(bool on) {
  gpu::SetLogSink(on ? ToEngineLog : nullptr);
  dds::SetLogSink(on ? ToEngineLog : nullptr);
}
cl_Platform* GetPlatform() { return g_Platform; }
void* GetMainWindow() { return g_Platform ? g_Platform->GetMainWindow() : nullptr; }

cl_Platform::cl_Platform(gpu::Backend backend)
    : m_Backend(backend), m_Pump(std::make_unique<platform::input::MessagePump>(&m_Queue, false)) {
  if (SoundServices().Create) SoundServices().Create();
  gfx::InitFrameLock();
  g_Platform = this;
}

cl_Platform::~cl_Platform() {
  // The devices are the platform's here so that a process can make and end platforms in turn
  // (tests); the graphics device goes before the window it draws into.
  delete m_InputDevice;
  m_InputDevice = nullptr;
  delete m_GraphicsDevice;
  m_GraphicsDevice = nullptr;
  m_Pump.reset();
  m_Window.reset();
  if (SoundServices().Destroy) SoundServices().Destroy();
  gfx::DeleteFrameLock();
  if (g_Platform == this) g_Platform = nullptr;
}

bool cl_Platform::GetTime(float& acc, float& dt) const {
  acc = m_Step.GetTime();
  dt = m_Step.GetDt();
  return true;
}

// ---- Window

void cl_Platform::CreateMainWindow(const char* title, int x, int y, int width, int height) {
  int captioned = 0, refresh = 0;
  if (const base::Variant* display = base::sys::GetConfig().get_element("Display")) {
    display->get_attribute_int("Window", captioned);
    display->get_attribute_int("RefreshRate", refresh);
  }
  m_Window = platform::input::Window::Create(title, x, y, width, height, captioned != 0, base::sys::IsFullscreen());
  // The mode the options saved; the nearest one when the display has changed since.
  if (m_Window && base::sys::IsFullscreen()) m_Window->SetFullscreenMode(width, height, refresh);
  ResizeWindow(x, y, width, height);
}

void cl_Platform::ResizeWindow(int, int, int width, int height) {
  // SDL sizes windows by their client area already.
  if (m_Window) m_Window->SetClientSize(width, height);
}

void cl_Platform::WndProc(platform::input::Message message) {
  if (message != platform::input::Message::Close) return;
  // The game's quit confirmation takes the close request; without one the program ends (the
  // window is never left closed while the program runs on).
  if (!base::sys::CustomQuit() && m_System) m_System->SetQuit(true);
}

// ---- Start-up and shut-down

void cl_Platform::SetUpSoundChannels() {
  const st_SoundServices& sound = SoundServices();
  if (sound.StartUp) sound.StartUp();
  if (sound.AddChannel) {
    struct st_Channel {
      const char* name;
      const char* option;  // null: keeps the volume of the row before
      int priority;
    };
    static const st_Channel kChannels[] = {
        {"PLAYER", "Sfx/SfxVolume/Value", 1},     {"MUSIC", "Sfx/MusicVolume/Value", 0},
        {"AMBIENT", "Sfx/AmbientVolume/Value", 0}, {"AMBIENT2", nullptr, 0},
        {"SPEECH", "Sfx/SpeechVolume/Value", 2},
    };
    float volume = 1.0f;
    for (const st_Channel& c : kChannels) {
      if (c.option)
        if (const base::Variant* v = base::sys::GetOptionValue(c.option)) volume = v->get_float();
      sound.AddChannel(c.name, volume, 0.5f, c.priority);
    }
    sound.AddChannel("GUI", 1.0f, 0.5f, 0);
  }
  if (const base::Variant* master = base::sys::GetOptionValue("Sfx/MasterVolume/Value"))
    if (sound.FadeMasterVolume) sound.FadeMasterVolume(master->get_float(), 0.0f);
}

bool cl_Platform::StartUp() {
  LogLibrariesToEngine(true);
  const st_PlatformServices& services = PlatformServices();
  if (services.CrashHandlerStartUp) services.CrashHandlerStartUp();
  if (services.CrashHandlerSetReportFile) services.CrashHandlerSetReportFile("crash.log");

  int width = base::sys::GetWindowWidth();
  int height = base::sys::GetWindowHeight();
  if (width <= 0 || height <= 0) {
    width = 1024;  // the headless desktop
    height = 768;
    if (m_Backend == gpu::Backend::Window) platform::input::GetDesktopSize(&width, &height);
    base::sys::SetWindowSize(width, height);
  }

  if (m_Backend == gpu::Backend::Window) {
    m_Pump = std::make_unique<platform::input::MessagePump>(&m_Queue, true);
    const char* title = m_System ? m_System->GetName() : "";
    CreateMainWindow(*title ? title : "Quillane", 0, 0, width, height);
    if (!m_Window) {
      base::sys::Output("ERROR: the main window cannot be opened\n");
      return false;
    }
    m_Window->Show();
    base::sys::Output("Main window opened (%dx%d)\n", width, height);
    base::sys::SetPanicHandler(MessageBoxPanic);
  }

  if (m_Backend == gpu::Backend::Headless) base::sys::Output("Headless: no window, frames drawn into memory\n");
  m_GraphicsDevice = CreateGraphicsDevice(m_Backend, GetMainWindow());
  m_InputDevice = CreateInputDevice(&m_Queue);

  if (services.RegisterBitmapLoaders) services.RegisterBitmapLoaders();
  if (services.RegisterResourceTypes) services.RegisterResourceTypes(m_System ? m_System->GetResourceMgr() : nullptr);

  const base::Variant* localization = base::sys::GetConfig().get_element("Localization");
  if (!localization || (services.InitTextsystem && !services.InitTextsystem(*localization)))
    base::sys::Output("ERROR: Cannot initialize Textsystem\n");

  SetUpSoundChannels();
  return true;
}

bool cl_Platform::WriteScreenshot() {
  if (m_ScreenshotPath.empty()) return true;
  const std::string path = std::move(m_ScreenshotPath);
  m_ScreenshotPath.clear();
  cl_DX9GraphicsDevice* device = cl_DX9GraphicsDevice::GetInstance();
  if (device && m_Step.GetFramesRendered() > 0 && device->SaveScreenPng(path.c_str())) {
    base::sys::Output("Screen of the last frame written to %s\n", path.c_str());
    return true;
  }
  base::sys::Output("ERROR: cannot write the screen to %s\n", path.c_str());
  return false;
}

void cl_Platform::ShutDown() {
  WriteScreenshot();
  const st_PlatformServices& services = PlatformServices();
  if (services.CleanupTextsystem) services.CleanupTextsystem();
  if (SoundServices().FadeOutAll) SoundServices().FadeOutAll(0.0f);
  if (services.CrashHandlerShutDown) services.CrashHandlerShutDown();
  if (m_Backend == gpu::Backend::Window) base::sys::SetPanicHandler(nullptr);
  LogLibrariesToEngine(false);  // stderr again: the engine's log may end before these libraries
}

// ---- Frame loop

void cl_Platform::Run() {
  if (!m_System) return;
  m_Step.Start();
  if (m_System->GetQuit()) return;
  do {
    m_Step.CallFrameHook();

    if (m_Pump->Peek()) {
      const platform::input::Message message = m_Pump->Get();
      if (message == platform::input::Message::Quit) return;
      WndProc(message);
      m_Pump->Peek();
    }

    m_Step.Run(*m_System, m_InputDevice, m_GraphicsDevice);
    if (SoundServices().Update) SoundServices().Update(m_Step.GetDt());
    base::sys::Sleep(1);
  } while (!m_System->GetQuit());
}

}  // namespace win32dx9
