// Paths and bulk edits on base::Variant trees: "/" paths of element labels (an attribute name as
// the last component), searches by label or attribute value, removal and compaction of children,
// merging, sorting, visiting and the conversion between a tree and a list of strings. The
// configuration options, game state, resource and scene descriptions are addressed this way.
//
// Paths: components are separated by '/' (or '\'); empty components are skipped, so "/a//b/"
// equals "a/b" and "" is the start node. Components are found with get_element (first child
// element with that label). All functions here are reentrant.
#pragma once

#include <list>

#include "base/data/Variant.h"

namespace base {

// The engine's ordered doubly linked list.
template <class T>
using list = std::list<T>;

// The element at path below v; null when a component is missing. With create, a missing component
// becomes a new last child element (a node that is not an array or element first becomes an
// array) and the walk continues in it.
Variant* variant_get_element_by_path(Variant& v, const char* path, bool create);
// The text after the last separator, or the whole path when it has none.
tString<BaseString> path_get_attribute_label(const char* path);
// The attribute named by the last component of path, on the element the rest of the path reaches
// (v itself when path has one component). With create, missing elements are created and the
// attribute is added nil; otherwise null when anything is missing.
Variant* variant_get_attribute_by_path(Variant& v, const char* path, bool create);

// v.get_element(label), or a new last child element with that label.
Variant* variant_find_or_add_element(Variant& v, const char* label);
// First child element of the element v whose attribute attr has the text value (byte comparison;
// numbers compare by their "%d"/"%g" text; a nil or absent text reads as empty). Null when none.
Variant* variant_find_element_by_attribute_value(Variant& v, const char* attr, const char* value);
// The same, ignoring ASCII letter case.
Variant* variant_find_element_by_attribute_value_case_insensitiv(Variant& v, const char* attr, const char* value);

// Removes the nil children of v, keeping the order of the others. Not recursive: empty arrays and
// elements are not nil and stay. References to surviving children stay valid.
void variant_remove_elements_nil(Variant& v);
// Element v: removes every child element labelled label.
void variant_remove_elements(Variant& v, const char* label);
// Element v: removes every child element whose attribute attr exists and has the text value.
void variant_remove_elements_by_attribute_value(Variant& v, const char* attr, const char* value);

// Element v: attribute name := a deep copy of value, then the same for each child element,
// recursively; descent stops at children that are not elements.
void variant_add_attribute_recursive(Variant& v, const char* name, const Variant& value);
// Both elements: each attribute of src is copied onto dst's attribute of that label (added when
// missing), in order; then each child element of src replaces whole (deep copy) the first child
// element of dst with its label, or is appended when dst has none. Other children of src are
// appended. Not a recursive merge.
void variant_merge_variant(Variant& dst, const Variant& src);
// Appends a deep copy of src as the last child of dst; returns it.
Variant& variant_append_variant(Variant& dst, const Variant& src);

// Pre-order walk over elements: fn on v when v is an element labelled label, then the walk goes on
// into each child in order; nodes that are not elements end the descent.
void variant_for_each(Variant& v, const char* label, void (*fn)(Variant&));
// Stable bubble sort of v's children by the text of attribute attr (byte order). A pair is only
// exchanged when both are elements carrying the attribute, so other children keep their places
// relative to their neighbours. Numbers sort by their text: "10" before "9".
void variant_sort_by_attribute(Variant& v, const char* attr);

// Same shape and values: the same datatype kinds (int 1 differs from float 1.0), equal scalars
// (pointers by address), labels, attribute labels and values in order, children in order. For
// round-trip checks of the tree readers and writers.
bool variant_equal(const Variant& a, const Variant& b);

// A new element labelled label with one attribute "label" holding the string text.
Variant variant_labeled_element(const char* label, const char* text);
// v := element "List" with one child element "String" per item, attribute "value" = the item.
void variant_stringlist_to_variant(Variant& v, const list<tString<BaseString>>& items);
// Clears items; when v is an element appends the "value" text of each child element "String"
// that has one, in child order.
void variant_variant_to_stringlist(list<tString<BaseString>>& items, const Variant& v);

}  // namespace base
