// The root module on the headless platform, run for a number of frames on a fake clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "support/HeadlessPlatform.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "system_test_support.h"
#include "test_support.h"

namespace {

using testsupport::FakeClock;
using testsupport::Journal;
using testsupport::Only;
using testsupport::Recorder;

base::ICMD Cmd(int type, int x = 0, int y = 0) {
  base::ICMD c;
  c.type = static_cast<uint8_t>(type);
  c.mouseX = static_cast<uint16_t>(x);
  c.mouseY = static_cast<uint16_t>(y);
  return c;
}

// A system on the headless platform with one recording module "tree" as its child.
struct HeadlessRun {
  explicit HeadlessRun(unsigned frameMs) : clock(frameMs) {
    platform = new testsupport::cl_HeadlessPlatform;
    system.RegisterPlatform(platform);
    tree = new Recorder(journal, "tree");
    system.AddModule(tree);
  }
  // Starts up and runs frames frames.
  void Run(int frames) {
    platform->SetFrameLimit(frames);
    ASSERT_TRUE(system.StartUp());
    system.Run();
  }
  Journal journal;  // first: the modules write into it while the system destroys them
  FakeClock clock;
  base::cl_System system;
  testsupport::cl_HeadlessPlatform* platform;
  Recorder* tree;
};

TEST(RootModule, LeftPressesBecomeClicksAndDoubleClicks) {
  HeadlessRun run(15);  // 15 ms per frame: no press or click time falls on a frame boundary
  Journal inputs;
  run.platform->SetFrameHook([&](int frame) {
    for (const auto& e : Only(run.journal, "tree:input")) inputs.push_back(e.substr(10) + "@" + std::to_string(frame));
    run.journal.clear();
  });
  auto* input = run.platform->GetHeadlessInput();
  // Two presses 0.1 s apart, then a lone press a second later.
  input->PushAt(0.5f, Cmd(3, 10, 20));
  input->PushAt(0.5f, Cmd(4, 10, 20));
  input->PushAt(0.59f, Cmd(3, 11, 21));
  input->PushAt(0.59f, Cmd(4, 11, 21));
  input->PushAt(1.6f, Cmd(3, 30, 40));
  run.Run(200);

  // Frame f runs at f * 15 ms and what it did is seen in the hook of frame f + 1: the presses
  // arrive in frames 34 and 40 and the lone one in 107. The first press's click stays pending
  // over the double click and comes once 0.2 s passed after the second press (frame 53); the
  // lone press's click 0.2 s after it (frame 120).
  EXPECT_EQ(inputs, (Journal{"3@35", "4@35", "9@41", "3@41", "4@41", "10@54", "3@108", "10@121"}));
  EXPECT_EQ(base::sys::MouseX(), 30);
  EXPECT_EQ(base::sys::MouseY(), 40);
  EXPECT_TRUE(base::sys::MouseButton(0));  // the last press had no release
  EXPECT_FALSE(base::sys::MouseButton(1));
}

// Two presses half a second apart that one poll hands on together, as on a machine so busy that
// a frame lasts a second, are two clicks: a double click would skip what the first one started.
// Presses of one poll shorter than the window are still a double click.
TEST(RootModule, PressesOfOneSlowFrameAreTwoClicks) {
  struct st_Case {
    unsigned frameMs;
    float first, second;  // the presses' times; both fall into the poll of one frame
    Journal expected;
  };
  const st_Case cases[] = {
      {1000, 1.2f, 1.7f, {"3@3", "4@3", "10@3", "3@3", "4@3", "10@3"}},
      {150, 0.62f, 0.68f, {"3@6", "4@6", "9@6", "3@6", "4@6", "10@7"}},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.frameMs) + " ms frames");
    HeadlessRun run(c.frameMs);
    Journal inputs;
    run.platform->SetFrameHook([&](int frame) {
      for (const auto& e : Only(run.journal, "tree:input")) inputs.push_back(e.substr(10) + "@" + std::to_string(frame));
      run.journal.clear();
    });
    auto* input = run.platform->GetHeadlessInput();
    for (float at : {c.first, c.second}) {
      input->PushAt(at, Cmd(3, 10, 20));
      input->PushAt(at, Cmd(4, 10, 20));
    }
    run.Run(8);
    EXPECT_EQ(inputs, c.expected);
  }
}

TEST(RootModule, ClickStateBeforeAnyFrame) {
  FakeClock clock(10);
  base::cl_System system;
  EXPECT_EQ(base::sys::MouseX(), 0);
  EXPECT_EQ(base::sys::MouseY(), 0);
  EXPECT_EQ(base::sys::GetWindowWidth(), -1);
  EXPECT_EQ(base::sys::GetWindowHeight(), -1);
  base::sys::SetWindowSize(640, 480);
  EXPECT_EQ(base::sys::GetWindowWidth(), 640);
  // A mouse move resets the resting time; other commands do not.
  system.Update(0.0f, 0.75f);
  EXPECT_FLOAT_EQ(base::sys::GetMouseRestingTime(), 0.75f);
  base::ICMD move = Cmd(2, 5, 6);
  system.ProcessInput(move);
  EXPECT_FLOAT_EQ(base::sys::GetMouseRestingTime(), 0.0f);
  // A long step on a fresh system: the second is over, and no frame was counted in it.
  system.Update(2.0f, 1.5f);
  EXPECT_EQ(base::sys::GetFPS(), 0);
  EXPECT_FLOAT_EQ(base::sys::Time(), 2.0f);
}

TEST(RootModule, CountsFramesPerSecond) {
  HeadlessRun run(125);  // 8 frames a second; the first frame's step is 0
  std::vector<int> fps;
  run.platform->SetFrameHook([&](int) { fps.push_back(base::sys::GetFPS()); });
  run.Run(30);
  // The first second counts the frame of step 0 too.
  EXPECT_EQ(fps[9], 0);
  EXPECT_EQ(fps[10], 9);
  EXPECT_EQ(fps[17], 9);
  EXPECT_EQ(fps[18], 8);
  EXPECT_EQ(fps[29], 8);
  EXPECT_EQ(run.platform->GetFramesRendered(), 30);
  EXPECT_FLOAT_EQ(run.platform->GetTime(), 29 * 0.125f);
}

TEST(RootModule, CustomQuitModuleTakesOverWhileActive) {
  HeadlessRun run(60);
  Recorder quit(run.journal, "quit");
  quit.StartUp();
  run.system.SetCustomQuitModule(&quit);
  EXPECT_FALSE(quit.IsActive());
  auto* input = run.platform->GetHeadlessInput();
  Journal perFrame;
  run.platform->SetFrameHook([&](int frame) {
    std::string line = std::to_string(frame) + ":";
    for (const auto& e : run.journal) line += " " + e;
    perFrame.push_back(line);
    run.journal.clear();
    if (frame == 4 || frame == 8) run.platform->RequestClose();  // toggles the confirmation
    if (frame == 5) {
      input->Push(Cmd(0));
      input->Push(Cmd(3));  // first press: to the quit module
    }
    if (frame == 6) input->Push(Cmd(3));  // second press within 0.2 s: the tree gets 9 and 3
  });
  run.Run(11);
  EXPECT_EQ(perFrame[4], "4: tree:update tree:render");
  EXPECT_EQ(perFrame[5], "5: quit:update tree:render quit:render");
  EXPECT_EQ(perFrame[6], "6: quit:input0 quit:input3 quit:update tree:render quit:render");
  EXPECT_EQ(perFrame[7], "7: tree:input9 tree:input3 quit:update tree:render quit:render");
  EXPECT_EQ(perFrame[9], "9: tree:update tree:render");  // closed again at frame 8
  // The pending click of the first press reaches the tree once the quit module is gone.
  EXPECT_EQ(perFrame[10], "10: tree:input10 tree:update tree:render");

  // Without a quit module a close request ends the loop.
  run.system.SetCustomQuitModule(nullptr);
  EXPECT_FALSE(base::sys::CustomQuit());
}

TEST(RootModule, CloseRequestWithoutQuitModuleEndsTheLoop) {
  HeadlessRun run(10);
  run.platform->SetFrameHook([&](int frame) {
    if (frame == 3) run.platform->RequestClose();
  });
  run.Run(100);
  EXPECT_EQ(run.platform->GetFramesRendered(), 3);
  EXPECT_TRUE(run.system.GetQuit());
}

// A configuration of just a "Display" element with the given size; the element, for more.
base::Variant& ConfigureDisplay(HeadlessRun& run, float width, float height) {
  base::Variant& config = run.system.GetConfigTree();
  config.set_element("Config");
  base::Variant& display = config.add_element("Display");
  display.attribute("Width")->set_float(width);
  display.attribute("Height")->set_float(height);
  return display;
}

TEST(RootModule, StartUpTakesTheDisplayAndTheKeys) {
  HeadlessRun run(10);
  ConfigureDisplay(run, 800, 600).attribute("Fullscreen")->set_float(1);
  run.platform->GetHeadlessInput()->SetKeyDown(65, true);
  run.Run(1);
  EXPECT_EQ(base::sys::GetWindowWidth(), 800);
  EXPECT_EQ(base::sys::GetWindowHeight(), 600);
  EXPECT_TRUE(base::sys::IsFullscreen());
  EXPECT_EQ(run.platform->GetClientWidth(), 800);
  EXPECT_TRUE(base::sys::KeyState(65));
  EXPECT_FALSE(base::sys::KeyState(66));
  EXPECT_TRUE(run.tree->IsActive());  // Run started the module tree
  EXPECT_TRUE(run.system.ShutDown());
  EXPECT_EQ(run.system.GetPlatform(), nullptr);
  EXPECT_FALSE(base::sys::KeyState(65));  // the devices went with the platform
}

TEST(RootModule, AnOversizedDisplayInTheConfigIsLeftToThePlatform) {
  HeadlessRun run(10);
  ConfigureDisplay(run, 100000, 600);
  testsupport::LogCapture log;
  run.Run(1);
  EXPECT_TRUE(log.contains("ERROR: config: Display Width 100000 is larger than 8192"));
  EXPECT_EQ(base::sys::GetWindowWidth(), 1024);  // the headless desktop's
  EXPECT_EQ(base::sys::GetWindowHeight(), 600);
  EXPECT_TRUE(run.system.ShutDown());
}

// Screen buffers of 16384 x 16384 would take gigabytes: past 8K sides or an 8K screen's pixels
// the platform chooses the size.
TEST(RootModule, DisplaysPastEightKAreLeftToThePlatform) {
  const struct {
    int width, height;
    const char* message;
  } cases[] = {
      {16384, 16384, "ERROR: config: Display Width 16384 is larger than 8192"},
      {8192, 8192, "ERROR: config: Display 8192x8192 has more than 33177600 pixels"},
  };
  for (const auto& c : cases) {
    HeadlessRun run(10);
    ConfigureDisplay(run, c.width, c.height);
    testsupport::LogCapture log;
    run.Run(1);
    EXPECT_TRUE(log.contains(c.message)) << c.width;
    EXPECT_LE(base::sys::GetWindowWidth(), 8192);
    EXPECT_LE(static_cast<long long>(base::sys::GetWindowWidth()) * base::sys::GetWindowHeight(), 7680LL * 4320LL);
    EXPECT_TRUE(run.system.ShutDown());
  }
  HeadlessRun run(10);
  ConfigureDisplay(run, 7680, 4320);
  run.Run(1);
  EXPECT_EQ(base::sys::GetWindowWidth(), 7680);
  EXPECT_EQ(base::sys::GetWindowHeight(), 4320);
  EXPECT_TRUE(run.system.ShutDown());
}

struct PanicStop : std::runtime_error {
  using std::runtime_error::runtime_error;
};
void ThrowingPanic(const char* message) { throw PanicStop(message); }

TEST(RootModule, AGraphicsDeviceThatFailsToStartIsFatal) {
  HeadlessRun run(10);
  run.platform->GetHeadlessGraphics()->FailStartUp("no adapter");
  base::sys::SetPanicHandler(ThrowingPanic);
  try {
    run.system.StartUp();
    ADD_FAILURE() << "StartUp returned";
  } catch (const PanicStop& stop) {
    EXPECT_STREQ(stop.what(), "Could not initialize DirectX adapter:\nno adapter");
  }
  base::sys::SetPanicHandler(nullptr);
  EXPECT_EQ(run.system.GetPlatform(), nullptr);  // the system was shut down first
}

TEST(RootModuleDeathTest, PanicPrintsAndExitsWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(base::sys::Panic("out of cheese"), testing::ExitedWithCode(255), "out of cheese");
}

}  // namespace

namespace {

// Holds the frame in the updates it is told to.
class cl_FrameHolder final : public base::cl_Module {
 public:
  explicit cl_FrameHolder(std::vector<int> held) : m_held(std::move(held)) {}
  void Update(float time, float dt) override {
    ++m_updates;
    if (std::find(m_held.begin(), m_held.end(), m_updates) != m_held.end()) base::cl_System::GetInstance()->HoldFrame();
    base::cl_Module::Update(time, dt);
  }
  int Updates() const { return m_updates; }

 private:
  std::vector<int> m_held;
  int m_updates = 0;
};

}  // namespace

// A frame held during the update is neither drawn nor presented nor counted; the loop goes on.
TEST(RootModule, AHeldFrameIsNeitherDrawnNorPresented) {
  HeadlessRun run(100);
  auto* holder = new cl_FrameHolder({2, 3, 6});
  run.system.AddModule(holder);
  run.Run(5);
  EXPECT_EQ(holder->Updates(), 8);
  EXPECT_EQ(run.platform->GetFramesRendered(), 5);
  EXPECT_EQ(run.platform->GetHeadlessGraphics()->GetFramesPresented(), 5);
  EXPECT_EQ(std::count(run.journal.begin(), run.journal.end(), "tree:render"), 5);
}
