// cl_Editor: the editor mode, the game frame's state "Editor". It keeps the list of known scenes
// ("scenes/scenes.xml"), owns the one scene being edited, scrolls and draws it into the editor
// viewport with the editor's status line, lets the user drag stage sort lines and move or turn
// locators with the mouse, toggles the four debug show flags (SceneDisplay()) and opens the
// editor menu on a right click. Its panels, dialogs and tools are windows of the frame's system
// GUI. There is one editor; GetEditor reaches it. Main thread only.
#pragma once

#include "base/String.h"
#include "base/app/Module.h"
#include "base/data/Variant.h"
#include "base/math/Limit.h"
#include "base/math/Vector.h"

namespace base {
class cl_GUI;
struct ICMD;
}  // namespace base

namespace quillane {

class cl_Layer;
class cl_Scene;
class cl_SceneLocator;

class cl_Editor : public base::cl_Module {
 public:
  // The path of the scene list, relative to the working folder.
  static constexpr const char* kSceneListFile = "scenes/scenes.xml";

  // Becomes the editor; reads the scene list (an empty "Scenes" when the file is missing or
  // damaged; a damaged one is named on the status line and never written over).
  cl_Editor();
  // Deletes the open scene and lets go of the list; no editor afterwards.
  ~cl_Editor() override;
  cl_Editor(const cl_Editor&) = delete;
  cl_Editor& operator=(const cl_Editor&) = delete;

  // ---- the module
  bool StartUp() override { return true; }
  bool ShutDown() override { return true; }
  // A project file changed on disk read again, edge scrolling, the scene (while runScene), then
  // the system GUI.
  void Update(float time, float dt) override;
  // The backdrop, the scene in the editor viewport, the system GUI, the status line, a dragged
  // sort line and the editor's cursor.
  void Render() override;
  // The GUI, the toggle keys, Shift and F1, the menu on a right press, and the drags of sort
  // lines and locators (see the ORDER in Editor.cpp's input section).
  bool ProcessInput(base::ICMD& cmd) override;

  // ---- the singleton and what other editor windows read
  static cl_Editor* GetEditor();                        // null outside the editor
  static cl_Editor* GetInstance() { return GetEditor(); }
  static cl_Scene* GetEditedScene();                    // the open scene; null without one
  static cl_Scene* GetScene() { return GetEditedScene(); }
  // The editor's list; an empty stand-in element without an editor.
  static base::Variant& GetSceneList();
  // H, N, L, B toggle the hotspot, nav-mesh, locator and boundary display: key presses without
  // Ctrl, only with the tweakable "Debug_KeysEnabled". True when the command was used.
  static bool HandleToggleKeys(base::ICMD& cmd);

  // ---- scenes
  // Opens the scene of that name for editing, in place of an open one. False (no scene open, the
  // cause on the status line) for an empty name, a name that would leave the scenes folder, a
  // scene whose folder "Scenes/<name>/" does not exist or whose project file cannot be read.
  bool OpenScene(const base::tString<base::BaseString>& name);
  // Deletes the open scene. The windows onto it (the scene editor panel, the layer menus) close
  // themselves when they next see it gone (cl_EditedSceneWatch).
  void CloseScene();
  // When another program changed the open scene's project file (cl_Scene::IsProjectFileChanged),
  // reads the scene again from it, so that the editor shows and goes on from what is on disk,
  // and says so on the status line; the windows onto it follow. True when it did.
  bool ReadChangedProject();
  // Compiles every listed scene whose "Scenes/<name>.dat" is missing or was not made from its
  // project as it stands (cl_Scene::IsCompiledSceneStale), logging each; a scene without a
  // project file is skipped with a warning. The counts (compiled, already up to date, without a
  // project file, failed) and the first failure go to the status line.
  void ExportAllScenes();
  // Writes the list to kSceneListFile (crash-safe; write protection cleared first). False
  // (logged and shown on the status line, the old file kept) when it cannot be written or could
  // not be read at start.
  bool SaveSceneList();
  bool IsSceneListUnreadable() const { return m_sceneListUnreadable; }

  void SetShowStatus(bool on) { m_showStatus = on; }
  bool GetShowStatus() const { return m_showStatus; }
  cl_Layer* GetPickedSortLayer() const { return m_pickedSortLayer; }
  cl_SceneLocator* GetPickedLocator() const { return m_pickedLocator; }

  // Draw and update the open scene; the test run clears it while its own stage draws the scene.
  bool runScene = true;

 private:
  void ClearPicks();
  void DeleteScene();  // the one place an edited scene ends: cl_EditedSceneWatch counts on it
  void PressLeft(const base::ICMD& cmd);
  void MoveMouse(const base::ICMD& cmd);
  void ReleaseLeft();
  void OpenMenu(const base::ICMD& cmd);
  void RenderStatus();

  base::Variant m_sceneList;
  bool m_sceneListUnreadable = false;  // kept on disk as it is: never written over
  cl_Scene* m_scene = nullptr;  // owned
  cl_Layer* m_pickedSortLayer = nullptr;
  cl_SceneLocator* m_pickedLocator = nullptr;
  float m_dragA = 0.0f;  // sort line: its value at the press; locator: the grab offset in y
  float m_dragB = 0.0f;  // sort line: the mouse y at the press; locator: the grab offset in x
  float m_turnReferenceX = 0.0f;  // mouse x when Shift went down
  base::tVector2<float> m_cursorAnchor{0.0f, 0.0f};  // the pointer at that Shift press
  bool m_shiftHeld = false;
  bool m_showStatus = true;
};

// What a window onto the edited scene remembers of it, so that it can follow the scene each frame
// instead of being found and closed by the editor: whether that scene is still the one edited,
// and whether it was read again from its project file since the window last asked.
class cl_EditedSceneWatch {
 public:
  cl_EditedSceneWatch();  // watches the scene edited now (none, without one)
  // The scene watched is no longer edited: closed, or another one (or the same again) opened.
  bool IsGone() const;
  // True once after each time the scene was read again from its project file.
  bool TakeReread();

 private:
  int m_scene;     // the editor's scene count when the scene was opened
  int m_readings;  // the readings seen so far
};

// The window area the edited scene is drawn into: the full width W, a height of W * 10 / 16,
// centred vertically.
base::tRectf GetEditorViewportRect();

// The GUI every editor window lives in: the frame's system GUI (without a frame, the GUI root);
// null when there is neither.
base::cl_GUI* GetEditorGUI();

// Fills the editor services: the frame's editor module and the session's toggle keys.
void InstallEditorServices();

}  // namespace quillane
