// The window tree: structure, geometry, input distribution, event bubbling, focus and selection.
// Child lists are walked by index, so a handler that appends windows during a walk (a panel that
// loads a layout from an event) does not invalidate it.
#include <algorithm>

#include "base/app/ICMD.h"
#include "base/gui/GUI.h"
#include "base/system.h"

namespace base {

cl_Window* g_pFocusWindow = nullptr;
cl_GUI* g_pGUI = nullptr;
int g_CaretPos = -1;
int g_SelectionAnchor = -1;
float g_CaretBlink = 0.0f;

namespace {
// The rest time after which a hovered window's tooltip is due, in seconds.
constexpr float kTooltipDelay = 0.25f;
}  // namespace

cl_Window::cl_Window() = default;

cl_Window::~cl_Window() {
  if (g_pFocusWindow == this) g_pFocusWindow = nullptr;
  cl_GUI::ForgetWindow(this);
  // Callers unlink before deleting; a window deleted while still listed would leave its parent
  // holding a dangling pointer, so it unlinks itself.
  if (m_Parent) m_Parent->RemoveChild(this);
  m_Parent = nullptr;
  tWindowList children;
  children.swap(m_Children);
  for (cl_Window* child : children) {
    child->m_Parent = nullptr;  // already off our list: no unlink search
    delete child;
  }
}

// ---- structure

void cl_Window::AddChild(cl_Window* w) {
  if (!w || w == this) return;
  // Listed once only (a window listed twice would be deleted twice): a window that is already a
  // child moves to the end, one of another parent leaves that parent.
  if (w->m_Parent) w->m_Parent->RemoveChild(w);
  m_Children.push_back(w);
  w->m_Parent = this;
}

bool cl_Window::RemoveChild(cl_Window* w) {
  auto it = std::find(m_Children.begin(), m_Children.end(), w);
  if (it == m_Children.end()) return false;
  m_Children.erase(it);
  if (w->m_Parent == this) w->m_Parent = nullptr;
  return true;
}

bool cl_Window::IsChild(const cl_Window* w) const {
  return std::find(m_Children.begin(), m_Children.end(), w) != m_Children.end();
}

cl_Window* cl_Window::FindChild(const char* label) const {
  for (cl_Window* child : m_Children) {
    if (str::compare(child->m_Label, label) == 0) return child;
  }
  return nullptr;
}

void cl_Window::ForEachChild(void (*fn)(cl_Window*, void*, void*), void* a, void* b) {
  for (size_t i = 0; i < m_Children.size(); ++i) fn(m_Children[i], a, b);
}

void cl_Window::ForEachInTree(void (*fn)(cl_Window*, bool), bool on) {
  fn(this, on);
  for (size_t i = 0; i < m_Children.size(); ++i) m_Children[i]->ForEachInTree(fn, on);
}

cl_Window* cl_Window::GetChild(int i) const {
  if (i < 0 || i >= static_cast<int>(m_Children.size())) return nullptr;
  return m_Children[static_cast<size_t>(i)];
}

cl_Window* cl_Window::FindByLabel(const char* label) {
  if (str::compare(m_Label, label) == 0) return this;
  for (size_t i = 0; i < m_Children.size(); ++i) {
    if (cl_Window* found = m_Children[i]->FindByLabel(label)) return found;
  }
  return nullptr;
}

cl_Window* cl_Window::GetOwnerEdit() { return m_Parent ? m_Parent->GetOwnerEdit() : nullptr; }
cl_GUI* cl_Window::GetGUI() { return m_Parent ? m_Parent->GetGUI() : g_pGUI; }
cl_Panel* cl_Window::GetPanel() { return m_Parent ? m_Parent->GetPanel() : nullptr; }

void cl_Window::Show(bool visible) { SetFlag(WF_HIDDEN, !visible); }

void cl_Window::Activate() {}

void cl_Window::Close() {
  if (cl_GUI* gui = GetGUI()) gui->CloseWindow(this);
}

// ---- focus

void cl_Window::SetFocus() {
  g_pFocusWindow = this;
  g_CaretPos = -1;
  g_SelectionAnchor = -1;
}

bool cl_Window::HasFocus() const {
  for (const cl_Window* w = g_pFocusWindow; w; w = w->m_Parent) {
    if (w == this) return true;
  }
  return false;
}

cl_Window* GetTypingFocus() {
  if (!g_pFocusWindow || !g_pFocusWindow->GetOwnerEdit()) return nullptr;
  // A closed panel keeps the focus of its field; hidden or disabled, the field takes no keys.
  for (const cl_Window* w = g_pFocusWindow; w; w = w->m_Parent) {
    if (w->HasFlag(WF_HIDDEN) || w->HasFlag(WF_DISABLED)) return nullptr;
  }
  return g_pFocusWindow;
}

// ---- geometry and drawing

void cl_Window::UpdateRect(float px, float py) {
  m_AbsRect.left = m_Rect.x + px;
  m_AbsRect.top = m_Rect.y + py;
  m_AbsRect.right = m_AbsRect.left + m_Rect.w;
  m_AbsRect.bottom = m_AbsRect.top + m_Rect.h;
}

void cl_Window::RenderChildren(float px, float py) {
  const float ox = m_Rect.x + px;
  const float oy = m_Rect.y + py;
  for (size_t i = 0; i < m_Children.size(); ++i) {
    cl_Window* child = m_Children[i];
    if (!child->HasFlag(WF_HIDDEN)) child->Render(ox, oy);
  }
}

void cl_Window::Render(float px, float py) {
  if (HasFlag(WF_HIDDEN)) return;
  UpdateRect(px, py);
  RenderChildren(px, py);
}

st_ScreenRect cl_Window::GetBoundingRect() const {
  st_ScreenRect r = m_AbsRect;
  for (const cl_Window* child : m_Children) {
    if (child->HasFlag(WF_HIDDEN)) continue;
    const st_ScreenRect c = child->GetBoundingRect();
    r.left = std::min(r.left, c.left);
    r.top = std::min(r.top, c.top);
    r.right = std::max(r.right, c.right);
    r.bottom = std::max(r.bottom, c.bottom);
  }
  return r;
}

void cl_Window::Update(float dt) {
  if (m_Hovered && sys::GetMouseRestingTime() > kTooltipDelay) m_TooltipDue = true;
  for (size_t i = 0; i < m_Children.size(); ++i) m_Children[i]->Update(dt);
}

void KeepInside(cl_Window& w, float width, float height) {
  float right = w.m_Rect.w, bottom = w.m_Rect.h;
  for (const cl_Window* child : w.m_Children) {
    if (child->HasFlag(WF_HIDDEN)) continue;
    right = std::max(right, child->m_Rect.x + child->m_Rect.w);
    bottom = std::max(bottom, child->m_Rect.y + child->m_Rect.h);
  }
  w.m_Rect.x = std::max(0.0f, std::min(w.m_Rect.x, width - right));
  w.m_Rect.y = std::max(0.0f, std::min(w.m_Rect.y, height - bottom));
}

// ---- input and events

bool cl_Window::HitTest(const ICMD& cmd) {
  const float x = static_cast<float>(cmd.mouseX);
  const float y = static_cast<float>(cmd.mouseY);
  return m_AbsRect.left <= x && x < m_AbsRect.right && m_AbsRect.top <= y && y < m_AbsRect.bottom;
}

bool cl_Window::ProcessInput(ICMD& cmd) {
  if (cmd.type == ICMD::MOUSE_MOVE) m_Hovered = HitTest(cmd);
  return ProcessInputChildren(cmd);
}

bool cl_Window::ProcessInputChildren(ICMD& cmd) {
  for (size_t i = 0; i < m_Children.size(); ++i) {
    cl_Window* child = m_Children[i];
    if (child->HasFlag(WF_DISABLED | WF_HIDDEN)) continue;
    if (child->ProcessInput(cmd)) return true;
  }
  return false;
}

bool cl_Window::ProcessEvent(const Variant& event) { return m_Parent ? m_Parent->ProcessEvent(event) : true; }

// ---- selection and value

void cl_Window::GetSelectedChildren(tWindowList& out) {
  for (cl_Window* child : m_Children) child->CollectSelected(out);
}

void cl_Window::CollectSelected(tWindowList& out) {
  if (HasFlag(WF_SELECTED)) out.push_back(this);
  for (cl_Window* child : m_Children) child->CollectSelected(out);
}

tString<BaseString> cl_Window::GetSelectedLabel() {
  tWindowList selected;
  CollectSelected(selected);
  return selected.empty() ? tString<BaseString>() : selected.front()->m_Label;
}

void cl_Window::ClearSelection() {
  SetFlag(WF_SELECTED, false);
  for (cl_Window* child : m_Children) child->ClearSelection();
}

void cl_Window::Select(const tString<BaseString>& label, bool on) {
  if (str::compare(m_Label, label) == 0) SetFlag(WF_SELECTED, on);
  for (cl_Window* child : m_Children) child->Select(label, on);
}

void cl_Window::GetValue(Variant& out) { out.set_nil(); }

}  // namespace base
