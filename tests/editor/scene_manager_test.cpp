// The scene list and the scene manager: folders offered by "Add", the byte-wise order, removal,
// "Edit", a name left empty, the file written after each change, read back and written again
// alike, a folder standing where the file should be, and kills of a writer in mid-save.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "editor_fixture.h"
#include "graphics/draw/Draw.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/SceneList.h"
#include "quillane/editor/SceneManager.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "quillane/settings/TweakSettings.h"
#include "support/KillSaver.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace editortest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_Editor;

std::vector<std::string> Labels(const base::Variant& list) {
  std::vector<std::string> labels;
  for (int i = 0; i < list.size(); ++i) {
    base::tString<base::BaseString> label;
    if (list[i].get_attribute_string("label", label)) labels.emplace_back(label.c_str());
  }
  return labels;
}

std::vector<std::string> FileLabels(const char* file) {
  base::Variant list;
  if (quillane::ReadSceneList(list, file) != base::xml::READ_OK) return {"(unreadable)"};
  return Labels(list);
}

base::Variant Answer(const char* name) {
  base::Variant answer;
  answer.set_element("NewScene");
  answer.attribute("name")->set_string(name);
  return answer;
}

class SceneManager : public EditorTest {
 protected:
  // The manager opened from the menu, drawn once.
  quillane::cl_SceneManagerPanel* OpenManager() {
    if (!Menu("Manager")) return nullptr;
    Step();
    return dynamic_cast<quillane::cl_SceneManagerPanel*>(m_frame->GetSystemGUI()->FindChild("Scene Manager"));
  }
};

TEST_F(SceneManager, AddOffersOnlyUnlistedFoldersAndOkWritesTheSortedList) {
  std::ofstream(m_data / "Scenes/readme.txt") << "a file, never a scene";
  fs::create_directories(m_data / "Scenes/Attic");
  quillane::cl_SceneManagerPanel* manager = OpenManager();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(Rows("SceneList"), (std::vector<std::string>{"Office", "Quay", "Stage"}));
  ASSERT_TRUE(Click("Add"));
  Step();
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step();
  gfx::TraceDrawnText(nullptr);
  EXPECT_EQ(Rows("SceneNames"), (std::vector<std::string>{"Attic", "Test"}));
  ASSERT_EQ(m_frame->GetSystemGUI()->GetModalWindows().size(), 1u);
  // The list says what it offers, under it and above the buttons.
  const base::st_ScreenRect list = Window("SceneNames")->m_AbsRect, ok = Window("Ok")->m_AbsRect;
  int captions = 0;
  for (const gfx::st_DrawnText& t : texts)
    if (t.text.starts_with("Folders of Scenes/ not yet listed")) {
      ++captions;
      EXPECT_GE(t.top, list.bottom);
      EXPECT_LE(t.bottom, ok.top);
      EXPECT_LE(t.right, list.right);
    }
  EXPECT_EQ(captions, 1);
  ASSERT_TRUE(ClickEntry("SceneNames", "Test"));
  ASSERT_TRUE(Click("Ok"));
  Step();
  EXPECT_TRUE(m_frame->GetSystemGUI()->GetModalWindows().empty());
  EXPECT_EQ(Window("SceneNames"), nullptr);
  EXPECT_EQ(FileLabels("scenes/scenes.xml"), (std::vector<std::string>{"Office", "Quay", "Stage", "Test"}));
  EXPECT_EQ(Rows("SceneList"), (std::vector<std::string>{"Office", "Quay", "Stage", "Test"}));
  // Cancel adds nothing.
  ASSERT_TRUE(Click("Add"));
  Step();
  EXPECT_EQ(Rows("SceneNames"), (std::vector<std::string>{"Attic"}));
  ASSERT_TRUE(Click("Cancel"));
  Step();
  EXPECT_EQ(Labels(cl_Editor::GetSceneList()).size(), 4u);
}

TEST_F(SceneManager, NamesSortByteWiseAndTheListReadsBackAndSavesAgainAlike) {
  quillane::cl_SceneManagerPanel* manager = OpenManager();
  ASSERT_NE(manager, nullptr);
  for (const char* name : {"attic", "Zoo", "Attic"}) manager->ProcessEvent(Answer(name));
  const std::vector<std::string> sorted{"Attic", "Office", "Quay", "Stage", "Zoo", "attic"};
  EXPECT_EQ(Labels(cl_Editor::GetSceneList()), sorted);
  EXPECT_EQ(FileLabels("scenes/scenes.xml"), sorted);
  const std::string first = ReadText("scenes/scenes.xml");
  ASSERT_TRUE(m_editor->SaveSceneList());
  EXPECT_EQ(ReadText("scenes/scenes.xml"), first);
  // A nameless "Ok" leaves list and file alone.
  manager->ProcessEvent(Answer(""));
  EXPECT_EQ(Labels(cl_Editor::GetSceneList()), sorted);
  EXPECT_NE(Log().find("Warning: Editor: no scene was chosen"), std::string::npos);
  EXPECT_EQ(quillane::GetEditorStatus().text, "New scene: no scene was chosen; the list is unchanged");
  // A new editor reads the file back to the same list (it takes the singleton's place).
  quillane::cl_Editor reader;
  EXPECT_EQ(Labels(cl_Editor::GetSceneList()), sorted);
}

TEST_F(SceneManager, RemoveDropsEveryEntryOfTheLabelAndRewritesTheFileAtOnce) {
  quillane::AddScene(cl_Editor::GetSceneList(), "Quay");
  quillane::cl_SceneManagerPanel* manager = OpenManager();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(Rows("SceneList"), (std::vector<std::string>{"Office", "Quay", "Quay", "Stage"}));
  const std::string before = ReadText("scenes/scenes.xml");
  ASSERT_TRUE(Click("Remove"));  // no row selected: said so, nothing written
  EXPECT_EQ(quillane::GetEditorStatus().text, "No scene is selected: select one in the list, then \"Remove\"");
  EXPECT_EQ(ReadText("scenes/scenes.xml"), before);
  ASSERT_TRUE(ClickEntry("SceneList", "Quay"));
  ASSERT_TRUE(Click("Remove"));
  EXPECT_EQ(FileLabels("scenes/scenes.xml"), (std::vector<std::string>{"Office", "Stage"}));
  EXPECT_EQ(Rows("SceneList"), (std::vector<std::string>{"Office", "Stage"}));
}

TEST_F(SceneManager, EditTakesTheLazyCompileBoxOpensTheSceneAndClosesTheManager) {
  ASSERT_NE(OpenManager(), nullptr);
  ASSERT_TRUE(Click("Edit"));  // nothing selected: the manager stays, no scene, and the line says why
  Step();
  EXPECT_NE(Window("SceneList"), nullptr);
  EXPECT_EQ(cl_Editor::GetEditedScene(), nullptr);
  EXPECT_EQ(quillane::GetEditorStatus().text, "No scene is selected: select one in the list, then \"Edit\"");
  Editor_LazyCompile = false;
  ASSERT_TRUE(Click("LazyCompile"));
  ASSERT_TRUE(ClickEntry("SceneList", "Office"));
  ASSERT_TRUE(Click("Edit"));
  Step();
  EXPECT_TRUE(Editor_LazyCompile);
  ASSERT_NE(cl_Editor::GetEditedScene(), nullptr);
  EXPECT_EQ(std::string(cl_Editor::GetEditedScene()->GetName().c_str()), "Office");
  EXPECT_EQ(Window("SceneList"), nullptr);
  EXPECT_NE(m_frame->GetSystemGUI()->FindChild("Scene Editor"), nullptr) << "the scene editor took its place";

  // "Edit" again with the panel open (the panel has an "Edit" of its own, so the manager's is
  // pressed as its event): still one panel, not a second over a stale one.
  quillane::cl_SceneManagerPanel* manager = OpenManager();
  ASSERT_NE(manager, nullptr);
  ASSERT_TRUE(ClickEntry("SceneList", "Office"));
  base::Variant edit;
  edit.set_element("ButtonPressed");
  edit.attribute("ctrl_label")->set_string("Edit");
  manager->ProcessEvent(edit);
  Step();
  EXPECT_EQ(Window("SceneList"), nullptr) << "the manager's Edit was not pressed";
  int panels = 0;
  for (const base::cl_Window* child : m_frame->GetSystemGUI()->m_Children)
    panels += child->m_Label == "Scene Editor" ? 1 : 0;
  EXPECT_EQ(panels, 1);
}

// "." and ".." are the scenes folder and its parent, no scene: a list naming "." is read without
// it, and nothing opens or compiles under it. Add offers a folder "a..b", which Edit opens, and
// not one whose name holds "\\", which Edit would refuse.
TEST_F(SceneManager, AddOffersWhatEditOpensAndADotIsNoScene) {
  fs::create_directories(m_data / "Scenes/a..b");
  for (const char* file : {"background.tga", "navmesh.xml"})
    fs::copy_file(m_data / "Scenes/Office" / file, m_data / "Scenes/a..b" / file);
  std::ofstream(m_data / "Scenes/a..b/ProjectFile.xml")
      << "<Project><BackgroundElements><Layer label=\"bg\" file=\"background.tga\"/></BackgroundElements>"
         "<NavMeshes><NavMesh file=\"navmesh.xml\"/></NavMeshes></Project>";
  fs::create_directories(m_data / "Scenes/back\\slash");
  std::ofstream(m_data / "scenes/scenes.xml", std::ios::trunc)
      << "<Scenes><Scene label=\".\"/><Scene label=\"Office\"/></Scenes>";
  const size_t logged = Log().size();
  quillane::cl_Editor editor;  // takes the singleton's place, as the frame's editor reads the list
  EXPECT_NE(Log().find("ERROR: scenes/scenes.xml: the scene label \".\" is only dots", logged), std::string::npos)
      << Log().substr(logged);
  ASSERT_NE(OpenManager(), nullptr);
  EXPECT_EQ(Rows("SceneList"), (std::vector<std::string>{"Office"}));
  ASSERT_TRUE(Click("Add"));
  Step();
  EXPECT_EQ(Rows("SceneNames"), (std::vector<std::string>{"a..b", "Quay", "Stage", "Test"}));
  ASSERT_TRUE(ClickEntry("SceneNames", "a..b"));
  ASSERT_TRUE(Click("Ok"));
  Step();
  ASSERT_TRUE(ClickEntry("SceneList", "a..b"));
  ASSERT_TRUE(Click("Edit"));
  Step();
  ASSERT_NE(cl_Editor::GetEditedScene(), nullptr);
  EXPECT_EQ(std::string(cl_Editor::GetEditedScene()->GetName().c_str()), "a..b");
  ASSERT_TRUE(Click("Compile"));
  EXPECT_TRUE(fs::exists(m_data / "Scenes/a..b.dat"));

  EXPECT_FALSE(editor.OpenScene(base::tString<base::BaseString>(".")));
  ASSERT_NE(cl_Editor::GetEditedScene(), nullptr);
  EXPECT_EQ(std::string(cl_Editor::GetEditedScene()->GetName().c_str()), "a..b") << "the open scene stays";
  quillane::AddScene(cl_Editor::GetSceneList(), ".");  // as an older list held it
  editor.ExportAllScenes();
  EXPECT_FALSE(fs::exists(m_data / "Scenes/..dat"));
  EXPECT_FALSE(fs::exists(m_data / "Scenes/ProjectFile.xml"));
}

TEST_F(SceneManager, AFolderWhereTheListShouldBeGivesOneErrorAndAnEmptyList) {
  fs::remove(m_data / "scenes/scenes.xml");
  fs::create_directories(m_data / "scenes/scenes.xml");
  quillane::cl_Editor reader;  // a list that cannot be read starts empty
  EXPECT_TRUE(Labels(cl_Editor::GetSceneList()).empty());
  const size_t before = Log().size();
  EXPECT_FALSE(reader.SaveSceneList());
  const std::string log = Log().substr(before);
  size_t errors = 0;
  for (size_t at = log.find("ERROR:"); at != std::string::npos; at = log.find("ERROR:", at + 1)) ++errors;
  EXPECT_EQ(errors, 1u) << log;
  EXPECT_TRUE(fs::is_directory(m_data / "scenes/scenes.xml"));
}

// A child writes the list over and over, each time with other contents; every kill leaves a list
// that parses, as one of the versions written.
TEST(SceneListKill, FiftyKillsOfASavingWriterLeaveAParsableList) {
  const fs::path dir = fs::temp_directory_path() / ("quillane_scenelist_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string file = (dir / "scenes.xml").string();
  base::Variant list;
  list.set_element("Scenes");
  for (int i = 0; i < 200; ++i) quillane::AddScene(list, ("Scene" + std::to_string(i)).c_str());
  ASSERT_TRUE(quillane::WriteSceneList(list, file.c_str()));
  std::mt19937 random(20261208);
  const auto save = [&list, &file](int round) {
    quillane::AddScene(list, ("Extra" + std::to_string(round)).c_str());
    quillane::WriteSceneList(list, file.c_str());
  };
  for (int kill = 0; kill < 50; ++kill) {
    ASSERT_TRUE(testsupport::KillSavingChild(save, random));
    base::Variant back;
    ASSERT_TRUE(quillane::ReadSceneList(back, file.c_str())) << "after kill " << kill;
    ASSERT_STREQ(back.get_label(), "Scenes");
    ASSERT_GE(back.size(), 200) << "after kill " << kill;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace editortest
