// The interpreter's shortcuts for strings appended in place, typed array elements, native calls,
// call markers, arithmetic stored by a statement, whole integer statements and returns in
// register form, and loop steps, each against the instructions it stands in for. Every shape
// runs as emitted and with a no-op "group" between its instructions, so that nothing is taken as
// a whole, over operand values that also make it fail; results, errors, the step budget's end
// and the line hook's calls must not differ.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/runtime/function_adapter.h"
#include "vm_fixture.h"

using namespace KRX;
using krxtest::Asm;
using krxtest::Slot;

namespace shortcutstest {
namespace {

// Slots: a, b (auto parameters), s, t (string), x (auto), arr (int[4]), farr (float[4]), i (int).
const std::vector<Slot> kSlots = {{"a", TYPE_AUTO, true}, {"b", TYPE_AUTO, true}, {"s", VT_STRING},
                                  {"t", VT_STRING},       {"x", TYPE_AUTO},      {"arr", VT_INT},
                                  {"farr", VT_FLOAT},     {"i", VT_INT}};
enum { A = 0, B = 1, S = 2, T = 3, X = 4, ARR = 5, FARR = 6, I = 7 };

using Sep = std::function<void()>;
using Code = std::function<void(Asm&, const Sep& sep)>;
struct Shape {
  Shape(const char* n, Code c, Code called = {}) : name(n), code(std::move(c)), callee(std::move(called)) {}
  const char* name;
  Code code;
  // When set: an int function of the same slots, bound beside the shape (split alike), which
  // the shape calls by the name in g_callee.
  Code callee;
};
std::string g_callee;

// s = <a's text>, then s = s + b appended as the statement ends or stays open.
void AppendShapes(std::vector<Shape>& shapes) {
  shapes.push_back({"s = s + b; eoc", [](Asm& a, const Sep& sep) {
                      a.Line(1).Local(S).Local(A).Op(OP_ASSIGN).Eoc();
                      a.Line(2).Local(S).Local(S).Local(B).Op(OP_ADD);
                      sep();
                      a.Op(OP_ASSIGN).Eoc().Line(3).FuncInit().Local(S).Return();
                    }});
  shapes.push_back({"s = s + b (no eoc)", [](Asm& a, const Sep& sep) {
                      a.Line(1).Local(S).Local(A).Op(OP_ASSIGN).Eoc();
                      a.Line(2).Local(S).Local(S).Local(B).Op(OP_ADD);
                      sep();
                      a.Op(OP_ASSIGN).FuncInit().Local(S).Return();
                    }});
  shapes.push_back({"s = s + s", [](Asm& a, const Sep& sep) {
                      a.Line(1).Local(S).Local(A).Op(OP_ASSIGN).Eoc();
                      a.Line(2).Local(S).Local(S).Local(S).Op(OP_ADD);
                      sep();
                      a.Op(OP_ASSIGN).Eoc().FuncInit().Local(S).Return();
                    }});
  shapes.push_back({"t = s + b leaves s", [](Asm& a, const Sep& sep) {
                      a.Line(1).Local(S).Local(A).Op(OP_ASSIGN).Eoc();
                      a.Line(2).Local(T).Local(S).Local(B).Op(OP_ADD);
                      sep();
                      a.Op(OP_ASSIGN).Eoc().FuncInit().Local(S).Str("|").Op(OP_ADD).Local(T).Op(OP_ADD).Return();
                    }});
  shapes.push_back({"x = x + b (auto)", [](Asm& a, const Sep& sep) {
                      a.Line(1).Local(X).Local(A).Op(OP_ASSIGN).Eoc();
                      a.Line(2).Local(X).Local(X).Local(B).Op(OP_ADD);
                      sep();
                      a.Op(OP_ASSIGN).Eoc().FuncInit().Local(X).Return();
                    }});
  // A loop that grows s over several blocks; a copy taken half-way must not see later appends.
  shapes.push_back({"appending loop", [](Asm& a, const Sep& sep) {
                      a.Line(1).Local(S).Local(A).Op(OP_ASSIGN).Eoc();
                      a.Line(2).Local(I).Int(0).Op(OP_ASSIGN).Eoc();
                      a.Label("top").Line(3).Local(I).Int(300).Op(OP_LESS).JumpFalse("end");
                      a.Line(4).Local(S).Local(S).Local(I).Op(OP_ADD);
                      sep();
                      a.Op(OP_ASSIGN).Eoc();
                      a.Line(5).Local(S).Local(S).Local(B).Op(OP_ADD);
                      sep();
                      a.Op(OP_ASSIGN).Eoc();
                      a.Local(I).Int(150).Op(OP_EQUAL).JumpFalse("skip");
                      a.Local(T).Local(S).Op(OP_ASSIGN).Eoc();
                      a.Label("skip").Local(I).Op(OP_POST_INC).Eoc().Jump("top");
                      a.Label("end").Line(6).FuncInit().Local(S).Str("|").Op(OP_ADD).Local(T).Op(OP_ADD).Return();
                    }});
}

// Elements of local arrays by a local index (x = a, so any value may be the index), read,
// written and as the second operand of arithmetic, comparisons and assignments.
void ElementShapes(std::vector<Shape>& shapes) {
  auto fill = [](Asm& a) {  // arr = {0, 7, -3, 9}, farr[1] = 2.5
    a.Line(1).Int(1).Element(ARR).Int(7).Op(OP_ASSIGN).Eoc().Int(2).Element(ARR).Int(-3).Op(OP_ASSIGN).Eoc();
    a.Int(3).Element(ARR).Int(9).Op(OP_ASSIGN).Eoc().Int(1).Element(FARR).Float(2.5f).Op(OP_ASSIGN).Eoc();
    a.Line(2).Local(X).Local(A).Op(OP_ASSIGN).Eoc();
  };
  shapes.push_back({"read arr[x]", [fill](Asm& a, const Sep& sep) {
                      fill(a);
                      a.Line(3).FuncInit().Local(X);
                      sep();
                      a.Element(ARR).Return();
                    }});
  shapes.push_back({"line, then write arr[x] = b", [fill](Asm& a, const Sep& sep) {
                      fill(a);
                      a.Line(3);
                      sep();
                      a.Local(X);
                      sep();
                      a.Element(ARR).Local(B).Op(OP_ASSIGN).Eoc();
                      a.FuncInit().Int(0).Element(ARR).Return();
                    }});
  for (int op : {OP_ADD, OP_SUB, OP_MOD, OP_DIV, OP_LESS, OP_NOT_EQUAL}) {
    for (int array : {ARR, FARR}) {
      shapes.push_back({"b op arr[x]", [fill, op, array](Asm& a, const Sep& sep) {
                          fill(a);
                          a.Line(3).FuncInit().Local(B);
                          sep();
                          a.Local(X);
                          sep();
                          a.Element(array);
                          sep();
                          a.Op(op).Return();
                        }});
    }
  }
  shapes.push_back({"b < arr[x], then branch", [fill](Asm& a, const Sep& sep) {
                      fill(a);
                      a.Line(3).Local(B);
                      sep();
                      a.Local(X);
                      sep();
                      a.Element(ARR).Op(OP_LESS).JumpFalse("no").FuncInit().Str("yes").Return();
                      a.Label("no").FuncInit().Str("no").Return();
                    }});
  shapes.push_back({"farr[x] = b", [fill](Asm& a, const Sep& sep) {
                      fill(a);
                      a.Line(3).Local(X).Element(FARR).Local(B);
                      sep();
                      a.Op(OP_ASSIGN).Eoc().FuncInit().Int(1).Element(FARR).Return();
                    }});
  for (int op : {OP_ASSIGN, OP_ASSIGN_ADD, OP_ASSIGN_SUB, OP_ASSIGN_MUL}) {
    for (int dest : {I, B, S}) {
      shapes.push_back({"d op= arr[x]; eoc", [fill, op, dest](Asm& a, const Sep& sep) {
                          fill(a);
                          a.Line(3).Local(dest);
                          sep();
                          a.Local(X);
                          sep();
                          a.Element(ARR);
                          sep();
                          a.Op(op).Eoc().FuncInit().Local(dest).Return();
                        }});
    }
  }
}

// Natives of plain and text signatures, called with any values: bad arguments fail alike.
void NativeShapes(std::vector<Shape>& shapes) {
  for (const char* native : {"Twice", "Half"}) {
    shapes.push_back({"native(a)", [native](Asm& a, const Sep& sep) {
                        a.Line(1).FuncInit().FuncInit().Local(A).Global(native);
                        sep();
                        a.Call().Return();
                      }});
  }
  shapes.push_back({"s = Join(a, b)", [](Asm& a, const Sep& sep) {
                      a.Line(1).Local(S).FuncInit().Local(A);
                      sep();
                      a.Local(B).Global("Join");
                      sep();
                      a.Call().Op(OP_ASSIGN).Eoc().FuncInit().Local(S).Return();
                    }});
}

// Call markers after a statement's line: one, two, and two before a local argument.
void MarkerShapes(std::vector<Shape>& shapes) {
  shapes.push_back({"line, marker, marker, call", [](Asm& a, const Sep& sep) {
                      a.Line(4);
                      sep();
                      a.FuncInit();
                      sep();
                      a.FuncInit().Local(A).Local(B).Op(OP_ADD).Global("Twice").Call().Return();
                    }});
  shapes.push_back({"line, marker, call", [](Asm& a, const Sep& sep) {
                      a.Line(4);
                      sep();
                      a.FuncInit().Int(3).Local(A).Op(OP_ADD).Global("Twice").Call().Eoc();
                      a.Line(5).FuncInit().Local(B).Return();
                    }});
  shapes.push_back({"marker, marker with a local argument", [](Asm& a, const Sep& sep) {
                      a.Line(4).FuncInit();
                      sep();
                      a.FuncInit().Local(A).Global("Twice").Call().Return();
                    }});
}

// d = (a - 1) op b; as a statement, into int, auto and string variables and an int element.
void StoreShapes(std::vector<Shape>& shapes) {
  // d = a op b; and d = b op arr[x]; of locals, taken with their operator as one step.
  for (int op : {OP_ADD, OP_MUL, OP_MOD, OP_LESS, OP_EQUAL}) {
    for (int dest : {I, X, S}) {
      for (bool element : {false, true}) {
        shapes.push_back({"d = a op b; eoc (locals)", [op, dest, element](Asm& a, const Sep& sep) {
                            a.Line(1).Int(1).Element(ARR).Int(7).Op(OP_ASSIGN).Eoc();
                            a.Line(2).Local(X).Local(A).Op(OP_ASSIGN).Eoc();
                            a.Line(3).Local(I).Int(5).Op(OP_ASSIGN).Eoc();
                            a.Line(4).Local(dest);
                            sep();
                            if (element) {
                              a.Local(B);
                              sep();
                              a.Local(X);
                              sep();
                              a.Element(ARR);
                            } else {
                              a.Local(A);
                              sep();
                              a.Local(B);
                            }
                            sep();
                            a.Op(op);
                            sep();
                            a.Op(OP_ASSIGN).Eoc().FuncInit().Local(dest).Return();
                          }});
      }
    }
  }
  for (int op : {OP_ADD, OP_SUB, OP_MUL, OP_DIV, OP_MOD, OP_CONCAT}) {
    for (int dest : {I, X, S, ARR}) {
      shapes.push_back({"d = (a - 1) op b; eoc", [op, dest](Asm& a, const Sep& sep) {
                          a.Line(1).Local(I).Int(5).Op(OP_ASSIGN).Eoc();
                          a.Line(2);
                          if (dest == ARR)
                            a.Int(1).Element(ARR);
                          else
                            a.Local(dest);
                          a.Local(A).Int(1).Op(OP_SUB).Local(B).Op(op);
                          sep();
                          a.Op(OP_ASSIGN).Eoc().FuncInit();
                          if (dest == ARR)
                            a.Int(1).Element(ARR);
                          else
                            a.Local(dest);
                          a.Return();
                        }});
    }
  }
}

// Whole integer statements of locals, constants and elements with + - * / %, and for loops
// stepping a local against a constant: into int, auto, string and element destinations, with
// division by zero, INT_MIN / -1, indexes out of range and float elements among the operands.
void IntStatementShapes(std::vector<Shape>& shapes) {
  auto setup = [](Asm& a) {  // arr = {0, 7, -3, 9}, x = a, i = 2
    a.Line(1).Int(1).Element(ARR).Int(7).Op(OP_ASSIGN).Eoc().Int(2).Element(ARR).Int(-3).Op(OP_ASSIGN).Eoc();
    a.Int(3).Element(ARR).Int(9).Op(OP_ASSIGN).Eoc();
    a.Line(2).Local(X).Local(A).Op(OP_ASSIGN).Eoc().Local(I).Int(2).Op(OP_ASSIGN).Eoc();
  };
  for (int op : {OP_ASSIGN, OP_ASSIGN_ADD, OP_ASSIGN_MUL}) {
    for (int dest : {I, X, S, ARR}) {
      // d op= (a + b * 3) % (b - 1) - arr[i];
      shapes.push_back({"d op= (a + b * 3) % (b - 1) - arr[i]", [setup, op, dest](Asm& a, const Sep& sep) {
                          setup(a);
                          a.Line(3);
                          if (dest == ARR)
                            a.Local(X).Element(ARR);
                          else
                            a.Local(dest);
                          a.Local(A).Local(B).Int(3).Op(OP_MUL).Op(OP_ADD).Local(B).Int(1).Op(OP_SUB);
                          sep();
                          a.Op(OP_MOD).Local(I).Element(ARR).Op(OP_SUB).Op(op).Eoc();
                          // t = d; d = b; then t | d: what d held, and whether it took b as it is.
                          auto target = [&a, dest] {
                            if (dest == ARR)
                              a.Local(X).Element(ARR);
                            else
                              a.Local(dest);
                          };
                          a.Line(4).Local(T);
                          target();
                          a.Op(OP_ASSIGN).Eoc();
                          target();
                          a.Local(B).Op(OP_ASSIGN).Eoc().FuncInit().Local(T).Str("|").Op(OP_ADD);
                          target();
                          a.Op(OP_ADD).Return();
                        }});
    }
  }
  for (int op : {OP_DIV, OP_MOD, OP_SUB}) {
    shapes.push_back({"arr[(a + 1) % 4] = arr[x] op b", [setup, op](Asm& a, const Sep& sep) {
                        setup(a);
                        a.Line(3).Local(A).Int(1).Op(OP_ADD).Int(4).Op(OP_MOD).Element(ARR).Local(X);
                        sep();
                        a.Element(ARR).Local(B).Op(op).Op(OP_ASSIGN).Eoc();
                        a.FuncInit().Int(0).Element(ARR).Int(1).Element(ARR).Op(OP_ADD).Int(2).Element(ARR).Op(OP_ADD);
                        a.Int(3).Element(ARR).Op(OP_ADD).Return();
                      }});
  }
  shapes.push_back({"i = farr[x] + 1", [setup](Asm& a, const Sep& sep) {
                      setup(a);
                      a.Line(3).Local(I).Local(X).Element(FARR).Int(1);
                      sep();
                      a.Op(OP_ADD).Op(OP_ASSIGN).Eoc().FuncInit().Local(I).Return();
                    }});
  shapes.push_back({"i = a - (b - (a - ... )) deeper than the register list", [](Asm& a, const Sep& sep) {
                      a.Line(1).Local(I);
                      for (int k = 0; k < 10; ++k) a.Local(k % 2 ? B : A);
                      sep();
                      for (int k = 0; k < 9; ++k) a.Op(OP_SUB);
                      a.Op(OP_ASSIGN).Eoc().FuncInit().Local(I).Return();
                    }});
  shapes.push_back({"arr[1] = a; arr[1] += b (constant index first)", [](Asm& a, const Sep& sep) {
                      a.Line(1).Int(1).Element(ARR).Local(A).Op(OP_ASSIGN).Eoc();
                      a.Line(2).Int(1);
                      sep();
                      a.Element(ARR).Local(B).Op(OP_ASSIGN_ADD).Eoc().FuncInit().Int(1).Element(ARR).Return();
                    }});
  // for (i = 0; i < 4; i++) { x = x + (i + a) % 3; } and counting down with i-- until i <= -2.
  for (bool down : {false, true}) {
    shapes.push_back({"for loop with a constant bound", [down](Asm& a, const Sep& sep) {
                        a.Line(1).Local(X).Local(B).Op(OP_ASSIGN).Eoc();
                        a.Line(2).Local(I).Int(down ? 2 : 0).Op(OP_ASSIGN).Eoc();
                        a.Label("top").Local(I).Int(down ? -2 : 4).Op(down ? OP_LESS_EQUAL : OP_LESS);
                        sep();
                        if (down)
                          a.JumpTrue("end");
                        else
                          a.JumpFalse("end");
                        a.Line(3).Local(X).Local(X).Local(I).Local(A).Op(OP_ADD).Int(3).Op(OP_MOD).Op(OP_ADD);
                        a.Op(OP_ASSIGN).Eoc();
                        a.Local(I).Op(down ? OP_POST_DEC : OP_POST_INC);
                        sep();
                        a.Jump("top");
                        a.Label("end").Line(4).FuncInit().Local(X).Return();
                      }});
  }
  // return e; of an int function called by a script function: e of any operands, after a line.
  auto caller = [](Asm& a, const Sep&) {
    a.Line(1).FuncInit().FuncInit().Local(A).Local(B).Global(g_callee.c_str()).Call().Return();
  };
  shapes.push_back({"int f(a, b) { return a; }", caller, [](Asm& a, const Sep& sep) {
                      a.Line(7).FuncInit();
                      sep();
                      a.Local(A).Return();
                    }});
  shapes.push_back({"int f(a, b) { return (a + b * 3) % (b - 1); }", caller, [](Asm& a, const Sep& sep) {
                      a.Line(7).FuncInit().Local(A).Local(B).Int(3).Op(OP_MUL).Op(OP_ADD);
                      sep();
                      a.Local(B).Int(1).Op(OP_SUB).Op(OP_MOD).Return();
                    }});
  shapes.push_back({"int f(a, b) { i = 2; return arr[b] - a / i; }", caller, [](Asm& a, const Sep& sep) {
                      a.Line(7).Local(I).Int(2).Op(OP_ASSIGN).Eoc().Int(2).Element(ARR).Int(-3).Op(OP_ASSIGN).Eoc();
                      a.FuncInit().Local(B).Element(ARR).Local(A).Local(I);
                      sep();
                      a.Op(OP_DIV).Op(OP_SUB).Return();
                    }});
  shapes.push_back({"for loop stepping the bound's variable", [](Asm& a, const Sep& sep) {
                      a.Line(1).Local(I).Int(0).Op(OP_ASSIGN).Eoc();
                      a.Label("top").Local(I).Int(3).Op(OP_LESS_EQUAL).JumpFalse("end");
                      a.Line(2).Local(X).Local(I).Op(OP_ASSIGN).Eoc();
                      a.Local(I).Op(OP_POST_INC);
                      sep();
                      a.Jump("top");
                      a.Label("end").Line(3).FuncInit().Local(I).Local(X).Op(OP_MUL).Return();
                    }});
}

std::vector<Shape> Shapes() {
  std::vector<Shape> shapes;
  AppendShapes(shapes);
  ElementShapes(shapes);
  NativeShapes(shapes);
  MarkerShapes(shapes);
  StoreShapes(shapes);
  IntStatementShapes(shapes);
  return shapes;
}

std::vector<std::pair<Var, Var>> Operands() {
  Var text("ab"), empty(""), none, withNul;
  withNul.SetString("x\0y", 3);
  Var label;
  label.SetLabel("lab");
  return {{text, Var("cd")}, {text, Var(-17)},   {empty, Var(INT_MIN)}, {text, Var(2.5f)}, {text, none},
          {text, Var(true)}, {Var(42), text},    {withNul, text},       {text, withNul},   {none, text},
          {text, label},     {Var(1.5f), Var(3)}, {Var(3), Var(4)},     {Var(-1), Var(0)},
          {Var(2), Var(5)},  {Var(1), Var(2.5f)}, {Var(4), Var(1)},     {Var(INT_MIN), Var(-1)},
          {Var(INT_MIN + 1), Var(-1)}, {Var(8), Var(0)}, {Var(-20), Var(6)}};
}

std::string Outcome(const tRefPtr<Thread>& t) {
  const Var& r = t->GetReturnValue();
  return krxtest::Describe(r) + (r.IsAuto() ? " auto" : "") + " count " + std::to_string(r.GetCount()) + " state " +
         std::to_string(int(t->GetState())) + " error '" + t->m_lastError + "'";
}

std::vector<int> g_hookLines;
void RecordLine(Thread&, Frame& frame) { g_hookLines.push_back(frame.m_line); }

class VmShortcuts : public krxtest::VmTest {
 protected:
  void SetUp() override {
    VmTest::SetUp();
    RegisterFunction(ScriptSystem::GetModule(), "Twice", +[](int v) { return int(unsigned(v) * 2u); });  // wraps
    RegisterFunction(ScriptSystem::GetModule(), "Half", +[](float v) { return v / 2.0f; });
    RegisterFunction(ScriptSystem::GetModule(), "Join", +[](const char* l, int r) -> const char* {
      static std::string joined;
      joined = std::string(l ? l : "(null)") + "/" + std::to_string(r);
      return joined.c_str();
    });
  }
  // Binds the shape as emitted ("f<n>") and split by "group"s ("s<n>").
  void Bind(const Shape& shape, int n) {
    for (bool split : {false, true}) {
      if (shape.callee) {
        g_callee = (split ? "cs" : "cf") + std::to_string(n);
        Asm c = NewAsm();
        c.ParamCpy();
        shape.callee(c, [&c, split] {
          if (split) c.Op(OP_GROUP);
        });
        c.Stop();
        BinCode* fn = Function(g_callee.c_str(), c, kSlots, VT_INT);
        fn->GetVarTable().GetVariable(ARR)->SetArrayType(VT_INT);
        fn->GetVarTable().GetVariable(ARR)->SetSize(4);
      }
      Asm a = NewAsm();
      a.ParamCpy();
      shape.code(a, [&a, split] {
        if (split) a.Op(OP_GROUP);
      });
      a.Stop();
      BinCode* fn = Function(((split ? "s" : "f") + std::to_string(n)).c_str(), a, kSlots);
      fn->GetVarTable().GetVariable(ARR)->SetArrayType(VT_INT);
      fn->GetVarTable().GetVariable(ARR)->SetSize(4);
      fn->GetVarTable().GetVariable(FARR)->SetArrayType(VT_FLOAT);
      fn->GetVarTable().GetVariable(FARR)->SetSize(4);
    }
  }
  // The outcome of one run with a step budget (-1: none), and the line the thread stopped at.
  static std::string RunWith(const std::string& fn, const std::vector<Var>& args, int budget) {
    tRefPtr<Thread> t(new Thread());
    t->m_moduleName = "m";
    t->m_reportName = "test";
    if (budget >= 0) t->SetStepBudget(budget);
    t->Start(fn.c_str(), false, args.data(), int(args.size()));
    return Outcome(t) + " line " + std::to_string(t->GetCurrentFrame() ? t->GetCurrentFrame()->m_line : -2);
  }
};

TEST_F(VmShortcuts, EachShapeGivesTheResultsErrorsBudgetEndsAndLinesOfItsInstructions) {
  const std::vector<Shape> shapes = Shapes();
  for (size_t n = 0; n < shapes.size(); ++n) Bind(shapes[n], int(n));
  st_DebugHooks hooks;
  hooks.lineHook = &RecordLine;
  int fakeDebugger = 0;
  int failures = 0;
  for (size_t n = 0; n < shapes.size() && failures < 20; ++n) {
    const std::string fused = "f" + std::to_string(n), split = "s" + std::to_string(n);
    for (const auto& [a, b] : Operands()) {
      SCOPED_TRACE(std::string(shapes[n].name) + " with " + krxtest::Describe(a) + ", " + krxtest::Describe(b));
      const std::vector<Var> args = {a, b};
      for (int budget : {-1, 0, 1, 2, 3, 5, 8, 11, 12}) {  // the loops end at 11 and 12
        const std::string x = RunWith(fused, args, budget), y = RunWith(split, args, budget);
        EXPECT_EQ(x, y) << "budget " << budget;
        failures += x != y;
      }
      SetDebugHooks(&hooks);
      ScriptSystem::AttachDebugger(reinterpret_cast<Debugger*>(&fakeDebugger), [](Debugger*, const char*) {});
      std::vector<int> seen[2];
      for (int k = 0; k < 2; ++k) {
        g_hookLines.clear();
        krxtest::RunNow("m", (k ? split : fused).c_str(), args);
        seen[k] = g_hookLines;
      }
      ScriptSystem::DetachDebugger();
      SetDebugHooks(nullptr);
      EXPECT_EQ(seen[0], seen[1]);
    }
  }
}

// ---- strings grown in place against the join of the general path

std::string Exact(const Var& v) {
  return krxtest::Describe(v) + " kind " + std::to_string(v.GetTypeByte()) + " count " + std::to_string(v.GetCount());
}

TEST(StringAppend, InPlaceGivesWhatTheOperatorGives) {
  std::vector<Var> values;
  for (const char* desc : {"s:abc", "s:", "c:const", "i:-42", "i:0", "f:2.5", "b:1", "n", "l:label"})
    values.push_back(krxtest::MakeVar(desc));
  Var autoText = krxtest::MakeVar("s:auto");
  autoText.SetAuto(true);
  values.push_back(autoText);
  Var withNul;
  withNul.SetString("ab\0cd", 5);
  values.push_back(withNul);
  int appended = 0;
  for (const Var& left : values) {
    for (const Var& right : values) {
      SCOPED_TRACE(Exact(left) + " += " + Exact(right));
      Var inPlace = left, general = left;
      const bool generalOk = Var::OpAdd(right, general);
      if (!inPlace.AppendInPlace(right)) {
        EXPECT_EQ(Exact(inPlace), Exact(left));
        continue;
      }
      ++appended;
      EXPECT_TRUE(generalOk);
      EXPECT_EQ(Exact(inPlace), Exact(general));
      // Again on the grown block, and a copy of it is a string of its own.
      const Var copy = inPlace;
      const std::string before = Exact(copy);
      ASSERT_TRUE(inPlace.AppendInPlace(right));
      ASSERT_TRUE(Var::OpAdd(right, general));
      EXPECT_EQ(Exact(inPlace), Exact(general));
      EXPECT_EQ(Exact(copy), before);
    }
  }
  EXPECT_GE(appended, 2 * 5);  // plain strings left, strings, a string(const) and ints right
}

TEST(StringAppend, GrowsOverManyBlocksAndStopsAtTheLengthCap) {
  Var s;
  s.SetString("");
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    ASSERT_TRUE(s.AppendInPlace(Var(i)));
    expected += std::to_string(i);
  }
  EXPECT_EQ(std::string(s.GetString()), expected);
  EXPECT_EQ(s.GetCount(), int(expected.size()));
  Var moved = static_cast<Var&&>(s);  // the block moves with the value and keeps growing
  ASSERT_TRUE(moved.AppendInPlace(krxtest::MakeVar("c:!")));
  EXPECT_EQ(std::string(moved.GetString()), expected + "!");

  std::string big(size_t(kMaxStringLength) - 1, 'x');
  Var full;
  full.SetString(big.c_str(), int(big.size()));
  ASSERT_TRUE(full.AppendInPlace(krxtest::MakeVar("c:y")));
  EXPECT_EQ(full.GetCount(), kMaxStringLength);
  EXPECT_FALSE(full.AppendInPlace(krxtest::MakeVar("c:z")));
  EXPECT_EQ(full.GetCount(), kMaxStringLength);
  EXPECT_FALSE(Var::OpAdd(krxtest::MakeVar("c:z"), full));
}

// ---- arrays

TEST(ArrayElements, GrownElementsAreTypedNilsOfEveryType) {
  for (int type : {int(VT_BOOL), int(VT_INT), int(VT_FLOAT), int(VT_STRING), int(VT_MODULE), int(VT_THREAD),
                   int(VT_BINARY), int(VT_CFUNCTION), TYPE_AUTO}) {
    SCOPED_TRACE(type);
    Var expected;
    expected.SetType(type);
    Var array;
    array.SetArrayType(type);
    ASSERT_TRUE(array.SetSize(2));
    array.GetElement(0)->SetString("kept");  // converted or refused by the element type, then kept
    ASSERT_TRUE(array.SetSize(300));
    for (int i = 2; i < 300; ++i) ASSERT_EQ(Exact(*array.GetElement(i)), Exact(expected)) << i;
    array.GetElement(299)->SetString("owned");  // released with the array
    ASSERT_TRUE(array.SetSize(1));
  }
}

}  // namespace
}  // namespace shortcutstest
