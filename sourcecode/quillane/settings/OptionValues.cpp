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

// A value that is no finite number becomes fallback, or 0 when that is none either, with a
// warning naming file and what the value is ("option Gfx/Gamma", "Display Width"). True when it was.
bool ReplaceIfNotFinite(base::Variant& value, const base::Variant* fallback, const std::string& what, const char* file) {
  if (IsFinite(&value)) return false;
  const std::string shown = Shown(value);
  if (IsFinite(fallback)) {
    value = *fallback;
    base::sys::Output("Warning: %s: %s is '%s', not a finite number; read as its default %s\n", file, what.c_str(),
                      shown.c_str(), Shown(value).c_str());
  } else {
    value.set_float(0.0f);
    base::sys::Output("Warning: %s: %s is '%s', not a finite number, and has no default that is; read as 0\n", file,
                      what.c_str(), shown.c_str());
  }
  return true;
}

// element is the option (or group) at path; defaults the same element of the defaults, or null.
int Replace(base::Variant& element, const base::Variant* defaults, const std::string& path, const char* file) {
  int replaced = 0;
  if (base::Variant* value = element.get_attribute("Value"))
    replaced += ReplaceIfNotFinite(*value, defaults ? defaults->get_attribute("Value") : nullptr, "option " + path, file);
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

int ReplaceNonFiniteDisplay(base::Variant& config, const base::Variant* defaults, const char* file) {
  base::Variant* display = config.get_element("Display");
  if (!display) return 0;
  const base::Variant* fallbacks = ChildElement(defaults, "Display");
  int replaced = 0;
  for (int i = 0; i < display->attribute_cnt(); ++i) {
    const char* name = display->get_attribute_label(i);
    replaced += ReplaceIfNotFinite(*display->attribute(i), fallbacks ? fallbacks->get_attribute(name) : nullptr,
                                   std::string("Display ") + (name ? name : ""), file ? file : "config.xml");
  }
  return replaced;
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
