// The editor mode through the real window: the program in a virtual X display, driven by X events
// and read back from the X server's screen.
//   - Escape closes the editor menu as a click beside it does;
//   - a click on the train editor opened over the scene manager reaches the train editor, not the
//     manager's button under it.
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

TEST(EditorWindow, EscapeClosesTheMenuAndTheWindowOnTopTakesTheClick) {
  const std::string missing = MissingTools();
  if (!missing.empty()) {
    if (std::getenv("CI")) FAIL() << "missing here: " << missing;
    GTEST_SKIP() << "missing here: " << missing << " (scripts/install-deps.sh installs them)";
  }
  if (!fs::exists(testprogram::ProgramPath()) || !fs::exists(fs::path(QUILLANE_DATA_DIR) / "scenes/scenes.xml"))
    GTEST_SKIP() << "no program or no demo data";
  testprogram::TempDir dir("quillane_editor_window");  // the program's data copy is made beside the user folder
  const std::string user = dir.path("user"), log = dir.path("editor.log");
  testprogram::WriteUserConfig(
      user, {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""},
             {"<DevTools ShowIntroMovies=\"0\"/>", "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"editor\"/>"}});
  cl_XSession x;
  ASSERT_TRUE(x.Start(user, log, kWindowWidth, kWindowHeight, "us")) << testprogram::ReadFile(log);
  ASSERT_TRUE(testprogram::WaitForLog(log, "GameFrame: state Editor", kStartMs)) << testprogram::ReadFile(log);
  x.MoveTo(kRestX, kRestY);  // the keys go to the window under the pointer
  Frames(kSettleMs);
  const st_Screen empty = x.Grab();
  ASSERT_EQ(empty.width, kWindowWidth);

  // The menu opens at the pointer; Escape closes it.
  constexpr int kMenuX = 600, kMenuY = 300;
  x.RightClick(kMenuX, kMenuY);
  x.MoveTo(kRestX, kRestY);
  Frames(kSettleMs);
  EXPECT_GT(Changed(empty, x.Grab(), kMenuX, kMenuY, kMenuX + 80, kMenuY + 60), 100) << "no menu";
  x.Key("Escape");
  Frames(kSettleMs);
  EXPECT_EQ(Changed(empty, x.Grab(), kMenuX, kMenuY, kMenuX + 80, kMenuY + 60), 0) << "the menu stays";

  // Its first entry opens the scene manager (top left), its tenth the train editor, which covers
  // the window and takes every click: one on the manager's Add button beneath it opens no "New
  // scene" dialog.
  constexpr int kEntryDX = 20, kEntryH = 21, kTrainEntry = 9;
  x.RightClick(kMenuX, kMenuY);
  Frames(kSettleMs);
  x.Click(kMenuX + kEntryDX, kMenuY + kEntryH / 2);
  x.MoveTo(kRestX, kRestY);
  Frames(kSettleMs);
  ASSERT_GT(Changed(empty, x.Grab(), 20, 40, 260, 360), 1000) << "no scene manager";
  x.RightClick(kMenuX, kMenuY);
  Frames(kSettleMs);
  x.Click(kMenuX + kEntryDX, kMenuY + kTrainEntry * kEntryH + kEntryH / 2);
  x.MoveTo(kRestX, kRestY);
  Frames(2 * kSettleMs);
  const st_Screen train = x.Grab();
  ASSERT_GT(Changed(empty, train, 0, 0, kWindowWidth, kWindowHeight), 50000) << "no train editor";
  constexpr int kAddX = 40, kAddY = 352;  // the manager's "Add" under the board
  x.Click(kAddX, kAddY);
  x.MoveTo(kRestX, kRestY);
  Frames(kSettleMs);
  EXPECT_EQ(Changed(train, x.Grab(), 362, 140, 660, 420), 0)
      << "the click reached the scene manager under the train editor\n"
      << testprogram::ReadFile(log);
  x.Stop();
}

}  // namespace
}  // namespace playertest
