// The free sfx functions through which the rest of the program reaches sound: each forwards to
// the one sound system (or the playlist controller). Only PlaySound decides something itself:
// names containing "sfx/" are read from the "Sfx" archive. Times in seconds, levels 0..1.
// Without a sound system they do nothing and give false, -1.0 or the defaults.
#pragma once

#include <cstdint>

#include "sound/SoundTypes.h"

namespace base {
class Binary;
}

namespace sfx {

// Fills the platform's sound services (the platform's constructor then makes the sound system).
// The program calls it before it creates the platform.
void RegisterSoundSystem();

bool StartUp();  // 44100 Hz, 32 voices, distance factor 0.1
void FadeOutAll(float fadeTime);
void Update(float dt);
void FadeMasterVolume(float level, float time);
void SetActive(bool active);

// Plays a sound; its length (seconds for samples, milliseconds for streams), -1.0 on failure.
// Kinds 0, 1 and 3 with "sfx/" in the (lower-cased) name come from the "Sfx" archive as a
// two-dimensional sample; streams always from disk.
float PlaySound(int kind, const char* fileName, const char* soundName, const char* channelName,
                const st_PlayParams& params);
float PlaySoundData(int kind, const base::Binary& bytes, const char* soundName, const char* channelName,
                    const st_PlayParams& params);  // always played as kind 1
bool PauseSound(const char* soundName, bool pause, float fadeTime);
bool StopSound(const char* soundName, float fadeTime);
bool FadeSoundVolume(const char* soundName, float volume, float time);
bool SetSoundPan(const char* soundName, float pan, float time);
st_PlayParams GetSoundParams(const char* soundName);
float GetSoundPosition(const char* soundName);
float GetSoundLength(const char* soundName);
bool IsSoundPlaying(const char* soundName);

bool AddChannel(const char* channelName, const st_ChannelParams& params);
bool PauseChannel(const char* channelName, bool pause, float fadeTime);
bool StopChannel(const char* channelName, float fadeTime);
bool StopAll(float fadeTime);
bool FadeChannelVolume(const char* channelName, float volume, float time);
bool SetChannelPan(const char* channelName, float pan, float time);

// The listener in the game's right-handed frame; each z is negated for the library.
bool SetListener(float px, float py, float pz, float fx, float fy, float fz, float ux, float uy, float uz);
void AddFx(uint32_t type, const float* params);  // 12 floats
void RemoveFx(uint32_t type);
void RemoveAllFx();

// ---- playlists: nothing (or false) without a playlist controller
bool AddStreamToPlaylist(int kind, const char* fileName, const char* playlistName, float volume);
void RemoveStreamFromPlaylist(int kind, const char* fileName, const char* playlistName);
bool SetStreamPlaylistTimes(int kind, float shortestGap, float longestGap, const char* playlistName);
void ClearStreamPlaylist(int kind, const char* playlistName, bool stopSound, float fadeTime);
void ClearAllPlaylists(bool stopSound, float fadeTime);
// What the game calls when it stops all game sound: the playlists are cleared (no entry starts
// after the one playing), whatever the arguments; their sounds fade with their channels.
void SetPlaylistVolume(int kind, float volume);
// The master level at once (the editor's mute).
void SetMasterVolume(float level);

}  // namespace sfx
