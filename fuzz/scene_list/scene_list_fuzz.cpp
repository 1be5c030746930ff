// Feeds arbitrary bytes to the editor as its scene list "scenes/scenes.xml": the editor reads it,
// fills the manager's rows and the new-scene offer, adds scenes (one without a name), removes one
// and saves; the saved list must read back through a new editor as the same labels in the same
// order, sorted byte-wise within each run of labelled scenes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../BaseFuzz.h"
#include "../ScratchFile.h"
#include "base/data/Variant.h"
#include "base/gui/GUIEdit.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/SceneList.h"

namespace {

// The labels in order; "\x01" stands for a child without one (it splits the sorted runs).
std::vector<std::string> Labels(const base::Variant& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.size(); ++i) {
    base::tString<base::BaseString> label;
    out.push_back(list[i].is_element() && list[i].get_attribute_string("label", label) ? label.c_str() : "\x01");
  }
  return out;
}

// A folder listing as ListDirectory gives it: the dots, folders with and without names, a file.
base::Variant Folders() {
  base::Variant folders;
  folders.set_element("Folder");
  for (const char* name : {".", "..", "Office", "Zoo", ""}) folders.add_element("Folder").attribute("name")->set_string(name);
  folders.add_element("File").attribute("name")->set_string("readme.txt");
  return folders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 64 * 1024)) return 0;
  fuzzsupport::st_InScratchFolder inFolder("scene_list");
  if (!inFolder.ok) return 0;
  std::filesystem::create_directories("scenes");
  {
    std::ofstream out("scenes/scenes.xml", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::vector<std::string> saved;
  {
    quillane::cl_Editor editor;
    base::Variant& list = quillane::cl_Editor::GetSceneList();
    if (!list.is_element()) std::abort();
    base::Variant rows, offered;
    quillane::FillSceneEntries(list, rows);
    quillane::FillNewSceneEntries(Folders(), list, offered);
    for (int i = 0; i < offered.size(); ++i) {
      const char* name = offered[i].get_attribute("label") ? offered[i].get_attribute("label")->get_string() : nullptr;
      if (!name || !*name || !std::strcmp(name, ".") || !std::strcmp(name, "..")) std::abort();
    }
    const size_t before = Labels(list).size();
    if (quillane::AddScene(list, "")) std::abort();
    quillane::AddScene(list, "Zoo");
    quillane::AddScene(list, "attic");
    if (Labels(list).size() != before + 2) std::abort();
    if (rows.size() > 0) quillane::RemoveScene(list, rows[0].get_attribute("label")->get_string());
    saved = Labels(list);
    // Each run between unlabelled children is in byte order.
    for (size_t i = 1; i < saved.size(); ++i)
      if (saved[i] != "\x01" && saved[i - 1] != "\x01" && std::strcmp(saved[i - 1].c_str(), saved[i].c_str()) > 0)
        std::abort();
    if (!editor.SaveSceneList()) return 0;  // a name that cannot be written: refused, logged
  }
  quillane::cl_Editor reader;
  const std::vector<std::string> back = Labels(quillane::cl_Editor::GetSceneList());
  // Children that are no elements (text) need not come back; the scenes must, in order.
  std::vector<std::string> scenes, backScenes;
  for (const std::string& s : saved)
    if (s != "\x01") scenes.push_back(s);
  for (const std::string& s : back)
    if (s != "\x01") backScenes.push_back(s);
  if (scenes != backScenes) std::abort();
  return 0;
}
