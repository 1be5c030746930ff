// The game action queue: the sequencer through which game scripts drive the world. A native
// script function that takes time queues an st_GameAction owned by the calling script thread,
// which waits until the action finishes. The queue counts timed actions down, keeps the state of
// the running sequence (scene script, dialogue script, background threads, skip and cancel
// permissions, cutscene), skips and aborts sequences, and runs pending events once no script
// runs. One queue per session. Main thread only.
#pragma once

#include <cstdint>
#include <list>
#include <unordered_map>

#include "base/String.h"
#include "quillane/core/Event.h"

class GameThread;

namespace quillane {

// One queued action. Kinds: "speak", "sleep", "skippable_sleep", "turn", "walk",
// "play_animation", "WaitForGUI", or empty for actions ended only by their completion event.
struct st_GameAction {
  explicit st_GameAction(GameThread* owner);  // pauses owner

  void Update(float dt);  // counts timed kinds down; finishes once the time falls below 0
  void Finish();          // the kind's end step, then wakes the owner (once)
  void Cancel();          // the kind's abort step, then ends the owner thread (once)
  bool IsDone() const { return m_done; }
  void RenderSpeech();    // a "speak" action shows its line; other kinds draw nothing
  bool IsOwnerAlive() const;  // the owner is still the live thread that queued the action

  GameThread* m_owner = nullptr;  // not referenced; IsOwnerAlive guards every use
  base::String m_kind;
  float m_time = 0.0f;            // seconds left
  base::String m_object;          // as a rule the character concerned
  base::String m_text;            // the line key of a "speak" action
  int m_unused = -1;
  bool m_done = false;
  bool m_unusedFlag = true;
  bool m_background = false;      // the owner is a background thread
  uint64_t m_ownerSerial = 0;     // tells the owner from a later thread at the same address
  uint64_t m_serial;              // tells this action from a later one at the same address
};

// Reports the end of a scene-script or background thread to the queue.
struct st_ScriptStopEvent : public i_Event {
  explicit st_ScriptStopEvent(GameThread* thread = nullptr) : m_thread(thread) {}
  void Execute() override;  // the session's queue: OnScriptStopped(m_thread)
  GameThread* m_thread;
};

// Completes one action when the subsystem doing its work is done.
class cl_GameActionCompletionEvent : public i_Event {
 public:
  explicit cl_GameActionCompletionEvent(st_GameAction* action);
  // When the session's queue still holds the action and it is not done: removed, finished, deleted.
  void Execute() override;
  const st_GameAction* GetAction() const { return m_action; }  // for comparison only

 private:
  st_GameAction* m_action;  // not owned
  uint64_t m_serial;        // the action's, so that a reused address is not mistaken for it
};

class cl_GameActionQueue {
 public:
  enum en_State : int {
    STATE_IDLE = 0,
    STATE_SEQUENCE_RUNNING = 1,
    STATE_FADE_BEFORE_SKIPPING_SEQUENCE = 2,
    STATE_SKIPPING_SEQUENCE = 3,
  };
  // A skip runs the rest of a sequence as frames of this length...
  static constexpr float kSkipStep = 0.1f;
  // ...and gives up, with a warning, after an hour of game time: a script that never ends its
  // cutscene or its sequence must not hang the game inside one frame.
  static constexpr int kMaxSkipSteps = 36000;

  cl_GameActionQueue();   // empty lists, then Reset
  ~cl_GameActionQueue();  // frees the actions and the pending events
  cl_GameActionQueue(const cl_GameActionQueue&) = delete;
  cl_GameActionQueue& operator=(const cl_GameActionQueue&) = delete;

  // Queries.
  bool IsIdle() const;  // no scene script and no dialogue script
  bool IsBusy() const;  // a foreground action, a scene script or a dialogue script
  bool HasForegroundAction() const;
  st_GameAction* GetFirstForegroundAction() const;
  bool IsCurrentActionSkippable() const;
  bool CanSkip() const;
  bool CanCancel() const;
  bool HasPendingEvents() const { return !m_pendingEvents.empty(); }
  bool HoldsAction(const st_GameAction* action) const;  // the action is in the list (the address only)
  bool HoldsAction(const st_GameAction* action, uint64_t serial) const;  // ... and is still that action
  bool IsBackgroundThread(const GameThread* thread) const;
  int GetActionCount() const { return int(m_actions.size()); }
  int GetBackgroundThreadCount() const { return int(m_backgroundThreads.size()); }
  int GetLastSkipSteps() const { return m_lastSkipSteps; }  // steps the last SkipSequence ran
  static bool IsThreadAlive(const GameThread* thread);  // the thread is still a live script thread
  static const char* GetStateName(int state);  // "STATE_IDLE", ...
  // One frame of the script threads: the debugger link's received messages reach the debugger
  // first, so its commands are answered while the game runs; then the threads advance by dt.
  static void StepScriptThreads(float dt);

  // Commands.
  void Reset();
  void AllowSkipAndCancel();
  // The sequence's next step may not be cancelled (a line, an animation, a value the story
  // keeps) until a script allows it again. Called from a background thread, neither changes
  // anything: its steps belong to no sequence.
  void ForbidCancel();
  // ...nor skipped (a sleep, a picture the player clicks away).
  void ForbidSkipAndCancel();
  void SetCutscene(bool on);
  st_GameAction* Add(GameThread* owner);  // the caller sets kind, time, object and text
  void AddBackgroundThread(GameThread* thread);
  void AddPendingEvent(i_Event* event);   // takes ownership
  void RemoveAction(st_GameAction* action);  // off the list (when there), not deleted
  // Off the list (when there) and deleted; characters that still point at it let go.
  void DeleteAction(st_GameAction* action);
  void StartSkip();
  void EndSkip();
  void SkipSequence();
  void SkipCurrentAction();
  void Abort();
  void OnScriptStopped(GameThread* thread);
  void Clear();
  void Update(float dt);
  void Render();

  en_State m_state = STATE_IDLE;
  GameThread* m_sceneScript = nullptr;   // not owned
  GameThread* m_dialogScript = nullptr;  // not owned
  bool m_playerLocked = false;
  bool m_dialogLocked = false;
  bool m_cancelAllowed = false;
  bool m_skipAllowed = false;
  bool m_inCutscene = false;
  bool m_movementLocked = false;
  bool m_showDebugList = false;  // the session's debug key switches it

 private:
  void Step(float dt);      // one simulated frame of a skip
  void UpdateActions(float dt);
  void RemoveFinished();
  // A skip can end once nothing of the sequence is left to run.
  bool HasSequenceLeft() const;
  bool CalledFromBackground() const;  // the running script thread is one of the background ones
  void RunPendingEvents();

  std::list<st_GameAction*> m_actions;
  // Where each listed action stands, so that one finishing among thousands is taken off at once.
  // Keyed by address: a completion event may ask about an action that is gone.
  std::unordered_map<const st_GameAction*, std::list<st_GameAction*>::iterator> m_where;
  std::list<GameThread*> m_backgroundThreads;
  std::list<i_Event*> m_pendingEvents;
  bool m_inSkip = false;  // SkipSequence is on the stack
  int m_lastSkipSteps = 0;
};

}  // namespace quillane
