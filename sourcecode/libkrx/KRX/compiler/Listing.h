// Listing: a readable disassembly of byte code, one instruction per line, for tests and dumps.
//   0012  push value  "fib"
//   0017  push var    1
//   0020  jump false  @44
// Switch tables list their entries under the switch ("  case @31"). Code that does not decode
// ends the listing with a "corrupt byte code at N" line instead of reading past the end.
#pragma once

#include <cstdint>
#include <string>

namespace KRX {

class BinCode;
class StringPool;
class Var;

// The listing of size bytes of code; string(const) operands are shown from vocab when given.
std::string Listing(const uint8_t* code, int size, const StringPool* vocab);
// The listing of a function's "~b" code with its module's vocabulary; empty without code.
std::string Listing(const BinCode* function);
// The operand form used in listings: nil, true, 12, 2.5f, @40, "text", ignore.
std::string OperandText(const Var& operand);

}  // namespace KRX
