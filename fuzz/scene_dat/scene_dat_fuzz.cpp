// Reads arbitrary bytes as a compiled scene file at the scene detail level the input's last
// byte selects (0, 1, 2 or 3), then asks the scene the questions of a frame: a damaged file must
// fail cleanly, and whatever reads must answer without reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>

#include "base/File.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "quillane/scene/Scene.h"

#include "../BaseFuzz.h"

namespace {

base::Variant* DetailOption() {
  static std::unique_ptr<base::cl_System> system = [] {
    auto s = std::make_unique<base::cl_System>();
    base::Variant& config = s->GetConfigTree();
    config.set_element("Config");
    config.add_element("Options").add_element("Gfx").add_element("SceneLOD").attribute("Value")->set_float(1.0f);
    return s;
  }();
  return system->GetConfigTree().get_element("Options")->get_element("Gfx")->get_element("SceneLOD")->attribute("Value");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 256 * 1024)) return 0;
  const int level = size > 0 ? data[size - 1] % 4 : 0;
  DetailOption()->set_float(1.0f - 0.5f * static_cast<float>(level));
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "fuzz.dat")) return 0;
  quillane::cl_Scene scene;
  if (!scene.Read(f)) return 0;

  scene.Update(0.1f);
  const base::tVector3<float> points[] = {{0, 0, 0}, {100, 0, -50}, {-1e6f, 5, 1e6f}};
  std::list<quillane::cl_SceneLocator*> locators;
  for (const auto& p : points) {
    const base::tVector2<float> at = scene.WorldToScene(p);
    scene.PickHotspot(at.x, at.y);
    scene.GetLocatorsAt(p.x, p.z, locators);
    scene.SetupLightsAt(p);
  }
  base::tVector3<float> hit;
  scene.PickRay(512, 400, hit);
  scene.ZoomToRect(0, 0, 512, 320);
  scene.FindLayer("desk");
  return 0;
}
