#include "platform/audio/StreamFeed.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "platform/audio/SoundTypes.h"
#include "platform/os/Path.h"

namespace platform::audio {
namespace {

constexpr uint32_t kDecodeBlock = 2048;  // source frames decoded per step

using Lock = std::lock_guard<std::mutex>;

}  // namespace

StreamFeed::StreamFeed(std::string path, uint32_t mode, uint32_t mixRate, uint32_t ringFrames)
    : m_path(std::move(path)),
      m_mode(mode),
      m_mixRate(mixRate),
      m_ringFrames(std::max<uint32_t>(ringFrames, 1)),
      m_state(openstate::Opening) {}

StreamFeed::~StreamFeed() = default;

void StreamFeed::Message(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  m_messages.emplace_back(text);
}

// ---- opening and decoding

bool StreamFeed::Step() {
  Lock lock(m_lock);
  const int state = m_state.load(std::memory_order_relaxed);
  if (state == openstate::Failed) return false;
  if (!m_decoder) {
    OpenLocked();
    return m_decoder != nullptr;
  }
  return DecodeBlockLocked();
}

void StreamFeed::Fill() {
  while (Step()) {
  }
}

int StreamFeed::OpenNow() {
  Fill();
  Lock lock(m_lock);
  return m_openError;
}

void StreamFeed::OpenLocked() {
  std::FILE* file = platform::os::OpenResolved(m_path.c_str(), "rb");
  std::string problem = "file not found";
  if (file) m_decoder = OpenDecoder(ByteSource::FromFile(file), problem);
  if (!m_decoder) {
    Message("ERROR: sound stream '%s': %s\n", m_path.c_str(), problem.c_str());
    m_openError = file ? kErrFileFormat : kErrFileNotFound;
    m_state.store(openstate::Failed, std::memory_order_release);
    return;
  }
  m_resampler = std::make_unique<Resampler>(m_decoder->Rate(), m_mixRate, 2);
  m_ring = std::make_shared<FrameRing>(m_ringFrames);
  m_block.resize(size_t{kDecodeBlock} * m_decoder->Channels());
  m_stereo.resize(size_t{kDecodeBlock} * 2);
  m_lengthMs.store(static_cast<uint32_t>(m_decoder->Frames() * 1000 / m_decoder->Rate()), std::memory_order_release);
}

// Moves converted frames into the ring, or decodes one more block when none wait. A source that
// breaks mid-way ends there; a looping one starts over unless it gave nothing since its last start
// (an empty file).
bool StreamFeed::DecodeBlockLocked() {
  bool progress = false;
  const size_t pendingFrames = m_pending.size() / 2;
  if (m_pendingAt < pendingFrames) {
    const uint32_t wrote =
        m_ring->Write(m_pending.data() + m_pendingAt * 2, static_cast<uint32_t>(pendingFrames - m_pendingAt));
    m_pendingAt += wrote;
    progress = wrote > 0;
  }
  // Ready once the mix has a good start (or the whole sound) waiting, so it never starts dry.
  const bool full = m_pendingAt < pendingFrames;
  if (m_state.load(std::memory_order_relaxed) == openstate::Opening &&
      (full || m_sourceDone || m_ring->Available() >= std::min(m_ringFrames, m_mixRate / 2)))
    m_state.store(openstate::Ready, std::memory_order_release);
  if (full) return progress;
  m_pending.clear();
  m_pendingAt = 0;
  if (m_sourceDone) {
    if (m_ring->Finished()) return false;
    m_ring->SetFinished(true);
    m_state.store(openstate::Ready, std::memory_order_release);
    return true;
  }
  const uint32_t channels = m_decoder->Channels();
  const long got = m_decoder->Read(m_block.data(), kDecodeBlock);
  if (got < 0) {
    Message("ERROR: sound stream '%s': %s; it ends here\n", m_path.c_str(), m_decoder->Problem().c_str());
    m_sourceDone = true;
  } else if (got == 0) {
    if ((m_mode & mode::Loop) && m_decodedSinceRewind && m_decoder->Rewind())
      m_decodedSinceRewind = false;
    else
      m_sourceDone = true;
  } else {
    m_decodedSinceRewind = true;
    for (long i = 0; i < got; ++i) {
      const float* frame = m_block.data() + i * channels;
      m_stereo[i * 2] = frame[0];
      m_stereo[i * 2 + 1] = channels >= 2 ? frame[1] : frame[0];
    }
    m_resampler->Process(m_stereo.data(), static_cast<size_t>(got), m_pending);
  }
  return true;
}

// ---- the mixer's side

std::shared_ptr<FrameRing> StreamFeed::Ring() const {
  Lock lock(m_lock);
  return m_ring;
}

void StreamFeed::Rewind() {
  Lock lock(m_lock);
  if (!m_decoder) return;
  NoteDrySpellsLocked();
  m_sourceDone = !m_decoder->Rewind();
  m_decodedSinceRewind = false;
  m_resampler->Reset();
  m_pending.clear();
  m_pendingAt = 0;
  m_ring = std::make_shared<FrameRing>(m_ringFrames);
  m_drySpellsTold = 0;
}

void StreamFeed::NoteDrySpellsLocked() {
  const uint32_t spells = m_ring ? m_ring->DrySpells() : 0;
  if (spells == m_drySpellsTold) return;
  Message("Warning: sound stream '%s' ran dry %u time(s): the mix played silence in its place\n", m_path.c_str(),
          spells - m_drySpellsTold);
  m_drySpellsTold = spells;
}

std::vector<std::string> StreamFeed::TakeMessages() {
  Lock lock(m_lock);
  NoteDrySpellsLocked();
  return std::exchange(m_messages, {});
}

}  // namespace platform::audio
