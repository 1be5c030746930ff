// The debugger's commands and replies: breakpoints from the network, module, symbol and byte
// code queries, evaluation, output forwarding, and commands that are cut short or hostile.
#include "KRX/ByteCode.h"
#include "KRX/runtime/Interface.h"
#include "KRX/runtime/function_adapter.h"
#include "debugger_support.h"

using namespace KRX;
using dbgtest::Payload;

namespace {

class DebuggerCommands : public dbgtest::DebuggerTest {
 protected:
  std::string BreakpointList() {
    m_link.sent.clear();
    Command(Payload(DBG_LIST_BREAKPOINTS));
    Payload p = m_link.Reply(DBG_LIST_BREAKPOINTS);
    const uint32_t n = p.ReadU32();
    std::string out;
    for (uint32_t i = 0; i < n; ++i) {
      out += p.ReadStr();
      out += ":" + std::to_string(p.ReadInt()) + " ";
    }
    return out;
  }
  // Runs Main stopped at line 4 (inside Add) and evaluates each expression there.
  std::vector<std::string> EvaluateInAdd(const std::vector<std::string>& expressions) {
    m_debugger->AddBreakpoint("dbg", 4);
    Plan({Payload(DBG_CLEAR_BREAKPOINTS)});
    for (const std::string& e : expressions) Plan({std::move(Payload(DBG_EVALUATE).Str(e.c_str()))});
    Plan({Payload(DBG_CONTINUE)});
    Run("Main");
    std::vector<std::string> results;
    for (int i = 0; i < m_link.Count(DBG_EVALUATE); ++i) {
      Payload p = m_link.Reply(DBG_EVALUATE, i);
      p.ReadStr();
      results.push_back(p.ReadStr());
    }
    return results;
  }
};

Payload Bp(uint32_t code, const char* module, int line) { return std::move(Payload(code).Str(module).U32(uint32_t(line))); }

TEST_F(DebuggerCommands, BreakpointsFromTheNetwork) {
  Command(Bp(DBG_ADD_BREAKPOINT, "dbg", 5));
  Command(Bp(DBG_ADD_BREAKPOINT, "DBG", 5));   // equal without regard to case
  Command(Bp(DBG_ADD_BREAKPOINT, "other", -1));
  Command(Bp(DBG_ADD_BREAKPOINT, "Other", 7));  // covered by the whole-module breakpoint
  Command(Bp(DBG_ADD_BREAKPOINT, "dbg", -1));   // a stored 5 does not cover -1
  EXPECT_EQ(BreakpointList(), "dbg:5 other:-1 dbg:-1 ");
  EXPECT_TRUE(m_debugger->MatchesBreakpoint("OTHER", 123));
  EXPECT_FALSE(m_debugger->MatchesBreakpoint("othe", 1));

  Command(Bp(DBG_REMOVE_BREAKPOINT, "dbg", 9));  // the first equal one: dbg:-1
  EXPECT_EQ(BreakpointList(), "dbg:5 other:-1 ");
  Command(Bp(DBG_REMOVE_BREAKPOINT, "nothing", 1));
  EXPECT_EQ(BreakpointList(), "dbg:5 other:-1 ");

  // A module name that does not fit the record is refused whole, not cut to another name;
  // a command without its name or line does no harm.
  Command(Bp(DBG_ADD_BREAKPOINT, std::string(127, 'm').c_str(), 1));
  Command(Bp(DBG_ADD_BREAKPOINT, std::string(128, 'n').c_str(), 1));
  Command(Bp(DBG_ADD_BREAKPOINT, std::string(100000, 'n').c_str(), 1));
  Command(Payload(DBG_ADD_BREAKPOINT));
  Command(std::move(Payload(DBG_ADD_BREAKPOINT).Bytes("unterminated")));
  EXPECT_EQ(BreakpointList(), "dbg:5 other:-1 " + std::string(127, 'm') + ":1 ");
  EXPECT_NE(m_output.find(""), std::string::npos);

  Command(Payload(DBG_CLEAR_BREAKPOINTS));
  EXPECT_EQ(BreakpointList(), "");
}

TEST_F(DebuggerCommands, ModuleSymbolAndCodeQueries) {
  Command(Payload(DBG_MODULES));
  Payload modules = m_link.Reply(DBG_MODULES);
  std::string names;
  while (modules.ReadU8() == 1) names += modules.ReadStr() + " ";
  EXPECT_NE(names.find("dbg "), std::string::npos) << names;

  // Symbols of a module, and a plain value.
  Command(std::move(Payload(DBG_SYMBOLS).Str("dbg")));
  Payload symbols = m_link.Reply(DBG_SYMBOLS);
  EXPECT_EQ(symbols.ReadU8(), 1);
  EXPECT_EQ(symbols.ReadStr(), "dbg");
  EXPECT_EQ(symbols.ReadU32(), uint32_t(VT_MODULE));
  std::string entries;
  while (symbols.ReadU8() == 1) {
    const uint32_t type = symbols.ReadU32();
    entries += symbols.ReadStr() + ":" + std::to_string(type) + " ";
  }
  EXPECT_NE(entries.find("Add:8 "), std::string::npos) << entries;
  EXPECT_NE(entries.find("total:2 "), std::string::npos) << entries;
  m_link.sent.clear();
  Command(std::move(Payload(DBG_SYMBOLS).Str("dbg/total")));
  Payload total = m_link.Reply(DBG_SYMBOLS);
  EXPECT_EQ(total.ReadU8(), 1);
  EXPECT_EQ(total.ReadStr(), "dbg/total");
  EXPECT_EQ(total.ReadU32(), 13u);
  EXPECT_EQ(total.ReadStr(), "0");
  // Missing parts, inner parts that are no module, empty and missing paths.
  for (const char* path : {"nothing", "dbg/nothing", "dbg/total/x", "", "/", "dbg/"}) {
    m_link.sent.clear();
    Command(std::move(Payload(DBG_SYMBOLS).Str(path)));
    Payload none = m_link.Reply(DBG_SYMBOLS);
    EXPECT_EQ(none.ReadU8(), 0) << path;
  }
  Command(Payload(DBG_SYMBOLS));

  // Byte code of the function that covers a line, and the failures.
  m_link.sent.clear();
  Command(std::move(Payload(DBG_BYTECODE).U32(77).Str("dbg").U32(3)));
  Command(std::move(Payload(DBG_BYTECODE).U32(78).Str("dbg/Add").U32(uint32_t(-1))));
  Command(std::move(Payload(DBG_BYTECODE).U32(79).Str("dbg").U32(500)));
  Command(std::move(Payload(DBG_BYTECODE).U32(80).Str("nope").U32(1)));
  int addSize = 0;
  GetCode(ScriptSystem::FindSymbol("dbg", "Add")->GetModule(), addSize);
  ASSERT_GT(addSize, 0);
  Payload byLine = m_link.Reply(DBG_BYTECODE, 0);
  EXPECT_EQ(byLine.ReadU32(), 77u);
  EXPECT_EQ(byLine.ReadU32(), uint32_t(addSize));
  Payload whole = m_link.Reply(DBG_BYTECODE, 1);
  EXPECT_EQ(whole.ReadU32(), 78u);
  EXPECT_EQ(whole.ReadU32(), uint32_t(addSize));
  Payload noLine = m_link.Reply(DBG_BYTECODE, 2);
  EXPECT_EQ(noLine.ReadU32(), 79u);
  EXPECT_EQ(noLine.ReadU32(), uint32_t(-1));
  EXPECT_EQ(noLine.ReadStr(), "no code on line 500");
  Payload noModule = m_link.Reply(DBG_BYTECODE, 3);
  EXPECT_EQ(noModule.ReadU32(), 80u);
  EXPECT_EQ(noModule.ReadU32(), uint32_t(-1));
  EXPECT_EQ(noModule.ReadStr(), "module nope not found");

  // Code info: the first line of a function, nothing for what is no module.
  m_link.sent.clear();
  Command(std::move(Payload(DBG_CODE_INFO).Str("dbg/Add").U32(0)));
  Command(std::move(Payload(DBG_CODE_INFO).Str("dbg/total").U32(0)));
  EXPECT_EQ(m_link.Count(DBG_CODE_INFO), 1);
  Payload info = m_link.Reply(DBG_CODE_INFO);
  EXPECT_EQ(info.ReadStr(), "dbg/Add");
  info.ReadInt();
  EXPECT_EQ(info.ReadStr(), "scripts/dbg.krx");
}

TEST_F(DebuggerCommands, VocablesWalkOnlyTheOffsetsSent) {
  StringPool* pool = GetVocabulary(ScriptSystem::FindSymbol("dbg", "Add")->GetModule());
  ASSERT_TRUE(pool);
  const int32_t offset = pool->Intern("hello vocable");
  // A count of four billion with two offsets: two answers, at once.
  Command(std::move(Payload(DBG_VOCABLES).U32(5).Str("dbg/Add").U32(0xFFFFFFFFu).U32(uint32_t(offset)).U32(0x7FFFFFF0u)));
  Payload reply = m_link.Reply(DBG_VOCABLES);
  EXPECT_EQ(reply.ReadU32(), 5u);
  EXPECT_EQ(reply.ReadU32(), uint32_t(offset));
  EXPECT_EQ(reply.ReadStr(), "hello vocable");
  EXPECT_EQ(reply.ReadU32(), uint32_t(-1));
  EXPECT_EQ(reply.Remaining(), 0u);
  m_link.sent.clear();
  Command(std::move(Payload(DBG_VOCABLES).U32(6).Str("dbg/total").U32(1).U32(0)));
  Payload none = m_link.Reply(DBG_VOCABLES);
  EXPECT_EQ(none.ReadU32(), 6u);
  EXPECT_EQ(none.ReadU32(), uint32_t(-1));
  EXPECT_EQ(none.Remaining(), 0u);
}

TEST_F(DebuggerCommands, UnloadAndReloadSendTheModuleList) {
  Command(std::move(Payload(DBG_UNLOAD).Str("dbg")));
  EXPECT_FALSE(ScriptSystem::IsModuleLoaded("dbg"));
  EXPECT_EQ(m_link.Count(DBG_MODULES), 1);
  Command(std::move(Payload(DBG_UNLOAD).Str("dbg")));  // gone already: nothing sent
  Command(Payload(DBG_RELOAD));
  EXPECT_EQ(m_link.Count(DBG_MODULES), 1);
}

TEST_F(DebuggerCommands, ThreadListShowsWaitingThreads) {
  ASSERT_TRUE(Compile("function void Slow() {\n Sleep(1.5);\n}\n", "scripts/slow.krx"));
  tRefPtr<Thread> t(new Thread());
  t->m_moduleName = "slow";
  t->m_reportName = "test";
  t->Start("Slow", false, nullptr, 0);
  ASSERT_EQ(t->GetState(), Thread::STATE_WAITING);
  m_link.sent.clear();
  Command(Payload(DBG_THREADS));
  Payload list = m_link.Reply(DBG_THREADS);
  ASSERT_EQ(list.ReadU8(), 1);
  EXPECT_EQ(list.ReadStr(), "slow");
  EXPECT_EQ(list.ReadStr(), "Slow");
  EXPECT_EQ(list.ReadInt(), 2);
  EXPECT_EQ(list.ReadU32(), uint32_t(Thread::STATE_WAITING));
  EXPECT_FLOAT_EQ(list.ReadF32(), 1.5f);
  list.ReadU32();
  EXPECT_EQ(list.ReadU8(), 0);
}

TEST_F(DebuggerCommands, EvaluateInTheStoppedThread) {
  // The frame's slots are visible; module-level names only through their module (the text is
  // compiled under the root, with the frame's locals and its function's own symbols). An
  // endless loop called from the network ends at the step budget.
  const std::vector<std::string> results =
      EvaluateInAdd({"a + b * 10", "\"x\" + sum", "1 +", "dbg::Spin()", "dbg::Add", "total"});
  ASSERT_EQ(results.size(), 6u);
  EXPECT_EQ(results[0], "21 (int)");
  EXPECT_EQ(results[1], "x3 (string)");
  EXPECT_NE(results[2].find("(1) : "), std::string::npos) << results[2];  // the compile error is the answer
  EXPECT_NE(results[3].find("step budget"), std::string::npos) << "[" << results[3] << "]";
  EXPECT_EQ(results[4], "Add (script function)\nMod:dbg\nRet:int\nPar:1:int , 2:int");
  EXPECT_EQ(results[5], "(1) : undefinied variable 'total' found");
  EXPECT_FALSE(m_debugger->IsBusy());
  // The errors were captured, not forwarded as output.
  EXPECT_EQ(m_link.Count(DBG_OUTPUT), 0);
}

TEST_F(DebuggerCommands, CommandsThatNeedAThreadWaitForOne) {
  for (uint32_t code : {DBG_STATE, DBG_EVALUATE, DBG_LOCALS, DBG_CALLSTACK, DBG_THREAD_INFO, DBG_STEP_OVER, DBG_BREAK})
    Command(std::move(Payload(code).Str("1")));
  Command(Payload(999));
  Command(Payload(DBG_POSITION));
  Command(Payload(DBG_END_THREAD));
  EXPECT_EQ(m_link.Codes(), (std::vector<uint32_t>{DBG_POSITION, DBG_ENDED, DBG_POSITION}));
  EXPECT_EQ(m_debugger->GetMode(), Debugger::MODE_RUN);
  // Messages shorter than a code, and other message types, are not queued.
  m_link.Inject(std::string("\x01\x00\x00", 3));
  m_link.Inject(Payload(DBG_POSITION).Raw(), AID::kPing);
  m_link.ProcessMessages();
  EXPECT_EQ(m_debugger->QueuedCommandCount(), 0u);
}

TEST_F(DebuggerCommands, QueueIsBounded) {
  for (size_t i = 0; i < Debugger::kMaxQueuedCommands + 10; ++i) m_link.Inject(Payload(DBG_POSITION));
  m_link.ProcessMessages();
  EXPECT_EQ(m_debugger->QueuedCommandCount(), Debugger::kMaxQueuedCommands);
}

TEST_F(DebuggerCommands, OutputGoesToTheFrontEndAndTheGame) {
  ReportFileError("f.krx", 3, "something %d", 7);
  Payload out = m_link.Reply(DBG_OUTPUT);
  EXPECT_EQ(out.ReadStr(), "f.krx(3) : something 7");
  EXPECT_EQ(m_output, "f.krx(3) : something 7\n");
}

void TakesInt(int) {}

TEST_F(DebuggerCommands, BadParameterNamesTheNativeFunction) {
  RegisterFunction(ScriptSystem::GetModule(), "TakesInt", &TakesInt);
  ASSERT_TRUE(Compile("function void Bad() {\n TakesInt(\"x\");\n}\n", "scripts/bad.krx"));
  tRefPtr<Thread> t(new Thread());
  t->m_moduleName = "bad";
  t->m_reportName = "test";
  t->Start("Bad", false, nullptr, 0);
  EXPECT_NE(m_output.find(" at c-call TakesInt"), std::string::npos) << m_output;
  EXPECT_EQ(m_debugger->NativeFunctionName(), "");
}

TEST(DebuggerLink, DestroyedDebuggerLeavesTheLinksListeners) {
  dbgtest::FakeLink link;
  ScriptSystem::Init();
  ASSERT_TRUE(EnableDebugger(true, &link));
  EXPECT_EQ(link.ListenerCount(), 1u);
  ScriptSystem::GetDebugger()->Reregister();
  EXPECT_EQ(link.ListenerCount(), 1u);  // replaced, not doubled
  ASSERT_FALSE(EnableDebugger(false));
  EXPECT_EQ(link.ListenerCount(), 0u);
  link.Inject(Payload(DBG_POSITION));
  link.ProcessMessages();  // no call into the freed debugger
  // Shutdown destroys a debugger as well.
  ASSERT_TRUE(EnableDebugger(true, &link));
  ScriptSystem::Shutdown();
  EXPECT_EQ(ScriptSystem::GetDebugger(), nullptr);
  EXPECT_EQ(link.ListenerCount(), 0u);
}

}  // namespace
