// The interned-name table. Each name is stored once in an arena as [u32 id][u32 length][bytes][0]
// and the vocable points at the bytes, so id and length are read back without a search. A hash
// index finds names by text; an id array finds them by id. Nothing is ever removed.
#include "base/Vocable.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace base::vocable {

namespace {

constexpr size_t kHeader = 8;  // id and length before the characters
constexpr size_t kBlock = 64 * 1024;

class Table {
 public:
  Table() { m_byId.push_back(nullptr); }  // id 0 is "no name"

  const unsigned char* find(std::string_view name) const {
    auto it = m_index.find(name);
    return it == m_index.end() ? nullptr : it->second;
  }

  const unsigned char* add(std::string_view name) {
    if (const unsigned char* v = find(name)) return v;
    const size_t need = (kHeader + name.size() + 1 + 7) & ~size_t(7);
    if (need > m_left) {
      const size_t size = need > kBlock ? need : kBlock;
      m_blocks.emplace_back(new unsigned char[size]);
      m_next = m_blocks.back().get();
      m_left = size;
    }
    unsigned char* entry = m_next;
    m_next += need;
    m_left -= need;
    const uint32_t id = static_cast<uint32_t>(m_byId.size());
    const uint32_t length = static_cast<uint32_t>(name.size());
    std::memcpy(entry, &id, 4);
    std::memcpy(entry + 4, &length, 4);
    unsigned char* text = entry + kHeader;
    if (!name.empty()) std::memcpy(text, name.data(), name.size());
    text[name.size()] = 0;
    m_byId.push_back(text);
    m_index.emplace(std::string_view(reinterpret_cast<const char*>(text), name.size()), text);
    return text;
  }

  const unsigned char* by_id(unsigned id) const { return id < m_byId.size() ? m_byId[id] : nullptr; }
  int count() const { return static_cast<int>(m_byId.size()) - 1; }

 private:
  std::vector<std::unique_ptr<unsigned char[]>> m_blocks;
  unsigned char* m_next = nullptr;
  size_t m_left = 0;
  std::vector<const unsigned char*> m_byId;
  std::unordered_map<std::string_view, const unsigned char*> m_index;
};

// Created on first use (so static initialisers elsewhere may intern) and destroyed at exit.
Table& table() {
  static Table t;
  return t;
}

std::string_view view(const char* text) { return text ? std::string_view(text) : std::string_view(); }

std::string_view view(const char* text, int length) {
  // The name ends at an embedded NUL, as if the characters had been copied and terminated.
  const void* nul = std::memchr(text, 0, static_cast<size_t>(length));
  const size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : static_cast<size_t>(length);
  return std::string_view(text, n);
}

}  // namespace

const unsigned char* find(const char* text) { return table().find(view(text)); }

const unsigned char* find_or_add(const char* text) { return table().add(view(text)); }

const unsigned char* find_or_add(const char* text, int length) {
  if (!text || length < 1) return nullptr;
  return table().add(view(text, length));
}

unsigned id_of(const unsigned char* v) {
  if (!v) return 0;
  uint32_t id;
  std::memcpy(&id, v - kHeader, 4);
  return id;
}

const unsigned char* from_id(unsigned id) { return table().by_id(id); }

unsigned find_or_add_id(const char* text, int length) {
  if (!text) return 0;
  return id_of(table().add(length > 0 ? view(text, length) : std::string_view()));
}

int length_of(const unsigned char* v) {
  if (!v) return 0;
  uint32_t length;
  std::memcpy(&length, v - 4, 4);
  return static_cast<int>(length);
}

int count() { return table().count(); }

}  // namespace base::vocable
