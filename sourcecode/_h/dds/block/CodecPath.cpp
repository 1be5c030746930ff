#include "dds/block/CodecPath.h"

#include <atomic>

namespace dds {
namespace {

std::atomic<bool> g_scalar{false};

}  // namespace

bool ScalarBlockCodec() { return g_scalar.load(std::memory_order_relaxed); }

void SetScalarBlockCodec(bool scalar) { g_scalar.store(scalar, std::memory_order_relaxed); }

}  // namespace dds
