#include "KRX/ByteCode.h"

#include <cstdio>
#include <cstring>

#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Var.h"

namespace KRX {

// ---- names

namespace {

struct st_Name {
  int value;
  const char* name;
};

const char* LookUp(const st_Name* table, size_t n, int value, const char* unknown) {
  for (size_t i = 0; i < n; ++i)
    if (table[i].value == value) return table[i].name;
  return unknown;
}


const st_Name kOpTypeNames[] = {
    {0, ""},       {1, "id"},      {2, "sys"},    {3, "binary"}, {4, "prefix"}, {5, "postfix"},
    {6, "rem"},    {8, "chunk"},   {9, "exp"},    {10, "lval"},  {11, "="},     {12, "funcdef"},
    {13, "type"},  {14, "new"},    {15, "params"}, {16, "val"},
};

const st_Name kOpSubTypeNames[] = {
    {0, ""},       {1, "d"},        {2, "Var"},    {3, "Func"},  {4, "Module"},   {5, "="},
    {6, "return"}, {7, "break"},    {8, "breakout"}, {9, "continue"}, {10, "("}, {11, ")"},
    {12, "["},     {13, "]"},       {14, "{"},     {15, "}"},    {16, ","},       {17, ";"},
    {18, "kw"},    {19, "type"},    {128, "++X"},  {129, "--X"}, {130, "negate"}, {131, "not"},
    {132, "u+"},   {133, "u-"},     {144, "X++"},  {145, "X--"}, {160, "*"},      {161, "/"},
    {162, "%"},    {163, "+"},      {165, "-"},    {166, "<<"},  {167, ">>"},     {168, "<="},
    {169, "<"},    {170, ">="},     {171, ">"},    {172, "="},   {173, "!="},     {174, "and"},
    {175, "xor"},  {176, "or"},     {177, "l-and"}, {178, "l-or"},
};

template <size_t N>
const char* LookUp(const st_Name (&table)[N], int value, const char* unknown) {
  return LookUp(table, N, value, unknown);
}

}  // namespace

const char* GetCommandName(int command) {
  constexpr const char* kUnknown = "(unknown en_Command)";
  const char* name = kUnknown;
  switch (command) {
#define KRX_OPCODE_NAME(op, value, text) \
  case value:                            \
    name = text;                         \
    break;
    KRX_OPCODE_LIST(KRX_OPCODE_NAME)
#undef KRX_OPCODE_NAME
    default:
      break;
  }
  return name ? name : kUnknown;
}
const char* GetOpTypeName(int type) { return LookUp(kOpTypeNames, type, "(unknown en_OpType)"); }
const char* GetOpSubTypeName(int subType) {
  return LookUp(kOpSubTypeNames, subType, "(unknown en_OpSubType)");
}

// ---- operands

namespace {

void PutLE32(std::vector<uint8_t>& code, uint32_t v) {
  for (int i = 0; i < 4; ++i) code.push_back(uint8_t(v >> (8 * i)));
}

// The smallest k (0..3) whose k + 1 low bytes sign-extend back to v.
int IntLengthCode(int32_t v) {
  for (int k = 0; k < 3; ++k) {
    int bits = 8 * (k + 1);
    int32_t lo = -(int32_t(1) << (bits - 1));
    int32_t hi = (int32_t(1) << (bits - 1)) - 1;
    if (v >= lo && v <= hi) return k;
  }
  return 3;
}

}  // namespace

bool EncodeOperand(const Var& v, StringPool* pool, std::vector<uint8_t>& code) {
  if (v.HasArrayFlag()) {
    code.push_back(VT_NIL);
    return false;
  }
  switch (v.GetType()) {
    case VT_NIL:
    case VT_IGNORE:
      code.push_back(uint8_t(v.GetType()));
      return true;
    case VT_BOOL:
      code.push_back(VT_BOOL);
      code.push_back(v.ToBool() ? 1 : 0);
      return true;
    case VT_INT: {
      int32_t i = v.GetRawInt();
      int k = IntLengthCode(i);
      code.push_back(uint8_t(VT_INT | (k << 6)));
      for (int b = k; b >= 0; --b) code.push_back(uint8_t(uint32_t(i) >> (8 * b)));
      return true;
    }
    case VT_FLOAT:
    case VT_POSITION:
      code.push_back(uint8_t(v.GetType()));
      PutLE32(code, uint32_t(v.GetRawInt()));
      return true;
    case VT_CONSTSTRING:
    case VT_STRING: {
      int32_t offset = pool ? pool->Intern(v.GetString() ? v.GetString() : "") : -1;
      code.push_back(VT_CONSTSTRING);
      PutLE32(code, uint32_t(offset));
      return true;
    }
    default:
      code.push_back(VT_NIL);
      return false;
  }
}

int OperandLength(const uint8_t* bytes, int avail) {
  if (!bytes || avail < 1) return 0;
  int n;
  switch (bytes[0] & VF_TYPEMASK) {
    case VT_BOOL:
      n = 2;
      break;
    case VT_INT:
      n = 2 + (bytes[0] >> 6);
      break;
    case VT_FLOAT:
    case VT_POSITION:
    case VT_CONSTSTRING:
      n = 5;
      break;
    case VT_STRING: {
      if (avail < 3) return 0;
      int16_t len = int16_t(uint16_t(bytes[1] | bytes[2] << 8));
      if (len < 0) return 0;
      n = 3 + len;
      break;
    }
    default:
      n = 1;
      break;
  }
  return n <= avail ? n : 0;
}

int DecodeOperand(const uint8_t* bytes, int avail, const StringPool* pool, Var& out) {
  out.SetType(VT_NIL);
  out.SetAuto(false);
  int n = OperandLength(bytes, avail);
  if (n == 0) return 0;
  switch (bytes[0] & VF_TYPEMASK) {
    case VT_BOOL:
      out.SetBool(bytes[1] != 0);
      break;
    case VT_INT: {
      out.SetInt(ReadIntPayload(bytes + 1, uint32_t(n - 1)));
      break;
    }
    case VT_FLOAT: {
      uint32_t bits = ReadLE32(bytes + 1);
      float f;
      std::memcpy(&f, &bits, sizeof f);
      out.SetFloat(f);
      break;
    }
    case VT_POSITION:
      out.SetPosition(int32_t(ReadLE32(bytes + 1)));
      break;
    case VT_CONSTSTRING: {
      int32_t offset = int32_t(ReadLE32(bytes + 1));
      if (pool) {
        out.SetConstString(pool->TextAt(offset));
      } else {
        char text[16];
        std::snprintf(text, sizeof text, "#%d", offset);
        out.SetString(text);
      }
      break;
    }
    case VT_STRING: {
      const char* text = reinterpret_cast<const char*>(bytes + 3);
      int len = n - 3;
      const void* nul = std::memchr(text, 0, size_t(len));
      out.SetString(text, nul ? int(static_cast<const char*>(nul) - text) : len);
      break;
    }
    case VT_IGNORE:
      out.SetIgnore();
      break;
    default:
      break;  // nil, and the codes the encoder never writes
  }
  return n;
}

}  // namespace KRX
