// TrueType text: measuring, line breaking, alignment and drawing, with the DejaVu fonts.
#include <string>

#include "GpuFixture.h"
#include "platform/gpux/Font.h"

namespace gputest {
namespace {

using namespace gpu;
using gpux::Font;

constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class FontTest : public GpuTest {
 protected:
  void SetUp() override {
    width_ = 128, height_ = 64;
    GpuTest::SetUp();
    if (!device_) return;
    ASSERT_EQ(Font::Create(device_, 16, 0, 400, 1, false, "DejaVu Sans", &font_), kOk);
    device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  }
  void TearDown() override {
    if (font_) font_->Release();
    GpuTest::TearDown();
  }
  Rect Measure(const char16_t* text, uint32_t format, int width = 0) {
    Rect r{0, 0, width, 0};
    font_->DrawTextW(text, -1, &r, format | gpux::dt::CalcRect, 0xFFFFFFFF);
    return r;
  }
  // Bounding box of the pixels brighter than black.
  Rect Ink() {
    const std::vector<uint32_t> p = ReadTarget();
    Rect box{1 << 30, 1 << 30, -1, -1};
    for (int y = 0; y < int(height_); ++y)
      for (int x = 0; x < int(width_); ++x)
        if (p[size_t(y) * width_ + x] & 0xFFFFFF) {
          box.left = std::min(box.left, x), box.top = std::min(box.top, y);
          box.right = std::max(box.right, x + 1), box.bottom = std::max(box.bottom, y + 1);
        }
    return box;
  }
  Font* font_ = nullptr;
};

TEST_F(FontTest, MeasuresLinesAndWidths) {
  EXPECT_EQ(font_->LineHeight(), 16);
  const Rect one = Measure(u"Hello", 0);
  EXPECT_GT(one.right, 20);
  EXPECT_EQ(one.bottom, 16);
  const Rect two = Measure(u"Hello\nHello, world", 0);
  EXPECT_EQ(two.bottom, 32);
  EXPECT_GT(two.right, one.right);  // the widest line counts
  EXPECT_EQ(Measure(u"", 0).bottom, 16);  // an empty text is one empty line
  // Narrow text reads Windows-1252: 0x80 is the euro sign, as wide as U+20AC.
  Rect narrow{0, 0, 0, 0}, wide{0, 0, 0, 0};
  font_->DrawTextA("\x80", -1, &narrow, gpux::dt::CalcRect, 0);
  font_->DrawTextW(u"\u20AC", -1, &wide, gpux::dt::CalcRect, 0);
  EXPECT_EQ(narrow.right, wide.right);
}

TEST_F(FontTest, WordBreakWrapsAtBlanksOnly) {
  const int word = Measure(u"wordy", 0).right;
  // Room for one word per line: three lines.
  Rect r = Measure(u"wordy wordy wordy", gpux::dt::WordBreak, word + 2);
  EXPECT_EQ(r.bottom, 48);
  EXPECT_LE(r.right, word + 2);
  // Room for two words: two lines.
  const int two = Measure(u"wordy wordy", 0).right;
  EXPECT_EQ(Measure(u"wordy wordy wordy", gpux::dt::WordBreak, two + 1).bottom, 32);
  // A word wider than the box is not split; without word break nothing wraps.
  EXPECT_EQ(Measure(u"extraordinarily", gpux::dt::WordBreak, 10).bottom, 16);
  EXPECT_EQ(Measure(u"wordy wordy wordy", 0, word).bottom, 16);
  // Single-line ignores line feeds.
  EXPECT_EQ(Measure(u"a\nb", gpux::dt::SingleLine).bottom, 16);
}

TEST_F(FontTest, DrawsInColourWithAlignment) {
  Rect box{0, 0, 128, 64};
  font_->DrawTextW(u"IIII", -1, &box, gpux::dt::Center | gpux::dt::VCenter, 0xFFFF0000);
  const Rect ink = Ink();
  ASSERT_GE(ink.right, 0);
  const int left = ink.left, right = 128 - ink.right, top = ink.top, bottom = 64 - ink.bottom;
  EXPECT_LE(std::abs(left - right), 3) << left << " vs " << right;
  EXPECT_LE(std::abs(top - bottom), 8) << top << " vs " << bottom;
  // Full-coverage texels (a full block) are exactly the colour; the rest blend towards it.
  Rect corner{0, 0, 32, 32};
  font_->DrawTextW(u"\u2588", -1, &corner, 0, 0xFFFF0000);
  const std::vector<uint32_t> p = ReadTarget();
  bool sawRed = false;
  for (uint32_t c : p) sawRed |= c == 0xFFFF0000u;
  EXPECT_TRUE(sawRed);
  for (uint32_t c : p) EXPECT_EQ(c & 0x0000FFFF, 0u);

  device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  Rect right_box{0, 0, 128, 64};
  font_->DrawTextW(u"IIII", -1, &right_box, gpux::dt::Right, 0xFFFFFFFF);
  EXPECT_GE(Ink().right, 124);
  EXPECT_LT(Ink().top, 8);
}

TEST_F(FontTest, ClipsToTheRectangleUnlessNoClip) {
  Rect small{0, 0, 6, 64};
  font_->DrawTextW(u"WWWW", -1, &small, 0, 0xFFFFFFFF);
  EXPECT_LE(Ink().right, 6);
  device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  font_->DrawTextW(u"WWWW", -1, &small, gpux::dt::NoClip, 0xFFFFFFFF);
  EXPECT_GT(Ink().right, 20);
}

TEST_F(FontTest, RestoresDeviceStates) {
  device_->SetRenderState(rs::AlphaBlendEnable, 0);
  device_->SetRenderState(rs::ZEnable, 1);
  device_->SetTextureStageState(0, tss::ColorOp, top::SelectArg2);
  Rect box{0, 0, 64, 32};
  font_->DrawTextW(u"Ab", -1, &box, 0, 0xFFFFFFFF);
  EXPECT_EQ(device_->GetRenderState(rs::AlphaBlendEnable), 0u);
  EXPECT_EQ(device_->GetRenderState(rs::ZEnable), 1u);
  EXPECT_EQ(device_->GetTextureStageState(0, tss::ColorOp), top::SelectArg2);
  EXPECT_EQ(device_->GetTexture(0), nullptr);
}

TEST(FontRegistry, PrivateFilesAreCounted) {
  EXPECT_EQ(gpux::AddFontResource(kDejaVu), 1);
  EXPECT_EQ(gpux::AddFontResource(kDejaVu), 1);
  EXPECT_TRUE(gpux::RemoveFontResource(kDejaVu));
  EXPECT_TRUE(gpux::RemoveFontResource(kDejaVu));
  EXPECT_FALSE(gpux::RemoveFontResource(kDejaVu));
  EXPECT_EQ(gpux::AddFontResource("/nonexistent/font.ttf"), 0);
}

TEST_F(FontTest, ManyGlyphsOutgrowTheAtlasWithoutLosingText) {
  Font* big = nullptr;
  ASSERT_EQ(Font::Create(device_, 60, 0, 700, 1, true, "DejaVu Serif", &big), kOk);
  std::u16string all;
  for (char16_t c = 0x21; c < 0x17F; ++c) all.push_back(c);
  Rect r{0, 0, 0, 0};
  big->DrawTextW(all.c_str(), -1, &r, gpux::dt::CalcRect, 0);
  EXPECT_GT(r.right, 1000);
  Rect box{0, 0, 128, 64};
  device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  big->DrawTextW(u"Mg", -1, &box, 0, 0xFFFFFFFF);
  EXPECT_GE(Ink().right, 20);
  gpux::FontDesc desc;
  big->GetDesc(&desc);
  EXPECT_EQ(desc.weight, 700u);
  EXPECT_TRUE(desc.italic);
  big->Release();
}

}  // namespace
}  // namespace gputest
