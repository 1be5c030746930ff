// Profile text from anywhere: the reader must take any bytes, and the options it leaves must
// either compress a small image into a consistent stream (every level the size its format
// gives, as many levels as the header states) or be refused before anything is written. The
// last bytes of the input also pick the image size and the options no profile can set (size
// rules, clamps, target box, swaps, borders, a rectangle).
#include "dds/CompressImage.h"
#include "dds/file/DdsHeader.h"
#include "dds/Log.h"
#include "dds/file/Profile.h"
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

  uint8_t c[12] = {};
  const size_t n = size < sizeof c ? size : sizeof c;
  std::memcpy(c + sizeof c - n, data + size - n, n);
  options.rescale_type = c[2] % 8;
  options.rescale_width = static_cast<float>(c[3] % 64) / 16.0f;
  options.rescale_height = static_cast<float>(c[3] / 4 % 64) / 16.0f;
  options.clamp_size = c[4] & 1;
  options.clamp_width = static_cast<float>(c[5] % 50);
  options.clamp_height = static_cast<float>(c[5] / 50);
  options.resample_to_target = (c[4] >> 1) & 1;
  options.target_width = options.target_height = static_cast<float>(c[6] % 50);
  options.swap_rb = (c[4] >> 2) & 1;
  options.swap_rg = (c[4] >> 3) & 1;
  options.b_luminance = (c[4] >> 4) & 1;
  options.alpha_border_left = options.alpha_border_top = (c[4] >> 5) & 1;
  options.contrast_scale[1] = (c[4] >> 6) & 1 ? 2.0f : 1.0f;

  dds::Image image;
  image.width = 1 + c[0] % 40;
  image.height = 1 + c[1] % 40;
  image.rgbe = c[4] >> 7;
  image.pixels.resize(static_cast<dds::u32>(image.width * image.height));
  for (dds::u32 i = 0; i < image.pixels.size(); ++i) image.pixels[i] = 0x80402010u * (i + 1);
  const dds::i32 rect[4] = {static_cast<int8_t>(c[8]), static_cast<int8_t>(c[9]),
                            static_cast<int8_t>(c[10]), static_cast<int8_t>(c[11])};
  const dds::i32 result = dds::CompressImage(image, options, Record, (c[7] & 1) ? rect : nullptr);
  if (result != 0) {
    // Every refusal of this library comes before the header.
    if (stream.header_calls != 0) std::abort();
    return 0;
  }
  const uint32_t stated = (stream.flags & 0x20000) ? stream.mip_count : 1;
  if (stated != static_cast<uint32_t>(stream.level_calls)) std::abort();
  return 0;
}
