// The edit control's rows: rebuilding them from the value, and the selection they carry.
#include "base/gui/GUIEdit.h"

#include "base/system.h"

namespace base {

namespace {

constexpr float kRowStep = 20;
constexpr float kChildIndent = 24;
constexpr float kListTop = 3;

// The attribute as text (numbers printed, as the XML reader may have turned "1" into a number).
bool AttributeText(const Variant& v, const char* name, tString<BaseString>& out) {
  const Variant* a = v.get_attribute(name);
  if (!a || a->is_void()) return false;
  a->print_to(out);
  return true;
}

bool IsLabelled(const Variant& v, const char* label) {
  const char* l = v.get_label();
  return l && str::compare(l, label) == 0;
}

// Closes every branch below v; false when the value is nested deeper than the edit control shows.
bool CloseBranches(Variant& v, int depth) {
  if (!v.is_element()) return true;
  if (depth >= cl_Edit::kMaxDepth) return false;
  v.attribute("_open")->set_int(0);
  bool whole = true;
  for (int i = 0; i < v.size(); ++i) whole = CloseBranches(v[i], depth + 1) && whole;
  return whole;
}

}  // namespace

void AddStringEntry(Variant& list, const char* text) {
  Variant& entry = list.add_element("String");
  entry.attribute("label")->set_string(text);
  entry.attribute("value")->set_string(text);
}

cl_Edit::cl_Edit() : m_pRowParent(this) {}

cl_Edit::~cl_Edit() = default;

bool cl_Edit::Init(StaticVariantIterator desc) {
  if (desc.get_element_cnt() > 0) {
    desc.copy_to(m_Value);
  } else if (m_Value.is_void()) {
    m_Value.set_string("");
  }
  cl_Window::Init(desc);
  const unsigned char* tag = desc.get_label();
  m_Kind = tag ? reinterpret_cast<const char*>(tag) : "";
  if (m_Kind == "Edit") SetFlag(WF_SELECTABLE, true);
  if (!CloseBranches(m_Value, 0)) {
    sys::Output("Warning: GUI edit '%s': value nested deeper than %d levels, the rest is not shown\n",
                m_Label.c_str(), kMaxDepth);
    m_depthReported = true;
  }
  Rebuild();
  return true;
}

void cl_Edit::Rebuild() {
  float x = 4, y = 2;
  float scrollX = 0, scrollY = 0;
  if (m_pScrollArea && IsChild(m_pScrollArea)) {
    scrollX = m_pScrollArea->m_ScrollX;
    scrollY = m_pScrollArea->m_ScrollY;
  }
  // The rows are about to go: the focus must not point into one of them.
  if (HasFocus()) SetFocus();
  while (!m_Children.empty()) {
    cl_Window* child = m_Children.back();
    RemoveChild(child);
    delete child;
  }
  m_pScrollArea = nullptr;
  m_pRowParent = this;
  if (IsLabelled(m_Value, "List") || IsLabelled(m_Value, "Tree")) {
    m_pScrollArea = dynamic_cast<cl_ScrollArea*>(CreateChild("ScrollArea"));
    if (m_pScrollArea) {
      m_pScrollArea->Init(StaticVariantIterator());
      if (m_pScrollArea->m_pClient) m_pRowParent = m_pScrollArea->m_pClient;
      m_pScrollArea->m_Rect.w = m_Rect.w;
      m_pScrollArea->m_Rect.h = m_Rect.h;
    }
  }
  BuildRows(m_pRowParent, m_Value, x, y);
  if (g_pFocusWindow == this && !m_Value.is_element() && !m_Children.empty()) {
    m_Children.front()->SetFocus();
    // A proposed text is selected whole: typing replaces it, an arrow key keeps it.
    const char* text = m_Value.get_string();
    g_CaretPos = text ? str::len(text) : 0;
    g_SelectionAnchor = 0;
  }
  if (m_pScrollArea) {
    m_pScrollArea->m_ContentW = m_pScrollArea->m_ContentH = 0;
    m_pScrollArea->m_ScrollX = scrollX;
    m_pScrollArea->m_ScrollY = scrollY;
  }
  SetFlag(WF_REBUILD, false);
}

void cl_Edit::BuildRows(cl_Window* parent, Variant& v, float& x, float& y, int depth) {
  if (depth >= kMaxDepth) {
    if (!m_depthReported) {
      sys::Output("Warning: GUI edit '%s': value nested deeper than %d levels, the rest is not shown\n",
                  m_Label.c_str(), kMaxDepth);
      m_depthReported = true;
    }
    return;
  }
  if (!v.is_element()) {
    auto* row = dynamic_cast<cl_StringCtrl*>(parent->CreateChild("StringCtrl"));
    if (!row) return;
    row->m_pBound = &m_Value;
    row->m_Rect.x = x;
    row->m_Rect.y = y;
    SetFlag(WF_SELECTABLE, false);
    row->SetFlag(WF_EDITABLE, true);
    return;
  }
  if (IsLabelled(v, "String")) {
    auto* row = dynamic_cast<cl_StringCtrl*>(parent->CreateChild("StringCtrl"));
    if (!row) return;
    row->m_pBound = v.attribute("value");
    AttributeText(v, "label", row->m_Label);
    row->m_Rect.x = x;
    row->m_Rect.y = y;
    y += kRowStep;
    int selected = 0;
    if (v.get_attribute_int("selected", selected) && selected != 0) {
      row->SetFlag(WF_SELECTED, !row->HasFlag(WF_SELECTED));
      row->NotifySelectionChanged();
    }
    return;
  }
  if (IsLabelled(v, "List")) {
    SetFlag(WF_SELECTABLE, true);
    float ox = 4, oy = kListTop;
    for (int i = 0; i < v.size(); ++i) BuildRows(parent, v[i], ox, oy, depth + 1);
    parent->m_Rect.h = oy;
    return;
  }
  if (IsLabelled(v, "Tree")) {
    SetFlag(WF_SELECTABLE, true);
    auto* branch = dynamic_cast<cl_TreeCtrl*>(parent->CreateChild("TreeCtrl"));
    if (!branch) return;
    branch->m_pBound = &v;
    AttributeText(v, "label", branch->m_Label);
    if (!v.get_attribute("_open")) v.attribute("_open")->set_int(0);
    branch->m_Rect.x = x;
    branch->m_Rect.y = y;
    branch->Init(StaticVariantIterator());
    if (branch->m_pToggle) branch->m_pToggle->Show(v.size() > 0);
    float ox = kChildIndent, oy = kRowStep;
    if (v.size() > 0 && branch->IsOpen()) {
      for (int i = 0; i < v.size(); ++i) BuildRows(branch, v[i], ox, oy, depth + 1);
    }
    branch->m_AbsRect = branch->GetBoundingRect();
    branch->m_Rect.h = oy;
    y += oy;
  }
}

void cl_Edit::Render(float px, float py) {
  if (HasFlag(WF_REBUILD)) Rebuild();
  if (HasFlag(WF_HIDDEN)) return;
  UpdateRect(px, py);
  RenderChildren(px, py);
}

void cl_Edit::GetValue(Variant& out) {
  out.set_element("Selection");
  // Someone may have closed the scroll area: the rows then went with it.
  if (m_pScrollArea && !IsChild(m_pScrollArea)) {
    m_pScrollArea = nullptr;
    m_pRowParent = this;
  }
  tWindowList selected;
  m_pRowParent->CollectSelected(selected);
  for (cl_Window* w : selected) {
    Variant item;
    item.set_string(w->m_Label.c_str());
    out.push_back(item);
  }
}

}  // namespace base
