// KRX::Var storage: ownership, setters, readers, arrays and the copying stores.
#include "KRX/runtime/Var.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>

#include "KRX/BinCode.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Thread.h"

namespace KRX {

namespace {

// The count sits in front of the elements; 16 bytes keep the elements 8-aligned.
constexpr size_t kArrayHeader = kVarArrayHeader;

int32_t* ArrayHeader(const Var* array) {
  return reinterpret_cast<int32_t*>(const_cast<char*>(reinterpret_cast<const char*>(array)) - kArrayHeader);
}

template <class T>
uint64_t PointerWord(T* p) {
  return uint64_t(reinterpret_cast<uintptr_t>(p));
}

char* CopyText(const char* text, size_t n) {
  char* copy = static_cast<char*>(std::malloc(n + 1));
  if (!copy) return nullptr;
  if (n) std::memcpy(copy, text, n);
  copy[n] = '\0';
  return copy;
}

// Float to int truncating toward zero; NaN gives 0 and values beyond the int range saturate,
// where a plain cast would be undefined.
int TruncateToInt(float f) {
  if (std::isnan(f)) return 0;
  if (f >= 2147483648.0f) return INT_MAX;
  if (f <= -2147483648.0f) return INT_MIN;
  return int(f);
}

void SetElementType(Var& element, int type) {
  element.SetAuto(false);
  element.SetType(type);
}

}  // namespace

// ---- array blocks

Var* NewVarArray(int n) {
  if (n < 1 || size_t(n) > (SIZE_MAX - kArrayHeader) / sizeof(Var)) return nullptr;
  char* block = static_cast<char*>(std::malloc(kArrayHeader + sizeof(Var) * size_t(n)));
  if (!block) return nullptr;
  *reinterpret_cast<int32_t*>(block) = n;
  Var* array = reinterpret_cast<Var*>(block + kArrayHeader);
  for (int i = 0; i < n; ++i) new (static_cast<void*>(array + i)) Var();
  return array;
}

void DeleteVarArray(Var* array) {
  if (!array) return;
  int n = VarArrayCount(array);
  for (int i = 0; i < n; ++i) array[i].~Var();
  std::free(ArrayHeader(array));
}

// ---- ownership

void Var::ReleaseOld(uint8_t kind, uint64_t raw) {
  Value v;
  v.raw = raw;
  if (kind & VF_ARRAY) {
    DeleteVarArray(v.array);
    return;
  }
  switch (kind & VF_TYPEMASK) {
    case VT_MODULE:
      if (v.module) v.module->Release();
      break;
    case VT_THREAD:
      if (v.thread) {
        Thread* thread = v.thread->thread;
        delete v.thread;
        if (thread) thread->Release();
      }
      break;
    case VT_BINARY:
    case VT_STRING:
    case VT_LABEL:
      std::free(v.p);
      break;
    case VT_VOCABULARY:
      delete v.pool;
      break;
    default:
      break;
  }
}

void Var::SetOwnedPointer(int type, uint32_t count, const void* p) {
  Install(uint8_t((m_kind & VF_AUTO) | type), count, PointerWord(p));
}

void Var::SetType(int t) {
  if (t == TYPE_AUTO)
    Install(VF_AUTO, 0, 0);
  else
    Install(uint8_t((m_kind & VF_AUTO) | (t & VF_TYPEMASK)), 0, 0);
}

void Var::SetTypeWord(uint32_t word) { Install(uint8_t(word & 0xFF), word >> 8, 0); }

// ---- setters

void Var::SetCFunction(detail::function_adapter_base* adapter) { SetOwnedPointer(VT_CFUNCTION, 0, adapter); }
void Var::SetPointer(void* p) { SetOwnedPointer(VT_POINTER, 0, p); }
void Var::SetConstString(const char* text) {
  SetOwnedPointer(VT_CONSTSTRING, text ? uint32_t(std::strlen(text)) : 0, text);
}

void Var::SetModule(BinCode* module) {
  if (module) module->AddRef();
  SetOwnedPointer(VT_MODULE, 0, module);
}

void Var::SetThread(ThreadHolder* holder) { SetOwnedPointer(VT_THREAD, 0, holder); }

void Var::SetThreadRef(Thread* thread) {
  auto* holder = new ThreadHolder{thread};
  if (thread) thread->AddRef();
  SetThread(holder);
}

void Var::SetBinary(const void* bytes, int n) {
  void* copy = nullptr;
  if (n > 0) {
    copy = std::malloc(size_t(n));
    if (copy && bytes) std::memcpy(copy, bytes, size_t(n));
    if (copy && !bytes) std::memset(copy, 0, size_t(n));
  }
  SetOwnedPointer(VT_BINARY, copy ? uint32_t(n) : 0, copy);
}

void Var::SetString(const char* text) { SetString(text, text ? int(std::strlen(text)) : 0); }

void Var::SetString(const char* text, int n) {
  if (!text || n < 0) n = 0;
  char* copy = CopyText(text, size_t(n));
  SetOwnedPointer(VT_STRING, copy ? uint32_t(n) : 0, copy);
}

void Var::SetLabel(const char* text) {
  size_t n = text ? std::strlen(text) : 0;
  char* copy = CopyText(text, n);
  SetOwnedPointer(VT_LABEL, copy ? uint32_t(n) : 0, copy);
}

void Var::SetVocabulary() { SetVocabulary(new StringPool()); }
void Var::SetVocabulary(StringPool* pool) { SetOwnedPointer(VT_VOCABULARY, 0, pool); }

void Var::SetArrayType(int elementType) {
  Install(uint8_t((m_kind & VF_AUTO) | VF_ARRAY | (elementType & VF_TYPEMASK)), 0, 0);
}

void Var::SetUninitializedParam(uint32_t declaredTypeWord) {
  Install(uint8_t((m_kind & VF_AUTO) | VT_UNINITPARAM), 0, declaredTypeWord);
}

// ---- readers

bool Var::GetBool(bool& out) const {
  const Var* v = Deref();
  if (v->m_kind & VF_ARRAY) return false;
  switch (v->m_kind & VF_TYPEMASK) {
    case VT_NIL:
      out = false;
      return false;
    case VT_BOOL:
      out = v->m_value.b != 0;
      return true;
    case VT_INT:
    case VT_POSITION:
      out = v->m_value.i != 0;
      return true;
    case VT_FLOAT:
      out = v->m_value.f != 0.0f;  // a NaN counts as true
      return true;
    case VT_CFUNCTION:
    case VT_MODULE:
    case VT_POINTER:
    case VT_BINARY:
    case VT_CONSTSTRING:
    case VT_STRING:
    case VT_LABEL:
    case VT_VOCABULARY:
      out = v->m_value.p != nullptr;
      return false;
    case VT_STACKPOS:
      out = true;
      return false;
    default:
      return false;
  }
}

bool Var::GetIntSlow(const Var* v, int& out) {
  if (v->m_kind & VF_ARRAY) return false;
  switch (v->m_kind & VF_TYPEMASK) {
    case VT_BOOL:
      out = v->m_value.b != 0 ? 1 : 0;
      return true;
    case VT_INT:
    case VT_POSITION:
      out = v->m_value.i;
      return true;
    case VT_FLOAT:
      out = TruncateToInt(v->m_value.f);
      return true;
    default:
      return false;
  }
}

bool Var::GetFloatSlow(const Var* v, float& out) {
  if (v->m_kind & VF_ARRAY) return false;
  switch (v->m_kind & VF_TYPEMASK) {
    case VT_BOOL:
      out = v->m_value.b != 0 ? 1.0f : 0.0f;
      return true;
    case VT_INT:
      out = float(v->m_value.i);
      return true;
    case VT_FLOAT:
      out = v->m_value.f;
      return true;
    default:
      return false;
  }
}

const char* Var::GetString() const {
  const Var* v = Deref();
  int k = v->m_kind & ~VF_AUTO;
  return (k == VT_CONSTSTRING || k == VT_STRING || k == VT_LABEL) ? v->m_value.ctext : nullptr;
}

void* Var::GetPointer() const {
  const Var* v = Deref();
  return (v->m_kind & ~VF_AUTO) == VT_POINTER ? v->m_value.p : nullptr;
}

ThreadHolder* Var::GetThread() const {
  const Var* v = Deref();
  return (v->m_kind & ~VF_AUTO) == VT_THREAD ? v->m_value.thread : nullptr;
}

Thread* Var::GetThreadObject() const {
  ThreadHolder* holder = GetThread();
  return holder ? holder->thread : nullptr;
}


// ---- arrays


int Var::GetArraySize() const {
  const Var* v = Deref();
  return (v->m_kind & VF_ARRAY) ? VarArrayCount(v->m_value.array) : -1;
}

int Var::GetElementType() const {
  const Var* v = Deref();
  return (v->m_kind & VF_ARRAY) ? (v->m_kind & VF_TYPEMASK) : -1;
}

bool Var::SetSize(int n) {
  Var* a = Deref();
  if (!(a->m_kind & VF_ARRAY) || n < 0 || n > kMaxArraySize) return false;
  Var* old = a->m_value.array;
  int oldCount = VarArrayCount(old);
  if (old && oldCount == n) return true;
  if (!old && n == 0) return true;
  Var* block = n > 0 ? NewVarArray(n) : nullptr;
  if (n > 0 && !block) return false;
  int type = a->m_kind & VF_TYPEMASK;
  int kept = oldCount < n ? oldCount : n;
  for (int i = 0; i < kept; ++i) {
    SetElementType(block[i], type);
    const Var* from = old[i].Deref();
    if ((from->m_kind & ~VF_AUTO) != VT_NIL) block[i].AssignTyped(old[i]);
  }
  // New elements are typed nils: their value word is 0, so the bytes of one made once are
  // copied into the fresh (owning nothing) rest, where a million elements would each be set.
  Var proto;
  SetElementType(proto, type);
  for (int i = kept; i < n; ++i) std::memcpy(static_cast<void*>(block + i), static_cast<const void*>(&proto), sizeof(Var));
  a->m_value.array = block;
  a->m_count = uint32_t(n);
  DeleteVarArray(old);
  return true;
}

// ---- copies

void Var::CopyArray(const Var& src, bool owned) {
  int n = VarArrayCount(src.m_value.array);
  Var* block = n > 0 ? NewVarArray(n) : nullptr;
  if (!block) n = 0;
  for (int i = 0; i < n; ++i) {
    if (owned)
      block[i].AssignOwned(src.m_value.array[i]);
    else
      block[i].Assign(src.m_value.array[i]);
  }
  Install(uint8_t((m_kind & VF_AUTO) | VF_ARRAY | (src.m_kind & VF_TYPEMASK)), uint32_t(n), PointerWord(block));
}

void Var::AssignSlow(const Var& src) {
  if (this == &src) return;
  if (src.m_kind & VF_ARRAY) {
    CopyArray(src, false);
    return;
  }
  // Each case prepares the new payload before Install releases the old one, so src may live
  // inside what this Var owns.
  switch (src.m_kind & VF_TYPEMASK) {
    case VT_MODULE:
      SetModule(src.m_value.module);
      return;
    case VT_THREAD:
      if (src.m_value.thread)
        SetThreadRef(src.m_value.thread->thread);
      else
        SetThread(nullptr);
      return;
    case VT_BINARY:
      SetBinary(src.m_value.bytes, src.m_value.bytes ? int(src.m_count) : 0);
      return;
    case VT_STRING:
      if (src.m_value.ctext)
        SetString(src.m_value.ctext, int(src.m_count));
      else
        SetOwnedPointer(VT_STRING, 0, nullptr);  // a null text stays null
      return;
    case VT_LABEL: {
      size_t n = src.m_value.ctext ? src.m_count : 0;
      char* copy = src.m_value.ctext ? CopyText(src.m_value.ctext, n) : nullptr;
      SetOwnedPointer(VT_LABEL, copy ? uint32_t(n) : 0, copy);
      return;
    }
    case VT_VOCABULARY:
      SetVocabulary(src.m_value.pool ? new StringPool(*src.m_value.pool) : nullptr);
      return;
    default:
      Install(src.m_kind, src.m_count, src.m_value.raw);
      return;
  }
}

void Var::AssignOwned(const Var& src) {
  if (this == &src) {
    MakeOwned();
    return;
  }
  if (src.m_kind & VF_ARRAY) {
    CopyArray(src, true);
  } else if ((src.m_kind & VF_TYPEMASK) == VT_CONSTSTRING) {
    SetString(src.m_value.ctext);
  } else {
    Assign(src);
  }
}

void Var::MakeOwned() {
  if (m_kind & VF_ARRAY) {
    for (int i = 0, n = VarArrayCount(m_value.array); i < n; ++i) m_value.array[i].MakeOwned();
  } else if ((m_kind & VF_TYPEMASK) == VT_CONSTSTRING) {
    SetString(m_value.ctext);
  }
}

bool Var::AssignTyped(const Var& src) {
  // 1. A typed parameter takes its declared type first; array parameters bind by reference.
  if ((m_kind & ~VF_AUTO) == VT_UNINITPARAM) {
    uint32_t word = m_value.word;
    uint8_t declared = uint8_t(word & 0xFF);
    int declaredType = declared & VF_TYPEMASK;
    if (!(declared & VF_ARRAY)) {
      if (declaredType == TYPE_AUTO)
        Install(VF_AUTO, 0, 0);
      else
        Install(uint8_t(declared & (VF_AUTO | VF_TYPEMASK)), 0, 0);
    } else {
      int n = int(word >> 8);
      if (n != 0 && src.GetArraySize() != n) return false;
      if (!src.IsReference()) return false;
      const Var* target = src.Deref();
      if (!(target->m_kind & VF_ARRAY)) return false;
      int targetType = target->m_kind & VF_TYPEMASK;
      if (targetType == VT_IGNORE) return true;
      if (declaredType != TYPE_AUTO && targetType != declaredType) return false;
      SetReference(const_cast<Var*>(target));
      return true;
    }
  }
  const Var* s = src.Deref();
  // 2. "ignore" leaves every target untouched (an empty argument keeps the default).
  if ((s->m_kind & ~VF_AUTO) == VT_IGNORE) return true;
  // 3. "auto" takes the value and its type. An argument naming a variable arrives as a reference
  // to it: the parameter takes the variable's value, and an array binds by reference, as it does
  // to an array parameter.
  if (m_kind & VF_AUTO) {
    if ((s->m_kind & VF_ARRAY) && src.IsReference()) {
      SetReference(const_cast<Var*>(s));
      m_kind &= uint8_t(~VF_AUTO);
      return true;
    }
    Assign(*s);
    m_kind |= VF_AUTO;
    return true;
  }
  // 4. Arrays copy element by element.
  if (m_kind & VF_ARRAY) {
    if (!(s->m_kind & VF_ARRAY)) return false;
    if (s == this) return true;
    Var copy;
    copy.CopyArray(*s, false);  // s may be an element of this array
    int n = VarArrayCount(copy.m_value.array);
    if (!SetSize(n)) return false;
    for (int i = 0; i < n; ++i) m_value.array[i].Assign(copy.m_value.array[i]);
    return true;
  }
  // 5. Conversion into the declared type; the value changes only on success.
  switch (m_kind & VF_TYPEMASK) {
    case VT_BOOL: {
      bool b = false;
      if (!src.GetBool(b)) return false;
      SetBool(b);
      return true;
    }
    case VT_INT: {
      int i = 0;
      if (!src.GetInt(i)) return false;
      SetInt(i);
      return true;
    }
    case VT_FLOAT: {
      float f = 0.0f;
      if (!src.GetFloat(f)) return false;
      SetFloat(f);
      return true;
    }
    case VT_CFUNCTION: {
      detail::function_adapter_base* adapter = src.GetCFunction();
      if (!adapter) return false;
      SetCFunction(adapter);
      return true;
    }
    case VT_MODULE: {
      BinCode* module = src.GetModule();
      if (!module) return false;
      SetModule(module);
      return true;
    }
    case VT_THREAD: {
      ThreadHolder* holder = src.GetThread();
      if (!holder) return false;
      SetThreadRef(holder->thread);
      return true;
    }
    case VT_STRING:
      if (!src.IsString()) return false;
      SetString(src.GetString());
      return true;
    default:
      return false;
  }
}

}  // namespace KRX
