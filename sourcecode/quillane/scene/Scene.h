// One location of the game: its painted layers, walkable nav meshes, named locators, clickable
// hotspots, lights and the perspective camera through which characters are drawn into the
// painting. Built either from the compiled file "Scenes/<name>.dat" (Load) or from its editable
// project description (LoadProjectFile + ReadFromVariant); Save compiles the description into
// the file. Mapping between screen, scene image and world, picking, lookups, lights at a point
// and the editors' element operations live here too. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "base/String.h"
#include "base/data/Variant.h"
#include "graphics/Camera.h"
#include "quillane/scene/Layer.h"
#include "quillane/scene/SceneElements.h"

namespace base {
class File;
}
namespace gfx {
class cl_Image;
}

namespace quillane {

class i_NavMesh;

// The ten groups of a project description, in file order (ORDER SCENEGROUPS).
constexpr int kSceneGroupCount = 10;
extern const char* const kSceneGroups[kSceneGroupCount];
bool IsSceneElementGroup(const char* name);

// A file the scene's description names that the last build could not read; the scene went on
// without it.
struct st_UnreadSceneFile {
  const char* group;  // the element group: one of kSceneGroups
  std::string file;   // its path
  std::string cause;  // "is missing", "cannot be read", ...
};

// The element name the editors selected: layer frames, locator and hotspot outlines compare
// names with it.
extern base::tString<base::BaseString> g_SelectedElementLabel;

// The debug display switches (space / H, L, B, N keys) and the layer frame colour counter.
struct st_SceneDisplay {
  bool showHotspots = false;
  bool showLocators = false;
  bool showBoundaries = false;
  bool showNavMesh = false;
  int frameCounter = 0;
  base::tString<base::BaseString> selectedLocator;
};
st_SceneDisplay& SceneDisplay();

class cl_Scene {
 public:
  cl_Scene();
  ~cl_Scene();
  cl_Scene(const cl_Scene&) = delete;
  cl_Scene& operator=(const cl_Scene&) = delete;

  // Releases every element and list, the camera, the settings and the name.
  void Clear();

  // ---- compiled file (SceneFile.cpp)
  static base::tString<base::BaseString> GetDataPath(const char* name);  // "Scenes/<name>.dat"
  // False without a log line when the file is missing; false with a log line and an empty scene
  // when it is damaged.
  bool Load(const char* name);
  // Whether a scene of that name can be loaded: its compiled file or its "ProjectFile.xml" is a
  // readable file (a folder or a FIFO under that name is none). Quiet.
  static bool Exists(const char* name);
  // Why the game does not have the scene, for the line that refuses it: the file looked for and
  // what is wrong with it ("'Scenes/Office/ProjectFile.xml' is a folder, not a file"), or that
  // the name is no scene name; empty when Exists holds.
  static std::string MissingReason(const char* name);
  bool Read(base::File& file);
  // Rebuilds the lists from the description and writes the file (temporary file, rename; a
  // failed write keeps the old file). With accept, the rebuilt scene is written only when accept
  // takes it. False when it cannot be written or was not accepted.
  bool Save(const std::function<bool(const cl_Scene&)>& accept = nullptr);
  bool Write(base::File& file);

  // ---- project description (SceneProject.cpp)
  base::tString<base::BaseString> GetScenePath() const;  // "Scenes/<name>/"
  static base::tString<base::BaseString> GetScenePath(const char* name);
  // A missing file starts a fresh project. False (logged "ERROR: <file>: <cause>") when something
  // stands there that cannot be read as a project: the description is then an empty stand-in,
  // and SaveProjectFile and Save refuse to write from it.
  bool LoadProjectFile(const char* name);
  // Temporary file, rename; false when it failed. Afterwards the description's numbers are the
  // file's (six digits). Refused (logged, false) while IsProjectFileChanged: what another program
  // put there is not written over.
  bool SaveProjectFile();
  // Another program changed "ProjectFile.xml" since this scene last read or wrote it: a file
  // stands there whose bytes differ (one put back from a backup, say). A file gone since, or
  // something that is no file, counts as no change: writing there loses nothing. Quiet.
  bool IsProjectFileChanged() const;
  // The compiled scene file was not made from the project file beside it (both exist): its
  // description differs from the project's, whatever the files' times. A compiled file whose
  // description cannot be read is stale when it is older than the project; a project that cannot
  // be read gives false.
  static bool IsCompiledSceneStale(const char* name);
  void ReadFromVariant(bool lazy);
  // What the last ReadFromVariant could not read, in description order: layer pictures (of the
  // groups it built) and nav-mesh files.
  const std::vector<st_UnreadSceneFile>& GetUnreadFiles() const { return m_unreadFiles; }
  void ResetCameraViewport();

  // ---- coordinates, picking, lookups, lights, drawing (SceneView.cpp)
  base::tVector2<float> ScreenToScene(float x, float y) const;
  base::tVector2<float> SceneToScreen(float x, float y) const;
  base::tVector2<float> WorldToScene(const base::tVector3<float>& p);
  base::tVector2<float> WorldToScreen(const base::tVector3<float>& p) { return WorldToScene(p); }
  // Zoom and scroll target so the rectangle fills the reference view; a rectangle without
  // width or height is refused with a warning.
  bool ZoomToRect(float x0, float y0, float x1, float y1);
  float GetEffectiveZoom() const;
  base::tVector2<float> GetScrollRange() const;
  void UpdateViewFromCamera();
  base::tString<base::BaseString> GetScriptPath() const;  // "Scenes/<name>.lua"
  // The world point under a screen point: the first nav mesh, else the floor plane y = 0 in
  // front of the camera. False when the ray meets neither.
  bool PickRay(float x, float y, base::tVector3<float>& out);
  // As PickRay, with the nav mesh's screen pick before the floor plane.
  bool PickFloorPoint(float x, float y, base::tVector3<float>& out);
  cl_SceneHotspot* PickHotspot(float x, float y);  // scene point; active hotspots only
  cl_SceneLocator* FindLocator(const char* name);
  cl_SceneHotspot* FindHotspot(const char* label);
  cl_Layer* FindLayer(const char* label);
  cl_Layer* FindSpecialFXLayer(const char* label);
  i_NavMesh* FindNavMeshAt(float x, float y, float z);
  void GetLocatorsAt(float x, float z, std::list<cl_SceneLocator*>& out);
  gfx::cl_Image* GetFirstBackgroundLayerImage();
  void Update(float dt);
  void RenderBackgroundLayers(float x0, float y0, float x1, float y1);
  void RenderForegroundLayers(float x0, float y0, float x1, float y1);
  void SetBackgroundViewRect(float x0, float y0, float x1, float y1) { RenderBackgroundLayers(x0, y0, x1, y1); }
  void SetForegroundViewRect(float x0, float y0, float x1, float y1) { RenderForegroundLayers(x0, y0, x1, y1); }
  void SetupLightsAt(const base::tVector3<float>& p);
  void RenderHotspotCaptions(bool allExcept, const char* label);
  void ReadHotspot(bool allExcept, const char* label) { RenderHotspotCaptions(allExcept, label); }
  void RenderDebug();
  // The editor's whole-scene drawing for the viewport (x0, y0, x1, y1).
  void RenderEditorInfo(float x0, float y0, float x1, float y1);

  // ---- editing (SceneEditing.cpp)
  void AddElement(const char* group, const base::Variant& description, bool lazy, int unused = 0);
  // The element is the ordinal-th (from 0) of its label in the group, in the description and in
  // the live list alike: only that one changes.
  void UpdateElement(const char* group, const base::Variant& description, bool lazy, int ordinal = 0);
  void RemoveElement(const char* group, const char* label, int ordinal = 0);
  // The description entry of the ordinal-th element of that label in the group; null when none.
  base::Variant* FindElementDescription(const char* group, const char* label, int ordinal = 0);
  void MoveElement(const char* group, const char* label, bool up, int ordinal = 0);
  cl_SceneLocator* PickLocator(float x, float y);  // screen point, strictly within 15 px
  cl_Layer* PickStageSortLine(float x, float y);   // scene point, sort line under 5 px away

  // ---- state
  const base::tString<base::BaseString>& GetName() const { return m_name; }
  void SetName(const char* name) { m_name = name; }
  base::Variant& GetSettings() { return m_settings; }
  float GetWidth() const { return m_width; }
  float GetHeight() const { return m_height; }
  // The scene image's size; the editor sets it from the first background or a sky picture.
  void SetSize(float width, float height) { m_width = width, m_height = height; }
  base::cl_Camera& GetCamera() { return m_camera; }
  float GetExposure() const { return m_exposure; }
  // The lighting factor of the characters; the description's "Lights" keeps its own copy.
  void SetExposure(float exposure) { m_exposure = exposure; }
  float GetCharacterScale() const { return m_characterScale; }
  const float* GetScroll() const { return m_scroll; }
  void SetScroll(float x, float y) { m_scroll[0] = x, m_scroll[1] = y; }
  const float* GetScrollTarget() const { return m_scrollTarget; }
  float GetZoom() const { return m_zoom; }
  void SetZoom(float zoom) { m_zoom = zoom; }
  float GetClock() const { return m_clock; }
  base::tString<base::BaseString>& GetProtocol() { return m_protocol; }

  // The nine owning lists; never null entries. Public: the stage, the editors and the script
  // bindings walk them.
  std::list<i_NavMesh*> NavMeshes;
  std::list<cl_SceneLocator*> Locators;
  std::list<cl_SceneHotspot*> HotSpots;
  std::list<cl_SceneLight*> Lights;
  std::list<cl_HeavenLayer*> HeavenElements;
  std::list<cl_Layer*> BackgroundElements;
  std::list<cl_Layer*> StageElements;
  std::list<cl_Layer*> ForegroundElements;
  std::list<cl_Layer*> SpecialFX;

 private:
  void ClearLayers();
  void ReadCamera(const base::Variant& navMeshElement);
  // Builds one layer group into its list (HeavenElements builds cl_HeavenLayer).
  void BuildLayerGroup(const char* group, bool lazy);
  cl_Layer* BuildLayer(const char* group, const base::Variant& element, bool lazy);
  cl_SceneLight* BuildLight(const base::Variant& element);
  static cl_SceneLocator* BuildLocator(const base::Variant& element);
  static cl_SceneHotspot* BuildHotspot(const base::Variant& element);
  bool ReadBody(base::File& file);
  bool ReadStageSections(base::File& file);
  void ReadHotspotOffsets();

  base::tString<base::BaseString> m_name;
  base::Variant m_settings;
  float m_width = 0.0f, m_height = 0.0f;
  base::cl_Camera m_camera;
  float m_exposure = 1.0f;
  float m_characterScale = 1.0f;
  float m_scroll[2] = {0.0f, 0.0f};
  float m_scrollTarget[2] = {0.0f, 0.0f};
  float m_zoom = 1.0f;
  float m_clock = 0.0f;
  base::tString<base::BaseString> m_protocol;
  std::vector<st_UnreadSceneFile> m_unreadFiles;
  bool m_projectUnreadable = false;  // LoadProjectFile failed: nothing may be written from it
  // "ProjectFile.xml" as this scene last read or wrote it, to tell another program's change.
  void RememberProjectFile();
  bool m_projectOnDisk = false;
  std::string m_projectBytes;
  mutable int64_t m_projectTime = 0;  // its write time; a touch without a change moves it on
};

}  // namespace quillane
