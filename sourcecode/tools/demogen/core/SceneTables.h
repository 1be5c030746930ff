// The demo scenes as tables: image size, camera, the solids that make the room and its props
// (each with a material the painter knows), the lights the painting uses, the walkable floors,
// the locators and zones, the hotspots and the layers the characters walk behind. demogen paints
// the backgrounds and layers from them and writes the nav meshes and project files; the scene
// tests link them to check that the engine sees the world where the painting put it.
// A new scene adds a Make<Name>Scene in scenes/ and its line in DemoScenes.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "base/math/Quaternion.h"
#include "base/math/Vector.h"
#include "graphics/Camera.h"

namespace demogen {

using tV2 = base::tVector2<float>;
using tV3 = base::tVector3<float>;

struct st_SceneCamera {
  float position[3];
  float rotation[3];  // degrees
  float fovHorizontal, fovVertical;
};

// What a surface is made of: the painter's procedural textures and how light treats them.
enum class en_Material : uint8_t {
  Plaster,    // walls: a faint mottle
  Panelling,  // wainscot: vertical boards
  Boards,     // floorboards running along x
  Wood,       // furniture: grain along the longest side
  Brick,
  Slabs,  // the quay's stone slabs
  Stone,  // cut stone: kerbs, sills
  Glass,  // seen through, with a faint reflection
  Water,  // a mirror that ripples
  Metal,
  Brass,
  Paper,
  Books,  // shelf rows of coloured spines
  Cloth,
  Painted,  // a painted plank or steel plate: flat colour, a little grain
  Light,    // gives light of its own colour (bulbs, lit windows, portholes)
};

enum class en_Shape : uint8_t { Box, Cylinder };  // a cylinder stands upright inside its box

// One solid of the scene. Solids with the same part name make one prop.
struct st_SceneSolid {
  const char* part;
  tV3 lo, hi;
  en_Material material;
  uint32_t colour;  // 0xRRGGBB
  en_Shape shape = en_Shape::Box;
};

inline st_SceneSolid Box(const char* part, tV3 lo, tV3 hi, en_Material m, uint32_t colour) {
  return {part, lo, hi, m, colour, en_Shape::Box};
}
inline st_SceneSolid Post(const char* part, float x, float z, float radius, float y0, float y1, en_Material m,
                          uint32_t colour) {
  return {part, {x - radius, y0, z - radius}, {x + radius, y1, z + radius}, m, colour, en_Shape::Cylinder};
}

// A rectangular hole in a wall: x0..x1 along the wall, y0..y1 up from the floor.
struct st_Opening {
  float x0, y0, x1, y1;
};

// A wall along x between depths z0 and z1, from the floor up to height, built of boxes around
// its openings.
void AddWall(std::vector<st_SceneSolid>& solids, const char* part, float x0, float x1, float z0, float z1, float height,
             const std::vector<st_Opening>& openings, en_Material material, uint32_t colour);

enum class en_LightKind : uint8_t { Point, Spot, Directional };

// A light of the painting. A directional light's vector points towards the light.
struct st_SceneLight {
  en_LightKind kind;
  tV3 vector;                     // position, or the direction towards the light
  uint32_t colour;                // 0xRRGGBB
  float strength;                 // 1: the colour at full strength on a surface facing the light
  float range = 0.0f;             // point and spot: where the light has faded out
  tV3 aim = {0.0f, -1.0f, 0.0f};  // spot: where it shines
  float cone = 0.0f;              // spot: cosine of the half angle of its full beam
  bool shadows = true;            // false: a soft fill that lights through things (a window's glow)
};

// A locator: a standing place, facing a floor point, with an optional zone polygon.
struct st_SceneLocator {
  const char* label;
  tV2 at;      // (x, z)
  tV2 facing;  // the floor point (x, z) it looks at
  std::vector<tV2> area;
};

// A hotspot's outline: the screen hull of the parts' solids grown by pad pixels, or, when points
// are given, those world points projected in order (an outline that need not be convex).
struct st_SceneHotspot {
  const char* label;
  std::vector<const char*> parts;
  float pad = 0.0f;
  std::vector<tV3> points;
};

// A layer holding props painted apart from the background, so characters can pass behind them.
struct st_SceneLayer {
  const char* label;
  const char* group;  // "StageElements" (sorted with the characters) or "ForegroundElements"
  std::vector<const char*> parts;
};

// A walkable floor: the polygon (x, z) less the footprints of the obstacle parts grown by
// margin, as a grid of cells no wider than cell, two triangles each.
struct st_SceneFloor {
  const char* file;  // in the scene's folder: "navmesh.xml" or "pier.lwo"
  std::vector<tV2> outline;
  std::vector<const char*> obstacles;
  float margin = 20.0f;
  float cell = 100.0f;
};

enum class en_Outside : uint8_t {
  NightView,   // a window's view: night sky, moon and sea
  Transparent  // left clear for a sky layer behind the background
};

struct st_DemoScene {
  const char* name;
  int width, height;
  st_SceneCamera camera;
  en_Outside outside;
  std::vector<st_SceneSolid> solids;
  std::vector<st_SceneLight> lights;
  uint32_t ambient;       // 0xRRGGBB: the light every surface gets
  float exposure = 1.0f;  // how strongly the characters take the key light
  std::vector<st_SceneFloor> floors;
  std::vector<st_SceneLocator> locators;
  std::vector<st_SceneHotspot> hotspots;
  std::vector<st_SceneLayer> layers;

  // The solids of one part; the part's box over all of them.
  std::vector<const st_SceneSolid*> Part(const char* part) const;
  bool PartBounds(const char* part, tV3& lo, tV3& hi) const;
  const st_SceneLocator* Locator(const char* label) const;
};

// ORDER SCENES: the scenes demogen paints, in this order.
st_DemoScene MakeOfficeScene();
st_DemoScene MakeQuayScene();
st_DemoScene MakeStageScene();
const std::vector<st_DemoScene>& DemoScenes();

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
  camera.SetPos(tV3(s.camera.position[0], s.camera.position[1], s.camera.position[2]));
  camera.SetFieldOfView(2.0f * std::atan((static_cast<float>(s.height) / static_cast<float>(s.width)) *
                                         std::tan(s.camera.fovHorizontal * 0.5f * kDegrees)));
  camera.GetProjectionMatrix();
  return camera;
}

// A world point's place on the scene image: the view is centred on the image.
inline tV2 DemoSceneProject(const st_DemoScene& s, const base::cl_Camera& camera, const tV3& p) {
  const tV3 screen = camera.World2Screen(p);
  return {screen.x + (static_cast<float>(s.width) - 1024.0f) * 0.5f,
          screen.y + (static_cast<float>(s.height) - 640.0f) * 0.5f};
}

// The yaw (radians) that turns a locator at "at" to look at "facing", in the orientation the
// scene builds from a locator's "yaw" (Quaternion::set_yaw_pitch_roll).
float LocatorYaw(const st_SceneLocator& locator);

}  // namespace demogen
