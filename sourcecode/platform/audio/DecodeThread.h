// The two threads that keep the streams of a device's mix decoded ahead: one opens the files of
// new streams, one by one, the other tops up the rings of the open ones. A file that is slow to
// open (a large one, a stalled disk) holds up only the opening of the streams after it, never the
// music already playing. Both sleep while they have nothing to do. Their locks: SoundLibrary.h.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform::audio {

class StreamFeed;

class DecodeThread {
 public:
  DecodeThread() = default;
  ~DecodeThread() { Stop(); }
  DecodeThread(const DecodeThread&) = delete;
  DecodeThread& operator=(const DecodeThread&) = delete;

  // Starts the threads; false with the reason in problem (none is left running then).
  bool Start(std::string& problem);
  // Ends the threads after the step in progress and forgets every stream. A thread whose step
  // still waits for its file after kStopGuardMs (a read that never returns) is let go: it ends
  // by itself if the read ever does, so the program's end never waits for a file.
  void Stop();
  bool IsRunning() const { return m_feeder.joinable(); }

  // Opens the stream, then feeds it (the threads are woken at once).
  void Add(std::shared_ptr<StreamFeed> feed);
  // Forgets the stream; a step in progress on it still ends (Close it first, so that no further
  // step starts).
  void Remove(const StreamFeed* feed);
  // A stream wants frames now (it started over).
  void Wake();
  // CPU time both threads have used so far, in seconds (for statistics and benchmarks).
  double CpuSeconds() const;

  // How long Stop waits for a thread's step before it lets the thread go: far longer than any
  // step on a file that answers takes, since the streams are closed first.
  static constexpr int kStopGuardMs = 2000;

 private:
  // What the threads work on. Each thread holds its own reference, so one that Stop let go
  // touches nothing freed when its read returns at last.
  struct st_Shared {
    std::mutex lock;  // all of it; never held while a stream is worked on
    std::condition_variable openWake, feedWake, ended;
    std::deque<std::shared_ptr<StreamFeed>> toOpen;
    std::vector<std::shared_ptr<StreamFeed>> feeds;
    bool stop = false;
    bool woken = false;
    bool openerEnded = false, feederEnded = false;
  };
  static void OpenLoop(std::shared_ptr<st_Shared> shared);
  static void FeedLoop(std::shared_ptr<st_Shared> shared);

  std::shared_ptr<st_Shared> m_shared;  // null while stopped
  std::thread m_opener, m_feeder;
};

}  // namespace platform::audio
