// The script language's value type codes (en_Variant), the flags that share their byte, and the
// texts that name types in messages, in TypeName and in the compiler's type keywords.
// ORDER VARTYPE: the numeric codes are stored in ".bincode" files and byte code operands.
#pragma once

#include <cstdint>

namespace KRX {

enum en_Variant : int {
  VT_ERROR = -1,  // a name only, never stored
  VT_NIL = 0,
  VT_BOOL = 1,
  VT_INT = 2,
  VT_FLOAT = 3,
  VT_RESERVED = 4,  // counted as a number by IsNumber only
  VT_POSITION = 5,
  VT_REFERENCE = 6,
  VT_CFUNCTION = 7,
  VT_MODULE = 8,  // "krx-code"
  VT_POINTER = 9,
  VT_THREAD = 10,
  VT_BINARY = 11,
  VT_CONSTSTRING = 12,
  VT_STRING = 13,
  VT_LABEL = 14,
  VT_STACKPOS = 15,
  VT_VOCABULARY = 16,
  VT_UNINITPARAM = 17,  // "uninitialize param"
  VT_IGNORE = 18,
};

// A type request is a type code or TYPE_AUTO; setting a type from TYPE_AUTO gives nil with the
// auto flag.
constexpr int TYPE_AUTO = 31;

// The flag bits above the 6-bit type code in a value's type byte and in a file type word.
constexpr uint8_t VF_TYPEMASK = 0x3F;
constexpr uint8_t VF_AUTO = 0x40;   // declared "auto": stores replace value and type
constexpr uint8_t VF_ARRAY = 0x80;  // the value is an array whose elements have the type code

// "nil", "int", ... for codes -1..18, "(unknown en_Variant)" otherwise (TypeName, stack messages).
const char* GetTypeName(int code);
// The type keyword of a declared type ("auto" for 31, "bind" for 7, ...), else GetTypeName.
const char* TypeNameFromCode(int code);
// The code of a type keyword ("int" 2 ... "auto" 31), exact and case-sensitive; -1 when none.
int TypeCodeFromName(const char* keyword);

}  // namespace KRX
