// The controls of "GuiSelfTest" driven by input command sequences through the GUI root; results are
// read from the panel's event log and the windows' values.
#include <gtest/gtest.h>

#include <functional>

#include "base/app/KeyCode.h"
#include "gui_data_file.h"
#include "recording_skin.h"

namespace {

using base::cl_Window;
using guitest::Down;
using guitest::Frame;
using guitest::Key;
using guitest::Move;
using guitest::Up;
using guitest::DataFile;
using guitest::st_SelfTest;

constexpr int kCtrl = base::kSelectionToggleModifier;

std::string ValueText(const cl_Window* w) {
  base::tString<base::BaseString> s;
  w->m_Value.print_to(s);
  return s.c_str();
}

std::string Selected(st_SelfTest& t, const char* list) {
  base::tWindowList out;
  t.Find(list)->CollectSelected(out);
  std::string labels;
  for (cl_Window* w : out) labels += std::string(labels.empty() ? "" : ",") + w->m_Label.c_str();
  return labels;
}

struct st_Case {
  const char* what;
  std::function<void(st_SelfTest&)> setup;
  std::vector<std::vector<base::ICMD>> frames;
  std::vector<std::string> events;
  std::function<void(st_SelfTest&)> check;
};

TEST(GuiInput, SequencesGiveTheirEventsAndValues) {
  const std::vector<st_Case> cases = {
      {"press outside, move in, release inside a button",
       nullptr,
       {{Down(5, 300), Move(150, 20), Up(150, 20)}},
       {"ButtonPressed:OK"},
       [](st_SelfTest& t) { EXPECT_FALSE(t.Find<base::cl_Button>("OK")->m_Pressed); }},
      {"press inside, release outside", nullptr, {{Down(150, 20), Move(150, 300), Up(150, 300)}}, {}, nullptr},
      {"a disabled button takes no click", nullptr, {{Down(50, 20), Up(50, 20)}}, {}, nullptr},
      {"Enter reaches the first enabled default button only",
       nullptr,
       {{Key(base::key::Enter)}},
       {"ButtonPressed:OK"},
       nullptr},
      {"Enter skips a hidden default button",
       [](st_SelfTest& t) { t.Find("OK")->Show(false); },
       {{Key(base::key::Enter)}},
       {"ButtonPressed:Retry"},
       nullptr},
      {"Enter skips a default button under a disabled parent",
       [](st_SelfTest& t) {
         for (const char* l : {"OK", "Retry"}) t.Find(l)->SetFlag(base::WF_DISABLED, true);
       },
       {{Key(base::key::Enter)}},
       {},
       nullptr},
      {"a check box toggles on a release inside",
       nullptr,
       {{Down(15, 55), Up(16, 56)}, {Down(15, 55), Up(15, 55)}},
       {},
       [](st_SelfTest& t) { EXPECT_EQ(t.Find("Sound")->m_Value.get_int(), 0); }},
      {"a check box keeps its value on a release outside",
       nullptr,
       {{Down(15, 55), Up(100, 300)}},
       {},
       [](st_SelfTest& t) { EXPECT_TRUE(t.Find("Sound")->m_Value.is_void()); }},
      {"a check box ignores a release that follows a press elsewhere",
       nullptr,
       {{Down(100, 300), Up(15, 55)}},
       {},
       [](st_SelfTest& t) { EXPECT_TRUE(t.Find("Sound")->m_Value.is_void()); }},
      {"a radio choice names itself in the parent and resets every sibling",
       nullptr,
       {{Down(15, 125), Up(15, 125)}},
       {},
       [](st_SelfTest& t) {
         EXPECT_EQ(ValueText(t.Find("Quality")), "High");
         EXPECT_EQ(t.Find("High")->m_Value.get_int(), 1);
         for (const char* l : {"Low", "Medium", "Auto"}) EXPECT_EQ(t.Find(l)->m_Value.get_int(), 0) << l;
       }},
      {"a radio press released outside chooses nothing",
       nullptr,
       {{Down(15, 125), Up(300, 300)}},
       {},
       [](st_SelfTest& t) { EXPECT_EQ(ValueText(t.Find("Quality")), "Medium"); }},
      {"single selection replaces the selected row",
       nullptr,
       {{Down(310, 80), Up(310, 80)}, {Down(310, 100), Up(310, 100)}},
       {"SelectionChanged:Rows:Row1", "SelectionChanged:Rows:Row2"},
       [](st_SelfTest& t) { EXPECT_EQ(Selected(t, "Rows"), "Row2"); }},
      {"a plain click on a selected row changes nothing",
       nullptr,
       {{Down(310, 80)}, {Down(310, 80)}},
       {"SelectionChanged:Rows:Row1"},
       [](st_SelfTest& t) { EXPECT_EQ(Selected(t, "Rows"), "Row1"); }},
      {"the modifier toggles a row off",
       nullptr,
       {{Down(310, 80)}, {Down(310, 80, kCtrl)}},
       {"SelectionChanged:Rows:Row1", "SelectionChanged:Rows:Row1"},
       [](st_SelfTest& t) { EXPECT_EQ(Selected(t, "Rows"), ""); }},
      {"the modifier adds a row even to a single-selection list",
       nullptr,
       {{Down(310, 80)}, {Down(310, 100, kCtrl)}},
       {"SelectionChanged:Rows:Row1", "SelectionChanged:Rows:Row2"},
       [](st_SelfTest& t) { EXPECT_EQ(Selected(t, "Rows"), "Row1,Row2"); }},
      {"multiple selection keeps the other rows",
       nullptr,
       {{Down(310, 180)}, {Down(310, 220)}, {Down(310, 180, kCtrl)}},
       {"SelectionChanged:Picks:Pick0", "SelectionChanged:Picks:Pick2", "SelectionChanged:Picks:Pick0"},
       [](st_SelfTest& t) { EXPECT_EQ(Selected(t, "Picks"), "Pick2"); }},
      {"a row scrolled out of the viewport takes no click",
       nullptr,
       {{Down(310, 160)}},
       {},
       [](st_SelfTest& t) { EXPECT_EQ(Selected(t, "Rows"), ""); }},
      {"a tree toggle opens on a press",
       nullptr,
       {{Down(15, 235)}},
       {},
       [](st_SelfTest& t) { EXPECT_TRUE(t.Find<base::cl_TreeToggle>("Branch")->IsOpen()); }},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(c.what);
    st_SelfTest t(DataFile());
    ASSERT_TRUE(t.loaded);
    if (c.setup) c.setup(t);
    for (const auto& frame : c.frames) Frame(t.gui, frame);
    EXPECT_EQ(t.panel->m_events, c.events);
    if (c.check) c.check(t);
  }
}

TEST(GuiInput, CheckBoxConsumesTheReleaseOfItsPressWhereverItIs) {
  st_SelfTest t(DataFile());
  base::ICMD down = Down(15, 55), up = Up(600, 400);
  EXPECT_TRUE(t.gui.ProcessInput(down));
  EXPECT_TRUE(t.gui.ProcessInput(up));
  EXPECT_FALSE(t.gui.ProcessInput(up));  // nothing pressed any more
}

TEST(GuiInput, TypingEditsTheFocusedStringWithTheCaretClampedToTheText) {
  st_SelfTest t(DataFile());
  cl_Window* name = t.Find("Name");
  ASSERT_EQ(base::g_pFocusWindow, name);  // "focus" in the layout
  ASSERT_EQ(base::g_CaretPos, -1);

  struct {
    std::vector<base::ICMD> keys;
    const char* text;
    int caret;
  } steps[] = {
      {{Key('X')}, "xOdo", 1},  // caret -1 types at the start
      {{Key(base::key::Right), Key(base::key::Right), Key(base::key::Backspace)}, "xOo", 2},
      {{Key(base::key::Delete)}, "xO", 2},
      {{Key(base::key::Delete), Key(base::key::Right)}, "xO", 2},  // nothing right of the caret
      {{Key(base::key::Left), Key('1', base::ICMD::MOD_SHIFT)}, "x!O", 2},
      {{Key(base::key::Left), Key(base::key::Left), Key(base::key::Left), Key(base::key::Backspace)}, "x!O", 0},
      {{Key(0x80)}, "x!O", 0},  // no character, no editing key
  };
  for (const auto& s : steps) {
    Frame(t.gui, s.keys);
    EXPECT_EQ(ValueText(name), s.text);
    EXPECT_EQ(base::g_CaretPos, s.caret) << s.text;
  }

  // A caret beyond the text (the value shrank under it) edits at the end.
  name->m_Value.set_string("ab");
  base::g_CaretPos = 7;
  Frame(t.gui, {Key(base::key::Backspace), Key('C')});
  EXPECT_EQ(ValueText(name), "ac");
  EXPECT_EQ(base::g_CaretPos, 2);
  // Key releases and unfocused controls change nothing.
  Frame(t.gui, {guitest::Cmd(1, 0, 0, 'Z')});
  t.Find("Row0")->SetFocus();
  Frame(t.gui, {Key('Z')});
  EXPECT_EQ(ValueText(name), "ac");
  // A list row edits the entry it is bound to.
  EXPECT_STREQ(t.Find<base::cl_StringCtrl>("Row0")->m_pBound->get_string(), "zHarbour office");
}

TEST(GuiInput, EditTextTable) {
  struct {
    const char* text;
    int caret;
    base::ICMD cmd;
    const char* result;
    int caretAfter;
  } cases[] = {
      {"", -1, Key('A'), "a", 1},
      {"abc", 3, Key(base::key::Backspace), "ab", 2},
      {"abc", 0, Key(base::key::Backspace), "abc", 0},
      {"abc", 3, Key(base::key::Delete), "abc", 3},
      {"abc", 1, Key(base::key::Delete), "ac", 1},
      {"abc", -5, Key(base::key::Delete), "bc", 0},
      {"abc", 40, Key(base::key::Left), "abc", 2},
      {"abc", 2, Key(base::key::Enter), "abc", 2},
      {"abc", 1, Key(' '), "a bc", 2},
      {"abc", 1, guitest::Cmd(1, 0, 0, 'Q'), "abc", 1},
  };
  for (const auto& c : cases) {
    base::tString<base::BaseString> text(c.text);
    int caret = c.caret;
    base::cl_StringCtrl::EditText(text, c.cmd, &caret);
    EXPECT_STREQ(text.c_str(), c.result) << c.text << " @" << c.caret;
    EXPECT_EQ(caret, c.caretAfter) << c.text << " @" << c.caret;
  }
}

}  // namespace
