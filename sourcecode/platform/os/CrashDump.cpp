// Writing the crash dump from the signal handler, and reading it back.
#include "platform/os/CrashDump.h"

#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>

#include "platform/os/CrashReport.h"

namespace platform::os {

namespace {

// The raw system call: a sanitizer's write wrapper would check the copied stack bytes against its
// poisoned red zones and stop the report.
bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = syscall(SYS_write, fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

}  // namespace

bool WriteCrashDump(int fd, const siginfo_t* info, const ucontext_t* context, const char* maps,
                    size_t mapsLength) {
  const uint64_t sp = uint64_t(context->uc_mcontext.gregs[REG_RSP]);
  uint64_t start = 0, end = 0;
  uint64_t stackSize = 0;
  if (FindMapping(maps, mapsLength, sp, &start, &end)) stackSize = end - sp;
  if (stackSize > kCrashDumpMaxStack) stackSize = kCrashDumpMaxStack;

  CrashDumpHeader header;
  memset(&header, 0, sizeof header);
  memcpy(header.magic, kCrashDumpMagic, sizeof header.magic);
  header.version = kCrashDumpVersion;
  header.headerSize = sizeof header;
  header.signal = info->si_signo;
  header.code = info->si_code;
  header.faultAddress = uint64_t(reinterpret_cast<uintptr_t>(info->si_addr));
  header.processId = int32_t(getpid());
  header.threadId = int32_t(syscall(SYS_gettid));
  header.siginfoSize = sizeof(siginfo_t);
  header.registerCount = NGREG;
  header.mapsSize = uint32_t(mapsLength);
  header.stackSize = uint32_t(stackSize);
  header.stackAddress = sp;

  return WriteAll(fd, &header, sizeof header) && WriteAll(fd, info, sizeof(siginfo_t)) &&
         WriteAll(fd, context->uc_mcontext.gregs, sizeof(greg_t) * NGREG) && WriteAll(fd, maps, mapsLength) &&
         WriteAll(fd, reinterpret_cast<const void*>(uintptr_t(sp)), size_t(stackSize));
}

bool ParseCrashDump(const uint8_t* data, size_t size, CrashDump& out, std::string& error) {
  out = CrashDump();
  if (size < sizeof(CrashDumpHeader)) {
    error = "shorter than its header (" + std::to_string(size) + " bytes)";
    return false;
  }
  memcpy(&out.header, data, sizeof out.header);
  const CrashDumpHeader& h = out.header;
  if (memcmp(h.magic, kCrashDumpMagic, sizeof h.magic) != 0) {
    error = "bad magic";
    return false;
  }
  if (h.version != kCrashDumpVersion || h.headerSize != sizeof(CrashDumpHeader)) {
    error = "version " + std::to_string(h.version) + " with a header of " + std::to_string(h.headerSize) +
            " bytes is not readable here";
    return false;
  }
  // Sizes are summed in 64 bits, so hostile counts cannot wrap past the check.
  const uint64_t registerBytes = uint64_t(h.registerCount) * 8;
  const uint64_t total = uint64_t(sizeof h) + h.siginfoSize + registerBytes + h.mapsSize + h.stackSize;
  if (total > size) {
    error = "blocks end at byte " + std::to_string(total) + ", past the end of the file (" + std::to_string(size) +
            " bytes)";
    return false;
  }
  size_t at = sizeof h;
  out.siginfo.assign(data + at, data + at + h.siginfoSize);
  at += h.siginfoSize;
  out.registers.resize(h.registerCount);
  if (registerBytes) memcpy(out.registers.data(), data + at, registerBytes);
  at += registerBytes;
  out.maps.assign(reinterpret_cast<const char*>(data) + at, h.mapsSize);
  at += h.mapsSize;
  out.stack.assign(data + at, data + at + h.stackSize);
  return true;
}

bool ReadCrashDump(const std::string& path, CrashDump& out, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = "crash dump '" + path + "': cannot be opened";
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(file);
  if (!ParseCrashDump(bytes.data(), bytes.size(), out, error)) {
    error = "crash dump '" + path + "': " + error;
    return false;
  }
  return true;
}

}  // namespace platform::os
