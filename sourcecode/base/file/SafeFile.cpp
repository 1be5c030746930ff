// base::cl_SafeFile: temporary file, checked writes, fsync, rename, fsync of the folder.
#include "base/file/SafeFile.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/system.h"
#include "platform/os/FileSystem.h"
#include "platform/os/Path.h"

namespace base {

cl_SafeFile::~cl_SafeFile() { abandon(); }

bool cl_SafeFile::begin(const char* name) {
  abandon();
  m_name = name ? name : "";
  m_failed = false;
  m_error = 0;
  m_target.clear();
  if (m_name.empty()) return fail("no file name", 0);
  platform::os::ResolvePath(m_name.c_str(), m_target);
  // Said before the bytes are written: only the rename at the end would find it.
  const size_t slash = m_target.rfind('/');
  const size_t length = m_target.size() - (slash == std::string::npos ? 0 : slash + 1);
  if (const size_t longest = platform::os::LongestNameBeside(m_target); length > longest) {
    char what[128];
    std::snprintf(what, sizeof what, "cannot be created: its name is %zu bytes long, the folder takes at most %zu",
                  length, longest);
    return fail(what, ENAMETOOLONG);
  }
  std::string what;
  switch (platform::os::InspectWriteTarget(m_target, what)) {
    case platform::os::TARGET_THROUGH: return beginThrough();
    case platform::os::TARGET_REFUSED: return fail(("not written: it is " + what).c_str(), 0);
    case platform::os::TARGET_FOLDER:  // written as usual: the rename says why it fails, at commit
    case platform::os::TARGET_REPLACE: break;
  }
  errno = 0;
  m_stream = platform::os::CreateTempBeside(m_target, m_temp);
  if (!m_stream) return fail("cannot create a temporary file beside it", errno);
  return true;
}

bool cl_SafeFile::write(const void* data, size_t size) {
  if (!m_stream || m_failed) return false;
  if (size == 0) return true;
  errno = 0;
  if (!data || std::fwrite(data, 1, size, m_stream) != size) {
    m_failed = true;
    m_error = errno ? errno : EIO;
    return false;
  }
  return true;
}

const char* cl_SafeFile::write_error() const { return m_error ? std::strerror(m_error) : ""; }

bool cl_SafeFile::beginThrough() {
  // A reader that goes away mid-write fails the write (EPIPE) instead of ending the program.
  sigset_t pipe, old;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  m_pipeSignalHeld = pthread_sigmask(SIG_BLOCK, &pipe, &old) == 0 && !sigismember(&old, SIGPIPE);
  errno = 0;
  m_stream = platform::os::OpenWriteThrough(m_target);
  if (!m_stream) {
    const int error = errno;
    endThrough();
    if (error == ENXIO) return fail("not written: it is a named pipe nobody reads", 0);
    return fail("cannot be opened for writing", error);
  }
  m_through = true;
  return true;
}

int cl_SafeFile::endThrough() {
  int error = 0;
  if (m_stream) {
    errno = 0;
    if (std::fflush(m_stream) != 0 || std::ferror(m_stream)) error = errno ? errno : EIO;
    if (std::fclose(m_stream) != 0 && !error) error = errno;
    m_stream = nullptr;
  }
  m_through = false;
  if (m_pipeSignalHeld) {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    const timespec now{};
    while (sigtimedwait(&pipe, nullptr, &now) == SIGPIPE) {
    }
    pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
    m_pipeSignalHeld = false;
  }
  return error;
}

bool cl_SafeFile::commit() {
  if (!m_stream) return fail("not open for writing", 0);
  if (m_through) {
    const int error = endThrough();
    if (m_failed || error) return fail("not written", m_error ? m_error : error);
    return true;
  }
  std::FILE* stream = m_stream;
  m_stream = nullptr;
  errno = 0;
  const bool synced = platform::os::SyncAndClose(stream);
  if (m_failed || !synced) {
    const int error = m_error ? m_error : errno;
    platform::os::RemoveFile(m_temp);
    m_temp.clear();
    return fail("not written, the previous contents are kept", error);
  }
  // A pipe or device that took the target's place since begin() is not replaced either.
  std::string what;
  const platform::os::en_WriteTarget now = platform::os::InspectWriteTarget(m_target, what);
  if (now == platform::os::TARGET_THROUGH || now == platform::os::TARGET_REFUSED) {
    platform::os::RemoveFile(m_temp);
    m_temp.clear();
    return fail(("not put in place: it is now " + what).c_str(), 0);
  }
  if (!platform::os::ReplaceFile(m_temp, m_target)) {
    const int error = errno;
    m_temp.clear();
    return fail("cannot be put in place, the previous contents are kept", error);
  }
  m_temp.clear();
  // The rename is only durable once the folder's entry is on the disk too.
  if (!platform::os::SyncFolderOf(m_target))
    sys::Output("Warning: file '%s': written, but its folder could not be synced (%s)\n", m_name.c_str(),
                std::strerror(errno));
  return true;
}

void cl_SafeFile::abandon() {
  if (m_through) endThrough();
  if (m_stream) {
    std::fclose(m_stream);
    m_stream = nullptr;
  }
  if (!m_temp.empty()) platform::os::RemoveFile(m_temp);
  m_temp.clear();
}

bool cl_SafeFile::fail(const char* what, int error) {
  m_failed = true;
  if (!m_error) m_error = error;
  if (error)
    sys::Output("ERROR: file '%s': %s (%s)\n", m_name.c_str(), what, std::strerror(error));
  else
    sys::Output("ERROR: file '%s': %s\n", m_name.c_str(), what);
  return false;
}

int RemoveStaleTempFiles(const char* name) {
  if (!name || !*name) return 0;
  std::string target;
  platform::os::ResolvePath(name, target);
  const size_t slash = target.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : (slash == 0 ? std::string("/") : target.substr(0, slash));
  // The pattern CreateTempBeside makes: the prefix and six characters.
  const std::string prefix = platform::os::TempPrefixBeside(target);
  const std::string stem = prefix.substr(slash == std::string::npos ? 0 : slash + 1);
  std::vector<platform::os::FolderEntry> entries;
  if (!platform::os::ListFolder(folder, entries)) return 0;
  int removed = 0;
  for (const platform::os::FolderEntry& entry : entries) {
    if (entry.directory || entry.name.size() != stem.size() + 6 || entry.name.compare(0, stem.size(), stem) != 0)
      continue;
    if (platform::os::RemoveFile(folder.empty() ? entry.name : folder + "/" + entry.name)) ++removed;
  }
  return removed;
}

bool SaveFileSafely(const char* name, const void* data, size_t size) {
  cl_SafeFile out;
  if (!out.begin(name)) return false;
  out.write(data, size);
  return out.commit();
}

}  // namespace base
