// The entry routine, step by step.
#include "quillane/app/EntryRoutine.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "base/FileTools.h"
#include "base/app/Clock.h"
#include "base/app/SystemRoot.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/video/VideoPlayer.h"
#include "KRX/ScriptSystem.h"
#include "libkrx/AID/AIDNetwork.h"
#include "platform/os/UserFolders.h"
#include "quillane/app/PlayDriver.h"
#include "quillane/app/SplashScreen.h"
#include "quillane/app/StepClock.h"
#include "quillane/editor/Editor.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/frame/GameSysInfoProvider.h"
#include "quillane/hud/Subtitles.h"
#include "quillane/settings/OptionValues.h"
#include "quillane/settings/TweakSettings.h"
#include "sound/FModSoundSystem.h"
#include "sound/Sfx.h"
#include "win32dx9/Platform.h"
#include "win32dx9/SysInfoProvider.h"

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int) { g_stopRequested = 1; }

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

std::string UserFolderOf(const st_StartOptions& options) {
  if (!options.userDir.empty()) return options.userDir;
  const std::string documents = platform::os::DocumentsFolder();
  return documents.empty() ? std::string() : documents + "/Quillane";
}

// The user folder with "Savegames" and "Screenshots"; false when there is none or it cannot be
// made, with problem saying why. A sub-folder that cannot be made leaves the folder the user's
// all the same (its config.xml is still read, and a save says why it fails): problem then names
// it and the cause.
bool MakeUserFolders(const std::string& folder, std::string* problem) {
  if (folder.empty()) {
    // Only a missing home leaves no folder to name.
    *problem = "neither QUILLANE_USER_DIR, XDG_DOCUMENTS_DIR nor HOME is set";
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder)) {
    *problem = folder + ": " + (ec ? ec.message() : "not a folder");
    return false;
  }
  for (const char* sub : {"/Savegames", "/Screenshots"}) {
    std::filesystem::create_directories(folder + sub, ec);
    if (!std::filesystem::is_directory(folder + sub) && problem->empty())
      *problem = folder + sub + ": " + (ec ? ec.message() : "not a folder");
  }
  return true;
}

// The mix of a fixed-step run, appended frame by frame to the file of QUILLANE_MIX_FILE.
struct st_MixRecord {
  std::string path;
  std::FILE* file = nullptr;
  uint64_t frames = 0;
  bool failed = false;  // a write failed: the run ends with exit code 1
};

// Logs why the mix file is not written and closes it.
void MixRecordFailed(st_MixRecord& record, int error) {
  base::sys::Output("ERROR: mix file '%s' not written: %s\n", record.path.c_str(), std::strerror(error));
  if (record.file) std::fclose(record.file);
  record.file = nullptr;
  record.failed = true;
}

// One fixed-step frame of the mix: mixed, and written to the record when the run keeps one. False
// when the write failed (a full disk, a pipe whose reader went away): the recording is cut.
bool PullFrameOfSound(sfx::cl_FModSoundSystem& sound, st_MixRecord& record) {
  if (!sound.IsInitialised()) return true;
  const uint32_t frames = sound.GetMixRate() * cl_StepClock::kFrameMs / 1000;
  static std::vector<int16_t> block;
  block.resize(static_cast<size_t>(frames) * 2);  // stereo
  sound.GetLibrary().Mix(block.data(), frames);
  if (!record.file) return true;
  errno = 0;
  // Flushed every frame, so a failure is seen at the frame it cuts, not only at the close.
  if (std::fwrite(block.data(), 4, frames, record.file) != frames || std::fflush(record.file) != 0) {
    MixRecordFailed(record, errno ? errno : EIO);
    return false;
  }
  record.frames += frames;
  return true;
}

bool UseHeadless(const st_StartOptions& options) {
  if (options.display != st_StartOptions::en_Display::Auto)
    return options.display == st_StartOptions::en_Display::Headless;
  return !Env("DISPLAY") && !Env("WAYLAND_DISPLAY");
}

// Connects the script debugger and sends it every log line.
void ConnectDebugger(const st_StartOptions& options) {
  AID::AIDNetwork* link = AID::CreateNetwork();
  if (options.debuggerPort != 0) {
    AID::LinkOptions linkOptions;
    linkOptions.port = options.debuggerPort;
    link->SetOptions(linkOptions);
  }
  const std::string cwd = base::sys::GetApplicationPath().c_str();
  if (AID::ConnectDebugger("Quillane", 42.0f, cwd.c_str(), 0)) base::sys::AddOutputCallback(AID::SendLog);
}

}  // namespace

st_StartOptions StartOptionsFromEnvironment() {
  st_StartOptions options;
  if (const char* dir = Env("QUILLANE_USER_DIR")) options.userDir = dir;
  if (const char* headless = Env("QUILLANE_HEADLESS")) {
    if (std::strcmp(headless, "1") == 0) options.display = st_StartOptions::en_Display::Headless;
    else std::fprintf(stderr, "Warning: QUILLANE_HEADLESS='%s' is not 1; ignored\n", headless);
  }
  if (const char* frames = Env("QUILLANE_FRAMES")) {
    char* end = nullptr;
    const long n = std::strtol(frames, &end, 10);
    if (*end != 0 || n <= 0 || n > 1000000000L) std::fprintf(stderr, "Warning: QUILLANE_FRAMES='%s' is not a positive frame count; ignored\n", frames);
    else options.frameLimit = static_cast<int>(n);
  }
  if (const char* shot = Env("QUILLANE_SCREENSHOT")) options.screenshot = shot;
  if (const char* play = Env("QUILLANE_INPUT")) {
    options.playFile = play;
    options.fixedStep = true;
  }
  if (const char* mix = Env("QUILLANE_MIX_FILE")) {
    if (options.fixedStep)
      options.mixFile = mix;
    else
      std::fprintf(stderr, "Warning: QUILLANE_MIX_FILE='%s' records only a run of QUILLANE_INPUT; ignored\n", mix);
  }
  return options;
}

int RunGame(const st_StartOptions& options) {
  // One copy at a time: the lock lives in the user folder, which is made first for it.
  const std::string userFolder = UserFolderOf(options);
  std::string folderProblem;
  const bool haveUserFolder = MakeUserFolders(userFolder, &folderProblem);
  platform::os::InstanceLock instance;
  std::string lockError;
  const bool heldElsewhere =
      haveUserFolder &&
      instance.Acquire(userFolder + "/Quillane.lock", &lockError) == platform::os::InstanceLock::Result::HeldElsewhere;
  if (heldElsewhere) {
    // Started again from a terminal, the player learns why no window came.
    base::sys::Output("Quillane already runs with the user folder %s; this copy ends\n", userFolder.c_str());
    return 0;
  }
  base::sys::Output("Quillane starting\n");
  if (!lockError.empty()) base::sys::Output("Warning: no single-instance lock in %s: %s\n", userFolder.c_str(), lockError.c_str());

  // Scripted runs: the driver's file and the fixed-step clock.
  std::unique_ptr<cl_PlayDriver> ownDriver;
  cl_PlayDriver* driver = options.driver;
  if (!driver && !options.playFile.empty()) {
    std::vector<st_PlayStep> steps;
    std::string error;
    if (!LoadPlayScript(options.playFile.c_str(), steps, &error)) {
      base::sys::Output("ERROR: %s\n", error.c_str());
      return 1;
    }
    const std::string golden = (std::filesystem::path(options.playFile).parent_path() / "golden").string();
    ownDriver = std::make_unique<cl_PlayDriver>(std::move(steps), golden);
    driver = ownDriver.get();
  }
  st_MixRecord mixRecord;
  if (options.fixedStep && !options.mixFile.empty()) {
    mixRecord.path = options.mixFile;
    // A pipe whose reader goes away is then a write error with its cause, not a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    mixRecord.file = std::fopen(mixRecord.path.c_str(), "wb");
    if (!mixRecord.file) {
      MixRecordFailed(mixRecord, errno);
      return 1;
    }
  }
  std::unique_ptr<cl_StepClock> clock;
  if (options.fixedStep) {
    clock = std::make_unique<cl_StepClock>();
    base::sys::SetClock(clock.get());
  }

  int result = 0;
  {
    base::cl_System system;
    if (haveUserFolder) {
      base::sys::SetUserDataPath(userFolder.c_str());
      if (!folderProblem.empty()) base::sys::Output("Warning: user folder: %s\n", folderProblem.c_str());
    } else {
      base::sys::Output("Warning: no user folder (%s); using the working folder\n", folderProblem.c_str());
    }
    base::sys::Output("User data path: %s\n", base::sys::GetUserDataPath().c_str());

    // The start-up configuration gives the language and the tweak settings.
    base::Variant startup, defaults;
    base::sys::LoadConfig(defaults, "default_config.xml");
    base::tString<base::BaseString> language("ABC");
    if (base::sys::LoadConfig(startup, "config.xml")) {
      quillane::ReplacePathLanguage(startup, defaults, "config.xml");
      if (const char* l = base::get_string(base::variant_get_attribute_by_path(startup, "Localization/Language", false)))
        language = l;
      if (const base::Variant* tweakables = startup.get_element("Tweakables")) ReadTweakSettings(*tweakables);
    } else {
      base::sys::Output("Warning: no readable config.xml in %s or %s; running with the built-in defaults\n",
                        base::sys::GetUserDataPath().c_str(), base::sys::GetApplicationPath().c_str());
    }
    base::sys::Output("Language: %s\n", language.c_str());

    const bool headless = UseHeadless(options);
    cl_SplashScreen splash;
    splash.Start("Quillane",
                 (std::string(base::sys::GetApplicationPath().c_str()) + "/loca/" + language.c_str() + "/splash_screen.bmp").c_str(),
                 !headless);
    // The system keeps the tree read above, its language already checked: the file is read (and
    // told of in the log) once.
    system.GetConfigTree() = startup;
    if (base::Variant* loaded = base::sys::GetOptions())
      quillane::ReplaceNonFiniteOptions(*loaded, defaults.get_element("Options"), "config.xml");
    quillane::ReplaceNonFiniteDisplay(system.GetConfigTree(), &defaults, "config.xml");
    splash.Refresh();

    if (headless && options.display == st_StartOptions::en_Display::Auto) base::sys::Output("No display; running headless\n");
    sfx::RegisterSoundSystem();  // the platform's constructor makes the sound system
    win32dx9::cl_Platform* platform = win32dx9::CreatePlatform(headless ? gpu::Backend::Headless : gpu::Backend::Window);
    if (!options.screenshot.empty()) platform->SetScreenshotPath(options.screenshot.c_str());
    platform->SetFrameLimit(options.frameLimit);
    if (options.frameLimit > 0) base::sys::Output("Quitting after %d frames\n", options.frameLimit);
    g_stopRequested = 0;
    if (options.handleSignals) {
      std::signal(SIGINT, OnStopSignal);
      std::signal(SIGTERM, OnStopSignal);
    }
    // Scripted runs play to no sound card: each frame mixes its 0.1 s, its streams decoded for
    // it first, so sound positions (the dance's song clock) follow the fixed clock and the mix
    // holds the same samples however busy the machine is.
    sfx::cl_FModSoundSystem* pulled = options.fixedStep ? sfx::GetSoundSystem() : nullptr;
    if (pulled && !pulled->SetOutput(platform::audio::Output::Stepped)) pulled = nullptr;
    if (!pulled && mixRecord.file)
      base::sys::Output("ERROR: no sound system: no mix is written to %s\n", mixRecord.path.c_str());
    platform->SetFrameHook([&system, platform, driver, clockPtr = clock.get(), pulled, &mixRecord](int) {
      if (g_stopRequested) system.SetQuit(true);
      if (clockPtr) clockPtr->NextFrame();
      if (pulled && !PullFrameOfSound(*pulled, mixRecord)) system.SetQuit(true);
      if (driver) driver->OnFrame(*platform, system);
    });
    system.RegisterPlatform(platform);
    gfx::RegisterGraphics();  // before start-up: the device makes the recorders then
    win32dx9::RegisterSysInfoProvider();
    system.SetName("Quillane");
    splash.Refresh();

    quillane::InstallEditorServices();  // before the frame: QuickLaunch "editor" starts in it
    system.AddModule(cl_GameFrame::Create());
    system.AddModule(new gfx::cl_VideoPlayer);
    system.AddModule(new cl_SubtitleCtrl);  // after the player: it reads the frame's video time
    if (Debug_ConnectAID) ConnectDebugger(options);
    {
      cl_GameSysInfoProvider provider;
      provider.Provide();
    }
    splash.Refresh();

    if (system.StartUp()) {
      splash.Close();
      base::sys::Output("Display %dx%d%s\n", base::sys::GetWindowWidth(), base::sys::GetWindowHeight(),
                        base::sys::IsFullscreen() ? " fullscreen" : "");
      win32dx9::ProvideDeviceInfo();  // memory figures and the driver's strings into the log
      base::sys::Output("Initializing resource table...\n");
      base::sys::AddResources("resources.xml");
      gfx::SetFont(gfx::FontExists("system"));
      base::sys::Output("Running application...\n");
      system.Run();
      base::sys::Output("Frame loop ended after %d frames\n", platform->GetFramesRendered());
    } else {
      base::sys::Output("ERROR: the platform failed to start\n");
      result = 1;
    }
    if (driver) {
      driver->OnEnd();
      if (driver->Failed()) result = 1;  // a failed step fails the run
    }
    // A screenshot asked for and not written fails the run, as a failed step does.
    if (!platform->WriteScreenshot()) result = 1;
    instance.Release();
    system.ShutDown();
    // The scripts of the last game go before the debugger link they may be registered with.
    KRX::ScriptSystem::Shutdown();
    if (Debug_ConnectAID) {
      base::sys::RemoveOutputCallback(AID::SendLog);
      AID::DestroyNetwork();
    }
  }
  if (clock) base::sys::SetClock(nullptr);
  if (mixRecord.file) {
    errno = 0;
    if (std::fclose(mixRecord.file) != 0) {
      mixRecord.file = nullptr;
      MixRecordFailed(mixRecord, errno ? errno : EIO);
    } else {
      base::sys::Output("Mix of %llu frames written to %s\n", static_cast<unsigned long long>(mixRecord.frames),
                        mixRecord.path.c_str());
    }
  }
  if (mixRecord.failed) result = 1;
  base::sys::Output("Quillane finished\n");
  return result;
}
