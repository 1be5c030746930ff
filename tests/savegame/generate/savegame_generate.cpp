// Writes the generated test savegames into a folder: the fuzz seeds, and files to try the game's
// loading on by hand.
//   savegame_generate <folder> [--damaged]
#include <cstdio>
#include <string>

#include "../SavegameGenerator.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: savegame_generate <folder> [--damaged]\n");
    return 2;
  }
  const std::string folder = argv[1];
  savegen::st_Plan small;
  small.pictureW = small.pictureH = 0;
  savegen::st_Plan bare = small;
  bare.thumbSide = 0;
  bare.name.clear();
  bare.characters.resize(1);
  savegen::st_Plan nobody = bare;
  nobody.characters.clear();
  nobody.player.clear();
  savegen::WriteFile(folder + "/thumbnails_only.sav", savegen::Generate(small).bytes);
  savegen::WriteFile(folder + "/no_pictures.sav", savegen::Generate(bare).bytes);
  savegen::WriteFile(folder + "/nobody_on_stage.sav", savegen::Generate(nobody).bytes);
  if (argc > 2 && std::string(argv[2]) == "--damaged") {
    int n = 0;
    for (const savegen::st_Damaged& damaged : savegen::DamagedCases(savegen::Generate(bare)))
      savegen::WriteFile(folder + "/damaged_" + std::to_string(n++) + ".sav", damaged.bytes);
  }
  return 0;
}
