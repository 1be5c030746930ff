// cl_Session: the module that runs one game, from the main menu's "new game" or "load game" until
// the player returns to the main menu or quits. It owns everything that exists only during a game
// (the stage, the action queue, the dialogue control, the fader, the game-state tree and the three
// read-only tables) and runs them in fixed orders each frame. There is at most one session;
// GetSession reaches it from anywhere. Main thread only.
#pragma once

#include "base/app/GameFrame.h"
#include "base/data/Variant.h"
#include "base/math/Limit.h"
#include "quillane/screen/Fader.h"
#include "quillane/session/DialogCtrl.h"
#include "quillane/session/GameActionQueue.h"

namespace quillane {

class cl_Stage;
class cl_Scene;
class cl_MinigameManager;

class cl_Session : public base::i_GameSession {
 public:
  cl_Session();            // becomes the process-wide session
  ~cl_Session() override;  // clears it; then the stage and everything owned, in order

  bool StartUp() override;  // queues the three start-up tasks on the loading screen
  void Update(float time, float dt) override;
  void Render() override;
  bool NewGame() override;
  bool LoadGame(const char* path) override;
  bool SaveGame(const char* path, base::tString<base::BaseUnicodeString> name, const base::Variant* header) override;
  float GetGameTime() const override { return m_gameTime; }
  base::Variant* GetGameState() override { return &m_gameState; }
  void SetPaused(bool on) override { m_paused = on; }

  cl_Stage* GetStage() const { return m_stage; }
  cl_Scene* GetScene() const;  // the stage's scene; null without
  cl_MinigameManager* GetMinigameManager() const { return m_minigames; }
  cl_GameActionQueue& GetActionQueue() { return m_actionQueue; }
  cl_DialogCtrl& GetDialogCtrl() { return m_dialogCtrl; }
  cl_Fader& GetFader() { return m_fader; }
  const base::Variant& GetTokensTable() const { return m_tokens; }
  const base::Variant& GetCastList() const { return m_castList; }
  const base::Variant& GetHotspotTable() const { return m_hotspots; }
  bool IsPaused() const { return m_paused; }
  bool IsTransitPending() const { return m_transitPending; }
  void SetTransitPending(bool on) { m_transitPending = on; }
  // Stores "mainmenu" or "quit"; it takes effect once the fader has covered the screen.
  void SetRequest(const char* request);
  base::tRectf GetViewportRect() const;

  // Null-safe queries for the script layer: false without a session.
  static bool IsSkippingSequence();
  static bool IsSceneJustLoaded();

  // Replaces the stage and loads the named scene behind the loading screen.
  void LoadScene(base::String name);
  // Runs function of "Scenes/<scene>.lua" at once; its result (void when it waits).
  base::Variant RunSceneScript(const base::String& scene, const base::String& function, const base::Variant& args);
  // As RunSceneScript, as the action queue's scene-script sequence.
  void CallSceneScript(const base::String& scene, const base::String& function, const base::Variant& args);
  // As RunSceneScript, as a background thread of the action queue.
  void CallSceneFunctionInBackground(const base::String& scene, const base::String& function,
                                     const base::Variant& args);

 private:
  cl_Stage* m_stage = nullptr;
  cl_DialogCtrl m_dialogCtrl;
  cl_MinigameManager* m_minigames = nullptr;
  cl_Fader m_fader;
  base::String m_request;
  cl_GameActionQueue m_actionQueue;
  float m_gameTime = 0.0f;
  bool m_sceneJustLoaded = false;
  int m_blackFrames = 0;
  bool m_transitPending = false;
  bool m_paused = false;
  base::Variant m_gameState;
  base::Variant m_tokens;
  base::Variant m_castList;
  base::Variant m_hotspots;
};

cl_Session* GetSession();  // the running session; null without a game

// True when "Scenes/<scene>.lua" has the function.
bool SceneScriptHasFunction(const base::String& scene, const base::String& function);
// The int attribute name of the game state's "Missions"; -1 when missing or without a session.
int GetMissionState(const char* name);

}  // namespace quillane
