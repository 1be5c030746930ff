// Conversions between Variant trees and StaticVariant words, and the Variant's binary record,
// which is the StaticVariant record of its words.
#include <cstdlib>
#include <cstring>

#include "base/data/StaticVariant.h"
#include "base/data/Variant.h"
#include "base/data/VariantTypes.h"
#include "base/text/Vocable.h"
#include "base/data/XmlAttributeIndex.h"
#include "base/system.h"

namespace base {

namespace {

// Words of a value stored as an atom: strings up to their first NUL, ints (and booleans),
// floats and doubles (narrowed); everything else is nil.
long long atom_size(const Variant& v) {
  if (v.is_string()) return 3 + str::len(v.get_string()) / 4;
  if (v.is_int() || v.is_float() || v.is_double()) return 2;
  return 1;
}

long long count_words(const Variant& v, int depth, bool& tooDeep) {
  if (!v.is_element()) return atom_size(v);
  if (depth >= kMaxTreeDepth) {
    tooDeep = true;
    return 0;
  }
  const int a = v.attribute_cnt();
  const int k = v.size();
  long long n = 7 + a + k;
  for (int i = 0; i < a; ++i) n += 1 + atom_size(*v.attribute(i));
  for (int i = 0; i < k && !tooDeep; ++i) n += count_words(*v.child(i), depth + 1, tooDeep);
  return n;
}

class Builder {
 public:
  explicit Builder(int* words) : m_w(words) {}
  int used() const { return m_used; }

  void atom(const Variant& v) {
    int* w = m_w + m_used;
    if (v.is_string()) {
      const char* s = v.get_string();
      const int length = str::len(s);
      const int words = length / 4 + 1;
      w[0] = SV_STRING;
      w[1] = length;
      w[1 + words] = 0;  // terminator and padding
      if (length) std::memcpy(w + 2, s, static_cast<size_t>(length));
      m_used += 2 + words;
    } else if (v.is_int()) {
      w[0] = SV_INT;
      w[1] = v.get_int();
      m_used += 2;
    } else if (v.is_float() || v.is_double()) {
      const float f = v.get_float();
      w[0] = SV_FLOAT;
      std::memcpy(w + 1, &f, 4);
      m_used += 2;
    } else {
      w[0] = SV_NIL;
      m_used += 1;
    }
  }

  static int size_at(const int* w) {
    switch (w[0]) {
      case SV_INT:
      case SV_FLOAT: return 2;
      case SV_STRING: return w[1] / 4 + 3;
      case SV_ELEMENT: return w[1];
      default: return 1;
    }
  }

  void node(const Variant& v) {
    if (!v.is_element()) {
      atom(v);
      return;
    }
    const int base = m_used;
    const char* label = v.get_label();
    m_w[base] = SV_ELEMENT;
    m_w[base + 2] = static_cast<int>(vocable::id_of(vocable::find_or_add(label)));
    m_used += 7;
    const int a = v.attribute_cnt();
    const int k = v.size();
    for (int i = 0; i < a; ++i) {
      m_w[m_used++] = static_cast<int>(vocable::id_of(vocable::find_or_add(v.get_attribute_label(i))));
      atom(*v.attribute(i));
    }
    for (int i = 0; i < k; ++i) node(*v.child(i));
    int* w = m_w + base;
    int table = m_used - base;
    int cur = 7;
    w[3] = a;
    w[4] = table;
    for (int i = 0; i < a; ++i) {
      w[table++] = cur;
      cur += 1 + size_at(w + cur + 1);
    }
    w[5] = k;
    w[6] = table;
    for (int i = 0; i < k; ++i) {
      w[table++] = cur;
      cur += size_at(w + cur);
    }
    w[1] = table;
    m_used = base + table;
  }

 private:
  int* m_w;
  int m_used = 0;
};

void expand(const int* node, Variant& target, int depth) {
  if (!node) {
    target.set_nil();
    return;
  }
  switch (node[0]) {
    case SV_INT: target.set_int(node[1]); return;
    case SV_FLOAT: {
      float f;
      std::memcpy(&f, node + 1, 4);
      target.set_float(f);
      return;
    }
    case SV_STRING: target.set_string(reinterpret_cast<const char*>(node + 2), node[1]); return;
    case SV_ELEMENT: break;
    default: target.set_nil(); return;
  }
  if (depth >= kMaxTreeDepth) {  // only words that were never checked can get here
    target.set_nil();
    return;
  }
  const unsigned char* label = vocable::from_id(static_cast<unsigned>(node[2]));
  auto* e = new dt_element(reinterpret_cast<const char*>(label), vocable::length_of(label));
  const int* attributes = node + node[4];
  xml_scan::cl_AttributeIndex index(e);
  for (int i = 0; i < node[3]; ++i) {
    const int at = attributes[i];
    const unsigned char* name = vocable::from_id(static_cast<unsigned>(node[at]));
    expand(node + at + 1, *index.find_or_add(reinterpret_cast<const char*>(name), vocable::length_of(name)),
           depth + 1);
  }
  const int* children = node + node[6];
  e->m_children.reserve(static_cast<size_t>(node[5]));
  for (int i = 0; i < node[5]; ++i) expand(node + children[i], e->append(), depth + 1);
  target.set_datatype(e);
}

}  // namespace

StaticVariant& StaticVariant::operator=(const Variant& v) {
  clear();
  bool tooDeep = false;
  const long long n = count_words(v, 0, tooDeep);
  if (tooDeep) {
    sys::Output("ERROR: tree nested deeper than %d elements; not converted to words\n", kMaxTreeDepth);
    return *this;
  }
  if (n > 0x1fffffff) {
    sys::Output("ERROR: tree of %lld words is too large to convert\n", n);
    return *this;
  }
  if (!reserve(static_cast<int>(n))) return *this;
  Builder b(m_node);
  b.node(v);
  m_size = b.used();
  return *this;
}

void StaticVariantIterator::copy_to(Variant& target) const { expand(m_node, target, 0); }

// ---- the Variant's binary record

bool Variant::Write(File* file) const {
  StaticVariant words;
  words = *this;
  if (!words.get_words()) return false;  // refused and logged
  return words.Write(file);
}

bool Variant::Read(File* file) {
  StaticVariant words;
  if (!words.Read(file)) {
    set_nil();
    return false;
  }
  words.copy_to(*this);
  return true;
}

}  // namespace base
