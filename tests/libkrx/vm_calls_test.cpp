// Calls of compiled scripts whose frames are reused: one depth runs functions of different slot
// layouts in turn (the frame keeps its storage), so no slot type, auto flag, array or name of
// one callee may show in the next. Each program's result is compared with the value each call
// gives in a thread of its own.
#include <gtest/gtest.h>

#include "KRX/runtime/Thread.h"
#include "codegen_support.h"
#include "krx_test_util.h"

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

}  // namespace
