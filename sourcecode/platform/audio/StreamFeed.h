// One stream of the sound library: its file, its decoder and rate converter, and the ring of
// decoded frames the mixer reads. Whoever feeds streams (the decode thread under a device, the
// caller's Update or Mix without one) works under the feed's own lock, never the library's, so
// a caller holding the library lock for long cannot keep the mix from its frames. The lines a
// feed has to log are kept until the library writes them, on the thread that logs.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/Decoder.h"
#include "platform/audio/FrameRing.h"
#include "platform/audio/Resampler.h"

namespace platform::audio {

class StreamFeed {
 public:
  // A stream of the file path with the library's mode bits, converted to mixRate, decoded up to
  // ringFrames ahead of the mix. Nothing is read yet.
  StreamFeed(std::string path, uint32_t mode, uint32_t mixRate, uint32_t ringFrames);
  ~StreamFeed();
  StreamFeed(const StreamFeed&) = delete;
  StreamFeed& operator=(const StreamFeed&) = delete;

  const std::string& Path() const { return m_path; }
  // openstate::Opening until the file is open and its first frames are decoded, then Ready;
  // Failed when the file cannot be opened.
  int State() const { return m_state.load(std::memory_order_acquire); }
  // Length in milliseconds once the file is open, 0 before.
  uint32_t LengthMs() const { return m_lengthMs.load(std::memory_order_acquire); }

  // One piece of a feeder's work: opens the file of a stream still opening, or decodes one block
  // into the ring. False when there is nothing to do (ring full, source ended, open failed).
  bool Step();
  // Steps until there is nothing to do: the ring is full or holds the rest of the source.
  void Fill();
  // Opens and fills now; kOk, or the error (kErrFileNotFound, kErrFileFormat) with its line kept.
  int OpenNow();

  // The ring the mixer reads from now on.
  std::shared_ptr<FrameRing> Ring() const;
  // Back to the first frame with a new, empty ring: the old one may still be read by a mix in flight.
  void Rewind();
  // The lines to log since the last call: failures, and the dry spells of its ring (once each).
  std::vector<std::string> TakeMessages();

 private:
  void OpenLocked();
  bool DecodeBlockLocked();
  void NoteDrySpellsLocked();
  void Message(const char* format, ...) __attribute__((format(printf, 2, 3)));

  const std::string m_path;
  const uint32_t m_mode;
  const uint32_t m_mixRate;
  const uint32_t m_ringFrames;
  std::atomic<int> m_state;
  std::atomic<uint32_t> m_lengthMs{0};

  mutable std::mutex m_lock;  // everything below
  int m_openError = 0;
  std::unique_ptr<Decoder> m_decoder;
  std::unique_ptr<Resampler> m_resampler;
  std::shared_ptr<FrameRing> m_ring;
  std::vector<float> m_block, m_stereo;  // decode scratch
  std::vector<float> m_pending;          // converted frames that did not fit the ring yet
  size_t m_pendingAt = 0;                // frames of m_pending already written
  bool m_sourceDone = false;             // decoding reached the end (or broke)
  bool m_decodedSinceRewind = false;
  uint32_t m_drySpellsTold = 0;  // of the current ring
  std::vector<std::string> m_messages;
};

}  // namespace platform::audio
