// Byte code from files is data: corrupt operands, tables and jumps end the thread with
// "corrupt byte code at N" instead of reading outside the code.
#include <gtest/gtest.h>

#include "vm_fixture.h"

using namespace KRX;
using krxtest::Asm;

namespace {

class VmCorrupt : public krxtest::VmTest {
 protected:
  std::string RunBytes(std::initializer_list<int> bytes) {
    std::vector<uint8_t> code;
    for (int b : bytes) code.push_back(uint8_t(b));
    static int n = 0;
    std::string name = "c" + std::to_string(n++);
    // An exact-size heap copy, so that AddressSanitizer sees any read past the end.
    krxtest::AddFunction(m_module, name.c_str(), code);
    auto t = krxtest::RunNow("m", name.c_str());
    EXPECT_EQ(t->GetState(), Thread::STATE_DEAD);
    return t->m_lastError;
  }
};

TEST_F(VmCorrupt, BadOperandsTablesAndJumpsAreRuntimeErrors) {
  const int P = OP_PARAMCPY, V = OP_PUSH_VALUE, S = OP_SWITCH, J = OP_JUMP, D = OP_DATA;
  const struct {
    std::initializer_list<int> code;
    const char* error;
  } cases[] = {
      {{P, OP_LINE}, "corrupt byte code at 1"},                                   // operand missing
      {{P, V, 0xC2, 0x01, 0x02}, "corrupt byte code at 1"},                       // int past the end
      {{P, V, VT_FLOAT, 0, 0}, "corrupt byte code at 1"},                         // float past the end
      {{P, V, VT_STRING, 9, 0, 'a', 'b', 0}, "corrupt byte code at 1"},          // text longer than the code
      {{P, V, VT_STRING, 0xFF, 0xFF, 'a'}, "corrupt byte code at 1"},            // negative text length
      {{P, V, 0x02, 1, S, 0x42, 0xFF, 0xFF}, "corrupt byte code at 4"},                 // negative case count
      {{P, V, 0x02, 1, S, 0xC2, 0x7F, 0xFF, 0xFF, 0xFF}, "corrupt byte code at 4"},     // huge case count
      {{P, V, 0x02, 1, S, 0x02, 1, 5, 100, 0, 0, 0}, "corrupt byte code at 4"},   // entry outside
      {{P, V, 0x02, 1, S, 0x02, 1, 5, 0, 0, 0, 0}, "corrupt byte code at 4"},     // entry not at data
      {{P, V, 0x02, 1, S, 0x02, 1, 9, 0, 0, 0, 0}, "corrupt byte code at 4"},     // entry not a position
      {{P, V, 0x02, 1, S, 0x02, 1, 5, 12, 0, 0, 0, D}, "corrupt byte code at 12"},  // case constant cut
      {{P, J, 5, 0x00, 0x10, 0, 0}, "corrupt byte code at 1"},                    // jump far outside
      {{P, J, 5, 0xFE, 0xFF, 0xFF, 0xFF}, "corrupt byte code at 1"},              // negative jump
  };
  for (const auto& c : cases) {
    const std::string error = RunBytes(c.code);
    EXPECT_TRUE(krxtest::EndsWith(error, c.error)) << error << " / expected " << c.error;
  }
}

TEST_F(VmCorrupt, EdgesThatStayValid) {
  // A jump to the very end ends the run (the thread is still running, so it becomes dead
  // without an error text); a text without terminator inside the code is taken up to its length.
  const int P = OP_PARAMCPY, J = OP_JUMP;
  EXPECT_EQ(RunBytes({P, J, 5, 7, 0, 0, 0}), "");
  Asm a = NewAsm();
  a.ParamCpy().FuncInit().Raw({OP_PUSH_VALUE, VT_STRING, 2, 0, 'a', 'b'}).Return().Stop();
  Function("text", a);
  auto t = krxtest::RunNow("m", "text");
  EXPECT_EQ(t->GetState(), Thread::STATE_FINISHED) << t->m_lastError;
  EXPECT_STREQ(t->GetReturnValue().GetString(), "ab");
  // A position operand read by its type code's six bits: with flag bits set in its type byte a
  // jump still goes where its position says (it once went to position 0, and looped for ever).
  Asm f = NewAsm();
  f.ParamCpy().Raw({OP_JUMP, 0x80 | VT_POSITION, 12, 0, 0, 0}).FuncInit().Int(1).Return();
  f.FuncInit().Int(2).Return().Stop();
  Function("flagged", f);
  EXPECT_EQ(krxtest::RunNow("m", "flagged")->GetReturnValue().ToInt(), 2);
  // A switch whose case constant uses a type the linker never writes still decodes (as nil).
  Asm s = NewAsm();
  s.ParamCpy().Nil().Switch({{Var(), "odd"}}).Eoc().Stop().Case("odd", Var()).Eoc().FuncInit().Int(1).Return();
  Function("odd", s);
  EXPECT_EQ(krxtest::RunNow("m", "odd")->GetReturnValue().ToInt(), 1);
}

// The hidden entries of a module or function ("~b" its code, "~vocal" its texts, ...) are no
// script's names: byte code that names them would otherwise overwrite the code it runs.
TEST_F(VmCorrupt, HiddenEntriesAreNotVariables) {
  for (const char* name : {"~b", "~vocal", "~m"}) {
    Asm a = NewAsm();
    a.ParamCpy().Global(name).Int(7).Op(OP_ASSIGN).Eoc().Line(2).Line(3).FuncInit().Int(1).Return().Stop();
    Function("hide", a);
    auto t = krxtest::RunNow("m", "hide");
    EXPECT_EQ(t->GetState(), Thread::STATE_DEAD) << name;
    EXPECT_TRUE(krxtest::EndsWith(t->m_lastError, std::string("undefinied variable '") + name + "' found"))
        << t->m_lastError;
    // The same through the module's name.
    Asm q = NewAsm();
    q.ParamCpy().Str("m").Str(name).PushVar(PUSHVAR_NAMED | PUSHVAR_MODULE).Int(7).Op(OP_ASSIGN).Eoc();
    q.FuncInit().Int(1).Return().Stop();
    Function("hide2", q);
    auto u = krxtest::RunNow("m", "hide2");
    EXPECT_EQ(u->GetState(), Thread::STATE_DEAD) << name;
    EXPECT_TRUE(krxtest::EndsWith(u->m_lastError, std::string("undefinied variable 'm::") + name + "' found"))
        << u->m_lastError;
  }
}

}  // namespace

