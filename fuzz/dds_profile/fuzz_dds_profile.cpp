// Profile text from anywhere: the reader must take any bytes, and the options it leaves must
// either compress a small image into a consistent stream (every level the size its format
// gives, as many levels as the header states) or be refused before anything is written.
#include "dds/CompressImage.h"
#include "dds/DdsHeader.h"
#include "dds/Log.h"
#include "dds/Profile.h"
#include "dds/TextureCompressOptions.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Discard(const char*) {}

struct Stream {
  const dds::TextureCompressOptions* options = nullptr;
  int header_calls = 0;
  int level_calls = 0;
  uint32_t mip_count = 0;
  uint32_t flags = 0;
};

dds::i32 Record(const void* data, dds::u32 size, const dds::LevelInfo* info, void* user) {
  Stream& s = *static_cast<Stream*>(user);
  if (!info) {
    if (++s.header_calls == 2) {
      if (size != dds::kDescriptorSize) std::abort();
      std::memcpy(&s.flags, static_cast<const uint8_t*>(data) + 4, 4);
      std::memcpy(&s.mip_count, static_cast<const uint8_t*>(data) + 24, 4);
    }
    return 0;
  }
  if (s.header_calls != 2 || info->level != static_cast<uint32_t>(s.level_calls)) std::abort();
  const dds::i32 expected =
      dds::GetLevelSize(s.options->texture_format, static_cast<dds::i32>(info->width),
                        static_cast<dds::i32>(info->height), static_cast<dds::i32>(info->level));
  if (size != static_cast<dds::u32>(expected) || data == nullptr) std::abort();
  ++s.level_calls;
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dds::SetLogSink(Discard);
  dds::CompressContext context;
  context.Reset();
  dds::TextureCompressOptions options;
  Stream stream;
  stream.options = &options;
  options.user_data = &stream;
  dds::LoadProfileText(context, options, reinterpret_cast<const char*>(data), size, "fuzz");
  if (options.user_data != &stream) std::abort();
  if (std::memchr(context.background_file_name, 0, dds::kProfileTextSize) == nullptr) std::abort();

  // Keep runs short: the exhaustive search is slow, not different in kind.
  if (options.quality > 71) options.quality = 71;
  dds::Image image;
  image.width = 8;
  image.height = 8;
  image.pixels.resize(64);
  for (dds::u32 i = 0; i < 64; ++i) image.pixels[i] = 0x80402010u * (i + 1);
  const dds::i32 result = dds::CompressImage(image, options, Record, nullptr);
  if (result != 0) {
    // Every refusal of this library comes before the header.
    if (stream.header_calls != 0) std::abort();
    return 0;
  }
  const uint32_t stated = (stream.flags & 0x20000) ? stream.mip_count : 1;
  if (stated != static_cast<uint32_t>(stream.level_calls)) std::abort();
  return 0;
}
