#include "core/ScenePictures.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "base/math/Noise.h"
#include "core/Painter.h"

namespace demogen {

namespace {

void Over(base::cl_Bitmap32& canvas, const base::cl_Bitmap32& picture) {
  cl_Painter painter(canvas);
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const base::Color32 c = picture.Point(x, y);
      if (c.a == 0) continue;
      painter.Blend(
          x, y,
          static_cast<uint32_t>(c.a) << 24 | static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | c.b,
          1.0f);
    }
}

st_ScenePictures Paint(const st_DemoScene& scene) {
  st_ScenePictures p;
  p.render = std::make_unique<cl_SceneRender>(scene);
  const cl_SceneRender& render = *p.render;
  cl_SceneRender::st_Request background;
  for (const st_SceneLayer& layer : scene.layers)
    for (const char* part : layer.parts) background.hidden.push_back(part);
  background.seen = &p.seen;
  p.background = render.Paint(background);

  const base::cl_Camera camera = DemoSceneCamera(scene);
  for (const st_SceneLayer& layer : scene.layers) {
    st_PaintedLayer painted{&layer, {}, scene.width, scene.height, 0, 0, 0};
    float front = 0.0f;
    for (const char* part : layer.parts) {
      int x0, y0, x1, y1;
      if (render.PartRect(part, x0, y0, x1, y1))
        painted.x0 = std::min(painted.x0, x0), painted.y0 = std::min(painted.y0, y0),
        painted.x1 = std::max(painted.x1, x1), painted.y1 = std::max(painted.y1, y1);
      // The stage sorts a layer by its front edge on the floor.
      for (const st_SceneSolid* s : scene.Part(part))
        for (const float x : {s->lo.x, s->hi.x})
          front = std::max(front, DemoSceneProject(scene, camera, tV3(x, 0.0f, s->hi.z)).y);
    }
    if (painted.x0 >= painted.x1) continue;
    cl_SceneRender::st_Request request;
    request.only.assign(layer.parts.begin(), layer.parts.end());
    request.x0 = painted.x0, request.y0 = painted.y0, request.x1 = painted.x1, request.y1 = painted.y1;
    painted.picture = render.Paint(request);
    painted.ysort = static_cast<int>(front);
    p.layers.push_back(std::move(painted));
  }

  if (scene.outside == en_Outside::Transparent) {
    p.skyRows = std::min(scene.height, HorizonRow(render) + 16);
    p.sky.Create(scene.width, p.skyRows);
    auto skyAt = [&render](int x, int y) {
      tV3 origin, direction;
      render.EyeRay(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, origin, direction);
      return cl_SceneRender::NightView(direction, false);
    };
    // The sky drifts in the game and wraps round: its right edge meets its left. The view is
    // painted kSkyFold columns wider, and those fade into the first ones, so the last column runs
    // on into the first without a seam.
    constexpr int kSkyFold = 256;
    const int fold = std::min(kSkyFold, scene.width);
    for (int y = 0; y < p.skyRows; ++y)
      for (int x = 0; x < scene.width; ++x) {
        st_Rgb colour = skyAt(x, y);
        if (x < fold) colour = Mix(skyAt(scene.width + x, y), colour, (static_cast<float>(x) + 0.5f) / static_cast<float>(fold));
        *p.sky.Pixel(x, y) = base::Color32(0xFF000000u | Encode(colour));
      }
  }
  return p;
}

}  // namespace

float WaterGlint(int x, int y, float phase) {
  const float v =
      base::NoiseGenerator::perlin(static_cast<float>(x) * 0.06f + phase, static_cast<float>(y) * 0.45f, 2.5f);
  return v > 0.34f ? std::min(1.0f, (v - 0.34f) * 5.0f) : 0.0f;
}

int HorizonRow(const cl_SceneRender& render) {
  const float x = static_cast<float>(render.Scene().width) * 0.5f;
  int row = 0;
  for (int y = 0; y < render.Scene().height; ++y) {
    tV3 origin, direction;
    render.EyeRay(x, static_cast<float>(y) + 0.5f, origin, direction);
    if (direction.y > -0.01f) row = y;
  }
  return row;
}

bool st_ScenePictures::Shows(int x, int y, en_Material material) const {
  const st_SceneSolid* s = seen[static_cast<size_t>(y) * background.Width() + x];
  return s && s->material == material;
}

bool st_ScenePictures::ShowsFloor(int x, int y) const {
  // The top of a solid whose top is the floor level.
  const st_SceneSolid* s = seen[static_cast<size_t>(y) * background.Width() + x];
  return s && std::fabs(s->hi.y) < 1.0f && s->lo.y <= 0.0f;
}

base::cl_Bitmap32 st_ScenePictures::View() const {
  base::cl_Bitmap32 view;
  view.Create(background.Width(), background.Height());
  cl_Painter(view).Fill(0xFF000000u);
  if (skyRows > 0) Over(view, sky);
  Over(view, background);
  for (const st_PaintedLayer& layer : layers) Over(view, layer.picture);
  return view;
}

const st_ScenePictures& PaintedScene(const st_DemoScene& scene) {
  static std::map<std::string, st_ScenePictures> painted;
  auto it = painted.find(scene.name);
  if (it == painted.end()) it = painted.emplace(scene.name, Paint(scene)).first;
  return it->second;
}

}  // namespace demogen
