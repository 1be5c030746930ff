// Native functions bound by name: typed arguments converted from the last to the first, the
// bad-parameter error with the highest bad index, results wrapped into script values.
#include <gtest/gtest.h>

#include "KRX/runtime/Interface.h"
#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/runtime/function_adapter.h"
#include "vm_fixture.h"

using namespace KRX;
using krxtest::Asm;

namespace {

std::string g_seen;

void TakeText(const char* s) { g_seen = s ? s : "(null)"; }
void TakeFour(const char* s, float a, float b, float c) {
  char text[128];
  std::snprintf(text, sizeof text, "%s %g %g %g", s ? s : "(null)", double(a), double(b), double(c));
  g_seen = text;
}
void TakeMixed(int i, bool b, float f) { g_seen = std::to_string(i) + (b ? " true " : " false ") + std::to_string(int(f * 10)); }
float Half(float f) { return f / 2; }
int Length(const char* s) { return s ? int(std::strlen(s)) : -1; }
bool Not(bool b) { return !b; }
const char* Greeting() { return "hello"; }
Var Pair(const Var* a) {
  Var v;
  v.Assign(a ? *a : Var());
  return v;
}
BinCode* Self(const BinCode* m) { return const_cast<BinCode*>(m); }
void First(const char*) { g_seen = "first"; }
void Second(const char*) { g_seen = "second"; }

class NativeBinding : public krxtest::VmTest {
 protected:
  void SetUp() override {
    VmTest::SetUp();
    g_seen.clear();
    Module& root = ScriptSystem::GetModule();
    RegisterFunction(root, "TakeText", &TakeText);
    RegisterFunction(root, "TakeFour", &TakeFour);
    RegisterFunction(root, "TakeMixed", &TakeMixed);
    RegisterFunction(root, "Half", &Half);
    RegisterFunction(root, "Length", &Length);
    RegisterFunction(root, "Not", &Not);
    RegisterFunction(root, "Greeting", &Greeting);
    RegisterFunction(root, "Pair", &Pair);
    RegisterFunction(root, "Self", &Self);
  }
  // Calls native with the pushed arguments and returns what the call yields.
  tRefPtr<Thread> CallNative(const char* native, const std::function<void(Asm&)>& args,
                             const std::vector<krxtest::Slot>& slots = {},
                             const std::function<void(Asm&)>& before = nullptr) {
    static int n = 0;
    std::string name = "call" + std::to_string(n++);
    Asm a = NewAsm();
    a.ParamCpy().Line(3);
    if (before) before(a);
    a.FuncInit().FuncInit();
    args(a);
    a.Global(native).Call().Return().Stop();
    Function(name.c_str(), a, slots);
    return krxtest::RunNow("m", name.c_str());
  }
};

TEST_F(NativeBinding, ArgumentsAreConvertedOrDefaulted) {
  auto t = CallNative("TakeText", [](Asm& a) { a.Str("abc"); });
  EXPECT_EQ(g_seen, "abc");
  EXPECT_TRUE(t->GetReturnValue().IsNil());
  CallNative("TakeText", [](Asm&) {});
  EXPECT_EQ(g_seen, "(null)");  // a missing text is null
  CallNative("TakeText", [](Asm& a) { a.Str("one").Int(2); });
  EXPECT_EQ(g_seen, "one");  // extra arguments are ignored
  // A text parameter takes a reference to a string variable.
  CallNative("TakeText", [](Asm& a) { a.Local(0); }, {{"s", VT_STRING}},
             [](Asm& a) { a.Local(0).Str("var").Op(OP_ASSIGN).Eoc(); });
  EXPECT_EQ(g_seen, "var");
  // Floats take ints and bools; missing floats are 0.
  CallNative("TakeFour", [](Asm& a) { a.Str("x").Int(2).Bool(true); });
  EXPECT_EQ(g_seen, "x 2 1 0");
  CallNative("TakeMixed", [](Asm& a) { a.Float(3.9f).Int(0).Float(0.5f); });
  EXPECT_EQ(g_seen, "3 false 5");
}

TEST_F(NativeBinding, ResultsBecomeScriptValues) {
  const struct {
    const char* native;
    std::function<void(Asm&)> args;
    const char* result;
  } cases[] = {
      {"Half", [](Asm& a) { a.Int(3); }, "float:1.500000"},
      {"Length", [](Asm& a) { a.Str("four"); }, "int:4"},
      {"Not", [](Asm& a) { a.Int(0); }, "bool:true"},
      {"Greeting", [](Asm&) {}, "string:hello"},
      {"Pair", [](Asm& a) { a.Int(8); }, "int:8"},
      {"Pair", [](Asm&) {}, "nil:NULL"},
  };
  for (const auto& c : cases) {
    auto t = CallNative(c.native, c.args);
    EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED) << c.native << t->m_lastError;
    EXPECT_EQ(krxtest::Describe(t->GetReturnValue()), c.result) << c.native;
  }
  // Module parameters and results: the module value of "m" comes back as the same module.
  auto t = CallNative("Self", [](Asm& a) { a.Global("m"); });
  EXPECT_EQ(t->GetReturnValue().GetModule(), m_module);
}

TEST_F(NativeBinding, BadParametersNameTheHighestIndexAndKillTheThread) {
  const struct {
    const char* native;
    std::function<void(Asm&)> args;
    const char* message;
  } cases[] = {
      {"TakeText", [](Asm& a) { a.Int(5); }, "invalid parameter 1: found int / expected string"},
      {"TakeFour", [](Asm& a) { a.Int(1).Str("a").Str("b").Str("c"); }, "invalid parameter 4: found string(const) / expected float"},
      {"TakeFour", [](Asm& a) { a.Int(1).Str("a"); }, "invalid parameter 2: found string(const) / expected float"},
      {"TakeFour", [](Asm& a) { a.Int(1).Float(1.0f); }, "invalid parameter 1: found int / expected string"},
      {"TakeMixed", [](Asm& a) { a.Int(1).Nil(); }, "invalid parameter 2: found nil / expected bool"},
      {"Self", [](Asm& a) { a.Int(1); }, "invalid parameter 1: found int / expected const BinCode*"},
  };
  for (const auto& c : cases) {
    g_seen = "untouched";
    Log().clear();
    auto t = CallNative(c.native, c.args);
    EXPECT_EQ(t->GetState(), Thread::STATE_DEAD) << c.message;
    EXPECT_EQ(t->m_lastError, std::string("test.krx(3) : ") + c.message);
    EXPECT_NE(Log().find(c.message), std::string::npos);
    EXPECT_EQ(g_seen, "untouched");  // nothing ran
  }
}

std::string g_where;
bool Describe(std::string& out) {
  out = g_where;
  return true;
}

TEST_F(NativeBinding, AnAttachedDebuggerDescribesTheCall) {
  static st_DebugHooks hooks;
  hooks.describePosition = &Describe;
  SetDebugHooks(&hooks);
  int fake = 0;
  ScriptSystem::AttachDebugger(reinterpret_cast<Debugger*>(&fake), [](Debugger*, const char* text) {
    Log() += text;
  });
  g_where = "TakeText in m";
  auto t = CallNative("TakeText", [](Asm& a) { a.Int(5); });
  ScriptSystem::DetachDebugger();
  SetDebugHooks(nullptr);
  EXPECT_TRUE(krxtest::EndsWith(t->m_lastError, "expected string at c-call TakeText in m")) << t->m_lastError;
}

TEST_F(NativeBinding, RegisteringAgainReplacesTheBinding) {
  Module& root = ScriptSystem::GetModule();
  EXPECT_TRUE(RegisterFunction(root, "Twice", &First));
  EXPECT_TRUE(RegisterFunction(root, "Twice", &Second));
  CallNative("Twice", [](Asm& a) { a.Str("x"); });
  EXPECT_EQ(g_seen, "second");
  // The natives live in "~bind", whose parent is the module.
  BinCode* bind = ScriptSystem::GetRoot()->Find("~bind")->GetModule();
  ASSERT_NE(bind, nullptr);
  EXPECT_EQ(GetParent(bind), ScriptSystem::GetRoot());
  // A "~bind" that is not a module refuses further bindings.
  auto* other = new BinCode();
  Var hold;
  hold.SetModule(other);
  other->FindOrCreate("~bind", VT_INT);
  EXPECT_FALSE(RegisterFunction(other, "x", &First));
}

}  // namespace
