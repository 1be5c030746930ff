// Byte code loaded from a ".bincode" file is data: whatever the bytes, running them must end
// in a finished, waiting, paused or dead thread, never in a crash, an overrun or a hang. The
// input is the code of a function "f" in a module that also holds a callable script function
// "g", a global array "x", a native "N" and a native "Sleep"; a step budget bounds loops. Before
// that native replaces the built-in Sleep, the code runs once scheduled as if no debugger were
// there, so that the shortcuts a debugger turns off run too.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "KRX/runtime/Interface.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/function_adapter.h"
#include "krx_asm.h"

namespace {
// Wraps round like the scripts' own integers: the fuzzer hands it any int, INT_MAX too.
int Native(int i) { return static_cast<int>(static_cast<unsigned>(i) + 1u); }
void NativeSleep(KRX::t_Interface& in) { in.m_thread->Sleep(0.5f); }
void Quiet(KRX::Debugger*, const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace KRX;
  ScriptSystem::Init();
  // Script errors are expected here by the thousand; a fake debugger sink keeps stderr quiet.
  static int fakeDebugger = 0;
  ScriptSystem::AttachDebugger(reinterpret_cast<Debugger*>(&fakeDebugger), &Quiet);
  RegisterFunction(ScriptSystem::GetModule(), "N", &Native);
  BinCode* module = krxtest::MakeModule("m");
  StringPool* vocab = krxtest::Vocab(module);
  for (const char* name : {"x", "g", "N", "m", "f", "Sleep"}) vocab->Intern(name);
  Var* x = module->FindOrCreate("x", VT_NIL);
  x->SetArrayType(VT_INT);
  x->SetSize(4);
  krxtest::Asm g(vocab);
  g.ParamCpy().FuncInit().Local(0).Return().Stop();
  krxtest::AddFunction(module, "g", g.Finish(), {{"a", TYPE_AUTO, true}});
  std::vector<uint8_t> code(data, data + size);
  krxtest::AddFunction(module, "f", code, {{"p", VT_INT, true, true, 1}, {"s", TYPE_AUTO}, {"t", VT_STRING}});
  auto run = [](bool scheduled) {
    tRefPtr<Thread> thread(new Thread());
    thread->m_moduleName = "m";
    thread->SetStepBudget(20000);
    Var arg(3);
    thread->Start("f", scheduled, &arg, 1);
    if (scheduled) thread->m_debugFlag = 0;  // output still goes to the quiet sink
    for (int i = 0; i < 4; ++i) ThreadList::Update(1.0f);
  };
  run(true);
  RegisterFunction(ScriptSystem::GetModule(), "Sleep", &NativeSleep);
  run(false);
  ScriptSystem::Shutdown();
  return 0;
}
