// The editor mode through the real window: the program in a virtual X display, driven by X events
// and read back from the X server's screen.
//   - Escape closes the editor menu as a click beside it does;
//   - a click on the train editor opened over the scene manager reaches the train editor, not the
//     manager's button under it, and its popup is left with Escape or a right click;
//   - a mini-game opened from the menu, the pointer resting on the entry clicked, reads the pointer
//     there: Sabotage keeps its first view instead of scrolling to the corner it would take for it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "support/ProgramRun.h"
#include "x_session.h"

namespace playertest {
namespace {

namespace fs = std::filesystem;

constexpr int kSettleMs = 600;    // a few frames after each act

// The pixels of screen inside [x0, x1) x [y0, y1) that differ from before by more than a little.
int Changed(const st_Screen& before, const st_Screen& now, int x0, int y0, int x1, int y1) {
  int changed = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const uint32_t a = before.At(x, y), b = now.At(x, y);
      for (int shift : {16, 8, 0})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 24) {
          ++changed;
          break;
        }
    }
  return changed;
}

// The pixels of screen inside [x0, x1) x [y0, y1) that are black.
int Black(const st_Screen& screen, int x0, int y0, int x1, int y1) {
  int black = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) black += (screen.At(x, y) & 0xF8F8F8u) == 0 ? 1 : 0;
  return black;
}

// The editor mode started in the X display (its data copy made beside the user folder); skips
// where the tools, the program or the demo data are missing.
class EditorWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = MissingTools();
    if (!missing.empty()) {
      if (std::getenv("CI")) FAIL() << "missing here: " << missing;
      GTEST_SKIP() << "missing here: " << missing << " (scripts/install-deps.sh installs them)";
    }
    if (!fs::exists(testprogram::ProgramPath()) || !fs::exists(fs::path(QUILLANE_DATA_DIR) / "scenes/scenes.xml"))
      GTEST_SKIP() << "no program or no demo data";
    m_dir = std::make_unique<testprogram::TempDir>("quillane_editor_window");
    m_log = m_dir->path("editor.log");
    ASSERT_TRUE(m_x.StartEditor(m_dir->path("user"), m_log, kWindowWidth, kWindowHeight, kStartMs))
        << testprogram::ReadFile(m_log);
  }

  std::unique_ptr<testprogram::TempDir> m_dir;
  std::string m_log;
  cl_XSession m_x;  // stopped before the folder goes
};

TEST_F(EditorWindow, EscapeClosesTheMenuAndTheWindowOnTopTakesTheClick) {
  m_x.MoveTo(kRestX, kRestY);  // the keys go to the window under the pointer
  Frames(kSettleMs);
  const st_Screen empty = m_x.Grab();
  ASSERT_EQ(empty.width, kWindowWidth);

  // The menu opens at the pointer; Escape closes it.
  constexpr int kMenuX = 600, kMenuY = 300;
  m_x.RightClick(kMenuX, kMenuY);
  m_x.MoveTo(kRestX, kRestY);
  Frames(kSettleMs);
  EXPECT_GT(Changed(empty, m_x.Grab(), kMenuX, kMenuY, kMenuX + 80, kMenuY + 60), 100) << "no menu";
  m_x.Key("Escape");
  Frames(kSettleMs);
  EXPECT_EQ(Changed(empty, m_x.Grab(), kMenuX, kMenuY, kMenuX + 80, kMenuY + 60), 0) << "the menu stays";

  // Its first entry opens the scene manager (top left), its tenth the train editor, which covers
  // the window and takes every click: one on the manager's Add button beneath it opens no "New
  // scene" dialog.
  constexpr int kEntryDX = 20, kEntryH = 21, kTrainEntry = 9;
  m_x.RightClick(kMenuX, kMenuY);
  Frames(kSettleMs);
  m_x.Click(kMenuX + kEntryDX, kMenuY + kEntryH / 2);
  m_x.MoveTo(kRestX, kRestY);
  Frames(kSettleMs);
  ASSERT_GT(Changed(empty, m_x.Grab(), 20, 40, 260, 360), 1000) << "no scene manager";
  m_x.RightClick(kMenuX, kMenuY);
  Frames(kSettleMs);
  m_x.Click(kMenuX + kEntryDX, kMenuY + kTrainEntry * kEntryH + kEntryH / 2);
  m_x.MoveTo(kRestX, kRestY);
  Frames(2 * kSettleMs);
  const st_Screen train = m_x.Grab();
  ASSERT_GT(Changed(empty, train, 0, 0, kWindowWidth, kWindowHeight), 50000) << "no train editor";
  constexpr int kAddX = 40, kAddY = 352;  // the manager's "Add" under the board
  m_x.Click(kAddX, kAddY);
  m_x.MoveTo(kRestX, kRestY);
  Frames(kSettleMs);
  EXPECT_EQ(Changed(train, m_x.Grab(), 362, 140, 660, 420), 0)
      << "the click reached the scene manager under the train editor\n"
      << testprogram::ReadFile(m_log);

  // A right click on the board opens its popup; Escape, and a second right click, close it as a
  // cancel: the board shows where it was.
  constexpr int kPopupX = 700, kPopupY = 150, kPopupW = 120, kPopupH = 120;
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Escape" : "right click");
    m_x.RightClick(kPopupX, kPopupY);
    m_x.MoveTo(kRestX, kRestY);
    Frames(kSettleMs);
    ASSERT_GT(Changed(train, m_x.Grab(), kPopupX, kPopupY, kPopupX + kPopupW, kPopupY + kPopupH), 100) << "no popup";
    if (escape) {
      m_x.Key("Escape");
    } else {
      m_x.RightClick(kPopupX - 300, kPopupY + 300);
      m_x.MoveTo(kRestX, kRestY);
    }
    Frames(kSettleMs);
    EXPECT_EQ(Changed(train, m_x.Grab(), kPopupX, kPopupY, kPopupX + kPopupW, kPopupY + kPopupH), 0)
        << "the popup stays";
  }
  m_x.Stop();
}

// Sabotage opened from the menu, the pointer left on its entry in the middle of the window: the
// game takes the pointer for where it rests, so its first view stays; read as the window's corner,
// the edge scroll would carry the view into the empty black corner of its board.
TEST_F(EditorWindow, AGameOpenedUnderARestingPointerReadsItWhereItRests) {
  constexpr int kMenuX = 600, kMenuY = 300, kEntryDX = 20, kEntryH = 21, kSabotageEntry = 7;
  m_x.MoveTo(kRestX, kRestY);
  Frames(kSettleMs);
  m_x.RightClick(kMenuX, kMenuY);
  Frames(kSettleMs);
  m_x.Click(kMenuX + kEntryDX, kMenuY + kSabotageEntry * kEntryH + kEntryH / 2);  // and no move after it
  Frames(2 * kSettleMs);
  const st_Screen first = m_x.Grab();
  ASSERT_EQ(first.width, kWindowWidth);
  Frames(3 * kSettleMs);
  const st_Screen later = m_x.Grab();
  // The board's top-left quarter, below the black band above the game's area.
  constexpr int kBand = 64;
  const int quarter = (kWindowWidth / 2) * (kWindowHeight / 2 - kBand);
  EXPECT_LT(Black(first, 0, kBand, kWindowWidth / 2, kWindowHeight / 2), quarter / 4) << "no board in the first view";
  EXPECT_LT(Black(later, 0, kBand, kWindowWidth / 2, kWindowHeight / 2), quarter / 4) << "scrolled to the corner";
  EXPECT_LT(Changed(first, later, 0, 0, kWindowWidth, kWindowHeight), kWindowWidth * kWindowHeight / 100)
      << "the view moved while the pointer rested\n"
      << testprogram::ReadFile(m_log);
  m_x.Stop();
}

}  // namespace
}  // namespace playertest
