#include "quillane/minigames/MinigameRegistry.h"

#include <cstring>

#include "quillane/minigames/MinigameManager.h"
#include "quillane/minigames/bookshelf/BookShelf.h"
#include "quillane/minigames/dance/DanceMinigame.h"
#include "quillane/minigames/decoder/Decoder.h"
#include "quillane/minigames/floorlights/FloorLights.h"
#include "quillane/minigames/sabotage/Sabotage.h"
#include "quillane/minigames/traintravel/TrainTravel.h"
#include "quillane/minigames/wiretap/WireTap.h"

namespace quillane {

namespace {

struct st_Game {
  const char* m_name;
  const char* m_dataFile;
  cl_MinigameManager::tFactory m_factory;  // makes the game's panel
};

// ORDER: the registration order is the order CompileMissing builds data files in.
constexpr st_Game kGames[] = {
    {"TrainTravel", "gui/minigames/traintravel.dat", cl_TrainTravelPanel::Create},
    {"Wiretap", "gui/minigames/wiretap.dat", cl_WiretapPanel::Create},
    {"Decoder", "gui/minigames/decoder.dat", cl_DecoderPanel::Create},
    {"Bookshelf", "gui/minigames/bookshelf.dat", cl_BookshelfPanel::Create},
    {"Dance", "gui/minigames/dance.dat", cl_DanceMinigame::Create},
    {"Sabotage", "gui/minigames/sabotage.dat", cl_Sabotage::Create},
    {"FloorLights", "gui/minigames/FloorLights.dat", cl_FloorLightsPanel::Create},
};

}  // namespace

void RegisterGames(cl_MinigameManager& manager) {
  for (const st_Game& game : kGames) manager.Register(game.m_name, game.m_dataFile, game.m_factory);
}

const char* GameDataFile(const char* name) {
  for (const st_Game& game : kGames)
    if (name && std::strcmp(game.m_name, name) == 0) return game.m_dataFile;
  return nullptr;
}

}  // namespace quillane
