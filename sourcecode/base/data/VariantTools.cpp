// Variant paths and tree utilities.

#include "base/data/VariantTools.h"

#include <cstring>
#include <vector>

#include "base/data/VariantTypes.h"

namespace base {

namespace {

inline bool is_separator(char c) { return c == '/' || c == '\\'; }

// Cuts the next non-empty component from *p: start and length; false at the end of the path.
bool next_component(const char*& p, const char*& start, int& length) {
  while (*p && is_separator(*p)) ++p;
  if (!*p) return false;
  start = p;
  while (*p && !is_separator(*p)) ++p;
  length = static_cast<int>(p - start);
  return true;
}

dt_element* as_element(Variant& v) {
  Variant::datatype* d = v.get_datatype();
  return d->kind() == Variant::datatype::K_ELEMENT ? static_cast<dt_element*>(d) : nullptr;
}

dt_array* as_array(Variant& v) {
  Variant::datatype* d = v.get_datatype();
  const auto k = d->kind();
  return k == Variant::datatype::K_ARRAY || k == Variant::datatype::K_ELEMENT ? static_cast<dt_array*>(d) : nullptr;
}

// Walks the element components of path[0, end) from v.
Variant* walk(Variant& v, const char* path, const char* end, bool create) {
  Variant* node = &v;
  const char* p = path;
  const char* start;
  int length;
  while (p < end && next_component(p, start, length)) {
    if (start + length > end) length = static_cast<int>(end - start);
    if (length <= 0) break;
    dt_element* e = as_element(*node);
    Variant* next = e ? e->find_child_element(start, length) : nullptr;
    if (!next) {
      if (!create) return nullptr;
      next = &(*node)[node->is_array() ? node->size() : 0];
      next->set_element(start, length);
    }
    node = next;
  }
  return node;
}

// The text of a value as get_attribute_string gives it, without the shared number buffers:
// numbers print into scratch. Null for nil and nodes.
const char* value_text(const Variant& v, tString<BaseString>& scratch) {
  if (v.is_string()) return v.get_string();
  if (!v.is_atomic()) return nullptr;
  v.print_to(scratch);
  return scratch.get_buffer();
}

// Whether the child element c has attribute attr (length n) with the text value.
bool attribute_text_equals(const Variant& c, const char* attr, int n, const char* value, bool nocase,
                           tString<BaseString>& scratch) {
  const auto* e = static_cast<const dt_element*>(c.get_datatype());
  const int i = e->find_attribute_index(attr, n);
  if (i < 0) return false;
  const char* text = value_text(e->m_attributes[static_cast<size_t>(i)]->value, scratch);
  return (nocase ? str::compare_nocase(text, value) : str::compare(text, value)) == 0;
}

inline bool is_element(const Variant* c) { return c->get_datatype()->kind() == Variant::datatype::K_ELEMENT; }

Variant* find_by_attribute(Variant& v, const char* attr, const char* value, bool nocase) {
  dt_element* e = as_element(v);
  if (!e) return nullptr;
  const int n = str::len(attr);
  tString<BaseString> scratch;
  for (Variant* c : e->m_children)
    if (is_element(c) && attribute_text_equals(*c, attr, n, value, nocase, scratch)) return c;
  return nullptr;
}

}  // namespace

// ---- paths

Variant* Variant::operator()(const char* path) {
  if (!path) return nullptr;
  return walk(*this, path, path + std::strlen(path), false);
}

const Variant* Variant::operator()(const char* path) const { return const_cast<Variant&>(*this)(path); }

Variant* variant_get_element_by_path(Variant& v, const char* path, bool create) {
  if (!path) return &v;
  return walk(v, path, path + std::strlen(path), create);
}

tString<BaseString> path_get_attribute_label(const char* path) {
  const int n = str::len(path);
  int i = n;
  while (i > 0 && !is_separator(path[i - 1])) --i;
  return tString<BaseString>(path ? path + i : nullptr);
}

Variant* variant_get_attribute_by_path(Variant& v, const char* path, bool create) {
  const int n = str::len(path);
  int i = n;
  while (i > 0 && !is_separator(path[i - 1])) --i;
  Variant* e = i > 0 ? walk(v, path, path + i, create) : &v;
  if (!e) return nullptr;
  const char* name = path ? path + i : "";
  return create ? e->attribute(name) : e->get_attribute(name);
}

// ---- searches

Variant* variant_find_or_add_element(Variant& v, const char* label) {
  if (Variant* e = v.get_element(label)) return e;
  return &v.add_element(label);
}

Variant* variant_find_element_by_attribute_value(Variant& v, const char* attr, const char* value) {
  return find_by_attribute(v, attr, value, false);
}

Variant* variant_find_element_by_attribute_value_case_insensitiv(Variant& v, const char* attr, const char* value) {
  return find_by_attribute(v, attr, value, true);
}

// ---- removal

void variant_remove_elements_nil(Variant& v) {
  if (dt_array* a = as_array(v)) a->remove_nil_children();
}

void variant_remove_elements(Variant& v, const char* label) {
  dt_element* e = as_element(v);
  if (!e) return;
  for (Variant* c : e->m_children)
    if (c->is_element() && str::compare(c->get_label(), label) == 0) c->set_nil();
  e->remove_nil_children();
}

void variant_remove_elements_by_attribute_value(Variant& v, const char* attr, const char* value) {
  dt_element* e = as_element(v);
  if (!e) return;
  const int n = str::len(attr);
  tString<BaseString> scratch;
  for (Variant* c : e->m_children)
    if (is_element(c) && attribute_text_equals(*c, attr, n, value, false, scratch)) c->set_nil();
  e->remove_nil_children();
}

// ---- edits

void variant_add_attribute_recursive(Variant& v, const char* name, const Variant& value) {
  dt_element* e = as_element(v);
  if (!e) return;
  e->attribute(name)->copy(value);
  for (Variant* c : e->m_children) variant_add_attribute_recursive(*c, name, value);
}

void variant_merge_variant(Variant& dst, const Variant& src) {
  if (&dst == &src || !dst.is_element() || !src.is_element()) return;
  const int attributes = src.attribute_cnt();
  for (int i = 0; i < attributes; ++i) dst.attribute(src.get_attribute_label(i))->copy(*src.attribute(i));
  const int children = src.size();
  for (int i = 0; i < children; ++i) {
    const Variant& c = src[i];
    Variant* target = c.is_element() ? dst.get_element(c.get_label()) : nullptr;
    if (target)
      target->copy(c);
    else
      variant_append_variant(dst, c);
  }
}

Variant& variant_append_variant(Variant& dst, const Variant& src) {
  Variant copy(src);  // src may be dst itself or one of its children
  Variant& c = dst[dst.is_array() ? dst.size() : 0];
  c.cut(copy);
  return c;
}

void variant_for_each(Variant& v, const char* label, void (*fn)(Variant&)) {
  if (!v.is_element()) return;
  if (str::compare(v.get_label(), label) == 0) fn(v);
  // fn may add or remove children of v: re-read the size on every step.
  for (int i = 0; i < v.size() && v.is_element(); ++i) variant_for_each(*v.child(i), label, fn);
}

void variant_sort_by_attribute(Variant& v, const char* attr) {
  dt_array* a = as_array(v);
  if (!a || a->m_children.size() < 2) return;
  // The keys are taken once; a child without a key never moves past a neighbour.
  struct key {
    bool present = false;
    tString<BaseString> text;
  };
  const size_t n = a->m_children.size();
  std::vector<key> keys(n);
  for (size_t i = 0; i < n; ++i) {
    const Variant* c = a->m_children[i];
    const Variant* value = c->is_element() ? c->get_attribute(attr) : nullptr;
    if (!value) continue;
    keys[i].present = true;
    tString<BaseString> scratch;
    keys[i].text = value_text(*value, scratch);
  }
  for (bool exchanged = true; exchanged;) {
    exchanged = false;
    for (size_t i = 0; i + 1 < n; ++i) {
      if (!keys[i].present || !keys[i + 1].present) continue;
      if (str::compare(keys[i].text, keys[i + 1].text) <= 0) continue;
      std::swap(a->m_children[i], a->m_children[i + 1]);
      std::swap(keys[i], keys[i + 1]);
      exchanged = true;
    }
  }
}

bool variant_equal(const Variant& a, const Variant& b) {
  if (&a == &b) return true;
  if (a.is_void() || b.is_void()) return a.is_void() && b.is_void();
  if (a.is_int() != b.is_int() || a.is_float() != b.is_float() || a.is_double() != b.is_double() ||
      a.is_string() != b.is_string() || a.is_pointer() != b.is_pointer() || a.is_array() != b.is_array() ||
      a.is_element() != b.is_element())
    return false;
  if (a.is_int()) return a.get_int() == b.get_int();
  if (a.is_float()) return a.get_float() == b.get_float();
  if (a.is_double()) return a.get_double() == b.get_double();
  if (a.is_string()) return str::compare(a.get_string(), b.get_string()) == 0;
  if (a.is_pointer()) return a.get_pointer() == b.get_pointer();
  if (!a.is_array()) return false;  // a datatype of its own kind: no way to compare it
  if (str::compare(a.get_label(), b.get_label()) != 0 || a.attribute_cnt() != b.attribute_cnt() ||
      a.size() != b.size())
    return false;
  for (int i = 0; i < a.attribute_cnt(); ++i)
    if (str::compare(a.get_attribute_label(i), b.get_attribute_label(i)) != 0 ||
        !variant_equal(*a.attribute(i), *b.attribute(i)))
      return false;
  for (int i = 0; i < a.size(); ++i)
    if (!variant_equal(a[i], b[i])) return false;
  return true;
}

// ---- conversions

Variant variant_labeled_element(const char* label, const char* text) {
  Variant v;
  v.set_element(label);
  v.attribute("label")->set_string(text ? text : "");
  return v;
}

void variant_stringlist_to_variant(Variant& v, const list<tString<BaseString>>& items) {
  Variant result;
  result.set_element("List");
  for (const tString<BaseString>& item : items) result.add_element("String").attribute("value")->set_string(item.c_str());
  v.cut(result);
}

void variant_variant_to_stringlist(list<tString<BaseString>>& items, const Variant& v) {
  items.clear();
  if (!v.is_element()) return;
  const int n = v.size();
  for (int i = 0; i < n; ++i) {
    const Variant& c = v[i];
    if (!c.is_element() || str::compare(c.get_label(), "String") != 0) continue;
    tString<BaseString> text;
    if (c.get_attribute_string("value", text)) items.push_back(text);
  }
}

}  // namespace base
