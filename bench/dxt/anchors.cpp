#include "anchors.h"

#include <cstring>  // stb_dxt uses memcpy without including it

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>
#pragma GCC diagnostic pop

#include <squish.h>

namespace anchors {

void SquishBlock(const uint8_t* rgba, uint8_t* out, bool dxt5, Squish fit) {
  static float uniform[3] = {1.0f, 1.0f, 1.0f};
  int flags = dxt5 ? squish::kDxt5 : squish::kDxt1;
  flags |= fit == Squish::kRange     ? squish::kColourRangeFit
           : fit == Squish::kCluster ? squish::kColourClusterFit
                                     : squish::kColourIterativeClusterFit;
  squish::Compress(rgba, out, flags, uniform);
}

void StbBlock(const uint8_t* rgba, uint8_t* out, bool dxt5, bool high_quality) {
  stb_compress_dxt_block(out, rgba, dxt5 ? 1 : 0, high_quality ? STB_DXT_HIGHQUAL : STB_DXT_NORMAL);
}

}  // namespace anchors
