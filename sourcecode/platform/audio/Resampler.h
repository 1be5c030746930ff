// Linear-interpolation rate conversion of interleaved float frames, for samples converted once at
// load and for streams converted block by block as they are decoded (the state carries over).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::audio {

class Resampler {
 public:
  Resampler(uint32_t inRate, uint32_t outRate, uint32_t channels);

  // Appends the output for inFrames more input frames to out.
  void Process(const float* in, size_t inFrames, std::vector<float>& out);
  // Forgets the carried state (a stream that starts again from its beginning).
  void Reset();

  uint32_t Channels() const { return m_channels; }
  // Output frames for a whole input of the given length.
  static uint64_t OutputFrames(uint64_t inFrames, uint32_t inRate, uint32_t outRate);

 private:
  uint32_t m_channels;
  double m_step;   // input frames per output frame
  double m_pos;    // next output position, in input frames counted from m_prev
  bool m_same;     // equal rates: a plain copy
  float m_prev[8] = {};
};

}  // namespace platform::audio
