#include "quillane/settings/OptionValues.h"

#include <cmath>
#include <cstring>
#include <string>

#include "base/FileTools.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/system.h"

namespace quillane {
namespace {

// The child element of parent labelled label, or null.
const base::Variant* ChildElement(const base::Variant* parent, const char* label) {
  if (!parent) return nullptr;
  for (int i = 0; i < parent->size(); ++i) {
    const base::Variant* c = parent->child(i);
    if (c && c->is_element() && c->get_label() && std::strcmp(c->get_label(), label) == 0) return c;
  }
  return nullptr;
}

// Text as well as numbers: "nan" and "inf" stay text in the tree, and read as NaN and infinity.
bool IsFinite(const base::Variant* value) { return value && std::isfinite(value->get_double()); }

std::string Shown(const base::Variant& value) {
  base::String text;
  value.print_to(text);
  return text.c_str();
}

// element is the option (or group) at path; defaults the same element of the defaults, or null.
int Replace(base::Variant& element, const base::Variant* defaults, const std::string& path, const char* file) {
  int replaced = 0;
  base::Variant* value = element.get_attribute("Value");
  if (value && !IsFinite(value)) {
    const std::string shown = Shown(*value);
    const base::Variant* fallback = defaults ? defaults->get_attribute("Value") : nullptr;
    if (IsFinite(fallback)) {
      *value = *fallback;
      base::sys::Output("Warning: %s: option %s is '%s', not a finite number; read as its default %s\n", file,
                        path.c_str(), shown.c_str(), Shown(*value).c_str());
    } else {
      value->set_float(0.0f);
      base::sys::Output("Warning: %s: option %s is '%s', not a finite number, and has no default that is; read as 0\n",
                        file, path.c_str(), shown.c_str());
    }
    ++replaced;
  }
  for (int i = 0; i < element.size(); ++i) {
    base::Variant* c = element.child(i);
    if (!c || !c->is_element() || !c->get_label()) continue;
    const std::string label = c->get_label();
    replaced += Replace(*c, ChildElement(defaults, label.c_str()), path.empty() ? label : path + "/" + label, file);
  }
  return replaced;
}

}  // namespace

int ReplaceNonFiniteOptions(base::Variant& options, const base::Variant* defaults, const char* file) {
  return Replace(options, defaults, "", file ? file : "config.xml");
}

bool ReplacePathLanguage(base::Variant& config, base::Variant& defaults, const char* file) {
  base::Variant* language = base::variant_get_attribute_by_path(config, "Localization/Language", false);
  const char* value = language ? language->get_string() : nullptr;
  // An empty language names "loca/" itself, which is no way out of it.
  if (!value || !*value || !base::PlainNameProblem(value)) return false;
  const base::Variant* fallback = base::variant_get_attribute_by_path(defaults, "Localization/Language", false);
  const char* chosen = fallback ? fallback->get_string() : nullptr;
  if (!chosen || base::PlainNameProblem(chosen)) chosen = "English";
  if (file)
    base::sys::Output("Warning: %s: Language '%s' %s, which would lead out of loca/; using %s\n", file, value,
                      base::PlainNameProblem(value), chosen);
  language->set_string(chosen);
  return true;
}

}  // namespace quillane
