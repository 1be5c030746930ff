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
  // Ends the threads after the step in progress and forgets every stream. Waits for an open in
  // progress, so a file that never answers holds it up.
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

 private:
  void OpenLoop();
  void FeedLoop();

  std::mutex m_lock;  // everything below but the threads; never held while a stream is worked on
  std::condition_variable m_openWake, m_feedWake;
  std::deque<std::shared_ptr<StreamFeed>> m_toOpen;
  std::vector<std::shared_ptr<StreamFeed>> m_feeds;
  bool m_stop = false;
  bool m_woken = false;
  std::thread m_opener, m_feeder;
};

}  // namespace platform::audio
