// cl_MinigameManager: the registry of the session's mini-games and the runner of at most one of
// them. A start fades the screen to black over the scene and back over the game; the game then
// gets the frame time and the input until it reports that it is finished, when the screen fades
// to black over the game and back over the scene, the game ends and the completion event handed
// to Start runs (the waiting script goes on). Results live only in the game state. With the
// configuration switch "Debug/NoMinigames" = 1 every start is recorded as won instead.
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "base/String.h"

class i_Event;
namespace base {
class cl_GUI;
struct ICMD;
}  // namespace base

namespace quillane {

class i_Minigame;

// One registered game; the instance is made on its first start and kept for the next ones.
struct st_MinigameEntry {
  using tFactory = i_Minigame* (*)();

  st_MinigameEntry(const char* name, const char* dataFile, tFactory factory);
  ~st_MinigameEntry();  // deletes the instance
  st_MinigameEntry(const st_MinigameEntry&) = delete;
  st_MinigameEntry& operator=(const st_MinigameEntry&) = delete;

  base::String m_Name;      // what scripts pass to "StartMinigame"
  base::String m_DataFile;  // the compiled data file; empty: none
  tFactory m_Factory;       // a new game, or null on failure; may itself be null
  i_Minigame* m_Instance = nullptr;
};

class cl_MinigameManager {
 public:
  using tFactory = st_MinigameEntry::tFactory;
  // ORDER FADESTATE: the fade states.
  enum en_FadeState : int { FadeIn = 0, FadeOut = 1, Running = 2 };

  cl_MinigameManager();
  ~cl_MinigameManager();  // Shutdown, then every entry with its instance
  cl_MinigameManager(const cl_MinigameManager&) = delete;
  cl_MinigameManager& operator=(const cl_MinigameManager&) = delete;

  // The GUI in which the games open their windows (the session's game GUI, drawn over them);
  // without one they use the system GUI.
  void SetGUI(base::cl_GUI* gui) { m_GUI = gui; }
  // Appends a game (no duplicate check); factory may be null (a start is then refused).
  void Register(const char* name, const char* dataFile, tFactory factory);
  // Builds the data file of every entry whose file is missing through a fresh instance, which is
  // deleted afterwards; a failure is logged with the game's name. Always true.
  bool CompileMissing();
  // Starts the first game registered under name, handing it its mission path and its registered
  // data file before its Init. True: the game fades in and the manager owns completion. False (the caller keeps completion): no name or session, a game is held and
  // force is false, an unknown name or a game that cannot be made, a failing Init, or
  // "Debug/NoMinigames" = 1, which first sets "Missions/Minigames/<name>/Win" = 1. With force a
  // held game is ended first.
  bool Start(const char* name, i_Event* completion, bool force);
  // Ends the held game, then runs and deletes the completion event; the instance is kept.
  void End();
  // The held game's update while it runs, then the fade; the fade-out's end calls End.
  void Update(float dt);
  // The held game's input while it runs (false during the fades and without a game).
  bool ProcessInput(base::ICMD& cmd);
  // The game while it is in view, then black at the fade's opacity over the whole window.
  void Render(float x, float y);
  // The scene is drawn: always without a game, else only while the black covers the game.
  bool IsBackgroundVisible() const;
  // Drops the completion event without running it, ends the held game and deletes every
  // instance (the entries stay registered).
  void Shutdown();

  bool IsRunning() const { return m_Game != nullptr; }  // a game is held (running or fading)
  i_Minigame* GetGame() const { return m_Game; }
  const char* GetRunningName() const;  // the held game's registered name; null without one
  int GetState() const { return m_State; }
  float GetAlpha() const { return m_Alpha; }
  float GetTarget() const { return m_Target; }
  int GetGameCount() const { return static_cast<int>(m_Registry.size()); }
  const char* GetGameName(int index) const;  // registration order; null out of range
  i_Minigame* GetInstance(int index) const;  // null out of range or before the first start

 private:
  st_MinigameEntry* Find(const char* name) const;

  i_Minigame* m_Game = nullptr;  // the instance of its entry, not owned
  base::cl_GUI* m_GUI = nullptr;  // not owned
  std::unique_ptr<i_Event> m_Completion;
  float m_Alpha = 0.0f;     // the black quad's opacity, 0..255
  float m_Target = 255.0f;  // 255 while the black rises, 0 while it falls
  int m_State = Running;
  std::vector<std::unique_ptr<st_MinigameEntry>> m_Registry;  // registration order
};

}  // namespace quillane
