#include "platform/audio/DecodeThread.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "platform/audio/StreamFeed.h"

namespace platform::audio {
namespace {

// Between passes: a ring holds seconds, so a pass now and then tops it up long before it empties.
constexpr auto kPassInterval = std::chrono::milliseconds(50);

}  // namespace

bool DecodeThread::Start(std::string& problem) {
  Stop();
  m_stop = false;
  try {
    m_thread = std::thread(&DecodeThread::Run, this);
  } catch (const std::system_error& e) {
    problem = e.what();
    return false;
  }
  return true;
}

void DecodeThread::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_stop = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
  std::lock_guard<std::mutex> lock(m_lock);
  m_feeds.clear();
}

void DecodeThread::Add(std::shared_ptr<StreamFeed> feed) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_feeds.push_back(std::move(feed));
    m_woken = true;
  }
  m_wake.notify_all();
}

void DecodeThread::Remove(const StreamFeed* feed) {
  std::lock_guard<std::mutex> lock(m_lock);
  std::erase_if(m_feeds, [feed](const auto& f) { return f.get() == feed; });
}

void DecodeThread::Wake() {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_woken = true;
  }
  m_wake.notify_all();
}

void DecodeThread::Run() {
  std::unique_lock<std::mutex> lock(m_lock);
  while (!m_stop) {
    // The pass works on its own copy of the list, so opening, stopping and closing streams never
    // wait for a decode; a stream closed meanwhile goes with the copy.
    std::vector<std::shared_ptr<StreamFeed>> feeds = m_feeds;
    m_woken = false;
    lock.unlock();
    for (const auto& feed : feeds) feed->Fill();
    feeds.clear();
    lock.lock();
    m_wake.wait_for(lock, kPassInterval, [this] { return m_stop || m_woken; });
  }
}

}  // namespace platform::audio
