// Helpers of the tests that start the built program: a temporary folder, a user folder with the
// bundled configuration changed by text replacements, and starting, waiting for and stopping
// the program with its log in a file. The program ends with its test (ChildProcess.h).
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/ChildProcess.h"
#include "support/DemoDataCopy.h"
#include "support/ScratchFolder.h"
#include "support/TimeScale.h"
#include "support/XServer.h"

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
// first start), since the program writes its caches into its data folder; env as
// st_Command::env, the log taking both of its output streams.
inline ::testsupport::st_Command Command(const std::vector<std::string>& env, const std::string& userDir,
                                         const std::string& log) {
  const fs::path data = fs::path(userDir).parent_path() / "data";
  if (!fs::exists(data)) ::testsupport::CopyDemoData(QUILLANE_DATA_DIR, data);
  ::testsupport::st_Command command{
      .args = {ProgramPath().string()}, .folder = data.string(), .env = env, .out = log, .err = log};
  command.env.push_back("QUILLANE_USER_DIR=" + userDir);
  return command;
}

// The environment entries of a program in a real window on the server x: the tests' own
// headless settings taken out. The system libraries behind the window (D-Bus) keep allocations
// to the end, which the leak checker would report.
inline std::vector<std::string> WindowEnvironment(const ::testsupport::cl_XServer& x) {
  std::vector<std::string> env = x.ClientEnvironment();
  env.insert(env.end(), {"QUILLANE_HEADLESS", "SDL_VIDEODRIVER", "ASAN_OPTIONS=detect_leaks=0"});
  return env;
}

// Runs the program to its end; the wait status.
inline int RunProgram(const std::vector<std::string>& env, const std::string& userDir, const std::string& log) {
  return ::testsupport::Run(Command(env, userDir, log));
}

// Starts the program; its pid, or -1.
inline pid_t StartProgram(const std::vector<std::string>& env, const std::string& userDir, const std::string& log) {
  return ::testsupport::Start(Command(env, userDir, log));
}

// Whether the log shows text before the hang guard of timeoutMs passed (testsupport::cl_HangGuard).
inline bool WaitForLog(const std::string& log, const std::string& text, int timeoutMs,
                       ::testsupport::st_Where where = {}) {
  return ::testsupport::WaitUntil([&] { return ReadFile(log).find(text) != std::string::npos; }, timeoutMs, 20, where);
}

// SIGTERM to the program, which then shuts down as usual, and waits for it; SIGKILL after 20 s
// (scaled).
inline void StopProgram(pid_t pid, int* status) { *status = ::testsupport::StopChild(pid, SIGTERM, 20000); }

}  // namespace testprogram
