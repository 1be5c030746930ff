// The window tree seen from outside: hit edges, hidden and disabled subtrees, focus, selection,
// bubbling without a panel, and tree toggles marking their edit control.
#include <gtest/gtest.h>

#include "recording_skin.h"

namespace {

using base::cl_Window;
using guitest::Down;
using guitest::Frame;
using guitest::Log;
using Plain = guitest::tRecorded<cl_Window>;

Plain* Make(cl_Window* parent, const char* label, base::st_WindowRect r) {
  auto* w = new Plain;
  w->m_Label = label;
  w->m_Rect = r;
  if (parent) parent->AddChild(w);
  return w;
}

// Takes every command it is offered and counts them.
struct cl_Taker : Plain {
  bool ProcessInput(base::ICMD& cmd) override {
    Plain::ProcessInput(cmd);
    ++m_taken;
    return true;
  }
  int m_taken = 0;
};

TEST(GuiTree, HitTestIncludesTheLeftAndTopEdgesOnly) {
  guitest::cl_TestGUI gui;
  Plain* w = Make(&gui, "w", {10, 20, 30, 40});
  Frame(gui, {});
  struct {
    int x, y;
    bool inside;
  } cases[] = {{10, 20, true}, {39, 59, true}, {40, 30, false}, {20, 60, false}, {9, 30, false}, {20, 19, false}};
  for (const auto& c : cases) EXPECT_EQ(w->HitTest(guitest::Move(c.x, c.y)), c.inside) << c.x << "," << c.y;
}

TEST(GuiTree, HiddenAndDisabledSubtrees) {
  guitest::cl_TestGUI gui;
  Plain* hidden = Make(&gui, "hidden", {100, 100, 10, 10});
  Plain* inner = Make(hidden, "inner", {5, 5, 2, 2});
  auto* disabled = new cl_Taker;
  disabled->m_Label = "disabled";
  disabled->m_Rect = {0, 0, 50, 50};
  gui.AddChild(disabled);
  auto* below = new cl_Taker;
  disabled->AddChild(below);
  Frame(gui, {});
  const base::st_ScreenRect before = inner->m_AbsRect;

  hidden->Show(false);
  disabled->SetFlag(base::WF_DISABLED, true);
  hidden->m_Rect.x = 300;
  inner->Show(true);  // its parent stays hidden
  Log().ClearFrame();
  Frame(gui, {guitest::Move(1, 1), Down(1, 1)});
  EXPECT_FALSE(Log().Drew("hidden"));
  EXPECT_FALSE(Log().Drew("inner"));
  EXPECT_TRUE(Log().Drew("disabled"));  // disabled still renders
  EXPECT_EQ(inner->m_AbsRect.left, before.left);  // kept from the last frame it was shown
  EXPECT_EQ(disabled->m_taken + below->m_taken, 0);
  const base::st_ScreenRect bounds = gui.GetBoundingRect();
  EXPECT_EQ(bounds.right, 1024);
  EXPECT_EQ(bounds.left, 0);
}

TEST(GuiTree, FocusSelectionAndSearch) {
  guitest::cl_TestGUI gui;
  Plain* a = Make(&gui, "a", {});
  Plain* b = Make(a, "x", {});
  Plain* c = Make(a, "c", {});
  Plain* d = Make(c, "x", {});
  Make(&gui, "x", {});
  EXPECT_EQ(gui.FindByLabel("x"), b);  // depth first, in list order
  EXPECT_EQ(a->FindChild("x"), b);
  EXPECT_EQ(a->FindChild("d"), nullptr);
  EXPECT_EQ(a->GetChild(2), nullptr);
  EXPECT_EQ(a->GetChild(-1), nullptr);

  a->Select("x", true);
  base::tWindowList collected, children;
  a->CollectSelected(collected);
  EXPECT_EQ(collected, (base::tWindowList{b, d}));
  c->SetFlag(base::WF_SELECTED, true);
  c->GetSelectedChildren(children);
  EXPECT_EQ(children, (base::tWindowList{d}));  // the window itself is left out
  EXPECT_STREQ(a->GetSelectedLabel().c_str(), "x");
  a->ClearSelection();
  EXPECT_STREQ(a->GetSelectedLabel().c_str(), "");

  // Adding again moves a child to the end (drawn last), never lists it twice; another parent
  // loses it.
  a->AddChild(b);
  EXPECT_EQ(a->m_Children, (base::tWindowList{c, b}));
  gui.AddChild(b);
  EXPECT_EQ(a->m_Children, (base::tWindowList{c}));
  EXPECT_EQ(b->GetParent(), &gui);
  gui.AddModalWindow(b);
  EXPECT_EQ(gui.GetChildCount(), 3);

  d->SetFocus();
  EXPECT_TRUE(a->HasFocus());
  EXPECT_FALSE(b->HasFocus());
  c->RemoveChild(d);
  delete d;
  EXPECT_EQ(base::g_pFocusWindow, nullptr);
}

TEST(GuiTree, EventsWithoutAPanelAreAnsweredAtTheRoot) {
  cl_Window root;
  auto* child = new base::cl_Button;
  root.AddChild(child);
  base::Variant event;
  event.set_element("ButtonPressed");
  EXPECT_TRUE(child->ProcessEvent(event));
  child->m_Flags |= base::WF_CLOSE_PANEL;
  child->Activate();  // no panel to close: nothing happens
  EXPECT_EQ(root.GetChildCount(), 1);
}

TEST(GuiTree, TreeToggleMarksItsEditControlForRebuild) {
  guitest::st_SelfTest t(std::string(QUILLANE_DATA_DIR) + "/GUI.xml");
  auto* list = t.Find<guitest::cl_TestList>("Picks");
  auto* toggle = new base::cl_TreeToggle;
  toggle->m_Rect = {178, 3, 16, 16};  // right of the rows
  list->m_pScrollArea->m_pClient->AddChild(toggle);
  Frame(t.gui, {});
  // Input only: the rebuild at the next render would delete the toggle with the other rows.
  base::ICMD press = Down(static_cast<int>(toggle->m_AbsRect.left) + 1, static_cast<int>(toggle->m_AbsRect.top) + 1);
  t.gui.ProcessInput(press);
  EXPECT_TRUE(toggle->IsOpen());
  EXPECT_TRUE(list->HasFlag(base::WF_REBUILD));
  t.gui.ProcessInput(press);
  EXPECT_FALSE(toggle->IsOpen());
}

}  // namespace
