// The public encoders the block codec is measured against, behind one small interface.
#pragma once

#include <cstdint>

namespace anchors {

enum class Squish { kRange, kCluster, kIterative };

// One 4×4 RGBA block (row-major) to DXT1 (8 bytes) or DXT5 (16 bytes), uniform colour metric.
void SquishBlock(const uint8_t* rgba, uint8_t* out, bool dxt5, Squish fit);
// stb_dxt: high quality or normal mode.
void StbBlock(const uint8_t* rgba, uint8_t* out, bool dxt5, bool high_quality);

}  // namespace anchors
