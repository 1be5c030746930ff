// Sound file decoding for samples (bytes in memory, decoded whole at load) and streams (a file
// read block by block by whoever feeds them, StreamFeed.h). WAV (PCM 8 and 16 bits, float 32) is read by our
// own code, Ogg Vorbis through libvorbisfile's callbacks. Nothing reads past the bytes given.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace platform::audio {

// Source rates a decoder accepts: below the lowest, one sample's conversion to the mix rate
// would swell without bound.
inline constexpr uint32_t kMinRate = 1000;
inline constexpr uint32_t kMaxRate = 384000;
// The longest sample decoded whole (longer sounds are streamed).
inline constexpr uint32_t kMaxSampleSeconds = 1200;

// Bytes a decoder reads: a span in memory (not copied, must outlive the source) or an open file
// (owned, closed with the source). Reads stop at the end of the span or file.
class ByteSource {
 public:
  static std::unique_ptr<ByteSource> FromMemory(const void* data, size_t size);
  static std::unique_ptr<ByteSource> FromFile(std::FILE* file);  // takes ownership
  ~ByteSource();
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;

  // Copies up to n bytes; returns how many were read.
  size_t Read(void* out, size_t n);
  // Moves to an absolute offset; false (position kept) past the end.
  bool Seek(uint64_t offset);
  uint64_t Tell() const { return m_pos; }
  uint64_t Size() const { return m_size; }

 private:
  ByteSource() = default;
  const uint8_t* m_data = nullptr;
  std::FILE* m_file = nullptr;
  uint64_t m_size = 0;
  uint64_t m_pos = 0;
};

// A decoder of one sound: interleaved float frames of Channels() channels at Rate().
class Decoder {
 public:
  virtual ~Decoder() = default;
  uint32_t Channels() const { return m_channels; }
  uint32_t Rate() const { return m_rate; }
  // Total frames at the source rate.
  uint64_t Frames() const { return m_frames; }
  // Reads up to frames frames into out; returns how many, 0 at the end, -1 when the data is
  // broken (the reason goes to Problem()).
  virtual long Read(float* out, uint32_t frames) = 0;
  // Goes back to the first frame; false when the source cannot.
  virtual bool Rewind() = 0;
  const std::string& Problem() const { return m_problem; }

 protected:
  uint32_t m_channels = 0;
  uint32_t m_rate = 0;
  uint64_t m_frames = 0;
  std::string m_problem;
};

// Picks the format by its first bytes ("RIFF....WAVE" or "OggS") and opens a decoder over source.
// Null with the reason in problem when the format is unknown or the header is bad.
std::unique_ptr<Decoder> OpenDecoder(std::unique_ptr<ByteSource> source, std::string& problem);

// The WAV and Ogg decoders on their own (Decoder.cpp picks between them).
std::unique_ptr<Decoder> OpenWavDecoder(std::unique_ptr<ByteSource> source, std::string& problem);
std::unique_ptr<Decoder> OpenOggDecoder(std::unique_ptr<ByteSource> source, std::string& problem);

// A whole sound as it is kept for mixing: 16-bit frames of 1 or 2 channels at the mix rate.
struct PcmData {
  std::vector<int16_t> samples;  // interleaved
  uint32_t channels = 0;
  uint32_t frames = 0;
};

// Decodes every frame of source, converts to outRate, to one channel when forceMono (and to two
// when the source has more). False with the reason in problem for broken or truncated data.
bool DecodeWhole(const void* data, size_t size, uint32_t outRate, bool forceMono, PcmData& out,
                 std::string& problem);

}  // namespace platform::audio
