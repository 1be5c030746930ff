// KRX::t_Interface: what a native function sees of one script call (the calling thread and the
// arguments on the caller's stack), and the adapter base through which the interpreter calls
// every native function bound into a module's "~bind" sub-module.
#pragma once

#include <cstdint>

#include "KRX/runtime/Var.h"

namespace KRX {

class BinCode;
class Module;
class Thread;

struct t_Interface {
  Thread* m_thread = nullptr;  // the calling thread; a native may Sleep, Pause or Return it
  int32_t m_argCount = 0;
  Var* m_args = nullptr;  // the first argument; arguments may be references to variables

  // Argument index with one reference level followed; null when index is not below the count.
  // Inline: every native argument comes through here.
  Var* GetParam(int index) const {
    if (index < 0 || index >= m_argCount || !m_args) return nullptr;
    Var* v = m_args + index;
    if (v->IsReference()) {
      Var* target = v->GetReference();
      return target ? target : v;
    }
    return v;
  }
  // Throws the standard runtime error "invalid parameter %d: found %s / expected %s" (index + 1,
  // the found value's type name or "(null)"), with " at c-call " and the debugger's description
  // appended when one can give it. The native-call instruction catches it and kills the thread.
  [[noreturn]] void ReportBadParam(int index, const Var* found, const char* expected) const;
};

namespace detail {

// One bound native function. Adapters live until the program ends.
class function_adapter_base {
 public:
  // Converts the arguments and runs the function; its result (nothing for void) is written into
  // out, a nil the caller keeps, so no value is built and moved per call.
  virtual void Call(t_Interface& in, Var& out) = 0;

 protected:
  ~function_adapter_base() = default;
};

// Keeps adapter reachable for the program's life (adapters are never freed) and returns it.
function_adapter_base* KeepAdapter(function_adapter_base* adapter, void (*destroy)(function_adapter_base*));

}  // namespace detail

// Binds adapter under name in the "~bind" sub-module of module (created when missing, with "~p"
// pointing back), replacing an earlier binding. False when "~bind" holds no module.
bool RegisterFunction(BinCode* module, const char* name, detail::function_adapter_base* adapter);
bool RegisterFunction(Module& module, const char* name, detail::function_adapter_base* adapter);

}  // namespace KRX
