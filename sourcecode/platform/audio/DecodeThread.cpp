#include "platform/audio/DecodeThread.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <system_error>

#include "platform/audio/SoundTypes.h"
#include "platform/audio/StreamFeed.h"

namespace platform::audio {
namespace {

using Lock = std::unique_lock<std::mutex>;

// A ring is topped up when about a quarter of it has been played: seldom enough that a pass
// decodes a good piece at once, often enough that a busy machine has the rest to catch up.
constexpr int kPassesPerRing = 4;
constexpr int kShortestPassMs = 10;

double ThreadCpuSeconds(std::thread& thread) {
  clockid_t clock;
  timespec t{};
  if (!thread.joinable() || pthread_getcpuclockid(thread.native_handle(), &clock) != 0 ||
      clock_gettime(clock, &t) != 0)
    return 0.0;
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

bool DecodeThread::Start(std::string& problem) {
  Stop();
  m_stop = false;
  try {
    m_opener = std::thread(&DecodeThread::OpenLoop, this);
    m_feeder = std::thread(&DecodeThread::FeedLoop, this);
  } catch (const std::system_error& e) {
    problem = e.what();
    Stop();
    return false;
  }
  pthread_setname_np(m_opener.native_handle(), "sound-open");
  pthread_setname_np(m_feeder.native_handle(), "sound-decode");
  return true;
}

void DecodeThread::Stop() {
  {
    Lock lock(m_lock);
    m_stop = true;
  }
  m_openWake.notify_all();
  m_feedWake.notify_all();
  if (m_opener.joinable()) m_opener.join();
  if (m_feeder.joinable()) m_feeder.join();
  Lock lock(m_lock);
  m_toOpen.clear();
  m_feeds.clear();
}

void DecodeThread::Add(std::shared_ptr<StreamFeed> feed) {
  {
    Lock lock(m_lock);
    m_toOpen.push_back(std::move(feed));
  }
  m_openWake.notify_all();
}

void DecodeThread::Remove(const StreamFeed* feed) {
  Lock lock(m_lock);
  const auto same = [feed](const auto& f) { return f.get() == feed; };
  std::erase_if(m_toOpen, same);
  std::erase_if(m_feeds, same);
}

void DecodeThread::Wake() {
  {
    Lock lock(m_lock);
    m_woken = true;
  }
  m_feedWake.notify_all();
}

double DecodeThread::CpuSeconds() const {
  auto& self = const_cast<DecodeThread&>(*this);
  return ThreadCpuSeconds(self.m_opener) + ThreadCpuSeconds(self.m_feeder);
}

// The open runs on the thread's own reference to the stream: a stream closed meanwhile is
// dropped when its open ends.
void DecodeThread::OpenLoop() {
  Lock lock(m_lock);
  for (;;) {
    m_openWake.wait(lock, [this] { return m_stop || !m_toOpen.empty(); });
    if (m_stop) return;
    std::shared_ptr<StreamFeed> feed = std::move(m_toOpen.front());
    m_toOpen.pop_front();
    lock.unlock();
    feed->Open();
    lock.lock();
    if (!feed->Closed() && feed->State() == openstate::Ready) {
      m_feeds.push_back(std::move(feed));
      m_woken = true;
      m_feedWake.notify_all();
    }
  }
}

// Each pass works on its own copy of the list, so opening, stopping and closing streams never
// wait for a decode; a stream closed meanwhile goes with the copy.
void DecodeThread::FeedLoop() {
  Lock lock(m_lock);
  while (!m_stop) {
    std::vector<std::shared_ptr<StreamFeed>> feeds = m_feeds;
    m_woken = false;
    lock.unlock();
    int passMs = 0;  // none: nothing needs frames until woken
    for (const auto& feed : feeds)
      if (feed->Fill()) passMs = std::min(passMs ? passMs : feed->AheadMs(), feed->AheadMs());
    feeds.clear();
    lock.lock();
    const auto due = [this] { return m_stop || m_woken; };
    if (passMs == 0)
      m_feedWake.wait(lock, due);
    else
      m_feedWake.wait_for(lock, std::chrono::milliseconds(std::max(passMs / kPassesPerRing, kShortestPassMs)), due);
  }
}

}  // namespace platform::audio
