// The program itself on the demo data: with "DevTools/ShowIntroMovies" on, the screenshot after
// ten headless frames shows the intro movie letterboxed into the 4:3 window (a 16:10 picture
// with black bars above and below, the painted quay inside).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include "picture_look.h"
#include "support/ChildProcess.h"
#include "support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

TEST(IntroScreenshot, ShowsTheIntroLetterboxedAfterTenFrames) {
  const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "quillane";
  const fs::path data = QUILLANE_DATA_DIR;
  if (!fs::exists(program)) GTEST_SKIP() << "program not built";
  if (!fs::exists(data / "movie" / "intro.bik")) GTEST_SKIP() << "demo data not generated";
  const fs::path dir = testsupport::MakeScratchFolder("quillane_intro");
  const fs::path shot = dir / "shot.png", log = dir / "run.log";
  // No user config.xml: the bundled one, with the intro on and a 1024 × 768 window, applies.
  const int status =
      testsupport::Run({.args = {program.string()},
                        .folder = data.string(),
                        .env = {"QUILLANE_HEADLESS=1", "QUILLANE_FRAMES=10",
                                "QUILLANE_USER_DIR=" + (dir / "user").string(), "QUILLANE_SCREENSHOT=" + shot.string()},
                        .out = log,
                        .err = log});
  std::stringstream text;
  text << std::ifstream(log).rdbuf();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text.str();
  int w = 0, h = 0, channels = 0;
  unsigned char* pixels = stbi_load(shot.string().c_str(), &w, &h, &channels, 3);
  ASSERT_NE(pixels, nullptr) << text.str();
  ASSERT_EQ(w, 1024);
  ASSERT_EQ(h, 768);
  auto at = [&](int x, int y) {
    const unsigned char* p = pixels + (static_cast<size_t>(y) * w + x) * 3;
    return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
  };
  auto black = [](uint32_t rgb) { return ((rgb >> 16) & 0xFF) < 12 && ((rgb >> 8) & 0xFF) < 12 && (rgb & 0xFF) < 12; };
  // 640 × 400 fitted to 1024 wide is 640 high, 64 pixels of bar above and below.
  for (int x : {5, 512, 1018}) {
    EXPECT_TRUE(black(at(x, 2))) << x;
    EXPECT_TRUE(black(at(x, 60))) << x;
    EXPECT_TRUE(black(at(x, 708))) << x;
    EXPECT_TRUE(black(at(x, 765))) << x;
  }
  // Inside: a painting of many colours, not the card of flat colour bars.
  std::vector<uint32_t> picture;
  for (int y = 64; y < 704; ++y)
    for (int x = 0; x < w; ++x) picture.push_back(at(x, y));
  const videotest::st_PictureLook look = videotest::LookAt(picture, w, 640);
  EXPECT_GT(look.colours, 2000u);
  EXPECT_LT(look.flatColumns, 0.2);
  stbi_image_free(pixels);
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace
