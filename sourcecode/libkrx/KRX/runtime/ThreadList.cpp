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
    tRefPtr<Thread> hold = *it;  // the thread outlives its own handling even if dropped meanwhile
    Thread* thread = hold.get();
    const int state = thread ? thread->GetState() : Thread::STATE_DEAD;
    if (state == Thread::STATE_DEAD || state == Thread::STATE_FINISHED) {
      if (thread) thread->m_listed = false;
      it = threads.erase(it);
      continue;
    }
    if (state == Thread::STATE_WAITING) {
      const float left = thread->GetReturnValue().ToFloat();
      if (left >= dt)
        thread->GetReturnValue() = Var(left - dt);
      else
        thread->Run();
    }
    ++it;
  }
  s_updating = false;
}

}  // namespace KRX
