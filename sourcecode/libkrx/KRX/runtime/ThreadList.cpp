#include "KRX/runtime/ThreadList.h"

#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"

namespace KRX {

void ThreadList::Update(float dt) {
  // The walk holds an iterator into the list; a nested step could erase the entry under it.
  static bool s_updating = false;
  if (s_updating) return;
  s_updating = true;
  if (const st_DebugHooks* hooks = GetActiveDebugHooks(); hooks && hooks->processMessages) hooks->processMessages();
  auto& threads = ScriptSystem::GetThreads();
  for (auto it = threads.begin(); it != threads.end();) {
    // The list's own reference keeps the thread alive while it runs: only this walk erases
    // entries (a nested walk does nothing), so no reference is taken per thread.
    Thread* thread = it->get();
    const int state = thread ? thread->GetState() : Thread::STATE_DEAD;
    if (state == Thread::STATE_DEAD || state == Thread::STATE_FINISHED) {
      if (thread) thread->m_listed = false;
      it = threads.erase(it);
      continue;
    }
    if (state == Thread::STATE_WAITING) {
      Var& time = thread->GetReturnValue();
      const float left = time.ToFloat();
      if (left >= dt)
        time = Var(left - dt);
      else
        thread->Run();
    }
    ++it;
  }
  s_updating = false;
}

}  // namespace KRX
