#include "KRX/runtime/Interface.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "KRX/BinCode.h"
#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/Module.h"
#include "KRX/runtime/Types.h"

namespace KRX {

void t_Interface::ReportBadParam(int index, const Var* found, const char* expected) const {
  char text[256];
  const char* foundName = "(null)";
  if (found) foundName = GetTypeName(found->GetType());
  std::snprintf(text, sizeof text, "invalid parameter %d: found %s / expected %s", index + 1, foundName,
                expected ? expected : "");
  std::string message(text);
  if (const st_DebugHooks* hooks = GetActiveDebugHooks()) {
    std::string where;
    if (hooks->describePosition && hooks->describePosition(where)) message += " at c-call " + where;
  }
  throw std::runtime_error(message);
}

namespace detail {

namespace {
struct st_Kept {
  st_Kept(function_adapter_base* a, void (*d)(function_adapter_base*)) : adapter(a), destroy(d) {}
  st_Kept(const st_Kept&) = delete;
  st_Kept& operator=(const st_Kept&) = delete;
  ~st_Kept() { destroy(adapter); }
  function_adapter_base* adapter;
  void (*destroy)(function_adapter_base*);
};
std::vector<std::unique_ptr<st_Kept>>& KeptAdapters() {
  static std::vector<std::unique_ptr<st_Kept>> kept;
  return kept;
}
}  // namespace

function_adapter_base* KeepAdapter(function_adapter_base* adapter, void (*destroy)(function_adapter_base*)) {
  if (adapter) KeptAdapters().push_back(std::make_unique<st_Kept>(adapter, destroy));
  return adapter;
}

}  // namespace detail

bool RegisterFunction(BinCode* module, const char* name, detail::function_adapter_base* adapter) {
  if (!module || !name) return false;
  Var* bind = module->Find("~bind");
  if (!bind) {
    auto* sub = new BinCode();
    sub->SetParent(module);
    module->FindOrCreate("~bind", VT_MODULE)->SetModule(sub);
    bind = module->Find("~bind");
  }
  BinCode* sub = bind ? bind->GetModule() : nullptr;
  if (!sub) return false;
  sub->FindOrCreate(name, VT_CFUNCTION)->SetCFunction(adapter);
  return true;
}

bool RegisterFunction(Module& module, const char* name, detail::function_adapter_base* adapter) {
  return RegisterFunction(module.GetRoot(), name, adapter);
}

}  // namespace KRX
