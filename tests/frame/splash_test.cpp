// The splash window on SDL's dummy video driver: sized by the picture plus its frame, and the
// black square when the picture is missing or no BMP.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/input/SplashWindow.h"
#include "support/ProgramRun.h"

namespace {

TEST(SplashWindow, TakesThePicturesSizeOrShowsTheEmptySquare) {
  const std::string picture = std::string(QUILLANE_DATA_DIR) + "/loca/English/splash_screen.bmp";
  if (!std::filesystem::exists(picture)) GTEST_SKIP() << "no generated demo data (run demogen)";
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  auto splash = platform::input::SplashWindow::Open("Quillane", picture.c_str());
  ASSERT_NE(splash, nullptr);
  EXPECT_TRUE(splash->PictureLoaded());
  EXPECT_EQ(splash->Width(), 480 + 2);
  EXPECT_EQ(splash->Height(), 300 + 2);
  splash->Refresh();
  splash.reset();

  testprogram::TempDir dir("quillane_splash");
  std::ofstream(dir.path("fake.bmp")) << "BM not really";
  for (const std::string& path : {dir.path("missing.bmp"), dir.path("fake.bmp")}) {
    auto empty = platform::input::SplashWindow::Open("Quillane", path.c_str());
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(empty->PictureLoaded());
    EXPECT_EQ(empty->Width(), platform::input::SplashWindow::kEmptySize + 2);
    EXPECT_EQ(empty->Height(), platform::input::SplashWindow::kEmptySize + 2);
  }
  unsetenv("SDL_VIDEODRIVER");
}

}  // namespace
