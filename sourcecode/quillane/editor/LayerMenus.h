// The property menus of one layer of the edited scene, opened by the scene editor's "Edit" while
// the scene keeps running: cl_HeavenMenu (a sky layer's scroll), cl_LayerMenu (any image layer's
// "use_background_pixels", answered to its listener, the panel that opened it, as
// "UpdateElement") and cl_TextureStripMenu (a strip's play mode, speed, pauses, blur and level of
// detail). The heaven and strip menus change the live layer and its description entry on "Ok" and
// save the project file. They hold the element's group, label and ordinal among the elements of
// its label, not the layer: every edit of the scene may free or move those, so "Ok" looks both up
// again; an element gone by then is logged and the menu closes. A menu closes itself when the
// edited scene goes, and the panel closes its menus when it goes. At most one menu of each kind is
// open (the panel's openers toggle them).
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "quillane/editor/Editor.h"

namespace quillane {

// What the three menus share: the window's own input, the panel that opened them, and their end
// with the scene they edit.
class cl_SceneElementMenu : public base::cl_Panel {
 public:
  // listener: the panel that opened the menu (not owned); it closes the menu before it goes.
  explicit cl_SceneElementMenu(base::cl_Window* listener) : m_listener(listener) {}
  // Closes the menu once the scene it was opened on is no longer edited.
  void Update(float dt) override;
  bool ProcessInput(base::ICMD& cmd) override { return cl_Window::ProcessInput(cmd); }
  base::cl_Window* GetListener() const { return m_listener; }

 private:
  base::cl_Window* m_listener;
  cl_EditedSceneWatch m_watch;
};

class cl_HeavenMenu : public cl_SceneElementMenu {
 public:
  static constexpr const char* kLabel = "HeavenEditor";
  explicit cl_HeavenMenu(base::cl_Window* listener);  // loads kLabel

  // False when the scene has no sky layer of that label and ordinal (the n-th of the label, from
  // 0); else the controls show its scroll.
  bool Setup(const char* label, int ordinal = 0);
  // "Ok": scroll flag and speed into the layer and "scroll", "scroll_step"; saved. Always false.
  bool ProcessEvent(const base::Variant& event) override;

 private:
  base::tString<base::BaseString> m_label;
  int m_ordinal = 0;
};

class cl_LayerMenu : public cl_SceneElementMenu {
 public:
  static constexpr const char* kLabel = "LayerEditor";
  explicit cl_LayerMenu(base::cl_Window* listener);  // loads kLabel

  // Copies the element and remembers its group and ordinal among the elements of its label;
  // "UseBackgroundPixel" shows its flag. True.
  bool Setup(const base::Variant& element, const char* group, int ordinal = 0);
  // "Ok": the copy with the new flag goes to the listener as "UpdateElement". False.
  bool ProcessEvent(const base::Variant& event) override;

 private:
  base::Variant m_element;
  base::tString<base::BaseString> m_group;
  int m_ordinal = 0;
};

class cl_TextureStripMenu : public cl_SceneElementMenu {
 public:
  static constexpr const char* kLabel = "TextureStripEditor";
  static constexpr int kMaxLodLevel = 2;  // the highest level of detail of the scene layers
  explicit cl_TextureStripMenu(base::cl_Window* listener);  // loads kLabel

  // False when no stage layer of that label and ordinal holds a strip; else the controls show
  // the strip.
  bool Setup(const char* label, int ordinal = 0);
  // "Ok": the settings into the strip, the layer and the description entry; saved. Always false.
  bool ProcessEvent(const base::Variant& event) override;

 private:
  base::tString<base::BaseString> m_label;
  int m_ordinal = 0;
};

}  // namespace quillane
