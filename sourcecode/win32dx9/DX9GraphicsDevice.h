// The engine's graphics device over the platform's Direct3D-9-shaped device: start-up with the
// display mode (optionally chosen by itself, "AutoConfig"), multisampling and gamma from the
// options; every drawn frame bracketed by the frame lock; a lost device noticed at Present and
// restored later by a reset in which the registered reset-critical objects, the vertex recorders
// and the skinning effect let go of their video memory and make it again; the hardware cursor;
// raw access to the back buffer. One device per process (GetInstance).
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "base/app/Device.h"
#include "platform/gpu/Types.h"

namespace gpu {
class System;
class Device;
class Surface;
class Texture;
enum class Backend;
}  // namespace gpu

namespace win32dx9 {

// Base of every object holding video memory that a reset destroys (default pool): it registers
// with the device at construction (in order) and is told OnLost before a reset and OnRestore
// after, and OnLost when the device is released while it still lives.
class i_ResetCriticalResource {
 public:
  i_ResetCriticalResource();
  virtual ~i_ResetCriticalResource();
  i_ResetCriticalResource(const i_ResetCriticalResource&) = delete;
  i_ResetCriticalResource& operator=(const i_ResetCriticalResource&) = delete;
  virtual void OnLost() = 0;     // release every default-pool object
  virtual void OnRestore() = 0;  // make them again
};

class cl_DX9GraphicsDevice final : public base::i_GraphicsDevice {
 public:
  enum en_State { NOT_STARTED = 0, READY = 1, LOST = 2 };

  // Becomes the instance. window: the main window's handle (null headless).
  cl_DX9GraphicsDevice(gpu::Backend backend, void* window);
  ~cl_DX9GraphicsDevice() override;  // releases what it holds; no instance afterwards
  static cl_DX9GraphicsDevice* GetInstance() { return s_pInstance; }

  // Creates the adapter and the device for the window size the system read (the desktop's when
  // not positive); false with the reason in GetErrorString.
  bool StartUp() override;
  bool ShutDown() override;  // releases the device and the adapter; always true
  const char* GetErrorString() override { return m_ErrorString.c_str(); }
  int GetWidth() override { return m_Width; }
  int GetHeight() override { return m_Height; }
  // Runs a pending reset, updates the cursor, and while the device is lost waits 100 ms and tries
  // to reset it (false: nothing is drawn this frame). Ready: takes the frame lock, selects the
  // back buffer, begins the scene; true.
  bool BeginFrame() override;
  // Ends the scene, presents and leaves the frame lock; a lost device mutes the sound.
  void EndFrame() override;

  // The next BeginFrame resets the device with freshly built present parameters (after the
  // options changed the display mode or antialiasing).
  void RequestReset() { m_ResetPending = true; }

  // Locks the whole back buffer for reading; false without a back buffer or when the lock fails.
  bool LockBackBuffer();
  void* GetLockedBits() const { return m_BackBuffer ? m_LockedBits : nullptr; }
  int GetLockedPitch() const { return m_BackBuffer ? m_LockedPitch : 0; }
  void UnlockBackBuffer();

  // The hardware cursor: image (level 0 of texture; null hides it) with its hot spot, and its
  // position in screen pixels; applied at the next BeginFrame, which first moves it to the
  // platform's pointer when that has moved (it follows the mouse by itself).
  void SetCursor(gpu::Texture* texture, float hotX, float hotY);
  void SetCursorPosition(float x, float y);

  // The triangle count of the current frame (zeroed by BeginFrame; model drawing adds to it).
  int& TrianglesThisFrame() { return m_TrianglesThisFrame; }
  bool IsMultisamplingSupported() const { return m_MultisamplingSupported; }
  int GetState() const { return m_State; }
  gpu::Device* GetDevice() const { return m_Device; }
  // The device's own back buffer and depth-stencil surface (null while lost or not started);
  // render-target switching selects them again.
  gpu::Surface* GetBackBuffer() const { return m_BackBuffer; }
  gpu::Surface* GetDepthStencil() const { return m_DepthStencil; }
  gpu::System* GetAdapter() const { return m_Adapter; }
  const gpu::PresentParameters& GetPresentParameters() const { return m_PresentParameters; }

  // Writes what the screen showed after the last Present to a PNG file; false when nothing was
  // presented yet or the file cannot be written.
  bool SaveScreenPng(const char* path);

 private:
  friend class i_ResetCriticalResource;
  static cl_DX9GraphicsDevice* s_pInstance;

  void SetupMultisampling();
  void AutoConfigDisplay();
  void OnDeviceLost();
  void OnDeviceRestore();
  void UpdateCursor();
  void Release();

  std::list<i_ResetCriticalResource*> m_ResetList;
  bool m_MultisamplingSupported = false;
  std::string m_ErrorString;
  gpu::System* m_Adapter = nullptr;  // the "Direct3D object"
  gpu::Device* m_Device = nullptr;
  gpu::PresentParameters m_PresentParameters{};
  gpu::DisplayMode m_DesktopMode{};
  gpu::Surface* m_DepthStencil = nullptr;
  int m_Width = 512;
  int m_Height = 384;
  bool m_Windowed = true;
  gpu::Surface* m_BackBuffer = nullptr;
  void* m_LockedBits = nullptr;
  int m_LockedPitch = 0;
  int m_TrianglesThisFrame = 0;
  bool m_ResetPending = false;
  gpu::Texture* m_CursorTexture = nullptr;
  float m_CursorHotX = 0.0f;
  float m_CursorHotY = 0.0f;
  bool m_CursorMoved = false;
  float m_CursorX = 0.0f;
  float m_CursorY = 0.0f;
  int m_PointerX = 0, m_PointerY = 0;  // the platform's pointer when the cursor last followed it
  int m_State = NOT_STARTED;
  gpu::Backend m_Backend;
  void* m_Window;
};

// Allocates the device (not started) for the backend and window.
base::i_GraphicsDevice* CreateGraphicsDevice(gpu::Backend backend, void* window);
// The instance's device, or null when no device object exists.
gpu::Device* GetD3DDevice();
// Two log lines: the result's symbolic name and its description.
void LogD3DError(uint32_t result);

}  // namespace win32dx9
