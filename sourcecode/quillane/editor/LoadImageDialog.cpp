// The file and image browser: the preview, the answers of each mode and the hand-offs to the crop
// and light tools.
#include "quillane/editor/LoadImageDialog.h"

#include <utility>

#include "base/FileTools.h"
#include "base/file/FileFinder.h"
#include "base/gui/GUIEdit.h"
#include "base/system.h"
#include "quillane/editor/CropTool.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/PlaceLightTool.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

constexpr int kShownNameLength = 24;

bool Is(const char* text, const char* word) { return text && base::str::compare(text, word) == 0; }

// The tools an answer is handed to take the screen: the listener stays hidden until they end.
template <class T>
void HandOffTo(base::cl_Window* listener, const base::Variant& answer) {
  base::cl_GUI* gui = GetEditorGUI();
  if (!gui) {
    if (listener) listener->Show(true);
    return;
  }
  gui->AddModalWindow(T::Create(listener, answer));
}

// The first child element of answer labelled label, made when there is none.
base::Variant& ChildElement(base::Variant& answer, const char* label) {
  if (!answer.is_element()) answer.set_element("AddElement");
  for (int i = 0; i < answer.size(); ++i)
    if (answer[i].is_element() && Is(answer[i].get_label(), label)) return answer[i];
  return answer.add_element(label);
}

// Appends a "String" for every entry of listing of that kind ("File" or "Folder").
void AppendEntries(base::Variant& list, const base::Variant& listing, const char* kind, const char* suffix) {
  for (int i = 0; i < listing.size(); ++i) {
    base::tString<base::BaseString> name;
    if (!Is(listing[i].get_label(), kind) || !listing[i].get_attribute_string("name", name)) continue;
    if (name.empty() || name == "." || name == ".." || name == ".svn") continue;
    name += suffix;
    base::AddStringEntry(list, name.c_str());
  }
}

}  // namespace

// ---- the pictures of a scene folder

void FillImageFileList(base::Variant& list, const base::tString<base::BaseString>& folder) {
  list.set_element("List");
  for (const char* pattern : {"*.bmp", "*.tga"}) {
    base::Variant listing;
    base::ListDirectory(listing, folder, base::tString<base::BaseString>(pattern), false);
    AppendEntries(list, listing, "File", "");
  }
}

void FillStageFileList(base::Variant& list, const base::tString<base::BaseString>& folder) {
  FillImageFileList(list, folder);
  base::tString<base::BaseString> strips = folder;
  strips += "TextureStrips";
  base::Variant listing;
  base::ListDirectory(listing, strips, base::tString<base::BaseString>("*.*"), false);
  AppendEntries(list, listing, "Folder", ".tst");
}

// ---- the dialog

base::tString<base::BaseString> ShortenForDisplay(const base::tString<base::BaseString>& text, int maxLength) {
  if (text.size() < maxLength || text.size() <= 2) return text;
  base::tString<base::BaseString> shown = text.left(maxLength - 2 > 0 ? maxLength - 2 : 0);
  shown += "..";
  return shown;
}

cl_LoadImageDialog* cl_LoadImageDialog::Open(base::cl_Window* listener, base::tString<base::BaseString> mode,
                                             base::Variant options) {
  auto* dialog = new cl_LoadImageDialog(listener);
  dialog->m_mode = std::move(mode);
  dialog->m_answer = std::move(options);
  return dialog;
}

cl_LoadImageDialog::cl_LoadImageDialog(base::cl_Window* listener) : m_listener(listener) {
  LoadFromFile("GUI.xml", "ImageLoad");
  SetPreview(base::tString<base::BaseString>(kDefaultPreview), 1);
}

// ---- the preview

void cl_LoadImageDialog::LoadPreviewImage(const base::tString<base::BaseString>& path, int flag) {
  // A file that cannot be read must not leave the last picture's size behind.
  if (!m_preview.Load(path.c_str(), flag != 0)) m_preview.CreateFromBitmap(nullptr, 0, 0, 0, 0, false, true);
}

void cl_LoadImageDialog::SetPreview(const base::tString<base::BaseString>& path, int flag) {
  m_previewPath = path;
  const base::cl_Window* show = FindByLabel("ShowPreview");
  if (show && show->m_Value.get_int() == 1) LoadPreviewImage(path, flag);
  if (base::cl_Window* preview = FindByLabel("Preview")) {
    base::Variant image;
    image.set_element("SetImage");
    image.attribute("ptr")->set_pointer(m_preview.GetWidth() > 0 ? &m_preview : nullptr);
    preview->ProcessEvent(image);
  }
  if (base::cl_Window* file = FindByLabel("File")) file->m_Value.set_string(ShortenForDisplay(m_selected, kShownNameLength).c_str());
  // As text: the skin's text control shows string values only.
  for (const auto& [control, size] : {std::pair{"Width", m_preview.GetWidth()}, {"Height", m_preview.GetHeight()}})
    if (base::cl_Window* field = FindByLabel(control)) {
      base::tString<base::BaseString> text;
      text.print("%d", size);
      field->m_Value.set_string(text.c_str());
    }
  if (base::cl_Window* label = FindByLabel("label")) label->m_Value.set_string(base::StripExtension(m_selected).c_str());
}

// ---- events

bool cl_LoadImageDialog::ProcessEvent(const base::Variant& event) {
  const char* name = event.get_label();
  if (Is(name, "SelectionChanged")) {
    ChooseSelected();
    return true;
  }
  if (!Is(name, "ButtonPressed")) return true;
  base::tString<base::BaseString> button;
  event.get_attribute_string("ctrl_label", button);
  if (button == "Ok") {
    Accept();
  } else if (button == "Cancel") {
    // A listener the light-type dialog hid for this browser would otherwise stay hidden.
    if (m_listener && m_listener->HasFlag(base::WF_HIDDEN)) m_listener->Show(true);
    Close();
  }
  return true;
}

void cl_LoadImageDialog::ChooseSelected() {
  base::cl_Window* files = FindByLabel("FileNames");
  if (!files) return;
  base::tWindowList chosen;
  files->CollectSelected(chosen);
  if (chosen.empty() || chosen.front()->m_Label.empty()) return;
  m_selected = chosen.front()->m_Label;
  const base::tString<base::BaseString> extension = base::GetFileExtension(m_selected);
  base::tString<base::BaseString> path;
  if (const cl_Scene* scene = cl_Editor::GetEditedScene()) {
    path = scene->GetScenePath();
    if (extension == "tst") {
      // A strip is previewed by its first frame.
      const base::tString<base::BaseString> strip = base::StripExtension(m_selected);
      path += "/TextureStrips/";
      path += strip;
      path += "/";
      path += strip;
      path += "_0.tga";
    } else {
      path += m_selected;
    }
  } else if (extension == "tga") {
    base::tString<base::BaseString> folder;
    files->m_Value.get_attribute_string("path", folder);
    path = folder;
    path += m_selected;
  }
  SetPreview(path, 1);
}

base::tString<base::BaseString> cl_LoadImageDialog::FieldText(const char* control) {
  const base::cl_Window* field = FindByLabel(control);
  const char* text = field ? field->m_Value.get_string() : nullptr;
  return base::tString<base::BaseString>(text);
}

void cl_LoadImageDialog::Answer(base::Variant& answer) {
  if (m_listener) m_listener->ProcessEvent(answer);
}

void cl_LoadImageDialog::Accept() {
  const bool xml = m_mode == "MinigameLoadXML" || m_mode == "MinigameSaveXML";
  // "Ok" before a file is chosen is no answer: a level editor would take the bare folder for its
  // background, level or song.
  if (m_selected.empty() && (xml || m_mode == "MinigameImage" || m_mode == "SelectFolder")) return;
  // Closed before the answer goes out: the listener may open the next dialog in its place.
  Close();
  base::Variant answer;
  if (m_mode == "Lights") {
    base::Variant& light = ChildElement(m_answer, "Light");
    light.attribute("file")->set_string(m_selected.c_str());
    base::tString<base::BaseString> type;
    light.get_attribute_string("type", type);
    if (type == "ambient") {
      Answer(m_answer);
      if (m_listener) m_listener->Show(true);
    } else {
      if (m_listener) m_listener->Show(false);
      HandOffTo<cl_PlaceLightTool>(m_listener, m_answer);
    }
    return;
  }
  if (m_mode == "MinigameImage") {
    answer.set_element("SelectImage");
    answer.attribute("file")->set_string(m_selected.c_str());
    Answer(answer);
    return;
  }
  if (xml || m_mode == "SelectFolder") {
    answer.set_element(xml ? "SelectXML" : "SelectFolder");
    answer.attribute("file")->set_string(m_selected.c_str());
    answer.attribute("category")->set_string(m_mode.c_str());
    Answer(answer);
    return;
  }
  answer.set_element("AddElement");
  if (base::GetFileExtension(m_selected) == "tst") {
    answer.attribute("category")->set_string("TextureStrip");
    base::Variant& layer = answer.add_element("Layer");
    for (const char* zero : {"x", "y", "w", "h", "ysort"}) layer.attribute(zero)->set_int(0);
    layer.attribute("label")->set_string(FieldText("label").c_str());
    layer.attribute("file")->set_string(m_selected.c_str());
    Answer(answer);
    return;
  }
  answer.attribute("category")->set_string(m_mode.c_str());
  // "w" and "h" are the picture's size, also when previews are switched off.
  if (m_preview.GetWidth() == 0) LoadPreviewImage(m_previewPath, 1);
  base::Variant& layer = answer.add_element("Layer");
  layer.attribute("x")->set_int(0);
  layer.attribute("y")->set_int(0);
  layer.attribute("w")->set_int(m_preview.GetWidth());
  layer.attribute("h")->set_int(m_preview.GetHeight());
  layer.attribute("label")->set_string(FieldText("label").c_str());
  layer.attribute("file")->set_string(m_selected.c_str());
  layer.attribute("use_background_pixels")->set_int(0);
  // Without a choice there is nothing to cut: the listener refuses the answer with a word.
  if (m_mode == "HeavenElements" || m_selected.empty()) {
    Answer(answer);
    return;
  }
  if (m_listener) m_listener->Show(false);
  HandOffTo<cl_CropTool>(m_listener, answer);
}

}  // namespace quillane
