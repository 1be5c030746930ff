// Byte code loaded from a ".bincode" file runs in register form when the translator takes it:
// whatever the bytes, the run must end as the plain interpreter's run of the same bytes ends
// (result, state, error, line, budget left), never in a crash, an overrun or a hang. The input is
// the code of an int function "f0" with an int parameter and two int locals, in a module that
// also holds an int function "g", a native "N" and a native "Sleep"; a step budget bounds loops.
#include <cstddef>
#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "KRX/Interpreter/ScriptVM.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Interface.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/function_adapter.h"
#include "base/String.h"
#include "krx_asm.h"

namespace {
int Native(int i) { return i + 1; }
void NativeSleep(KRX::t_Interface& in) { in.m_thread->Sleep(0.5f); }

std::string RunOnce(const std::vector<uint8_t>& code, bool registerForm) {
  using namespace KRX;
  ScriptSystem::Init();
  // Script errors are expected here by the thousand: held back and dropped, not printed.
  ScriptSystem::st_OutputHold hold;
  ScriptSystem::SetOutputHold(&hold);
  ScriptVM::SetRegisterForm(registerForm);
  RegisterFunction(ScriptSystem::GetModule(), "N", &Native);
  RegisterFunction(ScriptSystem::GetModule(), "Sleep", &NativeSleep);
  BinCode* module = krxtest::MakeModule("m");
  StringPool* vocab = krxtest::Vocab(module);
  for (const char* name : {"f0", "g", "N", "Sleep"}) vocab->Intern(name);  // the seeds' offsets
  krxtest::Asm g(vocab);
  g.ParamCpy().Line(1).FuncInit().Local(0).Int(1).Op(OP_ADD).Return().Stop();
  krxtest::AddFunction(module, "g", g.Finish(), {{"a", VT_INT, true}}, VT_INT);
  krxtest::AddFunction(module, "f0", code, {{"p", VT_INT, true}, {"i", VT_INT}, {"s", VT_INT}}, VT_INT);
  std::string out;
  {
    tRefPtr<Thread> thread(new Thread());
    thread->m_moduleName = "m";
    thread->SetStepBudget(code.size() % 2 ? 20000 : 211);
    const Var arg(int(code.size() % 9) - 2);
    thread->Start("f0", false, &arg, 1);
    for (int i = 0; i < 3 && thread->GetState() == Thread::STATE_WAITING; ++i) ThreadList::Update(1.0f);
    const Frame* f = thread->GetCurrentFrame();
    out = std::string(thread->GetReturnValue().ToText().c_str()) + " " + std::to_string(thread->GetState()) + " " +
          thread->m_lastError + " " + std::to_string(f ? f->m_line : -2) + " " +
          std::to_string(thread->GetStepBudget());
  }
  ScriptVM::SetRegisterForm(true);
  ScriptSystem::SetOutputHold(nullptr);
  ScriptSystem::Shutdown();
  return out;
}

// Messages name natives by their adapter's address, which each script system has anew: long
// runs of hex digits are left out of the comparison.
std::string WithoutAddresses(const std::string& text) {
  std::string out;
  size_t run = 0;
  for (char c : text) {
    run = std::isxdigit(static_cast<unsigned char>(c)) ? run + 1 : 0;
    if (run < 8) {
      out += c;
    } else if (run == 8) {
      out.resize(out.size() - 7);
      out += '?';
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> code(data, data + size);
  // The two paths must agree.
  if (WithoutAddresses(RunOnce(code, true)) != WithoutAddresses(RunOnce(code, false))) std::abort();
  return 0;
}
