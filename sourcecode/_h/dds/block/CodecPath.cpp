#include "dds/block/CodecPath.h"

#include "dds/block/SimdKernels.h"

#include <atomic>

namespace dds {
namespace {

// ORDER PATH
bool Supported(en_BlockCodecPath path) {
  __builtin_cpu_init();
  switch (path) {
    case en_BlockCodecPath::kAvx2: return __builtin_cpu_supports("avx2");
    case en_BlockCodecPath::kSse41: return __builtin_cpu_supports("sse4.1");
    case en_BlockCodecPath::kScalar: break;
  }
  return true;
}

std::atomic<en_BlockCodecPath>& Selected() {
  static std::atomic<en_BlockCodecPath> path{FastestBlockCodecPath()};
  return path;
}

}  // namespace

en_BlockCodecPath FastestBlockCodecPath() {
  static const en_BlockCodecPath fastest = Supported(en_BlockCodecPath::kAvx2)    ? en_BlockCodecPath::kAvx2
                                           : Supported(en_BlockCodecPath::kSse41) ? en_BlockCodecPath::kSse41
                                                                                  : en_BlockCodecPath::kScalar;
  return fastest;
}

en_BlockCodecPath BlockCodecPath() { return Selected().load(std::memory_order_relaxed); }

bool SetBlockCodecPath(en_BlockCodecPath path) {
  if (!Supported(path)) return false;
  Selected().store(path, std::memory_order_relaxed);
  return true;
}

const char* BlockCodecPathName(en_BlockCodecPath path) {
  switch (path) {
    case en_BlockCodecPath::kAvx2: return "avx2";
    case en_BlockCodecPath::kSse41: return "sse4.1";
    case en_BlockCodecPath::kScalar: break;
  }
  return "scalar";
}

const st_BlockKernels* BlockKernels() {
  switch (BlockCodecPath()) {
    case en_BlockCodecPath::kAvx2: return &Avx2BlockKernels();
    case en_BlockCodecPath::kSse41: return &Sse41BlockKernels();
    case en_BlockCodecPath::kScalar: break;
  }
  return nullptr;
}

}  // namespace dds
