// cl_MinigameManager as the session needs it before any mini-game exists: it keeps the games the
// session registers, runs none of them, and refuses every start. With the configuration switch
// "Debug/NoMinigames" = 1 a start of a registered game is recorded as won first, so that a story
// script that waits on a mini-game goes on as after a win. The real manager replaces this one.
// Main thread only.
#pragma once

#include <vector>

#include "base/String.h"

class i_Event;
namespace base {
struct ICMD;
}

namespace quillane {

class i_Minigame;

class cl_MinigameManager {
 public:
  using tFactory = i_Minigame* (*)();

  // Appends a game (no duplicate check); factory may be null.
  void Register(const char* name, const char* dataFile, tFactory factory);
  // Compiles the data files of the games that have an instance; there are none. Always true.
  bool CompileMissing();
  // Never starts a game: false, and the caller keeps completion. For a registered name with
  // "Debug/NoMinigames" = 1, the game state's "Missions/Minigames/<name>" gets "Win" = 1 first.
  bool Start(const char* name, i_Event* completion, bool force);
  void End() {}
  void Shutdown() {}
  void Update(float) {}
  void Render(float, float) {}
  bool ProcessInput(base::ICMD&) { return false; }  // the running game's input
  bool IsRunning() const { return false; }           // a game is held
  bool IsBackgroundVisible() const { return true; }  // the scene shows (always, without a game)
  int GetGameCount() const { return static_cast<int>(m_games.size()); }
  const char* GetGameName(int index) const;  // registration order; null out of range

 private:
  struct st_Entry {
    base::String m_name;
    base::String m_dataFile;
    tFactory m_factory = nullptr;
  };
  std::vector<st_Entry> m_games;
};

}  // namespace quillane
