// GameThread: owned events, and running script functions with Variant arguments.
#include "quillane/script/GameThread.h"

#include <unordered_map>

#include "KRX/ScriptSystem.h"
#include "KRX/runtime/VarVariant.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "quillane/core/Event.h"

namespace {

// The name the action queue's debug list shows: "module:function".
base::String ThreadName(const char* module, const char* function) {
  base::String name(module);
  name += ":";
  name += function;
  return name;
}

bool SystemIsRunning() {
  const base::cl_System* system = base::cl_System::GetInstance();
  return system && !system->GetQuit();
}

// Every game thread that exists, with its serial. Actions and the action queue keep plain thread
// pointers; this lets them ask whether one still stands for the same thread without touching it
// and without copying the script system's thread list.
// Never destroyed: threads still listed by the script system may go during the program's exit.
std::unordered_map<const GameThread*, uint64_t>& LiveThreads() {
  static auto* threads = new std::unordered_map<const GameThread*, uint64_t>;
  return *threads;
}
uint64_t g_nextSerial = 0;

}  // namespace

GameThread::GameThread() : m_serial(++g_nextSerial) { LiveThreads().emplace(this, m_serial); }

GameThread::~GameThread() {
  LiveThreads().erase(this);
  ExecuteOwnedEvents(SystemIsRunning());
}

bool GameThread::IsLive(const GameThread* thread) {
  if (!thread || !LiveThreads().contains(thread)) return false;
  const int state = thread->GetState();
  return state == STATE_RUNNING || state == STATE_WAITING || state == STATE_PAUSED;
}

bool GameThread::IsLive(const GameThread* thread, uint64_t serial) {
  const auto it = LiveThreads().find(thread);
  return it != LiveThreads().end() && it->second == serial && IsLive(thread);
}

void GameThread::AddOwnedEvent(i_Event* event) {
  if (event) m_ownedEvents.emplace_back(event);
}

void GameThread::ExecuteOwnedEvents(bool execute) {
  // An event may end up back here (a stop event that releases other threads): work on a list
  // of its own so that every event runs once.
  std::vector<std::unique_ptr<i_Event>> events;
  events.swap(m_ownedEvents);
  if (!execute) return;
  for (const std::unique_ptr<i_Event>& event : events) event->Execute();
}

void GameThread::Run(base::Variant& result, GameThread* thread, const char* function, const base::Variant& args) {
  result.set_nil();
  if (!thread) return;
  const KRX::tRefPtr<GameThread> hold(thread);
  const int n = args.is_array() ? args.size() : 0;
  std::vector<KRX::Var> slots(size_t(n > 0 ? n : 0));
  for (int i = 0; i < n; ++i) KRX::VarFromVariant(args[i], slots[size_t(i)]);
  thread->Start(function, false, n > 0 ? slots.data() : nullptr, n);
  KRX::VariantFromVar(thread->GetReturnValue(), result);
}

base::Variant GameThread::Start(const char* module, const char* function, const base::Variant& args) {
  base::Variant result;
  const KRX::tRefPtr<GameThread> thread(new GameThread);
  thread->m_reportName = module ? module : "";
  if (thread->LoadModule(module)) Run(result, thread.get(), function, args);
  return result;
}

GameThread* GameThread::CallFunction(const char* module, const char* function, const base::Variant& args,
                                     i_Event* event) {
  KRX::tRefPtr<GameThread> thread(new GameThread);
  thread->AddOwnedEvent(event);
  thread->m_reportName = module ? module : "";
  // Without its module the thread ends here, and its destruction executes the event, so the
  // event's receiver learns that the script is over.
  if (!thread->LoadModule(module)) return nullptr;
  thread->m_name = ThreadName(module, function);
  base::Variant ignored;
  Run(ignored, thread.get(), function, args);
  const int state = thread->GetState();
  if (state != STATE_WAITING && state != STATE_PAUSED) return nullptr;
  // The thread list holds the waiting thread; dropping our reference leaves it alive.
  return thread.get();
}

GameThread* GameThread::CreateForFunction(const char* module, const char* function, i_Event* event) {
  GameThread* thread = new GameThread;
  thread->AddOwnedEvent(event);
  thread->m_reportName = module ? module : "";
  if (!thread->LoadModule(module)) {
    delete thread;  // executes the event, as for CallFunction
    return nullptr;
  }
  thread->m_name = ThreadName(module, function);
  return thread;
}

void GameThread::Release(GameThread* thread, const KRX::Var* returnValue) {
  if (!thread) return;
  const KRX::tRefPtr<GameThread> hold(thread);
  thread->ExecuteOwnedEvents(true);
  thread->Return(returnValue);
}
