// base::tNamedList: owned items (textures of a model or character) kept in order, with a
// name-to-index map for lookups. A name added twice keeps finding its first item; both items are
// kept, written and deleted.
//
// Record: the map as a lookup table (u32 count, then per name in order its string record and an
// i32 index), then the items (u32 count, then each item's own record).
#pragma once

#include <map>
#include <vector>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/String.h"

namespace base {

template <class T>
class tNamedList {
 public:
  tNamedList() = default;
  ~tNamedList() { Clear(); }
  tNamedList(const tNamedList&) = delete;
  tNamedList& operator=(const tNamedList&) = delete;

  // Files name → the item's position (unless the name is known) and appends item (owned).
  void Add(const char* name, T* item) {
    m_lookup.emplace(tString<BaseString>(name), static_cast<int>(m_items.size()));
    m_items.push_back(item);
  }
  // The first item added under name, or null.
  T* Find(const char* name) const {
    auto it = m_lookup.find(tString<BaseString>(name));
    return it == m_lookup.end() || it->second < 0 || it->second >= static_cast<int>(m_items.size())
               ? nullptr
               : m_items[static_cast<size_t>(it->second)];
  }
  void Clear() {
    for (T* item : m_items) delete item;
    m_items.clear();
    m_lookup.clear();
  }
  // Exchanges the contents (items and names) with other.
  void Swap(tNamedList& other) {
    m_lookup.swap(other.m_lookup);
    m_items.swap(other.m_items);
  }
  int Count() const { return static_cast<int>(m_items.size()); }
  T* Get(int i) const { return i >= 0 && i < Count() ? m_items[static_cast<size_t>(i)] : nullptr; }

  void Write(File* file) {
    WriteLookup(file, m_lookup);
    file->write_int(Count());
    for (T* item : m_items) item->Write(file);
  }
  // A damaged record leaves the list empty, with the file's error flag set and one line logged.
  bool Read(File* file) {
    Clear();
    if (!ReadLookup(file, m_lookup)) {
      if (!file->has_error()) file->report_error("damaged name table of a named list");
      Clear();
      return false;
    }
    int count = 0;
    if (!file->read_length(count, kSmallestItemRecord, "named list")) {
      Clear();
      return false;
    }
    for (int i = 0; i < count; ++i) {
      T* item = new T;
      m_items.push_back(item);
      item->Read(file);
      if (file->has_error()) {
        Clear();
        return false;
      }
    }
    return true;
  }

 private:
  // The shortest record an item can have (a texture: two empty lengths and five words), so a
  // count the rest of the file cannot hold is refused before anything is made.
  static constexpr int kSmallestItemRecord = 28;

  std::map<tString<BaseString>, int> m_lookup;
  std::vector<T*> m_items;
};

}  // namespace base
