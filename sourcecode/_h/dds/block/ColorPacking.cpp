#include "dds/block/ColorPacking.h"

#include "dds/TextureCompressOptions.h"

#include <algorithm>
#include <cmath>

namespace dds {
namespace {

// Truncation of a float that may be far out of int range or NaN, which (int) leaves undefined.
int TruncClamped(double x, int lo, int hi) {
  if (!(x > lo)) return lo;  // also NaN
  if (x >= hi) return hi;
  return static_cast<int>(x);
}

float Max3(float r, float g, float b) { return std::max(r, std::max(g, b)); }

}  // namespace

float ByteToUnit(uint8_t value) { return value / 255.0f; }

int UnitToByte(float v) { return TruncClamped(v * 255.0f + 0.5f, 0, 255); }

int ClampUnsignedBits(float v, int bits) {
  const int top = (1 << bits) - 1;
  return TruncClamped(v * static_cast<float>(top) + 0.5f, 0, top);
}

int ClampSignedBits(float v, int bits) {
  const int m = (1 << (bits - 1)) - 1;
  const float x = v * static_cast<float>(m);
  if (x >= 0.0f) return TruncClamped(x + 0.5f, 0, m);
  if (!(x - 0.5f > -m)) return -m;
  return static_cast<int>(x - 0.5f);
}

int ClampSigned8(float v) { return ClampSignedBits(v, 8); }

void DecodeRGBE(const uint8_t rgbe[4], float& r, float& g, float& b) {
  if (rgbe[3] == 0) {
    r = g = b = 0.0f;
    return;
  }
  const float f = std::ldexp(1.0f / 255.0f, rgbe[3] - 128);
  r = rgbe[0] * f;
  g = rgbe[1] * f;
  b = rgbe[2] * f;
}

void EncodeRGBE(float r, float g, float b, uint8_t rgbe[4]) {
  const float max = Max3(r, g, b);
  if (!(max >= 1e-32f)) {
    rgbe[0] = rgbe[1] = rgbe[2] = rgbe[3] = 0;
    return;
  }
  int e = 0;
  const float mantissa = std::frexp(max, &e);
  const float factor = mantissa / max * 255.0f;
  rgbe[0] = static_cast<uint8_t>(TruncClamped(r * factor + 0.5f, 0, 255));
  rgbe[1] = static_cast<uint8_t>(TruncClamped(g * factor + 0.5f, 0, 255));
  rgbe[2] = static_cast<uint8_t>(TruncClamped(b * factor + 0.5f, 0, 255));
  rgbe[3] = static_cast<uint8_t>(std::clamp(e, -128, 127) + 128);
}

void EncodeSharedExponent(float r, float g, float b, float out[4]) {
  const float max = Max3(r, g, b);
  if (!(max >= 1e-32f)) {
    out[0] = out[1] = out[2] = out[3] = 0.0f;
    return;
  }
  int e = 0;
  const float scale = std::frexp(max, &e) / max;
  out[0] = std::clamp(r * scale, 0.0f, 1.0f);
  out[1] = std::clamp(g * scale, 0.0f, 1.0f);
  out[2] = std::clamp(b * scale, 0.0f, 1.0f);
  out[3] = static_cast<float>(std::clamp(e, -128, 127) + 128) / 255.0f;
}

float SharedExponentOf(float r, float g, float b) {
  const float max = Max3(r, g, b);
  if (!(max >= 1e-32f)) return 0.0f;
  int e = 0;
  std::frexp(max, &e);
  return static_cast<float>(std::clamp(e, -128, 127) + 128) / 255.0f;
}

int ExponentIndex4(float r, float g, float b) {
  const float max = Max3(r, g, b);
  if (!(max >= 1e-32f)) return 0;
  int e = 0;
  std::frexp(max, &e);
  if (e < -8) return 0;
  return std::min(e, 7) + 8;
}

int CompressedLevelSize(int width, int height, int texture_format) {
  const int blocks = ((width + 3) / 4) * ((height + 3) / 4);
  switch (texture_format) {
    case 0:
    case 1:
      return blocks * 8;
    case 2:
    case 3:
    case 24:
    case 29:
      return blocks * 16;
    default:
      return 0;
  }
}

void SetColorWeights(TextureCompressOptions& options, float r, float g, float b) {
  options.weight_r = std::clamp(r, 0.0f, 1.0f);
  options.weight_g = std::clamp(g, 0.0f, 1.0f);
  options.weight_b = std::clamp(b, 0.0f, 1.0f);
}

void SetColorWeightsByType(TextureCompressOptions& options) {
  switch (options.weighttype) {
    case 0:
      SetColorWeights(options, 0.3086f, 0.6094f, 0.082f);
      break;
    case 1:
      SetColorWeights(options, 1.0f, 1.0f, 1.0f);
      break;
    case 2:
      SetColorWeights(options, 0.4f, 0.4f, 0.2f);
      break;
    default:
      break;
  }
}

}  // namespace dds
