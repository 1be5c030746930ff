// Reads arbitrary bytes as a crash dump: either refused with a reason, or every block read back
// with the sizes its header gives, and every data region readable where it says it lies.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/os/CrashDump.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::os::CrashDump dump;
  std::string error;
  if (!platform::os::ParseCrashDump(data, size, dump, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  const platform::os::CrashDumpHeader& h = dump.header;
  if (dump.siginfo.size() != h.siginfoSize || dump.registers.size() != h.registerCount ||
      dump.maps.size() != h.mapsSize || dump.stack.size() != h.stackSize || dump.frames.size() != h.frameCount ||
      dump.regions.size() != h.regionCount)
    std::abort();
  uint8_t bytes[16];
  for (const platform::os::CrashDump::Region& r : dump.regions) {
    if (!r.bytes.empty() && r.bytes.size() != r.size) std::abort();
    const size_t n = r.size < sizeof bytes ? size_t(r.size) : sizeof bytes;
    if (!dump.Read(r.address, bytes, n)) std::abort();
  }
  return 0;
}
