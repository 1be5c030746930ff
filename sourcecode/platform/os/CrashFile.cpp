// The crash handler's files: fresh name, exclusive create, rename.
#include "platform/os/CrashFile.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/CrashReport.h"

namespace platform::os {

namespace {

CrashFile Failed(CrashFile file, const char* why, int error) {
  file.why = why;
  file.error = error;
  return file;
}

}  // namespace

CrashFile OpenCrashFile(const char* path, int processId) {
  CrashFile file;
  file.path = path;
  file.freshPath[0] = 0;
  if (!path || !path[0]) return file;
  struct stat st;
  if (lstat(path, &st) == 0 && !S_ISREG(st.st_mode)) return Failed(file, "it is not a regular file", 0);

  char digits[24];
  size_t count = 0;
  for (unsigned long v = static_cast<unsigned long>(processId); count == 0 || v; v /= 10) digits[count++] = char('0' + v % 10);
  const size_t length = strlen(path);
  if (length + 1 + count + 1 > sizeof file.freshPath) return Failed(file, "the name is too long", ENAMETOOLONG);
  memcpy(file.freshPath, path, length);
  file.freshPath[length] = '.';
  for (size_t i = 0; i < count; ++i) file.freshPath[length + 1 + i] = digits[count - 1 - i];
  file.freshPath[length + 1 + count] = 0;

  // What an earlier process of the same id left goes; unlink takes a link itself, never its target.
  unlink(file.freshPath);
  file.fd = open(file.freshPath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (file.fd < 0) return Failed(file, "no file can be created beside it", errno);
  return file;
}

void FailCrashFile(CrashFile& file, int error) {
  if (file.why) return;  // the first cause is the one named
  file.why = "a write fell short";
  file.error = error ? error : EIO;
}

bool PlaceCrashFile(CrashFile& file) {
  if (file.fd < 0) return false;
  if (file.why) {
    close(file.fd);
    file.fd = -1;
    unlink(file.freshPath);
    return false;
  }
  bool synced = fsync(file.fd) == 0 || errno == EINVAL;
  int syncError = errno;
  // Some file systems report a failed write only here.
  if (close(file.fd) != 0 && errno != EINTR && synced) {
    synced = false;
    syncError = errno;
  }
  file.fd = -1;
  if (!synced) {
    unlink(file.freshPath);
    file.why = "it could not be written";
    file.error = syncError;
    return false;
  }
  if (rename(file.freshPath, file.path) != 0) {
    file.error = errno;
    file.why = "it cannot be put in place";
    unlink(file.freshPath);
    return false;
  }
  return true;
}

void ExplainCrashFile(const CrashFile& file, int fd) {
  if (!file.why || !file.path) return;
  CrashText line(-1, fd);
  line.Str("ERROR: crash file '").Str(file.path).Str("' not written: ").Str(file.why);
  if (file.error) {
    const char* name = strerrorname_np(file.error);
    line.Str(" (");
    if (name) line.Str(name);
    else line.Str("errno ").Dec(file.error);
    line.Str(")");
  }
  line.Str("\n");
}

}  // namespace platform::os
