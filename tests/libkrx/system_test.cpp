// The script system object: output routing, error reports, module names and look-ups.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "base/String.h"
#include "support/LogCapture.h"

namespace {

// The script system's output callback as a log (no sleep callback).
struct st_ScriptOutput {
  static void Install(void (*fn)(const char*)) { KRX::ScriptSystem::SetCallbacks(fn, nullptr); }
  static void Remove() { KRX::ScriptSystem::SetCallbacks(nullptr, nullptr); }
};

struct ScriptSystemTest : ::testing::Test {
  void SetUp() override {
    KRX::ScriptSystem::Init();
    m_output.emplace();
  }
  void TearDown() override {
    m_output.reset();
    KRX::ScriptSystem::Shutdown();
  }
  std::vector<std::string> Lines() const { return m_output->get(); }
  std::optional<testsupport::tLogCapture<st_ScriptOutput>> m_output;
};

TEST(SplitPath, ModuleNames) {
  struct {
    const char* path;
    const char* name;
  } cases[] = {
      {"Scenes/Intro.lua", "intro"}, {"x\\y/A.b.c", "a"},    {"dir/", "(memory)"},
      {".lua", "(memory)"},          {"Campaign", "campaign"}, {"a/b\\C.D", "c"},
      {"", "(memory)"},
  };
  for (const auto& c : cases) {
    base::String name("stale");
    KRX::SplitPath(c.path, name);
    EXPECT_STREQ(name.c_str(), c.name) << c.path;
  }
  base::String name("stale");
  KRX::SplitPath(nullptr, name);
  EXPECT_TRUE(name.empty());
}

TEST_F(ScriptSystemTest, ReportsCarryFileAndLine) {
  KRX::ReportError("plain %d", 1);
  KRX::ReportError("%s", "");  // an empty message is still a message; an empty format is not
  const char* emptyFormat = "";
  KRX::ReportError(emptyFormat, 0);
  KRX::ReportFileError("castle.lua", 12, "bad %s", "thing");
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "(-1) : plain 1");
  EXPECT_EQ(lines[1], "(-1) : ");
  EXPECT_EQ(lines[2], "castle.lua(12) : bad thing");

  // Inside a run: the current thread's frame gives file and line.
  auto* file = new KRX::BinCode();
  KRX::tRefPtr<KRX::BinCode> keep(file);
  file->FindOrCreate("~file", 0)->SetString("Scripts/intro.lua");
  auto* func = new KRX::BinCode();
  file->FindOrCreate("Main", KRX::VT_MODULE)->SetModule(func);
  func->SetParent(file);
  KRX::tRefPtr<KRX::Thread> thread(new KRX::Thread());
  auto* frame = new KRX::Frame();
  frame->m_function = func;
  frame->m_module = file;
  frame->m_line = 42;
  thread->m_frames[0] = frame;
  thread->m_frameIndex = 0;
  KRX::ScriptSystem::SetCurrentThread(thread.get());
  KRX::ReportError("oops");
  KRX::ScriptSystem::SetCurrentThread(nullptr);
  EXPECT_EQ(Lines().back(), "Scripts/intro.lua(42) : oops");
}

TEST_F(ScriptSystemTest, LongMessagesArriveWhole) {
  std::string text(300, 'x');
  text += "END";
  KRX::ReportFileError("f", 1, "%s", text.c_str());
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "f(1) : " + text);
}

KRX::Debugger* const kFakeDebugger = reinterpret_cast<KRX::Debugger*>(0x1000);
std::vector<std::string> g_debuggerLines;
void DebuggerSink(KRX::Debugger* d, const char* text) {
  EXPECT_EQ(d, kFakeDebugger);
  g_debuggerLines.emplace_back(text);
}

TEST_F(ScriptSystemTest, ADebuggerTakesTheOutput) {
  g_debuggerLines.clear();
  KRX::ScriptSystem::AttachDebugger(kFakeDebugger, &DebuggerSink);
  KRX::ScriptSystem::Output("to the debugger");
  KRX::ScriptSystem::DetachDebugger();
  KRX::ScriptSystem::Output("to the callback");
  EXPECT_EQ(g_debuggerLines, std::vector<std::string>{"to the debugger"});
  EXPECT_EQ(Lines(), std::vector<std::string>{"to the callback"});
}

TEST_F(ScriptSystemTest, LookUpsOfLoadedModules) {
  KRX::BinCode* root = KRX::ScriptSystem::GetRoot();
  ASSERT_NE(root, nullptr);
  auto* castle = new KRX::BinCode();
  root->FindOrCreate("castle", KRX::VT_MODULE)->SetModule(castle);
  castle->SetParent(root);
  castle->FindOrCreate("Open", KRX::VT_INT)->SetInt(3);
  root->FindOrCreate("type_int", KRX::VT_INT)->SetInt(2);
  KRX::Var* alias = root->FindOrCreate("alias", KRX::VT_REFERENCE);
  alias->SetReference(root->Find("castle"));
  KRX::Var* list = root->FindOrCreate("list", 0);
  list->SetArrayType(KRX::VT_MODULE);

  EXPECT_TRUE(KRX::ScriptSystem::IsModuleLoaded("castle"));
  EXPECT_TRUE(KRX::ScriptSystem::IsModuleLoaded("alias"));
  EXPECT_FALSE(KRX::ScriptSystem::IsModuleLoaded("Castle"));  // names as given
  EXPECT_FALSE(KRX::ScriptSystem::IsModuleLoaded("type_int"));
  EXPECT_FALSE(KRX::ScriptSystem::IsModuleLoaded("list"));
  EXPECT_FALSE(KRX::ScriptSystem::IsModuleLoaded(nullptr));

  ASSERT_NE(KRX::ScriptSystem::FindSymbol("castle", "Open"), nullptr);
  EXPECT_EQ(KRX::ScriptSystem::FindSymbol("castle", "Open")->ToInt(), 3);
  EXPECT_EQ(KRX::ScriptSystem::FindSymbol("alias", "Open"), KRX::ScriptSystem::FindSymbol("castle", "Open"));
  EXPECT_EQ(KRX::ScriptSystem::FindSymbol("castle", nullptr), root->Find("castle"));
  EXPECT_EQ(KRX::ScriptSystem::FindSymbol("castle", "Close"), nullptr);
  EXPECT_EQ(KRX::ScriptSystem::FindSymbol("type_int", "x"), nullptr);
  EXPECT_EQ(KRX::ScriptSystem::FindSymbol("nowhere", "Open"), nullptr);
}

int g_libraryCalls = 0;
void InitTestLibrary(KRX::Module& root) {
  ++g_libraryCalls;
  root.GetRoot()->FindOrCreate("lib_value", KRX::VT_INT)->SetInt(1);
}

TEST_F(ScriptSystemTest, LibrariesAndThreadsEndWithShutdown) {
  g_libraryCalls = 0;
  KRX::ScriptSystem::RegisterLibrary("test", &InitTestLibrary);
  EXPECT_TRUE(KRX::ScriptSystem::InitLibrary("test"));
  EXPECT_FALSE(KRX::ScriptSystem::InitLibrary("other"));
  EXPECT_EQ(g_libraryCalls, 1);
  EXPECT_NE(KRX::ScriptSystem::FindSymbol("lib_value", nullptr), nullptr);

  KRX::tRefPtr<KRX::Thread> thread(new KRX::Thread());
  KRX::ScriptSystem::AddThread(thread.get());
  EXPECT_EQ(thread->GetRefCount(), 2);
  EXPECT_EQ(KRX::ScriptSystem::GetThreads().size(), 1u);
  KRX::ScriptSystem::Shutdown();
  EXPECT_EQ(thread->GetRefCount(), 1);
  EXPECT_EQ(KRX::ScriptSystem::GetRoot(), nullptr);
  EXPECT_FALSE(KRX::ScriptSystem::InitLibrary("test"));
}

}  // namespace
