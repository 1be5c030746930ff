// Calls the platform makes into subsystems that sit above it (graphic resource types, the
// drawing helpers, the dynamic vertex recorders, the skinning effect, the sound system, the
// text system, the crash handler, the system-information provider). Those libraries link to
// this one, not the other way round, so each fills its entries here when it starts (typically
// from a registration function the program calls before cl_System::StartUp). An empty entry is
// skipped, so the shell runs before any of them exists. Main thread only.
#pragma once

namespace base {
class Variant;
class i_ResourceMgr;
}  // namespace base

namespace base::sys {
bool InitTextsystem(const Variant& config);
void CleanupTextsystem();
}  // namespace base::sys

namespace gpu {
class System;
}

namespace sysinfo {
class cl_SysInfo;
}

namespace win32dx9 {

// Platform start-up and shut-down, in the order the platform calls them.
struct st_PlatformServices {
  bool (*CrashHandlerStartUp)() = nullptr;                // then SetReportFile("crash.log")
  void (*CrashHandlerSetReportFile)(const char* name) = nullptr;
  bool (*CrashHandlerShutDown)() = nullptr;
  void (*RegisterBitmapLoaders)() = nullptr;              // "bmp", "tga", "dds"
  void (*RegisterResourceTypes)(base::i_ResourceMgr* manager) = nullptr;  // manager may be null
  // The text system lives below the platform, so these start out filled.
  bool (*InitTextsystem)(const base::Variant& localization) = base::sys::InitTextsystem;
  void (*CleanupTextsystem)() = base::sys::CleanupTextsystem;
};

// The sound system: made with the platform, started by its start-up, fed every frame.
struct st_SoundServices {
  void (*Create)() = nullptr;   // the platform's constructor
  void (*Destroy)() = nullptr;  // the platform's destructor
  bool (*StartUp)() = nullptr;
  void (*AddChannel)(const char* name, float volume, float pan, int priority) = nullptr;
  void (*FadeMasterVolume)(float level, float seconds) = nullptr;
  void (*FadeOutAll)(float seconds) = nullptr;
  void (*Update)(float dt) = nullptr;
  void (*SetActive)(bool active) = nullptr;  // false mutes (keeping the level) while the device is lost
};

// What the graphics device calls around frames and resets.
struct st_GraphicsServices {
  void (*CreateRecorders)() = nullptr;
  void (*DestroyRecorders)() = nullptr;
  void (*ResetRecorders)() = nullptr;     // at the start of every drawn frame
  void (*ReleaseSkinShader)() = nullptr;  // the skinning effect, before a reset
  // Selects the back buffer as render target at frame start; empty: the device does it itself.
  void (*SelectBackBuffer)() = nullptr;
  void (*SetGamma)(float gamma) = nullptr;  // the "Gfx/Gamma/Value" option at start-up
  // Fills the system-information record once at device start-up (the desktop mode and the
  // adapter's modes at least); empty: the device lists the adapter's modes itself.
  void (*ProvideSystemInfo)(gpu::System& adapter, sysinfo::cl_SysInfo& info) = nullptr;
};

st_PlatformServices& PlatformServices();
st_SoundServices& SoundServices();
st_GraphicsServices& GraphicsServices();

}  // namespace win32dx9
