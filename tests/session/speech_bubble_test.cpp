// The bubble of a spoken line drawn over the demo Office at 1024 × 768: where its dark frame lies
// (found as the pixels the frame darkens against the same frame without it), the side it takes
// from the partner, the player, the tweak and a fixed position, and the wrap with the game font.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "../scriptfunctions/office_fixture.h"
#include "base/math/Random.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/SpeechLayout.h"
#include "quillane/settings/TweakSettings.h"

namespace scriptfunctionstest {
namespace {

using quillane::cl_SpeechLayout;

class SpeechBubble : public OfficeTest {
 protected:
  void SetUp() override {
    OfficeTest::SetUp();
    if (IsSkipped()) return;
    m_autoAlign = Dialog_Auto_Align;
  }
  void TearDown() override {
    Dialog_Auto_Align = m_autoAlign;
    OfficeTest::TearDown();
  }
  void LoadOffice() {
    ASSERT_NO_FATAL_FAILURE(Load(""));
    Write("speech_fonts.xml",
          "<Resources><DXFont label=\"game\" file=\"DejaVu Serif\" system=\"1\" size=\"22\"/></Resources>");
    ASSERT_TRUE(base::sys::AddResources((m_dir / "speech_fonts.xml").string().c_str()));
    ASSERT_NE(gfx::FontExists("game"), nullptr);
  }
  // A text the game font draws exactly width pixels wide (overhang included): counts of a few
  // letters of different widths, searched on their single widths, checked whole.
  std::string TextOfWidth(int width) {
    gfx::SetFont(gfx::FontExists("game"));
    auto measure = [](const std::string& t) {
      const std::u16string wide(t.begin(), t.end());
      return static_cast<int>(gfx::GetTextWidthW(wide.c_str()));
    };
    const std::string letters = "mairt.";
    const int overhang = measure("");
    std::vector<int> advance;
    for (char c : letters) advance.push_back(std::max(1, measure(std::string(1, c)) - overhang));
    std::vector<int> counts(letters.size(), 0);
    // Depth-first over the counts, widest letter first.
    std::function<bool(size_t, int)> search = [&](size_t k, int left) {
      if (left == 0) return true;
      if (k == letters.size()) return false;
      for (int n = left / advance[k]; n >= 0; --n) {
        counts[k] = n;
        if (search(k + 1, left - n * advance[k])) return true;
      }
      counts[k] = 0;
      return false;
    };
    if (!search(0, width - overhang)) return "";
    std::string text;
    for (size_t k = 0; k < letters.size(); ++k) text += std::string(static_cast<size_t>(counts[k]), letters[k]);
    return measure(text) == width ? text : "";
  }
  // Draws one frame without and one with a line of speaker saying text; the bounds of the pixels
  // the bubble darkened (their brightness below 60 % of what it was).
  base::tRectf BubbleBounds(const char* speaker, const std::string& text) {
    Step(0.0f);
    const std::vector<uint32_t> before = m_pixels;
    quillane::st_GameAction* action = m_session->GetActionQueue().Add(nullptr);
    action->m_kind = "speak";
    action->m_object = speaker;
    action->m_text = text.c_str();
    action->m_time = 100.0f;
    Step(0.0f);
    m_session->GetActionQueue().DeleteAction(action);
    base::tRectf bounds(1e9f, 1e9f, -1e9f, -1e9f);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const size_t i = static_cast<size_t>(y) * kWidth + x;
        const int was = Brightness(before[i]), now = Brightness(m_pixels[i]);
        if (was < 60 || now * 10 > was * 6) continue;
        bounds.min.x = std::min(bounds.min.x, float(x));
        bounds.min.y = std::min(bounds.min.y, float(y));
        bounds.max.x = std::max(bounds.max.x, float(x + 1));
        bounds.max.y = std::max(bounds.max.y, float(y + 1));
      }
    }
    return bounds;
  }
  static int Brightness(uint32_t rgb) { return int((rgb >> 16) & 255) + int((rgb >> 8) & 255) + int(rgb & 255); }
  // The frame is the box grown by 16 on each side. The darkened area can stop short of it where
  // the picture below is too dark to tell.
  static ::testing::AssertionResult FrameOf(const base::tRectf& found, const base::tRectf& box) {
    const float tolerance = 3.0f;
    const base::tRectf frame(box.min.x - 16, box.min.y - 16, box.max.x + 16, box.max.y + 16);
    if (std::abs(found.min.x - frame.min.x) <= tolerance && std::abs(found.max.x - frame.max.x) <= tolerance &&
        std::abs(found.min.y - frame.min.y) <= tolerance && std::abs(found.max.y - frame.max.y) <= tolerance)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "darkened (" << found.min.x << ", " << found.min.y << ")-(" << found.max.x
                                         << ", " << found.max.y << "), frame (" << frame.min.x << ", " << frame.min.y
                                         << ")-(" << frame.max.x << ", " << frame.max.y << ")";
  }
  // Where the bubble of a one-line text of width 100 stands at the anchor for side.
  static base::tRectf Box(float x, float y, int side) {
    return cl_SpeechLayout::PlaceBox(x, y, 100, 1, side, 1024, 768, ::GetGameViewportRect());
  }

  int m_autoAlign = 1;
};

TEST_F(SpeechBubble, AFixedPositionPlacesTheBoxAndItsSide) {
  ASSERT_NO_FATAL_FAILURE(LoadOffice());
  const std::string text = TextOfWidth(100);
  ASSERT_FALSE(text.empty());
  // (500, 336) of the 1024 × 640 viewport, which starts 64 down, is the screen's (500, 400).
  m_session->SetCustomTextBubblePos(base::tVector3<float>(500.0f, 336.0f, 0.0f));
  EXPECT_TRUE(FrameOf(BubbleBounds("Nobody", text), base::tRectf(440, 345, 560, 385)));
  m_session->SetCustomTextBubblePos(base::tVector3<float>(500.0f, 336.0f, -1.0f));
  EXPECT_TRUE(FrameOf(BubbleBounds("Nobody", text), base::tRectf(440 - 84, 345, 560 - 84, 385)));
  // All three 0: off again; the window's centre, right of the player, who stands left of it.
  m_session->SetCustomTextBubblePos(base::tVector3<float>(0.0f, 0.0f, 0.0f));
  Stand("Quillane", -300.0f, 0.0f);
  ASSERT_LE(m_session->GetStage()->GetOverheadScreenPos(Character("Quillane")).x, 512.0f);
  EXPECT_TRUE(FrameOf(BubbleBounds("Nobody", text), Box(512, 384, 1)));
}

// A fixed position that is not a number (a script's 1/0) puts the bubble at the window's centre.
TEST_F(SpeechBubble, ANonFinitePositionStandsAtTheCentre) {
  ASSERT_NO_FATAL_FAILURE(LoadOffice());
  const std::string text = TextOfWidth(100);
  ASSERT_FALSE(text.empty());
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  for (const base::tVector3<float>& pin :
       {base::tVector3<float>(inf, 336.0f, 0.0f), base::tVector3<float>(500.0f, -inf, nan)}) {
    m_session->SetCustomTextBubblePos(pin);
    EXPECT_TRUE(FrameOf(BubbleBounds("Nobody", text), Box(512, 384, 0)));
  }
}

TEST_F(SpeechBubble, WithoutAutoAlignEveryBubbleGoesLeft) {
  ASSERT_NO_FATAL_FAILURE(LoadOffice());
  const std::string text = TextOfWidth(100);
  ASSERT_FALSE(text.empty());
  Stand("Quillane", -300.0f, 0.0f);
  Dialog_Auto_Align = 0;
  EXPECT_TRUE(FrameOf(BubbleBounds("Nobody", text), Box(512, 384, -1)));
}

TEST_F(SpeechBubble, ThePartnerDecidesTheSideAlsoAfterTheDialogueAndTheirOwnLinesGoAwayFromThePlayer) {
  ASSERT_NO_FATAL_FAILURE(LoadOffice());
  const std::string text = TextOfWidth(100);
  ASSERT_FALSE(text.empty());
  quillane::cl_Stage* stage = m_session->GetStage();
  // Odo speaks; Quillane, the player, stands right of him, but the partner Quillane is not:
  // the partner is a third character, placed left of Odo.
  Stand("Odo", 0.0f, 0.0f);
  Stand("Quillane", 250.0f, 0.0f);
  ASSERT_NE(stage->CreateCharacter("Mina", "odo"), nullptr);
  Stand("Mina", -250.0f, 0.0f);
  const base::tVector2<float> odo = stage->GetOverheadScreenPos(Character("Odo"));
  ASSERT_LT(stage->GetOverheadScreenPos(Character("Mina")).x, odo.x);
  ASSERT_GT(stage->GetOverheadScreenPos(Character("Quillane")).x, odo.x);
  // The player alone: the bubble goes left, away from her.
  EXPECT_TRUE(FrameOf(BubbleBounds("Odo", text), Box(odo.x, odo.y, -1)));
  quillane::cl_DialogCtrl& dialog = m_session->GetDialogCtrl();
  dialog.m_Partner = "Mina";
  dialog.m_bActive = true;
  EXPECT_TRUE(FrameOf(BubbleBounds("Odo", text), Box(odo.x, odo.y, 1)));
  dialog.m_bActive = false;
  EXPECT_TRUE(FrameOf(BubbleBounds("Odo", text), Box(odo.x, odo.y, 1)));
  // The partner's own lines stand away from the player, whom he talks to: measured against
  // himself, every one of them went right, over her head in the talk's close-up.
  dialog.m_Partner = "Odo";
  dialog.m_bActive = true;
  EXPECT_TRUE(FrameOf(BubbleBounds("Odo", text), Box(odo.x, odo.y, -1)));
}

TEST_F(SpeechBubble, SummedWidthsWrapLikeTheGameFontMeasuringEveryRun) {
  ASSERT_NO_FATAL_FAILURE(LoadOffice());
  gfx::SetFont(gfx::FontExists("game"));
  const char16_t alphabet[] = u"aabcdeeefghiijklmnoopqrstuuvwxyz  ,.!?ÄÖüßWM";
  const int letters = static_cast<int>(sizeof alphabet / sizeof alphabet[0]) - 1;
  base::RandSeed(51);
  for (int round = 0; round < 40; ++round) {
    std::u16string text;
    const int length = 1 + base::Random(400);
    for (int i = 0; i < length; ++i) text += alphabet[base::Random(letters)];
    // Runs of blanks and long words now and then.
    if (round % 5 == 0) text.insert(static_cast<size_t>(base::Random(length)), u"    ");
    if (round % 7 == 0) text.insert(static_cast<size_t>(base::Random(length)), std::u16string(30, u'W'));
    const float width = static_cast<float>(40 + base::Random(300));
    std::vector<cl_SpeechLayout::tLine> plain, incremental;
    const cl_SpeechLayout::tLine line(text.c_str());
    cl_SpeechLayout::AddLine(plain, line, width, &gfx::GetTextWidthW, true);
    cl_SpeechLayout::AddLine(incremental, line, width, &gfx::GetTextWidthW, false);
    ASSERT_EQ(plain.size(), incremental.size()) << "round " << round;
    for (size_t i = 0; i < plain.size(); ++i) ASSERT_TRUE(plain[i] == incremental[i]) << "round " << round << " line " << i;
  }
}

}  // namespace
}  // namespace scriptfunctionstest
