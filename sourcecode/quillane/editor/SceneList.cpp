// The scene list's file, entries and edits.
#include "quillane/editor/SceneList.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/FileTools.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/gui/GUIEdit.h"
#include "base/system.h"
#include "platform/os/FileSystem.h"

namespace quillane {

namespace {

// The child's "label" as text (a number the reader made of it prints as it was written).
bool LabelOf(const base::Variant& child, base::tString<base::BaseString>& out) {
  return child.is_element() && child.get_attribute_string("label", out);
}

}  // namespace

base::xml::en_OptionalRead ReadSceneList(base::Variant& out, const char* file) {
  base::Variant list;
  const base::xml::en_OptionalRead read = base::xml::read_optional_file(list, file);
  if (read != base::xml::READ_OK) return read;
  // The labels become folder and file names: one that leaves the scenes folder is no scene.
  for (int i = 0; i < list.size(); ++i) {
    base::tString<base::BaseString> label;
    if (!LabelOf(list[i], label)) continue;
    if (const char* problem = base::PlainNameProblem(label.c_str())) {
      base::sys::Output("ERROR: %s: the scene label \"%s\" %s; the scene is left out\n", file, label.c_str(), problem);
      list[i].set_nil();
    }
  }
  base::variant_remove_elements_nil(list);
  out.cut(list);
  return base::xml::READ_OK;
}

bool WriteSceneList(const base::Variant& list, const char* file) {
  const base::tString<base::BaseString> folder = base::ExtractPath(file);
  if (!folder.empty() && !platform::os::IsFolder(folder.c_str())) base::EagerMkdir(folder);
  base::SetFileWriteProtection(file, false);
  return base::xml::write_file(list, file);
}

void FillSceneEntries(const base::Variant& list, base::Variant& out) {
  out.set_element("List");
  for (int i = 0; i < list.size(); ++i) {
    base::tString<base::BaseString> label;
    if (LabelOf(list[i], label)) base::AddStringEntry(out, label.c_str());
  }
}

void FillNewSceneEntries(const base::Variant& folders, const base::Variant& list, base::Variant& out) {
  out.set_element("List");
  for (int i = 0; i < folders.size(); ++i) {
    const base::Variant& entry = folders[i];
    const char* kind = entry.get_label();
    base::tString<base::BaseString> name;
    if (!kind || std::strcmp(kind, "Folder") != 0 || !entry.get_attribute_string("name", name)) continue;
    // What Edit would refuse ("." and "..", a "\" in the name) is not offered.
    if (base::PlainNameProblem(name.c_str())) continue;
    bool listed = false;
    for (int s = 0; s < list.size() && !listed; ++s) {
      base::tString<base::BaseString> label;
      listed = LabelOf(list[s], label) && label == name;
    }
    if (!listed) base::AddStringEntry(out, name.c_str());
  }
}

bool AddScene(base::Variant& list, const char* name) {
  if (!name || !*name) return false;
  if (!list.is_element()) list.set_element("Scenes");
  list.add_element("Scene").attribute("label")->set_string(name);
  SortSceneList(list);
  return true;
}

void RemoveScene(base::Variant& list, const char* label) {
  if (list.is_element()) base::variant_remove_elements_by_attribute_value(list, "label", label ? label : "");
}

void SortSceneList(base::Variant& list) {
  // Neighbouring pairs swapped until none is out of order, a child without a label never moving:
  // that is a stable sort of each run of labelled children between the unlabelled ones.
  struct st_Entry {
    base::tString<base::BaseString> label;
    base::Variant child;
  };
  const int n = list.size();
  for (int start = 0; start < n;) {
    base::tString<base::BaseString> label;
    if (!LabelOf(list[start], label)) {
      ++start;
      continue;
    }
    int end = start;
    std::vector<st_Entry> run;
    while (end < n && LabelOf(list[end], label)) {
      run.push_back(st_Entry{label, std::move(list[end])});
      ++end;
    }
    std::stable_sort(run.begin(), run.end(), [](const st_Entry& a, const st_Entry& b) {
      return std::strcmp(a.label.c_str(), b.label.c_str()) < 0;
    });
    for (int i = start; i < end; ++i) list[i] = std::move(run[static_cast<size_t>(i - start)].child);
    start = end;
  }
}

}  // namespace quillane
