// Helpers of the block codec tests: encode a 4×4 RGBA block, decode it, measure the error.
#pragma once

#include "dds/block/BlockEncoder.h"
#include "dds/block/DxtDecoder.h"
#include "dds/TextureCompressOptions.h"

#include <cstdint>

namespace dxt_test {

inline dds::TextureCompressOptions Options(int quality, float wr = 1.0f, float wg = 1.0f,
                                           float wb = 1.0f) {
  dds::TextureCompressOptions o;
  o.quality = quality;
  o.weight_r = wr;
  o.weight_g = wg;
  o.weight_b = wb;
  return o;
}

// Encodes and decodes one block; returns the weighted squared RGB error in 0..255 units.
inline double RoundTrip(const dds::TextureCompressOptions& o, const uint8_t rgba[64], int format,
                        uint8_t decoded[64]) {
  const dds::CompressorContext context{&o};
  uint8_t block[16];
  dds::EncodeBlockRGBA(context, rgba, format, block);
  switch (format) {
    case 0:
    case 1:
      dds::DecodeDXT1Block(block, decoded);
      break;
    case 2:
      dds::DecodeDXT3Block(block, decoded);
      break;
    default:
      dds::DecodeDXT5Block(block, decoded);
      break;
  }
  const double w[3] = {o.weight_r, o.weight_g, o.weight_b};
  double e = 0.0;
  for (int p = 0; p < 16; ++p)
    for (int c = 0; c < 3; ++c) {
      const double d = (decoded[4 * p + c] - rgba[4 * p + c]) * w[c];
      e += d * d;
    }
  return e;
}

}  // namespace dxt_test
