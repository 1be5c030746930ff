// Writing the crash dump from the signal handler, and reading it back.
#include "platform/os/CrashDump.h"

#include <fcntl.h>
#include <link.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/auxv.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
    if (n <= 0) {
      if (n == 0) errno = EIO;  // the caller names the cause from errno
      return false;
    }
    p += n;
    size -= size_t(n);
  }
  return true;
}

// The program's writable segments, found at start-up: nothing may be looked up in the handler.
struct st_Segment {
  uint64_t address, size;
};
constexpr int kMaxSegments = 8;
st_Segment g_segments[kMaxSegments];
int g_segmentCount = 0;
uint32_t g_flags = 0;

// Reads the program's data whole, the sanitizer's poisoned red zones between globals included.
__attribute__((no_sanitize("address"))) bool AllZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i]) return false;
  }
  return true;
}

// Writes a segment as regions: runs of pages holding data, with their bytes while the budget
// lasts, and runs of zero pages as records alone. Counts what it wrote.
bool WriteSegment(int fd, const st_Segment& segment, uint64_t& budget, uint32_t& regions, uint64_t& bytes) {
  constexpr uint64_t kPage = 4096;
  const uint64_t end = segment.address + segment.size;
  uint64_t run = segment.address;
  bool runFilled = false;
  for (uint64_t at = segment.address; run < end;) {
    const uint64_t next = (at & ~(kPage - 1)) + kPage < end ? (at & ~(kPage - 1)) + kPage : end;
    const bool filled = at < end && !AllZero(reinterpret_cast<const uint8_t*>(uintptr_t(at)), size_t(next - at));
    if (at > run && (at == end || filled != runFilled)) {
      CrashDumpRegion record = {run, at - run, runFilled ? 1u : 0u};
      if (record.filled && record.size > budget) record.size = budget;  // the rest is left out
      if (record.size > 0) {
        if (!WriteAll(fd, &record, sizeof record)) return false;
        if (record.filled && !WriteAll(fd, reinterpret_cast<const void*>(uintptr_t(run)), size_t(record.size)))
          return false;
        ++regions;
        bytes += sizeof record + (record.filled ? record.size : 0);
        if (record.filled) budget -= record.size;
      }
      run = at;
    }
    runFilled = filled;
    at = next;
  }
  return true;
}

}  // namespace

void PrepareCrashDataRegions(bool writeGlobals) {
  g_segmentCount = 0;
  g_flags = writeGlobals ? kCrashDumpGlobals : 0;
  if (!writeGlobals) return;
  const auto* phdr = reinterpret_cast<const ElfW(Phdr)*>(getauxval(AT_PHDR));
  const size_t count = getauxval(AT_PHNUM);
  if (!phdr) return;
  uint64_t bias = 0;  // where the program was loaded; its headers name their own address
  for (size_t i = 0; i < count; ++i) {
    if (phdr[i].p_type == PT_PHDR) bias = uint64_t(reinterpret_cast<uintptr_t>(phdr)) - phdr[i].p_vaddr;
  }
  for (size_t i = 0; i < count && g_segmentCount < kMaxSegments; ++i) {
    if (phdr[i].p_type == PT_LOAD && (phdr[i].p_flags & PF_W) && phdr[i].p_memsz > 0)
      g_segments[g_segmentCount++] = {bias + phdr[i].p_vaddr, phdr[i].p_memsz};
  }
}

bool WriteCrashDump(int fd, const siginfo_t* info, const ucontext_t* context, const char* maps, size_t mapsLength,
                    const CrashDumpFrame* frames, int frameCount) {
  // A function that calls nothing keeps its locals in the 128 bytes below the stack pointer.
  constexpr uint64_t kRedZone = 128;
  const uint64_t sp = uint64_t(context->uc_mcontext.gregs[REG_RSP]);
  uint64_t start = 0, end = 0;
  uint64_t from = sp, stackSize = 0;
  if (FindMapping(maps, mapsLength, sp, &start, &end)) {
    from = sp - start >= kRedZone ? sp - kRedZone : start;
    stackSize = end - from;
  }
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
  header.stackAddress = from;
  header.frameCount = uint32_t(frameCount > 0 ? frameCount : 0);
  header.flags = g_flags;

  // The region counts are known once the regions are written: the header is written again then.
  bool ok = WriteAll(fd, &header, sizeof header) && WriteAll(fd, info, sizeof(siginfo_t)) &&
            WriteAll(fd, context->uc_mcontext.gregs, sizeof(greg_t) * NGREG) && WriteAll(fd, maps, mapsLength) &&
            WriteAll(fd, reinterpret_cast<const void*>(uintptr_t(from)), size_t(stackSize)) &&
            WriteAll(fd, frames, sizeof(CrashDumpFrame) * header.frameCount);
  uint64_t budget = kCrashDumpMaxData;
  for (int i = 0; ok && i < g_segmentCount; ++i)
    ok = WriteSegment(fd, g_segments[i], budget, header.regionCount, header.regionBytes);
  return ok && lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, &header, sizeof header);
}

bool CrashDump::Read(uint64_t address, void* out, size_t size) const {
  // A value may span regions that lie side by side (a run of zeros and a run of data).
  uint8_t* to = static_cast<uint8_t*>(out);
  while (size > 0) {
    size_t n = 0;
    if (address >= header.stackAddress && address - header.stackAddress < stack.size()) {
      n = std::min<uint64_t>(size, stack.size() - (address - header.stackAddress));
      memcpy(to, stack.data() + (address - header.stackAddress), n);
    } else {
      for (const Region& r : regions) {
        if (address < r.address || address - r.address >= r.size) continue;
        n = std::min<uint64_t>(size, r.size - (address - r.address));
        if (r.bytes.empty())
          memset(to, 0, n);
        else
          memcpy(to, r.bytes.data() + (address - r.address), n);
        break;
      }
    }
    if (n == 0) return false;
    address += n;
    to += n;
    size -= n;
  }
  return true;
}

bool ParseCrashDump(const uint8_t* data, size_t size, CrashDump& out, std::string& error) {
  out = CrashDump();
  constexpr uint32_t kVersion1HeaderSize = 64;
  if (size < kVersion1HeaderSize) {
    error = "shorter than its header (" + std::to_string(size) + " bytes)";
    return false;
  }
  CrashDumpHeader& h = out.header;
  memcpy(&h, data, kVersion1HeaderSize);
  if (memcmp(h.magic, kCrashDumpMagic, sizeof h.magic) != 0) {
    error = "bad magic";
    return false;
  }
  const bool v1 = h.version == 1 && h.headerSize == kVersion1HeaderSize;
  if (!v1 && !(h.version == kCrashDumpVersion && h.headerSize == sizeof(CrashDumpHeader))) {
    error = "version " + std::to_string(h.version) + " with a header of " + std::to_string(h.headerSize) +
            " bytes is not readable here";
    return false;
  }
  if (!v1) {
    if (size < sizeof h) {
      error = "shorter than its header (" + std::to_string(size) + " bytes)";
      return false;
    }
    memcpy(&h, data, sizeof h);
  }
  // Sizes are summed in 64 bits, and the region bytes checked before they are added, so hostile
  // counts cannot wrap past the check.
  const uint64_t registerBytes = uint64_t(h.registerCount) * 8;
  const uint64_t frameBytes = uint64_t(h.frameCount) * sizeof(CrashDumpFrame);
  const uint64_t blocks =
      uint64_t(h.headerSize) + h.siginfoSize + registerBytes + h.mapsSize + h.stackSize + frameBytes;
  if (blocks > size || h.regionBytes > size - blocks) {
    error = "blocks end past the end of the file (" + std::to_string(size) + " bytes)";
    return false;
  }
  size_t at = h.headerSize;
  out.siginfo.assign(data + at, data + at + h.siginfoSize);
  at += h.siginfoSize;
  out.registers.resize(h.registerCount);
  if (registerBytes) memcpy(out.registers.data(), data + at, registerBytes);
  at += registerBytes;
  out.maps.assign(reinterpret_cast<const char*>(data) + at, h.mapsSize);
  at += h.mapsSize;
  out.stack.assign(data + at, data + at + h.stackSize);
  at += h.stackSize;
  out.frames.resize(h.frameCount);
  if (frameBytes) memcpy(out.frames.data(), data + at, frameBytes);
  at += frameBytes;
  uint64_t left = h.regionBytes;
  for (uint32_t i = 0; i < h.regionCount; ++i) {
    CrashDumpRegion record;
    if (left < sizeof record) {
      error = "data region " + std::to_string(i) + " lies past the end of its block";
      return false;
    }
    memcpy(&record, data + at, sizeof record);
    at += sizeof record;
    left -= sizeof record;
    const uint64_t stored = record.filled ? record.size : 0;
    if (stored > left || record.filled > 1) {
      error = "data region " + std::to_string(i) + " lies past the end of its block";
      return false;
    }
    out.regions.push_back({record.address, record.size, std::vector<uint8_t>(data + at, data + at + stored)});
    at += stored;
    left -= stored;
  }
  if (left != 0) {
    error = "the data regions leave " + std::to_string(left) + " bytes of their block unused";
    return false;
  }
  return true;
}

bool ReadCrashDump(const std::string& path, CrashDump& out, std::string& error) {
  std::string text;
  unsigned mode = 0;
  if (!ReadCrashFile(path, text, mode, error)) {
    error = "crash dump '" + path + "' " + error;
    return false;
  }
  if (!ParseCrashDump(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out, error)) {
    error = "crash dump '" + path + "': " + error;
    return false;
  }
  return true;
}

bool ReadCrashFile(const std::string& path, std::string& bytes, unsigned& mode, std::string& error) {
  bytes.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno == ELOOP ? std::string("is a symbolic link")
                           : std::string("cannot be opened (") + strerror(errno) + ")";
    return false;
  }
  // The type of what was opened, not of a name that may have changed in between.
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    error = "is not a regular file";
    return false;
  }
  mode = unsigned(st.st_mode & 07777);
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::string("cannot be read (") + strerror(errno) + ")";
      close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(chunk, size_t(n));
  }
  close(fd);
  return true;
}

}  // namespace platform::os
