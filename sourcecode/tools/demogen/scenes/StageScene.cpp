// The dance floor on the ferry's deck: boards under a string of lamps, the rail and the night sea
// beyond, a mast in the middle. The dancer starts at DanceStartPos; the three viewers sit at
// Sit0 to Sit2 by the rail.
#include "core/SceneTables.h"

namespace demogen {

st_DemoScene MakeStageScene() {
  st_DemoScene scene;
  scene.name = "Stage";
  scene.width = 1024, scene.height = 640;
  scene.camera = {{0.0f, 1000.0f, 1100.0f}, {-40.0f, 0.0f, 0.0f}, 60.0f, 40.0f};
  scene.outside = en_Outside::NightView;
  auto& s = scene.solids;
  s.push_back(Box("", {-700, -10, -420}, {700, 0, 900}, en_Material::Boards, 0x8A6A48));
  s.push_back(Box("", {-700, -200, -440}, {700, -10, -420}, en_Material::Painted, 0xC8C2B4));
  for (float x = -680.0f; x <= 680.0f; x += 80.0f)
    s.push_back(Post("", x, -410, 3, 0, 100, en_Material::Metal, 0xB0ACA0));
  s.push_back(Box("", {-700, 100, -414}, {700, 106, -406}, en_Material::Wood, 0x5A3A24));
  s.push_back(Post("pillar", 0, 0, 40, 0, 300, en_Material::Painted, 0xC8C2B4));
  for (int i = 0; i < 3; ++i) {
    const float x = -250.0f + 250.0f * static_cast<float>(i);
    s.push_back(Box("", {x - 45, 0, -330}, {x + 45, 42, -290}, en_Material::Wood, 0x6A4428));
  }
  for (float x = -600.0f; x <= 600.0f; x += 60.0f)
    s.push_back(
        Post("", x, -380, 5, 260, 272, en_Material::Light, (static_cast<int>(x) / 60) % 2 != 0 ? 0xFFD070 : 0xFF9060));
  scene.ambient = 0x262838;
  scene.lights = {
      {en_LightKind::Directional, {-0.35f, 0.42f, -0.84f}, 0x8CA0D0, 0.6f},
      {en_LightKind::Point, {-300, 250, -300}, 0xFFC080, 1.2f, 800.0f},
      {en_LightKind::Point, {300, 250, -300}, 0xFFC080, 1.2f, 800.0f},
  };
  scene.floors = {{"navmesh.xml", {{-350, -250}, {350, -250}, {350, 250}, {-350, 250}}, {"pillar"}, 10.0f, 100.0f}};
  scene.locators = {{"DanceStartPos", {0, 150}, {0, 300}, {}}};
  for (int i = 0; i < 3; ++i) {
    static const char* const kSeats[] = {"Sit0", "Sit1", "Sit2"};
    const float x = -250.0f + 250.0f * static_cast<float>(i);
    scene.locators.push_back({kSeats[i], {x, -200}, {x, 100}, {}});
  }
  return scene;
}

}  // namespace demogen
