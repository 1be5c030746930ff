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
  const uint32_t generation = ScriptSystem::GetGeneration();
  for (auto it = threads.begin(); it != threads.end();) {
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
      if (left >= dt) {
        time = Var(left - dt);
      } else {
        // A native may shut the script system down: the list entry goes then, this reference
        // keeps the thread alive until its run has unwound.
        tRefPtr<Thread> running(thread);
        thread->Run();
        if (ScriptSystem::GetGeneration() != generation) break;  // the walk's list is gone
      }
    }
    ++it;
  }
  s_updating = false;
}

}  // namespace KRX
