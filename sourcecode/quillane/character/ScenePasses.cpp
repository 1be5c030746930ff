#include "quillane/character/ScenePasses.h"

#include <algorithm>
#include <cfloat>
#include <vector>

#include "base/math/Matrix4.h"
#include "base/system.h"
#include "graphics/gfx.h"
#include "quillane/character/Character.h"
#include "quillane/scene/Scene.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/world/NavMesh.h"

namespace quillane {

namespace {

constexpr uint32_t kShadowColour = 0xFF30281Eu;

// One entry of the depth list: a character or a stage layer.
struct st_DepthEntry {
  float key;
  cl_Character* character;
  cl_Layer* layer;
};

int ReflectionsOption() {
  const base::Variant* value = base::sys::GetOptionValue("Gfx/Reflections/Value");
  return value ? value->get_int() : 1;
}

}  // namespace

void RenderScenePasses(cl_Scene& scene, const std::list<cl_Character*>& characters, const base::tRectf& rect,
                       const st_ScenePasses& passes) {
  const float x0 = rect.min.x, y0 = rect.min.y, x1 = rect.max.x, y1 = rect.max.y;
  base::cl_Camera& camera = scene.GetCamera();
  float cx0, cy0, cx1, cy1;
  camera.GetViewportRect(cx0, cy0, cx1, cy1);
  if (cx0 != x0 || cy0 != y0 || cx1 != x1 || cy1 != y1) {
    camera.SetViewportRect(x0, y0, x1, y1);
    scene.UpdateViewFromCamera();
  }
  float zNear, zFar;
  camera.GetClippingRange(zNear, zFar);
  gfx::SetViewportRect(x0, y0, x1, y1, zNear, zFar);
  // Layers are flat pictures drawn in 2D; characters, their mirror images and shadows in 3D
  // through the scene camera.
  auto begin3D = [&camera]() {
    gfx::Begin3D();
    gfx::SetCamera(&camera);
  };
  begin3D();
  gfx::EnableLighting(0xFF3C3C3C);
  gfx::SetDirectionalLight(camera.GetLookDir(), 0xFFB4A0A0);

  gfx::Begin2D();
  cl_Layer* blur = passes.blur ? scene.FindSpecialFXLayer("blur") : nullptr;
  if (blur)
    blur->Render(x0, y0, x1, y1);
  else
    scene.RenderBackgroundLayers(x0, y0, x1, y1);

  cl_Layer* mirrorMask = scene.FindSpecialFXLayer("mirrormask");
  cl_Layer* shadowMask = scene.FindSpecialFXLayer("shadowmask");
  const bool mirrors = mirrorMask && ReflectionsOption() == 1;

  std::vector<st_DepthEntry> depth;
  bool mirrored = false;
  begin3D();
  for (cl_Character* character : characters) {
    const base::tVector3<float>& p = character->GetPosition();
    if (mirrors) {
      scene.SetupLightsAt(p);
      // The mirror turns the faces' winding round: with culling the figure would show its inside.
      gfx::SetCullNone(true, false);
      character->RenderMirror(&camera);
      gfx::SetCullNone(false, true);
      mirrored = true;
    }
    depth.push_back({camera.GetZDistance(p), character, nullptr});
  }
  if (mirrored) gfx::ClearZBuffer();
  gfx::Begin2D();
  if (mirrorMask) mirrorMask->Render(x0, y0, x1, y1);

  // The shadow mask shows the background again over all but the floor, so over the background
  // it changes only pixels drawn since: the blob spots' rectangle, unless the blurred picture
  // stands for the background or mirror images or cast shadows (whose extent is not worked out)
  // were drawn too.
  bool maskWhole = blur || mirrored;
  base::tRectf drawn(FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX);
  begin3D();
  for (cl_Character* character : characters) {
    const base::tVector3<float>& p = character->GetPosition();
    for (const cl_SceneLight* light : scene.Lights) {
      if (light->kind == LIGHT_BLOBSHADOW) {
        maskWhole = !character->RenderBlobShadow(&camera, &drawn) || maskWhole;
      } else if (light->kind == LIGHT_PROJECTIONSHADOW) {
        maskWhole = true;
        // Cast from the light's position onto the floor under the character.
        const float height = light->vector.y - p.y;
        if (height < 1.0f) continue;
        const float a = -(light->vector.x - p.x) / height, b = -(light->vector.z - p.z) / height;
        character->RenderProjectedShadow(a, b, p, kShadowColour, &camera);
      }
    }
  }
  gfx::Begin2D();
  if (shadowMask && maskWhole)
    shadowMask->Render(x0, y0, x1, y1);
  else if (shadowMask && drawn.min.x <= drawn.max.x)
    shadowMask->RenderWithin(x0, y0, drawn);

  // Stage layers sort by their y-sort line cast onto the floor.
  for (cl_Layer* layer : scene.StageElements) {
    const base::tVector2<float> screen = scene.SceneToScreen(layer->GetX(), static_cast<float>(layer->GetYSort()));
    base::tVector3<float> world;
    const float key = scene.PickRay(screen.x, screen.y, world) ? camera.GetZDistance(world) : -FLT_MAX;
    depth.push_back({key, nullptr, layer});
  }
  std::stable_sort(depth.begin(), depth.end(),
                   [](const st_DepthEntry& a, const st_DepthEntry& b) { return a.key < b.key; });

  if (passes.navMesh && !scene.NavMeshes.empty()) {
    begin3D();
    gfx::SetWorldMatrix(base::Matrix4());
    scene.NavMeshes.front()->RenderDebug();
  }

  base::cl_Camera peek = camera;
  // C held: the developers' view from closer in.
  const bool peeking = Debug_KeysEnabled && base::sys::KeyState('C');
  if (peeking) {
    peek.MoveForward(700.0f);
    peek.MoveUp(-80.0f);
  }
  for (const st_DepthEntry& entry : depth) {
    if (entry.layer) {
      gfx::Begin2D();
      entry.layer->Render(x0, y0, x1, y1);
      continue;
    }
    gfx::Begin3D();
    gfx::SetCamera(peeking ? &peek : &camera);
    scene.SetupLightsAt(entry.character->GetPosition());
    entry.character->Render(peeking ? &peek : &camera);
  }

  gfx::Begin2D();
  scene.RenderForegroundLayers(x0, y0, x1, y1);
  gfx::SetCamera(&camera);  // the debug shapes of locators and nav meshes are placed in the world
  scene.RenderDebug();
  gfx::Begin2D();
}

}  // namespace quillane
