// Helpers of the tests that start the built program: a temporary folder, a user folder with the
// bundled configuration changed by text replacements, and starting, waiting for and stopping
// the program with its log in a file.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/DemoDataCopy.h"
#include "support/ScratchFolder.h"

namespace testprogram {

namespace fs = std::filesystem;

inline fs::path ProgramPath() { return fs::read_symlink("/proc/self/exe").parent_path() / "quillane"; }

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class TempDir {
 public:
  explicit TempDir(const char* stem) : m_path(::testsupport::MakeScratchFolder(stem)) {}
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path(const std::string& name) const { return (m_path / name).string(); }
  const fs::path& root() const { return m_path; }

 private:
  fs::path m_path;
};

// The bundled config.xml with each (from, to) text replaced, as the user folder's config.xml.
inline void WriteUserConfig(const std::string& userDir, const std::vector<std::pair<std::string, std::string>>& edits) {
  std::string text = ReadFile(fs::path(QUILLANE_DATA_DIR) / "config.xml");
  for (const auto& [from, to] : edits) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  fs::create_directories(userDir);
  std::ofstream(fs::path(userDir) / "config.xml", std::ios::binary) << text;
}

// The program started in a scratch copy of the bundled data beside the user folder (made on the
// first start), since the program writes its caches into its data folder.
inline std::string Command(const std::string& prefix, const std::string& userDir, const std::string& log) {
  const fs::path data = fs::path(userDir).parent_path() / "data";
  if (!fs::exists(data)) ::testsupport::CopyDemoData(QUILLANE_DATA_DIR, data);
  return "cd '" + data.string() + "' && exec " + prefix + " QUILLANE_USER_DIR='" + userDir + "' '" +
         ProgramPath().string() + "' > '" + log + "' 2>&1";
}

// Runs the program to its end; the wait status.
inline int RunProgram(const std::string& prefix, const std::string& userDir, const std::string& log) {
  return std::system(Command(prefix, userDir, log).c_str());
}

// Starts the program in a process group of its own; the group's leader, or -1.
inline pid_t StartProgram(const std::string& prefix, const std::string& userDir, const std::string& log) {
  const std::string command = Command(prefix, userDir, log);
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

inline bool WaitForLog(const std::string& log, const std::string& text, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    if (ReadFile(log).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// SIGTERM to the program itself (a wrapper such as xvfb-run would take its X server down with
// it first), then waits for the group's leader; SIGKILL to the group after 20 s.
inline void StopProgram(pid_t pid, int* status) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t candidate = static_cast<pid_t>(std::stol(name));
    std::error_code linkError;
    if (getpgid(candidate) == pid && fs::read_symlink(entry.path() / "exe", linkError) == ProgramPath())
      kill(candidate, SIGTERM);
  }
  for (int i = 0; i < 2000; ++i) {
    if (waitpid(pid, status, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(-pid, SIGKILL);
  waitpid(pid, status, 0);
}

}  // namespace testprogram
