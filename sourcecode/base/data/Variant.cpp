// base::Variant: the handle's members. The datatypes are in VariantTypes.cpp.

#include "base/data/Variant.h"

#include <cstring>

#include "base/data/VariantTypes.h"

namespace base {

constinit Variant::dt_void Variant::s_Void;

namespace {

// Nil is never released: it is shared, and static Variants may outlive it at exit.
inline void release_data(Variant::datatype* d) {
  if (d != &Variant::s_Void) d->release();
}

inline bool is_node(const Variant::datatype* d) {
  using K = Variant::datatype;
  const auto k = d->kind();
  return k == K::K_OTHER ? d->is_array() : (k == K::K_ARRAY || k == K::K_ELEMENT);
}

inline dt_element* as_element(Variant::datatype* d) {
  return d->kind() == Variant::datatype::K_ELEMENT ? static_cast<dt_element*>(d) : nullptr;
}

const Variant& shared_nil() {
  static const Variant nil;
  return nil;
}

}  // namespace

// ---- construction and moves

Variant::Variant() : m_data(&s_Void) {}
Variant::Variant(const Variant& v) : m_data(v.m_data->clone()) {}
Variant::Variant(Variant&& v) noexcept : m_data(v.m_data) { v.m_data = &s_Void; }
Variant::~Variant() { release_data(m_data); }

Variant& Variant::operator=(const Variant& v) {
  copy(v);
  return *this;
}

Variant& Variant::operator=(Variant&& v) noexcept {
  cut(v);
  return *this;
}

void Variant::copy(const Variant& v) {
  if (&v == this) return;
  // Clone first: v may be a descendant of this, which the release would destroy.
  datatype* d = v.m_data->clone();
  release_data(m_data);
  m_data = d;
}

void Variant::cut(Variant& v) {
  if (&v == this) return;
  datatype* d = v.m_data;
  v.m_data = &s_Void;
  release_data(m_data);  // may destroy v when v was a descendant; d was detached first
  m_data = d;
}

void Variant::swap(Variant& v) noexcept {
  datatype* d = v.m_data;
  v.m_data = m_data;
  m_data = d;
}

void Variant::set_datatype(datatype* d) {
  if (d == m_data) return;
  release_data(m_data);
  m_data = d ? d : &s_Void;
}

void Variant::set_nil() { set_datatype(&s_Void); }
void Variant::set_int(int v) { set_datatype(new dt_int(v)); }
void Variant::set_bool(bool v) { set_datatype(new dt_int(v ? 1 : 0)); }
void Variant::set_float(float v) { set_datatype(new dt_float(v)); }
void Variant::set_double(double v) { set_datatype(new dt_double(v)); }
void Variant::set_pointer(void* p) { set_datatype(new dt_pointer(p)); }

void Variant::set_string(const char* p, int n) {
  if (!p) {
    set_nil();
    return;
  }
  // Built before the release: p may point into this Variant's own text.
  set_datatype(new dt_string(p, n < 0 ? str::len(p) : n));
}

void Variant::set_array(int n) { set_datatype(new dt_array(n)); }

void Variant::set_element(const char* label, int n) {
  set_datatype(new dt_element(label, label && n < 0 ? str::len(label) : n));
}

// ---- forwarding

bool Variant::is_void() const { return m_data->is_void(); }
bool Variant::is_atomic() const { return m_data->is_atomic(); }
bool Variant::is_int() const { return m_data->is_int(); }
bool Variant::is_float() const { return m_data->is_float(); }
bool Variant::is_double() const { return m_data->is_double(); }
bool Variant::is_string() const { return m_data->is_string(); }
bool Variant::is_array() const { return m_data->is_array(); }
bool Variant::is_element() const { return m_data->is_element(); }
bool Variant::is_pointer() const { return m_data->is_pointer(); }

int Variant::get_int() const { return m_data->get_int(); }
float Variant::get_float() const { return m_data->get_float(); }
double Variant::get_double() const { return m_data->get_double(); }
const char* Variant::get_string() const { return m_data->get_string(); }
const char* Variant::get_label() const { return m_data->get_label(); }
void* Variant::get_pointer() const { return m_data->get_pointer(); }

int Variant::size() const { return m_data->size(); }

void Variant::resize(int n) {
  if (n < 0) n = 0;
  if (is_node(m_data))
    m_data->resize(n);
  else
    set_array(n);
}

// ---- children

Variant& Variant::operator[](int i) {
  if (i < 0) {
    // Outside the contract; hand out a scratch value instead of writing before the children.
    static thread_local Variant scratch;
    scratch.set_nil();
    return scratch;
  }
  if (!is_node(m_data)) set_array(i + 1);
  return *m_data->child_grow(i);
}

const Variant& Variant::operator[](int i) const {
  const Variant* c = child(i);
  return c ? *c : shared_nil();
}

Variant* Variant::child(int i) {
  if (i < 0 || i >= m_data->size() || !is_node(m_data)) return nullptr;
  return m_data->child(i);
}

const Variant* Variant::child(int i) const { return const_cast<Variant*>(this)->child(i); }

Variant& Variant::back() { return (*this)[size() - 1]; }

Variant& Variant::push_back(Variant& v) {
  Variant& c = (*this)[size()];
  c.cut(v);
  return c;
}

void Variant::push_back_children_of(Variant& src) {
  if (&src == this) return;  // would chase its own growing end
  const int n = is_node(src.m_data) ? src.size() : 0;
  for (int i = 0; i < n; ++i) push_back(*src.child(i));
}

Variant& Variant::add_element(const char* label) {
  Variant& c = (*this)[size()];
  c.set_element(label);
  return c;
}

Variant* Variant::get_element(const char* label) {
  dt_element* e = as_element(m_data);
  return e ? e->find_child_element(label, str::len(label)) : nullptr;
}

const Variant* Variant::get_element(const char* label) const {
  return const_cast<Variant*>(this)->get_element(label);
}

// ---- attributes

Variant* Variant::attribute(const char* name) { return m_data->attribute(name); }
Variant* Variant::attribute(int i) { return m_data->attribute(i); }
const Variant* Variant::attribute(int i) const { return static_cast<const datatype*>(m_data)->attribute(i); }
// The per-frame path: elements are searched without the virtual hop.
Variant* Variant::get_attribute(const char* name) {
  if (dt_element* e = as_element(m_data)) {
    const int i = e->find_attribute_index(name, str::len(name));
    return i < 0 ? nullptr : &e->m_attributes[static_cast<size_t>(i)]->value;
  }
  return m_data->find_attribute(name);
}

const Variant* Variant::get_attribute(const char* name) const { return const_cast<Variant*>(this)->get_attribute(name); }
const char* Variant::get_attribute_label(int i) const { return m_data->get_attribute_label(i); }
int Variant::attribute_cnt() const { return m_data->attribute_cnt(); }
void Variant::set_label(const char* label) { m_data->set_label(label, str::len(label)); }

bool Variant::get_attribute_string(const char* name, tString<BaseString>& out) const {
  const Variant* a = get_attribute(name);
  if (!a) return false;
  out = a->get_string();  // null text gives empty
  return true;
}

bool Variant::get_attribute_int(const char* name, int& out) const {
  const Variant* a = get_attribute(name);
  if (!a) return false;
  out = a->get_int();
  return true;
}

bool Variant::get_attribute_float(const char* name, float& out) const {
  const Variant* a = get_attribute(name);
  if (!a) return false;
  out = a->get_float();
  return true;
}

bool Variant::get_attribute_double(const char* name, double& out) const {
  const Variant* a = get_attribute(name);
  if (!a) return false;
  out = a->get_double();
  return true;
}

bool Variant::get_attribute_bool(const char* name, bool& out) const {
  const Variant* a = get_attribute(name);
  if (!a) return false;
  out = a->get_int() != 0;
  return true;
}

// ---- text forms

void Variant::print_to(tString<BaseString>& out) const { m_data->print_to(out); }

void Variant::number_to_text() {
  datatype* d = m_data->number_to_text();
  if (d != m_data) set_datatype(d);
}

void Variant::text_to_number() {
  datatype* d = m_data->text_to_number();
  if (d != m_data) set_datatype(d);
}

// ---- measures

int variant_get_nest_level(const Variant& v) {
  if (v.is_atomic()) return 0;
  const int n = v.is_array() ? v.size() : 0;
  int deepest = 0;
  for (int i = 0; i < n; ++i) {
    const int level = variant_get_nest_level(v[i]);
    if (level > deepest) deepest = level;
  }
  return 1 + deepest;
}

int variant_get_max_element_size(const Variant& v) {
  if (v.is_atomic() || !v.is_array()) return 0;
  const int n = v.size();
  int widest = n;
  for (int i = 0; i < n; ++i) {
    const int w = variant_get_max_element_size(v[i]);
    if (w > widest) widest = w;
  }
  return widest;
}

}  // namespace base
