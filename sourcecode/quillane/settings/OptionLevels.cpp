#include "quillane/settings/OptionLevels.h"

#include <cstdio>
#include <cstring>

#include "base/data/Variant.h"
#include "base/system.h"

namespace quillane {

int GetOptionIntValue(const char* path) {
  // Callers name the option with or without its closing "/"; both mean "<option>/Value".
  const char* option = path ? path : "";
  int length = static_cast<int>(std::strlen(option));
  if (length > 0 && option[length - 1] == '/') --length;
  char name[256];
  std::snprintf(name, sizeof name, "%.*s/Value", length, option);
  const base::Variant* value = base::sys::GetOptionValue(name);
  if (!value) return 0;
  // Values come from a hand-editable file: keep them where the conversion to int is defined.
  float v = value->get_float();
  if (!(v > -1000.0f)) v = v < 0.0f ? -1000.0f : 0.0f;  // also NaN
  if (v > 1000.0f) v = 1000.0f;
  return static_cast<int>(static_cast<float>(kMaxDetailLevel) - 2.0f * v + 0.5f);
}

}  // namespace quillane
