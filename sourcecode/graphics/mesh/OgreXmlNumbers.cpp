#include "graphics/mesh/OgreXmlNumbers.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace base {

en_OgreFloat ReadOgreFloat(const StaticVariantIterator& e, const unsigned char* name, float& out) {
  const StaticVariantIterator value = e ? e.get_attribute(name) : StaticVariantIterator();
  if (value.is_nil()) return OGRE_FLOAT_MISSING;
  if (value.is_string()) {
    // The XML reader keeps "inf" and "nan" as text; the C library would read them as numbers.
    const std::string text(value.get_string(), static_cast<size_t>(value.get_string_length()));
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (end != text.c_str() && !(std::fabs(number) <= std::numeric_limits<float>::max())) return OGRE_FLOAT_NOT_FINITE;
  }
  const float number = value.get_float();
  if (!std::isfinite(number)) return OGRE_FLOAT_NOT_FINITE;
  out = number;
  return OGRE_FLOAT_READ;
}

}  // namespace base
