// The program's entry routine: builds the root module, reads the configuration, picks the
// platform, starts up, runs the frame loop and shuts down. The command line is not read; four
// environment variables serve tests and machines without a display (see the README):
// QUILLANE_HEADLESS=1, QUILLANE_FRAMES=N, QUILLANE_USER_DIR=PATH and QUILLANE_SCREENSHOT=FILE.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/Memory.h"
#include "base/app/SystemRoot.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/video/VideoPlayer.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/showcase/StartupShowcase.h"
#include "sound/Sfx.h"
#include "win32dx9/ExceptionHandler.h"
#include "win32dx9/Platform.h"
#include "win32dx9/SysInfoProvider.h"

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int) { g_stopRequested = 1; }

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

// The user folder with its "Savegames" and "Screenshots"; empty when it cannot be made, and the
// program then keeps the working folder as the user data path.
std::string MakeUserFolder() {
  std::string folder;
  if (const char* dir = Env("QUILLANE_USER_DIR")) {
    folder = dir;
  } else if (const char* docs = Env("XDG_DOCUMENTS_DIR")) {
    folder = std::string(docs) + "/Quillane";
  } else if (const char* home = Env("HOME")) {
    folder = std::string(home) + "/Documents/Quillane";
  } else {
    return std::string();
  }
  std::error_code ec;
  for (const char* sub : {"", "/Savegames", "/Screenshots"}) {
    std::filesystem::create_directories(folder + sub, ec);
    if (ec) {
      base::sys::Output("WARNING: cannot create the user folder %s%s (%s); using the working folder\n",
                        folder.c_str(), sub, ec.message().c_str());
      return std::string();
    }
  }
  return folder;
}

// QUILLANE_FRAMES as a positive count; 0 when unset or not a positive number (logged).
int FrameLimit() {
  const char* text = Env("QUILLANE_FRAMES");
  if (!text) return 0;
  char* end = nullptr;
  const long n = std::strtol(text, &end, 10);
  if (*end != 0 || n <= 0 || n > 1000000000L) {
    base::sys::Output("WARNING: QUILLANE_FRAMES='%s' is not a positive frame count; ignored\n", text);
    return 0;
  }
  return static_cast<int>(n);
}

// The log's debugger output adds a line end after every line, and the lines carry their own: on
// a console the second one would leave an empty line after each.
bool g_atLineStart = true;
void ConsoleOutput(const char* text) {
  if (text[0] == '\n' && text[1] == 0 && g_atLineStart) return;
  std::fputs(text, stderr);
  const size_t n = std::strlen(text);
  g_atLineStart = n > 0 && text[n - 1] == '\n';
}

bool DisplayAvailable() { return Env("DISPLAY") || Env("WAYLAND_DISPLAY"); }

}  // namespace

int main() {
  InitMemLog();  // the small-block pool serves everything from here on
  win32dx9::RegisterExceptionHandler();  // before anything can fail; the platform names the report
  base::RegisterMeshResourceType();  // read by the resource manager that start-up creates
  base::sys::SetDebuggerOutput(ConsoleOutput);
  base::sys::Output("Quillane starting\n");
  int result = 0;
  {
    base::cl_System system;
    const std::string userFolder = MakeUserFolder();
    if (!userFolder.empty()) base::sys::SetUserDataPath(userFolder.c_str());
    base::sys::Output("User data path: %s\n", base::sys::GetUserDataPath().c_str());

    // The start-up configuration gives the language and the tweak settings.
    base::Variant startup;
    const char* language = "ABC";
    if (base::sys::LoadConfig(startup, "config.xml")) {
      if (const char* l = base::get_string(base::variant_get_attribute_by_path(startup, "Localization/Language", false)))
        language = l;
      if (const base::Variant* tweakables = startup.get_element("Tweakables")) ReadTweakSettings(*tweakables);
    } else {
      base::sys::Output("WARNING: no readable config.xml in %s or %s; running with the built-in defaults\n",
                        base::sys::GetUserDataPath().c_str(), base::sys::GetApplicationPath().c_str());
    }
    base::sys::Output("Language: %s\n", language);
    system.LoadConfig("Config.xml");

    const char* headless = Env("QUILLANE_HEADLESS");
    if (headless && std::string(headless) != "1")
      base::sys::Output("WARNING: QUILLANE_HEADLESS='%s' is not 1; ignored\n", headless);
    gpu::Backend backend = gpu::Backend::Window;
    if (headless && std::string(headless) == "1") {
      backend = gpu::Backend::Headless;
    } else if (!DisplayAvailable()) {
      base::sys::Output("No display; running headless\n");
      backend = gpu::Backend::Headless;
    }
    sfx::RegisterSoundSystem();  // the platform's constructor makes the sound system
    win32dx9::cl_Platform* platform = win32dx9::CreatePlatform(backend);
    if (const char* screenshot = Env("QUILLANE_SCREENSHOT")) platform->SetScreenshotPath(screenshot);
    const int frames = FrameLimit();
    platform->SetFrameLimit(frames);
    if (frames > 0) base::sys::Output("Quitting after %d frames\n", frames);
    // Ctrl-C or a termination request ends the frame loop at the next frame, so shut-down runs.
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    platform->SetFrameHook([&system](int) {
      if (g_stopRequested) system.SetQuit(true);
    });
    system.RegisterPlatform(platform);
    gfx::RegisterGraphics();  // before start-up: the device makes the recorders then
    win32dx9::RegisterSysInfoProvider();

    // Every frame starts from the start-up picture (a cleared screen at least). The top modules
    // (game frame, video player, subtitles) are added after it as they arrive.
    system.AddModule(new cl_StartupShowcase(0xFF1E3250u));
    system.AddModule(new gfx::cl_VideoPlayer);

    if (system.StartUp()) {
      base::sys::Output("Display %dx%d%s\n", base::sys::GetWindowWidth(), base::sys::GetWindowHeight(),
                        base::sys::IsFullscreen() ? " fullscreen" : "");
      win32dx9::ProvideDeviceInfo();  // memory figures and the driver's strings into the log
      if (base::sys::AddResources("resources.xml")) base::sys::Output("Resources loaded from resources.xml\n");
      gfx::SetFont(gfx::FontExists("system"));
      base::tString<base::BaseUnicodeString> title;
      base::sys::Localize("#quill0_1 Quillane", title);
      base::sys::Output("Title: %s\n", base::str::convert_unicode_to_string(title).c_str());
      system.Run();
      base::sys::Output("Frame loop ended after %d frames\n", platform->GetFramesRendered());
    } else {
      base::sys::Output("ERROR: the platform failed to start\n");
      result = 1;
    }
    system.ShutDown();
  }
  base::sys::Output("Quillane finished\n");
  return result;
}
