// Feeds arbitrary bytes to a scene as its "ProjectFile.xml": the scene reads the description,
// builds itself from it, takes the scene editor's edits (an element added, moved and removed in
// each group the description holds) and saves; the saved file must read back as the same tree.
// A file that cannot be read as a project is refused and never written over.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "../BaseFuzz.h"
#include "../ScratchFile.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "quillane/scene/Scene.h"

namespace {

std::string Text(const base::Variant& tree) {
  // A scratch file each: the writer's own form is what must come back alike.
  const char* file = "tree.xml";
  if (!base::xml::write_file(tree, file)) return "(unwritable)";
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 64 * 1024)) return 0;
  fuzzsupport::st_InScratchFolder inFolder("scene_project");
  if (!inFolder.ok) return 0;
  std::filesystem::create_directories("Scenes/Fuzz");
  {
    std::ofstream out("Scenes/Fuzz/ProjectFile.xml", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  quillane::cl_Scene scene;
  const bool readable = scene.LoadProjectFile("Fuzz");
  scene.ReadFromVariant(true);
  base::Variant& description = scene.GetSettings();
  for (int i = 0; i < description.size() && i < 16; ++i) {
    const char* group = description[i].get_label();
    if (!group || !quillane::IsSceneElementGroup(group)) continue;
    base::Variant element;
    element.set_element("Layer");
    element.attribute("label")->set_string("fuzz");
    element.attribute("file")->set_string("none.tga");
    scene.AddElement(group, element, true, 0);
    scene.MoveElement(group, "fuzz", true);
    scene.UpdateElement(group, element, true);
    scene.RemoveElement(group, "fuzz");
  }
  if (!scene.SaveProjectFile()) {
    // A tree the writer refuses, or a project that could not be read: logged, the old file kept.
    std::ifstream in("Scenes/Fuzz/ProjectFile.xml", std::ios::binary);
    const std::string kept(std::istreambuf_iterator<char>(in), {});
    if (!readable && kept != std::string(reinterpret_cast<const char*>(data), size)) std::abort();
    return 0;
  }
  if (!readable) std::abort();
  const std::string saved = Text(scene.GetSettings());
  quillane::cl_Scene back;
  back.LoadProjectFile("Fuzz");
  if (Text(back.GetSettings()) != saved) std::abort();
  return 0;
}
