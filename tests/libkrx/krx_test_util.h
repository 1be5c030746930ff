// Compact value descriptions for table-driven tests: "n" nil, "b:1" bool, "i:5" int, "f:2.5" float,
// "s:text" string, "c:text" string(const) (static text), "l:text" label, "p:7" position.
#pragma once

#include <cstdlib>
#include <string>

#include "KRX/runtime/Types.h"
#include "KRX/runtime/Var.h"
#include "base/String.h"

namespace krxtest {

inline KRX::Var MakeVar(const char* desc) {
  KRX::Var v;
  const char* arg = desc[0] && desc[1] == ':' ? desc + 2 : "";
  switch (desc[0]) {
    case 'b': v.SetBool(std::atoi(arg) != 0); break;
    case 'i': v.SetInt(int(std::strtol(arg, nullptr, 10))); break;
    case 'f': v.SetFloat(std::strtof(arg, nullptr)); break;
    case 's': v.SetString(arg); break;
    case 'c': v.SetConstString(arg); break;  // desc strings are literals: they outlive the value
    case 'l': v.SetLabel(arg); break;
    case 'p': v.SetPosition(std::atoi(arg)); break;
    default: break;
  }
  return v;
}

// "type:text", e.g. "int:5", "string:3x", "bool:true", "nil:NULL".
inline std::string Describe(const KRX::Var& v) {
  std::string out = v.HasArrayFlag() ? "array" : KRX::GetTypeName(v.GetType());
  out += ":";
  out += v.ToText().c_str();
  return out;
}

}  // namespace krxtest
