// The fixed table of one-dimensional reconstruction filters the resampler builds its weights from.
// Rows are found by name or by index; the mip pipeline may copy a row and change its support
// and blur.
#pragma once

#include "dds/tVector.h"

namespace dds {

using FilterFunc = f64 (*)(f64 x, const void* params);
using FilterInit = void (*)(void* params);

struct FilterDesc {
  const char* name;
  FilterFunc func;
  f64 support;  // half-width in source pixels at scale 1
  f64 blur;     // stretch factor
  u8 windowed;
  u8 interpolating;  // 1 at 0 and 0 at the other integers: may become "point"
  u8 unit_range;
  FilterInit init;
  void* params;
  u32 reserved;
};

// Number of rows; valid indexes are 0 .. kFilterCount - 1.  ORDER FILTER
constexpr int kFilterCount = 14;

// Fills the parameter blocks; the lookups call it on first use.
void InitFilterTable();

// First row named exactly `name` (case-sensitive), or null.
const FilterDesc* FindFilterByName(const char* name);

// Row `index`, or null (with a log line) for an index outside 0 .. kFilterCount - 1, so a bad
// option value cannot read past the table.
const FilterDesc* GetFilterByIndex(int index);

// Modified Bessel function of order 0 by its power series (terms down to 1e-7).
f64 BesselI0(f64 x);

// Evaluates the row's function at x with the row's parameters.
inline f64 EvalFilter(const FilterDesc& filter, f64 x) { return filter.func(x, filter.params); }

}  // namespace dds
