// Conversions between the engine's base::Variant and script values, for the game's calls into
// scripts (Variant arguments) and back (script results as Variants).
#pragma once

namespace base {
class Variant;
}

namespace KRX {

class Var;

// Argument direction: a string is copied (type 13), a float or double becomes a float (a double
// narrowed), an int (booleans are ints) becomes an int; anything else gives nil.
void VarFromVariant(const base::Variant& from, Var& to);
// Result direction (references followed): bool gives int 1 or 0, int an int, float a float,
// string(const) or string a string (a null text the empty string); anything else (nil, label,
// thread, module, arrays, ...) gives nil.
void VariantFromVar(const Var& from, base::Variant& to);

}  // namespace KRX
