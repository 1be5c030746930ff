// The concrete Variant datatypes: what readers (XML, tree records), script values and converters
// build directly and install with Variant::set_datatype. Code that only reads and writes trees
// needs Variant.h alone.
//
// Children and attribute records are held through owned pointers, so a reference or pointer to a
// child or attribute stays valid while siblings are added (a game-state walk that creates
// "Missions" and then "Inventory" keeps both). Only removing that node ends it. Datatypes, child
// handles, records, lists and texts live in the tree pools (VariantPool.h).
#pragma once

#include <vector>

#include "base/data/Variant.h"
#include "base/data/VariantPool.h"

namespace base {

class dt_int final : public Variant::datatype, public variant_pool::st_Pooled {
 public:
  explicit dt_int(int v = 0) : datatype(K_INT), m_value(v) {}
  bool is_int() const override;
  int get_int() const override;
  float get_float() const override;
  double get_double() const override;
  const char* get_string() const override;  // "%d", per-thread buffer of this class
  datatype* clone() const override;
  void print_to(tString<BaseString>& out) const override;
  int m_value;
};

class dt_float final : public Variant::datatype, public variant_pool::st_Pooled {
 public:
  explicit dt_float(float v = 0.0f) : datatype(K_FLOAT), m_value(v) {}
  bool is_float() const override;
  int get_int() const override;  // truncated toward zero, saturated to the int range
  float get_float() const override;
  double get_double() const override;
  const char* get_string() const override;  // "%g", per-thread buffer of this class
  datatype* clone() const override;
  void print_to(tString<BaseString>& out) const override;
  float m_value;
};

class dt_double final : public Variant::datatype, public variant_pool::st_Pooled {
 public:
  explicit dt_double(double v = 0.0) : datatype(K_DOUBLE), m_value(v) {}
  bool is_double() const override;
  int get_int() const override;
  float get_float() const override;
  double get_double() const override;
  const char* get_string() const override;  // "%g", per-thread buffer of this class
  datatype* clone() const override;
  void print_to(tString<BaseString>& out) const override;
  double m_value;
};

class dt_pointer final : public Variant::datatype, public variant_pool::st_Pooled {
 public:
  explicit dt_pointer(void* p = nullptr) : datatype(K_POINTER), m_value(p) {}
  bool is_pointer() const override;
  void* get_pointer() const override;
  const char* get_string() const override;  // the address in decimal, per-thread buffer
  datatype* clone() const override;
  void print_to(tString<BaseString>& out) const override;
  void* m_value;
};

class dt_string final : public Variant::datatype, public variant_pool::st_Pooled {
 public:
  dt_string() : datatype(K_STRING) {}
  dt_string(const char* p, int n) : datatype(K_STRING) { if (p) m_value.set(p, n); }
  bool is_string() const override;
  int get_int() const override;        // leading decimal integer, saturated; 0 without digits
  float get_float() const override;    // standard text-to-double, narrowed
  double get_double() const override;
  const char* get_string() const override;  // the text; null when empty
  int size() const override;                // text length
  datatype* clone() const override;
  void print_to(tString<BaseString>& out) const override;
  datatype* number_to_text() override;  // already text: itself
  datatype* text_to_number() override;  // a new dt_double when the text begins with a number
  variant_pool::cl_NodeText m_value;
};

// The child handles, owned, never null.
using tChildList = std::vector<Variant*, variant_pool::tAllocator<Variant*>>;

class dt_array : public Variant::datatype, public variant_pool::st_Pooled {
 public:
  dt_array() : datatype(K_ARRAY) {}
  explicit dt_array(int n) : datatype(K_ARRAY) { resize(n); }
  ~dt_array() override;
  bool is_atomic() const override;
  bool is_array() const override;
  int size() const override;
  Variant* child_grow(int i) override;
  Variant* child(int i) override;
  void resize(int n) override;
  datatype* clone() const override;
  datatype* number_to_text() override;
  datatype* text_to_number() override;

  Variant& append();  // a new nil last child
  // Removes the nil children keeping the order of the others; returns how many went.
  int remove_nil_children();

  tChildList m_children;  // owned (Variant handles from the pool), never null

  // A nil handle in pool storage, and the end of one: the only way handles enter and leave
  // m_children.
  static Variant* new_child();
  static void delete_child(Variant* c) noexcept;

 protected:
  explicit dt_array(en_Kind kind) : datatype(kind) {}
};

class dt_element final : public dt_array {
 public:
  struct attribute_record : variant_pool::st_Pooled {
    variant_pool::cl_NodeText label;
    Variant value;
  };

  dt_element() : dt_array(K_ELEMENT) {}
  ~dt_element() override;
  dt_element(const char* label, int n) : dt_array(K_ELEMENT) { if (label) m_label.set(label, n); }
  bool is_element() const override;
  const char* get_label() const override;
  datatype* clone() const override;
  Variant* attribute(const char* name) override;
  Variant* attribute(int i) override;
  const Variant* attribute(int i) const override;
  Variant* find_attribute(const char* name) const override;
  const char* get_attribute_label(int i) const override;
  int attribute_cnt() const override;
  void set_label(const char* text, int n) override;
  datatype* number_to_text() override;
  datatype* text_to_number() override;

  // First child element with that label (length n), or null: the per-frame look-up path.
  Variant* find_child_element(const char* label, int n) const;
  // Index of the attribute labelled name (length n), or -1.
  int find_attribute_index(const char* name, int n) const;

  variant_pool::cl_NodeText m_label;
  std::vector<attribute_record*, variant_pool::tAllocator<attribute_record*>> m_attributes;  // owned, never null, in insertion order
};

}  // namespace base
