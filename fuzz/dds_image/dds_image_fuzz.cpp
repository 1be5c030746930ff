// DDS files from anywhere: the reader must refuse bad ones cleanly, and what it accepts must
// decode without reading past its levels.
#include <cstddef>
#include <cstdint>

#include "platform/gpu/Log.h"
#include "platform/gpux/Dds.h"
#include "platform/gpux/TextureLoad.h"

namespace {
void Quiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gpu::SetLogSink(Quiet);
  gpux::DdsImage image;
  if (gpux::ReadDds(data, size, "fuzz.dds", &image)) {
    gpux::Image decoded;
    gpux::DecodeImage(data, size, "fuzz.dds", &decoded);
  }
  return 0;
}
