// The Bookshelf's own rules, driven through its input handler on a started frame (1024 × 768,
// so the 16:10 game viewport lies 64 pixels down) but without a session: where the
// places lie in the game viewport, picking up and swapping books, dropping a book back, leaving
// through the edges or Escape, and solving by putting books 1 to 7 in the upper row. (Its
// result and bonus in the game state are checked with the game started through the manager.)
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "quillane/minigames/bookshelf/BookShelf.h"

#include "../frame/frame_fixture.h"

namespace {

using quillane::cl_BookshelfPanel;

base::ICMD Command(int type, float x, float y, uint8_t key = 0) {
  base::ICMD cmd;
  cmd.type = static_cast<uint8_t>(type);
  cmd.mouseX = static_cast<uint16_t>(x);
  cmd.mouseY = static_cast<uint16_t>(y);
  cmd.key = key;
  return cmd;
}

class BookshelfRules : public frametest::FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    if (IsSkipped()) return;
    StartFrame();
    base::RandSeed(5);
    ASSERT_TRUE(m_shelf.Init(nullptr, false));
  }
  void Click(float x, float y) {
    base::ICMD move = Command(base::ICMD::MOUSE_MOVE, x, y);
    m_shelf.HandleInput(move);
    base::ICMD down = Command(base::ICMD::LEFT_DOWN, x, y);
    m_shelf.HandleInput(down);
    base::ICMD up = Command(base::ICMD::LEFT_UP, x, y);
    m_shelf.HandleInput(up);
  }
  void ClickPlace(int place) {
    const base::tRectf r = cl_BookshelfPanel::PlaceRect(place);
    Click((r.min.x + r.max.x) / 2.0f, (r.min.y + r.max.y) / 2.0f);
  }
  // Pressed at the middle of place, moved in steps with the button held, released at (x, y).
  void Drag(int place, float x, float y) {
    const base::tRectf r = cl_BookshelfPanel::PlaceRect(place);
    const float x0 = (r.min.x + r.max.x) / 2.0f, y0 = (r.min.y + r.max.y) / 2.0f;
    base::ICMD move = Command(base::ICMD::MOUSE_MOVE, x0, y0);
    m_shelf.HandleInput(move);
    base::ICMD down = Command(base::ICMD::LEFT_DOWN, x0, y0);
    m_shelf.HandleInput(down);
    for (int step = 1; step <= 4; ++step) {
      base::ICMD drag = Command(base::ICMD::MOUSE_MOVE, x0 + (x - x0) * step / 4, y0 + (y - y0) * step / 4);
      m_shelf.HandleInput(drag);
    }
    base::ICMD up = Command(base::ICMD::LEFT_UP, x, y);
    m_shelf.HandleInput(up);
  }
  void DragPlace(int from, int to) {
    const base::tRectf r = cl_BookshelfPanel::PlaceRect(to);
    Drag(from, (r.min.x + r.max.x) / 2.0f, (r.min.y + r.max.y) / 2.0f);
  }
  void Swap(int a, int b) {
    ClickPlace(a);
    ClickPlace(b);
  }
  bool EveryBookOnce() const {
    std::array<int, cl_BookshelfPanel::kBooks> sorted = m_shelf.GetPlaces();
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < cl_BookshelfPanel::kBooks; ++i)
      if (sorted[i] != i) return false;
    return true;
  }

  cl_BookshelfPanel m_shelf;
};

TEST_F(BookshelfRules, PlacesLieInTwoRowsOfTheGameViewport) {
  struct {
    float x, y;
    int place;
  } const cases[] = {{260.0f, 114.0f, 0},
                     {329.9f, 363.9f, 0},
                     {330.0f, 200.0f, cl_BookshelfPanel::kNoPlace},
                     {340.0f, 114.0f, 1},
                     {740.0f, 200.0f, 6},
                     {260.0f, 397.0f, 7},
                     {809.0f, 646.0f, 13},
                     {260.0f, 113.0f, cl_BookshelfPanel::kNoPlace},
                     {5.0f, 5.0f, cl_BookshelfPanel::kNoPlace}};
  for (const auto& c : cases) EXPECT_EQ(cl_BookshelfPanel::PlaceAt(c.x, c.y), c.place) << c.x << ", " << c.y;
}

TEST_F(BookshelfRules, AClickCarriesABookAndASecondSwapsItOrPutsItBack) {
  ASSERT_TRUE(EveryBookOnce());
  const auto before = m_shelf.GetPlaces();
  ClickPlace(2);
  EXPECT_EQ(m_shelf.GetCarried(), before[2]);
  EXPECT_EQ(m_shelf.GetPlaces()[2], -1);
  ClickPlace(9);
  EXPECT_EQ(m_shelf.GetCarried(), -1);
  EXPECT_EQ(m_shelf.GetPlaces()[2], before[9]);
  EXPECT_EQ(m_shelf.GetPlaces()[9], before[2]);
  // Dropped on the bare shelf or on its own place, a book goes back where it came from.
  const auto swapped = m_shelf.GetPlaces();
  ClickPlace(4);
  Click(100.0f, 400.0f);
  ClickPlace(5);
  ClickPlace(5);
  EXPECT_EQ(m_shelf.GetPlaces(), swapped);
  EXPECT_EQ(m_shelf.GetCarried(), -1);
}

// A book pressed, dragged with the button held and released on another place swaps with the book
// there, as two clicks swap them (the release took up the book under it); dropped on the bare
// shelf or in an edge zone it stays where it was, and the game goes on.
TEST_F(BookshelfRules, ABookDraggedOntoAnotherPlaceSwapsAsTwoClicksDo) {
  ASSERT_TRUE(EveryBookOnce());
  const auto before = m_shelf.GetPlaces();
  DragPlace(2, 9);
  EXPECT_EQ(m_shelf.GetCarried(), -1);
  EXPECT_EQ(m_shelf.GetPlaces()[2], before[9]);
  EXPECT_EQ(m_shelf.GetPlaces()[9], before[2]);
  const auto swapped = m_shelf.GetPlaces();
  Drag(4, 100.0f, 400.0f);
  Drag(5, 10.0f, 300.0f);
  EXPECT_EQ(m_shelf.GetPlaces(), swapped);
  EXPECT_EQ(m_shelf.GetCarried(), -1);
  EXPECT_FALSE(m_shelf.IsFinished());
  // Clicks still carry: a click picks up, a drag from there is the second click.
  ClickPlace(0);
  DragPlace(0, 1);
  EXPECT_EQ(m_shelf.GetCarried(), -1);
  EXPECT_EQ(m_shelf.GetPlaces()[1], swapped[0]);
  EXPECT_TRUE(EveryBookOnce());
}

TEST_F(BookshelfRules, TheEdgesAndEscapeLeaveButACarriedBookIsDroppedFirst) {
  ClickPlace(0);
  Click(10.0f, 300.0f);  // the left edge while carrying: the book is dropped
  EXPECT_EQ(m_shelf.GetCarried(), -1);
  EXPECT_FALSE(m_shelf.IsFinished());
  Click(1000.0f, 300.0f);  // the right edge with empty hands: left
  EXPECT_TRUE(m_shelf.IsFinished());

  ASSERT_TRUE(m_shelf.Init(nullptr, false));
  EXPECT_FALSE(m_shelf.IsFinished());
  ClickPlace(3);
  base::ICMD escape = Command(1, 500.0f, 300.0f, base::key::Escape);
  EXPECT_TRUE(m_shelf.HandleInput(escape));
  EXPECT_TRUE(m_shelf.IsFinished());
  // The book in hand when the play ended is neither lost nor doubled in the next one.
  m_shelf.End();
  ASSERT_TRUE(m_shelf.Init(nullptr, false));
  EXPECT_EQ(m_shelf.GetCarried(), -1);
  EXPECT_TRUE(EveryBookOnce());
}

TEST_F(BookshelfRules, BooksOneToSevenInTheUpperRowSolveTheShelf) {
  for (int book = 0; book < cl_BookshelfPanel::kRowLength; ++book) {
    const auto& places = m_shelf.GetPlaces();
    const int at = static_cast<int>(std::find(places.begin(), places.end(), book) - places.begin());
    if (at != book) Swap(at, book);
    m_shelf.Update(0.1f);
    EXPECT_EQ(m_shelf.IsSolved(), book == cl_BookshelfPanel::kRowLength - 1) << book;
  }
  EXPECT_TRUE(EveryBookOnce());
  // Solved: input is swallowed, and the play ends once the end time (the door's sound, here
  // silent) has come.
  const auto solved = m_shelf.GetPlaces();
  ClickPlace(8);
  EXPECT_EQ(m_shelf.GetPlaces(), solved);
  m_shelf.Update(0.1f);
  EXPECT_GT(m_shelf.GetEndTime(), 0.0f);
  m_shelf.Update(0.1f);
  EXPECT_TRUE(m_shelf.IsFinished());
}

}  // namespace
