// cl_Session: the module that runs one game, from the main menu's "new game" or "load game" until
// the player returns to the main menu or quits. It owns everything that exists only during a game
// (the stage, the action queue, the dialogue control, the fader, the mini-game manager, the in-game
// GUI, the game-state tree and the three read-only tables) and runs them in fixed orders each
// frame. There is at most one session; GetSession reaches it from anywhere. Main thread only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/Imaging.h"
#include "base/app/GameFrame.h"
#include "base/data/Variant.h"
#include "base/math/Limit.h"
#include "base/math/Vector.h"
#include "quillane/gui/MenuSession.h"
#include "quillane/screen/Fader.h"
#include "quillane/session/DialogCtrl.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/SpeechLayout.h"

namespace base {
class i_Task;
}
namespace gfx {
class cl_Texture;
}

class cl_Diary;
class cl_GameGUI;
class cl_InterfaceBar;
class cl_OverlayMgr;
class cl_TokenBar;

namespace quillane {

class cl_Stage;
class cl_Scene;
class cl_MinigameManager;
class cl_TokenBarState;

class cl_Session : public base::i_GameSession, public i_MenuSession {
 public:
  // Frame times above this are logged; the world never advances more than kMaxStep per frame.
  static constexpr float kLongFrame = 0.5f;
  static constexpr float kMaxStep = 0.1f;

  cl_Session();            // becomes the process-wide session; installs the world's services
  ~cl_Session() override;  // clears both; then the stage and everything owned, in order

  // Shows the loading screen towards "Session" with the three start-up tasks (the tables, the
  // mini-games, scripting) at progress 0 .. 0.5. Always true.
  bool StartUp() override;
  // Frame-time limits, script threads, video, then (unless paused) the mini-game or the world,
  // then the GUI, the fader and a pending request to leave.
  void Update(float time, float dt) override;
  // Scene and characters, spoken lines, mini-game, GUI, fader, debug text, black frame, banner.
  void Render() override;
  // The game state from "scripts/initialgamestate.xml", "Startup" of "campaign.lua", and a
  // fade in from black over one second. True.
  bool NewGame() override;
  bool LoadGame(const char* path) override;
  bool SaveGame(const char* path, base::tString<base::BaseUnicodeString> name, const base::Variant* header) override;
  // Every input command while the session is the frame's state, handed on in a fixed order
  // (pause, video, mini-game, diary, skipping, developer keys, GUI, bars, menu keys, walking).
  bool ProcessInput(base::ICMD& cmd) override;
  float GetGameTime() const override { return m_gameTime; }
  base::Variant* GetGameState() override { return &m_gameState; }
  void SetPaused(bool on) override { m_paused = on; }

  // What the in-game menu asks of the session.
  void SetPendingRequest(const char* request) override { SetRequest(request); }
  cl_Fader& GetFader() override { return m_fader; }

  // The start-up tasks, in the order StartUp queues them; each always true.
  bool LoadTables();         // the tokens table, cast list and hotspot table
  bool RegisterMinigames();  // the seven games, then their missing data files compiled
  bool InitScripting();      // callbacks, debugger, the script functions, then "MainInclude.lua"

  cl_Stage* GetStage() const { return m_stage; }
  cl_Scene* GetScene() const;  // the stage's scene; null without
  cl_MinigameManager* GetMinigameManager() const { return m_minigames.get(); }
  cl_GameGUI* GetGameGUI() const { return m_gameGUI.get(); }
  cl_InterfaceBar* GetInterfaceBar() const { return m_interfaceBar.get(); }
  cl_TokenBar* GetTokenBar() const;  // the interface bar's; null without
  cl_TokenBarState* GetTokenBarState() const { return m_tokenBarState.get(); }
  cl_OverlayMgr* GetOverlayMgr() const { return m_overlays.get(); }
  cl_Diary* GetDiary() const { return m_diary.get(); }
  cl_GameActionQueue& GetActionQueue() { return m_actionQueue; }
  cl_DialogCtrl& GetDialogCtrl() { return m_dialogCtrl; }
  const base::Variant& GetTokensTable() const { return m_tokens; }
  const base::Variant& GetCastList() const { return m_castList; }
  const base::Variant& GetHotspotTable() const { return m_hotspots; }
  bool IsPaused() const { return m_paused; }
  bool IsTransitPending() const { return m_transitPending; }
  void SetTransitPending(bool on) { m_transitPending = on; }
  // Stores "mainmenu" or "quit"; it takes effect once the fader has covered the screen.
  void SetRequest(const char* request);
  const base::String& GetRequest() const { return m_request; }
  base::tRectf GetViewportRect() const;  // the game viewport
  bool IsMenuOpen() const;               // an in-game panel is shown
  // The world advances by exactly seconds in the next unpaused frame (a debug key's single step).
  void SetForcedStep(float seconds) { m_forcedStep = seconds; }
  float GetForcedStep() const { return m_forcedStep; }
  int GetBlackFrameCount() const { return m_blackFrames; }
  int GetSceneLoadCount() const { return m_sceneLoads; }  // LoadScene calls so far
  // The cursor says to wait (barred) while an overlay holds the player, a cutscene runs, a line is
  // spoken or a token is dragged.
  bool IsBusyForCursor() const;
  // The token bar into the mode the dialogue's state asks for (scene loads, dialogue start and stop).
  void SyncTokenBarMode();
  // The interface bar's buttons: the in-game menu, or the load/save panel (closed when it shows);
  // either pauses the game, sends a carried token home and puts the bar away.
  void OpenIngameMenu();
  void OpenLoadSavePanel();
  void OpenDiary();
  // The mouse cursor and the tooltip of this frame; called from Render.
  void UpdateCursor();
  // The player may act: no dialogue, diary, busy overlay, cutscene or uncancellable sequence.
  bool IsInteractionAllowed() const;
  bool IsDiaryVisible() const;  // false only when a diary exists and is hidden
  // The game picture for the menu and savegame thumbnails, taken from the last rendered frame and
  // taken again from the next frame's scene before its captions, bubbles and bar are drawn on it.
  void CaptureScreenshot();
  // Writes the next free "quillane_NNN" picture into the user folder; false when it failed.
  bool SaveScreenshot();
  // The last step of a load, run by the loading screen after the scene-load task: the side file,
  // the characters bound to the scene, token bar, diary, game time, "PrepareCharacter" and
  // "OnAlphaHack".
  void RestoreLoadedGame(const char* path);
  const base::cl_Bitmap32& GetGamePicture() const { return m_gamePicture; }
  // The bubble of a "speak" action, drawn by the action queue's render pass.
  void ShowSpeech(st_GameAction* action);
  // That bubble as this frame draws it, measured in the font "game" (made current); false when
  // none is drawn (bubbles off, an empty line).
  bool LayOutSpeech(const st_GameAction* action, cl_SpeechLayout::st_Bubble& bubble);
  // The pinned place of SetCustomTextBubblePos: false while it is off (all three 0).
  bool GetCustomBubblePos(float& x, float& y, float& align) const;
  static void SetPanelFlag(base::cl_Window* window, bool enabled);  // enabled clears WF_DISABLED
  float GetHoverTime() const { return m_hoverTime; }
  void ResetHoverTime() { m_hoverTime = 0.0f; }
  // Where scripts pin spoken lines: x, y in 1024 x 640 reference units of the viewport and the
  // side (-1 left, 0 centred, +1 right); all 0 (the start of every session) leaves the lines at
  // their speakers.
  void SetCustomTextBubblePos(const base::tVector3<float>& pos) { m_customBubblePos = pos; }
  const base::tVector3<float>& GetCustomTextBubblePos() const { return m_customBubblePos; }
  // What the last left press found: an object's name, "walk" for the floor, "" for nothing.
  const base::String& GetPickName() const { return m_pickName; }
  const base::String& GetHoveredName() const { return m_hoveredName; }
  const base::String& GetCursorName() const { return m_cursorName; }  // the label UpdateCursor chose last
  float GetScreenshotBanner() const { return m_screenshotBanner; }  // seconds the banner still shows
  // The configuration's "Debug" element copied into the game state's "Debug".
  void CopyDebugConfig();

  // Null-safe queries for the script layer: false without a session.
  static bool IsSkippingSequence();
  static bool IsSceneJustLoaded();

  // Replaces the stage and loads the named scene behind the loading screen.
  void LoadScene(base::String name);
  // Runs function of "Scenes/<scene>.lua" at once; its result (void when it waits).
  base::Variant RunSceneScript(const base::String& scene, const base::String& function, const base::Variant& args);
  // As RunSceneScript, as the action queue's scene-script sequence.
  void CallSceneScript(const base::String& scene, const base::String& function, const base::Variant& args);
  // As RunSceneScript, as a background thread of the action queue. A savegame keeps the call
  // while its thread runs, and a load starts it again.
  void CallSceneFunctionInBackground(const base::String& scene, const base::String& function,
                                     const base::Variant& args);

  // Process-wide switches of the debug keys: every frame time the session hands on is multiplied
  // by the time factor (1.0 at start); in step mode the world moves only while left Alt is held;
  // the FPS display draws the frame rate and the triangle counts.
  static float s_timeFactor;
  static bool s_stepMode;
  static bool s_showFps;

 private:
  // The game picture from the scene drawn so far this frame (CaptureScreenshot asked for it).
  void RetakeGamePicture();
  void UpdateWorld(float time, float dt);  // the unpaused part of Update
  bool LeaveOnRequest();                   // true when the session ended or the program quits
  void DrawBanner();
  void ScrollAtEdges(float dt);  // the developer's edge scrolling
  void DropStage();
  void CreateInterface();  // the interface bar, the token-bar state and the overlay manager
  void StartInterface();   // the bar shows the new game's tokens in the stored order
  void PrepareForPanel();
  // The steps of ProcessInput; each true when it consumed the command.
  bool ProcessDeveloperKey(const base::ICMD& cmd);
  bool ProcessScreenshotAndPauseKeys(const base::ICMD& cmd);
  void ProcessLodKeys(const base::ICMD& cmd);
  void PickUnderMouse(const base::ICMD& cmd);
  bool ProcessBusyQueue(const base::ICMD& cmd, bool& aborted);
  bool ProcessMenuKeys(const base::ICMD& cmd);
  void ProcessWorldClick(const base::ICMD& cmd, bool aborted);
  // The mouse cursor by its label: the game state's "Cursor" file when it names one, else the
  // texture resource of that label.
  void SetCursorImage(const char* label, bool fromTable);
  void ReleaseCursorImages();
  // The game state's "BackgroundScripts": the background calls whose threads still run (a save
  // writes it into its copy); after a load, those of the loaded scene are started again and the
  // element leaves the running game's state.
  void WriteBackgroundScripts(base::Variant& gameState);
  void RestartBackgroundScripts();

  // A background call as it was made, with its thread (which may have ended since).
  struct st_BackgroundCall {
    base::String scene, function;
    base::Variant args;
    const GameThread* thread = nullptr;  // compared and asked after only, never touched
    uint64_t serial = 0;
  };

  cl_Stage* m_stage = nullptr;
  std::vector<cl_Stage*> m_retiredStages;  // replaced while inside their own Update
  std::unique_ptr<cl_GameGUI> m_gameGUI;
  std::unique_ptr<cl_InterfaceBar> m_interfaceBar;  // its parent is the GUI, which does not list it
  std::unique_ptr<cl_TokenBarState> m_tokenBarState;
  std::unique_ptr<cl_OverlayMgr> m_overlays;
  cl_DialogCtrl m_dialogCtrl;
  std::unique_ptr<cl_MinigameManager> m_minigames;
  std::unique_ptr<cl_Diary> m_diary;
  cl_Fader m_fader;
  base::String m_request;
  cl_GameActionQueue m_actionQueue;
  std::vector<st_BackgroundCall> m_backgroundCalls;
  float m_gameTime = 0.0f;
  bool m_sceneJustLoaded = false;
  bool m_updatingStage = false;
  int m_blackFrames = 0;
  int m_sceneLoads = 0;
  float m_screenshotBanner = 0.0f;
  float m_forcedStep = 0.0f;
  bool m_transitPending = false;
  bool m_paused = false;
  float m_hoverTime = 0.0f;
  base::tVector3<float> m_customBubblePos;
  base::String m_hoveredName;
  base::String m_cursorName;
  base::String m_pickName;
  base::String m_lastPickName;
  base::tVector3<float> m_floorPoint;
  std::map<std::string, std::unique_ptr<gfx::cl_Texture>> m_cursorImages;  // by file name
  base::Variant m_gameState;
  base::cl_Bitmap32 m_gamePicture;  // 512 x 320 once the in-game menu has opened; empty before
  bool m_retakePicture = false;     // the next drawn scene becomes the game picture
  base::Variant m_tokens;
  base::Variant m_castList;
  base::Variant m_hotspots;
};

cl_Session* GetSession();  // the running session; null without a game
bool IsTokenHeld();        // a token picked up from the token bar follows the mouse

// True when "Scenes/<scene>.lua" has the function (the script is loaded on demand).
bool SceneScriptHasFunction(const base::String& scene, const base::String& function);

// A loading task that calls function (scene, functionName) when it runs; the result is dropped.
using tSceneScriptFunction = base::Variant (*)(const base::String& scene, const base::String& function);
base::i_Task* MakeSceneScriptTask(tSceneScriptFunction function, const char* scene, const char* functionName);

// The window is wider than 4:3.
bool IsWideScreen();
// The script language's output: to the log while Debug_ScriptWarningLevel is 1 or more.
void ScriptOutputCallback(const char* text);
// The script language's sleep: the calling thread sleeps.
void ScriptSleepCallback(int milliseconds);

}  // namespace quillane
