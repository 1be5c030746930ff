// The fade queue of the sound system: every timed change (stops, pauses, volume and pan fades of
// sounds, channels and the master level, muting, channel removal, shut-down) is a record that
// moves one library level towards a target at a rate per second and then runs its completion.
#include <algorithm>

#include "base/system.h"
#include "sound/FModSoundSystem.h"

namespace sfx {
namespace audio = platform::audio;

namespace {

std::unique_ptr<st_FadeRecord> MakeRecord(st_Sound* sound, uint32_t action, uint32_t kind, float rate, int target) {
  auto record = std::make_unique<st_FadeRecord>();
  record->sound = sound;
  record->action = action;
  record->kind = kind;
  record->rate = rate;
  record->target = target;
  return record;
}

bool HasVoiceOrStream(const st_Sound& sound) {
  return sound.m_SlotID >= 0 || sound.stream != audio::StreamId::None;
}

}  // namespace

// ---- Records

bool cl_FModSoundSystem::AddRecord(std::unique_ptr<st_FadeRecord> record) {
  if (!record) return true;
  const st_Sound* sound = record->sound;
  if (sound && sound->m_SlotID != -1) {
    // One fade of each kind per sound; a stop replaces everything and nothing follows a stop.
    for (auto it = m_fades.begin(); it != m_fades.end();) {
      const st_FadeRecord* queued = it->get();
      if (!queued || !queued->sound || queued->sound->m_SlotID == -1 || queued->sound->m_SlotID != sound->m_SlotID) {
        ++it;
        continue;
      }
      if (queued->action == st_FadeRecord::STOP) return false;
      if (record->action == st_FadeRecord::STOP || queued->kind == record->kind) {
        it = m_fades.erase(it);
      } else {
        ++it;
      }
    }
  }
  m_fades.push_back(std::move(record));
  return true;
}

void cl_FModSoundSystem::SetLevel(const st_FadeRecord& record, int level) {
  const int slot = record.sound ? record.sound->m_SlotID : -1;
  if (record.kind == st_FadeRecord::VOLUME) {
    m_library.SetVolume(slot, level);
  } else {
    m_library.SetPan(slot, level);
  }
}

bool cl_FModSoundSystem::StepRecord(st_FadeRecord& record, float dt) {
  if (record.kind == st_FadeRecord::INSTANT) return true;
  tLock lock(m_lock);
  if (record.current == -1.0f) {
    const int slot = record.sound ? record.sound->m_SlotID : -1;
    const int level = record.kind == st_FadeRecord::VOLUME ? m_library.GetVolume(slot) : m_library.GetPan(slot);
    if (level == 0 && m_library.GetError() != audio::kOk) {
      // A stream that is still opening has no level yet: read it again next time.
      if (!record.sound || record.sound->stream == audio::StreamId::None) record.current = 0.0f;
      return false;
    }
    record.current = static_cast<float>(level);
  }
  const float next = std::clamp(record.rate * dt + record.current, 0.0f, 255.0f);
  record.current = next;
  const float target = static_cast<float>(record.target);
  if (record.rate == 0.0f || (record.rate < 0.0f && next <= target) || (record.rate > 0.0f && next >= target)) {
    SetLevel(record, record.target);
    return true;
  }
  SetLevel(record, static_cast<int>(next));
  return false;
}

bool cl_FModSoundSystem::CompleteRecord(st_FadeRecord& record) {
  if (record.action == st_FadeRecord::SHUT_DOWN) {
    ShutDownNow();  // joins the update thread, so not under the sound lock
    return true;
  }
  tLock lock(m_lock);
  switch (record.action) {
    case st_FadeRecord::PAUSE:
    case st_FadeRecord::RESUME: {
      const int slot = record.sound ? record.sound->m_SlotID : -1;
      if (!m_library.SetPaused(slot, record.action == st_FadeRecord::PAUSE)) return false;
      record.action = st_FadeRecord::NOTHING;
      return true;
    }
    case st_FadeRecord::STOP: {
      if (st_Sound* sound = record.sound) {
        if (sound->stream != audio::StreamId::None && m_library.StopStream(sound->stream)) {
          m_library.CloseStream(sound->stream);
          sound->stream = audio::StreamId::None;
        } else {
          m_library.SetPaused(sound->m_SlotID, true);
          m_library.DisableEffects(sound->m_SlotID);
          m_library.StopVoice(sound->m_SlotID);
        }
        const std::string name = sound->name;  // the sound is deleted by the removal
        RemoveSoundByName(name);
      }
      record.action = st_FadeRecord::NOTHING;
      return true;
    }
    case st_FadeRecord::REMOVE_CHANNEL: {
      // A channel that is already gone counts as removed, so the queue goes on.
      auto it = m_channels.find(record.name);
      if (it != m_channels.end()) DeleteChannel(it);
      return true;
    }
    default: return true;
  }
}

// Stops and deletes every sound and channel here, rather than queueing removals behind this
// record (which would only run after it and keep the queue growing), then closes the library.
void cl_FModSoundSystem::ShutDownNow() {
  {
    tLock lock(m_lock);
    for (auto& pending : m_pending) {
      m_library.CloseStream(pending->sound->stream);
      pending->sound->stream = audio::StreamId::None;
    }
    m_pending.clear();
  }
  while (!m_channels.empty()) DeleteChannel(m_channels.begin());
  for (auto& record : m_fades) {
    if (!record || record->action == st_FadeRecord::SHUT_DOWN) continue;
    record->sound = nullptr;
    record->kind = st_FadeRecord::INSTANT;
    record->action = st_FadeRecord::NOTHING;
  }
  StopUpdateThread();
  tLock lock(m_lock);
  CloseLibrary();
  m_initialised = false;
}

void cl_FModSoundSystem::WalkQueue(float dt) {
  for (auto it = m_fades.begin(); it != m_fades.end();) {
    st_FadeRecord* record = it->get();
    if (!record) {
      it = m_fades.erase(it);
      continue;
    }
    const bool finished = StepRecord(*record, dt);
    const bool lastShutDown = record->action == st_FadeRecord::SHUT_DOWN && m_fades.size() == 1;
    if (!finished && !lastShutDown) {
      ++it;
      continue;
    }
    if (!CompleteRecord(*record)) return;  // tried again at the next update
    it = m_fades.erase(it);
  }
}

// ---- Operations on sounds

bool cl_FModSoundSystem::StopSound(st_Sound& sound, float fadeTime) {
  if (!HasVoiceOrStream(sound)) return false;
  tLock lock(m_lock);
  const float volume = static_cast<float>(m_library.GetVolume(sound.m_SlotID));
  const float rate = fadeTime > 0.0f ? -(volume / fadeTime) : 0.0f;
  AddRecord(MakeRecord(&sound, st_FadeRecord::STOP, st_FadeRecord::VOLUME, rate, 0));
  return true;
}

bool cl_FModSoundSystem::PauseSound(st_Sound& sound, const st_Channel& channel, bool pause, float fadeTime) {
  if (!HasVoiceOrStream(sound)) return false;
  tLock lock(m_lock);
  const int level = VolumeLevel(channel, sound);
  const float current = static_cast<float>(m_library.GetVolume(sound.m_SlotID));
  if (pause) {
    const float rate = fadeTime > 0.0f ? -(current / fadeTime) : 0.0f;
    AddRecord(MakeRecord(&sound, st_FadeRecord::PAUSE, st_FadeRecord::VOLUME, rate, 0));
    return true;
  }
  const float rate = fadeTime > 0.0f ? (static_cast<float>(level) - current) / fadeTime : 0.0f;
  auto record = MakeRecord(&sound, st_FadeRecord::RESUME, st_FadeRecord::VOLUME, rate, level);
  CompleteRecord(*record);  // unpaused before it fades in
  AddRecord(std::move(record));
  return true;
}

bool cl_FModSoundSystem::FadeSoundLevel(st_Sound& sound, const st_Channel& channel, uint32_t kind, float level,
                                        float time) {
  if (!HasVoiceOrStream(sound)) return false;
  tLock lock(m_lock);
  st_Sound changed = sound;
  int target;
  float current;
  if (kind == st_FadeRecord::VOLUME) {
    changed.volume = level;
    target = VolumeLevel(channel, changed);
    current = static_cast<float>(m_library.GetVolume(sound.m_SlotID));
  } else {
    changed.pan = level;
    target = PanLevel(channel, changed);
    current = static_cast<float>(m_library.GetPan(sound.m_SlotID));
  }
  const float rate = time > 0.0f ? (static_cast<float>(target) - current) / time : 0.0f;
  AddRecord(MakeRecord(&sound, st_FadeRecord::NOTHING, kind, rate, target));
  if (kind == st_FadeRecord::VOLUME) {
    sound.volume = level;
  } else {
    sound.pan = level;
  }
  return true;
}

bool cl_FModSoundSystem::StopSound(const char* soundName, float fadeTime) {
  st_Sound* sound = FindSound(soundName);
  return sound && StopSound(*sound, fadeTime);
}

bool cl_FModSoundSystem::PauseSound(const char* soundName, bool pause, float fadeTime) {
  st_Channel* channel = nullptr;
  st_Sound* sound = FindSound(soundName, &channel);
  return sound && PauseSound(*sound, *channel, pause, fadeTime);
}

bool cl_FModSoundSystem::FadeSoundVolume(const char* soundName, float volume, float time) {
  st_Channel* channel = nullptr;
  st_Sound* sound = FindSound(soundName, &channel);
  return sound && FadeSoundLevel(*sound, *channel, st_FadeRecord::VOLUME, volume, time);
}

bool cl_FModSoundSystem::SetSoundPan(const char* soundName, float pan, float time) {
  st_Channel* channel = nullptr;
  st_Sound* sound = FindSound(soundName, &channel);
  return sound && FadeSoundLevel(*sound, *channel, st_FadeRecord::PAN, pan, time);
}

// ---- Operations on channels and on everything

bool cl_FModSoundSystem::StopChannel(const char* channelName, float fadeTime) {
  st_Channel* channel = FindChannel(channelName);
  if (!channel) return false;
  for (auto& sound : channel->sounds) StopSound(*sound, fadeTime);
  return true;
}

bool cl_FModSoundSystem::PauseChannel(const char* channelName, bool pause, float fadeTime) {
  st_Channel* channel = FindChannel(channelName);
  if (!channel) return false;
  for (auto& sound : channel->sounds) PauseSound(*sound, *channel, pause, fadeTime);
  return true;
}

bool cl_FModSoundSystem::FadeChannelVolume(const char* channelName, float volume, float time) {
  st_Channel* channel = FindChannel(channelName);
  if (!channel) return false;
  channel->volume = volume;
  for (auto& sound : channel->sounds) FadeSoundLevel(*sound, *channel, st_FadeRecord::VOLUME, sound->volume, time);
  return true;
}

bool cl_FModSoundSystem::SetChannelPan(const char* channelName, float pan, float time) {
  st_Channel* channel = FindChannel(channelName);
  if (!channel) return false;
  channel->pan = pan;
  for (auto& sound : channel->sounds) FadeSoundLevel(*sound, *channel, st_FadeRecord::PAN, sound->pan, time);
  return true;
}

bool cl_FModSoundSystem::RemoveChannel(const char* channelName) {
  st_Channel* channel = FindChannel(channelName);
  if (!channel) return false;
  for (auto& sound : channel->sounds) StopSound(*sound, 0.0f);
  auto record = MakeRecord(&m_systemSound, st_FadeRecord::REMOVE_CHANNEL, st_FadeRecord::VOLUME, 0.0f, 0);
  record->name = channelName;
  AddRecord(std::move(record));
  return true;
}

bool cl_FModSoundSystem::StopAll(float fadeTime) {
  for (auto& [name, channel] : m_channels) StopChannel(name.c_str(), fadeTime);
  return true;
}

void cl_FModSoundSystem::FadeMasterVolume(float level, float time) {
  m_masterVolume = level;
  for (auto& [name, channel] : m_channels) FadeChannelVolume(name.c_str(), channel->volume, time);
}

void cl_FModSoundSystem::SetActive(bool active) {
  if (active == m_active) return;
  if (!active) {
    const float kept = m_masterVolume;
    FadeMasterVolume(0.0f, 0.0f);
    m_masterVolume = kept;
  } else {
    FadeMasterVolume(m_masterVolume, 0.0f);
  }
  m_active = active;
}

void cl_FModSoundSystem::FadeOutAll(float fadeTime) {
  if (!m_initialised) return;
  FadeMasterVolume(0.0f, fadeTime);
  AddRecord(MakeRecord(&m_systemSound, st_FadeRecord::SHUT_DOWN, st_FadeRecord::INSTANT, 1.0f, 0));
  if (!(fadeTime > 0.0f)) Update(0.0f);
}

}  // namespace sfx
