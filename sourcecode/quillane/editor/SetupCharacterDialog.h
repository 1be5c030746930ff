// The character viewer's dialogs for the actor list: cl_NewCharacter (layout "NewCharacter") picks
// the folder of a character to set up and answers the viewer with "AddCharacter" {name};
// cl_SetupCharacterDialog (layout "SetupCharacter") puts a character together from the mesh,
// skeleton and material script in "characters/<name>/" and writes it into the list on "Import".
// Both are modal windows of the GUI.
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"

namespace quillane {

class cl_CharacterViewer;

class cl_NewCharacter : public base::cl_Panel {
 public:
  explicit cl_NewCharacter(cl_CharacterViewer* owner);  // loads "NewCharacter"
  // "Ok" sends the owner "AddCharacter" {name = the selected entry of "CharacterNames", "" for
  // none}, then closes; "Cancel" closes. Every event is consumed.
  bool ProcessEvent(const base::Variant& event) override;

  cl_CharacterViewer* m_owner;
};

class cl_SetupCharacterDialog : public base::cl_Panel {
 public:
  static constexpr int kMaxShownLabel = 36;  // longer material labels are cut to 33 and "..."

  explicit cl_SetupCharacterDialog(cl_CharacterViewer* owner);  // loads "SetupCharacter"

  // m_character and the file names from the list entry labelled m_name; a new element when the
  // list has none. Nothing when the list cannot be read.
  void LoadCharacter();
  // m_character into the list (replacing the first entry of its label, else appended), sorted
  // by label, written crash-safe; the owner then shows it. An empty name is refused with a log
  // line.
  void SaveCharacter();
  // The six lists from a fresh listing of the folder; the chosen files into m_character.
  void UpdateLists();
  // Selections of files rebuild the lists, a category becomes "animations"; "Import" saves. False
  // for buttons and other events.
  bool ProcessEvent(const base::Variant& event) override;

  void AddListEntry(base::tString<base::BaseString> list, base::tString<base::BaseString> text);
  // Selects the entry in the list; "GUI: <list> does not exist" when the layout lacks it.
  void SelectListEntry(const char* list, const char* entry);

  cl_CharacterViewer* m_owner;
  base::tString<base::BaseString> m_name;
  base::tString<base::BaseString> m_folder;
  base::Variant m_character;
  base::tString<base::BaseString> m_materialFile;
  base::tString<base::BaseString> m_meshFile;
  base::tString<base::BaseString> m_skeletonFile;
  base::tString<base::BaseString> m_category;

 private:
  base::cl_Window* List(const char* label);  // logs when missing
  void ShowMaterials();
};

}  // namespace quillane
