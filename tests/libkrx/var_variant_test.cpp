// Script values to and from the engine's Variant, as the game's script calls use them.
#include <gtest/gtest.h>

#include "KRX/runtime/VarVariant.h"
#include "base/String.h"
#include "base/data/Variant.h"
#include "krx_test_util.h"

using krxtest::Describe;
using krxtest::MakeVar;

namespace {

TEST(VarVariant, ArgumentsFromVariants) {
  base::Variant v;
  KRX::Var out;
  v.set_string("hello");
  KRX::VarFromVariant(v, out);
  EXPECT_EQ(Describe(out), "string:hello");
  EXPECT_NE(out.GetString(), v.get_string());
  v.set_double(2.5);
  KRX::VarFromVariant(v, out);
  EXPECT_EQ(Describe(out), "float:2.500000");
  v.set_float(-1.0f);
  KRX::VarFromVariant(v, out);
  EXPECT_EQ(Describe(out), "float:-1.000000");
  v.set_bool(true);
  KRX::VarFromVariant(v, out);
  EXPECT_EQ(Describe(out), "int:1");
  v.set_array(2);
  KRX::VarFromVariant(v, out);
  EXPECT_EQ(Describe(out), "nil:NULL");
}

TEST(VarVariant, ResultsToVariants) {
  struct {
    const char* desc;
    const char* printed;  // Variant::print_to of the result
  } cases[] = {{"b:1", "1"}, {"b:0", "0"}, {"i:-7", "-7"}, {"f:0.5", "0.5"},
               {"s:text", "text"}, {"c:const", "const"}, {"l:label", "void"}, {"n", "void"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.desc);
    base::Variant out;
    out.set_int(99);
    KRX::VariantFromVar(MakeVar(c.desc), out);
    base::String printed;
    out.print_to(printed);
    EXPECT_STREQ(printed.c_str(), c.printed);
  }
  KRX::Var target = MakeVar("i:4");
  KRX::Var ref;
  ref.SetReference(&target);
  base::Variant out;
  KRX::VariantFromVar(ref, out);
  EXPECT_TRUE(out.is_int());
  EXPECT_EQ(out.get_int(), 4);
  KRX::Var array;
  array.SetArrayType(KRX::VT_INT);
  array.SetSize(1);
  KRX::VariantFromVar(array, out);
  EXPECT_TRUE(out.is_void());
}

}  // namespace
