// The frame loop on the headless platform: time steps across the millisecond counter's wrap, the
// accumulated time's cap, drawn frames, and the window messages that end or keep the loop.
#include <cmath>
#include <vector>

#include "platform/gpu/Device.h"
#include "shell_test_support.h"
#include "win32dx9/ClearScreen.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace shelltest {
namespace {

using platform::input::Message;

class FrameLoop : public ShellTest {};

TEST_F(FrameLoop, HundredFramesAcrossTheCounterWrap) {
  // 16 ms a frame, starting 0.5 s before the 32-bit counter wraps.
  StepClock clock(0xFFFFFFFFu - 500u, 16);
  Configure(kSmallDisplay);
  auto* clear = new win32dx9::cl_ClearScreen(0xFF2060C0u);
  auto* probe = new Probe;
  m_system->AddModule(clear);
  m_system->AddModule(probe);
  Start();
  m_platform->SetFrameLimit(100);
  m_system->Run();

  EXPECT_EQ(m_platform->GetFramesRendered(), 100);
  EXPECT_EQ(probe->renders, 100);
  ASSERT_EQ(probe->steps.size(), 100u);
  // The first frame follows the loop's start without a sleep; every later one is one step on,
  // the one across the wrap included.
  EXPECT_EQ(probe->steps[0].dt, 0.0f);
  double sum = 0.0;
  for (size_t i = 1; i < probe->steps.size(); ++i) {
    EXPECT_FLOAT_EQ(probe->steps[i].dt, 0.016f) << "frame " << i;
    sum += probe->steps[i].dt;
    // acc grows by dt and stops at one second; it is never reset.
    EXPECT_NEAR(probe->steps[i].time, std::min(sum, 1.0), 1e-4) << "frame " << i;
  }
  EXPECT_EQ(probe->steps.back().time, 1.0f);
  float acc = 0, dt = 0;
  ASSERT_TRUE(m_platform->GetTime(acc, dt));
  EXPECT_EQ(acc, 1.0f);
  EXPECT_FLOAT_EQ(dt, 0.016f);
  EXPECT_EQ(base::sys::Time(), 1.0f);

  // What the screen shows: the clear colour everywhere.
  std::vector<uint32_t> pixels;
  uint32_t w = 0, h = 0;
  ASSERT_EQ(win32dx9::GetD3DDevice()->ReadScreen(&pixels, &w, &h), gpu::kOk);
  EXPECT_EQ(w, 64u);
  EXPECT_EQ(h, 48u);
  for (uint32_t p : pixels) ASSERT_EQ(p & 0xFFFFFF, 0x2060C0u);
}

TEST_F(FrameLoop, CloseRequestTogglesTheQuitModuleOrEndsTheProgram) {
  StepClock clock(0, 10);
  Configure(kSmallDisplay);
  auto* probe = new Probe;
  m_system->AddModule(probe);
  auto* confirm = new Probe;  // the quit confirmation, off until the window is asked to close
  m_system->AddModule(confirm);
  Start();
  m_system->SetQuit(true);
  m_system->Run();  // only starts the tree: the quit flag is set
  base::sys::SetCustomQuitModule(confirm);
  // With a quit module: the close request opens it and the loop goes on.
  m_platform->SetFrameLimit(10);
  m_platform->SetFrameHook([&](int frame) {
    if (frame == 2) m_platform->PostMessage(Message::Close);
  });
  m_system->SetQuit(false);
  m_platform->Run();
  EXPECT_EQ(m_platform->GetFramesRendered(), 10);
  EXPECT_TRUE(confirm->IsActive());

  // Without one the close request ends the loop after that frame.
  base::sys::SetCustomQuitModule(nullptr);
  m_platform->SetFrameLimit(0);
  m_platform->SetFrameHook([&](int frame) {
    if (frame == 13) m_platform->PostMessage(Message::Close);
    if (frame > 20) m_system->SetQuit(true);  // guard
  });
  m_system->SetQuit(false);
  m_platform->Run();
  EXPECT_TRUE(m_system->GetQuit());
  EXPECT_EQ(m_platform->GetFramesRendered(), 14);
}

TEST_F(FrameLoop, QuitMessageEndsTheLoopBeforeTheFramesUpdate) {
  StepClock clock(0, 10);
  Configure(kSmallDisplay);
  auto* probe = new Probe;
  m_system->AddModule(probe);
  Start();
  m_platform->SetFrameHook([&](int frame) {
    if (frame == 3) m_platform->PostMessage(Message::Quit);
    if (frame > 10) m_system->SetQuit(true);  // guard
  });
  m_system->Run();
  EXPECT_EQ(probe->steps.size(), 3u);
  EXPECT_EQ(m_platform->GetFramesRendered(), 3);
}

TEST_F(FrameLoop, ScriptedInputReachesTheModulesBeforeTheUpdate) {
  StepClock clock(0, 10);
  Configure(kSmallDisplay);
  auto* probe = new Probe;
  m_system->AddModule(probe);
  Start();
  platform::input::Queue& queue = m_platform->GetInputQueue();
  m_platform->SetFrameLimit(3);
  m_platform->SetFrameHook([&](int frame) {
    if (frame != 1) return;
    queue.MouseMotion(3, 0, 40, 30, 0);
    queue.Key(0x1E, true, 0);  // A
  });
  m_system->Run();
  ASSERT_EQ(probe->commands.size(), 2u);
  EXPECT_EQ(probe->commands[0].type, 2);
  EXPECT_EQ(probe->commands[1].type, 0);
  EXPECT_EQ(probe->commands[1].key, 'A');
  EXPECT_EQ(base::sys::MouseX(), 40);
  EXPECT_EQ(base::sys::MouseY(), 30);
  EXPECT_TRUE(base::sys::KeyState('A'));
  // Delivered in the second frame, before its update (the first frame's update came before).
  EXPECT_EQ(probe->steps.size(), 3u);
}

}  // namespace
}  // namespace shelltest
