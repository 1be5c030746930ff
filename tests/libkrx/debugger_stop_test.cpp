// Stopping script threads: breakpoints, the step modes, the stop loop's commands and reports,
// and the endless-loop guard, with the front-end's commands played through a recording link.
#include "KRX/runtime/ThreadList.h"
#include "debugger_support.h"

using namespace KRX;
using dbgtest::Payload;

namespace {

class DebuggerStop : public dbgtest::DebuggerTest {};

Payload Breakpoint(const char* module, int line) { return std::move(Payload(DBG_ADD_BREAKPOINT).Str(module).U32(uint32_t(line))); }

TEST_F(DebuggerStop, BreakpointStopsAndReportsThePosition) {
  Command(Breakpoint("DBG", 8));  // module names match without regard to case
  Plan({Payload(DBG_STATE), Payload(DBG_CONTINUE)});
  auto t = Run("Main");
  EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED);
  EXPECT_EQ(Stops(), "Main:8 ");
  // attached, position, stop report, state reply, resumed, ended, position after detach
  EXPECT_EQ(m_link.Codes(), (std::vector<uint32_t>{DBG_ATTACHED, DBG_POSITION, DBG_STOP_REPORT, DBG_STATE, DBG_RESUMED,
                                                   DBG_ENDED, DBG_POSITION}));
  Payload position = m_link.Reply(DBG_POSITION, 0);
  EXPECT_EQ(position.ReadStr(), "file:scripts/dbg.krx\r\nmodule:dbg\r\nfunc:Main");
  EXPECT_EQ(m_link.Reply(DBG_POSITION, 1).ReadStr(), "");
  Payload stop = m_link.Reply(DBG_STOP_REPORT);
  EXPECT_EQ(stop.ReadStr(), "scripts/dbg.krx");
  Payload state = m_link.Reply(DBG_STATE);
  EXPECT_EQ(state.ReadStr(), "scripts/dbg.krx");
  EXPECT_EQ(state.ReadStr(), "Main");
  EXPECT_EQ(state.ReadInt(), 8);
  EXPECT_EQ(state.ReadU32(), 1u);  // stopped
  EXPECT_EQ(m_debugger->GetAttachedThread(), nullptr);
  EXPECT_EQ(m_debugger->GetStoppedThread(), nullptr);
  EXPECT_EQ(m_debugger->GetMode(), Debugger::MODE_RUN);
}

TEST_F(DebuggerStop, StepModes) {
  struct Case {
    const char* name;
    int line;                            // breakpoint in module dbg
    std::vector<uint32_t> commands;      // one per stop, after the first
    const char* stops;
  };
  const Case cases[] = {
      // Over the call on line 8: the next line of Main, not inside Add.
      {"over a call", 8, {DBG_STEP_OVER, DBG_STEP_OVER, DBG_CONTINUE}, "Main:8 Main:9 Main:10 "},
      // Over the last line of Add: the caller's next line; the second call of Add at the
      // same depth does not stop either (the return lowered the step depth).
      {"over a return", 4, {DBG_STEP_OVER, DBG_STEP_OVER, DBG_STEP_OVER, DBG_CONTINUE}, "Add:4 Main:9 Main:10 Main:11 "},
      // Out of Add: the line after the call.
      {"out of a function", 3, {DBG_STEP_OUT, DBG_CONTINUE}, "Add:3 Main:9 "},
      // Out of the outermost frame: nothing stops again.
      {"out of the outermost frame", 9, {DBG_STEP_OUT}, "Main:9 "},
      // Break at the next line goes into the call.
      {"break at next line", 8, {DBG_BREAK, DBG_BREAK, DBG_CONTINUE}, "Main:8 Add:3 Add:4 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_link.sent.clear();
    m_debugger->ClearBreakpoints();
    m_debugger->AddBreakpoint("dbg", c.line);
    // The breakpoint goes at the first stop, so only the steps stop later.
    m_frontend.push_back(Payload(DBG_CLEAR_BREAKPOINTS).Raw());
    for (uint32_t code : c.commands) m_frontend.push_back(Payload(code).Raw());
    auto t = Run("Main");
    EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED);
    EXPECT_EQ(Stops(), c.stops);
    EXPECT_TRUE(m_frontend.empty());
  }
}

TEST_F(DebuggerStop, LocalsAndCallStackOfTheStoppedThread) {
  Command(Breakpoint("dbg", 4));
  Plan({Payload(DBG_LOCALS), Payload(DBG_CALLSTACK), Payload(DBG_THREAD_INFO), Payload(DBG_CLEAR_BREAKPOINTS),
        Payload(DBG_CONTINUE)});
  Run("Main");
  Payload locals = m_link.Reply(DBG_LOCALS);
  std::string seen;
  while (locals.ReadU8() == 1) {
    const std::string name = locals.ReadStr();
    const uint32_t type = locals.ReadU32();
    seen += name + ":" + std::to_string(type) + "=" + locals.ReadStr() + " ";
  }
  EXPECT_EQ(seen, "a:2=1 b:2=2 sum:2=3 ");
  Payload stack = m_link.Reply(DBG_CALLSTACK);
  EXPECT_EQ(stack.ReadU32(), 1u);
  EXPECT_EQ(stack.ReadStr(), "dbg");
  EXPECT_EQ(stack.ReadStr(), "Add");
  EXPECT_EQ(stack.ReadInt(), 4);
  EXPECT_EQ(stack.ReadStr(), "dbg");
  EXPECT_EQ(stack.ReadStr(), "Main");
  EXPECT_EQ(stack.ReadInt(), 8);
  EXPECT_EQ(stack.Remaining(), 0u);
  const std::string info = m_link.Reply(DBG_THREAD_INFO).ReadStr();
  EXPECT_EQ(info.rfind("scripts/dbg.krx(4)::Add : ", 0), 0u) << info;
}

TEST_F(DebuggerStop, KillEndsTheStoppedThread) {
  Command(Breakpoint("dbg", 9));
  Plan({Payload(DBG_KILL)});
  auto t = Run("Main");
  EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED);
  // Line 9 never ran: total keeps the value of the top-level code.
  EXPECT_EQ(ScriptSystem::FindSymbol("dbg", "total")->ToInt(), 0);
  EXPECT_EQ(m_link.Count(DBG_ENDED), 1);
}

TEST_F(DebuggerStop, TypeZeroMessageResumesAndDetachKeepsTheLoopAnswering) {
  Command(Breakpoint("dbg", 9));
  // After detach, continue needs an attached thread and is ignored; the thread list still
  // answers, and a text message resumes.
  Plan({Payload(DBG_DETACH), Payload(DBG_CONTINUE), Payload(DBG_BREAK), Payload(DBG_POSITION), Payload(DBG_STATE)});
  m_frontend.push_back("");
  auto t = Run("Main");
  EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED);
  EXPECT_EQ(m_passes, 7);  // the pass that resumes still sleeps once
  EXPECT_EQ(m_debugger->GetAttachedThread(), nullptr);
  EXPECT_EQ(m_debugger->GetMode(), Debugger::MODE_RUN);
  EXPECT_EQ(m_link.Reply(DBG_POSITION, 1).ReadStr(), "");  // answered while detached
  EXPECT_EQ(m_link.Count(DBG_STATE), 0);                    // needs an attached thread
}

TEST_F(DebuggerStop, ThreadHeldOnlyByTheDebuggerOutlivesItsRun) {
  // Nobody else counts this thread: the debugger's reference is the last one when the run ends,
  // and it must not go while the interpreter still finishes that run.
  m_debugger->AddBreakpoint("dbg", 9);
  Plan({Payload(DBG_CONTINUE)});
  Thread* thread = new Thread();
  thread->m_moduleName = "dbg";
  thread->Start("Main", false, nullptr, 0);
  EXPECT_EQ(Stops(), "Main:9 ");
  EXPECT_EQ(m_debugger->GetAttachedThread(), nullptr);
  ThreadList::Update(0.0f);  // between frames: now it goes (a leak or a double free shows here)
}

TEST_F(DebuggerStop, NoStopWithoutSleepCallbackOrLink) {
  m_debugger->AddBreakpoint("dbg", -1);
  ScriptSystem::SetCallbacks(&CaptureOutput, nullptr);
  EXPECT_EQ(Run("Main")->GetState(), Thread::STATE_FINISHED);
  ScriptSystem::SetCallbacks(&CaptureOutput, &Sleep);
  m_link.SetConnected(false);
  EXPECT_EQ(Run("Main")->GetState(), Thread::STATE_FINISHED);
  m_link.SetConnected(true);
  EXPECT_EQ(Stops(), "");
  EXPECT_EQ(m_passes, 0);
}

TEST_F(DebuggerStop, EndlessLoopIsStoppedAfter200000Lines) {
  Plan({Payload(DBG_STATE), Payload(DBG_KILL)});
  auto t = Run("Spin");
  EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED);
  EXPECT_NE(m_output.find("scripts/dbg.krx(16) : possible endless loop (200000 script lines processed in one call)"),
            std::string::npos)
      << m_output;
  // The report also went to the front-end as output text.
  EXPECT_NE(m_link.Reply(DBG_OUTPUT).ReadStr().find("possible endless loop"), std::string::npos);
  EXPECT_EQ(Stops(), "Spin:16 ");
}

TEST_F(DebuggerStop, FailedAssertStopsAtTheNextLine) {
  Plan({Payload(DBG_CONTINUE)});
  Run("Checked", {Var(2)});
  EXPECT_EQ(Stops(), "Checked:21 ");
  EXPECT_NE(m_output.find("ASSERT \"v is one\""), std::string::npos) << m_output;
}

TEST_F(DebuggerStop, PauseOfAnAttachedWaitingThread) {
  // Attach by a stop, let the thread run on, then pause it from "outside" between frames.
  ASSERT_TRUE(Compile("function void Slow() {\n Sleep(1.0);\n total = 1;\n}\n"
                      "int total = 0;\n",
                      "scripts/slow.krx"));
  m_link.sent.clear();
  m_debugger->AddBreakpoint("slow", 2);
  Plan({Payload(DBG_CLEAR_BREAKPOINTS), Payload(DBG_CONTINUE)});
  tRefPtr<Thread> t(new Thread());
  t->m_moduleName = "slow";
  t->m_reportName = "test";
  t->Start("Slow", false, nullptr, 0);
  ASSERT_EQ(t->GetState(), Thread::STATE_WAITING);
  ASSERT_EQ(m_debugger->GetAttachedThread(), t.get());
  m_link.Inject(Payload(DBG_BREAK));
  m_link.ProcessMessages();
  Plan({Payload(DBG_CONTINUE)});
  ThreadList::Update(2.0f);
  EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED);
  EXPECT_EQ(Stops(), "Slow:2 Slow:3 ");
}

}  // namespace
