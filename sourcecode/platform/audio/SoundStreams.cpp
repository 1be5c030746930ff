// Streams, effects and the listener of the sound library. A stream's file is read by whoever feeds
// the streams (StreamFeed.h), or by the caller of OpenStream without mode::NonBlocking.
#include <algorithm>

#include "platform/audio/Log.h"
#include "platform/audio/SoundLibrary.h"

namespace platform::audio {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr int kEffectBits = 4;           // effect ids: voice index above, slot below
constexpr size_t kMaxEffects = 1 << kEffectBits;

}  // namespace

// ---- streams

StreamId SoundLibrary::OpenStream(const char* path, uint32_t mode) {
  std::shared_ptr<StreamFeed> feed;
  {
    Lock lock(m_lock);
    m_error = kOk;
    if (!m_mixer) return Fail(kErrNotInitialised), StreamId::None;
    if (!path || !*path) return Fail(kErrInvalidParam), StreamId::None;
    feed = std::make_shared<StreamFeed>(path, mode, m_mixer->MixRate(),
                                        m_mixer->MixRate() * static_cast<uint32_t>(m_streamBufferMs) / 1000);
  }
  // A blocking open waits for the file without the lock, so other threads' calls go on meanwhile.
  const bool blocking = !(mode & mode::NonBlocking);
  const int error = blocking ? feed->OpenNow() : kOk;
  Lock lock(m_lock);
  // A file a thread still waits for is refused here at once, with its line.
  if (error == kOk && m_mixer && m_output == Output::Device) m_streamThreads.Add(feed);
  Report(*feed);
  if (error != kOk) return Fail(error), StreamId::None;
  if (!m_mixer) return Fail(kErrNotInitialised), StreamId::None;  // closed meanwhile
  const int32_t id = m_nextId++;
  m_streams.emplace(id, StreamRecord{std::move(feed), -1, blocking});
  return static_cast<StreamId>(id);
}

void SoundLibrary::FillStreams() {
  for (auto& [id, stream] : m_streams) stream.feed->Fill();
}

void SoundLibrary::Report(StreamFeed& feed) {
  if (feed.State() == openstate::Ready) m_refusalsTold.erase(feed.Path());
  for (const StreamMessage& message : feed.TakeMessages()) {
    if (message.refusal && !m_refusalsTold[feed.Path()].insert(message.line).second) continue;
    Log("%s", message.line.c_str());
  }
}

void SoundLibrary::ReportStreams() {
  for (auto& [id, stream] : m_streams) Report(*stream.feed);
}

void SoundLibrary::Update() {
  Lock lock(m_lock);
  if (!m_mixer) return;
  const int saved = m_error;
  if (m_output == Output::Pull) FillStreams();
  if (m_output == Output::Device) m_streamThreads.GiveUpStalled();
  if (m_output != Output::Stepped) ReportStreams();  // a stepped mix reports on the mixing thread
  m_mixer->CollectRetired();
  m_error = saved;
}

int SoundLibrary::StreamOpenState(StreamId stream) const {
  Lock lock(m_lock);
  m_error = kOk;
  auto it = m_streams.find(static_cast<int32_t>(stream));
  if (it == m_streams.end()) return Fail(kErrInvalidParam), openstate::Failed;
  const int state = it->second.feed->State();
  if (state == openstate::Ready) it->second.seenReady = true;
  return state;
}

uint32_t SoundLibrary::StreamLengthMs(StreamId stream) const {
  Lock lock(m_lock);
  m_error = kOk;
  auto it = m_streams.find(static_cast<int32_t>(stream));
  if (it == m_streams.end()) return Fail(kErrInvalidParam), 0;
  return it->second.seenReady ? it->second.feed->LengthMs() : 0;
}

int SoundLibrary::PlayStream(int voice, StreamId id) {
  Lock lock(m_lock);
  m_error = kOk;
  if (!m_mixer) return Fail(kErrNotInitialised), -1;
  auto it = m_streams.find(static_cast<int32_t>(id));
  if (it == m_streams.end() || it->second.feed->State() != openstate::Ready) return Fail(kErrInvalidParam), -1;
  StreamRecord& stream = it->second;
  // One reader per ring: a stream already on a voice leaves it.
  if (Voice* old = Find(stream.handle); old && old->stream == id) Silence(static_cast<int>(old - m_voices.data()));
  const int index = TakeVoice(voice);
  if (index < 0) return -1;
  Claim(index).stream = id;
  PublishVoice(index, true);
  stream.handle = Handle(index);
  return stream.handle;
}

bool SoundLibrary::SetStreamBufferMs(int milliseconds) {
  Lock lock(m_lock);
  m_error = kOk;
  if (milliseconds < kMinStreamBufferMs || milliseconds > kMaxStreamBufferMs) return Fail(kErrInvalidParam);
  m_streamBufferMs = milliseconds;
  return true;
}

bool SoundLibrary::StopStream(StreamId id) {
  Lock lock(m_lock);
  m_error = kOk;
  auto it = m_streams.find(static_cast<int32_t>(id));
  if (it == m_streams.end()) return Fail(kErrInvalidParam);
  StreamRecord& stream = it->second;
  if (Voice* voice = Find(stream.handle); voice && voice->stream == id) Silence(static_cast<int>(voice - m_voices.data()));
  stream.handle = -1;
  stream.feed->Rewind();
  if (m_output == Output::Device) m_streamThreads.Wake(stream.feed.get());
  return true;
}

bool SoundLibrary::CloseStream(StreamId id) {
  Lock lock(m_lock);
  m_error = kOk;
  auto it = m_streams.find(static_cast<int32_t>(id));
  if (it == m_streams.end()) return Fail(kErrInvalidParam);
  if (Voice* voice = Find(it->second.handle); voice && voice->stream == id)
    Silence(static_cast<int>(voice - m_voices.data()));
  it->second.feed->Close();
  m_streamThreads.Remove(it->second.feed.get());
  Report(*it->second.feed);  // a stream that ran dry just before it was closed is still told
  m_streams.erase(it);
  return true;
}

bool SoundLibrary::SetStreamLoop(StreamId id, bool loop) {
  Lock lock(m_lock);
  m_error = kOk;
  auto it = m_streams.find(static_cast<int32_t>(id));
  if (it == m_streams.end()) return Fail(kErrInvalidParam);
  it->second.feed->SetLoop(loop);
  if (m_output == Output::Device) m_streamThreads.Wake(it->second.feed.get());  // before the mix reaches the next run
  return true;
}

// ---- effects

int SoundLibrary::EnableEffect(int handle, int type) {
  Lock lock(m_lock);
  m_error = kOk;
  Voice* voice = Find(handle);
  if (!voice || type < 0 || type >= fx::kTypeCount || voice->effects.size() >= kMaxEffects)
    return Fail(kErrInvalidParam), -1;
  auto sample = m_samples.find(static_cast<int32_t>(voice->sample));
  if (sample == m_samples.end() || !(sample->second.mode & mode::Effects)) return Fail(kErrInvalidParam), -1;
  EffectSetting setting;
  setting.type = type;
  setting.params = DefaultEffectParams(type);
  voice->effects.push_back(setting);
  const int index = static_cast<int>(voice - m_voices.data());
  PublishVoice(index, false);
  return index << kEffectBits | static_cast<int>(voice->effects.size() - 1);
}

bool SoundLibrary::DisableEffects(int handle) {
  Lock lock(m_lock);
  m_error = kOk;
  Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam);
  if (voice->effects.empty()) return true;
  voice->effects.clear();
  PublishVoice(static_cast<int>(voice - m_voices.data()), false);
  return true;
}

EffectSetting* SoundLibrary::FindEffect(int effect, int* index) const {
  if (effect < 0) return nullptr;
  const size_t voice = static_cast<size_t>(effect >> kEffectBits);
  const size_t slot = static_cast<size_t>(effect) & (kMaxEffects - 1);
  if (voice >= m_voices.size() || !m_voices[voice].busy || slot >= m_voices[voice].effects.size()) return nullptr;
  *index = static_cast<int>(voice);
  return const_cast<EffectSetting*>(&m_voices[voice].effects[slot]);
}

bool SoundLibrary::SetEffectParams(int effect, const float* params, int count) {
  Lock lock(m_lock);
  m_error = kOk;
  int index = 0;
  EffectSetting* setting = FindEffect(effect, &index);
  if (!setting || !params || count < 0 || count > fx::kParamCount) return Fail(kErrInvalidParam);
  std::copy(params, params + count, setting->params.begin());
  setting->set = true;
  PublishVoice(index, false);
  return true;
}

bool SoundLibrary::SetEcho(int effect, float wetDry, float feedback, float leftDelayMs, float rightDelayMs,
                           int panDelay) {
  Lock lock(m_lock);
  int index = 0;
  const EffectSetting* setting = FindEffect(effect, &index);
  if (!setting || setting->type != fx::Echo) return Fail(kErrInvalidParam);
  const float params[] = {wetDry, feedback, leftDelayMs, rightDelayMs, static_cast<float>(panDelay)};
  return SetEffectParams(effect, params, 5);
}

bool SoundLibrary::SetParamEq(int effect, float centreHz, float bandwidthSemitones, float gainDb) {
  Lock lock(m_lock);
  int index = 0;
  const EffectSetting* setting = FindEffect(effect, &index);
  if (!setting || setting->type != fx::ParamEq) return Fail(kErrInvalidParam);
  const float params[] = {centreHz, bandwidthSemitones, gainDb};
  return SetEffectParams(effect, params, 3);
}

bool SoundLibrary::GetEffectParams(int effect, float out[fx::kParamCount]) const {
  Lock lock(m_lock);
  m_error = kOk;
  int index = 0;
  const EffectSetting* setting = FindEffect(effect, &index);
  if (!setting) return Fail(kErrInvalidParam);
  std::copy(setting->params.begin(), setting->params.end(), out);
  return true;
}

// ---- listener

bool SoundLibrary::SetListener(const float position[3], const float velocity[3], const float forward[3],
                               const float up[3]) {
  Lock lock(m_lock);
  m_error = kOk;
  (void)velocity;  // nothing moves relative to the listener
  if (!m_mixer) return Fail(kErrNotInitialised);
  if (position) std::copy(position, position + 3, m_listener);
  if (forward) std::copy(forward, forward + 3, m_listener + 3);
  if (up) std::copy(up, up + 3, m_listener + 6);
  return true;
}

bool SoundLibrary::SetDistanceFactor(float factor) {
  Lock lock(m_lock);
  m_error = kOk;
  if (!(factor > 0.0f)) return Fail(kErrInvalidParam);
  m_distanceFactor = factor;
  return true;
}

float SoundLibrary::DistanceFactor() const {
  Lock lock(m_lock);
  return m_distanceFactor;
}

void SoundLibrary::GetListener(float position[3], float forward[3], float up[3]) const {
  Lock lock(m_lock);
  std::copy(m_listener, m_listener + 3, position);
  std::copy(m_listener + 3, m_listener + 6, forward);
  std::copy(m_listener + 6, m_listener + 9, up);
}

}  // namespace platform::audio
