// Registration of the game's script functions from the table.
#include "quillane/script/ScriptFunctions.h"

#include "KRX/ScriptSystem.h"
#include "KRX/runtime/function_adapter.h"

namespace {

// The handler as the exact function pointer type of its row: a handler built with another
// signature does not compile.
#define QL_HANDLER(handler, sig) static_cast<std::add_pointer_t<sig>>(script_bindings::handler)

#define QL_ROW(name, handler, sig, state) \
  {#name, #handler, #sig, reinterpret_cast<void (*)()>(QL_HANDLER(handler, sig))},
const st_ScriptFunctionRow kRows[] = {QL_SCRIPT_FUNCTION_TABLE(QL_ROW)};
#undef QL_ROW

}  // namespace

std::span<const st_ScriptFunctionRow> GetScriptFunctionRows() { return kRows; }

bool RegisterScriptFunctions() {
  KRX::Module& root = KRX::ScriptSystem::GetModule();
  bool ok = true;
#define QL_BIND(name, handler, sig, state) ok = KRX::RegisterFunction(root, #name, QL_HANDLER(handler, sig));
  QL_SCRIPT_FUNCTION_TABLE(QL_BIND)
#undef QL_BIND
  return ok;
}
