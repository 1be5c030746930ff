// The mini-games: their names (what scripts pass to "StartMinigame" and what names their results
// under "Missions/Minigames/"), data files and factories, in registration order. The one list of
// them: the session registers them all, the editor's launchers look up their data files.
#pragma once

namespace quillane {

class cl_MinigameManager;

void RegisterGames(cl_MinigameManager& manager);
// The compiled data file of the game registered as name; null when no game has that name.
const char* GameDataFile(const char* name);

}  // namespace quillane
