// The graphics device: start-up, display configuration, frames, loss and reset, cursor.
#include "win32dx9/DX9GraphicsDevice.h"

#include <algorithm>
#include <vector>

#include "base/app/Clock.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "platform/gpu/Device.h"
#include "win32dx9/FrameLock.h"
#include "win32dx9/Platform.h"
#include "win32dx9/PngFile.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace win32dx9 {

cl_DX9GraphicsDevice* cl_DX9GraphicsDevice::s_pInstance = nullptr;

namespace {

// The configuration's "Display" element; null without a system or element.
base::Variant* DisplayConfig() {
  base::cl_System* system = base::cl_System::GetInstance();
  return system ? system->GetConfigTree().get_element("Display") : nullptr;
}

}  // namespace

// ---- Reset-critical objects

i_ResetCriticalResource::i_ResetCriticalResource() {
  cl_DX9GraphicsDevice* device = cl_DX9GraphicsDevice::s_pInstance;
  if (!device) {
    base::sys::Output("ERROR: a reset-critical resource was made without a graphics device\n");
    return;
  }
  device->m_ResetList.push_back(this);
}

i_ResetCriticalResource::~i_ResetCriticalResource() {
  if (cl_DX9GraphicsDevice* device = cl_DX9GraphicsDevice::s_pInstance) device->m_ResetList.remove(this);
}

// ---- Construction and start-up

cl_DX9GraphicsDevice::cl_DX9GraphicsDevice(gpu::Backend backend, void* window)
    : m_Backend(backend), m_Window(window) {
  s_pInstance = this;
}

cl_DX9GraphicsDevice::~cl_DX9GraphicsDevice() {
  Release();
  // Cleared, so that GetD3DDevice and reset-critical objects made later find no device rather
  // than a freed one.
  if (s_pInstance == this) s_pInstance = nullptr;
}

base::i_GraphicsDevice* CreateGraphicsDevice(gpu::Backend backend, void* window) {
  return new cl_DX9GraphicsDevice(backend, window);
}

gpu::Device* GetD3DDevice() {
  cl_DX9GraphicsDevice* device = cl_DX9GraphicsDevice::GetInstance();
  return device ? device->GetDevice() : nullptr;
}

void LogD3DError(uint32_t result) {
  base::sys::Output("%s\n", gpu::ErrorName(result));
  base::sys::Output("%s\n", gpu::ErrorDescription(result));
}

void cl_DX9GraphicsDevice::SetupMultisampling() {
  gpu::PresentParameters& pp = m_PresentParameters;
  pp = gpu::PresentParameters{};
  pp.backBufferWidth = static_cast<uint32_t>(m_Width);
  pp.backBufferHeight = static_cast<uint32_t>(m_Height);
  pp.enableAutoDepthStencil = true;
  pp.autoDepthStencilFormat = gpu::fmt::D24S8;
  pp.backBufferCount = 1;

  uint32_t qualityLevels = 0;
  const bool supported = m_Adapter->CheckDeviceMultiSampleType(gpu::fmt::D24S8, false, gpu::kMultisampleNonMaskable,
                                                               &qualityLevels) == gpu::kOk;
  if (!supported) base::sys::Output("Multisampling not supported\n");
  const bool wanted = base::get_int(base::sys::GetOptionValue("Gfx/Antialiasing/Value")) != 0;
  m_MultisamplingSupported = supported;

  pp.multiSampleType = gpu::kMultisampleNone;
  pp.fullScreenRefreshRateInHz = 0;
  pp.presentationInterval = gpu::kPresentIntervalOne;
  pp.backBufferFormat = gpu::fmt::X8R8G8B8;
  pp.swapEffect = gpu::kSwapDiscard;
  if (m_Windowed) {
    pp.windowed = true;
  } else {
    pp.windowed = false;
    pp.deviceWindow = m_Window;
    int refresh = 0;
    if (const base::Variant* display = DisplayConfig(); display && display->get_attribute_int("RefreshRate", refresh))
      pp.fullScreenRefreshRateInHz = static_cast<uint32_t>(std::max(refresh, 0));
  }
  if (wanted && supported) {
    pp.multiSampleType = gpu::kMultisampleNonMaskable;
    pp.multiSampleQuality = 1;
    base::sys::Output("QualityLevels %d\n", static_cast<int>(qualityLevels));
  }
}

void cl_DX9GraphicsDevice::AutoConfigDisplay() {
  base::Variant* display = DisplayConfig();
  int autoConfig = 0;
  if (!display || !display->get_attribute_int("AutoConfig", autoConfig) || autoConfig != 1) return;
  const sysinfo::cl_SysInfo info = base::sys::GetSystemInfo();
  const sysinfo::st_DisplayMode& desktop = info.m_DesktopMode;
  int refresh = 60;
  if (info.Find(desktop.width, desktop.height, desktop.format, desktop.refresh)) {
    m_Width = desktop.width;
    m_Height = desktop.height;
    refresh = desktop.refresh;
  } else {
    m_Width = 1024;
    m_Height = 768;
    if (!info.m_AllowedModes.empty()) {
      m_Width = info.m_AllowedModes.front().width;
      m_Height = info.m_AllowedModes.front().height;
    }
    for (const sysinfo::st_DisplayMode& m : info.m_AllowedModes) {
      if (m.width > m_Width || m.height > m_Height) break;
      refresh = std::max(refresh, m.refresh);
    }
  }
  display->attribute("Width")->set_int(m_Width);
  display->attribute("Height")->set_int(m_Height);
  display->attribute("RefreshRate")->set_int(refresh);
  base::sys::SaveConfig("config.xml");
}

bool cl_DX9GraphicsDevice::StartUp() {
  m_Width = base::sys::GetWindowWidth();
  m_Height = base::sys::GetWindowHeight();
  m_Windowed = !base::sys::IsFullscreen();

  std::unique_ptr<gpu::System> adapter = gpu::System::Create(m_Backend);
  if (!adapter) return false;
  m_Adapter = adapter.release();
  if (m_Adapter->GetAdapterDisplayMode(&m_DesktopMode) != gpu::kOk) return false;
  if (m_Width <= 0) {
    m_Width = static_cast<int>(m_DesktopMode.width);
    m_Height = static_cast<int>(m_DesktopMode.height);
  }

  sysinfo::cl_SysInfo& info = base::sys::GetSystemInfo();
  if (GraphicsServices().ProvideSystemInfo) {
    GraphicsServices().ProvideSystemInfo(*m_Adapter, info);
  } else {
    sysinfo::ProvideDisplayModes(*m_Adapter, info);
  }
  info.Rebuild();
  AutoConfigDisplay();
  SetupMultisampling();

  const uint32_t created = m_Adapter->CreateDevice(m_Window, 0x44, &m_PresentParameters, &m_Device);
  if (gpu::Failed(created) || !m_Device) {
    m_Device = nullptr;
    m_ErrorString = gpu::ErrorDescription(created);
    m_ErrorString += "\n";
    LogD3DError(created);
    return false;
  }
  // The device may have settled the size itself (a window that could not take the asked size).
  m_Width = static_cast<int>(m_PresentParameters.backBufferWidth);
  m_Height = static_cast<int>(m_PresentParameters.backBufferHeight);
  m_State = READY;

  if (m_Device->GetDepthStencilSurface(&m_DepthStencil) != gpu::kOk) {
    m_DepthStencil = nullptr;
    base::sys::Output("ERROR: creating depth stencil surface.\n");
  }

  const std::string profile = m_Device->GetPixelShaderProfile();
  if (profile.empty()) {
    m_ErrorString = "Graphics adapter does not support pixel shaders.";
    return false;
  }
  std::string prefix = profile.substr(0, 4);
  std::transform(prefix.begin(), prefix.end(), prefix.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (prefix == "ps_1") {
    m_ErrorString = "Graphics adapter only supports pixel shader " + profile + ", but ps_2_X or higher is required.";
    return false;
  }

  if (GraphicsServices().CreateRecorders) GraphicsServices().CreateRecorders();
  if (m_Device->GetRenderTarget(0, &m_BackBuffer) != gpu::kOk) {
    m_BackBuffer = nullptr;
    base::sys::Output("ERROR: the graphics device has no back buffer\n");
  }
  if (const base::Variant* gamma = base::sys::GetOptionValue("Gfx/Gamma/Value"))
    if (GraphicsServices().SetGamma) GraphicsServices().SetGamma(gamma->get_float());
  return true;
}

void cl_DX9GraphicsDevice::Release() {
  if (m_Device && GraphicsServices().DestroyRecorders) GraphicsServices().DestroyRecorders();
  // Objects still holding video memory (the panels of a GUI torn down after the device) let go
  // of it while the device that made it exists; it is not made again.
  if (m_Device)
    for (i_ResetCriticalResource* resource : m_ResetList) resource->OnLost();
  // The shared skinning effect belongs to this device: a later device must build its own.
  if (GraphicsServices().ReleaseSkinShader) GraphicsServices().ReleaseSkinShader();
  if (m_BackBuffer) m_BackBuffer->Release(), m_BackBuffer = nullptr;
  if (m_DepthStencil) m_DepthStencil->Release(), m_DepthStencil = nullptr;
  if (m_Device) m_Device->Release(), m_Device = nullptr;
  delete m_Adapter;
  m_Adapter = nullptr;
  m_State = NOT_STARTED;
}

bool cl_DX9GraphicsDevice::ShutDown() {
  Release();
  return true;
}

// ---- Frames, loss and reset

void cl_DX9GraphicsDevice::OnDeviceLost() {
  if (GraphicsServices().ReleaseSkinShader) GraphicsServices().ReleaseSkinShader();
  if (m_DepthStencil) m_DepthStencil->Release(), m_DepthStencil = nullptr;
  if (m_BackBuffer) m_BackBuffer->Release(), m_BackBuffer = nullptr;
  if (GraphicsServices().DestroyRecorders) GraphicsServices().DestroyRecorders();
  for (i_ResetCriticalResource* resource : m_ResetList) resource->OnLost();
}

void cl_DX9GraphicsDevice::OnDeviceRestore() {
  if (m_Device->GetRenderTarget(0, &m_BackBuffer) != gpu::kOk) {
    m_BackBuffer = nullptr;
    base::sys::Output("ERROR: the graphics device has no back buffer after the reset\n");
  }
  if (m_Device->GetDepthStencilSurface(&m_DepthStencil) != gpu::kOk) m_DepthStencil = nullptr;
  if (GraphicsServices().CreateRecorders) GraphicsServices().CreateRecorders();
  for (i_ResetCriticalResource* resource : m_ResetList) resource->OnRestore();
  if (SoundServices().SetActive) SoundServices().SetActive(true);
}

bool cl_DX9GraphicsDevice::BeginFrame() {
  m_TrianglesThisFrame = 0;
  if (!m_Device) return false;

  if (m_ResetPending) {
    SetupMultisampling();
    m_State = LOST;
    OnDeviceLost();
    base::sys::Output("resetting dx device...\n");
    const uint32_t result = m_Device->Reset(&m_PresentParameters);
    m_ResetPending = false;
    if (gpu::Succeeded(result)) {
      OnDeviceRestore();
      m_State = READY;
    } else {
      LogD3DError(result);
    }
  }

  UpdateCursor();

  if (m_State != READY) {
    base::sys::Sleep(100);
    // A device that reports itself fine while still held lost here (a reset that was refused)
    // is reset as well; otherwise it could never come back.
    const uint32_t level = m_Device->TestCooperativeLevel();
    if (level != gpu::kErrDeviceNotReset && level != gpu::kOk) return false;
    OnDeviceLost();
    const uint32_t result = m_Device->Reset(&m_PresentParameters);
    const char* failure = nullptr;
    switch (result) {
      case gpu::kOk:
        base::sys::Output("reset successfull!\n");
        break;
      case gpu::kErrDeviceLost: failure = "Device Lost!\n"; break;
      case gpu::kErrDriverInternal: failure = "Driver internal error!\n"; break;
      case gpu::kErrOutOfVideoMemory: failure = "Out of video memory!\n"; break;
      default:
        base::sys::Output("Warning: unexpected result of the device reset\n");
        if (gpu::Failed(result)) failure = "";
        break;
    }
    if (failure) {
      if (*failure) base::sys::Output("%s", failure);
      LogD3DError(result);
      base::sys::Output("Warning: reset graphics device failed!\n");
    } else {
      OnDeviceRestore();
      m_State = READY;
    }
    return false;
  }

  gfx::LockFrame();
  if (GraphicsServices().SelectBackBuffer) {
    GraphicsServices().SelectBackBuffer();
  } else {
    m_Device->SetRenderTarget(0, m_BackBuffer);
    m_Device->SetDepthStencilSurface(m_DepthStencil);
  }
  const uint32_t begun = m_Device->BeginScene();
  if (gpu::Failed(begun)) {
    LogD3DError(begun);
    return true;  // the frame lock is held; EndFrame releases it
  }
  if (GraphicsServices().ResetRecorders) GraphicsServices().ResetRecorders();
  m_Device->SetRenderState(gpu::rs::ZEnable, 0);
  m_Device->SetRenderState(gpu::rs::CullMode, gpu::cull::None);
  return true;
}

void cl_DX9GraphicsDevice::EndFrame() {
  if (!m_Device) return;
  m_Device->EndScene();
  const uint32_t presented = m_Device->Present();
  gfx::UnlockFrame();
  if (presented == gpu::kErrDeviceLost && m_State == READY) {
    m_State = LOST;
    if (SoundServices().SetActive) SoundServices().SetActive(false);
  }
}

// ---- Cursor and back buffer

void cl_DX9GraphicsDevice::SetCursor(gpu::Texture* texture, float hotX, float hotY) {
  m_CursorTexture = texture;
  m_CursorHotX = hotX;
  m_CursorHotY = hotY;
}

void cl_DX9GraphicsDevice::SetCursorPosition(float x, float y) {
  if (x == m_CursorX && y == m_CursorY) return;
  m_CursorX = x;
  m_CursorY = y;
  m_CursorMoved = true;
}

void cl_DX9GraphicsDevice::UpdateCursor() {
  // Like a hardware cursor the drawn one follows the system's pointer by itself whenever it
  // moves; the engine only chooses its picture (and may place it, until the pointer moves).
  if (cl_Platform* platform = GetPlatform()) {
    int x = 0, y = 0;
    platform->GetInputQueue().GetCursor(&x, &y);
    if (x != m_PointerX || y != m_PointerY) SetCursorPosition(static_cast<float>(x), static_cast<float>(y));
    m_PointerX = x, m_PointerY = y;
  }
  if (m_CursorMoved) {
    m_Device->SetCursorPosition(static_cast<int32_t>(m_CursorX), static_cast<int32_t>(m_CursorY),
                                gpu::kCursorImmediateUpdate);
    m_CursorMoved = false;
  }
  if (m_CursorTexture) {
    gpu::Surface* image = nullptr;
    if (m_CursorTexture->GetSurfaceLevel(0, &image) == gpu::kOk) {
      m_Device->SetCursorProperties(static_cast<uint32_t>(std::max(0.0f, m_CursorHotX)),
                                    static_cast<uint32_t>(std::max(0.0f, m_CursorHotY)), image);
      image->Release();
    }
    m_Device->ShowCursor(true);
  } else {
    m_Device->ShowCursor(false);
  }
}

bool cl_DX9GraphicsDevice::LockBackBuffer() {
  if (!m_BackBuffer) return false;
  gpu::LockedRect locked{};
  if (m_BackBuffer->LockRect(&locked, nullptr, gpu::lock::NoSysLock) != gpu::kOk) return false;
  m_LockedBits = locked.bits;
  m_LockedPitch = locked.pitch;
  return true;
}

void cl_DX9GraphicsDevice::UnlockBackBuffer() {
  if (m_BackBuffer) m_BackBuffer->UnlockRect();
}

bool cl_DX9GraphicsDevice::SaveScreenPng(const char* path) {
  if (!m_Device || !path) return false;
  std::vector<uint32_t> pixels;
  uint32_t width = 0, height = 0;
  if (m_Device->ReadScreen(&pixels, &width, &height) != gpu::kOk || pixels.empty()) return false;
  return SavePng(path, width, height, pixels.data(), width * 4, false);
}

}  // namespace win32dx9
