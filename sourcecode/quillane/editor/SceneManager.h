// The scene manager (layout "Scene Manager"): the editor's scene list with "Add" (a folder under
// "Scenes" chosen in the modal cl_NewScene dialog, layout "NewScene"), "Remove", and "Edit", which
// opens the selected scene for the scene editor. Every change rewrites "scenes/scenes.xml".
#pragma once

#include "base/gui/GUI.h"

namespace quillane {

class cl_SceneManagerPanel : public base::cl_Panel {
 public:
  static constexpr const char* kLabel = "Scene Manager";  // the menu toggles the panel by it

  // Takes the label kLabel, loads the layout and fills the list; the description is not read.
  bool Init(base::StaticVariantIterator desc) override;
  // "SceneList" shows the list; "LazyCompile" the tweakable "Editor_LazyCompile".
  void FillSceneList();
  // "Add", "Remove", "Edit" and the dialog's "NewScene" answer; false for every event. "Remove"
  // and "Edit" without a selected row say so on the status line.
  bool ProcessEvent(const base::Variant& event) override;

 private:
  void OfferNewScenes();
  void EditSelected();
  void AddNewScene(const base::Variant& answer);
};

class cl_NewScene : public base::cl_Panel {
 public:
  explicit cl_NewScene(base::cl_Window* listener);  // loads "NewScene"; listener not owned

  // "Ok" sends the listener "NewScene" {name = the selected entry of "SceneNames"}, then closes;
  // "Cancel" closes. Every event is consumed.
  bool ProcessEvent(const base::Variant& event) override;

 private:
  base::cl_Window* m_listener;
};

}  // namespace quillane
