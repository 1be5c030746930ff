#include "sound/Sfx.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>
#include <string>

#include "base/data/Binary.h"
#include "base/system.h"
#include "sound/FModSoundSystem.h"
#include "sound/PlaylistCtrl.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"

namespace sfx {
namespace {

constexpr int kAllKinds = 4;

// The platform's entries; the sound system is made by the platform and lives until it goes.
void CreateSystem() {
  if (!GetSoundSystem()) new cl_FModSoundSystem();
}

void DestroySystem() { delete GetSoundSystem(); }

void AddChannelEntry(const char* name, float volume, float pan, int priority) {
  st_ChannelParams params;
  params.volume = volume;
  params.pan = pan;
  params.priority = priority;
  AddChannel(name, params);
}

// Whether the archive's lack of fileName is news: told once, not at every play of the file (a
// footstep plays several times a second), and again only after the archive gave it once.
bool FirstArchiveMiss(const char* fileName, bool missed) {
  static std::mutex lock;
  static std::set<std::string> told;
  std::lock_guard<std::mutex> hold(lock);
  if (!missed) {
    if (!told.empty()) told.erase(fileName);
    return false;
  }
  return told.insert(fileName).second;
}

// Calls into the sound system, or gives the fallback when none lives (a tool or test without a
// platform), instead of following a null pointer.
template <typename R, typename F>
R Forward(R fallback, F&& call) {
  cl_FModSoundSystem* system = GetSoundSystem();
  return system ? call(*system) : fallback;
}

template <typename F>
void Forward(F&& call) {
  if (cl_FModSoundSystem* system = GetSoundSystem()) call(*system);
}

bool FromArchive(int kind, const char* fileName) {
  if (kind == PLAY_STREAM || !fileName) return false;
  std::string lower = fileName;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower.find("sfx/") != std::string::npos;
}

}  // namespace

void RegisterSoundSystem() {
  win32dx9::st_SoundServices& services = win32dx9::SoundServices();
  services.Create = CreateSystem;
  services.Destroy = DestroySystem;
  services.StartUp = StartUp;
  services.AddChannel = AddChannelEntry;
  services.FadeMasterVolume = FadeMasterVolume;
  services.FadeOutAll = FadeOutAll;
  services.Update = Update;
  services.SetActive = SetActive;
}

bool StartUp() {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.Init(win32dx9::GetMainWindow(), 44100, 32, 0.1f); });
}
void FadeOutAll(float fadeTime) { Forward([&](cl_FModSoundSystem& s) { s.FadeOutAll(fadeTime); }); }
void Update(float dt) { Forward([&](cl_FModSoundSystem& s) { s.Update(dt); }); }
void FadeMasterVolume(float level, float time) {
  Forward([&](cl_FModSoundSystem& s) { s.FadeMasterVolume(level, time); });
}
void SetActive(bool active) { Forward([&](cl_FModSoundSystem& s) { s.SetActive(active); }); }

float PlaySound(int kind, const char* fileName, const char* soundName, const char* channelName,
                const st_PlayParams& params) {
  cl_FModSoundSystem* system = GetSoundSystem();
  if (!system) return -1.0f;
  if (FromArchive(kind, fileName)) {
    base::Binary bytes;
    const bool read = base::sys::GetFileFromArchive("Sfx", fileName, bytes, false);
    if (FirstArchiveMiss(fileName, !read)) base::sys::Output("\nERROR! Could not read Sfx out of Sfx.dat");
    if (read) return system->PlaySampleFromMemory(PLAY_SAMPLE_MEMORY, &bytes, soundName, channelName, &params);
  }
  return system->PlaySample(kind, fileName, soundName, channelName, &params, 0);
}

float PlaySoundData(int, const base::Binary& bytes, const char* soundName, const char* channelName,
                    const st_PlayParams& params) {
  return Forward(-1.0f, [&](cl_FModSoundSystem& s) {
    return s.PlaySampleFromMemory(PLAY_SAMPLE_MEMORY, &bytes, soundName, channelName, &params);
  });
}

bool PauseSound(const char* soundName, bool pause, float fadeTime) {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.PauseSound(soundName, pause, fadeTime); });
}
bool StopSound(const char* soundName, float fadeTime) {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.StopSound(soundName, fadeTime); });
}
bool FadeSoundVolume(const char* soundName, float volume, float time) {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.FadeSoundVolume(soundName, volume, time); });
}
bool SetSoundPan(const char* soundName, float pan, float time) {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.SetSoundPan(soundName, pan, time); });
}
st_PlayParams GetSoundParams(const char* soundName) {
  return Forward(st_PlayParams(), [&](cl_FModSoundSystem& s) { return s.GetSoundParams(soundName); });
}
float GetSoundPosition(const char* soundName) {
  return Forward(-1.0f, [&](cl_FModSoundSystem& s) { return s.GetPlayPosition(soundName); });
}
float GetSoundLength(const char* soundName) {
  return Forward(-1.0f, [&](cl_FModSoundSystem& s) { return s.GetSampleLength(soundName); });
}
bool IsSoundPlaying(const char* soundName) {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.IsPlaying(soundName); });
}

bool AddChannel(const char* channelName, const st_ChannelParams& params) {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.AddChannel(channelName, &params); });
}
bool PauseChannel(const char* channelName, bool pause, float fadeTime) {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.PauseChannel(channelName, pause, fadeTime); });
}
bool StopChannel(const char* channelName, float fadeTime) {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.StopChannel(channelName, fadeTime); });
}
bool StopAll(float fadeTime) {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.StopAll(fadeTime); });
}
bool FadeChannelVolume(const char* channelName, float volume, float time) {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.FadeChannelVolume(channelName, volume, time); });
}
bool SetChannelPan(const char* channelName, float pan, float time) {
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.SetChannelPan(channelName, pan, time); });
}

bool SetListener(float px, float py, float pz, float fx, float fy, float fz, float ux, float uy, float uz) {
  const float position[3] = {px, py, -pz}, forward[3] = {fx, fy, -fz}, up[3] = {ux, uy, -uz};
  return Forward(false, [&](cl_FModSoundSystem& s) { return s.SetListener(position, forward, up); });
}
void AddFx(uint32_t type, const float* params) { Forward([&](cl_FModSoundSystem& s) { s.AddFx(type, params); }); }
void RemoveFx(uint32_t type) { Forward([&](cl_FModSoundSystem& s) { s.RemoveFx(type); }); }
void RemoveAllFx() { Forward([&](cl_FModSoundSystem& s) { s.RemoveAllFx(); }); }

// ---- Playlists

bool AddStreamToPlaylist(int kind, const char* fileName, const char* playlistName, float volume) {
  cl_PlaylistCtrl* ctrl = GetPlaylistCtrl();
  if (!fileName || !playlistName || !ctrl) return false;
  cl_Playlist* playlist = ctrl->GetPlaylist(playlistName, kind, true);
  if (!playlist) return false;
  playlist->AddEntry(fileName, volume);
  return true;
}

void RemoveStreamFromPlaylist(int kind, const char* fileName, const char* playlistName) {
  cl_PlaylistCtrl* ctrl = GetPlaylistCtrl();
  if (!ctrl) return;
  if (cl_Playlist* playlist = ctrl->GetPlaylist(playlistName, kind, false)) playlist->RemoveEntries(fileName);
}

bool SetStreamPlaylistTimes(int kind, float shortestGap, float longestGap, const char* playlistName) {
  cl_PlaylistCtrl* ctrl = GetPlaylistCtrl();
  if (!ctrl) return false;
  cl_Playlist* playlist = ctrl->GetPlaylist(playlistName, kind, true);
  if (!playlist) return false;
  playlist->SetGaps(shortestGap, longestGap);
  return true;
}

void ClearStreamPlaylist(int kind, const char* playlistName, bool stopSound, float fadeTime) {
  if (cl_PlaylistCtrl* ctrl = GetPlaylistCtrl()) ctrl->ClearPlaylists(playlistName, kind, stopSound, fadeTime);
}

void ClearAllPlaylists(bool stopSound, float fadeTime) {
  if (cl_PlaylistCtrl* ctrl = GetPlaylistCtrl()) ctrl->ClearPlaylists(nullptr, kAllKinds, stopSound, fadeTime);
}

void SetPlaylistVolume(int, float) { ClearAllPlaylists(false, 0.0f); }

void SetMasterVolume(float level) { FadeMasterVolume(level, 0.0f); }

}  // namespace sfx
