// Shared helpers of the base tests: a scratch folder removed afterwards, the engine log captures
// (support/EngineLogCapture.h), and a full disk and a read-only folder to write into.
#pragma once

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/system.h"
#include "support/ChildProcess.h"
#include "support/EngineLogCapture.h"
#include "support/ScratchFolder.h"

namespace testsupport {

class TempDir {
 public:
  TempDir() : m_path(MakeScratchFolder("quillane_base").string()) {}
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  std::string path(const std::string& name = "") const { return name.empty() ? m_path : m_path + "/" + name; }

  void write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string m_path;
};

// While alive, no file of this process may grow past limit bytes: a write beyond fails with
// EFBIG, as it would on a full disk.
class cl_FileSizeLimit {
 public:
  explicit cl_FileSizeLimit(rlim_t limit) {
    getrlimit(RLIMIT_FSIZE, &m_old);
    m_oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit r = m_old;
    r.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &r);
  }
  ~cl_FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_old);
    signal(SIGXFSZ, m_oldHandler);
  }
  cl_FileSizeLimit(const cl_FileSizeLimit&) = delete;
  cl_FileSizeLimit& operator=(const cl_FileSizeLimit&) = delete;

 private:
  rlimit m_old{};
  sighandler_t m_oldHandler;
};

// Runs work in a forked child that sees folder read-only, through a read-only bind mount in a
// mount namespace of the child's own (tests run as root, where permission bits stop no write),
// and writes the text work leaves in lines to linesFile. The child's wait status: exit code 0
// when work returned true, 1 when not, kNoReadOnlyMount where the system gives no such namespace
// (linesFile then says why).
constexpr int kNoReadOnlyMount = 77;
inline int RunWithReadOnlyFolder(const std::string& folder, const std::string& linesFile,
                                 const std::function<bool(std::string& lines)>& work) {
  const pid_t child = ForkBound();
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
      std::ofstream(linesFile) << std::strerror(errno);
      _exit(kNoReadOnlyMount);
    }
    // A working folder inside folder is looked up again, so that relative names meet the mount.
    if (char* here = getcwd(nullptr, 0)) {
      if (chdir(here) != 0) _exit(kNoReadOnlyMount);
      free(here);
    }
    std::string lines;
    const bool ok = work(lines);
    std::ofstream(linesFile) << lines;
    _exit(ok ? 0 : 1);
  }
  return child < 0 ? -1 : Wait(child);
}

// A 32-bit number as the little-endian bytes the file formats store.
inline std::string LE(int v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

}  // namespace testsupport
