// Opcode and type names, and the compact operand encoding at every size boundary.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "KRX/ByteCode.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Types.h"
#include "krx_test_util.h"

using krxtest::Describe;
using krxtest::MakeVar;
using KRX::Var;

namespace {

TEST(OpcodeNames, CommandsNodesAndTypes) {
  struct {
    int value;
    const char* name;
  } commands[] = {{0, "line"}, {3, "push var"}, {6, "jump true (check)"}, {8, "jump false (check)"},
                  {11, "label_tab"}, {12, "(unknown en_Command)"}, {130, "neg"}, {164, "(unknown en_Command)"},
                  {178, "||"}, {224, "func_init"}, {228, ""}, {236, ">>="}, {241, "paramcpy"},
                  {242, "(unknown en_Command)"}, {-1, "(unknown en_Command)"}};
  for (const auto& c : commands) EXPECT_STREQ(KRX::GetCommandName(c.value), c.name) << c.value;
  EXPECT_STREQ(KRX::GetOpTypeName(7), "(unknown en_OpType)");
  EXPECT_STREQ(KRX::GetOpTypeName(12), "funcdef");
  EXPECT_STREQ(KRX::GetOpSubTypeName(130), "negate");
  EXPECT_STREQ(KRX::GetOpSubTypeName(172), "=");
  EXPECT_STREQ(KRX::GetOpSubTypeName(164), "(unknown en_OpSubType)");

  EXPECT_STREQ(KRX::GetTypeName(-1), "__error__");
  EXPECT_STREQ(KRX::GetTypeName(4), "(unknown en_Variant)");
  EXPECT_STREQ(KRX::GetTypeName(17), "uninitialize param");
  EXPECT_STREQ(KRX::GetTypeName(19), "(unknown en_Variant)");
  EXPECT_STREQ(KRX::GetTypeName(31), "(unknown en_Variant)");
  EXPECT_STREQ(KRX::TypeNameFromCode(31), "auto");
  EXPECT_STREQ(KRX::TypeNameFromCode(7), "bind");
  EXPECT_STREQ(KRX::TypeNameFromCode(0), "void");
  EXPECT_STREQ(KRX::TypeNameFromCode(12), "string(const)");
  EXPECT_EQ(KRX::TypeCodeFromName("func"), 8);
  EXPECT_EQ(KRX::TypeCodeFromName("auto"), 31);
  EXPECT_EQ(KRX::TypeCodeFromName("Int"), -1);
  EXPECT_EQ(KRX::TypeCodeFromName(nullptr), -1);
}

std::vector<uint8_t> Encode(const Var& v, KRX::StringPool* pool = nullptr, bool* ok = nullptr) {
  std::vector<uint8_t> code;
  bool result = KRX::EncodeOperand(v, pool, code);
  if (ok) *ok = result;
  return code;
}

TEST(Operands, IntsUseTheFewestBytesAtEveryBoundary) {
  struct {
    int value;
    size_t bytes;
  } cases[] = {
      {0, 2},          {127, 2},         {-128, 2},         {128, 3},          {-129, 3},
      {32767, 3},      {-32768, 3},      {32768, 4},        {-32769, 4},       {8388607, 4},
      {-8388608, 4},   {8388608, 5},     {-8388609, 5},     {305419896, 5},    {INT_MAX, 5},
      {INT_MIN, 5},    {255, 3},         {-1, 2},           {65535, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    Var v;
    v.SetInt(c.value);
    std::vector<uint8_t> code = Encode(v);
    ASSERT_EQ(code.size(), c.bytes);
    EXPECT_EQ(code[0] & 0x3F, KRX::VT_INT);
    EXPECT_EQ(size_t(code[0] >> 6), c.bytes - 2);
    Var back;
    ASSERT_EQ(KRX::DecodeOperand(code.data(), int(code.size()), nullptr, back), int(c.bytes));
    EXPECT_EQ(Describe(back), "int:" + std::to_string(c.value));
    EXPECT_EQ(KRX::OperandLength(code.data(), int(code.size())), int(c.bytes));
  }
}

TEST(Operands, DecodesHandWrittenBytes) {
  struct {
    std::vector<uint8_t> bytes;
    int used;
    const char* value;
  } cases[] = {
      {{0x02, 0xFF}, 2, "int:-1"},
      {{0x42, 0x01, 0x00}, 3, "int:256"},
      {{0xC2, 0x80, 0x00, 0x00, 0x00}, 5, "int:-2147483648"},
      {{0x82, 0x7F, 0xFF, 0xFF}, 4, "int:8388607"},
      {{0x01, 0x05}, 2, "bool:true"},
      {{0x01, 0x00}, 2, "bool:false"},
      {{0x03, 0x00, 0x00, 0xC0, 0x3F}, 5, "float:1.500000"},
      {{0x05, 0xFF, 0xFF, 0xFF, 0xFF}, 5, "position:pos -1"},
      {{0x00, 0x99}, 1, "nil:NULL"},
      {{0x12}, 1, "ignore:(?\?\?)"},
      {{0x0D, 0x03, 0x00, 'a', 'b', 0x00}, 6, "string:ab"},
      {{0x0D, 0x02, 0x00, 'a', 'b'}, 5, "string:ab"},  // no NUL within its length: cut there
      {{0x0C, 0x07, 0x00, 0x00, 0x00}, 5, "string:#7"},  // no pool
      {{0x07, 0x01, 0x02}, 1, "nil:NULL"},                // never written: one byte, nil
      {{0x4E}, 1, "nil:NULL"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    Var out = MakeVar("s:junk");
    ASSERT_EQ(KRX::DecodeOperand(c.bytes.data(), int(c.bytes.size()), nullptr, out), c.used);
    EXPECT_EQ(Describe(out), c.value);
    EXPECT_FALSE(out.IsAuto());
  }
}

TEST(Operands, EveryTruncationIsRefused) {
  KRX::StringPool pool;
  std::vector<Var> values;
  values.push_back(MakeVar("b:1"));
  values.push_back(MakeVar("i:305419896"));
  values.push_back(MakeVar("i:300"));
  values.push_back(MakeVar("f:2.5"));
  values.push_back(MakeVar("p:40"));
  values.push_back(MakeVar("s:text"));
  for (const Var& v : values) {
    std::vector<uint8_t> code = Encode(v, &pool);
    for (size_t n = 0; n < code.size(); ++n) {
      Var out;
      EXPECT_EQ(KRX::DecodeOperand(code.data(), int(n), &pool, out), 0) << Describe(v) << " cut to " << n;
      EXPECT_TRUE(out.IsNil());
    }
  }
  const uint8_t negativeLength[] = {0x0D, 0xFF, 0xFF, 'a'};
  Var out;
  EXPECT_EQ(KRX::DecodeOperand(negativeLength, 4, nullptr, out), 0);
  const uint8_t longerThanGiven[] = {0x0D, 0x05, 0x00, 'a', 0};
  EXPECT_EQ(KRX::DecodeOperand(longerThanGiven, 5, nullptr, out), 0);
}

TEST(Operands, TextsGoThroughThePool) {
  KRX::StringPool pool;
  bool ok = false;
  std::vector<uint8_t> a = Encode(MakeVar("s:hello"), &pool, &ok);
  EXPECT_TRUE(ok);
  std::vector<uint8_t> b = Encode(MakeVar("c:hello"), &pool);
  EXPECT_EQ(a, b);  // both are written as the pooled constant
  ASSERT_EQ(a.size(), 5u);
  EXPECT_EQ(a[0], KRX::VT_CONSTSTRING);
  EXPECT_EQ(a[1], 1);

  Var out;
  ASSERT_EQ(KRX::DecodeOperand(a.data(), 5, &pool, out), 5);
  EXPECT_EQ(out.GetType(), KRX::VT_CONSTSTRING);
  EXPECT_EQ(out.GetString(), pool.TextAt(1));  // points into the pool, no copy

  const uint8_t outside[] = {0x0C, 0x00, 0x10, 0x00, 0x00};
  ASSERT_EQ(KRX::DecodeOperand(outside, 5, &pool, out), 5);
  EXPECT_EQ(out.GetType(), KRX::VT_CONSTSTRING);
  EXPECT_EQ(out.GetString(), nullptr);

  std::vector<uint8_t> noPool = Encode(MakeVar("s:x"));
  EXPECT_EQ(noPool, (std::vector<uint8_t>{0x0C, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Operands, ValuesWithoutAnOperandFormAreRefused) {
  Var target;
  Var ref;
  ref.SetReference(&target);
  Var array;
  array.SetArrayType(KRX::VT_INT);
  Var values[] = {ref, MakeVar("l:label"), array};
  for (const Var& v : values) {
    bool ok = true;
    EXPECT_EQ(Encode(v, nullptr, &ok), std::vector<uint8_t>{0x00}) << Describe(v);
    EXPECT_FALSE(ok);
  }
  Var ignore;
  ignore.SetIgnore();
  bool ok = false;
  EXPECT_EQ(Encode(ignore, nullptr, &ok), std::vector<uint8_t>{0x12});
  EXPECT_TRUE(ok);
}

}  // namespace
