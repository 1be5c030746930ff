// The values "GuiSelfTest" shows in its edit controls. Layouts cannot give an edit control a list
// or a tree (a description with sub-elements becomes a value named by its own tag), so the GUI
// tests and the skin tests fill them in code, as game code does.
#pragma once

#include "base/gui/GUI.h"
#include "base/data/Variant.h"

namespace testsupport {

// An entry "String" whose row is labelled label and shows value.
inline base::Variant& AddEntry(base::Variant& list, const char* label, const char* value) {
  base::Variant& entry = list.add_element("String");
  entry.attribute("label")->set_string(label);
  entry.attribute("value")->set_string(value);
  return entry;
}

// "Rows" and "Picks" get lists of labelled rows, "Places" a tree; each edit control rebuilds at
// its next render.
inline void FillSelfTestEdits(base::cl_Window* root) {
  struct st_List {
    const char* edit;
    const char* labels[8];
    const char* values[8];
  } lists[] = {
      {"Rows",
       {"Row0", "Row1", "Row2", "Row3", "Row4", "Row5", "Row6", "Row7"},
       {"Harbour office", "Quay", "Ferry deck", "Pump house", "Telephone junction", "Ticket kiosk", "Pier end",
        "Night train"}},
      {"Picks", {"Pick0", "Pick1", "Pick2"}, {"Ledger", "Code book", "Telegram"}},
  };
  for (const st_List& l : lists) {
    base::cl_Window* edit = root->FindByLabel(l.edit);
    if (!edit) continue;
    edit->m_Value.set_element("List");
    for (int i = 0; i < 8 && l.labels[i]; ++i) AddEntry(edit->m_Value, l.labels[i], l.values[i]);
    edit->SetFlag(base::WF_SELECTABLE | base::WF_REBUILD, true);
  }
  if (base::cl_Window* places = root->FindByLabel("Places")) {
    base::Variant& tree = places->m_Value;
    tree.set_element("Tree");
    tree.attribute("label")->set_string("Town");
    tree.attribute("value")->set_string("Town");
    tree.attribute("_open")->set_int(1);
    AddEntry(tree, "Station", "Station");
    base::Variant& harbour = tree.add_element("Tree");
    harbour.attribute("label")->set_string("Harbour");
    harbour.attribute("value")->set_string("Harbour");
    harbour.attribute("_open")->set_int(1);
    AddEntry(harbour, "Quay", "Quay");
    AddEntry(harbour, "Lighthouse", "Lighthouse");
    AddEntry(tree, "Chapel", "Chapel");
    places->SetFlag(base::WF_SELECTABLE | base::WF_REBUILD, true);
  }
}

}  // namespace testsupport
