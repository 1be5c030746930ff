// The scene editor panel on a copy of the Office: the tree kept open and selected across edits,
// the answers it takes (backgrounds, skies, strips, nav meshes, an empty file), the buttons at
// the ends of a group, the project file read back equal and written again alike, a failed save
// shown in the window and undone, elements of one label kept apart;
// the crop tool's sizes, clamp and answer; the item dialog; the layer menus, also once their
// element is gone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <tuple>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "editor_fixture.h"
#include "graphics/draw/Draw.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/editor/CropTool.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/LayerMenus.h"
#include "quillane/editor/SceneEditorPanel.h"
#include "quillane/editor/SceneList.h"
#include "quillane/editor/SelectItemDialog.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "support/KillSaver.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace editortest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_Editor;
using quillane::cl_SceneEditorPanel;

std::string Text(const base::Variant& v, const char* name) {
  const base::Variant* a = v.get_attribute(name);
  if (!a) return "(none)";
  base::tString<base::BaseString> text;
  a->print_to(text);
  return text.c_str();
}

std::vector<std::string> Labels(const base::Variant* group) {
  std::vector<std::string> labels;
  for (int i = 0; group && i < group->size(); ++i) labels.push_back(Text((*group)[i], "label"));
  return labels;
}

base::Variant Event(const char* name, const char* category = nullptr) {
  base::Variant event;
  event.set_element(name);
  if (category) event.attribute("category")->set_string(category);
  return event;
}

base::ICMD KeyPress(uint8_t key) {
  base::ICMD cmd;
  cmd.type = base::ICMD::KEY_PRESSED;
  cmd.key = key;
  return cmd;
}

std::string XmlOf(const base::Variant& tree, const fs::path& file) {
  EXPECT_TRUE(base::xml::write_file(tree, file.string().c_str()));
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class SceneEditor : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_scene = Open("Office");
    ASSERT_NE(m_scene, nullptr);
    ASSERT_TRUE(Menu("Editor"));
    Step();
    m_panel = dynamic_cast<cl_SceneEditorPanel*>(m_frame->GetSystemGUI()->FindChild(cl_SceneEditorPanel::kLabel));
    ASSERT_NE(m_panel, nullptr);
  }

  base::Variant& Description() { return m_scene->GetSettings(); }
  std::vector<std::string> Group(const char* group) { return Labels(Description().get_element(group)); }

  // Opens the group's branch and selects the element's row, as a click would.
  void Select(const char* group, const char* label) {
    base::cl_Window* tree = m_panel->FindByLabel("ResourceList");
    for (int i = 0; i < tree->m_Value.size(); ++i)
      if (Text(tree->m_Value[i], "label") == group) tree->m_Value[i].attribute("_open")->set_int(1);
    tree->SetFlag(base::WF_REBUILD, true);
    Step();
    base::cl_Window* branch = m_panel->FindByLabel("ClientWindow")->FindByLabel(group);
    ASSERT_NE(branch, nullptr) << group;
    for (int i = 0; base::cl_Window* row = branch->GetChild(i); ++i)
      if (row->m_Label == label && row->GetChild(0) == nullptr) {
        tree->ClearSelection();
        row->SetFlag(base::WF_SELECTED, true);
        return;
      }
    FAIL() << "no row " << label << " in " << group;
  }

  // The project file on disk read freshly equals the live description, and a second save is alike.
  void ExpectStoredAlike() {
    quillane::cl_Scene fresh;
    fresh.LoadProjectFile("Office");
    EXPECT_EQ(XmlOf(fresh.GetSettings(), m_dir / "fresh.xml"), XmlOf(Description(), m_dir / "live.xml"));
    const std::string first = ReadText("Scenes/Office/ProjectFile.xml");
    ASSERT_TRUE(m_scene->SaveProjectFile());
    EXPECT_EQ(ReadText("Scenes/Office/ProjectFile.xml"), first);
  }

  quillane::cl_Scene* m_scene = nullptr;
  cl_SceneEditorPanel* m_panel = nullptr;
};

TEST(SceneEditorLabels, FreeLabelsCountOnAndTheInfoLineTakesEachGroupsForm) {
  base::Variant group;
  group.set_element("StageElements");
  EXPECT_EQ(std::string(quillane::FindFreeLabel(&group, "StageElements").c_str()), "default");
  for (const char* taken : {"default", "elem0"}) group.add_element("Layer").attribute("label")->set_string(taken);
  EXPECT_EQ(std::string(quillane::FindFreeLabel(&group, "StageElements").c_str()), "elem1");
  EXPECT_EQ(std::string(quillane::FindFreeLabel(&group, "ForegroundElements").c_str()), "fg0");
  for (int n = 0; n < 128; ++n)
    group.add_element("Layer").attribute("label")->set_string(("bg" + std::to_string(n)).c_str());
  EXPECT_EQ(std::string(quillane::FindFreeLabel(&group, "SpecialFX").c_str()), "bg128") << "never a label in use";

  base::Variant element;
  element.set_element("Layer");
  element.attribute("label")->set_string("desk");
  element.attribute("x")->set_float(12.7f);
  EXPECT_EQ(std::string(quillane::FormatElementInfo(element, "StageElements").c_str()),
            "ElementLabel: desk File:  x:12 y:0 w:0 h:0 UseBackgroundPixel:0");
  element.attribute("ysort")->set_int(380);
  EXPECT_NE(std::string(quillane::FormatElementInfo(element, "StageElements").c_str()).find(" YSort:380"),
            std::string::npos);
  EXPECT_EQ(std::string(quillane::FormatElementInfo(element, "Locators").c_str()),
            "ElementLabel: desk x:12.700000 y:0.000000 z:0.000000 yaw:0.000000 pitch:0.000000 roll:0.000000");
  element.attribute("color_r")->set_int(255);
  EXPECT_EQ(std::string(quillane::FormatElementInfo(element, "Lights").c_str()),
            "ElementLabel: desk File:  Type:  nx:0.000000 ny:0.000000 nz:0.000000 r:255 g:0 b:0 a:0");

  // A hotspot is an outline: its corners and the rectangle around them; a label no script
  // function can be named after says so.
  base::Variant hotspot;
  hotspot.set_element("HotSpot");
  hotspot.attribute("label")->set_string("door");
  for (const auto& [x, y] : {std::pair{400.0f, 300.0f}, {460.5f, 280.0f}, {430.0f, 350.0f}}) {
    base::Variant& point = hotspot.add_element("Point");
    point.attribute("x")->set_float(x), point.attribute("y")->set_float(y);
  }
  EXPECT_EQ(std::string(quillane::FormatElementInfo(hotspot, "HotSpots").c_str()),
            "ElementLabel: door Corners:3 x:400 y:280 w:60 h:70");
  hotspot.attribute("label")->set_string("front door");
  EXPECT_EQ(std::string(quillane::FormatElementInfo(hotspot, "HotSpots").c_str()),
            "ElementLabel: front door Corners:3 x:400 y:280 w:60 h:70 - no script can answer it: "
            "\"OnTrigger_front door\" is no function name (letters A-Z, digits and _ only)");
}

// A child saves the Office's project file over and over, one stage element more each time; every
// kill leaves a file that parses, with all of the first version's elements.
TEST(SceneProjectKill, FiftyKillsOfASavingChildLeaveAParsableFile) {
  const fs::path home = fs::current_path();
  const fs::path dir = fs::temp_directory_path() / ("quillane_projectkill_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "Scenes/Office");
  fs::copy_file(fs::path(QUILLANE_DATA_DIR) / "Scenes/Office/ProjectFile.xml", dir / "Scenes/Office/ProjectFile.xml");
  fs::current_path(dir);
  quillane::cl_Scene scene;
  scene.LoadProjectFile("Office");
  const int stage = scene.GetSettings().get_element("StageElements")->size();
  std::mt19937 random(20261208);
  const auto save = [&scene](int round) {
    // Each child is another editor: it reads the file as the killed one left it.
    if (round == 0) scene.LoadProjectFile("Office");
    base::Variant& layer = scene.GetSettings().get_element("StageElements")->add_element("Layer");
    layer.attribute("label")->set_string(("extra" + std::to_string(round)).c_str());
    layer.attribute("file")->set_string("crate.tga");
    scene.SaveProjectFile();
  };
  for (int kill = 0; kill < 50; ++kill) {
    ASSERT_TRUE(testsupport::KillSavingChild(save, random));
    base::Variant back;
    ASSERT_TRUE(base::xml::read_file(back, "Scenes/Office/ProjectFile.xml")) << "after kill " << kill;
    ASSERT_NE(back.get_element("StageElements"), nullptr) << "after kill " << kill;
    ASSERT_GE(back.get_element("StageElements")->size(), stage) << "after kill " << kill;
  }
  fs::current_path(home);
  fs::remove_all(dir);
}

TEST_F(SceneEditor, AnswersAddToTheirGroupsAndTheFileReadsBackEqual) {
  std::vector<std::string> groups;
  for (int i = 0; i < Description().size(); ++i) groups.emplace_back(Description()[i].get_label());
  EXPECT_EQ(Rows("ResourceList"), groups);
  const float width = m_scene->GetWidth(), height = m_scene->GetHeight();

  // A second background leaves the scene size; a sky sets it, with its scroll from the flag.
  base::Variant background = Event("AddElement", "BackgroundElements");
  base::Variant& bg = background.add_element("Layer");
  bg.attribute("label")->set_string("bg0"), bg.attribute("file")->set_string("crate.tga");
  bg.attribute("w")->set_float(64.0f), bg.attribute("h")->set_float(32.0f);
  m_panel->ProcessEvent(background);
  EXPECT_EQ(m_scene->GetWidth(), width);
  EXPECT_EQ(m_scene->GetHeight(), height);
  base::Variant sky = background;
  sky.attribute("category")->set_string("HeavenElements");
  sky[0].attribute("label")->set_string("default");
  sky[0].attribute("use_background_pixels")->set_int(1);
  m_panel->ProcessEvent(sky);
  EXPECT_EQ(m_scene->GetWidth(), 64.0f);
  EXPECT_EQ(Text(Description(), "h"), "32");
  const base::Variant& added = (*Description().get_element("HeavenElements"))[0];
  EXPECT_EQ(Text(added, "scroll"), "1");
  EXPECT_EQ(Text(added, "use_background_pixels"), "0");
  EXPECT_EQ(m_scene->HeavenElements.size(), 1u);

  // A strip becomes a stage element with the strip defaults; "zref" from y and ys.
  base::Variant strip = Event("AddElement", "TextureStrip");
  base::Variant& s = strip.add_element("Layer");
  s.attribute("label")->set_string("elem0"), s.attribute("file")->set_string("lamp.tst");
  s.attribute("y")->set_float(300.0f), s.attribute("ys")->set_float(100.0f);
  m_panel->ProcessEvent(strip);
  const base::Variant* stage = Description().get_element("StageElements");
  ASSERT_EQ(Group("StageElements").back(), "elem0");
  const base::Variant& last = (*stage)[stage->size() - 1];
  for (const auto& [name, value] : {std::pair{"zref", "390"},
                                    {"playmode", "1"},
                                    {"frame_step", "0.1"},
                                    {"min_time", "0"},
                                    {"use_blur", "1"},
                                    {"LOD_level", "0"}})
    EXPECT_EQ(Text(last, name), value) << name;

  // "Ok" in the browser without a choice adds nothing.
  const size_t before = Group("StageElements").size();
  base::Variant empty = Event("AddElement", "StageElements");
  empty.add_element("Layer").attribute("label")->set_string("elem1");
  m_panel->ProcessEvent(empty);
  EXPECT_EQ(Group("StageElements").size(), before);
  EXPECT_NE(Log().find("no file was chosen for the new StageElements element"), std::string::npos);

  // A nav mesh: renamed, and the scene re-read so that the graph has it; removed the same way.
  const size_t meshes = m_scene->NavMeshes.size();
  base::Variant nav = Event("AddElement", "NavMeshes");
  base::Variant& node = nav.add_element("Node");
  node.attribute("label")->set_string("default"), node.attribute("file")->set_string("navmesh.xml");
  m_panel->ProcessEvent(nav);
  EXPECT_EQ(std::string((*Description().get_element("NavMeshes"))[1].get_label()), "NavMesh");
  EXPECT_EQ(m_scene->NavMeshes.size(), meshes + 1);
  ExpectStoredAlike();
  Select("NavMeshes", "default");
  m_panel->ProcessEvent(Button("Remove"));
  EXPECT_EQ(Group("NavMeshes"), std::vector<std::string>{"floor"});
  EXPECT_EQ(m_scene->NavMeshes.size(), meshes);
  ExpectStoredAlike();
}

// At 1024 x 768 the show flags, the panel and a selected element's long info line stay inside
// the window; the element's menu opens clear of the info line.
TEST_F(SceneEditor, TheStatusTextsAndTheInfoLineStayInsideTheWindow) {
  Select("StageElements", "desk");
  EXPECT_EQ(OutsideTheWindow(), std::vector<std::string>{});
  m_panel->ProcessEvent(Button("Edit"));
  Step();
  const base::cl_Window* menu = m_frame->GetSystemGUI()->FindChild(quillane::cl_LayerMenu::kLabel);
  ASSERT_TRUE(menu && menu->GetChild(0));
  const base::st_ScreenRect& r = menu->GetChild(0)->m_AbsRect;
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step(0.0f);
  gfx::TraceDrawnText(nullptr);
  bool info = false;
  for (const gfx::st_DrawnText& t : texts) {
    if (!t.text.starts_with("ElementLabel: desk")) continue;
    info = true;
    EXPECT_FALSE(t.left < r.right && r.left < t.right && t.top < r.bottom && r.top < t.bottom) << "under the menu";
  }
  EXPECT_TRUE(info);
}

TEST_F(SceneEditor, UpDownAndRemoveKeepTheEndsOpenGroupsAndTheSelection) {
  const std::vector<std::string> stage = Group("StageElements");
  ASSERT_EQ(stage, (std::vector<std::string>{"desk", "lamp"}));
  Select("StageElements", "desk");
  Step();
  EXPECT_EQ(std::string(quillane::g_SelectedElementLabel.c_str()), "desk");
  EXPECT_FALSE(Window("Remove")->HasFlag(base::WF_DISABLED));
  EXPECT_TRUE(Window("Add")->HasFlag(base::WF_DISABLED));
  m_panel->ProcessEvent(Button("Up"));  // at the top already
  EXPECT_EQ(Group("StageElements"), stage);
  m_panel->ProcessEvent(Button("Down"));
  EXPECT_EQ(Group("StageElements"), (std::vector<std::string>{"lamp", "desk"}));
  EXPECT_EQ(m_scene->StageElements.back()->GetLabel(), "desk");
  Step();
  base::tString<base::BaseString> group, label;
  ASSERT_TRUE(m_panel->GetSelectedElement(group, label)) << "an open group keeps its selection";
  EXPECT_EQ(std::string(label.c_str()), "desk");
  m_panel->ProcessEvent(Button("Down"));  // at the bottom already
  EXPECT_EQ(Group("StageElements"), (std::vector<std::string>{"lamp", "desk"}));
  ExpectStoredAlike();

  // A closed group loses the mark; nothing selected: Remove changes nothing but still saves.
  base::cl_Window* tree = m_panel->FindByLabel("ResourceList");
  for (int i = 0; i < tree->m_Value.size(); ++i) tree->m_Value[i].attribute("_open")->set_int(0);
  m_panel->RebuildResourceTree();
  Step();
  EXPECT_FALSE(m_panel->GetSelectedElement(group, label));
  fs::remove(m_data / "Scenes/Office/ProjectFile.xml");
  m_panel->ProcessEvent(Button("Remove"));
  EXPECT_EQ(Group("StageElements").size(), 2u);
  EXPECT_TRUE(fs::exists(m_data / "Scenes/Office/ProjectFile.xml"));

  Select("StageElements", "lamp");
  Step();
  m_panel->ProcessEvent(Button("Remove"));
  EXPECT_EQ(Group("StageElements"), std::vector<std::string>{"desk"});
  EXPECT_EQ(m_scene->StageElements.size(), 1u);
  // The removed element's label goes with it: the scene and the game frame elements by that name.
  Step();
  EXPECT_EQ(std::string(quillane::g_SelectedElementLabel.c_str()), "");
  EXPECT_FALSE(m_panel->GetSelectedElement(group, label));
  EXPECT_TRUE(Window("Remove")->HasFlag(base::WF_DISABLED));
}

// A hotspot or locator whose label cannot end a script function's name, and a first background
// that cannot be a texture or does not fill the view, are added with a warning in the window.
TEST_F(SceneEditor, UncallableLabelsAndUnfitSceneSizesAreAddedWithAWarning) {
  for (const auto& [group, label, warned] : {std::tuple{"HotSpots", "cup_2", false},
                                             {"HotSpots", "cup board", true},
                                             {"HotSpots", "../up", true},
                                             {"Locators", "T\xc3\xbcr", true},
                                             {"Locators", "Exit_1", false}}) {
    SCOPED_TRACE(label);
    quillane::ClearEditorStatus();
    base::Variant add = Event("AddElement", group);
    base::Variant& element = add.add_element(std::string(group) == "HotSpots" ? "HotSpot" : "Locator");
    element.attribute("label")->set_string(label);
    m_panel->ProcessEvent(add);
    EXPECT_EQ(Group(group).back(), label) << "kept as typed";
    const quillane::st_EditorStatus& status = quillane::GetEditorStatus();
    EXPECT_EQ(status.text.find("no script can answer it") != std::string::npos, warned) << status.text;
    EXPECT_EQ(status.failure, warned);
  }
  EXPECT_NE(Log().find("Warning: Editor: HotSpots \"cup board\": no script can answer it: \"OnTrigger_cup board\""),
            std::string::npos);

  Select("BackgroundElements", "background");
  m_panel->ProcessEvent(Button("Remove"));
  ASSERT_EQ(Group("BackgroundElements").size(), 0u);
  for (const auto& [side, warning] : {std::pair{8000.0f, "8000 x 8000 pixels: more than 4096 pixels a side"},
                                      {1.0f, "1 x 1 pixels: smaller than the game's 1024 x 640 view"}}) {
    SCOPED_TRACE(side);
    base::Variant add = Event("AddElement", "BackgroundElements");
    base::Variant& layer = add.add_element("Layer");
    layer.attribute("label")->set_string("bg"), layer.attribute("file")->set_string("crate.tga");
    layer.attribute("w")->set_float(side), layer.attribute("h")->set_float(side);
    m_panel->ProcessEvent(add);
    EXPECT_EQ(m_scene->GetWidth(), side) << "the size is taken";
    EXPECT_NE(quillane::GetEditorStatus().text.find(warning), std::string::npos) << quillane::GetEditorStatus().text;
    Select("BackgroundElements", "bg");
    m_panel->ProcessEvent(Button("Remove"));
  }
}

// A project file put back from outside while the scene is open (a backup, older than the last
// save) is not written over: the next write is refused, the editor reads the file again and the
// next change goes on from it.
TEST_F(SceneEditor, AProjectFilePutBackFromOutsideIsReadAgainNotWrittenOver) {
  const fs::path project = m_data / "Scenes/Office/ProjectFile.xml";
  const std::string backup = ReadText("Scenes/Office/ProjectFile.xml");
  const auto before = fs::last_write_time(project);
  auto addHotspot = [this](const char* label) {
    base::Variant add = Event("AddElement", "HotSpots");
    add.add_element("HotSpot").attribute("label")->set_string(label);
    m_panel->ProcessEvent(add);
  };
  addHotspot("later");
  ASSERT_NE(ReadText("Scenes/Office/ProjectFile.xml").find("\"later\""), std::string::npos);

  std::ofstream(project, std::ios::binary | std::ios::trunc) << backup;
  fs::last_write_time(project, before);
  EXPECT_TRUE(m_scene->IsProjectFileChanged());
  EXPECT_FALSE(m_scene->SaveProjectFile());
  EXPECT_EQ(ReadText("Scenes/Office/ProjectFile.xml"), backup);
  EXPECT_NE(Log().find("ERROR: Scenes/Office/ProjectFile.xml: changed by another program"), std::string::npos);

  const auto treeHas = [this](const char* label) {
    const base::Variant& tree = m_panel->FindByLabel("ResourceList")->m_Value;
    for (int g = 0; g < tree.size(); ++g)
      if (Text(tree[g], "label") == "HotSpots") {
        const std::vector<std::string> rows = Labels(&tree[g]);
        return std::find(rows.begin(), rows.end(), label) != rows.end();
      }
    return false;
  };
  EXPECT_TRUE(treeHas("later"));
  Step();
  EXPECT_EQ(cl_Editor::GetEditedScene(), m_scene) << "read again in place";
  EXPECT_FALSE(m_scene->IsProjectFileChanged());
  const std::vector<std::string> hotspots = Group("HotSpots");
  EXPECT_EQ(std::find(hotspots.begin(), hotspots.end(), "later"), hotspots.end());
  EXPECT_EQ(Window(cl_SceneEditorPanel::kLabel), m_panel) << "the panel stays";
  EXPECT_FALSE(treeHas("later")) << "the panel's tree follows";
  EXPECT_NE(quillane::GetEditorStatus().text.find("read again"), std::string::npos) << quillane::GetEditorStatus().text;
  addHotspot("next");
  const std::string now = ReadText("Scenes/Office/ProjectFile.xml");
  EXPECT_NE(now.find("\"next\""), std::string::npos);
  EXPECT_EQ(now.find("\"later\""), std::string::npos);

  // Touched without a change, or gone: nothing to read again, and the next change is written.
  fs::last_write_time(project, before);
  EXPECT_FALSE(m_scene->IsProjectFileChanged());
  fs::remove(project);
  EXPECT_FALSE(m_scene->IsProjectFileChanged());
  addHotspot("again");
  EXPECT_NE(ReadText("Scenes/Office/ProjectFile.xml").find("\"again\""), std::string::npos);
}

// The panel closed by its menu entry takes the element's menu it opened along; so do another
// scene opened (the same one again too) and a menu entry that closes the scene, which take the
// panel, and with them the selection.
TEST_F(SceneEditor, ClosingTheSceneClosesItsPanelAndMenus) {
  base::cl_GUI* gui = m_frame->GetSystemGUI();
  const auto editDesk = [&] {
    m_panel = dynamic_cast<cl_SceneEditorPanel*>(gui->FindChild(cl_SceneEditorPanel::kLabel));
    ASSERT_NE(m_panel, nullptr);
    Select("StageElements", "desk");
    m_panel->ProcessEvent(Button("Edit"));
    Step();
    ASSERT_NE(gui->FindChild(quillane::cl_LayerMenu::kLabel), nullptr);
  };
  editDesk();
  ASSERT_TRUE(Menu("Editor"));
  Step();
  EXPECT_EQ(gui->FindChild(cl_SceneEditorPanel::kLabel), nullptr);
  EXPECT_EQ(gui->FindChild(quillane::cl_LayerMenu::kLabel), nullptr) << "the panel's menu goes with it";
  ASSERT_TRUE(Menu("Editor"));
  Step();
  editDesk();
  ASSERT_TRUE(m_editor->OpenScene("Office"));
  Step();
  EXPECT_EQ(gui->FindChild(cl_SceneEditorPanel::kLabel), nullptr);
  EXPECT_EQ(gui->FindChild(quillane::cl_LayerMenu::kLabel), nullptr);

  ASSERT_TRUE(Menu("Editor"));
  Step();
  m_panel = dynamic_cast<cl_SceneEditorPanel*>(gui->FindChild(cl_SceneEditorPanel::kLabel));
  ASSERT_NE(m_panel, nullptr);
  m_scene = cl_Editor::GetEditedScene();
  Select("StageElements", "desk");
  m_panel->ProcessEvent(Button("Edit"));
  Step();
  ASSERT_NE(gui->FindChild(quillane::cl_LayerMenu::kLabel), nullptr);
  ASSERT_TRUE(Menu("CharacterViewer"));
  Step();
  EXPECT_EQ(cl_Editor::GetEditedScene(), nullptr);
  EXPECT_EQ(gui->FindChild(cl_SceneEditorPanel::kLabel), nullptr);
  EXPECT_EQ(gui->FindChild(quillane::cl_LayerMenu::kLabel), nullptr);
  EXPECT_EQ(std::string(quillane::g_SelectedElementLabel.c_str()), "");
}

// Red text of the status line at the window's foot, below the scene's viewport.
int StatusRedPixels(const std::function<uint32_t(int, int)>& pixel) {
  int red = 0;
  for (int y = 744; y < 768; ++y)
    for (int x = 0; x < 600; ++x) {
      const uint32_t p = pixel(x, y);
      if (((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) < 120) ++red;
    }
  return red;
}

TEST_F(SceneEditor, AFailedSaveOrCompileIsShownInTheWindowAndTheTreeKeepsWhatIsOnDisk) {
  auto pixel = [this](int x, int y) { return Pixel(x, y); };
  Step();
  EXPECT_EQ(StatusRedPixels(pixel), 0);
  // Root writes through permissions: a folder in the file's place makes the write fail.
  fs::remove(m_data / "Scenes/Office/ProjectFile.xml");
  fs::create_directories(m_data / "Scenes/Office/ProjectFile.xml");
  Select("StageElements", "desk");
  auto branchRows = [this] {
    std::vector<std::string> rows;
    base::cl_Window* branch = m_panel->FindByLabel("ClientWindow")->FindByLabel("StageElements");
    for (int i = 0; base::cl_Window* row = branch ? branch->GetChild(i) : nullptr; ++i)
      if (row->GetChild(0) == nullptr) rows.emplace_back(row->m_Label.c_str());
    return rows;
  };
  const std::vector<std::string> rows = branchRows();
  m_panel->ProcessEvent(Button("Down"));
  m_panel->ProcessEvent(Button("Remove"));
  EXPECT_EQ(Group("StageElements"), (std::vector<std::string>{"desk", "lamp"})) << "the edits are undone";
  EXPECT_EQ(m_scene->StageElements.size(), 2u);
  Step();
  EXPECT_EQ(branchRows(), rows) << "the tree shows what is on disk";
  EXPECT_NE(Log().find("ERROR: Scenes/Office/ProjectFile.xml: the change could not be saved"), std::string::npos);
  EXPECT_TRUE(quillane::GetEditorStatus().failure);
  EXPECT_NE(quillane::GetEditorStatus().text.find("Scenes/Office/ProjectFile.xml"), std::string::npos)
      << quillane::GetEditorStatus().text;
  EXPECT_GT(StatusRedPixels(pixel), 20) << "the failure is drawn in the window";
  EXPECT_TRUE(fs::is_directory(m_data / "Scenes/Office/ProjectFile.xml"));

  fs::create_directories(m_data / "Scenes/Office.dat");
  m_panel->ProcessEvent(Button("Compile"));
  EXPECT_NE(Log().find("ERROR: Scenes/Office.dat: the scene could not be compiled"), std::string::npos);
  EXPECT_NE(quillane::GetEditorStatus().text.find("Scenes/Office.dat"), std::string::npos);
  fs::remove(m_data / "Scenes/Office.dat");
  m_panel->ProcessEvent(Button("Compile"));
  EXPECT_TRUE(fs::is_regular_file(m_data / "Scenes/Office.dat"));
  EXPECT_EQ(quillane::GetEditorStatus().text, "Compiled Scenes/Office.dat");
  Step();
  EXPECT_EQ(StatusRedPixels(pixel), 0) << "success replaces the failure";
}

// The status line shows an outcome until the next piece of work: a later save that succeeds (the
// file mended), a tool opened, another scene opened. What comes in the frame a window opens (a
// tool's answer, a failure to open) stays. While the panel is open it is drawn, under no text.
TEST_F(SceneEditor, AnOutcomeStaysUntilTheNextPieceOfWork) {
  const auto& status = quillane::GetEditorStatus();
  fs::remove(m_data / "Scenes/Office/ProjectFile.xml");
  fs::create_directories(m_data / "Scenes/Office/ProjectFile.xml");
  Select("StageElements", "desk");
  m_panel->ProcessEvent(Button("Down"));
  Step();
  ASSERT_TRUE(status.failure);
  fs::remove(m_data / "Scenes/Office/ProjectFile.xml");
  m_panel->ProcessEvent(Button("Down"));
  Step();
  EXPECT_EQ(status.text, "") << "the save after the mend succeeded";

  bool shown = false;
  EXPECT_EQ(TextsUnderTheStatusLine("Scenes/Office.dat: the scene could not be compiled", &shown),
            std::vector<std::string>{});
  EXPECT_TRUE(shown);
  auto* dialog = new cl_Listener();
  m_frame->GetSystemGUI()->AddModalWindow(dialog);
  quillane::ShowEditorStatus("came with the window", true);
  Step();
  EXPECT_EQ(status.text, "came with the window");
  dialog->Close();
  Step();
  EXPECT_EQ(status.text, "came with the window") << "a window closed ends nothing";

  base::cl_Window* tree = m_panel->FindByLabel("ResourceList");
  tree->ClearSelection();
  tree->Select("HotSpots", true);
  m_panel->ProcessEvent(Button("Add"));
  Step();
  ASSERT_TRUE(m_panel->HasFlag(base::WF_HIDDEN)) << "no hotspot tool";
  EXPECT_EQ(status.text, "") << "a tool opened";
  quillane::ShowEditorStatus("the last scene's outcome", true);
  Step();
  CopyFromData("Scenes/Quay");
  ASSERT_TRUE(m_editor->OpenScene("Quay"));
  Step();
  EXPECT_EQ(status.text, "") << "another scene opened";
}

// "Ok" in the panel's browsers before anything is chosen adds nothing and says so in the window:
// the nav-mesh list wrote a nav mesh without a file into the project, the picture browser opened
// the crop tool over a stand-in picture.
TEST_F(SceneEditor, OkBeforeAChoiceAddsNothingAndSaysSo) {
  const std::string project = ReadText("Scenes/Office/ProjectFile.xml");
  const std::vector<std::string> meshes = Group("NavMeshes"), backgrounds = Group("BackgroundElements");
  for (const char* group : {"NavMeshes", "BackgroundElements"}) {
    base::cl_Window* tree = m_panel->FindByLabel("ResourceList");
    tree->ClearSelection();
    tree->Select(group, true);
    m_panel->ProcessEvent(Button("Add"));
    Step();
    const base::tWindowList& modal = m_frame->GetSystemGUI()->GetModalWindows();
    ASSERT_EQ(modal.size(), 1u) << group;
    modal.front()->ProcessEvent(Button("Ok"));
    Step();
    EXPECT_TRUE(modal.empty()) << group << ": no crop tool, no other dialog";
    EXPECT_FALSE(m_panel->HasFlag(base::WF_HIDDEN)) << group;
    const quillane::st_EditorStatus& status = quillane::GetEditorStatus();
    EXPECT_TRUE(status.failure) << group;
    EXPECT_EQ(status.text, std::string("no file was chosen for the new ") + group + " element; nothing is added");
  }
  EXPECT_EQ(Group("NavMeshes"), meshes);
  EXPECT_EQ(Group("BackgroundElements"), backgrounds);
  EXPECT_EQ(ReadText("Scenes/Office/ProjectFile.xml"), project);
  EXPECT_EQ(Log().find("attribute \"file\" missing"), std::string::npos) << Log();
}

// A compile that fails shows the step that failed: not a missing picture it went on past, nor an
// error another thread (the sound thread's) logged meanwhile.
std::atomic<bool> g_echoed{false};
bool EchoFromAnotherThread(const char* text) {
  if (g_echoed || !std::string(text).starts_with("ERROR: ") || std::string(text).find("Office.dat") == std::string::npos)
    return true;
  g_echoed = true;
  std::thread([] { base::sys::Output("ERROR: stream 'music.ogg' cut short\n"); }).join();
  return true;
}

TEST_F(SceneEditor, AFailedCompileShowsTheStepThatFailedNotWhatItWentOnPastNorAnotherThreadsLine) {
  fs::remove(m_data / "Scenes/Office/frame.tga");
  fs::create_directories(m_data / "Scenes/Office.dat");
  g_echoed = false;
  base::sys::AddOutputCallback(EchoFromAnotherThread);
  m_panel->ProcessEvent(Button("Compile"));
  base::sys::RemoveOutputCallback(EchoFromAnotherThread);
  EXPECT_LT(Log().find("picture 'Scenes/Office/frame.tga' is missing"), Log().find("Office.dat")) << Log();
  EXPECT_NE(Log().find("stream 'music.ogg' cut short"), std::string::npos) << Log();
  const std::string shown = quillane::GetEditorStatus().text;
  EXPECT_TRUE(quillane::GetEditorStatus().failure);
  EXPECT_NE(shown.find("Scenes/Office.dat"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("frame.tga"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("cut short"), std::string::npos) << shown;
}

// A scene the game would show empty or could not walk is not compiled, and the old compiled file
// stays: the file that cannot be read is named in the window when the scene opens and when
// Compile or Export refuses it. A stage picture that is missing is left out with a word.
TEST_F(SceneEditor, ASceneWithoutItsBackgroundOrFloorIsNotCompiledAndTheWindowSaysWhy) {
  const fs::path compiled = m_data / "Scenes/Office.dat";
  const quillane::st_EditorStatus& status = quillane::GetEditorStatus();
  const auto compile = [&](const char* scene) {
    EXPECT_TRUE(m_editor->OpenScene(scene));
    Step();
    const std::string opened = status.text;
    EXPECT_TRUE(Menu("Editor"));
    Step();
    if (base::cl_Window* panel = Window(cl_SceneEditorPanel::kLabel)) panel->ProcessEvent(Button("Compile"));
    return opened;
  };
  const struct {
    const char* removed;
    bool compiles;
  } cases[] = {{"background.tga", false}, {"navmesh.xml", false}, {"desk.tga", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.removed);
    CopyFromData("Scenes/Office");
    fs::remove(m_data / "Scenes/Office" / c.removed);
    std::ofstream(compiled, std::ios::trunc) << "old";
    const std::string missing = std::string("Scenes/Office/") + c.removed;
    EXPECT_NE(compile("Office").find(missing + " (is missing)"), std::string::npos) << "on opening";
    EXPECT_TRUE(status.failure);
    if (c.compiles) {
      EXPECT_EQ(status.text, "Compiled Scenes/Office.dat without " + missing + " (is missing)");
      EXPECT_NE(ReadText("Scenes/Office.dat"), "old");
      continue;
    }
    const std::string refusal = "Scenes/Office: not compiled: " + missing + " cannot be read (is missing)";
    EXPECT_EQ(status.text, refusal);
    EXPECT_EQ(ReadText("Scenes/Office.dat"), "old");
    EXPECT_NE(Log().find("ERROR: " + refusal), std::string::npos) << Log();
  }

  // Export refuses alike; a scene of neither picture nor floor is refused too.
  CopyFromData("Scenes/Office");
  fs::remove(m_data / "Scenes/Office/background.tga");
  fs::remove(compiled);
  quillane::RemoveScene(cl_Editor::GetSceneList(), "Quay");
  quillane::RemoveScene(cl_Editor::GetSceneList(), "Stage");
  m_editor->ExportAllScenes();
  EXPECT_EQ(status.text,
            "Export all scenes: 0 compiled, 1 failed (Scenes/Office: not compiled: Scenes/Office/background.tga "
            "cannot be read (is missing))");
  EXPECT_FALSE(fs::exists(compiled));
  fs::create_directories(m_data / "Scenes/Bare");
  EXPECT_EQ(compile("Bare"), "");
  EXPECT_EQ(status.text, "Scenes/Bare: not compiled: it has neither a background picture nor a nav mesh");
  EXPECT_FALSE(fs::exists(m_data / "Scenes/Bare.dat"));
}

// A picture or nav mesh that is there but cannot be read (cut short) is named with its reader's
// cause when the scene opens and when Compile refuses it: "cannot be read (cannot be read)" left
// the cause to another line of the log.
TEST_F(SceneEditor, AFileThatCannotBeReadIsNamedWithItsReadersCause) {
  const quillane::st_EditorStatus& status = quillane::GetEditorStatus();
  for (const char* file : {"background.tga", "navmesh.xml"}) {
    SCOPED_TRACE(file);
    CopyFromData("Scenes/Office");
    fs::resize_file(m_data / "Scenes/Office" / file, 2000);
    const std::string path = std::string("Scenes/Office/") + file;
    const size_t logged = Log().size();
    ASSERT_TRUE(m_editor->OpenScene("Office"));
    Step();
    // The reader's own line: "ERROR: <what> '<path>': <cause>".
    const std::string log = Log().substr(logged);
    const size_t named = log.find("'" + path + "': ");
    ASSERT_NE(named, std::string::npos) << log;
    const size_t from = named + path.size() + 4;
    const std::string cause = log.substr(from, log.find('\n', from) - from);
    EXPECT_NE(status.text.find(path + " (" + cause + ")"), std::string::npos) << "on opening: " << status.text;
    ASSERT_TRUE(Menu("Editor"));
    Step();
    ASSERT_NE(Window(cl_SceneEditorPanel::kLabel), nullptr);
    Window(cl_SceneEditorPanel::kLabel)->ProcessEvent(Button("Compile"));
    EXPECT_EQ(status.text, "Scenes/Office: not compiled: " + path + " cannot be read (" + cause + ")");
  }
}

// A scene name of 248 characters compiles (its temporary file gets a shorter name beside the
// target, whose name fits), leaving no temporary file; one whose compiled file's name is too long
// for the folder is refused, and the status line shows that cause whole.
TEST_F(SceneEditor, ALongSceneNameCompilesAndALongerOneIsRefusedWithItsWholeCause) {
  const quillane::st_EditorStatus& status = quillane::GetEditorStatus();
  for (const size_t length : {size_t(248), size_t(253)}) {
    SCOPED_TRACE(length);
    const std::string name(length, 'c');
    fs::copy(m_data / "Scenes/Office", m_data / "Scenes" / name, fs::copy_options::recursive);
    ASSERT_TRUE(m_editor->OpenScene(base::tString<base::BaseString>(name.c_str()))) << Log();
    Step();
    ASSERT_TRUE(Menu("Editor"));
    Step();
    ASSERT_NE(Window(cl_SceneEditorPanel::kLabel), nullptr);
    Window(cl_SceneEditorPanel::kLabel)->ProcessEvent(Button("Compile"));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(m_data / "Scenes"))
      if (entry.path().filename().string().find(".tmp") != std::string::npos) left.push_back(entry.path().string());
    EXPECT_EQ(left, std::vector<std::string>{}) << "no temporary file stays";
    if (length == 248) {
      EXPECT_EQ(status.text, "Compiled Scenes/" + name + ".dat");
      EXPECT_TRUE(fs::is_regular_file(m_data / "Scenes" / (name + ".dat")));
      continue;
    }
    EXPECT_NE(Log().find("its name is 257 bytes long, the folder takes at most 255"), std::string::npos) << Log();
    const std::string cause = "the scene cannot be created (File name too long)";
    EXPECT_TRUE(status.failure);
    EXPECT_TRUE(status.text.ends_with(cause)) << status.text;
    // Drawn whole, inside the window, where a panel leaves the status line free.
    Window(cl_SceneEditorPanel::kLabel)->Close();
    std::vector<gfx::st_DrawnText> texts;
    gfx::TraceDrawnText(&texts);
    Step(0.0f);
    gfx::TraceDrawnText(nullptr);
    bool drawn = false;
    for (const gfx::st_DrawnText& t : texts)
      if (t.text.ends_with(cause)) {
        drawn = true;
        EXPECT_LE(t.right, 1024.0f) << t.text;
      }
    EXPECT_TRUE(drawn) << status.text;
  }
}

// A long name typed for a hotspot or a layer is cut where the editor draws it over the scene.
TEST_F(SceneEditor, LongNamesAreCutOverTheScene) {
  const std::string name(300, 'h');
  base::Variant add = Event("AddElement", "HotSpots");
  base::Variant& hotspot = add.add_element("HotSpot");
  hotspot.attribute("label")->set_string(name.c_str());
  for (const auto& [x, y] : {std::pair{500, 300}, {560, 300}, {560, 360}}) {
    base::Variant& point = hotspot.add_element("Point");
    point.attribute("x")->set_float(static_cast<float>(x));
    point.attribute("y")->set_float(static_cast<float>(y));
  }
  m_panel->ProcessEvent(add);
  (*Description().get_element("StageElements"))[0].attribute("label")->set_string(name.c_str());
  m_scene->ReadFromVariant(true);
  quillane::SceneDisplay().showHotspots = quillane::SceneDisplay().showBoundaries = true;
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step();
  gfx::TraceDrawnText(nullptr);
  int names = 0;
  for (const gfx::st_DrawnText& text : texts)
    if (text.text.starts_with("hhhhhhhh")) {
      ++names;
      EXPECT_LE(text.right - text.left, 400.0f) << text.text.size() << " letters";
    }
  EXPECT_EQ(names, 2);
}

TEST_F(SceneEditor, TwoLightsOfOneTypeAreKeptApartAndRemoveTakesOnlyTheSelectedOne) {
  base::Variant add = Event("AddElement", "Lights");
  base::Variant& light = add.add_element("Light");
  light.attribute("type")->set_string("blobb shadow");
  light.attribute("label")->set_string("blobb shadow");
  const size_t before = Group("Lights").size();
  m_panel->ProcessEvent(add);
  m_panel->ProcessEvent(add);
  std::vector<std::string> lights = Group("Lights");
  ASSERT_EQ(lights.size(), before + 2);
  EXPECT_EQ(lights.back(), "blobb shadow2") << "a new element takes a free label";
  EXPECT_EQ(quillane::GetEditorStatus().text,
            "Lights already has an element \"blobb shadow\"; the new one is \"blobb shadow2\"")
      << "the name the scripts must use is shown";
  Select("Lights", "blobb shadow");
  m_panel->ProcessEvent(Button("Remove"));
  quillane::cl_Scene stored;
  ASSERT_TRUE(stored.LoadProjectFile("Office"));
  EXPECT_EQ(Labels(stored.GetSettings().get_element("Lights")).size(), before + 1);
  EXPECT_EQ(Labels(stored.GetSettings().get_element("Lights")).back(), "blobb shadow2");
  EXPECT_EQ(m_scene->Lights.size(), before + 1);
  EXPECT_NE(quillane::GetEditorStatus().text, "") << "the line speaks of the light still there";
  // Once that light goes too, the line naming it goes with it.
  Select("Lights", "blobb shadow2");
  m_panel->ProcessEvent(Button("Remove"));
  EXPECT_EQ(quillane::GetEditorStatus().text, "");
  EXPECT_EQ(m_scene->Lights.size(), before);

  // A project written before labels were kept apart: two of one label, the second one selected.
  base::Variant* group = Description().get_element("Lights");
  for (const char* nx : {"1", "2"}) {
    base::Variant& old = group->add_element("Light");
    old.attribute("label")->set_string("twin"), old.attribute("type")->set_string("directional");
    old.attribute("nx")->set_string(nx);
  }
  m_scene->ReadFromVariant(true);
  m_panel->RebuildResourceTree();
  Select("Lights", "twin");
  base::cl_Window* branch = m_panel->FindByLabel("ClientWindow")->FindByLabel("Lights");
  base::cl_Window* second = nullptr;
  for (int i = 0, seen = 0; base::cl_Window* row = branch->GetChild(i); ++i)
    if (row->m_Label == "twin" && seen++ == 1) second = row;
  ASSERT_NE(second, nullptr);
  m_panel->FindByLabel("ResourceList")->ClearSelection();
  second->SetFlag(base::WF_SELECTED, true);
  m_panel->ProcessEvent(Button("Remove"));
  int twins = 0;
  for (int i = 0; i < group->size(); ++i)
    if (Text((*group)[i], "label") == "twin") {
      ++twins;
      EXPECT_EQ(Text((*group)[i], "nx"), "1") << "the first stays";
    }
  EXPECT_EQ(twins, 1);
  int live = 0;
  for (const quillane::cl_SceneLight* l : m_scene->Lights) live += l->label == "twin" ? 1 : 0;
  EXPECT_EQ(live, 1);
}

TEST_F(SceneEditor, CropToolStepsInPowersOfTwoClampsAndAnswersWithTheSortLine) {
  cl_Listener listener;
  base::Variant answer = Event("AddElement", "StageElements");
  base::Variant& layer = answer.add_element("Layer");
  layer.attribute("w")->set_int(1024), layer.attribute("h")->set_int(100);
  layer.attribute("y")->set_float(300.0f);
  layer.attribute("file")->set_string("crate.tga");
  auto* tool = quillane::cl_CropTool::Create(&listener, answer);
  std::vector<int> widths;
  for (uint8_t key : {base::key::Left, base::key::Left, base::key::Right, base::key::Right, base::key::Right}) {
    base::ICMD cmd = KeyPress(key);
    tool->ProcessInput(cmd);
    widths.push_back(tool->GetCropW());
  }
  EXPECT_EQ(widths, (std::vector<int>{512, 256, 512, 1024, 1024}));
  EXPECT_GT(tool->GetImage().GetWidth(), 0) << "the picture was loaded from the scene folder";
  base::ICMD enter = KeyPress(base::key::Enter);
  tool->ProcessInput(enter);
  ASSERT_EQ(listener.events.size(), 1u);
  EXPECT_EQ(Text(listener.events[0][0], "ysort"), "380");
  EXPECT_EQ(Text(listener.events[0][0], "y"), "300");
  delete tool;

  // Larger than the scene: cut to it, and the position stays inside.
  layer.attribute("w")->set_int(5000), layer.attribute("h")->set_int(5000);
  tool = quillane::cl_CropTool::Create(&listener, answer);
  base::ICMD move;
  move.type = base::ICMD::MOUSE_MOVE;
  tool->ProcessInput(move);
  EXPECT_EQ(static_cast<float>(tool->GetCropW()), m_scene->GetWidth());
  EXPECT_EQ(tool->GetCropX(), 0.0f);
  EXPECT_EQ(tool->GetCropY(), 0.0f);
  base::ICMD escape = KeyPress(base::key::Escape);
  tool->ProcessInput(escape);
  EXPECT_EQ(listener.events.size(), 1u) << "Escape sends nothing";
  delete tool;
}

// The rectangle is red at 64 / 255 over the frame drawn without the tool; outside it nothing
// changes (a picture that does not load leaves the rectangle alone).
TEST_F(SceneEditor, CropRectangleBlendsRedOverTheSceneAndLeavesTheRestAlone) {
  Step(0.0f);
  const base::tRectf view = quillane::GetEditorViewportRect();
  const float zoom = m_scene->GetEffectiveZoom();
  const float sx = m_scene->GetScroll()[0], sy = m_scene->GetScroll()[1];
  const int inX = static_cast<int>(view.min.x + (632.0f - sx) * zoom),
            inY = static_cast<int>(view.min.y + (132.0f - sy) * zoom);
  const int outX = inX + static_cast<int>(100.0f * zoom), outY = inY;
  const uint32_t inBefore = Pixel(inX, inY), outBefore = Pixel(outX, outY);

  cl_Listener listener;
  base::Variant answer = Event("AddElement", "StageElements");
  base::Variant& layer = answer.add_element("Layer");
  layer.attribute("x")->set_float(600.0f), layer.attribute("y")->set_float(100.0f);
  layer.attribute("w")->set_int(64), layer.attribute("h")->set_int(64);
  layer.attribute("file")->set_string("missing.tga");
  m_frame->GetSystemGUI()->AddModalWindow(quillane::cl_CropTool::Create(&listener, answer));
  Step(0.0f);
  const uint32_t inAfter = Pixel(inX, inY);
  for (int shift : {16, 8, 0}) {
    const int before = static_cast<int>((inBefore >> shift) & 0xFF),
              after = static_cast<int>((inAfter >> shift) & 0xFF);
    const int red = shift == 16 ? 255 : 0;
    EXPECT_NEAR(after, before + (red - before) * 64 / 255, 2) << "channel at bit " << shift;
  }
  EXPECT_EQ(Pixel(outX, outY), outBefore);
}

// Edit is offered only where it opens a property menu: on a layer, not on a light, a locator, a
// hotspot or a nav mesh.
TEST_F(SceneEditor, EditIsOfferedOnlyOnTheLayers) {
  const std::pair<const char*, const char*> elements[] = {{"StageElements", "desk"},
                                                          {"Lights", "ambient"},
                                                          {"Locators", "Start"},
                                                          {"HotSpots", "drawer"},
                                                          {"NavMeshes", "floor"}};
  for (const auto& [group, label] : elements) {
    Select(group, label);
    Step();
    EXPECT_EQ(Window("Edit")->HasFlag(base::WF_DISABLED), std::string(group) != "StageElements") << group;
    EXPECT_FALSE(Window("Remove")->HasFlag(base::WF_DISABLED)) << group;
  }
}

// A closed group's row takes a click at its middle, also with an element selected elsewhere.
TEST_F(SceneEditor, ClosedGroupRowsTakeAClickAtTheirMiddle) {
  base::cl_Window* tree = m_panel->FindByLabel("ResourceList");
  ASSERT_TRUE(ClickEntry("ResourceList", "StageElements"));
  EXPECT_STREQ(tree->GetSelectedLabel().c_str(), "StageElements");
  Select("Lights", "ambient");
  Step();
  ASSERT_TRUE(ClickEntry("ResourceList", "NavMeshes"));
  EXPECT_STREQ(tree->GetSelectedLabel().c_str(), "NavMeshes");
}

// Only the pointer's way between press and release moves the rectangle, once (the input device
// sends a move's x in both its x and its y command; the press's click comes late with the press's
// place), Shift a tenth of it.
TEST_F(SceneEditor, CropRectangleFollowsOnlyTheDraggedWay) {
  cl_Listener listener;
  base::Variant answer = Event("AddElement", "BackgroundElements");
  base::Variant& layer = answer.add_element("Layer");
  layer.attribute("w")->set_int(64), layer.attribute("h")->set_int(64);
  auto* tool = quillane::cl_CropTool::Create(&listener, answer);
  m_frame->GetSystemGUI()->AddModalWindow(tool);
  Mouse(base::ICMD::MOUSE_MOVE, 300, 300, 200, 200);  // to where the drag starts
  Mouse(base::ICMD::LEFT_DOWN, 300, 300, 200, 200);
  Mouse(base::ICMD::MOUSE_MOVE, 340, 300, 40, 0);
  Mouse(base::ICMD::CLICK, 300, 300, 200, 200);
  Mouse(base::ICMD::MOUSE_MOVE, 340, 320, 40, 20);
  Mouse(base::ICMD::MOUSE_MOVE, 350, 320, 10, 0, base::ICMD::MOD_SHIFT);
  Mouse(base::ICMD::LEFT_UP, 350, 320);
  Mouse(base::ICMD::MOUSE_MOVE, 400, 400, 50, 80);
  EXPECT_FLOAT_EQ(tool->GetCropX(), 41.0f);
  EXPECT_FLOAT_EQ(tool->GetCropY(), 20.0f);
}

TEST_F(SceneEditor, HeavenMenuScrollsTheSkyTogglesAndClosesOnceTheSkyIsGone) {
  base::Variant sky = Event("AddElement", "HeavenElements");
  base::Variant& layer = sky.add_element("Layer");
  layer.attribute("label")->set_string("default"), layer.attribute("file")->set_string("desk.tga");
  m_panel->ProcessEvent(sky);
  ASSERT_EQ(m_scene->HeavenElements.size(), 1u);
  Select("HeavenElements", "default");
  m_panel->ProcessEvent(Button("Edit"));
  Step();
  base::cl_Window* menu = m_frame->GetSystemGUI()->FindChild(quillane::cl_HeavenMenu::kLabel);
  ASSERT_NE(menu, nullptr);
  menu->FindByLabel("Scroll")->m_Value.set_int(1);
  menu->FindByLabel("speedvalue")->m_Value.set_string("0.5x");
  menu->ProcessEvent(Button("Ok"));
  EXPECT_TRUE(m_scene->HeavenElements.front()->IsScrolling());
  EXPECT_EQ(m_scene->HeavenElements.front()->GetScrollStep(), 0.5f);
  EXPECT_NE(ReadText("Scenes/Office/ProjectFile.xml").find("scroll_step=\"0.5\""), std::string::npos);
  m_panel->ProcessEvent(Button("Edit"));  // a second press closes it
  Step();
  EXPECT_EQ(m_frame->GetSystemGUI()->FindChild(quillane::cl_HeavenMenu::kLabel), nullptr);

  m_panel->ProcessEvent(Button("Edit"));
  Step();
  menu = m_frame->GetSystemGUI()->FindChild(quillane::cl_HeavenMenu::kLabel);
  ASSERT_NE(menu, nullptr);
  m_scene->ReadFromVariant(true);  // every layer built anew: the menu must not hold the old one
  menu->ProcessEvent(Button("Ok"));
  EXPECT_EQ(m_frame->GetSystemGUI()->FindChild(quillane::cl_HeavenMenu::kLabel), menu) << "found again by label";
  m_panel->ProcessEvent(Button("Remove"));
  menu->ProcessEvent(Button("Ok"));
  Step();
  EXPECT_NE(Log().find("the sky layer 'default' is no longer in the scene"), std::string::npos);
  EXPECT_EQ(m_frame->GetSystemGUI()->FindChild(quillane::cl_HeavenMenu::kLabel), nullptr);
}

TEST_F(SceneEditor, ItemDialogAnswersANodeOnlyOnOk) {
  cl_Listener opener;
  auto* dialog = quillane::cl_SelectItemDialog::Open(&opener, "NavMeshes", "default");
  dialog->ProcessEvent(Button("Cancel"));
  EXPECT_TRUE(opener.events.empty());
  dialog->ProcessEvent(Button("Ok"));
  ASSERT_EQ(opener.events.size(), 1u);
  EXPECT_EQ(Text(opener.events[0], "category"), "NavMeshes");
  EXPECT_EQ(std::string(opener.events[0][0].get_label()), "Node");
  EXPECT_EQ(Text(opener.events[0][0], "label"), "default");
  EXPECT_EQ(Text(opener.events[0][0], "file"), "");
  delete dialog;
}

TEST_F(SceneEditor, StripMenuDrivesTheStripAndAGoneElementClosesIt) {
  Select("StageElements", "lamp");
  m_panel->ProcessEvent(Button("Edit"));
  Step();
  base::cl_Window* menu = m_frame->GetSystemGUI()->FindChild(quillane::cl_TextureStripMenu::kLabel);
  ASSERT_NE(menu, nullptr);
  menu->FindByLabel("playmode")->m_Value.set_string("stop");
  menu->FindByLabel("LOD_level")->m_Value.set_string("5");
  menu->FindByLabel("max_time")->m_Value.set_string("2.5");
  menu->ProcessEvent(Button("Ok"));
  const gfx::cl_TextureStrip* strip = m_scene->FindLayer("lamp")->GetStrip();
  EXPECT_FALSE(strip->IsPlaying());
  EXPECT_EQ(strip->GetPlayMode(), 3);
  EXPECT_EQ(strip->GetPauseMax(), 2.5f);
  EXPECT_EQ(m_scene->FindLayer("lamp")->GetLodLevel(), 2);
  const std::string file = ReadText("Scenes/Office/ProjectFile.xml");
  EXPECT_NE(file.find("playmode=\"3\""), std::string::npos);
  EXPECT_NE(file.find("LOD_level=\"2\""), std::string::npos);

  // Remove the strip under the open menu: "Ok" finds it gone, says so and closes.
  m_panel->ProcessEvent(Button("Remove"));
  menu->ProcessEvent(Button("Ok"));
  Step();
  EXPECT_NE(Log().find("the texture strip 'lamp' is no longer in the scene"), std::string::npos);
  EXPECT_EQ(m_frame->GetSystemGUI()->FindChild(quillane::cl_TextureStripMenu::kLabel), nullptr);

  // The layer menu answers the panel, which updates the element.
  Select("StageElements", "desk");
  m_panel->ProcessEvent(Button("Edit"));
  Step();
  menu = m_frame->GetSystemGUI()->FindChild(quillane::cl_LayerMenu::kLabel);
  ASSERT_NE(menu, nullptr);
  menu->FindByLabel("UseBackgroundPixel")->m_Value.set_int(1);
  menu->ProcessEvent(Button("Ok"));
  EXPECT_EQ(Text((*Description().get_element("StageElements"))[0], "use_background_pixels"), "1");
  m_panel->ProcessEvent(Button("Edit"));  // a second press closes it
  Step();
  EXPECT_EQ(m_frame->GetSystemGUI()->FindChild(quillane::cl_LayerMenu::kLabel), nullptr);
}

}  // namespace
}  // namespace editortest
