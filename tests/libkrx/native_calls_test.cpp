// Native functions called from compiled scripts: a native that takes the whole call before its
// typed parameters, and a native that shuts the script system down in the middle of a scheduler
// step.
#include <gtest/gtest.h>

#include "KRX/runtime/Interface.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/function_adapter.h"
#include "codegen_support.h"
#include "krx_asm.h"

namespace {

using krxtest::CompileFixture;

int g_ticks = 0;

// The call first, then what the script passes: a label, a count and a factor.
float Scaled(KRX::t_Interface& in, const char* label, int count, float factor) {
  return in.m_thread && label && label[0] == 'x' ? float(count) * factor : -1.0f;
}
void EndScripts() { KRX::ScriptSystem::Shutdown(); }
void Tick() { ++g_ticks; }

class NativeCallFromScript : public CompileFixture {
 protected:
  void SetUp() override {
    CompileFixture::SetUp();
    g_ticks = 0;
    KRX::Module& root = KRX::ScriptSystem::GetModule();
    KRX::RegisterFunction(root, "Scaled", &Scaled);
    KRX::RegisterFunction(root, "EndScripts", &EndScripts);
    KRX::RegisterFunction(root, "Tick", &Tick);
  }
};

TEST_F(NativeCallFromScript, ParametersAfterTheCallReadTheScriptArgumentsInOrder) {
  ASSERT_TRUE(
      Compile("function float Main() { return Scaled(\"x\", 3, 2.5); }\n"
              "function float Bad() { return Scaled(\"x\", \"three\", 2.5); }\n"))
      << AllMessages();
  EXPECT_FLOAT_EQ(krxtest::RunNow("test", "Main")->GetReturnValue().ToFloat(), 7.5f) << AllMessages();
  // A bad argument is named by its place in the script's call.
  auto bad = krxtest::RunNow("test", "Bad");
  EXPECT_EQ(bad->GetState(), KRX::Thread::STATE_DEAD);
  EXPECT_NE(AllMessages().find("invalid parameter 2: found string(const) / expected int"), std::string::npos)
      << AllMessages();
}

// The step stops its walk when the list it walks is gone; the thread that asked ends dead, and
// the threads behind it in the old list never run again.
TEST_F(NativeCallFromScript, ShuttingDownInsideASchedulerStepEndsTheStep) {
  ASSERT_TRUE(
      Compile("function void Quit() { Sleep(0.1); EndScripts(); Tick(); }\n"
              "function void Later() { Sleep(0.1); Tick(); }\n"))
      << AllMessages();
  auto quit = krxtest::RunNow("test", "Quit");
  auto later = krxtest::RunNow("test", "Later");
  ASSERT_EQ(KRX::ScriptSystem::GetThreads().size(), 2u);
  KRX::ThreadList::Update(0.5f);
  EXPECT_EQ(g_ticks, 0);
  EXPECT_EQ(quit->GetState(), KRX::Thread::STATE_DEAD);
  EXPECT_NE(later->GetState(), KRX::Thread::STATE_FINISHED);
  EXPECT_TRUE(KRX::ScriptSystem::GetThreads().empty());
  // The scheduler works again once the system is back.
  KRX::ScriptSystem::Init();
  KRX::RegisterFunction(KRX::ScriptSystem::GetModule(), "Tick", &Tick);
  ASSERT_TRUE(Compile("function void Again() { Sleep(0.1); Tick(); }\n")) << AllMessages();
  krxtest::RunNow("test", "Again");
  KRX::ThreadList::Update(0.5f);
  EXPECT_EQ(g_ticks, 1);
  // A thread the game started outright ends too.
  KRX::RegisterFunction(KRX::ScriptSystem::GetModule(), "EndScripts", &EndScripts);
  ASSERT_TRUE(Compile("function void Direct() { EndScripts(); Tick(); }\n")) << AllMessages();
  EXPECT_EQ(krxtest::RunNow("test", "Direct")->GetState(), KRX::Thread::STATE_DEAD);
  EXPECT_EQ(g_ticks, 1);
}

}  // namespace
