// A single-producer, single-consumer ring of stereo float frames: a stream's decoder (or the
// video player) writes, the mixer reads. Neither side blocks or allocates; capacity is fixed at
// construction. The consumer also counts the times it ran dry, for the producer's side to report.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::audio {

class FrameRing {
 public:
  explicit FrameRing(uint32_t capacityFrames) : m_data(size_t{capacityFrames} * 2), m_capacity(capacityFrames) {}

  uint32_t Capacity() const { return m_capacity; }
  // Frames waiting to be read (exact for the consumer, a lower bound for the producer).
  uint32_t Available() const {
    return static_cast<uint32_t>(m_write.load(std::memory_order_acquire) - m_read.load(std::memory_order_acquire));
  }
  // Room for the producer.
  uint32_t Space() const { return m_capacity - Available(); }

  // Producer: copies up to count frames in; returns how many fitted.
  uint32_t Write(const float* frames, uint32_t count) {
    const uint64_t write = m_write.load(std::memory_order_relaxed);
    const uint64_t read = m_read.load(std::memory_order_acquire);
    const uint32_t room = m_capacity - static_cast<uint32_t>(write - read);
    if (count > room) count = room;
    for (uint32_t i = 0; i < count; ++i) {
      const size_t at = static_cast<size_t>((write + i) % m_capacity) * 2;
      m_data[at] = frames[i * 2];
      m_data[at + 1] = frames[i * 2 + 1];
    }
    m_write.store(write + count, std::memory_order_release);
    return count;
  }

  // Consumer: moves up to count frames out; returns how many there were.
  uint32_t Read(float* frames, uint32_t count) {
    const uint64_t read = m_read.load(std::memory_order_relaxed);
    const uint64_t write = m_write.load(std::memory_order_acquire);
    const uint32_t have = static_cast<uint32_t>(write - read);
    if (count > have) count = have;
    for (uint32_t i = 0; i < count; ++i) {
      const size_t at = static_cast<size_t>((read + i) % m_capacity) * 2;
      frames[i * 2] = m_data[at];
      frames[i * 2 + 1] = m_data[at + 1];
    }
    m_read.store(read + count, std::memory_order_release);
    return count;
  }

  // Consumer: drops everything written so far.
  void Drain() { m_read.store(m_write.load(std::memory_order_acquire), std::memory_order_release); }

  // Producer: no more frames will come (the source ended or broke).
  void SetFinished(bool finished) { m_finished.store(finished, std::memory_order_release); }
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
  std::vector<float> m_data;
  uint32_t m_capacity;
  std::atomic<uint64_t> m_write{0};
  std::atomic<uint64_t> m_read{0};
  std::atomic<bool> m_finished{false};
  std::atomic<uint32_t> m_drySpells{0};
  bool m_dry = false;  // consumer only
};

}  // namespace platform::audio
