// Resources: named, shared pieces of loaded data (textures, fonts, models, meshes, archives ...).
// Each kind has one type object (base::tResourceType<T>) that builds resources from elements of a
// resource list and files them in the kind's pool under their label; code anywhere fetches them by
// label. Resources also write and read a binary record, which resource-group caches are made of.
#pragma once

#include <map>

#include "base/Ref.h"
#include "base/data/StaticVariant.h"
#include "base/String.h"
#include "base/text/Vocable.h"

namespace base {

class File;

class i_Resource : public tIdentity<i_Resource> {
 public:
  ~i_Resource() override = default;
  // Builds the resource from its element (tag = type name, attributes = settings).
  virtual bool Init(StaticVariantIterator element) = 0;
  // The binary record; a failed or short read is left in the file's error flag.
  virtual void Read(File* file) = 0;
  virtual void Write(File* file) = 0;
};

class i_ResourceType : public tIdentity<i_ResourceType> {
 public:
  ~i_ResourceType() override = default;
  // A new, empty resource, filed under label when label is not null (else the caller owns it).
  virtual i_Resource* Create(const char* label) = 0;
  // Files r, made by Create(nullptr) of this kind, under label (an earlier one is released).
  virtual void Adopt(const char* label, i_Resource* r) = 0;
  // Builds a resource from an element and files it under its "label". False (logged) when the
  // label is missing or already holds a live resource of a kind with unique labels; false when
  // Init fails.
  virtual bool Load(StaticVariantIterator element) = 0;
  virtual void Clear() = 0;  // empties the kind's pool
};

// The label-keyed pool of one handle type H (a counted smart_ptr). Labels are vocables, compared
// by identity. One process-wide pool per H; never destroyed, so no resource outlives the handle
// table at exit.
template <class H>
class ref {
 public:
  struct st_Element {
    H m_handle;  // empty until a resource is filed under the label
  };

  class RefPool {
   public:
    static RefPool& Get() {
      static RefPool* pool = new RefPool;
      return *pool;
    }
    // The element of label, added empty when new. label must not be null.
    st_Element& FindOrAdd(const unsigned char* label) { return m_elements[label]; }
    st_Element* Find(const unsigned char* label) {
      auto it = m_elements.find(label);
      return it == m_elements.end() ? nullptr : &it->second;
    }
    // Releases every handle. The map is swapped out first so that a destructor that looks up
    // its own pool sees a consistent (empty) one.
    void Clear() {
      std::map<const unsigned char*, st_Element> old;
      old.swap(m_elements);
    }
    int size() const { return static_cast<int>(m_elements.size()); }

   private:
    std::map<const unsigned char*, st_Element> m_elements;
  };
};

// out := the attribute as text (numbers in their "%g" form). False when it is missing or nil.
bool GetAttributeText(const StaticVariantIterator& element, const char* name, tString<BaseString>& out);

// Logs the refusals of tResourceType::Load (kept out of the template).
void ReportResourceWithoutLabel(const StaticVariantIterator& element);
void ReportResourceLabelTaken(const StaticVariantIterator& element, const char* label);

template <class T>
class tResourceType : public i_ResourceType {
 public:
  using Handle = smart_ptr<T, T*>;
  using Pool = typename ref<Handle>::RefPool;

  // replaceLabels: a second Load under a live label replaces the resource (meshes, skeletons);
  // otherwise it is refused.
  explicit tResourceType(bool replaceLabels = false) : m_replaceLabels(replaceLabels) {}
  ~tResourceType() override { Clear(); }

  i_Resource* Create(const char* label) override {
    T* r = new T;
    if (label) FileResource(label, r);
    return r;
  }

  void Adopt(const char* label, i_Resource* r) override {
    if (label && r) FileResource(label, static_cast<T*>(r));
  }

  bool Load(StaticVariantIterator element) override {
    tString<BaseString> label;
    if (!GetAttributeText(element, "label", label)) {
      ReportResourceWithoutLabel(element);
      return false;
    }
    typename ref<Handle>::st_Element& e = Pool::Get().FindOrAdd(vocable::find_or_add(label.c_str()));
    if (!m_replaceLabels && e.m_handle.get()) {
      ReportResourceLabelTaken(element, label.c_str());
      return false;
    }
    T* r = new T;
    if (!r->Init(element)) {
      delete r;
      return false;
    }
    FileResource(label.c_str(), r);
    return true;
  }

  void Clear() override { Pool::Get().Clear(); }

  // Files r under label (an earlier resource of that label is released).
  static void FileResource(const char* label, T* r) {
    Pool::Get().FindOrAdd(vocable::find_or_add(label)).m_handle = Handle(r);
  }
  // The resource filed under label, or null (an empty element is left for a new label).
  static T* Get(const char* label) {
    if (!label) return nullptr;
    return Pool::Get().FindOrAdd(vocable::find_or_add(label)).m_handle.get();
  }

 private:
  bool m_replaceLabels;
};

class cl_FileArchive;
// The archive filed under label, or null (also for a null label).
cl_FileArchive* GetFileArchive(const char* label);

}  // namespace base
