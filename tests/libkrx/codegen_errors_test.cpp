// Every compile error of the code generator and linker, each with its one message, and the
// guarantee that a failed compile binds nothing.
#include <gtest/gtest.h>

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/compiler/Linker.h"
#include "codegen_support.h"

namespace {

using krxtest::CompileFixture;
using krxtest::Messages;

class CodegenErrors : public CompileFixture {};

struct st_Error {
  const char* source;
  const char* message;
};

const st_Error kErrors[] = {
    {"break;", "test.krx(1) : unexpected continue"},
    {"function void F() {\n continue; }", "test.krx(2) : unexpected continue"},
    {"function void F() { breakout; }", "test.krx(1) : unexpected continue"},
    {"function void F(int a) { switch (a) { default: break; default: break; } }",
     "test.krx(1) : two default statement found"},
    {"function void F(int a) { switch (a) { case 1: break;\n case 1.0: break; } }",
     "test.krx(2) : case value 1.000000 is defined twice"},
    {"function void F(int a) { switch (a) { case a: break; } }", "test.krx(1) : case value is not constant"},
    {"function void F(int a) { switch (a) { case NULL: break; } }", "test.krx(1) : case value is nil"},
    {"function void F() { int x; float x; }",
     "test.krx(1) : HiGrammar::Handle_New : double declaration of local variable x with different types"},
    {"function void F() { int y; auto y; }",
     "test.krx(1) : HiGrammar::Handle_New : double declaration of local variable y with different types"},
    {"function void F(int p) { int p; }",
     "test.krx(1) : HiGrammar::Handle_New : double declaration of local variable p with different types"},
    {"int g; string g;", "test.krx(1) : HiGrammar::Handle_New : double declaration of local variable g with different types"},
    {"function void F() { int m::x; }", "test.krx(1) : HiGrammar::Handle_New : Module vars are not supported yet."},
    {"function void F(int a) { while (a) a = 1; }", "test.krx(1) : unable to parse expression"},
    {"function void F(int a) { switch (a) { case 1: while (a) a = 1; } }",
     "test.krx(1) : unable to parse expression\ntest.krx(1) : unable to compile case code block"},
    {"function void F(int a) { switch (a) { default: while (a) a = 1; } }",
     "test.krx(1) : unable to parse expression\ntest.krx(1) : unable to compile case code block"},
    {"function void F() {\n int a[nothere]; }", "test.krx(2) : undefinied variable 'nothere' found\ntest.krx(2) : Unable to evaluate expression"},
};

TEST_F(CodegenErrors, EachErrorHasItsMessageAndBindsNothing) {
  for (const st_Error& e : kErrors) {
    Messages().clear();
    EXPECT_FALSE(Compile(e.source)) << e.source;
    EXPECT_NE(AllMessages().find(e.message), std::string::npos) << e.source << "\n" << AllMessages();
    EXPECT_EQ(Module(), nullptr) << e.source;
  }
}

TEST_F(CodegenErrors, AcceptedRedeclarations) {
  EXPECT_TRUE(Compile("function void F() { int x; int x; auto y; auto y; int a[0]; int b[-2]; }")) << AllMessages();
  EXPECT_TRUE(Compile("function void F(int a) { switch (a) {} breakout; }", "t2.krx") == false);
}

// The empty switch leaves the break targets alone, so breakout still finds the loop.
TEST_F(CodegenErrors, EmptySwitchKeepsTheLoopTarget) {
  EXPECT_TRUE(Compile("function void F(int a) { while (a) { switch (a) {} breakout; } }")) << AllMessages();
}

// ---- linker

class LinkerTest : public CompileFixture {
 protected:
  KRX::CodeUnit unit;
  void SetUp() override {
    CompileFixture::SetUp();
    unit.m_fileName = "link.krx";
    unit.m_module = new KRX::BinCode();
    KRX::CreateVocabulary(unit.m_module.get());
    unit.m_asm = KRX::SyntaxNode::Make(KRX::OT_REM, 0, "Asm", -1);
  }
  int CodeSize() {
    int size = 0;
    KRX::GetCode(unit.m_module.get(), size);
    return size;
  }
};

TEST_F(LinkerTest, EmptyUnitIsParamcpyAndStop) {
  KRX::Linker linker;
  ASSERT_TRUE(linker.Link(unit));
  EXPECT_EQ(linker.GetCode(), (std::vector<uint8_t>{241, 229}));
  EXPECT_EQ(CodeSize(), 2);
}

TEST_F(LinkerTest, OnlyTheFirstUndefinedLabelInNameOrderIsReported) {
  KRX::HiGrammar::EmitJump(unit.m_asm.get(), KRX::OP_JUMP, "b_x");
  KRX::HiGrammar::EmitJump(unit.m_asm.get(), KRX::OP_JUMP, "a_y");
  KRX::Linker linker;
  EXPECT_FALSE(linker.Link(unit));
  EXPECT_EQ(AllMessages(), "link.krx(-1) : Fatal : Undeclared jump label found: 'a_y'\n");
  EXPECT_EQ(CodeSize(), 0);
}

TEST_F(LinkerTest, DuplicateLabelFailsTheLink) {
  KRX::HiGrammar::EmitLabel(unit.m_asm.get(), "here");
  KRX::HiGrammar::EmitLabel(unit.m_asm.get(), "here");
  KRX::Linker linker;
  EXPECT_FALSE(linker.Link(unit));
  EXPECT_EQ(AllMessages(), "link.krx(-1) : duplicate label found here\n");
}

TEST_F(LinkerTest, BackwardAndForwardJumpsArePatched) {
  KRX::HiGrammar::EmitLabel(unit.m_asm.get(), "head");
  KRX::HiGrammar::EmitJump(unit.m_asm.get(), KRX::OP_JUMP, "out");
  KRX::HiGrammar::EmitJump(unit.m_asm.get(), KRX::OP_JUMP, "head");
  KRX::HiGrammar::EmitLabel(unit.m_asm.get(), "out");
  KRX::Linker linker;
  ASSERT_TRUE(linker.Link(unit));
  // paramcpy, jump @13, jump @1, stop: positions count from the start of the blob.
  EXPECT_EQ(linker.GetCode(), (std::vector<uint8_t>{241, 4, 5, 13, 0, 0, 0, 4, 5, 1, 0, 0, 0, 229}));
}

// An operand the byte code cannot hold would run as nil; the link must fail, not go on.
TEST_F(LinkerTest, UnencodableOperandFailsTheLink) {
  KRX::Var reference;
  KRX::Var target(1);
  reference.SetReference(&target);
  KRX::HiGrammar::Emit(unit.m_asm.get(), KRX::OP_PUSH_VALUE, reference);
  KRX::Linker linker;
  EXPECT_FALSE(linker.Link(unit));
  EXPECT_EQ(AllMessages(), "link.krx(-1) : Unsupported type: reference\n");
  EXPECT_EQ(CodeSize(), 0);
}

}  // namespace
