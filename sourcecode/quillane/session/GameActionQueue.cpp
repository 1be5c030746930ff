#include "quillane/session/GameActionQueue.h"

namespace quillane {

st_GameAction::st_GameAction(GameThread* owner) : m_owner(owner) {}
void st_GameAction::Update(float) {}
void st_GameAction::Finish() { m_done = true; }
void st_GameAction::Cancel() { m_done = true; }
void st_GameAction::RenderSpeech() {}

void st_ScriptStopEvent::Execute() {}
void cl_GameActionCompletionEvent::Execute() {}

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
bool cl_GameActionQueue::IsCurrentActionSkippable() const { return false; }
bool cl_GameActionQueue::CanSkip() const { return false; }
bool cl_GameActionQueue::CanCancel() const { return false; }
bool cl_GameActionQueue::HoldsAction(const st_GameAction* action) const {
  for (st_GameAction* held : m_actions)
    if (held == action) return true;
  return false;
}
bool cl_GameActionQueue::IsThreadAlive(const GameThread*) { return false; }

void cl_GameActionQueue::Reset() {
  m_state = STATE_IDLE;
  m_sceneScript = m_dialogScript = nullptr;
  m_dialogLocked = m_cancelAllowed = m_skipAllowed = m_inCutscene = m_movementLocked = false;
}
void cl_GameActionQueue::AllowSkipAndCancel() {}
void cl_GameActionQueue::SetCutscene(bool on) { m_inCutscene = m_playerLocked = m_dialogLocked = on; }
st_GameAction* cl_GameActionQueue::Add(GameThread* owner) {
  m_actions.push_back(new st_GameAction(owner));
  return m_actions.back();
}
void cl_GameActionQueue::AddBackgroundThread(GameThread* thread) { m_backgroundThreads.push_back(thread); }
void cl_GameActionQueue::AddPendingEvent(i_Event* event) {
  if (event) m_pendingEvents.push_back(event);
}
void cl_GameActionQueue::RemoveAction(st_GameAction* action) { m_actions.remove(action); }
void cl_GameActionQueue::StartSkip() {}
void cl_GameActionQueue::EndSkip() {}
void cl_GameActionQueue::SkipSequence() {}
void cl_GameActionQueue::SkipCurrentAction() {}
void cl_GameActionQueue::Abort() {}
void cl_GameActionQueue::OnScriptStopped(GameThread*) {}
void cl_GameActionQueue::Clear() {}
void cl_GameActionQueue::Update(float) {}
void cl_GameActionQueue::Render() {}
void cl_GameActionQueue::Step(float) {}
void cl_GameActionQueue::RemoveFinished() {}

}  // namespace quillane
