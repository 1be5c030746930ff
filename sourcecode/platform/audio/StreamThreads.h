// The threads that keep the streams of a device's mix decoded ahead: one for each stream, which
// opens its file and then tops up its ring, sleeping while the ring is full. So a file that is
// slow to answer, or never answers (a stalled disk), holds up its own stream only, never another's
// opening or decoding. A thread whose step has waited for its file past kStallGuardMs is let go
// and its stream given up; it ends by itself if its wait ever does. Their locks: SoundLibrary.h.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::audio {

class StreamFeed;

class StreamThreads {
 public:
  StreamThreads() = default;
  ~StreamThreads() { Stop(); }
  StreamThreads(const StreamThreads&) = delete;
  StreamThreads& operator=(const StreamThreads&) = delete;

  // Takes streams from now on.
  void Start();
  // Ends every stream's thread after its step in progress and forgets the streams (Close them
  // first, so that no further step starts). A thread still waiting for its file after
  // kStallGuardMs is let go, so the program's end never waits for a file.
  void Stop();
  bool IsRunning() const { return m_shared != nullptr; }

  // Starts the stream's thread, which opens the stream, then feeds it. A stream of a file that a
  // thread let go still waits for is given up at once (so a file that does not answer holds one
  // thread, not one for each try), as is one for which no thread can start.
  void Add(std::shared_ptr<StreamFeed> feed);
  // The stream's thread ends after its step in progress (Close the stream first).
  void Remove(const StreamFeed* feed);
  // The stream wants frames now (it started over, or its loop is to end).
  void Wake(const StreamFeed* feed);
  // Gives up each stream whose thread it has seen blocked in one step (neither running nor waiting
  // for a processor: waiting for its file) for kStallGuardMs or longer, and lets its thread go
  // (the library's update step calls it, ten times a second). A thread that only waits for a
  // processor on a busy machine is never given up.
  void GiveUpStalled();
  // CPU time the stream threads have used so far, in seconds (for statistics and benchmarks).
  double CpuSeconds() const;

  // How long a stream's step may wait for its file before the stream is given up (and at Stop
  // before its thread is let go): far longer than any step on a file that answers takes, a few
  // reads of it.
  static constexpr int kStallGuardMs = 2000;

 private:
  // One stream's thread, as the others see it.
  struct st_Worker {
    std::shared_ptr<StreamFeed> feed;
    std::condition_variable wake;
    clockid_t clock{};  // the thread's CPU clock, read only while the thread is listed
    bool clockKnown = false;
    pid_t tid = 0;         // the thread's id in /proc (0 until it runs), read only while it is listed
    bool woken = false;    // the stream wants frames now
    bool removed = false;  // the stream was closed
    bool letGo = false;    // its stream was given up while it waited for the file
    // GiveUpStalled's watch: the step it last saw in progress (StreamFeed::StepBegunNs), when it
    // looked, the thread's time run and queued then (-1: unknown), and how long it has seen that
    // step blocked.
    int64_t watchedStep = 0, watchedAt = 0, watchedScheduled = -1, waitedNs = 0;
  };
  // What the threads share. Each thread holds its own reference, so one that was let go touches
  // nothing freed when its wait ends at last.
  struct st_Shared {
    std::mutex lock;  // all of it and of the workers; never held while a stream is worked on
    std::condition_variable ended;
    std::vector<std::shared_ptr<st_Worker>> workers;  // every thread that has not ended yet
    double endedCpuSeconds = 0.0;                     // of the threads that have
    bool stop = false;
  };
  static void Run(std::shared_ptr<st_Shared> shared, std::shared_ptr<st_Worker> worker);
  // Sets flag on the stream's thread and wakes it.
  void Tell(const StreamFeed* feed, bool st_Worker::*flag);
  static double ListedCpuSeconds(const st_Shared& shared);  // under its lock

  std::shared_ptr<st_Shared> m_shared;  // null while stopped
  double m_stoppedCpuSeconds = 0.0;     // of the threads of earlier runs, counted at their Stop
};

}  // namespace platform::audio
