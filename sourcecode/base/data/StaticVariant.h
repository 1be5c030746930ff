// base::StaticVariant: the compact, read-only form of a Variant tree. The whole tree is one block
// of 32-bit words; every reference inside it is a word offset relative to the node holding it, so
// any node's word run is a self-contained tree that can be copied raw. Labels and attribute names
// are one word each: the 32-bit id of a vocable (base/Vocable.h). base::StaticVariantIterator is
// the cursor through which the words are read.
//
// Node layout (ORDER SVKIND): kind word first.
//   0 nil      [0]
//   1 int      [1, value]
//   2 float    [2, IEEE single bits]
//   3 string   [3, L, characters, NUL, padding]           L/4 + 3 words
//   4 element  [4, size, label, A, attr-table offset, K, child-table offset,
//               A x (name word, value node), K child nodes, A attr-table words, K child-table words]
// Table entries are offsets from the element's first word (of the name word / the child).
#pragma once

#include "base/String.h"

namespace base {

class Variant;
class File;

// Deepest element nesting that builders, readers and converters accept; deeper input is
// refused with a log line instead of running the stack out.
constexpr int kMaxTreeDepth = 256;

enum en_StaticKind { SV_NIL = 0, SV_INT = 1, SV_FLOAT = 2, SV_STRING = 3, SV_ELEMENT = 4 };

class StaticVariantIterator {
 public:
  StaticVariantIterator() = default;
  StaticVariantIterator(const int* node) : m_node(const_cast<int*>(node)) {}

  explicit operator bool() const { return m_node != nullptr; }
  const int* get_node() const { return m_node; }

  bool is_nil() const { return !m_node || m_node[0] == SV_NIL; }
  bool is_int() const { return m_node && m_node[0] == SV_INT; }
  bool is_float() const { return m_node && m_node[0] == SV_FLOAT; }
  bool is_string() const { return m_node && m_node[0] == SV_STRING; }
  bool is_element() const { return m_node && m_node[0] == SV_ELEMENT; }

  int get_int() const;      // int; float truncated toward zero; else 0
  float get_float() const;  // float; int converted; else 0.0
  // A string's characters; any other kind gives the text "error: not a string".
  const char* get_string() const;
  int get_string_length() const;  // a string's L; 0 for other kinds
  const unsigned char* get_label() const;  // an element's label vocable; null otherwise
  // Raw name words, for code that rewrites names in place (element nodes only, no checks).
  int& label_word() { return m_node[2]; }
  int& attribute_label_word(int i);

  // Node size in words: nil 1, int and float 2, string L/4 + 3, element word 1, else 0.
  int size() const;

  int get_element_cnt() const;  // children of an element; 0 for other kinds
  StaticVariantIterator get_element(int i) const;  // child i; null past the count
  // The n-th (from 0) child element with that label; null when there are fewer.
  StaticVariantIterator get_element(const unsigned char* label, int n = 0) const;
  StaticVariantIterator get_element(const char* label, int n = 0) const;  // by text (never adds)

  int get_attribute_cnt() const;  // 0 for non-elements
  const unsigned char* get_attribute_label(int i) const;  // null past the count
  StaticVariantIterator get_attribute(int i) const;       // value of attribute i; null past the count
  // Value of the first attribute with that name; null when none.
  StaticVariantIterator get_attribute(const unsigned char* name) const;
  StaticVariantIterator get_attribute(const char* name) const;  // interns name first

  // Typed reads: false (out untouched) for a missing or nil attribute; otherwise the value
  // converted and true. A string read of a number gives "error: not a string"; a number read of
  // a string gives 0. The text forms never intern the name.
  bool get_attribute_int(const unsigned char* name, int& out) const;
  bool get_attribute_int(const char* name, int& out) const;
  bool get_attribute_float(const unsigned char* name, float& out) const;
  bool get_attribute_float(const char* name, float& out) const;
  bool get_attribute_string(const unsigned char* name, tString<BaseString>& out) const;
  bool get_attribute_string(const char* name, tString<BaseString>& out) const;

  // Expands the node into target: nil (or a null iterator) gives void, elements keep label,
  // attributes (find-or-add by name) and children in order.
  void copy_to(Variant& target) const;

  // Adds every name of the sub-tree (labels, then attribute names, depth first) to a set of
  // vocables, e.g. std::set<const unsigned char*>.
  template <class Set>
  void CollectVocableSet(Set& out) const {
    for_each_name([](void* c, const unsigned char* v) { static_cast<Set*>(c)->insert(v); }, &out);
  }
  // Replaces every name word of the sub-tree by its image in a map of vocables (e.g.
  // std::map<const unsigned char*, const unsigned char*>); a name missing from it becomes null.
  template <class Map>
  void RemapVocables(Map& map) {
    remap_names(
        [](void* c, const unsigned char* v) -> const unsigned char* {
          Map& m = *static_cast<Map*>(c);
          auto it = m.find(v);
          return it == m.end() ? nullptr : it->second;
        },
        &map);
  }

  void for_each_name(void (*fn)(void*, const unsigned char*), void* context) const;
  void remap_names(const unsigned char* (*fn)(void*, const unsigned char*), void* context);

 protected:
  int* m_node = nullptr;
};

// The owner of a word block. Its word pointer is the iterator's node, so a StaticVariant is used
// directly as an iterator on its root. Empty (no words) after construction and clear().
class StaticVariant : public StaticVariantIterator {
 public:
  StaticVariant() = default;
  StaticVariant(const StaticVariant& other);  // deep copy of the used words
  StaticVariant(StaticVariant&& other) noexcept;
  StaticVariant& operator=(const StaticVariant& other);
  StaticVariant& operator=(StaticVariant&& other) noexcept;
  ~StaticVariant();

  // Builds the words from a Variant tree. Void, pointer and non-element arrays become nil;
  // booleans ints; doubles floats. A tree nested deeper than kMaxTreeDepth is refused (logged)
  // and leaves this empty.
  StaticVariant& operator=(const Variant& v);
  // Copies the node under it (which may lie in this block); a null iterator gives empty.
  StaticVariant& operator=(const StaticVariantIterator& it);

  // Releases the block; words, size and capacity become zero.
  void clear();
  // Releases any block held and allocates n words (uninitialised); size is left 0 for the
  // caller to set. False (and empty) for n < 1 or when the block cannot be had.
  bool reserve(int n);
  // Grows the block to at least n words keeping its contents (offsets are relative, so moving
  // the block is safe). False when it cannot grow.
  bool grow(int n);
  // Shrinks the block to exactly size words.
  void trim();

  int* get_words() const { return m_node; }
  int get_size() const { return m_size; }
  int get_capacity() const { return m_capacity; }
  void set_size(int n) { m_size = n; }  // words in use, for writers that fill the block

  // The binary record: the name table (id, length, bytes; ended by id 0), then the words as a
  // chunk. False when a write fails.
  bool Write(File* file) const;
  // Replaces this tree by the record read from file. Every length, offset, count, kind and name
  // word is checked; a corrupt record logs one "ERROR:" line naming the file and offset, returns
  // false and leaves the tree empty.
  bool Read(File* file);

 private:
  bool ReadRecord(File* file);  // Read without its guard against a failed allocation

  int m_size = 0;
  int m_capacity = 0;
};

// Checks that words[0, count) form exactly one well-formed node: kinds known, strings
// terminated, element sizes, offsets, counts and tables consistent with the canonical layout,
// nesting within kMaxTreeDepth. Name words are passed to mapName (when given), which returns the
// word to store in their place, or 0 to reject. On failure returns false with bad = the word
// index at fault and why = a short description.
bool static_variant_validate(int* words, int count, unsigned (*mapName)(void*, unsigned), void* context,
                             int& bad, const char*& why);

}  // namespace base
