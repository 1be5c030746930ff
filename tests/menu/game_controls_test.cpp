// The game-styled controls through the game GUI: registration, typing into the text field with
// its filter, limits, caret and key repeat, the bevel box and the slider's pictures, all on the
// headless device.
#include <cmath>

#include "MenuFixture.h"
#include "base/app/KeyCode.h"
#include "base/data/StaticVariant.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/gui/GameControls.h"

namespace menutest {
namespace {

// Key commands as the input device makes them on a German keyboard: engine key code and scan code.
struct st_Key {
  char16_t ch;
  int key, scan;
};
constexpr st_Key kKeys[] = {
    {u'a', 'A', 0x1E}, {u'b', 'B', 0x30}, {u'c', 'C', 0x2E},  {u'q', 'Q', 0x10},     {u'1', '1', 0x02},
    {u'2', '2', 0x03}, {u' ', ' ', 0x39}, {u'<', 0xE2, 0x56}, {u'\xFC', 0xDC, 0x1A},
};

class GameControls : public MenuTest {
 protected:
  cl_GameEdit* MakeEdit(int maxLength = -1) {
    auto* edit = dynamic_cast<cl_GameEdit*>(m_gui->CreateChild("Edit"));
    EXPECT_NE(edit, nullptr);
    edit->m_Rect = {100, 100, 200, 30};
    edit->m_MaxLength = maxLength;
    edit->SetFocus();
    return edit;
  }
  void Type(const std::u16string& text, bool shift = false) {
    for (char16_t c : text) {
      bool found = false;
      for (const st_Key& k : kKeys) {
        if (k.ch != c) continue;
        PressKey(k.key, k.scan, shift);
        ReleaseKey(k.key, k.scan);
        found = true;
      }
      ASSERT_TRUE(found) << "no key for " << int(c);
    }
  }
  void Tap(int key) {
    PressKey(key);
    ReleaseKey(key);
  }
  static std::u16string Text(const cl_GameEdit* e) { return e->GetText().c_str(); }
};

// The factory's creator count, which the GUI keeps to itself.
class cl_CountingGUI : public cl_GameGUI {
 public:
  int Count() const { return m_Factory.GetCount(); }
  void RegisterEditAgain() { Register<cl_GameEdit>("Edit"); }
};

TEST_F(GameControls, GameGuiReplacesFourSkinControlsAndKeepsOneCreatorPerName) {
  cl_CountingGUI gui;
  EXPECT_EQ(gui.Count(), 20);
  gui.RegisterEditAgain();
  EXPECT_EQ(gui.Count(), 20);
  std::unique_ptr<base::cl_Window> edit(gui.CreateWindow("Edit"));
  std::unique_ptr<base::cl_Window> box(gui.CreateWindow("CheckBox"));
  std::unique_ptr<base::cl_Window> button(gui.CreateWindow("Button"));
  EXPECT_NE(dynamic_cast<cl_GameEdit*>(edit.get()), nullptr);
  EXPECT_NE(dynamic_cast<cl_QLCheckBox*>(box.get()), nullptr);
  EXPECT_EQ(dynamic_cast<cl_GameEdit*>(button.get()), nullptr);
  // A game slider's handle is made by name through the same GUI, so it is the game's too.
  auto* slider = dynamic_cast<cl_QLSlider*>(gui.CreateChild("Slider"));
  ASSERT_NE(slider, nullptr);
  slider->Init(base::StaticVariantIterator());
  EXPECT_NE(dynamic_cast<cl_QLSliderHandle*>(slider->m_pHandle), nullptr);
  EXPECT_TRUE(box->Init(base::StaticVariantIterator()));  // an empty description is fine
}

TEST_F(GameControls, TypingKeepsOnlyAllowedCharactersUpToTheLimit) {
  struct st_Case {
    int maxLength;
    std::u16string typed;
    bool shift;
    std::u16string expected;
  } cases[] = {
      {-1, u"ab c", false, u"ab c"},
      {-1, u"a<b", false, u"ab"},                   // '<' is not a key of the set
      {-1, u"\xFC" u"1", false, u"\xFC" u"1"},       // umlauts are
      {-1, u"12", true, u"12"},                      // shifted digit keys still give digits
      {-1, u"ab", true, u"AB"},
      {10, u"abcabcabcabcab", false, u"abcabcabca"},
      {20, u"abcabcabcabcabcabcabcabc", false, u"abcabcabcabcabcabcab"},
  };
  for (const st_Case& c : cases) {
    cl_GameEdit* edit = MakeEdit(c.maxLength);
    Type(c.typed, c.shift);
    EXPECT_EQ(Text(edit), c.expected) << c.maxLength;
    m_gui->RemoveChild(edit);
    delete edit;
  }
}

TEST_F(GameControls, EditingKeysWorkAtBothEndsAndAtTheLimit) {
  cl_GameEdit* edit = MakeEdit(10);
  Type(u"abcabcabca");
  RenderFrame();
  EXPECT_EQ(Pixel(150, 100), cl_GameEdit::kAccentColour & 0xFFFFFFu);
  EndFrame();
  Type(u"q");  // full: refused, and the outline says so for a moment
  EXPECT_EQ(Text(edit), u"abcabcabca");
  RenderFrame();
  EXPECT_EQ(Pixel(150, 100), cl_GameEdit::kFullColour & 0xFFFFFFu);
  EndFrame();
  RenderFrame(cl_GameEdit::kFullShown);
  EXPECT_EQ(Pixel(150, 100), cl_GameEdit::kAccentColour & 0xFFFFFFu);
  EndFrame();
  Tap(base::key::Right);  // at the end already
  EXPECT_EQ(base::g_CaretPos, 10);
  Tap(base::key::Delete);  // nothing right of the caret
  EXPECT_EQ(Text(edit), u"abcabcabca");
  Tap(base::key::Backspace);
  EXPECT_EQ(Text(edit), u"abcabcabc");
  for (int i = 0; i < 12; ++i) Tap(base::key::Left);
  EXPECT_EQ(base::g_CaretPos, 0);
  Tap(base::key::Backspace);  // nothing left of the caret
  Tap(base::key::Delete);
  EXPECT_EQ(Text(edit), u"bcabcabc");
  Type(u"q");
  EXPECT_EQ(Text(edit), u"qbcabcabc");
  EXPECT_EQ(base::g_CaretPos, 1);
  Tap(base::key::Enter);
  EXPECT_EQ(Text(edit), u"qbcabcabc");
}

TEST_F(GameControls, CaretIsPulledIntoTheTextBeforeAKey) {
  cl_GameEdit* edit = MakeEdit();
  edit->SetText(u"abc");
  base::g_CaretPos = -1;  // as the toolkit leaves it after a focus change
  Type(u"q");
  EXPECT_EQ(Text(edit), u"qabc");
  base::g_CaretPos = 99;  // the text shrank under the caret
  Tap(base::key::Backspace);
  EXPECT_EQ(Text(edit), u"qab");
  EXPECT_EQ(base::g_CaretPos, 3);
}

TEST_F(GameControls, HeldKeyRepeatsAfterThreeQuartersThenEveryTenthUntilReleased) {
  cl_GameEdit* edit = MakeEdit();
  PressKey('A', 0x1E);
  EXPECT_EQ(Text(edit), u"a");
  // Frames of 1/16 s: the first repeat in the 13th frame (0.8125 s), then every second frame.
  for (int i = 0; i < 12; ++i) m_gui->Update(0.0625f);
  EXPECT_EQ(Text(edit), u"a");
  m_gui->Update(0.0625f);
  EXPECT_EQ(Text(edit), u"aa");
  for (int i = 0; i < 4; ++i) m_gui->Update(0.0625f);
  EXPECT_EQ(Text(edit), u"aaaa");
  ReleaseKey('A', 0x1E);
  for (int i = 0; i < 40; ++i) m_gui->Update(0.0625f);
  EXPECT_EQ(Text(edit), u"aaaa");
}

TEST_F(GameControls, RepeatStopsWhenTheFieldLosesFocusIsHiddenOrAReleaseGoesElsewhere) {
  enum { FOCUS, HIDDEN, RELEASE_ELSEWHERE };
  for (int how : {FOCUS, HIDDEN, RELEASE_ELSEWHERE}) {
    cl_GameEdit* edit = MakeEdit();
    cl_GameEdit* other = MakeEdit();
    edit->SetFocus();
    PressKey('A', 0x1E);
    if (how == FOCUS) other->SetFocus();
    if (how == HIDDEN) edit->Show(false);
    if (how == RELEASE_ELSEWHERE) {
      // A modal window takes every command, the release included.
      auto* modal = new base::cl_Window;
      m_gui->AddModalWindow(modal);
      ReleaseKey('A', 0x1E);
      m_gui->CloseWindow(modal);
    }
    for (int i = 0; i < 40; ++i) m_gui->Update(0.1f);
    EXPECT_EQ(Text(edit), u"a") << how;
    EXPECT_FALSE(edit->m_bKeyHeld) << how;
    m_gui->RemoveChild(edit);
    m_gui->RemoveChild(other);
    delete edit;
    delete other;
  }
}

TEST_F(GameControls, TrailingBlanksMoveTheCaretFourPixelsEach) {
  cl_GameEdit* edit = MakeEdit();
  RenderFrame();
  const int bare = edit->CaretX(u"ab", 4);
  EXPECT_EQ(edit->CaretX(u"ab ", 4), bare + 4);
  EXPECT_EQ(edit->CaretX(u"ab   ", 4), bare + 12);
  EXPECT_EQ(bare, static_cast<int>(gfx::GetTextWidthW(u"ab") - 1 + 100 + 4));
}

TEST_F(GameControls, FocusedFieldDrawsItsOutlineAndABlinkingCaret) {
  cl_GameEdit* edit = MakeEdit();
  edit->SetText(u"ab");
  edit->SetFocus();
  for (float blink : {0.0f, 0.7f}) {
    base::g_CaretBlink = blink;
    RenderFrame();
    const int x = edit->CaretX(u"ab", 4);
    EXPECT_EQ(Pixel(x, 115) == (cl_GameEdit::kAccentColour & 0xFFFFFF), blink < 0.5f) << blink;
    EXPECT_EQ(Pixel(150, 100), cl_GameEdit::kAccentColour & 0xFFFFFF);  // the outline's top edge
  }
}

TEST_F(GameControls, BevelBoxPixelsMatchTheFourFills) {
  RenderFrame();
  DrawBevelBox(base::tRectf(10.0f, 10.0f, 20.0f, 20.0f), 0xFF123456u, false);
  DrawBevelBox(base::tRectf(30.0f, 10.0f, 40.0f, 20.0f), 0xFF123456u, true);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      uint32_t raised, sunken;
      if (x == 9 || y == 9) raised = 0x000000;
      else if (x == 0 || y == 0) raised = 0xFFFFFF;
      else if (x == 8 || y == 8) raised = 0x555555;
      else raised = 0x123456;
      if (x == 9 || y == 9) sunken = 0xFFFFFF;
      else if (x < 2 || y < 2) sunken = 0x555555;
      else if (x == 8 || y == 8) sunken = 0xAAAAAA;
      else sunken = 0x123456;
      EXPECT_EQ(Pixel(10 + x, 10 + y), raised) << x << ", " << y;
      EXPECT_EQ(Pixel(30 + x, 10 + y), sunken) << x << ", " << y;
    }
  }
}

TEST_F(GameControls, SliderDrawsItsHandlePicturesUnlessDisabled) {
  AddPicture("scrollbar_01", 14, 3, 0xC00000);
  AddPicture("scrollbar_02", 16, 16, 0x00C000, true);
  AddPicture("scrollbar_03", 14, 3, 0x0000C0);
  LoadPictures();
  auto* slider = dynamic_cast<cl_QLSlider*>(m_gui->CreateChild("Slider"));
  ASSERT_NE(slider, nullptr);
  slider->Init(base::StaticVariantIterator());
  slider->m_Rect = {200, 200, 16, 100};
  slider->m_pHandle->m_Rect = {0, 0, 16, 40};
  RenderFrame();
  // The handle sits one pixel lower: top cap at 201, middle from 203, bottom cap at 241 - 3.
  EXPECT_EQ(Pixel(205, 201), 0xC00000u);
  EXPECT_EQ(Pixel(205, 220), 0x00C000u);
  EXPECT_EQ(Pixel(205, 238), 0x0000C0u);
  slider->SetFlag(base::WF_DISABLED, true);
  RenderFrame();
  EXPECT_EQ(Pixel(205, 220), 0x203040u);
}

}  // namespace
}  // namespace menutest
