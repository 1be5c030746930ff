// Attribute text and the refusal messages of the resource types.
#include "base/resource/Resource.h"

#include "base/system.h"

namespace base {

bool GetAttributeText(const StaticVariantIterator& element, const char* name, tString<BaseString>& out) {
  const StaticVariantIterator a = element.get_attribute(name);
  if (a.is_nil()) return false;
  if (a.is_string()) {
    out = a.get_string();
  } else if (a.is_int()) {
    out = tString<BaseString>();
    out.print("%d", a.get_int());
  } else if (a.is_float()) {
    // Labels such as "2" are read as numbers by the XML reader; give them back as written.
    out = tString<BaseString>();
    out.print("%g", static_cast<double>(a.get_float()));
  } else {
    return false;
  }
  return true;
}

namespace {

const char* TagOf(const StaticVariantIterator& element) {
  const unsigned char* label = element.get_label();
  return label ? reinterpret_cast<const char*>(label) : "?";
}

}  // namespace

void ReportResourceWithoutLabel(const StaticVariantIterator& element) {
  sys::Output("ERROR: resource of type %s has no \"label\"; skipped\n", TagOf(element));
}

void ReportResourceLabelTaken(const StaticVariantIterator& element, const char* label) {
  sys::Output("ERROR: resource %s of type %s is defined twice; skipped\n", label, TagOf(element));
}

}  // namespace base
