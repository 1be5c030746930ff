#include "platform/audio/Mixer.h"

#include <algorithm>
#include <cmath>

namespace platform::audio {
namespace {

constexpr uint32_t kChunk = 1024;                 // frames mixed per pass over the voices
constexpr uint32_t kExternalCapacity = kMixRate;  // one second of video sound may wait

// Status word: generation (24 bits) | ended (1 bit) | position (39 bits).
constexpr uint64_t Pack(uint32_t generation, bool ended, uint64_t position) {
  return uint64_t{generation & 0xFFFFFFu} << 40 | uint64_t{ended} << 39 | (position & ((uint64_t{1} << 39) - 1));
}

// The sum passes unchanged up to kKnee of full scale; above it bends smoothly (its slope is 1 at
// the knee) towards kCeiling and never reaches it. Speech or steps over loud music are squeezed
// instead of cut flat, which is heard as a crackle, and no sample lands on full scale.
constexpr float kKnee = 0.8f, kCeiling = 0.98f;

float SoftLimit(float v) {
  if (!(v == v)) return 0.0f;  // a NaN is silence
  const float size = std::fabs(v);
  if (size <= kKnee) return v;
  constexpr float room = kCeiling - kKnee;
  return std::copysign(kKnee + room * std::tanh((size - kKnee) / room), v);
}

}  // namespace

struct Mixer::Shared {
  std::atomic<VoiceSetup*> setup{nullptr};
  std::unique_ptr<VoiceSetup> owned;  // control side: the published setup
  std::atomic<int> volume{255};
  std::atomic<int> pan{128};
  std::atomic<bool> paused{false};
  std::atomic<uint64_t> status{0};
};

struct Mixer::Running {
  uint64_t serial = 0;
  uint32_t generation = 0;
  uint64_t position = 0;
  bool ended = false;
};

void ExternalVoice::SetVolume(float volume) {
  m_volume.store(std::clamp(volume, 0.0f, 1.0f), std::memory_order_relaxed);
}

Mixer::Mixer(int voices, uint32_t mixRate)
    : m_mixRate(mixRate),
      m_running(static_cast<size_t>(voices)),
      m_accumulator(size_t{kChunk} * 2),
      m_voiceBuffer(size_t{kChunk} * 2),
      m_external(kExternalCapacity) {
  m_voices.reserve(static_cast<size_t>(voices));
  for (int i = 0; i < voices; ++i) m_voices.push_back(std::make_unique<Shared>());
}

Mixer::~Mixer() = default;

// ---- control side

void Mixer::Publish(int voice, std::unique_ptr<VoiceSetup> setup) {
  Shared& shared = *m_voices[static_cast<size_t>(voice)];
  if (setup) setup->serial = m_nextSerial++;
  shared.setup.store(setup.get(), std::memory_order_seq_cst);
  // Every mix begun before this load may still hold the old setup; later ones see the new one.
  const uint64_t begun = m_mixEnter.load(std::memory_order_seq_cst);
  if (shared.owned) m_retired.emplace_back(begun, std::move(shared.owned));
  shared.owned = std::move(setup);
  CollectRetired();
}

const VoiceSetup* Mixer::Published(int voice) const { return m_voices[static_cast<size_t>(voice)]->owned.get(); }

void Mixer::SetLevels(int voice, int volume, int pan) {
  Shared& shared = *m_voices[static_cast<size_t>(voice)];
  shared.volume.store(std::clamp(volume, 0, 255), std::memory_order_relaxed);
  shared.pan.store(std::clamp(pan, 0, 255), std::memory_order_relaxed);
}

void Mixer::SetPaused(int voice, bool paused) {
  m_voices[static_cast<size_t>(voice)]->paused.store(paused, std::memory_order_relaxed);
}

VoiceStatus Mixer::Status(int voice) const {
  const uint64_t word = m_voices[static_cast<size_t>(voice)]->status.load(std::memory_order_acquire);
  return VoiceStatus{static_cast<uint32_t>(word >> 40), ((word >> 39) & 1) != 0, word & ((uint64_t{1} << 39) - 1)};
}

bool Mixer::CollectRetired() {
  const uint64_t finished = m_mixLeave.load(std::memory_order_seq_cst);
  std::erase_if(m_retired, [finished](const auto& entry) { return finished >= entry.first; });
  return m_retired.empty();
}

// ---- mixing side

void Mixer::Mix(int16_t* out, uint32_t frames) {
  m_mixEnter.fetch_add(1, std::memory_order_seq_cst);
  while (frames > 0) {
    const uint32_t n = std::min(frames, kChunk);
    MixChunk(out, n);
    out += size_t{n} * 2;
    frames -= n;
  }
  m_mixLeave.fetch_add(1, std::memory_order_seq_cst);
}

uint32_t Mixer::Render(Running& run, const VoiceSetup& setup, uint32_t frames) {
  float* out = m_voiceBuffer.data();
  uint32_t done = 0;
  if (setup.sample) {
    const PcmData& pcm = *setup.sample;
    constexpr float k = 1.0f / 32768.0f;
    while (done < frames) {
      if (run.position >= pcm.frames) {
        if (!setup.loop || pcm.frames == 0) {
          run.ended = true;
          break;
        }
        run.position = 0;
      }
      const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(frames - done, pcm.frames - run.position));
      const int16_t* src = pcm.samples.data() + run.position * pcm.channels;
      float* dst = out + size_t{done} * 2;
      if (pcm.channels == 1) {
        for (uint32_t i = 0; i < take; ++i) dst[i * 2] = dst[i * 2 + 1] = src[i] * k;
      } else {
        for (uint32_t i = 0; i < take * 2; ++i) dst[i] = src[i] * k;
      }
      done += take;
      run.position += take;
    }
  } else if (setup.ring) {
    FrameRing& ring = *setup.ring;
    done = ring.Read(out, frames);
    run.position += done;
    if (done < frames && ring.Finished() && ring.Available() == 0)
      run.ended = true;
    else if (ring.NoteRead(done < frames))
      m_underruns.fetch_add(1, std::memory_order_relaxed);
  } else {
    run.ended = true;
  }
  std::fill(out + size_t{done} * 2, out + size_t{frames} * 2, 0.0f);
  return done;
}

void Mixer::MixChunk(int16_t* out, uint32_t frames) {
  float* acc = m_accumulator.data();
  std::fill(acc, acc + size_t{frames} * 2, 0.0f);
  const float* voice = m_voiceBuffer.data();

  for (size_t v = 0; v < m_voices.size(); ++v) {
    Shared& shared = *m_voices[v];
    Running& run = m_running[v];
    VoiceSetup* setup = shared.setup.load(std::memory_order_seq_cst);
    if (!setup) continue;
    if (setup->serial != run.serial) {
      if (setup->generation != run.generation || run.serial == 0) {
        run.position = 0;
        run.ended = false;
      }
      run.serial = setup->serial;
      run.generation = setup->generation;
    }
    if (!run.ended && !shared.paused.load(std::memory_order_relaxed)) {
      Render(run, *setup, frames);
      if (setup->effects) setup->effects->Process(m_voiceBuffer.data(), frames);
      const int volume = shared.volume.load(std::memory_order_relaxed);
      const int pan = shared.pan.load(std::memory_order_relaxed);
      const float gain = static_cast<float>(volume) / 255.0f;
      const float left = gain * (pan <= 128 ? 1.0f : static_cast<float>(255 - pan) / 127.0f);
      const float right = gain * (pan >= 128 ? 1.0f : static_cast<float>(pan) / 128.0f);
      for (uint32_t i = 0; i < frames; ++i) {
        acc[i * 2] += voice[i * 2] * left;
        acc[i * 2 + 1] += voice[i * 2 + 1] * right;
      }
    }
    shared.status.store(Pack(run.generation, run.ended, run.position), std::memory_order_release);
  }

  if (m_external.m_clear.exchange(false, std::memory_order_acq_rel)) m_external.m_ring.Drain();
  const uint32_t got = m_external.m_ring.Read(m_voiceBuffer.data(), frames);
  const float externalGain = m_external.Volume();
  for (uint32_t i = 0; i < got * 2; ++i) acc[i] += voice[i] * externalGain;

  for (uint32_t i = 0; i < frames * 2; ++i) out[i] = static_cast<int16_t>(SoftLimit(acc[i]) * 32768.0f);
}

}  // namespace platform::audio
