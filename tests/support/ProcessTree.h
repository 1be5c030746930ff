// The processes a test started, however deep, and the processor time they have used or waited
// for. Whether that still grows tells a stuck test from a slow one whatever the machine's load: a
// busy machine makes a working test wait for a processor (which the kernel counts), while a
// deadlocked one neither runs nor waits to.
#pragma once

#include <dirent.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct st_TreeProcess {
  pid_t pid = 0, parent = 0;
  char state = '?';         // as ps shows it: R running, S sleeping, D in the kernel, Z ended, T stopped
  std::string name;         // the kernel's short name of its program
  double cpuSeconds = 0;    // its own processor time and that of the children it has reaped
};

namespace detail {

// /proc/<pid>/stat (or the stat file at path) read into process; false when pid is gone.
inline bool ReadProcessStat(pid_t pid, st_TreeProcess& process, const std::string& path = {}) {
  FILE* f = std::fopen(path.empty() ? ("/proc/" + std::to_string(pid) + "/stat").c_str() : path.c_str(), "r");
  if (!f) return false;
  char text[1024];
  const size_t n = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  text[n] = '\0';
  // "pid (name) state ppid ...": the name may hold blanks and parentheses, so it ends at the last ')'.
  const std::string line(text, n);
  const size_t open = line.find('('), close = line.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  process.pid = pid;
  process.name = line.substr(open + 1, close - open - 1);
  char state = '?';
  int parent = 0;
  unsigned long long user = 0, system = 0, childUser = 0, childSystem = 0;
  // Fields 3 and 4, then 14 to 17 (utime, stime, cutime, cstime) in clock ticks.
  if (std::sscanf(line.c_str() + close + 1, " %c %d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu %llu %llu", &state,
                  &parent, &user, &system, &childUser, &childSystem) != 6)
    return false;
  static const double kTicks = double(sysconf(_SC_CLK_TCK));
  process.state = state;
  process.parent = parent;
  process.cpuSeconds = double(user + system + childUser + childSystem) / kTicks;
  return true;
}

}  // namespace detail

// root and every process below it, root first; empty when root is gone.
inline std::vector<st_TreeProcess> ProcessTree(pid_t root) {
  std::vector<st_TreeProcess> all;
  if (DIR* d = opendir("/proc")) {
    while (dirent* e = readdir(d)) {
      char* end = nullptr;
      const long pid = std::strtol(e->d_name, &end, 10);
      st_TreeProcess process;
      if (pid > 0 && *end == '\0' && detail::ReadProcessStat(pid_t(pid), process)) all.push_back(process);
    }
    closedir(d);
  }
  std::multimap<pid_t, const st_TreeProcess*> children;
  const st_TreeProcess* top = nullptr;
  for (const st_TreeProcess& p : all) {
    children.emplace(p.parent, &p);
    if (p.pid == root) top = &p;
  }
  std::vector<st_TreeProcess> tree;
  if (!top) return tree;
  tree.push_back(*top);
  for (size_t i = 0; i < tree.size(); ++i) {
    const auto [from, to] = children.equal_range(tree[i].pid);
    for (auto it = from; it != to; ++it) tree.push_back(*it->second);
  }
  return tree;
}

// The processor time root and everything below it have used, in seconds; the time of a process
// that ended counts once its parent reaped it. Threads count with their process.
inline double TreeCpuSeconds(pid_t root) {
  double seconds = 0;
  for (const st_TreeProcess& p : ProcessTree(root)) seconds += p.cpuSeconds;
  return seconds;
}

// The nanoseconds each thread of root's tree but the thread ignored has run or waited in a run
// queue to run, by thread id; *runnable: whether one of them is running or waiting to run now (the
// kernel counts a wait only once the thread gets a processor).
inline std::map<pid_t, uint64_t> TreeThreadDemand(pid_t root, pid_t ignored, bool* runnable) {
  std::map<pid_t, uint64_t> demand;
  *runnable = false;
  for (const st_TreeProcess& p : ProcessTree(root)) {
    const std::string tasks = "/proc/" + std::to_string(p.pid) + "/task";
    DIR* d = opendir(tasks.c_str());
    if (!d) continue;
    while (dirent* e = readdir(d)) {
      const pid_t tid = pid_t(std::atoi(e->d_name));
      if (tid <= 0 || tid == ignored) continue;
      const std::string task = tasks + "/" + e->d_name;
      if (FILE* f = std::fopen((task + "/schedstat").c_str(), "r")) {
        unsigned long long ran = 0, waited = 0;
        if (std::fscanf(f, "%llu %llu", &ran, &waited) == 2) demand[tid] = ran + waited;
        std::fclose(f);
      }
      st_TreeProcess thread;
      if (!*runnable && detail::ReadProcessStat(tid, thread, task + "/stat")) *runnable = thread.state == 'R';
    }
    closedir(d);
  }
  return demand;
}

// ---- stillness

// The share of one processor below which a tree of processes counts as still: what waking now and
// then to poll costs on a quiet machine.
constexpr double kStillShare = 0.02;

// Watches a tree of processes for a window of wall time in which its threads ran, or waited in a
// run queue to run, for less than kStillShare of it: deadlocked, or waiting for what never comes.
// A busy machine makes a working thread wait for a processor, and that wait counts as work: only a
// tree that does not even ask for a processor stands still. A window shorter than the sampling
// step is a plain timeout: too short to tell. The thread that watches is left out: its own
// polling, and its waits for a processor to poll on a busy machine, are no sign of life of what it
// waits for.
class cl_Stillness {
 public:
  cl_Stillness(pid_t root, double windowSeconds)
      : m_root(root), m_watcher(gettid()), m_window(windowSeconds), m_start(Now()) {
    if (m_window >= kStep) Sample(m_start);
  }

  // Samples the tree (at most once a step); true once a whole window has gone by since the start
  // in which it stood still.
  bool Still() {
    const double now = Now();
    if (m_samples.empty()) return now - m_start >= m_window;
    if (now - m_samples.back().first >= kStep) Sample(now);
    // The newest sample at least a window old: the demand since then covers the window.
    while (m_samples.size() > 1 && m_samples[1].first <= now - m_window) m_samples.pop_front();
    const auto& [since, demand] = m_samples.front();
    return now - since >= m_window && m_samples.back().second - demand < kStillShare * (now - since);
  }

  // The seconds the tree ran or waited to run over the span the last Still() judged.
  double WindowDemandSeconds() const {
    return m_samples.empty() ? 0 : m_samples.back().second - m_samples.front().second;
  }

 private:
  static constexpr double kStep = 0.5;  // seconds between two samples: reading /proc costs a little

  static double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }
  // Adds what each thread seen before has run or waited since; a new thread counts from its start,
  // a thread that ended stops counting. A thread runnable now counts the whole step: its wait so
  // far is not counted yet.
  void Sample(double now) {
    bool runnable = false;
    std::map<pid_t, uint64_t> threads = TreeThreadDemand(m_root, m_watcher, &runnable);
    uint64_t grown = 0;
    for (const auto& [tid, ns] : threads) {
      const auto before = m_threads.find(tid);
      if (before == m_threads.end()) {
        if (!m_samples.empty()) grown += ns;
      } else if (ns > before->second) {
        grown += ns - before->second;
      }
    }
    m_threads = std::move(threads);
    m_demand += runnable && !m_samples.empty() ? std::max(double(grown) / 1e9, now - m_samples.back().first)
                                               : double(grown) / 1e9;
    m_samples.emplace_back(now, m_demand);
  }

  pid_t m_root, m_watcher;
  double m_window, m_start;
  std::map<pid_t, uint64_t> m_threads;  // the last sample's demand per thread, in nanoseconds
  double m_demand = 0;                   // seconds run or waited since the first sample
  std::deque<std::pair<double, double>> m_samples;  // (wall seconds, m_demand)
};

}  // namespace testsupport
