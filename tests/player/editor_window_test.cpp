// The editor mode through the real window: the program in a virtual X display, driven by X events
// and read back from the X server's screen.
//   - Escape closes the editor menu as a click beside it does;
//   - a click on the train editor opened over the scene manager reaches the train editor, not the
//     manager's button under it, and its popup is left with Escape or a right click;
//   - a mini-game opened from the menu, the pointer resting on the entry clicked, reads the pointer
//     there: Sabotage keeps its first view instead of scrolling to the corner it would take for it;
//   - a train board built from nothing, no scene open, shows each station and the first track.
//   - a dance recording's save panel left with Escape opens again with F, and "Quit" over the
//     recording asks first: Escape keeps the program and the recording, Yes ends it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "support/ProgramRun.h"
#include "support/TimeScale.h"
#include "x_session.h"

namespace playertest {
namespace {

namespace fs = std::filesystem;

constexpr int kSettleMs = 600;  // a few frames of the program's time

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

// The width of the TGA picture at path (its header's), 0 when it cannot be read.
int TgaWidth(const fs::path& path) {
  const std::string header = testprogram::ReadFile(path.string());
  return header.size() < 18 ? 0 : static_cast<unsigned char>(header[12]) | static_cast<unsigned char>(header[13]) << 8;
}

// The lowest row of screen that is white across nearly all its width: the train board's frame.
int BoardBottom(const st_Screen& screen) {
  for (int y = screen.height - 1; y >= 0; --y) {
    int white = 0;
    for (int x = 0; x < screen.width; ++x) white += (screen.At(x, y) & 0xF0F0F0u) == 0xF0F0F0u ? 1 : 0;
    if (white * 10 > screen.width * 9) return y;
  }
  return 0;
}

// The pixels of screen inside [x0, x1) x [y0, y1) that are (nearly) white, as an edit field is.
int White(const st_Screen& screen, int x0, int y0, int x1, int y1) {
  int white = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) white += (screen.At(x, y) & 0xF0F0F0u) == 0xF0F0F0u ? 1 : 0;
  return white;
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

  // The screen once the pixels in [x0, x1) x [y0, y1) that differ from before are as many as
  // `count` accepts: the number then. Menus and windows open and close a frame or more after the act.
  int AwaitChanged(const st_Screen& before, int x0, int y0, int x1, int y1, const std::function<bool(int)>& count) {
    const st_Screen now = m_x.GrabUntil([&](const st_Screen& s) { return count(Changed(before, s, x0, y0, x1, y1)); });
    return Changed(before, now, x0, y0, x1, y1);
  }
  // The screen once [x0, x1) x [y0, y1) has stayed as it is for a while of the program's time.
  st_Screen Still(int x0, int y0, int x1, int y1) {
    return m_x.Settled([&](const st_Screen& a, const st_Screen& b) { return Changed(a, b, x0, y0, x1, y1) == 0; },
                       kSettleMs);
  }
  // The editor menu opened at the pointer over screen (the one shown now) and its entry clicked;
  // the pointer stays on the entry.
  void ChooseFromMenu(const st_Screen& screen, int entry) {
    constexpr int kMenuX = 600, kMenuY = 300, kEntryDX = 20, kEntryH = 21;
    m_x.RightClick(kMenuX, kMenuY);
    ASSERT_GT(AwaitChanged(screen, kMenuX, kMenuY, kMenuX + 80, kMenuY + 60, [](int n) { return n > 100; }), 100)
        << "no menu";
    m_x.Click(kMenuX + kEntryDX, kMenuY + entry * kEntryH + kEntryH / 2);
  }

  std::unique_ptr<testprogram::TempDir> m_dir;
  std::string m_log;
  cl_XSession m_x;  // stopped before the folder goes
};

TEST_F(EditorWindow, EscapeClosesTheMenuAndTheWindowOnTopTakesTheClick) {
  m_x.MoveTo(kRestX, kRestY);  // the keys go to the window under the pointer
  const st_Screen empty = Still(0, 0, kWindowWidth, kWindowHeight);
  ASSERT_EQ(empty.width, kWindowWidth);

  // The menu opens at the pointer; Escape closes it.
  constexpr int kMenuX = 600, kMenuY = 300;
  const auto menu = [&](const std::function<bool(int)>& count) {
    return AwaitChanged(empty, kMenuX, kMenuY, kMenuX + 80, kMenuY + 60, count);
  };
  const auto shown = [](int threshold) { return [threshold](int changed) { return changed > threshold; }; };
  const auto gone = [](int changed) { return changed == 0; };
  m_x.RightClick(kMenuX, kMenuY);
  m_x.MoveTo(kRestX, kRestY);
  EXPECT_GT(menu(shown(100)), 100) << "no menu";
  m_x.Key("Escape");
  EXPECT_EQ(menu(gone), 0) << "the menu stays";

  // Its first entry opens the scene manager (top left), its tenth the train editor, which covers
  // the window and takes every click: one on the manager's Add button beneath it opens no "New
  // scene" dialog.
  constexpr int kEntryDX = 20, kEntryH = 21, kTrainEntry = 9;
  m_x.RightClick(kMenuX, kMenuY);
  ASSERT_GT(menu(shown(100)), 100) << "no menu";
  m_x.Click(kMenuX + kEntryDX, kMenuY + kEntryH / 2);
  m_x.MoveTo(kRestX, kRestY);
  ASSERT_GT(AwaitChanged(empty, 20, 40, 260, 360, shown(1000)), 1000) << "no scene manager";
  m_x.RightClick(kMenuX, kMenuY);
  ASSERT_GT(menu(shown(100)), 100) << "no menu";
  m_x.Click(kMenuX + kEntryDX, kMenuY + kTrainEntry * kEntryH + kEntryH / 2);
  m_x.MoveTo(kRestX, kRestY);
  ASSERT_GT(AwaitChanged(empty, 0, 0, kWindowWidth, kWindowHeight, shown(50000)), 50000) << "no train editor";
  // What follows is compared with the board where the dialog and the popup would show.
  constexpr int kPopupX = 700, kPopupY = 150, kPopupW = 120, kPopupH = 120;
  const st_Screen train = Still(362, 140, kPopupX + kPopupW, 420);
  constexpr int kAddX = 40, kAddY = 352;  // the manager's "Add" under the board
  m_x.Click(kAddX, kAddY);
  m_x.MoveTo(kRestX, kRestY);
  Frames(kSettleMs);  // nothing to wait for: the program's own time, in which it takes the click
  EXPECT_EQ(Changed(train, m_x.Grab(), 362, 140, 660, 420), 0)
      << "the click reached the scene manager under the train editor\n"
      << testprogram::ReadFile(m_log);

  // A right click on the board opens its popup; Escape, and a second right click, close it as a
  // cancel: the board shows where it was.
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Escape" : "right click");
    const auto popup = [&](const std::function<bool(int)>& count) {
      return AwaitChanged(train, kPopupX, kPopupY, kPopupX + kPopupW, kPopupY + kPopupH, count);
    };
    m_x.RightClick(kPopupX, kPopupY);
    m_x.MoveTo(kRestX, kRestY);
    ASSERT_GT(popup(shown(100)), 100) << "no popup";
    if (escape) {
      m_x.Key("Escape");
    } else {
      m_x.RightClick(kPopupX - 300, kPopupY + 300);
      m_x.MoveTo(kRestX, kRestY);
    }
    EXPECT_EQ(popup(gone), 0) << "the popup stays";
  }
  m_x.Stop();
}

// Sabotage opened from the menu, the pointer left on its entry in the middle of the window: the
// game takes the pointer for where it rests, so its first view stays; read as the window's corner,
// the edge scroll would carry the view into the empty black corner of its board.
TEST_F(EditorWindow, AGameOpenedUnderARestingPointerReadsItWhereItRests) {
  constexpr int kSabotageEntry = 7;
  m_x.MoveTo(kRestX, kRestY);
  const st_Screen editor = Still(0, 0, kWindowWidth, kWindowHeight);
  ASSERT_EQ(editor.width, kWindowWidth);
  ASSERT_NO_FATAL_FAILURE(ChooseFromMenu(editor, kSabotageEntry));  // and no move after it
  // The game covers the window, fades in and shows its first view.
  constexpr int kScreenPixels = kWindowWidth * kWindowHeight;
  ASSERT_GT(AwaitChanged(editor, 0, 0, kWindowWidth, kWindowHeight, [](int n) { return n > kScreenPixels / 2; }),
            kScreenPixels / 2)
      << "no game\n"
      << testprogram::ReadFile(m_log);
  const st_Screen first = m_x.Settled(
      [](const st_Screen& a, const st_Screen& b) {
        return Changed(a, b, 0, 0, kWindowWidth, kWindowHeight) < kScreenPixels / 100;
      },
      kSettleMs);
  Frames(3 * kSettleMs);
  const st_Screen later = m_x.Grab();
  // The board's top-left quarter, below the black band above the game's area.
  constexpr int kBand = 64;
  const int quarter = (kWindowWidth / 2) * (kWindowHeight / 2 - kBand);
  EXPECT_LT(Black(first, 0, kBand, kWindowWidth / 2, kWindowHeight / 2), quarter / 4) << "no board in the first view";
  EXPECT_LT(Black(later, 0, kBand, kWindowWidth / 2, kWindowHeight / 2), quarter / 4) << "scrolled to the corner";
  EXPECT_LT(Changed(first, later, 0, 0, kWindowWidth, kWindowHeight), kScreenPixels / 100)
      << "the view moved while the pointer rested\n"
      << testprogram::ReadFile(m_log);
  m_x.Stop();
}

// A board built from nothing with no scene open, through the menus and the mouse: each station
// shows in its square (its picture's size, where the right click was) over the black board as
// soon as it is added, and nothing else changes; then the Ctrl-drag's track between them. A new
// board stayed black until its first track.
TEST_F(EditorWindow, ATrainBoardBuiltFromNothingShowsEachStep) {
  // The menu's tenth entry opens the train editor; a popup's entries are as high as the menu's.
  constexpr int kTrainEntry = 9, kEntryDX = 20, kEntryH = 21;
  const int size = TgaWidth(fs::path(QUILLANE_DATA_DIR) / "gui/minigames/traintravel/node.tga");
  ASSERT_GT(size, 0) << "no station picture";
  m_x.MoveTo(kRestX, kRestY);
  const st_Screen empty = Still(0, 0, kWindowWidth, kWindowHeight);
  ASSERT_EQ(empty.width, kWindowWidth);
  ASSERT_NO_FATAL_FAILURE(ChooseFromMenu(empty, kTrainEntry));
  m_x.MoveTo(kRestX, kRestY);
  ASSERT_GT(AwaitChanged(empty, 0, 0, kWindowWidth, kWindowHeight, [](int n) { return n > 50000; }), 50000)
      << "no train editor";
  st_Screen before = Still(0, 0, kWindowWidth, kWindowHeight);
  const int bottom = BoardBottom(before);  // below it the status line, which counts the stations
  ASSERT_GT(bottom, kWindowHeight / 2) << "no board";

  struct st_Square {
    int x, y;
  };
  const st_Square stations[] = {{200, 300}, {600, 200}};
  const auto inSquare = [&](const st_Screen& a, const st_Screen& b, const st_Square& at) {
    return Changed(a, b, at.x, at.y, at.x + size, at.y + size);
  };
  for (const st_Square& at : stations) {
    SCOPED_TRACE(at.x);
    m_x.RightClick(at.x, at.y);
    ASSERT_GT(AwaitChanged(before, at.x, at.y, at.x + 80, at.y + 60, [](int n) { return n > 100; }), 100)
        << "no popup";
    m_x.Click(at.x + kEntryDX, at.y + kEntryH / 2);  // "Add station"
    m_x.MoveTo(kRestX, kRestY);
    const auto shown = [&](const st_Screen& now) {
      return inSquare(before, now, at) * 3 > size * size &&
             Changed(before, now, 0, 0, kWindowWidth, bottom) == inSquare(before, now, at);
    };
    const st_Screen now = m_x.GrabUntil(shown);
    ASSERT_GT(inSquare(before, now, at) * 3, size * size) << "the station is not drawn\n"
                                                           << testprogram::ReadFile(m_log);
    EXPECT_EQ(Changed(before, now, 0, 0, kWindowWidth, bottom), inSquare(before, now, at))
        << "more than the station changed";
    before = Still(0, 0, kWindowWidth, bottom);
  }

  const auto centre = [&](const st_Square& at) { return std::pair(at.x + size / 2, at.y + size / 2); };
  const auto [x0, y0] = centre(stations[0]);
  const auto [x1, y1] = centre(stations[1]);
  m_x.MoveTo(x0, y0);
  m_x.KeyDown("Control_L");
  Frames(100);
  m_x.Press();
  m_x.MoveTo((x0 + x1) / 2, (y0 + y1) / 2);
  Frames(100);
  m_x.MoveTo(x1, y1);
  Frames(100);
  m_x.Release();
  m_x.KeyUp("Control_L");
  m_x.MoveTo(kRestX, kRestY);
  const auto track = [&](const st_Screen& now) {
    return Changed(before, now, 0, 0, kWindowWidth, bottom) - inSquare(before, now, stations[0]) -
           inSquare(before, now, stations[1]);
  };
  const st_Screen laid = m_x.GrabUntil([&](const st_Screen& now) { return track(now) > x1 - x0; });
  EXPECT_GT(track(laid), x1 - x0) << "no track between the stations\n" << testprogram::ReadFile(m_log);
  m_x.Stop();
}

// A dance recorded by key taps: Escape on its save panel keeps the recording, F opens the panel
// again; "Quit" in the editor's menu over it asks, Escape keeps the program and the recording, and
// Yes ends the program.
TEST_F(EditorWindow, ADanceRecordingStaysSaveableAndQuitAsksBeforeDroppingIt) {
  constexpr int kMenuX = 600, kMenuY = 300, kEntryDX = 20, kEntryH = 21, kDanceEntry = 8, kQuitEntry = 13;
  // The save panel's name field, and the question's Yes (data/GUI.xml, as the headless tests find them).
  constexpr int kNameX0 = 824, kNameY0 = 118, kNameX1 = 1004, kNameY1 = 140;
  constexpr int kYesX = 343, kYesY = 326;
  constexpr int kNamePixels = (kNameX1 - kNameX0) * (kNameY1 - kNameY0);
  const auto menu = [&](int entry) {
    m_x.RightClick(kMenuX, kMenuY);
    Frames(kSettleMs);  // the menu opens in the frame that takes the click
    m_x.Click(kMenuX + kEntryDX, kMenuY + entry * kEntryH + kEntryH / 2);
    m_x.MoveTo(kRestX, kRestY);
  };
  const auto panel = [&](bool shown) {
    const st_Screen now = m_x.GrabUntil([&](const st_Screen& s) {
      return (White(s, kNameX0, kNameY0, kNameX1, kNameY1) > kNamePixels * 4 / 5) == shown;
    });
    return White(now, kNameX0, kNameY0, kNameX1, kNameY1) > kNamePixels * 4 / 5;
  };
  m_x.MoveTo(kRestX, kRestY);
  const st_Screen editor = Still(0, 0, kWindowWidth, kWindowHeight);
  ASSERT_EQ(editor.width, kWindowWidth);
  menu(kDanceEntry);
  ASSERT_GT(AwaitChanged(editor, 0, 0, kWindowWidth, kWindowHeight, [](int n) { return n > 50000; }), 50000)
      << "no dance editor\n"
      << testprogram::ReadFile(m_log);
  ASSERT_LT(White(m_x.Grab(), kNameX0, kNameY0, kNameX1, kNameY1), kNamePixels / 2)
      << "something white where the save panel's name field comes";

  // A note needs 3.62 s to reach its goal: taps before are not recorded. The song clock runs at
  // least as fast as the program's own time.
  m_x.Key("Return");
  Frames(5000);
  m_x.Key("q");
  m_x.Key("w");
  // F opens the save panel over the recording; Escape leaves it as Cancel does.
  const auto openAndLeave = [&](const char* what) {
    m_x.Key("f");
    EXPECT_TRUE(panel(true)) << what;
    m_x.Key("Escape");
    ASSERT_FALSE(panel(false)) << what << ": the panel stays";
  };
  openAndLeave("no save panel");
  openAndLeave("F opens the panel again");

  menu(kQuitEntry);
  Frames(kSettleMs);
  ASSERT_GE(m_x.ProgramMs(), 0) << "quit without asking";
  m_x.Key("Escape");
  Frames(kSettleMs);
  ASSERT_GE(m_x.ProgramMs(), 0) << "Escape quit";
  openAndLeave("the recording is kept");

  menu(kQuitEntry);
  Frames(kSettleMs);
  ASSERT_GE(m_x.ProgramMs(), 0);
  m_x.Click(kYesX, kYesY);
  EXPECT_TRUE(testsupport::WaitUntil([&] { return m_x.ProgramMs() < 0; }, kWaitMs)) << "Yes did not quit";
  EXPECT_EQ(m_x.Stop(), 0) << testprogram::ReadFile(m_log);
}

}  // namespace
}  // namespace playertest
