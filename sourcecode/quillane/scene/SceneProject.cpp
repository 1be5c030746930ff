// The scene's editable description, "Scenes/<name>/ProjectFile.xml": a "Project" root with the
// ten element groups, and how each element becomes a scene element. The camera comes from the
// second root "cameras" of the first nav mesh's file.
#include <cmath>
#include <string_view>

#include "base/ErrorCatcher.h"
#include "base/FileTools.h"
#include "base/data/Binary.h"
#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "platform/os/FileSystem.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneRecord.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/world/NavMesh.h"

namespace quillane {

namespace {

constexpr float kDegrees = 0.01745329238474369f;

// Each float of live takes the value it reads back as from the file written from it (stored, the
// same tree): the file keeps six digits, and the description, a fresh load and the scene compiled
// from either must agree. Done in place: the editors hold pointers into the description.
void TakeStoredNumbers(base::Variant& live, const base::Variant& stored) {
  if (!live.is_element() || !stored.is_element()) return;
  for (int i = 0; i < live.attribute_cnt() && i < stored.attribute_cnt(); ++i)
    if (live.attribute(i)->is_float() && stored.attribute(i)->is_float())
      live.attribute(i)->set_float(stored.attribute(i)->get_float());
  for (int i = 0; i < live.size() && i < stored.size(); ++i) TakeStoredNumbers(live[i], stored[i]);
}

std::string_view BytesOf(const base::Binary& bytes) {
  if (bytes.size() <= 0) return {};
  return {reinterpret_cast<const char*>(bytes.get_buffer()), static_cast<size_t>(bytes.size())};
}

// The group's name as kSceneGroups spells it, which outlives every scene.
const char* GroupName(const char* group) {
  for (const char* name : kSceneGroups)
    if (std::string_view(name) == group) return name;
  return "";
}

template <class T>
void DeleteAll(std::list<T*>& list) {
  for (T* p : list) delete p;
  list.clear();
}

// The list emptied, then one record per child element of the group (none without the group).
template <class T, class Build>
void BuildRecords(const base::Variant* group, std::list<T*>& list, Build build) {
  DeleteAll(list);
  for (int i = 0; group && i < group->size(); ++i)
    if ((*group)[i].is_element()) list.push_back(build((*group)[i]));
}

}  // namespace

cl_SceneLight* cl_Scene::BuildLight(const base::Variant& element) {
  cl_SceneLight* light = new cl_SceneLight;
  light->owner = this;
  light->ReadFromDescription(element, GetScenePath().c_str(), m_width, m_height);
  return light;
}

cl_SceneLocator* cl_Scene::BuildLocator(const base::Variant& element) {
  cl_SceneLocator* locator = new cl_SceneLocator;
  locator->ReadFromDescription(element);
  return locator;
}

cl_SceneHotspot* cl_Scene::BuildHotspot(const base::Variant& element) {
  cl_SceneHotspot* hotspot = new cl_SceneHotspot;
  hotspot->ReadFromDescription(element);
  return hotspot;
}

base::tString<base::BaseString> cl_Scene::GetScenePath(const char* name) {
  base::tString<base::BaseString> path("Scenes/");
  path += name;
  path += "/";
  return path;
}

base::tString<base::BaseString> cl_Scene::GetScenePath() const { return GetScenePath(m_name.c_str()); }

bool cl_Scene::LoadProjectFile(const char* name) {
  m_name = name;
  base::tString<base::BaseString> path = GetScenePath();
  path += "ProjectFile.xml";
  // Before the read: a change in between is then seen as one, and read again.
  RememberProjectFile();
  m_settings.set_nil();
  const base::xml::en_OptionalRead read = base::xml::read_optional_file(m_settings, path.c_str());
  const bool ok = read != base::xml::READ_FAILED;
  if (read != base::xml::READ_OK || !m_settings.is_element()) {
    m_settings.set_element("Project");
    m_settings.attribute("name")->set_string(name);
  }
  for (const char* group : kSceneGroups)
    if (!m_settings.get_element(group)) m_settings.add_element(group);
  m_projectUnreadable = !ok;
  return ok;
}

bool cl_Scene::SaveProjectFile() {
  base::tString<base::BaseString> path = GetScenePath();
  path += "ProjectFile.xml";
  // The empty stand-in of a file that could not be read must never replace it.
  if (m_projectUnreadable) {
    base::sys::Output("ERROR: %s: could not be read; not written over\n", path.c_str());
    return false;
  }
  if (IsProjectFileChanged()) {
    base::sys::Output("ERROR: %s: changed by another program since it was read; not written over\n", path.c_str());
    return false;
  }
  base::SetFileWriteProtection(path, false);
  if (!base::xml::write_file(m_settings, path.c_str())) return false;
  RememberProjectFile();
  base::Variant stored;
  if (m_projectOnDisk && base::xml::read_text(stored, m_projectBytes.c_str(), path.c_str()))
    TakeStoredNumbers(m_settings, stored);
  return true;
}

void cl_Scene::RememberProjectFile() {
  base::tString<base::BaseString> path = GetScenePath();
  path += "ProjectFile.xml";
  base::Binary bytes;
  // Only a regular file is read: a FIFO in its place would block.
  m_projectOnDisk = platform::os::IsRegularFile(path.c_str()) &&
                    platform::os::GetWriteTime(path.c_str(), m_projectTime) && base::LoadFile(path.c_str(), bytes);
  m_projectBytes.assign(BytesOf(bytes));
}

bool cl_Scene::IsProjectFileChanged() const {
  base::tString<base::BaseString> path = GetScenePath();
  path += "ProjectFile.xml";
  int64_t time = 0;
  if (!platform::os::IsRegularFile(path.c_str()) || !platform::os::GetWriteTime(path.c_str(), time)) return false;
  const int64_t size = platform::os::GetFileSize(path.c_str());
  if (m_projectOnDisk && time == m_projectTime && size == static_cast<int64_t>(m_projectBytes.size())) return false;
  base::Binary bytes;
  if (!base::LoadFile(path.c_str(), bytes)) return false;
  const bool same = m_projectOnDisk && BytesOf(bytes) == m_projectBytes;
  if (same) m_projectTime = time;  // touched, not changed: not read again every time
  return !same;
}

void cl_Scene::ResetCameraViewport() {
  const base::tRectf r = GetGameViewportRect();
  m_camera.SetViewportRect(r.min.x, r.min.y, r.max.x, r.max.y);
}

// ---- Building the scene from the description

cl_Layer* cl_Scene::BuildLayer(const char* group, const base::Variant& element, bool lazy) {
  const base::tString<base::BaseString> g(group);
  cl_Layer* layer = g == "HeavenElements" ? new cl_HeavenLayer(this) : new cl_Layer(this);
  // Background layers are read back as whole pictures by later layers: never compressed.
  if (!layer->Load(element, lazy, g != "BackgroundElements")) {
    delete layer;
    return nullptr;
  }
  return layer;
}

void cl_Scene::BuildLayerGroup(const char* group, bool lazy) {
  const base::Variant* element = m_settings.get_element(group);
  if (!element) return;
  const base::tString<base::BaseString> g(group);
  for (int i = 0; i < element->size(); ++i) {
    const base::Variant& child = (*element)[i];
    if (!child.is_element()) continue;
    cl_Layer* layer = BuildLayer(group, child, lazy);
    if (!layer) continue;
    if (!layer->GetUnreadFile().empty())
      m_unreadFiles.push_back({GroupName(group), layer->GetUnreadFile(), layer->GetUnreadCause()});
    if (g == "HeavenElements")
      HeavenElements.push_back(static_cast<cl_HeavenLayer*>(layer));
    else if (g == "BackgroundElements")
      BackgroundElements.push_back(layer);
    else if (g == "StageElements")
      StageElements.push_back(layer);
    else if (g == "ForegroundElements")
      ForegroundElements.push_back(layer);
    else
      SpecialFX.push_back(layer);
  }
}

void cl_Scene::ReadFromVariant(bool lazy) {
  float v;
  if (m_settings.get_attribute_float("w", v)) m_width = SaneFloat(v);
  if (m_settings.get_attribute_float("h", v)) m_height = SaneFloat(v);
  m_characterScale = 1.0f;
  if (m_settings.get_attribute_float("character_scale", v)) m_characterScale = SaneFloat(v);

  ClearLayers();
  m_unreadFiles.clear();
  const bool skip = lazy && Editor_LazyCompile;
  if (!skip) BuildLayerGroup("HeavenElements", lazy);
  BuildLayerGroup("BackgroundElements", lazy);
  BuildLayerGroup("StageElements", lazy);
  if (!skip) {
    BuildLayerGroup("ForegroundElements", lazy);
    BuildLayerGroup("SpecialFX", lazy);
  }

  DeleteAll(NavMeshes);
  const base::tString<base::BaseString> scenePath = GetScenePath();
  if (const base::Variant* group = m_settings.get_element("NavMeshes")) {
    for (int i = 0; i < group->size(); ++i) {
      const base::Variant& child = (*group)[i];
      if (!child.is_element()) continue;
      cl_NavMesh* mesh = cl_NavMesh::Create();
      base::cl_ErrorCatcher errors;  // the mesh reader's cause, for the line that names the file
      if (!mesh->Load(scenePath.c_str(), child)) {
        base::tString<base::BaseString> file;
        child.get_attribute_string("file", file);
        base::tString<base::BaseString> path = scenePath;
        path += file;
        const std::string problem = file.empty() ? "names no file" : base::FileProblem(path);
        m_unreadFiles.push_back(
            {"NavMeshes", path.c_str(), problem.empty() ? errors.CauseOf(path.c_str(), "cannot be read") : problem});
      }
      NavMeshes.push_back(mesh);
      if (NavMeshes.size() == 1) ReadCamera(child);
    }
  }

  BuildRecords(m_settings.get_element("Locators"), Locators, BuildLocator);
  BuildRecords(m_settings.get_element("HotSpots"), HotSpots, BuildHotspot);
  BuildRecords(m_settings.get_element("Lights"), Lights, [this](const base::Variant& e) { return BuildLight(e); });
  m_exposure = 1.0f;
  if (const base::Variant* lights = m_settings.get_element("Lights"))
    if (lights->get_attribute_float("exposure", v)) m_exposure = SaneFloat(v);

  float zNear, zFar;
  m_camera.GetClippingRange(zNear, zFar);
  if (m_settings.get_attribute_float("near_z", v)) zNear = v;
  if (m_settings.get_attribute_float("far_z", v)) zFar = v;
  m_camera.SetClippingRange(zNear, zFar);
}

void cl_Scene::ReadCamera(const base::Variant& navMeshElement) {
  base::tString<base::BaseString> file;
  if (!navMeshElement.get_attribute_string("file", file) || file.empty()) return;
  base::tString<base::BaseString> path = GetScenePath();
  path += file;
  base::StaticVariant doc;
  if (!base::FileExists(path) || !base::xml::read_multi_root_file(doc, path.c_str(), "cameras")) return;
  const base::StaticVariantIterator root(doc.get_words());
  if (root.get_element_cnt() < 1) {
    base::sys::Output("WARNING: navmesh %s has no camera.\n", path.c_str());
    return;
  }
  const base::StaticVariantIterator camera = root.get_element(0);
  const base::StaticVariantIterator position = camera.get_element("position");
  const base::StaticVariantIterator rotation = camera.get_element("rotation");
  const base::StaticVariantIterator fov = camera.get_element("fov");
  if (!position || !rotation || !fov) return;
  auto read = [](const base::StaticVariantIterator& e, const char* name) {
    float v = 0.0f;
    e.get_attribute_float(name, v);
    return SaneFloat(v);
  };
  base::Quaternion q;
  q.set_rotate_xyz(read(rotation, "x") * kDegrees, read(rotation, "y") * kDegrees, read(rotation, "z") * kDegrees);
  m_camera.SetOrientation(q);
  ResetCameraViewport();
  m_camera.SetClippingRange(0.1f, 10000.0f);
  m_camera.SetPos(base::tVector3<float>(read(position, "x"), read(position, "y"), read(position, "z")));
  // The file gives the horizontal angle; the camera wants the vertical one for the image's shape.
  if (m_width > 0.0f)
    m_camera.SetFieldOfView(
        2.0f * std::atan((m_height / m_width) * std::tan(read(fov, "horizontal") * 0.5f * kDegrees)));
  m_scroll[0] = (m_width - 1024.0f) * 0.5f;
  m_scroll[1] = (m_height - 640.0f) * 0.5f;
  if (!NavMeshes.empty()) {
    float zNear = 0.1f, zFar = 10000.0f;
    NavMeshes.front()->GetVertexDistanceRange(m_camera.GetPos(), zNear, zFar);
    m_camera.SetClippingRange(zNear, zFar);
  }
}

}  // namespace quillane
