#include "platform/audio/DecodeThread.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <system_error>
#include <utility>

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
  m_shared = std::make_shared<st_Shared>();
  try {
    m_opener = std::thread(&DecodeThread::OpenLoop, m_shared);
    m_feeder = std::thread(&DecodeThread::FeedLoop, m_shared);
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
  if (!m_shared) return;
  st_Shared& shared = *m_shared;
  Lock lock(shared.lock);
  shared.stop = true;
  shared.toOpen.clear();
  shared.feeds.clear();
  shared.openWake.notify_all();
  shared.feedWake.notify_all();
  // A thread that never started counts as ended.
  shared.openerEnded |= !m_opener.joinable();
  shared.feederEnded |= !m_feeder.joinable();
  shared.ended.wait_for(lock, std::chrono::milliseconds(kStopGuardMs),
                        [&shared] { return shared.openerEnded && shared.feederEnded; });
  const bool openerEnded = shared.openerEnded, feederEnded = shared.feederEnded;
  lock.unlock();
  for (auto [thread, ended] : {std::pair{&m_opener, openerEnded}, std::pair{&m_feeder, feederEnded}}) {
    if (!thread->joinable()) continue;
    if (ended)
      thread->join();
    else
      thread->detach();  // still in a read of its file: it ends when the read returns, if ever
  }
  m_shared.reset();
}

void DecodeThread::Add(std::shared_ptr<StreamFeed> feed) {
  if (!m_shared) return;  // no thread would ever open it
  {
    Lock lock(m_shared->lock);
    m_shared->toOpen.push_back(std::move(feed));
  }
  m_shared->openWake.notify_all();
}

void DecodeThread::Remove(const StreamFeed* feed) {
  if (!m_shared) return;
  Lock lock(m_shared->lock);
  const auto same = [feed](const auto& f) { return f.get() == feed; };
  std::erase_if(m_shared->toOpen, same);
  std::erase_if(m_shared->feeds, same);
}

void DecodeThread::Wake() {
  if (!m_shared) return;
  {
    Lock lock(m_shared->lock);
    m_shared->woken = true;
  }
  m_shared->feedWake.notify_all();
}

double DecodeThread::CpuSeconds() const {
  auto& self = const_cast<DecodeThread&>(*this);
  return ThreadCpuSeconds(self.m_opener) + ThreadCpuSeconds(self.m_feeder);
}

// The open runs on the thread's own reference to the stream: a stream closed meanwhile is
// dropped when its open ends.
void DecodeThread::OpenLoop(std::shared_ptr<st_Shared> shared) {
  Lock lock(shared->lock);
  for (;;) {
    shared->openWake.wait(lock, [&] { return shared->stop || !shared->toOpen.empty(); });
    if (shared->stop) break;
    std::shared_ptr<StreamFeed> feed = std::move(shared->toOpen.front());
    shared->toOpen.pop_front();
    lock.unlock();
    feed->Open();
    lock.lock();
    if (!feed->Closed() && feed->State() == openstate::Ready) {
      shared->feeds.push_back(std::move(feed));
      shared->woken = true;
      shared->feedWake.notify_all();
    }
  }
  shared->openerEnded = true;
  shared->ended.notify_all();
}

// Each pass works on its own copy of the list, so opening, stopping and closing streams never
// wait for a decode; a stream closed meanwhile goes with the copy.
void DecodeThread::FeedLoop(std::shared_ptr<st_Shared> shared) {
  Lock lock(shared->lock);
  while (!shared->stop) {
    std::vector<std::shared_ptr<StreamFeed>> feeds = shared->feeds;
    shared->woken = false;
    lock.unlock();
    int passMs = 0;  // none: nothing needs frames until woken
    for (const auto& feed : feeds)
      if (feed->Fill()) passMs = std::min(passMs ? passMs : feed->AheadMs(), feed->AheadMs());
    feeds.clear();
    lock.lock();
    const auto due = [&] { return shared->stop || shared->woken; };
    if (passMs == 0)
      shared->feedWake.wait(lock, due);
    else
      shared->feedWake.wait_for(lock, std::chrono::milliseconds(std::max(passMs / kPassesPerRing, kShortestPassMs)),
                                due);
  }
  shared->feederEnded = true;
  shared->ended.notify_all();
}

}  // namespace platform::audio
