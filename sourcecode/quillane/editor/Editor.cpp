// The editor module: the singleton, the scene list, the open scene, the batch export, the frame's
// update and drawing. Input and the mouse drags are in EditorInput.cpp.
#include "quillane/editor/Editor.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "base/FileTools.h"
#include "base/data/Xml.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "platform/os/FileSystem.h"
#include "quillane/core/EditorServices.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/SceneCompile.h"
#include "quillane/editor/SceneList.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace quillane {

namespace {

cl_Editor* g_editor = nullptr;
// Counted up whenever an edited scene ends (DeleteScene) and whenever it is read again from its
// project file, by every editor alike: a window never takes a later scene for its own.
int g_scenesEnded = 0;
int g_sceneReadings = 0;

constexpr uint32_t kBackdrop = 0xFF3C4650u;  // (60, 70, 80)
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kMarker = 0xFF00FF00u;
constexpr int kStatusGap = 8;  // pixels between two show flags pushed together
constexpr uint32_t kStatusGrey = 0xFFA0A0A0u;
constexpr uint32_t kSortLine = 0x32FFFFFFu;  // white at 50 / 255
constexpr float kEdgeScrollZone = 5.0f;
constexpr float kEdgeScrollSpeed = 600.0f;  // scene pixels per second
constexpr float kReferenceWidth = 1024.0f;

}  // namespace

// ---- the singleton and the services

cl_Editor::cl_Editor() {
  SetName("Editor");
  g_editor = this;
  ClearEditorStatus();
  base::cl_ErrorCatcher errors;
  const base::xml::en_OptionalRead read = ReadSceneList(m_sceneList, kSceneListFile);
  if (read != base::xml::READ_OK) m_sceneList.set_element("Scenes");
  // A list that is there but cannot be read is kept as it is: the first change would otherwise
  // write the empty stand-in over every entry.
  m_sceneListUnreadable = read == base::xml::READ_FAILED;
  if (m_sceneListUnreadable) {
    ShowFailure(errors, kSceneListFile);
  } else if (const std::string dropped = errors.Cause(""); !dropped.empty()) {
    ShowEditorStatus(dropped, true);  // a scene left out for its label
  }
}

cl_Editor::~cl_Editor() {
  // The frame's GUI may be going too: its windows are not touched here.
  DeleteScene();
  if (g_editor == this) g_editor = nullptr;
}

cl_Editor* cl_Editor::GetEditor() { return g_editor; }

cl_Scene* cl_Editor::GetEditedScene() { return g_editor ? g_editor->m_scene : nullptr; }

base::Variant& cl_Editor::GetSceneList() {
  static base::Variant none;
  if (g_editor) return g_editor->m_sceneList;
  none.set_element("Scenes");
  return none;
}

void InstallEditorServices() {
  EditorServices().CreateEditor = []() -> base::cl_Module* { return new cl_Editor(); };
  EditorServices().HandleToggleKeys = &cl_Editor::HandleToggleKeys;
}

base::tRectf GetEditorViewportRect() {
  const float w = static_cast<float>(base::sys::GetWindowWidth());
  const float h = static_cast<float>(base::sys::GetWindowHeight());
  const float viewHeight = w * 10.0f / 16.0f;
  const float top = (h - viewHeight) / 2.0f;
  return base::tRectf(0.0f, top, w, top + viewHeight);
}

base::cl_GUI* GetEditorGUI() {
  if (cl_GameFrame* frame = GetGameFrame()) return frame->GetSystemGUI();
  return base::g_pGUI;
}

// ---- scenes

bool cl_Editor::OpenScene(const base::tString<base::BaseString>& name) {
  ClearPicks();
  ClearEditorStatus();  // the last scene's outcome is not this one's
  if (name.empty()) return false;
  if (const char* problem = base::PlainNameProblem(name.c_str())) {
    base::sys::Output("ERROR: Editor: the scene name \"%s\" %s; not opened\n", name.c_str(), problem);
    ShowEditorStatus(std::string("the scene name \"") + name.c_str() + "\" " + problem + "; not opened", true);
    return false;
  }
  // A listed scene whose folder went would otherwise open as a fresh, empty project, and the
  // next edit would write that over nothing the designer meant to keep.
  if (!platform::os::IsFolder(cl_Scene::GetScenePath(name.c_str()).c_str())) {
    base::sys::Output("ERROR: Editor: scene %s has no folder %s; not opened\n", name.c_str(),
                      cl_Scene::GetScenePath(name.c_str()).c_str());
    ShowEditorStatus(std::string(cl_Scene::GetScenePath(name.c_str()).c_str()) + ": no such folder; not opened", true);
    CloseScene();
    return false;
  }
  CloseScene();
  m_scene = new cl_Scene();
  base::cl_ErrorCatcher errors;
  if (!m_scene->LoadProjectFile(name.c_str())) {
    ShowFailure(errors, "the project could not be read; not opened");
    CloseScene();
    return false;
  }
  m_scene->ReadFromVariant(true);
  // The scene opens without them, showing nothing in their place.
  if (const std::string unread = DescribeUnreadFiles(*m_scene); !unread.empty())
    ShowEditorStatus(std::string("Scenes/") + name.c_str() + ": cannot read " + unread, true);
  return true;
}

void cl_Editor::CloseScene() { DeleteScene(); }

bool cl_Editor::ReadChangedProject() {
  if (!m_scene || !m_scene->IsProjectFileChanged()) return false;
  const base::tString<base::BaseString> name = m_scene->GetName();
  base::tString<base::BaseString> path = cl_Scene::GetScenePath(name.c_str());
  path += "ProjectFile.xml";
  base::sys::Output("Warning: Editor: %s was changed by another program; read again\n", path.c_str());
  ClearPicks();
  // In place: the open windows reach the scene through GetEditedScene and look their elements up
  // again.
  base::cl_ErrorCatcher errors;
  m_scene->Clear();
  if (m_scene->LoadProjectFile(name.c_str()))
    ShowEditorStatus(std::string(path.c_str()) + " was changed by another program: read again", false);
  else
    ShowFailure(errors, (std::string(path.c_str()) + ": changed by another program and cannot be read").c_str());
  m_scene->ReadFromVariant(true);
  ++g_sceneReadings;
  return true;
}

void cl_Editor::DeleteScene() {
  ClearPicks();
  if (!m_scene) return;
  m_scene->Clear();
  delete m_scene;
  m_scene = nullptr;
  ++g_scenesEnded;
}

// ---- the windows onto the edited scene

cl_EditedSceneWatch::cl_EditedSceneWatch() : m_scene(g_scenesEnded), m_readings(g_sceneReadings) {}

bool cl_EditedSceneWatch::IsGone() const { return !cl_Editor::GetEditedScene() || m_scene != g_scenesEnded; }

bool cl_EditedSceneWatch::TakeReread() {
  if (m_readings == g_sceneReadings) return false;
  m_readings = g_sceneReadings;
  return true;
}

void cl_Editor::ClearPicks() {
  m_pickedSortLayer = nullptr;
  m_pickedLocator = nullptr;
}

bool cl_Editor::SaveSceneList() {
  base::cl_ErrorCatcher errors;
  if (m_sceneListUnreadable) {
    base::sys::Output("ERROR: %s: could not be read; kept as it is, not written over\n", kSceneListFile);
  } else if (WriteSceneList(m_sceneList, kSceneListFile)) {
    return true;
  }
  ShowFailure(errors, kSceneListFile);
  return false;
}

void cl_Editor::ExportAllScenes() {
  int exported = 0, current = 0, projectless = 0, failed = 0;
  std::string firstFailure;
  for (int i = 0; i < m_sceneList.size(); ++i) {
    base::tString<base::BaseString> name;
    m_sceneList[i].get_attribute_string("label", name);
    base::sys::Output("exporting %s\n", name.c_str());
    base::tString<base::BaseString> project = cl_Scene::GetScenePath(name.c_str());
    project += "ProjectFile.xml";
    // A fresh project would compile to an empty scene in place of the missing one.
    if (name.empty() || !base::FileExists(project)) {
      base::sys::Output("Warning: Editor: %s is missing; scene \"%s\" is not exported\n", project.c_str(), name.c_str());
      ++projectless;
      continue;
    }
    // A compiled file not made from the project as it stands would hide it in the game.
    const base::tString<base::BaseString> data = cl_Scene::GetDataPath(name.c_str());
    if (base::FileExists(data)) {
      if (!cl_Scene::IsCompiledSceneStale(name.c_str())) {
        base::sys::Output("skipping... dat file exists.\n");
        ++current;
        continue;
      }
      base::sys::Output("Warning: Editor: %s was not compiled from %s as it stands; compiled again\n", data.c_str(),
                        project.c_str());
    }
    base::cl_ErrorCatcher errors;
    cl_Scene scene;
    st_CompileOutcome outcome;
    if (scene.LoadProjectFile(name.c_str())) outcome = CompileScene(scene);
    if (outcome.written) {
      base::sys::Output("scene complete.\n");
      ++exported;
    } else {
      if (failed++ == 0) firstFailure = outcome.text.empty() ? errors.Cause(name.c_str()) : outcome.text;
      base::sys::Output("ERROR: Editor: scene \"%s\" was not exported\n", name.c_str());
    }
    scene.Clear();
  }
  // Every listed scene is counted somewhere, so the numbers add up to the list.
  std::string line = "Export all scenes: " + std::to_string(exported) + " compiled";
  if (current > 0) line += ", " + std::to_string(current) + " already up to date";
  if (projectless > 0) line += ", " + std::to_string(projectless) + " without a project file";
  if (failed > 0) line += ", " + std::to_string(failed) + " failed (" + firstFailure + ")";
  ShowEditorStatus(line, failed > 0);
}

// ---- update and drawing

void cl_Editor::Update(float, float dt) {
  // Not while the test walk holds the scene: its character stands on the scene's nav meshes.
  if (runScene) ReadChangedProject();
  if (m_scene) {
    const float mouseX = static_cast<float>(base::sys::MouseX());
    const float* scroll = m_scene->GetScroll();
    float x = scroll[0];
    if (mouseX < kEdgeScrollZone) {
      x = std::max(0.0f, x - kEdgeScrollSpeed * dt);
    } else if (mouseX > static_cast<float>(base::sys::GetWindowWidth()) - kEdgeScrollZone) {
      // A scene narrower than the reference screen has nothing to scroll to.
      x = std::max(0.0f, std::min(x + kEdgeScrollSpeed * dt, m_scene->GetWidth() - kReferenceWidth));
    }
    m_scene->SetScroll(x, scroll[1]);
    if (runScene) m_scene->Update(dt);
  }
  if (base::cl_GUI* gui = GetEditorGUI()) {
    gui->Update(dt);
    FollowEditorWindows(*gui);
  }
}

void cl_Editor::Render() {
  if (gfx::cl_Font* font = gfx::FontExists("system")) gfx::SetFont(font);
  gfx::ClearScreen(kBackdrop);
  gfx::Begin2D();
  gfx::SetBlendNone();
  gfx::SetFilterLinear();
  if (m_scene && runScene) {
    const base::tRectf view = GetEditorViewportRect();
    // The layers are drawn at the scene's size: a picture taller or wider than the view would
    // reach over the backdrop and under the status line.
    gfx::SetViewportRect(view.min.x, view.min.y, view.max.x, view.max.y, 0.0f, 1.0f);
    m_scene->RenderEditorInfo(view.min.x, view.min.y, view.max.x, view.max.y);
    // The scene leaves its camera's viewport set; the GUI and the status line reach outside it.
    gfx::SetViewport(-1, -1, -1, -1, 0.0f, 1.0f);
    gfx::Begin2D();
  } else if (!m_scene) {
    gfx::DrawText(8, 8, "no active scene", kWhite);
    // The menu is the way in to everything else, and nothing else on the first screen says so.
    if (const base::cl_GUI* gui = GetEditorGUI(); gui && gui->m_Children.empty())
      gfx::DrawText(8, 28, "Right click: the editor menu (scene manager, scene editor, level editors, viewer)",
                    kStatusGrey);
  }
  // "no active scene" stands where the mark is: without a scene the mark would hide its "n".
  if (m_scene) gfx::FillRect(8.0f, 8.0f, 16.0f, 16.0f, kMarker);
  // The show flags belong to the scene view: a window over it (a mini-game's board or its
  // play-test) hides them, as it hides the scene.
  if (m_showStatus) RenderStatus();
  base::cl_GUI* gui = GetEditorGUI();
  if (gui) gui->Render(0, 0);
  RenderEditorStatus(gui);
  if (m_pickedSortLayer && m_scene) {
    const int y = static_cast<int>(m_scene->SceneToScreen(0.0f, static_cast<float>(m_pickedSortLayer->GetYSort())).y);
    gfx::FillRect(0.0f, static_cast<float>(y), static_cast<float>(base::sys::GetWindowWidth()),
                  static_cast<float>(y + 1), kSortLine);
  }
  gfx::SetCursor(nullptr, gfx::TextureExists("defaultmouse"));
}

void cl_Editor::RenderStatus() {
  const st_SceneDisplay& display = SceneDisplay();
  struct st_Flag {
    const char* text;
    const char* key;
    int x;
    bool on;
  };
  const st_Flag flags[] = {{"Show Boundaries=%d", "B", 550, display.showBoundaries},
                           {"Show Locators=%d", "L", 685, display.showLocators},
                           {"Show NavMesh=%d", "N", 800, display.showNavMesh},
                           {"Show HotSpots=%d", "H", 930, display.showHotspots}};
  const int keyOffset = static_cast<int>(gfx::GetTextWidth("Show "));
  // Each flag at its place unless the one before reaches it; the row then moves left as far as
  // it must to end inside the window.
  base::tString<base::BaseString> texts[std::size(flags)];
  int xs[std::size(flags)];
  int end = 0;
  for (size_t i = 0; i < std::size(flags); ++i) {
    texts[i].print(flags[i].text, flags[i].on ? 1 : 0);
    xs[i] = std::max(flags[i].x, end + kStatusGap);
    end = xs[i] + static_cast<int>(gfx::GetTextWidth(texts[i].c_str()));
  }
  const int shift = std::min(xs[0], std::max(0, end - base::sys::GetWindowWidth()));
  for (size_t i = 0; i < std::size(flags); ++i) {
    gfx::DrawText(xs[i] - shift, 0, texts[i].c_str(), kStatusGrey);
    gfx::DrawText(xs[i] - shift + keyOffset, 0, flags[i].key, kWhite);
  }
}

}  // namespace quillane
