#include "platform/audio/Decoder.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/audio/Resampler.h"

namespace platform::audio {

// ---- ByteSource

namespace {

size_t ReadWithFread(void* out, size_t n, std::FILE* file) { return std::fread(out, 1, n, file); }

std::atomic<FileReader> g_fileReader{ReadWithFread};

}  // namespace

void SetFileReader(FileReader reader) { g_fileReader.store(reader ? reader : ReadWithFread); }

std::unique_ptr<ByteSource> ByteSource::FromMemory(const void* data, size_t size) {
  std::unique_ptr<ByteSource> source(new ByteSource);
  source->m_data = static_cast<const uint8_t*>(data);
  source->m_size = data ? size : 0;
  return source;
}

std::unique_ptr<ByteSource> ByteSource::FromFile(std::FILE* file) {
  std::unique_ptr<ByteSource> source(new ByteSource);
  source->m_file = file;
  if (file && std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    source->m_size = end > 0 ? static_cast<uint64_t>(end) : 0;
    std::fseek(file, 0, SEEK_SET);
  }
  return source;
}

ByteSource::~ByteSource() {
  if (m_file) std::fclose(m_file);
}

size_t ByteSource::Read(void* out, size_t n) {
  if (m_pos >= m_size || Broken()) return 0;
  n = static_cast<size_t>(std::min<uint64_t>(n, m_size - m_pos));
  if (!m_file) {
    std::memcpy(out, m_data + m_pos, n);
    m_pos += n;
    return n;
  }
  errno = 0;
  const size_t got = g_fileReader.load()(out, n, m_file);
  m_pos += got;
  if (got < n) {
    char text[160];
    if (std::ferror(m_file) && errno != 0)
      std::snprintf(text, sizeof text, "read error at byte %llu: %s", static_cast<unsigned long long>(m_pos),
                    std::strerror(errno));
    else
      std::snprintf(text, sizeof text, "the file changed while it was read: it ended at byte %llu of %llu",
                    static_cast<unsigned long long>(m_pos), static_cast<unsigned long long>(m_size));
    m_problem = text;
  }
  return got;
}

bool ByteSource::Seek(uint64_t offset) {
  if (offset > m_size || Broken()) return false;
  if (m_file && std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0) {
    m_problem = std::string("seek error: ") + std::strerror(errno);
    return false;
  }
  m_pos = offset;
  return true;
}

// ---- format choice

std::unique_ptr<Decoder> OpenDecoder(std::unique_ptr<ByteSource> source, std::string& problem) {
  uint8_t head[12] = {};
  const size_t got = source->Read(head, sizeof head);
  source->Seek(0);
  if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0)
    return OpenWavDecoder(std::move(source), problem);
  if (got >= 4 && std::memcmp(head, "OggS", 4) == 0) return OpenOggDecoder(std::move(source), problem);
  problem = source->Broken() ? source->Problem() : got < 4 ? "too short to be a sound file" : "neither a WAV nor an Ogg file";
  return nullptr;
}

// ---- whole decode for samples

namespace {

// Keeps the first channel (mono) or the first two (stereo) of a block.
void PickChannels(const float* in, size_t frames, uint32_t inChannels, uint32_t outChannels,
                  bool average, std::vector<float>& out) {
  for (size_t i = 0; i < frames; ++i) {
    const float* frame = in + i * inChannels;
    if (outChannels == 1) {
      out.push_back(average && inChannels >= 2 ? 0.5f * (frame[0] + frame[1]) : frame[0]);
    } else {
      out.push_back(frame[0]);
      out.push_back(inChannels >= 2 ? frame[1] : frame[0]);
    }
  }
}

// Written so that a NaN lands on a limit instead of in an undefined conversion.
int16_t ToS16(float v) {
  float scaled = v * 32768.0f;
  scaled = scaled < 32767.0f ? scaled : 32767.0f;
  scaled = scaled > -32768.0f ? scaled : -32768.0f;
  return static_cast<int16_t>(scaled);
}

}  // namespace

bool DecodeWhole(const void* data, size_t size, uint32_t outRate, bool forceMono, PcmData& out,
                 std::string& problem) {
  std::unique_ptr<Decoder> decoder = OpenDecoder(ByteSource::FromMemory(data, size), problem);
  if (!decoder) return false;
  const uint32_t inChannels = decoder->Channels();
  const uint32_t outChannels = forceMono || inChannels == 1 ? 1 : 2;
  Resampler resampler(decoder->Rate(), outRate, outChannels);
  const uint64_t limit = uint64_t{kMaxSampleSeconds} * outRate;
  if (Resampler::OutputFrames(decoder->Frames(), decoder->Rate(), outRate) > limit) {
    problem = "longer than a sample may be (" + std::to_string(kMaxSampleSeconds) + " s); stream it instead";
    return false;
  }

  std::vector<float> block(size_t{4096} * inChannels);
  std::vector<float> picked;
  std::vector<float> converted;
  uint64_t decoded = 0;
  converted.reserve(static_cast<size_t>(Resampler::OutputFrames(decoder->Frames(), decoder->Rate(), outRate)) *
                    outChannels);
  for (;;) {
    const long got = decoder->Read(block.data(), 4096);
    if (got < 0) {
      problem = decoder->Problem();
      return false;
    }
    if (got == 0) break;
    decoded += static_cast<uint64_t>(got);
    picked.clear();
    PickChannels(block.data(), static_cast<size_t>(got), inChannels, outChannels, forceMono, picked);
    resampler.Process(picked.data(), static_cast<size_t>(got), converted);
    if (converted.size() / outChannels > limit) {
      problem = "longer than a sample may be (" + std::to_string(kMaxSampleSeconds) + " s); stream it instead";
      return false;
    }
  }
  // The converter stops at the last source frame; the length at the new rate is what the source
  // lasts, so the tail is held at its last value for the missing fraction of a frame.
  const uint64_t wanted = Resampler::OutputFrames(decoded, decoder->Rate(), outRate) * outChannels;
  if (converted.size() >= outChannels) {
    const float last[2] = {converted[converted.size() - outChannels], converted.back()};
    while (converted.size() < wanted) converted.insert(converted.end(), last + 2 - outChannels, last + 2);
  }
  out.channels = outChannels;
  out.frames = static_cast<uint32_t>(converted.size() / outChannels);
  out.samples.resize(converted.size());
  std::transform(converted.begin(), converted.end(), out.samples.begin(), ToS16);
  return true;
}

}  // namespace platform::audio
