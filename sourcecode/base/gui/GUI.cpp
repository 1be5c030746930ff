// The GUI root: input routing with the modal list, the deferred deletion of closed windows, the
// caret blink, and the panel that ends an event's way up the tree.
#include "base/gui/GUI.h"

#include <algorithm>
#include <cmath>

#include "base/app/ICMD.h"

namespace base {

namespace {

// Every GUI root alive (the game keeps two), so a window's destructor can leave their lists.
std::vector<cl_GUI*>& LiveRoots() {
  static std::vector<cl_GUI*> roots;
  return roots;
}

template <class T>
void Erase(std::vector<T*>& list, const T* w) {
  list.erase(std::remove(list.begin(), list.end(), w), list.end());
}

}  // namespace

// ---- cl_Panel

cl_Panel::~cl_Panel() = default;

bool cl_Panel::ProcessEvent(const Variant&) { return true; }

// ---- cl_GUI

cl_GUI::cl_GUI() { LiveRoots().push_back(this); }

cl_GUI::~cl_GUI() {
  Erase<cl_GUI>(LiveRoots(), this);
  m_ModalWindows.clear();
  m_CloseQueue.clear();
  if (g_pGUI == this) g_pGUI = nullptr;
}

void cl_GUI::ForgetWindow(cl_Window* w) {
  for (cl_GUI* gui : LiveRoots()) {
    if (!gui->m_CloseQueue.empty()) Erase<cl_Window>(gui->m_CloseQueue, w);
    if (!gui->m_ModalWindows.empty()) Erase<cl_Window>(gui->m_ModalWindows, w);
  }
}

cl_Window* cl_GUI::CreateWindow(const tString<BaseString>& name) { return m_Factory.Create(name); }

void cl_GUI::AddModalWindow(cl_Window* w) {
  if (!w || w == this) return;
  Erase<cl_Window>(m_ModalWindows, w);
  m_ModalWindows.insert(m_ModalWindows.begin(), w);
  AddChild(w);
}

void cl_GUI::CloseWindow(cl_Window* w) {
  if (!w) return;
  // One entry per window: a window closed by its button and again by its panel's handler is
  // deleted once.
  if (std::find(m_CloseQueue.begin(), m_CloseQueue.end(), w) == m_CloseQueue.end()) m_CloseQueue.push_back(w);
  Erase<cl_Window>(m_ModalWindows, w);
}

void cl_GUI::RemoveChildrenIf(bool (cl_Window::*pred)() const) {
  tWindowList doomed;
  for (cl_Window* child : m_Children) {
    if ((child->*pred)()) doomed.push_back(child);
  }
  for (cl_Window* w : doomed) {
    RemoveChild(w);
    delete w;
  }
}

bool cl_GUI::DeleteFromTree(cl_Window* root, cl_Window* w, bool recurse) {
  if (!root || !w) return false;
  if (root->RemoveChild(w)) {
    delete w;
    return true;
  }
  if (!recurse) return false;
  for (size_t i = 0; i < root->m_Children.size(); ++i) {
    if (DeleteFromTree(root->m_Children[i], w, true)) return true;
  }
  return false;
}

bool cl_GUI::ProcessInput(ICMD& cmd) {
  if (!m_ModalWindows.empty()) {
    m_ModalWindows.front()->ProcessInput(cmd);
    return true;
  }
  if (cmd.type == ICMD::RIGHT_DOWN) RemoveChildrenIf(&cl_Window::IsAutoClose);
  return ProcessInputTopFirst(cmd);
}

bool cl_GUI::ProcessInputTopFirst(ICMD& cmd) {
  // Top-level windows overlap: the one drawn last lies on top, so it is asked first. Walked by
  // index, as a handler may append windows (those wait for the next command). A closed window
  // still waiting for its deletion takes nothing more.
  for (size_t n = m_Children.size(); n > 0; --n) {
    if (n > m_Children.size()) continue;
    cl_Window* child = m_Children[n - 1];
    if (child->HasFlag(WF_DISABLED | WF_HIDDEN)) continue;
    if (std::find(m_CloseQueue.begin(), m_CloseQueue.end(), child) != m_CloseQueue.end()) continue;
    if (child->ProcessInput(cmd)) return true;
  }
  return false;
}

void cl_GUI::Update(float dt) {
  cl_Window::Update(dt);
  // In float throughout: fmodf is exact, so the phase cannot round up to 1.
  float phase = std::fmod(g_CaretBlink + dt, 1.0f);
  if (phase < 0.0f) phase += 1.0f;
  if (!(phase >= 0.0f && phase < 1.0f)) phase = 0.0f;  // NaN, or a negative phase rounded to 1
  g_CaretBlink = phase;
}

void cl_GUI::Render(float px, float py) {
  while (!m_CloseQueue.empty()) {
    cl_Window* w = m_CloseQueue.front();
    m_CloseQueue.erase(m_CloseQueue.begin());
    if (!DeleteFromTree(this, w, false)) {
      for (size_t i = 0; i < m_Children.size(); ++i) {
        if (DeleteFromTree(m_Children[i], w, true)) break;
      }
    }
  }
  if (HasFlag(WF_HIDDEN)) return;
  UpdateRect(px, py);
  RenderChildren(px, py);
}

}  // namespace base
