// base::sys over the root module: window, mouse, keys, time, paths, quit handling and the fatal
// stop. Each function tolerates a missing system and then gives its neutral value.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/app/Device.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"

namespace base {

namespace sys {
namespace {

cl_System* System() { return cl_System::GetInstance(); }
const cl_System::st_FrameState& State() { return System()->GetFrameState(); }

void StderrPanic(const char* message) { std::fprintf(stderr, "Error: %s\n", message); }

void (*g_panicHandler)(const char*) = StderrPanic;
bool g_panicking = false;

}  // namespace

void DumpRecentLoggings() {}

void Panic(const char* message) {
  // A panic raised while the system shuts down for an earlier one must not shut down again.
  const bool first = !g_panicking;
  g_panicking = true;
  if (first) {
    if (cl_System* s = System()) s->ShutDown();
  }
  g_panicking = false;
  g_panicHandler(message ? message : "");
  std::fflush(nullptr);
  std::exit(-1);
}

void SetPanicHandler(void (*handler)(const char*)) { g_panicHandler = handler ? handler : StderrPanic; }

// ---- window

void SetWindowSize(int w, int h) {
  if (cl_System* s = System()) s->SetWindowSize(w, h);
}
int GetWindowWidth() { return System() ? State().windowWidth : -1; }
int GetWindowHeight() { return System() ? State().windowHeight : -1; }
bool IsFullscreen() { return System() && State().fullscreen; }

// ---- mouse and keys

int MouseX() { return System() ? State().mouseX : 0; }
int MouseY() { return System() ? State().mouseY : 0; }
bool MouseButton(int i) { return System() && i >= 0 && i < 3 && State().mouseButton[i]; }
float GetMouseRestingTime() { return System() ? State().mouseRestingTime : 0.0f; }

bool KeyState(int key) {
  cl_System* s = System();
  i_InputDevice* input = s ? s->GetInputDevice() : nullptr;
  return input && input->IsKeyDown(key);
}

int GetKeyboardType() { return 1; }

// ---- time

float Time() { return System() ? State().time : 0.0f; }
int GetFPS() { return System() ? State().fps : 0; }

// ---- paths

tString<BaseString> GetApplicationPath() {
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  if (ec) return tString<BaseString>();
  return tString<BaseString>(cwd.string().c_str());
}

void SetUserDataPath(const char* path) {
  if (System()) System()->SetUserDataPath(path);
}

tString<BaseString> GetUserDataPath() {
  return System() ? System()->GetUserDataPath() : GetApplicationPath();
}

// ---- quit

void SetCustomQuitModule(cl_Module* m) {
  if (cl_System* s = System()) s->SetCustomQuitModule(m);
}

bool CustomQuit() {
  cl_System* s = System();
  cl_Module* quit = s ? s->GetCustomQuitModule() : nullptr;
  if (!quit) return false;
  quit->Enable(!quit->IsActive());
  return true;
}

int GetLanguageType() { return 0; }

}  // namespace sys
}  // namespace base
