// One edit of the scene editor on a project of 500 locators: "AddElement" into the panel, then
// "Up" and "Remove" of the new element, each followed by the crash-safe project save and the tree
// rebuild the panel does, against pugixml parsing the same project file, appending a locator and
// saving it with fsync and rename (three times, as the three edits save three times).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <pugixml.hpp>
#include <string>

#include "../BenchRatios.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/gui/GUIEdit.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/SceneEditorPanel.h"
#include "quillane/scene/Scene.h"

namespace fs = std::filesystem;

namespace {

constexpr int kElements = 500;

struct st_Bench {
  st_Bench() {
    dir = fs::temp_directory_path() / ("quillane_bench_scene_edit_" + std::to_string(getpid()));
    fs::create_directories(dir / "Scenes/Bench");
    fs::current_path(dir);
    base::Variant project;
    project.set_element("Project");
    for (const char* group : {"StageElements", "NavMeshes", "Lights", "Locators", "HotSpots"})
      project.add_element(group);
    base::Variant& locators = *project.get_element("Locators");
    for (int i = 0; i < kElements; ++i) {
      base::Variant& l = locators.add_element("Locator");
      l.attribute("label")->set_string(("loc" + std::to_string(i)).c_str());
      l.attribute("x")->set_float(static_cast<float>(i));
      l.attribute("z")->set_float(-static_cast<float>(i));
    }
    base::xml::write_file(project, "Scenes/Bench/ProjectFile.xml");
    editor = new quillane::cl_Editor();
    editor->OpenScene(base::tString<base::BaseString>("Bench"));
    // The panel without its layout: only the tree control its rebuild fills.
    panel = new quillane::cl_SceneEditorPanel();
    auto* tree = new base::cl_Edit();
    tree->m_Label = "ResourceList";
    panel->AddChild(tree);
  }
  ~st_Bench() {
    delete panel;
    delete editor;
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
  }

  fs::path dir;
  quillane::cl_Editor* editor = nullptr;
  quillane::cl_SceneEditorPanel* panel = nullptr;
};

st_Bench& Bench() {
  static st_Bench bench;
  return bench;
}

base::Variant Event(const char* name) {
  base::Variant event;
  event.set_element(name);
  return event;
}

void BM_PanelAddUpRemove(benchmark::State& state) {
  quillane::cl_SceneEditorPanel& panel = *Bench().panel;
  base::Variant add = Event("AddElement");
  add.attribute("category")->set_string("Locators");
  base::Variant& locator = add.add_element("Locator");
  locator.attribute("label")->set_string("added");
  quillane::cl_Scene* scene = quillane::cl_Editor::GetEditedScene();
  for (auto _ : state) {
    panel.ProcessEvent(add);
    scene->MoveElement("Locators", "added", true);
    panel.RebuildResourceTree();
    if (!scene->SaveProjectFile()) {
      state.SkipWithError("save failed");
      break;
    }
    scene->RemoveElement("Locators", "added");
    panel.RebuildResourceTree();
    if (!scene->SaveProjectFile()) {
      state.SkipWithError("save failed");
      break;
    }
  }
  if (scene->Locators.size() != kElements) state.SkipWithError("the project did not come back to its size");
}
BENCHMARK(BM_PanelAddUpRemove)->Unit(benchmark::kMillisecond)->UseRealTime();

bool SaveSynced(const pugi::xml_document& doc, const std::string& file) {
  const std::string temp = file + ".tmp";
  if (!doc.save_file(temp.c_str())) return false;
  const int fd = open(temp.c_str(), O_RDONLY);
  const bool ok = fd >= 0 && fsync(fd) == 0 && close(fd) == 0 && std::rename(temp.c_str(), file.c_str()) == 0;
  const int folder = open(fs::path(file).parent_path().c_str(), O_RDONLY | O_DIRECTORY);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return ok;
}

void BM_PugixmlParseAppendSave(benchmark::State& state) {
  Bench();
  const std::string file = (Bench().dir / "pugi.xml").string();
  fs::copy_file(Bench().dir / "Scenes/Bench/ProjectFile.xml", file, fs::copy_options::overwrite_existing);
  for (auto _ : state)
    for (int edit = 0; edit < 3; ++edit) {
      pugi::xml_document doc;
      if (!doc.load_file(file.c_str())) {
        state.SkipWithError("parse failed");
        return;  // the row has failed: its loop ends with it
      }
      doc.child("Project").child("Locators").append_child("Locator").append_attribute("label") = "added";
      if (!SaveSynced(doc, file)) {
        state.SkipWithError("save failed");
        return;
      }
    }
}
BENCHMARK(BM_PugixmlParseAppendSave)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return benchratios::RunWithRatios(argc, argv,
                                    {{"add, up, remove on 500 elements / pugixml parse+append+save x3",
                                      "BM_PanelAddUpRemove", "BM_PugixmlParseAppendSave"}});
}
