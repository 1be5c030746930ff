// For the tests that a file saved over and over survives its writer's death: a child forked to
// save in a loop is killed with SIGKILL at a random moment a few milliseconds into its work.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "support/ChildProcess.h"

namespace testsupport {

// Forks a child that calls save(round) for round 0, 1, 2 ... until it is killed 0.5 to 6 ms
// later, and waits for it; false when no child could be made or it ended otherwise.
template <class Save>
bool KillSavingChild(Save save, std::mt19937& random) {
  const pid_t pid = ForkBound();
  if (pid < 0) return false;
  if (pid == 0)
    for (int round = 0;; ++round) save(round);
  std::uniform_int_distribution<int> delay(500, 6000);
  std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
  ::kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status);
}

}  // namespace testsupport
