#include "KRX/compiler/Listing.h"

#include <cstdio>

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Types.h"
#include "KRX/runtime/Var.h"

namespace KRX {

std::string OperandText(const Var& v) {
  char buf[64];
  switch (v.GetType()) {
    case VT_NIL: return "nil";
    case VT_BOOL: return v.ToBool() ? "true" : "false";
    case VT_INT: std::snprintf(buf, sizeof buf, "%d", v.GetRawInt()); return buf;
    case VT_FLOAT: std::snprintf(buf, sizeof buf, "%gf", double(v.ToFloat())); return buf;
    case VT_POSITION: std::snprintf(buf, sizeof buf, "@%d", v.GetRawInt()); return buf;
    case VT_CONSTSTRING:
    case VT_STRING: {
      const char* text = v.GetString();
      return std::string("\"") + (text ? text : "") + "\"";
    }
    case VT_IGNORE: return "ignore";
    default: std::snprintf(buf, sizeof buf, "?%d", v.GetType()); return buf;
  }
}

std::string Listing(const uint8_t* code, int size, const StringPool* vocab) {
  std::string out;
  char line[64];
  Var operand;
  int pc = 0;
  while (code && pc < size) {
    const int at = pc;
    const int op = code[pc++];
    const char* name = op == OP_CONCAT ? "concat" : GetCommandName(op);
    std::snprintf(line, sizeof line, "%04d  %-11s", at, name);
    out += line;
    if (op < OP_FIRST_NO_OPERAND) {
      int n = DecodeOperand(code + pc, size - pc, vocab, operand);
      if (n <= 0) {
        std::snprintf(line, sizeof line, "\ncorrupt byte code at %d\n", at);
        out += line;
        return out;
      }
      pc += n;
      out += ' ';
      out += OperandText(operand);
      if (op == OP_SWITCH) {
        const int count = operand.ToInt();
        for (int i = 0; i < count; ++i) {
          n = DecodeOperand(code + pc, size - pc, vocab, operand);
          if (n <= 0) {
            std::snprintf(line, sizeof line, "\ncorrupt byte code at %d\n", pc);
            out += line;
            return out;
          }
          pc += n;
          out += "\n      case " + OperandText(operand);
        }
      }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    out += '\n';
  }
  return out;
}

std::string Listing(const BinCode* function) {
  int size = 0;
  const unsigned char* code = GetCode(function, size);
  if (!code || size <= 0) return std::string();
  return Listing(code, size, GetVocabulary(function));
}

}  // namespace KRX
