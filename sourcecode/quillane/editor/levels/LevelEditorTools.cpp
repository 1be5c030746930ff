// The level editors' shared dialogs, file listing and name check.
#include "quillane/editor/levels/LevelEditorTools.h"

#include <cstring>

#include "base/FileTools.h"
#include "base/file/FileFinder.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "quillane/editor/DialogBox.h"
#include "quillane/editor/EnterLabelDialog.h"
#include "quillane/editor/LoadImageDialog.h"

namespace quillane {

namespace {

bool Show(base::cl_Window* listener, base::cl_Window* dialog, float x, float y, bool place) {
  base::cl_GUI* gui = listener ? listener->GetGUI() : nullptr;
  if (!dialog) return false;
  if (!gui) {
    delete dialog;
    return false;
  }
  if (place) {
    dialog->m_Rect.x = x;
    dialog->m_Rect.y = y;
    // The layout's own offset comes on top: near the right or bottom edge it would be cut off.
    base::KeepInside(*dialog, static_cast<float>(base::sys::GetWindowWidth()),
                     static_cast<float>(base::sys::GetWindowHeight()));
  }
  gui->AddModalWindow(dialog);
  return true;
}

}  // namespace

void ListLevelFiles(base::Variant& out, const char* folder, const char* pattern) {
  base::Variant listing;
  base::ListDirectory(listing, folder, pattern, false);
  out.set_element("List");
  for (int i = 0; i < listing.size(); ++i) {
    const base::Variant& entry = listing[i];
    const char* label = entry.get_label();
    base::tString<base::BaseString> name;
    if (!label || std::strcmp(label, "File") != 0 || !entry.get_attribute_string("name", name)) continue;
    base::Variant& row = out.add_element("String");
    row.attribute("value")->set_string(name.c_str());
    row.attribute("label")->set_string(name.c_str());
  }
}

bool OpenNameDialog(base::cl_Window* listener, const char* answer, const char* text, float x, float y) {
  base::Variant element;
  element.set_element(answer);
  return Show(listener, cl_EnterLabelDialog::Open(listener, element, text ? text : ""), x, y, x >= 0.0f);
}

bool OpenFileBrowser(base::cl_Window* listener, const char* mode, const char* folder, const char* pattern,
                     const char* previewPath) {
  base::cl_Window* dialog = cl_LoadImageDialog::Open(listener, mode, base::Variant());
  if (!dialog) return false;
  if (base::cl_Window* files = dialog->FindByLabel("FileNames")) {
    ListLevelFiles(files->m_Value, folder, pattern);
    if (previewPath) files->m_Value.attribute("path")->set_string(previewPath);
    files->SetFlag(base::WF_REBUILD, true);
  }
  if (base::cl_Window* label = dialog->FindByLabel("label")) label->m_Value.set_string("Default");
  return Show(listener, dialog, 0.0f, 0.0f, false);
}

bool OpenQuestion(base::cl_Window* listener, const char* title, const char* text) {
  return Show(listener, cl_DialogBox::Open(listener, title, text, "Yes", "No"), 0.0f, 0.0f, false);
}

bool IsPlainFileName(const char* name, const char* what) {
  const char* problem = base::PlainNameProblem(name);
  if (!problem) return true;
  base::sys::Output("ERROR: %s: the file name \"%s\" %s; nothing written\n", what, name ? name : "", problem);
  return false;
}

}  // namespace quillane
