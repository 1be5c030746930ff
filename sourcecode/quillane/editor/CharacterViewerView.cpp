// The character viewer's drawing: the rows rebuilt, the 3D view (camera, light, grid, figure or
// its see-through skeleton, light gizmo), the caption, then rows and scroll bar on top.
#include <cmath>
#include <numbers>

#include "base/app/KeyCode.h"
#include "base/math/Matrix4.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/editor/CharacterViewer.h"

namespace quillane {

namespace {

constexpr uint32_t kBackground = 0xFF28283Cu;  // (40, 40, 60)
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kAmbient = 0xFF323250u;     // (50, 50, 80)
constexpr uint32_t kLightColour = 0xFFC8C88Cu;  // (200, 200, 140)
constexpr uint32_t kGizmoLine = 0xFFFFFF00u;    // (255, 255, 0)
constexpr uint32_t kGizmoShade = 0xFF646400u;   // (100, 100, 0)
constexpr int kGridHalf = 20;
constexpr float kGridStep = 5.0f;
constexpr float kGridExtent = 100.0f;
constexpr float kGizmoRadius = 150.0f;
constexpr float kCircleStep = 0.0314159f;

uint32_t Grey(int g) {
  const uint32_t v = static_cast<uint32_t>(g);
  return 0xFF000000u | v << 16 | v << 8 | v;
}

// v turned about x by pitch, then about y by yaw.
base::tVector3<float> Orbit(const base::tVector3<float>& v, float pitch, float yaw) {
  base::Matrix4 aboutX, aboutY;
  aboutX.rotation(base::tVector3<float>(1, 0, 0), pitch);
  aboutY.rotation(base::tVector3<float>(0, 1, 0), yaw);
  return (aboutX * aboutY) * v;
}

void DrawGrid() {
  for (int i = -kGridHalf; i <= kGridHalf; ++i) {
    const int g = (i == -kGridHalf || i == 0 || i == kGridHalf) ? 200 : (i % 2 == 0 ? 100 : 60);
    const float c = kGridStep * static_cast<float>(i);
    gfx::DrawLine3D({c, 0, -kGridExtent}, {c, 0, kGridExtent}, Grey(g));
    gfx::DrawLine3D({-kGridExtent, 0, c}, {kGridExtent, 0, c}, Grey(g));
  }
}

}  // namespace

void cl_CharacterViewer::PlaceCamera() {
  const base::tVector3<float> target(0, lookAtHeight, 0);
  camera.SetPos(Orbit({0, 0, distance}, orbitPitch, orbitYaw) + target);
  camera.LookAt(target, {0, 1, 0});
}

void cl_CharacterViewer::RenderLightGizmo(const base::tVector3<float>& d) {
  const base::tVector3<float> origin(0, 0, 0);
  const base::tVector3<float> end = d * -kGizmoRadius;
  base::tVector3<float> n(d.x, 0, d.z);
  const float length = std::sqrt(n.x * n.x + n.z * n.z);
  n = length > 0.0f ? n * (1.0f / length) : base::tVector3<float>(0, 0, 0);
  // The bearing lies on the light line while the light is level: the light line goes last so
  // that it stays visible.
  gfx::DrawLine3D(origin, n * -kGizmoRadius, kGizmoShade);
  gfx::DrawLine3D(end, {end.x, 0, end.z}, kGizmoShade);
  base::tVector3<float> previous(0, 0, -kGizmoRadius);
  const float full = 2.0f * std::numbers::pi_v<float>;
  float t = kCircleStep;
  for (bool last = false; !last; t += kCircleStep) {
    last = !(t < full);
    const base::tVector3<float> next(-kGizmoRadius * std::sin(t), 0, -kGizmoRadius * std::cos(t));
    gfx::DrawLine3D(previous, next, kGizmoShade);
    previous = next;
  }
  gfx::DrawLine3D(origin, end, kGizmoLine);
}

void cl_CharacterViewer::RenderScene() {
  gfx::Begin3D();
  PlaceCamera();
  gfx::SetCamera(&camera);

  gfx::DisableLighting();
  if (flatLighting) {
    gfx::EnableLighting(kWhite);
    gfx::SetDirectionalLight({0, 0, -1}, 0xFF000000u);
  } else {
    gfx::EnableLighting(kAmbient);
    const base::tVector3<float> d = Orbit({0, 0, -1}, lightPitch, lightYaw);
    gfx::SetDirectionalLight(d, kLightColour);
    if (base::sys::KeyState(base::key::LeftShift) || base::sys::KeyState(base::key::RightShift)) RenderLightGizmo(d);
  }
  DrawGrid();

  if (skeletonView) {
    // Depth first, then the same surfaces again: only the nearest passes the depth test and shows
    // as one half-transparent dark shape.
    gfx::SetColorWriteMask(false);
    animCtrl.RenderModel(&camera);
    gfx::SetColorWriteMask(true);
    gfx::SetBlendAlpha(true);
    gfx::SetModelTextureOverride(&silhouette);
    animCtrl.RenderModel(&camera);
    gfx::SetModelTextureOverride(nullptr);
    gfx::EnableZBuffer(false);
    animCtrl.RenderSkeleton(&camera);
    gfx::EnableZBuffer(true);
  } else {
    animCtrl.RenderModel(&camera);
  }
  const base::tString<base::BaseString> label = animCtrl.m_actor ? GetCurrentLabel() : "none";
  gfx::DrawText(220, 10, ("Current actor: " + label).c_str(), kWhite);
}

void cl_CharacterViewer::Render(float, float) {
  Build();
  const float width = static_cast<float>(base::sys::GetWindowWidth());
  const float height = static_cast<float>(base::sys::GetWindowHeight());
  gfx::Begin2D();
  gfx::FillRect(0, 0, width, height, kBackground);
  RenderScene();
  gfx::Begin2D();
  RenderChildren(0, 0);
  scrollBar.Render(0, 0);
}

}  // namespace quillane
