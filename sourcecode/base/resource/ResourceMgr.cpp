// Resource type registry, resource lists, resource-group caches and archive building.
#include "base/resource/ResourceMgr.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/app/Clock.h"
#include "base/File.h"
#include "base/file/FileArchive.h"
#include "base/FileTools.h"
#include "base/text/Textsystem.h"
#include "base/text/Vocable.h"
#include "base/data/Xml.h"
#include "base/system.h"

namespace base {

cl_ResourceMgr* cl_ResourceMgr::s_pResourceMgr = nullptr;

namespace {

using Factory = i_ResourceType* (*)();

std::vector<std::pair<tString<BaseString>, Factory>>& DefaultTypes() {
  static std::vector<std::pair<tString<BaseString>, Factory>> types;
  return types;
}

const char* Tag(const StaticVariantIterator& it) { return reinterpret_cast<const char*>(it.get_label()); }

tString<BaseString> Attribute(const StaticVariantIterator& it, const char* name) {
  tString<BaseString> s;
  GetAttributeText(it, name, s);
  return s;
}

// The archive file an "Archive" element names, in the language's folder when it is localised.
tString<BaseString> ArchiveFile(const StaticVariantIterator& element) {
  tString<BaseString> file = Attribute(element, "file");
  int localize = 0;
  element.get_attribute_int("localize", localize);
  if (localize == 1) file = cl_FileArchive::LocalizePath(file, sys::GetLanguageString());
  return file;
}

// ---- resource-group cache header
//
// The cache starts with a header of our own so that a cache which no longer matches its
// description is noticed and rebuilt instead of being trusted forever: "QRGC", the hash of the
// description, the record count and the byte count of the records that follow.
constexpr char kCacheMagic[4] = {'Q', 'R', 'G', 'C'};
constexpr int kCacheHeader = 16;

struct Hasher {
  uint32_t h = 2166136261u;
  void bytes(const void* p, int n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (int i = 0; i < n; ++i) h = (h ^ b[i]) * 16777619u;
  }
  void text(const char* s) { bytes(s ? s : "", str::len(s) + 1); }
  void number(int v) { bytes(&v, 4); }
};

void HashNode(Hasher& h, const StaticVariantIterator& node) {
  if (node.is_string()) {
    h.text(node.get_string());
  } else if (node.is_int() || node.is_float()) {
    tString<BaseString> s;
    s.print("%.9g", static_cast<double>(node.get_float()));
    h.text(s.c_str());
  } else if (node.is_element()) {
    h.text(Tag(node));
    h.number(node.get_attribute_cnt());
    for (int i = 0; i < node.get_attribute_cnt(); ++i) {
      h.text(reinterpret_cast<const char*>(node.get_attribute_label(i)));
      HashNode(h, node.get_attribute(i));
    }
    h.number(node.get_element_cnt());
    for (int i = 0; i < node.get_element_cnt(); ++i) HashNode(h, node.get_element(i));
  } else {
    h.number(-1);
  }
}

}  // namespace

void AddDefaultResourceType(const char* name, i_ResourceType* (*factory)()) {
  DefaultTypes().emplace_back(name, factory);
}

i_ResourceMgr* i_ResourceMgr::Create() { return new cl_ResourceMgr; }

// ---- registry

cl_ResourceMgr::cl_ResourceMgr() {
  s_pResourceMgr = this;
  for (const auto& [name, factory] : DefaultTypes()) AddResourceType(vocable::find_or_add(name.c_str()), factory());
  // Lists may declare archives before a platform has registered the kind; the platform's own
  // registration of the same name is then simply dropped.
  AddResourceType(vocable::find_or_add("Archive"), new tResourceType<cl_FileArchive>);
}

cl_ResourceMgr::~cl_ResourceMgr() {
  // Released one by one, so a type's destructor may still look up the registry.
  while (!m_types.empty()) {
    auto handle = std::move(m_types.begin()->second);
    m_types.erase(m_types.begin());
    handle.release();
  }
  if (s_pResourceMgr == this) s_pResourceMgr = nullptr;
}

void cl_ResourceMgr::AddResourceType(const unsigned char* name, i_ResourceType* type) {
  if (!name || !type) return;
  smart_ptr<i_ResourceType, i_ResourceType*> handle(type);
  if (m_types.count(name)) return;  // the first registration stays; the handle destroys type
  m_types.emplace(name, std::move(handle));
}

i_ResourceType* cl_ResourceMgr::GetResourceType(const unsigned char* name) {
  auto it = m_types.find(name);
  return it == m_types.end() ? nullptr : it->second.get();
}

i_ResourceType* cl_ResourceMgr::GetResourceType(const char* name) {
  const unsigned char* v = vocable::find(name);
  return v ? GetResourceType(v) : nullptr;
}

// ---- lists

bool cl_ResourceMgr::AddResources(const char* file) {
  StaticVariant list;
  if (!xml::read_file(list, file) || !list.is_element()) {
    sys::Output("Resource file %s not found.\n", file ? file : "");
    return false;
  }
  for (int i = 0; i < list.get_element_cnt(); ++i) LoadEntry(list.get_element(i));
  return true;
}

bool cl_ResourceMgr::LoadResourcesAsTasks(cl_TaskScheduler* scheduler, const char* file) {
  StaticVariant list;
  if (!scheduler || !xml::read_file(list, file) || !list.is_element()) {
    sys::Output("Resource file %s not found.\n", file ? file : "");
    return false;
  }
  for (int i = 0; i < list.get_element_cnt(); ++i) scheduler->AddTask(new cl_LoadResourceTask(this, list.get_element(i)));
  return true;
}

namespace {

// An archive whose file cannot be built (its build has told why) is filed all the same, reading
// its members from the files it would have packed: what plays from it plays where they are there,
// and it is not named unknown at every read.
void FileLooseArchive(i_ResourceType& type, StaticVariantIterator element, const tString<BaseString>& file) {
  auto* archive = new cl_FileArchive;
  if (!archive->Gather(element)) {
    delete archive;
    return;
  }
  archive->ReadLooseFiles();
  sys::Output("Warning: archive %s is not built; its members are read from their own files (%d found)\n", file.c_str(),
              archive->GetMemberCount());
  type.Adopt(archive->GetLabel().c_str(), archive);
}

}  // namespace

void cl_ResourceMgr::LoadEntry(StaticVariantIterator element) {
  const char* tag = Tag(element);
  if (!tag) return;
  if (str::compare(tag, "ResourceGroup") == 0) {
    const tString<BaseString> file = Attribute(element, "file");
    if (!FileExists(file) && !WriteResourceGroup(element)) return;
    if (ReadResourceGroup(element)) return;
    // A cache that exists but no longer fits its description is rebuilt once.
    if (FileExists(file) && WriteResourceGroup(element) && ReadResourceGroup(element)) return;
    sys::Output("Unabel to load ResourceGroup %s. skipping...\n", file.c_str());
    return;
  }
  if (str::compare(tag, "Archive") == 0) {
    const tString<BaseString> file = ArchiveFile(element);
    i_ResourceType* type = GetResourceType("Archive");
    if (!type) {
      sys::Output("ERROR: archive %s: no resource type \"Archive\" registered\n", file.c_str());
      return;
    }
    if (!FileExists(file) && !BuildArchive(element)) {
      FileLooseArchive(*type, element, file);
      return;
    }
    // An archive is built from loose files: one that is there but does not read (cut short,
    // damaged; the reader has said why) is built anew once, as a resource group's cache that no
    // longer fits is, instead of failing every read from it until the player deletes it.
    if (cl_FileArchive probe; !probe.Init(element)) {
      sys::Output("Warning: archive %s is built anew from its files\n", file.c_str());
      if (!BuildArchive(element)) {
        FileLooseArchive(*type, element, file);
        return;
      }
    }
    type->Load(element);
    sys::Output("Loading resource %s (Type %s, File=%s)\n", Attribute(element, "label").c_str(), tag, file.c_str());
    return;
  }
  i_ResourceType* type = GetResourceType(tag);
  if (!type) {
    sys::Output("Unknown resourcetype found. skipping...\n");
    return;
  }
  sys::Output("Loading resource %s (Type %s, File=%s)\n", Attribute(element, "label").c_str(), tag,
              Attribute(element, "file").c_str());
  const unsigned long t0 = sys::Ticks();
  type->Load(element);
  const unsigned long ms = static_cast<uint32_t>(sys::Ticks() - t0);
  if (ms > 20) sys::Output("WARNING: t=%dms\n", static_cast<int>(ms));
}

// ---- resource groups

namespace {

// The hash of the group's description, as far as it decides the records: every child with
// whether its type is registered (a type registered later changes the record list).
uint32_t GroupHash(cl_ResourceMgr& mgr, const StaticVariantIterator& group) {
  Hasher h;
  for (int i = 0; i < group.get_element_cnt(); ++i) {
    const StaticVariantIterator child = group.get_element(i);
    h.number(mgr.GetResourceType(Tag(child)) ? 1 : 0);
    HashNode(h, child);
  }
  return h.h;
}

}  // namespace

bool cl_ResourceMgr::WriteResourceGroup(StaticVariantIterator element) {
  const int children = element.get_element_cnt();
  if (children == 0) return true;
  const tString<BaseString> path = Attribute(element, "file");
  File file;
  if (!file.open(path.c_str(), File::STATUS_WRITE)) return false;
  int records = 0;
  bool ok = file.write(kCacheMagic, 4);
  ok = ok && file.write_int(static_cast<int>(GroupHash(*this, element))) && file.write_int(0) && file.write_int(0);
  for (int i = 0; ok && i < children; ++i) {
    const StaticVariantIterator child = element.get_element(i);
    i_ResourceType* type = GetResourceType(Tag(child));
    if (!type) continue;
    const tString<BaseString> label = Attribute(child, "label");
    const tString<BaseString> source = Attribute(child, "file");
    i_Resource* r = type->Create(nullptr);
    if (!r) continue;
    sys::Output("Add File To Resourcegroup %s, label: %s", source.c_str(), label.c_str());
    // An archive in a group is built from its definition first, as a single one would be.
    if (str::compare(Tag(child), "Archive") == 0 && !FileExists(ArchiveFile(child))) BuildArchive(child);
    // A resource that cannot be built would leave a record nobody can trust: no cache then.
    if (!r->Init(child)) {
      sys::Output("ERROR: resource group %s: resource %s (Type %s) failed to load\n", path.c_str(), label.c_str(),
                  Tag(child));
      ok = false;
    } else {
      r->Write(&file);
      ++records;
    }
    delete r;
  }
  const int payload = file.get_size() - kCacheHeader;
  ok = ok && file.set_current_position(8) && file.write_int(records) && file.write_int(payload);
  if (!ok) {
    file.discard();
    return false;
  }
  return file.close();
}

bool cl_ResourceMgr::ReadResourceGroup(StaticVariantIterator element) {
  const tString<BaseString> path = Attribute(element, "file");
  File file;
  if (!file.open(path.c_str(), File::STATUS_READ)) return false;
  int expected = 0;
  for (int i = 0; i < element.get_element_cnt(); ++i) expected += GetResourceType(Tag(element.get_element(i))) ? 1 : 0;
  char magic[4] = {};
  int hash = 0, records = 0, payload = 0;
  if (!file.read(magic, 4) || !file.read(&hash, 4) || !file.read(&records, 4) || !file.read(&payload, 4) ||
      std::memcmp(magic, kCacheMagic, 4) != 0 || static_cast<uint32_t>(hash) != GroupHash(*this, element) ||
      records != expected || payload != file.get_size() - kCacheHeader) {
    sys::Output("Warning: resource group cache %s does not match its description\n", path.c_str());
    return false;
  }
  // Nothing is filed until every record has been read: a damaged record further on must not
  // leave half-read resources under their labels.
  struct st_Read {
    i_ResourceType* type;
    tString<BaseString> label;
    i_Resource* resource;
  };
  std::vector<st_Read> read;
  for (int i = 0; i < element.get_element_cnt() && !file.has_error(); ++i) {
    const StaticVariantIterator child = element.get_element(i);
    i_ResourceType* type = GetResourceType(Tag(child));
    if (!type) continue;
    i_Resource* r = type->Create(nullptr);
    if (!r) continue;
    r->Read(&file);
    read.push_back({type, Attribute(child, "label"), r});
  }
  const bool ok = !file.has_error() && file.get_remaining() == 0;
  if (!ok) sys::Output("Warning: resource group cache %s: records do not line up\n", path.c_str());
  for (st_Read& r : read) {
    // A record without a label was read only to stay in step with the others.
    if (ok && !r.label.empty()) {
      r.type->Adopt(r.label.c_str(), r.resource);
    } else {
      delete r.resource;
    }
  }
  return ok;
}

bool cl_ResourceMgr::BuildArchive(StaticVariantIterator element) {
  cl_FileArchive archive;
  if (element.get_attribute("file").is_nil()) return false;
  return archive.Build(element);
}

// ---- tasks

cl_LoadResourceTask::cl_LoadResourceTask(cl_ResourceMgr* mgr, StaticVariantIterator element) : m_mgr(mgr) {
  m_weight = 1.0f;
  m_element = element;
}

void cl_LoadResourceTask::Run() {
  if (m_mgr) m_mgr->LoadEntry(m_element);
}

// ---- facade

namespace sys {

i_ResourceMgr* GetResourceMgr() { return cl_ResourceMgr::s_pResourceMgr; }

bool AddResources(const char* file) {
  if (!cl_ResourceMgr::s_pResourceMgr) {
    Output("ERROR: resource list %s: no resource manager\n", file ? file : "");
    return false;
  }
  return cl_ResourceMgr::s_pResourceMgr->AddResources(file);
}

bool AddResourceType(const char* name, i_ResourceType* type) {
  if (!cl_ResourceMgr::s_pResourceMgr) {
    delete type;
    return false;
  }
  cl_ResourceMgr::s_pResourceMgr->AddResourceType(vocable::find_or_add(name), type);
  return true;
}

}  // namespace sys

}  // namespace base
