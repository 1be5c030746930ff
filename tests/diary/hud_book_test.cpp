// The book panel driven through its input and update as the session drives it: turning by mouse
// (drag over the spine, click, short drag), the corners that cannot turn, browsing by program,
// hiding during a turn, and the bookmark drawn on the pages of its spread.
#include <set>
#include <vector>

#include "DiaryFixture.h"
#include "quillane/diary/HUDBookPage.h"
#include "support/GoldenImage.h"

namespace diarytest {
namespace {

// The diary's geometry in a 1024 x 768 window: page area 110..914 x 103..665, spine at 512.
constexpr int kRight = 914, kLeft = 110, kBottom = 665, kTop = 103, kSpine = 512;

class HUDBookTest : public DiaryTest {
 protected:
  void SetUp() override {
    DiaryTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_book = std::make_unique<cl_HUDBook>();
    m_book->SetGeometry({0, 64}, {1024, 704}, 110, 39);
    m_book->SetGrabRadius(250.0f);
    m_book->LoadCoverTexture("diary_bg");
    m_book->LoadPageTextures("diary_page", "diary_page_shadow");
    m_book->LoadFoldShadowTexture("diary_shadow_top");
    m_book->SetBookmarkSpot(491, 660, 520, 703);
    for (int i = 0; i < 8; ++i) ASSERT_EQ(m_book->AddPage(new cl_HUDBookPage, nullptr, -1), i);
    ASSERT_EQ(m_book->GetLastPage(), 7);
    m_book->Show(true);
    ASSERT_TRUE(UpdateUntilShown(*m_book));
  }
  void TearDown() override {
    if (m_inFrame) EndFrame();
    m_book.reset();
    DiaryTest::TearDown();
  }
  // Brings the mouse to the bottom-right corner so that the page peeks.
  void PeekRight() {
    Input(*m_book, base::ICMD::MOUSE_MOVE, kRight - 14, kBottom - 15);
    m_book->Update(0.03f);
  }
  std::unique_ptr<cl_HUDBook> m_book;
};

TEST_F(HUDBookTest, DragFromTheBottomRightCornerOverTheSpineTurnsOneSpread) {
  PeekRight();
  ASSERT_EQ(m_book->GetTurnState(), cl_HUDBook::TURN_PEEKING);
  EXPECT_TRUE(Input(*m_book, base::ICMD::LEFT_DOWN, kRight - 14, kBottom - 15));
  EXPECT_EQ(m_book->GetTurnState(), cl_HUDBook::TURN_DRAGGING);
  for (int x = kRight - 14; x > 200; x -= 60) {
    Input(*m_book, base::ICMD::MOUSE_MOVE, x, kBottom - 60);
    m_book->Update(0.03f);
  }
  EXPECT_GT(m_book->GetFold().m_triangleCount, 0u);
  EXPECT_TRUE(Input(*m_book, base::ICMD::LEFT_UP, 200, kBottom - 60));
  EXPECT_EQ(m_book->GetTurnState(), cl_HUDBook::TURN_SETTLING);
  ASSERT_TRUE(UpdateUntilIdle(*m_book));
  EXPECT_EQ(m_book->GetCurrentPage(), 1);
}

TEST_F(HUDBookTest, AQuickClickTurnsAndAShortDragFallsBack) {
  for (int expected : {1, 3}) {
    PeekRight();
    Input(*m_book, base::ICMD::LEFT_DOWN, kRight - 14, kBottom - 15);
    m_book->Update(0.1f);
    Input(*m_book, base::ICMD::LEFT_UP, kRight - 14, kBottom - 15);
    ASSERT_TRUE(UpdateUntilIdle(*m_book));
    EXPECT_EQ(m_book->GetCurrentPage(), expected);
  }

  // Held longer than a click and released before the spine: the page falls back.
  PeekRight();
  Input(*m_book, base::ICMD::LEFT_DOWN, kRight - 14, kBottom - 15);
  for (int i = 0; i < 20; ++i) {
    Input(*m_book, base::ICMD::MOUSE_MOVE, kRight - 150, kBottom - 40);
    m_book->Update(0.03f);
  }
  Input(*m_book, base::ICMD::LEFT_UP, kRight - 150, kBottom - 40);
  ASSERT_TRUE(UpdateUntilIdle(*m_book));
  EXPECT_EQ(m_book->GetCurrentPage(), 3);
}

TEST_F(HUDBookTest, NoTurnFromALeftCornerOnTheFirstSpreadNorARightCornerOnTheLast) {
  Input(*m_book, base::ICMD::MOUSE_MOVE, kLeft + 14, kBottom - 15);
  m_book->Update(0.03f);
  EXPECT_EQ(m_book->GetTurnState(), cl_HUDBook::TURN_IDLE);
  EXPECT_FALSE(Input(*m_book, base::ICMD::LEFT_DOWN, kLeft + 14, kBottom - 15));
  Input(*m_book, base::ICMD::LEFT_UP, kLeft + 14, kBottom - 15);
  m_book->Update(0.03f);
  EXPECT_EQ(m_book->GetCurrentPage(), 0);

  m_book->BrowseToPage(7, 0.0f);
  ASSERT_EQ(m_book->GetCurrentPage(), 7);
  PeekRight();
  EXPECT_EQ(m_book->GetTurnState(), cl_HUDBook::TURN_IDLE);
  // The left corner of the last spread turns back.
  Input(*m_book, base::ICMD::MOUSE_MOVE, kLeft + 14, kBottom - 15);
  m_book->Update(0.03f);
  EXPECT_EQ(m_book->GetTurnState(), cl_HUDBook::TURN_PEEKING);
  Input(*m_book, base::ICMD::LEFT_DOWN, kLeft + 14, kBottom - 15);
  Input(*m_book, base::ICMD::LEFT_UP, kLeft + 14, kBottom - 15);
  ASSERT_TRUE(UpdateUntilIdle(*m_book));
  EXPECT_EQ(m_book->GetCurrentPage(), 5);

  // A last page on the right: its spread is the last one, and a click on its corner turns
  // nothing (there is no blank spread after the book's end to turn to).
  m_book->Clear();
  for (int i = 0; i < 3; ++i) ASSERT_EQ(m_book->AddPage(new cl_HUDBookPage, nullptr, -1), i);
  m_book->BrowseToPage(2, 0.0f);
  ASSERT_EQ(m_book->GetCurrentPage(), 1);
  PeekRight();
  EXPECT_EQ(m_book->GetTurnState(), cl_HUDBook::TURN_IDLE);
  Input(*m_book, base::ICMD::LEFT_DOWN, kRight - 14, kBottom - 15);
  Input(*m_book, base::ICMD::LEFT_UP, kRight - 14, kBottom - 15);
  ASSERT_TRUE(UpdateUntilIdle(*m_book));
  EXPECT_EQ(m_book->GetCurrentPage(), 1);
}

TEST_F(HUDBookTest, BrowsingByProgramTurnsOneSpreadAtATime) {
  m_book->BrowseToPage(4, 0.0f);
  EXPECT_EQ(m_book->GetCurrentPage(), 3);
  EXPECT_EQ(m_book->GetTargetPage(), -1);
  m_book->BrowseToPage(0, 0.0f);
  EXPECT_EQ(m_book->GetCurrentPage(), 0);

  struct st_Case {
    int page;
    std::vector<int> spreads;
  } cases[] = {{5, {0, 1, 3, 5}}, {-1, {5, 7}}, {100, {0, 1, 3, 5, 7}}, {2, {7, 5, 3, 1}}};
  for (const st_Case& c : cases) {
    if (c.spreads.front() == 0) m_book->BrowseToPage(0, 0.0f);
    m_book->BrowseToPage(c.page, 0.5f);
    std::vector<int> seen{m_book->GetCurrentPage()};
    for (int i = 0; i < 400 && (m_book->GetTargetPage() >= 0 || m_book->GetTurnState() != cl_HUDBook::TURN_IDLE); ++i) {
      m_book->Update(0.03f);
      if (m_book->GetCurrentPage() != seen.back()) seen.push_back(m_book->GetCurrentPage());
    }
    EXPECT_EQ(seen, c.spreads) << c.page;
    EXPECT_EQ(m_book->GetTargetPage(), -1);
  }
}

TEST_F(HUDBookTest, HidingDuringATurnLetsThePageFallBack) {
  PeekRight();
  Input(*m_book, base::ICMD::LEFT_DOWN, kRight - 14, kBottom - 15);
  for (int i = 0; i < 20; ++i) {
    Input(*m_book, base::ICMD::MOUSE_MOVE, 200, kBottom - 60);
    m_book->Update(0.03f);
  }
  m_book->Show(false);
  EXPECT_TRUE(m_book->IsVisible());  // until the fade ends
  ASSERT_TRUE(UpdateUntilHidden(*m_book));
  EXPECT_EQ(m_book->GetCurrentPage(), 0);
  EXPECT_EQ(m_book->GetTurnState(), cl_HUDBook::TURN_IDLE);
  EXPECT_FALSE(m_book->GetPage(0)->HasTexture());  // released with the fade
}

TEST_F(HUDBookTest, TheBookmarkOnTheFirstSpreadShowsOnBothPages) {
  Frame(*m_book);
  EXPECT_TRUE(testsupport::RgbNear(Pixel(kSpine - 8, kTop + 20), kPageLeft, 8));
  EXPECT_TRUE(testsupport::RgbNear(Pixel(kSpine + 8, kTop + 20), kPageRight, 8));
  m_book->SetBookmark(0);
  Frame(*m_book);
  EXPECT_TRUE(testsupport::RgbNear(Pixel(kSpine - 8, kTop + 20), kBookmarkLeft, 8));
  EXPECT_TRUE(testsupport::RgbNear(Pixel(kSpine + 8, kTop + 20), kBookmarkRight, 8));
  EXPECT_TRUE(testsupport::RgbNear(Pixel(kSpine - 30, kTop + 20), kPageLeft, 8));
  // On spread 3 the bookmark is elsewhere: neither page shows it; the hot-spot browses back.
  m_book->BrowseToPage(3, 0.0f);
  Frame(*m_book);
  EXPECT_TRUE(testsupport::RgbNear(Pixel(kSpine - 8, kTop + 20), kPageLeft, 8));
  EXPECT_TRUE(testsupport::RgbNear(Pixel(kSpine + 8, kTop + 20), kPageRight, 8));
  Input(*m_book, base::ICMD::MOUSE_MOVE, 505, 680);
  EXPECT_TRUE(Input(*m_book, base::ICMD::LEFT_DOWN, 505, 680));
  EXPECT_EQ(m_book->GetTargetPage(), 0);
  ASSERT_TRUE(UpdateUntilIdle(*m_book));
  EXPECT_EQ(m_book->GetCurrentPage(), 0);
}

}  // namespace
}  // namespace diarytest
