// The GUI root as the game frame holds it: inside a module under the root module, run by the
// headless platform's frame loop with scripted input, so commands, time and the mouse resting time
// all come through the module tree.
#include <gtest/gtest.h>

#include "../base/system_test_support.h"
#include "support/HeadlessPlatform.h"
#include "base/app/SystemRoot.h"
#include "recording_skin.h"

namespace {

class cl_GuiModule : public base::cl_Module {
 public:
  void Update(float, float dt) override { m_gui.Update(dt); }
  void Render() override { m_gui.Render(0, 0); }
  bool ProcessInput(base::ICMD& cmd) override { return m_gui.ProcessInput(cmd); }
  guitest::cl_TestGUI m_gui;
};

TEST(GuiModule, TooltipAndDoubleClickThroughTheFrameLoop) {
  testsupport::FakeClock clock(10);  // 10 ms a frame
  base::cl_System system;
  auto* platform = new testsupport::cl_HeadlessPlatform;
  system.RegisterPlatform(platform);
  auto* module = new cl_GuiModule;
  system.AddModule(module);
  base::g_pGUI = &module->m_gui;
  auto* panel = new guitest::cl_TestPanel;
  module->m_gui.AddChild(panel);
  ASSERT_TRUE(panel->LoadFromFile((std::string(QUILLANE_DATA_DIR) + "/GUI.xml").c_str(), "GuiSelfTest"));
  base::cl_Window* ok = module->m_gui.FindByLabel("OK");

  auto* input = platform->GetHeadlessInput();
  input->PushAt(0.1f, guitest::Move(150, 20));
  input->PushAt(0.6f, guitest::Move(600, 400));
  // Two presses 50 ms apart: the tree also gets a double click and, later, a single click.
  for (float t : {0.8f, 0.85f}) {
    input->PushAt(t, guitest::Down(150, 20));
    input->PushAt(t, guitest::Up(150, 20));
  }
  std::vector<int> hovered, due;  // frames at which these were seen
  platform->SetFrameHook([&](int frame) {
    if (ok->m_Hovered) hovered.push_back(frame);
    if (ok->m_TooltipDue) due.push_back(frame);
  });
  platform->SetFrameLimit(120);
  ASSERT_TRUE(system.StartUp());
  system.Run();

  ASSERT_FALSE(hovered.empty());
  ASSERT_FALSE(due.empty());
  // Hovered from about 0.1 s to 0.6 s; due once the mouse rested for more than 0.25 s there, and
  // still due after the mouse left.
  EXPECT_NEAR(hovered.front(), 10, 2);
  EXPECT_NEAR(hovered.back(), 60, 2);
  EXPECT_NEAR(due.front(), 36, 2);
  EXPECT_EQ(due.back(), 119);
  // Each press and release pair activates the button; the double click and click commands do not.
  EXPECT_EQ(panel->m_events, (std::vector<std::string>{"ButtonPressed:OK", "ButtonPressed:OK"}));
  system.ShutDown();
}

}  // namespace
