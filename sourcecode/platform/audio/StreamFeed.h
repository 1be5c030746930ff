// One stream of the sound library: its file, its decoder and rate converter, and the ring of
// decoded frames the mixer reads. Two sides share it (which thread is which: SoundLibrary.h). The
// feeder, one thread at a time, opens the file and decodes into the ring holding no lock at all;
// the control side asks for a rewind, the end of a loop or the close, and takes the ring and the
// lines to log, each under a small lock that no file operation is ever done under. So nothing the
// control side does waits for a file, however slow or broken it is.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/Decoder.h"
#include "platform/audio/FrameRing.h"
#include "platform/audio/Resampler.h"

namespace platform::audio {

// A line a stream has to log.
struct StreamMessage {
  std::string line;      // with its "ERROR: " or "Warning: " and its line end
  bool refusal = false;  // the file could not be opened: it never played
};

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
  // When the feeder's step in progress began (steady clock, nanoseconds; 0 between steps). A
  // step waits for a few reads of the file at most, so one whose thread stays blocked in it (not
  // merely waiting for a processor) is a file that does not answer.
  int64_t StepBegunNs() const { return m_stepSince.load(std::memory_order_relaxed); }
  // How far ahead of the mix it is decoded, in milliseconds (at least 1).
  int AheadMs() const { return static_cast<int>(std::max<uint64_t>(uint64_t{m_ringFrames} * 1000 / m_mixRate, 1)); }

  // ---- the feeder's side: one thread at a time, handed on with a happens-before (a lock)
  // Opens the file and decodes until the mix has a good start waiting: Ready, or Failed with
  // its line kept. Nothing to do once open.
  void Open();
  // Opens when still opening, then decodes until the ring is full or holds the rest of the
  // source. False when the stream needs nothing until the control side asks again (its source
  // ended, it failed or it was closed).
  bool Fill();
  // Fill, for a caller that opens the stream itself: kOk, or the error (kErrFileNotFound,
  // kErrFileFormat) with its line kept.
  int OpenNow();

  // ---- the control side: any thread, never waiting for the feeder
  // The ring the mixer reads from now on (null while opening).
  std::shared_ptr<FrameRing> Ring() const;
  // Back to the first frame: a new, empty ring now (the old one may still be read by a mix in
  // flight), filled from the start by the feeder's next step.
  void Rewind();
  // A looping stream loops on (true), or its run the mix plays now is its last (false; the
  // feeder's next step ends it there, also when later runs are decoded already).
  void SetLoop(bool loop) { m_loop.store(loop, std::memory_order_release); }
  // The feeder drops the stream at its next step.
  void Close() { m_closed.store(true, std::memory_order_release); }
  bool Closed() const { return m_closed.load(std::memory_order_acquire); }
  // Ends the stream whatever its feeder is doing (waiting for the file that does not answer),
  // with line to log as a refusal: Failed from now on, the mix plays what was decoded and stops
  // there, and the feeder touches neither the state nor the lines when its wait ends.
  void GiveUp(const std::string& line);
  // The lines to log since the last call: failures, and the dry spells of its ring (once each).
  std::vector<StreamMessage> TakeMessages();

 private:
  // One piece of the feeder's work: opens the file, or decodes one block into the ring. False
  // when there is nothing to do (ring full, source ended, open failed, closed).
  bool Step();
  void OpenFile();
  bool DecodeBlock(FrameRing& ring);
  void Convert(size_t frames, uint32_t channels);
  void StartOver();
  void BecomeReady();  // from Opening only: a stream given up meanwhile stays Failed
  void EndWithThisRun(FrameRing& ring);
  void NoteDrySpells(const FrameRing* ring);  // under m_messageLock
  void Message(bool refusal, const char* format, ...) __attribute__((format(printf, 3, 4)));

  const std::string m_path;
  const uint32_t m_mixRate;
  const uint32_t m_ringFrames;
  std::atomic<int> m_state;
  std::atomic<uint32_t> m_lengthMs{0};
  std::atomic<bool> m_loop;
  std::atomic<bool> m_closed{false};
  std::atomic<bool> m_givenUp{false};
  std::atomic<int64_t> m_stepSince{0};  // steady-clock nanoseconds at the step's start; 0 between

  // The feeder's own, touched by no other thread.
  int m_openError = 0;
  std::unique_ptr<Decoder> m_decoder;
  std::unique_ptr<Resampler> m_resampler;
  std::vector<float> m_block, m_picked, m_converted;  // decode scratch
  std::vector<float> m_pending;          // converted frames that did not fit the ring yet
  size_t m_pendingAt = 0;                // frames of m_pending already written
  bool m_sourceDone = false;             // decoding reached the end (or broke)
  bool m_decodedSinceRewind = false;
  uint32_t m_rewindsDone = 0;
  std::deque<uint64_t> m_runStarts;  // where a looping stream's later runs begin in the ring

  mutable std::mutex m_ringLock;  // m_ring and m_rewinds
  std::shared_ptr<FrameRing> m_ring;
  uint32_t m_rewinds = 0;  // asked for by the control side

  std::mutex m_messageLock;  // m_messages and m_drySpellsTold
  std::vector<StreamMessage> m_messages;
  uint32_t m_drySpellsTold = 0;  // of the current ring
};

}  // namespace platform::audio
