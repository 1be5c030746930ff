// A compact text form of a Variant tree for comparisons in the XML and tree tests:
// e(label)[name=value,...](children...), floats as f:<value>, strings quoted.
#pragma once

#include <string>

#include "base/data/Variant.h"

namespace xmltest {

inline std::string dump(const base::Variant& v) {
  if (v.is_float()) return "f:" + std::to_string(v.get_float());
  if (v.is_int()) return "i:" + std::to_string(v.get_int());
  if (v.is_string()) return "'" + std::string(v.get_string() ? v.get_string() : "") + "'";
  if (v.is_void()) return "nil";
  std::string s = "e(" + std::string(v.get_label() ? v.get_label() : "") + ")[";
  for (int i = 0; i < v.attribute_cnt(); ++i) {
    const char* name = v.get_attribute_label(i);
    s += (i ? "," : "") + std::string(name ? name : "") + "=" + dump(*v.attribute(i));
  }
  s += "](";
  for (int i = 0; i < v.size(); ++i) s += (i ? "," : "") + dump(*v.child(i));
  return s + ")";
}

}  // namespace xmltest
