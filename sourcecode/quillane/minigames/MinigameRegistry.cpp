#include "quillane/minigames/MinigameRegistry.h"

#include "quillane/minigames/MinigameManager.h"
#include "quillane/minigames/TrainTravel.h"

namespace quillane {

namespace {

struct st_Game {
  const char* m_name;
  const char* m_dataFile;
  cl_MinigameManager::tFactory m_factory;  // null: the game is not built, a start is refused
};

// ORDER: the registration order is the order CompileMissing builds data files in.
constexpr st_Game kGames[] = {
    {"TrainTravel", "gui/minigames/traintravel.dat", cl_TrainTravelPanel::Create},
    {"Wiretap", "gui/minigames/wiretap.dat", nullptr},
    {"Decoder", "gui/minigames/decoder.dat", nullptr},
    {"Bookshelf", "gui/minigames/bookshelf.dat", nullptr},
    {"Dance", "gui/minigames/dance.dat", nullptr},
    {"Sabotage", "gui/minigames/sabotage.dat", nullptr},
    {"FloorLights", "gui/minigames/FloorLights.dat", nullptr},
};

}  // namespace

void RegisterGames(cl_MinigameManager& manager) {
  for (const st_Game& game : kGames) manager.Register(game.m_name, game.m_dataFile, game.m_factory);
}

}  // namespace quillane
