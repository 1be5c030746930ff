// Reads arbitrary bytes as a crash dump: either refused with a reason, or every block read back
// with the sizes its header gives.
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
      dump.maps.size() != h.mapsSize || dump.stack.size() != h.stackSize)
    std::abort();
  return 0;
}
