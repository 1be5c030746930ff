// The 36 functions every script can call without binding anything: assertions, debug output,
// sleeping and stopping, type inspection and conversion, array sizing, includes, module
// look-ups and the management of other script threads. They live in the root's "~bind".
#pragma once

namespace KRX {

class BinCode;
class Var;
namespace detail {
class function_adapter_base;
}

// Registers the built-ins into root (in their fixed order), then the "type_%s" constants.
void RegisterBuiltins(BinCode* root);

// The one adapter the built-in Sleep is bound through, so that the interpreter can tell a call of
// it from a call of a native bound under the same name and yield without the general call.
detail::function_adapter_base* SleepAdapter();

// The number literal of scripts: decimal, "0x" hex or "0b" binary digits, an optional fraction
// after "." (then a float, an "f" suffix allowed), all read in double precision. Digits past 32
// bits without a fraction give a float of their value. False when text is no number.
bool ParseNumberLiteral(const char* text, Var& out);

}  // namespace KRX
