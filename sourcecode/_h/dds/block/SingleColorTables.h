// Tables of the single-colour path of the colour encoder, built once per process on first use
// (thread-safe), so that encoding on several threads needs no preparation.
#pragma once

#include <cstdint>

namespace dds {

// One grey row: red0, green0, blue0, red1, green1, blue1, palette size (3 or 4), index.
struct GreyRow {
  int32_t v[8];
};

// The best encoding of grey level g under the truncating decoder: both palette sizes allowed
// (`four_only` false) or four colours only.
const GreyRow& GreyTableRow(bool four_only, int g);

// One entry of the per-channel single-colour table: a code pair whose rule value is the index.
struct SingleColorEntry {
  uint8_t valid;
  uint8_t a;  // endpoint 0 code shifted left by (8 − bits)
  uint8_t b;  // endpoint 1 code, likewise
};

// Entry for 8-bit value v (0..255), channel (0 red, 1 green, 2 blue) and rule (0 the endpoint,
// 1 the three-colour midpoint, 2 the four-colour two-thirds point).
const SingleColorEntry& SingleColorTableEntry(int v, int channel, int rule);

}  // namespace dds
