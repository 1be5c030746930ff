// Threads yielding through the built-in Sleep called with a constant, which the interpreter
// takes in one step, against the same code split by a no-op "group" so that every instruction
// runs on its own: the order threads run in, their states, seconds left, lines, stacks, errors
// at each end of the step budget and the line hook's calls must not differ.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/function_adapter.h"
#include "vm_fixture.h"

using namespace KRX;
using krxtest::Asm;

namespace {

std::string g_trace;

void Note(t_Interface& in) {
  const Var* value = in.GetParam(0);
  g_trace += "note " + (value ? krxtest::Describe(*value) : std::string("-")) + " state " +
             std::to_string(in.m_thread->GetState()) + "\n";
}
void RecordLine(Thread& thread, Frame& frame) {
  g_trace += "line " + std::to_string(frame.m_line) + " of " + thread.m_reportName + "\n";
}

class ThreadSwitch : public krxtest::VmTest {
 protected:
  void SetUp() override {
    VmTest::SetUp();
    g_trace.clear();
    RegisterFunction(ScriptSystem::GetModule(), "Note", &Note);
  }
  void TearDown() override {
    ScriptSystem::DetachDebugger();
    SetDebugHooks(nullptr);
    VmTest::TearDown();
  }

  // worker(int id): for (i = 0; i < 3; i++) { Note(id); Sleep(0); Sleep(0.25); Sleep(1) without
  // a line of its own; Sleep(-2); } Note(id + 100). Split, a "group" follows each "func_init".
  BinCode* Worker(const char* name, bool split) {
    Asm a = NewAsm();
    auto sleep = [&a, split](const Var& seconds) {
      a.FuncInit();
      if (split) a.Op(OP_GROUP);
      a.Value(seconds).Global("Sleep").Call().Eoc();
    };
    a.ParamCpy().Line(1).Local(1).Int(0).Op(OP_ASSIGN).Eoc();
    a.Label("top").Line(2).Local(1).Int(3).Op(OP_LESS).JumpFalse("end");
    a.Line(3).FuncInit().Local(0).Global("Note").Call().Eoc();
    a.Line(4);
    sleep(Var(0));
    a.Line(5);
    sleep(Var(0.25f));
    sleep(Var(1));
    a.Line(6);
    sleep(Var(-2));
    a.Local(1).Op(OP_POST_INC).Eoc().Jump("top");
    a.Label("end").Line(7).FuncInit().Local(0).Int(100).Op(OP_ADD).Global("Note").Call().Eoc().Stop();
    return Function(name, a, {{"id", VT_INT, true}, {"i", VT_INT}}, VT_NIL);
  }

  // Three workers and two threads calling other names, started in turn, stepped by 0.1 s until
  // none is listed; after each step every thread's state, seconds left, line and stack depth. The
  // third worker has a thread variable "Sleep" that is no function.
  std::string Schedule(bool split, int64_t stepsWithoutYield, bool hook) {
    ScriptSystem::Init();
    ScriptSystem::SetCallbacks(&Capture, nullptr);
    Log().clear();
    g_trace.clear();
    m_module = krxtest::MakeModule("m");
    RegisterFunction(ScriptSystem::GetModule(), "Note", &Note);
    ScriptSystem::SetStepsWithoutYield(stepsWithoutYield);
    st_DebugHooks hooks;
    hooks.lineHook = &RecordLine;
    int fakeDebugger = 0;
    if (hook) {
      SetDebugHooks(&hooks);
      ScriptSystem::AttachDebugger(reinterpret_cast<Debugger*>(&fakeDebugger), [](Debugger*, const char*) {});
    }
    BinCode* worker = Worker("worker", split);
    // The same statement naming a script function (run as a call) and a name that is not bound.
    for (const char* callee : {"Helper", "Missing"}) {
      Asm a = NewAsm();
      a.ParamCpy().Line(1).FuncInit();
      if (split) a.Op(OP_GROUP);
      a.Int(7).Global(callee).Call().Eoc().Line(2).FuncInit().Local(0).Global("Note").Call().Eoc().Stop();
      Function((std::string("calls") + callee).c_str(), a, {{"id", VT_INT, true}}, VT_NIL);
    }
    Asm helper = NewAsm();
    helper.ParamCpy().Line(9).FuncInit().Local(0).Global("Note").Call().Eoc();
    helper.Line(10).FuncInit().Float(0.15f).Global("Sleep").Call().Eoc().Stop();
    Function("Helper", helper, {{"v", VT_INT, true}}, VT_NIL);
    std::vector<tRefPtr<Thread>> threads;
    for (int id = 1; id <= 5; ++id) {
      tRefPtr<Thread> t(new Thread());
      t->m_reportName = "t" + std::to_string(id);
      if (id == 3) t->m_variables["Sleep"] = Var(5);
      Var arg(id);
      BinCode* function = id <= 3 ? worker : m_module->Find(id == 4 ? "callsHelper" : "callsMissing")->GetModule();
      t->StartFunction(function, &arg, 1);
      threads.push_back(t);
    }
    for (int step = 0; step < 80 && !ScriptSystem::GetThreads().empty(); ++step) {
      ThreadList::Update(0.1f);
      g_trace += "step " + std::to_string(step) + ":";
      for (const tRefPtr<Thread>& t : threads) {
        const Frame* frame = t->GetCurrentFrame();
        g_trace += " " + std::to_string(t->GetState()) + "/" + krxtest::Describe(t->GetReturnValue()) + "/" +
                   (frame ? std::to_string(frame->m_line) + "/" + std::to_string(frame->m_stackCount) : "-");
      }
      g_trace += " listed " + std::to_string(ScriptSystem::GetThreads().size()) + "\n";
    }
    for (const tRefPtr<Thread>& t : threads) g_trace += t->m_reportName + ": '" + t->m_lastError + "'\n";
    ScriptSystem::DetachDebugger();
    SetDebugHooks(nullptr);
    return g_trace + Log();
  }
};

TEST_F(ThreadSwitch, YieldsInOneStepAsTheInstructionsDo) {
  for (int64_t steps : {int64_t(0), int64_t(1), int64_t(2), int64_t(3), int64_t(4), int64_t(5), int64_t(7),
                        int64_t(9), int64_t(12)}) {
    for (bool hook : {false, true}) {
      SCOPED_TRACE("steps without yield " + std::to_string(steps) + (hook ? ", line hook" : ""));
      const std::string fused = Schedule(false, steps, hook);
      const std::string plain = Schedule(true, steps, hook);
      EXPECT_EQ(fused, plain);
      if (steps == 0 && !hook) {
        // The unbounded run: each worker notes three rounds and its end; the third fails calling 5.
        EXPECT_NE(fused.find("note int:101"), std::string::npos);
        EXPECT_NE(fused.find("note int:102"), std::string::npos);
        EXPECT_NE(fused.find("trying to call a non function"), std::string::npos);
        EXPECT_NE(fused.find("note int:7"), std::string::npos);  // Helper ran, then t4 slept in it
        EXPECT_NE(fused.find("undefinied variable 'Missing' found"), std::string::npos);
      }
    }
  }
}

// A native bound as "Sleep" in place of the built-in is called, not taken for the built-in.
TEST_F(ThreadSwitch, ANativeOfTheSameNameIsCalled) {
  RegisterFunction(ScriptSystem::GetModule(), "Sleep", +[](float seconds) {
    g_trace += "own sleep " + std::to_string(seconds) + "\n";
  });
  BinCode* worker = Worker("worker", false);
  tRefPtr<Thread> t(new Thread());
  Var arg(1);
  ASSERT_TRUE(t->StartFunction(worker, &arg, 1));
  ThreadList::Update(0.1f);
  EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED) << g_trace << Log();
  EXPECT_NE(g_trace.find("own sleep 0.250000"), std::string::npos);
  EXPECT_NE(g_trace.find("note int:101"), std::string::npos);
}

}  // namespace
