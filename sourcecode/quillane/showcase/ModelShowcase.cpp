#include "quillane/showcase/ModelShowcase.h"

#include "base/math/Matrix4.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Pose.h"
#include "graphics/mesh/Skeleton.h"
#include "graphics/model/Model.h"

namespace {

constexpr const char* kFigure = "female";
constexpr const char* kClip = "idle";

}  // namespace

cl_ModelShowcase::cl_ModelShowcase() { SetName("ModelShowcase"); }

void cl_ModelShowcase::Update(float time, float dt) {
  if (!IsActive()) return;
  m_clipTime += dt;
  cl_Module::Update(time, dt);
}

void cl_ModelShowcase::Render() {
  if (!IsActive()) return;
  if (!m_editorResources) {
    m_editorResources = true;  // the "axis" model lives with the editors' resources
    base::sys::AddResources("editor/editor_resources.xml");
  }
  gfx::cl_Model* figure = gfx::GetModel(kFigure);
  gfx::cl_Model* axis = gfx::GetModel("axis");
  gfx::cl_Model* pier = gfx::GetModel("pier");
  base::cl_Skeleton* skeleton = base::GetSkeleton(kFigure);
  if ((!figure || !skeleton || !axis) && !m_warned) {
    base::sys::Output("Warning: start-up models without %s (run demogen for the demo data)\n",
                      !figure ? "the figure's model" : !skeleton ? "the figure's skeleton" : "\"axis\"");
    m_warned = true;
  }

  const float width = static_cast<float>(base::sys::GetWindowWidth());
  const float height = static_cast<float>(base::sys::GetWindowHeight());
  // Lower right of the screen, under the logo: centimetres, the figure about 170 tall.
  base::cl_Camera camera;
  camera.SetViewportRect(width * 0.5f, height * 0.35f, width, height);
  camera.SetClippingRange(10.0f, 5000.0f);
  camera.SetPos({0.0f, 110.0f, 330.0f});
  camera.LookAt({0.0f, 85.0f, 0.0f}, {0.0f, 1.0f, 0.0f});

  const gfx::st_Viewport before = gfx::GetViewport();
  gfx::Begin3D();
  gfx::ClearZBuffer();
  gfx::SetCamera(&camera);
  if (pier) {
    // The pier is in metres.
    base::Matrix4 world;
    world.scaling(60.0f, 60.0f, 60.0f).translate({-2.0f, -0.6f, -6.0f});
    gfx::DisableLighting();
    gfx::DrawModel(pier, world);
  }
  if (axis) {
    base::Matrix4 world;
    world.translation(70.0f, 0.0f, 40.0f);
    gfx::DisableLighting();
    gfx::DrawModel(axis, world);
  }
  if (figure && skeleton) {
    if (const base::cl_Animation* clip = skeleton->GetAnimation(kClip)) {
      base::cl_Pose pose(skeleton->size());
      pose.Set(clip, m_clipTime);
      skeleton->SetPose(&pose);
    }
    gfx::EnableLighting(0xFF383840u);
    gfx::SetDirectionalLight({-0.4f, -0.8f, -0.6f}, 0xFFE8DCC8u);
    gfx::SetPointLight({90.0f, 150.0f, 120.0f}, 400.0f, 0xFF5070FFu);
    gfx::SetDiffuseCoefficient(1.0f);
    base::Matrix4 world;  // the figure faces +z, towards the camera
    world.translation(-30.0f, 0.0f, 0.0f);
    gfx::DrawModelPart(figure, skeleton, world, &camera);
  }
  gfx::DisableLighting();
  gfx::SetCamera(nullptr);
  gfx::SetViewport(before.x, before.y, before.width, before.height, before.zNear, before.zFar);
  gfx::Begin2D();
  cl_Module::Render();
}
