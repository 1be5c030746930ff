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

namespace {

// Interpolates C-channel frames (C 0: channels at run time) from position *pos on while the next
// input frame is in this block; returns the output's end. The position is never negative, so a
// conversion to an integer is its floor (no call to floor() per frame).
template <uint32_t C>
float* Interpolate(const float* in, size_t inFrames, const float* prev, uint32_t channels, double step, double* pos,
                   float* o, const float* end) {
  const uint32_t c = C ? C : channels;
  double p = *pos;
  while (o < end) {
    const size_t whole = static_cast<size_t>(p);  // 0 reads prev, k the block's frame k - 1
    if (whole >= inFrames) break;
    const float f = static_cast<float>(p - static_cast<double>(whole));
    const float* a = whole == 0 ? prev : in + (whole - 1) * c;
    const float* b = in + whole * c;
    for (uint32_t ch = 0; ch < c; ++ch) *o++ = a[ch] + (b[ch] - a[ch]) * f;
    p += step;
  }
  *pos = p;
  return o;
}

}  // namespace

// Output k lies at m_pos input frames after m_prev: m_pos 1.0 is the block's first frame. The
// first output of a source is its first frame (m_pos starts at 1.0), so nothing is shifted. The
// output is sized once for the block and written in place.
void Resampler::Process(const float* in, size_t inFrames, std::vector<float>& out) {
  const uint32_t c = m_channels;
  if (inFrames == 0) return;
  const size_t at = out.size();
  if (m_same) {
    out.resize(at + inFrames * c);
    std::copy(in, in + inFrames * c, out.data() + at);
    return;
  }
  const double n = static_cast<double>(inFrames);
  const size_t most = m_pos <= n ? static_cast<size_t>((n - m_pos) / m_step) + 2 : 0;
  out.resize(at + most * c);
  float* o = out.data() + at;
  const float* end = o + most * c;
  switch (c) {
    case 1: o = Interpolate<1>(in, inFrames, m_prev, c, m_step, &m_pos, o, end); break;
    case 2: o = Interpolate<2>(in, inFrames, m_prev, c, m_step, &m_pos, o, end); break;
    default: o = Interpolate<0>(in, inFrames, m_prev, c, m_step, &m_pos, o, end); break;
  }
  // Exactly on the block's last frame: that frame itself, which needs nothing of the next block.
  if (m_pos == n && o < end) {
    std::copy(in + (inFrames - 1) * c, in + inFrames * c, o);
    o += c;
    m_pos += m_step;
  }
  out.resize(static_cast<size_t>(o - out.data()));
  m_pos -= n;
  std::copy(in + (inFrames - 1) * c, in + inFrames * c, m_prev);
}

}  // namespace platform::audio
