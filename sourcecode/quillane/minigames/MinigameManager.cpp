#include "quillane/minigames/MinigameManager.h"

#include <cstddef>

#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "quillane/session/Session.h"

namespace quillane {

void cl_MinigameManager::Register(const char* name, const char* dataFile, tFactory factory) {
  st_Entry entry;
  entry.m_name = name ? name : "";
  entry.m_dataFile = dataFile ? dataFile : "";
  entry.m_factory = factory;
  m_games.push_back(std::move(entry));
}

bool cl_MinigameManager::CompileMissing() {
  // Compiling needs an instance of the game, and no game can be made yet.
  return true;
}

bool cl_MinigameManager::Start(const char* name, i_Event*, bool) {
  cl_Session* session = GetSession();
  base::Variant* state = session ? session->GetGameState() : nullptr;
  if (!name || !state) return false;
  const st_Entry* entry = nullptr;
  for (const st_Entry& game : m_games)
    if (game.m_name == name) {
      entry = &game;
      break;
    }
  if (!entry) {
    base::sys::Output("Warning: mini-game \"%s\" is not registered; not started\n", name);
    return false;
  }
  const base::Variant* debug = base::sys::GetConfig().get_element("Debug");
  int noMinigames = 0;
  if (debug && debug->get_attribute_int("NoMinigames", noMinigames) && noMinigames == 1) {
    base::String path("Missions/Minigames/");
    path += name;
    path += "/Win";
    if (base::Variant* win = base::variant_get_attribute_by_path(*state, path.c_str(), true)) win->set_int(1);
    base::sys::Output("Mini-game %s skipped (Debug/NoMinigames): recorded as won\n", name);
    return false;
  }
  base::sys::Output("Warning: mini-game \"%s\" cannot run yet; not started\n", name);
  return false;
}

const char* cl_MinigameManager::GetGameName(int index) const {
  if (index < 0 || index >= GetGameCount()) return nullptr;
  return m_games[static_cast<std::size_t>(index)].m_name.c_str();
}

}  // namespace quillane
