// The loading driver: module names decide what Require loads, the search order for sources and
// module files, top-level code that runs once, and failures that bind nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "KRX/file/BinCodeFile.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/ThreadList.h"
#include "codegen_support.h"

namespace {

using krxtest::CompileFixture;
using krxtest::Messages;
namespace fs = std::filesystem;

class Loader : public CompileFixture {
 protected:
  fs::path dir;
  fs::path oldCwd;
  void SetUp() override {
    CompileFixture::SetUp();
    dir = fs::path(::testing::TempDir()) / ("krx_loader_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    oldCwd = fs::current_path();
    fs::current_path(dir);
  }
  void TearDown() override {
    fs::current_path(oldCwd);
    CompileFixture::TearDown();
  }
  void Write(const std::string& name, const std::string& text) {
    fs::create_directories((dir / name).parent_path());
    std::ofstream(dir / name) << text;
  }
  // Runs function of module to its end; the thread's return value.
  KRX::Var Run(const char* module, const char* function) {
    KRX::tRefPtr<KRX::Thread> t(new KRX::Thread());
    t->m_moduleName = module;
    EXPECT_TRUE(t->Start(function, false, nullptr, 0)) << AllMessages();
    return t->GetReturnValue();
  }
};

TEST_F(Loader, RequireLoadsEachModuleNameOnce) {
  Write("tokens.lua", "Debugout(\"loaded\")\n");
  EXPECT_TRUE(KRX::Require("tokens.lua", true));
  EXPECT_TRUE(KRX::Require("Scripts/Tokens.lua", true));
  EXPECT_EQ(AllMessages(), "loaded\n");
  // LoadScript compiles again and rebinds.
  EXPECT_TRUE(KRX::LoadScript("tokens.lua", true));
  EXPECT_EQ(AllMessages(), "loaded\nloaded\n");
}

TEST_F(Loader, SearchOrderSourceThenScriptsThenModuleFile) {
  Write("Scripts/inner.krx", "function int F() { return 7; }");
  EXPECT_TRUE(KRX::LoadScript("inner.krx", true));
  EXPECT_EQ(Run("inner", "F").ToInt(), 7);
  // Only a module file: main.lua loads Scripts/BinCode/main.bincode.
  ASSERT_TRUE(Compile("function int G() { return 8; }", "main.krx"));
  fs::create_directories(dir / "Scripts" / "BinCode");
  ASSERT_TRUE(KRX::ModuleSaveAll("Scripts/BinCode/"));
  ASSERT_TRUE(KRX::UnloadModule("main"));
  EXPECT_TRUE(KRX::LoadScript("main.lua", true)) << AllMessages();
  EXPECT_EQ(Run("main", "G").ToInt(), 8);
}

TEST_F(Loader, MissingScriptsReportTheModuleFileTried) {
  EXPECT_FALSE(KRX::HasFunction("nothere.lua", "Main"));
  EXPECT_EQ(AllMessages(), "Scripts/BinCode/nothere.bincode(-1) : Unable to open file\n");
  Messages().clear();
  EXPECT_FALSE(KRX::IncludePattern("nothing_*.krx", nullptr));
  EXPECT_EQ(AllMessages(), "(unknown)(-1) : Unable to load file nothing_*.krx\n");
}

TEST_F(Loader, FailuresBindNothing) {
  Write("broken.krx", "function void F() { break; }");
  EXPECT_FALSE(KRX::Require("broken.krx", true));
  Write("throws.krx", "int x = 1 / 0;");
  EXPECT_FALSE(KRX::Require("throws.krx", true));
  Write("damaged.bincode", std::string("\x01\x00\x00\x00\x00", 5));
  EXPECT_FALSE(KRX::LoadBinCode("damaged.bincode"));
  EXPECT_FALSE(KRX::ScriptSystem::IsModuleLoaded("broken"));
  EXPECT_FALSE(KRX::ScriptSystem::IsModuleLoaded("throws"));
  EXPECT_FALSE(KRX::ScriptSystem::IsModuleLoaded("damaged"));
  EXPECT_FALSE(KRX::ScriptSystem::IsModuleLoaded(""));
}

TEST_F(Loader, TopLevelRunsOnceAndItsVariablesStayVisible) {
  Write("state.krx", "int calls = 0; string name = \"n\"; Debugout(\"top\");\n"
                     "function int Next() { calls = calls + 1; return calls; }");
  ASSERT_TRUE(KRX::Require("state.krx", true));
  EXPECT_EQ(Run("state", "Next").ToInt(), 1);
  EXPECT_EQ(Run("state", "Next").ToInt(), 2);
  EXPECT_EQ(AllMessages(), "top\n");
  EXPECT_TRUE(KRX::HasFunction("state.krx", "Next"));
  EXPECT_FALSE(KRX::HasFunction("state.krx", "calls"));
  int size = 0;
  EXPECT_EQ(KRX::GetCode(Module("state"), size), nullptr) << "top-level code is erased after its run";
  // A reload compiles the file again and starts its variables afresh.
  EXPECT_TRUE(KRX::ReloadModule("state"));
  EXPECT_EQ(Run("state", "Next").ToInt(), 1);
  EXPECT_TRUE(KRX::UnloadModule("state.krx"));
  EXPECT_FALSE(KRX::ScriptSystem::IsModuleLoaded("state"));
}

TEST_F(Loader, CompileTextReturnsTheValueAndBindsNothing) {
  EXPECT_EQ(KRX::CompileText("return 1 + 2;", nullptr).ToInt(), 3);
  EXPECT_EQ(KRX::CompileText("return type_float;", nullptr).ToInt(), 3);
  EXPECT_TRUE(KRX::CompileText("return nothere;", nullptr).IsNil());
  EXPECT_FALSE(KRX::ScriptSystem::IsModuleLoaded("(memory)"));
}

TEST_F(Loader, ModuleSaveAllReportsFilesItCannotOpen) {
  ASSERT_TRUE(Compile("function void F() {}", "one.krx"));
  EXPECT_TRUE(KRX::ModuleSaveAll("no/such/folder/"));
  EXPECT_EQ(AllMessages(), "Unable to open file 'no/such/folder/one.bincode'\n");
}

}  // namespace

namespace {

// The debugger evaluates texts in a paused thread's frame: its locals are readable there.
TEST_F(Loader, CompileTextSeesTheContextFrame) {
  ASSERT_TRUE(Compile("function void Waiter(int n) { int local = n * 2; Pause(); }"));
  KRX::tRefPtr<KRX::Thread> t(new KRX::Thread());
  t->m_moduleName = "test";
  KRX::Var arg(21);
  ASSERT_TRUE(t->Start("Waiter", false, &arg, 1)) << AllMessages();
  ASSERT_EQ(t->GetState(), KRX::Thread::STATE_PAUSED);
  EXPECT_EQ(KRX::CompileText("return local + n;", t.get()).ToInt(), 63) << AllMessages();
  EXPECT_EQ(t->GetState(), KRX::Thread::STATE_PAUSED) << "the context thread is only read";
}

}  // namespace
