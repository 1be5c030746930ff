// The script host through the real virtual machine: the argument readers on every value type and
// their messages, the error report's two roads, the result conversions, threads that wait, owned
// events that run exactly once, and arguments that keep their places.
#include <gtest/gtest.h>

#include "KRX/debugger/Debugger.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/function_adapter.h"
#include "base/data/Variant.h"
#include "game_fixture.h"
#include "quillane/core/Event.h"
#include "quillane/script/GameThread.h"
#include "quillane/script/ScriptHost.h"

namespace {

using gametest::Lines;

KRX::Var IntOf(KRX::t_Interface& in) {
  KRX::Var v;
  v.SetInt(script::GetArgInt(in, 1, -7));
  return v;
}
KRX::Var FloatOf(KRX::t_Interface& in) {
  KRX::Var v;
  v.SetFloat(script::GetArgFloat(in, 1, -0.5f));
  return v;
}
KRX::Var BoolOf(KRX::t_Interface& in) {
  KRX::Var v;
  v.SetBool(script::GetArgBool(in, 1, true));
  return v;
}
KRX::Var StringOf(KRX::t_Interface& in) {
  KRX::Var v;
  v.SetString(script::GetArgString(in, 1, "none"));
  return v;
}
KRX::Var ThirdInt(KRX::t_Interface& in) {
  KRX::Var v;
  v.SetInt(script::GetArgInt(in, 3, 42));
  return v;
}
KRX::Var QuietInt(KRX::t_Interface& in) {
  KRX::Var v;
  v.SetInt(script::GetArgInt(in, 1, -7, false));
  return v;
}
KRX::Var MakeLabel(KRX::t_Interface&) {
  KRX::Var v;
  v.SetLabel("label");
  return v;
}
// The blocking convention's first step: the calling thread, from the interface or, without
// one, the current thread.
void Wait(KRX::t_Interface& in) { script::GetCallingThread(&in)->Pause(); }
void WaitPlain(float) { script::GetCallingThread(nullptr)->Pause(); }

struct st_Recorder {
  std::vector<std::string> executed;
  int deleted = 0;
};
class cl_RecordingEvent : public i_Event {
 public:
  cl_RecordingEvent(st_Recorder& r, const char* name) : m_recorder(r), m_name(name) {}
  ~cl_RecordingEvent() override { ++m_recorder.deleted; }
  void Execute() override { m_recorder.executed.push_back(m_name); }

 private:
  st_Recorder& m_recorder;
  const char* m_name;
};

class ScriptHost : public gametest::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    KRX::Module& root = KRX::ScriptSystem::GetModule();
    KRX::RegisterFunction(root, "IntOf", &IntOf);
    KRX::RegisterFunction(root, "FloatOf", &FloatOf);
    KRX::RegisterFunction(root, "BoolOf", &BoolOf);
    KRX::RegisterFunction(root, "StringOf", &StringOf);
    KRX::RegisterFunction(root, "ThirdInt", &ThirdInt);
    KRX::RegisterFunction(root, "QuietInt", &QuietInt);
    KRX::RegisterFunction(root, "MakeLabel", &MakeLabel);
    KRX::RegisterFunction(root, "Wait", &Wait);
    KRX::RegisterFunction(root, "WaitPlain", &WaitPlain);
  }
  // A module of one function per expression, "C<i>" returning expression i from line 3i + 2,
  // in the syntax of the file's extension.
  bool CompileReturns(const std::vector<std::string>& expressions, const std::string& file) {
    const bool lua = file.ends_with(".lua");
    std::string source;
    for (size_t i = 0; i < expressions.size(); ++i) {
      const std::string name = "C" + std::to_string(i);
      if (lua)
        source += "function " + name + "()\n  return " + expressions[i] + "\nend\n";
      else
        source += "function auto " + name + "() {\n  return " + expressions[i] + ";\n}\n";
    }
    return Compile(source, file);
  }
  static std::string Text(const base::Variant& v) {
    if (v.is_void()) return "nil";
    base::String s;
    v.print_to(s);
    return s.c_str();
  }
};

struct st_ReaderCase {
  const char* call;
  const char* result;
  const char* message;  // "" when the reader reports nothing
};

const st_ReaderCase kReaderCases[] = {
    {"IntOf(5)", "5", ""},
    {"IntOf(2.9)", "2", ""},
    {"IntOf(-2.9)", "-2", ""},
    {"IntOf(\"12\")", "-7", "wrong parameter 1 - 'integer' expected."},
    {"IntOf(true)", "-7", "wrong parameter 1 - 'integer' expected."},
    {"IntOf()", "-7", "wrong parameter 1 - 'integer' expected."},
    {"QuietInt(\"x\")", "-7", ""},
    {"FloatOf(2.5)", "2.5", ""},
    {"FloatOf(3)", "3", ""},
    {"FloatOf(\"2.5\")", "-0.5", "wrong parameter 1 - 'float' expected."},
    {"FloatOf(false)", "-0.5", "wrong parameter 1 - 'float' expected."},
    {"BoolOf(false)", "0", ""},
    {"BoolOf(true)", "1", ""},
    {"BoolOf(0)", "1", "wrong parameter 1 - 'boolean' expected."},
    {"BoolOf(1)", "1", "wrong parameter 1 - 'boolean' expected."},
    {"BoolOf(0.0)", "1", "wrong parameter 1 - 'boolean' expected."},
    {"BoolOf(\"false\")", "1", "wrong parameter 1 - 'boolean' expected."},
    {"StringOf(\"abc\")", "abc", ""},
    {"StringOf(MakeLabel())", "label", ""},
    {"StringOf(5)", "none", "wrong parameter 1 - 'string' expected."},
    {"StringOf(true)", "none", "wrong parameter 1 - 'string' expected."},
    {"StringOf()", "none", "wrong parameter 1 - 'string' expected."},
    {"ThirdInt(1, 2)", "42", "wrong parameter 3 - 'integer' expected."},
    {"ThirdInt(1, 2, 3)", "3", ""},
};

// Every reader on every value type, in both syntaxes, without and with the script debugger:
// the message is plain without it and carries "file(line) : " with it.
TEST_F(ScriptHost, ReadersGiveTheArgumentOrTheDefaultWithTheirMessage) {
  std::vector<std::string> calls;
  for (const st_ReaderCase& c : kReaderCases) calls.push_back(c.call);
  for (const char* file : {"readers.krx", "readerslua.lua"}) {
    ASSERT_TRUE(CompileReturns(calls, file)) << AllLines();
    for (bool debugger : {false, true}) {
      KRX::EnableDebugger(debugger);
      for (size_t i = 0; i < std::size(kReaderCases); ++i) {
        const st_ReaderCase& c = kReaderCases[i];
        SCOPED_TRACE(std::string(file) + " " + c.call + (debugger ? " (debugger)" : ""));
        Lines().clear();
        const base::Variant result = GameThread::Start(file, ("C" + std::to_string(i)).c_str(), base::Variant());
        EXPECT_EQ(Text(result), c.result);
        std::vector<std::string> expected;
        if (*c.message) {
          const std::string prefix = debugger ? std::string(file) + "(" + std::to_string(3 * i + 2) + ") : " : "";
          expected.push_back(prefix + c.message);
        }
        EXPECT_EQ(Lines(), expected);
      }
      KRX::EnableDebugger(false);
    }
  }
}

TEST_F(ScriptHost, ResultsConvertToVariants) {
  const struct {
    const char* expression;
    const char* text;
    bool isInt;
  } cases[] = {
      {"true", "1", true},   {"false", "0", true},     {"7", "7", true},
      {"1.25", "1.25", false}, {"\"text\"", "text", false}, {"MakeLabel()", "nil", false},
  };
  std::vector<std::string> expressions;
  for (const auto& c : cases) expressions.push_back(c.expression);
  ASSERT_TRUE(CompileReturns(expressions, "results.krx")) << AllLines();
  for (size_t i = 0; i < std::size(cases); ++i) {
    const base::Variant v = GameThread::Start("results.krx", ("C" + std::to_string(i)).c_str(), base::Variant());
    EXPECT_EQ(Text(v), cases[i].text) << cases[i].expression;
    EXPECT_EQ(v.is_int(), cases[i].isInt) << cases[i].expression;
  }
  // A module that cannot be loaded runs nothing; an unknown function is reported and gives nil.
  EXPECT_TRUE(GameThread::Start("nowhere.krx", "C0", base::Variant()).is_void());
  Lines().clear();
  EXPECT_TRUE(GameThread::Start("results.krx", "Missing", base::Variant()).is_void());
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_NE(Lines()[0].find("Unable to find function Missing"), std::string::npos);
}

// Variant arguments of every kind; an element that cannot be converted becomes nil in its place
// and every later argument keeps its number.
TEST_F(ScriptHost, ArgumentsKeepTheirPlaces) {
  ASSERT_TRUE(Compile("function auto Join(auto a, auto b, auto c, auto d) {\n"
                      "  return TypeName(a) + \":\" + a + \" \" + TypeName(b) + \" \" + TypeName(c) + \":\" + c +\n"
                      "         \" \" + TypeName(d) + \":\" + d;\n"
                      "}\n",
                      "args.krx"))
      << AllLines();
  ASSERT_TRUE(Compile("function Join(a, b, c, d)\n"
                      "  return TypeName(a) .. \":\" .. a .. \" \" .. TypeName(b) .. \" \" .. TypeName(c) .. \":\" .. c ..\n"
                      "         \" \" .. TypeName(d) .. \":\" .. d\n"
                      "end\n",
                      "argslua.lua"))
      << AllLines();
  for (const char* file : {"args.krx", "argslua.lua"}) {
    base::Variant args;
    args.set_array(4);
    args[0].set_string("x");
    args[1].set_array(2);  // not convertible
    args[2].set_double(2.5);
    args[3].set_bool(true);
    const base::Variant result = GameThread::Start(file, "Join", args);
    EXPECT_EQ(Text(result), "string:x nil float:2.500000 int:1") << file << AllLines();
  }
}

TEST_F(ScriptHost, AFunctionThatWaitsGivesNilAndItsThread) {
  ASSERT_TRUE(Compile("function int Waits() {\n  Wait();\n  return 5;\n}\n"
                      "function int WaitsPlain() {\n  WaitPlain(1.0);\n  return 6;\n}\n"
                      "function int AtOnce() { return 4; }\n",
                      "waits.krx"))
      << AllLines();
  EXPECT_TRUE(GameThread::Start("waits.krx", "Waits", base::Variant()).is_void());

  GameThread* t = GameThread::CallFunction("waits.krx", "WaitsPlain", base::Variant());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->GetState(), KRX::Thread::STATE_PAUSED);
  EXPECT_STREQ(t->GetName().c_str(), "waits.krx:WaitsPlain");
  // Finishing the action wakes the thread for the next scheduler step, where it runs to its end.
  t->Sleep(0.0f);
  KRX::ThreadList::Update(0.02f);
  EXPECT_EQ(t->GetReturnValue().ToInt(), 6);

  EXPECT_EQ(GameThread::CallFunction("waits.krx", "AtOnce", base::Variant()), nullptr);
  EXPECT_EQ(GameThread::CallFunction("nowhere.krx", "AtOnce", base::Variant()), nullptr);
}

TEST_F(ScriptHost, OwnedEventsRunExactlyOnce) {
  ASSERT_TRUE(Compile("function Waits()\n  Wait()\nend\nfunction AtOnce()\nend\n", "events.lua")) << AllLines();
  st_Recorder r;

  // Release runs the events in order and finishes the thread; its later destruction adds nothing.
  GameThread* t = GameThread::CallFunction("events.lua", "Waits", base::Variant(), new cl_RecordingEvent(r, "first"));
  ASSERT_NE(t, nullptr);
  t->AddOwnedEvent(new cl_RecordingEvent(r, "second"));
  KRX::Var value;
  value.SetInt(3);
  GameThread::Release(t, &value);
  EXPECT_EQ(r.executed, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(t->GetState(), KRX::Thread::STATE_FINISHED);
  EXPECT_EQ(t->GetReturnValue().ToInt(), 3);
  KRX::ThreadList::Update(0.02f);  // drops and destroys the finished thread
  EXPECT_TRUE(KRX::ScriptSystem::GetThreads().empty());
  EXPECT_EQ(r.executed.size(), 2u);
  EXPECT_EQ(r.deleted, 2);

  // A thread that ends at once, or whose module is missing, runs its event on destruction.
  r = st_Recorder();
  EXPECT_EQ(GameThread::CallFunction("events.lua", "AtOnce", base::Variant(), new cl_RecordingEvent(r, "once")), nullptr);
  EXPECT_EQ(GameThread::CreateForFunction("nowhere.lua", "AtOnce", new cl_RecordingEvent(r, "missing")), nullptr);
  EXPECT_EQ(r.executed, (std::vector<std::string>{"once", "missing"}));

  // A thread made for later runs its event when it ends, not before.
  r = st_Recorder();
  KRX::tRefPtr<GameThread> later(GameThread::CreateForFunction("events.lua", "AtOnce", new cl_RecordingEvent(r, "later")));
  ASSERT_TRUE(later);
  EXPECT_STREQ(later->GetName().c_str(), "events.lua:AtOnce");
  EXPECT_TRUE(r.executed.empty());
  base::Variant result;
  GameThread::Run(result, later.get(), "AtOnce", base::Variant());
  EXPECT_TRUE(r.executed.empty());
  later.reset();
  EXPECT_EQ(r.executed, (std::vector<std::string>{"later"}));

  // While the system quits (or once it is gone) a destroyed thread deletes its events unrun.
  for (bool gone : {false, true}) {
    r = st_Recorder();
    t = GameThread::CallFunction("events.lua", "Waits", base::Variant(), new cl_RecordingEvent(r, "quit"));
    ASSERT_NE(t, nullptr);
    if (gone)
      m_system.reset();
    else
      m_system->SetQuit(true);
    t->Sleep(0.0f);
    KRX::ThreadList::Update(0.02f);  // finishes
    KRX::ThreadList::Update(0.02f);  // drops
    EXPECT_TRUE(r.executed.empty());
    EXPECT_EQ(r.deleted, 1);
  }
}

}  // namespace
