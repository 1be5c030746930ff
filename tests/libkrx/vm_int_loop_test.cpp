// Whole integer loops (and statements with shifts and bit operators) in register form against the
// instructions they stand in for. Each loop runs as emitted and with a no-op "group" at the start
// of its body, so that it is not taken as a whole, over operand values that also make it stop
// half-way (division by zero, an index out of range, a float element, a local of another type);
// results, errors, the line, the budget left and the value the loop leaves on the stack must not
// differ at any step budget, and the line hook must see the same lines. Compiled scripts run with
// and without a hook (which takes the plain path) must agree as well.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "KRX/Interpreter/DebugHooks.h"
#include "codegen_support.h"
#include "vm_fixture.h"

using namespace KRX;
using krxtest::Asm;
using krxtest::Slot;

namespace intlooptest {
namespace {

// Slots: a, b (auto parameters), i, j, s (int), x (auto), arr (int[4]), aarr (auto[4]), none (int[0]).
const std::vector<Slot> kSlots = {{"a", TYPE_AUTO, true}, {"b", TYPE_AUTO, true}, {"i", VT_INT},
                                  {"j", VT_INT},          {"s", VT_INT},         {"x", TYPE_AUTO},
                                  {"arr", VT_INT},        {"aarr", VT_INT},      {"none", VT_INT}};
enum { A = 0, B = 1, I = 2, J = 3, S = 4, X = 5, ARR = 6, AARR = 7, NONE = 8 };

using Sep = std::function<void()>;
using Code = std::function<void(Asm&, const Sep& sep)>;
struct Shape {
  const char* name;
  Code code;
};

// "for (init; v cmp bound; step) { body }" as the code generator emits it: the initialisation
// and the step without "eoc", the condition without a line, the body's statements each with one.
void ForLoop(Asm& a, const std::string& tag, const std::function<void()>& condition, bool leaveWhenTrue,
             const std::function<void()>& body, const std::function<void()>& step) {
  a.Label("top" + tag);
  condition();
  if (leaveWhenTrue)
    a.JumpTrue("end" + tag);
  else
    a.JumpFalse("end" + tag);
  body();
  step();
  a.Jump("top" + tag).Label("end" + tag);
}

// "for (i = 0; condition; i++) { body }", the split's group at the body's start.
void ForI(Asm& a, const Sep& sep, const std::function<void()>& condition, const std::function<void()>& body) {
  a.Line(2).Local(I).Int(0).Op(OP_ASSIGN);
  ForLoop(
      a, "", condition, false,
      [&] {
        sep();
        body();
      },
      [&] { a.Local(I).Op(OP_POST_INC); });
}

std::vector<Shape> Shapes() {
  std::vector<Shape> shapes;
  shapes.push_back({"for (i = 0; i < a; i++) { s += i; }", [](Asm& a, const Sep& sep) {
                      ForI(a, sep, [&] { a.Local(I).Local(A).Op(OP_LESS); }, [&] {
                        a.Line(3).Local(S).Local(I).Op(OP_ASSIGN_ADD).Eoc();
                      });
                    }});
  shapes.push_back({"for (i = 0; i < 10; i++) { s = s + i % b; }", [](Asm& a, const Sep& sep) {
                      ForI(a, sep, [&] { a.Local(I).Int(10).Op(OP_LESS); }, [&] {
                        a.Line(3).Local(S).Local(S).Local(I).Local(B).Op(OP_MOD).Op(OP_ADD).Op(OP_ASSIGN).Eoc();
                      });
                    }});
  shapes.push_back({"for (i = 0; i < 9; i++) { arr[i % 4] = arr[(i + a) % 4] + b; }", [](Asm& a, const Sep& sep) {
                      ForI(a, sep, [&] { a.Local(I).Int(9).Op(OP_LESS); }, [&] {
                        a.Line(3).Local(I).Int(4).Op(OP_MOD).Element(ARR);
                        a.Local(I).Local(A).Op(OP_ADD).Int(4).Op(OP_MOD).Element(ARR).Local(B).Op(OP_ADD);
                        a.Op(OP_ASSIGN).Eoc();
                      });
                    }});
  // Several statements and lines, one without a line; j = s / (i - 2) divides by zero on the way
  // down from a past 2; x is auto and must stay so.
  shapes.push_back({"for (i = a; i > b; i--) { four statements }", [](Asm& a, const Sep& sep) {
                      a.Line(1).Local(X).Int(5).Op(OP_ASSIGN).Eoc();
                      a.Line(2).Local(I).Local(A).Op(OP_ASSIGN);
                      ForLoop(
                          a, "", [&] { a.Local(I).Local(B).Op(OP_GREATER); }, false,
                          [&] {
                            sep();
                            a.Line(3).Local(S).Local(I).Int(2).Op(OP_MUL).Op(OP_ASSIGN_ADD).Eoc();
                            a.Line(4).Local(J).Local(S).Local(I).Int(2).Op(OP_SUB).Op(OP_DIV).Op(OP_ASSIGN).Eoc();
                            a.Local(X).Local(J).Op(OP_ASSIGN_ADD).Eoc();
                            a.Line(5).Local(J).Int(4).Op(OP_MOD).Element(ARR).Local(I).Op(OP_ASSIGN_SUB).Eoc();
                          },
                          [&] { a.Local(I).Op(OP_POST_DEC); });
                    }});
  shapes.push_back({"while (i < a) { i++; }", [](Asm& a, const Sep& sep) {
                      a.Line(2).Local(I).Int(0).Op(OP_ASSIGN).Eoc().Line(3);
                      ForLoop(
                          a, "", [&] { a.Local(I).Local(A).Op(OP_LESS); }, false,
                          [&] {
                            sep();
                            a.Local(I).Op(OP_POST_INC).Eoc();
                          },
                          [] {});
                    }});
  // The step in the middle of the body; s *= 3 wraps.
  shapes.push_back({"while (j < a) { s += j; j++; s *= 3; }", [](Asm& a, const Sep& sep) {
                      a.Line(2).Local(J).Int(-3).Op(OP_ASSIGN).Eoc().Line(3);
                      ForLoop(
                          a, "", [&] { a.Local(J).Local(A).Op(OP_LESS); }, false,
                          [&] {
                            sep();
                            a.Line(4).Local(S).Local(J).Op(OP_ASSIGN_ADD).Eoc();
                            a.Local(J).Op(OP_POST_INC).Eoc();
                            a.Line(5).Local(S).Int(3).Op(OP_ASSIGN_MUL).Eoc();
                          },
                          [] {});
                    }});
  shapes.push_back({"for (i = 2; !(i <= -3); i--) { s -= i * b; } (jump true)", [](Asm& a, const Sep& sep) {
                      a.Line(2).Local(I).Int(2).Op(OP_ASSIGN);
                      ForLoop(
                          a, "", [&] { a.Local(I).Int(-3).Op(OP_LESS_EQUAL); }, true,
                          [&] {
                            sep();
                            a.Line(3).Local(S).Local(I).Local(B).Op(OP_MUL).Op(OP_ASSIGN_SUB).Eoc();
                          },
                          [&] { a.Local(I).Op(OP_POST_DEC); });
                    }});
  // aarr = {1, 2, 2.5, b}: the float (and b when it is no int) stops the loop for that iteration.
  shapes.push_back({"for (i = 0; i < 7; i++) { arr[i % 4] += aarr[i % 4] * a; arr[3] *= i; }", [](Asm& a, const Sep& sep) {
                      a.Line(1).Int(0).Element(AARR).Int(1).Op(OP_ASSIGN).Eoc().Int(1).Element(AARR).Int(2);
                      a.Op(OP_ASSIGN).Eoc().Int(2).Element(AARR).Float(2.5f).Op(OP_ASSIGN).Eoc();
                      a.Int(3).Element(AARR).Local(B).Op(OP_ASSIGN).Eoc().Int(3).Element(ARR).Int(1).Op(OP_ASSIGN).Eoc();
                      ForI(a, sep, [&] { a.Local(I).Int(7).Op(OP_LESS); }, [&] {
                        a.Line(3).Local(I).Int(4).Op(OP_MOD).Element(ARR).Local(I).Int(4).Op(OP_MOD).Element(AARR);
                        a.Local(A).Op(OP_MUL).Op(OP_ASSIGN_ADD).Eoc();
                        a.Line(4).Int(3).Element(ARR).Local(I).Op(OP_ASSIGN_MUL).Eoc();
                      });
                    }});
  // The inner loop is taken as a whole; the outer one holds it and is not.
  shapes.push_back({"for (j = 0; j < 3; j++) { for (i = 0; i < a; i++) { s += i * j; } s += 1000; }",
                    [](Asm& a, const Sep& sep) {
                      a.Line(2).Local(J).Int(0).Op(OP_ASSIGN);
                      ForLoop(
                          a, "o", [&] { a.Local(J).Int(3).Op(OP_LESS); }, false,
                          [&] {
                            a.Line(3).Local(I).Int(0).Op(OP_ASSIGN);
                            ForLoop(
                                a, "i", [&] { a.Local(I).Local(A).Op(OP_LESS); }, false,
                                [&] {
                                  sep();
                                  a.Line(4).Local(S).Local(I).Local(J).Op(OP_MUL).Op(OP_ASSIGN_ADD).Eoc();
                                },
                                [&] { a.Local(I).Op(OP_POST_INC); });
                            a.Line(5).Local(S).Int(1000).Op(OP_ASSIGN_ADD).Eoc();
                          },
                          [&] { a.Local(J).Op(OP_POST_INC); });
                    }});
  shapes.push_back({"for (i = 0; i < 3; i++) { s = a / b; j = a % b; }", [](Asm& a, const Sep& sep) {
                      ForI(a, sep, [&] { a.Local(I).Int(3).Op(OP_LESS); }, [&] {
                        a.Line(3).Local(S).Local(A).Local(B).Op(OP_DIV).Op(OP_ASSIGN).Eoc();
                        a.Line(4).Local(J).Local(A).Local(B).Op(OP_MOD).Op(OP_ASSIGN).Eoc();
                      });
                    }});
  // "=" into an auto variable is never a register store: the loop keeps failing to start, and is
  // then left to its instructions.
  shapes.push_back({"for (i = 0; i < 30; i++) { x = i + a; }", [](Asm& a, const Sep& sep) {
                      a.Line(1).Local(X).Int(5).Op(OP_ASSIGN).Eoc();
                      ForI(a, sep, [&] { a.Local(I).Int(30).Op(OP_LESS); }, [&] {
                        a.Line(3).Local(X).Local(I).Local(A).Op(OP_ADD).Op(OP_ASSIGN).Eoc();
                      });
                    }});
  // Conditions of expressions: recomputed by each iteration, and stopping the loop themselves.
  shapes.push_back({"for (i = 0; i < a * 2 - 1; i++) { s += i; }", [](Asm& a, const Sep& sep) {
                      ForI(a, sep, [&] { a.Local(I).Local(A).Int(2).Op(OP_MUL).Int(1).Op(OP_SUB).Op(OP_LESS); }, [&] {
                        a.Line(3).Local(S).Local(I).Op(OP_ASSIGN_ADD).Eoc();
                      });
                    }});
  shapes.push_back({"for (i = 0; 24 / (a - i) > 1; i++) { s += i; } (divides by zero)", [](Asm& a, const Sep& sep) {
                      ForI(a, sep, [&] { a.Int(24).Local(A).Local(I).Op(OP_SUB).Op(OP_DIV).Int(1).Op(OP_GREATER); }, [&] {
                        a.Line(3).Local(S).Local(I).Op(OP_ASSIGN_ADD).Eoc();
                      });
                    }});
  shapes.push_back({"while (arr[j] < b) { arr[j] += 3; j = (j + 1) % 4; }", [](Asm& a, const Sep& sep) {
                      a.Line(2).Local(J).Int(0).Op(OP_ASSIGN).Eoc().Line(3);
                      ForLoop(
                          a, "", [&] { a.Local(J).Element(ARR).Local(B).Op(OP_LESS); }, false,
                          [&] {
                            sep();
                            a.Line(4).Local(J).Element(ARR).Int(3).Op(OP_ASSIGN_ADD).Eoc();
                            a.Line(5).Local(J).Local(J).Int(1).Op(OP_ADD).Int(4).Op(OP_MOD).Op(OP_ASSIGN).Eoc();
                          },
                          [] {});
                    }});
  // Shifts and bit operators, in the loop and in a statement of its own after it (both split
  // apart in the plain version).
  shapes.push_back({"for (i = 0; i < 12; i++) { s = (s << 3 | i) ^ (s >> b & a); } j = a << b | a >> 1 ^ b;",
                    [](Asm& a, const Sep& sep) {
                      ForI(a, sep, [&] { a.Local(I).Int(12).Op(OP_LESS); }, [&] {
                        a.Line(3).Local(S).Local(S).Int(3).Op(OP_SHIFT_LEFT).Local(I).Op(OP_BIT_OR);
                        sep();
                        a.Local(S).Local(B).Op(OP_SHIFT_RIGHT).Local(A).Op(OP_BIT_AND).Op(OP_BIT_XOR);
                        a.Op(OP_ASSIGN).Eoc();
                      });
                      a.Line(6).Local(J).Local(A).Local(B).Op(OP_SHIFT_LEFT);
                      sep();
                      a.Local(A).Int(1).Op(OP_SHIFT_RIGHT).Local(B).Op(OP_BIT_XOR).Op(OP_BIT_OR).Op(OP_ASSIGN).Eoc();
                    }});
  // "if" and "if ... else" inside the body, laid out as the code generator does (a braced branch
  // ends with a second "eoc").
  shapes.push_back({"for (i = 0; i < a; i++) { if (i % 3 == 0) { s += i; } else { s -= b; } if (s > 10) s = s / b; }",
                    [](Asm& a, const Sep& sep) {
                      ForI(a, sep, [&] { a.Local(I).Local(A).Op(OP_LESS); }, [&] {
                        a.Line(6).Local(I).Int(3).Op(OP_MOD).Int(0).Op(OP_EQUAL).JumpFalse("else");
                        a.Line(7).Local(S).Local(I).Op(OP_ASSIGN_ADD).Eoc().Eoc().Jump("join");
                        a.Label("else").Line(8).Line(9).Local(S).Local(B).Op(OP_ASSIGN_SUB).Eoc();
                        a.Label("join").Line(11).Local(S).Int(10).Op(OP_GREATER).JumpFalse("skip");
                        a.Local(S).Local(S).Local(B).Op(OP_DIV).Op(OP_ASSIGN).Eoc();
                        a.Label("skip").Eoc();
                      });
                    }});
  // The if's own condition reads an element out of range when j % 5 reaches 4.
  shapes.push_back({"while (j < a) { if (arr[j % 5] > b) s += j; j++; }", [](Asm& a, const Sep& sep) {
                      a.Line(1).Int(1).Element(ARR).Int(7).Op(OP_ASSIGN).Eoc();
                      a.Line(2).Local(J).Int(0).Op(OP_ASSIGN).Eoc().Line(3);
                      ForLoop(
                          a, "", [&] { a.Local(J).Local(A).Op(OP_LESS); }, false,
                          [&] {
                            sep();
                            a.Line(4).Local(J).Int(5).Op(OP_MOD).Element(ARR).Local(B).Op(OP_GREATER).JumpTrue("then");
                            a.Jump("skip");
                            a.Label("then").Line(5).Local(S).Local(J).Op(OP_ASSIGN_ADD).Eoc();
                            a.Label("skip").Line(6).Local(J).Op(OP_POST_INC).Eoc();
                          },
                          [] {});
                    }});
  return shapes;
}

std::vector<std::pair<Var, Var>> Operands() {
  return {{Var(5), Var(2)},         {Var(20), Var(-20)},   {Var(9), Var(0)},    {Var(-3), Var(7)},
          {Var(3), Var(-1)},        {Var(INT_MIN), Var(-1)}, {Var(12), Var(3)},  {Var(2.5f), Var(1)},
          {Var(4), Var(1.5f)},      {Var("ab"), Var(2)},   {Var(6), Var()},     {Var(true), Var(2)},
          {Var(0), Var(0)},         {Var(7), Var(-5)}};
}

std::string Outcome(const tRefPtr<Thread>& t) {
  const Var& r = t->GetReturnValue();
  const Frame* f = t->GetCurrentFrame();
  return krxtest::Describe(r) + (r.IsAuto() ? " auto" : "") + " state " + std::to_string(int(t->GetState())) +
         " error '" + t->m_lastError + "' line " + std::to_string(f ? f->m_line : -2) + " budget left " +
         std::to_string(t->GetStepBudget());
}

std::vector<int> g_hookLines;
void RecordLine(Thread&, Frame& frame) { g_hookLines.push_back(frame.m_line); }

class IntLoops : public krxtest::VmTest {
 protected:
  // Binds the shape as emitted ("f<n>") and split ("s<n>"), each ending either with a return of
  // what the loop changed, or with "none[<top of the stack>]", whose error shows the value the
  // loop left on the stack.
  void Bind(const Shape& shape, int n, bool probe) {
    for (bool split : {false, true}) {
      Asm a = NewAsm();
      a.ParamCpy();
      shape.code(a, [&a, split] {
        if (split) a.Op(OP_GROUP);
      });
      if (probe) {
        a.Element(NONE);
      } else {
        a.Line(9).FuncInit().Str("").Local(S).Op(OP_ADD);
        for (int slot : {I, J, X}) a.Str("|").Op(OP_ADD).Local(slot).Op(OP_ADD);
        for (int k = 0; k < 4; ++k) a.Str("|").Op(OP_ADD).Int(k).Element(ARR).Op(OP_ADD);
        a.Return();
      }
      a.Stop();
      BinCode* fn = Function(((split ? "s" : "f") + std::to_string(n)).c_str(), a, kSlots);
      VarTable& slots = fn->GetVarTable();
      slots.GetVariable(ARR)->SetArrayType(VT_INT);
      slots.GetVariable(ARR)->SetSize(4);
      slots.GetVariable(AARR)->SetArrayType(TYPE_AUTO);
      slots.GetVariable(AARR)->SetSize(4);
      slots.GetVariable(NONE)->SetArrayType(VT_INT);
    }
  }
  static std::string RunWith(const std::string& fn, const std::vector<Var>& args, int64_t budget) {
    tRefPtr<Thread> t(new Thread());
    t->m_moduleName = "m";
    t->m_reportName = "test";
    if (budget >= 0) t->SetStepBudget(budget);
    t->Start(fn.c_str(), false, args.data(), int(args.size()));
    return Outcome(t);
  }
  static std::vector<int64_t> Budgets() {
    // A large budget stands for none: a loop bound by a string never ends.
    std::vector<int64_t> budgets = {100000};
    for (int64_t b = 0; b <= 60; ++b) budgets.push_back(b);
    for (int64_t b = 65; b <= 240; b += 5) budgets.push_back(b);
    return budgets;
  }
};

TEST_F(IntLoops, EachLoopGivesTheResultsErrorsBudgetEndsStackAndLinesOfItsInstructions) {
  const std::vector<Shape> shapes = Shapes();
  for (size_t n = 0; n < shapes.size(); ++n) {
    Bind(shapes[n], int(2 * n), false);
    Bind(shapes[n], int(2 * n + 1), true);
  }
  st_DebugHooks hooks;
  hooks.lineHook = &RecordLine;
  int fakeDebugger = 0;
  int failures = 0;
  for (size_t n = 0; n < 2 * shapes.size() && failures < 20; ++n) {
    const std::string fused = "f" + std::to_string(n), split = "s" + std::to_string(n);
    for (const auto& [a, b] : Operands()) {
      SCOPED_TRACE(std::string(shapes[n / 2].name) + (n % 2 ? " (stack probe)" : "") + " with " +
                   krxtest::Describe(a) + ", " + krxtest::Describe(b));
      const std::vector<Var> args = {a, b};
      for (int64_t budget : Budgets()) {
        const std::string x = RunWith(fused, args, budget), y = RunWith(split, args, budget);
        EXPECT_EQ(x, y) << "budget " << budget;
        failures += x != y;
      }
      SetDebugHooks(&hooks);
      ScriptSystem::AttachDebugger(reinterpret_cast<Debugger*>(&fakeDebugger), [](Debugger*, const char*) {});
      std::vector<int> seen[2];
      for (int k = 0; k < 2; ++k) {
        g_hookLines.clear();
        RunWith(k ? split : fused, args, 100000);
        seen[k] = g_hookLines;
      }
      ScriptSystem::DetachDebugger();
      SetDebugHooks(nullptr);
      EXPECT_EQ(seen[0], seen[1]);
    }
  }
}

// ---- compiled scripts: without a hook the loops run whole, with one they run as instructions

class IntLoopScripts : public krxtest::CompileFixture {};

TEST_F(IntLoopScripts, CompiledLoopsGiveWhatTheirInstructionsGiveAtEveryBudget) {
  ASSERT_TRUE(Compile(R"(
function int sum(int n) {
  int s = 0;
  int i;
  for (i = 0; i < n; i++) {
    s += i;
  }
  return s;
}
function int mods(int n, int m) {
  int s = 0;
  int i;
  for (i = 0; i < n; i++) {
    s = s + i % m;
  }
  return s;
}
function int arrays(int n) {
  int a[10];
  int i;
  for (i = 0; i < n; i++) {
    a[i % 10] = a[(i + 1) % 10] + i;
  }
  return a[0] * 7 + a[9];
}
function int counts(int n) {
  int i = 0;
  int j = 0;
  while (i < n) {
    i++;
    j -= i * 3;
  }
  return i + j;
}
function int nested(int n) {
  int s = 0;
  int i;
  int j;
  for (j = 0; j < 4; j++) {
    for (i = j; i < n; i++) {
      s = s * 3 + i / (j - 2);
    }
  }
  return s;
}
function int ifs(int n, int m) {
  int s = 0;
  int i;
  for (i = 0; i < n; i++) {
    if (i % 3 == 0) {
      s += i;
    } else {
      s -= m;
    }
    if (s > 30) s = s / m;
  }
  return s;
}
function float floats(int n) {
  float f = 0.5;
  int i;
  for (i = 0; i < n; i++) {
    f = f * 2.0 + i;
  }
  return f;
}
)"))
      << AllMessages();
  st_DebugHooks hooks;
  hooks.lineHook = [](Thread&, Frame&) {};
  int fakeDebugger = 0;
  struct st_Call {
    const char* function;
    std::vector<Var> args;
  };
  const std::vector<st_Call> calls = {{"sum", {Var(25)}},    {"sum", {Var(0)}},    {"mods", {Var(30), Var(7)}},
                                      {"mods", {Var(9), Var(0)}}, {"arrays", {Var(23)}}, {"counts", {Var(11)}},
                                      {"nested", {Var(6)}},  {"floats", {Var(5)}},
                                      {"ifs", {Var(40), Var(2)}}, {"ifs", {Var(40), Var(0)}}};
  auto run = [](const st_Call& call, int64_t budget) {
    tRefPtr<Thread> t(new Thread());
    t->m_moduleName = "test";
    t->m_reportName = "test";
    if (budget >= 0) t->SetStepBudget(budget);
    t->Start(call.function, false, call.args.data(), int(call.args.size()));
    return Outcome(t);
  };
  for (const st_Call& call : calls) {
    SCOPED_TRACE(call.function);
    for (int64_t budget = -1; budget <= 130; ++budget) {
      const std::string whole = run(call, budget);
      SetDebugHooks(&hooks);
      ScriptSystem::AttachDebugger(reinterpret_cast<Debugger*>(&fakeDebugger), [](Debugger*, const char*) {});
      const std::string plain = run(call, budget);
      ScriptSystem::DetachDebugger();
      SetDebugHooks(nullptr);
      ASSERT_EQ(whole, plain) << "budget " << budget;
    }
  }
  // And the sums themselves, which both paths could get wrong alike.
  auto result = [](const char* fn, std::vector<Var> args) {
    return krxtest::RunNow("test", fn, args)->GetReturnValue().ToInt();
  };
  EXPECT_EQ(result("sum", {Var(25)}), 300);
  EXPECT_EQ(result("mods", {Var(30), Var(7)}), 4 * 21 + 0 + 1);
  EXPECT_EQ(result("counts", {Var(11)}), 11 - 3 * 66);
}

}  // namespace
}  // namespace intlooptest
