// The editors' dialogs, modal in the system GUI and driven through it: the name dialog typed into,
// the file browser in every mode with and without an open scene, and the question box.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/gui/GUIEdit.h"
#include "editor_fixture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "quillane/editor/CropTool.h"
#include "quillane/editor/DialogBox.h"
#include "quillane/editor/EnterLabelDialog.h"
#include "quillane/editor/LoadImageDialog.h"
#include "quillane/editor/PlaceLightTool.h"
#include "quillane/editor/SceneManager.h"
#include "quillane/editor/SelectItemDialog.h"
#include "quillane/editor/SelectLightTypeDialog.h"
#include "quillane/frame/GameFrame.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace editortest {
namespace {

using quillane::cl_LoadImageDialog;

std::string Text(const base::Variant& v, const char* attribute) {
  base::tString<base::BaseString> text;
  v.get_attribute_string(attribute, text);
  return text.c_str();
}

class Dialogs : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_listener = new cl_Listener();
    m_frame->GetSystemGUI()->AddChild(m_listener);
  }
  bool Modal(base::cl_Window* dialog) {
    m_frame->GetSystemGUI()->AddModalWindow(dialog);
    Step();
    return !m_frame->GetSystemGUI()->GetModalWindows().empty();
  }
  bool Open() const { return !m_frame->GetSystemGUI()->GetModalWindows().empty(); }
  std::string Field(const char* label) const {
    const base::cl_Window* w = Window(label);
    const char* text = w ? w->m_Value.get_string() : nullptr;
    return text ? text : "";
  }
  // A browser of mode with the file names listed (the list's "path" when given).
  cl_LoadImageDialog* Browser(const char* mode, std::initializer_list<const char*> files, const char* path = nullptr,
                              base::Variant options = base::Variant()) {
    cl_LoadImageDialog* dialog = cl_LoadImageDialog::Open(m_listener, base::tString<base::BaseString>(mode), options);
    base::cl_Window* list = dialog->FindByLabel("FileNames");
    list->m_Value.set_element("List");
    if (path) list->m_Value.attribute("path")->set_string(path);
    for (const char* file : files) base::AddStringEntry(list->m_Value, file);
    list->SetFlag(base::WF_REBUILD | base::WF_SELECTABLE, true);
    EXPECT_TRUE(Modal(dialog));
    return dialog;
  }

  cl_Listener* m_listener = nullptr;  // a child of the system GUI
};

TEST_F(Dialogs, TheNameDialogShowsItsTextSendsTheTypedNameOnceAndIgnoresAnEmptyOk) {
  base::Variant answer;
  answer.set_element("LabelEntered");
  answer.attribute("category")->set_string("Locators");
  ASSERT_TRUE(Modal(quillane::cl_EnterLabelDialog::Open(m_listener, answer, base::tString<base::BaseString>("Locator"))));
  EXPECT_EQ(Field("Label"), "Locator");
  m_frame->GetSystemGUI()->GetModalWindows().front()->Close();
  Step();

  ASSERT_TRUE(Modal(quillane::cl_EnterLabelDialog::Open(m_listener, answer, base::tString<base::BaseString>())));
  ASSERT_TRUE(Click("Ok"));
  Step();
  EXPECT_TRUE(Open()) << "an empty name is not an answer";
  EXPECT_TRUE(m_listener->events.empty());
  for (uint8_t key : {'D', 'O', 'O', 'R'}) Key(key);
  EXPECT_EQ(Field("Label"), "door");
  base::Variant selection;
  selection.set_element("SelectionChanged");
  EXPECT_TRUE(m_frame->GetSystemGUI()->GetModalWindows().front()->ProcessEvent(selection));
  EXPECT_TRUE(m_listener->events.empty()) << "other events are swallowed";
  ASSERT_TRUE(Click("Ok"));
  Step();
  EXPECT_FALSE(Open());
  ASSERT_EQ(m_listener->events.size(), 1u);
  EXPECT_STREQ(m_listener->events[0].get_label(), "LabelEntered");
  EXPECT_EQ(Text(m_listener->events[0], "category"), "Locators");
  EXPECT_EQ(Text(m_listener->events[0], "label"), "door");

  ASSERT_TRUE(Modal(quillane::cl_EnterLabelDialog::Open(m_listener, answer, base::tString<base::BaseString>("x"))));
  ASSERT_TRUE(Click("Cancel"));
  Step();
  ASSERT_EQ(m_listener->events.size(), 2u);
  EXPECT_STREQ(m_listener->events[1].get_label(), "Cancel");
  EXPECT_EQ(m_listener->events[1].attribute_cnt(), 0);
}

TEST_F(Dialogs, InASceneAStripAnswersATextureStripAndPreviewsItsFirstFrame) {
  ASSERT_NE(EditorTest::Open("Office"), nullptr);
  cl_LoadImageDialog* dialog = Browser("BackgroundElements", {"desk.tga", "door.tst"});
  EXPECT_EQ(dialog->GetPreview().GetWidth(), 64) << "the test picture first";
  EXPECT_EQ(Field("Width"), "64");
  ASSERT_TRUE(ClickEntry("FileNames", "door.tst"));
  EXPECT_EQ(std::string(dialog->GetPreviewPath().c_str()), "Scenes/Office//TextureStrips/door/door_0.tga");
  EXPECT_EQ(Field("label"), "door");
  ASSERT_TRUE(Click("Ok"));
  Step();
  EXPECT_FALSE(Open());
  ASSERT_EQ(m_listener->events.size(), 1u);
  const base::Variant& added = m_listener->events[0];
  EXPECT_STREQ(added.get_label(), "AddElement");
  EXPECT_EQ(Text(added, "category"), "TextureStrip");
  ASSERT_STREQ(added[0].get_label(), "Layer");
  for (const char* zero : {"x", "y", "w", "h", "ysort"}) EXPECT_EQ(Text(added[0], zero), "0") << zero;
  EXPECT_EQ(Text(added[0], "label"), "door");
  EXPECT_EQ(Text(added[0], "file"), "door.tst");
}

TEST_F(Dialogs, ASkyImageIsAnsweredAtOnceAndAStageImageGoesToTheCropToolInstead) {
  ASSERT_NE(EditorTest::Open("Office"), nullptr);
  cl_LoadImageDialog* sky = Browser("HeavenElements", {"desk.tga"});
  ASSERT_TRUE(ClickEntry("FileNames", "desk.tga"));
  EXPECT_EQ(Field("Width"), "1024");
  EXPECT_EQ(Field("File"), "desk.tga");
  // The picture's size as the bitmap loader gives it (padded to powers of two, as textures are).
  const int width = sky->GetPreview().GetWidth(), height = sky->GetPreview().GetHeight();
  ASSERT_TRUE(Click("Ok"));
  Step();
  ASSERT_EQ(m_listener->events.size(), 1u);
  const base::Variant& layer = m_listener->events[0][0];
  EXPECT_EQ(Text(m_listener->events[0], "category"), "HeavenElements");
  EXPECT_EQ(Text(layer, "w"), std::to_string(width));
  EXPECT_EQ(Text(layer, "h"), std::to_string(height));
  EXPECT_EQ(Text(layer, "label"), "desk");
  EXPECT_EQ(Text(layer, "use_background_pixels"), "0");

  // With previews off the size still comes from the picture, loaded at "Ok".
  Browser("StageElements", {"desk.tga", "frame.tga"});
  ASSERT_TRUE(Click("ShowPreview"));
  ASSERT_TRUE(ClickEntry("FileNames", "frame.tga"));
  EXPECT_EQ(Field("label"), "frame");
  EXPECT_EQ(Field("Width"), "64") << "the preview stays the last one loaded";
  ASSERT_TRUE(Click("Ok"));
  Step();
  EXPECT_EQ(m_listener->events.size(), 1u) << "the crop tool answers, not the browser";
  EXPECT_TRUE(m_listener->HasFlag(base::WF_HIDDEN)) << "hidden while the crop tool has the screen";
  ASSERT_EQ(m_frame->GetSystemGUI()->GetModalWindows().size(), 1u);
  EXPECT_NE(dynamic_cast<quillane::cl_CropTool*>(m_frame->GetSystemGUI()->GetModalWindows().front()), nullptr);
}

TEST_F(Dialogs, CancelSendsNothingAndShowsAHiddenListenerAgain) {
  m_listener->Show(false);
  Browser("Lights", {"light.tga"});
  ASSERT_TRUE(Click("Cancel"));
  Step();
  EXPECT_FALSE(Open());
  EXPECT_TRUE(m_listener->events.empty());
  EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));
}

TEST_F(Dialogs, WithoutASceneOnlyATargaIsPreviewedFromTheListsFolder) {
  Browser("MinigameImage", {"Test.bmp", "gamecursor.tga", "picture.png"}, "editor/");
  ASSERT_TRUE(ClickEntry("FileNames", "picture.png"));
  cl_LoadImageDialog* dialog = static_cast<cl_LoadImageDialog*>(m_frame->GetSystemGUI()->GetModalWindows().front());
  EXPECT_EQ(std::string(dialog->GetPreviewPath().c_str()), "");
  EXPECT_EQ(Field("Width"), "0") << "an empty preview";
  ASSERT_TRUE(ClickEntry("FileNames", "gamecursor.tga"));
  EXPECT_EQ(std::string(dialog->GetPreviewPath().c_str()), "editor/gamecursor.tga");
  ASSERT_TRUE(Click("Ok"));
  Step();
  ASSERT_EQ(m_listener->events.size(), 1u);
  EXPECT_STREQ(m_listener->events[0].get_label(), "SelectImage");
  EXPECT_EQ(Text(m_listener->events[0], "file"), "gamecursor.tga");
}

TEST_F(Dialogs, EachModeAnswersItsOwnElement) {
  struct st_Mode {
    const char* mode;
    const char* answer;
    const char* category;  // null: none
  };
  for (const st_Mode m : {st_Mode{"MinigameLoadXML", "SelectXML", "MinigameLoadXML"},
                          st_Mode{"MinigameSaveXML", "SelectXML", "MinigameSaveXML"},
                          st_Mode{"SelectFolder", "SelectFolder", "SelectFolder"},
                          st_Mode{"MinigameImage", "SelectImage", nullptr}}) {
    m_listener->events.clear();
    Browser(m.mode, {"level1.xml"});
    // "Ok" before a choice answers nothing: the editors would take the bare folder for a file.
    ASSERT_TRUE(Click("Ok"));
    Step();
    EXPECT_TRUE(Open()) << m.mode;
    EXPECT_TRUE(m_listener->events.empty()) << m.mode;
    ASSERT_TRUE(ClickEntry("FileNames", "level1.xml"));
    ASSERT_TRUE(Click("Ok"));
    Step();
    ASSERT_EQ(m_listener->events.size(), 1u) << m.mode;
    EXPECT_STREQ(m_listener->events[0].get_label(), m.answer);
    EXPECT_EQ(Text(m_listener->events[0], "file"), "level1.xml");
    EXPECT_EQ(Text(m_listener->events[0], "category"), m.category ? m.category : "");
  }
  // Lights: the caller's answer with the file in its "Light"; ambient comes back at once, any
  // other type goes on to the light tool.
  for (const char* type : {"ambient", "directional"}) {
    m_listener->events.clear();
    base::Variant options;
    options.set_element("AddElement");
    options.attribute("category")->set_string("Lights");
    options.add_element("Light").attribute("type")->set_string(type);
    m_listener->Show(false);
    Browser("Lights", {"light_office.tga"}, nullptr, options);
    ASSERT_TRUE(ClickEntry("FileNames", "light_office.tga"));
    ASSERT_TRUE(Click("Ok"));
    Step();
    if (std::string(type) == "ambient") {
      EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));
      ASSERT_EQ(m_listener->events.size(), 1u);
      EXPECT_EQ(Text(m_listener->events[0], "category"), "Lights");
      EXPECT_EQ(Text(m_listener->events[0][0], "file"), "light_office.tga");
      EXPECT_EQ(Text(m_listener->events[0][0], "type"), "ambient");
    } else {
      // The light tool takes the screen with the file in its answer; the listener waits hidden.
      auto* tool = dynamic_cast<quillane::cl_PlaceLightTool*>(m_frame->GetSystemGUI()->GetModalWindows().front());
      ASSERT_NE(tool, nullptr);
      EXPECT_TRUE(m_listener->HasFlag(base::WF_HIDDEN));
      EXPECT_TRUE(m_listener->events.empty());
      EXPECT_EQ(Text(tool->GetAnswer()[0], "file"), "light_office.tga");
    }
  }
}

TEST(FileNames, LongNamesAreShortenedToTwentyTwoCharactersAndTwoDots) {
  auto shown = [](const char* name) {
    return std::string(quillane::ShortenForDisplay(base::tString<base::BaseString>(name), 24).c_str());
  };
  EXPECT_EQ(shown("abcdefghijklmnopqrstuvwx"), "abcdefghijklmnopqrstuv..");  // 24 characters
  EXPECT_EQ(shown("abcdefghijklmnopqrstuvw"), "abcdefghijklmnopqrstuvw");    // 23 stay whole
  EXPECT_EQ(shown("a_thirty_character_file_name.x"), "a_thirty_character_fil..");
  EXPECT_EQ(std::string(quillane::ShortenForDisplay(base::tString<base::BaseString>("ab"), 1).c_str()), "ab");
}

TEST_F(Dialogs, TheQuestionBoxAnswersUnderItsTitleAndCloses) {
  quillane::cl_DialogBox* box = quillane::cl_DialogBox::Open(
      m_listener, base::tString<base::BaseString>("Delete Character"),
      base::tString<base::BaseString>("Do you really want to delete the character\n'odo'?"),
      base::tString<base::BaseString>("Yes"), base::tString<base::BaseString>("No"));
  EXPECT_EQ(std::string(box->FindByLabel("button0")->m_Text.c_str()), "Yes");
  // The box is as wide as its longest line; a long label moves it left, never past the window.
  const base::cl_Window* sheet = box->FindByLabel("DialogBox");
  ASSERT_NE(gfx::FontExists("system"), nullptr);
  const float line = static_cast<float>(gfx::FontExists("system")->GetTextWidth("Do you really want to delete the character"));
  ASSERT_GT(line, 0.0f);
  EXPECT_GE(sheet->m_Rect.w, box->FindByLabel("text")->m_Rect.x + line);
  EXPECT_LE(sheet->m_Rect.x + sheet->m_Rect.w, kWidth);
  std::unique_ptr<quillane::cl_DialogBox> wide(quillane::cl_DialogBox::Open(
      m_listener, base::tString<base::BaseString>("Delete Character"),
      base::tString<base::BaseString>(("Do you really want to delete the character\n'" + std::string(70, 'w') + "'?").c_str()),
      base::tString<base::BaseString>("Yes"), base::tString<base::BaseString>("No")));
  const base::cl_Window* wideSheet = wide->FindByLabel("DialogBox");
  EXPECT_GT(wideSheet->m_Rect.w, sheet->m_Rect.w);
  EXPECT_GE(wideSheet->m_Rect.x, 0.0f);
  EXPECT_LE(wideSheet->m_Rect.x + wideSheet->m_Rect.w, kWidth);
  base::Variant bare;
  bare.set_element("ButtonPressed");
  EXPECT_FALSE(box->ProcessEvent(bare)) << "no ctrl_label, no answer";
  ASSERT_TRUE(Modal(box));
  ASSERT_TRUE(Click("button1"));
  Step();
  EXPECT_FALSE(Open()) << "the layout's buttons close the box";
  ASSERT_EQ(m_listener->events.size(), 1u);
  EXPECT_STREQ(m_listener->events[0].get_label(), "Delete Character");
  EXPECT_EQ(Text(m_listener->events[0], "ctrl_label"), "button1");
  // A second question against the same listener answers under its own title.
  ASSERT_TRUE(Modal(quillane::cl_DialogBox::Open(m_listener, base::tString<base::BaseString>("Overwrite"),
                                                 base::tString<base::BaseString>("?"),
                                                 base::tString<base::BaseString>("Yes"),
                                                 base::tString<base::BaseString>("No"))));
  ASSERT_TRUE(Click("button0"));
  ASSERT_EQ(m_listener->events.size(), 2u);
  EXPECT_STREQ(m_listener->events[1].get_label(), "Overwrite");
  EXPECT_EQ(Text(m_listener->events[1], "ctrl_label"), "button0");
}

// Escape answers every dialog as its Cancel (or No) button does, whatever has the focus.
TEST_F(Dialogs, EscapeCancelsEveryDialogAsItsCancelButtonDoes) {
  base::Variant answer;
  answer.set_element("LabelEntered");
  const struct {
    const char* what;
    std::function<base::cl_Window*()> open;
    const char* event;  // what the listener hears, or null
  } cases[] = {
      {"name",
       [&] { return quillane::cl_EnterLabelDialog::Open(m_listener, answer, base::tString<base::BaseString>("x")); },
       "Cancel"},
      {"file browser", [&] { return cl_LoadImageDialog::Open(m_listener, "BackgroundElements", base::Variant()); },
       nullptr},
      {"new scene", [&] { return new quillane::cl_NewScene(m_listener); }, nullptr},
      {"select item", [&] { return quillane::cl_SelectItemDialog::Open(m_listener, "Nodes", "n"); }, nullptr},
      {"light type", [&] { return quillane::cl_SelectLightTypeDialog::Open(m_listener, "ambient"); }, nullptr},
      {"question", [&] { return quillane::cl_DialogBox::Open(m_listener, "Ask", "Sure?", "Yes", "No"); }, "Ask"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    m_listener->events.clear();
    ASSERT_TRUE(Modal(c.open()));
    Key(base::key::Escape);
    Step();
    EXPECT_FALSE(Open());
    if (c.event) {
      ASSERT_EQ(m_listener->events.size(), 1u);
      EXPECT_STREQ(m_listener->events[0].get_label(), c.event);
      if (std::string(c.event) == "Ask") {
        EXPECT_EQ(Text(m_listener->events[0], "ctrl_label"), "button1");
      }
    } else {
      EXPECT_TRUE(m_listener->events.empty());
    }
  }
  Mouse(base::ICMD::RIGHT_DOWN, 300, 200);
  Mouse(base::ICMD::RIGHT_UP, 300, 200);
  Step();
  ASSERT_NE(Window("TestMenu"), nullptr);
  Key(base::key::Escape);
  Step();
  EXPECT_EQ(Window("TestMenu"), nullptr);
}

// The name dialog's proposal is selected: typing replaces it (it was appended to:
// "Hotspotcupboard"). A click in the field, even right of the text, places the caret; Ctrl+A
// selects all again. A long name is drawn inside the field, scrolled to its end where the caret
// is; Enter answers as Ok does.
TEST_F(Dialogs, TypingReplacesTheNameDialogsProposalAndAClickPlacesTheCaret) {
  base::Variant answer;
  answer.set_element("LabelEntered");
  ASSERT_TRUE(
      Modal(quillane::cl_EnterLabelDialog::Open(m_listener, answer, base::tString<base::BaseString>("Hotspot"))));
  for (uint8_t key : {'C', 'U', 'P'}) Key(key);
  EXPECT_EQ(Field("Label"), "cup");
  const base::cl_Window* field = Window("Label");
  ASSERT_NE(field, nullptr);
  const base::st_ScreenRect box = field->m_AbsRect;
  const int y = static_cast<int>((box.top + box.bottom) / 2);
  Mouse(base::ICMD::LEFT_DOWN, static_cast<int>(box.left) + 1, y);
  Mouse(base::ICMD::LEFT_UP, static_cast<int>(box.left) + 1, y);
  Key('A');
  EXPECT_EQ(Field("Label"), "acup");
  Mouse(base::ICMD::LEFT_DOWN, static_cast<int>(box.right) - 2, y);
  Mouse(base::ICMD::LEFT_UP, static_cast<int>(box.right) - 2, y);
  Key('Z');
  EXPECT_EQ(Field("Label"), "acupz");
  Key('A', kCtrl);
  EXPECT_EQ(Field("Label"), "acupz") << "Ctrl+A types nothing";
  Key(base::key::Backspace);
  EXPECT_EQ(Field("Label"), "");

  // Dark (text) pixels beside the field, across the window: a long name ran out of its dialog.
  auto darkBesideTheField = [&] {
    int dark = 0;
    for (int py = static_cast<int>(box.top); py < static_cast<int>(box.bottom); ++py)
      for (int px = 0; px < kWidth; ++px)
        if (px < box.left - 2 || px > box.right + 2) dark += (Pixel(px, py) & 0xC0C0C0u) == 0 ? 1 : 0;
    return dark;
  };
  Step();
  const int plain = darkBesideTheField();
  const std::string name(80, 'w');
  for (int i = 0; i < 80; ++i) Key('W');
  EXPECT_EQ(Field("Label"), name);
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step();
  gfx::TraceDrawnText(nullptr);
  EXPECT_EQ(darkBesideTheField(), plain) << "the name runs out of its field";
  bool drawn = false;
  for (const gfx::st_DrawnText& t : texts)
    if (t.text == name) {
      drawn = true;
      EXPECT_LE(t.right, box.right) << "the caret at the end is out of view";
      EXPECT_GT(t.right, box.right - 20.0f);
    }
  EXPECT_TRUE(drawn);
  Key(base::key::Enter);
  Step();
  EXPECT_FALSE(Open());
  ASSERT_EQ(m_listener->events.size(), 1u);
  EXPECT_EQ(Text(m_listener->events[0], "label"), name);
}

// Every editor sheet of "GUI.xml" drawn alone: its captions lie inside it and clear of the fields
// right of them (a long caption ran under its number field).
TEST_F(Dialogs, EveryEditorSheetHoldsItsCaptionsClearOfItsFields) {
  for (const char* label :
       {"Scene Manager", "Scene Editor", "SelectItem", "SelectLightType", "HeavenEditor", "LayerEditor",
        "TextureStripEditor", "NewScene", "NewCharacter", "SetupCharacter", "EnterLabel", "ImageLoad", "DialogBox",
        "TrainTravelPlayOptions", "TrainTravelNodeOptions", "DanceEditor"}) {
    SCOPED_TRACE(label);
    // What the editor draws without the sheet (its show flags) is not the sheet's.
    std::vector<gfx::st_DrawnText> before, texts;
    gfx::TraceDrawnText(&before);
    Step(0.0f);
    auto* holder = new base::cl_Window();
    m_frame->GetSystemGUI()->AddChild(holder);
    ASSERT_TRUE(holder->LoadFromFile("GUI.xml", label));
    gfx::TraceDrawnText(&texts);
    Step(0.0f);
    gfx::TraceDrawnText(nullptr);
    std::erase_if(texts, [&](const gfx::st_DrawnText& t) {
      return std::any_of(before.begin(), before.end(), [&](const gfx::st_DrawnText& b) {
        return b.text == t.text && b.left == t.left && b.top == t.top;
      });
    });
    const base::cl_Window* sheet = holder->GetChild(0);
    ASSERT_NE(sheet, nullptr);
    std::vector<const base::cl_Window*> fields, open{sheet};
    while (!open.empty()) {
      const base::cl_Window* w = open.back();
      open.pop_back();
      if (dynamic_cast<const base::cl_Edit*>(w) || dynamic_cast<const base::cl_StringCtrl*>(w)) fields.push_back(w);
      for (const base::cl_Window* child : w->m_Children) open.push_back(child);
    }
    // A group's controls stand inside its frame, below its top line (7 pixels down).
    std::vector<const base::cl_Window*> walk{sheet};
    while (!walk.empty()) {
      const base::cl_Window* w = walk.back();
      walk.pop_back();
      for (const base::cl_Window* child : w->m_Children) {
        walk.push_back(child);
        if (!dynamic_cast<const base::cl_Group*>(w)) continue;
        EXPECT_TRUE(child->m_Rect.x >= 2 && child->m_Rect.y >= 10 &&
                    child->m_Rect.x + child->m_Rect.w <= w->m_Rect.w - 2 &&
                    child->m_Rect.y + child->m_Rect.h <= w->m_Rect.h - 2)
            << child->m_Label.c_str() << " on the frame of " << w->m_Label.c_str();
      }
    }
    const base::st_ScreenRect& box = sheet->m_AbsRect;
    for (const gfx::st_DrawnText& t : texts) {
      if (t.text.find_first_not_of(' ') == std::string::npos) continue;
      EXPECT_TRUE(t.left >= box.left && t.right <= box.right + 1 && t.top >= box.top && t.bottom <= box.bottom + 1)
          << "\"" << t.text << "\" outside the sheet";
      for (const base::cl_Window* f : fields) {
        const base::st_ScreenRect& r = f->m_AbsRect;
        EXPECT_FALSE(t.left < r.left && t.right > r.left + 1 && t.top < r.bottom && r.top < t.bottom)
            << "\"" << t.text << "\" runs under " << f->m_Label.c_str();
      }
    }
    holder->Close();
    Step(0.0f);
  }
}

}  // namespace
}  // namespace editortest
