// base::cl_ErrorCatcher: the first "ERROR: " line logged through base::sys::Output while it lives,
// so a caller can show a failure's cause where the user works (an editor's window) and not only
// in the log. One at a time: a catcher made while another is active catches nothing.
#pragma once

#include <string>

namespace base {

class cl_ErrorCatcher {
 public:
  cl_ErrorCatcher();
  ~cl_ErrorCatcher();
  cl_ErrorCatcher(const cl_ErrorCatcher&) = delete;
  cl_ErrorCatcher& operator=(const cl_ErrorCatcher&) = delete;

  // The first error line without its prefix and line end (it names the file and the cause);
  // fallback when none was logged.
  std::string First(const char* fallback) const;

 private:
  bool m_active = false;
};

}  // namespace base
