#include "quillane/scene/Scene.h"

#include "graphics/image/Image.h"
#include "quillane/world/NavMesh.h"

namespace quillane {

// ORDER SCENEGROUPS
const char* const kSceneGroups[kSceneGroupCount] = {
    "HeavenElements", "BackgroundElements", "StageElements", "ForegroundElements", "SpecialFX",
    "Objects3D",      "NavMeshes",          "Lights",        "Locators",           "HotSpots",
};

bool IsSceneElementGroup(const char* name) {
  const base::tString<base::BaseString> n(name);
  for (const char* group : kSceneGroups)
    if (n == group) return true;
  return false;
}

base::tString<base::BaseString> g_SelectedElementLabel;

st_SceneDisplay& SceneDisplay() {
  static st_SceneDisplay display;
  return display;
}

namespace {

template <class T>
void DeleteAll(std::list<T*>& list) {
  for (T* p : list) delete p;
  list.clear();
}

template <class T>
T* FindByName(std::list<T*>& list, const base::tString<base::BaseString>& name) {
  for (T* p : list)
    if (p->name == name) return p;
  return nullptr;
}

template <class T>
cl_Layer* FindLayerIn(std::list<T*>& list, const base::tString<base::BaseString>& label) {
  for (T* layer : list)
    if (layer->GetLabel() == label) return layer;
  return nullptr;
}

}  // namespace

// The camera starts on the game viewport, as every read or camera set-up leaves it.
cl_Scene::cl_Scene() { ResetCameraViewport(); }

cl_Scene::~cl_Scene() { Clear(); }

void cl_Scene::ClearLayers() {
  DeleteAll(HeavenElements);
  DeleteAll(BackgroundElements);
  DeleteAll(StageElements);
  DeleteAll(ForegroundElements);
  DeleteAll(SpecialFX);
}

void cl_Scene::Clear() {
  DeleteAll(NavMeshes);
  DeleteAll(Locators);
  DeleteAll(HotSpots);
  DeleteAll(Lights);
  ClearLayers();
  m_unreadFiles.clear();
  m_protocol.clear();
  m_camera = base::cl_Camera();
  ResetCameraViewport();
  m_settings.set_nil();
  m_projectUnreadable = false;
  m_name.clear();
  m_width = m_height = 0.0f;
  m_exposure = m_characterScale = 1.0f;
  m_scroll[0] = m_scroll[1] = m_scrollTarget[0] = m_scrollTarget[1] = 0.0f;
  m_zoom = 1.0f;
  m_clock = 0.0f;
}

// ---- Lookups

cl_SceneLocator* cl_Scene::FindLocator(const char* name) {
  return FindByName(Locators, base::tString<base::BaseString>(name));
}

cl_SceneHotspot* cl_Scene::FindHotspot(const char* label) {
  const base::tString<base::BaseString> l(label);
  for (cl_SceneHotspot* h : HotSpots)
    if (h->label == l) return h;
  return nullptr;
}

cl_Layer* cl_Scene::FindLayer(const char* label) {
  const base::tString<base::BaseString> l(label);
  if (cl_Layer* layer = FindLayerIn(HeavenElements, l)) return layer;
  if (cl_Layer* layer = FindLayerIn(BackgroundElements, l)) return layer;
  if (cl_Layer* layer = FindLayerIn(StageElements, l)) return layer;
  if (cl_Layer* layer = FindLayerIn(ForegroundElements, l)) return layer;
  return FindLayerIn(SpecialFX, l);
}

cl_Layer* cl_Scene::FindSpecialFXLayer(const char* label) {
  return FindLayerIn(SpecialFX, base::tString<base::BaseString>(label));
}

i_NavMesh* cl_Scene::FindNavMeshAt(float x, float y, float z) {
  for (i_NavMesh* mesh : NavMeshes)
    if (mesh->IsInside(tPoint(x, y, z))) return mesh;
  return nullptr;
}

void cl_Scene::GetLocatorsAt(float x, float z, std::list<cl_SceneLocator*>& out) {
  for (cl_SceneLocator* locator : Locators)
    if (locator->areaPolygon.size() >= 3 && locator->areaPolygon.Contains(x, z)) out.push_back(locator);
}

gfx::cl_Image* cl_Scene::GetFirstBackgroundLayerImage() {
  return BackgroundElements.empty() ? nullptr : BackgroundElements.front()->GetImage();
}

base::tString<base::BaseString> cl_Scene::GetScriptPath() const {
  base::tString<base::BaseString> path("Scenes/");
  path += m_name;
  path += ".lua";
  return path;
}

void cl_Scene::Update(float dt) {
  for (cl_Layer* layer : ForegroundElements) layer->Update(dt);
  for (cl_Layer* layer : StageElements) layer->Update(dt);
  for (cl_Layer* layer : BackgroundElements) layer->Update(dt);
  for (cl_Layer* layer : SpecialFX) layer->Update(dt);
  for (cl_HeavenLayer* layer : HeavenElements) layer->Update(dt);
  m_clock += dt;
}

}  // namespace quillane
