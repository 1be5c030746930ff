// The game action queue: actions, their two events, and the sequencer's skip, abort and clear.
#include "quillane/session/GameActionQueue.h"

#include <cstdio>

#include "KRX/ScriptSystem.h"
#include "KRX/runtime/ThreadList.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "libkrx/AID/AIDNetwork.h"
#include "quillane/character/Character.h"
#include "quillane/hud/OverlayMgr.h"
#include "quillane/script/GameThread.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"
#include "sound/Sfx.h"

namespace quillane {
namespace {

uint64_t g_nextActionSerial = 0;

cl_Character* FindCharacter(const base::String& name) {
  cl_Session* session = GetSession();
  cl_Stage* stage = session ? session->GetStage() : nullptr;
  return stage ? stage->GetCharacter(name.c_str()) : nullptr;
}

// Back to clear at once: the end of every skip.
void ResetFader() {
  if (cl_Session* session = GetSession()) session->GetFader().Start(false, 0.0f, "", 0);
}

// Without a session there is no fader to wait for, so a skip need not wait either.
bool FaderCovered() {
  cl_Session* session = GetSession();
  return !session || session->GetFader().m_state == cl_Fader::STATE_COVERED;
}

// Pending events wait while the loading screen (or any other state) runs in the session's place.
// A session driven without a game frame (tools, tests) counts as shown.
bool SessionIsShown(const cl_Session* session) {
  const base::i_GameFrame* frame = base::GetFrameInterface();
  return !frame || frame->GetState() == static_cast<const base::cl_Module*>(session);
}

}  // namespace

// ---- st_GameAction

st_GameAction::st_GameAction(GameThread* owner) : m_owner(owner), m_serial(++g_nextActionSerial) {
  if (owner) {
    m_ownerSerial = owner->GetSerial();
    owner->Pause();
  }
}

bool st_GameAction::IsOwnerAlive() const { return GameThread::IsLive(m_owner, m_ownerSerial); }

void st_GameAction::Update(float dt) {
  if (m_done) return;
  if (m_kind != "speak" && m_kind != "sleep" && m_kind != "skippable_sleep" && m_kind != "turn") return;
  m_time -= dt;
  // Strictly below: a time of exactly 0 waits one more frame.
  if (m_time < 0.0f) Finish();
}

void st_GameAction::Finish() {
  if (m_done) return;
  if (m_kind == "speak") {
    if (cl_Character* character = FindCharacter(m_object)) character->StopSpeaking(this);
    sfx::StopSound("speech", 1.0f);
  } else if (m_kind == "skippable_sleep") {
    // The picture goes with its wait, also when clicked away before its time.
    cl_Session* session = GetSession();
    if (cl_OverlayMgr* overlays = session ? session->GetOverlayMgr() : nullptr) overlays->RemoveOverlay("image");
  } else if (m_kind == "turn") {
    if (cl_Character* character = FindCharacter(m_object)) character->yaw = character->targetYaw;
  }
  m_done = true;
  GameThread* owner = m_owner;
  const bool alive = IsOwnerAlive();
  m_owner = nullptr;
  // Waiting 0 s: the owner goes on at the thread list's next update, not inside this call.
  if (alive) owner->Sleep(0.0f);
}

void st_GameAction::Cancel() {
  if (!m_done) {
    if (m_kind == "speak") {
      if (cl_Character* character = FindCharacter(m_object)) {
        character->StopSpeaking(this);
        base::sys::Output("end speak\n");
      }
    } else if (m_kind == "walk") {
      if (cl_Character* character = FindCharacter(m_object)) {
        // Only this walk's own completion event goes: another one still has a waiter behind it.
        auto* event = dynamic_cast<cl_GameActionCompletionEvent*>(character->onDone);
        if (event && event->GetAction() == this) {
          delete character->onDone;
          character->onDone = nullptr;
        }
        character->Stop();
      }
    }
  }
  GameThread* owner = m_owner;
  const bool alive = IsOwnerAlive();
  m_owner = nullptr;
  m_done = true;
  // Marked done first: the owner's end events may look at the queue.
  if (alive) GameThread::Release(owner, nullptr);
}

void st_GameAction::RenderSpeech() {
  if (m_kind != "speak") return;
  if (cl_Session* session = GetSession()) session->ShowSpeech(this);
}

// ---- events

void st_ScriptStopEvent::Execute() {
  if (cl_Session* session = GetSession()) session->GetActionQueue().OnScriptStopped(m_thread);
}

cl_GameActionCompletionEvent::cl_GameActionCompletionEvent(st_GameAction* action)
    : m_action(action), m_serial(action ? action->m_serial : 0) {}

void cl_GameActionCompletionEvent::Execute() {
  cl_Session* session = GetSession();
  if (!session) return;
  cl_GameActionQueue& queue = session->GetActionQueue();
  if (!queue.HoldsAction(m_action, m_serial) || m_action->IsDone()) return;
  st_GameAction* action = m_action;
  m_action = nullptr;
  queue.RemoveAction(action);
  action->Finish();
  queue.DeleteAction(action);
}

// ---- the queue: queries

cl_GameActionQueue::cl_GameActionQueue() { Reset(); }

cl_GameActionQueue::~cl_GameActionQueue() {
  for (st_GameAction* action : m_actions) delete action;
  for (i_Event* event : m_pendingEvents) delete event;
}

bool cl_GameActionQueue::IsIdle() const { return !m_sceneScript && !m_dialogScript; }
bool cl_GameActionQueue::IsBusy() const { return HasForegroundAction() || !IsIdle(); }
bool cl_GameActionQueue::HasForegroundAction() const { return GetFirstForegroundAction() != nullptr; }

st_GameAction* cl_GameActionQueue::GetFirstForegroundAction() const {
  for (st_GameAction* action : m_actions)
    if (!action->m_background) return action;
  return nullptr;
}

bool cl_GameActionQueue::IsCurrentActionSkippable() const {
  const st_GameAction* action = GetFirstForegroundAction();
  return action && (action->m_kind == "speak" || action->m_kind == "skippable_sleep") && !m_dialogLocked;
}

bool cl_GameActionQueue::CanSkip() const {
  return !m_playerLocked && !m_dialogScript && m_sceneScript && m_skipAllowed && m_state == STATE_SEQUENCE_RUNNING;
}

bool cl_GameActionQueue::CanCancel() const {
  return !m_playerLocked && m_cancelAllowed && !m_dialogScript && m_sceneScript && m_state == STATE_SEQUENCE_RUNNING;
}

bool cl_GameActionQueue::HoldsAction(const st_GameAction* action) const { return m_where.count(action) != 0; }

bool cl_GameActionQueue::HoldsAction(const st_GameAction* action, uint64_t serial) const {
  return HoldsAction(action) && action->m_serial == serial;
}

bool cl_GameActionQueue::IsBackgroundThread(const GameThread* thread) const {
  for (const GameThread* background : m_backgroundThreads)
    if (background == thread) return true;
  return false;
}

bool cl_GameActionQueue::IsThreadAlive(const GameThread* thread) { return GameThread::IsLive(thread); }

const char* cl_GameActionQueue::GetStateName(int state) {
  static const char* const kNames[] = {"STATE_IDLE", "STATE_SEQUENCE_RUNNING", "STATE_FADE_BEFORE_SKIPPING_SEQUENCE",
                                       "STATE_SKIPPING_SEQUENCE"};
  return state >= 0 && state < 4 ? kNames[state] : "";
}

bool cl_GameActionQueue::HasSequenceLeft() const {
  return m_sceneScript || m_dialogScript || !m_backgroundThreads.empty() || HasForegroundAction();
}

// ---- commands

void cl_GameActionQueue::Reset() {
  m_state = STATE_IDLE;
  m_sceneScript = m_dialogScript = nullptr;
  m_dialogLocked = m_cancelAllowed = m_skipAllowed = m_inCutscene = m_movementLocked = false;
}

void cl_GameActionQueue::AllowSkipAndCancel() {
  m_playerLocked = m_dialogLocked = false;
  m_skipAllowed = m_cancelAllowed = true;
  m_state = STATE_SEQUENCE_RUNNING;
}

// A background thread (a character's round) is no part of the sequence the player started: its
// waits and lines must not keep a click from cancelling that sequence.
bool cl_GameActionQueue::CalledFromBackground() const {
  const auto* thread = dynamic_cast<const GameThread*>(KRX::ScriptSystem::GetCurrentThread());
  return thread && IsBackgroundThread(thread);
}

void cl_GameActionQueue::ForbidCancel() {
  if (!CalledFromBackground()) m_cancelAllowed = false;
}

void cl_GameActionQueue::ForbidSkipAndCancel() {
  if (!CalledFromBackground()) m_cancelAllowed = m_skipAllowed = false;
}

void cl_GameActionQueue::SetCutscene(bool on) { m_inCutscene = m_playerLocked = m_dialogLocked = on; }

st_GameAction* cl_GameActionQueue::Add(GameThread* owner) {
  auto* action = new st_GameAction(owner);
  action->m_background = owner && IsBackgroundThread(owner);
  m_actions.push_back(action);
  m_where.emplace(action, std::prev(m_actions.end()));
  return action;
}

void cl_GameActionQueue::AddBackgroundThread(GameThread* thread) {
  if (!thread) return;
  thread->SetName("Background");
  m_backgroundThreads.push_back(thread);
}

void cl_GameActionQueue::AddPendingEvent(i_Event* event) {
  if (event) m_pendingEvents.push_back(event);
}

void cl_GameActionQueue::RemoveAction(st_GameAction* action) {
  const auto at = m_where.find(action);
  if (at == m_where.end()) return;
  m_actions.erase(at->second);
  m_where.erase(at);
}

void cl_GameActionQueue::DeleteAction(st_GameAction* action) {
  if (!action) return;
  RemoveAction(action);
  // A speaking or animating character points at its action; it must not outlive it.
  if (cl_Session* session = GetSession())
    if (cl_Stage* stage = session->GetStage())
      for (cl_Character* character : stage->GetCharacters())
        if (character->pendingAction == action) character->pendingAction = nullptr;
  delete action;
}

void cl_GameActionQueue::StartSkip() {
  m_state = STATE_FADE_BEFORE_SKIPPING_SEQUENCE;
  const float delay = Skip_Delay + 0.01f;
  if (cl_Session* session = GetSession()) {
    // Either way the fader is covered after the delay; only the fade to black is visible.
    if (Skip_UseFading)
      session->GetFader().Start(true, delay, "", 0);
    else
      session->GetFader().FadeFromFull(delay);
  }
}

void cl_GameActionQueue::EndSkip() {
  if (m_state == STATE_FADE_BEFORE_SKIPPING_SEQUENCE || m_state == STATE_SKIPPING_SEQUENCE) {
    m_state = (m_sceneScript || m_dialogScript) ? STATE_SEQUENCE_RUNNING : STATE_IDLE;
    ResetFader();
  }
  m_skipAllowed = false;
}

void cl_GameActionQueue::SkipSequence() {
  // A script the skip runs could ask for another skip; the running one covers it.
  if (m_inSkip) return;
  m_inSkip = true;
  int steps = 0;
  if (m_inCutscene) {
    // Until the script leaves the cutscene, or nothing is left that could ever leave it.
    while (m_inCutscene && HasSequenceLeft() && steps < kMaxSkipSteps) {
      Step(kSkipStep);
      ++steps;
    }
  } else {
    do {
      Step(kSkipStep);
      ++steps;
    } while (m_state == STATE_SKIPPING_SEQUENCE && m_sceneScript && steps < kMaxSkipSteps);
  }
  if (steps >= kMaxSkipSteps)
    base::sys::Output("Warning: skipping the sequence stopped after %d steps (%s still running)\n", steps,
                      m_inCutscene ? "a cutscene" : "a scene script");
  m_lastSkipSteps = steps;
  ResetFader();
  m_inSkip = false;
}

void cl_GameActionQueue::SkipCurrentAction() {
  st_GameAction* action = GetFirstForegroundAction();
  if (!action) return;
  RemoveAction(action);
  action->Finish();
  DeleteAction(action);
}

void cl_GameActionQueue::Abort() {
  if (st_GameAction* action = GetFirstForegroundAction()) action->Cancel();
  // Cleared before the releases: the threads' end events may start newer scripts, which stay.
  GameThread* scene = m_sceneScript;
  GameThread* dialog = m_dialogScript;
  m_sceneScript = m_dialogScript = nullptr;
  if (IsThreadAlive(scene)) GameThread::Release(scene, nullptr);
  if (dialog != scene && IsThreadAlive(dialog)) GameThread::Release(dialog, nullptr);
  m_state = STATE_IDLE;
}

void cl_GameActionQueue::OnScriptStopped(GameThread* thread) {
  for (auto it = m_backgroundThreads.begin(); it != m_backgroundThreads.end(); ++it) {
    if (*it == thread) {
      m_backgroundThreads.erase(it);
      return;
    }
  }
  if (m_state == STATE_FADE_BEFORE_SKIPPING_SEQUENCE || m_state == STATE_SKIPPING_SEQUENCE) ResetFader();
  m_sceneScript = nullptr;
  m_state = STATE_IDLE;
}

void cl_GameActionQueue::Clear() {
  // Releasing a thread runs its end events at once, and they come back to this queue: both lists
  // are taken over first, so no event ever meets a list that is being walked.
  std::list<st_GameAction*> actions;
  actions.swap(m_actions);
  m_where.clear();
  for (st_GameAction* action : actions) {
    // Cancelled, so that a paused owner is ended rather than left waiting for ever, and deleted
    // (characters let go of it first).
    action->Cancel();
    DeleteAction(action);
  }
  std::list<GameThread*> threads;
  threads.swap(m_backgroundThreads);
  for (GameThread* thread : threads)
    if (IsThreadAlive(thread)) GameThread::Release(thread, nullptr);
}

// ---- per frame

void cl_GameActionQueue::UpdateActions(float dt) {
  for (st_GameAction* action : m_actions) action->Update(dt);
  RemoveFinished();
}

void cl_GameActionQueue::RemoveFinished() {
  std::list<st_GameAction*> done;
  for (auto it = m_actions.begin(); it != m_actions.end();) {
    auto next = std::next(it);
    if ((*it)->IsDone()) {
      m_where.erase(*it);
      done.splice(done.end(), m_actions, it);
    }
    it = next;
  }
  for (st_GameAction* action : done) DeleteAction(action);
}

void cl_GameActionQueue::RunPendingEvents() {
  // An event may start a new scene script, which ends the run until that script is over, or
  // change the scene, which hands the frame to the loading screen until the new scene is shown.
  const cl_Session* session = GetSession();
  while (IsIdle() && !m_pendingEvents.empty() && (!session || SessionIsShown(session))) {
    i_Event* event = m_pendingEvents.front();
    m_pendingEvents.pop_front();
    event->Execute();
    delete event;
  }
}

void cl_GameActionQueue::Update(float dt) {
  if (m_state == STATE_FADE_BEFORE_SKIPPING_SEQUENCE && FaderCovered()) {
    m_state = STATE_SKIPPING_SEQUENCE;
    SkipSequence();
  }
  UpdateActions(dt);
  cl_Session* session = GetSession();
  if (session && !SessionIsShown(session)) return;
  RunPendingEvents();
  if (session && !m_dialogScript && !m_sceneScript && m_pendingEvents.empty()) session->SetTransitPending(false);
}

void cl_GameActionQueue::StepScriptThreads(float dt) {
  if (AID::AIDNetwork* link = AID::GetNetwork()) link->ProcessMessages();
  KRX::ThreadList::Update(dt);
}

void cl_GameActionQueue::Step(float dt) {
  StepScriptThreads(dt);
  // The scripts may have changed the scene: the stage is looked up again.
  if (cl_Session* session = GetSession())
    if (cl_Stage* stage = session->GetStage(); stage && stage->GetScene()) stage->Update(dt);
  UpdateActions(dt);
  // The session's overlays, interface bar and in-game GUI join the step once the session has them.
}

void cl_GameActionQueue::Render() {
  if (gfx::cl_Font* font = gfx::FontExists("system")) gfx::SetFont(font);
  for (st_GameAction* action : m_actions) action->RenderSpeech();
  if (!m_showDebugList) return;
  constexpr uint32_t kWhite = 0xFFFFFFFFu, kYellow = 0xFFFFFF00u;
  int y = 0;
  char line[512];
  for (const st_GameAction* action : m_actions) {
    std::snprintf(line, sizeof line, "action=%s (t=%.02f, obj=%s, text=%s)", action->m_kind.c_str(),
                  double(action->m_time), action->m_object.c_str(), action->m_text.c_str());
    gfx::DrawText(0, y, line, kWhite);
    y += 20;
  }
  gfx::DrawText(0, y, GetStateName(m_state), kYellow);
  y += 20;
  if (IsThreadAlive(m_sceneScript)) {
    std::snprintf(line, sizeof line, "SCENE_SCRIPT_RUNNING (%s)", m_sceneScript->GetName().c_str());
    gfx::DrawText(0, y, line, kWhite);
    y += 20;
  }
  if (IsThreadAlive(m_dialogScript)) {
    std::snprintf(line, sizeof line, "DIALOG_SCRIPT_RUNNING (%s)", m_dialogScript->GetName().c_str());
    gfx::DrawText(0, y, line, kWhite);
  }
}

}  // namespace quillane
