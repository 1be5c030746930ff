// The light type dialog.
#include "quillane/editor/SelectLightTypeDialog.h"

#include "base/data/Variant.h"
#include "base/gui/GUIEdit.h"
#include "base/system.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/LoadImageDialog.h"
#include "quillane/editor/PlaceLightTool.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

// The four types in list order: what the row shows, the light's "type" (also its "label"),
// whether it is a shadow (placed at once) rather than a light with a picture, and its colour. A
// light lights in its colour where no picture gives one: a new light's must show a character (a
// light grey all round, and the warm light the game gives a scene without lights).
struct st_LightType {
  const char* text;
  const char* type;
  bool shadow;
  int red, green, blue;
};
constexpr st_LightType kLightTypes[] = {{"ambient light", "ambient", false, 128, 128, 128},
                                        {"directional light", "directional", false, 180, 160, 160},
                                        {"directional shadow", "projectionshadow", true, 100, 100, 100},
                                        {"blobb shadow", "blobbshadow", true, 100, 100, 100}};

bool Is(const char* text, const char* word) { return text && base::str::compare(text, word) == 0; }

}  // namespace

cl_SelectLightTypeDialog* cl_SelectLightTypeDialog::Open(base::cl_Window* opener, const char* proposedType) {
  return new cl_SelectLightTypeDialog(opener, proposedType);
}

cl_SelectLightTypeDialog::cl_SelectLightTypeDialog(base::cl_Window* opener, const char* proposedType)
    : m_opener(opener) {
  LoadFromFile("GUI.xml", "SelectLightType");
  base::Variant list;
  list.set_element("List");
  for (const st_LightType& type : kLightTypes) base::AddStringEntry(list, type.text);
  m_selectedType = Is(proposedType, "ambient") ? "ambient light" : "directional light";
  base::cl_Window* control = FindByLabel("LightTypeList");
  if (!control) return;
  control->m_Value.cut(list);
  control->SetFlag(base::WF_REBUILD | base::WF_SELECTABLE, true);
  // The rows must exist now for the preselection to mark one.
  if (auto* edit = dynamic_cast<base::cl_Edit*>(control)) edit->Rebuild();
  control->Select(m_selectedType, true);
}

bool cl_SelectLightTypeDialog::ProcessEvent(const base::Variant& event) {
  const char* name = event.get_label();
  if (Is(name, "SelectionChanged")) {
    base::cl_Window* control = FindByLabel("LightTypeList");
    if (control) m_selectedType = control->GetSelectedLabel();
    return true;
  }
  base::tString<base::BaseString> button;
  if (!Is(name, "ButtonPressed") || !event.get_attribute_string("ctrl_label", button)) return true;
  if (button == "Ok") {
    Accept();
  } else if (button == "Cancel") {
    Close();
  }
  return true;
}

void cl_SelectLightTypeDialog::Accept() {
  const st_LightType* chosen = nullptr;
  for (const st_LightType& type : kLightTypes)
    if (m_selectedType == type.text) chosen = &type;
  base::cl_GUI* gui = GetGUI();
  if (!chosen || !gui) return;
  base::Variant event;
  event.set_element("AddElement");
  event.attribute("category")->set_string("Lights");
  base::Variant& light = event.add_element("Light");
  light.attribute("type")->set_string(chosen->type);
  light.attribute("label")->set_string(chosen->type);
  light.attribute("color_r")->set_int(chosen->red);
  light.attribute("color_g")->set_int(chosen->green);
  light.attribute("color_b")->set_int(chosen->blue);
  light.attribute("color_a")->set_int(255);
  if (chosen->shadow) {
    if (m_opener) m_opener->Show(false);
    gui->AddModalWindow(cl_PlaceLightTool::Open(m_opener, event));
  } else {
    cl_LoadImageDialog* browser = cl_LoadImageDialog::Open(m_opener, "Lights", event);
    if (base::cl_Window* files = browser->FindByLabel("FileNames")) {
      const cl_Scene* scene = cl_Editor::GetEditedScene();
      FillImageFileList(files->m_Value, scene ? scene->GetScenePath() : base::tString<base::BaseString>());
      files->SetFlag(base::WF_REBUILD | base::WF_SELECTABLE, true);
    }
    if (m_opener) m_opener->Show(false);
    gui->AddModalWindow(browser);
  }
  Close();
}

}  // namespace quillane
