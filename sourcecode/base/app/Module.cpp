// The module tree's walks. Children removed while a walk over the list is running are parked and
// released when the outermost walk ends, so a child may remove itself (or a sibling) from inside
// its own Update, Render or ProcessInput without pulling the list from under the walk.
#include "base/app/Module.h"

#include <cstddef>
#include <utility>

#include "base/app/ICMD.h"

namespace base {

class cl_Module::cl_WalkGuard {
 public:
  explicit cl_WalkGuard(cl_Module& m) : m_module(m) { ++m_module.m_walking; }
  ~cl_WalkGuard() {
    if (--m_module.m_walking == 0 && !m_module.m_removed.empty()) m_module.Compact();
  }
  cl_WalkGuard(const cl_WalkGuard&) = delete;
  cl_WalkGuard& operator=(const cl_WalkGuard&) = delete;

 private:
  cl_Module& m_module;
};

template <class F>
bool cl_Module::ForEachChild(F fn) {
  cl_WalkGuard guard(*this);
  // Indexed: a child appended during the walk is reached in the same walk.
  for (std::size_t i = 0; i < m_children.size(); ++i) {
    cl_Module* child = m_children[i].get();
    if (child && fn(child)) return true;
  }
  return false;
}

cl_Module::cl_Module() = default;

cl_Module::cl_Module(const cl_Module& other)
    : i_Device(other),
      m_children(other.m_children),
      m_started(other.m_started),
      m_active(other.m_active),
      m_name(other.m_name) {}

cl_Module& cl_Module::operator=(const cl_Module& other) {
  if (this != &other) {
    m_children = other.m_children;
    m_started = other.m_started;
    m_active = other.m_active;
    m_name = other.m_name;
  }
  return *this;
}

cl_Module::~cl_Module() {
  // Children die with their parent even when other handles still refer to them; those handles
  // turn null. A child listed twice is found dead the second time.
  for (std::size_t i = 0; i < m_children.size(); ++i) {
    if (cl_Module* child = m_children[i].get()) delete child;
  }
  m_children.clear();
}

bool cl_Module::StartUp() {
  if (m_started) return true;
  bool ok = true;
  ForEachChild([&ok](cl_Module* child) {
    if (!child->StartUp()) ok = false;
    return false;
  });
  m_started = true;
  Enable(true);
  return ok;
}

bool cl_Module::ShutDown() {
  if (!m_started) return true;
  bool ok = true;
  ForEachChild([&ok](cl_Module* child) {
    if (!child->ShutDown()) ok = false;
    return false;
  });
  m_started = false;
  return ok;
}

void cl_Module::Update(float time, float dt) {
  if (!m_active) return;
  ForEachChild([time, dt](cl_Module* child) {
    child->Update(time, dt);
    return false;
  });
}

bool cl_Module::Enable(bool on) {
  if (m_started) m_active = on;
  return m_started;
}

void cl_Module::Render() {
  if (!m_active) return;
  ForEachChild([](cl_Module* child) {
    child->Render();
    return false;
  });
}

bool cl_Module::ProcessInput(ICMD& cmd) {
  if (!m_active) return false;
  return ForEachChild([&cmd](cl_Module* child) { return child->ProcessInput(cmd); });
}

bool cl_Module::ProcessEvent(const Variant&) { return false; }

bool cl_Module::AddModule(cl_Module* m) {
  if (!m) return false;
  m_children.emplace_back(m);
  return true;
}

void cl_Module::RemoveModule(cl_Module* m) {
  if (!m) return;
  std::vector<smart_ptr<cl_Module>> released;
  for (auto& h : m_children) {
    if (h.get() == m) released.push_back(std::move(h));  // h is left null
  }
  if (released.empty()) return;
  if (m_walking > 0) {
    for (auto& h : released) m_removed.push_back(std::move(h));
    return;  // the null entries are skipped by the walk and dropped when it ends
  }
  std::erase_if(m_children, [](const smart_ptr<cl_Module>& h) { return h.GetIndex() == -1; });
  // released goes out of scope here: the last counted handle destroys m.
}

void cl_Module::Compact() {
  std::erase_if(m_children, [](const smart_ptr<cl_Module>& h) { return h.GetIndex() == -1; });
  std::vector<smart_ptr<cl_Module>> removed;
  removed.swap(m_removed);
}

cl_Module* cl_Module::GetModuleByName(const char* name) {
  if (!name || !*name) return nullptr;
  for (auto& h : m_children) {
    cl_Module* child = h.get();
    if (child && !child->m_name.empty() && child->m_name == name) return child;
  }
  return nullptr;
}

void cl_Module::SetName(const char* name) { m_name = name; }

int cl_Module::GetModuleCount() const {
  int n = 0;
  for (const auto& h : m_children) n += h.get() ? 1 : 0;
  return n;
}

// ---- cl_StateHandlerModule

void cl_StateHandlerModule::AddState(const char* name, cl_Module* m) {
  if (!m) return;
  AddModule(m);
  m->SetName(name);
}

bool cl_StateHandlerModule::SetState(const char* name) {
  cl_Module* m = GetModuleByName(name);
  m_state = weak_ptr<cl_Module>(m);
  return m != nullptr;
}

cl_Module* cl_StateHandlerModule::GetState() const { return m_state.get(); }

// The guard keeps a state that ends itself (EndSession from inside the session) alive until its
// call has returned.
void cl_StateHandlerModule::Update(float time, float dt) {
  cl_WalkGuard guard(*this);
  if (cl_Module* state = m_state.get()) state->Update(time, dt);
}

void cl_StateHandlerModule::Render() {
  cl_WalkGuard guard(*this);
  if (cl_Module* state = m_state.get()) state->Render();
}

bool cl_StateHandlerModule::ProcessInput(ICMD& cmd) {
  cl_WalkGuard guard(*this);
  cl_Module* state = m_state.get();
  return state ? state->ProcessInput(cmd) : false;
}

}  // namespace base
