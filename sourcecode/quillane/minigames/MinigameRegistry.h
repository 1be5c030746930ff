// The session's mini-games: their names (what scripts pass to "StartMinigame" and what names
// their results under "Missions/Minigames/"), data files and factories, in registration order.
#pragma once

namespace quillane {

class cl_MinigameManager;

void RegisterGames(cl_MinigameManager& manager);

}  // namespace quillane
