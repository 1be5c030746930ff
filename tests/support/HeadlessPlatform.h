// The tests' null platform: no window, no drawing, input from a queue the test fills. It is
// not what the program runs on without a display (that is the platform shell's headless backend);
// it runs the shell's frame step (base::cl_FrameStep) without the 1 s time cap, so tests can
// script input seconds ahead on a fake clock, and drives the root module as the game would.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "base/app/Device.h"
#include "base/app/FrameStep.h"
#include "base/app/ICMD.h"

namespace testsupport {

class cl_HeadlessGraphicsDevice final : public base::i_GraphicsDevice {
 public:
  // The back buffer takes the window size the system read from "Display", else 1024 x 768.
  bool StartUp() override;
  bool ShutDown() override;
  const char* GetErrorString() override { return m_error.c_str(); }
  int GetWidth() override { return m_width; }
  int GetHeight() override { return m_height; }
  bool BeginFrame() override;  // false while a frame is open or before StartUp
  void EndFrame() override;

  void FailStartUp(const char* error) {
    m_failStartUp = true;
    m_error = error;
  }  // for tests
  int GetFramesPresented() const { return m_framesPresented; }

 private:
  std::string m_error;
  bool m_failStartUp = false;
  bool m_started = false;
  bool m_inFrame = false;
  int m_width = 0;
  int m_height = 0;
  int m_framesPresented = 0;
};

class cl_HeadlessInputDevice final : public base::i_InputDevice {
 public:
  // Releases the commands whose time has come (time: the frame loop's seconds).
  void Update(float time, float dt) override;
  bool PopCommand(base::ICMD& cmd) override;
  bool IsKeyDown(int key) override { return m_keysDown.count(key) != 0; }

  void Push(const base::ICMD& cmd);  // delivered on the next frame
  // Delivered on the first frame whose time is at least time seconds; commands of equal time
  // keep their order.
  void PushAt(float time, const base::ICMD& cmd);
  void SetKeyDown(int key, bool down);
  int GetPendingCount() const { return static_cast<int>(m_scheduled.size() + m_ready.size()); }

 private:
  struct st_Scheduled {
    float time;
    base::ICMD cmd;
  };
  std::deque<st_Scheduled> m_scheduled;  // sorted by time
  std::deque<base::ICMD> m_ready;
  std::set<int> m_keysDown;
  float m_time = 0.0f;
};

class cl_HeadlessPlatform final : public base::i_Platform {
 public:
  cl_HeadlessPlatform();  // the devices exist from here on, so tests can script input early
  ~cl_HeadlessPlatform() override;

  void SetSystem(base::cl_System* system) override { m_system = system; }
  base::cl_System* GetSystem() override { return m_system; }
  bool StartUp() override;
  void ShutDown() override;
  void Run() override;
  float GetTime() override { return m_step.GetTime(); }
  void ResizeWindow(int x, int y, int w, int h) override;
  base::i_InputDevice* GetInputDevice() override { return m_input.get(); }
  base::i_GraphicsDevice* GetGraphicsDevice() override { return m_graphics.get(); }

  cl_HeadlessInputDevice* GetHeadlessInput() { return m_input.get(); }
  cl_HeadlessGraphicsDevice* GetHeadlessGraphics() { return m_graphics.get(); }

  // Sets the quit flag once that many frames were rendered; 0 or less: no limit.
  void SetFrameLimit(int frames) { m_step.SetFrameLimit(frames); }
  // Called at the start of every frame (where a window's messages are pumped) with the number of
  // frames rendered so far; tests script input and close requests from here.
  void SetFrameHook(std::function<void(int frame)> hook) { m_step.SetFrameHook(std::move(hook)); }
  // The window is asked to close: at the next frame the custom quit module may keep it open;
  // otherwise the loop ends with the quit flag set.
  void RequestClose() { m_closeRequested = true; }

  int GetFramesRendered() const { return m_step.GetFramesRendered(); }
  int GetClientWidth() const { return m_clientWidth; }
  int GetClientHeight() const { return m_clientHeight; }

 private:
  bool PumpMessages();  // false when the loop must end

  base::cl_System* m_system = nullptr;
  std::unique_ptr<cl_HeadlessInputDevice> m_input;
  std::unique_ptr<cl_HeadlessGraphicsDevice> m_graphics;
  base::cl_FrameStep m_step;
  bool m_closeRequested = false;
  bool m_started = false;
  int m_clientWidth = 0;
  int m_clientHeight = 0;
};

}  // namespace testsupport
