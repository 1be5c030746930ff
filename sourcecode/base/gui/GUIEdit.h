// The edit control: shows and edits the Variant in its m_Value. A plain value becomes one editable
// line; a "List" element a column of selectable string rows; a "Tree" element collapsible branches
// of rows. The rows are windows rebuilt from the value whenever its structure changes (WF_REBUILD).
#pragma once

#include "base/gui/GUIComposite.h"

namespace base {

// Appends the element "String" with "label" and "value" both text: how code fills a "List".
void AddStringEntry(Variant& list, const char* text);

class cl_Edit : public cl_Window {
 public:
  // Values nested deeper are cut there (one log line), as the XML reader cuts files.
  static constexpr int kMaxDepth = 256;

  cl_Edit();
  ~cl_Edit() override;
  cl_Window* GetOwnerEdit() override { return this; }
  void Render(float px, float py) override;  // rebuilds first when WF_REBUILD is set
  // A description with sub-elements becomes the value; every branch starts closed. Always true.
  bool Init(StaticVariantIterator desc) override;
  // The element "Selection" with the labels of the selected rows as strings, in row order.
  void GetValue(Variant& out) override;

  // Deletes and recreates every row from m_Value. The focus moves onto the control (or onto a
  // single text line, its text selected) and the scroll position is kept.
  void Rebuild();
  // The rows of v under parent from pos on; pos.y advances by the rows a "String" or "Tree" adds.
  void BuildRows(cl_Window* parent, Variant& v, float& x, float& y, int depth = 0);

  tString<BaseString> m_Kind;             // the tag of the description
  cl_ScrollArea* m_pScrollArea = nullptr;  // a child for lists and trees; null for a plain value
  cl_Window* m_pRowParent;                 // the scroll area's client, or this control

 private:
  bool m_depthReported = false;  // the cut of a too deep value is logged once
};

}  // namespace base
