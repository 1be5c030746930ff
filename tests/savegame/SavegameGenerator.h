// Test savegames built byte by byte from the file layout (not through the game's writer, so
// the two check each other): a realistic valid save, its section ends, and the damaged variants
// every loader must refuse. Used by the tests, the benchmark and the fuzz seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace base {
class Variant;
}

namespace savegen {

struct st_Character {
  std::string name, actor;
  float orientation[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  float position[3] = {0.0f, 0.0f, 0.0f};
};

struct st_Plan {
  std::u16string name = u"Office, before the ferry";
  uint32_t version = 1;
  int thumbSide = 64;                  // 0 for a save made before any picture was taken
  int pictureW = 512, pictureH = 320;  // 0 x 0 likewise
  int elements = 40;                   // "Missions" values in the game state
  std::string scene = "Office";
  std::vector<st_Character> characters = {{"Quillane", "quillane", {0, 0, 0, 1}, {-120.0f, 0.0f, 40.0f}},
                                          {"Odo", "odo", {0, 0.5f, 0, 0.8660254f}, {35.5f, 0.0f, -12.25f}}};
  std::string player = "Quillane";
};

// The game-state tree the plan describes: "Missions" with elements values and a GameTime,
// "Inventory", "Scenes/<scene>/Hotspots".
void MakeGameState(const st_Plan& plan, base::Variant& out);

struct st_Savegame {
  std::vector<uint8_t> bytes;
  // Where each section ends: version, name, grey, colour, header, picture, game state, scene
  // name, stage block.
  std::vector<size_t> ends;
};
st_Savegame Generate(const st_Plan& plan = st_Plan());

struct st_Damaged {
  std::string what;
  std::vector<uint8_t> bytes;
};
// Cut at every section end and one byte either side of it; the empty file; a bad version;
// oversized picture and name sizes; a huge character count; trailing bytes.
std::vector<st_Damaged> DamagedCases(const st_Savegame& valid);

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);

}  // namespace savegen
