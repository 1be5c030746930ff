// base::cl_System: the root of the module tree and the one object through which the engine
// reaches the platform. It owns the platform (which owns the graphics and input devices), the
// configuration tree and, once it exists, the resource manager, and keeps the per-frame state
// everybody asks for through base::sys: window size, mouse, frames per second, the quit flag.
// It also turns left presses into late single clicks and double clicks. Exactly one instance.
#pragma once

#include <utility>

#include "base/app/ICMD.h"
#include "base/app/Module.h"
#include "base/data/Variant.h"

namespace base {

class i_Platform;
class i_GraphicsDevice;
class i_InputDevice;
class i_ResourceMgr;

class cl_System : public cl_Module {
 public:
  static constexpr float kDoubleClickWindow = 0.2f;  // seconds between the presses of a double click

  cl_System();   // becomes the instance; user data path := application path
  ~cl_System() override;  // clears the instance, the configuration, then the module tree
  cl_System(const cl_System&) = delete;
  cl_System& operator=(const cl_System&) = delete;

  static cl_System* GetInstance() { return s_pSystem; }

  // Stores p (owned) and hands it this system. Always true.
  bool RegisterPlatform(i_Platform* p);
  // Reads "Display" from the configuration, starts the platform and its devices and takes the
  // window size from the graphics device (whose failure to start is fatal). False when the
  // platform fails. The module tree is not started here (Run does it).
  bool StartUp() override;
  // Starts the module tree, then runs the platform's frame loop until the quit flag is set.
  void Run();
  // Shuts the platform down and deletes it (and the resource manager, once that exists). The
  // module tree is left alone: it goes with the system.
  bool ShutDown() override;

  void Update(float time, float dt) override;
  void Render() override;
  bool ProcessInput(ICMD& cmd) override;
  // The frame loop, before it hands on the commands of one poll of the input device: they were
  // gathered over the last `seconds` of real time, and two presses among them are a double click
  // only when that span is shorter than the double-click window.
  void BeginInputPoll(float seconds);

  // base::sys::LoadConfig(name) into the system's configuration tree.
  bool LoadConfig(const char* name);
  Variant& GetConfigTree() { return m_config; }  // what base::sys::GetConfig shows

  // The per-frame state base::sys reports.
  struct st_FrameState {
    bool mouseButton[3] = {false, false, false};  // left, right, middle
    int mouseX = 0;  // client pixels of the last input command
    int mouseY = 0;
    int windowWidth = -1;
    int windowHeight = -1;
    bool fullscreen = false;
    int antialiasing = 0;
    float mouseRestingTime = 0.0f;  // seconds since the last mouse move
    int fps = 0;                    // frames rendered in the last full second
    float time = 0.0f;              // the time argument of the last Update
  };
  const st_FrameState& GetFrameState() const { return m_state; }
  void SetWindowSize(int w, int h) { m_state.windowWidth = w; m_state.windowHeight = h; }
  const tString<BaseString>& GetUserDataPath() const { return m_userDataPath; }
  void SetUserDataPath(const char* path) { m_userDataPath = path; }

  i_Platform* GetPlatform() const { return m_platform; }
  i_GraphicsDevice* GetGraphicsDevice() const { return m_graphicsDevice; }
  i_InputDevice* GetInputDevice() const { return m_inputDevice; }
  i_ResourceMgr* GetResourceMgr() const { return m_resourceMgr; }

  void SetQuit(bool quit) { m_quit = quit; }
  bool GetQuit() const { return m_quit; }
  void CountFrame() { ++m_frameCounter; }  // the frame loop, after each rendered frame
  // Called during Update by a module whose picture fills the window and has not changed since
  // the last frame drawn (a full-window video between its frames): the frame loop then neither
  // draws nor presents this frame. Any other frame is drawn as usual.
  void HoldFrame() { m_holdFrame = true; }
  // Whether the frame was held since the last call; clears the hold.
  bool TakeFrameHold() { return std::exchange(m_holdFrame, false); }
  void SetCustomQuitModule(cl_Module* m);  // not owned; disabled at once
  cl_Module* GetCustomQuitModule() const { return m_customQuit.get(); }

 private:
  static cl_System* s_pSystem;

  st_FrameState m_state;
  Variant m_config;
  bool m_quit = false;
  bool m_holdFrame = false;
  float m_doubleClickTimer = 0.0f;
  float m_doubleClickWindow = kDoubleClickWindow;
  float m_pollSpan = 0.0f;     // real time the commands of the current poll were gathered over
  bool m_pressInPoll = false;  // a left press came since the last Update: in the current poll
  bool m_clickPending = false;
  ICMD m_pendingClick;
  float m_frameTime = 0.0f;
  int m_frameCounter = 0;
  tString<BaseString> m_userDataPath;
  weak_ptr<cl_Module> m_customQuit;  // a handle, so a destroyed quit module reads as none
  i_ResourceMgr* m_resourceMgr = nullptr;
  i_Platform* m_platform = nullptr;
  i_GraphicsDevice* m_graphicsDevice = nullptr;
  i_InputDevice* m_inputDevice = nullptr;
};

}  // namespace base
