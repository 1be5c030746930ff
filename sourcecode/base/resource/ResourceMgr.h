// base::cl_ResourceMgr: the resource types by name and the loading of resource lists
// ("resources.xml", "game_resources.xml", ...). A list names single resources (the tag is the
// type name), archives (built from their definition when the archive file is missing) and
// resource groups, which are loaded from a binary cache file built from the group's description
// the first time, and rebuilt whenever the cache no longer matches it. Lists load at once or one
// element per loading task. One manager per process; main thread only.
#pragma once

#include <map>

#include "base/Ref.h"
#include "base/resource/Resource.h"
#include "base/data/StaticVariant.h"
#include "base/TaskScheduler.h"

namespace base {

class i_ResourceMgr {
 public:
  virtual ~i_ResourceMgr() = default;
  // Registers type (counted) under the interned name; an existing registration stays and the new
  // handle is released.
  virtual void AddResourceType(const unsigned char* name, i_ResourceType* type) = 0;
  // Loads every element of the list file. False (logged) when the file cannot be read.
  virtual bool AddResources(const char* file) = 0;
  virtual i_ResourceType* GetResourceType(const unsigned char* name) = 0;  // null when unknown
  // Queues one loading task per element of the list on scheduler. False when unreadable.
  virtual bool LoadResourcesAsTasks(cl_TaskScheduler* scheduler, const char* file) = 0;

  static i_ResourceMgr* Create();  // a new cl_ResourceMgr
};

class cl_ResourceMgr : public i_ResourceMgr {
 public:
  // Registers the default types (see AddDefaultResourceType) and the "Archive" type, and becomes
  // the process-wide manager.
  cl_ResourceMgr();
  ~cl_ResourceMgr() override;  // releases every registration; no longer the manager
  cl_ResourceMgr(const cl_ResourceMgr&) = delete;
  cl_ResourceMgr& operator=(const cl_ResourceMgr&) = delete;

  void AddResourceType(const unsigned char* name, i_ResourceType* type) override;
  bool AddResources(const char* file) override;
  i_ResourceType* GetResourceType(const unsigned char* name) override;
  i_ResourceType* GetResourceType(const char* name);
  bool LoadResourcesAsTasks(cl_TaskScheduler* scheduler, const char* file) override;

  // Loads one element of a list: a "ResourceGroup", an "Archive" or a single resource.
  void LoadEntry(StaticVariantIterator element);
  // Builds the group's cache file from its description (through a temporary file). False when
  // the file cannot be written or a resource fails to initialise; true for a group without
  // children, which writes nothing.
  bool WriteResourceGroup(StaticVariantIterator element);
  // Reads the group's resources from its cache into their pools. False when the cache is missing
  // or does not match the description (changed, truncated, or records that do not line up).
  bool ReadResourceGroup(StaticVariantIterator element);
  bool BuildArchive(StaticVariantIterator element);

  static cl_ResourceMgr* s_pResourceMgr;

 private:
  std::map<const unsigned char*, smart_ptr<i_ResourceType, i_ResourceType*>> m_types;
};

// A task that loads one element of a resource list (weight 1).
class cl_LoadResourceTask : public i_Task {
 public:
  cl_LoadResourceTask(cl_ResourceMgr* mgr, StaticVariantIterator element);
  void Run() override;

 private:
  cl_ResourceMgr* m_mgr;
  StaticVariant m_element;
};

// Types every new manager registers (the mesh and skeleton kinds, whose code lives with the
// meshes): factory is called once per manager. Register before the manager is created.
void AddDefaultResourceType(const char* name, i_ResourceType* (*factory)());

namespace sys {
i_ResourceMgr* GetResourceMgr();                             // the process-wide manager, or null
bool AddResources(const char* file);                         // its AddResources; false without one
bool AddResourceType(const char* name, i_ResourceType* type);  // interns name; false without one
}  // namespace sys

}  // namespace base
