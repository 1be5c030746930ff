// Comparing a rendered frame with a reviewed picture checked in as PNG, within a tolerance, and
// single pixels with an expected colour: shared by the test programs that draw headless.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gpu/Png.h"
#include "platform/gpux/TextureLoad.h"
#include "win32dx9/PngFile.h"

namespace testsupport {

// Channel-wise comparison of the red, green and blue bytes with a tolerance.
inline ::testing::AssertionResult RgbNear(uint32_t actual, uint32_t expected, int tolerance) {
  for (int shift : {16, 8, 0}) {
    const int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
    if (std::abs(a - e) > tolerance)
      return ::testing::AssertionFailure() << std::hex << "0x" << (actual & 0xFFFFFF) << " is not within "
                                           << std::dec << tolerance << " of 0x" << std::hex << (expected & 0xFFFFFF);
  }
  return ::testing::AssertionSuccess();
}

// frame (width x height, 0x??RRGGBB) against the PNG at golden: mean difference at most 3 per
// channel and at most 1 % of pixels off by more than 24. A missing golden, or
// QUILLANE_UPDATE_GOLDEN=1, writes it instead (review it in git diff).
inline ::testing::AssertionResult MatchesGoldenPng(const std::string& golden, std::vector<uint32_t> frame, int width,
                                                   int height) {
  for (uint32_t& p : frame) p |= 0xFF000000u;
  const char* update = std::getenv("QUILLANE_UPDATE_GOLDEN");
  if ((update && std::string(update) == "1") || !std::filesystem::exists(golden)) {
    std::filesystem::create_directories(std::filesystem::path(golden).parent_path());
    if (!win32dx9::SavePng(golden.c_str(), width, height, frame.data(), width * 4, false))
      return ::testing::AssertionFailure() << "cannot write " << golden;
    return ::testing::AssertionSuccess() << "wrote " << golden;
  }
  std::vector<uint8_t> bytes;
  gpux::Image image;
  if (!gpux::ReadWholeFile(golden.c_str(), &bytes) ||
      !gpux::DecodeImage(bytes.data(), bytes.size(), golden.c_str(), &image) || image.width != uint32_t(width) ||
      image.height != uint32_t(height))
    return ::testing::AssertionFailure() << "unreadable golden " << golden;
  const gpu::PictureDifference diff = gpu::ComparePixels(frame.data(), image.pixels.data(), frame.size(), 24);
  const double mean = diff.mean;
  const size_t far = diff.far;
  if (mean > 3.0 || far * 100 > frame.size())
    return ::testing::AssertionFailure() << golden << ": mean difference " << mean << ", " << far << " pixels far off";
  return ::testing::AssertionSuccess();
}

// The frame shrunk by 4 on each axis (mean of each 4 x 4 block): stored pictures stay small.
inline std::vector<uint32_t> Shrink(const std::vector<uint32_t>& frame, int width, int height) {
  std::vector<uint32_t> out(static_cast<size_t>(width / 4) * (height / 4));
  for (int y = 0; y < height / 4; ++y)
    for (int x = 0; x < width / 4; ++x) {
      uint32_t sum[3] = {};
      for (int dy = 0; dy < 4; ++dy)
        for (int dx = 0; dx < 4; ++dx) {
          const uint32_t p = frame[static_cast<size_t>(y * 4 + dy) * width + x * 4 + dx];
          for (int c = 0; c < 3; ++c) sum[c] += (p >> (8 * c)) & 0xFF;
        }
      out[static_cast<size_t>(y) * (width / 4) + x] = (sum[2] / 16) << 16 | (sum[1] / 16) << 8 | sum[0] / 16;
    }
  return out;
}

}  // namespace testsupport
