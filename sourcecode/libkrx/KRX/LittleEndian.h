// Little-endian words in byte code, compiled module files and debugger-link messages: one reader
// for all of them, so the byte order is decided in one place. The callers check the bounds.
#pragma once

#include <cstdint>

namespace KRX {

// The 16-bit word at p, lowest byte first.
inline uint16_t ReadLE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// The 32-bit word at p, lowest byte first.
inline uint32_t ReadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace KRX
