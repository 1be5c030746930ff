// Saves a realistic game state to one slot again and again until it is killed: the kill test's
// victim. Each save's display name carries its number, so the test can tell whole saves apart.
//   savegame_writer_loop <slot path>
#include <cstdio>
#include <string>

#include "../SavegameGenerator.h"
#include "quillane/savegame/SavegameImage.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: savegame_writer_loop <slot path>\n");
    return 2;
  }
  savegen::st_Plan plan;
  plan.elements = 500;
  const savegen::st_Savegame save = savegen::Generate(plan);
  quillane::st_SavegameImage image;
  if (!quillane::ParseSavegame(save.bytes.data(), static_cast<int>(save.bytes.size()), "generated", image)) return 1;
  for (unsigned n = 0;; ++n) {
    const std::string name = "save " + std::to_string(n);
    image.head.m_name.clear();
    for (char c : name) image.head.m_name += static_cast<char16_t>(c);
    if (!quillane::WriteSavegameFile(argv[1], image)) return 1;
  }
}
