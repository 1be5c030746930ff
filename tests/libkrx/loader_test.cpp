// The loading driver: module names decide what Require loads, the search order for sources and
// module files, top-level code that runs once, and failures that bind nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "KRX/ScriptLoader.h"
#include "KRX/file/BinCodeFile.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/ThreadList.h"
#include "codegen_support.h"
#include "support/EngineLogCapture.h"
#include "support/ScratchFolder.h"

namespace {

using krxtest::CompileFixture;
using krxtest::Messages;
namespace fs = std::filesystem;

class Loader : public CompileFixture {
 protected:
  testsupport::cl_ScratchFolder scratch{"krx_loader"};
  const fs::path& dir = scratch.path();
  fs::path oldCwd;
  void SetUp() override {
    CompileFixture::SetUp();
    ASSERT_FALSE(dir.empty());
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

TEST_F(Loader, MissingScriptsReportTheScriptAndEveryPlaceTried) {
  EXPECT_FALSE(KRX::HasFunction("nothere.lua", "Main"));
  EXPECT_EQ(AllMessages(),
            "nothere.lua(-1) : Unable to open file: not found (nor Scripts/nothere.lua, nor "
            "Scripts/BinCode/nothere.bincode)\n");
  Messages().clear();
  EXPECT_FALSE(KRX::IncludePattern("nothing_*.krx", nullptr));
  EXPECT_EQ(AllMessages(), "(unknown)(-1) : Unable to load file nothing_*.krx\n");
}

// What is not a regular file is refused without being opened for reading (a named pipe would
// block for ever, a device would never end), and so is a file past the size cap.
TEST_F(Loader, SpecialAndHugeFilesAreRefused) {
  ASSERT_EQ(mkfifo((dir / "pipe.krx").c_str(), 0600), 0);
  fs::create_directories(dir / "folder.krx");
  std::ofstream(dir / "huge.krx").close();
  fs::resize_file(dir / "huge.krx", KRX::kMaxScriptFileSize + 1);  // sparse: no disk used
  fs::create_directories(dir / "BinCode");
  std::ofstream(dir / "BinCode" / "huge.bincode").close();
  fs::resize_file(dir / "BinCode" / "huge.bincode", KRX::kMaxModuleFileSize + 1);
  struct {
    const char* path;
    std::string message;
  } cases[] = {
      {"pipe.krx", "pipe.krx(-1) : Unable to open file: not a regular file\n"},
      {"folder.krx", "folder.krx(-1) : Unable to open file: not a regular file\n"},
      {"/dev/zero", "/dev/zero(-1) : Unable to open file: not a regular file\n"},
      {"huge.krx", "huge.krx(-1) : Unable to open file: too large (more than 4194304 bytes: compiling takes about 30 "
                   "times a script's size in memory)\n"},
      {"/dev/zero.bincode", ""},
      {"BinCode/huge.bincode",
       "BinCode/huge.bincode(-1) : Unable to load module file BinCode/huge.bincode (too large: more than 67108864 "
       "bytes)\n"},
  };
  for (const auto& c : cases) {
    Messages().clear();
    EXPECT_FALSE(KRX::LoadScript(c.path, true)) << c.path;
    EXPECT_EQ(AllMessages(), c.message) << c.path;
  }
  // An Include of a device from a script is refused the same way.
  Messages().clear();
  Write("includer.krx", "Include(\"/dev/zero\");");
  KRX::LoadScript("includer.krx", true);
  EXPECT_EQ(AllMessages(), "/dev/zero(-1) : Unable to open file: not a regular file\n");
}

// Messages name the file and the cause: an empty script, a NUL byte that would cut the source
// short, a quote left open.
TEST_F(Loader, BrokenScriptsSayWhatIsWrong) {
  Write("empty.krx", "");
  ASSERT_TRUE(KRX::Require("empty.krx", true));
  Messages().clear();
  KRX::tRefPtr<KRX::Thread> t(new KRX::Thread());
  t->LoadModule("empty.krx");
  EXPECT_FALSE(t->Start("Main", false, nullptr, 0));
  EXPECT_EQ(AllMessages(), "empty.krx(-1) : Unable to find function Main (the script defines no function)\n");

  Messages().clear();
  Write("nul.krx", std::string("function void Main() {\n  x = 1;\0\n}\n", 35));
  EXPECT_FALSE(KRX::LoadScript("nul.krx", true));
  EXPECT_EQ(AllMessages(), "nul.krx(2) : Unable to compile: a NUL byte in the source (offset 31)\n");

  Messages().clear();
  Write("quote.krx", "function void Main() {\n  Debugout(\"open);\n}\n");
  EXPECT_FALSE(KRX::LoadScript("quote.krx", true));
  EXPECT_EQ(AllMessages(), "quote.krx(2) : unterminated string (no closing '\"')\n");
}

// The script library's words reach the game's log only at a raised warning level; a script that
// is not loaded is named there with its cause at any level, once however often it is asked for,
// and again when it is broken anew.
TEST_F(Loader, AScriptThatDoesNotCompileIsNamedInTheLogOncePerCause) {
  testsupport::LogCapture log;
  Write("Scenes/Cove.lua", "function PrepareScene()\n  x = = 1\nend\n");
  EXPECT_FALSE(KRX::Require("Scenes/Cove.lua", true));
  EXPECT_FALSE(KRX::HasFunction("Scenes/Cove.lua", "PrepareScene"));
  EXPECT_FALSE(KRX::LoadScript("Scenes/Cove.lua", false));
  ASSERT_EQ(log.count("ERROR: script Scenes/Cove.lua does not compile: Scenes/Cove.lua(2) : "), 1) << log.text();
  EXPECT_EQ(log.count("; it is not loaded"), 1) << log.text();
  EXPECT_EQ(Messages().size(), 3u) << "the library still says it each time:\n" << AllMessages();

  Write("Scenes/Cove.lua", "function PrepareScene()\n  x = 1\n  y = = 2\nend\n");
  EXPECT_FALSE(KRX::Require("Scenes/Cove.lua", true));
  EXPECT_EQ(log.count("does not compile: Scenes/Cove.lua(3) : "), 1) << log.text();
  Write("Scenes/Cove.lua", "function PrepareScene()\n  x = 1\nend\n");
  EXPECT_TRUE(KRX::Require("Scenes/Cove.lua", true)) << AllMessages();
  EXPECT_EQ(log.count("ERROR:"), 2) << log.text();

  // Top-level code that stops with an error is named by that error, not by what it said before.
  Write("Scenes/Quay.lua", "Debugout(\"Quay\")\nNoSuchFunction()\n");
  EXPECT_FALSE(KRX::Require("Scenes/Quay.lua", true));
  EXPECT_EQ(log.count("ERROR: script Scenes/Quay.lua stopped in its top-level code: Scenes/Quay.lua(2) : "), 1)
      << log.text();
  EXPECT_FALSE(log.contains(": Quay;")) << log.text();
}

// What a writer meets is named at any warning level with the line and a cause in the writer's
// words: a parenthesis or a block left open (at the line where it began), an "end" too many, a
// name used before it is declared, and files refused before compiling (UTF-16, a NUL byte, a
// folder, too large).
TEST_F(Loader, AScriptThatIsNotLoadedIsNamedWithItsLineAndCause) {
  testsupport::LogCapture log;
  const std::string utf16("\xFF\xFEx\0 \0=\0 \0\x31\0\n\0", 14);
  fs::create_directories(dir / "Scenes/Folder.lua");
  std::ofstream(dir / "Scenes/Huge.lua").close();
  fs::resize_file(dir / "Scenes/Huge.lua", KRX::kMaxScriptFileSize + 1);  // sparse: no disk used
  struct {
    const char* file;
    std::string text;  // empty: made above
    std::string logged;
  } cases[] = {
      {"Scenes/Paren.lua", "function OnEnterScene(\n  Says(\"Guard\", \"Tick\")\nend\n",
       "does not compile: Scenes/Paren.lua(1) : unclosed parenthesis: the '(' here has no ')'; it is not loaded"},
      {"Scenes/If.lua", "function OnEnterScene()\n  if Ready() then\n    Go()\n\nfunction Go()\nend\n",
       "does not compile: Scenes/If.lua(2) : missing 'end': the 'if' begun here is not closed; it is not loaded"},
      {"Scenes/Loop.lua", "function Count()\n  local i = 0\n  while i < 3 do\n    i = i + 1\n  end\n",
       "does not compile: Scenes/Loop.lua(1) : missing 'end': the 'function' begun here is not closed; it is not "
       "loaded"},
      {"Scenes/End.lua", "function Count()\nend\nend\n",
       "does not compile: Scenes/End.lua(3) : one 'end' too many: it closes nothing"},
      {"Scenes/Call.lua", "function Count()\n  Says(\"a\", Name(1)\nend\n",
       "does not compile: Scenes/Call.lua(2) : unclosed parenthesis: the '(' here has no ')'; it is not loaded"},
      {"Scenes/Ticks.lua", "Ticks = 0\n",
       "stopped in its top-level code: Scenes/Ticks.lua(1) : undefinied variable 'Ticks' found (a name is made by "
       "declaring it first, \"local name = value\")"},
      {"Scenes/Wide.lua", utf16, "cannot be read: not UTF-8 (the text is UTF-16: save it as UTF-8)"},
      {"Scenes/Nul.lua", std::string("x = 1\ny\0 = 2\n", 13),
       "cannot be read: Scenes/Nul.lua(2) : a NUL byte in the text (byte 7)"},
      {"Scenes/Folder.lua", "", "cannot be read: it is a folder, not a file"},
      {"Scenes/Huge.lua", "",
       "cannot be read: too large (more than 4194304 bytes: compiling takes about 30 times a script's size in memory)"},
  };
  for (const auto& c : cases) {
    if (!c.text.empty()) Write(c.file, c.text);
    EXPECT_FALSE(KRX::Require(c.file, false)) << c.file;
    EXPECT_FALSE(KRX::HasFunction(c.file, "OnEnterScene")) << c.file;
    EXPECT_EQ(log.count("ERROR: script " + std::string(c.file) + " " + c.logged), 1) << log.text();
  }
  EXPECT_EQ(log.count("ERROR: "), static_cast<int>(std::size(cases))) << "once each:\n" << log.text();
  EXPECT_EQ(log.count("; it is not loaded\n"), static_cast<int>(std::size(cases))) << log.text();
}

// The source of Scenes/Broken.lua: 4 KiB of whole functions, then the disk fails (EIO).
ssize_t ReadFourKiBThenFail(void* cookie, char* buffer, size_t size) {
  auto* at = static_cast<size_t*>(cookie);
  constexpr size_t kReadable = 4096;
  if (*at >= kReadable) {
    errno = EIO;
    return -1;
  }
  static const std::string text = [] {
    std::string t;
    for (int i = 0; t.size() < kReadable; ++i) t += "function Step" + std::to_string(i) + "()\n  return 1\nend\n";
    return t;
  }();
  const size_t n = std::min(size, kReadable - *at);
  std::memcpy(buffer, text.data() + *at, n);
  *at += n;
  return static_cast<ssize_t>(n);
}

std::FILE* OpenBrokenSource(const char* path) {
  static size_t at;
  if (std::strcmp(path, "Scenes/Broken.lua") != 0) return nullptr;
  at = 0;
  return fopencookie(&at, "r", {ReadFourKiBThenFail, nullptr, nullptr, nullptr});
}

// A source whose reading fails part-way is refused with the cause and the byte, not compiled from
// the part read (which would run as a shorter script, or be blamed for what it lacks).
TEST_F(Loader, AScriptWhoseFileCannotBeReadToItsEndIsRefusedWithTheCause) {
  testsupport::LogCapture log;
  KRX::SetSourceOpener(OpenBrokenSource);
  const bool loaded = KRX::Require("Scenes/Broken.lua", false);
  const bool stepping = KRX::HasFunction("Scenes/Broken.lua", "Step1");
  KRX::SetSourceOpener(nullptr);
  EXPECT_FALSE(loaded);
  EXPECT_FALSE(stepping);
  const std::string cause = "read error at byte 4096: " + std::string(std::strerror(EIO));
  EXPECT_EQ(log.count("ERROR: script Scenes/Broken.lua cannot be read: " + cause + "; it is not loaded\n"), 1)
      << log.text();
  EXPECT_NE(AllMessages().find("Scenes/Broken.lua(-1) : Unable to read file: " + cause + "\n"), std::string::npos)
      << AllMessages();
}

// A thread that never yields is ended with a run-time error at its line, whatever the loop
// looks like; one that yields gets a fresh allowance each time it is resumed.
TEST_F(Loader, ThreadsThatNeverYieldAreEnded) {
  KRX::ScriptSystem::SetStepsWithoutYield(20000);
  Write("spin.krx",
        "function void While() {\n  int i = 0;\n  while (true) {\n    i = i + 1;\n  }\n}\n"
        "function void For() {\n  for (;;) {}\n}\n"
        "function int Patient() {\n  int n = 0;\n  while (n < 20) {\n    Sleep(0);\n"
        "    int i = 0;\n    while (i < 1000) { i = i + 1; }\n    n = n + 1;\n  }\n  return n;\n}\n");
  ASSERT_TRUE(KRX::Require("spin.krx", true)) << AllMessages();
  const struct {
    const char* function;
    const char* error;
  } endless[] = {
      {"While", "spin.krx(4) : Execution stopped: the step budget is used up"},
      {"For", "spin.krx(8) : Execution stopped: the step budget is used up"},
  };
  for (const auto& c : endless) {
    KRX::tRefPtr<KRX::Thread> t(new KRX::Thread());
    t->m_moduleName = "spin";
    EXPECT_FALSE(t->Start(c.function, false, nullptr, 0));
    EXPECT_EQ(t->GetState(), KRX::Thread::STATE_DEAD);
    EXPECT_EQ(t->m_lastError, c.error);
    EXPECT_EQ(t->GetStepBudget(), -1);  // the guard is no budget of the thread's own
  }
  KRX::tRefPtr<KRX::Thread> t(new KRX::Thread());
  t->m_moduleName = "spin";
  ASSERT_TRUE(t->Start("Patient", false, nullptr, 0)) << t->m_lastError;
  for (int i = 0; i < 40 && t->GetState() == KRX::Thread::STATE_WAITING; ++i) KRX::ThreadList::Update(0.1f);
  EXPECT_EQ(t->GetState(), KRX::Thread::STATE_FINISHED) << t->m_lastError;
  EXPECT_EQ(t->GetReturnValue().ToInt(), 20);

  // 0 switches the guard off; Init restores the default.
  KRX::ScriptSystem::SetStepsWithoutYield(0);
  EXPECT_EQ(KRX::ScriptSystem::GetStepsWithoutYield(), 0);
  KRX::ScriptSystem::SetStepsWithoutYield(-5);
  EXPECT_EQ(KRX::ScriptSystem::GetStepsWithoutYield(), 0);
}

// A thread that ends lets go of itself: ThreadCreate passes the thread as its first parameter,
// and a run-time error, or a value stored under the thread's own name, must not keep it alive.
TEST_F(Loader, EndedThreadsHoldNoReferenceToThemselves) {
  Write("workers.krx",
        "function void Fails(thread self) {\n  int x = 1 / 0;\n}\n"
        "function void Keeps(thread self) {\n  ThreadSetValue(self, \"me\", self);\n  ThreadSetValue(self, \"n\", 4);\n}\n"
        "function void KeepsThenFails(thread self) {\n  thread again = self;\n  ThreadSetValue(self, \"me\", self);\n"
        "  int x = 1 / 0;\n}\n"
        "function thread Make(func f) {\n  return ThreadCreate(f);\n}\n");
  ASSERT_TRUE(KRX::Require("workers.krx", true)) << AllMessages();
  for (const char* worker : {"Fails", "Keeps", "KeepsThenFails"}) {
    SCOPED_TRACE(worker);
    KRX::tRefPtr<KRX::Thread> maker(new KRX::Thread());
    maker->m_moduleName = "workers";
    KRX::Var function;
    function.SetModule(KRX::ScriptSystem::FindSymbol("workers", worker)->GetModule());
    ASSERT_TRUE(maker->Start("Make", false, &function, 1)) << maker->m_lastError;
    KRX::tRefPtr<KRX::Thread> made(maker->GetReturnValue().GetThreadObject());
    ASSERT_TRUE(made);
    maker = nullptr;
    for (int i = 0; i < 3; ++i) KRX::ThreadList::Update(0.1f);  // runs it, then drops it from the list
    EXPECT_LE(made->GetState(), KRX::Thread::STATE_FINISHED);
    EXPECT_EQ(made->GetRefCount(), 1) << "only this test's reference is left";
  }
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
  EXPECT_FALSE(KRX::ModuleSaveAll("no/such/folder/"));
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
