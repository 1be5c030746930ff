// base::Variant: the engine's universal value and data tree. A scalar (nil, int, float, double,
// pointer, string) or a node (an array of children, or an element with a label, ordered attributes
// and children: the in-memory form of an XML element). Configuration, game state, GUI events and
// every description travel as Variant trees. Copies are deep; nothing is shared between trees.
// A reference to a child or an attribute stays valid while siblings are added; it ends when that
// node is removed (resize, compaction, set_* of an ancestor) or the tree is destroyed.
//
// Included almost everywhere: only String.h comes with it. The concrete datatype classes are in
// VariantTypes.h, the "/" paths and tree utilities in VariantTools.h.
#pragma once

#include "base/String.h"

namespace base {

class File;

class Variant {
 public:
  class datatype;
  class dt_void;
  // The one nil datatype, shared by every nil Variant and never deleted: nil costs no allocation.
  static dt_void s_Void;

  Variant();                                 // nil
  Variant(const Variant& v);                 // deep copy
  Variant(Variant&& v) noexcept;             // takes v's datatype; v is left nil (like cut)
  Variant& operator=(const Variant& v);      // copy(v)
  Variant& operator=(Variant&& v) noexcept;  // cut(v)
  ~Variant();

  void copy(const Variant& v);     // own value := deep copy of v; copying onto itself changes nothing
  void cut(Variant& v);            // takes v's datatype without copying; v is left nil
  void swap(Variant& v) noexcept;  // exchanges the two datatypes

  // Setters: each releases the old value first.
  void set_nil();
  void clear() { set_nil(); }
  void set_int(int v);
  void set_bool(bool v);  // int 1 or 0
  void set_float(float v);
  void set_double(double v);
  void set_pointer(void* p);                    // not owned
  void set_string(const char* p, int n = -1);   // n = -1: up to the terminator; null p gives nil
  void set_array(int n);                        // n nil children
  void set_element(const char* label, int n = -1);  // empty element; n = label length, -1 whole text

  // Installs d (a datatype made with new, or &s_Void) in place of the current one, which is
  // released; null gives nil. For readers and converters that build datatypes directly.
  void set_datatype(datatype* d);
  datatype* get_datatype() const { return m_data; }

  bool is_void() const;
  bool is_atomic() const;  // scalars; false for nil, arrays and elements
  bool is_int() const;
  bool is_bool() const { return is_int(); }  // booleans are ints
  bool is_float() const;
  bool is_double() const;
  bool is_string() const;
  bool is_array() const;    // arrays and elements
  bool is_element() const;
  bool is_pointer() const;
  bool is_number() const { return is_int() || is_float() || is_double(); }

  // Getters: the conversions of the datatypes; nil, arrays and elements give 0, 0.0 and null.
  // Members need an object: on a lookup result that may be null use the free functions below.
  //
  // get_string of a number or pointer returns a per-thread static buffer of that datatype class
  // (int, float, double, pointer): valid until the next get_string of the same class on the same
  // thread. Never keep two such results alive at once; copy the text (tString) to keep it.
  int get_int() const;
  bool get_bool() const { return get_int() != 0; }
  float get_float() const;
  double get_double() const;
  const char* get_string() const;  // null when empty or not convertible
  const char* get_label() const;   // element label; null when empty or not an element
  void* get_pointer() const;

  // ---- children (arrays and elements)
  int size() const;  // children; a string's length; 0 otherwise
  // Arrays and elements resize their children (excess destroyed, new ones nil); any other value
  // becomes an array of n nil children.
  void resize(int n);
  // Child i. A value that is neither array nor element first becomes an array; the array grows to
  // i + 1 when i >= size.
  Variant& operator[](int i);
  // Child i of an array or element; a shared nil Variant when there is none (never grows).
  const Variant& operator[](int i) const;
  Variant* child(int i);  // child i, or null when out of range or not an array
  const Variant* child(int i) const;
  Variant& back();                               // operator[](size() - 1)
  Variant& push_back(Variant& v);                // appends; v is moved in (left nil); the new child
  void push_back_children_of(Variant& src);      // push_back of each child; src's children left nil
  Variant& add_element(const char* label);       // new last child, an empty element
  // First child element with that label; null when none or when this is not an element.
  Variant* get_element(const char* label);
  const Variant* get_element(const char* label) const;

  // ---- attributes (elements only; lookups are linear in document order)
  Variant* attribute(const char* name);  // find or add (nil) at the end; null when not an element
  Variant* attribute(int i);             // value of attribute i; i must be below attribute_cnt
  const Variant* attribute(int i) const;
  Variant* get_attribute(const char* name);  // find only; null when absent or not an element
  const Variant* get_attribute(const char* name) const;
  const char* get_attribute_label(int i) const;  // i must be below attribute_cnt
  int attribute_cnt() const;
  void set_label(const char* label);  // elements only; null gives the empty label

  // False when the attribute is absent (out untouched); otherwise out := the value converted.
  bool get_attribute_string(const char* name, tString<BaseString>& out) const;  // null text: empty
  bool get_attribute_int(const char* name, int& out) const;
  bool get_attribute_float(const char* name, float& out) const;
  bool get_attribute_double(const char* name, double& out) const;
  bool get_attribute_bool(const char* name, bool& out) const;

  // ---- text forms
  void print_to(tString<BaseString>& out) const;  // replaces out: "%d", "%g", the text, or "void"
  void number_to_text();  // every scalar (recursively) becomes a string of its print_to text
  void text_to_number();  // every string that begins with a number becomes a double (recursively)

  // The element reached by the "/" path of element labels from here; null when this or path is
  // null or a component is missing. Not reentrant with the other path functions.
  Variant* operator()(const char* path);
  const Variant* operator()(const char* path) const;

  // The binary tree record (the static-word tree file form). Defined with that file format.
  bool Write(File* file) const;
  bool Read(File* file);

 private:
  datatype* m_data;
};

// Getters that accept a null Variant pointer, so a lookup chains without a test:
// base::get_int(cfg.get_attribute("Width")) is 0 when the attribute is absent.
inline int get_int(const Variant* v) { return v ? v->get_int() : 0; }
inline bool get_bool(const Variant* v) { return v ? v->get_bool() : false; }
inline float get_float(const Variant* v) { return v ? v->get_float() : 0.0f; }
inline double get_double(const Variant* v) { return v ? v->get_double() : 0.0; }
inline const char* get_string(const Variant* v) { return v ? v->get_string() : nullptr; }
inline const char* get_label(const Variant* v) { return v ? v->get_label() : nullptr; }
inline void* get_pointer(const Variant* v) { return v ? v->get_pointer() : nullptr; }

// Depth: 0 for an atomic value, 1 for nil or a node without children, else 1 + deepest child.
int variant_get_nest_level(const Variant& v);
// Widest node: 0 for an atomic value, else the largest child count in v and its descendants.
int variant_get_max_element_size(const Variant& v);

// The operations every datatype answers, one virtual call each (ORDER SLOT: the datatype classes
// in VariantTypes.h override these). Defaults are those of a plain scalar.
class Variant::datatype {
 public:
  // Lets the tree walks test the common kinds without a virtual call.
  enum en_Kind : unsigned char { K_VOID, K_INT, K_FLOAT, K_DOUBLE, K_POINTER, K_STRING, K_ARRAY, K_ELEMENT, K_OTHER };

  constexpr explicit datatype(en_Kind kind = K_OTHER) : m_kind(kind) {}
  datatype(const datatype&) = delete;
  datatype& operator=(const datatype&) = delete;
  virtual ~datatype();

  virtual bool is_void() const;
  virtual bool is_atomic() const;
  virtual bool is_int() const;
  virtual bool is_float() const;
  virtual bool is_double() const;
  virtual bool is_string() const;
  virtual bool is_array() const;
  virtual bool is_element() const;
  virtual bool is_pointer() const;
  virtual void* get_pointer() const;
  virtual int get_int() const;
  virtual float get_float() const;
  virtual double get_double() const;
  virtual const char* get_string() const;
  virtual const char* get_label() const;
  virtual int size() const;
  virtual Variant* child_grow(int i);  // arrays grow to i + 1 first; null for scalars
  virtual Variant* child(int i);       // i below size; null for scalars
  virtual void resize(int n);
  virtual datatype* clone() const = 0;  // deep copy
  virtual void release();               // deletes this and what it owns (nil: nothing)
  virtual void print_to(tString<BaseString>& out) const;
  virtual Variant* attribute(const char* name);  // find or add
  virtual Variant* attribute(int i);
  virtual const Variant* attribute(int i) const;
  virtual Variant* find_attribute(const char* name) const;
  virtual const char* get_attribute_label(int i) const;
  virtual int attribute_cnt() const;
  virtual void set_label(const char* text, int n);
  // Return this, or a new datatype the caller installs in place of this (and then releases this).
  virtual datatype* number_to_text();
  virtual datatype* text_to_number();

  en_Kind kind() const { return m_kind; }

 private:
  en_Kind m_kind;
};

class Variant::dt_void final : public Variant::datatype {
 public:
  constexpr dt_void() : datatype(K_VOID) {}
  bool is_void() const override;
  bool is_atomic() const override;
  datatype* clone() const override;
  void release() override;
  datatype* number_to_text() override;
};

}  // namespace base
