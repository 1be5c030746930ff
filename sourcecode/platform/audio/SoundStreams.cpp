// Streams, effects and the listener of the sound library. A stream's file is read in Update only
// (the update thread), except for a stream opened without mode::NonBlocking.
#include <algorithm>

#include "platform/audio/Log.h"
#include "platform/audio/SoundLibrary.h"
#include "platform/os/Path.h"

namespace platform::audio {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr uint32_t kDecodeBlock = 2048;  // source frames decoded per step of a refill
constexpr int kEffectBits = 4;           // effect ids: voice index above, slot below
constexpr size_t kMaxEffects = 1 << kEffectBits;

}  // namespace

// ---- streams

StreamId SoundLibrary::OpenStream(const char* path, uint32_t mode) {
  Lock lock(m_lock);
  m_error = kOk;
  if (!m_mixer) return Fail(kErrNotInitialised), StreamId::None;
  if (!path || !*path) return Fail(kErrInvalidParam), StreamId::None;
  StreamRecord stream;
  stream.path = path;
  stream.mode = mode;
  if (!(mode & mode::NonBlocking) && !OpenStreamNow(stream)) return StreamId::None;
  const int32_t id = m_nextId++;
  m_streams.emplace(id, std::move(stream));
  return static_cast<StreamId>(id);
}

// Opens the file and its decoder and fills the buffer; on failure logs one line, sets the error
// and marks the stream failed.
bool SoundLibrary::OpenStreamNow(StreamRecord& stream) {
  std::FILE* file = platform::os::OpenResolved(stream.path.c_str(), "rb");
  if (!file) {
    Log("ERROR: sound stream '%s': file not found\n", stream.path.c_str());
    stream.state = openstate::Failed;
    return Fail(kErrFileNotFound);
  }
  std::string problem;
  stream.decoder = OpenDecoder(ByteSource::FromFile(file), problem);
  if (!stream.decoder) {
    Log("ERROR: sound stream '%s': %s\n", stream.path.c_str(), problem.c_str());
    stream.state = openstate::Failed;
    return Fail(kErrFileFormat);
  }
  stream.resampler = std::make_unique<Resampler>(stream.decoder->Rate(), m_mixer->MixRate(), 2);
  stream.ring = std::make_shared<FrameRing>(m_mixer->MixRate() * static_cast<uint32_t>(m_streamBufferMs) / 1000);
  stream.state = openstate::Ready;
  Refill(stream);
  return true;
}

// Decodes until the ring is full or the source has ended. A source that breaks mid-way ends there.
void SoundLibrary::Refill(StreamRecord& stream) {
  Decoder& decoder = *stream.decoder;
  const uint32_t channels = decoder.Channels();
  std::vector<float> block(size_t{kDecodeBlock} * channels);
  std::vector<float> stereo(size_t{kDecodeBlock} * 2);
  for (;;) {
    const size_t pendingFrames = stream.pending.size() / 2;
    if (stream.pendingAt < pendingFrames) {
      stream.pendingAt += stream.ring->Write(stream.pending.data() + stream.pendingAt * 2,
                                             static_cast<uint32_t>(pendingFrames - stream.pendingAt));
      if (stream.pendingAt < pendingFrames) return;  // full
    }
    stream.pending.clear();
    stream.pendingAt = 0;
    if (stream.sourceDone) {
      stream.ring->SetFinished(true);
      return;
    }
    const long got = decoder.Read(block.data(), kDecodeBlock);
    if (got < 0) {
      Log("ERROR: sound stream '%s': %s; it ends here\n", stream.path.c_str(), decoder.Problem().c_str());
      stream.sourceDone = true;
      continue;
    }
    if (got == 0) {
      // A looping stream starts over, unless it gave nothing since the last start (empty file).
      if ((stream.mode & mode::Loop) && stream.decodedSinceRewind && decoder.Rewind()) {
        stream.decodedSinceRewind = false;
      } else {
        stream.sourceDone = true;
      }
      continue;
    }
    stream.decodedSinceRewind = true;
    for (long i = 0; i < got; ++i) {
      const float* frame = block.data() + i * channels;
      stereo[i * 2] = frame[0];
      stereo[i * 2 + 1] = channels >= 2 ? frame[1] : frame[0];
    }
    stream.resampler->Process(stereo.data(), static_cast<size_t>(got), stream.pending);
  }
}

void SoundLibrary::RewindStream(StreamRecord& stream) {
  if (!stream.decoder) return;
  stream.sourceDone = !stream.decoder->Rewind();
  stream.decodedSinceRewind = false;
  stream.resampler->Reset();
  stream.pending.clear();
  stream.pendingAt = 0;
  // The old ring may still be read by a mix in flight; a new one starts clean.
  stream.ring = std::make_shared<FrameRing>(stream.ring->Capacity());
}

void SoundLibrary::Update() {
  Lock lock(m_lock);
  if (!m_mixer) return;
  const int saved = m_error;
  for (auto& [id, stream] : m_streams) {
    if (stream.state == openstate::Opening) OpenStreamNow(stream);
    else if (stream.state == openstate::Ready) Refill(stream);
  }
  m_mixer->CollectRetired();
  m_error = saved;
}

int SoundLibrary::StreamOpenState(StreamId stream) const {
  Lock lock(m_lock);
  m_error = kOk;
  auto it = m_streams.find(static_cast<int32_t>(stream));
  if (it == m_streams.end()) return Fail(kErrInvalidParam), openstate::Failed;
  return it->second.state;
}

uint32_t SoundLibrary::StreamLengthMs(StreamId stream) const {
  Lock lock(m_lock);
  m_error = kOk;
  auto it = m_streams.find(static_cast<int32_t>(stream));
  if (it == m_streams.end()) return Fail(kErrInvalidParam), 0;
  const Decoder* decoder = it->second.decoder.get();
  if (!decoder || decoder->Rate() == 0) return 0;
  return static_cast<uint32_t>(decoder->Frames() * 1000 / decoder->Rate());
}

int SoundLibrary::PlayStream(int voice, StreamId id) {
  Lock lock(m_lock);
  m_error = kOk;
  if (!m_mixer) return Fail(kErrNotInitialised), -1;
  auto it = m_streams.find(static_cast<int32_t>(id));
  if (it == m_streams.end() || it->second.state != openstate::Ready) return Fail(kErrInvalidParam), -1;
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
  if (milliseconds < 50 || milliseconds > 5000) return Fail(kErrInvalidParam);
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
  RewindStream(stream);
  return true;
}

bool SoundLibrary::CloseStream(StreamId id) {
  Lock lock(m_lock);
  m_error = kOk;
  auto it = m_streams.find(static_cast<int32_t>(id));
  if (it == m_streams.end()) return Fail(kErrInvalidParam);
  if (Voice* voice = Find(it->second.handle); voice && voice->stream == id)
    Silence(static_cast<int>(voice - m_voices.data()));
  m_streams.erase(it);
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
