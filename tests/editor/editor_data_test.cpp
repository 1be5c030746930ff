// What the editor reads and writes when its files are not what they should be: project files and
// scene lists that are there but cannot be read are refused with their names and left as they
// are, scene labels that would leave the scenes folder are refused, typed text reaches the
// project file as UTF-8, a compiled scene older than its project is exported again, and killed
// compiles' temporary files go with the next compile.
#include <gtest/gtest.h>

#include <expat.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/gui/GUIScrollControls.h"
#include "base/text/Textsystem.h"
#include "editor_fixture.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/SceneList.h"
#include "quillane/scene/Scene.h"
#include "support/KillSaver.h"

namespace editortest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_Editor;
using quillane::cl_Scene;

// What stands at path, byte for byte for a file, by kind for anything else.
std::string Snapshot(const fs::path& path) {
  const fs::file_status status = fs::symlink_status(path);
  if (fs::is_symlink(status)) return "link:" + fs::read_symlink(path).string();
  if (fs::is_directory(status)) return "folder";
  if (fs::is_fifo(status)) return "fifo";
  if (!fs::is_regular_file(status)) return "other";
  // An oversized file is compared by size: it is sparse and never read.
  if (fs::file_size(path) > (1u << 20)) return "size:" + std::to_string(fs::file_size(path));
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct st_Damage {
  const char* name;
  std::function<void(const fs::path&)> make;  // puts the damaged thing at the path
};

// The ways a file can be there and still not be readable; each replaces what is at the path.
std::vector<st_Damage> Damages(const std::string& good) {
  std::string binary;
  for (int i = 0; i < 600; ++i) binary += static_cast<char>((i * 151 + 7) % 256);
  std::string deep;
  for (int i = 0; i < 400; ++i) deep += "<a>";
  for (int i = 0; i < 400; ++i) deep += "</a>";
  auto replace = [](const fs::path& p) { fs::remove_all(p); };
  return {
      {"cut", [=](const fs::path& p) { replace(p), WriteBytes(p, good.substr(0, good.size() / 2)); }},
      {"binary", [=](const fs::path& p) { replace(p), WriteBytes(p, binary); }},
      {"empty", [=](const fs::path& p) { replace(p), WriteBytes(p, ""); }},
      {"too deep", [=](const fs::path& p) { replace(p), WriteBytes(p, deep); }},
      {"too large", [=](const fs::path& p) { replace(p), WriteBytes(p, ""), fs::resize_file(p, (64u << 20) + 1); }},
      {"folder", [=](const fs::path& p) { replace(p), fs::create_directories(p); }},
      {"fifo", [=](const fs::path& p) { replace(p), mkfifo(p.c_str(), 0644); }},
      {"device", [=](const fs::path& p) { replace(p), fs::create_symlink("/dev/null", p); }},
      {"link loop", [=](const fs::path& p) { replace(p), fs::create_symlink(p.filename(), p); }},
  };
}

base::Variant Element(const char* name, const char* label) {
  base::Variant element;
  element.set_element(name);
  element.attribute("label")->set_string(label);
  return element;
}

TEST_F(EditorTest, AProjectFileThatCannotBeReadIsRefusedNamedAndLeftAsItIs) {
  const fs::path project = m_data / "Scenes/Office/ProjectFile.xml";
  const std::string good = Snapshot(project);
  for (const st_Damage& damage : Damages(good)) {
    SCOPED_TRACE(damage.name);
    damage.make(project);
    const std::string before = Snapshot(project);
    const size_t logged = Log().size();
    EXPECT_FALSE(m_editor->OpenScene(base::tString<base::BaseString>("Office")));
    EXPECT_EQ(cl_Editor::GetEditedScene(), nullptr);
    const std::string log = Log().substr(logged);
    const size_t error = log.find("ERROR: ");
    ASSERT_NE(error, std::string::npos) << log;
    EXPECT_NE(log.substr(error, log.find('\n', error) - error).find("Scenes/Office/ProjectFile.xml"), std::string::npos)
        << log;
    const quillane::st_EditorStatus& status = quillane::GetEditorStatus();
    EXPECT_TRUE(status.failure);
    EXPECT_NE(status.text.find("Scenes/Office/ProjectFile.xml"), std::string::npos) << status.text;

    // Neither a save nor a compile comes from the empty stand-in, nor from the export.
    cl_Scene scene;
    EXPECT_FALSE(scene.LoadProjectFile("Office"));
    EXPECT_FALSE(scene.SaveProjectFile());
    EXPECT_FALSE(scene.Save());
    m_editor->ExportAllScenes();
    EXPECT_FALSE(fs::exists(m_data / "Scenes/Office.dat"));
    EXPECT_EQ(Snapshot(project), before);
    fs::remove_all(project);
  }
  // No project file at all: the scene opens as a new one.
  ASSERT_TRUE(m_editor->OpenScene(base::tString<base::BaseString>("Office")));
  EXPECT_EQ(cl_Editor::GetEditedScene()->GetSettings().get_element("StageElements")->size(), 0);
}

TEST_F(EditorTest, ASceneListThatCannotBeReadIsKeptNamedAndNeverWrittenOver) {
  const fs::path file = m_data / cl_Editor::kSceneListFile;
  const std::string good = Snapshot(file);
  for (const st_Damage& damage : Damages(good)) {
    if (std::string(damage.name) == "device") continue;  // the list's folder holds no device files
    SCOPED_TRACE(damage.name);
    damage.make(file);
    const std::string before = Snapshot(file);
    cl_Editor editor;
    EXPECT_TRUE(editor.IsSceneListUnreadable());
    const quillane::st_EditorStatus& status = quillane::GetEditorStatus();
    EXPECT_TRUE(status.failure);
    EXPECT_NE(status.text.find("scenes/scenes.xml"), std::string::npos) << status.text;
    quillane::AddScene(cl_Editor::GetSceneList(), "Office");
    EXPECT_FALSE(editor.SaveSceneList());
    EXPECT_EQ(Snapshot(file), before);
  }
}

TEST_F(EditorTest, SceneLabelsThatLeaveTheScenesFolderAreRefusedWhenTheListIsRead) {
  fs::create_directories(m_data / "outside");
  WriteBytes(m_data / cl_Editor::kSceneListFile,
             "<Scenes><Scene label=\"../../outside/evil\"/><Scene label=\"..\"/><Scene label=\"Office\"/>"
             "<Scene label=\"a\\b\"/><Scene label=\"x/y\"/></Scenes>");
  const size_t logged = Log().size();
  cl_Editor editor;
  EXPECT_FALSE(editor.IsSceneListUnreadable());
  const base::Variant& list = cl_Editor::GetSceneList();
  ASSERT_EQ(list.size(), 1);
  base::tString<base::BaseString> label;
  list[0].get_attribute_string("label", label);
  EXPECT_EQ(std::string(label.c_str()), "Office");
  const std::string log = Log().substr(logged);
  EXPECT_NE(log.find("ERROR: scenes/scenes.xml: the scene label \"../../outside/evil\""), std::string::npos) << log;
  EXPECT_NE(log.find("ERROR: scenes/scenes.xml: the scene label \"..\" is only dots"), std::string::npos) << log;
  EXPECT_TRUE(quillane::GetEditorStatus().failure);

  editor.ExportAllScenes();
  EXPECT_TRUE(fs::is_empty(m_data / "outside"));
  EXPECT_FALSE(fs::exists(m_dir / "outside"));
  EXPECT_FALSE(editor.OpenScene(base::tString<base::BaseString>("..")));
  EXPECT_EQ(cl_Editor::GetEditedScene(), nullptr);
}

TEST_F(EditorTest, TypedUtf8TextIsStoredAsUtf8AndTheProjectReadsBackWellFormed) {
  // Characters as the platform gives them: UTF-8 text input decoded to one code point a press.
  base::tString<base::BaseString> text;
  int caret = 0;
  auto type = [&](char16_t c) {
    base::ICMD press;
    press.type = base::ICMD::KEY_PRESSED;
    press.typed = true;
    press.text = c;
    base::cl_StringCtrl::EditText(text, press, &caret);
  };
  auto key = [&](uint8_t k) {
    base::ICMD press;
    press.type = base::ICMD::KEY_PRESSED;
    press.key = k;
    base::cl_StringCtrl::EditText(text, press, &caret);
  };
  for (char16_t c : std::u16string(u"tür Жук€!")) type(c);
  key(base::key::Backspace);  // backspace takes the "!"
  key(base::key::Left);
  key(base::key::Left);  // the caret steps back over "€" and "к", whole characters
  type(u'ß');
  key(base::key::Right);
  key(base::key::Right);
  key(base::key::Delete);  // delete at the end: nothing
  EXPECT_EQ(std::string(text.c_str()), "tür Жуßк€");

  cl_Scene* scene = Open("Office");
  ASSERT_NE(scene, nullptr);
  scene->AddElement("HotSpots", Element("HotSpot", text.c_str()), true);
  ASSERT_TRUE(scene->SaveProjectFile());
  const std::string bytes = Snapshot(m_data / "Scenes/Office/ProjectFile.xml");
  EXPECT_NE(bytes.find("label=\"tür Жуßк€\""), std::string::npos);
  EXPECT_TRUE(base::IsUtf8(bytes.c_str(), static_cast<int>(bytes.size()))) << "declared utf-8, written utf-8";
  // Another program's XML parser takes the file as it stands.
  XML_Parser parser = XML_ParserCreate(nullptr);
  EXPECT_EQ(XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), 1), XML_STATUS_OK)
      << XML_ErrorString(XML_GetErrorCode(parser));
  XML_ParserFree(parser);
  cl_Scene fresh;
  ASSERT_TRUE(fresh.LoadProjectFile("Office"));
  const base::Variant* hotspots = fresh.GetSettings().get_element("HotSpots");
  ASSERT_NE(hotspots, nullptr);
  base::tString<base::BaseString> label;
  (*hotspots)[hotspots->size() - 1].get_attribute_string("label", label);
  EXPECT_EQ(std::string(label.c_str()), "tür Жуßк€");
}

TEST_F(EditorTest, ExportRefreshesACompiledSceneOlderThanItsProjectAndCompileClearsAKilledOnesLeftover) {
  quillane::RemoveScene(cl_Editor::GetSceneList(), "Quay");
  quillane::RemoveScene(cl_Editor::GetSceneList(), "Stage");
  const fs::path dat = m_data / "Scenes/Office.dat";
  WriteBytes(dat, "compiled before the last edit");
  const auto now = fs::last_write_time(m_data / "Scenes/Office/ProjectFile.xml");
  fs::last_write_time(dat, now - std::chrono::hours(1));
  ASSERT_TRUE(cl_Scene::IsCompiledSceneStale("Office"));
  // What a compile killed in mid-write leaves beside the scene.
  WriteBytes(m_data / "Scenes/Office.dat.tmpAb12Cd", "");
  m_editor->ExportAllScenes();
  cl_Scene compiled;
  ASSERT_TRUE(compiled.Load("Office"));
  EXPECT_NE(compiled.FindLayer("desk"), nullptr);
  EXPECT_FALSE(cl_Scene::IsCompiledSceneStale("Office"));
  EXPECT_FALSE(fs::exists(m_data / "Scenes/Office.dat.tmpAb12Cd"));
  EXPECT_EQ(quillane::GetEditorStatus().text, "Export all scenes: 1 compiled");

  // Up to date now: the next export leaves it alone.
  const std::string exported = Snapshot(dat);
  m_editor->ExportAllScenes();
  EXPECT_EQ(Snapshot(dat), exported);
  EXPECT_EQ(quillane::GetEditorStatus().text, "Export all scenes: 0 compiled, 1 already up to date");
}

// Export compares what a compiled scene was made from with the project beside it, not the files'
// times: a project put back from a backup (older than the compiled file) is compiled again, one
// merely touched is not.
TEST_F(EditorTest, ExportCompilesAgainASceneNotMadeFromTheProjectBesideIt) {
  quillane::RemoveScene(cl_Editor::GetSceneList(), "Quay");
  quillane::RemoveScene(cl_Editor::GetSceneList(), "Stage");
  const fs::path project = m_data / "Scenes/Office/ProjectFile.xml";
  const std::string backup = Snapshot(project);
  cl_Scene* scene = Open("Office");
  ASSERT_NE(scene, nullptr);
  scene->AddElement("HotSpots", Element("HotSpot", "later"), true);
  ASSERT_TRUE(scene->SaveProjectFile());
  ASSERT_TRUE(scene->Save());
  m_editor->CloseScene();
  const auto compiled = fs::last_write_time(m_data / "Scenes/Office.dat");
  fs::last_write_time(project, compiled + std::chrono::hours(1));
  m_editor->ExportAllScenes();
  EXPECT_EQ(quillane::GetEditorStatus().text, "Export all scenes: 0 compiled, 1 already up to date") << "touched only";

  WriteBytes(project, backup);
  fs::last_write_time(project, compiled - std::chrono::hours(1));
  ASSERT_TRUE(cl_Scene::IsCompiledSceneStale("Office"));
  const size_t logged = Log().size();
  m_editor->ExportAllScenes();
  EXPECT_EQ(quillane::GetEditorStatus().text, "Export all scenes: 1 compiled");
  EXPECT_NE(Log().find("Warning: Editor: Scenes/Office.dat was not compiled from Scenes/Office/ProjectFile.xml", logged),
            std::string::npos)
      << Log().substr(logged);
  cl_Scene back;
  ASSERT_TRUE(back.Load("Office"));
  EXPECT_EQ(back.FindHotspot("later"), nullptr);
  EXPECT_FALSE(cl_Scene::IsCompiledSceneStale("Office"));
}

// Compiles killed at random moments leave their temporary files; the next compile clears them.
TEST(SceneCompileKill, TheNextCompileRemovesWhatKilledCompilesLeft) {
  const fs::path home = fs::current_path();
  const fs::path dir = fs::temp_directory_path() / ("quillane_compilekill_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "Scenes/Kill");
  fs::current_path(dir);
  cl_Scene scene;
  ASSERT_TRUE(scene.LoadProjectFile("Kill"));
  std::mt19937 random(20261208);
  auto leftovers = [&dir] {
    int n = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(dir / "Scenes"))
      n += e.path().filename().string().starts_with("Kill.dat.tmp") ? 1 : 0;
    return n;
  };
  for (int kill = 0; kill < 30 && leftovers() == 0; ++kill)
    ASSERT_TRUE(testsupport::KillSavingChild([&scene](int) { scene.Save(); }, random));
  if (leftovers() == 0) WriteBytes(dir / "Scenes/Kill.dat.tmpXq12Zw", "");  // no kill struck mid-write
  ASSERT_TRUE(scene.Save());
  EXPECT_EQ(leftovers(), 0);
  cl_Scene compiled;
  EXPECT_TRUE(compiled.Load("Kill"));
  fs::current_path(home);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace editortest
