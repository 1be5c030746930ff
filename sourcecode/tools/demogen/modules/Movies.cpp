// The intro and credits movies: colour bars with a frame counter and a sweeping band, a soft
// chord underneath, encoded as Theora with a Vorbis track in Ogg under the ".bik" names the game
// uses (the player finds the codecs by content). 640 × 400 at a whole 25 frames per second.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "platform/video/ClipTools.h"

namespace demogen {

namespace {

constexpr int kWidth = 640, kHeight = 400, kRate = 25;

// Segments a..g of the digits 0–9, bit 0 = a (top), clockwise, g (middle) last.
constexpr uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

void Fill(uint32_t* pixels, int x0, int y0, int x1, int y1, uint32_t colour) {
  for (int y = std::max(0, y0); y < std::min(kHeight, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(kWidth, x1); ++x) pixels[y * kWidth + x] = colour;
}

void Digit(uint32_t* pixels, int x, int y, int digit, uint32_t colour) {
  const int w = 36, h = 64, t = 7;
  const uint8_t s = kSegments[digit];
  if (s & 0x01) Fill(pixels, x, y, x + w, y + t, colour);
  if (s & 0x02) Fill(pixels, x + w - t, y, x + w, y + h / 2, colour);
  if (s & 0x04) Fill(pixels, x + w - t, y + h / 2, x + w, y + h, colour);
  if (s & 0x08) Fill(pixels, x, y + h - t, x + w, y + h, colour);
  if (s & 0x10) Fill(pixels, x, y + h / 2, x + t, y + h, colour);
  if (s & 0x20) Fill(pixels, x, y, x + t, y + h / 2, colour);
  if (s & 0x40) Fill(pixels, x, y + (h - t) / 2, x + w, y + (h + t) / 2, colour);
}

void PaintFrame(int index, uint32_t* pixels, uint32_t tint) {
  static const uint32_t kBars[7] = {0xFFC0C0C0u, 0xFFC0C000u, 0xFF00C0C0u, 0xFF00C000u,
                                    0xFFC000C0u, 0xFFC00000u, 0xFF0000C0u};
  for (int b = 0; b < 7; ++b) Fill(pixels, b * kWidth / 7, 0, (b + 1) * kWidth / 7, kHeight * 2 / 3, kBars[b]);
  Fill(pixels, 0, kHeight * 2 / 3, kWidth, kHeight, tint);
  const int band = (index * 8) % kWidth;
  Fill(pixels, band, kHeight * 2 / 3, band + 24, kHeight, 0xFFF0F0F0u);
  // The frame number, three digits, on a dark plate in the middle.
  Fill(pixels, kWidth / 2 - 80, kHeight / 3 - 50, kWidth / 2 + 80, kHeight / 3 + 50, 0xFF101010u);
  const int n = index % 1000;
  const int digits[3] = {n / 100, n / 10 % 10, n % 10};
  for (int i = 0; i < 3; ++i) Digit(pixels, kWidth / 2 - 66 + i * 46, kHeight / 3 - 32, digits[i], 0xFFFFFFFFu);
}

bool WriteMovie(cl_Output& out, const std::string& relative, int seconds, uint32_t tint, float root) {
  platform::video::st_ClipSettings settings;
  settings.width = kWidth;
  settings.height = kHeight;
  settings.rateNum = kRate;
  settings.frames = seconds * kRate;
  settings.container = "ogg";
  settings.videoCodec = "libtheora";
  settings.soundCodec = "libvorbis";
  settings.quality = 6;
  // Written through cl_Output so the manifest lists it; the bytes come from the encoder's file.
  if (!out.WriteBytes(relative, "", 0)) return false;
  std::string error;
  const bool written = platform::video::WriteClip(
      out.Full(relative), settings, [tint](int index, uint32_t* pixels) { PaintFrame(index, pixels, tint); },
      [root, seconds](int64_t first, float* stereo, int count) {
        for (int i = 0; i < count; ++i) {
          const float t = static_cast<float>(first + i) / 44100.0f;
          const float fade = std::min(1.0f, std::min(t, seconds - t) * 2.0f);
          const float v = 0.12f * fade *
                          (std::sin(2 * std::numbers::pi_v<float> * root * t) + std::sin(2 * std::numbers::pi_v<float> * root * 1.25f * t) +
                           std::sin(2 * std::numbers::pi_v<float> * root * 1.5f * t)) / 3.0f;
          stereo[i * 2] = stereo[i * 2 + 1] = v;
        }
      },
      &error);
  if (!written) std::fprintf(stderr, "demogen: cannot write %s: %s\n", relative.c_str(), error.c_str());
  return written;
}

}  // namespace

bool MakeMovies(cl_Output& out) {
  return WriteMovie(out, "movie/intro.bik", 4, 0xFF203048u, 220.0f) &&
         WriteMovie(out, "movie/credits.bik", 8, 0xFF402818u, 196.0f);
}

}  // namespace demogen
