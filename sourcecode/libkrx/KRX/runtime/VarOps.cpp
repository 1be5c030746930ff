// KRX::Var operator functions, the switch-table ordering and the printable form.
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "KRX/BinCode.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/Var.h"
#include "base/String.h"
#include "base/text/Text.h"

namespace KRX {

namespace {

constexpr int kRankOther = 999;
const char* const kUnknownText = "(?\?\?)";  // escaped: "??)" would be a trigraph

// The rank of a value's own type (references are not followed; arrays rank as "other").
int Rank(const Var& v) {
  switch (v.GetTypeByte() & ~VF_AUTO) {
    case VT_NIL:
      return 0;
    case VT_BOOL:
      return 1;
    case VT_INT:
      return 2;
    case VT_FLOAT:
      return 3;
    case VT_CONSTSTRING:
    case VT_STRING:
      return 5;
    default:
      return kRankOther;
  }
}

int MaxRank(const Var& a, const Var& b) {
  int ra = Rank(a), rb = Rank(b);
  return ra > rb ? ra : rb;
}

bool IsOwnNil(const Var& v) { return (v.GetTypeByte() & ~VF_AUTO) == VT_NIL; }

enum en_Arith { AR_ADD, AR_SUB, AR_MUL, AR_DIV, AR_MOD, AR_AND, AR_OR, AR_XOR };

int32_t Wrap(int64_t v) { return int32_t(uint32_t(uint64_t(v))); }

bool Arith(en_Arith op, const Var& src, Var& dest) {
  switch (MaxRank(src, dest)) {
    case 1: {
      bool a = false, b = false;
      if (!dest.GetBool(a) || !src.GetBool(b)) return false;
      switch (op) {
        case AR_ADD:
        case AR_OR:
          dest.SetBool(a || b);
          return true;
        case AR_SUB:
        case AR_AND:
          dest.SetBool(a && b);
          return true;
        case AR_XOR:
          dest.SetBool(a != b);
          return true;
        default:
          return false;
      }
    }
    case 2: {
      int a = 0, b = 0;
      if (!dest.GetInt(a) || !src.GetInt(b)) return false;
      int32_t r;
      switch (op) {
        case AR_ADD:
          r = Wrap(int64_t(a) + b);
          break;
        case AR_SUB:
          r = Wrap(int64_t(a) - b);
          break;
        case AR_MUL:
          r = Wrap(int64_t(a) * b);
          break;
        case AR_DIV:
          // Division by zero and INT_MIN / -1 trap on the machine; the script sees a failure.
          if (b == 0 || (a == INT_MIN && b == -1)) return false;
          r = a / b;
          break;
        case AR_MOD:
          if (b == 0) return false;
          r = b == -1 ? 0 : a % b;
          break;
        case AR_AND:
          r = a & b;
          break;
        case AR_OR:
          r = a | b;
          break;
        case AR_XOR:
          r = a ^ b;
          break;
        default:
          return false;
      }
      dest.SetInt(r);
      return true;
    }
    case 3: {
      float a = 0.0f, b = 0.0f;
      if (!dest.GetFloat(a) || !src.GetFloat(b)) return false;
      switch (op) {
        case AR_ADD:
          dest.SetFloat(a + b);
          return true;
        case AR_SUB:
          dest.SetFloat(a - b);
          return true;
        case AR_MUL:
          dest.SetFloat(a * b);
          return true;
        case AR_DIV:
          dest.SetFloat(a / b);
          return true;
        case AR_MOD:
          dest.SetFloat(std::fmod(a, b));
          return true;
        default:
          return false;
      }
    }
    case 5:
      return op == AR_ADD && Var::OpConcat(src, dest);
    default:
      return false;
  }
}

// Text order: unsigned bytes; a null text sorts before every text, two null texts are equal.
int CompareText(const char* a, const char* b) {
  if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
  int c = std::strcmp(a, b);
  return (c > 0) - (c < 0);
}

template <class T>
int Sign(T a, T b) {
  return (a > b) - (a < b);
}

enum en_Compare { CMP_LESS, CMP_LESS_EQUAL, CMP_GREATER, CMP_GREATER_EQUAL };

bool Decide(int op, bool less, bool equal) {
  switch (op) {
    case CMP_LESS:
      return less;
    case CMP_LESS_EQUAL:
      return less || equal;
    case CMP_GREATER:
      return !less && !equal;
    default:
      return !less;
  }
}

}  // namespace

// ---- arithmetic and bit operators

const char* Var::JoinedTail(const Var& v, char (&number)[16], size_t& length) {
  const int kind = v.m_kind & ~VF_AUTO;
  if ((kind == VT_STRING || kind == VT_CONSTSTRING) && v.m_value.ctext) {
    length = std::strlen(v.m_value.ctext);
    return v.m_value.ctext;
  }
  if (kind != VT_INT) return nullptr;
  length = size_t(std::snprintf(number, sizeof number, "%d", v.m_value.i));
  return number;
}

bool Var::ConcatText(const Var& left, const Var& right, Var& out) {
  const int leftKind = left.m_kind & ~VF_AUTO;
  if ((leftKind != VT_STRING && leftKind != VT_CONSTSTRING) || !left.m_value.ctext) return false;
  char number[16];
  size_t tailLength = 0;
  const char* tail = JoinedTail(right, number, tailLength);
  if (!tail) return false;
  const size_t headLength = std::strlen(left.m_value.ctext);
  if (headLength + tailLength > size_t(kMaxStringLength)) return false;
  char* text = static_cast<char*>(std::malloc(headLength + tailLength + 1));
  if (!text) return false;
  std::memcpy(text, left.m_value.ctext, headLength);
  std::memcpy(text + headLength, tail, tailLength);
  text[headLength + tailLength] = '\0';
  out.SetOwnedPointer(VT_STRING, uint32_t(headLength + tailLength), text);
  return true;
}

bool Var::TakeString(Var& src) {
  if (&src == this || src.m_kind != VT_STRING || !src.m_value.ctext) return false;
  uint32_t count;
  if (m_kind == VT_STRING)
    count = uint32_t(std::strlen(src.m_value.ctext));  // AssignTyped copies the text up to its NUL
  else if ((m_kind & VF_AUTO) && (m_kind & ~VF_AUTO) != VT_UNINITPARAM)
    count = src.m_count;  // an auto variable takes the value as it is
  else
    return false;
  const uint8_t newKind = uint8_t((m_kind & VF_AUTO) | VT_STRING);
  const uint64_t raw = src.m_value.raw;
  const uint8_t capacityLog = src.m_capacityLog;
  src.m_kind = VT_NIL;
  src.m_capacityLog = 0;
  src.m_count = 0;
  src.m_value.raw = 0;
  Install(newKind, count, raw);
  m_capacityLog = capacityLog;
  return true;
}

bool Var::AppendInPlace(const Var& tail) {
  if (m_kind != VT_STRING || !m_value.text) return false;
  const size_t length = m_count;
  // A grown block holds exactly count characters without a NUL inside; any other string is
  // checked once, since the general path joins only the text up to its first NUL.
  if (m_capacityLog == 0 && std::strlen(m_value.ctext) != length) return false;
  const size_t capacity = m_capacityLog ? size_t(1) << m_capacityLog : length + 1;
  char number[16];
  size_t n = 0;
  const char* text = JoinedTail(tail, number, n);
  if (!text) return false;
  const uintptr_t at = reinterpret_cast<uintptr_t>(text), block = reinterpret_cast<uintptr_t>(m_value.ctext);
  if (at >= block && at < block + capacity) return false;  // a text inside the block would move with it
  if (length + n > size_t(kMaxStringLength)) return false;
  if (length + n + 1 > capacity) {
    uint8_t log = 5;
    while ((size_t(1) << log) < length + n + 1) ++log;
    char* grown = static_cast<char*>(std::realloc(m_value.text, size_t(1) << log));
    if (!grown) return false;
    m_value.text = grown;
    m_capacityLog = log;
  }
  std::memcpy(m_value.text + length, text, n);
  m_value.text[length + n] = '\0';
  m_count = uint32_t(length + n);
  return true;
}

bool Var::OpConcat(const Var& src, Var& dest) {
  if (ConcatText(dest, src, dest)) return true;
  base::Text text;
  dest.AppendText(text);
  const int left = text.size();
  if (left > kMaxStringLength) return false;
  src.AppendText(text);
  // A text that cannot grow (past the int length) stays as it was: that is a failure too.
  if (text.size() > kMaxStringLength || (text.size() == left && src.ToText().size() > 0)) return false;
  dest.SetString(text.c_str() ? text.c_str() : "", text.size());
  return true;
}

namespace detail {

bool OpAddSlow(const Var& src, Var& dest) { return Arith(AR_ADD, src, dest); }
bool OpSubSlow(const Var& src, Var& dest) { return Arith(AR_SUB, src, dest); }
bool OpMulSlow(const Var& src, Var& dest) { return Arith(AR_MUL, src, dest); }
bool OpModSlow(const Var& src, Var& dest) { return Arith(AR_MOD, src, dest); }

bool CompareSlow(int op, const Var& src, Var& dest) {
  int rank = MaxRank(src, dest);
  if (rank == 0 || (rank <= 3 && (IsOwnNil(src) || IsOwnNil(dest)))) {
    // Nothing to compare: the "or equal" forms hold, the strict forms do not.
    dest.SetBool(op == CMP_LESS_EQUAL || op == CMP_GREATER_EQUAL);
    return true;
  }
  int order;
  switch (rank) {
    case 1: {
      bool a = false, b = false;
      dest.GetBool(a);
      src.GetBool(b);
      order = Sign(int(a), int(b));
      break;
    }
    case 2: {
      int a = 0, b = 0;
      dest.GetInt(a);
      src.GetInt(b);
      order = Sign(a, b);
      break;
    }
    case 3: {
      float a = 0.0f, b = 0.0f;
      dest.GetFloat(a);
      src.GetFloat(b);
      if (std::isnan(a) || std::isnan(b)) {  // unordered: every comparison is false
        dest.SetBool(false);
        return true;
      }
      order = Sign(a, b);
      break;
    }
    case 5:
      order = CompareText(dest.GetString(), src.GetString());
      break;
    default:
      return false;
  }
  dest.SetBool(Decide(op, order < 0, order == 0));
  return true;
}

}  // namespace detail

bool Var::OpDiv(const Var& src, Var& dest) { return Arith(AR_DIV, src, dest); }
bool Var::OpBitAnd(const Var& src, Var& dest) { return Arith(AR_AND, src, dest); }
bool Var::OpBitOr(const Var& src, Var& dest) { return Arith(AR_OR, src, dest); }
bool Var::OpBitXor(const Var& src, Var& dest) { return Arith(AR_XOR, src, dest); }

// ---- equality and logic

bool Var::OpEqual(const Var& src, Var& dest) {
  bool destNil = dest.IsNil(), srcNil = src.IsNil();
  if (destNil || srcNil) {
    dest.SetBool(destNil && srcNil);
    return true;
  }
  bool equal;
  switch (MaxRank(src, dest)) {
    case 1:
      equal = dest.ToBool() == src.ToBool();
      break;
    case 2:
      equal = dest.ToInt() == src.ToInt();
      break;
    case 3:
      equal = dest.ToFloat() == src.ToFloat();
      break;
    case 5:
      equal = CompareText(dest.GetString(), src.GetString()) == 0;
      break;
    default:
      if ((dest.m_kind & ~VF_AUTO) != VT_THREAD || (src.m_kind & ~VF_AUTO) != VT_THREAD) return false;
      equal = dest.GetThreadObject() == src.GetThreadObject();
      break;
  }
  dest.SetBool(equal);
  return true;
}

bool Var::OpNotEqual(const Var& src, Var& dest) {
  if (!OpEqual(src, dest)) return false;
  dest.SetBool(!dest.ToBool());
  return true;
}

bool Var::OpLogicalAnd(const Var& src, Var& dest) {
  dest.SetBool(dest.ToBool() && src.ToBool());
  return true;
}

bool Var::OpLogicalOr(const Var& src, Var& dest) {
  dest.SetBool(dest.ToBool() || src.ToBool());
  return true;
}

bool Var::OpNot(Var& dest) {
  dest.SetBool(!dest.ToBool());
  return true;
}

bool Var::OpNegate(Var& dest) {
  switch (dest.m_kind & ~VF_AUTO) {
    case VT_INT:
      dest.SetInt(int32_t(0u - uint32_t(dest.m_value.i)));
      return true;
    case VT_FLOAT:
      dest.SetFloat(-dest.m_value.f);
      return true;
    default:
      return false;
  }
}

bool Var::OpShiftLeft(const Var& src, Var& dest) {
  if (!dest.IsInt() || !src.IsInt()) return false;
  dest.SetInt(int32_t(uint32_t(dest.ToInt()) << (src.ToInt() & 31)));
  return true;
}

bool Var::OpShiftRight(const Var& src, Var& dest) {
  if (!dest.IsInt() || !src.IsInt()) return false;
  dest.SetInt(dest.ToInt() >> (src.ToInt() & 31));
  return true;
}

bool Var::AddInt(int k) {
  switch (m_kind & ~VF_AUTO) {
    case VT_INT:
      m_value.i = int32_t(uint32_t(m_value.i) + uint32_t(k));
      return true;
    case VT_FLOAT:
      m_value.f += float(k);
      return true;
    default:
      return false;
  }
}

bool Var::CompareLess(const Var& a, const Var& b) {
  int rank = MaxRank(a, b);
  if (rank == 0) return false;
  if (rank <= 3 && (IsOwnNil(a) || IsOwnNil(b))) return IsOwnNil(a) && !IsOwnNil(b);
  switch (rank) {
    case 1:
      return int(a.ToBool()) < int(b.ToBool());
    case 2:
      return a.ToInt() < b.ToInt();
    case 3:
      return a.ToFloat() < b.ToFloat();
    case 5:
      return CompareText(a.GetString(), b.GetString()) < 0;
    default:
      return a.GetType() < b.GetType();
  }
}

// ---- printable form

namespace {

void AppendFormat(base::Text& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void AppendFormat(base::Text& out, const char* format, ...) {
  char buffer[96];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  out += buffer;
}

unsigned long long Address(const void* p) { return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)); }

}  // namespace

void Var::AppendText(base::Text& out) const {
  if (m_kind & VF_ARRAY) {
    // The block address is no value of the element type: show the element type and count.
    AppendFormat(out, "%s[%d]", TypeNameFromCode(m_kind & VF_TYPEMASK), VarArrayCount(m_value.array));
    return;
  }
  switch (m_kind & VF_TYPEMASK) {
    case VT_NIL:
      out += "NULL";
      return;
    case VT_BOOL:
      out += m_value.b ? "true" : "false";
      return;
    case VT_INT:
      AppendFormat(out, "%d", m_value.i);
      return;
    case VT_FLOAT:
      AppendFormat(out, "%f", double(m_value.f));
      return;
    case VT_POSITION:
      AppendFormat(out, "pos %d", m_value.i);
      return;
    case VT_REFERENCE: {
      const Var* target = Deref();
      if (target->IsReference())
        out += kUnknownText;  // a null target or a chain too deep to follow
      else
        target->AppendText(out);
      return;
    }
    case VT_CFUNCTION:
      AppendFormat(out, "cfunc %08llX", Address(m_value.p));
      return;
    case VT_MODULE: {
      const BinCode* module = m_value.module;
      const char* function = GetFunctionName(module);
      if (!module || function) {
        AppendFormat(out, "func %s", function ? function : "(null)");
      } else {
        const char* name = GetModuleName(module);
        out += "script ";
        out += name ? name : "(null)";
      }
      return;
    }
    case VT_POINTER:
      AppendFormat(out, "ptr %08llX", Address(m_value.p));
      return;
    case VT_THREAD: {
      const Thread* thread = m_value.thread ? m_value.thread->thread : nullptr;
      if (!thread) {
        out += "empty thread";
      } else {
        const char* function = thread->GetFunctionName();
        out += "thread func ";
        out += function ? function : "(null)";
      }
      return;
    }
    case VT_BINARY:
      AppendFormat(out, "bin %08llX", Address(m_value.p));
      return;
    case VT_CONSTSTRING:
    case VT_STRING:
    case VT_LABEL:
      out += m_value.ctext ? m_value.ctext : kUnknownText;
      return;
    case VT_STACKPOS:
      out += "stackpos";
      return;
    case VT_VOCABULARY:
      out += "vocabulary";
      return;
    default:
      out += kUnknownText;
      return;
  }
}

base::String Var::ToText() const {
  base::Text text;
  AppendText(text);
  return base::String(text.c_str());
}

base::String Var::ToMessageText(int max) const {
  base::Text text;
  AppendText(text);
  if (text.size() <= max) return base::String(text.c_str());
  base::String out;
  out.print("%s... (%d characters)", text.left(max).c_str(), text.size());
  return out;
}

}  // namespace KRX
