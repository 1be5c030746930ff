// The crash dump: a small file of our own beside the crash report, enough to walk the faulting
// thread's stack again offline. A header, the signal information, the register context, the
// text of /proc/self/maps and up to 64 KiB of the stack upward from the stack pointer. Full core
// dumps stay with the system. Little-endian, as the process wrote it.
#pragma once

#include <signal.h>
#include <ucontext.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::os {

constexpr char kCrashDumpMagic[8] = {'Q', 'L', 'C', 'R', 'A', 'S', 'H', 0};
constexpr uint32_t kCrashDumpVersion = 1;
constexpr uint32_t kCrashDumpMaxStack = 64 * 1024;

// The file starts with this record; the four blocks follow in the order of their sizes here.
struct CrashDumpHeader {
  char magic[8];
  uint32_t version;
  uint32_t headerSize;    // sizeof(CrashDumpHeader)
  int32_t signal;
  int32_t code;           // si_code
  uint64_t faultAddress;  // si_addr
  int32_t processId;
  int32_t threadId;
  uint32_t siginfoSize;    // bytes of siginfo_t
  uint32_t registerCount;  // 64-bit general registers, in the order of the kernel's context
  uint32_t mapsSize;       // bytes of /proc/self/maps text
  uint32_t stackSize;      // bytes of stack
  uint64_t stackAddress;   // address of the first stack byte (the stack pointer)
};

static_assert(sizeof(CrashDumpHeader) == 64, "the dump header is a file format");

// What a dump holds, read back.
struct CrashDump {
  CrashDumpHeader header{};
  std::vector<uint8_t> siginfo;
  std::vector<uint64_t> registers;
  std::string maps;
  std::vector<uint8_t> stack;
};

// Writes the dump to fd from inside the signal handler (async-signal-safe). The stack copy stops
// at the end of the mapping that holds the stack pointer, so no unmapped byte is read. False
// when a write failed.
bool WriteCrashDump(int fd, const siginfo_t* info, const ucontext_t* context, const char* maps,
                    size_t mapsLength);

// Reads a dump from memory; false with error set ("bad magic", "block past end", …) when the
// bytes are not a whole dump of this version.
bool ParseCrashDump(const uint8_t* data, size_t size, CrashDump& out, std::string& error);
// The same from a file; error names the file.
bool ReadCrashDump(const std::string& path, CrashDump& out, std::string& error);

}  // namespace platform::os
