// The demo scenes as tables: image size, camera, floor, the boxes standing on it and the world
// points demogen marks in the background (magenta 3 × 3 dots) so a test can check that the
// engine's WorldToScene lands where the painting put them. Shared by demogen's scene and
// nav-mesh modules and by the scene tests; header only.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "base/math/Quaternion.h"
#include "base/math/Vector.h"
#include "graphics/Camera.h"

namespace demogen {

struct st_SceneCamera {
  float position[3];
  float rotation[3];  // degrees
  float fovHorizontal, fovVertical;
};

// A prop: a box on the floor, x0..x1 × z0..z1, height up from y = 0.
struct st_SceneBox {
  const char* name;
  float x0, z0, x1, z1, height;
  uint32_t colour;
};

struct st_DemoScene {
  const char* name;
  int width, height;
  st_SceneCamera camera;
  float floor[4];  // x0, z0, x1, z1
  std::vector<st_SceneBox> boxes;
  std::vector<base::tVector3<float>> references;
};

constexpr uint32_t kReferenceMarker = 0xFFFF00FF;

inline const std::vector<st_DemoScene>& DemoScenes() {
  static const std::vector<st_DemoScene> scenes = {
      {"Office", 1024, 640, {{0.0f, 900.0f, 1300.0f}, {-32.0f, 0.0f, 0.0f}, 60.0f, 40.0f},
       {-400.0f, -250.0f, 400.0f, 250.0f},
       {{"desk", -100.0f, -50.0f, 100.0f, 50.0f, 80.0f, 0xFF7A5230},
        {"shelf", 300.0f, -250.0f, 400.0f, -150.0f, 220.0f, 0xFF5C4A3A}},
       {{0.0f, 0.0f, 0.0f}, {-300.0f, 0.0f, 150.0f}, {250.0f, 0.0f, 200.0f}, {-350.0f, 0.0f, -200.0f}}},
      {"Quay", 1536, 640, {{0.0f, 800.0f, 1200.0f}, {-30.0f, 0.0f, 0.0f}, 70.0f, 46.0f},
       {-600.0f, -200.0f, 600.0f, 200.0f},
       {{"kiosk", -400.0f, -100.0f, -200.0f, 0.0f, 180.0f, 0xFF4F6D7A},
        {"bollard", 200.0f, 100.0f, 300.0f, 200.0f, 60.0f, 0xFF3A3A3A},
        {"lamp", 400.0f, -200.0f, 500.0f, -100.0f, 260.0f, 0xFF6A6A50}},
       {{0.0f, 0.0f, 0.0f}, {-500.0f, 0.0f, 150.0f}, {500.0f, 0.0f, 100.0f}, {100.0f, 0.0f, -150.0f}}},
      {"Stage", 1024, 640, {{0.0f, 1000.0f, 1100.0f}, {-40.0f, 0.0f, 0.0f}, 60.0f, 40.0f},
       {-350.0f, -250.0f, 350.0f, 250.0f},
       {{"pillar", -50.0f, -50.0f, 50.0f, 50.0f, 300.0f, 0xFF8A7F70}},
       {{0.0f, 0.0f, 200.0f}, {-250.0f, 0.0f, 150.0f}, {250.0f, 0.0f, -150.0f}}},
  };
  return scenes;
}

// The camera as the scene builds it from its nav mesh's "cameras" root at the reference
// viewport 1024 × 640 (no window): vertical angle from the horizontal one and the image shape.
inline base::cl_Camera DemoSceneCamera(const st_DemoScene& s) {
  constexpr float kDegrees = 0.01745329238474369f;
  base::cl_Camera camera;
  base::Quaternion q;
  q.set_rotate_xyz(s.camera.rotation[0] * kDegrees, s.camera.rotation[1] * kDegrees, s.camera.rotation[2] * kDegrees);
  camera.SetOrientation(q);
  camera.SetViewportRect(0.0f, 0.0f, 1024.0f, 640.0f);
  camera.SetClippingRange(0.1f, 10000.0f);
  camera.SetPos(base::tVector3<float>(s.camera.position[0], s.camera.position[1], s.camera.position[2]));
  camera.SetFieldOfView(2.0f * std::atan((static_cast<float>(s.height) / static_cast<float>(s.width)) *
                                         std::tan(s.camera.fovHorizontal * 0.5f * kDegrees)));
  camera.GetProjectionMatrix();
  return camera;
}

// A world point's place on the scene image: the view is centred on the image.
inline base::tVector2<float> DemoSceneProject(const st_DemoScene& s, const base::cl_Camera& camera,
                                              const base::tVector3<float>& p) {
  const base::tVector3<float> screen = camera.World2Screen(p);
  return {screen.x + (static_cast<float>(s.width) - 1024.0f) * 0.5f,
          screen.y + (static_cast<float>(s.height) - 640.0f) * 0.5f};
}

}  // namespace demogen
