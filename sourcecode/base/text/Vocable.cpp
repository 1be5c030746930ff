// The interned-name table. Each name is stored once in an arena as [u32 id][u32 length][bytes][0]
// and the vocable points at the bytes, so id and length are read back without a search. An
// open-addressing hash index finds names by text; an id array finds them by id. Nothing is ever
// removed.
#include "base/text/Vocable.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

namespace base::vocable {

namespace {

constexpr size_t kHeader = 8;  // id and length before the characters
constexpr size_t kBlock = 64 * 1024;

// Hash of a name: 8 bytes at a time, multiplied through; names are short, so this beats a
// byte-wise hash and the general-purpose map.
uint32_t hash_name(std::string_view name) {
  uint64_t h = 0x9E3779B97F4A7C15ull ^ name.size();
  const char* p = name.data();
  size_t n = name.size();
  for (; n >= 8; n -= 8, p += 8) {
    uint64_t chunk;
    std::memcpy(&chunk, p, 8);
    h = (h ^ chunk) * 0xff51afd7ed558ccdull;
    h ^= h >> 32;
  }
  if (n) {
    uint64_t chunk = 0;
    std::memcpy(&chunk, p, n);
    h = (h ^ chunk) * 0xc4ceb9fe1a85ec53ull;
  }
  h ^= h >> 29;
  return static_cast<uint32_t>(h);
}

class Table {
 public:
  Table() : m_slots(1024) { m_byId.push_back(nullptr); }  // id 0 is "no name"

  const unsigned char* find(std::string_view name) const { return m_slots[locate(name, hash_name(name))].text; }

  const unsigned char* add(std::string_view name) {
    const uint32_t hash = hash_name(name);
    size_t slot = locate(name, hash);
    if (m_slots[slot].text) return m_slots[slot].text;
    const unsigned char* text = store(name);
    m_slots[slot] = {hash, text};
    if (++m_filled * 2 > m_slots.size()) rehash();
    return text;
  }

  const unsigned char* by_id(unsigned id) const { return id < m_byId.size() ? m_byId[id] : nullptr; }
  int count() const { return static_cast<int>(m_byId.size()) - 1; }

 private:
  struct Slot {
    uint32_t hash = 0;
    const unsigned char* text = nullptr;
  };

  // The slot holding name, or the empty slot where it belongs (open addressing, linear probing).
  size_t locate(std::string_view name, uint32_t hash) const {
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot& s = m_slots[i];
      if (!s.text) return i;
      if (s.hash == hash && static_cast<size_t>(length_of(s.text)) == name.size() &&
          (name.empty() || std::memcmp(s.text, name.data(), name.size()) == 0))
        return i;
    }
  }

  void rehash() {
    std::vector<Slot> old(m_slots.size() * 2);
    old.swap(m_slots);
    const size_t mask = m_slots.size() - 1;
    for (const Slot& s : old) {
      if (!s.text) continue;
      size_t i = s.hash & mask;
      while (m_slots[i].text) i = (i + 1) & mask;
      m_slots[i] = s;
    }
  }

  // Copies the name into the arena behind its id and length.
  const unsigned char* store(std::string_view name) {
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
    return text;
  }

  std::vector<std::unique_ptr<unsigned char[]>> m_blocks;
  unsigned char* m_next = nullptr;
  size_t m_left = 0;
  std::vector<const unsigned char*> m_byId;
  std::vector<Slot> m_slots;  // a power of two, at most half full
  size_t m_filled = 0;
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

#ifdef QUILLANE_FUZZ
void clear_for_fuzzing() {
  table().~Table();
  new (&table()) Table();
}
#endif

}  // namespace base::vocable
