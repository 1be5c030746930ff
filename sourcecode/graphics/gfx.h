// The device set-up helpers every game, GUI, editor and mini-game drawer calls: named blend and
// texture-stage presets, sampler filters, 2D and 3D modes, clears, transforms, viewport and
// camera, fixed-function lights (with a light table the skinned-model drawing reads), gamma,
// render-target switching and the global model settings. No state cache: every call issues its
// device calls, in a fixed order, each time. Colours are packed 0xAARRGGBB. Main thread only;
// the presets need a started device and do nothing without one.
#pragma once

#include <cstdint>

#include "base/math/Vector.h"

namespace base {
class Matrix4;
class cl_Camera;
}  // namespace base

namespace gfx {

class cl_Texture;
class cl_RenderTarget;

// ---- blend and texture-stage presets
void SetBlendNone();                    // opaque texture colour
// Blending on; with the flag the texture's alpha over the target (source alpha, inverse source
// alpha); without it only the stage's alpha operation is switched off, the factors stay.
void SetBlendAlpha(bool useTextureAlpha);
// Texture colour, alpha from the given value (times the texture's alpha with the flag).
void SetBlendAlphaTextureColor(uint8_t alpha, bool useTextureAlpha);
void SetBlendColor(uint32_t colour);    // flat colour; blended when its alpha is below 255
void SetFlatColor(uint32_t colour);     // as SetBlendColor, times the vertex colour
void SetBlendAdditiveColor(uint32_t colour);    // texture × colour added (one, inverse source colour)
void SetBlendTextureFactor2X(uint32_t colour);  // texture × colour × 2; blending untouched
void SetBlendMultiply(uint8_t grey);    // target × (texture × grey), plus the target
void SetBlendMultiplyVertexColor();     // the same with each vertex's colour as the grey
void SetBlendInvMultiply();             // target darkened by the texture colour
// Two textures: colour from the stage-1 texture, alpha from both textures and the colour's alpha.
void SetBlendMaskedColor(uint32_t colour);
void SetTextureModulateDiffuse();       // texture × vertex colour
void SetTextureTinted(cl_Texture* texture, uint32_t colour);  // binds it; texture × colour, blended
void SetTextureFactor(uint32_t colour); // also remembered as the skinned models' "Color"
uint32_t GetTextureFactor();

// ---- single states
void SetFilterPoint();
void SetFilterLinear();
void SetMipLodBias(float bias);
// Culling off (on) or back to back-face culling as Begin3D sets it (counter-clockwise faces
// culled). The second flag is taken for the callers' sake and not read.
void SetCullNone(bool on, bool restore);
void SetColorWriteMask(bool write);
void EnableZBuffer(bool enable);
void EnableZWrite(bool enable);
void Begin2D();  // no depth test, no culling, no lighting, identity transforms
void Begin3D();  // depth test, counter-clockwise culling, lighting
void ClearScreen(uint32_t colour);  // colour, depth 1 and stencil 0; then 2D depth and culling
void ClearZBuffer();
void SetWorldMatrix(base::Matrix4 world);
void SetTexture(int stage, cl_Texture* texture);

// ---- lights
// The light table: what the fixed-function lights were given since the last DisableLighting,
// for the skinned-model shader, which does its own lighting.
struct st_LightState {
  struct st_Entry {
    base::tVector3<float> vector;  // a point light's position or a directional light's direction
    uint32_t colour;
    float range;  // 0 for a directional light
  };
  static constexpr int kMaxLights = 8;
  int enabledCount = 0;  // device lights enabled (also the index the next light takes)
  uint32_t ambient = 0;
  int entryCount = 0;
  st_Entry entries[kMaxLights] = {};
};
extern st_LightState LightState;

void EnableLighting(uint32_t ambient);
// Lighting off, every enabled light disabled; the table emptied, the diffuse coefficient 1.
void DisableLighting();
// A ninth light (and any after it) is ignored; lighting is switched on all the same.
void SetDirectionalLight(const base::tVector3<float>& direction, uint32_t colour);
void SetPointLight(const base::tVector3<float>& position, float range, uint32_t colour);

// ---- settings the model drawing reads
void SetDiffuseCoefficient(float coefficient);
float GetDiffuseCoefficient();
void SetModelTextureOverride(cl_Texture* texture);  // null: each material's own texture
cl_Texture* GetModelTextureOverride();
void SetModelConstantColor(bool on);
bool IsModelConstantColor();

// Gamma ramp: entry i = min(i × (g + 0.5) × 256, 65535) on all three channels (0.5: identity).
void SetGamma(float g);

// ---- viewport, camera, target
struct st_Viewport {
  int x = 0, y = 0, width = 0, height = 0;
  float zNear = 0.0f, zFar = 1.0f;  // as given; the device always gets depth 0..1
};
// x or y −1 mean 0; a negative width or height means the target's; the rectangle is cut to the
// back buffer. Nothing without a device.
void SetViewport(int x, int y, int width, int height, float zNear, float zFar);
void SetViewportRect(float x1, float y1, float x2, float y2, float zNear, float zFar);
const st_Viewport& GetViewport();  // the last one set; the device's own before any
// Viewport from the camera's rectangle, then its projection and view transforms.
void SetCamera(base::cl_Camera* camera);
base::cl_Camera* GetCamera();  // the camera set last (null at start)
// Redirects drawing into the target (null: back to the back buffer) and resets the recorders.
// False while the device is not ready or when the device refuses the target.
bool SetRenderTarget(cl_RenderTarget* target);
cl_RenderTarget* GetRenderTarget();  // the texture drawn into now; null while it is the back buffer

// ---- the graphics device
bool IsDeviceOk();
bool IsAntialiasingEnabled();
int GetFrameTriangleCount();
void RequestDeviceReset();

}  // namespace gfx
