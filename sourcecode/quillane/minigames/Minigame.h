// i_Minigame: the panel every mini-game and level editor derives from. It is never placed in a
// window tree: the mini-game manager holds one instance per game, calls these operations directly
// and draws the game over its black fade. The base supplies what all games share: the screen
// scale, the game's path in the game state, the result, the skip button with its delay and
// tooltip, the skip strip inside the game's compiled data file, level XML from the archive
// "MinigameData", and the tutorial boxes with their spoken text. Main thread only.
#pragma once

#include <list>
#include <memory>

#include "base/String.h"
#include "base/gui/GUI.h"

namespace base {
class File;
class Variant;
struct ICMD;
}  // namespace base
namespace gfx {
class cl_TextureStrip;
}

namespace quillane {

// One tutorial box: shown once its trigger armed it, faded in, held while its speech plays (at
// least its display time), faded out, then dropped from the game's list.
struct st_Tutorial {
  // text: key and default text ("#decod0_03 Success! ..."), also the speech key. anchor: which
  // point of the box lies on (x, y): 0 top-left, 1 bottom-left, 2 top-right, 3 bottom-right,
  // 4 centre.
  st_Tutorial(const char* text, float x, float y, int width, int anchor, const char* trigger, float displayTime);

  base::String m_Text;
  float m_X = 0.0f;
  float m_Y = 0.0f;
  int m_Anchor = 0;
  float m_Alpha = 0.0f;       // 0..255
  float m_FadeTimer = -1.0f;  // -1 not started; then 1 down to 0 during the fade-in
  float m_Remaining = 0.0f;   // display time left, seconds
  int m_Width = 0;            // text column, pixels
  base::String m_Trigger;     // "Start", "Win", "Loose", ...
  bool m_Armed = false;
  bool m_SpeechStarted = false;
};

class i_Minigame : public base::cl_Panel {
 public:
  i_Minigame();
  ~i_Minigame() override;

  // ---- the game's own operations
  using base::cl_Panel::Init;  // the window's own Init (from a layout) stays reachable
  // One start: mission is the game-state element at m_MissionPath (null from the editor's
  // launchers: the game then uses its defaults); restart keeps the art already read. Reads the
  // data file and level, resets the play and calls ResetPanicTimer. False: the game does not start.
  virtual bool Init(base::Variant* mission, bool restart) = 0;
  virtual void End() = 0;  // after the fade-out, on a forced restart and at shutdown
  virtual bool IsFinished();  // the base: the skip button was used
  virtual bool HandleInput(base::ICMD& cmd) = 0;  // true when the command was used
  // Closes the game's window, as the editor menu's button of an open game does; a level editor
  // holding work not yet saved asks first and closes only on Yes.
  virtual void RequestClose() { Close(); }
  virtual bool Compile(const char* dataFile) = 0;  // builds the compiled data file from the source art
  // Arms every tutorial of trigger, in list order. With once, the game-state key
  // "<prefix>/TutorialTrigger<trigger>" is set to 1 and an earlier 1 arms nothing. False without
  // a session or when the once key was already set; true otherwise, even when no record matched.
  virtual bool TriggerTutorial(base::String prefix, base::String trigger, bool once);
  // The window point a scripted player clicks for a named thing of the game ("tutorial": the
  // middle of a tutorial box that a click would close; each game adds its own names). False when
  // the game shows no such thing now, or shows it outside the window.
  virtual bool GetPlayTarget(const char* name, float& x, float& y);
  // Whether the game is in the named state ("idle": no tutorial box fading in or out; games add
  // what moves by themselves). False for an unknown name.
  virtual bool IsPlayCondition(const char* name);

  // The skip button's countdown; games call it from their own Update. The window tree's own
  // update is not run: a game with child windows updates them itself.
  void Update(float dt) override;
  // Games draw themselves; input goes straight to HandleInput.
  void Render(float x, float y) override = 0;
  bool ProcessInput(base::ICMD& cmd) override { return HandleInput(cmd); }
  // The GUI that shows the game's windows (its questions): the one the manager handed over, else
  // the window's own (the system GUI for a game opened outside a session).
  base::cl_GUI* GetGUI() override { return m_GUI ? m_GUI : base::cl_Panel::GetGUI(); }
  void SetGUI(base::cl_GUI* gui) { m_GUI = gui; }

  // ---- shared services
  void SetMissionPath(const char* path) { m_MissionPath = path ? path : ""; }
  const base::String& GetMissionPath() const { return m_MissionPath; }
  // The compiled data file the game was registered with, which its Init reads (set before Init by
  // whoever starts the game); empty: none, and the game plays as without its file.
  void SetDataFile(const char* path) { m_DataFile = path ? path : ""; }
  const base::String& GetDataFile() const { return m_DataFile; }
  // Hides the skip button again and shows it after delay seconds (0.1 s with the option
  // "Game/MinigamesPanicButton/Value" = 1); clears the skip flag.
  void ResetPanicTimer(float delay);
  // The game state's "<mission path>/Win" := 1 or 0; nothing without a session.
  void SetResult(bool won);
  // The mission state "Skill" raised by bonus (capped by "MaxSkill"); nothing for a game without a
  // mission path (opened from the editor's menu), whose play is no part of a waiting session.
  void RaiseSkill(int bonus);
  // Parses the member of the archive "MinigameData" as XML into out; false (out untouched) when
  // the name is null or the member cannot be read.
  bool ReadMinigameData(base::Variant& out, const char* member);

  // The skip strip's record, the last of every compiled data file.
  bool ReadPanicStrip(base::File& file);
  bool WritePanicStrip(base::File& file);
  // A new strip from the frames path + "/" + <last part of path> + "_N.tga" (mode 3, 0.1 s a
  // frame); false for a path without "/".
  bool CompilePanicStrip(const char* path);
  // The skip button drawn from (x, y) at scale, with its tooltip while the mouse is over it.
  // The place is remembered for GetSkipButtonCentre.
  void DrawSkipButton(float x, float y, float scale);
  // A left-button release on the visible button: the game counts as won and finished; true when
  // the command was used.
  bool HitSkipButton(const base::ICMD& cmd, float x, float y, float scale);
  bool IsSkipVisible() const { return m_SkipVisible; }
  float GetPanicDelay() const { return m_PanicDelay; }
  const gfx::cl_TextureStrip* GetPanicStrip() const { return m_PanicStrip.get(); }
  // The window point in the middle of the skip button where it was last drawn; false while it
  // is hidden, has no frames or has not been drawn since the game started.
  virtual bool GetSkipButtonCentre(float& x, float& y) const;

  // The active tutorial (the first armed record): games call these from Render, HandleInput and
  // Update. UpdateTutorial is true while a tutorial shows; the game then stops its play clock.
  // HandleTutorialInput takes every command while a box shows, and a click on a box whole: the
  // release of a press a box took, and the presses of a short while after the last box went (a
  // click aimed at a box that a slow frame took away), never reach the game.
  void DrawTutorial();
  bool HandleTutorialInput(const base::ICMD& cmd);
  bool UpdateTutorial(float dt);
  const st_Tutorial* GetActiveTutorial() const;  // the first armed record; null when none
  int GetTutorialCount() const { return static_cast<int>(m_Tutorials.size()); }

  float m_Scale = 0.0f;  // window width / 1024, set by the manager before Init

 protected:
  // Whether a play target's point lies in the window (a target off the screen is none).
  static bool IsOnWindow(float x, float y);

  base::String m_MissionPath;  // "Missions/Minigames/<name>"
  base::String m_DataFile;     // the registered data file; empty: none
  std::unique_ptr<gfx::cl_TextureStrip> m_PanicStrip;
  bool m_Finished = false;    // skipped with the skip button
  bool m_SkipVisible = false;
  float m_PanicDelay = 0.0f;  // seconds until the skip button shows
  std::list<st_Tutorial> m_Tutorials;  // filled by the game's constructor; shown records leave

 private:
  st_Tutorial* FindActiveTutorial();
  // Where the tutorial's box stands (text column w by h inside a margin), in its font.
  static void TutorialBox(const st_Tutorial& tutorial, const char16_t* text, float& x, float& y, float& w, float& h);
  base::cl_GUI* m_GUI = nullptr;  // not owned
  bool m_BoxTookPress = false;     // a box took a press: it takes its release too
  float m_AfterBox = 0.0f;         // seconds left in which the last box's clicks are still its own
  // Where DrawSkipButton last drew the button (the play driver clicks it there).
  float m_SkipX = 0.0f, m_SkipY = 0.0f, m_SkipScale = 0.0f;
  bool m_SkipPlaced = false;
};

}  // namespace quillane
