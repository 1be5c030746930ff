// The text of a variable in the crash report: its type's name and its value, read as the type
// says. Numbers are shown in hexadecimal, floating point in decimal, pointers to characters as
// the text they point at, and structures member by member on lines of their own.
#pragma once

#include <elfutils/libdw.h>

#include <cstdint>
#include <string>
#include <vector>

#include "CrashImage.h"

namespace symbolize {

// The C++ spelling of a type ("int", "const char*", "cl_Node&", "float[4]"); "void" for none.
std::string TypeName(Dwarf_Die* type);

// The bytes a value of the type takes; false when the type does not say.
bool TypeSize(Dwarf_Die* type, size_t& out);

// Appends " = value" (or nothing for a type it cannot show) and, for structures, their members
// on lines of their own, each opened by nesting + 2 tabs and closed by "\r\n".
void AppendValue(Dwarf_Die* type, const std::vector<uint8_t>& bytes, const cl_CrashImage& image, int nesting,
                 std::string& text);

}  // namespace symbolize
