// Programs and forked helpers of a test end with the test, however it ends (a time limit, a
// crash, a fatal assertion's abort, Ctrl-C): each child asks the kernel for a signal when its
// parent dies, and programs are executed directly, with no shell in between that would outlive
// the test or not pass the signal on.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/TimeScale.h"

extern char** environ;

namespace testsupport {

// fork(); the child receives `signal` when the thread that forked it ends, so fork from the test's
// own thread, never from a worker that ends before the child. A child whose parent died before the
// request was in place ends at once.
inline pid_t ForkBound(int signal = SIGKILL) {
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0 && (prctl(PR_SET_PDEATHSIG, signal) != 0 || getppid() != parent)) _exit(127);
  return pid;
}

// The wait status of the child pid once it ended.
inline int Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// The child pid's wait status once it ended, or -1 when it still runs after guardMs (scaled by
// TimeScale(): a guard against a child that hangs, not a judge of its speed); it is then killed.
inline int WaitAtMost(pid_t pid, int guardMs, st_Where where = {}) {
  int status = 0;
  if (WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, guardMs, 10, where)) return status;
  kill(pid, SIGKILL);
  Wait(pid);
  return -1;
}

// `signal` to the child pid, SIGKILL when it still runs after graceMs (scaled); its wait status.
inline int StopChild(pid_t pid, int signal, int graceMs) {
  kill(pid, signal);
  int status = 0;
  if (WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, graceMs)) return status;
  kill(pid, SIGKILL);
  return Wait(pid);
}

// The full path of an executable named on PATH (or the name itself when it holds a '/'); empty
// when there is none.
inline std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : std::string();
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  for (size_t from = 0; from <= folders.size();) {
    size_t to = folders.find(':', from);
    if (to == std::string::npos) to = folders.size();
    const std::string candidate = (to > from ? folders.substr(from, to - from) : ".") + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    from = to + 1;
  }
  return std::string();
}

// A program to start.
struct st_Command {
  std::vector<std::string> args{};  // args[0]: the program, a path or a name found on PATH
  std::string folder{};             // where it runs; empty: where the test runs
  std::vector<std::string> env{};   // "NAME=value" sets NAME, a bare "NAME" takes it out; later entries win
  std::string out{};                // file for its standard output; empty: the test's
  std::string err{};                // file for its standard error; empty: the test's; the same as out: one file
  std::function<void()> prepare{};  // run in the child just before the program (limits, ignored signals)
};

// For st_Command::prepare: no file of the program may grow past bytes; a write past that fails
// with EFBIG, as on a full disk, instead of ending the program.
inline std::function<void()> FileSizeLimit(rlim_t bytes) {
  return [bytes] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &limit);
  };
}

namespace detail {

// The test's environment changed by entries as st_Command::env says.
inline std::vector<std::string> Environment(const std::vector<std::string>& entries) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  for (const std::string& entry : entries) {
    const std::string name = entry.substr(0, entry.find('='));
    std::erase_if(env, [&](const std::string& e) { return e.compare(0, name.size() + 1, name + "=") == 0; });
    if (entry.size() > name.size()) env.push_back(entry);
  }
  return env;
}

inline bool Redirect(const std::string& file, int fd) {
  const int opened = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return opened >= 0 && dup2(opened, fd) >= 0;  // the copy stays open across the exec, the original not
}

// Forks the command's child with pipeFds' write end (when given) as its standard output
// (captureOut) and error (captureErr); the child's pid or -1. Everything the child needs is made
// before the fork: the test may have threads, so the child only calls what is safe after one.
inline pid_t Spawn(const st_Command& command, int signal, const int* pipeFds, bool captureOut, bool captureErr) {
  if (command.args.empty()) return -1;
  std::vector<std::string> args = command.args;
  args[0] = FindProgram(args[0]);
  if (args[0].empty()) return -1;
  std::vector<std::string> env = Environment(command.env);
  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const pid_t pid = ForkBound(signal);
  if (pid != 0) return pid;
  if (!command.folder.empty() && chdir(command.folder.c_str()) != 0) _exit(127);
  if (!command.out.empty() && !captureOut && !Redirect(command.out, STDOUT_FILENO)) _exit(127);
  if (!command.err.empty() && !captureErr) {
    const bool same = command.err == command.out && !captureOut;
    if (!(same ? dup2(STDOUT_FILENO, STDERR_FILENO) >= 0 : Redirect(command.err, STDERR_FILENO))) _exit(127);
  }
  if (pipeFds) {
    if ((captureOut && dup2(pipeFds[1], STDOUT_FILENO) < 0) || (captureErr && dup2(pipeFds[1], STDERR_FILENO) < 0))
      _exit(127);
  }
  if (command.prepare) command.prepare();
  execve(argv[0], argv.data(), envp.data());
  _exit(127);
}

}  // namespace detail

// Starts the command's program as a child that receives `signal` when the test ends; its pid, or
// -1 when it could not be started.
inline pid_t Start(const st_Command& command, int signal = SIGKILL) {
  return detail::Spawn(command, signal, nullptr, false, false);
}

// Runs the command's program to its end; its wait status (exit code 127 when it could not start).
inline int Run(const st_Command& command) {
  const pid_t pid = Start(command);
  return pid > 0 ? Wait(pid) : (127 << 8);
}

enum class en_Capture { Out, Err, Both };

// Runs the command's program to its end with the streams named by what into a pipe; what came
// through it. *status: its wait status.
inline std::string Capture(const st_Command& command, en_Capture what, int* status) {
  std::string text;
  int fds[2];
  *status = 127 << 8;
  if (pipe2(fds, O_CLOEXEC) != 0) return text;
  const pid_t pid = detail::Spawn(command, SIGKILL, fds, what != en_Capture::Err, what != en_Capture::Out);
  close(fds[1]);
  if (pid > 0) {
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
      if (n < 0 && errno != EINTR) break;
      if (n > 0) text.append(buffer, static_cast<size_t>(n));
    }
    *status = Wait(pid);
  }
  close(fds[0]);
  return text;
}

}  // namespace testsupport
