// The actor registry: one cl_ActorDesc per element of the actor list "characters/characters.xml",
// keyed by label, loaded on first demand; and the loading-screen tasks that load actors ahead of
// a scene. One registry lives at a time (the game frame's), published for the game's code through
// GetActorRegistry. Main thread only.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "base/data/StaticVariant.h"
#include "base/String.h"
#include "base/TaskScheduler.h"
#include "quillane/actor/ActorDesc.h"

namespace quillane {

class cl_ActorRegistry {
 public:
  using ActorMap = std::map<base::tString<base::BaseString>, cl_ActorDesc*>;  // engine string order

  cl_ActorRegistry() = default;
  // Releases and deletes every record; unpublishes itself.
  ~cl_ActorRegistry();
  cl_ActorRegistry(const cl_ActorRegistry&) = delete;
  cl_ActorRegistry& operator=(const cl_ActorRegistry&) = delete;

  // Publishes the registry, loads the walk-speed curves, parses the list and makes one record
  // per element not yet known; a label that cannot name a file of its own (a folder separator,
  // "..", dots only) is left out with an "ERROR:" line. With "DevTools/ForceActorLoad" non-zero
  // loads them all. False when the list cannot be read (no records are made then).
  bool LoadActorList(const char* path);
  // The loaded record, or null with "ERROR: Actor %s not found.".
  cl_ActorDesc* FindActor(const char* label);
  // The record's loaded flag; an unknown label logs as FindActor and gives false.
  bool IsLoaded(const char* label);
  // Calls member on every record in label order.
  void ForEach(void (cl_ActorDesc::*member)());
  void ReleaseAll() { ForEach(&cl_ActorDesc::Release); }
  void ExportAllCharacters() { ForEach(&cl_ActorDesc::Load); }

  // ---- the map, for the character viewer
  cl_ActorDesc* Find(const char* label) const;  // without loading; null when absent
  cl_ActorDesc* GetFirst() const;               // first in label order; null when empty
  bool Erase(const char* label);                // deletes the record; false when absent
  const ActorMap& GetActors() const { return m_actors; }
  const base::StaticVariant& GetList() const { return list; }  // the list last read, in file order

 private:
  ActorMap m_actors;  // owned records
  base::StaticVariant list;
  // Lists read before the current one: records made from them keep iterators into them.
  std::vector<std::unique_ptr<base::StaticVariant>> m_oldLists;
};

// The published registry; null before LoadActorList and after the registry is gone.
cl_ActorRegistry* GetActorRegistry();

// Start-up work of the game frame: loads one resident actor (weight 5).
class cl_LoadCharacterTask : public base::i_Task {
 public:
  cl_LoadCharacterTask(cl_ActorRegistry* registry, const char* label);
  void Run() override;
  // A task for the published registry; the caller hands it to a scheduler.
  static cl_LoadCharacterTask* Queue(const char* label);

 private:
  cl_ActorRegistry* m_registry;
  base::tString<base::BaseString> m_label;
};

// Loads one actor ahead of a scene for the script bindings (weight 1).
class cl_ActorLoadTask : public base::i_Task {
 public:
  explicit cl_ActorLoadTask(const char* label) : m_label(label) {}
  void Run() override;
  static cl_ActorLoadTask* Queue(const char* label);

 private:
  base::tString<base::BaseString> m_label;
};

}  // namespace quillane
