// The Variant datatypes: defaults of the abstract datatype, nil, the scalars, arrays and elements.

#include "base/data/VariantTypes.h"

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace base {

// The tree pools hand out blocks aligned to 8 (VariantPool.h).
static_assert(alignof(dt_double) <= 8 && alignof(dt_pointer) <= 8 && alignof(dt_string) <= 8 &&
                  alignof(dt_element) <= 8 && alignof(dt_element::attribute_record) <= 8 && alignof(Variant) <= 8,
              "tree objects must fit the pools' alignment");

namespace {

// Number texts live in one buffer per datatype class and thread; 32 characters hold any "%d",
// "%g" or 64-bit address text.
constexpr int kTextSize = 32;

inline bool label_equals(const variant_pool::cl_NodeText& s, const char* p, int n) {
  return s.size() == n && (n == 0 || std::memcmp(s.get_buffer(), p, static_cast<size_t>(n)) == 0);
}

// Truncation toward zero without the undefined out-of-range conversion.
int saturate_to_int(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

void print_number(tString<BaseString>& out, const char* text) { out = text; }

}  // namespace

// ---- datatype defaults

Variant::datatype::~datatype() = default;
bool Variant::datatype::is_void() const { return false; }
bool Variant::datatype::is_atomic() const { return true; }
bool Variant::datatype::is_int() const { return false; }
bool Variant::datatype::is_float() const { return false; }
bool Variant::datatype::is_double() const { return false; }
bool Variant::datatype::is_string() const { return false; }
bool Variant::datatype::is_array() const { return false; }
bool Variant::datatype::is_element() const { return false; }
bool Variant::datatype::is_pointer() const { return false; }
void* Variant::datatype::get_pointer() const { return nullptr; }
int Variant::datatype::get_int() const { return 0; }
float Variant::datatype::get_float() const { return 0.0f; }
double Variant::datatype::get_double() const { return 0.0; }
const char* Variant::datatype::get_string() const { return nullptr; }
const char* Variant::datatype::get_label() const { return nullptr; }
int Variant::datatype::size() const { return 0; }
Variant* Variant::datatype::child_grow(int) { return nullptr; }
Variant* Variant::datatype::child(int) { return nullptr; }
void Variant::datatype::resize(int) {}
void Variant::datatype::release() { delete this; }
void Variant::datatype::print_to(tString<BaseString>& out) const { out = "void"; }
Variant* Variant::datatype::attribute(const char*) { return nullptr; }
Variant* Variant::datatype::attribute(int) { return nullptr; }
const Variant* Variant::datatype::attribute(int) const { return nullptr; }
Variant* Variant::datatype::find_attribute(const char*) const { return nullptr; }
const char* Variant::datatype::get_attribute_label(int) const { return nullptr; }
int Variant::datatype::attribute_cnt() const { return 0; }
void Variant::datatype::set_label(const char*, int) {}

Variant::datatype* Variant::datatype::number_to_text() {
  tString<BaseString> text;
  print_to(text);
  return new dt_string(text.get_buffer(), text.size());
}

Variant::datatype* Variant::datatype::text_to_number() { return this; }

// ---- nil

bool Variant::dt_void::is_void() const { return true; }
bool Variant::dt_void::is_atomic() const { return false; }
Variant::datatype* Variant::dt_void::clone() const { return &Variant::s_Void; }
void Variant::dt_void::release() {}
Variant::datatype* Variant::dt_void::number_to_text() { return this; }

// ---- int

bool dt_int::is_int() const { return true; }
int dt_int::get_int() const { return m_value; }
float dt_int::get_float() const { return static_cast<float>(m_value); }
double dt_int::get_double() const { return m_value; }
Variant::datatype* dt_int::clone() const { return new dt_int(m_value); }

const char* dt_int::get_string() const {
  static thread_local char text[kTextSize];
  std::snprintf(text, sizeof text, "%d", m_value);
  return text;
}

void dt_int::print_to(tString<BaseString>& out) const {
  char text[kTextSize];
  std::snprintf(text, sizeof text, "%d", m_value);
  print_number(out, text);
}

// ---- float

bool dt_float::is_float() const { return true; }
int dt_float::get_int() const { return saturate_to_int(m_value); }
float dt_float::get_float() const { return m_value; }
double dt_float::get_double() const { return m_value; }
Variant::datatype* dt_float::clone() const { return new dt_float(m_value); }

const char* dt_float::get_string() const {
  static thread_local char text[kTextSize];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(m_value));
  return text;
}

void dt_float::print_to(tString<BaseString>& out) const {
  char text[kTextSize];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(m_value));
  print_number(out, text);
}

// ---- double

bool dt_double::is_double() const { return true; }
int dt_double::get_int() const { return saturate_to_int(m_value); }
float dt_double::get_float() const { return static_cast<float>(m_value); }
double dt_double::get_double() const { return m_value; }
Variant::datatype* dt_double::clone() const { return new dt_double(m_value); }

const char* dt_double::get_string() const {
  static thread_local char text[kTextSize];
  std::snprintf(text, sizeof text, "%g", m_value);
  return text;
}

void dt_double::print_to(tString<BaseString>& out) const {
  char text[kTextSize];
  std::snprintf(text, sizeof text, "%g", m_value);
  print_number(out, text);
}

// ---- pointer

bool dt_pointer::is_pointer() const { return true; }
void* dt_pointer::get_pointer() const { return m_value; }
Variant::datatype* dt_pointer::clone() const { return new dt_pointer(m_value); }

// The address as a signed decimal number (the whole 64-bit value).
const char* dt_pointer::get_string() const {
  static thread_local char text[kTextSize];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(reinterpret_cast<std::intptr_t>(m_value)));
  return text;
}

void dt_pointer::print_to(tString<BaseString>& out) const {
  char text[kTextSize];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(reinterpret_cast<std::intptr_t>(m_value)));
  print_number(out, text);
}

// ---- string

bool dt_string::is_string() const { return true; }
const char* dt_string::get_string() const { return m_value.get_buffer(); }
int dt_string::size() const { return m_value.size(); }
Variant::datatype* dt_string::clone() const { return new dt_string(m_value.get_buffer(), m_value.size()); }
void dt_string::print_to(tString<BaseString>& out) const {
  if (m_value.size())
    out.set(m_value.get_buffer(), m_value.size());
  else
    out.clear();
}
Variant::datatype* dt_string::number_to_text() { return this; }

// The decimal integer at the start: leading blanks, one sign, digits; saturated to the int range.
int dt_string::get_int() const {
  const char* p = m_value.get_buffer();
  if (!p) return 0;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > 2147483648LL) v = 2147483648LL;  // enough to saturate either sign
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return 2147483647;
  return static_cast<int>(v);
}

double dt_string::get_double() const {
  const char* p = m_value.get_buffer();
  return p ? std::strtod(p, nullptr) : 0.0;
}

float dt_string::get_float() const { return static_cast<float>(get_double()); }

Variant::datatype* dt_string::text_to_number() {
  const char* p = m_value.get_buffer();
  str::en_NumberType kind;
  int length;
  if (!p || !str::get_number_info(p, kind, length) || kind != str::NT_NUMBER) return this;
  return new dt_double(str::ascii_to_real(p));
}

// ---- array

Variant* dt_array::new_child() { return variant_pool::create<Variant>(); }
void dt_array::delete_child(Variant* c) noexcept { variant_pool::destroy(c); }

dt_array::~dt_array() {
  for (Variant* c : m_children) delete_child(c);
}

bool dt_array::is_atomic() const { return false; }
bool dt_array::is_array() const { return true; }
int dt_array::size() const { return static_cast<int>(m_children.size()); }

Variant* dt_array::child_grow(int i) {
  if (i < 0) return nullptr;
  if (i >= size()) resize(i + 1);
  return m_children[static_cast<size_t>(i)];
}

Variant* dt_array::child(int i) {
  return i >= 0 && i < size() ? m_children[static_cast<size_t>(i)] : nullptr;
}

void dt_array::resize(int n) {
  if (n < 0) n = 0;
  const size_t want = static_cast<size_t>(n);
  while (m_children.size() > want) {
    delete_child(m_children.back());
    m_children.pop_back();
  }
  // Geometric: children are appended one at a time (operator[] at size()), and an exact reserve
  // would copy the whole list on every append.
  if (want > m_children.capacity()) m_children.reserve(std::max(want, m_children.capacity() * 2));
  while (m_children.size() < want) {
    Variant* c = new_child();
    try {
      m_children.push_back(c);
    } catch (...) {
      delete_child(c);
      throw;
    }
  }
}

Variant& dt_array::append() {
  // Room first, so a failed allocation cannot lose the new handle.
  if (m_children.size() == m_children.capacity()) m_children.reserve(std::max<size_t>(4, m_children.size() * 2));
  m_children.push_back(new_child());
  return *m_children.back();
}

int dt_array::remove_nil_children() {
  size_t nils = 0;
  for (size_t i = 0; i < m_children.size(); ++i) {
    Variant* c = m_children[i];
    if (c->is_void()) {
      ++nils;
      continue;
    }
    // The survivor moves down as a whole, so a reference held to it still names it.
    if (nils) std::swap(m_children[i - nils], m_children[i]);
  }
  for (size_t k = 0; k < nils; ++k) {
    delete_child(m_children.back());
    m_children.pop_back();
  }
  return static_cast<int>(nils);
}

Variant::datatype* dt_array::clone() const {
  auto* a = new dt_array;
  a->m_children.reserve(m_children.size());
  for (const Variant* c : m_children) a->m_children.push_back(variant_pool::create<Variant>(*c));
  return a;
}

Variant::datatype* dt_array::number_to_text() {
  for (Variant* c : m_children) c->number_to_text();
  return this;
}

Variant::datatype* dt_array::text_to_number() {
  for (Variant* c : m_children) c->text_to_number();
  return this;
}

// ---- element

dt_element::~dt_element() {
  for (attribute_record* a : m_attributes) delete a;
}

bool dt_element::is_element() const { return true; }
const char* dt_element::get_label() const { return m_label.get_buffer(); }
int dt_element::attribute_cnt() const { return static_cast<int>(m_attributes.size()); }
void dt_element::set_label(const char* text, int n) {
  if (text && n > 0)
    m_label.set(text, n);
  else
    m_label.clear();
}

Variant::datatype* dt_element::clone() const {
  auto* e = new dt_element(m_label.get_buffer(), m_label.size());
  e->m_children.reserve(m_children.size());
  for (const Variant* c : m_children) e->m_children.push_back(variant_pool::create<Variant>(*c));
  e->m_attributes.reserve(m_attributes.size());
  for (const attribute_record* a : m_attributes) e->m_attributes.push_back(new attribute_record{{}, a->label, a->value});
  return e;
}

Variant* dt_element::find_child_element(const char* label, int n) const {
  for (Variant* c : m_children) {
    const datatype* d = c->get_datatype();
    if (d->kind() == K_ELEMENT && label_equals(static_cast<const dt_element*>(d)->m_label, label, n)) return c;
  }
  return nullptr;
}

int dt_element::find_attribute_index(const char* name, int n) const {
  const int count = attribute_cnt();
  for (int i = 0; i < count; ++i)
    if (label_equals(m_attributes[static_cast<size_t>(i)]->label, name, n)) return i;
  return -1;
}

Variant* dt_element::find_attribute(const char* name) const {
  const int i = find_attribute_index(name, str::len(name));
  return i < 0 ? nullptr : &m_attributes[static_cast<size_t>(i)]->value;
}

Variant* dt_element::attribute(const char* name) {
  const int n = str::len(name);
  const int i = find_attribute_index(name, n);
  if (i >= 0) return &m_attributes[static_cast<size_t>(i)]->value;
  auto* a = new attribute_record;
  if (n) a->label.set(name, n);
  m_attributes.push_back(a);
  return &a->value;
}

Variant* dt_element::attribute(int i) {
  return i >= 0 && i < attribute_cnt() ? &m_attributes[static_cast<size_t>(i)]->value : nullptr;
}

const Variant* dt_element::attribute(int i) const {
  return i >= 0 && i < attribute_cnt() ? &m_attributes[static_cast<size_t>(i)]->value : nullptr;
}

const char* dt_element::get_attribute_label(int i) const {
  return i >= 0 && i < attribute_cnt() ? m_attributes[static_cast<size_t>(i)]->label.get_buffer() : nullptr;
}

Variant::datatype* dt_element::number_to_text() {
  dt_array::number_to_text();
  for (attribute_record* a : m_attributes) a->value.number_to_text();
  return this;
}

Variant::datatype* dt_element::text_to_number() {
  dt_array::text_to_number();
  for (attribute_record* a : m_attributes) a->value.text_to_number();
  return this;
}

}  // namespace base
