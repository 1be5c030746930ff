#include "platform/audio/Effects.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform::audio {

std::array<float, fx::kParamCount> DefaultEffectParams(int type) {
  std::array<float, fx::kParamCount> p{};
  switch (type) {
    case fx::Echo: p = {50.0f, 50.0f, 500.0f, 500.0f, 0.0f}; break;
    case fx::ParamEq: p = {8000.0f, 12.0f, 0.0f}; break;
    case fx::Chorus: p = {50.0f, 10.0f, 25.0f, 1.1f, 1.0f, 16.0f, 3.0f}; break;
    case fx::Compressor: p = {0.0f, 10.0f, 200.0f, -20.0f, 3.0f, 4.0f}; break;
    case fx::Distortion: p = {-18.0f, 15.0f, 2400.0f, 2400.0f, 8000.0f}; break;
    case fx::Flanger: p = {50.0f, 100.0f, -50.0f, 0.25f, 1.0f, 2.0f, 2.0f}; break;
    case fx::WavesReverb: p = {0.0f, 0.0f, 1000.0f, 0.001f}; break;
    default: break;
  }
  return p;
}

EffectChain::EffectChain(const std::vector<EffectSetting>& settings, uint32_t mixRate) {
  const float rate = static_cast<float>(mixRate);
  for (const EffectSetting& setting : settings) {
    const auto p = setting.set ? setting.params : DefaultEffectParams(setting.type);
    if (setting.type == fx::Echo) {
      Echo echo;
      echo.wet = std::clamp(p[0], 0.0f, 100.0f) / 100.0f;
      echo.feedback = std::clamp(p[1], 0.0f, 100.0f) / 100.0f;
      echo.swap = static_cast<int>(p[4]) != 0;
      const auto frames = [rate](float ms) {
        return std::max<size_t>(1, static_cast<size_t>(std::clamp(ms, 1.0f, 2000.0f) * rate / 1000.0f + 0.5f));
      };
      echo.left.assign(frames(p[2]), 0.0f);
      echo.right.assign(frames(p[3]), 0.0f);
      m_order.emplace_back(true, m_echoes.size());
      m_echoes.push_back(std::move(echo));
    } else if (setting.type == fx::ParamEq) {
      // Audio EQ cookbook peaking filter; the bandwidth in semitones becomes octaves.
      const float centre = std::clamp(p[0], 80.0f, std::min(16000.0f, rate * 0.45f));
      const float octaves = std::clamp(p[1], 1.0f, 36.0f) / 12.0f;
      const float gainDb = std::clamp(p[2], -15.0f, 15.0f);
      const double a = std::pow(10.0, gainDb / 40.0);
      const double w0 = 2.0 * std::numbers::pi * centre / rate;
      const double alpha = std::sin(w0) * std::sinh(std::log(2.0) / 2.0 * octaves * w0 / std::sin(w0));
      const double a0 = 1.0 + alpha / a;
      Equaliser eq;
      eq.b0 = static_cast<float>((1.0 + alpha * a) / a0);
      eq.b1 = static_cast<float>(-2.0 * std::cos(w0) / a0);
      eq.b2 = static_cast<float>((1.0 - alpha * a) / a0);
      eq.a1 = eq.b1;
      eq.a2 = static_cast<float>((1.0 - alpha / a) / a0);
      m_order.emplace_back(false, m_equalisers.size());
      m_equalisers.push_back(eq);
    }
  }
}

void EffectChain::Process(float* frames, uint32_t count) {
  for (const auto& [isEcho, index] : m_order) {
    if (isEcho) {
      Echo& e = m_echoes[index];
      for (uint32_t i = 0; i < count; ++i) {
        float& l = frames[i * 2];
        float& r = frames[i * 2 + 1];
        const float delayedL = e.left[e.atLeft];
        const float delayedR = e.right[e.atRight];
        // With pan delay each repeat feeds the other side's line.
        e.left[e.atLeft] = l + e.feedback * (e.swap ? delayedR : delayedL);
        e.right[e.atRight] = r + e.feedback * (e.swap ? delayedL : delayedR);
        l = l * (1.0f - e.wet) + delayedL * e.wet;
        r = r * (1.0f - e.wet) + delayedR * e.wet;
        if (++e.atLeft == e.left.size()) e.atLeft = 0;
        if (++e.atRight == e.right.size()) e.atRight = 0;
      }
    } else {
      Equaliser& q = m_equalisers[index];
      for (uint32_t i = 0; i < count; ++i)
        for (int c = 0; c < 2; ++c) {
          float& x = frames[i * 2 + c];
          const float y = q.b0 * x + q.state[c][0];
          q.state[c][0] = q.b1 * x - q.a1 * y + q.state[c][1];
          q.state[c][1] = q.b2 * x - q.a2 * y;
          x = std::abs(y) < 1e-20f ? 0.0f : y;  // no denormals in the tail
        }
    }
  }
}

}  // namespace platform::audio
