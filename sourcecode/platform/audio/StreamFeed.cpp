#include "platform/audio/StreamFeed.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "platform/audio/SoundTypes.h"
#include "platform/os/Path.h"

namespace platform::audio {
namespace {

constexpr uint32_t kDecodeBlock = 2048;  // source frames decoded per step

using Lock = std::lock_guard<std::mutex>;

int64_t NowNs() { return std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1); }

const char* OpenProblem(platform::os::en_OpenError why) {
  switch (why) {
    case platform::os::OPEN_NOT_REGULAR: return "not a regular file";
    case platform::os::OPEN_FAILED: return "the file cannot be opened";
    default: return "file not found";
  }
}

}  // namespace

StreamFeed::StreamFeed(std::string path, uint32_t mode, uint32_t mixRate, uint32_t ringFrames)
    : m_path(std::move(path)),
      m_mixRate(mixRate),
      m_ringFrames(std::max<uint32_t>(ringFrames, 1)),
      m_state(openstate::Opening),
      m_loop((mode & mode::Loop) != 0) {}

StreamFeed::~StreamFeed() = default;

void StreamFeed::Message(bool refusal, const char* format, ...) {
  if (m_givenUp.load(std::memory_order_acquire)) return;  // its one line is said
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Lock lock(m_messageLock);
  m_messages.push_back(StreamMessage{text, refusal});
}

// ---- the feeder's side

void StreamFeed::Open() {
  while (State() == openstate::Opening && Step()) {
  }
  m_stepSince.store(0, std::memory_order_relaxed);
}

bool StreamFeed::Fill() {
  while (Step()) {
  }
  m_stepSince.store(0, std::memory_order_relaxed);
  if (Closed() || State() == openstate::Failed) return false;
  Lock lock(m_ringLock);
  return m_rewinds != m_rewindsDone || !(m_sourceDone && m_ring->Finished());
}

int StreamFeed::OpenNow() {
  Fill();
  return m_openError;
}

bool StreamFeed::Step() {
  if (Closed() || State() == openstate::Failed) return false;
  m_stepSince.store(NowNs(), std::memory_order_relaxed);
  if (!m_decoder) {
    OpenFile();
    return m_decoder != nullptr;
  }
  std::shared_ptr<FrameRing> ring;
  bool rewound;
  {
    Lock lock(m_ringLock);
    ring = m_ring;
    rewound = m_rewinds != m_rewindsDone;
    m_rewindsDone = m_rewinds;
  }
  if (rewound) StartOver();  // a seek in the file: not under the lock
  if (!m_loop.load(std::memory_order_acquire)) EndWithThisRun(*ring);
  return DecodeBlock(*ring);
}

// A loop that is to end ends with the run the mix plays now: the next runs' frames already in the
// ring are never read.
void StreamFeed::EndWithThisRun(FrameRing& ring) {
  while (!m_runStarts.empty() && m_runStarts.front() < ring.Taken()) m_runStarts.pop_front();
  if (m_runStarts.empty()) return;  // the run heard is the one being decoded: it ends at its end
  ring.FinishAt(m_runStarts.front());
  m_runStarts.clear();
  m_sourceDone = true;
  m_pending.clear();
  m_pendingAt = 0;
}

// Everything that may wait for the file (the open, the header checks, the decoder's search for
// the last page) runs here with no lock held; the ring is published only once all is ready.
void StreamFeed::OpenFile() {
  platform::os::en_OpenError why = platform::os::OPEN_OK;
  std::FILE* file = platform::os::OpenResolved(m_path.c_str(), "rb", &why);
  std::string problem = OpenProblem(why);
  std::unique_ptr<Decoder> decoder;
  if (file) decoder = OpenDecoder(ByteSource::FromFile(file), problem);
  if (!decoder) {
    Message(true, "ERROR: sound stream '%s': %s\n", m_path.c_str(), problem.c_str());
    m_openError = file ? kErrFileFormat : kErrFileNotFound;
    m_state.store(openstate::Failed, std::memory_order_release);
    return;
  }
  m_decoder = std::move(decoder);
  // Converted in the source's own one or two channels (a mono file costs half), made stereo after.
  m_resampler = std::make_unique<Resampler>(m_decoder->Rate(), m_mixRate, std::min(m_decoder->Channels(), 2u));
  m_block.resize(size_t{kDecodeBlock} * m_decoder->Channels());
  if (m_decoder->Channels() > 2) m_picked.resize(size_t{kDecodeBlock} * 2);
  auto ring = std::make_shared<FrameRing>(m_ringFrames);
  {
    Lock lock(m_ringLock);
    m_ring = std::move(ring);
    m_rewindsDone = m_rewinds;  // a rewind asked for while opening has nothing to undo
  }
  m_lengthMs.store(static_cast<uint32_t>(m_decoder->Frames() * 1000 / m_decoder->Rate()), std::memory_order_release);
}

void StreamFeed::BecomeReady() {
  int opening = openstate::Opening;
  m_state.compare_exchange_strong(opening, openstate::Ready, std::memory_order_release, std::memory_order_relaxed);
}

void StreamFeed::StartOver() {
  m_runStarts.clear();
  m_sourceDone = !m_decoder->Rewind();
  m_decodedSinceRewind = false;
  m_resampler->Reset();
  m_pending.clear();
  m_pendingAt = 0;
}

// Moves converted frames into the ring, or decodes one more block when none wait. A source that
// breaks mid-way ends there; a looping one starts over unless it gave nothing since its last start
// (an empty file).
bool StreamFeed::DecodeBlock(FrameRing& ring) {
  bool progress = false;
  const size_t pendingFrames = m_pending.size() / 2;
  if (m_pendingAt < pendingFrames) {
    const uint32_t wrote =
        ring.Write(m_pending.data() + m_pendingAt * 2, static_cast<uint32_t>(pendingFrames - m_pendingAt));
    m_pendingAt += wrote;
    progress = wrote > 0;
  }
  // Ready once the mix has a good start (or the whole sound) waiting, so it never starts dry.
  const bool full = m_pendingAt < pendingFrames;
  if (m_state.load(std::memory_order_relaxed) == openstate::Opening &&
      (full || m_sourceDone || ring.Available() >= std::min(m_ringFrames, m_mixRate / 2)))
    BecomeReady();
  if (full) return progress;
  m_pending.clear();
  m_pendingAt = 0;
  if (m_sourceDone) {
    if (ring.Finished()) return false;
    ring.Finish();
    BecomeReady();
    return true;
  }
  const uint32_t channels = m_decoder->Channels();
  const long got = m_decoder->Read(m_block.data(), kDecodeBlock);
  if (got < 0) {
    Message(false, "ERROR: sound stream '%s': %s; it ends here\n", m_path.c_str(), m_decoder->Problem().c_str());
    m_sourceDone = true;
  } else if (got == 0) {
    if (m_loop.load(std::memory_order_acquire) && m_decodedSinceRewind && m_decoder->Rewind()) {
      m_decodedSinceRewind = false;
      m_runStarts.push_back(ring.Written());  // nothing waits in m_pending here
    } else {
      m_sourceDone = true;
    }
  } else {
    m_decodedSinceRewind = true;
    Convert(static_cast<size_t>(got), channels);
  }
  return true;
}

// The block just decoded, at the mix rate and in stereo, into m_pending.
void StreamFeed::Convert(size_t frames, uint32_t channels) {
  const float* block = m_block.data();
  if (channels > 2) {  // the first two channels
    for (size_t i = 0; i < frames; ++i) {
      m_picked[i * 2] = block[i * channels];
      m_picked[i * 2 + 1] = block[i * channels + 1];
    }
    block = m_picked.data();
  }
  if (channels >= 2) {
    m_resampler->Process(block, frames, m_pending);
    return;
  }
  m_converted.clear();
  m_resampler->Process(block, frames, m_converted);
  m_pending.resize(m_converted.size() * 2);
  float* out = m_pending.data();
  for (const float v : m_converted) {
    out[0] = out[1] = v;
    out += 2;
  }
}

// ---- the control side

void StreamFeed::GiveUp(const std::string& line) {
  if (m_givenUp.exchange(true, std::memory_order_acq_rel)) return;
  m_state.store(openstate::Failed, std::memory_order_release);
  // The feeder's place: it writes nothing more once it sees the stream failed.
  if (const std::shared_ptr<FrameRing> ring = Ring()) ring->Finish();
  Lock lock(m_messageLock);
  m_messages.push_back(StreamMessage{line, true});
}

std::shared_ptr<FrameRing> StreamFeed::Ring() const {
  Lock lock(m_ringLock);
  return m_ring;
}

void StreamFeed::Rewind() {
  auto fresh = std::make_shared<FrameRing>(m_ringFrames);
  std::shared_ptr<FrameRing> old;
  {
    Lock lock(m_ringLock);
    if (!m_ring) return;  // still opening: it starts at the beginning anyway
    old = std::exchange(m_ring, std::move(fresh));
    ++m_rewinds;
  }
  Lock lock(m_messageLock);
  NoteDrySpells(old.get());
  m_drySpellsTold = 0;
}

void StreamFeed::NoteDrySpells(const FrameRing* ring) {
  const uint32_t spells = ring ? ring->DrySpells() : 0;
  if (spells == m_drySpellsTold) return;
  char text[1024];
  std::snprintf(text, sizeof text,
                "Warning: sound stream '%s' ran dry %u time(s): the mix played silence in its place\n",
                m_path.c_str(), spells - m_drySpellsTold);
  m_messages.push_back(StreamMessage{text, false});
  m_drySpellsTold = spells;
}

std::vector<StreamMessage> StreamFeed::TakeMessages() {
  const std::shared_ptr<FrameRing> ring = Ring();
  Lock lock(m_messageLock);
  NoteDrySpells(ring.get());
  return std::exchange(m_messages, {});
}

}  // namespace platform::audio
