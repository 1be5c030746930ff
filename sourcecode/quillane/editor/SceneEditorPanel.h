// cl_SceneEditorPanel (layout "Scene Editor"): the editor's window onto the edited scene. Its tree
// "ResourceList" shows the scene description's groups and their elements; "Add", "Remove",
// "Edit", "Up" and "Down" change them through the scene's editing operations and rewrite the
// project file after every change (a failure shown on the editor's status line); "Compile"
// writes the scene's ".dat". A new element takes a label no other of its group has. The file browser, the
// crop tool, the item dialog and the layer menus answer it with "AddElement" / "UpdateElement".
// It keeps no element data of its own. Opened only while the editor has a scene, and closes itself
// when that scene goes, with the layer menus it opened.
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "graphics/draw/Draw.h"
#include "quillane/editor/Editor.h"

namespace quillane {

class cl_Scene;

// The label proposed for a new element of the group: "default" while free, else the first free
// prefix + n ("elem" for stage, "fg" for foreground, "bg" for the other groups).
base::tString<base::BaseString> FindFreeLabel(const base::Variant* group, const char* groupName);
// wanted while no element of the group has it, else wanted + n, the first free n from 2.
base::tString<base::BaseString> FindUnusedLabel(const base::Variant* group,
                                                const base::tString<base::BaseString>& wanted);
// The one-line summary of an element, in the form of its group.
base::tString<base::BaseString> FormatElementInfo(const base::Variant& element, const char* group);

class cl_SceneEditorPanel : public base::cl_Panel {
 public:
  static constexpr const char* kLabel = "Scene Editor";
  static base::cl_Window* Create() { return new cl_SceneEditorPanel(); }
  // Without the panel no element is selected: g_SelectedElementLabel is cleared.
  ~cl_SceneEditorPanel() override;
  // The layer menus it opened close with it: they answer this panel.
  void Close() override;

  // Takes kLabel, loads the layout and builds the tree; true.
  bool Init(base::StaticVariantIterator desc) override;
  // Follows the edited scene: closes when it is gone, rebuilds the tree when it was read again;
  // g_SelectedElementLabel follows the selected element.
  void Update(float dt) override;
  // The button states, the children, the lazy-compile line and the selected element's summary.
  void Render(float x, float y) override;
  // The tree from the scene description, open groups kept open and the selection kept.
  void RebuildResourceTree();
  void DrawElementInfo(const base::Variant& element, const char* group);
  // Answers, buttons and updates; every event is consumed.
  bool ProcessEvent(const base::Variant& event) override;

  // The property menus of the element of that label and ordinal (a second request closes an
  // open one).
  void OpenHeavenEditor(const char* label, int ordinal = 0);
  void OpenLayerEditor(const char* group, const char* label, int ordinal = 0);
  bool OpenTextureStripEditor(const char* label, int ordinal = 0);  // false: the element is no texture strip

  // The selected element's group, label and ordinal among the rows of its label; false when no
  // element is selected.
  bool GetSelectedElement(base::tString<base::BaseString>& group, base::tString<base::BaseString>& label);
  bool GetSelectedElement(base::tString<base::BaseString>& group, base::tString<base::BaseString>& label, int& ordinal);

 private:
  void AddToScene(const base::Variant& event);
  void UpdateInScene(const base::Variant& event);
  void PressButton(const base::tString<base::BaseString>& button);
  void AddToGroup(const base::tString<base::BaseString>& group);
  void Edit();
  void Compile();      // its outcome goes to the status line
  void OpenTestRun();  // hides the panel; shown again when the test run ends or is refused
  void DropSelection();  // no row selected, g_SelectedElementLabel empty
  // Writes the project file; on NavMeshes re-reads the scene; rebuilds the tree. A failed write
  // puts the description back to before (what is on disk) and rebuilds the scene from it.
  void Store(const char* group, const base::Variant& before);

  gfx::cl_WrappedText m_info;  // the selected element's summary, wrapped again only when it changes
  cl_EditedSceneWatch m_watch;  // the scene the panel was opened on
};

}  // namespace quillane
