// The scene manager panel and its new-scene dialog.
#include "quillane/editor/SceneManager.h"

#include <string>

#include "base/data/Variant.h"
#include "base/file/FileFinder.h"
#include "base/system.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/SceneEditorPanel.h"
#include "quillane/editor/SceneList.h"
#include "quillane/scene/Scene.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

constexpr const char* kScenesFolder = "Scenes";

// The event's "ctrl_label" when it is a "ButtonPressed"; empty otherwise.
base::tString<base::BaseString> PressedButton(const base::Variant& event) {
  base::tString<base::BaseString> button;
  const char* name = event.get_label();
  if (name && base::str::compare(name, "ButtonPressed") == 0) event.get_attribute_string("ctrl_label", button);
  return button;
}

// The row selected in the panel's scene list; empty without one. An empty selection is named on
// the status line for the button pressed: pressed without a row, the button would do nothing.
base::tString<base::BaseString> SelectedScene(base::cl_Window& panel, const char* button) {
  base::tString<base::BaseString> name;
  if (base::cl_Window* list = panel.FindByLabel("SceneList")) name = list->GetSelectedLabel();
  if (name.empty())
    ShowEditorStatus(std::string("No scene is selected: select one in the list, then \"") + button + "\"", true);
  return name;
}

// Shows list in the edit control labelled control, as selectable rows built at the next render.
void ShowList(base::cl_Window& panel, const char* control, base::Variant& list) {
  base::cl_Window* edit = panel.FindByLabel(control);
  if (!edit) return;
  edit->m_Value.cut(list);
  edit->SetFlag(base::WF_REBUILD | base::WF_SELECTABLE, true);
}

}  // namespace

// ---- the manager

bool cl_SceneManagerPanel::Init(base::StaticVariantIterator) {
  m_Label = kLabel;
  LoadFromFile("GUI.xml", kLabel);
  FillSceneList();
  return true;
}

void cl_SceneManagerPanel::FillSceneList() {
  base::Variant entries;
  FillSceneEntries(cl_Editor::GetSceneList(), entries);
  ShowList(*this, "SceneList", entries);
  if (base::cl_Window* lazy = FindByLabel("LazyCompile")) lazy->m_Value.set_int(Editor_LazyCompile ? 1 : 0);
}

bool cl_SceneManagerPanel::ProcessEvent(const base::Variant& event) {
  const base::tString<base::BaseString> button = PressedButton(event);
  const char* name = event.get_label();
  if (button == "Add") {
    OfferNewScenes();
  } else if (button == "Remove") {
    const base::tString<base::BaseString> scene = SelectedScene(*this, "Remove");
    if (cl_Editor* editor = cl_Editor::GetEditor(); editor && !scene.empty()) {
      RemoveScene(editor->GetSceneList(), scene.c_str());
      editor->SaveSceneList();
    }
    FillSceneList();
  } else if (button == "Edit") {
    EditSelected();
  } else if (name && base::str::compare(name, "NewScene") == 0) {
    AddNewScene(event);
  }
  return false;
}

void cl_SceneManagerPanel::OfferNewScenes() {
  base::Variant folders;
  base::ListDirectory(folders, kScenesFolder, "*.*", false);
  base::Variant entries;
  FillNewSceneEntries(folders, cl_Editor::GetSceneList(), entries);
  auto* dialog = new cl_NewScene(this);
  ShowList(*dialog, "SceneNames", entries);
  if (base::cl_GUI* gui = GetGUI()) {
    gui->AddModalWindow(dialog);
  } else {
    delete dialog;
  }
}

void cl_SceneManagerPanel::EditSelected() {
  const base::cl_Window* lazy = FindByLabel("LazyCompile");
  Editor_LazyCompile = lazy && lazy->m_Value.is_number() && lazy->m_Value.get_int() == 1;
  cl_Editor* editor = cl_Editor::GetEditor();
  const base::tString<base::BaseString> scene = SelectedScene(*this, "Edit");
  if (!editor || scene.empty() || !editor->OpenScene(scene)) return;
  base::cl_GUI* gui = GetGUI();
  Close();
  if (!gui) return;
  // An older panel closes itself: its scene is gone.
  base::cl_Window* panel = cl_SceneEditorPanel::Create();
  gui->AddChild(panel);
  panel->Init(base::StaticVariantIterator());
}

void cl_SceneManagerPanel::AddNewScene(const base::Variant& answer) {
  base::tString<base::BaseString> name;
  answer.get_attribute_string("name", name);
  cl_Editor* editor = cl_Editor::GetEditor();
  // "Ok" with nothing chosen: a scene without a name has no folder to open or export.
  if (name.empty()) {
    base::sys::Output("Warning: Editor: no scene was chosen; the list is unchanged\n");
    ShowEditorStatus("New scene: no scene was chosen; the list is unchanged", true);
    return;
  }
  if (!editor) return;
  AddScene(editor->GetSceneList(), name.c_str());
  editor->SaveSceneList();
  FillSceneList();
}

// ---- the new-scene dialog

cl_NewScene::cl_NewScene(base::cl_Window* listener) : m_listener(listener) { LoadFromFile("GUI.xml", "NewScene"); }

bool cl_NewScene::ProcessEvent(const base::Variant& event) {
  const base::tString<base::BaseString> button = PressedButton(event);
  if (button == "Ok") {
    base::Variant answer;
    answer.set_element("NewScene");
    base::cl_Window* names = FindByLabel("SceneNames");
    answer.attribute("name")->set_string(names ? names->GetSelectedLabel().c_str() : "");
    Close();
    if (m_listener) m_listener->ProcessEvent(answer);
  } else if (button == "Cancel") {
    Close();
  }
  return true;
}

}  // namespace quillane
