// StaticVariant word blocks, the iterator's reads and the structural check of a word array.
#include "base/data/StaticVariant.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/text/Vocable.h"

namespace base {

namespace {

const char kNotAString[] = "error: not a string";

float word_float(int w) {
  float f;
  std::memcpy(&f, &w, 4);
  return f;
}

// Truncation toward zero that stays defined for values outside the int range and for NaN.
int truncate_to_int(float f) {
  if (!(f == f)) return 0;
  if (f >= 2147483648.0f) return 2147483647;
  if (f <= -2147483648.0f) return -2147483647 - 1;
  return static_cast<int>(f);
}

}  // namespace

// ---- iterator: scalars

int StaticVariantIterator::get_int() const {
  if (!m_node) return 0;
  if (m_node[0] == SV_INT) return m_node[1];
  if (m_node[0] == SV_FLOAT) return truncate_to_int(word_float(m_node[1]));
  return 0;
}

float StaticVariantIterator::get_float() const {
  if (!m_node) return 0.0f;
  if (m_node[0] == SV_FLOAT) return word_float(m_node[1]);
  if (m_node[0] == SV_INT) return static_cast<float>(m_node[1]);
  return 0.0f;
}

const char* StaticVariantIterator::get_string() const {
  if (is_string()) return reinterpret_cast<const char*>(m_node + 2);
  return kNotAString;
}

int StaticVariantIterator::get_string_length() const { return is_string() ? m_node[1] : 0; }

const unsigned char* StaticVariantIterator::get_label() const {
  return is_element() ? vocable::from_id(static_cast<unsigned>(m_node[2])) : nullptr;
}

int StaticVariantIterator::size() const {
  if (!m_node) return 0;
  switch (m_node[0]) {
    case SV_NIL: return 1;
    case SV_INT:
    case SV_FLOAT: return 2;
    case SV_STRING: return m_node[1] / 4 + 3;
    case SV_ELEMENT: return m_node[1];
    default: return 0;
  }
}

// ---- iterator: children and attributes

int StaticVariantIterator::get_element_cnt() const { return is_element() ? m_node[5] : 0; }

StaticVariantIterator StaticVariantIterator::get_element(int i) const {
  if (i < 0 || i >= get_element_cnt()) return {};
  return m_node + m_node[m_node[6] + i];
}

StaticVariantIterator StaticVariantIterator::get_element(const unsigned char* label, int n) const {
  const int k = get_element_cnt();
  if (k == 0) return {};
  const int word = static_cast<int>(vocable::id_of(label));
  const int* table = m_node + m_node[6];
  for (int i = 0; i < k; ++i) {
    const int* child = m_node + table[i];
    if (child[0] == SV_ELEMENT && child[2] == word && n-- == 0) return child;
  }
  return {};
}

StaticVariantIterator StaticVariantIterator::get_element(const char* label, int n) const {
  const unsigned char* v = vocable::find(label);
  return v ? get_element(v, n) : StaticVariantIterator();
}

int StaticVariantIterator::get_attribute_cnt() const { return is_element() ? m_node[3] : 0; }

int& StaticVariantIterator::attribute_label_word(int i) { return m_node[m_node[m_node[4] + i]]; }

const unsigned char* StaticVariantIterator::get_attribute_label(int i) const {
  if (i < 0 || i >= get_attribute_cnt()) return nullptr;
  return vocable::from_id(static_cast<unsigned>(m_node[m_node[m_node[4] + i]]));
}

StaticVariantIterator StaticVariantIterator::get_attribute(int i) const {
  if (i < 0 || i >= get_attribute_cnt()) return {};
  return m_node + m_node[m_node[4] + i] + 1;
}

StaticVariantIterator StaticVariantIterator::get_attribute(const unsigned char* name) const {
  const int a = get_attribute_cnt();
  if (a == 0 || !name) return {};
  const int word = static_cast<int>(vocable::id_of(name));
  const int* table = m_node + m_node[4];
  for (int i = 0; i < a; ++i) {
    if (m_node[table[i]] == word) return m_node + table[i] + 1;
  }
  return {};
}

StaticVariantIterator StaticVariantIterator::get_attribute(const char* name) const {
  return get_attribute(vocable::find_or_add(name));
}

bool StaticVariantIterator::get_attribute_int(const unsigned char* name, int& out) const {
  StaticVariantIterator v = get_attribute(name);
  if (v.is_nil()) return false;
  out = v.get_int();
  return true;
}

bool StaticVariantIterator::get_attribute_float(const unsigned char* name, float& out) const {
  StaticVariantIterator v = get_attribute(name);
  if (v.is_nil()) return false;
  out = v.get_float();
  return true;
}

bool StaticVariantIterator::get_attribute_string(const unsigned char* name, tString<BaseString>& out) const {
  StaticVariantIterator v = get_attribute(name);
  if (v.is_nil()) return false;
  out.clear();
  if (v.is_string())
    out.set(v.get_string(), v.get_string_length());
  else
    out = kNotAString;
  return true;
}

bool StaticVariantIterator::get_attribute_int(const char* name, int& out) const {
  const unsigned char* v = vocable::find(name);
  return v && get_attribute_int(v, out);
}

bool StaticVariantIterator::get_attribute_float(const char* name, float& out) const {
  const unsigned char* v = vocable::find(name);
  return v && get_attribute_float(v, out);
}

bool StaticVariantIterator::get_attribute_string(const char* name, tString<BaseString>& out) const {
  const unsigned char* v = vocable::find(name);
  return v && get_attribute_string(v, out);
}

// ---- iterator: name walks

namespace {

template <class Fn>
void walk_names(int* node, int depth, Fn& fn) {
  if (!node || node[0] != SV_ELEMENT || depth > kMaxTreeDepth) return;
  fn(node[2]);
  const int* attributes = node + node[4];
  for (int i = 0; i < node[3]; ++i) fn(node[attributes[i]]);
  const int* children = node + node[6];
  for (int i = 0; i < node[5]; ++i) walk_names(node + children[i], depth + 1, fn);
}

}  // namespace

void StaticVariantIterator::for_each_name(void (*fn)(void*, const unsigned char*), void* context) const {
  auto visit = [&](int& word) { fn(context, vocable::from_id(static_cast<unsigned>(word))); };
  walk_names(m_node, 0, visit);
}

void StaticVariantIterator::remap_names(const unsigned char* (*fn)(void*, const unsigned char*), void* context) {
  auto visit = [&](int& word) {
    word = static_cast<int>(vocable::id_of(fn(context, vocable::from_id(static_cast<unsigned>(word)))));
  };
  walk_names(m_node, 0, visit);
}

// ---- StaticVariant: the block

StaticVariant::StaticVariant(const StaticVariant& other) : StaticVariantIterator() {
  *this = static_cast<const StaticVariantIterator&>(other);
}

StaticVariant::StaticVariant(StaticVariant&& other) noexcept
    : StaticVariantIterator(other.m_node), m_size(other.m_size), m_capacity(other.m_capacity) {
  other.m_node = nullptr;
  other.m_size = other.m_capacity = 0;
}

StaticVariant& StaticVariant::operator=(const StaticVariant& other) {
  if (this != &other) *this = static_cast<const StaticVariantIterator&>(other);
  return *this;
}

StaticVariant& StaticVariant::operator=(StaticVariant&& other) noexcept {
  if (this != &other) {
    clear();
    m_node = other.m_node;
    m_size = other.m_size;
    m_capacity = other.m_capacity;
    other.m_node = nullptr;
    other.m_size = other.m_capacity = 0;
  }
  return *this;
}

StaticVariant::~StaticVariant() { clear(); }

StaticVariant& StaticVariant::operator=(const StaticVariantIterator& it) {
  const int n = it.size();
  int* block = n > 0 ? static_cast<int*>(std::malloc(static_cast<size_t>(n) * 4)) : nullptr;
  if (block) std::memcpy(block, it.get_node(), static_cast<size_t>(n) * 4);
  // The source may lie in this block: release only after copying.
  clear();
  m_node = block;
  m_size = m_capacity = block ? n : 0;
  return *this;
}

void StaticVariant::clear() {
  std::free(m_node);
  m_node = nullptr;
  m_size = m_capacity = 0;
}

bool StaticVariant::reserve(int n) {
  clear();
  if (n < 1) return false;
  m_node = static_cast<int*>(std::malloc(static_cast<size_t>(n) * 4));
  if (!m_node) return false;
  m_capacity = n;
  return true;
}

bool StaticVariant::grow(int n) {
  if (n <= m_capacity) return true;
  int* block = static_cast<int*>(std::realloc(m_node, static_cast<size_t>(n) * 4));
  if (!block) return false;
  m_node = block;
  m_capacity = n;
  return true;
}

void StaticVariant::trim() {
  if (m_size == m_capacity) return;
  if (m_size < 1) {
    clear();
    return;
  }
  int* block = static_cast<int*>(std::realloc(m_node, static_cast<size_t>(m_size) * 4));
  if (!block) return;  // keeping the larger block is harmless
  m_node = block;
  m_capacity = m_size;
}

// ---- structural check

namespace {

struct Checker {
  int* w;
  unsigned (*mapName)(void*, unsigned);
  void* context;
  int bad = 0;
  const char* why = nullptr;

  bool fail(int64_t at, const char* reason) {
    bad = static_cast<int>(at);
    why = reason;
    return false;
  }

  bool name(int64_t at) {
    const unsigned word = static_cast<unsigned>(w[at]);
    const unsigned mapped = mapName ? mapName(context, word) : (vocable::from_id(word) ? word : 0u);
    if (mapped == 0) return fail(at, "name word not in the name table");
    w[at] = static_cast<int>(mapped);
    return true;
  }

  // Checks the node at pos that must end at or before end; gives its size.
  bool node(int64_t pos, int64_t end, int depth, bool atomOnly, int64_t& size) {
    if (pos >= end) return fail(pos, "node starts past the end of its parent");
    switch (w[pos]) {
      case SV_NIL: size = 1; return true;
      case SV_INT:
      case SV_FLOAT:
        size = 2;
        return pos + 2 <= end || fail(pos, "number node cut short");
      case SV_STRING: {
        if (pos + 2 > end) return fail(pos, "string node cut short");
        const int length = w[pos + 1];
        if (length < 0) return fail(pos + 1, "negative string length");
        size = length / 4 + 3;
        if (pos + size > end) return fail(pos + 1, "string runs past the end of its parent");
        if (reinterpret_cast<const char*>(w + pos + 2)[length] != 0) return fail(pos, "string not terminated");
        return true;
      }
      case SV_ELEMENT:
        if (atomOnly) return fail(pos, "element as attribute value");
        return element(pos, end, depth, size);
      default: return fail(pos, "unknown node kind");
    }
  }

  bool element(int64_t pos, int64_t end, int depth, int64_t& size) {
    if (depth >= kMaxTreeDepth) return fail(pos, "elements nested too deep");
    if (pos + 7 > end) return fail(pos, "element header cut short");
    size = w[pos + 1];
    const int64_t a = w[pos + 3], atTable = w[pos + 4], k = w[pos + 5], ctTable = w[pos + 6];
    if (size < 7 || pos + size > end) return fail(pos + 1, "element size outside its parent");
    if (a < 0 || k < 0) return fail(pos + 3, "negative attribute or child count");
    if (atTable < 7 || atTable + a != ctTable || ctTable + k != size)
      return fail(pos + 4, "element tables do not close the element");
    if (!name(pos + 2)) return false;
    const int64_t bodyEnd = pos + atTable;
    int64_t cur = 7;
    for (int64_t i = 0; i < a; ++i) {
      if (pos + cur >= bodyEnd) return fail(pos + cur, "attribute past the element body");
      if (w[pos + atTable + i] != cur) return fail(pos + atTable + i, "attribute table entry out of place");
      if (!name(pos + cur)) return false;
      int64_t vsize = 0;
      if (!node(pos + cur + 1, bodyEnd, depth + 1, true, vsize)) return false;
      cur += 1 + vsize;
    }
    for (int64_t i = 0; i < k; ++i) {
      if (w[pos + ctTable + i] != cur) return fail(pos + ctTable + i, "child table entry out of place");
      int64_t csize = 0;
      if (!node(pos + cur, bodyEnd, depth + 1, false, csize)) return false;
      cur += csize;
    }
    if (pos + cur != bodyEnd) return fail(pos + 4, "element body does not end at its tables");
    return true;
  }
};

}  // namespace

bool static_variant_validate(int* words, int count, unsigned (*mapName)(void*, unsigned), void* context,
                             int& bad, const char*& why) {
  bad = 0;
  why = nullptr;
  if (!words || count < 1) {
    why = "no words";
    return false;
  }
  Checker c{words, mapName, context};
  int64_t size = 0;
  if (!c.node(0, count, 0, false, size)) {
    bad = c.bad;
    why = c.why;
    return false;
  }
  if (size != count) {
    why = "words left over after the root node";
    bad = static_cast<int>(size);
    return false;
  }
  return true;
}

}  // namespace base
