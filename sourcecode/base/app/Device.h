// The device interfaces: i_Device is the common base of modules and of the platform's devices;
// i_GraphicsDevice, i_InputDevice and i_Platform are what the root module sees of the platform
// layer (the platform shell, or the tests' null platform). The root module owns the
// platform; the platform owns its devices.
#pragma once

#include "base/memory/Identity.h"

namespace base {

class cl_System;
struct ICMD;

class i_Device : public tIdentity<i_Device> {
 public:
  ~i_Device() override = default;
  virtual bool StartUp() { return true; }
  virtual bool ShutDown() { return true; }
  virtual void Update(float /*time*/, float /*dt*/) {}
};

class i_GraphicsDevice : public i_Device {
 public:
  virtual const char* GetErrorString() = 0;  // the last error text, for the fatal message
  virtual int GetWidth() = 0;                // back-buffer size in pixels, taken as the window size
  virtual int GetHeight() = 0;
  virtual bool BeginFrame() = 0;  // false: nothing is drawn this frame
  virtual void EndFrame() = 0;    // presents the frame
};

class i_InputDevice : public i_Device {
 public:
  // StartUp's result is ignored by the root module.
  virtual bool PopCommand(ICMD& cmd) = 0;  // the next buffered command; false when none
  virtual bool IsKeyDown(int key) = 0;     // whether the key is held now
};

class i_Platform {
 public:
  virtual ~i_Platform() = default;
  virtual void SetSystem(cl_System* system) = 0;  // the root module the frame loop drives
  virtual cl_System* GetSystem() = 0;
  // Opens the window and creates the devices; false makes cl_System::StartUp fail.
  virtual bool StartUp() = 0;
  virtual void ShutDown() = 0;  // stops the platform's services; the devices go with it
  // The frame loop: pending input to ProcessInput, Update, Render between the graphics device's
  // frame begin and end (then one more frame counted), a 1 ms sleep; until the quit flag is set.
  virtual void Run() = 0;
  virtual float GetTime() = 0;  // seconds accumulated by the frame loop
  virtual void ResizeWindow(int x, int y, int w, int h) = 0;  // client area w x h
  virtual i_InputDevice* GetInputDevice() = 0;        // null when none
  virtual i_GraphicsDevice* GetGraphicsDevice() = 0;  // null when none
};

}  // namespace base
