// Built-in functions that the script corpus does not pin down: the number literal parser, the
// root's registrations and constants, and the checks of Assert, SetSize and GetSize.
#include <gtest/gtest.h>

#include "KRX/runtime/Builtins.h"
#include "KRX/runtime/Types.h"
#include "codegen_support.h"
#include "krx_test_util.h"

namespace {

using krxtest::CompileFixture;
using krxtest::Messages;

TEST(NumberLiteral, ParsesLikeTheCompiler) {
  struct st_Case {
    const char* text;
    const char* expected;  // "" when the text is no number
  } cases[] = {
      {"0x1F", "int:31"}, {"12abc", ""},     {"42", "int:42"},         {"1.5f", "float:1.500000"},
      {"0b101", "int:5"}, {"0x1.8", "float:1.500000"}, {"", ""},      {"abc", ""},
      {"7.", "float:7.000000"}, {"0b12", ""}, {"4294967295", "int:-1"}, {"0xFFFFFFFF", "int:-1"},
      // Past 32 bits the value is kept, as a float.
      {"4294967296.0", "float:4294967296.000000"}, {"5000000000.5", "float:5000000000.000000"},
      {"99999999999", "float:99999997952.000000"}, {"0x100000000", "float:4294967296.000000"},
  };
  for (const st_Case& c : cases) {
    KRX::Var v;
    const bool ok = KRX::ParseNumberLiteral(c.text, v);
    EXPECT_EQ(ok ? krxtest::Describe(v) : std::string(), c.expected) << c.text;
  }
}

class Builtins : public CompileFixture {};

// A string that would grow past the cap stops the thread with a run-time error at its line,
// instead of silently keeping its old text; the message shows the values cut short.
TEST_F(Builtins, StringsStopGrowingAtTheCap) {
  Messages().clear();
  const KRX::Var result = KRX::CompileText(
      "string s = \"0123456789abcdef\";\nint n = 0;\nwhile (n < 40) {\n  s = s + s;\n  n = n + 1;\n}\nreturn n;\n",
      nullptr);
  EXPECT_TRUE(result.IsNil()) << krxtest::Describe(result);
  ASSERT_EQ(Messages().size(), 1u);
  const std::string& line = Messages()[0];
  EXPECT_EQ(line.rfind("(4) : Unable to execute binary operation '+' on value 0123456789abcdef", 0), 0u) << line.substr(0, 200);
  EXPECT_NE(line.find("... (67108864 characters)(string)"), std::string::npos) << line.substr(0, 300);
  EXPECT_LT(line.size(), 400u);
  // Up to the cap a string grows as before.
  EXPECT_EQ(KRX::CompileText("string s = \"ab\";\ns = s + s + 1;\nreturn s;\n", nullptr).ToText(), "abab1");
}

// Numbers past 32 bits, as literals and through the conversions: a float keeps its value, an int
// literal that does not fit is a compile error, and toint saturates.
TEST_F(Builtins, NumbersPast32BitsKeepTheirValue) {
  struct st_Case {
    const char* source;
    const char* result;
  } cases[] = {
      {"return 4294967296.0;", "float:4294967296.000000"},
      {"return 5000000000.5;", "float:5000000000.000000"},
      {"return 0xFFFFFFFF;", "int:-1"},
      {"return tofloat(\"99999999999\");", "float:99999997952.000000"},
      {"return tofloat(\"5000000000.5\");", "float:5000000000.000000"},
      {"return toint(\"99999999999\");", "int:2147483647"},
      {"return toint(\"5000000000.5\");", "int:2147483647"},
      {"return toint(\"2147483647\");", "int:2147483647"},
  };
  for (const st_Case& c : cases) {
    Messages().clear();
    EXPECT_EQ(krxtest::Describe(KRX::CompileText(c.source, nullptr)), c.result) << c.source;
    EXPECT_TRUE(Messages().empty()) << c.source << ": " << Messages()[0];
  }
  Messages().clear();
  EXPECT_TRUE(KRX::CompileText("return 99999999999;", nullptr).IsNil());
  ASSERT_FALSE(Messages().empty());
  EXPECT_EQ(Messages()[0], "(1) : Number '99999999999' does not fit in 32 bits");
}

TEST_F(Builtins, RootHoldsTheBuiltinsAndTypeConstants) {
  const KRX::Var* bind = KRX::ScriptSystem::GetRoot()->Find("~bind");
  ASSERT_TRUE(bind && bind->GetModule());
  size_t natives = 0;
  for (const auto& entry : bind->GetModule()->GetSymbols()) natives += entry.second.IsCFunction() ? 1 : 0;
  EXPECT_EQ(natives, 36u);
  const KRX::Var* autoType = KRX::ScriptSystem::GetRoot()->Find("type_auto");
  ASSERT_TRUE(autoType);
  EXPECT_EQ(autoType->ToInt(), 31);
  EXPECT_TRUE(autoType->IsAuto());
  EXPECT_EQ(KRX::ScriptSystem::GetRoot()->Find("type_bind")->ToInt(), KRX::VT_CFUNCTION);
  EXPECT_EQ(KRX::ScriptSystem::GetRoot()->Find("type_void")->ToInt(), 0);
}

TEST_F(Builtins, ArgumentChecksReportAndReturnFalse) {
  struct st_Case {
    const char* source;
    const char* result;
    const char* message;
  } cases[] = {
      {"return Assert(1);", "bool:false", "(1) : assert value is not bool"},
      {"return Assert();", "bool:false", "(1) : assert value is not bool"},
      {"Assert(1); return AssertCount();", "int:0", "(1) : assert value is not bool"},
      {"return SetSize(1);", "bool:false", "(1) : SetSize must be called at least with two parameters"},
      {"return SetSize(3, 2);", "bool:false", "(1) : SetSize: LValue expected as first parameter"},
      {"int a[1]; return SetSize(a, \"x\");", "bool:false", "(1) : SetSize expected a size value as second argument"},
      {"return GetSize();", "int:0", "(1) : GetSize must be called with an array"},
      {"return GetSize(4);", "int:0", "(1) : GetSize: LValue expected as first parameter"},
      {"return Include();", "bool:false", "(1) : Include must be called with one parameter"},
      {"return IncludeAll(1, 2);", "bool:false", "(1) : Include must be called with one parameter"},
      {"return ThreadGetCount(NULL);", "int:-1", ""},
      {"return ThreadSetValue(NULL, \"x\", 1);", "bool:false", ""},
      {"return ModuleGetName(NULL);", "nil:NULL", ""},
  };
  for (const st_Case& c : cases) {
    Messages().clear();
    KRX::Var result = KRX::CompileText(c.source, nullptr);
    EXPECT_EQ(krxtest::Describe(result), c.result) << c.source;
    EXPECT_EQ(Messages().empty() ? std::string() : Messages()[0], c.message) << c.source;
  }
}

}  // namespace
