// The new-character and set-up dialogs, and the set-up dialog's load and save of its character.
#include "quillane/editor/SetupCharacterDialog.h"

#include <string>

#include "base/FileTools.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/file/FileFinder.h"
#include "base/gui/GUIEdit.h"
#include "base/system.h"
#include "quillane/editor/CharacterList.h"
#include "quillane/editor/CharacterViewer.h"
#include "quillane/editor/EditorStatus.h"

namespace quillane {

namespace {

using tText = base::tString<base::BaseString>;

constexpr const char* kEditLists[] = {"MeshList", "SkeletonList", "MaterialList", "CategoryList", "Materials",
                                      "Textures"};

tText Attribute(const base::Variant& v, const char* name) {
  tText text;
  v.get_attribute_string(name, text);
  return text;
}

tText PressedButton(const base::Variant& event) {
  const char* tag = event.get_label();
  if (!tag || tText(tag) != "ButtonPressed") return tText();
  return Attribute(event, "ctrl_label");
}

// The bare file name in lower case.
tText BareLower(const tText& path) { return base::StripPath(path.replace("\\", "/")).lower(); }

base::Variant* MeshOf(base::Variant& character) { return character.get_element("Mesh"); }

// The text after the last '.', "" without one.
tText Extension(const tText& name) {
  const int dot = name.find_last('.');
  return dot < 0 ? tText() : name.mid(dot + 1);
}

void DisableRow(base::cl_Window* w, bool enable) { w->SetFlag(base::WF_DISABLED, !enable); }

}  // namespace

// ---- cl_NewCharacter

cl_NewCharacter::cl_NewCharacter(cl_CharacterViewer* owner) : m_owner(owner) {
  LoadFromFile("GUI.xml", "NewCharacter");
}

bool cl_NewCharacter::ProcessEvent(const base::Variant& event) {
  const tText button = PressedButton(event);
  if (button == "Ok") {
    base::Variant answer;
    answer.set_element("AddCharacter");
    base::cl_Window* names = FindByLabel("CharacterNames");
    answer.attribute("name")->set_string(names ? names->GetSelectedLabel().c_str() : "");
    if (m_owner) m_owner->ProcessEvent(answer);
    Close();
  } else if (button == "Cancel") {
    Close();
  }
  return true;
}

// ---- cl_SetupCharacterDialog: the character

cl_SetupCharacterDialog::cl_SetupCharacterDialog(cl_CharacterViewer* owner) : m_owner(owner) {
  LoadFromFile("GUI.xml", "SetupCharacter");
}

void cl_SetupCharacterDialog::LoadCharacter() {
  base::Variant list;
  if (!base::xml::read_file(list, kCharacterListFile)) return;
  const base::Variant* found = base::variant_find_element_by_attribute_value(list, "label", m_name.c_str());
  if (!found) {
    m_character.set_element("Character");
    m_character.attribute("label")->set_string(m_name.c_str());
    m_character.attribute("animations")->set_string("male");
    m_character.add_element("Mesh");
    m_character.add_element("Skeleton");
    m_category = "male";
    m_materialFile.clear();
    m_meshFile.clear();
    m_skeletonFile.clear();
    return;
  }
  m_character = *found;
  m_materialFile.clear();
  if (const base::Variant* mesh = m_character.get_element("Mesh")) {
    if (mesh->get_attribute("file")) m_meshFile = Attribute(*mesh, "file");
    m_meshFile = BareLower(m_meshFile);
    if (mesh->get_attribute("material_file")) m_materialFile = BareLower(Attribute(*mesh, "material_file"));
  }
  if (const base::Variant* skeleton = m_character.get_element("Skeleton"))
    if (skeleton->get_attribute("file")) m_skeletonFile = BareLower(Attribute(*skeleton, "file"));
  m_category = "male";
  if (m_character.get_attribute("animations")) m_category = Attribute(m_character, "animations");
}

void cl_SetupCharacterDialog::SaveCharacter() {
  base::cl_ErrorCatcher errors;
  if (m_name.empty()) {
    base::sys::Output("ERROR: %s: a character without a name is not imported\n", kCharacterListFile);
    ShowFailure(errors, kCharacterListFile);
    return;
  }
  base::Variant list;
  if (!base::xml::read_file(list, kCharacterListFile)) {
    ShowFailure(errors, (std::string(kCharacterListFile) + ": cannot be read; the character is not imported").c_str());
    return;
  }
  // A copy either way: the dialog stays open and later selections still edit this element.
  if (base::Variant* found = base::variant_find_element_by_attribute_value(list, "label", m_name.c_str())) {
    *found = m_character;
  } else {
    base::variant_append_variant(list, m_character);
  }
  base::variant_sort_by_attribute(list, "label");
  if (WriteCharacterList(list)) {
    if (m_owner) m_owner->ShowSavedCharacter(m_name);
    ShowEditorStatus(std::string("Imported ") + m_name.c_str() + " into " + kCharacterListFile, false);
  } else {
    ShowFailure(errors, (std::string(kCharacterListFile) + ": could not be written").c_str());
  }
}

// ---- cl_SetupCharacterDialog: the lists

base::cl_Window* cl_SetupCharacterDialog::List(const char* label) {
  base::cl_Window* w = FindByLabel(label);
  if (!w) base::sys::Output("GUI: %s does not exist\n", label);
  return w;
}

void cl_SetupCharacterDialog::AddListEntry(base::tString<base::BaseString> list, base::tString<base::BaseString> text) {
  if (base::cl_Window* w = List(list.c_str())) base::AddStringEntry(w->m_Value, text.c_str());
}

void cl_SetupCharacterDialog::SelectListEntry(const char* list, const char* entry) {
  base::cl_Window* w = List(list);
  if (!w) return;
  w->ClearSelection();
  w->Select(entry, true);
}

void cl_SetupCharacterDialog::ShowMaterials() {
  if (base::Variant* mesh = MeshOf(m_character)) {
    for (int i = 0; i < mesh->size(); ++i) {
      const base::Variant& material = (*mesh)[i];
      const char* tag = material.get_label();
      if (!tag || tText(tag) != "Material" || !material.get_attribute("label") || !material.get_attribute("texture"))
        continue;
      tText text = Attribute(material, "label");
      if (text.size() > kMaxShownLabel) text = text.left(kMaxShownLabel - 3) + "...";
      int alpha = 0;
      if (material.get_attribute_int("alpha", alpha) && alpha == 1) text += ", alpha";
      text += " (";
      text += Attribute(material, "texture");
      text += ")";
      AddListEntry("Materials", text);
    }
  }
  for (int i = 0; i < m_character.size(); ++i) {
    const base::Variant& texture = m_character[i];
    const char* tag = texture.get_label();
    if (!tag || tText(tag) != "Texture" || !texture.get_attribute("label") || !texture.get_attribute("file")) continue;
    AddListEntry("Textures", Attribute(texture, "label") + " (\"" + Attribute(texture, "file").c_str() + "\")");
  }
}

void cl_SetupCharacterDialog::UpdateLists() {
  m_folder = "characters/" + m_name;
  if (base::cl_Window* actor = List("actor")) actor->m_Text = "Actor: " + m_name;

  base::Variant listing;
  base::ListDirectory(listing, m_folder, "*.*", false);
  for (const char* label : kEditLists)
    if (base::cl_Window* w = List(label)) w->m_Value.set_element("List");

  tText meshCandidate, skeletonCandidate, materialCandidate;
  for (int i = 0; i < listing.size(); ++i) {
    if (!listing[i].get_attribute("name")) continue;
    const tText n = Attribute(listing[i], "name").lower();
    const tText e = Extension(n);
    if (e == "xml" && n.find("skeleton") >= 0) {
      AddListEntry("SkeletonList", n);
      skeletonCandidate = n;
    } else if (e == "xml" && n.find("mesh") >= 0) {
      AddListEntry("MeshList", n);
      meshCandidate = n;
    } else if (e == "txt" && n.find("material") >= 0) {
      AddListEntry("MaterialList", n);
      materialCandidate = n;
    }
  }
  AddListEntry("CategoryList", "male");
  AddListEntry("CategoryList", "female");

  if (m_materialFile.empty()) {
    m_materialFile = materialCandidate;
    cl_CharacterViewer::ImportMaterialScript(m_character, m_folder + "/" + m_materialFile.c_str(), m_folder);
  }
  ShowMaterials();

  for (const char* label : kEditLists)
    if (auto* edit = dynamic_cast<base::cl_Edit*>(List(label))) edit->Rebuild();
  for (const char* label : {"Materials", "Textures"})
    if (auto* edit = dynamic_cast<base::cl_Edit*>(List(label)))
      for (base::cl_Window* row : edit->m_pRowParent->m_Children) row->ForEachInTree(DisableRow, false);

  if (m_meshFile.empty()) m_meshFile = meshCandidate;
  if (m_skeletonFile.empty()) m_skeletonFile = skeletonCandidate;
  SelectListEntry("MeshList", m_meshFile.c_str());
  SelectListEntry("SkeletonList", m_skeletonFile.c_str());
  base::Variant* mesh = base::variant_find_or_add_element(m_character, "Mesh");
  base::Variant* skeleton = base::variant_find_or_add_element(m_character, "Skeleton");
  if (!m_materialFile.empty()) {
    SelectListEntry("MaterialList", m_materialFile.c_str());
    mesh->attribute("material_file")->set_string((m_folder + "/" + m_materialFile.c_str()).c_str());
  }
  SelectListEntry("CategoryList", m_category.c_str());
  mesh->attribute("file")->set_string((m_folder + "/" + m_meshFile.c_str()).c_str());
  skeleton->attribute("file")->set_string((m_folder + "/" + m_skeletonFile.c_str()).c_str());
}

bool cl_SetupCharacterDialog::ProcessEvent(const base::Variant& event) {
  const char* tag = event.get_label();
  if (!tag) return false;
  if (tText(tag) == "SelectionChanged" && event.get_attribute("ctrl_label") && event.get_attribute("element_label")) {
    const tText list = Attribute(event, "ctrl_label");
    const tText entry = Attribute(event, "element_label");
    if (list == "MeshList") {
      m_meshFile = entry;
      UpdateLists();
    } else if (list == "SkeletonList") {
      m_skeletonFile = entry;
      UpdateLists();
    } else if (list == "MaterialList") {
      m_materialFile = entry;
      base::variant_find_or_add_element(m_character, "Mesh")->attribute("material_file")->set_string(entry.c_str());
      cl_CharacterViewer::ImportMaterialScript(m_character, m_folder + "/" + entry.c_str(), m_folder);
      UpdateLists();
    } else if (list == "CategoryList") {
      // The choice offered is the one imported: dropped, "female" came back as "male".
      m_category = entry;
      m_character.attribute("animations")->set_string(entry.c_str());
    }
    return true;
  }
  if (PressedButton(event) == "Import") SaveCharacter();
  return false;
}

}  // namespace quillane
