// Ogg Vorbis through libvorbisfile, reading through our ByteSource so that memory and files go the
// same way and nothing is read past the bytes given. A cut-off or damaged file is refused rather
// than played short.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/audio/Decoder.h"
#include "platform/audio/VorbisHeaders.h"

namespace platform::audio {
namespace {

size_t ReadCallback(void* out, size_t size, size_t count, void* datasource) {
  auto* source = static_cast<ByteSource*>(datasource);
  if (size == 0) return 0;
  const size_t got = source->Read(out, size * count) / size;
  // libvorbisfile tells a read error from the end of the data by errno alone. A file that shrank
  // must read as an error: its backward search for the last page would otherwise start over for
  // ever on the missing bytes.
  if (got == 0) errno = source->Broken() ? EIO : 0;
  return got;
}

int SeekCallback(void* datasource, ogg_int64_t offset, int whence) {
  auto* source = static_cast<ByteSource*>(datasource);
  int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<int64_t>(source->Tell());
  else if (whence == SEEK_END) base = static_cast<int64_t>(source->Size());
  const int64_t target = base + offset;
  if (target < 0) return -1;
  return source->Seek(static_cast<uint64_t>(target)) ? 0 : -1;
}

long TellCallback(void* source) { return static_cast<long>(static_cast<ByteSource*>(source)->Tell()); }

// Ogg's page checksum: CRC-32 with polynomial 0x04C11DB7, not reflected, starting at 0.
uint32_t PageCrc(const uint8_t* data, size_t size, uint32_t crc) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t r = i << 24;
      for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      t[i] = r;
    }
    return t;
  }();
  for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xFF];
  return crc;
}

// Walks every page from the first byte to the last: each must be whole, back to back, with a
// good checksum. libvorbisfile would skip a damaged page or stop early at a cut-off one and play
// the sound short; here such a file is refused with the place of the damage.
bool CheckPages(ByteSource& source, std::string& problem) {
  const uint64_t size = source.Size();
  uint64_t at = 0;
  std::vector<uint8_t> page;
  char text[128];
  while (at < size) {
    uint8_t header[27 + 255];
    if (!source.Seek(at) || source.Read(header, 27) != 27 || std::memcmp(header, "OggS", 4) != 0 ||
        source.Read(header + 27, header[26]) != header[26]) {
      std::snprintf(text, sizeof text, "truncated or damaged at offset %llu (no whole page header)",
                    static_cast<unsigned long long>(at));
      problem = text;
      return false;
    }
    const size_t headerSize = 27 + size_t{header[26]};
    size_t body = 0;
    for (size_t s = 27; s < headerSize; ++s) body += header[s];
    if (body > size - at - headerSize) {
      std::snprintf(text, sizeof text, "truncated (the page at offset %llu runs past the end)",
                    static_cast<unsigned long long>(at));
      problem = text;
      return false;
    }
    page.assign(header, header + headerSize);
    page.resize(headerSize + body);
    source.Read(page.data() + headerSize, body);
    const uint32_t stored = page[22] | page[23] << 8 | page[24] << 16 | static_cast<uint32_t>(page[25]) << 24;
    std::memset(page.data() + 22, 0, 4);
    if (PageCrc(page.data(), page.size(), 0) != stored) {
      std::snprintf(text, sizeof text, "damaged page at offset %llu (checksum)", static_cast<unsigned long long>(at));
      problem = text;
      return false;
    }
    at += headerSize + body;
  }
  return true;
}

const char* VorbisError(int code) {
  switch (code) {
    case OV_EREAD: return "read error";
    case OV_ENOTVORBIS: return "not Vorbis data";
    case OV_EVERSION: return "unsupported Vorbis version";
    case OV_EBADHEADER: return "bad Vorbis header";
    case OV_EFAULT: return "decoder fault";
    case OV_HOLE: return "corrupt or missing data in the stream";
    case OV_EBADLINK: return "bad link in the stream";
    case OV_EINVAL: return "invalid stream";
    default: return "broken Ogg data";
  }
}

class OggDecoder final : public Decoder {
 public:
  explicit OggDecoder(std::unique_ptr<ByteSource> source) : m_source(std::move(source)) {}
  ~OggDecoder() override {
    if (m_open) ov_clear(&m_file);
  }

  bool Open(std::string& problem) {
    if (!OpenChecked(problem)) {
      if (m_source->Broken()) problem = m_source->Problem();  // the cause, not what it led to
      return false;
    }
    return true;
  }

  bool OpenChecked(std::string& problem) {
    if (!CheckPages(*m_source, problem) || !CheckVorbisSetups(*m_source, problem)) return false;
    m_source->Seek(0);
    ov_callbacks callbacks{ReadCallback, SeekCallback, nullptr, TellCallback};
    const int result = ov_open_callbacks(m_source.get(), &m_file, nullptr, 0, callbacks);
    if (result < 0) {
      problem = VorbisError(result);
      return false;
    }
    m_open = true;
    const vorbis_info* info = ov_info(&m_file, -1);
    if (!info || info->channels <= 0 || info->channels > 8 || info->rate < static_cast<long>(kMinRate) || info->rate > static_cast<long>(kMaxRate)) {
      problem = "bad channel count or rate";
      return false;
    }
    m_channels = static_cast<uint32_t>(info->channels);
    m_rate = static_cast<uint32_t>(info->rate);
    const ogg_int64_t total = ov_pcm_total(&m_file, -1);
    m_frames = total > 0 ? static_cast<uint64_t>(total) : 0;
    return true;
  }

  long Read(float* out, uint32_t frames) override {
    const long got = ReadFrames(out, frames);
    if (got < 0 && m_source->Broken()) m_problem = m_source->Problem();
    return got;
  }

  long ReadFrames(float* out, uint32_t frames) {
    uint32_t done = 0;
    while (done < frames) {
      float** pcm = nullptr;
      int section = 0;
      const long got = ov_read_float(&m_file, &pcm, static_cast<int>(std::min<uint32_t>(frames - done, 4096)), &section);
      if (got == 0) {
        // Damaged pages can leave the reader at its end early; a short sound is a broken one.
        if (m_position < m_frames) {
          char text[96];
          std::snprintf(text, sizeof text, "the data ends after %llu of %llu frames",
                        static_cast<unsigned long long>(m_position), static_cast<unsigned long long>(m_frames));
          m_problem = text;
          return -1;
        }
        break;
      }
      if (got < 0) {
        m_problem = VorbisError(static_cast<int>(got));
        return -1;
      }
      const vorbis_info* info = ov_info(&m_file, section);
      if (!info || static_cast<uint32_t>(info->channels) != m_channels || static_cast<uint32_t>(info->rate) != m_rate) {
        m_problem = "a chained section changes the channel count or rate";
        return -1;
      }
      for (long i = 0; i < got; ++i)
        for (uint32_t c = 0; c < m_channels; ++c) {
          const float v = pcm[c][i];
          out[(done + i) * m_channels + c] = std::isfinite(v) ? std::clamp(v, -8.0f, 8.0f) : 0.0f;
        }
      done += static_cast<uint32_t>(got);
      m_position += static_cast<uint64_t>(got);
    }
    return static_cast<long>(done);
  }

  bool Rewind() override {
    m_position = 0;
    return ov_pcm_seek(&m_file, 0) == 0;
  }

 private:
  std::unique_ptr<ByteSource> m_source;
  OggVorbis_File m_file{};
  bool m_open = false;
  uint64_t m_position = 0;  // frames read since the start
};

}  // namespace

std::unique_ptr<Decoder> OpenOggDecoder(std::unique_ptr<ByteSource> source, std::string& problem) {
  auto decoder = std::make_unique<OggDecoder>(std::move(source));
  if (!decoder->Open(problem)) return nullptr;
  return decoder;
}

}  // namespace platform::audio
