// A virtual X server (Xvfb) of the test's own for programs that open a real window. The server
// picks a free display itself and ends with the test like any child of it (ChildProcess.h); it
// takes no authority file, so its clients need none, and it listens only on this machine's socket.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TimeScale.h"

namespace testsupport {

class cl_XServer {
 public:
  cl_XServer() = default;
  ~cl_XServer() { Stop(); }
  cl_XServer(const cl_XServer&) = delete;
  cl_XServer& operator=(const cl_XServer&) = delete;

  // Starts the server with one screen of width x height at 24 bits; false when it ended or never
  // came to take clients (the hang guard guardMs passed). It keeps its state when its last client
  // leaves, so a pointer placed before a program connects stays put.
  bool Start(int width, int height, int guardMs = 60000) {
    Stop();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    const int ready = fds[1];
    const st_Command command{
        .args = {"Xvfb", "-displayfd", std::to_string(ready), "-screen", "0",
                 std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp", "-noreset"},
        .out = "/dev/null",
        .err = "/dev/null",
        .prepare = [ready] { fcntl(ready, F_SETFD, 0); }};  // the one descriptor it inherits
    // SIGTERM: the server then removes its socket and lock file.
    m_pid = testsupport::Start(command, SIGTERM);
    close(fds[1]);
    std::string number;
    // The server writes its display's number once it takes clients; end of file when it failed.
    char c = 0;
    cl_HangGuard guard(guardMs);
    pollfd wait{fds[0], POLLIN, 0};
    while (m_pid > 0) {
      const int polled = poll(&wait, 1, 100);
      if (polled == 1) {
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
      } else if ((polled < 0 && errno != EINTR) || guard.Passed()) {
        break;
      }
    }
    close(fds[0]);
    if (c != '\n' || number.empty()) {
      Stop();
      return false;
    }
    m_display = ":" + number;
    return true;
  }

  // Ends the server, when running.
  void Stop() {
    if (m_pid > 0) StopChild(m_pid, SIGTERM, 20000);
    m_pid = -1;
    m_display.clear();
  }

  pid_t Pid() const { return m_pid; }
  const std::string& Display() const { return m_display; }  // ":N"; empty when not running
  // The environment entries (st_Command::env) that make a program a client of this server.
  std::vector<std::string> ClientEnvironment() const { return {"DISPLAY=" + m_display, "XAUTHORITY"}; }

 private:
  pid_t m_pid = -1;
  std::string m_display;
};

}  // namespace testsupport
