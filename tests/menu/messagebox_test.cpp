// The message box in the game GUI: answers by key and by button in every type, the text field
// of "MB_EDIT", stacking of two boxes, the layout arithmetic with the font's measure, the demo's
// button pictures inside the box, and that each box answers exactly once.
#include <cmath>
#include <filesystem>
#include <string>

#include "MenuFixture.h"
#include "base/app/KeyCode.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/gui/GameControls.h"
#include "quillane/gui/Messagebox.h"
#include "support/DemoResources.h"

namespace menutest {
namespace {

const char* const kQuestion = "#menut0_2 Do you really want to quit the game?";

class MessageboxTest : public MenuTest {
 protected:
  cl_Messagebox* Open(const char* type, const char16_t* editDefault = nullptr) {
    cl_Messagebox* box = cl_Messagebox::Show(type, kQuestion, "MB_test", editDefault, m_gui, &m_listener);
    EXPECT_NE(box, nullptr);
    return box;
  }
  // A few frames: the box answers on its first update after the choice and goes at the next render.
  void Frames(int n = 3) {
    for (int i = 0; i < n; ++i) RenderFrame(0.1f);
    EndFrame();
  }
  cl_EventLog m_listener;
};

TEST_F(MessageboxTest, EnterAnswersOkAndEscapeCancelInEveryType) {
  for (const char* type : {"MB_OK", "MB_YESNO", "MB_EDIT"}) {
    for (int key : {base::key::Enter, base::key::Escape}) {
      m_listener.m_events.clear();
      cl_Messagebox* box = Open(type);
      Frames(1);
      EXPECT_TRUE(PressKey(key));
      Frames();
      ASSERT_EQ(m_listener.m_events.size(), 1u) << type << " " << key;
      EXPECT_EQ(m_listener.LastLabel(), "MB_test");
      EXPECT_EQ(m_listener.LastAttribute("ctrl_label"), key == base::key::Enter ? "Ok" : "Cancel") << type;
      // The box is gone from the tree and from the modal list.
      EXPECT_FALSE(m_gui->IsChild(box));
      EXPECT_TRUE(m_gui->GetModalWindows().empty());
    }
  }
}

TEST_F(MessageboxTest, ButtonsAnswerWithTheirLabels) {
  AddPicture("mb_yes_default", 128, 64, 0x00A000);
  AddPicture("mb_no_default", 128, 64, 0xA00000);
  LoadPictures();
  for (const char* label : {"Ok", "Cancel"}) {
    m_listener.m_events.clear();
    cl_Messagebox* box = Open("MB_YESNO");
    RenderFrame();
    ClickWindow(box->FindByLabel(label));
    Frames();
    ASSERT_EQ(m_listener.m_events.size(), 1u);
    EXPECT_EQ(m_listener.LastAttribute("ctrl_label"), label);
  }
}

TEST_F(MessageboxTest, EditBoxClearsKeepsOpenAndAnswersWithTheText) {
  cl_Messagebox* box = Open("MB_EDIT", u"Harbour");
  ASSERT_NE(box->GetEdit(), nullptr);
  EXPECT_EQ(box->GetEdit()->m_MaxLength, 20);
  EXPECT_EQ(base::g_pFocusWindow, box->GetEdit());
  EXPECT_EQ(std::u16string(box->GetEditText().c_str()), u"Harbour");
  RenderFrame();
  ClickWindow(box->FindByLabel("Clear"));
  Frames();
  EXPECT_TRUE(m_listener.m_events.empty());
  EXPECT_TRUE(m_gui->IsChild(box));
  EXPECT_TRUE(box->GetEditText().empty());
  // An answer button is refused while the field is empty.
  base::Variant ok;
  ok.set_element("ButtonPressed");
  ok.attribute("ctrl_label")->set_string("Ok");
  box->ProcessEvent(ok);
  Frames();
  EXPECT_TRUE(m_listener.m_events.empty());
  // Typed text reaches the field through the box (a, b; then the blank key).
  for (int scan : {0x1E, 0x30, 0x39}) PressKey(scan == 0x39 ? ' ' : 'A' + (scan == 0x30), scan);
  PressKey(base::key::Enter);
  Frames();
  ASSERT_EQ(m_listener.m_events.size(), 1u);
  EXPECT_EQ(m_listener.LastAttribute("ctrl_label"), "Ok");
  EXPECT_EQ(m_listener.LastAttribute("text"), "ab ");
}

TEST_F(MessageboxTest, NewestBoxTakesTheInputAndGivesItBackWhenClosed) {
  cl_EventLog second;
  cl_Messagebox* first = Open("MB_YESNO");
  cl_Messagebox* top = cl_Messagebox::Show("MB_OK", kQuestion, "MB_second", nullptr, m_gui, &second);
  ASSERT_EQ(m_gui->GetModalWindows().front(), top);
  PressKey(base::key::Escape);
  Frames();
  EXPECT_TRUE(m_listener.m_events.empty());
  ASSERT_EQ(second.m_events.size(), 1u);
  EXPECT_EQ(second.LastLabel(), "MB_second");
  ASSERT_EQ(m_gui->GetModalWindows().front(), first);
  PressKey(base::key::Enter);
  Frames();
  ASSERT_EQ(m_listener.m_events.size(), 1u);
  EXPECT_EQ(m_listener.LastAttribute("ctrl_label"), "Ok");
}

TEST_F(MessageboxTest, EachBoxAnswersExactlyOnce) {
  cl_Messagebox* box = Open("MB_YESNO");
  PressKey(base::key::Enter);
  PressKey(base::key::Escape);  // too late: the first choice stands
  // Its opener may update it too, as the root menu does with its quit box.
  for (int i = 0; i < 5; ++i) box->Update(0.1f);
  Frames();
  ASSERT_EQ(m_listener.m_events.size(), 1u);
  EXPECT_EQ(m_listener.LastAttribute("ctrl_label"), "Ok");
}

TEST_F(MessageboxTest, LayoutFollowsTheFontsMeasureAndIsCentred) {
  AddPicture("mb_yes_default", 128, 64, 0x00A000);
  LoadPictures();
  struct st_Case {
    const char* type;
    const char* key;
  } cases[] = {{"MB_YESNO", kQuestion}, {"MB_OK", kQuestion}, {"MB_EDIT", kQuestion}, {"MB_YESNO", nullptr}};
  for (const st_Case& c : cases) {
    auto* box = cl_Messagebox::Show(c.type, c.key, "MB_test", nullptr, m_gui, &m_listener);
    ASSERT_NE(box, nullptr);
    float textH = 0;
    if (c.key) {
      base::tString<base::BaseUnicodeString> text;
      base::sys::Localize(c.key, text);
      gfx::cl_Font* previous = gfx::GetFont();
      gfx::SetFont(gfx::FontExists("messagebox"));
      textH = std::floor(gfx::GetWrappedTextHeightW(text.c_str(), 395));
      gfx::SetFont(previous);
      EXPECT_GT(textH, 0);
    }
    EXPECT_EQ(box->GetTextHeight(), textH) << c.type;
    const float w = (c.key ? 395.0f : 0.0f) + 60;
    float h = textH + 80;
    if (std::string(c.type) == "MB_EDIT") h += 30;
    EXPECT_EQ(box->m_Rect.w, w) << c.type;
    EXPECT_EQ(box->m_Rect.h, h) << c.type;
    EXPECT_EQ(box->m_AbsRect.left, (kWidth - w) * 0.5f);
    EXPECT_EQ(box->m_AbsRect.top, (kHeight - h) * 0.5f);
    if (std::string(c.type) == "MB_YESNO") {
      base::cl_Window* ok = box->FindByLabel("Ok");
      base::cl_Window* cancel = box->FindByLabel("Cancel");
      // Pictures are padded to powers of two, so these sizes are the picture's own.
      EXPECT_EQ(ok->m_Rect.x, w * 0.5f - 128 - 50);
      EXPECT_EQ(cancel->m_Rect.x, w * 0.5f + 50);
      EXPECT_EQ(ok->m_Rect.y, h - 64 - 15);
      EXPECT_EQ(ok->m_Rect.w, 133);
      EXPECT_EQ(ok->m_Rect.h, 69);
    } else if (std::string(c.type) == "MB_OK") {
      base::cl_Window* ok = box->FindByLabel("Ok");
      EXPECT_EQ(ok->m_Rect.x, (w - 128 - 10) * 0.5f);
      EXPECT_EQ(ok->m_Rect.y, h - 64 - 10);
    } else {
      base::cl_Window* edit = box->FindByLabel("Edit");
      EXPECT_EQ(edit->m_Rect.x, static_cast<int>((w - 200) * 0.5f));
      EXPECT_EQ(edit->m_Rect.y, static_cast<int>(h - 50 - 30 - 10));
      EXPECT_EQ(box->FindByLabel("Clear")->m_Rect.y, h - 90);
    }
    m_gui->CloseWindow(box);
    Frames(1);
  }
}

// With the demo's button pictures every button of every type, the name box's "Clear" beside its
// edit field too, is drawn inside the box's frame.
TEST_F(MessageboxTest, TheDemosButtonPicturesStayInsideTheBox) {
  const std::filesystem::path data = QUILLANE_DATA_DIR;
  if (!std::filesystem::exists(data / "gui/menu/mb_clear_default.tga")) GTEST_SKIP() << "no generated demo data";
  ASSERT_GT(testsupport::LoadDemoResources(data, m_dir, {"gui/menu/mb_"}, {}, "mb_resources.xml"), 0);
  for (const char* type : {"MB_EDIT", "MB_YESNO", "MB_OK"}) {
    cl_Messagebox* box = Open(type, u"New Entry");
    ASSERT_NE(box, nullptr);
    int buttons = 0;
    for (base::cl_Window* child : box->m_Children) {
      auto* button = dynamic_cast<cl_MessageboxButton*>(child);
      if (!button) continue;
      ++buttons;
      gfx::cl_Image* picture = gfx::ImageExists((std::string(button->m_Text.c_str()) + "_default").c_str());
      ASSERT_NE(picture, nullptr) << button->m_Text.c_str();
      const float left = box->m_AbsRect.left + button->m_Rect.x, top = box->m_AbsRect.top + button->m_Rect.y;
      EXPECT_GE(left, box->m_AbsRect.left) << type << " " << button->m_Label.c_str();
      EXPECT_LE(left + static_cast<float>(picture->GetWidth()), box->m_AbsRect.right) << type << " "
                                                                                      << button->m_Label.c_str();
      EXPECT_LE(top + static_cast<float>(picture->GetHeight()), box->m_AbsRect.bottom) << type << " "
                                                                                       << button->m_Label.c_str();
    }
    EXPECT_GT(buttons, 0) << type;
    m_gui->CloseWindow(box);
    Frames(1);
  }
}

TEST_F(MessageboxTest, MissingButtonPictureGivesFiveByFiveButtons) {
  cl_Messagebox* box = Open("MB_YESNO");
  EXPECT_EQ(box->FindByLabel("Ok")->m_Rect.w, 5);
  EXPECT_EQ(box->FindByLabel("Cancel")->m_Rect.h, 5);
}

TEST_F(MessageboxTest, FrameAndButtonsDrawOverTheDimming) {
  AddPicture("mb_yes_default", 128, 64, 0x00A000);
  AddPicture("mb_no_default", 128, 64, 0xA00000);
  AddPicture("dialog_ul", 32, 32, 0x8080F0);
  LoadPictures();
  cl_Messagebox* box = Open("MB_YESNO");
  RenderFrame();
  const base::cl_Window* ok = box->FindByLabel("Ok");
  const base::cl_Window* cancel = box->FindByLabel("Cancel");
  EXPECT_EQ(Pixel(int(ok->m_AbsRect.left) + 5, int(ok->m_AbsRect.top) + 5), 0x00A000u);
  EXPECT_EQ(Pixel(int(cancel->m_AbsRect.left) + 5, int(cancel->m_AbsRect.top) + 5), 0xA00000u);
  EXPECT_EQ(Pixel(int(box->m_AbsRect.left), int(box->m_AbsRect.top)), 0x8080F0u);
  EXPECT_EQ(Pixel(5, 5), 0x203040u);  // target alpha 0: the screen behind is not dimmed
}

}  // namespace
}  // namespace menutest
