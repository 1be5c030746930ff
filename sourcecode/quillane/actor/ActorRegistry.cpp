#include "quillane/actor/ActorRegistry.h"

#include <set>

#include "base/FileTools.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "quillane/actor/WalkSpeed.h"

namespace quillane {

namespace {

cl_ActorRegistry*& Published() {
  static cl_ActorRegistry* registry = nullptr;
  return registry;
}

bool ForceActorLoad() {
  const base::Variant* devTools = base::sys::GetConfig().get_element("DevTools");
  int force = 0;
  return devTools && devTools->get_attribute_int("ForceActorLoad", force) && force != 0;
}

}  // namespace

cl_ActorRegistry* GetActorRegistry() { return Published(); }

cl_ActorRegistry::~cl_ActorRegistry() {
  ForEach(&cl_ActorDesc::Release);
  for (auto& entry : m_actors) delete entry.second;
  m_actors.clear();
  list.clear();
  if (Published() == this) Published() = nullptr;
}

bool cl_ActorRegistry::LoadActorList(const char* path) {
  Published() = this;
  LoadWalkSpeedCurves("characters/walkspeed.xml");
  auto fresh = std::make_unique<base::StaticVariant>();
  if (!base::xml::read_file(*fresh, path)) return false;  // the reader logged why
  // Records made from an earlier list keep their iterators into it, so it stays alive.
  if (list.get_size() > 0) {
    auto old = std::make_unique<base::StaticVariant>();
    *old = std::move(list);
    m_oldLists.push_back(std::move(old));
  }
  list = std::move(*fresh);
  std::set<base::tString<base::BaseString>> listed;  // a repeat in this file, not a record known from before
  for (int i = 0; i < list.get_element_cnt(); ++i) {
    const base::StaticVariantIterator child = list.get_element(i);
    if (!child.is_element()) continue;
    auto* desc = new cl_ActorDesc(this, child);
    if (desc->label.empty()) {
      base::sys::Output("Warning: %s: actor %d has no label and is left out\n", path, i);
      delete desc;
      continue;
    }
    // The label names the compiled files, "Characters/<label>.dat": one that leaves the folder
    // would have them written, read and deleted wherever it points.
    if (const char* problem = base::PlainNameProblem(desc->label.c_str())) {
      base::sys::Output("ERROR: %s: the actor label \"%s\" %s; the actor is left out\n", path, desc->label.c_str(),
                        problem);
      delete desc;
      continue;
    }
    if (!listed.insert(desc->label).second) {
      base::sys::Output("Warning: %s: actor %s listed twice; the first is kept\n", path, desc->label.c_str());
      delete desc;
      continue;
    }
    if (!m_actors.emplace(desc->label, desc).second) delete desc;  // the record of an earlier read stays
  }
  if (ForceActorLoad()) ForEach(&cl_ActorDesc::Load);
  return true;
}

cl_ActorDesc* cl_ActorRegistry::FindActor(const char* label) {
  cl_ActorDesc* desc = Find(label);
  if (!desc) {
    base::sys::Output("ERROR: Actor %s not found.\n", label ? label : "");
    return nullptr;
  }
  desc->Load();
  return desc;
}

bool cl_ActorRegistry::IsLoaded(const char* label) {
  const cl_ActorDesc* desc = Find(label);
  if (!desc) {
    base::sys::Output("ERROR: Actor %s not found.\n", label ? label : "");
    return false;
  }
  return desc->IsLoaded();
}

void cl_ActorRegistry::ForEach(void (cl_ActorDesc::*member)()) {
  for (auto& entry : m_actors) (entry.second->*member)();
}

cl_ActorDesc* cl_ActorRegistry::Find(const char* label) const {
  auto it = m_actors.find(base::tString<base::BaseString>(label));
  return it == m_actors.end() ? nullptr : it->second;
}

cl_ActorDesc* cl_ActorRegistry::GetFirst() const { return m_actors.empty() ? nullptr : m_actors.begin()->second; }

bool cl_ActorRegistry::Erase(const char* label) {
  auto it = m_actors.find(base::tString<base::BaseString>(label));
  if (it == m_actors.end()) return false;
  cl_ActorDesc* gone = it->second;
  m_actors.erase(it);
  // Other records may have cached the erased one (or its skeleton) as their parent's.
  for (auto& entry : m_actors) {
    if (entry.second->parentDesc == gone || entry.second->parentSkeleton == gone->skeleton) {
      entry.second->parentDesc = nullptr;
      entry.second->parentSkeleton = nullptr;
    }
  }
  delete gone;
  return true;
}

// ---- loading tasks

cl_LoadCharacterTask::cl_LoadCharacterTask(cl_ActorRegistry* registry, const char* label)
    : m_registry(registry), m_label(label) {
  m_weight = 5.0f;
}

void cl_LoadCharacterTask::Run() {
  if (m_registry) m_registry->FindActor(m_label.c_str());
}

cl_LoadCharacterTask* cl_LoadCharacterTask::Queue(const char* label) {
  return new cl_LoadCharacterTask(GetActorRegistry(), label);
}

void cl_ActorLoadTask::Run() {
  if (cl_ActorRegistry* registry = GetActorRegistry()) registry->FindActor(m_label.c_str());
}

cl_ActorLoadTask* cl_ActorLoadTask::Queue(const char* label) { return new cl_ActorLoadTask(label); }

}  // namespace quillane
