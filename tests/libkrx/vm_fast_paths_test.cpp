// The interpreter's shortcuts against the general path they stand in for. Calls: frames are
// reused, so one depth runs functions of different slot layouts in turn and no slot type, auto
// flag, array or name of one callee may show in the next. Strings: text joined once from the
// known lengths, and a string only the stack holds moved into its variable, must give the value,
// type, auto flag and length of the general text route and typed assignment.
#include <gtest/gtest.h>

#include <cstring>

#include "KRX/runtime/Thread.h"
#include "base/text/Text.h"
#include "codegen_support.h"
#include "krx_test_util.h"

namespace fastpathstest {
namespace {

using krxtest::CompileFixture;

class VmCalls : public CompileFixture {
 protected:
  std::string Run(const char* function, const std::vector<KRX::Var>& args = {}) {
    KRX::tRefPtr<KRX::Thread> thread(new KRX::Thread());
    thread->m_moduleName = "test";
    if (!thread->Start(function, false, args.data(), int(args.size()))) return "failed: " + thread->m_lastError;
    return krxtest::Describe(thread->GetReturnValue());
  }
};

const char* kLayouts = R"(
function auto first(auto v) { auto x = 0; x = x + v; return x; }
function int second(int n) { int a[3]; a[1] = n; return a[1] + GetSize(a); }
function string third(string s) { string t = s + "!"; auto w; return t; }
function int fourth() { int a; int b; int c; int d; int e; a = 1; b = 2; c = 3; d = 4; e = 5; return a + b + c + d + e; }
function auto slot1(int k) { if (k == 0) return first(7); if (k == 1) return second(7); if (k == 2) return third("q"); return fourth(); }
function string Mixed() {
  string out = "";
  int i;
  for (i = 0; i < 8; i++) {
    out = out + slot1(i % 4) + ";";
  }
  for (i = 0; i < 2; i++) {
    out = out + first(i + 0) + " " + second(i) + " " + third("x") + " " + fourth() + ";";
  }
  return out;
}
function int Broken(int n) { int a[2]; return a[n]; }
function string ErrorAfterOthers() { first(1); second(2); return "" + Broken(5); }
)";

TEST_F(VmCalls, CalleesOfDifferentLayoutsAtOneDepthKeepTheirOwnSlots) {
  ASSERT_TRUE(Compile(kLayouts)) << AllMessages();
  // Each callee alone, in a fresh thread.
  EXPECT_EQ(Run("first", {KRX::Var(7)}), "int:7");
  EXPECT_EQ(Run("second", {KRX::Var(7)}), "int:10");
  EXPECT_EQ(Run("third", {krxtest::MakeVar("s:q")}), "string:q!");
  EXPECT_EQ(Run("fourth"), "int:15");
  EXPECT_EQ(Run("Mixed"), "string:7;10;q!;15;7;10;q!;15;0 3 x! 15;1 4 x! 15;");
  // An error in a frame that earlier ran other functions reads the same as in a fresh one.
  const std::string alone = Run("Broken", {KRX::Var(5)});
  krxtest::Messages().clear();
  const std::string after = Run("ErrorAfterOthers");
  ASSERT_EQ(alone.rfind("failed: ", 0), 0u) << alone;
  ASSERT_EQ(after.rfind("failed: ", 0), 0u) << after;
  EXPECT_EQ(after.substr(after.find(':', 8)), alone.substr(alone.find(':', 8)));
}

// ---- strings

using KRX::Var;

// Operands of every kind the shortcuts accept or must refuse.
std::vector<Var> Operands() {
  std::vector<Var> out;
  for (const char* desc : {"s:abc", "s:", "c:const", "i:-42", "i:0", "f:2.5", "b:1", "n", "l:label", "p:3"})
    out.push_back(krxtest::MakeVar(desc));
  Var autoText = krxtest::MakeVar("s:auto");
  autoText.SetAuto(true);
  out.push_back(autoText);
  Var nullText;
  nullText.SetString(nullptr);
  out.push_back(nullText);
  Var array;
  array.SetArrayType(KRX::VT_STRING);
  array.SetSize(2);
  out.push_back(array);
  return out;
}

std::string Exact(const Var& v) {
  return krxtest::Describe(v) + " kind " + std::to_string(v.GetTypeByte()) + " count " + std::to_string(v.GetCount());
}

TEST(StringShortcuts, JoiningOnceGivesTheTextRoute) {
  int joined = 0;
  for (const Var& left : Operands()) {
    for (const Var& right : Operands()) {
      SCOPED_TRACE(Exact(left) + " + " + Exact(right));
      for (bool outAuto : {false, true}) {
        Var out = krxtest::MakeVar("i:7");
        out.SetAuto(outAuto);
        const std::string before = Exact(out);
        if (!Var::ConcatText(left, right, out)) {
          EXPECT_EQ(Exact(out), before);
          continue;
        }
        ++joined;
        base::Text text;  // the general route: both printable forms appended
        left.AppendText(text);
        right.AppendText(text);
        Var expected = krxtest::MakeVar("i:7");
        expected.SetAuto(outAuto);
        expected.SetString(text.c_str(), text.size());
        EXPECT_EQ(Exact(out), Exact(expected));
      }
      // Through the operator the result is the same whether or not the shortcut applies.
      Var viaOp = left;
      Var general = left;
      const bool ok = Var::OpAdd(right, viaOp);
      const int kind = left.GetTypeByte() & ~KRX::VF_AUTO;
      if (ok && (kind == KRX::VT_STRING || kind == KRX::VT_CONSTSTRING) && left.GetString()) {
        base::Text text;
        left.AppendText(text);
        right.AppendText(text);
        general.SetString(text.c_str(), text.size());
        EXPECT_EQ(Exact(viaOp), Exact(general));
      }
    }
  }
  EXPECT_GE(joined, 2 * 3 * 5);  // string/const left with string/const/int right, both out flags
}

TEST(StringShortcuts, JoiningPastTheLengthCapIsRefused) {
  std::string big(size_t(KRX::kMaxStringLength), 'x');
  Var left;
  left.SetString(big.c_str(), int(big.size()));
  Var out;
  EXPECT_FALSE(Var::ConcatText(left, krxtest::MakeVar("s:y"), out));
  EXPECT_TRUE(Var::ConcatText(left, krxtest::MakeVar("s:"), out));
  EXPECT_FALSE(Var::OpAdd(krxtest::MakeVar("i:1"), left));
}

TEST(StringShortcuts, MovingAStringGivesWhatTypedAssignmentStores) {
  std::vector<Var> targets;
  for (int type : {int(KRX::VT_STRING), KRX::TYPE_AUTO, int(KRX::VT_INT), int(KRX::VT_FLOAT)}) {
    Var t;
    t.SetType(type);
    targets.push_back(t);
  }
  Var autoInt;
  autoInt.SetType(KRX::TYPE_AUTO);
  autoInt.SetInt(3);
  targets.push_back(autoInt);
  Var param;
  param.SetUninitializedParam(KRX::VT_STRING);
  targets.push_back(param);
  Var array;
  array.SetArrayType(KRX::VT_STRING);
  targets.push_back(array);

  std::vector<Var> sources = Operands();
  Var withNul;
  withNul.SetString("ab\0cd", 5);  // typed assignment keeps the text up to its NUL
  sources.push_back(withNul);
  int moved = 0;
  for (const Var& target : targets) {
    for (const Var& source : sources) {
      SCOPED_TRACE(Exact(target) + " = " + Exact(source));
      Var dest = target, src = source;
      Var general = target;
      const bool generalOk = general.AssignTyped(source);
      if (dest.TakeString(src)) {
        ++moved;
        EXPECT_TRUE(generalOk);
        EXPECT_EQ(Exact(dest), Exact(general));
        EXPECT_EQ(Exact(src), Exact(Var()));
      } else {
        EXPECT_EQ(Exact(dest), Exact(target));
        EXPECT_EQ(Exact(src), Exact(source));
      }
    }
  }
  EXPECT_GE(moved, 3 * 3);  // three plain strings into string, auto and auto int
}

// A script that joins and assigns in a loop: the statement forms the shortcuts take and the
// forms they leave alone must agree.
TEST_F(VmCalls, StringStatementsAgreeWithTheGeneralForms) {
  ASSERT_TRUE(Compile(R"(
function string Join() {
  string s = "a";
  auto a = "b";
  string t;
  int i;
  for (i = 0; i < 5; i++) {
    s = s + i;
    s = s + "-";
    a = a + i;
    t = "" + s;
    s += "+";
  }
  return s + "|" + a + "|" + t + "|" + (s + 1.5) + "|" + (s + true);
}
)")) << AllMessages();
  EXPECT_EQ(Run("Join"), "string:a0-+1-+2-+3-+4-+|b01234|a0-+1-+2-+3-+4-|a0-+1-+2-+3-+4-+1.500000|a0-+1-+2-+3-+4-+true");
}

}  // namespace
}  // namespace fastpathstest
