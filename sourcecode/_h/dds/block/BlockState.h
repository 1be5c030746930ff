// The plain working records through which the block compressor's stages hand one block to one
// another, and the compressor context that gives the fits the options of the run.
#pragma once

#include <cstdint>

namespace dds {

struct TextureCompressOptions;

constexpr int kMaxBlockPoints = 512;

// One colour block: filled by the block writer, worked on in place by the fits.
struct BlockState {
  int32_t format = 0;        // texture format: 0, 1 DXT1; 2 DXT3; 3, 24 DXT5; 29 ATI2
  int32_t color_policy = 2;  // 0 three-colour mode needed, 1 four-colour only, other: both
  int32_t count = 0;         // colour points, 0..512
  double points[kMaxBlockPoints][3];  // red, green, blue in 0..1
  double weight_r = 1.0, weight_g = 1.0, weight_b = 1.0;  // channel weights of the error
  int32_t quality = 71;
  int32_t color_mode = 4;    // palette size: 4, or 3 (three colours and the special code)
  int32_t red0 = 0, green0 = 0, blue0 = 0;  // endpoint 0: red, blue 0..31, green 0..63
  int32_t red1 = 0, green1 = 0, blue1 = 0;  // endpoint 1
  int32_t indices[kMaxBlockPoints];         // palette index 0..3; −1: skipped by the error
};

// One alpha-style channel of a block.
struct AlphaBlockState {
  int32_t count = 0;                 // values, 1..512
  float values[kMaxBlockPoints];     // 0..1
  int32_t level_count = 8;           // result: 8 or 6
  int32_t alpha0 = 0, alpha1 = 0;    // result: end of level 0 and of the last level, 0..255
  int32_t quality = 71;
  int32_t indices[kMaxBlockPoints];  // result: level index, or the special codes 6 and 7
};

// What the fits may read of the run: the options record. Holds no working state, so one
// context may serve any number of threads.
struct CompressorContext {
  const TextureCompressOptions* options = nullptr;
};

}  // namespace dds
