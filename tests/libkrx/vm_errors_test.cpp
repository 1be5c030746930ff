// Every run-time error of the interpreter: the text the thread keeps (with its file and line
// prefix), the line reported to the script output, and the thread left dead.
#include <gtest/gtest.h>

#include <functional>

#include "vm_fixture.h"

using namespace KRX;
using krxtest::Asm;
using krxtest::Slot;

namespace {

struct ErrorCase {
  const char* message;  // the expected text after the "test.krx(7) : " prefix
  std::function<void(Asm&)> code;
  std::vector<Slot> slots = {};
  int returnType = TYPE_AUTO;
  int line = 7;  // the callee's checks report the callee's line, -1 before its first line
};

class VmErrors : public krxtest::VmTest {};

TEST_F(VmErrors, EachFaultEndsTheThreadWithItsText) {
  m_module->FindOrCreate("n", VT_INT)->SetInt(1);
  m_module->FindOrCreate("nofn", VT_CFUNCTION);  // a native binding without adapter
  // Helpers called by the cases below.
  {
    Asm two = NewAsm();
    two.ParamCpy().Stop();
    Function("takesOne", two, {{"a", VT_INT, true}});
    Asm typed = NewAsm();
    typed.ParamCpy().FuncInit().Str("s").Return().Stop();
    Function("returnsInt", typed, {}, VT_INT);
    Asm voidRet = NewAsm();
    voidRet.ParamCpy().FuncInit().Int(1).Return().Stop();
    Function("voidReturn", voidRet, {}, VT_NIL);
  }
  const std::vector<ErrorCase> cases = {
      {"Int expected OP_LINE", [](Asm& a) { a.OpWith(OP_LINE, Var(1.5f)); }},
      {"Fatal: Accessing stack outside range at '+'", [](Asm& a) { a.Int(1).Op(OP_ADD); }},
      {"Fatal: Accessing stack outside range at '-X'", [](Asm& a) { a.Op(OP_UNARY_MINUS); }},
      {"missing variable name", [](Asm& a) { a.Int(1).PushVar(PUSHVAR_NAMED); }},
      {"missing array index", [](Asm& a) { a.Int(0).PushVar(PUSHVAR_INDEXED); }},
      {"missing module", [](Asm& a) { a.Str("x").PushVar(PUSHVAR_NAMED | PUSHVAR_MODULE); }},
      {"missing module name", [](Asm& a) { a.Int(3).Str("x").PushVar(PUSHVAR_NAMED | PUSHVAR_MODULE); }},
      {"module nomod not found", [](Asm& a) { a.Str("nomod").Str("x").PushVar(PUSHVAR_NAMED | PUSHVAR_MODULE); }},
      {"undefinied variable 'nothing' found", [](Asm& a) { a.Global("nothing"); }},
      {"undefinied variable 'm::nothing' found",
       [](Asm& a) { a.Str("m").Str("nothing").PushVar(PUSHVAR_NAMED | PUSHVAR_MODULE); }},
      {"undefinied variable '(unknown)' found", [](Asm& a) { a.Local(1); }, {{"only", VT_INT}}},
      {"trying to use an index [] with a non array", [](Asm& a) { a.Int(0).Str("n").PushVar(PUSHVAR_NAMED | PUSHVAR_INDEXED); }},
      {"index 2 is out of range", [](Asm& a) { a.Int(2).Element(0); }, {{"arr", VT_INT}}},
      {"index -1 is out of range", [](Asm& a) { a.Int(-1).Element(0); }, {{"arr", VT_INT}}},
      {"programm counter expected at OP_JUMP", [](Asm& a) { a.OpWith(OP_JUMP, Var(3)); }},
      {"fatal: unlinkt jump found to -1", [](Asm& a) { a.Jump("nowhere"); }},
      {"jump condition expected at OP_JUMP_TRUE", [](Asm& a) { a.JumpFalse("x").Label("x"); }},
      {"unexpected command found: OP_LABEL", [](Asm& a) { a.OpWith(OP_LABEL, Var(0)); }},
      {"Unsupported or invalid operation: 11 (label_tab)", [](Asm& a) { a.OpWith(OP_LABEL_TAB, Var(0)); }},
      {"Unsupported or invalid operation: 200 ((unknown en_Command))", [](Asm& a) { a.Op(200); }},
      {"Unsupported or invalid operation: 250 ((unknown en_Command))", [](Asm& a) { a.Op(250); }},
      {"Unsupported or invalid operation: 255 ((unknown en_Command))", [](Asm& a) { a.Op(255); }},
      {"Unsupported or invalid operation: 64 ((unknown en_Command))", [](Asm& a) { a.OpWith(64, Var(1)); }},
      {"Fatal: Trying to increment a non lvalue", [](Asm& a) { a.Int(1).Op(OP_PRE_INC); }},
      {"Fatal: Trying to decrement a non lvalue", [](Asm& a) { a.Int(1).Op(OP_PRE_DEC); }},
      {"Unable to execute unary operation 'neg' on value 'a'", [](Asm& a) { a.Str("a").Op(OP_NEG); }},
      {"Unable to execute unary operation '-X' on value 'a'", [](Asm& a) { a.Str("a").Op(OP_UNARY_MINUS); }},
      {"Sorry, the unary operation (unknown en_Command) is not implemented yet", [](Asm& a) { a.Int(1).Op(134); }},
      {"Fatal: Unable to execute X-- on non lvalue", [](Asm& a) { a.Int(1).Op(OP_POST_DEC); }},
      {"Unable to execute binary operation '/' on value 1(int) and 0(int)", [](Asm& a) { a.Int(1).Int(0).Op(OP_DIV); }},
      {"ScriptVM::_DoAssign - InternalError: Missing paramters on assign(=)", [](Asm& a) { a.Int(1).Op(OP_ASSIGN); }},
      {"Can only assign(*=) values to lvalues", [](Asm& a) { a.Int(1).Int(2).Op(OP_ASSIGN_MUL); }},
      {"Unable to assign(=) the value abc(type string(const)) to a int variable",
       [](Asm& a) { a.Local(0).Str("abc").Op(OP_ASSIGN); }, {{"i", VT_INT}}},
      {"fatal: to less arguments on stack at function call", [](Asm& a) { a.Global("takesOne").Call(); }},
      {"trying to call a non function", [](Asm& a) { a.FuncInit().Global("n").Call(); }},
      {"C-Function not found", [](Asm& a) { a.FuncInit().Global("nofn").Call(); }},
      {"asm code is corrupted - no beginning 'OP_INIT_FUNC' found before function call",
       [](Asm& a) { a.Int(1).Global("nofn").Call(); }},
      {"Try to call the function 'takesOne' which is defined with 1 paramters with 2 values.",
       [](Asm& a) { a.FuncInit().Int(1).Int(2).Global("takesOne").Call(); }, {}, TYPE_AUTO, -1},
      {"Unable to initialize the parameter 1 of function call of 'takesOne'. A parameter from the type 'int' was "
       "expected, but it was found a value of the type 'string(const)'",
       [](Asm& a) { a.FuncInit().Str("x").Global("takesOne").Call(); }, {}, TYPE_AUTO, -1},
      {"Missing parameters at function call of 'takesOne'. The parameter 1 is missing.",
       [](Asm& a) { a.FuncInit().Global("takesOne").Call(); }, {}, TYPE_AUTO, -1},
      {"can only return one value on return", [](Asm& a) { a.FuncInit().Int(1).Int(2).Return(); }},
      {"asm code is corrupted - no beginning 'OP_INIT_FUNC' found before function call", [](Asm& a) { a.Int(1).Return(); }},
      {"return: missing return value (int)", [](Asm& a) { a.FuncInit().Return(); }, {}, VT_INT},
      {"return: missing return value (float)", [](Asm& a) { a.Stop(); }, {}, VT_FLOAT},
      {"void functions cannot return a value", [](Asm& a) { a.FuncInit().Int(1).Return(); }, {}, VT_NIL},
      {"A int function cannot return a string(const) value.", [](Asm& a) { a.FuncInit().Str("s").Return(); }, {}, VT_INT},
      {"return: cannot auto convert from string(const) to int", [](Asm& a) { a.FuncInit().Global("returnsInt").Call(); }, {}, TYPE_AUTO, -1},
  };
  int n = 0;
  for (const ErrorCase& c : cases) {
    std::string name = "e" + std::to_string(n++);
    Asm a = NewAsm();
    a.ParamCpy().Line(7);
    c.code(a);
    a.Stop();
    BinCode* fn = Function(name.c_str(), a, c.slots, c.returnType);
    if (!c.slots.empty() && std::string(c.slots[0].name) == "arr") {
      fn->GetVarTable().GetVariable(0)->SetArrayType(VT_INT);
      fn->GetVarTable().GetVariable(0)->SetSize(2);
    }
    Log().clear();
    auto t = krxtest::RunNow("m", name.c_str());
    const std::string expect = "test.krx(" + std::to_string(c.line) + ") : " + c.message;
    EXPECT_EQ(t->GetState(), Thread::STATE_DEAD) << name << " " << c.message;
    EXPECT_EQ(t->m_lastError, expect) << name;
    EXPECT_EQ(t->m_errorFlag, 1) << name;
    EXPECT_NE(Log().find(expect), std::string::npos) << name << " log: " << Log();
  }
}

TEST_F(VmErrors, SilentFailuresKillTheThreadWithoutText) {
  // ++ on a string target and the reserved post-fix opcodes fail without a message.
  Asm a = NewAsm();
  a.ParamCpy().Line(1).Local(0).Str("x").Op(OP_ASSIGN).Eoc().Local(0).Op(OP_PRE_INC).Stop();
  Function("inc", a, {{"s", VT_STRING}});
  auto t = krxtest::RunNow("m", "inc");
  EXPECT_EQ(t->GetState(), Thread::STATE_DEAD);
  EXPECT_EQ(t->m_errorFlag, 0);
  EXPECT_TRUE(t->m_lastError.empty());
  Asm b = NewAsm();
  b.ParamCpy().Int(1).Op(150).Stop();
  Function("post", b);
  EXPECT_EQ(krxtest::RunNow("m", "post")->GetState(), Thread::STATE_DEAD);
}

TEST_F(VmErrors, MissingCodeAndRunningPastTheEnd) {
  auto* fn = new BinCode();
  m_module->FindOrCreate("nocode", VT_MODULE)->SetModule(fn);
  fn->SetParent(m_module);
  auto t = krxtest::RunNow("m", "nocode");
  EXPECT_EQ(t->GetState(), Thread::STATE_DEAD);
  EXPECT_TRUE(krxtest::EndsWith(t->m_lastError, "No code specified for executing"));
  // Code without "stop": the run ends with the thread still running, which makes it dead.
  Asm a = NewAsm();
  a.ParamCpy().Int(1);
  Function("open", a);
  EXPECT_EQ(krxtest::RunNow("m", "open")->GetState(), Thread::STATE_DEAD);
}

TEST_F(VmErrors, ErrorsInNestedCallsNameTheInnerLine) {
  Asm inner = NewAsm();
  inner.ParamCpy().Line(20).Int(1).Int(0).Op(OP_MOD).Stop();
  Function("inner", inner);
  Asm outer = NewAsm();
  outer.ParamCpy().Line(3).FuncInit().Global("inner").Call().Eoc().Line(4).Stop();
  Function("outer", outer);
  auto t = krxtest::RunNow("m", "outer");
  EXPECT_EQ(t->GetState(), Thread::STATE_DEAD);
  EXPECT_EQ(t->m_lastError, "test.krx(20) : Unable to execute binary operation '%' on value 1(int) and 0(int)");
}

TEST_F(VmErrors, RuntimeErrorWithoutFrameUsesTheNativePrefix) {
  Thread t;
  t.RuntimeError(nullptr, "bad %d", 3);
  EXPECT_EQ(t.m_lastError, "c-call(---) : bad 3");
  EXPECT_NE(Log().find("c-call(-1) : bad 3"), std::string::npos);
  t.RuntimeError(nullptr, nullptr);
  EXPECT_EQ(t.m_errorFlag, 0);
  EXPECT_TRUE(t.m_lastError.empty());
}

}  // namespace
