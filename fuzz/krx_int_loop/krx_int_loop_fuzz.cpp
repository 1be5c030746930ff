// Loops of ".bincode" code run without a debugger, so that the interpreter takes whole integer
// loops in register form where it can: whatever the bytes, the run must end in a finished, waiting
// or dead thread, never in a crash, an overrun or a hang. The input is the code of a function "f"
// whose locals are two int parameters, ints, an auto, an int array of 8 and an auto array of 4;
// a step budget bounds loops.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "krx_asm.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace KRX;
  ScriptSystem::Init();
  // Script errors are expected here by the thousand: held back and dropped, not printed.
  ScriptSystem::st_OutputHold hold;
  ScriptSystem::SetOutputHold(&hold);
  BinCode* module = krxtest::MakeModule("m");
  std::vector<uint8_t> code(data, data + size);
  BinCode* fn = krxtest::AddFunction(module, "f", code,
                                     {{"a", VT_INT, true}, {"b", VT_INT, true}, {"i", VT_INT}, {"j", VT_INT},
                                      {"s", VT_INT}, {"x", TYPE_AUTO}, {"arr", VT_INT}, {"aarr", VT_INT}});
  fn->GetVarTable().GetVariable(6)->SetArrayType(VT_INT);
  fn->GetVarTable().GetVariable(6)->SetSize(8);
  fn->GetVarTable().GetVariable(7)->SetArrayType(TYPE_AUTO);
  fn->GetVarTable().GetVariable(7)->SetSize(4);
  {
    tRefPtr<Thread> thread(new Thread());
    thread->m_moduleName = "m";
    thread->SetStepBudget(size % 2 ? 20000 : 137);
    const Var args[2] = {Var(int(size % 7) - 2), Var(5)};
    thread->Start("f", false, args, 2);
  }
  ScriptSystem::SetOutputHold(nullptr);
  ScriptSystem::Shutdown();
  return 0;
}
