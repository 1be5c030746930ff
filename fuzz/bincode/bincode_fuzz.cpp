// libFuzzer target for the ".bincode" module reader: any input either loads or is refused with a
// message; a module that loads must save and load again, and its functions must list without
// reading past their code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "KRX/BinCode.h"
#include "KRX/file/BinCodeFile.h"
#include "KRX/compiler/Listing.h"
#include "KRX/ScriptSystem.h"

namespace {

void Quiet(KRX::Debugger*, const char*) {}

void ListFunctions(const KRX::BinCode* module, int depth) {
  if (!module || depth > 8) return;
  (void)KRX::Listing(module);
  for (const auto& [name, value] : module->GetSymbols())
    if (name != "~p" && !value.IsArray() && value.GetModule() && value.GetModule() != module)
      ListFunctions(value.GetModule(), depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool initialised = [] {
    KRX::ScriptSystem::Init();
    // Messages go to a sink instead of the standard error stream on every refused input.
    static int sink;
    KRX::ScriptSystem::AttachDebugger(reinterpret_cast<KRX::Debugger*>(&sink), Quiet);
    return true;
  }();
  (void)initialised;
  KRX::tRefPtr<KRX::BinCode> module = KRX::ReadModuleMemory(data, size, "fuzz.bincode");
  if (!module) return 0;
  ListFunctions(module.get(), 0);
  KRX::Stream out;
  if (!KRX::WriteModule(out, module.get())) return 0;
  const auto& bytes = out.GetBytes();
  if (!KRX::ReadModuleMemory(bytes.data(), bytes.size(), "again.bincode")) std::abort();
  return 0;
}
