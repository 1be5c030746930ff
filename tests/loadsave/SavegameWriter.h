// Writes savegame heads as the session lays them out, for the tests, the fuzz corpus and the
// benchmark: version, wide name, two thumbnails, the "SaveData" header, the preview.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace savetest {

struct st_Head {
  std::u16string name = u"Harbour at dusk";
  int thumbW = 64, thumbH = 64;
  uint32_t grey = 0xFF808080u, colour = 0xFF3060C0u;
  int previewW = 512, previewH = 320;
  uint32_t preview = 0xFF204080u;
  float gameTime = 3900.0f;
  int mission = 3, mission4Started = 0;
  int wealth = 5, maxWealth = 10, spycraft = 0, maxSpycraft = 0, skill = 7, maxSkill = 7;
};

// The head's bytes; ends records 1-6 in offsets (after the version, name, grey, colour, header,
// preview).
std::vector<uint8_t> HeadBytes(const st_Head& head, std::vector<size_t>* ends = nullptr);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace savetest
