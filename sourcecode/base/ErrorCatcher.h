// base::cl_ErrorCatcher: the "ERROR: " line of the step that failed, as the catcher's own thread
// logged it through base::sys::Output while the catcher lived, so a caller can show a failure's
// cause where the user works (an editor's window) and not only in the log. Lines other threads
// log meanwhile (the sound thread's) are not its work; catchers may nest and each sees the lines.
#pragma once

#include <string>
#include <thread>

namespace base {

class cl_ErrorCatcher {
 public:
  cl_ErrorCatcher();  // catches the calling thread's error lines from now on
  ~cl_ErrorCatcher();
  cl_ErrorCatcher(const cl_ErrorCatcher&) = delete;
  cl_ErrorCatcher& operator=(const cl_ErrorCatcher&) = delete;

  // The last error line its thread logged, without the prefix and line end (it names the file
  // and the cause); fallback when none was logged. The last, since work logs what it goes on past
  // (a missing picture) before the step that ends it: call it before logging a summary line.
  std::string Cause(const char* fallback) const;
  // Cause, but a line that names file as "'<file>': " gives only what follows: the caller names
  // the file itself ("cut short: ..." of "image 'a.tga': cut short: ...").
  std::string CauseOf(const char* file, const char* fallback) const;

 private:
  friend struct st_ErrorCatchers;
  std::thread::id m_thread;
  std::string m_last;
};

}  // namespace base
