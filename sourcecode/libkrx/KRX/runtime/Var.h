// KRX::Var: the one value type of the script language. Every variable, constant, argument,
// return value, array element, module symbol and VM stack slot is a Var.
//
// Layout (decided once for the 64-bit build): 16 bytes, no virtual table.
//   byte 0      type byte: type code in bits 0-5, VF_AUTO (bit 6), VF_ARRAY (bit 7)
//   byte 1      a string grown in place (AppendInPlace): log2 of its block's size; 0 for every
//               other value (a string's block then holds exactly count + 1 bytes)
//   bytes 2-3   unused, always 0
//   bytes 4-7   count: byte length of a string, label or binary; element count of an array
//   bytes 8-15  the value: bool (low byte), int, float bits, position, stack index, a declared
//               type word, or a pointer
// The 32-bit file type word of a ".bincode" record is the type byte plus count << 8
// (GetTypeWord / SetTypeWord); the file forms do not change with this layout.
// A Var holds no pointer to itself, so Vars may be relocated with memcpy (stacks, tables and
// arrays grow that way); references (VT_REFERENCE) to a relocated Var do dangle, as they would
// after any reallocation of their target.
#pragma once

#include <cstdint>
#include <cstring>

#include "KRX/runtime/Types.h"

namespace base {
struct BaseString;
template <class B>
class tString;
class Text;
}  // namespace base

namespace KRX {

// The longest text a script value may grow to by joining (64 MiB): past it the join is a
// run-time error instead of a string that silently stays as it was.
inline constexpr int kMaxStringLength = 64 << 20;

class BinCode;
class Thread;
class StringPool;
namespace detail {
class function_adapter_base;
}

// The heap cell of a thread value; the value owns the cell and one reference to the thread.
struct ThreadHolder {
  Thread* thread = nullptr;
};

class Var {
 public:
  // ---- construction and release
  Var() noexcept : m_kind(0), m_count(0) { m_value.raw = 0; }
  Var(const Var& other) : Var() { Assign(other); }
  Var(Var&& other) noexcept
      : m_kind(other.m_kind), m_capacityLog(other.m_capacityLog), m_count(other.m_count), m_value(other.m_value) {
    other.m_kind = 0;
    other.m_capacityLog = 0;
    other.m_count = 0;
    other.m_value.raw = 0;
  }
  explicit Var(bool b) : Var() { SetBool(b); }
  explicit Var(int i) : Var() { SetInt(i); }
  explicit Var(float f) : Var() { SetFloat(f); }
  explicit Var(const char* text) : Var() { SetString(text); }  // a private copy (type 13)
  Var& operator=(const Var& other) {
    Assign(other);
    return *this;
  }
  Var& operator=(Var&& other) noexcept;
  ~Var() {
    if (Owns(m_kind)) ReleaseOld(m_kind, m_value.raw);
  }

  // Releases what the value owns; value and count become 0, the array flag is dropped, the
  // type code and the auto flag stay.
  void Clear() { Install(uint8_t(m_kind & ~VF_ARRAY), 0, 0); }
  // Clear for storage about to be overwritten: only a value that owns something is cleared.
  void ClearOwned() {
    if (Owns(m_kind)) Clear();
  }
  // Back to a plain nil (type byte 0, no auto flag), releasing what the value owns: Var().
  __attribute__((always_inline)) void Reset() { Install(0, 0, 0); }
  // Clear, then type t (TYPE_AUTO: nil with the auto flag); the auto flag is otherwise kept.
  void SetType(int t);

  // ---- setters: each clears first, keeps the auto flag, writes type and value
  // Always inline: the interpreter sets ints and bools in its hottest paths.
  __attribute__((always_inline)) void SetBool(bool b) { SetScalar(VT_BOOL, b ? 1u : 0u); }
  __attribute__((always_inline)) void SetInt(int i) { SetScalar(VT_INT, uint32_t(i)); }
  void SetFloat(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    SetScalar(VT_FLOAT, bits);
  }
  void SetPosition(int pos) { SetScalar(VT_POSITION, uint32_t(pos)); }
  void SetStackPos(int index) { SetScalar(VT_STACKPOS, uint32_t(index)); }
  void SetReference(Var* target) {  // not owned; inline: the interpreter makes one per variable access
    Install(uint8_t((m_kind & VF_AUTO) | VT_REFERENCE), 0, uint64_t(reinterpret_cast<uintptr_t>(target)));
  }
  void SetCFunction(detail::function_adapter_base* adapter);  // not owned
  void SetModule(BinCode* module);                   // one reference; null allowed
  void SetThread(ThreadHolder* holder);              // takes the holder (and its reference)
  void SetThreadRef(Thread* thread);                 // a new holder with one more reference
  void SetPointer(void* p);                          // raw, not owned (the "~p" parent link)
  void SetBinary(const void* bytes, int n);          // a private copy of n bytes
  void SetConstString(const char* text);             // not owned; must outlive the Var
  void SetString(const char* text);                  // a private copy; null copies ""
  void SetString(const char* text, int n);           // a private copy of n bytes plus NUL
  void SetLabel(const char* text);                   // a private copy; null copies ""
  void SetVocabulary();                              // a new empty pool
  void SetVocabulary(StringPool* pool);              // takes ownership of pool
  void SetArrayType(int elementType);                // array of elementType, no elements yet
  void SetUninitializedParam(uint32_t declaredTypeWord = 0);  // type 17
  void SetIgnore() { SetScalar(VT_IGNORE, 0); }

  // ---- raw access (no following of references)
  int GetType() const { return m_kind & VF_TYPEMASK; }
  uint8_t GetTypeByte() const { return m_kind; }
  bool IsAuto() const { return (m_kind & VF_AUTO) != 0; }
  void SetAuto(bool on) { m_kind = on ? uint8_t(m_kind | VF_AUTO) : uint8_t(m_kind & ~VF_AUTO); }
  bool HasArrayFlag() const { return (m_kind & VF_ARRAY) != 0; }
  int GetCount() const { return int(m_count); }
  // The ".bincode" type word: type byte | count << 8 (a count above 24 bits cannot be stored).
  uint32_t GetTypeWord() const { return uint32_t(m_kind) | (m_count << 8); }
  // Clear, then take type byte and count from a file type word; the value stays 0. Only for
  // record readers, which fill the value right after.
  void SetTypeWord(uint32_t word);
  uint32_t GetDeclaredTypeWord() const { return m_value.word; }  // of a type 17 value
  int GetRawInt() const { return m_value.i; }  // the value word as int, whatever the type

  // Follows references (type 6) to the end of the chain; a null target stops the walk.
  const Var* Deref() const {
    const Var* v = this;
    for (int hops = 0; v->m_kind == VT_REFERENCE && v->m_value.ref && hops < kMaxReferenceDepth; ++hops)
      v = v->m_value.ref;
    return v;
  }
  Var* Deref() { return const_cast<Var*>(static_cast<const Var*>(this)->Deref()); }

  // ---- readers: follow references; all fail (null, -1, false) on arrays
  bool GetBool(bool& out) const;
  bool GetInt(int& out) const {
    const Var* v = Deref();
    if ((v->m_kind & ~VF_AUTO) == VT_INT) {
      out = v->m_value.i;
      return true;
    }
    return GetIntSlow(v, out);
  }
  bool GetFloat(float& out) const {
    const Var* v = Deref();
    if ((v->m_kind & ~VF_AUTO) == VT_FLOAT) {
      out = v->m_value.f;
      return true;
    }
    return GetFloatSlow(v, out);
  }
  bool ToBool() const {
    bool b = false;
    GetBool(b);
    return b;
  }
  int ToInt() const {
    int i = 0;
    GetInt(i);
    return i;
  }
  float ToFloat() const {
    float f = 0.0f;
    GetFloat(f);
    return f;
  }
  const char* GetString() const;             // text of a string(const), string or label; else null
  // The getters below are inline: the interpreter reads code, callees and vocabularies per call.
  const unsigned char* GetBinary(int& size) const {  // bytes and count; else null and -1
    const Var* v = Deref();
    if ((v->m_kind & ~VF_AUTO) != VT_BINARY) {
      size = -1;
      return nullptr;
    }
    size = v->m_value.bytes ? int(v->m_count) : 0;
    return v->m_value.bytes;
  }
  BinCode* GetModule() const {
    const Var* v = Deref();
    return (v->m_kind & ~VF_AUTO) == VT_MODULE ? v->m_value.module : nullptr;
  }
  detail::function_adapter_base* GetCFunction() const {
    const Var* v = Deref();
    return (v->m_kind & ~VF_AUTO) == VT_CFUNCTION ? v->m_value.cfunc : nullptr;
  }
  void* GetPointer() const;
  StringPool* GetVocabulary() const {
    const Var* v = Deref();
    return (v->m_kind & ~VF_AUTO) == VT_VOCABULARY ? v->m_value.pool : nullptr;
  }
  ThreadHolder* GetThread() const;
  Thread* GetThreadObject() const;  // the thread inside the holder, or null
  // The direct target of a type 6 value (one step), else null.
  Var* GetReference() const { return (m_kind & ~VF_AUTO) == VT_REFERENCE ? m_value.ref : nullptr; }

  // ---- arrays (reached through references)
  Var* GetElement(int i) const;  // null when i < 0, i >= count or not an array
  int GetArraySize() const;      // element count, -1 when not an array
  // Resizes the array to n elements, converting kept elements into the element type. Fails
  // (false, unchanged) when not an array, n < 0 or n > kMaxArraySize.
  bool SetSize(int n);
  int GetElementType() const;  // bits 0-5 of the followed array (31 for an auto array), -1 if none

  // ---- type tests: follow references; false for arrays except IsArray
  bool IsNil() const { return (Deref()->m_kind & ~VF_AUTO) == VT_NIL; }
  bool IsBool() const { return (Deref()->m_kind & ~VF_AUTO) == VT_BOOL; }
  bool IsInt() const { return (Deref()->m_kind & ~VF_AUTO) == VT_INT; }
  bool IsFloat() const { return (Deref()->m_kind & ~VF_AUTO) == VT_FLOAT; }
  bool IsNumber() const {
    int k = Deref()->m_kind & ~VF_AUTO;
    return k == VT_INT || k == VT_FLOAT || k == VT_RESERVED;
  }
  bool IsCFunction() const { return (Deref()->m_kind & ~VF_AUTO) == VT_CFUNCTION; }
  bool IsModule() const { return (Deref()->m_kind & ~VF_AUTO) == VT_MODULE; }
  bool IsThread() const { return (Deref()->m_kind & ~VF_AUTO) == VT_THREAD; }
  bool IsConstString() const { return (Deref()->m_kind & ~VF_AUTO) == VT_CONSTSTRING; }
  bool IsStackPos() const { return (Deref()->m_kind & ~VF_AUTO) == VT_STACKPOS; }
  bool IsString() const {
    int k = Deref()->m_kind & ~VF_AUTO;
    return k == VT_CONSTSTRING || k == VT_STRING || k == VT_LABEL;
  }
  bool IsArray() const { return (Deref()->m_kind & VF_ARRAY) != 0; }
  bool IsReference() const { return (m_kind & ~VF_AUTO) == VT_REFERENCE; }  // this Var itself

  // ---- copies
  // Deep copy of src into this Var (strings, binaries, pools and arrays copied; modules and
  // threads referenced once more; everything else, references included, copied word for word).
  // Safe when src lives inside this Var (an element of its array, a symbol of its module).
  __attribute__((always_inline)) void Assign(const Var& src) {  // the interpreter copies in most instructions
    if (!Owns(src.m_kind) && !Owns(m_kind)) {  // plain values: both words as they are
      m_kind = src.m_kind;
      m_count = src.m_count;
      m_value = src.m_value;
      return;
    }
    AssignSlow(src);
  }
  // Assign for values that outlive the module they came from (thread variables, results kept
  // by the game): a string(const), also inside arrays, becomes a private string.
  void AssignOwned(const Var& src);
  // Turns a string(const) (and those in an array) into a private copy in place.
  void MakeOwned();
  // The VM's store into a declared variable or typed parameter: converts into this Var's type,
  // replaces it for "auto", copies arrays element-wise, binds typed array parameters by
  // reference. False when the value does not fit; this Var then keeps its value.
  bool AssignTyped(const Var& src);

  // ---- operator functions: dest = dest op src; false leaves dest unchanged
  // The operation's type is the larger rank of the operands' own types (nil 0, bool 1, int 2,
  // float 3, string(const)/string 5, everything else 999); a nil beside a bool, int or float
  // fails arithmetic and gives false for < and >, true for <= and >=.
  // Text joined by + (strings) and by the concatenation: dest := dest's text then src's. False
  // (dest unchanged) when the result would be longer than kMaxStringLength.
  static bool OpAdd(const Var& src, Var& dest);
  static bool OpConcat(const Var& src, Var& dest);
  // The common case of both, built once from the known lengths: left a string or string(const)
  // with a text, right one of those or an int; out := left's text then right's, a string that
  // keeps out's auto flag. False (out untouched) for any other operands, a result longer than
  // kMaxStringLength or no memory: the caller then takes the general path. out may be left.
  static bool ConcatText(const Var& left, const Var& right, Var& out);
  // Moves a string that only src holds into this string (or auto) variable, as AssignTyped
  // would store its text; src becomes nil. False (nothing changed) for any other pair.
  bool TakeString(Var& src);
  // this = this + tail, then stored back, for a plain string variable: tail's text (what
  // ConcatText joins) is appended in place and the block grows by doubling, so a loop that
  // appends copies each character a bounded number of times. False (unchanged) for any other
  // operands, a tail whose text lies in this string, a text with a NUL inside, past
  // kMaxStringLength or without memory: the caller then takes the general path.
  bool AppendInPlace(const Var& tail);
  static bool OpSub(const Var& src, Var& dest);
  static bool OpMul(const Var& src, Var& dest);
  static bool OpDiv(const Var& src, Var& dest);  // int: fails on / 0 and INT_MIN / -1
  static bool OpMod(const Var& src, Var& dest);  // int: fails on % 0
  static bool OpBitAnd(const Var& src, Var& dest);
  static bool OpBitOr(const Var& src, Var& dest);
  static bool OpBitXor(const Var& src, Var& dest);
  static bool OpLess(const Var& src, Var& dest);
  static bool OpLessEqual(const Var& src, Var& dest);
  static bool OpGreater(const Var& src, Var& dest);
  static bool OpGreaterEqual(const Var& src, Var& dest);
  static bool OpEqual(const Var& src, Var& dest);
  static bool OpNotEqual(const Var& src, Var& dest);
  static bool OpLogicalAnd(const Var& src, Var& dest);  // always succeeds
  static bool OpLogicalOr(const Var& src, Var& dest);   // always succeeds
  static bool OpShiftLeft(const Var& src, Var& dest);   // both int; shift by src & 31
  static bool OpShiftRight(const Var& src, Var& dest);  // arithmetic
  static bool OpNot(Var& dest);                         // always succeeds
  static bool OpNegate(Var& dest);                      // int (wrapping) and float only
  bool AddInt(int k);  // in place on an int (wrapping) or float; false otherwise
  // Strict ordering of the switch tables: by rank as the operators; nil orders first; values of
  // rank 999 by type code.
  static bool CompareLess(const Var& a, const Var& b);

  // ---- printable form
  base::tString<base::BaseString> ToText() const;
  // ToText cut to max characters, with "... (n characters)" after a cut: for messages, where a
  // long text would drown the line.
  base::tString<base::BaseString> ToMessageText(int max = 100) const;
  void AppendText(base::Text& out) const;  // appends what ToText returns

  static constexpr int kMaxReferenceDepth = 256;
  static constexpr int kMaxArraySize = 1 << 24;

 private:
  static constexpr uint64_t kOwningTypes = (1ull << VT_MODULE) | (1ull << VT_THREAD) | (1ull << VT_BINARY) |
                                           (1ull << VT_STRING) | (1ull << VT_LABEL) | (1ull << VT_VOCABULARY);
  // By type byte: one load where the interpreter releases or copies a value.
  static constexpr struct st_OwnsTable {
    bool owns[256];
  } kOwns = [] {
    st_OwnsTable t{};
    for (int k = 0; k < 256; ++k) t.owns[k] = (k & VF_ARRAY) || ((kOwningTypes >> (k & VF_TYPEMASK)) & 1u) != 0;
    return t;
  }();
  static bool Owns(uint8_t kind) { return kOwns.owns[kind]; }
  // Writes the new type byte, count and value first and releases the old payload last, so that
  // a release which destroys the container of this Var cannot be followed by a write into it.
  // Always inline: the interpreter sets scalars in nearly every instruction.
  __attribute__((always_inline)) void Install(uint8_t kind, uint32_t count, uint64_t raw) {
    uint8_t oldKind = m_kind;
    uint64_t old = m_value.raw;
    m_kind = kind;
    m_capacityLog = 0;
    m_count = count;
    m_value.raw = raw;
    if (Owns(oldKind)) ReleaseOld(oldKind, old);
  }
  static void ReleaseOld(uint8_t kind, uint64_t raw);
  __attribute__((always_inline)) void SetScalar(int type, uint32_t word) {
    Install(uint8_t((m_kind & VF_AUTO) | type), 0, word);
  }
  void SetOwnedPointer(int type, uint32_t count, const void* p);  // Install with a pointer value
  static bool GetIntSlow(const Var* v, int& out);
  // The text a join appends for v (a string or string(const) with a text, or an int printed into
  // number) and its length; null for any other value.
  static const char* JoinedTail(const Var& v, char (&number)[16], size_t& length);
  static bool GetFloatSlow(const Var* v, float& out);
  void CopyArray(const Var& srcArray, bool owned);
  void AssignSlow(const Var& src);
  friend class VarTable;

  uint8_t m_kind;
  uint8_t m_capacityLog = 0;  // see the layout above; Install resets it, moves carry it
  uint8_t m_pad[2] = {0, 0};
  uint32_t m_count;
  union Value {
    uint64_t raw;
    uint32_t word;
    int32_t i;
    float f;
    uint8_t b;
    void* p;
    Var* ref;
    char* text;
    const char* ctext;
    unsigned char* bytes;
    BinCode* module;
    ThreadHolder* thread;
    detail::function_adapter_base* cfunc;
    StringPool* pool;
    Var* array;
  } m_value;
};

static_assert(sizeof(Var) == 16, "KRX::Var is 16 bytes on the 64-bit build");

// Array blocks (script arrays, variable tables): n Vars preceded by their count.
Var* NewVarArray(int n);          // n nil elements; null when n < 1 or on allocation failure
void DeleteVarArray(Var* array);  // destroys the elements and frees the block; null is ignored
// The count sits kVarArrayHeader bytes before the first element. Inline: every element access
// checks it.
constexpr size_t kVarArrayHeader = 16;
inline int VarArrayCount(const Var* array) {  // 0 for null
  return array ? *reinterpret_cast<const int32_t*>(reinterpret_cast<const char*>(array) - kVarArrayHeader) : 0;
}

inline Var* Var::GetElement(int i) const {
  const Var* v = Deref();
  if (!(v->m_kind & VF_ARRAY) || i < 0 || i >= VarArrayCount(v->m_value.array)) return nullptr;
  return v->m_value.array + i;
}

// Moves n Vars from src to uninitialised storage dst without running their copies.
inline void RelocateVars(Var* dst, Var* src, int n) {
  if (n > 0) std::memcpy(static_cast<void*>(dst), static_cast<const void*>(src), sizeof(Var) * size_t(n));
}

inline Var& Var::operator=(Var&& other) noexcept {
  if (this != &other) {
    Var tmp(static_cast<Var&&>(other));  // other may live inside this Var's storage
    Install(tmp.m_kind, tmp.m_count, tmp.m_value.raw);
    m_capacityLog = tmp.m_capacityLog;
    tmp.m_kind = 0;
    tmp.m_capacityLog = 0;
    tmp.m_count = 0;
    tmp.m_value.raw = 0;
  }
  return *this;
}

// ---- fast paths of the operators the interpreter runs most

namespace detail {
inline bool BothInt(const Var& a, const Var& b) {
  return (a.GetTypeByte() & ~VF_AUTO) == VT_INT && (b.GetTypeByte() & ~VF_AUTO) == VT_INT;
}
bool OpAddSlow(const Var& src, Var& dest);
bool OpSubSlow(const Var& src, Var& dest);
bool OpMulSlow(const Var& src, Var& dest);
bool OpModSlow(const Var& src, Var& dest);
bool CompareSlow(int op, const Var& src, Var& dest);
}  // namespace detail

inline bool Var::OpAdd(const Var& src, Var& dest) {
  if (detail::BothInt(src, dest)) {
    dest.m_value.i = int32_t(uint32_t(dest.m_value.i) + uint32_t(src.m_value.i));
    return true;
  }
  return detail::OpAddSlow(src, dest);
}
inline bool Var::OpSub(const Var& src, Var& dest) {
  if (detail::BothInt(src, dest)) {
    dest.m_value.i = int32_t(uint32_t(dest.m_value.i) - uint32_t(src.m_value.i));
    return true;
  }
  return detail::OpSubSlow(src, dest);
}
inline bool Var::OpMul(const Var& src, Var& dest) {
  if (detail::BothInt(src, dest)) {
    dest.m_value.i = int32_t(uint32_t(dest.m_value.i) * uint32_t(src.m_value.i));
    return true;
  }
  return detail::OpMulSlow(src, dest);
}
inline bool Var::OpMod(const Var& src, Var& dest) {
  // % 0 fails and % -1 is 0 (INT_MIN % -1 traps on the machine): both left to the general path.
  if (detail::BothInt(src, dest) && src.m_value.i != 0 && src.m_value.i != -1) {
    dest.m_value.i = dest.m_value.i % src.m_value.i;
    return true;
  }
  return detail::OpModSlow(src, dest);
}
inline bool Var::OpLess(const Var& src, Var& dest) {
  if (detail::BothInt(src, dest)) {
    dest.SetBool(dest.m_value.i < src.m_value.i);
    return true;
  }
  return detail::CompareSlow(0, src, dest);
}
inline bool Var::OpLessEqual(const Var& src, Var& dest) {
  if (detail::BothInt(src, dest)) {
    dest.SetBool(dest.m_value.i <= src.m_value.i);
    return true;
  }
  return detail::CompareSlow(1, src, dest);
}
inline bool Var::OpGreater(const Var& src, Var& dest) {
  if (detail::BothInt(src, dest)) {
    dest.SetBool(dest.m_value.i > src.m_value.i);
    return true;
  }
  return detail::CompareSlow(2, src, dest);
}
inline bool Var::OpGreaterEqual(const Var& src, Var& dest) {
  if (detail::BothInt(src, dest)) {
    dest.SetBool(dest.m_value.i >= src.m_value.i);
    return true;
  }
  return detail::CompareSlow(3, src, dest);
}

}  // namespace KRX
