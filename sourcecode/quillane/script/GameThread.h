// GameThread: the game's script thread. It carries a name for the action queue's debug list and
// the events its caller handed over, which it executes exactly once when it ends (by Release, or
// by its destruction when the thread list drops it). The static operations run a named script
// function with engine Variant arguments and give back its result. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "KRX/runtime/Thread.h"
#include "base/String.h"

class i_Event;

namespace base {
class Variant;
}

class GameThread : public KRX::Thread {
 public:
  GameThread();  // registered as live under a new serial number
  // Unregistered first; then executes and deletes the owned events, unless the engine's system is
  // gone or quitting: then they are deleted without being executed, since what they would notify
  // is going away.
  ~GameThread() override;

  // "module:function" when made by CallFunction or CreateForFunction; empty otherwise.
  const base::String& GetName() const { return m_name; }
  void SetName(const base::String& name) { m_name = name; }
  // Unique over the process's run: a thread made later at the same address gets another one.
  uint64_t GetSerial() const { return m_serial; }
  // True while thread exists and has not ended (it runs, waits or is paused), so it may still be
  // woken or released. Safe on any pointer: a destroyed thread is looked up, never touched.
  static bool IsLive(const GameThread* thread);
  // The same, and thread is still the one that had serial (its address was not reused).
  static bool IsLive(const GameThread* thread, uint64_t serial);
  // Takes ownership of event (null is ignored); it is executed when the thread ends.
  void AddOwnedEvent(i_Event* event);
  int GetOwnedEventCount() const { return int(m_ownedEvents.size()); }

  // result := what function returned on thread, converted to a Variant (nil while the thread
  // waits). The elements of args are the arguments: strings, numbers and booleans are passed;
  // any other element becomes a nil argument in its place, so later arguments keep their
  // numbers. A thread nobody else holds a reference to is destroyed here when it finishes.
  static void Run(base::Variant& result, GameThread* thread, const char* function, const base::Variant& args);
  // Runs function of module (loaded on demand) on a new unnamed thread; its result, or nil when
  // the module cannot be loaded or the function waits.
  static base::Variant Start(const char* module, const char* function, const base::Variant& args);
  // As Start, on a named thread that owns event first. The thread when it is still alive (it
  // waits on an action; valid while the script system lists it), else null: the thread ended
  // (or never ran) and its event was executed.
  static GameThread* CallFunction(const char* module, const char* function, const base::Variant& args,
                                  i_Event* event = nullptr);
  // A named thread for function of module (loaded here) owning event, not run yet: the caller
  // runs it with Run. Null when the module cannot be loaded (the thread is then gone, and its
  // event executed, as at the end of any thread).
  // The thread starts without references: hold one across Run to use it afterwards.
  static GameThread* CreateForFunction(const char* module, const char* function, i_Event* event = nullptr);
  // Ends thread from outside: executes its owned events in order, deletes them, then finishes the
  // script thread with returnValue (null: nil).
  static void Release(GameThread* thread, const KRX::Var* returnValue);
  // The script thread's own operations of the same names stay reachable beside the static ones.
  using KRX::RefObj::Release;
  using KRX::Thread::Start;

 private:
  // Takes the owned events off the list (so none runs twice) and executes the taken ones.
  void ExecuteOwnedEvents(bool execute);

  base::String m_name;
  std::vector<std::unique_ptr<i_Event>> m_ownedEvents;
  uint64_t m_serial;
};
