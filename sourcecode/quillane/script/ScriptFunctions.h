// The game's script functions: their handlers in namespace script_bindings, declared from the
// table in ScriptFunctionTable.h, and RegisterScriptFunctions, which binds all of them by name
// into the script system's root module. Main thread only.
#pragma once

#include <span>
#include <type_traits>

#include "KRX/runtime/Interface.h"
#include "quillane/script/ScriptFunctionTable.h"

namespace script_bindings {

#define QL_DECLARE_READY(handler, sig) std::type_identity_t<sig> handler;
#define QL_DECLARE_SHARED(handler, sig)
#define QL_DECLARE_HANDLER(name, handler, sig, state) QL_DECLARE_##state(handler, sig)
QL_SCRIPT_FUNCTION_TABLE(QL_DECLARE_HANDLER)
#undef QL_DECLARE_HANDLER
#undef QL_DECLARE_SHARED
#undef QL_DECLARE_READY

}  // namespace script_bindings

// One row of the table as the program sees it.
struct st_ScriptFunctionRow {
  const char* m_name;       // the script name
  const char* m_handler;    // the handler's name in script_bindings
  const char* m_signature;  // as written in the table, e.g. "void (const char*, float)"
  void (*m_function)();     // the handler's address, for identity only
};

// The rows in binding order.
std::span<const st_ScriptFunctionRow> GetScriptFunctionRows();

// Binds every row's handler under its name into the script system's root module, in table order;
// a name bound before (the language's own "Sleep") is replaced. The result of the last binding.
bool RegisterScriptFunctions();
