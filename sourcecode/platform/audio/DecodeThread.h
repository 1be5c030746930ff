// The thread that keeps the streams of a device's mix decoded seconds ahead. It takes no lock but
// its own and the streams' (StreamFeed), so neither the library's lock nor the engine's sound
// lock, held long by a caller, nor a slow update step can let the mix run dry.
#pragma once

#include <condition_variable>
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

  // Starts the thread; false with the reason in problem.
  bool Start(std::string& problem);
  // Ends the thread after the pass in progress and forgets every stream.
  void Stop();
  bool IsRunning() const { return m_thread.joinable(); }

  // Feeds the stream from now on (and wakes the thread to open or fill it at once).
  void Add(std::shared_ptr<StreamFeed> feed);
  // Stops feeding it; a pass in progress may still finish its step on it.
  void Remove(const StreamFeed* feed);
  // A stream wants frames now (it started over).
  void Wake();

 private:
  void Run();

  std::mutex m_lock;  // everything below
  std::condition_variable m_wake;
  std::vector<std::shared_ptr<StreamFeed>> m_feeds;
  bool m_stop = false;
  bool m_woken = false;
  std::thread m_thread;
};

}  // namespace platform::audio
