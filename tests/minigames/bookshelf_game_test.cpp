// The Bookshelf started through the manager in a session: the shelf won by clicks driven through
// the module tree (Win and the time-graded Skill in the game state, the waiting script's event
// run once the fade-out ends), its help in the demo's words against its rule, left with Escape (a
// loss, no bonus), the shelf with its book missing, and the drawn frame against a stored picture.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/DemoResources.h"
#include "../support/GoldenImage.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "minigame_fixture.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/minigames/bookshelf/BookShelf.h"
#include "quillane/session/Session.h"

namespace minigametest {
namespace {

using quillane::cl_BookshelfPanel;

class BookshelfGame : public MinigameTest {
 protected:
  void SetUp() override {
    MinigameTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // The session compiled the shelf before the fixture copied its art: build it again.
    std::filesystem::remove(m_dir / "gui/minigames/bookshelf.dat");
    m_games->CompileMissing();
  }
  cl_BookshelfPanel* StartShelf(int seed) { return static_cast<cl_BookshelfPanel*>(StartSeeded("Bookshelf", seed)); }
  void ClickPlace(int place) {
    const base::tRectf r = cl_BookshelfPanel::PlaceRect(place);
    const float x = (r.min.x + r.max.x) / 2.0f, y = (r.min.y + r.max.y) / 2.0f;
    Mouse(base::ICMD::MOUSE_MOVE, x, y);
    Mouse(base::ICMD::LEFT_DOWN, x, y);
    Mouse(base::ICMD::LEFT_UP, x, y);
    Step();
  }
  // Swaps the books into the upper row's places in the order given.
  void FillUpperRow(cl_BookshelfPanel& shelf, const std::vector<int>& books) {
    for (int place = 0; place < static_cast<int>(books.size()); ++place) {
      const auto& places = shelf.GetPlaces();
      const int at = static_cast<int>(std::find(places.begin(), places.end(), books[place]) - places.begin());
      if (at == place) continue;
      ClickPlace(at);
      ClickPlace(place);
    }
  }
  void SetGameStateInt(const char* path, int value) {
    base::variant_get_attribute_by_path(*m_session->GetGameState(), path, true)->set_int(value);
  }
  void KeyUp(uint8_t key) {
    base::ICMD cmd;
    cmd.type = 1;
    cmd.key = key;
    Input(cmd);
  }
};

TEST_F(BookshelfGame, SortingTheUpperRowWinsWithTheFastBonusAndEndsAfterTheDoorOpens) {
  SetGameStateInt("Missions/Skill", 10);
  SetGameStateInt("Missions/MaxSkill", 100);
  cl_BookshelfPanel* shelf = StartShelf(7);
  ASSERT_NE(shelf, nullptr) << Log();
  ASSERT_FALSE(shelf->IsSolved());
  for (int book = 0; book < cl_BookshelfPanel::kRowLength; ++book) {
    const auto& places = shelf->GetPlaces();
    const int at = static_cast<int>(std::find(places.begin(), places.end(), book) - places.begin());
    if (at == book) continue;
    ClickPlace(at);
    ClickPlace(book);
  }
  Step();
  EXPECT_TRUE(shelf->IsSolved());
  EXPECT_EQ(GameStateInt("Missions/Minigames/Bookshelf/Win"), 1);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 40) << "solved within 30 s";
  EXPECT_EQ(m_counts[0].executed, 0);
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(m_counts[0].executed, 1);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 40) << "the bonus is paid once";
}

// The help, in the demo's words as drawn, names the books that win: those numbered 1 to 7 on
// their spines (books 0 to 6). An upper row of other books in rising order is no win; the seven
// put in place are.
TEST_F(BookshelfGame, TheHelpNamesBooksOneToSevenAndASortedRowOfOtherBooksDoesNotWin) {
  std::filesystem::create_directories(m_dir / "loca");
  std::filesystem::copy_file(std::filesystem::path(QUILLANE_DATA_DIR) / "loca/officegames_English.xml",
                             m_dir / "loca/officegames_English.xml");
  const base::Variant* localization = base::sys::GetConfig().get_element("Localization");
  ASSERT_NE(localization, nullptr);
  ASSERT_TRUE(base::sys::InitTextsystem(*localization));
  ASSERT_GT(testsupport::LoadDemoResources(QUILLANE_DATA_DIR, m_dir, {}, {"tooltip"}, "shelf_resources.xml"), 0);
  cl_BookshelfPanel* shelf = StartShelf(3);
  ASSERT_NE(shelf, nullptr) << Log();
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step();
  gfx::TraceDrawnText(nullptr);
  std::string help;
  for (const gfx::st_DrawnText& t : texts) help += t.text + "\n";
  EXPECT_NE(help.find("books 1 to 7 in the upper row, in order"), std::string::npos) << help;

  FillUpperRow(*shelf, {1, 4, 5, 6, 9, 12, 13});  // spines 2 5 6 7 10 13 14
  Step();
  EXPECT_FALSE(shelf->IsSolved());
  EXPECT_NE(GameStateInt("Missions/Minigames/Bookshelf/Win"), 1);
  FillUpperRow(*shelf, {0, 1, 2, 3, 4, 5, 6});
  Step();
  EXPECT_TRUE(shelf->IsSolved());
  EXPECT_EQ(GameStateInt("Missions/Minigames/Bookshelf/Win"), 1);
}

TEST_F(BookshelfGame, EscapeLeavesWithALossEvenWithABookInHand) {
  SetGameStateInt("Missions/Minigames/Bookshelf/Win", 1);
  cl_BookshelfPanel* shelf = StartShelf(2);
  ASSERT_NE(shelf, nullptr) << Log();
  ClickPlace(5);
  ASSERT_GE(shelf->GetCarried(), 0);
  KeyUp(base::key::Escape);
  Step();
  EXPECT_TRUE(shelf->IsFinished());
  EXPECT_EQ(GameStateInt("Missions/Minigames/Bookshelf/Win"), 0);
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(m_counts[0].executed, 1);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 0);
}

// With the book missing, book 3 stays where it is and the skip button never shows, even with
// the option that shows it after a tenth of a second.
TEST_F(BookshelfGame, WithTheBookMissingBookFourCannotBeMovedAndThereIsNoSkip) {
  SetGameStateInt("Missions/Minigames/Bookshelf/BookMissing", 1);
  SetQuickSkip(true);
  cl_BookshelfPanel* shelf = StartShelf(4);
  ASSERT_NE(shelf, nullptr) << Log();
  EXPECT_TRUE(shelf->IsBookMissing());
  const auto& places = shelf->GetPlaces();
  const int at = static_cast<int>(std::find(places.begin(), places.end(), 3) - places.begin());
  ClickPlace(at);
  EXPECT_EQ(shelf->GetCarried(), -1);
  for (int i = 0; i < 5; ++i) Step();
  float x = 0.0f, y = 0.0f;
  EXPECT_FALSE(shelf->GetSkipButtonCentre(x, y));
}

// A cut data file is reported with its name; the shelf still plays, with no pictures and no
// skip strip left over from the half that was read.
TEST_F(BookshelfGame, ACutDataFileLeavesTheShelfPlayableWithoutPictures) {
  const std::filesystem::path file = m_dir / "gui/minigames/bookshelf.dat";
  std::filesystem::resize_file(file, std::filesystem::file_size(file) - 40);
  const size_t logged = Log().size();
  cl_BookshelfPanel* shelf = StartShelf(6);
  ASSERT_NE(shelf, nullptr) << Log();
  EXPECT_NE(Log().find("ERROR: mini-game data file 'gui/minigames/bookshelf.dat'", logged), std::string::npos)
      << Log().substr(logged);
  EXPECT_EQ(shelf->GetPanicStrip(), nullptr);
  ClickPlace(0);
  EXPECT_GE(shelf->GetCarried(), 0);
}

TEST_F(BookshelfGame, TheShelfIsDrawnWithItsInstructionAndTheCarriedBookAndItsGapMarked) {
  ASSERT_GT(testsupport::LoadDemoResources(QUILLANE_DATA_DIR, m_dir, {}, {"tooltip"}, "shelf_resources.xml"), 0);
  SetQuickSkip(true);
  cl_BookshelfPanel* shelf = StartShelf(11);
  ASSERT_NE(shelf, nullptr) << Log();
  ClickPlace(9);
  Mouse(base::ICMD::MOUSE_MOVE, 120.0f, 200.0f);
  Step();
  Step();
  EXPECT_TRUE(
      testsupport::MatchesGoldenPng(QUILLANE_TEST_DIR "/golden/bookshelf_carry.png", m_pixels, kWidth, kHeight));
}

}  // namespace
}  // namespace minigametest
