#include "quillane/text/Localised.h"

#include "base/system.h"

base::tString<base::BaseUnicodeString> Localised(const char* key) {
  base::tString<base::BaseUnicodeString> text;
  if (key) base::sys::Localize(key, text);
  return text;
}
