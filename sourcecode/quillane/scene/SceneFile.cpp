// The compiled scene file "Scenes/<name>.dat": little-endian, no magic or version word. Name,
// settings tree, image size, the 140-byte camera block, nav meshes, locators, hotspots, lights,
// sky / background / foreground layers, exposure and character scale, special-effect layers,
// then three stage sections for the detail levels 2, 1 and 0.
#include <chrono>
#include <map>
#include <string>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/data/Xml.h"
#include "base/file/SafeFile.h"
#include "base/system.h"
#include "base/text/Text.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneRecord.h"
#include "quillane/settings/OptionLevels.h"
#include "quillane/world/NavMesh.h"
#include "quillane/world/WorldServices.h"

namespace quillane {

namespace {

constexpr int kCameraBlockWords = 35;     // 140 bytes
constexpr int kMinLayerRecord = 46;       // empty label and file, both flags 0
constexpr int kMinLocatorRecord = 40;
constexpr int kMinHotspotRecord = 8;
constexpr int kMinLightRecord = 56;

void PackCamera(base::cl_Camera& camera, float out[kCameraBlockWords]) {
  const base::Quaternion& q = camera.GetOrientation();
  const base::tVector3<float>& p = camera.GetPos();
  float x0, y0, x1, y1, cx, cy, zNear, zFar;
  camera.GetViewportRect(x0, y0, x1, y1);
  camera.GetViewportCenter(cx, cy);
  camera.GetClippingRange(zNear, zFar);
  const float head[19] = {0.0f, q.x, q.y, q.z, q.w, p.x, p.y, p.z, x0, y0, x1, y1, cx, cy, zNear, zFar,
                          camera.GetFieldOfView(), camera.GetAspect(), camera.GetZoom()};
  std::copy(head, head + 19, out);
  const base::Matrix4& projection = camera.GetProjectionMatrix();
  std::copy(projection.m, projection.m + 16, out + 19);
}

void UnpackCamera(const float in[kCameraBlockWords], base::cl_Camera& camera) {
  base::Quaternion q;
  q.x = in[1], q.y = in[2], q.z = in[3], q.w = in[4];
  camera.SetOrientation(q);
  camera.SetPos(base::tVector3<float>(in[5], in[6], in[7]));
  camera.SetViewportRect(in[8], in[9], in[10], in[11]);
  camera.SetViewportCenter(in[12], in[13]);
  camera.SetClippingRange(in[14], in[15]);
  camera.SetFieldOfView(in[16]);
  camera.SetAspect(in[17]);
  camera.SetZoom(in[18]);
  // The projection (in[19..34]) is recomputed from these whenever it is needed.
}

// Which stage section a layer belongs to, and whether as its still version.
bool InStageSection(const cl_Layer& layer, int level, bool& still) {
  still = false;
  if (!layer.GetStrip()) return level == 2;
  if (layer.GetLodLevel() == level) return true;
  if (level == 2 && layer.GetLodShowFirstFrame()) {
    still = layer.GetLodLevel() < 2;
    return true;
  }
  return false;
}

template <class T>
bool ReadLayerList(base::File& file, cl_Scene* scene, std::list<T*>& list, int minBytes, const char* record) {
  int count = 0;
  if (!ReadCount(file, count, minBytes, record)) return false;
  for (int i = 0; i < count; ++i) {
    T* layer = new T(scene);
    list.push_back(layer);
    if (!layer->Read(file)) return FailRecord(file, record);
  }
  return true;
}

template <class T>
bool ReadRecordList(base::File& file, std::list<T*>& list, int minBytes, const char* record) {
  int count = 0;
  if (!ReadCount(file, count, minBytes, record)) return false;
  for (int i = 0; i < count; ++i) {
    T* element = new T;
    list.push_back(element);
    if (!element->Read(file)) return FailRecord(file, record);
  }
  return true;
}

// The description as the project file would hold it, read back: numbers kept as ints or strings
// in memory compare equal to the floats a reader makes of them.
std::string DescriptionText(const base::Variant& description) {
  base::Text text;
  base::Variant back;
  if (!base::xml::write_text(description, text) || !base::xml::read_text(back, text.c_str())) return std::string();
  text.clear();
  base::xml::write_text(back, text);
  return text.c_str();
}

}  // namespace

base::tString<base::BaseString> cl_Scene::GetDataPath(const char* name) {
  base::tString<base::BaseString> path("Scenes/");
  path += name;
  path += ".dat";
  return path;
}

// ---- Reading

bool cl_Scene::Load(const char* name) {
  const base::tString<base::BaseString> path = GetDataPath(name);
  if (!base::FileExists(path)) return false;
  base::File file;
  if (!file.open(path.c_str(), base::File::STATUS_READ)) return false;
  const auto start = std::chrono::steady_clock::now();
  const bool ok = Read(file);
  file.close();
  if (!ok) return false;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  base::sys::Output("time for scene load = %.02fs\n", elapsed.count());
  return true;
}

bool cl_Scene::Exists(const char* name) {
  if (!name || !*name) return false;
  base::tString<base::BaseString> project = GetScenePath(name);
  project += "ProjectFile.xml";
  return base::FileExists(GetDataPath(name)) || base::FileExists(project);
}

std::string cl_Scene::MissingReason(const char* name) {
  if (!name || !*name) return "no scene name given";
  if (Exists(name)) return std::string();
  base::tString<base::BaseString> project = GetScenePath(name);
  project += "ProjectFile.xml";
  // The project is what a modder adds by hand; the compiled file is named when it is the one
  // that is there but unusable.
  const base::tString<base::BaseString> data = GetDataPath(name);
  const std::string dataProblem = base::FileProblem(data);
  if (dataProblem != "is missing") return "'" + std::string(data.c_str()) + "' " + dataProblem;
  return "'" + std::string(project.c_str()) + "' " + base::FileProblem(project);
}

bool cl_Scene::IsCompiledSceneStale(const char* name) {
  base::tString<base::BaseString> project = GetScenePath(name);
  project += "ProjectFile.xml";
  const base::tString<base::BaseString> data = GetDataPath(name);
  if (!base::FileExists(project) || !base::FileExists(data)) return false;
  // The compiled file carries the description it was made from: compared with the project's, not
  // by the files' times, which a project put back from a backup or merely touched would mislead.
  cl_Scene fromProject;
  if (!fromProject.LoadProjectFile(name)) return false;
  base::Variant compiled;
  base::File file;
  base::tString<base::BaseString> compiledName;
  if (!file.open(data.c_str(), base::File::STATUS_READ) || !ReadSceneString(file, compiledName, "scene name") ||
      !compiled.Read(&file) || file.has_error())
    return base::FileTimeCompare(project.c_str(), data.c_str()) > 0;  // nothing to compare: the times decide
  return DescriptionText(compiled) != DescriptionText(fromProject.m_settings);
}

bool cl_Scene::Read(base::File& file) {
  Clear();
  if (ReadBody(file) && !file.has_error()) return true;
  if (!file.has_error()) FailRecord(file, "scene");
  Clear();
  return false;
}

bool cl_Scene::ReadBody(base::File& file) {
  if (!ReadSceneString(file, m_name, "scene name")) return false;
  if (!m_settings.Read(&file) || file.has_error()) return FailRecord(file, "scene settings");
  float size[2];
  if (!ReadF32s(file, size, 2, "scene size")) return false;
  m_width = SaneFloat(size[0]), m_height = SaneFloat(size[1]);
  float camera[kCameraBlockWords];
  if (!ReadF32s(file, camera, kCameraBlockWords, "camera block")) return false;
  UnpackCamera(camera, m_camera);
  ResetCameraViewport();

  int navCount = 0;
  if (!ReadCount(file, navCount, 4, "nav-mesh count")) return false;
  for (int i = 0; i < navCount; ++i) {
    NavMeshes.push_back(cl_NavMesh::CreateFromFile(&file));
    if (file.has_error()) return FailRecord(file, "nav mesh");
  }
  if (!ReadRecordList(file, Locators, kMinLocatorRecord, "locator") ||
      !ReadRecordList(file, HotSpots, kMinHotspotRecord, "hotspot") ||
      !ReadRecordList(file, Lights, kMinLightRecord, "light"))
    return false;
  if (!ReadLayerList(file, this, HeavenElements, kMinLayerRecord + 5, "sky layer") ||
      !ReadLayerList(file, this, BackgroundElements, kMinLayerRecord, "background layer") ||
      !ReadLayerList(file, this, ForegroundElements, kMinLayerRecord, "foreground layer"))
    return false;
  float factors[2];
  if (!ReadF32s(file, factors, 2, "exposure and character scale")) return false;
  m_exposure = SaneFloat(factors[0]), m_characterScale = SaneFloat(factors[1]);
  if (!ReadLayerList(file, this, SpecialFX, kMinLayerRecord, "special-effect layer")) return false;
  if (!ReadStageSections(file)) return false;
  ReadHotspotOffsets();
  return true;
}

bool cl_Scene::ReadStageSections(base::File& file) {
  // Levels run 0 (full) .. 2; a hand-edited option below full detail still means full detail.
  int level = GetOptionIntValue("Gfx/SceneLOD/");
  if (level < 0) level = 0;
  if (level > kMaxDetailLevel) return true;  // no stage layers at all
  std::map<int, cl_Layer*> byIndex;
  bool ok = true;
  for (int section = kMaxDetailLevel; ok && section >= level; --section) {
    int count = 0;
    ok = ReadCount(file, count, kMinLayerRecord + 4, "stage section");
    for (int i = 0; ok && i < count; ++i) {
      cl_Layer* layer = new cl_Layer(this);
      int32_t index = 0;
      ok = layer->Read(file) && ReadI32(file, index, "stage layer index");
      if (!ok) {
        delete layer;
        FailRecord(file, "stage layer");
        break;
      }
      // A later (more detailed) section replaces the still version of the same place.
      cl_Layer*& slot = byIndex[index];
      delete slot;
      slot = layer;
    }
  }
  for (auto& entry : byIndex) StageElements.push_back(entry.second);
  return ok;
}

void cl_Scene::ReadHotspotOffsets() {
  const base::Variant* table = WorldServices().GetHotspotTable ? WorldServices().GetHotspotTable() : nullptr;
  if (!table) return;
  for (cl_SceneHotspot* hotspot : HotSpots) {
    for (int i = 0; i < table->size(); ++i) {
      const base::Variant& entry = (*table)[i];
      base::tString<base::BaseString> label;
      if (!entry.is_element() || !entry.get_attribute_string("label", label) || label != hotspot->label) continue;
      int x = 0, y = 0;
      entry.get_attribute_int("xoffset", x);
      entry.get_attribute_int("yoffset", y);
      hotspot->labelOffset[0] = static_cast<float>(x), hotspot->labelOffset[1] = static_cast<float>(y);
      break;
    }
  }
}

// ---- Writing

bool cl_Scene::Save(const std::function<bool(const cl_Scene&)>& accept) {
  const base::tString<base::BaseString> path = GetDataPath(m_name.c_str());
  if (m_projectUnreadable) {
    base::sys::Output("ERROR: %s: the project could not be read; the scene is not compiled\n", path.c_str());
    return false;
  }
  // A compile killed earlier left its temporary file; this compile is the only writer now.
  base::RemoveStaleTempFiles(path.c_str());
  base::SetFileWriteProtection(path, false);
  base::File file;
  if (!file.open(path.c_str(), base::File::STATUS_WRITE)) {
    base::sys::Output("ERROR: %s: the scene cannot be created%s\n", path.c_str(), file.write_error_note().c_str());
    return false;
  }
  ReadFromVariant(false);
  if (accept && !accept(*this)) {
    file.discard();
    return false;
  }
  if (!Write(file)) {
    base::sys::Output("ERROR: %s: the scene could not be written%s; the old file stays\n", path.c_str(),
                      file.write_error_note().c_str());
    file.discard();
    return false;
  }
  return file.close();
}

bool cl_Scene::Write(base::File& file) {
  base::tString<base::BaseString>& p = m_protocol;
  p.clear();
  float x0, y0, x1, y1, cx, cy, zNear, zFar;
  m_camera.GetViewportRect(x0, y0, x1, y1);
  m_camera.GetViewportCenter(cx, cy);
  m_camera.GetClippingRange(zNear, zFar);
  auto d = [](float v) { return static_cast<double>(v); };
  p.print("Write Scene: %s", m_name.c_str());
  p += "\nStatic Game Data:";
  p.print("\n\tDim: (%f,%f)\n\tExposure: %f\n\tCharacterScale: %f", d(m_width), d(m_height), d(m_exposure),
          d(m_characterScale));
  p += "\nCamera:";
  p.print("\n\tViewport Rect: (%f,%f,%f,%f)", d(x0), d(y0), d(x1), d(y1));
  p.print("\n\tViewport Center: (%f,%f)", d(cx), d(cy));
  p.print("\n\tCliprange: %f - %f", d(zNear), d(zFar));
  p.print("\n\tFov Y: %f", d(m_camera.GetFieldOfView()));
  p.print("\n\tAspect Ratio: %f", d(m_camera.GetAspect()));
  p.print("\n\tZoom Factor: %f", d(m_camera.GetZoom()));
  p += "\n\tProjection Matrix ---";

  bool ok = m_name.Write(file) && m_settings.Write(&file);
  const float size[2] = {m_width, m_height};
  float camera[kCameraBlockWords];
  PackCamera(m_camera, camera);
  ok = ok && file.write(size, 8) && file.write(camera, sizeof camera);

  p += "\nNavmeshes: ";
  int count = static_cast<int>(NavMeshes.size());
  ok = ok && file.write(&count, 4);
  for (i_NavMesh* mesh : NavMeshes) {
    const int start = file.get_current_position();
    mesh->WriteMesh(&file);
    const cl_NavMesh* concrete = dynamic_cast<const cl_NavMesh*>(mesh);
    p.print("\n %s: %i", concrete ? concrete->GetName() : "", file.get_current_position() - start);
  }
  p += "\nLocators: ";
  p += "\n---";
  count = static_cast<int>(Locators.size());
  ok = ok && file.write(&count, 4);
  for (const cl_SceneLocator* locator : Locators) ok = ok && locator->Write(file);
  p += "\nHotSpots: ";
  p += "\n---";
  count = static_cast<int>(HotSpots.size());
  ok = ok && file.write(&count, 4);
  for (const cl_SceneHotspot* hotspot : HotSpots) ok = ok && hotspot->Write(file);
  p += "\nSceneLights: ";
  count = static_cast<int>(Lights.size());
  ok = ok && file.write(&count, 4);
  for (const cl_SceneLight* light : Lights) {
    const int start = file.get_current_position();
    ok = ok && light->Write(file);
    // Through this scene, not the light's owner: lights read from a file have none.
    p.print("\n\t%s %i", light->name.c_str(), file.get_current_position() - start);
  }

  p += "\nHeaven Layers";
  ok = ok && WriteLayerList(file, HeavenElements);
  p += "\nBackground Layers";
  ok = ok && WriteLayerList(file, BackgroundElements);
  p += "\nForeground Layers";
  ok = ok && WriteLayerList(file, ForegroundElements);
  ok = ok && file.write(&m_exposure, 4) && file.write(&m_characterScale, 4);
  p += "\nSpecial Layers";
  ok = ok && WriteLayerList(file, SpecialFX);

  for (int level = kMaxDetailLevel; level >= 0; --level) {
    p.print("\nStage Layers LOD Level %i", level);
    count = 0;
    bool still = false;
    for (const cl_Layer* layer : StageElements) count += InStageSection(*layer, level, still) ? 1 : 0;
    ok = ok && file.write(&count, 4);
    int index = 0;
    for (cl_Layer* layer : StageElements) {
      if (InStageSection(*layer, level, still)) {
        if (still) layer->MakeStill();
        ok = ok && layer->Write(file);
        if (still) layer->RestoreFromStill();
        ok = ok && file.write(&index, 4);
      }
      ++index;
    }
  }
  p.print("\nSize: %i", file.get_current_position());

  const base::tString<base::BaseString> text = p.replace("\n", "\r\n");
  base::tString<base::BaseString> protocolPath;
  protocolPath.print("Scenes\\%s\\%s_protocol.txt", m_name.c_str(), m_name.c_str());
  base::SaveFileSafely(protocolPath.c_str(), text.c_str(), static_cast<size_t>(text.size()));
  return ok && !file.has_error();
}

}  // namespace quillane
