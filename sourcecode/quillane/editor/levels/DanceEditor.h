// cl_DanceMinigameEditor: the level editor of the dance game. It is the game itself with extra
// keys: Enter starts the music and records every tap of Q, A, W, S as a move on tracks 0 to 3
// until F (whatever the song does) ends the recording and opens the side panel cl_DanceMenu, whose
// "ok" names and writes the move list; after a "cancel" F opens it again, until the recording is
// saved or dropped. It also loads and plays a list (L), changes the note speed (Up, Down), picks
// the music (P) and plays three random presets (F1 to F3); a key that would replace a recording
// not yet saved asks first, and so does closing the editor. Main thread only.
#pragma once

#include "base/gui/GUI.h"
#include "quillane/minigames/dance/DanceMinigame.h"

namespace quillane {

class cl_DanceMinigameEditor : public cl_DanceMinigame {
 public:
  static constexpr float kMinSpeed = 0.1f;

  // The side panel "DanceEditor": the name, speed, needed score and length of the list to write.
  class cl_DanceMenu : public base::cl_Panel {
   public:
    explicit cl_DanceMenu(cl_DanceMinigameEditor* editor);
    void Fill(float speed, int moves, float time);  // the speed, the taps, the length; "needed" 0
    bool ProcessInput(base::ICMD& cmd) override;  // takes every command while it exists
    // "ok" saves (and closes on success), first asking before another move list is written over;
    // "cancel" closes; always true.
    bool ProcessEvent(const base::Variant& event) override;

   private:
    void Save();  // the fields' values to SaveMoveList; closes on success

    cl_DanceMinigameEditor* m_Editor;  // not owned
  };

  static i_Minigame* Create();

  // The game's start without its skip button: the editor is no game to skip, and the button
  // would stand over the counters.
  using cl_DanceMinigame::Init;
  bool Init(base::Variant* mission, bool restart) override;
  void CreateAudience(const std::list<st_DanceViewer>& viewers) override;  // the editor has none
  void StartDance() override;  // the dancer to her mark, the music from the start, then the game's
  void Update(float dt) override;
  // Over the whole window (what the editor drew before does not show beside the stage), the
  // game, then the overlay.
  void Render(float x, float y) override;
  bool HandleInput(base::ICMD& cmd) override;
  void RequestClose() override;  // over a recording not yet saved, asks first
  bool ProcessEvent(const base::Variant& event) override;                               // the file browser's answers
  bool TriggerTutorial(base::String prefix, base::String trigger, bool once) override;  // no marks

  // Writes the recording as gui/minigames/dance/<name>.xml. False (the overlay says why, the
  // panel stays open) for a refused name, a speed that is not positive, or a failed write.
  bool SaveMoveList(const char* name, float speed, int needed, float length);
  // A move list of that name exists and is not the one loaded or last saved here.
  bool WouldWriteOver(const char* name) const;
  // The text overlay's lines (counters and the last message), one per line.
  base::String GetOverlayText() const;

  // Taps recorded that no "ok" has written yet: closing or quitting asks before they are lost.
  bool HasUnsavedTaps() const { return m_Recorded && m_TotalMoves > 0; }
  bool IsMenuOpen() const { return m_MenuOpen; }
  void SetMenuOpen(bool open) { m_MenuOpen = open; }
  const base::String& GetDanceName() const { return m_DanceName; }
  const base::String& GetMessage() const { return m_Message; }
  int GetWeightMode() const { return m_WeightMode; }

 private:
  // Whether the key pressed now would replace the recording (Enter, R, L, P, a preset).
  bool ReplacesRecording(uint8_t key) const;
  void Record(int track);
  void Preset(float speed, int moves, int pattern, int needed);
  void ToggleMenu();
  void DrawSeats();

  bool m_MenuOpen = false;
  // The move list is a recording F can still save: from Enter until it is saved, dropped or
  // played (a dance started plays the list, which uses it up).
  bool m_Recorded = false;
  float m_RecordedLength = 0.0f;  // from Enter to the F that ended the recording
  uint8_t m_PendingKey = 0;  // the key that asked before dropping the recording (0: closing)
  base::String m_Message;    // the outcome of the last save or refused tap, until the next recording
};

}  // namespace quillane
