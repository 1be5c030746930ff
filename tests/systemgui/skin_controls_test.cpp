// The composite controls, the edit control and the string control's key repeat driven through the
// skin's GUI root frame by frame: input, Update at 60 fps, Render.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "SkinFixture.h"
#include "base/data/Xml.h"
#include "base/gui/GUIEdit.h"
#include "graphics/draw/Draw.h"
#include "win32dx9/SystemGUI/SystemControls.h"
#include "win32dx9/SystemGUI/SystemValueControls.h"

namespace skintest {
namespace {

constexpr float kFrameTime = 1.0f / 60;

// A panel that records the names of the events reaching it.
class cl_RecordingPanel : public base::cl_Panel {
 public:
  bool ProcessEvent(const base::Variant& event) override {
    m_events.push_back(event.get_label() ? event.get_label() : "");
    return true;
  }
  std::vector<std::string> m_events;
};

// Takes every key release offered to it, as a game control might.
class cl_ReleaseEater : public base::cl_Window {
 public:
  bool ProcessInput(base::ICMD& cmd) override { return cmd.type == 1; }
};

class SkinControls : public SkinTest {
 protected:
  void SetUp() override {
    SkinTest::SetUp();
    if (IsSkipped()) return;
    m_panel = new cl_RecordingPanel;
    m_gui->AddChild(m_panel);
  }
  // Builds the window described by xml under the panel.
  base::cl_Window* Build(const char* xml) {
    base::StaticVariant desc;
    EXPECT_TRUE(base::xml::read_text(desc, xml));
    return m_panel->CreateFromDescription(desc);
  }
  void Frame(std::vector<base::ICMD> cmds = {}) {
    for (base::ICMD& c : cmds) m_gui->ProcessInput(c);
    m_gui->Update(kFrameTime);
    RenderFrame();
  }
  base::cl_Edit* MakeEdit(const base::Variant& value) {
    auto* edit = dynamic_cast<base::cl_Edit*>(m_panel->CreateChild("Edit"));
    edit->m_Rect = {100, 100, 200, 120};
    edit->m_Value = value;
    edit->SetFlag(base::WF_REBUILD, true);
    Frame();
    return edit;
  }
  cl_RecordingPanel* m_panel = nullptr;
};

// ---- key repeat

TEST_F(SkinControls, HeldKeyRepeatsIn46thFrameThenEveryFifth) {
  auto* line = dynamic_cast<win32dx9::cl_SystemStringCtrl*>(m_panel->CreateChild("StringCtrl"));
  line->SetFocus();
  Frame();
  base::ICMD press = Key('a');
  m_gui->ProcessInput(press);  // arrives after the frame's update: the first edit, at once
  EXPECT_STREQ(line->m_Value.get_string(), "a");
  std::vector<int> editFrames;
  for (int frame = 1; frame <= 60; ++frame) {
    const int before = base::str::len(line->m_Value.get_string());
    Frame();
    if (base::str::len(line->m_Value.get_string()) != before) editFrames.push_back(frame);
  }
  ASSERT_GE(editFrames.size(), 2u);
  EXPECT_EQ(editFrames[0], 46);
  EXPECT_EQ(editFrames[1], 51);
  Frame({KeyUp('a')});
  const std::string stopped = line->m_Value.get_string();
  for (int i = 0; i < 60; ++i) Frame();
  EXPECT_EQ(line->m_Value.get_string(), stopped);
}

TEST_F(SkinControls, RepeatStopsWhenFocusMovesAReleaseIsTakenElsewhereOrTheParentHides) {
  enum en_Stop { FOCUS, RELEASE, HIDE };
  for (en_Stop stop : {FOCUS, RELEASE, HIDE}) {
    auto* eater = new cl_ReleaseEater;
    m_panel->AddChild(eater);
    auto* group = m_panel->CreateChild("Group");
    auto* line = group->CreateChild("StringCtrl");
    auto* other = m_panel->CreateChild("StringCtrl");
    line->SetFocus();
    Frame({Key('b')});
    if (stop == FOCUS) other->SetFocus();
    if (stop == RELEASE) Frame({KeyUp('b')});  // the eater comes first and takes it
    if (stop == HIDE) group->Show(false);
    for (int i = 0; i < 120; ++i) Frame();
    EXPECT_STREQ(line->m_Value.get_string(), "b") << stop;
    EXPECT_EQ(other->m_Value.get_string(), nullptr);
    group->Close();
    other->Close();
    eater->Close();
    Frame();
  }
}

TEST_F(SkinControls, TheTwentyClassNamesMakeTheSkinAndToolkitClasses) {
  const std::vector<std::pair<const char*, bool (*)(base::cl_Window*)>> names = {
      {"Menu", [](base::cl_Window* w) { return dynamic_cast<base::cl_Menu*>(w) != nullptr; }},
      {"Sheet", [](base::cl_Window* w) { return dynamic_cast<base::cl_Sheet*>(w) != nullptr; }},
      {"Edit", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemEdit*>(w) != nullptr; }},
      {"Button", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemButton*>(w) != nullptr; }},
      {"CloseButton", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemCloseButton*>(w) != nullptr; }},
      {"TitleBar", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemTitleBar*>(w) != nullptr; }},
      {"Frame", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemFrame*>(w) != nullptr; }},
      {"SliderHandle", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemSliderHandle*>(w) != nullptr; }},
      {"Slider", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemSlider*>(w) != nullptr; }},
      {"Text", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemStaticText*>(w) != nullptr; }},
      {"Image", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemStaticImage*>(w) != nullptr; }},
      {"TreeToggle", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemTreeToggle*>(w) != nullptr; }},
      {"TreeCtrl", [](base::cl_Window* w) { return dynamic_cast<base::cl_TreeCtrl*>(w) != nullptr; }},
      {"Group", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemGroup*>(w) != nullptr; }},
      {"MenuEntry", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemMenuEntry*>(w) != nullptr; }},
      {"MenuFolder", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemMenuFolder*>(w) != nullptr; }},
      {"ScrollArea", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemScrollArea*>(w) != nullptr; }},
      {"StringCtrl", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemStringCtrl*>(w) != nullptr; }},
      {"CheckBox", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemCheckBox*>(w) != nullptr; }},
      {"RadioButton", [](base::cl_Window* w) { return dynamic_cast<win32dx9::cl_SystemRadioButton*>(w) != nullptr; }},
  };
  for (const auto& [name, isExpected] : names) {
    std::unique_ptr<base::cl_Window> w(m_gui->CreateWindow(name));
    EXPECT_TRUE(w && isExpected(w.get())) << name;
  }
  EXPECT_EQ(m_gui->CreateWindow("List"), nullptr);
  // Sizes the skin fixes at creation and in Init.
  std::unique_ptr<base::cl_Window> close(m_gui->CreateWindow("CloseButton"));
  EXPECT_EQ(close->m_Rect.w, 14);
  base::cl_Window* button = Build("<Button text=\"Options\" w=\"200\" h=\"40\"/>");
  EXPECT_NEAR(button->m_Rect.w, gfx::GetTextWidthW(u"Options") + 20, 0.01);
  EXPECT_EQ(button->m_Rect.h, 21);
  // A sheet whose widest control is a check box holds the box's caption too.
  base::cl_Window* sheet =
      Build("<Sheet text=\"L\"><CheckBox x=\"8\" y=\"8\" text=\"Use background pixels\"/></Sheet>");
  EXPECT_GE(sheet->m_Rect.w, 8 + 20 + gfx::GetTextWidthW(u"Use background pixels"));
  EXPECT_EQ(Build("<CheckBox/>")->m_Rect.w, 16) << "without a caption, the box alone";
  base::cl_Window* entry = Build("<MenuEntry text=\"Look\" close_panel=\"0\"/>");
  EXPECT_TRUE(entry->HasFlag(base::WF_CLOSE_PANEL));
  EXPECT_FALSE(entry->HasFlag(base::WF_CENTER_TEXT));
}

TEST_F(SkinControls, CaretIsClampedWhenTheValueShrinks) {
  auto* line = dynamic_cast<base::cl_StringCtrl*>(m_panel->CreateChild("StringCtrl"));
  line->m_Value.set_string("abcdef");
  line->SetFocus();
  base::g_CaretPos = 6;
  line->m_Value.set_string("ab");
  Frame();
  EXPECT_EQ(base::g_CaretPos, 2);
  Frame({Key('c')});
  EXPECT_STREQ(line->m_Value.get_string(), "abc");
  // Left of the line: index 0; at its left edge: 1 for a non-empty text.
  EXPECT_EQ(line->GetCharIndexAt(int(line->m_AbsRect.left) - 1), 0);
  EXPECT_EQ(line->GetCharIndexAt(int(line->m_AbsRect.left)), 1);
  EXPECT_EQ(line->GetCharIndexAt(int(line->m_AbsRect.right) + 50), 3);

  // A UTF-8 value: a click places the caret between characters, never inside one.
  line->m_Value.set_string("tür Жук€");
  Frame();
  const std::string text = line->m_Value.get_string();
  for (int x = int(line->m_AbsRect.left) - 2; x < int(line->m_AbsRect.right) + 2; ++x) {
    const int at = line->GetCharIndexAt(x);
    ASSERT_TRUE(at == int(text.size()) || (static_cast<unsigned char>(text[size_t(at)]) & 0xC0) != 0x80) << x;
  }
}

// ---- composite controls

TEST_F(SkinControls, MenuIsAtLeast80WideEvenAndExactlyAPopup) {
  struct st_Case {
    const char* xml;
    float width;
  } cases[] = {
      {"<Menu disable=\"1\" selectable=\"1\"><Lantern w=\"30\" h=\"20\"/><Lantern w=\"40\" h=\"10\"/></Menu>", 80},
      {"<Menu><Lantern w=\"101\" h=\"20\"/><Lantern w=\"50\" h=\"15.5\"/></Menu>", 100},
  };
  for (const st_Case& c : cases) {
    base::cl_Window* menu = Build(c.xml);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->m_Rect.w, c.width) << c.xml;
    EXPECT_EQ(menu->m_Flags, base::WF_POPUP);
    for (base::cl_Window* entry : menu->m_Children) EXPECT_EQ(entry->m_Rect.w, c.width);
    EXPECT_EQ(menu->GetChild(1)->m_Rect.y, menu->GetChild(0)->m_Rect.h);
  }
}

TEST_F(SkinControls, MenuFolderOpensOnHoverAndClosesElsewhere) {
  base::cl_Window* folder =
      Build("<MenuFolder text=\"More\"><MenuEntry text=\"One\"/><MenuEntry text=\"Two\"/></MenuFolder>");
  Frame();
  base::cl_Window* sub = folder->GetChild(0);
  ASSERT_NE(sub, nullptr);
  EXPECT_TRUE(sub->HasFlag(base::WF_HIDDEN));
  Frame({Cmd(base::ICMD::MOUSE_MOVE, 5, 5)});  // a folder reads no position: it is at (0, 0)
  EXPECT_FALSE(sub->HasFlag(base::WF_HIDDEN));
  Frame();  // placed right of the folder
  ASSERT_GT(sub->m_AbsRect.bottom, 12);  // its top lies 22 above the folder, off the screen
  Frame({Cmd(base::ICMD::MOUSE_MOVE, int(sub->m_AbsRect.left) + 5, 10)});
  EXPECT_FALSE(sub->HasFlag(base::WF_HIDDEN));
  Frame({Cmd(base::ICMD::MOUSE_MOVE, 600, 20)});
  EXPECT_TRUE(sub->HasFlag(base::WF_HIDDEN));
}

TEST_F(SkinControls, TitleBarDragsTheSheetAndAReleaseRaisesItsText) {
  base::cl_Window* sheet = Build(
      "<Sheet text=\"Options\" close_button=\"1\" x=\"100\" y=\"100\"><Lantern x=\"10\" y=\"10\" w=\"100\" h=\"50\"/></Sheet>");
  auto* typed = dynamic_cast<base::cl_Sheet*>(sheet);
  ASSERT_NE(typed, nullptr);
  ASSERT_NE(typed->m_pTitleBar, nullptr);
  EXPECT_NE(dynamic_cast<base::cl_TitleBar*>(typed->m_pTitleBar)->m_pCloseButton, nullptr);
  EXPECT_EQ(typed->m_pFrame->m_Rect.y, 20);
  EXPECT_EQ(sheet->m_Rect.w, 126);  // contents' right edge + 16
  EXPECT_EQ(sheet->m_Rect.h, 96);   // 20 + bottom edge + 16
  Frame();
  Frame({Cmd(base::ICMD::LEFT_DOWN, 110, 105), Cmd(base::ICMD::MOUSE_MOVE, 140, 125)});
  EXPECT_EQ(sheet->m_Rect.x, 130);
  EXPECT_EQ(sheet->m_Rect.y, 120);
  EXPECT_EQ(typed->m_pTitleBar->m_Rect.x, 0);
  Frame({Cmd(base::ICMD::LEFT_UP, 140, 125)});
  ASSERT_FALSE(m_panel->m_events.empty());
  EXPECT_EQ(m_panel->m_events.back(), "Options");

  base::cl_Window* plain = Build("<Sheet><Lantern x=\"0\" y=\"0\" w=\"20\" h=\"20\"/></Sheet>");
  EXPECT_EQ(dynamic_cast<base::cl_Sheet*>(plain)->m_pTitleBar, nullptr);
  EXPECT_EQ(dynamic_cast<base::cl_Sheet*>(plain)->m_pFrame->m_Rect.y, 20);
  EXPECT_EQ(plain->m_Rect.w, 36);
  EXPECT_EQ(plain->m_Rect.h, 56);
}

// ---- edit control

TEST_F(SkinControls, PlainEditIsOneEditableLine) {
  base::cl_Window* edit = Build("<Edit x=\"10\" y=\"10\" w=\"200\" h=\"20\" focus=\"1\"/>");
  ASSERT_EQ(edit->GetChildCount(), 1);
  EXPECT_EQ(base::g_pFocusWindow, edit->GetChild(0));
  EXPECT_TRUE(edit->GetChild(0)->HasFlag(base::WF_EDITABLE));
  Frame({Key('x'), Key('y')});
  EXPECT_STREQ(edit->m_Value.get_string(), "xy");
  // A description tagged "Edit" with sub-elements is an element value: no rows.
  base::cl_Window* odd = Build("<Edit><String label=\"a\" value=\"a\"/></Edit>");
  EXPECT_EQ(odd->GetChildCount(), 0);
}

TEST_F(SkinControls, ListAndTreeRowsStandTwentyApartAndChildrenIndent) {
  base::Variant list;
  list.set_element("List");
  base::AddStringEntry(list, "Harbour");
  base::AddStringEntry(list, "Quay");
  base::Variant& branch = list.add_element("Tree");
  branch.attribute("label")->set_string("Boats");
  branch.attribute("value")->set_string("Boats");
  base::AddStringEntry(branch, "Ferry");
  base::AddStringEntry(branch, "Tug");
  base::cl_Edit* edit = MakeEdit(list);
  base::cl_Window* rows = edit->m_pRowParent;
  ASSERT_EQ(rows->GetChildCount(), 3);
  EXPECT_EQ(rows->GetChild(0)->m_Rect.y, 3);
  EXPECT_EQ(rows->GetChild(1)->m_Rect.y, 23);
  EXPECT_EQ(rows->GetChild(2)->m_Rect.y, 43);
  EXPECT_EQ(rows->GetChild(0)->m_Rect.x, 4);
  auto* tree = dynamic_cast<base::cl_TreeCtrl*>(rows->GetChild(2));
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->GetChildCount(), 2);  // toggle and row: closed
  // Open the branch with a click on its toggle: the children show after the next render.
  Frame({Cmd(base::ICMD::LEFT_DOWN, int(tree->m_pToggle->m_AbsRect.left) + 2, int(tree->m_pToggle->m_AbsRect.top) + 2)});
  tree = dynamic_cast<base::cl_TreeCtrl*>(edit->m_pRowParent->GetChild(2));
  ASSERT_NE(tree, nullptr);
  ASSERT_EQ(tree->GetChildCount(), 4);
  EXPECT_EQ(tree->GetChild(2)->m_Rect.x, 24);
  EXPECT_EQ(tree->GetChild(2)->m_Rect.y, 20);
  EXPECT_EQ(tree->GetChild(3)->m_Rect.y, 40);
  EXPECT_EQ(tree->m_Rect.h, 60);
}

TEST_F(SkinControls, SelectedEntriesNotifyWhileBuiltAndGetValueListsRowOrder) {
  base::Variant list;
  list.set_element("List");
  base::AddStringEntry(list, "One");
  base::AddStringEntry(list, "Two");
  base::AddStringEntry(list, "Three");
  list[0].attribute("selected")->set_int(1);
  list[2].attribute("selected")->set_int(1);
  base::cl_Edit* edit = MakeEdit(list);
  int notified = 0;
  for (const std::string& e : m_panel->m_events) notified += e == "SelectionChanged";
  EXPECT_EQ(notified, 2);
  base::Variant selection;
  edit->GetValue(selection);
  EXPECT_STREQ(selection.get_label(), "Selection");
  ASSERT_EQ(selection.size(), 2);
  EXPECT_STREQ(selection[0].get_string(), "One");
  EXPECT_STREQ(selection[1].get_string(), "Three");
}

TEST_F(SkinControls, RebuildMovesTheFocusOntoTheControlAndKeepsTheScroll) {
  base::Variant list;
  list.set_element("List");
  for (int i = 0; i < 40; ++i) base::AddStringEntry(list, "Entry");
  base::cl_Edit* edit = MakeEdit(list);
  Frame();
  edit->m_pScrollArea->m_ScrollY = 90;
  edit->m_pRowParent->GetChild(3)->SetFocus();
  edit->SetFlag(base::WF_REBUILD, true);
  Frame();
  EXPECT_EQ(base::g_pFocusWindow, edit);
  EXPECT_EQ(edit->m_pScrollArea->m_ScrollY, 90);
}

TEST_F(SkinControls, TreeDeeperThanTheLimitIsCut) {
  base::Variant tree;
  tree.set_element("Tree");
  base::Variant* at = &tree;
  for (int i = 0; i < base::cl_Edit::kMaxDepth + 50; ++i) {
    at->attribute("_open")->set_int(1);
    at = &at->add_element("Tree");
  }
  auto* edit = dynamic_cast<base::cl_Edit*>(m_panel->CreateChild("Edit"));
  edit->m_Value = tree;
  edit->Rebuild();  // _open stays 1: every level would be built
  int depth = 0;
  for (base::cl_Window* w = edit->m_pRowParent; w && w->GetChildCount() > 0; w = w->GetChild(w->GetChildCount() - 1))
    ++depth;
  EXPECT_LE(depth, base::cl_Edit::kMaxDepth * 2 + 8);
}

}  // namespace
}  // namespace skintest
