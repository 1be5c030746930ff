// The demo's screen skin as the game loads it: the skin, blender and font entries of
// data/resources.xml with demogen's pictures, drawn as a loading bar, a rounded panel, a text
// bubble and a covered screen with a chapter title, against a reviewed picture; and the demo's
// intro list played with its subtitles.
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "ScreenFixture.h"
#include "../support/DemoResources.h"
#include "../support/GoldenImage.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "quillane/screen/Fader.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/video/SubtitleLines.h"
#include "quillane/video/VideoController.h"

namespace screentest {
namespace {

namespace fs = std::filesystem;
const fs::path kData = QUILLANE_DATA_DIR;

class DemoSkin : public ScreenTest {
 protected:
  void SetUp() override {
    if (!fs::exists(kData / "gui/screenblender/upper_tile.tga")) GTEST_SKIP() << "no generated demo data (run demogen)";
    ScreenTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // The skin's entries of the demo's resource list, with the files they name.
    m_entries = testsupport::LoadDemoResources(kData, m_dir, {"gui/skin/", "gui/screenblender/"},
                                               {"tooltip", "messagebox", "screen_blender", "game"},
                                               "skin_resources.xml");
    ASSERT_GT(m_entries, 0);
  }
  int WindowWidth() const override { return 400; }
  int m_entries = 0;
};

TEST_F(DemoSkin, SkinPiecesLoadAndDrawAsReviewed) {
  // With the default skin's four, and the dialog corners again as the message box's images.
  EXPECT_EQ(m_entries, 4 + 4 + 4 + 9 + 6 + 2 + 4 + 4);
  for (const char* label : {"hbar_filler", "dialog_lr", "frame_round_center", "ScreenBlenderLowerTile"})
    EXPECT_NE(gfx::TextureExists(label), nullptr) << label;
  EXPECT_NE(gfx::ImageExists("ScreenBlenderUpperDecorator"), nullptr);
  for (const char* font : {"tooltip", "messagebox", "screen_blender", "game"})
    EXPECT_NE(gfx::FontExists(font), nullptr) << font;

  ASSERT_TRUE(BeginDrawing(0xFF405060u));
  DrawRoundFrame(20, 20, 180, 120, 255);
  DrawHBar(base::tRectf(40.0f, 150.0f, 360.0f, 182.0f), 0.6f, 0xFFFFA030u);
  gfx::SetFont(gfx::FontExists("tooltip"));
  DrawTextBubble(290, 70, u"Harbour office", 0xFFFFFFFFu, 0xFF000000u, 5.0f, false);
  std::vector<uint32_t> frame = ReadFrame();
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/demo_skin_panels.png",
                                            std::move(frame), WindowWidth(), WindowHeight()));
  EndFrame();
}

// Wider than 16:10 and large enough for the blender pieces, made for a 1024-pixel picture.
class DemoBlender : public DemoSkin {
 protected:
  int WindowWidth() const override { return 800; }
  int WindowHeight() const override { return 450; }
};

TEST_F(DemoBlender, CoveredScreenShowsTheBlenderFrameAndTheChapterTitle) {
  ASSERT_TRUE(BeginDrawing(0xFF405060u));
  cl_Fader fader;
  fader.Start(true, 0.0f, "Chapter One", cl_Fader::FLAG_BLENDER_FRAME);
  fader.Render();
  std::vector<uint32_t> frame = ReadFrame();
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/demo_blender.png",
                                            std::move(frame), WindowWidth(), WindowHeight()));
  EndFrame();
}

class cl_LineLog final : public i_SubtitleLines {
 public:
  cl_LineLog() { SetSubtitleLines(this); }
  ~cl_LineLog() override { SetSubtitleLines(nullptr); }
  void AddLine(const char* text, float, float end, float, uint32_t colour, int) override {
    texts.emplace_back(text);
    ends.push_back(end);
    colours.push_back(colour);
  }
  void RemoveLines(int) override { texts.clear(), ends.clear(), colours.clear(); }
  std::vector<std::string> texts;
  std::vector<float> ends;
  std::vector<uint32_t> colours;
};

TEST_F(DemoSkin, IntroListPlaysTheIntroMovieWithItsSubtitles) {
  fs::create_directories(m_dir / "Movie");
  fs::create_directories(m_dir / "movie");
  fs::copy_file(kData / "Movie/intro.xml", m_dir / "Movie/intro.xml");
  fs::copy_file(kData / "movie/intro.bik", m_dir / "movie/intro.bik");
  cl_LineLog lines;
  cl_VideoController controller;
  ASSERT_TRUE(controller.Play("Movie/intro.xml", "LoadingScreen"));
  ASSERT_EQ(controller.GetEntryCount(), 1u);
  Step(0);
  controller.Update(0.0f, 0.0f);
  ASSERT_NE(Codec()->Handle(), nullptr);
  EXPECT_EQ(Codec()->Handle()->Width, 640u);
  ASSERT_EQ(lines.texts.size(), 2u);
  EXPECT_EQ(lines.texts[0].rfind("#intro0_1 ", 0), 0u);
  EXPECT_EQ(lines.colours[1], 0xFFF0DCA0u);
  // Every line is gone before the 4-second movie ends.
  for (float end : lines.ends) EXPECT_LT(end, 4.0f);
}

}  // namespace
}  // namespace screentest
