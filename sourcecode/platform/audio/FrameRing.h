// A single-producer, single-consumer ring of stereo float frames: a stream's decoder (or the
// video player) writes, the mixer reads. Neither side blocks or allocates; capacity is fixed at
// construction, and frames move in at most two block copies a call. The consumer also counts the
// times it ran dry, for the producer's side to report.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace platform::audio {

class FrameRing {
 public:
  explicit FrameRing(uint32_t capacityFrames) : m_data(size_t{capacityFrames} * 2), m_capacity(capacityFrames) {}

  uint32_t Capacity() const { return m_capacity; }
  // Frames waiting to be read (exact for the consumer, a lower bound for the producer); none past
  // the end a finished source set.
  uint32_t Available() const {
    const uint64_t read = m_read.load(std::memory_order_acquire);
    const uint64_t limit = std::min(m_write.load(std::memory_order_acquire), m_end.load(std::memory_order_acquire));
    return limit > read ? static_cast<uint32_t>(limit - read) : 0;
  }
  // Room for the producer.
  uint32_t Space() const {
    return m_capacity -
           static_cast<uint32_t>(m_write.load(std::memory_order_acquire) - m_read.load(std::memory_order_acquire));
  }
  // Frames written since construction (the producer's count, which FinishAt takes).
  uint64_t Written() const { return m_write.load(std::memory_order_acquire); }
  // Frames read since construction.
  uint64_t Taken() const { return m_read.load(std::memory_order_acquire); }

  // Producer: copies up to count frames in; returns how many fitted.
  uint32_t Write(const float* frames, uint32_t count) {
    const uint64_t write = m_write.load(std::memory_order_relaxed);
    const uint64_t read = m_read.load(std::memory_order_acquire);
    count = std::min(count, m_capacity - static_cast<uint32_t>(write - read));
    CopyIn(frames, count, static_cast<uint32_t>(write % m_capacity));
    m_write.store(write + count, std::memory_order_release);
    return count;
  }

  // Consumer: moves up to count frames out; returns how many there were.
  uint32_t Read(float* frames, uint32_t count) {
    const uint64_t read = m_read.load(std::memory_order_relaxed);
    count = std::min(count, Available());
    CopyOut(frames, count, static_cast<uint32_t>(read % m_capacity));
    m_read.store(read + count, std::memory_order_release);
    return count;
  }

  // Consumer: drops everything written so far.
  void Drain() { m_read.store(m_write.load(std::memory_order_acquire), std::memory_order_release); }

  // Producer (or whoever gave the producer up): no more frames will come (the source ended or
  // broke).
  void Finish() { m_finished.store(true, std::memory_order_release); }
  // Producer: the source ends at frame end (as Written counts; a looping stream's run that is to
  // be its last ends where the next run's frames begin): the consumer reads no further.
  void FinishAt(uint64_t end) {
    m_end.store(end, std::memory_order_release);
    Finish();
  }
  bool Finished() const { return m_finished.load(std::memory_order_acquire); }

  // Consumer: whether a read of a source still playing came up short. The first short read after
  // a full one starts a dry spell, which is counted (true); the rest of the spell is not.
  bool NoteRead(bool shortRead) {
    if (!shortRead || m_dry) {
      m_dry = shortRead;
      return false;
    }
    m_dry = true;
    m_drySpells.fetch_add(1, std::memory_order_release);
    return true;
  }
  // Dry spells so far (any thread).
  uint32_t DrySpells() const { return m_drySpells.load(std::memory_order_acquire); }

 private:
  // Block copies into and out of the ring from slot at on, wrapping once at its end.
  void CopyIn(const float* frames, uint32_t count, uint32_t at) {
    const uint32_t first = std::min(count, m_capacity - at);
    std::memcpy(m_data.data() + size_t{at} * 2, frames, size_t{first} * kFrameBytes);
    std::memcpy(m_data.data(), frames + size_t{first} * 2, size_t{count - first} * kFrameBytes);
  }
  void CopyOut(float* frames, uint32_t count, uint32_t at) const {
    const uint32_t first = std::min(count, m_capacity - at);
    std::memcpy(frames, m_data.data() + size_t{at} * 2, size_t{first} * kFrameBytes);
    std::memcpy(frames + size_t{first} * 2, m_data.data(), size_t{count - first} * kFrameBytes);
  }

  static constexpr size_t kFrameBytes = 2 * sizeof(float);
  std::vector<float> m_data;
  uint32_t m_capacity;
  std::atomic<uint64_t> m_write{0};
  std::atomic<uint64_t> m_read{0};
  std::atomic<uint64_t> m_end{std::numeric_limits<uint64_t>::max()};
  std::atomic<bool> m_finished{false};
  std::atomic<uint32_t> m_drySpells{0};
  bool m_dry = false;  // consumer only
};

}  // namespace platform::audio
