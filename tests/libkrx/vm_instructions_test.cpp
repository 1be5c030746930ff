// Instruction semantics of the interpreter on assembled code: expressions, variables, jumps,
// switch tables, assignment with conversion and the listing.
#include <gtest/gtest.h>

#include <functional>

#include "KRX/compiler/Listing.h"
#include "vm_fixture.h"

using namespace KRX;
using krxtest::Asm;
using krxtest::Slot;

namespace {

class VmInstructions : public krxtest::VmTest {
 protected:
  // Runs "return <body>" and gives the thread's return value as "type:text".
  // Statements run first when given.
  std::string Eval(const std::function<void(Asm&)>& body, const std::vector<Slot>& slots = {},
                   const std::function<void(Asm&)>& statements = nullptr) {
    Asm a = NewAsm();
    a.ParamCpy().Line(1);
    if (statements) statements(a);
    a.FuncInit();
    body(a);
    a.Return().Stop();
    auto t = Run(a, slots);
    EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED) << t->m_lastError;
    return krxtest::Describe(t->GetReturnValue());
  }
};

TEST_F(VmInstructions, ExpressionsEvaluateOnTheValueStack) {
  EXPECT_EQ(Eval([](Asm& a) { a.Int(2).Int(3).Int(4).Op(OP_MUL).Op(OP_ADD); }), "int:14");
  EXPECT_EQ(Eval([](Asm& a) { a.Int(7).Int(2).Op(OP_SUB).Op(OP_UNARY_MINUS); }), "int:-5");
  EXPECT_EQ(Eval([](Asm& a) { a.Int(5).Op(OP_NEG); }), "int:-6");
  EXPECT_EQ(Eval([](Asm& a) { a.Int(1).Str("a").Op(OP_CONCAT); }), "string:1a");
  EXPECT_EQ(Eval([](Asm& a) { a.Int(3).Int(3).Op(OP_LESS_EQUAL).Op(OP_NOT); }), "bool:false");
  EXPECT_EQ(Eval([](Asm& a) { a.Int(1).Int(4).Op(OP_SHIFT_LEFT).Int(3).Op(OP_BIT_OR); }), "int:19");
  // A constant string returned from the first frame is the thread's own copy.
  EXPECT_EQ(Eval([](Asm& a) { a.Str("text"); }), "string:text");
}

TEST_F(VmInstructions, LocalsAssignWithConversionAndIncrement) {
  const std::vector<Slot> slots = {{"i", VT_INT}, {"s", VT_STRING}, {"a", TYPE_AUTO}};
  // int i = 2.7 truncates toward zero.
  EXPECT_EQ(Eval([](Asm& a) { a.Local(0).Float(-2.7f).Op(OP_ASSIGN); }, slots), "int:-2");
  // s += "x" twice concatenates.
  EXPECT_EQ(Eval([](Asm& a) { a.Local(1).Int(1).Op(OP_ASSIGN_ADD); }, slots,
                 [](Asm& a) {
                   a.Local(1).Str("ab").Op(OP_ASSIGN).Eoc();
                   a.Local(1).Str("x").Op(OP_ASSIGN_ADD).Eoc();
                 }),
            "string:abx1");
  // Post-increment yields the old value, the variable moves on; pre-increment yields the variable.
  auto five = [](Asm& a) { a.Local(0).Int(5).Op(OP_ASSIGN).Eoc(); };
  EXPECT_EQ(Eval([](Asm& a) { a.Local(0).Op(OP_POST_INC).Local(0).Op(OP_ADD); }, slots, five), "int:11");
  EXPECT_EQ(Eval([](Asm& a) { a.Local(0).Op(OP_PRE_DEC); }, slots, five), "int:4");
  // auto takes the type of what it is given.
  EXPECT_EQ(Eval([](Asm& a) { a.Local(2).Float(1.5f).Op(OP_ASSIGN); }, slots), "float:1.500000");
}

// "d = v" stores what Var::AssignTyped stores, the interpreter's int-to-int shortcut included,
// and fails where it fails.
TEST_F(VmInstructions, StoresConvertAsAssignTypedDoes) {
  const int types[] = {VT_INT, VT_FLOAT, VT_BOOL, VT_STRING, TYPE_AUTO};
  const Var values[] = {Var(5), Var(-3), Var(2.75f), Var(true), Var("12"), Var("x"), Var()};
  int n = 0;
  for (int type : types) {
    for (const Var& value : values) {
      Var arg, expected;
      arg.SetType(TYPE_AUTO);
      ASSERT_TRUE(arg.AssignTyped(value));
      expected.SetType(type);
      const std::string want = expected.AssignTyped(arg) ? krxtest::Describe(expected) : "failed";
      // Into a local as one fused step, into a local instruction by instruction, into element 1
      // of an array of the type.
      for (int shape = 0; shape < (type == TYPE_AUTO ? 2 : 3); ++shape) {
        Asm a = NewAsm();
        a.ParamCpy().Line(1);
        if (shape == 2)
          a.Int(1).Int(1).PushVar(PUSHVAR_INDEXED);  // index, then the slot
        else
          a.Local(1);
        if (shape == 1) a.Op(OP_GROUP);
        a.Local(0).Op(OP_ASSIGN).Eoc().FuncInit();
        if (shape == 2)
          a.Int(1).Int(1).PushVar(PUSHVAR_INDEXED);  // index, then the slot
        else
          a.Local(1);
        a.Return().Stop();
        const std::string name = "store" + std::to_string(n++);
        BinCode* fn = Function(name.c_str(), a, {{"v", TYPE_AUTO, true}, {"d", type}});
        if (shape == 2) {
          fn->GetVarTable().GetVariable(1)->SetArrayType(type);
          fn->GetVarTable().GetVariable(1)->SetSize(3);
        }
        auto t = krxtest::RunNow("m", name.c_str(), {value});
        const std::string got =
            t->GetState() == Thread::STATE_FINISHED ? krxtest::Describe(t->GetReturnValue()) : "failed";
        EXPECT_EQ(got, want) << "shape " << shape << " type " << type << " value " << krxtest::Describe(value);
      }
    }
  }
}

TEST_F(VmInstructions, PushVarResolvesNamesModulesAndElements) {
  m_module->FindOrCreate("g", VT_INT)->SetInt(40);
  BinCode* other = krxtest::MakeModule("other");
  other->FindOrCreate("x", VT_INT)->SetInt(2);
  ScriptSystem::GetRoot()->FindOrCreate("r", VT_INT)->SetInt(9);  // the root is m's parent
  EXPECT_EQ(Eval([](Asm& a) { a.Global("g").Str("other").Str("x").PushVar(PUSHVAR_NAMED | PUSHVAR_MODULE).Op(OP_ADD); }),
            "int:42");
  EXPECT_EQ(Eval([](Asm& a) { a.Global("r"); }), "int:9");

  // Arrays: arr[1] = 7; return arr[1] + arr[0]
  const std::vector<Slot> slots = {{"arr", VT_INT}};
  Asm a = NewAsm();
  a.ParamCpy().Line(1);
  a.Int(1).Local(0).Int(3).Op(OP_ASSIGN).Eoc();  // not an array yet: plain int store
  Function("unused", a.Stop());
  auto code = [](Asm& b) {
    b.Int(1).Element(0).Int(7).Op(OP_ASSIGN).Eoc();
    b.FuncInit().Int(1).Element(0).Int(0).Element(0).Op(OP_ADD);
  };
  Asm f = NewAsm();
  f.ParamCpy().Line(1);
  code(f);
  f.Return().Stop();
  BinCode* fn = Function("arrays", f, slots);
  fn->GetVarTable().GetVariable(0)->SetArrayType(VT_INT);
  fn->GetVarTable().GetVariable(0)->SetSize(2);
  auto t = krxtest::RunNow("m", "arrays");
  EXPECT_EQ(krxtest::Describe(t->GetReturnValue()), "int:7") << t->m_lastError;

  // Name look-ups are cached, but a new symbol nearer to the function is seen at once.
  {
    Asm c = NewAsm();
    c.ParamCpy().FuncInit().Global("g").Return().Stop();
    BinCode* cached = Function("cached", c);
    EXPECT_EQ(krxtest::RunNow("m", "cached")->GetReturnValue().ToInt(), 40);
    m_module->Find("g")->SetInt(41);
    EXPECT_EQ(krxtest::RunNow("m", "cached")->GetReturnValue().ToInt(), 41);
    cached->FindOrCreate("g", VT_INT)->SetInt(5);
    EXPECT_EQ(krxtest::RunNow("m", "cached")->GetReturnValue().ToInt(), 5);
    cached->Erase("g");
    EXPECT_EQ(krxtest::RunNow("m", "cached")->GetReturnValue().ToInt(), 41);
    m_module->Find("g")->SetInt(40);
  }

  // A name constant without vocabulary reads "#<offset>"; an offset outside the vocabulary
  // gives a constant without text, which names nothing.
  {
    auto* bare = new BinCode();
    ScriptSystem::GetRoot()->FindOrCreate("bare", VT_MODULE)->SetModule(bare);
    bare->FindOrCreate("#7", VT_INT)->SetInt(70);
    Asm b;  // no vocabulary: offsets are written as given
    b.ParamCpy().FuncInit().Raw({OP_PUSH_VALUE, VT_CONSTSTRING, 7, 0, 0, 0}).PushVar(PUSHVAR_NAMED).Return().Stop();
    krxtest::AddFunction(bare, "f", b.Finish());
    tRefPtr<Thread> bareThread(new Thread());
    bareThread->m_moduleName = "bare";
    bareThread->Start("f", false, nullptr, 0);
    EXPECT_EQ(krxtest::Describe(bareThread->GetReturnValue()), "int:70") << bareThread->m_lastError;
    Asm o = NewAsm();
    o.ParamCpy().Line(1).Raw({OP_PUSH_VALUE, VT_CONSTSTRING, 0, 0, 1, 0}).PushVar(PUSHVAR_NAMED).Stop();
    Function("outside", o);
    EXPECT_TRUE(krxtest::EndsWith(krxtest::RunNow("m", "outside")->m_lastError, "missing variable name"));
  }

  // The thread's own variables shadow every module.
  auto shadow = new Thread();
  tRefPtr<Thread> hold(shadow);
  shadow->m_variables["g"] = Var(1);
  shadow->m_moduleName = "m";
  Asm s = NewAsm();
  s.ParamCpy().FuncInit().Global("g").Return().Stop();
  Function("shadow", s);
  shadow->Start("shadow", false, nullptr, 0);
  EXPECT_EQ(krxtest::Describe(shadow->GetReturnValue()), "int:1");
}

TEST_F(VmInstructions, ConditionalJumpsTestAndPopAsDocumented) {
  struct Case {
    std::function<void(Asm&)> value;
    int opcode;
    const char* expect;  // "jumped" or "fell", and what stays on the stack
  };
  auto jf = [](Asm& a) { a.Bool(false); };
  auto text = [](Asm& a) { a.Str("x"); };
  auto nil = [](Asm& a) { a.Nil(); };
  const Case cases[] = {
      {jf, OP_JUMP_TRUE, "fell 0"},        {jf, OP_JUMP_TRUE_NOREMOVE, "fell 1"},
      {jf, OP_JUMP_FALSE, "jumped 0"},     {jf, OP_JUMP_FALSE_NOREMOVE, "jumped 1"},
      {text, OP_JUMP_TRUE, "jumped 0"},    {text, OP_JUMP_FALSE, "fell 0"},
      {nil, OP_JUMP_TRUE, "fell 0"},       {nil, OP_JUMP_FALSE, "jumped 0"},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string name = "j" + std::to_string(n++);
    Asm a = NewAsm();
    a.ParamCpy();
    c.value(a);
    a.Branch(c.opcode, "target");
    // Each path returns its name and the stack depth it found (DebugStackpos by hand: marker index).
    a.Op(OP_EOC).FuncInit().Str("fell").Return();
    a.Label("target").Op(OP_EOC).FuncInit().Str("jumped").Return();
    Function(name.c_str(), a);
    auto t = krxtest::RunNow("m", name.c_str());
    std::string path = t->GetReturnValue().GetString() ? t->GetReturnValue().GetString() : "";
    std::string expect = c.expect;
    EXPECT_EQ(path, expect.substr(0, expect.find(' '))) << name;
  }
  // Comparisons followed by a jump: ints, mixed numbers and texts take the same branches, and
  // leave nothing behind.
  const struct {
    std::function<void(Asm&)> compare;
    int jump;
    int expect;  // 1 jumped, 0 fell through
  } compares[] = {
      {[](Asm& a) { a.Int(1).Int(2).Op(OP_LESS); }, OP_JUMP_TRUE, 1},
      {[](Asm& a) { a.Int(3).Int(2).Op(OP_LESS_EQUAL); }, OP_JUMP_FALSE, 1},
      {[](Asm& a) { a.Float(2.5f).Int(2).Op(OP_GREATER); }, OP_JUMP_TRUE, 1},
      {[](Asm& a) { a.Int(2).Float(2.0f).Op(OP_EQUAL); }, OP_JUMP_FALSE, 0},
      {[](Asm& a) { a.Str("a").Str("b").Op(OP_NOT_EQUAL); }, OP_JUMP_TRUE, 1},
      {[](Asm& a) { a.Int(-5).Int(-5).Op(OP_GREATER_EQUAL); }, OP_JUMP_FALSE, 0},
  };
  for (const auto& c : compares) {
    EXPECT_EQ(Eval([&](Asm& a) {
                a.Int(100);  // below the comparison: must survive it
                c.compare(a);
                a.Branch(c.jump, "yes").Int(0).Op(OP_ADD).Jump("end").Label("yes").Int(1).Op(OP_ADD).Label("end");
              }),
              "int:" + std::to_string(100 + c.expect));
  }

  // What the check forms leave behind: the condition is still there for the next instruction.
  EXPECT_EQ(Eval([](Asm& a) { a.Int(1).Bool(false).JumpTrueCheck("x").Label("x").Op(OP_ADD); }), "int:1");
  EXPECT_EQ(Eval([](Asm& a) { a.Int(1).Bool(true).JumpTrue("x").Label("x").Int(2).Op(OP_ADD); }), "int:3");
}

TEST_F(VmInstructions, SwitchFindsCasesByBinarySearch) {
  // switch (x) { case 1: return 10; case 5: return 50; case 9: return 90; } return 0
  auto build = [&](const char* name, int entries) {
    Asm a = NewAsm();
    std::vector<std::pair<Var, std::string>> table;
    const int constants[] = {1, 5, 9};
    for (int i = 0; i < entries; ++i) table.emplace_back(Var(constants[i]), "c" + std::to_string(constants[i]));
    a.ParamCpy().Local(0).Switch(table).Eoc().FuncInit().Int(0).Return();
    for (int i = 0; i < entries; ++i)
      a.Case("c" + std::to_string(constants[i]), Var(constants[i])).Eoc().FuncInit().Int(constants[i] * 10).Return();
    a.Stop();
    Function(name, a, {{"x", VT_INT, true}});
  };
  build("sw3", 3);
  build("sw0", 0);
  const std::pair<int, int> expect[] = {{1, 10}, {5, 50}, {9, 90}, {0, 0}, {3, 0}, {7, 0}, {10, 0}};
  for (auto [x, result] : expect) {
    auto t = krxtest::RunNow("m", "sw3", {Var(x)});
    EXPECT_EQ(t->GetReturnValue().ToInt(), result) << "x=" << x << " " << t->m_lastError;
  }
  auto t = krxtest::RunNow("m", "sw0", {Var(5)});
  EXPECT_EQ(t->GetReturnValue().ToInt(), 0) << t->m_lastError;
}

TEST_F(VmInstructions, ListingShowsInstructionsOperandsAndTables) {
  Asm a = NewAsm();
  a.ParamCpy().Line(3).Local(0).Switch({{Var(2), "two"}}).Eoc().Jump("end").Case("two", Var(2)).Str("hi").Label("end").Stop();
  BinCode* fn = Function("listed", a, {{"x", VT_INT, true}});
  EXPECT_EQ(Listing(fn),
            "0000  paramcpy\n"
            "0001  line        3\n"
            "0004  push value  0\n"
            "0007  push var    0\n"
            "0010  switch      1\n"
            "      case @25\n"
            "0018  eoc\n"
            "0019  jump        @34\n"
            "0025  data        2\n"
            "0028  push value  \"hi\"\n"
            "0034  stop\n");
}

}  // namespace
