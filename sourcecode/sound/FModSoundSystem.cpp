// The sound system: set-up, the update thread, playing, queries, levels, effects and the frame
// update (the fade records and the operations built on them: FadeQueue.cpp).
#include "sound/FModSoundSystem.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "base/data/Binary.h"
#include "base/system.h"
#include "platform/audio/Log.h"
#include "platform/video/Video.h"
#include "sound/PlaylistCtrl.h"

namespace sfx {
namespace audio = platform::audio;

namespace {

cl_FModSoundSystem* g_soundSystem = nullptr;

constexpr uint32_t kInitFlags = 0x200;  // streams are not given a streamer thread of the library's
// Streams are decoded this far ahead: a busy machine may keep the decoding from running for
// seconds, and the music must not fall silent meanwhile.
constexpr int kStreamBufferMs = 4000;

void LibraryLog(const char* text) { base::sys::Output("%s", text); }

// A NaN level (a script's, or a damaged option's) counts as 0: std::clamp would keep it, and the
// integer level made of it would be undefined.
float Clamp01(float v) { return v > 0.0f ? std::min(v, 1.0f) : 0.0f; }

}  // namespace

cl_FModSoundSystem* GetSoundSystem() { return g_soundSystem; }

cl_FModSoundSystem::cl_FModSoundSystem() {
  audio::SetLogSink(LibraryLog);
  g_soundSystem = this;
  m_playlists = std::make_unique<cl_PlaylistCtrl>();
}

cl_FModSoundSystem::~cl_FModSoundSystem() {
  StopUpdateThread();
  m_playlists.reset();  // unregisters itself
  m_fades.clear();
  m_channels.clear();
  m_pending.clear();
  for (i_SoundModule* module : m_modules) delete module;
  m_modules.clear();
  {
    tLock lock(m_lock);
    CloseLibrary();
  }
  m_initialised = false;
  if (g_soundSystem == this) g_soundSystem = nullptr;
  audio::SetLogSink(nullptr);
}

// ---- Set-up and the update thread

bool cl_FModSoundSystem::SetOutput(audio::Output output) {
  tLock lock(m_lock);
  return m_library.SetOutput(output);
}

bool cl_FModSoundSystem::Init(void*, int mixRate, int maxChannels, float distanceFactor) {
  if (m_thread.joinable()) {
    base::sys::Output("Warning: the sound system is already started\n");
    return m_initialised;
  }
  {
    tLock lock(m_lock);
    m_initialised = m_library.Init(mixRate, maxChannels, kInitFlags);
    if (m_initialised) {
      m_library.SetDistanceFactor(distanceFactor);
      m_library.SetStreamBufferMs(kStreamBufferMs);
      // Videos mix their sound into the library's external voice, at their own volume only.
      platform::video::SetSoundOutput(m_library.External());
    } else {
      base::sys::Output("ERROR: the sound library did not open: %s\n", GetErrorText().c_str());
    }
  }
  m_masterVolume = 1.0f;
  m_secondAccumulator = 0.0f;
  m_mixRate = mixRate > 0 ? static_cast<uint32_t>(mixRate) : 44100u;
  m_stop = false;
  try {
    m_thread = std::thread(&cl_FModSoundSystem::UpdateThread, this);
  } catch (const std::system_error& e) {
    base::sys::Output("ERROR: the sound update thread cannot start (%s)\n", e.what());
    FadeOutAll(0.0f);
    return false;
  }
  return m_initialised;
}

void cl_FModSoundSystem::CloseLibrary() {
  platform::video::SetSoundOutput(nullptr);
  m_library.Close();
}

bool cl_FModSoundSystem::StartUp() { return Init(nullptr, 44100, 32, 0.1f); }

void cl_FModSoundSystem::UpdateLibrary() {
  tLock lock(m_lock);
  m_library.Update();
}

void cl_FModSoundSystem::UpdateThread() {
  while (!m_stop.load()) {
    UpdateLibrary();
    // The wake lock is not held around the library update, so a stop never waits on the sound lock.
    std::unique_lock<std::mutex> wait(m_wakeMutex);
    m_wake.wait_for(wait, std::chrono::milliseconds(100), [this] { return m_stop.load(); });
  }
}

void cl_FModSoundSystem::StopUpdateThread() {
  {
    std::lock_guard<std::mutex> wait(m_wakeMutex);
    m_stop = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

// ---- Lookups and levels

st_Sound* cl_FModSoundSystem::FindSound(const char* name, st_Channel** channel) {
  if (!name) return nullptr;
  for (auto& [channelName, c] : m_channels)
    for (auto& sound : c->sounds)
      if (sound->name == name) {
        if (channel) *channel = c.get();
        return sound.get();
      }
  return nullptr;
}

st_Channel* cl_FModSoundSystem::FindChannel(const char* name) {
  auto it = m_channels.find(name ? name : "");
  return it == m_channels.end() ? nullptr : it->second.get();
}

int cl_FModSoundSystem::GetSoundSlot(const char* soundName) {
  const st_Sound* sound = FindSound(soundName);
  return sound ? sound->m_SlotID : -1;
}

int cl_FModSoundSystem::VolumeLevel(const st_Channel& channel, const st_Sound& sound) {
  m_masterVolume = Clamp01(m_masterVolume);
  const float c = Clamp01(channel.volume), s = Clamp01(sound.volume);
  if (m_masterVolume == 0.0f || c == 0.0f || s == 0.0f) return 0;
  return static_cast<int>(m_masterVolume * c * s * 255.0f + 0.5f);
}

int cl_FModSoundSystem::PanLevel(const st_Channel& channel, const st_Sound& sound) {
  const float c = Clamp01(channel.pan), s = Clamp01(sound.pan);
  if (c == 0.0f || s == 0.0f) return 0;
  return static_cast<int>(c * s * 255.0f + 0.5f);
}

std::string cl_FModSoundSystem::GetErrorText() const {
  switch (m_library.GetError()) {
    case 0: return "No errors";
    case 1: return "Cannot call this command after FSOUND_Init. Call FSOUND_Close first";
    case 2: return "This command failed because FSOUND_Init or FSOUND_SetOutput was not called ";
    case 3: return "Error initializing output device";
    case 4:
      return "Error initializing output device, but more specifically, the output device is already in use and "
             "cannot be reused.";
    case 5: return "Playing the sound failed.";
    case 6: return "Soundcard does not support the features needed for this soundsystem (16bit stereo output)";
    case 7: return "Error setting cooperative level for hardware";
    case 8: return "Error creating hardware sound buffer";
    case 9: return "File not found ";
    case 10: return "Unknown file format";
    case 13: return "The version number of this file format is not supported ";
    case 14: return "An invalid parameter was passed to this function  ";
    case 15: return "Tried to use an EAX command on a non EAX enabled channel or output.";
    case 16: return " Failed to allocate a new channel ";
    case 17: return "Recording is not supported on this machine";
    case 18: return "Windows Media Player not installed so cannot play wma or use internet streaming.";
    case 19: return " An error occured trying to open the specified CD device ";
    default: return "Unknown Error";
  }
}

// ---- Playing

float cl_FModSoundSystem::PlaySample(int kind, const void* source, const char* soundName, const char* channelName,
                                     const st_PlayParams* params, int length) {
  if (!source || !soundName) return -1.0f;
  st_Channel* channel = FindChannel(channelName);
  if (!channel) return -1.0f;
  const st_PlayParams play = params ? *params : st_PlayParams();

  if (st_Sound* old = FindSound(soundName)) {
    st_FadeRecord stop;
    stop.sound = old;
    stop.action = st_FadeRecord::STOP;
    stop.kind = st_FadeRecord::VOLUME;
    CompleteRecord(stop);
  }

  tLock lock(m_lock);
  auto sound = std::make_unique<st_Sound>();
  sound->name = soundName;
  sound->channel = channelName;
  sound->volume = play.volume;
  sound->pan = play.pan;
  sound->loop = play.loop;
  sound->ignoreFx = play.ignoreFx;

  if (kind == PLAY_STREAM) {
    const uint32_t mode = audio::mode::NonBlocking | audio::mode::TwoD | (play.loop ? audio::mode::Loop : 0);
    sound->stream = m_library.OpenStream(static_cast<const char*>(source), mode);
    if (sound->stream == audio::StreamId::None) return -1.0f;
    sound->startPending = true;
    sound->length = static_cast<float>(m_library.StreamLengthMs(sound->stream));
    auto pending = std::make_unique<st_PendingStream>();
    pending->sound = sound.get();
    pending->volume = static_cast<float>(VolumeLevel(*channel, *sound));
    pending->pan = static_cast<float>(PanLevel(*channel, *sound));
    pending->priority = channel->priority;
    m_pending.push_back(std::move(pending));
    const float result = sound->length;
    channel->sounds.push_back(std::move(sound));
    return result;
  }
  if (kind != PLAY_SAMPLE && kind != PLAY_SAMPLE_MEMORY && kind != PLAY_SAMPLE_3D) return -1.0f;

  uint32_t mode = kind == PLAY_SAMPLE_3D ? audio::mode::Hardware3DMono : audio::mode::TwoD;
  if (kind == PLAY_SAMPLE_MEMORY) mode |= audio::mode::FromMemory;
  if (play.loop) mode |= audio::mode::Loop;
  if (!m_effects.empty() && !play.ignoreFx) mode |= audio::mode::Effects;
  const char* label = kind == PLAY_SAMPLE_MEMORY ? soundName : nullptr;
  sound->sample = m_library.LoadSample(source, mode, static_cast<uint32_t>(std::max(length, 0)), label);
  const std::string file = kind == PLAY_SAMPLE_MEMORY ? soundName : static_cast<const char*>(source);
  if (sound->sample == audio::SampleId::None) {
    const std::string error = GetErrorText();
    if (m_loadErrorsTold[file].insert(error).second)
      base::sys::Output("\nError at Sample_Load %s. FMOD Error: %s", file.c_str(), error.c_str());
    return -1.0f;
  }
  m_loadErrorsTold.erase(file);
  sound->m_SlotID = m_library.Play(audio::kAnyVoice, sound->sample, true);
  if (sound->m_SlotID < 0) {
    // A sample without a voice would never be collected: it is not kept.
    base::sys::Output("Warning: sound '%s' on channel '%s' not played: %s\n", soundName, channelName,
                      GetErrorText().c_str());
    m_library.FreeSample(sound->sample);
    return -1.0f;
  }
  if (!play.ignoreFx) ApplyFx(sound->m_SlotID);
  m_library.SetPaused(sound->m_SlotID, false);
  m_library.SetPan(sound->m_SlotID, PanLevel(*channel, *sound));
  m_library.SetVolume(sound->m_SlotID, VolumeLevel(*channel, *sound));
  m_library.SetPriority(sound->m_SlotID, channel->priority);
  sound->length = SecondsOf(m_library.SampleLength(sound->sample));
  const float result = sound->length;
  channel->sounds.push_back(std::move(sound));
  return result;
}

float cl_FModSoundSystem::PlaySampleFromMemory(int, const base::Binary* bytes, const char* soundName,
                                               const char* channelName, const st_PlayParams* params) {
  if (!bytes || bytes->size() <= 0) return -1.0f;
  return PlaySample(PLAY_SAMPLE_MEMORY, bytes->get_buffer(), soundName, channelName, params, bytes->size());
}

void cl_FModSoundSystem::ApplyFx(int slot) {
  for (const st_FxSetting& fx : m_effects) {
    const int id = m_library.EnableEffect(slot, static_cast<int>(fx.type));
    if (id < 0) continue;
    const float* p = fx.params;
    float truncated[12];
    std::copy(p, p + 12, truncated);
    switch (fx.type) {
      case audio::fx::Chorus:
      case audio::fx::Flanger:
        truncated[4] = static_cast<float>(static_cast<int>(p[4]));
        truncated[6] = static_cast<float>(static_cast<int>(p[6]));
        m_library.SetEffectParams(id, truncated, 7);
        break;
      case audio::fx::Compressor: m_library.SetEffectParams(id, p, 6); break;
      case audio::fx::Distortion: m_library.SetEffectParams(id, p, 5); break;
      case audio::fx::Echo: m_library.SetEcho(id, p[0], p[1], p[2], p[3], static_cast<int>(p[4])); break;
      case audio::fx::ParamEq: m_library.SetParamEq(id, p[0], p[1], p[2]); break;
      case audio::fx::WavesReverb: m_library.SetEffectParams(id, p, 4); break;
      default: break;  // enabled with the library's defaults
    }
  }
}

bool cl_FModSoundSystem::EndLoop(const char* soundName) {
  st_Sound* sound = FindSound(soundName);
  if (!sound || sound->stream == audio::StreamId::None) return false;
  tLock lock(m_lock);
  sound->loop = false;
  return m_library.SetStreamLoop(sound->stream, false);
}

// ---- Queries

bool cl_FModSoundSystem::IsPlaying(const char* soundName) {
  const st_Sound* sound = FindSound(soundName);
  if (!sound || (sound->m_SlotID < 0 && sound->stream == audio::StreamId::None)) return false;
  if (sound->startPending) return true;
  tLock lock(m_lock);
  return m_library.IsPlaying(sound->m_SlotID);
}

float cl_FModSoundSystem::SecondsLeft(const char* soundName) {
  const st_Sound* sound = FindSound(soundName);
  if (!sound || sound->loop || sound->startPending || sound->m_SlotID < 0) return -1.0f;
  tLock lock(m_lock);
  const uint64_t frames = sound->sample != audio::SampleId::None
                              ? m_library.SampleLength(sound->sample)
                              : uint64_t{m_library.StreamLengthMs(sound->stream)} * m_mixRate / 1000;
  const uint64_t played = m_library.CurrentPosition(sound->m_SlotID);
  return played < frames ? SecondsOf(static_cast<uint32_t>(frames - played)) : 0.0f;
}

float cl_FModSoundSystem::GetPlayPosition(const char* soundName) {
  const st_Sound* sound = FindSound(soundName);
  if (!sound) return -1.0f;
  tLock lock(m_lock);
  return SecondsOf(m_library.CurrentPosition(sound->m_SlotID));
}

float cl_FModSoundSystem::GetSampleLength(const char* soundName) {
  const st_Sound* sound = FindSound(soundName);
  if (!sound) return -1.0f;
  tLock lock(m_lock);
  const audio::SampleId sample = m_library.CurrentSample(sound->m_SlotID);
  if (sample == audio::SampleId::None) return -1.0f;
  return SecondsOf(m_library.SampleLength(sample));
}

st_PlayParams cl_FModSoundSystem::GetSoundParams(const char* soundName) {
  st_PlayParams params;
  if (const st_Sound* sound = FindSound(soundName)) {
    params.volume = sound->volume;
    params.pan = sound->pan;
    params.loop = sound->loop;
    params.ignoreFx = sound->ignoreFx;
  }
  return params;
}

// ---- Channels, listener, effects, modules

bool cl_FModSoundSystem::AddChannel(const char* channelName, const st_ChannelParams* params) {
  if (!channelName) return false;
  auto channel = std::make_unique<st_Channel>();
  if (params) {
    channel->volume = params->volume;
    channel->pan = params->pan;
    channel->priority = params->priority;
  }
  auto it = m_channels.find(channelName);
  if (it != m_channels.end()) DeleteChannel(it);  // the name takes the new, empty channel
  m_channels.emplace(channelName, std::move(channel));
  return false;
}

bool cl_FModSoundSystem::SetListener(const float position[3], const float forward[3], const float up[3]) {
  if (!m_initialised) return false;
  tLock lock(m_lock);
  m_library.SetListener(position, nullptr, forward, up);
  return true;
}

void cl_FModSoundSystem::AddFx(uint32_t type, const float params[12]) {
  for (st_FxSetting& fx : m_effects)
    if (fx.type == type) {
      if (params) std::copy(params, params + 12, fx.params);
      return;
    }
  st_FxSetting fx;
  fx.type = type;
  if (params) std::copy(params, params + 12, fx.params);
  m_effects.push_back(fx);
}

void cl_FModSoundSystem::RemoveFx(uint32_t type) {
  std::erase_if(m_effects, [type](const st_FxSetting& fx) { return fx.type == type; });
}

void cl_FModSoundSystem::RemoveAllFx() { m_effects.clear(); }

void cl_FModSoundSystem::AddModule(i_SoundModule* module) {
  if (module) m_modules.push_back(module);
}

void cl_FModSoundSystem::RemoveModule(i_SoundModule* module) { std::erase(m_modules, module); }

// ---- Removing sounds and channels

void cl_FModSoundSystem::DeleteSound(st_Channel& channel, size_t index) {
  st_Sound* sound = channel.sounds[index].get();
  for (auto& record : m_fades)
    if (record && record->sound == sound) {
      record->sound = nullptr;
      record->kind = st_FadeRecord::INSTANT;
      record->action = st_FadeRecord::NOTHING;
    }
  std::erase_if(m_pending, [sound](const auto& p) { return p->sound == sound; });
  {
    tLock lock(m_lock);
    // Every sample is freed with its sound: each play loads its own copy.
    if (sound->sample != audio::SampleId::None) m_library.FreeSample(sound->sample);
    if (sound->stream != audio::StreamId::None) m_library.CloseStream(sound->stream);
  }
  channel.sounds.erase(channel.sounds.begin() + static_cast<std::ptrdiff_t>(index));
}

void cl_FModSoundSystem::RemoveSoundByName(const std::string& name) {
  for (auto& [channelName, channel] : m_channels)
    for (size_t i = channel->sounds.size(); i-- > 0;)
      if (channel->sounds[i]->name == name) DeleteSound(*channel, i);
}

void cl_FModSoundSystem::DeleteChannel(std::map<std::string, std::unique_ptr<st_Channel>>::iterator it) {
  st_Channel& channel = *it->second;
  {
    tLock lock(m_lock);
    for (auto& sound : channel.sounds)
      if (sound->m_SlotID >= 0) m_library.StopVoice(sound->m_SlotID);
  }
  while (!channel.sounds.empty()) DeleteSound(channel, channel.sounds.size() - 1);
  m_channels.erase(it);
}

// ---- The frame update

void cl_FModSoundSystem::CollectFinished() {
  std::vector<std::string> finished;
  {
    tLock lock(m_lock);
    for (auto& [channelName, channel] : m_channels)
      for (auto& sound : channel->sounds)
        if (!sound->startPending && !m_library.IsPlaying(sound->m_SlotID)) finished.push_back(sound->name);
  }
  for (const std::string& name : finished) StopSound(name.c_str(), 0.0f);
}

void cl_FModSoundSystem::StartOpenedStreams() {
  std::vector<std::string> failed;
  {
    tLock lock(m_lock);
    for (size_t i = 0; i < m_pending.size();) {
      st_PendingStream& pending = *m_pending[i];
      st_Sound& sound = *pending.sound;
      const int state = m_library.StreamOpenState(sound.stream);
      if (state == audio::openstate::Opening) {
        ++i;
        continue;
      }
      if (state == audio::openstate::Ready) {
        sound.m_SlotID = m_library.PlayStream(audio::kAnyVoice, sound.stream);
        sound.startPending = false;
        sound.length = static_cast<float>(m_library.StreamLengthMs(sound.stream));
        if (sound.m_SlotID >= 0) {
          m_library.SetPan(sound.m_SlotID, static_cast<int>(pending.pan));
          m_library.SetVolume(sound.m_SlotID, static_cast<int>(pending.volume));
          m_library.SetPriority(sound.m_SlotID, pending.priority);
        } else {
          // Without a voice the stream would wait for ever: dropped like a sample.
          base::sys::Output("Warning: stream '%s' not played: no free voice\n", sound.name.c_str());
          failed.push_back(sound.name);
        }
      } else {
        failed.push_back(sound.name);
      }
      m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  for (const std::string& name : failed) RemoveSoundByName(name);
}

void cl_FModSoundSystem::Update(float dt) {
  if (!m_initialised) return;
  m_secondAccumulator += dt;
  if (m_secondAccumulator > 1.0f) {
    CollectFinished();
    m_secondAccumulator = 0.0f;
  }
  WalkQueue(dt);
  if (!m_initialised) return;  // the queue shut the system down
  StartOpenedStreams();
  const std::vector<i_SoundModule*> modules = m_modules;  // a module may leave while updating
  for (i_SoundModule* module : modules) module->Update(dt);
}

}  // namespace sfx
