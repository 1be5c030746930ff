// Script threads on a simulated frame clock: sleeping, pausing, waking, finishing, the thread
// list, call depth, frame copies and the step budget.
#include <gtest/gtest.h>

#include "KRX/runtime/Interface.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/function_adapter.h"
#include "vm_fixture.h"

using namespace KRX;
using krxtest::Asm;
using krxtest::Slot;

namespace {

int g_ticks = 0;
Thread* g_paused = nullptr;

void NativeSleep(t_Interface& in) { in.m_thread->Sleep(in.GetParam(0) ? in.GetParam(0)->ToFloat() : 0.0f); }
void NativePause(t_Interface& in) {
  g_paused = in.m_thread;
  in.m_thread->Pause();
}
void NativeTick() { ++g_ticks; }
void NativeFinish(t_Interface& in) { in.m_thread->Return(in.GetParam(0)); }

class ThreadSchedule : public krxtest::VmTest {
 protected:
  void SetUp() override {
    VmTest::SetUp();
    g_ticks = 0;
    g_paused = nullptr;
    RegisterFunction(ScriptSystem::GetModule(), "Sleep", &NativeSleep);
    RegisterFunction(ScriptSystem::GetModule(), "Pause", &NativePause);
    RegisterFunction(ScriptSystem::GetModule(), "Tick", &NativeTick);
    RegisterFunction(ScriptSystem::GetModule(), "Finish", &NativeFinish);
  }
  // name(): Sleep(seconds); Tick(); Sleep(seconds); Tick()
  void SleepTick(const char* name, float seconds) {
    Asm a = NewAsm();
    a.ParamCpy();
    for (int i = 0; i < 2; ++i) {
      a.Line(1 + 2 * i).FuncInit().Float(seconds).Global("Sleep").Call().Eoc();
      a.Line(2 + 2 * i).FuncInit().Global("Tick").Call().Eoc();
    }
    a.Stop();
    Function(name, a);
  }
  static size_t Listed() { return ScriptSystem::GetThreads().size(); }
};

TEST_F(ThreadSchedule, SleepingThreadsRunWhenTheirTimeIsUp) {
  SleepTick("f", 0.5f);
  auto t = krxtest::RunNow("m", "f");
  EXPECT_EQ(t->GetState(), Thread::STATE_WAITING);
  EXPECT_EQ(Listed(), 1u);
  const int expected[] = {0, 0, 1};  // 0.5 -> 0.3 -> 0.1 -> run
  for (int ticks : expected) {
    ThreadList::Update(0.2f);
    EXPECT_EQ(g_ticks, ticks);
  }
  EXPECT_EQ(t->GetState(), Thread::STATE_WAITING);  // the second sleep
  for (int i = 0; i < 3; ++i) ThreadList::Update(0.2f);
  EXPECT_EQ(g_ticks, 2);
  EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED);
  EXPECT_EQ(Listed(), 1u);  // ended threads leave at the next step
  ThreadList::Update(0.2f);
  EXPECT_EQ(Listed(), 0u);
}

// A thread restarted while listed stays listed once (stepped once a frame); one restarted after
// the list dropped it is listed again.
TEST_F(ThreadSchedule, RestartedThreadsAreListedOnce) {
  SleepTick("f", 0.0f);
  auto t = krxtest::RunNow("m", "f");
  ASSERT_EQ(Listed(), 1u);
  ASSERT_TRUE(t->Start("f", true, nullptr, 0));
  EXPECT_EQ(Listed(), 1u);
  ThreadList::Update(0.1f);
  EXPECT_EQ(g_ticks, 0);  // run once: only the first sleep; a second run would tick
  for (int i = 0; i < 3; ++i) ThreadList::Update(0.1f);
  EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED);
  EXPECT_EQ(Listed(), 0u);
  ASSERT_TRUE(t->Start("f", true, nullptr, 0));
  EXPECT_EQ(Listed(), 1u);
  for (int i = 0; i < 4; ++i) ThreadList::Update(0.1f);
  EXPECT_EQ(g_ticks, 4);
  EXPECT_EQ(Listed(), 0u);
}

TEST_F(ThreadSchedule, SleepingExactlyTheFrameTimeWaitsOneMoreStep) {
  SleepTick("f", 0.25f);
  auto t = krxtest::RunNow("m", "f");
  ThreadList::Update(0.25f);
  EXPECT_EQ(g_ticks, 0);
  EXPECT_EQ(t->GetReturnValue().ToFloat(), 0.0f);
  ThreadList::Update(0.25f);
  EXPECT_EQ(g_ticks, 1);
}

TEST_F(ThreadSchedule, PausedThreadsWaitForNativeCode) {
  Asm a = NewAsm();
  a.ParamCpy().Line(1).FuncInit().Global("Pause").Call().Eoc().FuncInit().Global("Tick").Call().Eoc().Stop();
  Function("f", a);
  auto t = krxtest::RunNow("m", "f");
  EXPECT_EQ(t->GetState(), Thread::STATE_PAUSED);
  for (int i = 0; i < 5; ++i) ThreadList::Update(1.0f);
  EXPECT_EQ(g_ticks, 0);
  ASSERT_EQ(g_paused, t.get());
  g_paused->Sleep(0.0f);  // the action completed
  ThreadList::Update(0.016f);
  EXPECT_EQ(g_ticks, 1);
  EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED);
}

TEST_F(ThreadSchedule, StartingWithAndWithoutWaiting) {
  Asm a = NewAsm();
  a.ParamCpy().Line(1).FuncInit().Global("Tick").Call().Eoc().FuncInit().Local(0).Return().Stop();
  Function("f", a, {{"x", TYPE_AUTO, true}});
  // Without waiting the function runs to its end inside Start and is never listed.
  auto now = krxtest::RunNow("m", "f", {Var(7)});
  EXPECT_EQ(now->GetState(), Thread::STATE_FINISHED);
  EXPECT_EQ(now->GetReturnValue().ToInt(), 7);
  EXPECT_EQ(Listed(), 0u);
  // With waiting it begins at the next scheduler step, with its arguments kept.
  tRefPtr<Thread> later(new Thread());
  later->m_moduleName = "m";
  Var arg(9);
  EXPECT_TRUE(later->Start("f", true, &arg, 1));
  EXPECT_EQ(later->GetState(), Thread::STATE_WAITING);
  EXPECT_EQ(g_ticks, 1);
  ThreadList::Update(0.1f);
  EXPECT_EQ(g_ticks, 2);
  EXPECT_EQ(later->GetReturnValue().ToInt(), 9);
  // Unknown names are reported with the report name and line -1.
  later->m_reportName = "caller.krx";
  EXPECT_FALSE(later->Start("missing", false, nullptr, 0));
  EXPECT_NE(Log().find("caller.krx(-1) : Unable to find function missing"), std::string::npos);
  m_module->FindOrCreate("value", VT_INT);
  EXPECT_FALSE(later->Start("value", false, nullptr, 0));
  EXPECT_NE(Log().find("The symbol value is not a script function"), std::string::npos);
}

TEST_F(ThreadSchedule, NativeReturnEndsTheThreadInsideNestedCalls) {
  Asm inner = NewAsm();
  inner.ParamCpy().Line(5).FuncInit().Int(33).Global("Finish").Call().Eoc().FuncInit().Global("Tick").Call().Stop();
  Function("inner", inner);
  Asm outer = NewAsm();
  outer.ParamCpy().Line(1).FuncInit().Global("inner").Call().Eoc().FuncInit().Global("Tick").Call().Stop();
  Function("outer", outer);
  auto t = krxtest::RunNow("m", "outer");
  EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED);
  EXPECT_EQ(t->GetReturnValue().ToInt(), 33);
  EXPECT_EQ(g_ticks, 0);
  EXPECT_EQ(t->m_frameIndex, 1);  // frames are left in place
}

TEST_F(ThreadSchedule, AThreadOutlivesTheListWhileReferenced) {
  SleepTick("f", 0.1f);
  Thread* raw = nullptr;
  {
    auto t = krxtest::RunNow("m", "f");
    raw = t.get();
    t->AddRef();  // a game object's reference
  }
  EXPECT_EQ(raw->GetRefCount(), 2);  // the list and the game object
  raw->Return(nullptr);
  ThreadList::Update(0.1f);
  EXPECT_EQ(Listed(), 0u);
  EXPECT_EQ(raw->GetRefCount(), 1);
  EXPECT_EQ(raw->GetState(), Thread::STATE_FINISHED);
  raw->Release();
}

TEST_F(ThreadSchedule, CallDepthIsThirtyTwoFrames) {
  // rec(n): if (n > 0) rec(n - 1); return n
  Asm a = NewAsm();
  a.ParamCpy().Line(1).Local(0).Int(0).Op(OP_GREATER).JumpFalse("done");
  a.Line(2).FuncInit().Local(0).Int(1).Op(OP_SUB).Global("rec").Call().Eoc();
  a.Label("done").Line(3).FuncInit().Local(0).Return().Stop();
  Function("rec", a, {{"n", VT_INT, true}});
  auto ok = krxtest::RunNow("m", "rec", {Var(31)});  // frames 0..31
  EXPECT_EQ(ok->GetState(), Thread::STATE_FINISHED) << ok->m_lastError;
  EXPECT_EQ(ok->GetReturnValue().ToInt(), 31);
  auto deep = krxtest::RunNow("m", "rec", {Var(32)});
  EXPECT_EQ(deep->GetState(), Thread::STATE_DEAD);
  EXPECT_EQ(deep->m_lastError, "test.krx(2) : Unable to call script function, because maximal call depth(32) is reached");
  EXPECT_EQ(deep->m_frameIndex, -1);  // a run-time error releases the frames
}

TEST_F(ThreadSchedule, CopiedFramesGiveContextAndAreNotOverwritten) {
  // The asking thread is paused two calls deep; the copy runs new code on top of its frames.
  Asm inner = NewAsm();
  inner.ParamCpy().Line(8).FuncInit().Global("Pause").Call().Eoc().Stop();
  Function("inner", inner, {{"local", VT_INT}});
  Asm outer = NewAsm();
  outer.ParamCpy().Line(2).FuncInit().Global("inner").Call().Eoc().Stop();
  Function("outer", outer);
  auto asking = krxtest::RunNow("m", "outer");
  ASSERT_EQ(asking->GetState(), Thread::STATE_PAUSED);
  asking->m_frames[1]->m_locals.GetVariable(0)->SetInt(5);

  Asm top = NewAsm();
  top.ParamCpy().Line(1).FuncInit().Int(77).Return().Stop();
  BinCode* topLevel = Function("toplevel", top);
  tRefPtr<Thread> fresh(new Thread());
  ASSERT_TRUE(fresh->CopyFrames(*asking));
  EXPECT_EQ(fresh->m_frameIndex, 1);
  EXPECT_EQ(fresh->m_frames[1]->m_locals.GetVariable(0)->ToInt(), 5);
  EXPECT_TRUE(fresh->Call(ScriptSystem::GetModule(), topLevel, false, nullptr, 0));
  EXPECT_EQ(fresh->GetState(), Thread::STATE_FINISHED);
  EXPECT_EQ(fresh->GetReturnValue().ToInt(), 77);  // returned as a first frame
  EXPECT_EQ(fresh->m_frameIndex, 1);               // back on the copied context
  // The asking thread is untouched and resumes normally.
  asking->Sleep(0.0f);
  ThreadList::Update(0.1f);
  EXPECT_EQ(asking->GetState(), Thread::STATE_FINISHED);
  // A second call on a fresh frame 0 replaces the previous one instead of losing it.
  tRefPtr<Thread> twice(new Thread());
  EXPECT_TRUE(twice->Call(ScriptSystem::GetModule(), topLevel, false, nullptr, 0));
  EXPECT_TRUE(twice->Call(ScriptSystem::GetModule(), topLevel, false, nullptr, 0));
  EXPECT_EQ(twice->GetReturnValue().ToInt(), 77);
}

TEST_F(ThreadSchedule, StepBudgetStopsEndlessLoops) {
  Asm a = NewAsm();
  a.ParamCpy().Label("loop").Line(4).Jump("loop").Stop();
  Function("spin", a);
  tRefPtr<Thread> t(new Thread());
  t->m_moduleName = "m";
  t->SetStepBudget(10000);
  EXPECT_FALSE(t->Start("spin", false, nullptr, 0));
  EXPECT_EQ(t->GetState(), Thread::STATE_DEAD);
  EXPECT_EQ(t->m_lastError, "test.krx(4) : Execution stopped: the step budget is used up");
  EXPECT_EQ(t->GetStepBudget(), 0);
  // A dead thread is not run again; a budget that suffices leaves a run alone.
  Asm b = NewAsm();
  b.ParamCpy().Line(1).FuncInit().Int(1).Return().Stop();
  Function("short", b);
  EXPECT_FALSE(t->Start("short", false, nullptr, 0));
  t = new Thread();
  t->m_moduleName = "m";
  t->SetStepBudget(5);
  EXPECT_TRUE(t->Start("short", false, nullptr, 0));
  EXPECT_EQ(t->GetReturnValue().ToInt(), 1);
}

// A native that starts another thread and lets it run to its first stop.
int NativeRunOther(t_Interface& in) {
  tRefPtr<Thread> other(new Thread());
  other->m_moduleName = "m";
  other->Start("sleeper", false, nullptr, 0);
  return ScriptSystem::GetCurrentThread() == in.m_thread ? 1 : 0;
}

TEST_F(ThreadSchedule, NativesMayRunAndStartOtherThreads) {
  RegisterFunction(ScriptSystem::GetModule(), "RunOther", &NativeRunOther);
  SleepTick("sleeper", 0.0f);
  Asm a = NewAsm();
  a.ParamCpy().Line(1).FuncInit().FuncInit().Global("RunOther").Call().Return().Stop();
  Function("f", a);
  auto t = krxtest::RunNow("m", "f");
  EXPECT_EQ(t->GetReturnValue().ToInt(), 1);  // the current thread was restored
  EXPECT_EQ(Listed(), 1u);                    // the sleeper waits in the list
  // Threads appended during a step are visited in the same walk.
  Asm spawn = NewAsm();
  spawn.ParamCpy().Line(1).FuncInit().Float(0.0f).Global("Sleep").Call().Eoc();
  spawn.FuncInit().Global("RunOther").Call().Eoc().Stop();
  Function("spawner", spawn);
  auto s = krxtest::RunNow("m", "spawner");
  EXPECT_EQ(Listed(), 2u);
  ThreadList::Update(0.5f);  // sleeper runs its ticks, spawner adds another sleeper
  EXPECT_GE(g_ticks, 1);
  EXPECT_EQ(s->GetState(), Thread::STATE_FINISHED);
  EXPECT_EQ(ScriptSystem::GetCurrentThread(), nullptr);
}

}  // namespace
