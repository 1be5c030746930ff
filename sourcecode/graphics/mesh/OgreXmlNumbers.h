// Float attributes of the Ogre XML importers. A value that does not read as a finite number
// ("inf", "nan", or digits past the float range such as "1e39") is told apart from a missing
// one, so the importers can refuse the file: it would poison every bounding box and transform
// it reaches.
#pragma once

#include "base/data/StaticVariant.h"

namespace base {

enum en_OgreFloat { OGRE_FLOAT_MISSING, OGRE_FLOAT_READ, OGRE_FLOAT_NOT_FINITE };

// Reads attribute name of e into out when it is present and finite; out is left unchanged
// otherwise. Text that is no number at all reads as 0, as the typed accessor gives it.
en_OgreFloat ReadOgreFloat(const StaticVariantIterator& e, const unsigned char* name, float& out);

}  // namespace base
