// The sound script functions: read the arguments in order (which fixes the order of their
// reports), make the one facade call, hand its result back.
#include "quillane/script/SoundScript.h"

#include "KRX/ScriptSystem.h"
#include "KRX/runtime/function_adapter.h"
#include "quillane/script/ScriptHost.h"
#include "sound/Sfx.h"

namespace {

using KRX::t_Interface;

// Every name is required; a missing one becomes "default", after the reader's message.
const char* Name(t_Interface& in, int k) { return script::GetArgString(in, k, "default", true); }
float Required(t_Interface& in, int k) { return script::GetArgFloat(in, k, 0.0f, true); }
float Optional(t_Interface& in, int k, float def = 0.0f) { return script::GetArgFloat(in, k, def, false); }
bool RequiredFlag(t_Interface& in, int k) { return script::GetArgBool(in, k, false, true); }

// file, name, channel, then volume and pan; the caller adds what follows.
struct st_PlayArgs {
  const char* file;
  const char* name;
  const char* channel;
  sfx::st_PlayParams params;
};
st_PlayArgs ReadPlayArgs(t_Interface& in) {
  st_PlayArgs a{Name(in, 1), Name(in, 2), Name(in, 3), {}};
  a.params.volume = Optional(in, 4, 1.0f);
  a.params.pan = Optional(in, 5, 1.0f);
  a.params.loop = script::GetArgBool(in, 6, false, false);
  return a;
}

void FadeMasterVolume(t_Interface& in) {
  const float level = Required(in, 1);
  sfx::FadeMasterVolume(level, Required(in, 2));
}

float PlaySound(t_Interface& in) {
  st_PlayArgs a = ReadPlayArgs(in);
  a.params.ignoreFx = script::GetArgBool(in, 7, false, false);
  return sfx::PlaySound(sfx::PLAY_SAMPLE, a.file, a.name, a.channel, a.params);
}

void PlayStream(t_Interface& in) {
  st_PlayArgs a = ReadPlayArgs(in);
  a.params.ignoreFx = true;  // music and ambience never go through the effects
  sfx::PlaySound(sfx::PLAY_STREAM, a.file, a.name, a.channel, a.params);
}

bool IsPlaying(t_Interface& in) { return sfx::IsSoundPlaying(Name(in, 1)); }

void PauseSound(t_Interface& in) {
  const char* name = Name(in, 1);
  const bool pause = RequiredFlag(in, 2);
  sfx::PauseSound(name, pause, Optional(in, 3));
}

void StopSound(t_Interface& in) {
  const char* name = Name(in, 1);
  sfx::StopSound(name, Optional(in, 2));
}

void FadeSoundVolume(t_Interface& in) {
  const char* name = Name(in, 1);
  const float volume = Required(in, 2);
  sfx::FadeSoundVolume(name, volume, Optional(in, 3));
}

void SetSoundPan(t_Interface& in) {
  const char* name = Name(in, 1);
  const float pan = Required(in, 2);
  sfx::SetSoundPan(name, pan, Optional(in, 3));
}

void PauseChannel(t_Interface& in) {
  const char* channel = Name(in, 1);
  const bool pause = RequiredFlag(in, 2);
  sfx::PauseChannel(channel, pause, Optional(in, 3));
}

void StopChannel(t_Interface& in) {
  const char* channel = Name(in, 1);
  sfx::StopChannel(channel, Optional(in, 2));
}

void FadeChannelVolume(t_Interface& in) {
  const char* channel = Name(in, 1);
  const float volume = Required(in, 2);
  sfx::FadeChannelVolume(channel, volume, Optional(in, 3));
}

void SetChannelPan(t_Interface& in) {
  const char* channel = Name(in, 1);
  const float pan = Required(in, 2);
  sfx::SetChannelPan(channel, pan, Optional(in, 3));
}

void AddStreamToPlaylist(t_Interface& in) {
  const char* file = Name(in, 1);
  const char* playlist = Name(in, 2);
  sfx::AddStreamToPlaylist(sfx::PLAY_STREAM, file, playlist, Optional(in, 3, 1.0f));
}

void RemoveStreamFromPlaylist(t_Interface& in) {
  const char* file = Name(in, 1);
  sfx::RemoveStreamFromPlaylist(sfx::PLAY_STREAM, file, Name(in, 2));
}

void SetStreamPlaylistTimes(t_Interface& in) {
  const char* playlist = Name(in, 1);
  const float first = Required(in, 2);
  const float second = Required(in, 3);
  sfx::SetStreamPlaylistTimes(sfx::PLAY_STREAM, first, second, playlist);
}

void ClearStreamPlaylist(t_Interface& in) {
  const char* playlist = Name(in, 1);
  const bool stop = RequiredFlag(in, 2);
  sfx::ClearStreamPlaylist(sfx::PLAY_STREAM, playlist, stop, Optional(in, 3));
}

void AddFx(t_Interface& in) {
  const int id = script::GetArgInt(in, 1, 0, true);
  float params[12];
  for (int k = 0; k < 12; ++k) params[k] = Optional(in, k + 2);
  sfx::AddFx(static_cast<uint32_t>(id), params);
}

void RemoveFx(t_Interface& in) { sfx::RemoveFx(static_cast<uint32_t>(script::GetArgInt(in, 1, 0, true))); }

void RemoveAllFx(t_Interface&) { sfx::RemoveAllFx(); }

}  // namespace

bool cl_SoundScript::Register() {
  KRX::Module& root = KRX::ScriptSystem::GetModule();
  bool ok = false;
  // ORDER SFX: the binding order scripts and savegames have always seen.
  ok = KRX::RegisterFunction(root, "SFXFadeMasterVolume", &FadeMasterVolume);
  ok = KRX::RegisterFunction(root, "SFXPlaySound", &PlaySound);
  ok = KRX::RegisterFunction(root, "SFXPlayStream", &PlayStream);
  ok = KRX::RegisterFunction(root, "SFXIsPlaying", &IsPlaying);
  ok = KRX::RegisterFunction(root, "SFXPauseSound", &PauseSound);
  ok = KRX::RegisterFunction(root, "SFXStopSound", &StopSound);
  ok = KRX::RegisterFunction(root, "SFXFadeSoundVolume", &FadeSoundVolume);
  ok = KRX::RegisterFunction(root, "SFXSetSoundPan", &SetSoundPan);
  ok = KRX::RegisterFunction(root, "SFXPauseChannel", &PauseChannel);
  ok = KRX::RegisterFunction(root, "SFXStopChannel", &StopChannel);
  ok = KRX::RegisterFunction(root, "SFXFadeChannelVolume", &FadeChannelVolume);
  ok = KRX::RegisterFunction(root, "SFXSetChannelPan", &SetChannelPan);
  ok = KRX::RegisterFunction(root, "SFXAddStreamToPlaylist", &AddStreamToPlaylist);
  ok = KRX::RegisterFunction(root, "SFXRemoveStreamFromPlaylist", &RemoveStreamFromPlaylist);
  ok = KRX::RegisterFunction(root, "SFXSetStreamPlaylistTimes", &SetStreamPlaylistTimes);
  ok = KRX::RegisterFunction(root, "SFXClearStreamPlaylist", &ClearStreamPlaylist);
  ok = KRX::RegisterFunction(root, "SFXAddFx", &AddFx);
  ok = KRX::RegisterFunction(root, "SFXRemoveFx", &RemoveFx);
  ok = KRX::RegisterFunction(root, "SFXRemoveAllFx", &RemoveAllFx);
  return ok;
}
