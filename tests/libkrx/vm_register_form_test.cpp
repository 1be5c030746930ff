// Whole functions in register form against the plain interpreter. Each script below runs with
// the register form on and off, at every step budget up to past its end; the outcome (result,
// state, error, line, budget left, reported lines) must not differ, nor must a suspended
// thread's frames (positions, lines, stacks, locals), nor what it does once resumed. The shapes
// cover calls of every kind (script functions in and out of register form, natives, void ones,
// results used as ints, conditions, arguments and statements), loops, branches, run-time
// errors, natives that sleep, pause, fail, convert, change a local, reload modules, and thread
// variables that shadow a function. With a debugger attached the register form steps aside.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "KRX/Interpreter/ScriptVM.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/function_adapter.h"
#include "codegen_support.h"
#include "krx_test_util.h"
#include "vm_fixture.h"

using namespace KRX;

namespace {

const char* kScript = R"(
function int fib(int n) {
  if (n < 2) return n;
  return fib(n - 1) + fib(n - 2);
}
function int inc1(int x) { return x + 1; }
function int inc2(int x) { return x + 2; }
function int alternate(int n) {
  int s = 0;
  int i;
  for (i = 0; i < n; i++) {
    s = inc1(s);
    s = inc2(s);
  }
  return s;
}
function void note(int x) {
  int y = x * 2;
}
function int mixed(int a, int b) {
  int i = a;
  int s = 0;
  while (i > b) {
    if (i % 3 == 0) {
      s += inc1(i) * 2;
    } else {
      s -= inc2(b) - i;
    }
    note(s);
    i--;
  }
  if (!a) {
    s++;
  }
  return s - -a + ~b;
}
function int divide(int a, int b) {
  int q = a / b;
  int r = a % b;
  q *= 1000;
  q /= b;
  return q + r;
}
function int natives(int n) {
  int i;
  int s = 0;
  for (i = 0; i < n; i++) {
    s = Add1(s);
    if (IsOdd(s)) s += 10;
    s = s + DebugStackpos() * 100 + DebugPC();
  }
  return s;
}
function int napper(int x) {
  Sleep(0.5);
  return x * 2;
}
function int sleeper(int n) {
  int s = n;
  s = inc1(s) + napper(s) * fib(3);
  return s;
}
function int napsat(int x) {
  if (x == 2) {
    Sleep(0.5);
  }
  return x * 2;
}
function int naps(int n) {
  int i;
  int s = 0;
  for (i = 0; i < n; i++) {
    s = s + napsat(i);
  }
  return s;
}
function int drops(int n) {
  int s = n;
  inc1(s);
  note(s);
  Add1(s);
  s = napsat(s) + inc2(s);
  note(s);
  return s;
}
function auto untyped(int n) {
  if (n > 2) {
    return n;
  }
  note(n);
}
function int callsuntyped(int n) {
  int i;
  for (i = 0; i < n; i++) {
    untyped(i);
  }
  untyped(n);
  return i;
}
function int wraps(int n) { return n + napper(n) + Add1(napper(inc1(n))); }
function int pauses(int n) {
  int s = n;
  Pause();
  return s + 1;
}
function int converts(int n) {
  int s = Half(n);
  return s + Half(n + 1);
}
function int taints(int n) {
  int s = n;
  int t = Taint(s);
  return s + t;
}
function int deep(int n) {
  if (n == 0) return 0;
  return deep(n - 1) + 1;
}
function int badarg(int n) { return Add1("x") + n; }
function int usesstring(int n) {
  string t = "a";
  return n + 1;
}
function int callsplain(int n) { return usesstring(n) + inc1(n); }
function int plaincalls(int n) {
  string t = "b";
  return fib(n) + alternate(n);
}
function int noreturn(int n) {
  if (n > 0) return n;
}
function int shadowed(int n) {
  int s = 0;
  int i;
  for (i = 0; i < n; i++) {
    s += inc2(i);
    if (i == 1) {
      ThreadSetValue(ThreadGetThis(), "inc2", 7);
    }
  }
  return s;
}
function int reloads(int n) {
  int s = inc1(n);
  Reload();
  return s + inc1(n) + fib(n);
}
function void voidloop(int n) {
  int i;
  for (i = 0; i < n; i++) {
    note(i);
  }
}
function int conds(int n) {
  int s = 0;
  if (inc1(n) > 3) s = 1;
  if (IsOdd(n)) s += 2;
  if (fib(n)) s += 4;
  while (IsOdd(s)) {
    s++;
  }
  return s;
}
function int nested(int n) {
  return Add1(Add1(n)) + inc1(inc2(n)) + Walk("Odo", 1.5, Add1(n));
}
function int loops(int n) {
  int i = 0;
  int j;
  int s = 0;
  for (i = 0; i < n; i++) {
    for (j = 0; j < i; j++) {
      s = s + j * i;
    }
    s = s % 1000 + inc1(j);
  }
  return s;
}
)";

const char* kOther = "function int other(int n) { return n; }\n";

int Add1(int i) { return i + 1; }
bool IsOdd(int i) { return (i & 1) != 0; }
float Half(int i) { return float(i) / 2.0f; }
int Walk(const char* name, float speed, int n) { return int(name[0]) + int(speed * 2.0f) + n; }
int Taint(Var* v) {
  if (v) v->SetString("x");
  return 1;
}
// Compiles another module, so that every symbol look-up and code cache is made anew.
void Reload() {
  CodeUnit unit;
  unit.m_fileName = "other.krx";
  unit.m_moduleName = "other";
  unit.m_source = kOther;
  Compiler::Compile(unit, nullptr);
}

// Every value of a frame or the thread, with references told by the slot they reach.
std::string DescribeValue(const Var& v, const Thread& t) {
  if (v.IsReference() && v.GetReference()) {
    const Var* target = v.GetReference();
    for (int i = 0; i <= t.m_frameIndex && i < Thread::kMaxFrames; ++i) {
      const Frame* f = t.m_frames[i];
      for (int s = 0; f && s < f->m_locals.GetCount(); ++s)
        if (f->m_locals.GetVariable(s) == target) return "ref(" + std::to_string(i) + "." + std::to_string(s) + ")";
    }
    return "ref(" + krxtest::Describe(*target) + ")";
  }
  if (v.GetType() == VT_STACKPOS) return "marker:" + std::to_string(v.GetRawInt());
  return krxtest::Describe(v) + (v.IsAuto() ? " auto" : "");
}

std::string DescribeThread(const Thread& t) {
  std::string out = "state " + std::to_string(t.GetState()) + " frames " + std::to_string(t.m_frameIndex);
  for (int i = 0; i <= t.m_frameIndex && i < Thread::kMaxFrames; ++i) {
    const Frame* f = t.m_frames[i];
    if (!f) continue;
    const char* name = GetFunctionName(f->m_function);
    out += "\n  " + std::string(name ? name : "?") + " line " + std::to_string(f->m_line) + " at " +
           std::to_string(f->m_position) + " stack";
    for (uint32_t s = 0; s < f->m_stackCount; ++s) out += " " + DescribeValue(f->m_stack[s], t);
    out += " locals";
    for (int s = 0; s < f->m_locals.GetCount(); ++s) out += " " + DescribeValue(*f->m_locals.GetVariable(s), t);
  }
  return out;
}

class RegisterForm : public krxtest::CompileFixture {
 protected:
  void SetUp() override {
    CompileFixture::SetUp();
    BinCode* root = ScriptSystem::GetRoot();
    RegisterFunction(root, "Add1", &Add1);
    RegisterFunction(root, "IsOdd", &IsOdd);
    RegisterFunction(root, "Half", &Half);
    RegisterFunction(root, "Walk", &Walk);
    RegisterFunction(root, "Taint", &Taint);
    RegisterFunction(root, "Reload", &Reload);
    ASSERT_TRUE(Compile(kScript)) << AllMessages();
  }
  void TearDown() override {
    ScriptVM::SetRegisterForm(true);
    CompileFixture::TearDown();
  }

  // Everything a run leaves: its outcome, the frames of a thread it suspended, and how that
  // thread ends when it is resumed.
  std::string Run(const char* function, const std::vector<Var>& args, int64_t budget, bool registerForm) {
    ScriptVM::SetRegisterForm(registerForm);
    krxtest::Messages().clear();
    tRefPtr<Thread> t(new Thread());
    t->m_moduleName = "test";
    t->m_reportName = "test";
    if (budget >= 0) t->SetStepBudget(budget);
    t->Start(function, false, args.data(), int(args.size()));
    std::string out = Outcome(*t) + "\n" + DescribeThread(*t);
    for (int step = 0; step < 5 && (t->GetState() == Thread::STATE_WAITING || t->GetState() == Thread::STATE_PAUSED);
         ++step) {
      if (t->GetState() == Thread::STATE_PAUSED) t->Sleep(0.0f);
      ThreadList::Update(1.0f);
      out += "\nresumed: " + Outcome(*t);
    }
    return out + "\n" + AllMessages();
  }
  static std::string Outcome(const Thread& t) {
    const Var& r = const_cast<Thread&>(t).GetReturnValue();
    const Frame* f = t.GetCurrentFrame();
    return krxtest::Describe(r) + (r.IsAuto() ? " auto" : "") + " state " + std::to_string(t.GetState()) +
           " error '" + t.m_lastError + "' line " + std::to_string(f ? f->m_line : -2) + " budget left " +
           std::to_string(t.GetStepBudget());
  }
};

TEST_F(RegisterForm, EveryShapeGivesWhatTheInstructionsGiveAtEveryBudget) {
  struct st_Call {
    const char* function;
    std::vector<Var> args;
  };
  const std::vector<st_Call> calls = {
      {"fib", {Var(7)}},          {"alternate", {Var(6)}},       {"mixed", {Var(9), Var(-2)}},
      {"mixed", {Var(0), Var(3)}}, {"divide", {Var(17), Var(5)}}, {"divide", {Var(17), Var(0)}},
      {"divide", {Var(INT_MIN), Var(-1)}}, {"natives", {Var(5)}}, {"sleeper", {Var(4)}},
      {"pauses", {Var(3)}},       {"wraps", {Var(2)}},           {"naps", {Var(4)}},
      {"drops", {Var(2)}},        {"drops", {Var(5)}},           {"callsuntyped", {Var(4)}},
      {"untyped", {Var(1)}},      {"untyped", {Var(3)}},         {"converts", {Var(7)}},
      {"taints", {Var(2)}},
      {"deep", {Var(40)}},        {"deep", {Var(5)}},            {"badarg", {Var(1)}},
      {"callsplain", {Var(3)}},   {"plaincalls", {Var(5)}},      {"noreturn", {Var(0)}},
      {"noreturn", {Var(4)}},     {"shadowed", {Var(3)}},        {"reloads", {Var(4)}},
      {"voidloop", {Var(4)}},     {"conds", {Var(2)}},           {"conds", {Var(5)}},
      {"nested", {Var(3)}},       {"loops", {Var(6)}},           {"fib", {Var(2.5f)}},
      {"alternate", {}},          {"inc1", {Var(1), Var(2)}},
  };
  int failures = 0;
  for (const st_Call& call : calls) {
    SCOPED_TRACE(call.function);
    for (int64_t budget = -1; budget <= 160 && failures < 10; ++budget) {
      const std::string plain = Run(call.function, call.args, budget, false);
      const std::string registers = Run(call.function, call.args, budget, true);
      EXPECT_EQ(registers, plain) << "budget " << budget;
      failures += registers != plain;
    }
  }
  // And the results themselves, which both could get wrong alike.
  ScriptVM::SetRegisterForm(true);
  auto result = [](const char* fn, std::vector<Var> args) {
    return krxtest::RunNow("test", fn, args)->GetReturnValue().ToInt();
  };
  EXPECT_EQ(result("fib", {Var(10)}), 55);
  EXPECT_EQ(result("alternate", {Var(100)}), 300);
  EXPECT_EQ(result("loops", {Var(3)}), 8);
}

TEST_F(RegisterForm, TakesTheFunctionsItRunsWholeAndLeavesTheOthers) {
  for (const char* name : {"fib", "inc1", "alternate", "note", "mixed", "divide", "natives", "napper", "sleeper", "wraps",
                           "naps", "drops", "untyped", "callsuntyped",
                           "converts", "taints", "deep", "badarg", "callsplain", "noreturn", "voidloop", "conds",
                           "nested", "loops"}) {
    const Var* fn = Module()->Find(name);
    ASSERT_TRUE(fn && fn->GetModule()) << name;
    EXPECT_TRUE(ScriptVM::HasRegisterForm(fn->GetModule())) << name;
  }
  for (const char* name : {"usesstring", "plaincalls"}) EXPECT_FALSE(ScriptVM::HasRegisterForm(Module()->Find(name)->GetModule())) << name;
  ScriptVM::SetRegisterForm(false);
  EXPECT_FALSE(ScriptVM::HasRegisterForm(Module()->Find("fib")->GetModule()));
}

TEST_F(RegisterForm, StepsAsideWhileADebuggerWatchesTheLines) {
  struct st_Call {
    const char* function;
    std::vector<Var> args;
  };
  for (const st_Call& call : std::vector<st_Call>{{"alternate", {Var(4)}}, {"natives", {Var(3)}}, {"mixed", {Var(5), Var(1)}}}) {
    ScriptVM::SetRegisterForm(false);
    const std::vector<int> plain = krxtest::HookedLines("test", call.function, call.args);
    ScriptVM::SetRegisterForm(true);
    EXPECT_EQ(krxtest::HookedLines("test", call.function, call.args), plain) << call.function;
    EXPECT_GT(plain.size(), 8u);
  }
}

}  // namespace
