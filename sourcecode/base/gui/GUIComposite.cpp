// Title bar dragging, sheet and menu layout, menu folder hovering and the tree control's parts.
#include "base/gui/GUIComposite.h"

#include <algorithm>

#include "base/app/ICMD.h"
#include "base/text/Vocable.h"

namespace base {

namespace {
constexpr float kFrameTop = 20;     // a sheet's frame starts below the title bar's place
constexpr float kSheetMargin = 16;  // room a sheet's frame leaves right of and below its contents
constexpr int kMinMenuWidth = 80;
constexpr float kMaxMenuExtent = 1 << 24;
constexpr float kTreeRowIndent = 16;  // a branch's row starts right of its toggle

// A caption given as text: a number or an empty attribute makes no title bar.
bool HasStringAttribute(StaticVariantIterator desc, const char* key) {
  return desc.is_element() && desc.get_attribute(key).is_string();
}
}  // namespace

// ---- cl_TitleBar

cl_TitleBar::~cl_TitleBar() = default;

bool cl_TitleBar::Init(StaticVariantIterator desc) {
  int closeButton = 0;
  desc.get_attribute_int(vocable::find_or_add("close_button"), closeButton);
  cl_Window::Init(desc);
  m_pCloseButton = closeButton == 1 ? CreateChild("CloseButton") : nullptr;
  return true;
}

bool cl_TitleBar::ProcessInput(ICMD& cmd) {
  if (m_pCloseButton && !IsChild(m_pCloseButton)) m_pCloseButton = nullptr;
  if (ProcessInputChildren(cmd)) return true;
  if (ProcessDrag(cmd)) {
    if (m_Parent) {
      m_Parent->m_Rect.x += m_DragX;
      m_Parent->m_Rect.y += m_DragY;
    }
    m_DragX = m_DragY = 0;
  } else if (cmd.type == ICMD::LEFT_UP && HitTest(cmd)) {
    Variant event;
    event.set_element(m_Text.c_str());
    ProcessEvent(event);
  }
  return false;
}

// ---- cl_Sheet

cl_Sheet::~cl_Sheet() = default;

bool cl_Sheet::Init(StaticVariantIterator desc) {
  cl_Window::Init(desc);
  if (!desc.is_element()) return false;
  m_pFrame = CreateChild("Frame");
  if (m_pFrame) m_pFrame->m_Rect = {0, kFrameTop, 0, 0};
  if (HasStringAttribute(desc, "text")) {
    m_pTitleBar = CreateChild("TitleBar");
    if (m_pTitleBar) {
      m_pTitleBar->Init(desc);
      m_pTitleBar->m_Label = "TitleBar";
      m_pTitleBar->m_Rect.x = m_pTitleBar->m_Rect.y = 0;
    }
  }
  if (!m_pFrame) return true;
  const int count = desc.get_element_cnt();
  for (int i = 0; i < count; ++i) m_pFrame->CreateFromDescription(desc.get_element(i));
  float right = 0, bottom = 0;
  for (const cl_Window* child : m_pFrame->m_Children) {
    if (child->m_Rect.x + child->m_Rect.w > right) right = child->m_Rect.x + child->m_Rect.w;
    if (child->m_Rect.y + child->m_Rect.h > bottom) bottom = child->m_Rect.y + child->m_Rect.h;
  }
  m_pFrame->m_Rect.w = right + kSheetMargin;
  m_pFrame->m_Rect.h = bottom + kSheetMargin;
  m_Rect.w = m_pFrame->m_Rect.x + m_pFrame->m_Rect.w;
  m_Rect.h = m_pFrame->m_Rect.y + m_pFrame->m_Rect.h;
  return true;
}

void cl_Sheet::Render(float px, float py) {
  if (HasFlag(WF_HIDDEN)) return;
  // A handler may have closed a part: forget what is no longer a child.
  if (m_pFrame && !IsChild(m_pFrame)) m_pFrame = nullptr;
  if (m_pTitleBar && !IsChild(m_pTitleBar)) m_pTitleBar = nullptr;
  if (m_pTitleBar) m_pTitleBar->m_Rect.w = m_Rect.w;
  if (m_pFrame) {
    m_pFrame->m_Rect.w = m_Rect.w - m_pFrame->m_Rect.x;
    m_pFrame->m_Rect.h = m_Rect.h - m_pFrame->m_Rect.y;
  }
  UpdateRect(px, py);
  RenderChildren(px, py);
}

// ---- cl_Menu

cl_Menu::~cl_Menu() = default;

bool cl_Menu::Init(StaticVariantIterator desc) {
  cl_Window::Init(desc);
  if (!desc.is_element()) return false;
  if (HasStringAttribute(desc, "text")) {
    if (cl_Window* bar = CreateChild("TitleBar")) bar->Init(desc);
  }
  const int count = desc.get_element_cnt();
  for (int i = 0; i < count; ++i) CreateFromDescription(desc.get_element(i));
  int y = 0;
  int widest = 0;
  for (cl_Window* child : m_Children) {
    child->m_Rect.y = static_cast<float>(y);
    // Sizes come from layout files; keep the running sum inside int range whatever they say.
    const float bottom = std::clamp(child->m_Rect.h + static_cast<float>(y), 0.0f, kMaxMenuExtent);
    y = static_cast<int>(bottom);
    const int w = static_cast<int>(std::clamp(child->m_Rect.w, 0.0f, kMaxMenuExtent));
    if (w > widest) widest = w;
  }
  widest &= ~1;
  if (widest <= kMinMenuWidth) widest = kMinMenuWidth;
  for (cl_Window* child : m_Children) child->m_Rect.w = static_cast<float>(widest);
  m_Rect.w = static_cast<float>(widest);
  m_Rect.h = static_cast<float>(y);
  m_Flags = WF_POPUP;
  return true;
}

// ---- cl_MenuFolder

cl_MenuFolder::~cl_MenuFolder() = default;

bool cl_MenuFolder::Init(StaticVariantIterator desc) {
  ReadDescriptionText(desc, "text", m_Text);
  if (cl_Window* menu = CreateChild("Menu")) {
    menu->Init(desc);
    menu->Show(false);
  }
  return true;
}

bool cl_MenuFolder::ProcessInput(ICMD& cmd) {
  cl_Window* menu = GetChild(0);
  if (menu) {
    if (HitTest(cmd)) {
      menu->Show(true);
    } else if (!menu->HitTest(cmd)) {
      menu->Show(false);
    }
  }
  return ProcessInputChildren(cmd);
}

// ---- cl_TreeCtrl

cl_TreeCtrl::cl_TreeCtrl() : m_pBound(&m_Value) {}

cl_TreeCtrl::~cl_TreeCtrl() = default;

bool cl_TreeCtrl::Init(StaticVariantIterator) {
  m_pToggle = CreateChild("TreeToggle");
  m_pString = CreateChild("StringCtrl");
  if (m_pString) {
    m_pString->m_Rect.x = kTreeRowIndent;
    m_pString->m_Rect.y = 0;
    m_pString->m_Label = m_Label;
    Variant* value = m_pBound->attribute("value");
    if (auto* row = dynamic_cast<cl_StringCtrl*>(m_pString); row && value) {
      row->m_pBound = value;
      tString<BaseString> label;
      if (value->get_attribute_string("label", label)) row->m_Label = label;
    }
  }
  if (auto* toggle = dynamic_cast<cl_TreeToggle*>(m_pToggle)) {
    if (Variant* open = m_pBound->attribute("_open")) toggle->m_pState = open;
  }
  return true;
}

void cl_TreeCtrl::Render(float px, float py) {
  if (HasFlag(WF_HIDDEN)) return;
  cl_Window::Render(px, py);
  // A part closed by input is gone from the children by now: forget it rather than measure it.
  bool toggleKept = false, stringKept = false;
  float right = 0;
  for (int i = 0; i < GetChildCount(); ++i) {
    const cl_Window* child = GetChild(i);
    if (child != m_pToggle && child != m_pString) continue;
    (child == m_pToggle ? toggleKept : stringKept) = true;
    if (!child->HasFlag(WF_HIDDEN)) right = std::max(right, child->m_Rect.x + child->m_Rect.w);
  }
  if (!toggleKept) m_pToggle = nullptr;
  if (!stringKept) m_pString = nullptr;
  m_Rect.w = right;
  UpdateRect(px, py);
}

bool cl_TreeCtrl::IsOpen() {
  const Variant* open = m_pBound->attribute("_open");
  return open && open->is_int() && open->get_int() == 1;
}

}  // namespace base
