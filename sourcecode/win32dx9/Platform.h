// The engine's platform: the main window and its messages, the graphics and input devices, the
// start-up calls into the graphic resource types, the text system and the sound channels, and
// the frame loop that drives the root module until its quit flag is set. It runs with an SDL2
// window and SDL input, or headless: the headless graphics device (drawing into memory) and
// input written into the queue by a test or script, with window messages only from PostMessage.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/app/Device.h"
#include "base/app/FrameStep.h"
#include "platform/gpu/Device.h"
#include "platform/input/Input.h"
#include "platform/input/Window.h"

namespace win32dx9 {

class cl_Platform final : public base::i_Platform {
 public:
  // Made by CreatePlatform. The sound system object and the frame lock exist from here on.
  explicit cl_Platform(gpu::Backend backend);
  // Deletes the devices (the graphics device before the window), the window, the sound system
  // object and the frame lock.
  ~cl_Platform() override;

  void SetSystem(base::cl_System* system) override { m_System = system; }
  base::cl_System* GetSystem() override { return m_System; }
  // Window at (0, 0) with the system's window size (the desktop's when not positive), devices
  // made (not started), resource types, text system and sound channels set up. False when the
  // window cannot be opened.
  bool StartUp() override;
  // Text system cleaned up, every sound silenced, the last screen written when asked for.
  void ShutDown() override;
  // The frame loop: at most one window message per frame (a quit message ends the loop at once),
  // the time step from the millisecond clock, input, update, a drawn frame when the graphics
  // device begins one, sound, a 1 ms sleep; until the quit flag is set.
  void Run() override;
  float GetTime() override { return m_Step.GetTime(); }
  // The two time values of the current frame: acc (capped at 1 s) and dt; true.
  bool GetTime(float& acc, float& dt) const;
  // Sizes the window so that its client area is width x height.
  void ResizeWindow(int x, int y, int width, int height) override;
  base::i_InputDevice* GetInputDevice() override { return m_InputDevice; }
  base::i_GraphicsDevice* GetGraphicsDevice() override { return m_GraphicsDevice; }

  // ---- for the program, tests and scripted runs
  gpu::Backend GetBackend() const { return m_Backend; }
  void* GetMainWindow() const { return m_Window ? m_Window->Handle() : nullptr; }
  // The buffered keyboard and mouse the input device reads (SDL fills it, or a test).
  platform::input::Queue& GetInputQueue() { return m_Queue; }
  // Puts a window message in the queue (Close: the window is asked to close; Quit: the process).
  void PostMessage(platform::input::Message message) { m_Pump->Post(message); }
  // Sets the quit flag once that many frames were drawn; 0 or less: no limit.
  void SetFrameLimit(int frames) { m_Step.SetFrameLimit(frames); }
  // Called at the start of every frame with the number of frames drawn so far.
  void SetFrameHook(std::function<void(int frame)> hook) { m_Step.SetFrameHook(std::move(hook)); }
  int GetFramesRendered() const { return m_Step.GetFramesRendered(); }
  // At ShutDown the screen of the last drawn frame is written to this PNG file (empty: none).
  void SetScreenshotPath(const char* path) { m_ScreenshotPath = path ? path : ""; }
  // Writes that screen now, once (ShutDown then writes none): true when there is no path or it
  // was written, false (logged) when it was not.
  bool WriteScreenshot();

 private:
  void CreateMainWindow(const char* title, int x, int y, int width, int height);
  void WndProc(platform::input::Message message);
  void SetUpSoundChannels();

  base::cl_System* m_System = nullptr;
  base::i_GraphicsDevice* m_GraphicsDevice = nullptr;
  base::i_InputDevice* m_InputDevice = nullptr;
  base::cl_FrameStep m_Step;  // time (capped at 1 s), input, update and drawing of each frame

  gpu::Backend m_Backend;
  platform::input::Queue m_Queue;
  std::unique_ptr<platform::input::MessagePump> m_Pump;
  std::unique_ptr<platform::input::Window> m_Window;
  std::string m_ScreenshotPath;
};

// Allocates the platform for the backend (see the README for how the program picks it).
cl_Platform* CreatePlatform(gpu::Backend backend);
// The platform made last (null when none lives).
cl_Platform* GetPlatform();
// Its main window (an SDL_Window; null headless or before StartUp).
void* GetMainWindow();
// The graphics layer's and the texture library's lines into the engine's log (on), or back to
// stderr (off). A platform routes them while it runs; a tool without one (scenec) for the
// pictures it reads, whose causes the editor's compile takes from the log.
void LogLibrariesToEngine(bool on);

}  // namespace win32dx9
