// The call path's shortcuts against the instructions they stand in for: arguments copied at the
// call, script functions and natives entered from their name's look-up through a remembered
// symbol, an int returned straight to the caller, frames that take a function's slots without
// its names. Each call shape runs as emitted, again with a no-op "group" before the callee's
// "paramcpy" and inside each name's look-up, and again with a debugger attached (every shortcut
// then steps aside); results, errors, the step budget's end and the line hook's calls must not
// differ.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "KRX/runtime/Interface.h"
#include "KRX/runtime/function_adapter.h"
#include "vm_fixture.h"

using namespace KRX;
using krxtest::Asm;
using krxtest::Slot;

namespace callpathtest {
namespace {

// Caller slots: a, b (auto parameters), i (int), s (string).
const std::vector<Slot> kCallerSlots = {{"a", TYPE_AUTO, true}, {"b", TYPE_AUTO, true}, {"i", VT_INT}, {"s", VT_STRING}};
enum { A = 0, B = 1, I = 2, S = 3 };

// Emits the callee's name: fused as the code generator emits it, or split so that it is read
// by the plain named look-up.
using NameFn = std::function<void(Asm&, const char*)>;
struct CallShape {
  const char* name;
  std::vector<Slot> calleeSlots;
  int returnType;
  std::function<void(Asm&, const NameFn&)> caller;  // calls the callee by the name "g"
  std::function<void(Asm&, const NameFn&)> callee;  // after "paramcpy"
};

// callee: return p - q * 2; (both int parameters), in register form or as plain instructions.
void IntReturn(Asm& c, const NameFn&) {
  c.Line(20).FuncInit().Local(0).Local(1).Int(2).Op(OP_MUL).Op(OP_SUB).Return();
}

std::vector<CallShape> Shapes() {
  const std::vector<Slot> twoInts = {{"p", VT_INT, true}, {"q", VT_INT, true}};
  std::vector<CallShape> shapes;
  shapes.push_back({"g(a, b) into int, int", twoInts, VT_INT,
                    [](Asm& a, const NameFn& name) {
                      a.Line(1).FuncInit().FuncInit().Local(A).Local(B);
                      name(a, "g");
                      a.Call().Return();
                    },
                    IntReturn});
  shapes.push_back({"g(a + 1, 7) twice, the result stored", twoInts, VT_INT,
                    [](Asm& a, const NameFn& name) {
                      a.Line(1).Local(I).FuncInit().Local(A).Int(1).Op(OP_ADD).Int(7);
                      name(a, "g");
                      a.Call().Op(OP_ASSIGN).Eoc();
                      a.Line(2).Local(I).FuncInit().Local(I).Local(B);
                      name(a, "g");
                      a.Call().Op(OP_ASSIGN).Eoc().FuncInit().Local(I).Return();
                    },
                    IntReturn});
  shapes.push_back({"g(a) with two parameters", twoInts, VT_INT,
                    [](Asm& a, const NameFn& name) {
                      a.Line(1).FuncInit().FuncInit().Local(A);
                      name(a, "g");
                      a.Call().Return();
                    },
                    IntReturn});
  shapes.push_back({"g(a, b, 3) with two parameters", twoInts, VT_INT,
                    [](Asm& a, const NameFn& name) {
                      a.Line(1).FuncInit().FuncInit().Local(A).Local(B).Int(3);
                      name(a, "g");
                      a.Call().Return();
                    },
                    IntReturn});
  shapes.push_back({"g() with none", {}, VT_INT,
                    [](Asm& a, const NameFn& name) {
                      a.Line(1).FuncInit().FuncInit();
                      name(a, "g");
                      a.Call().Local(A).Op(OP_ADD).Return();
                    },
                    [](Asm& c, const NameFn&) { c.Line(20).FuncInit().Int(5).Return(); }});
  shapes.push_back({"g(a, b) into auto, float", {{"p", TYPE_AUTO, true}, {"q", VT_FLOAT, true}}, TYPE_AUTO,
                    [](Asm& a, const NameFn& name) {
                      a.Line(1).FuncInit().FuncInit().Local(A).Local(B);
                      name(a, "g");
                      a.Call().Return();
                    },
                    [](Asm& c, const NameFn&) { c.Line(20).FuncInit().Local(1).Local(0).Op(OP_ADD).Return(); }});
  shapes.push_back({"g(b) with a default second", {{"p", VT_INT, true}, {"q", VT_INT, true, true, 40}}, VT_INT,
                    [](Asm& a, const NameFn& name) {
                      a.Line(1).FuncInit().FuncInit().Local(B);
                      name(a, "g");
                      a.Call().Return();
                    },
                    IntReturn});
  // Natives by name among the arguments: their arguments above the nearest marker.
  shapes.push_back({"g(Sum(a, b), Zero())", twoInts, VT_INT,
                    [](Asm& a, const NameFn& name) {
                      a.Line(1).FuncInit().FuncInit().FuncInit().Local(A).Local(B);
                      name(a, "Sum");
                      a.Call().FuncInit();
                      name(a, "Zero");
                      a.Call();
                      name(a, "g");
                      a.Call().Return();
                    },
                    IntReturn});
  // Local slots past the parameters start from the function's values at every call: a string
  // grown by one call is empty again at the next.
  shapes.push_back({"g(a, i) with a string local, three times", {{"p", VT_INT, true}, {"q", VT_INT, true}, {"t", VT_STRING}},
                    VT_STRING,
                    [](Asm& a, const NameFn& name) {
                      for (int k = 0; k < 3; ++k) {
                        a.Line(1 + k).Local(S).Local(S).FuncInit().Local(A).Local(I);
                        name(a, "g");
                        a.Call().Op(OP_ADD).Op(OP_ASSIGN).Eoc();
                        a.Local(I).Op(OP_POST_INC).Eoc();
                      }
                      a.FuncInit().Local(S).Return();
                    },
                    [](Asm& c, const NameFn&) {
                      c.Line(20).Local(2).Local(2).Local(0).Op(OP_ADD).Op(OP_ASSIGN).Eoc();
                      c.Line(21).Local(2).Local(2).Local(1).Op(OP_ADD).Op(OP_ASSIGN).Eoc();
                      c.FuncInit().Local(2).Str(";").Op(OP_ADD).Return();
                    }});
  // sum(n) = n + sum(n - 1) down to 0: the frames of one function at every depth, and the depth
  // limit for large arguments.
  shapes.push_back({"recursive g(a)", {{"n", VT_INT, true}}, VT_INT,
                    [](Asm& a, const NameFn& name) {
                      a.Line(1).FuncInit().FuncInit().Local(A);
                      name(a, "g");
                      a.Call().Return();
                    },
                    [](Asm& c, const NameFn& name) {
                      c.Line(20).Local(0).Int(0).Op(OP_LESS_EQUAL).JumpFalse("more");
                      c.FuncInit().Int(0).Return();
                      c.Label("more").Line(21).FuncInit().Local(0).FuncInit().Local(0).Int(1).Op(OP_SUB);
                      name(c, "g");
                      c.Call().Op(OP_ADD).Return();
                    }});
  return shapes;
}

std::vector<std::pair<Var, Var>> Operands() {
  Var none;
  return {{Var(3), Var(4)},       {Var(-20), Var(6)},     {Var(INT_MIN), Var(-1)}, {Var(2.5f), Var(3)},
          {Var("ab"), Var(1)},    {Var(1), Var("cd")},    {none, Var(2)},          {Var(true), Var(5)},
          {Var(5), Var(1.5f)},    {Var(40), Var(0)},      {Var(31), Var(2)}};
}

class CallPath : public krxtest::VmTest {
 protected:
  void SetUp() override {
    VmTest::SetUp();
    RegisterFunction(ScriptSystem::GetModule(), "Sum", +[](int x, int y) { return int(unsigned(x) + unsigned(y)); });
    RegisterFunction(ScriptSystem::GetModule(), "Zero", +[]() { return 0; });
  }
  // Binds caller "f<n>" and callee "g" in module "m<n>" (as emitted), and "s<n>" with its
  // callee in module "n<n>" (split).
  void Bind(const CallShape& shape, int n) {
    for (bool split : {false, true}) {
      const std::string moduleName = (split ? "n" : "m") + std::to_string(n);
      BinCode* module = krxtest::MakeModule(moduleName.c_str());
      const NameFn name = [split](Asm& a, const char* text) {
        a.Str(text);
        if (split) a.Op(OP_GROUP);
        a.PushVar(PUSHVAR_NAMED);
      };
      Asm c(krxtest::Vocab(module));
      if (split) c.Op(OP_GROUP);
      c.ParamCpy();
      shape.callee(c, name);
      c.Stop();
      krxtest::AddFunction(module, "g", c.Finish(), shape.calleeSlots, shape.returnType);
      Asm a(krxtest::Vocab(module));
      a.ParamCpy();
      shape.caller(a, name);
      a.Stop();
      krxtest::AddFunction(module, "f", a.Finish(), kCallerSlots);
    }
  }
  // With attached, a (stand-in) debugger is attached without hooks: every shortcut steps aside.
  static std::string RunWith(const std::string& module, const std::vector<Var>& args, int budget,
                             bool attached = false) {
    int fakeDebugger = 0;
    if (attached)
      ScriptSystem::AttachDebugger(reinterpret_cast<Debugger*>(&fakeDebugger), [](Debugger*, const char*) {});
    tRefPtr<Thread> t(new Thread());
    t->m_moduleName = module;
    t->m_reportName = "test";
    if (budget >= 0) t->SetStepBudget(budget);
    t->Start("f", false, args.data(), int(args.size()));
    if (attached) ScriptSystem::DetachDebugger();
    const Var& r = t->GetReturnValue();
    const Frame* top = t->GetCurrentFrame();
    return krxtest::Describe(r) + (r.IsAuto() ? " auto" : "") + " state " + std::to_string(t->GetState()) +
           " error '" + t->m_lastError + "' line " + std::to_string(top ? top->m_line : -2) + " depth " +
           std::to_string(t->m_frameIndex);
  }
};

TEST_F(CallPath, EachCallShapeGivesTheResultsErrorsBudgetEndsAndLinesOfItsInstructions) {
  const std::vector<CallShape> shapes = Shapes();
  for (size_t n = 0; n < shapes.size(); ++n) Bind(shapes[n], int(n));
  int failures = 0;
  for (size_t n = 0; n < shapes.size() && failures < 20; ++n) {
    const std::string fused = "m" + std::to_string(n), split = "n" + std::to_string(n);
    for (const auto& [a, b] : Operands()) {
      SCOPED_TRACE(std::string(shapes[n].name) + " with " + krxtest::Describe(a) + ", " + krxtest::Describe(b));
      const std::vector<Var> args = {a, b};
      for (int budget : {-1, 0, 1, 2, 3, 4, 5, 8, 13}) {
        const std::string x = RunWith(fused, args, budget), y = RunWith(split, args, budget);
        const std::string z = RunWith(fused, args, budget, true);
        EXPECT_EQ(x, y) << "budget " << budget;
        EXPECT_EQ(x, z) << "budget " << budget << ", a debugger attached";
        failures += x != y || x != z;
      }
      EXPECT_EQ(krxtest::HookedLines(fused.c_str(), "f", args), krxtest::HookedLines(split.c_str(), "f", args));
    }
  }
  // The shapes must have run their callees, not only failed before them.
  EXPECT_EQ(RunWith("m0", {Var(3), Var(4)}, -1).substr(0, 6), "int:-5");
  EXPECT_EQ(RunWith("m9", {Var(4), Var(0)}, -1).substr(0, 6), "int:10");
  EXPECT_EQ(RunWith("m7", {Var(4), Var(5)}, -1).substr(0, 5), "int:9");
}

// ---- the callee's name

// Caller "f" calls "g" by name three times, summing what it returns.
void BindNamedCaller(BinCode* module) {
  Asm a(krxtest::Vocab(module));
  a.ParamCpy().Line(1).Local(I).Int(0).Op(OP_ASSIGN).Eoc();
  for (int k = 0; k < 3; ++k) a.Line(2 + k).Local(I).Local(I).FuncInit().Global("g").Call().Op(OP_ADD).Op(OP_ASSIGN).Eoc();
  a.FuncInit().Local(I).Return().Stop();
  krxtest::AddFunction(module, "f", a.Finish(), kCallerSlots);
}

BinCode* Returning(BinCode* module, const char* name, int value) {
  Asm c(krxtest::Vocab(module));
  c.ParamCpy().Line(20).FuncInit().Int(value).Return().Stop();
  return krxtest::AddFunction(module, name, c.Finish(), {}, VT_INT);
}

TEST_F(CallPath, ARememberedCalleeFollowsItsSymbolThreadVariablesAndRemovals) {
  const std::vector<Var> kNoArgs = {Var(0), Var(0)};
  BindNamedCaller(m_module);
  tRefPtr<BinCode> one(Returning(m_module, "g", 1));  // kept for the thread variable below
  BinCode* ten = Returning(m_module, "ten", 10);
  EXPECT_EQ(krxtest::Describe(krxtest::RunNow("m", "f", kNoArgs)->GetReturnValue()), "int:3");
  // The symbol now names another function (no symbol is added or removed).
  m_module->Find("g")->SetModule(ten);
  EXPECT_EQ(krxtest::Describe(krxtest::RunNow("m", "f", kNoArgs)->GetReturnValue()), "int:30");
  // A thread variable of the name comes first, on that thread only.
  tRefPtr<Thread> shadowed(new Thread());
  shadowed->m_moduleName = "m";
  shadowed->m_reportName = "test";
  shadowed->m_variables["g"].SetModule(one.get());
  shadowed->Start("f", false, kNoArgs.data(), 2);
  EXPECT_EQ(krxtest::Describe(shadowed->GetReturnValue()), "int:3");
  EXPECT_EQ(krxtest::Describe(krxtest::RunNow("m", "f", kNoArgs)->GetReturnValue()), "int:30");
  // Removed, the name is no longer found.
  m_module->Erase("g");
  tRefPtr<Thread> gone = krxtest::RunNow("m", "f", kNoArgs);
  EXPECT_EQ(gone->GetState(), Thread::STATE_DEAD);
  EXPECT_NE(gone->m_lastError.find("undefinied variable 'g' found"), std::string::npos) << gone->m_lastError;
}

// ---- frames reused by other functions

std::string g_seen;
// Names and values of the calling frame's slots, and whether its names are its function's.
const char* DescribeFrame(t_Interface& in) {
  const Frame* frame = in.m_thread->GetCurrentFrame();
  g_seen.clear();
  for (int i = 0; i < frame->m_locals.GetCount(); ++i) {
    const char* name = frame->m_locals.GetName(i);
    g_seen += std::string(name ? name : "?") + "=" + krxtest::Describe(*frame->m_locals.GetVariable(i)) + " ";
  }
  const StringPool& own = frame->m_function->GetVarTable().GetNames();
  const StringPool& read = frame->m_locals.GetNames();
  const bool same = own.GetBlobSize() == read.GetBlobSize() &&
                    std::string(own.GetBlob(), size_t(own.GetBlobSize())) == std::string(read.GetBlob(), size_t(read.GetBlobSize()));
  g_seen += same ? "(names of its function)" : "(other names)";
  return g_seen.c_str();
}

TEST_F(CallPath, AFrameReusedByAnotherFunctionShowsThatFunctionsSlotsAndNames) {
  RegisterFunction(ScriptSystem::GetModule(), "DescribeFrame", &DescribeFrame);
  // wide(int p, string t, int arr[2]) changes its locals before describing them.
  Asm w = NewAsm();
  w.ParamCpy().Line(20).Local(1).Str("w").Op(OP_ASSIGN).Eoc().Int(1).Element(2).Int(9).Op(OP_ASSIGN).Eoc();
  w.FuncInit().FuncInit().Global("DescribeFrame").Call().Return().Stop();
  BinCode* wide = Function("wide", w, {{"p", VT_INT, true}, {"t", VT_STRING}, {"arr", VT_INT}}, VT_STRING);
  wide->GetVarTable().GetVariable(2)->SetArrayType(VT_INT);
  wide->GetVarTable().GetVariable(2)->SetSize(2);
  Asm n = NewAsm();
  n.ParamCpy().Line(30).FuncInit().FuncInit().Global("DescribeFrame").Call().Return().Stop();
  Function("narrow", n, {{"x", VT_INT, true}}, VT_STRING);
  // f: s = wide(a) + "|" + narrow(b) + "|" + wide(b), every call at depth 1.
  Asm a = NewAsm();
  a.ParamCpy().Line(1).Local(S).FuncInit().Local(A).Global("wide").Call().Str("|").Op(OP_ADD);
  a.FuncInit().Local(B).Global("narrow").Call().Op(OP_ADD).Str("|").Op(OP_ADD);
  a.FuncInit().Local(B).Global("wide").Call().Op(OP_ADD).Op(OP_ASSIGN).Eoc();
  a.FuncInit().Local(S).Return().Stop();
  Function("f", a, kCallerSlots);
  tRefPtr<Thread> t = krxtest::RunNow("m", "f", {Var(4), Var(5)});
  EXPECT_EQ(krxtest::Describe(t->GetReturnValue()),
            "string:p=int:4 t=string:w arr=array:int[2] (names of its function)|x=int:5 (names of its function)|"
            "p=int:5 t=string:w arr=array:int[2] (names of its function)")
      << t->m_lastError;
  // The function's own slots are untouched by its frames.
  EXPECT_EQ(wide->GetVarTable().GetVariable(1)->GetString() ? std::string(wide->GetVarTable().GetVariable(1)->GetString()) : "",
            "");
  EXPECT_EQ(wide->GetVarTable().GetVariable(2)->GetElement(1)->ToInt(), 0);
}

TEST(VarTableLayout, ATakenLayoutIsReadUntilTheTableChangesItsSlots) {
  auto layout = std::make_unique<VarTable>();
  int index = 0;
  layout->AddVariable("first", VT_INT, index)->SetInt(1);
  layout->AddVariable("second", VT_STRING, index)->SetString("two");
  VarTable frame;
  ASSERT_TRUE(frame.TakeLayout(*layout));
  EXPECT_STREQ(frame.GetName(1), "second");
  EXPECT_STREQ(frame.GetVariable(1)->GetString(), "two");
  EXPECT_NE(frame.GetVariable(1)->GetString(), layout->GetVariable(1)->GetString());
  EXPECT_EQ(frame.GetNames().GetBlob(), layout->GetNames().GetBlob());
  // Copies and added slots own their names: they outlive the layout.
  VarTable copy(frame);
  frame.AddVariable("third", VT_INT, index);
  layout.reset();
  EXPECT_STREQ(copy.GetName(0), "first");
  EXPECT_STREQ(copy.GetName(1), "second");
  EXPECT_STREQ(frame.GetName(1), "second");
  EXPECT_STREQ(frame.GetName(2), "third");
  // A smaller layout taken next: the slots past it are released, the names are the new ones.
  VarTable small;
  small.AddVariable("only", VT_FLOAT, index);
  ASSERT_TRUE(frame.TakeLayout(small));
  EXPECT_EQ(frame.GetCount(), 1);
  EXPECT_STREQ(frame.GetName(0), "only");
  EXPECT_EQ(frame.GetName(1), nullptr);
  EXPECT_EQ(frame.GetVariable(1), nullptr);
}

}  // namespace
}  // namespace callpathtest
