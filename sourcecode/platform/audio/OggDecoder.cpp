// Ogg Vorbis through libvorbisfile, reading through our ByteSource so that memory and files go the
// same way and nothing is read past the bytes given. A file whose last page is cut off is refused
// rather than played short.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

#include "platform/audio/Decoder.h"

namespace platform::audio {
namespace {

size_t ReadCallback(void* out, size_t size, size_t count, void* source) {
  if (size == 0) return 0;
  return static_cast<ByteSource*>(source)->Read(out, size * count) / size;
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

// The last page in the file must end where the bytes end; a cut-off download or copy does not.
bool LastPageComplete(ByteSource& source) {
  const uint64_t size = source.Size();
  const uint64_t start = size > 65536 ? size - 65536 : 0;
  std::vector<uint8_t> tail(static_cast<size_t>(size - start));
  if (!source.Seek(start) || source.Read(tail.data(), tail.size()) != tail.size()) return false;
  for (size_t i = tail.size() >= 27 ? tail.size() - 27 + 1 : 0; i-- > 0;) {
    if (std::memcmp(tail.data() + i, "OggS", 4) != 0) continue;
    const size_t segments = tail[i + 26];
    if (i + 27 + segments > tail.size()) return false;
    size_t body = 0;
    for (size_t s = 0; s < segments; ++s) body += tail[i + 27 + s];
    return i + 27 + segments + body == tail.size();
  }
  return false;
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
    if (!LastPageComplete(*m_source)) {
      problem = "truncated (the last Ogg page runs past the end)";
      return false;
    }
    m_source->Seek(0);
    ov_callbacks callbacks{ReadCallback, SeekCallback, nullptr, TellCallback};
    const int result = ov_open_callbacks(m_source.get(), &m_file, nullptr, 0, callbacks);
    if (result < 0) {
      problem = VorbisError(result);
      return false;
    }
    m_open = true;
    const vorbis_info* info = ov_info(&m_file, -1);
    if (!info || info->channels <= 0 || info->channels > 8 || info->rate <= 0 || info->rate > 384000) {
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
    uint32_t done = 0;
    while (done < frames) {
      float** pcm = nullptr;
      int section = 0;
      const long got = ov_read_float(&m_file, &pcm, static_cast<int>(std::min<uint32_t>(frames - done, 4096)), &section);
      if (got == 0) break;
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
          out[(done + i) * m_channels + c] = v == v ? v : 0.0f;
        }
      done += static_cast<uint32_t>(got);
    }
    return static_cast<long>(done);
  }

  bool Rewind() override { return ov_pcm_seek(&m_file, 0) == 0; }

 private:
  std::unique_ptr<ByteSource> m_source;
  OggVorbis_File m_file{};
  bool m_open = false;
};

}  // namespace

std::unique_ptr<Decoder> OpenOggDecoder(std::unique_ptr<ByteSource> source, std::string& problem) {
  auto decoder = std::make_unique<OggDecoder>(std::move(source));
  if (!decoder->Open(problem)) return nullptr;
  return decoder;
}

}  // namespace platform::audio
