// Where a variable lives in one frame of the crashed thread, from its DWARF location expression,
// and the bytes it held there. Registers come from the frame as the crash handler unwound it,
// memory from the crash image; what neither holds is "not available".
#pragma once

#include <elfutils/libdw.h>

#include <cstdint>
#include <string>
#include <vector>

#include "CrashImage.h"

namespace symbolize {

// What an expression may read besides memory.
struct st_FrameState {
  const platform::os::CrashDumpFrame* frame = nullptr;  // null for global variables
  bool hasCfa = false;
  uint64_t cfa = 0;
  bool hasFrameBase = false;
  uint64_t frameBase = 0;
  uint64_t loadBias = 0;  // runtime address minus module address
};

// Evaluates an expression that yields one value (a CFA rule, a frame base); false when it needs
// what is not known.
bool EvaluateAddress(const Dwarf_Op* ops, size_t count, const cl_CrashImage& image, const st_FrameState& state,
                     uint64_t& out);

// The size bytes of the variable whose location is the expression ops (of attribute attr, for
// implicit values). False with why set ("optimized out", "not available") when they are not
// all known.
bool ReadLocation(Dwarf_Attribute* attr, const Dwarf_Op* ops, size_t count, size_t size, const cl_CrashImage& image,
                  const st_FrameState& state, std::vector<uint8_t>& out, std::string& why);

}  // namespace symbolize
