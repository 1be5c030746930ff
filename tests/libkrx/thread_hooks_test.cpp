// The debugger's view of a run: which hooks fire, in which order, and only for attached threads
// while a debugger exists.
#include <gtest/gtest.h>

#include "KRX/runtime/Interface.h"
#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/function_adapter.h"
#include "vm_fixture.h"

using namespace KRX;
using krxtest::Asm;

namespace {

std::string g_events;
void OnLine(Thread&, Frame& frame) { g_events += "L" + std::to_string(frame.m_line) + " "; }
void OnReturn(Thread& thread, Frame&) { g_events += "R" + std::string(thread.GetFunctionName()) + " "; }
void OnRunStarted(Thread&) { g_events += "run "; }
void OnEnded(Thread& thread) { g_events += "end" + std::to_string(thread.GetState()) + " "; }
void OnMessages() { g_events += "msg "; }
void OnNative(const detail::function_adapter_base* adapter) { g_events += adapter ? "N+ " : "N- "; }
void Nop() {}
void StopHere(t_Interface& in) { in.m_thread->Pause(); }

class ThreadHooks : public krxtest::VmTest {
 protected:
  void SetUp() override {
    VmTest::SetUp();
    g_events.clear();
    m_hooks.lineHook = &OnLine;
    m_hooks.returnHook = &OnReturn;
    m_hooks.runStarted = &OnRunStarted;
    m_hooks.threadEnded = &OnEnded;
    m_hooks.processMessages = &OnMessages;
    m_hooks.nativeCall = &OnNative;
    SetDebugHooks(&m_hooks);
    RegisterFunction(ScriptSystem::GetModule(), "Nop", &Nop);
    RegisterFunction(ScriptSystem::GetModule(), "StopHere", &StopHere);
    Asm inner = NewAsm();
    inner.ParamCpy().Line(10).FuncInit().Global("Nop").Call().Eoc().Line(11).Stop();
    Function("inner", inner);
    Asm outer = NewAsm();
    outer.ParamCpy().Line(1).FuncInit().Global("inner").Call().Eoc().Line(2).FuncInit().Global("StopHere").Call();
    outer.Eoc().Line(3).Stop();
    Function("outer", outer);
  }
  void TearDown() override {
    ScriptSystem::DetachDebugger();
    SetDebugHooks(nullptr);
    VmTest::TearDown();
  }
  void Attach() {
    ScriptSystem::AttachDebugger(reinterpret_cast<Debugger*>(&m_fake), [](Debugger*, const char*) {});
  }
  st_DebugHooks m_hooks;
  int m_fake = 0;
};

TEST_F(ThreadHooks, AnAttachedThreadReportsLinesNativesReturnsAndItsEnd) {
  Attach();
  auto t = krxtest::RunNow("m", "outer");
  EXPECT_EQ(g_events, "run L1 L10 N+ N- L11 Rinner L2 N+ N- ");  // paused: not ended
  g_events.clear();
  t->Sleep(0.0f);
  ThreadList::Update(0.1f);
  EXPECT_EQ(g_events, "msg run L3 Router end1 ");
}

TEST_F(ThreadHooks, NoDebuggerNoHooks) {
  auto t = krxtest::RunNow("m", "outer");
  t->Sleep(0.0f);
  ThreadList::Update(0.1f);
  EXPECT_EQ(g_events, "");
  // A thread started before the debugger attached stays unattached.
  auto later = krxtest::RunNow("m", "outer");
  Attach();
  later->Sleep(0.0f);
  ThreadList::Update(0.1f);
  EXPECT_EQ(g_events, "msg ");
}

TEST_F(ThreadHooks, TheLineHookMayStopTheThread) {
  static st_DebugHooks pausing;
  pausing.lineHook = [](Thread& thread, Frame& frame) {
    g_events += "L" + std::to_string(frame.m_line) + " ";
    if (frame.m_line == 10) thread.Pause();  // a breakpoint: the stop loop takes over
  };
  SetDebugHooks(&pausing);
  Attach();
  auto t = krxtest::RunNow("m", "outer");
  EXPECT_EQ(t->GetState(), Thread::STATE_PAUSED);
  EXPECT_EQ(g_events, "L1 L10 ");
  t->Sleep(0.0f);
  ThreadList::Update(0.1f);  // continues after the line instruction, not before it
  EXPECT_EQ(g_events, "L1 L10 L11 L2 ");
}

}  // namespace
