// Lights and the light table, the model settings, gamma, viewport, camera and render target, and
// the device queries.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/math/Matrix4.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/RenderTarget.h"
#include "graphics/gfx.h"
#include "platform/gpu/Device.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/DynamicBuffer.h"

namespace gfx {

st_LightState LightState;

namespace {

cl_Texture* g_modelTextureOverride = nullptr;
bool g_modelConstantColour = false;
float g_diffuseCoefficient = 0.0f;
st_Viewport g_viewport;
base::cl_Camera* g_camera = nullptr;
cl_RenderTarget* g_target = nullptr;  // drawn into instead of the back buffer; null: the back buffer

win32dx9::cl_DX9GraphicsDevice* GraphicsDevice() { return win32dx9::cl_DX9GraphicsDevice::GetInstance(); }

gpu::ColorValue FromColour(uint32_t colour) {
  return {((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f, (colour & 0xFF) / 255.0f, 0.0f};
}

gpu::Matrix ToDevice(const base::Matrix4& m) {
  gpu::Matrix out;
  std::memcpy(out.m, m.m, sizeof out.m);
  return out;
}

// Shared by both light kinds: lighting on, a white material, the light, the table entry.
void AddLight(const gpu::Light& light, const base::tVector3<float>& vector, uint32_t colour, float range) {
  gpu::Device* d = win32dx9::GetD3DDevice();
  if (!d) return;
  d->SetRenderState(gpu::rs::Lighting, 1);
  if (LightState.enabledCount >= st_LightState::kMaxLights) return;
  gpu::Material material{};
  material.diffuse = material.ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  d->SetMaterial(material);
  d->SetLight(static_cast<uint32_t>(LightState.enabledCount), light);
  d->LightEnable(static_cast<uint32_t>(LightState.enabledCount), true);
  ++LightState.enabledCount;
  if (LightState.entryCount < st_LightState::kMaxLights)
    LightState.entries[LightState.entryCount++] = {vector, colour, range};
}

}  // namespace

// ---- Lights

void EnableLighting(uint32_t ambient) {
  if (gpu::Device* d = win32dx9::GetD3DDevice()) {
    d->SetRenderState(gpu::rs::Lighting, 1);
    d->SetRenderState(gpu::rs::Ambient, ambient);
  }
  LightState.ambient = ambient;
}

void DisableLighting() {
  if (gpu::Device* d = win32dx9::GetD3DDevice()) {
    d->SetRenderState(gpu::rs::Lighting, 0);
    for (int i = 0; i < LightState.enabledCount; ++i) d->LightEnable(static_cast<uint32_t>(i), false);
  }
  LightState.enabledCount = 0;
  g_diffuseCoefficient = 1.0f;
  LightState.entryCount = 0;
  LightState.ambient = 0;
}

void SetDirectionalLight(const base::tVector3<float>& direction, uint32_t colour) {
  const base::tVector3<float> d = direction.normal();
  gpu::Light light{};
  light.type = gpu::light::Directional;
  light.diffuse = FromColour(colour);
  light.direction = {d.x, d.y, d.z};
  light.range = 100000.0f;
  AddLight(light, d, colour, 0.0f);
}

void SetPointLight(const base::tVector3<float>& position, float range, uint32_t colour) {
  gpu::Light light{};
  light.type = gpu::light::Point;
  light.diffuse = FromColour(colour);
  light.position = {position.x, position.y, position.z};
  light.range = range;
  AddLight(light, position, colour, range);
}

// ---- Model settings and gamma

void SetDiffuseCoefficient(float coefficient) { g_diffuseCoefficient = coefficient; }
float GetDiffuseCoefficient() { return g_diffuseCoefficient; }
void SetModelTextureOverride(cl_Texture* texture) { g_modelTextureOverride = texture; }
cl_Texture* GetModelTextureOverride() { return g_modelTextureOverride; }
void SetModelConstantColor(bool on) { g_modelConstantColour = on; }
bool IsModelConstantColor() { return g_modelConstantColour; }

void SetGamma(float g) {
  gpu::Device* d = win32dx9::GetD3DDevice();
  if (!d || !std::isfinite(g)) return;  // no ramp to make of it: the one shown stays
  gpu::GammaRamp ramp{};
  const float step = (g + 0.5f) * 256.0f;
  for (int i = 0; i < 256; ++i) {
    // Negative gammas would give negative entries; those clamp to 0 like the large ones to 65535,
    // before converting. A huge gamma's infinite step gives entry 0 a NaN, which counts as 0.
    const float v = static_cast<float>(i) * step;
    ramp.red[i] = ramp.green[i] = ramp.blue[i] = v > 0.0f ? static_cast<uint16_t>(std::min(v, 65535.0f)) : 0;
  }
  d->SetGammaRamp(0, 0, ramp);
}

// ---- Viewport, camera, target

void SetViewport(int x, int y, int width, int height, float zNear, float zFar) {
  win32dx9::cl_DX9GraphicsDevice* device = GraphicsDevice();
  gpu::Device* d = win32dx9::GetD3DDevice();
  if (!device || !d) return;
  // The surface drawn to: a texture may be larger than the back buffer.
  const int bufferWidth = g_target ? g_target->GetWidth() : device->GetWidth();
  const int bufferHeight = g_target ? g_target->GetHeight() : device->GetHeight();
  st_Viewport v;
  v.x = x == -1 ? 0 : x;
  v.y = y == -1 ? 0 : y;
  v.width = width < 0 ? bufferWidth : width;
  v.height = height < 0 ? bufferHeight : height;
  // Cut to what lies on the back buffer from the corner on: the device refuses a viewport that
  // reaches past the target and would keep the old one.
  v.x = std::clamp(v.x, 0, std::max(bufferWidth - 1, 0));
  v.y = std::clamp(v.y, 0, std::max(bufferHeight - 1, 0));
  v.width = std::clamp(v.width, 1, std::max(bufferWidth - v.x, 1));
  v.height = std::clamp(v.height, 1, std::max(bufferHeight - v.y, 1));
  v.zNear = zNear;
  v.zFar = zFar;
  g_viewport = v;
  d->SetViewport({static_cast<uint32_t>(v.x), static_cast<uint32_t>(v.y), static_cast<uint32_t>(v.width),
                  static_cast<uint32_t>(v.height), 0.0f, 1.0f});
}

void SetViewportRect(float x1, float y1, float x2, float y2, float zNear, float zFar) {
  SetViewport(static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2 - x1), static_cast<int>(y2 - y1), zNear,
              zFar);
}

const st_Viewport& GetViewport() {
  // Until one is set here, the device's own: a caller that saves and restores the viewport
  // around its drawing must not restore an empty one.
  if (g_viewport.width <= 0) {
    gpu::Device* d = win32dx9::GetD3DDevice();
    gpu::Viewport v{};
    if (d && d->GetViewport(&v) == gpu::kOk) {
      g_viewport.x = static_cast<int>(v.x);
      g_viewport.y = static_cast<int>(v.y);
      g_viewport.width = static_cast<int>(v.width);
      g_viewport.height = static_cast<int>(v.height);
    }
  }
  return g_viewport;
}

void SetCamera(base::cl_Camera* camera) {
  g_camera = camera;
  if (!camera) return;
  float x1, y1, x2, y2, zNear, zFar;
  camera->GetViewportRect(x1, y1, x2, y2);
  camera->GetClippingRange(zNear, zFar);
  SetViewportRect(x1, y1, x2, y2, zNear, zFar);
  const base::Matrix4 view = camera->GetViewMatrix();
  camera->_CalcProjection();
  if (gpu::Device* d = win32dx9::GetD3DDevice()) {
    d->SetTransform(gpu::ts::Projection, ToDevice(camera->GetProjectionMatrix()));
    d->SetTransform(gpu::ts::View, ToDevice(view));
  }
}

base::cl_Camera* GetCamera() { return g_camera; }

bool SetRenderTarget(cl_RenderTarget* target) {
  win32dx9::cl_DX9GraphicsDevice* device = GraphicsDevice();
  gpu::Device* d = win32dx9::GetD3DDevice();
  if (!device || !d || device->GetState() != win32dx9::cl_DX9GraphicsDevice::READY) return false;
  gpu::Surface* surface = target ? target->GetRenderTarget() : device->GetBackBuffer();
  gpu::Surface* depth = target ? target->GetDepthStencil() : device->GetDepthStencil();
  if (!surface) {
    base::sys::Output("ERROR: SetRenderTarget: the %s has no surface\n", target ? "render target" : "device");
    return false;
  }
  const uint32_t result = d->SetRenderTarget(0, surface);
  d->SetDepthStencilSurface(depth);
  if (result == gpu::kOk) g_target = target;
  win32dx9::DynamicBatch::ResetAll();
  return result == gpu::kOk;
}

cl_RenderTarget* GetRenderTarget() { return g_target; }

// ---- The device

bool IsDeviceOk() {
  const win32dx9::cl_DX9GraphicsDevice* device = GraphicsDevice();
  return device && device->GetState() == win32dx9::cl_DX9GraphicsDevice::READY;
}

bool IsAntialiasingEnabled() {
  const win32dx9::cl_DX9GraphicsDevice* device = GraphicsDevice();
  return device && device->IsMultisamplingSupported() &&
         device->GetPresentParameters().multiSampleType != gpu::kMultisampleNone;
}

int GetFrameTriangleCount() {
  win32dx9::cl_DX9GraphicsDevice* device = GraphicsDevice();
  return device ? device->TrianglesThisFrame() : 0;
}

void RequestDeviceReset() {
  if (win32dx9::cl_DX9GraphicsDevice* device = GraphicsDevice()) device->RequestReset();
}

}  // namespace gfx
