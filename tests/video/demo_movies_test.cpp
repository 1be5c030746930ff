// The demo's intro and credits as the generator films them from the Quay's painting: each clip
// decodes, and its first picture and one from its middle are painted scenes, not the colour-bar
// card the movies once were.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "picture_look.h"
#include "platform/video/ClipTools.h"

namespace {

namespace fs = std::filesystem;

// A 4:2:0 picture as 0xRRGGBB (studio-range BT.601).
std::vector<uint32_t> ToRgb(const platform::video::st_PlanarFrame& f) {
  std::vector<uint32_t> rgb(static_cast<size_t>(f.width) * f.height);
  const int cw = (f.width + 1) / 2;
  auto clamp = [](float v) { return static_cast<uint32_t>(std::clamp(v, 0.0f, 255.0f)); };
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) {
      const float l = 1.164f * (f.y[static_cast<size_t>(y) * f.width + x] - 16.0f);
      const size_t c = static_cast<size_t>(y / 2) * cw + x / 2;
      const float u = f.cb[c] - 128.0f, v = f.cr[c] - 128.0f;
      rgb[static_cast<size_t>(y) * f.width + x] =
          clamp(l + 1.596f * v) << 16 | clamp(l - 0.392f * u - 0.813f * v) << 8 | clamp(l + 2.017f * u);
    }
  return rgb;
}

TEST(DemoMovies, IntroAndCreditsArePaintedScenesNotTheColourBarCard) {
  const fs::path movies = fs::path(QUILLANE_DATA_DIR) / "movie";
  if (!fs::exists(movies / "intro.bik")) GTEST_SKIP() << "demo data not generated";
  for (const char* name : {"intro.bik", "credits.bik"}) {
    SCOPED_TRACE(name);
    platform::video::cl_ReferenceDecoder decoder;
    ASSERT_TRUE(decoder.Open((movies / name).string()));
    std::vector<platform::video::st_PlanarFrame> frames;
    platform::video::st_PlanarFrame frame;
    while (decoder.Next(&frame)) frames.push_back(frame);
    ASSERT_GT(frames.size(), 25u) << "a clip of more than a second";
    for (const platform::video::st_PlanarFrame* f : {&frames.front(), &frames[frames.size() / 2]}) {
      const videotest::st_PictureLook look = videotest::LookAt(ToRgb(*f), f->width, f->height);
      EXPECT_GT(look.colours, 2000u);
      EXPECT_LT(look.flatColumns, 0.2);
    }
  }
}

}  // namespace
