// What the plain interpreter (ScriptVM.cpp) and the register form (RegisterRun.cpp) share, so
// that both push, pop, load code, look names up and call natives the same way: the value stack,
// the per-code cache, the name search and the native call. Internal to the interpreter.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "KRX/ByteCode.h"
#include "KRX/Interpreter/RegisterForm.h"
#include "KRX/runtime/Interface.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/Var.h"

namespace KRX::vm {

// ---- value stack

// Code that pushes without ever ending its statement would otherwise grow a stack until memory
// runs out; no expression of a real script comes near this depth.
constexpr uint32_t kMaxStack = 1u << 20;

// Grows f's stack by half again plus five; false at kMaxStack or without memory.
bool GrowStack(Frame* f);
// Grows f's stack until it holds at least n values; false past kMaxStack or without memory.
bool ReserveStack(Frame* f, uint32_t n);

// A new top value. Slots above the count are kept plain nil, so the caller may set any type.
inline Var* Push(Frame* f) {
  if (f->m_stackCount >= f->m_stackCapacity && !GrowStack(f)) return nullptr;
  return f->m_stack + f->m_stackCount++;
}

inline void Drop(Var& v) {
  if (v.GetTypeByte() != VT_NIL) v.Reset();
}

__attribute__((always_inline)) inline void PopTo(Frame* f, uint32_t n) {
  for (uint32_t i = n; i < f->m_stackCount; ++i) Drop(f->m_stack[i]);
  f->m_stackCount = n;
}

// ---- code

// The interpreter's cache of one function's code for one symbol epoch (the decode table of
// ScriptVM.cpp derives from it): the bytes it was built for and their register form.
struct st_CodeHead {
  const uint8_t* bytes = nullptr;
  uint32_t size = 0;
  bool regTried = false;  // translation was tried (regForm: its result, null when refused)
  std::unique_ptr<st_RegFunction> regForm;
};

// Fills the frame's code cache (and the function's); false when the function has no "~b" binary.
bool LoadCodeSlow(Frame* f);

// The bytes of the code the frame's cache was built for are still the function's.
__attribute__((always_inline)) inline bool CodeStillThere(const Frame* f) {
  const auto* head = static_cast<const st_CodeHead*>(f->m_decoded);
  int n = 0;
  const uint8_t* bytes = f->m_codeVar->GetBinary(n);
  return head->bytes == bytes && head->size == (bytes && n > 0 ? uint32_t(n) : 0);
}

// LoadCodeSlow with the common case inline: every call and return comes here, and the frame's
// cache (set by AcquireFrame from the function's) is nearly always still right.
__attribute__((always_inline)) inline bool LoadCode(Frame* f) {
  if (f->m_cacheEpoch == GetSymbolEpoch() && f->m_decoded && CodeStillThere(f)) return true;
  return LoadCodeSlow(f);
}

// The register form of a function whose frame has its code loaded, translated on first use;
// null when it has none or the register form is switched off.
const st_RegFunction* TranslateFrameCode(Frame* f);
inline const st_RegFunction* RegisterFormOf(Frame* f) {
  const auto* head = static_cast<const st_CodeHead*>(f->m_decoded);
  return head->regTried ? head->regForm.get() : TranslateFrameCode(f);
}

// The register form of function (its code cache made when missing, the translation on first
// use); null when it has none.
const st_RegFunction* FunctionRegisterForm(BinCode* function);

// The thread's arguments stored into the parameters of f, its first frame, as "paramcpy" would
// store them, when they are exactly as many plain ints as form has parameters; false (nothing
// changed) otherwise.
bool StoreThreadArguments(Thread& thread, Frame* f, const st_RegFunction& form);

// ---- names and natives

// The variable search for a name of the function's vocabulary pool at offset (name: its text):
// thread variables, the function and its parents, the root's natives; null when none.
Var* FindVocabularyName(Thread& thread, const BinCode* root, const BinCode* function, const StringPool* pool,
                        int32_t offset, const char* name);

// Runs the adapter; an error it raises (a bad parameter) comes back as text.
__attribute__((always_inline)) inline bool CallAdapter(detail::function_adapter_base* adapter, t_Interface& in,
                                                       Var& result, std::string& error) {
  try {
    adapter->Call(in, result);
    return true;
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "unknown error in native function";
  }
  return false;
}

// CallAdapter, telling an attached debugger which native runs.
bool CallNative(detail::function_adapter_base* adapter, t_Interface& in, Var& result, std::string& error);

// The arguments (and a function reference) between a native's marker and oldCount dropped.
inline void LeaveNative(Frame* f, uint32_t marker, uint32_t oldCount) {
  for (uint32_t i = marker + 1; i < oldCount; ++i) Drop(f->m_stack[i]);
}

// a op b for the comparison opcode op (OP_LESS_EQUAL to OP_NOT_EQUAL).
__attribute__((always_inline)) inline bool CompareInts(uint8_t op, int32_t a, int32_t b) {
  switch (op) {
    case OP_LESS_EQUAL: return a <= b;
    case OP_LESS: return a < b;
    case OP_GREATER_EQUAL: return a >= b;
    case OP_GREATER: return a > b;
    case OP_EQUAL: return a == b;
    default: return a != b;
  }
}

}  // namespace KRX::vm
