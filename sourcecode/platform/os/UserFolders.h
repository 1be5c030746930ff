// Where the user's files live on Linux, and the lock that keeps a second copy of the program from
// running: the documents folder of the XDG user directories, and an exclusive file lock that dies
// with the process holding it.
#pragma once

#include <cstddef>
#include <string>

namespace platform::os {

// The documents folder: $XDG_DOCUMENTS_DIR, else its line in ${XDG_CONFIG_HOME:-~/.config}/
// user-dirs.dirs, else ~/Documents. Empty when none can be formed (no HOME).
std::string DocumentsFolder();

// The XDG_DOCUMENTS_DIR value of a user-dirs.dirs text: a line XDG_DOCUMENTS_DIR="..." with
// "$HOME" at its start replaced by home (the file's only variable); an absolute path otherwise.
// Empty when the line is missing, unquoted, relative or holds a control character.
std::string ParseUserDirsDocuments(const char* text, size_t size, const std::string& home);

// An exclusive, non-blocking lock on a file. The operating system drops it when the holder ends,
// however it ends, so a crashed copy never locks the next one out.
class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();  // releases the lock
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  enum class Result { Acquired, HeldElsewhere, Failed };
  // Creates path when missing and locks it. HeldElsewhere: another process has it; Failed: the
  // file cannot be opened (the reason goes to error).
  Result Acquire(const std::string& path, std::string* error);
  void Release();

 private:
  int m_fd = -1;
};

}  // namespace platform::os
