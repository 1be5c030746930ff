// The harbour office at night: Odo's desk with its lamp in the middle, the window onto the moonlit
// harbour on the left, the telephone junction and a sea chart on the back wall, the door out to the
// quay and the shelf of harbour books on the right. World units are centimetres; the back wall's
// face is at z = -260 and the camera stands at z = 850, 3 m up, looking 16 degrees down.
#include "core/SceneTables.h"

namespace demogen {

namespace {

constexpr float kBack = -260.0f;  // the back wall's face
constexpr uint32_t kPlaster = 0xA89C84, kPanel = 0x5C3C26, kFrame = 0x4A3220, kFloor = 0x7C5A3A;

void AddRoom(std::vector<st_SceneSolid>& s) {
  s.push_back(Box("", {-520, -10, -280}, {520, 0, 720}, en_Material::Boards, kFloor));
  const std::vector<st_Opening> openings = {{-400, 95, -220, 235}, {140, 0, 250, 215}};
  AddWall(s, "", -520, 520, -280, kBack, 320, openings, en_Material::Plaster, kPlaster);
  s.push_back(Box("", {-500, 0, -280}, {-480, 320, 720}, en_Material::Plaster, kPlaster));
  s.push_back(Box("", {480, 0, -280}, {500, 320, 720}, en_Material::Plaster, kPlaster));
  // Panelling below a rail on the back wall, broken by the door.
  AddWall(s, "", -480, 480, kBack, kBack + 2, 100, {{132, 0, 258, 100}}, en_Material::Panelling, kPanel);
  for (const auto& [x0, x1] : {std::pair{-480.0f, 132.0f}, {258.0f, 480.0f}})
    s.push_back(Box("", {x0, 98, kBack}, {x1, 104, kBack + 5}, en_Material::Wood, kFrame));
  s.push_back(Box("", {-480, 0, -280}, {-478, 100, 720}, en_Material::Panelling, kPanel));
  // A cornice where the wall meets the ceiling.
  s.push_back(Box("", {-480, 300, kBack}, {480, 320, kBack + 8}, en_Material::Wood, kFrame));
}

void AddWindow(std::vector<st_SceneSolid>& s) {
  const float x0 = -400, x1 = -220, y0 = 95, y1 = 235;
  s.push_back(Box("window", {x0, y0, -271}, {x1, y1, -269}, en_Material::Glass, 0xB8C8D4));
  for (const auto& [a, b] : {std::pair{x0 - 8, x0}, {x1, x1 + 8}, {(x0 + x1) / 2 - 3, (x0 + x1) / 2 + 3}})
    s.push_back(Box("window", {a, y0, -272}, {b, y1, kBack + 1}, en_Material::Wood, kFrame));
  for (const auto& [a, b] : {std::pair{y1, y1 + 8}, {168.0f, 174.0f}})
    s.push_back(Box("window", {x0 - 8, a, -272}, {x1 + 8, b, kBack + 1}, en_Material::Wood, kFrame));
  s.push_back(Box("window", {x0 - 14, y0 - 8, -272}, {x1 + 14, y0, kBack + 12}, en_Material::Stone, 0x9A9488));
  // Curtains drawn back to either side.
  s.push_back(Box("window", {x0 - 46, 80, kBack + 2}, {x0 - 10, 262, kBack + 12}, en_Material::Painted, 0x6A2424));
  s.push_back(Box("window", {x1 + 10, 80, kBack + 2}, {x1 + 46, 262, kBack + 12}, en_Material::Painted, 0x6A2424));
  s.push_back(Box("window", {x0 - 56, 262, kBack + 2}, {x1 + 56, 268, kBack + 14}, en_Material::Brass, 0x8A6A30));
}

void AddDoor(std::vector<st_SceneSolid>& s) {
  s.push_back(Box("door", {140, 0, -266}, {250, 215, -262}, en_Material::Wood, 0x6E4628));
  for (const auto& [y0, y1] : {std::pair{20.0f, 100.0f}, {120.0f, 200.0f}})
    s.push_back(Box("door", {152, y0, -262}, {238, y1, -260.5f}, en_Material::Wood, 0x5E3A20));
  s.push_back(Box("door", {132, 0, -272}, {140, 223, kBack + 3}, en_Material::Wood, kFrame));
  s.push_back(Box("door", {250, 0, -272}, {258, 223, kBack + 3}, en_Material::Wood, kFrame));
  s.push_back(Box("door", {132, 215, -272}, {258, 223, kBack + 3}, en_Material::Wood, kFrame));
  s.push_back(Box("door", {228, 96, -262}, {236, 104, -256}, en_Material::Brass, 0xB89048));
}

void AddShelf(std::vector<st_SceneSolid>& s) {
  const float x0 = 290, x1 = 460, z0 = kBack, z1 = -215;
  s.push_back(Box("shelf", {x0, 0, z0}, {x0 + 6, 235, z1}, en_Material::Wood, 0x5A3820));
  s.push_back(Box("shelf", {x1 - 6, 0, z0}, {x1, 235, z1}, en_Material::Wood, 0x5A3820));
  s.push_back(Box("shelf", {x0, 229, z0}, {x1, 235, z1 + 2}, en_Material::Wood, 0x5A3820));
  s.push_back(Box("shelf", {x0 + 6, 0, z0}, {x1 - 6, 229, z0 + 4}, en_Material::Wood, 0x3A2414));
  for (const float y : {0.0f, 57.0f, 114.0f, 171.0f}) {
    s.push_back(Box("shelf", {x0 + 6, y, z0}, {x1 - 6, y + 5, z1}, en_Material::Wood, 0x5A3820));
    s.push_back(Box("shelf", {x0 + 7, y + 5, z0 + 6}, {x1 - 7, y + 48, z1 - 8}, en_Material::Books, 0x7A5A40));
  }
}

void AddJunction(std::vector<st_SceneSolid>& s) {
  s.push_back(Box("junction", {-150, 125, kBack}, {-70, 195, kBack + 12}, en_Material::Wood, 0x4A3018));
  s.push_back(Box("junction", {-144, 131, kBack + 12}, {-76, 189, kBack + 13}, en_Material::Painted, 0x1E1A16));
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 4; ++col) {
      const float x = -138 + 15.0f * static_cast<float>(col), y = 140 + 16.0f * static_cast<float>(row);
      s.push_back(Box("junction", {x, y, kBack + 13}, {x + 6, y + 6, kBack + 16}, en_Material::Brass, 0xC09850));
    }
  s.push_back(Post("junction", -128, kBack + 8, 7, 195, 203, en_Material::Brass, 0xC09850));
  s.push_back(Post("junction", -92, kBack + 8, 7, 195, 203, en_Material::Brass, 0xC09850));
  // The line comes down the wall at the box's right edge.
  s.push_back(Box("junction", {-80, 0, kBack}, {-72, 125, kBack + 6}, en_Material::Metal, 0x2E2E2E));
}

void AddDesk(std::vector<st_SceneSolid>& s) {
  const uint32_t wood = 0x6A4228;
  s.push_back(Box("desk", {-125, 74, -114}, {125, 79, -16}, en_Material::Wood, 0x5A3620));
  for (const float x0 : {-120.0f, 60.0f}) {
    s.push_back(Box("desk", {x0, 0, -110}, {x0 + 60, 74, -22}, en_Material::Wood, wood));
    for (const auto& [y0, y1] : {std::pair{4.0f, 26.0f}, {29.0f, 49.0f}, {52.0f, 71.0f}}) {
      if (x0 > 0.0f && y0 > 50.0f) continue;  // the top right drawer is its own prop
      s.push_back(Box("desk", {x0 + 3, y0, -22}, {x0 + 57, y1, -19.5f}, en_Material::Wood, 0x74482C));
      s.push_back(Box("desk", {x0 + 24, (y0 + y1) / 2 - 1.5f, -19.5f}, {x0 + 36, (y0 + y1) / 2 + 1.5f, -17.5f},
                      en_Material::Brass, 0xB89048));
    }
  }
  s.push_back(Box("desk", {-60, 30, -100}, {60, 74, -96}, en_Material::Wood, wood));
  s.push_back(Box("drawer", {63, 52, -22}, {117, 71, -19.5f}, en_Material::Wood, 0x7A4C2E));
  s.push_back(Box("drawer", {84, 60, -19.5f}, {96, 63, -17.5f}, en_Material::Brass, 0xC89A50));
  // The coded telegram and its envelope, an inkwell and the banker's lamp.
  s.push_back(Box("telegram", {-72, 79, -78}, {-40, 79.4f, -56}, en_Material::Paper, 0xEAE2CC));
  s.push_back(Box("telegram", {-38, 79, -74}, {-12, 79.6f, -58}, en_Material::Paper, 0xD8C49C));
  s.push_back(Post("desk", 20, -90, 4, 79, 85, en_Material::Glass, 0x303A48));
  s.push_back(Post("lamp", 80, -88, 9, 79, 82, en_Material::Brass, 0xB08A40));
  s.push_back(Post("lamp", 80, -88, 1.5f, 82, 114, en_Material::Brass, 0xB08A40));
  s.push_back(Box("lamp", {62, 112, -100}, {98, 124, -76}, en_Material::Painted, 0x2A6040));
  s.push_back(Box("lamp", {72, 109, -92}, {88, 112, -84}, en_Material::Light, 0xFFE6B0));
}

void AddFurnishing(std::vector<st_SceneSolid>& s) {
  // A steel filing cabinet in the left corner, a sea chart on the wall, a rug before the desk.
  s.push_back(Box("cabinet", {-476, 0, kBack}, {-414, 132, -215}, en_Material::Painted, 0x4E5E54));
  for (const float y : {8.0f, 50.0f, 92.0f}) {
    s.push_back(Box("cabinet", {-470, y, -215}, {-420, y + 36, -214}, en_Material::Painted, 0x566A5E));
    s.push_back(Box("cabinet", {-452, y + 26, -214}, {-438, y + 29, -213}, en_Material::Brass, 0xB89048));
  }
  s.push_back(Box("chart", {-24, 128, kBack}, {104, 214, kBack + 3}, en_Material::Wood, kFrame));
  s.push_back(Box("chart", {-18, 134, kBack + 3}, {98, 208, kBack + 4}, en_Material::Paper, 0xC8C0A0));
  s.push_back(Box("chart", {10, 150, kBack + 4}, {60, 190, kBack + 4.5f}, en_Material::Painted, 0x7A9AA4));
  s.push_back(Box("", {-210, 0, -5}, {190, 0.6f, 150}, en_Material::Cloth, 0x5A2A24));
}

}  // namespace

st_DemoScene MakeOfficeScene() {
  st_DemoScene scene;
  scene.name = "Office";
  scene.width = 1024, scene.height = 640;
  scene.camera = {{0.0f, 300.0f, 850.0f}, {-16.0f, 0.0f, 0.0f}, 50.0f, 32.0f};
  scene.outside = en_Outside::NightView;
  AddRoom(scene.solids);
  AddWindow(scene.solids);
  AddDoor(scene.solids);
  AddShelf(scene.solids);
  AddJunction(scene.solids);
  AddDesk(scene.solids);
  AddFurnishing(scene.solids);

  scene.ambient = 0x463C34;
  scene.exposure = 1.1f;
  scene.lights = {
      {en_LightKind::Spot, {80, 108, -88}, 0xFFD8A0, 2.6f, 460.0f, {0.0f, -1.0f, 0.0f}, 0.5f},
      {en_LightKind::Directional, {0.35f, 0.55f, -0.76f}, 0x9AB0E0, 0.9f},
      {en_LightKind::Point, {0, 290, 260}, 0xFFDCB8, 0.4f, 950.0f},
  };

  scene.floors = {{"navmesh.xml",
                   {{-470, -245}, {470, -245}, {470, 330}, {-470, 330}},
                   {"desk", "shelf", "cabinet"},
                   25.0f,
                   130.0f}};

  scene.locators = {
      {"Start", {160, -155}, {0, 0}, {}},
      // Odo stands right of the window, out of the way of its zone.
      {"OdoPlace", {-225, -185}, {-100, 100}, {}},
      {"Talk", {-125, -180}, {-225, -185}, {}},
      {"Window", {-340, -200}, {-340, -300}, {{-440, -250}, {-270, -250}, {-270, -170}, {-440, -170}}},
      {"shelf_walk", {375, -165}, {375, -260}, {}},
      {"drawer_walk", {90, 40}, {90, -60}, {}},
      {"telegram_walk", {-56, 40}, {-56, -66}, {}},
      {"junction_walk", {-105, -200}, {-105, -300}, {}},
      {"door_walk", {195, -215}, {195, -300}, {}},
  };

  // Small things first: the outline picked is the first that holds the point.
  scene.hotspots = {
      {"telegram", {"telegram"}, 8.0f, {}},
      {"drawer", {"drawer"}, 4.0f, {}},
      {"junction",
       {},
       0.0f,
       {{-152, 197, -250}, {-68, 197, -250}, {-68, 0, -250}, {-82, 0, -250}, {-82, 123, -250}, {-152, 123, -250}}},
      {"shelf", {"shelf"}, 0.0f, {}},
      {"door", {"door"}, 0.0f, {}},
  };
  scene.layers = {{"desk", "StageElements", {"desk", "drawer", "telegram", "lamp"}}};
  return scene;
}

}  // namespace demogen
