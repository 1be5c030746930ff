// Random input command streams on "GuiSelfTest", with event handlers that close windows, close
// their panel and open modal panels. After every frame: the caret blink phase is in range, every
// closed window has been deleted exactly once, and the focus and modal pointers lead into the tree.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "base/app/KeyCode.h"
#include "recording_skin.h"

namespace {

using base::cl_Window;
using guitest::cl_TestPanel;
using guitest::Log;

std::mt19937& Rng() {
  static std::mt19937 rng;
  return rng;
}
int Pick(int n) { return static_cast<int>(Rng()() % static_cast<unsigned>(n)); }

std::set<int>& Closed() {
  static std::set<int> closed;
  return closed;
}

void Collect(cl_Window* w, base::tWindowList& out) {
  out.push_back(w);
  for (cl_Window* c : w->m_Children) Collect(c, out);
}

bool InTree(cl_Window* root, const cl_Window* w) {
  if (root == w) return true;
  for (cl_Window* c : root->m_Children) {
    if (InTree(c, w)) return true;
  }
  return false;
}

void OnEvent(cl_TestPanel* panel, const base::Variant&);

cl_TestPanel* ModalPanel() {
  auto* panel = new cl_TestPanel;
  auto* button = new guitest::tRecorded<base::cl_Button>;
  button->m_Label = "ModalOK";
  button->m_Rect = {200, 200, 100, 40};
  panel->AddChild(button);
  panel->m_onEvent = OnEvent;
  return panel;
}

// What a careless panel might do from inside an event: close any window of its own, itself, or
// open a modal panel over everything.
void OnEvent(cl_TestPanel* panel, const base::Variant&) {
  switch (Pick(5)) {
    case 0: {
      base::tWindowList all;
      Collect(panel, all);
      cl_Window* victim = all[static_cast<size_t>(Pick(static_cast<int>(all.size())))];
      if (auto* s = dynamic_cast<guitest::i_Serial*>(victim)) Closed().insert(s->m_serial);
      victim->Close();
      break;
    }
    case 1:
      Closed().insert(panel->m_serial);
      panel->Close();
      break;
    case 2:
      if (base::cl_GUI* gui = panel->GetGUI()) gui->AddModalWindow(ModalPanel());
      break;
    default:
      break;
  }
}

// Half of the commands aim at a window of the tree, so presses and releases meet controls.
base::ICMD RandomCommand(cl_Window* root) {
  static const int kinds[] = {0, 0, 1, 2, 2, 2, 3, 4, 3, 4, 5, 6, 9, 10};
  static const int keys[] = {base::key::Enter,
                             base::key::Backspace,
                             base::key::Left,
                             base::key::Right,
                             base::key::Delete,
                             'A',
                             '1',
                             ' ',
                             0x80,
                             200};
  int x = Pick(660), y = Pick(500);
  base::tWindowList all;
  Collect(root, all);
  if (Pick(2) == 0) {
    const base::st_ScreenRect r = all[static_cast<size_t>(Pick(static_cast<int>(all.size())))]->m_AbsRect;
    if (r.right - r.left >= 1 && r.bottom - r.top >= 1 && r.left >= 0 && r.top >= 0 && r.right < 1024 &&
        r.bottom < 768) {
      x = static_cast<int>(r.left) + Pick(static_cast<int>(r.right - r.left));
      y = static_cast<int>(r.top) + Pick(static_cast<int>(r.bottom - r.top));
    }
  }
  return guitest::Cmd(kinds[Pick(14)], x, y, keys[Pick(10)], Pick(4));
}

TEST(GuiProperty, RandomInputKeepsTheTreeSound) {
  const std::string file = std::string(QUILLANE_DATA_DIR) + "/GUI.xml";
  size_t closedInAll = 0;
  int panelsLoaded = 0;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    Rng().seed(seed);
    Closed().clear();
    guitest::cl_TestGUI gui;
    base::g_pGUI = &gui;
    for (int frame = 0; frame < 400; ++frame) {
      if (gui.GetChildCount() == 0) {
        auto* panel = new cl_TestPanel;
        panel->m_onEvent = OnEvent;
        gui.AddChild(panel);
        ASSERT_TRUE(panel->LoadFromFile(file.c_str(), "GuiSelfTest"));
        testsupport::FillSelfTestEdits(panel);
        ++panelsLoaded;
      }
      std::vector<base::ICMD> cmds;
      for (int i = Pick(6); i >= 0; --i) cmds.push_back(RandomCommand(&gui));
      guitest::Frame(gui, cmds, static_cast<float>(Pick(100)) / 137.0f);

      ASSERT_GE(base::g_CaretBlink, 0.0f);
      ASSERT_LT(base::g_CaretBlink, 1.0f);
      for (int serial : Closed()) ASSERT_EQ(Log().deletions[serial], 1) << "window " << serial;
      ASSERT_TRUE(!base::g_pFocusWindow || InTree(&gui, base::g_pFocusWindow));
      for (cl_Window* m : gui.GetModalWindows()) ASSERT_TRUE(InTree(&gui, m));
      ASSERT_TRUE(gui.GetCloseQueue().empty());
    }
    closedInAll += Closed().size();
  }
  // The streams did reach the handlers: windows and whole panels were closed.
  EXPECT_GT(closedInAll, 50u);
  EXPECT_GT(panelsLoaded, 12);
  for (const auto& [serial, count] : Log().deletions) ASSERT_LE(count, 1) << "window " << serial;
}

}  // namespace
