// WAV files: the RIFF chunk walk, then PCM 8 or 16 bits or float 32 from the "data" chunk.
// Every size field is checked against the bytes that are there.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/audio/Decoder.h"

namespace platform::audio {
namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

enum class SampleFormat { Pcm8, Pcm16, Float32 };

class WavDecoder final : public Decoder {
 public:
  WavDecoder(std::unique_ptr<ByteSource> source, SampleFormat format, uint32_t channels, uint32_t rate,
             uint64_t dataOffset, uint64_t frames)
      : m_source(std::move(source)), m_format(format), m_dataOffset(dataOffset) {
    m_channels = channels;
    m_rate = rate;
    m_frames = frames;
    m_source->Seek(dataOffset);
  }

  long Read(float* out, uint32_t frames) override {
    const uint64_t left = m_frames - m_position;
    if (frames > left) frames = static_cast<uint32_t>(left);
    if (frames == 0) return 0;
    const size_t bytesPerSample = m_format == SampleFormat::Pcm8 ? 1 : m_format == SampleFormat::Pcm16 ? 2 : 4;
    const size_t count = size_t{frames} * m_channels;
    m_raw.resize(count * bytesPerSample);
    if (m_source->Read(m_raw.data(), m_raw.size()) != m_raw.size()) {
      m_problem = m_source->Broken() ? m_source->Problem() : "the data chunk could not be read to its end";
      return -1;
    }
    const uint8_t* p = m_raw.data();
    for (size_t i = 0; i < count; ++i) {
      switch (m_format) {
        case SampleFormat::Pcm8: out[i] = (static_cast<float>(p[i]) - 128.0f) / 128.0f; break;
        case SampleFormat::Pcm16: out[i] = static_cast<float>(static_cast<int16_t>(U16(p + i * 2))) / 32768.0f; break;
        case SampleFormat::Float32: {
          float v;
          std::memcpy(&v, p + i * 4, 4);
          // NaN and infinity would poison the whole mix; far out of range is clipped anyway.
          out[i] = std::isfinite(v) ? std::clamp(v, -8.0f, 8.0f) : 0.0f;
          break;
        }
      }
    }
    m_position += frames;
    return static_cast<long>(frames);
  }

  bool Rewind() override {
    m_position = 0;
    return m_source->Seek(m_dataOffset);
  }

 private:
  std::unique_ptr<ByteSource> m_source;
  SampleFormat m_format;
  uint64_t m_dataOffset;
  uint64_t m_position = 0;
  std::vector<uint8_t> m_raw;
};

// The header walk; source is taken only by the decoder it returns.
std::unique_ptr<Decoder> OpenChecked(std::unique_ptr<ByteSource>& source, std::string& problem) {
  const uint64_t size = source->Size();
  uint8_t head[12];
  if (!source->Seek(0) || source->Read(head, 12) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0) {
    problem = "no RIFF/WAVE header";
    return nullptr;
  }
  bool haveFormat = false;
  uint16_t tag = 0, channels = 0, blockAlign = 0, bits = 0;
  uint32_t rate = 0;
  uint64_t at = 12;
  char text[160];
  for (;;) {
    uint8_t chunk[8];
    if (!source->Seek(at) || source->Read(chunk, 8) != 8) {
      problem = haveFormat ? "no data chunk" : "no fmt chunk";
      return nullptr;
    }
    const uint32_t chunkSize = U32(chunk + 4);
    const uint64_t body = at + 8;
    if (chunkSize > size - body) {
      std::snprintf(text, sizeof text, "chunk '%.4s' at offset %llu runs past the end (%u bytes declared, %llu left)",
                    reinterpret_cast<const char*>(chunk), static_cast<unsigned long long>(at), chunkSize,
                    static_cast<unsigned long long>(size - body));
      problem = text;
      return nullptr;
    }
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t fmt[40] = {};
      if (chunkSize < 16 || source->Read(fmt, chunkSize < 40 ? chunkSize : 40) < 16) {
        problem = "fmt chunk too short";
        return nullptr;
      }
      tag = U16(fmt);
      channels = U16(fmt + 2);
      rate = U32(fmt + 4);
      blockAlign = U16(fmt + 12);
      bits = U16(fmt + 14);
      if (tag == 0xFFFE && chunkSize >= 40) tag = U16(fmt + 24);  // extensible: the sub-format's code
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) {
        problem = "data chunk before the fmt chunk";
        return nullptr;
      }
      SampleFormat format;
      if (tag == 1 && bits == 8) format = SampleFormat::Pcm8;
      else if (tag == 1 && bits == 16) format = SampleFormat::Pcm16;
      else if (tag == 3 && bits == 32) format = SampleFormat::Float32;
      else {
        std::snprintf(text, sizeof text, "unsupported sample format (code %u, %u bits)", tag, bits);
        problem = text;
        return nullptr;
      }
      if (channels == 0 || channels > 8 || rate < kMinRate || rate > kMaxRate) {
        std::snprintf(text, sizeof text, "bad channel count %u or rate %u", channels, rate);
        problem = text;
        return nullptr;
      }
      if (blockAlign != channels * (bits / 8)) {
        std::snprintf(text, sizeof text, "block size %u does not match %u channels of %u bits", blockAlign,
                      channels, bits);
        problem = text;
        return nullptr;
      }
      return std::make_unique<WavDecoder>(std::move(source), format, channels, rate, body, chunkSize / blockAlign);
    }
    at = body + chunkSize + (chunkSize & 1);
  }
}

}  // namespace

std::unique_ptr<Decoder> OpenWavDecoder(std::unique_ptr<ByteSource> source, std::string& problem) {
  std::unique_ptr<Decoder> decoder = OpenChecked(source, problem);
  if (!decoder && source->Broken()) problem = source->Problem();  // the cause, not what it led to
  return decoder;
}

}  // namespace platform::audio
