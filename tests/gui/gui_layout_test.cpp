// Layouts: the factory, every description key, the layout file's rules and its failures, and the
// demo's "GUI.xml".
#include <gtest/gtest.h>

#include <cmath>
#include <typeinfo>

#include "../base/test_support.h"
#include "base/data/Xml.h"
#include "gui_data_file.h"
#include "recording_skin.h"

namespace {

using base::cl_Window;
using guitest::cl_TestGUI;
using guitest::cl_TestPanel;
using guitest::DataFile;

// A GUI root with a panel that loads layouts from a scratch "GUI.xml".
struct st_Loader {
  st_Loader() {
    base::g_pGUI = &gui;
    panel = new cl_TestPanel;
    gui.AddChild(panel);
  }
  bool Load(const std::string& body, const char* label = "L") {
    dir.write("GUI.xml", "<?xml version=\"1.0\"?>\n<GUI>" + body + "</GUI>\n");
    return panel->LoadFromFile(dir.path("GUI.xml").c_str(), label);
  }
  cl_Window* Built() { return panel->GetChild(0); }

  testsupport::TempDir dir;
  cl_TestGUI gui;
  cl_TestPanel* panel;
};

TEST(GuiFactory, LastRegistrationWinsAndUnknownNamesGiveNull) {
  base::tWindowFactory factory;
  factory.Register<base::cl_Window>("Button");
  factory.Register<base::cl_Button>("Button");
  EXPECT_EQ(factory.GetCount(), 1);
  cl_Window* w = factory.Create("Button");
  EXPECT_NE(dynamic_cast<base::cl_Button*>(w), nullptr);
  delete w;
  EXPECT_EQ(factory.Create("Nope"), nullptr);

  testsupport::LogCapture log;
  cl_TestGUI gui;
  EXPECT_EQ(gui.CreateChild("Nope"), nullptr);
  EXPECT_TRUE(log.contains("ERROR:"));
  EXPECT_EQ(gui.GetChildCount(), 0);
  EXPECT_EQ(gui.CreateFromDescription(base::StaticVariantIterator()), nullptr);
}

TEST(GuiLayout, DescriptionKeysSetTheirFields) {
  struct {
    const char* xml;
    uint32_t flags;  // beyond the class's own
    const char* text;
    const char* label;
    const char* value;
  } cases[] = {
      {R"(<Lantern label="L" x="1" y="2" w="3" h="4"/>)", 0, "", "L", "void"},
      {R"(<Lantern label="L" close_panel="0" default="no"/>)", base::WF_CLOSE_PANEL | base::WF_DEFAULT, "", "L", "void"},
      {R"(<Lantern label="L" disable="0"/>)", base::WF_DISABLED, "", "L", "void"},
      {R"(<Lantern label="L" disable="never"/>)", base::WF_DISABLED, "", "L", "void"},
      {R"(<Lantern label="L" selectable="single"/>)", base::WF_SELECTABLE, "", "L", "void"},
      {R"(<Lantern label="L" selectable="multiple"/>)", base::WF_SELECTABLE | base::WF_MULTIPLE, "", "L", "void"},
      {R"(<Lantern label="L" text="Hello" value="abc"/>)", 0, "Hello", "L", "abc"},
      {R"(<Lantern text="42" label="L" value="2.5"/>)", 0, "42", "L", "2.5"},
      {R"(<Button label="L" default="1"/>)", base::WF_CENTER_TEXT | base::WF_DEFAULT, "", "L", "void"},
  };
  for (const auto& c : cases) {
    st_Loader l;
    ASSERT_TRUE(l.Load(c.xml)) << c.xml;
    cl_Window* w = l.Built();
    EXPECT_EQ(w->m_Flags, c.flags) << c.xml;
    EXPECT_STREQ(w->m_Text.c_str(), c.text) << c.xml;
    EXPECT_STREQ(w->m_Label.c_str(), c.label) << c.xml;
    base::tString<base::BaseString> value;
    w->m_Value.print_to(value);
    EXPECT_STREQ(value.c_str(), c.value) << c.xml;
  }
  st_Loader l;
  ASSERT_TRUE(l.Load(R"(<Lantern label="L" x="1" y="2" w="3" h="4"/>)"));
  const base::st_WindowRect r = l.Built()->m_Rect;
  EXPECT_EQ(std::vector<float>({r.x, r.y, r.w, r.h}), std::vector<float>({1, 2, 3, 4}));
}

TEST(GuiLayout, UnknownTagGivesAPlainWindowWithTheCommonKeysOnly) {
  st_Loader l;
  ASSERT_TRUE(l.Load(R"(<Lantern label="a" x="10"><Button label="inner"/></Lantern>)", "a"));
  cl_Window* w = l.Built();
  EXPECT_EQ(typeid(*w), typeid(cl_Window));
  EXPECT_EQ(w->m_Rect.x, 10);
  EXPECT_STREQ(w->m_Label.c_str(), "a");
  EXPECT_EQ(w->GetChildCount(), 0);
}

TEST(GuiLayout, GroupsBuildTheirChildrenAndControlsReadTheirOwnKeys) {
  st_Loader l;
  ASSERT_TRUE(l.Load(R"(<Group label="L"><RadioButton label="r" w="40" h="40" text="Red"/>
      <Group label="g"><CheckBox label="c" text="Check"/><StringCtrl label="s" focus="1"/><StringCtrl label="t" focus="1"/></Group>
      </Group>)"));
  cl_Window* group = l.Built();
  ASSERT_EQ(group->GetChildCount(), 2);
  cl_Window* radio = group->GetChild(0);
  EXPECT_EQ(std::vector<float>({radio->m_Rect.w, radio->m_Rect.h}), std::vector<float>({16, 16}));
  EXPECT_STREQ(radio->m_Text.c_str(), "Red");
  EXPECT_STREQ(group->FindByLabel("c")->m_Text.c_str(), "Check");
  EXPECT_EQ(base::g_pFocusWindow, group->FindByLabel("t"));  // the last "focus" read wins
  EXPECT_EQ(base::g_CaretPos, -1);
}

TEST(GuiLayout, TheFirstLayoutOfALabelWins) {
  st_Loader l;
  ASSERT_TRUE(l.Load(R"(<Lantern text="no label"/><Lantern label="L" text="first"/><Lantern label="L" text="second"/>)"));
  EXPECT_STREQ(l.Built()->m_Text.c_str(), "first");
  EXPECT_EQ(l.panel->GetChildCount(), 1);
}

TEST(GuiLayout, BadFilesAndMissingLabelsCreateNothing) {
  struct {
    const char* what;
    const char* content;  // null: no file at all
    const char* label;
  } cases[] = {
      {"missing file", nullptr, "L"},
      {"empty file", "", "L"},
      {"malformed XML", "<GUI><Group label=\"L\" x=\"1\"</GUI>", "L"},
      {"root without elements", "<GUI/>", "L"},
      {"label not present", "<GUI><Group label=\"M\"/></GUI>", "L"},
      {"label on a nested element only", "<GUI><Group label=\"M\"><Group label=\"L\"/></Group></GUI>", "L"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    st_Loader l;
    testsupport::LogCapture log;
    if (c.content) l.dir.write("GUI.xml", c.content);
    EXPECT_FALSE(l.panel->LoadFromFile(l.dir.path("GUI.xml").c_str(), c.label));
    EXPECT_EQ(l.panel->GetChildCount(), 0);
    EXPECT_TRUE(log.contains("ERROR:"));
  }
}

TEST(GuiLayout, HostileNumbersStillGiveAWorkingTree) {
  st_Loader l;
  ASSERT_TRUE(l.Load(R"(<Group label="L" x="NaN" y="1e40" w="-5" h="abc">
      <Edit label="list" w="1e39" h="NaN"/><Edit label="small" w="50" h="50"/>
      <Slider label="s" w="NaN" h="16"/></Group>)"));
  for (const char* label : {"list", "small"}) {
    base::cl_Window* edit = l.Built()->FindByLabel(label);
    edit->m_Value.set_element("List");
    testsupport::AddEntry(edit->m_Value, "r", "row").attribute("selected")->set_int(1);
    testsupport::AddEntry(edit->m_Value, "q", "row");
    edit->SetFlag(base::WF_REBUILD, true);
  }
  for (int i = 0; i < 3; ++i) {
    guitest::Frame(l.gui, {guitest::Down(10, 10), guitest::Move(400, 300), guitest::Up(5, 5), guitest::Key('a')});
  }
  for (const char* label : {"list", "small"}) {
    base::cl_ScrollArea* area = dynamic_cast<guitest::cl_TestList*>(l.Built()->FindByLabel(label))->m_pScrollArea;
    ASSERT_NE(area, nullptr) << label;
    EXPECT_FALSE(std::isnan(area->m_ScrollX)) << label;
    EXPECT_FALSE(std::isnan(area->m_ScrollY)) << label;
  }
}

TEST(GuiLayout, FileNamesResolveWithoutLetterCase) {
  st_Loader l;
  l.dir.write("gui.xml", R"(<GUI><Button label="L"/></GUI>)");
  EXPECT_TRUE(l.panel->LoadFromFile(l.dir.path("GUI.XML").c_str(), "L"));
}

TEST(GuiLayout, PanelInitBuildsOneChildFromItsDescription) {
  cl_TestGUI gui;
  base::g_pGUI = &gui;
  base::StaticVariant desc;
  ASSERT_TRUE(base::xml::read_text(desc, R"(<Button label="b" x="5"/>)"));
  base::cl_Panel panel;
  EXPECT_TRUE(panel.Init(desc));
  ASSERT_EQ(panel.GetChildCount(), 1);
  EXPECT_EQ(panel.m_Rect.x, 0);  // the panel's own keys are not read
  EXPECT_EQ(panel.GetChild(0)->m_Rect.x, 5);
  EXPECT_FALSE(panel.Init(base::StaticVariantIterator()));
}

TEST(GuiLayout, DemoLayoutsLoad) {
  guitest::st_SelfTest t(DataFile());
  ASSERT_TRUE(t.loaded);
  // Every class of the toolkit, and a tag no skin knows.
  for (const char* label : {"Apply", "Close", "Sound", "Quality", "Medium", "Volume", "Rows", "Row7", "Picks", "Name",
                            "Branch", "ViewportFrame", "Unknown"}) {
    EXPECT_NE(t.Find(label), nullptr) << label;
  }
  EXPECT_NE(t.Find<base::cl_CloseButton>("Close"), nullptr);
  EXPECT_NE(t.Find<base::cl_RadioButton>("Medium"), nullptr);
  EXPECT_NE(t.Find<base::cl_StringCtrl>("Row7"), nullptr);
  EXPECT_NE(dynamic_cast<base::cl_ScrollArea*>(t.Find("ViewportFrame")->GetChild(0)), nullptr);
  const auto* unknown = t.Find("Unknown");
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(typeid(*unknown), typeid(cl_Window));
  EXPECT_EQ(unknown->GetChildCount(), 0);
  EXPECT_STREQ(t.Find("Quality")->m_Value.get_string(), "Medium");  // the preset choice, published

  for (const char* label : {"DialogBox", "EnterLabel", "ImageLoad", "SelectItem", "SelectLightType", "NewScene",
                            "NewCharacter", "SetupCharacter", "TestMenu", "LayerEditor", "HeavenEditor",
                            "TextureStripEditor", "DanceEditor", "TrainTravelNodeOptions", "TrainTravelContextMenu",
                            "TrainTravelContextMenuNode", "TrainTravelContextMenuPlay"}) {
    cl_TestPanel panel;
    EXPECT_TRUE(panel.LoadFromFile(DataFile().c_str(), label)) << label;
  }
}

}  // namespace
