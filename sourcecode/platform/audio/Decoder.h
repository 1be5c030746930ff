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

// How the bytes of a file are read: fread unless replaced (a test's stand-in for a failing disk or
// for another program that rewrites the file). Up to n bytes at the file's position.
using FileReader = size_t (*)(void* out, size_t n, std::FILE* file);
// Replaces the reader of every ByteSource over a file; null restores fread.
void SetFileReader(FileReader reader);

// Bytes a decoder reads: a span in memory (not copied, must outlive the source) or an open file
// (owned, closed with the source). Reads stop at the end of the span, or of the file as big as it
// was when the source was made: a file that gives less than that (it shrank under the reader) or
// fails to read breaks the source for good, so no loop over its bytes can run for ever.
class ByteSource {
 public:
  static std::unique_ptr<ByteSource> FromMemory(const void* data, size_t size);
  static std::unique_ptr<ByteSource> FromFile(std::FILE* file);  // takes ownership
  ~ByteSource();
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;

  // Copies up to n bytes; returns how many were read (0 once the source is broken).
  size_t Read(void* out, size_t n);
  // Moves to an absolute offset; false (position kept) past the end or once broken.
  bool Seek(uint64_t offset);
  uint64_t Tell() const { return m_pos; }
  uint64_t Size() const { return m_size; }
  // Whether a read came up short of Size() or failed, and why ("" while it has not).
  bool Broken() const { return !m_problem.empty(); }
  const std::string& Problem() const { return m_problem; }

 private:
  ByteSource() = default;
  const uint8_t* m_data = nullptr;
  std::FILE* m_file = nullptr;
  uint64_t m_size = 0;
  uint64_t m_pos = 0;
  std::string m_problem;
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
