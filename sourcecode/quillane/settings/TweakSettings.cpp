// The tweak settings' storage and their reading from the "Tweakables" element.
#include "quillane/settings/TweakSettings.h"

#include <cmath>
#include <cstdlib>

#include "base/data/Variant.h"
#include "base/system.h"

#define QL_DEFINE_TWEAK(type, name, mode, value) type name = value;
QL_TWEAK_SETTINGS(QL_DEFINE_TWEAK)
#undef QL_DEFINE_TWEAK

namespace {

// The attribute when it holds a usable number. A text that is no number would read as 0 and
// quietly switch a setting off, so it is refused with a warning and the setting keeps its value.
const base::Variant* NumericAttribute(const base::Variant& tweakables, const char* name) {
  const base::Variant* a = tweakables.get_attribute(name);
  if (!a) return nullptr;
  if (a->is_number() && std::isfinite(a->get_double())) return a;
  const char* text = a->is_number() ? nullptr : a->get_string();
  if (text) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    while (end && (*end == ' ' || *end == '\t')) ++end;
    if (end != text && end && *end == 0 && std::isfinite(v)) return a;
  }
  base::String shown;
  a->print_to(shown);
  base::sys::Output("Warning: Tweakables: %s='%s' is not a finite number; the setting keeps its value\n", name,
                    shown.c_str());
  return nullptr;
}

bool Read(const base::Variant& t, const char* name, float& out) {
  const base::Variant* a = NumericAttribute(t, name);
  if (a) out = a->get_float();
  return a != nullptr;
}

bool ReadInt(const base::Variant& t, const char* name, int& out) {
  const base::Variant* a = NumericAttribute(t, name);
  if (a) out = a->get_int();
  return a != nullptr;
}

// Only the integer 1 switches on.
bool ReadFlag(const base::Variant& t, const char* name, bool& out) {
  int v = 0;
  if (!ReadInt(t, name, v)) return false;
  out = v == 1;
  return true;
}

// The data tree's bool reader: any non-zero integer is true.
bool ReadBool(const base::Variant& t, const char* name, bool& out) {
  return NumericAttribute(t, name) && t.get_attribute_bool(name, out);
}

}  // namespace

bool ReadTweakSettings(const base::Variant& tweakables) {
  bool present = false;
#define QL_READ_FLOAT(name) present = Read(tweakables, #name, name);
#define QL_READ_INT(name) present = ReadInt(tweakables, #name, name);
#define QL_READ_FLAG(name) present = ReadFlag(tweakables, #name, name);
#define QL_READ_BOOL(name) present = ReadBool(tweakables, #name, name);
#define QL_READ_TWEAK(type, name, mode, value) QL_READ_##mode(name)
  QL_TWEAK_SETTINGS(QL_READ_TWEAK)
#undef QL_READ_TWEAK
#undef QL_READ_BOOL
#undef QL_READ_FLAG
#undef QL_READ_INT
#undef QL_READ_FLOAT
  return present;
}

void ResetTweakSettings() {
#define QL_RESET_TWEAK(type, name, mode, value) name = value;
  QL_TWEAK_SETTINGS(QL_RESET_TWEAK)
#undef QL_RESET_TWEAK
}
