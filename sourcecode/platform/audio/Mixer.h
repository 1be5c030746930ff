// The mixer: a fixed set of voices summed in float at the mix rate into 16-bit stereo, softly
// limited. The control side (the sound library's calls) publishes what a voice plays as an
// immutable setup and sets levels through atomics; the mixing side (the audio callback, or the
// caller without a device) allocates nothing and reads no file (the locks: SoundLibrary.h). A
// setup the control side replaces is freed only once no mix can still be reading it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio/Decoder.h"
#include "platform/audio/Effects.h"
#include "platform/audio/FrameRing.h"

namespace platform::audio {

// What one voice plays: a sample or a stream's ring, with its effects. Only the mixer touches the
// effect state once the setup is published.
struct VoiceSetup {
  std::shared_ptr<const PcmData> sample;  // a sample, or
  std::shared_ptr<FrameRing> ring;        // a stream's decoded frames
  bool loop = false;
  uint32_t generation = 0;  // a new generation starts from frame 0; the same one keeps the position
  std::unique_ptr<EffectChain> effects;
  uint64_t serial = 0;  // set by Publish: tells setups apart even when one reuses another's address
};

// What the mixer last reported of a voice.
struct VoiceStatus {
  uint32_t generation = 0;  // low 24 bits of the setup's generation
  bool ended = false;       // the source ran out (non-looping sample, finished stream)
  uint64_t position = 0;    // frames played since the generation started
};

// The video sound: 44.1 kHz stereo frames pushed by one producer, mixed at their own gain.
class ExternalVoice {
 public:
  explicit ExternalVoice(uint32_t capacityFrames) : m_ring(capacityFrames) {}
  // Producer: queues up to count interleaved stereo frames; returns how many fitted.
  uint32_t Write(const float* frames, uint32_t count) { return m_ring.Write(frames, count); }
  // Frames queued and not yet mixed.
  uint32_t Queued() const { return m_ring.Available(); }
  uint32_t Capacity() const { return m_ring.Capacity(); }
  // Linear gain, 0..1 (clamped); 1 at start.
  void SetVolume(float volume);
  float Volume() const { return m_volume.load(std::memory_order_relaxed); }
  // Asks the mixer to drop what is queued (a seek or a closed video); done by the next mix.
  void Clear() { m_clear.store(true, std::memory_order_release); }
  // True until the mixer has done the last Clear: a producer holds new frames back meanwhile.
  bool ClearPending() const { return m_clear.load(std::memory_order_acquire); }

 private:
  friend class Mixer;
  FrameRing m_ring;
  std::atomic<float> m_volume{1.0f};
  std::atomic<bool> m_clear{false};
};

class Mixer {
 public:
  Mixer(int voices, uint32_t mixRate);
  ~Mixer();
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  int VoiceCount() const { return static_cast<int>(m_voices.size()); }
  uint32_t MixRate() const { return m_mixRate; }

  // ---- control side (one thread at a time)
  // Makes setup what the voice plays from the next mix on; null silences the voice.
  void Publish(int voice, std::unique_ptr<VoiceSetup> setup);
  // The setup last published for a voice (null when silent).
  const VoiceSetup* Published(int voice) const;
  // Volume 0..255; pan 0..255 (128 plays both sides at full level, 0 and 255 silence a side).
  void SetLevels(int voice, int volume, int pan);
  void SetPaused(int voice, bool paused);
  VoiceStatus Status(int voice) const;
  // Frees replaced setups that no mix can still read; true when none is left waiting.
  bool CollectRetired();
  // Dry spells of streams still playing (each counted once, however long), since construction.
  uint64_t Underruns() const { return m_underruns.load(std::memory_order_relaxed); }
  ExternalVoice& External() { return m_external; }

  // ---- mixing side (one thread at a time)
  // Mixes frames stereo frames into out (interleaved 16-bit); a sum beyond 0.8 of full scale is
  // bent softly below it.
  void Mix(int16_t* out, uint32_t frames);

 private:
  struct Shared;    // per voice: what the two sides exchange
  struct Running;   // per voice: the mixing side's own state
  void MixChunk(int16_t* out, uint32_t frames);
  // Renders a voice's source at unity gain into m_voiceBuffer; returns the frames rendered.
  uint32_t Render(Running& run, const VoiceSetup& setup, uint32_t frames);

  uint32_t m_mixRate;
  std::vector<std::unique_ptr<Shared>> m_voices;
  std::vector<Running> m_running;
  std::vector<float> m_accumulator;
  std::vector<float> m_voiceBuffer;
  std::atomic<uint64_t> m_mixEnter{0};
  std::atomic<uint64_t> m_mixLeave{0};
  std::atomic<uint64_t> m_underruns{0};
  uint64_t m_nextSerial = 1;
  std::vector<std::pair<uint64_t, std::unique_ptr<VoiceSetup>>> m_retired;  // (mix count, setup)
  ExternalVoice m_external;
};

}  // namespace platform::audio
