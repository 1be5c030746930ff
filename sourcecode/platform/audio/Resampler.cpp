#include "platform/audio/Resampler.h"

#include <algorithm>
#include <cmath>

namespace platform::audio {

Resampler::Resampler(uint32_t inRate, uint32_t outRate, uint32_t channels)
    : m_channels(std::clamp(channels, 1u, 8u)),
      m_step(static_cast<double>(inRate) / static_cast<double>(outRate ? outRate : 1)),
      m_pos(1.0),
      m_same(inRate == outRate) {}

void Resampler::Reset() {
  m_pos = 1.0;
  std::fill(std::begin(m_prev), std::end(m_prev), 0.0f);
}

uint64_t Resampler::OutputFrames(uint64_t inFrames, uint32_t inRate, uint32_t outRate) {
  if (inRate == outRate || inRate == 0) return inFrames;
  return static_cast<uint64_t>(std::floor(static_cast<double>(inFrames) * outRate / inRate));
}

// Output k lies at m_pos input frames after m_prev: m_pos 1.0 is the block's first frame. The
// first output of a source is its first frame (m_pos starts at 1.0), so nothing is shifted.
void Resampler::Process(const float* in, size_t inFrames, std::vector<float>& out) {
  const uint32_t c = m_channels;
  if (inFrames == 0) return;
  if (m_same) {
    out.insert(out.end(), in, in + inFrames * c);
    return;
  }
  const double n = static_cast<double>(inFrames);
  out.reserve(out.size() + static_cast<size_t>(n / m_step + 2) * c);
  while (m_pos <= n) {
    const double whole = std::floor(m_pos);
    const float f = static_cast<float>(m_pos - whole);
    const long base = static_cast<long>(whole) - 1;  // -1 reads m_prev
    const float* a = base < 0 ? m_prev : in + static_cast<size_t>(base) * c;
    if (base + 1 >= static_cast<long>(inFrames)) {
      // The next input frame is in the next block; exactly on a frame (f == 0) needs only a.
      if (f != 0.0f) break;
      for (uint32_t ch = 0; ch < c; ++ch) out.push_back(a[ch]);
    } else {
      const float* b = in + static_cast<size_t>(base + 1) * c;
      for (uint32_t ch = 0; ch < c; ++ch) out.push_back(a[ch] + (b[ch] - a[ch]) * f);
    }
    m_pos += m_step;
  }
  m_pos -= n;
  std::copy(in + (inFrames - 1) * c, in + inFrames * c, m_prev);
}

}  // namespace platform::audio
