// The quay at night: the harbour office and the pump house on the land to the left, Mina's ticket
// kiosk and the harbour lamp on the quay, a wooden pier running out over the water, and the night
// ferry moored on the right with its gangway down. The quay's edge runs along z = -200 (and along
// x = -200 where the land reaches back); the water lies 70 cm below. The walkable quay keeps its
// obstacles inside it (a U-shaped notch in a nav mesh's rim lets a path cut across its mouth), and
// Pell walks the pier, a nav mesh of its own. The camera stands at z = 1000, 2.3 m up, looking 7
// degrees down.
#include "core/SceneTables.h"

namespace demogen {

namespace {

constexpr float kEdge = -200.0f;  // the quay's edge towards the water
constexpr float kWater = -70.0f;  // the water's surface
constexpr uint32_t kBrick = 0x7A3C2C;

void AddGround(std::vector<st_SceneSolid>& s) {
  s.push_back(Box("", {-200, -80, kEdge}, {4000, 0, 1200}, en_Material::Slabs, 0x6E6A62));
  s.push_back(Box("", {-4000, -80, -3000}, {-200, 0, 1200}, en_Material::Slabs, 0x6E6A62));
  s.push_back(Box("", {-200, -2, kEdge - 12}, {4000, 3, kEdge + 6}, en_Material::Stone, 0x8A857A));
  s.push_back(Box("", {-212, -2, -3000}, {-194, 3, kEdge + 6}, en_Material::Stone, 0x8A857A));
  s.push_back(Box("", {-194, -400, -40000}, {40000, kWater, kEdge - 12}, en_Material::Water, 0x0E2230));
  // The far shore: a low headland with its lighthouse, and the lights of a town across the bay.
  s.push_back(Box("", {-30000, kWater, -30000}, {-6000, 900, -26000}, en_Material::Painted, 0x0C1018));
  s.push_back(Post("", -9000, -27000, 160, 900, 2300, en_Material::Painted, 0xB8B4A8));
  s.push_back(Post("", -9000, -27000, 190, 2300, 2600, en_Material::Light, 0xFFF0C0));
  s.push_back(Box("", {9000, kWater, -36000}, {40000, 500, -32000}, en_Material::Painted, 0x0A0E16));
  for (int i = 0; i < 9; ++i) {
    const float x = 11000.0f + 2900.0f * static_cast<float>(i), y = 120.0f + 90.0f * static_cast<float>((i * 5) % 3);
    s.push_back(
        Box("", {x, y, -32100}, {x + 220, y + 160, -32000}, en_Material::Light, i % 3 == 0 ? 0xFFE0A0 : 0xE8C070));
  }
}

void AddOffice(std::vector<st_SceneSolid>& s) {
  const float z = -260.0f;
  const std::vector<st_Opening> openings = {{-700, 0, -610, 262},   {-850, 90, -770, 210},  {-540, 90, -460, 210},
                                            {-850, 280, -770, 380}, {-700, 280, -610, 380}, {-540, 280, -460, 380}};
  AddWall(s, "office", -1100, -420, -700, z, 430, openings, en_Material::Brick, kBrick);
  s.push_back(Box("office", {-1110, 430, -710}, {-410, 450, z + 12}, en_Material::Stone, 0x8A8478));
  s.push_back(Box("office", {-1100, 0, z}, {-420, 14, z + 6}, en_Material::Stone, 0x6A665E));
  for (const st_Opening& o : openings) {
    if (o.y0 == 0.0f) continue;
    const bool lit = o.y0 < 100.0f;
    s.push_back(Box("office", {o.x0, o.y0, z - 14}, {o.x1, o.y1, z - 12}, lit ? en_Material::Light : en_Material::Glass,
                    lit ? 0xC88A40 : 0x3A4450));
    s.push_back(Box("office", {o.x0 - 6, o.y0 - 8, z - 16}, {o.x1 + 6, o.y0, z + 8}, en_Material::Stone, 0x9A9488));
    s.push_back(Box("office", {(o.x0 + o.x1) / 2 - 3, o.y0, z - 16}, {(o.x0 + o.x1) / 2 + 3, o.y1, z - 10},
                    en_Material::Wood, 0x2A2A26));
  }
  // The door with its lit fanlight and the name board above.
  s.push_back(Box("office_door", {-700, 0, z - 16}, {-610, 228, z - 12}, en_Material::Painted, 0x2A4A3A));
  s.push_back(Box("office_door", {-690, 118, z - 12}, {-620, 210, z - 10.5f}, en_Material::Painted, 0x22402F));
  s.push_back(Box("office_door", {-628, 100, z - 12}, {-620, 108, z - 6}, en_Material::Brass, 0xC09850));
  s.push_back(Box("office_door", {-700, 232, z - 14}, {-610, 262, z - 12}, en_Material::Light, 0xFFD08A));
  s.push_back(Box("office_door", {-708, 228, z - 16}, {-602, 232, z + 4}, en_Material::Wood, 0x2A2A26));
  s.push_back(Box("office", {-730, 272, z}, {-580, 300, z + 4}, en_Material::Painted, 0x1E2A3A));
  s.push_back(Box("office", {-726, 284, z + 4}, {-584, 288, z + 5}, en_Material::Brass, 0xC8A050));
}

void AddPumpHouse(std::vector<st_SceneSolid>& s) {
  s.push_back(Box("pumps", {-390, 0, -460}, {-230, 250, -235}, en_Material::Brick, 0x5E4638));
  s.push_back(Box("pumps", {-400, 250, -470}, {-220, 262, -225}, en_Material::Metal, 0x4A5250));
  s.push_back(Box("pumps", {-345, 0, -236}, {-280, 190, -233}, en_Material::Painted, 0x3A4A4A));
  s.push_back(Box("pumps", {-290, 90, -233}, {-284, 100, -229}, en_Material::Brass, 0xB08A40));
  // The pipes run out to the water, with a valve wheel by the door.
  s.push_back(Box("pumps", {-232, 20, -360}, {-212, 40, -230}, en_Material::Metal, 0x3A4A44));
  s.push_back(Box("pumps", {-212, 20, -360}, {-180, 40, -340}, en_Material::Metal, 0x3A4A44));
  s.push_back(Post("pumps", -190, -350, 11, kWater - 20, 40, en_Material::Metal, 0x3A4A44));
  s.push_back(Post("pumps", -250, -220, 12, 0, 70, en_Material::Metal, 0x3A4A44));
  s.push_back(Post("pumps", -250, -220, 20, 70, 76, en_Material::Brass, 0xA87A38));
  // A lamp over the door, so the pump house shows at night.
  s.push_back(Box("pumps", {-324, 206, -235}, {-300, 218, -226}, en_Material::Light, 0xFFE0A0));
  s.push_back(Box("pumps", {-328, 218, -236}, {-296, 222, -222}, en_Material::Metal, 0x2A2A2A));
}

void AddKiosk(std::vector<st_SceneSolid>& s) {
  const uint32_t wood = 0x2E4A56;
  AddWall(s, "kiosk", -160, 10, 18, 30, 250, {{-125, 100, -35, 170}}, en_Material::Painted, wood);
  s.push_back(Box("kiosk", {-160, 0, -60}, {10, 250, 18}, en_Material::Painted, wood));
  s.push_back(Box("kiosk", {-125, 100, 19}, {-35, 170, 20}, en_Material::Light, 0xE0A860));
  s.push_back(Box("kiosk", {-130, 96, 18}, {-30, 100, 38}, en_Material::Wood, 0x6A4428));
  s.push_back(Box("kiosk", {-176, 250, -76}, {26, 262, 46}, en_Material::Painted, 0x7A2C24));
  s.push_back(Box("kiosk", {-135, 198, 30}, {-15, 232, 32}, en_Material::Painted, 0xD8C8A0));
  s.push_back(Box("kiosk", {-160, 0, 29}, {10, 12, 32}, en_Material::Painted, 0x1E323A));
}

void AddLamp(std::vector<st_SceneSolid>& s) {
  s.push_back(Post("lamp", 140, -20, 16, 0, 40, en_Material::Metal, 0x22282A));
  s.push_back(Post("lamp", 140, -20, 6, 40, 332, en_Material::Metal, 0x22282A));
  s.push_back(Box("lamp", {124, 332, -36}, {156, 372, -4}, en_Material::Glass, 0x4A5058));
  s.push_back(Box("lamp", {120, 372, -40}, {160, 380, 0}, en_Material::Metal, 0x22282A));
  s.push_back(Post("lamp", 140, -20, 3, 380, 396, en_Material::Metal, 0x22282A));
}

void AddPier(std::vector<st_SceneSolid>& s) {
  s.push_back(Box("pier", {250, -10, -580}, {360, 0, kEdge - 6}, en_Material::Boards, 0x6A5038));
  for (float z = -570.0f; z < kEdge; z += 105.0f)
    for (const float x : {258.0f, 352.0f}) {
      s.push_back(Post("pier", x, z, 8, kWater - 200, -10, en_Material::Wood, 0x3A2A1E));
      s.push_back(Post("pier", x, z, 5, 0, 90, en_Material::Wood, 0x4A3626));
    }
  for (const float x : {255.0f, 355.0f})
    s.push_back(Box("pier", {x - 4, 84, -575}, {x + 4, 92, kEdge - 8}, en_Material::Wood, 0x4A3626));
}

void AddFerry(std::vector<st_SceneSolid>& s) {
  const float z0 = -760.0f, z1 = -420.0f, deck = 120.0f;
  s.push_back(Box("ferry", {520, kWater - 40, z0}, {1800, 40, z1}, en_Material::Painted, 0x1C2838));
  s.push_back(Box("ferry", {520, kWater, z0 - 1}, {1800, kWater + 26, z1 + 1}, en_Material::Painted, 0x7A2A22));
  s.push_back(Box("ferry", {520, 40, z0}, {1800, deck, z1}, en_Material::Painted, 0xC8C2B4));
  for (float x = 560.0f; x < 1780.0f; x += 70.0f)
    s.push_back(Post("ferry", x, z1, 10, 70, 90, en_Material::Light, 0xFFD890));
  s.push_back(Box("ferry", {520, deck, z1 - 2}, {1800, deck + 4, z1 + 2}, en_Material::Metal, 0xB0ACA0));
  s.push_back(Box("ferry", {640, deck, -700}, {1500, 250, -500}, en_Material::Painted, 0xD0CCC0));
  for (float x = 660.0f; x < 1480.0f; x += 55.0f)
    s.push_back(Box("ferry", {x, 165, -501}, {x + 34, 205, -499}, en_Material::Light, 0xFFDC98));
  s.push_back(Box("ferry", {780, 250, -660}, {1300, 330, -540}, en_Material::Painted, 0xD0CCC0));
  for (float x = 800.0f; x < 1280.0f; x += 60.0f)
    s.push_back(Box("ferry", {x, 275, -541}, {x + 40, 305, -539}, en_Material::Light, 0xF0D090));
  s.push_back(Post("ferry", 1040, -600, 42, 330, 470, en_Material::Painted, 0xB04030));
  s.push_back(Post("ferry", 1040, -600, 43, 450, 470, en_Material::Painted, 0x1A1A1A));
  s.push_back(Post("ferry", 1260, -600, 4, 330, 600, en_Material::Metal, 0x3A3A3A));
  s.push_back(Post("ferry", 1260, -600, 8, 600, 612, en_Material::Light, 0xFFF4D0));
}

void AddGangway(std::vector<st_SceneSolid>& s) {
  // A ramp from the quay's edge up to the ferry's rail, in thin slices between rope rails.
  const float x0 = 600.0f, x1 = 670.0f, z0 = kEdge - 4.0f, z1 = -420.0f, top = 124.0f;
  const int slices = 16;
  for (int i = 0; i < slices; ++i) {
    const float a = z0 + (z1 - z0) * static_cast<float>(i) / slices,
                b = z0 + (z1 - z0) * static_cast<float>(i + 1) / slices;
    const float y = 4.0f + (top - 4.0f) * (static_cast<float>(i) + 0.5f) / slices;
    s.push_back(Box("gangway", {x0, y - 5, b}, {x1, y, a}, en_Material::Boards, 0x7A6048));
    for (const float x : {x0 - 3, x1 + 3}) {
      s.push_back(Box("gangway", {x - 2, y + 70, b}, {x + 2, y + 73, a}, en_Material::Cloth, 0x9A8A6A));
      if (i % 4 == 0) s.push_back(Post("gangway", x, (a + b) / 2, 2, y - 5, y + 73, en_Material::Metal, 0xA8A49A));
    }
  }
}

void AddQuayThings(std::vector<st_SceneSolid>& s) {
  s.push_back(Post("bollard", 330, 390, 18, 0, 50, en_Material::Metal, 0x262A2C));
  s.push_back(Post("bollard", 330, 390, 23, 50, 58, en_Material::Metal, 0x262A2C));
  s.push_back(Post("mooring", 500, -212, 14, 0, 44, en_Material::Metal, 0x262A2C));
  s.push_back(Post("mooring", 500, -212, 18, 44, 50, en_Material::Metal, 0x262A2C));
  s.push_back(Box("mooring", {496, 30, -420}, {504, 34, -212}, en_Material::Cloth, 0x8A7A5A));
  // Crates and a barrel against the office's wall, by the pump house.
  s.push_back(Box("crates", {-520, 0, -258}, {-440, 70, -200}, en_Material::Wood, 0x7A5A3A));
  s.push_back(Box("crates", {-505, 70, -252}, {-450, 120, -212}, en_Material::Wood, 0x8A6A44));
  s.push_back(Post("crates", -410, -228, 26, 0, 85, en_Material::Wood, 0x5A3A24));
}

}  // namespace

st_DemoScene MakeQuayScene() {
  st_DemoScene scene;
  scene.name = "Quay";
  scene.width = 1536, scene.height = 640;
  scene.camera = {{0.0f, 230.0f, 1000.0f}, {-7.0f, 0.0f, 0.0f}, 70.0f, 32.0f};
  scene.outside = en_Outside::Transparent;
  AddGround(scene.solids);
  AddOffice(scene.solids);
  AddPumpHouse(scene.solids);
  AddKiosk(scene.solids);
  AddLamp(scene.solids);
  AddPier(scene.solids);
  AddFerry(scene.solids);
  AddGangway(scene.solids);
  AddQuayThings(scene.solids);

  scene.ambient = 0x2A3248;
  scene.lights = {
      {en_LightKind::Directional, {-0.35f, 0.42f, -0.84f}, 0x8CA0D0, 0.5f},
      {en_LightKind::Point, {-312, 200, -200}, 0xFFD090, 1.0f, 320.0f},
      {en_LightKind::Point, {-810, 150, -200}, 0xFFB060, 1.0f, 420.0f, {0.0f, -1.0f, 0.0f}, 0.0f, false},
      {en_LightKind::Point, {-655, 250, -210}, 0xFFC070, 1.0f, 380.0f, {0.0f, -1.0f, 0.0f}, 0.0f, false},
      {en_LightKind::Point, {-500, 150, -200}, 0xFFB060, 1.0f, 420.0f, {0.0f, -1.0f, 0.0f}, 0.0f, false},
      {en_LightKind::Point, {-80, 135, 70}, 0xFFC078, 1.4f, 420.0f},
      {en_LightKind::Point, {900, 180, -380}, 0xFFD090, 1.2f, 700.0f},
  };

  scene.floors = {
      {"navmesh.xml", {{-900, -165}, {900, -165}, {900, 330}, {-900, 330}}, {"kiosk", "lamp"}, 22.0f, 200.0f},
      {"pier.lwo", {{270, -560}, {340, -560}, {340, -215}, {270, -215}}, {}, 0.0f, 100.0f},
  };

  scene.locators = {
      {"Start", {-655, -150}, {-300, 100}, {}},
      {"office_door_walk", {-655, -155}, {-655, -300}, {}},
      {"pumps_walk", {-312, -155}, {-312, -260}, {}},
      {"lamp_walk", {140, 60}, {140, -20}, {}},
      {"gangway_walk", {635, -150}, {635, -300}, {}},
      {"Pell_walk", {305, -140}, {305, -300}, {}},
      {"Kiosk", {-75, 75}, {-20, 250}, {}},  // Mina's place, at her kiosk window
      {"Mina_walk", {0, 100}, {-75, 75}, {}},
      {"PierFoot", {305, -240}, {305, -600}, {}},
      {"PierEnd", {305, -520}, {305, -700}, {{272, -555}, {338, -555}, {338, -480}, {272, -480}}},
  };

  scene.hotspots = {
      {"office_door", {"office_door"}, 2.0f, {}},
      {"lamp", {"lamp"}, 6.0f, {}},
      {"gangway", {"gangway"}, 6.0f, {}},
      {"pumps", {"pumps"}, 0.0f, {}},
  };
  scene.layers = {
      {"kiosk", "StageElements", {"kiosk"}},
      {"lamppost", "StageElements", {"lamp"}},
      {"bollard", "ForegroundElements", {"bollard"}},
  };
  return scene;
}

}  // namespace demogen
