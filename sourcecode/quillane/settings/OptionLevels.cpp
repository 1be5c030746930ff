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
  const float v = value->get_float();
  return static_cast<int>(static_cast<float>(kMaxDetailLevel) - 2.0f * v + 0.5f);
}

}  // namespace quillane
