// The interpreter runs common local-variable statement shapes (compare and branch, assignments,
// arithmetic, post-increment, each with the statement's "line") as one step. Each shape here runs
// twice over many operand values: as emitted, and with a no-op "group" between its instructions
// so that nothing is fused. Results, errors, lines and hook calls must not differ.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "KRX/Interpreter/DebugHooks.h"
#include "vm_fixture.h"

using namespace KRX;
using krxtest::Asm;
using krxtest::Slot;

namespace fusedtest {
namespace {

// Slots: a, b (auto parameters), i (int), s (string), x (auto), arr (int[3]), j (int).
const std::vector<Slot> kSlots = {{"a", TYPE_AUTO, true}, {"b", TYPE_AUTO, true}, {"i", VT_INT}, {"s", VT_STRING},
                                  {"x", TYPE_AUTO},      {"arr", VT_INT},        {"j", VT_INT}};
enum { A = 0, B = 1, I = 2, S = 3, X = 4, ARR = 5, J = 6 };

struct Shape {
  const char* name;
  std::function<void(Asm&, const std::function<void()>& sep)> code;
};

std::vector<Shape> Shapes() {
  std::vector<Shape> shapes;
  const int compares[] = {OP_LESS, OP_LESS_EQUAL, OP_GREATER, OP_GREATER_EQUAL, OP_EQUAL, OP_NOT_EQUAL};
  for (int cmp : compares) {
    for (int jump : {OP_JUMP_FALSE, OP_JUMP_TRUE}) {
      shapes.push_back({"compare local/local then branch", [cmp, jump](Asm& a, const auto& sep) {
                          a.Line(7);
                          sep();
                          a.Local(A);
                          sep();
                          a.Local(B);
                          sep();
                          a.Op(cmp);
                          sep();
                          a.Branch(jump, "no").FuncInit().Str("yes").Return().Label("no").FuncInit().Str("no").Return();
                        }});
      shapes.push_back({"compare local/int then branch", [cmp, jump](Asm& a, const auto& sep) {
                          a.Local(A);
                          sep();
                          a.Int(100000);
                          sep();
                          a.Op(cmp);
                          sep();
                          a.Branch(jump, "no").FuncInit().Str("yes").Return().Label("no").FuncInit().Str("no").Return();
                        }});
    }
  }
  const int arith[] = {OP_ADD, OP_SUB, OP_MUL, OP_DIV, OP_MOD, OP_LESS, OP_EQUAL, OP_NOT_EQUAL, OP_GREATER_EQUAL};
  for (int op : arith) {
    shapes.push_back({"local op local", [op](Asm& a, const auto& sep) {
                        a.Line(7).FuncInit();
                        sep();
                        a.Local(A);
                        sep();
                        a.Local(B);
                        sep();
                        a.Op(op).Return();
                      }});
    for (int c : {0, -1, 3, -200}) {
      shapes.push_back({"local op int", [op, c](Asm& a, const auto& sep) {
                          a.FuncInit();
                          sep();
                          a.Line(7);
                          sep();
                          a.Local(A);
                          sep();
                          a.Int(c);
                          sep();
                          a.Op(op).Return();
                        }});
    }
  }
  const int assigns[] = {OP_ASSIGN, OP_ASSIGN_ADD, OP_ASSIGN_SUB, OP_ASSIGN_MUL};
  for (int op : assigns) {
    for (int dest : {A, I, S, X}) {
      shapes.push_back({"local op= local; eoc", [op, dest](Asm& a, const auto& sep) {
                          a.Line(7);
                          sep();
                          a.Local(dest);
                          sep();
                          a.Local(B);
                          sep();
                          a.Op(op);
                          sep();
                          a.Eoc().FuncInit().Local(dest).Return();
                        }});
      shapes.push_back({"local op= int (no eoc)", [op, dest](Asm& a, const auto& sep) {
                          a.Line(7);
                          sep();
                          a.Local(dest);
                          sep();
                          a.Int(-7);
                          sep();
                          a.Op(op);
                          sep();
                          // The target's reference stays below the call marker.
                          a.FuncInit().Local(dest).Return();
                        }});
    }
  }
  for (int op : {OP_POST_INC, OP_POST_DEC}) {
    shapes.push_back({"local X++ then jump", [op](Asm& a, const auto& sep) {
                        a.Line(7);
                        sep();
                        a.Local(A);
                        sep();
                        a.Op(op);
                        sep();
                        a.Jump("on").Label("on").FuncInit().Local(A).Return();
                      }});
    shapes.push_back({"local X++ value", [op](Asm& a, const auto& sep) {
                        a.FuncInit().Line(7);
                        sep();
                        a.Local(A);
                        sep();
                        a.Op(op).Return();
                      }});
  }
  shapes.push_back({"return a local", [](Asm& a, const auto& sep) {
                      a.Line(7).FuncInit();
                      sep();
                      a.Local(B);
                      sep();
                      a.Return();
                    }});
  shapes.push_back({"call with a local argument", [](Asm& a, const auto& sep) {
                      a.Line(7).FuncInit().FuncInit();
                      sep();
                      a.Local(A).Global("twice").Call().Return();
                    }});
  shapes.push_back({"line then a local read", [](Asm& a, const auto& sep) {
                      a.FuncInit().Line(7);
                      sep();
                      a.Local(A).Return();
                    }});
  // Array elements: read, written, an index missing, a non-array indexed.
  shapes.push_back({"element read", [](Asm& a, const auto& sep) {
                      a.Line(7).FuncInit().Local(A).Int(ARR);
                      sep();
                      a.PushVar(PUSHVAR_INDEXED).Return();
                    }});
  shapes.push_back({"element write", [](Asm& a, const auto& sep) {
                      a.Line(7).Local(A).Int(ARR);
                      sep();
                      a.PushVar(PUSHVAR_INDEXED).Local(B).Op(OP_ASSIGN).Eoc();
                      a.FuncInit().Local(A).Int(ARR).PushVar(PUSHVAR_INDEXED).Return();
                    }});
  shapes.push_back({"element without index", [](Asm& a, const auto& sep) {
                      a.Line(7).Int(ARR);
                      sep();
                      a.PushVar(PUSHVAR_INDEXED);
                    }});
  shapes.push_back({"element of a non-array", [](Asm& a, const auto& sep) {
                      a.Line(7).FuncInit().Int(1).Int(J);
                      sep();
                      a.PushVar(PUSHVAR_INDEXED).Return();
                    }});
  // A named function called at once: script, native, undefined, not a function.
  for (const char* callee : {"twice", "twiceInt", "TypeName", "nothing", "n"}) {
    shapes.push_back({"named call", [callee](Asm& a, const auto& sep) {
                        a.Line(7).FuncInit().FuncInit().Local(A).Global(callee);
                        sep();
                        a.Call().Return();
                      }});
  }
  return shapes;
}

std::vector<std::pair<Var, Var>> Operands() {
  Var text("12"), none;
  return {{Var(5), Var(3)},          {Var(100000), Var(100000)}, {Var(INT_MAX), Var(2)}, {Var(INT_MIN), Var(-1)},
          {Var(7), Var(0)},          {Var(2.5f), Var(2)},        {Var(4), Var(0.5f)},    {text, Var(3)},
          {Var(3), text},            {none, Var(1)},             {Var(1), none},         {Var(true), Var(1)},
          {Var(2), Var(9)},          {Var(-1), Var(9)},          {Var(3), Var(9)}};
}

std::string Outcome(const tRefPtr<Thread>& t) {
  const Var& r = t->GetReturnValue();
  return krxtest::Describe(r) + (r.IsAuto() ? " auto" : "") + " state " + std::to_string(int(t->GetState())) +
         " error '" + t->m_lastError + "'";
}

class VmFused : public krxtest::VmTest {
 protected:
  // Binds the shape fused ("f<n>") and split ("s<n>").
  void Bind(const Shape& shape, int n) {
    Asm fused = NewAsm();
    fused.ParamCpy();
    shape.code(fused, [] {});
    fused.Stop();
    SizeArray(Function(("f" + std::to_string(n)).c_str(), fused, kSlots));
    Asm split = NewAsm();
    split.ParamCpy();
    shape.code(split, [&split] { split.Op(OP_GROUP); });
    split.Stop();
    SizeArray(Function(("s" + std::to_string(n)).c_str(), split, kSlots));
  }
  static void SizeArray(BinCode* fn) {
    fn->GetVarTable().GetVariable(ARR)->SetArrayType(VT_INT);
    fn->GetVarTable().GetVariable(ARR)->SetSize(3);
  }
};

TEST_F(VmFused, EachShapeGivesTheSameResultsAndErrorsAsItsInstructions) {
  Asm twice = NewAsm();
  twice.ParamCpy().Line(3).FuncInit().Local(0).Int(2).Op(OP_MUL).Return().Stop();
  Function("twice", twice, {{"v", TYPE_AUTO, true}});
  Function("twiceInt", twice, {{"v", VT_INT, true}}, VT_INT);
  m_module->FindOrCreate("n", VT_INT)->SetInt(1);
  const std::vector<Shape> shapes = Shapes();
  for (size_t n = 0; n < shapes.size(); ++n) Bind(shapes[n], int(n));
  int failures = 0;
  for (size_t n = 0; n < shapes.size(); ++n) {
    for (const auto& [a, b] : Operands()) {
      const std::vector<Var> args = {a, b};
      const std::string fused = Outcome(krxtest::RunNow("m", ("f" + std::to_string(n)).c_str(), args));
      const std::string split = Outcome(krxtest::RunNow("m", ("s" + std::to_string(n)).c_str(), args));
      EXPECT_EQ(fused, split) << shapes[n].name << " #" << n << " with " << krxtest::Describe(a) << ", "
                              << krxtest::Describe(b);
      if (fused != split && ++failures > 20) return;
    }
  }
}

// A counting loop: for (a = 0; a < b; a++) { x += a; } with a line per statement.
void CountingLoop(Asm& a, bool split) {
  auto sep = [&a, split] {
    if (split) a.Op(OP_GROUP);
  };
  a.ParamCpy().Line(1).Local(X).Int(0).Op(OP_ASSIGN).Eoc();
  a.Line(2).Local(A).Int(0).Op(OP_ASSIGN).Eoc();
  a.Label("top").Line(2);
  sep();
  a.Local(A);
  sep();
  a.Local(B).Op(OP_LESS).JumpFalse("end");
  a.Line(3);
  sep();
  a.Local(X).Local(A).Op(OP_ASSIGN_ADD).Eoc();
  a.Local(A).Op(OP_POST_INC);
  sep();
  a.Jump("top");
  a.Label("end").Line(4).FuncInit().Local(X).Return().Stop();
}

std::vector<int> g_hookLines;
void RecordLine(Thread&, Frame& frame) { g_hookLines.push_back(frame.m_line); }

TEST_F(VmFused, LinesStepsAndHooksAreThoseOfTheInstructions) {
  Asm fused = NewAsm(), split = NewAsm();
  CountingLoop(fused, false);
  CountingLoop(split, true);
  Function("fused", fused, kSlots);
  Function("split", split, kSlots);
  const std::vector<Var> args = {Var(0), Var(5)};
  EXPECT_EQ(Outcome(krxtest::RunNow("m", "fused", args)), "int:10 auto state " +
                                                              std::to_string(int(Thread::STATE_FINISHED)) + " error ''");

  // A step budget ends both at the same line with the same text.
  for (int budget : {3, 4, 5, 6, 7, 11, 12}) {
    std::string outcome[2];
    int line[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
      tRefPtr<Thread> t(new Thread());
      t->m_moduleName = "m";
      t->m_reportName = "test";
      t->SetStepBudget(budget);
      t->Start(k ? "split" : "fused", false, args.data(), 2);
      outcome[k] = Outcome(t);
      line[k] = t->GetCurrentFrame() ? t->GetCurrentFrame()->m_line : -2;
    }
    EXPECT_EQ(outcome[0], outcome[1]) << "budget " << budget;
    EXPECT_EQ(line[0], line[1]) << "budget " << budget;
  }

  // With a debugger the line hook sees every line, in the same order.
  st_DebugHooks hooks;
  hooks.lineHook = &RecordLine;
  SetDebugHooks(&hooks);
  int fakeDebugger = 0;
  ScriptSystem::AttachDebugger(reinterpret_cast<Debugger*>(&fakeDebugger), [](Debugger*, const char*) {});
  std::vector<int> seen[2];
  for (int k = 0; k < 2; ++k) {
    g_hookLines.clear();
    krxtest::RunNow("m", k ? "split" : "fused", args);
    seen[k] = g_hookLines;
  }
  ScriptSystem::DetachDebugger();
  SetDebugHooks(nullptr);
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(seen[0].size(), 2u + 6u + 5u + 1u);
}

}  // namespace
}  // namespace fusedtest
