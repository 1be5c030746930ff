// Per-voice effects. Echo and the parametric equaliser are heard; the other types are kept as
// settings only. A chain is built with its buffers by the control side, then handed to the mixer,
// which alone runs it (so running needs no lock and allocates nothing).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/audio/SoundTypes.h"

namespace platform::audio {

// One enabled effect of a voice: its type and its parameters as the caller set them.
struct EffectSetting {
  int type = 0;
  std::array<float, fx::kParamCount> params{};
  bool set = false;  // parameters were given (else the type's defaults apply)
};

// The defaults of a type, used until parameters are set (and for types that are only stored).
std::array<float, fx::kParamCount> DefaultEffectParams(int type);

class EffectChain {
 public:
  // Builds the running state for settings at the given mix rate (buffers allocated here).
  EffectChain(const std::vector<EffectSetting>& settings, uint32_t mixRate);
  bool Empty() const { return m_echoes.empty() && m_equalisers.empty() && m_order.empty(); }
  // Runs every heard effect over interleaved stereo frames, in place, in the order enabled.
  void Process(float* frames, uint32_t count);

 private:
  // Echo: wet/dry mix 0..100 %, feedback 0..100 %, left and right delay 1..2000 ms, and pan
  // delay (the echo swaps sides at every repeat).
  struct Echo {
    float wet, feedback;
    bool swap;
    std::vector<float> left, right;
    size_t atLeft = 0, atRight = 0;
  };
  // Peaking biquad: centre 80..16000 Hz, bandwidth 1..36 semitones, gain -15..15 dB.
  struct Equaliser {
    float b0, b1, b2, a1, a2;
    float state[2][2] = {};  // per channel: the two delayed values of the direct form II transposed
  };
  std::vector<Echo> m_echoes;
  std::vector<Equaliser> m_equalisers;
  std::vector<std::pair<bool, size_t>> m_order;  // (is echo, index) in the order enabled
};

}  // namespace platform::audio
