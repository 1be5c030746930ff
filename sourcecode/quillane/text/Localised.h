// The text of a localisation key ("#loads0_584 New Entry") in the current language: the one
// helper the panels, menus and mini-games use to turn a key into the text they draw.
#pragma once

#include "base/String.h"

// The key's text; a key without an entry comes back as the engine's localiser gives it, and a
// null key as an empty text.
base::tString<base::BaseUnicodeString> Localised(const char* key);
