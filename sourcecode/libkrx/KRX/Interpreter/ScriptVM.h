// ScriptVM: the byte-code interpreter. Execute runs the current frame of a thread until the
// thread leaves the running state (finished, failed, sleeping, paused) or its code ends.
#pragma once

namespace KRX {

class BinCode;
class Module;
class Thread;

class ScriptVM {
 public:
  // Runs thread from its current frame's position. True when the run stopped without an error
  // (the thread may then be finished, waiting, paused, or still running when its code ran past
  // the end); false after a run-time error, which has been reported through the thread.
  static bool Execute(Module& root, Thread& thread);

  // Whether functions may run in register form (RegisterForm.h) while no debugger is attached;
  // on by default. Switching drops every translation made so far. For comparing both paths.
  static void SetRegisterForm(bool on);
  // True when function runs in register form (translated now if it was not yet).
  static bool HasRegisterForm(BinCode* function);
};

}  // namespace KRX
