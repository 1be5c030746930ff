#include "platform/audio/StreamThreads.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#include "platform/audio/SoundTypes.h"
#include "platform/audio/StreamFeed.h"

namespace platform::audio {
namespace {

using Lock = std::unique_lock<std::mutex>;

// A ring is topped up when about a quarter of it has been played: seldom enough that a pass
// decodes a good piece at once, often enough that a busy machine has the rest to catch up.
constexpr int kPassesPerRing = 4;
constexpr int kShortestPassMs = 10;
// A gap between two looks at a step counts at most this much, so a program that stood still (held
// in a debugger or by SIGSTOP, a machine asleep) gives up no stream for that time: its stopped
// threads neither run nor wait to.
constexpr int64_t kLongestLookGapNs = 250'000'000;

// The nanoseconds the thread tid has run and waited in a run queue to run (the first two fields
// of its schedstat); -1 when unknown (no procfs).
int64_t ScheduledNs(pid_t tid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/task/%d/schedstat", int(tid));
  std::FILE* file = std::fopen(path, "r");
  if (!file) return -1;
  unsigned long long ran = 0, queued = 0;
  const bool read = std::fscanf(file, "%llu %llu", &ran, &queued) == 2;
  std::fclose(file);
  return read ? static_cast<int64_t>(ran + queued) : -1;
}

// Whether the thread tid is on a processor or in a run queue now (state R in its stat). The kernel
// adds a wait in a run queue to schedstat only once the thread gets a processor, so a thread
// starved for seconds shows no change there meanwhile: this tells it.
bool Runnable(pid_t tid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/task/%d/stat", int(tid));
  std::FILE* file = std::fopen(path, "r");
  if (!file) return false;
  char text[256];
  const size_t got = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  text[got] = '\0';
  // "tid (name) state ...": the name may hold blanks and parentheses, so it ends at the last ')'.
  const char* name = std::strrchr(text, ')');
  return name && name[1] == ' ' && name[2] == 'R';
}

double Seconds(clockid_t clock) {
  timespec t{};
  if (clock_gettime(clock, &t) != 0) return 0.0;
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One line for the stall and for every later try of the file while a thread still waits for it,
// so the library tells it once.
std::string StallLine(const std::string& path) {
  char text[1024];
  std::snprintf(text, sizeof text, "Warning: sound stream '%s' has not answered for %d s; it is given up\n",
                path.c_str(), StreamThreads::kStallGuardMs / 1000);
  return text;
}

}  // namespace

void StreamThreads::Start() {
  Stop();
  m_shared = std::make_shared<st_Shared>();
}

void StreamThreads::Stop() {
  if (!m_shared) return;
  st_Shared& shared = *m_shared;
  Lock lock(shared.lock);
  shared.stop = true;
  for (const auto& worker : shared.workers) worker->wake.notify_all();
  // A thread let go already waits for its file: there is no use in waiting for it here.
  shared.ended.wait_for(lock, std::chrono::milliseconds(kStallGuardMs), [&shared] {
    return std::all_of(shared.workers.begin(), shared.workers.end(), [](const auto& w) { return w->letGo; });
  });
  m_stoppedCpuSeconds += shared.endedCpuSeconds + ListedCpuSeconds(shared);
  lock.unlock();
  m_shared.reset();  // the threads still running hold their own reference
}

void StreamThreads::Add(std::shared_ptr<StreamFeed> feed) {
  if (!m_shared) return;  // no thread would ever open it
  std::string refusal;
  {
    Lock lock(m_shared->lock);
    const bool waiting = std::any_of(m_shared->workers.begin(), m_shared->workers.end(),
                                     [&](const auto& w) { return w->letGo && w->feed->Path() == feed->Path(); });
    if (waiting) {
      refusal = StallLine(feed->Path());
    } else {
      auto worker = std::make_shared<st_Worker>();
      worker->feed = feed;
      m_shared->workers.push_back(worker);
      try {
        std::thread(&StreamThreads::Run, m_shared, worker).detach();
        return;
      } catch (const std::system_error& e) {
        m_shared->workers.pop_back();
        refusal = "ERROR: sound stream '" + feed->Path() + "': no thread can read it (" + e.what() + ")\n";
      }
    }
  }
  feed->GiveUp(refusal);
}

void StreamThreads::Remove(const StreamFeed* feed) { Tell(feed, &st_Worker::removed); }

void StreamThreads::Wake(const StreamFeed* feed) { Tell(feed, &st_Worker::woken); }

void StreamThreads::Tell(const StreamFeed* feed, bool st_Worker::*flag) {
  if (!m_shared) return;
  Lock lock(m_shared->lock);
  for (const auto& worker : m_shared->workers)
    if (worker->feed.get() == feed) {
      (*worker).*flag = true;
      worker->wake.notify_all();
    }
}

// A look-gap counts only when the thread neither ran nor waited to run in it: blocked, in a read or
// an open of its file. A busy machine makes a thread that decodes or opens wait for a processor,
// never for seconds blocked, so a slow machine loses no music. Without procfs each gap counts.
// A closed stream's thread that waits is let go too: a later stream of the file is then refused
// with the line instead of leaving another thread waiting.
void StreamThreads::GiveUpStalled() {
  if (!m_shared) return;
  const int64_t now = std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1);
  std::vector<std::shared_ptr<StreamFeed>> stalled;
  {
    Lock lock(m_shared->lock);
    for (const auto& worker : m_shared->workers) {
      if (worker->letGo) continue;
      const int64_t step = worker->feed->StepBegunNs();
      // Listed, the thread has not ended, so its id is no other thread's.
      const int64_t scheduled = step != 0 && worker->tid != 0 ? ScheduledNs(worker->tid) : -1;
      if (step == 0 || step != worker->watchedStep) {
        worker->watchedStep = step;
        worker->waitedNs = 0;
      } else if ((scheduled < 0 || scheduled == worker->watchedScheduled) && !Runnable(worker->tid)) {
        worker->waitedNs += std::min(now - worker->watchedAt, kLongestLookGapNs);
      }
      worker->watchedScheduled = scheduled;
      worker->watchedAt = now;
      if (worker->waitedNs >= int64_t{kStallGuardMs} * 1'000'000) {
        worker->letGo = true;
        stalled.push_back(worker->feed);
      }
    }
  }
  for (const auto& feed : stalled) feed->GiveUp(StallLine(feed->Path()));
}

double StreamThreads::ListedCpuSeconds(const st_Shared& shared) {
  double seconds = 0.0;
  for (const auto& worker : shared.workers)
    if (worker->clockKnown) seconds += Seconds(worker->clock);
  return seconds;
}

double StreamThreads::CpuSeconds() const {
  if (!m_shared) return m_stoppedCpuSeconds;
  Lock lock(m_shared->lock);
  return m_stoppedCpuSeconds + m_shared->endedCpuSeconds + ListedCpuSeconds(*m_shared);
}

// The thread leaves the list (under the lock) before it ends, so a listed thread's CPU clock is
// always a live thread's.
void StreamThreads::Run(std::shared_ptr<st_Shared> shared, std::shared_ptr<st_Worker> worker) {
  pthread_setname_np(pthread_self(), "sound-stream");
  StreamFeed& feed = *worker->feed;
  Lock lock(shared->lock);
  worker->clockKnown = pthread_getcpuclockid(pthread_self(), &worker->clock) == 0;
  worker->tid = gettid();
  const auto over = [&] { return shared->stop || worker->removed || worker->letGo; };
  const auto due = [&] { return over() || worker->woken; };
  while (!over()) {
    worker->woken = false;
    lock.unlock();
    const bool wanted = feed.Fill();  // opens the stream first
    const bool done = feed.Closed() || feed.State() == openstate::Failed;
    lock.lock();
    if (done) break;
    if (!wanted)
      worker->wake.wait(lock, due);
    else
      worker->wake.wait_for(lock, std::chrono::milliseconds(std::max(feed.AheadMs() / kPassesPerRing, kShortestPassMs)),
                            due);
  }
  shared->endedCpuSeconds += Seconds(CLOCK_THREAD_CPUTIME_ID);
  std::erase(shared->workers, worker);
  shared->ended.notify_all();
}

}  // namespace platform::audio
