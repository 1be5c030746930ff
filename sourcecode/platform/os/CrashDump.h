// The crash dump: a small file of our own beside the crash report, enough to read the faulting
// thread's frames again offline. A header, the signal information, the register context, the
// text of /proc/self/maps, up to 256 KiB of the stack upward from just below the stack pointer,
// the frames as the handler unwound them (their registers), and the program's writable data
// (its globals, pages of zeros only noted). Full core dumps stay with the system. Little-endian,
// as the process wrote it.
#pragma once

#include <signal.h>
#include <ucontext.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::os {

constexpr char kCrashDumpMagic[8] = {'Q', 'L', 'C', 'R', 'A', 'S', 'H', 0};
// Version 1 ends after the stack; version 2 adds the frames and the data regions.
constexpr uint32_t kCrashDumpVersion = 2;
constexpr uint32_t kCrashDumpMaxStack = 256 * 1024;
// The most bytes of program data a dump holds (pages of zeros not counted); data past it is left
// out.
constexpr uint64_t kCrashDumpMaxData = 64u << 20;
// Registers of a frame in the DWARF numbering of x86-64: 0 RAX, 1 RDX, 2 RCX, 3 RBX, 4 RSI,
// 5 RDI, 6 RBP, 7 RSP, 8 … 15 R8 … R15, 16 RIP (the return address column).
constexpr int kCrashFrameRegisters = 17;
constexpr int kCrashRegisterSp = 7;
constexpr int kCrashRegisterIp = 16;
// Header flag: the report is to list the program's global variables.
constexpr uint32_t kCrashDumpGlobals = 1;

// The file starts with this record; the blocks follow in the order of their sizes here.
struct CrashDumpHeader {
  char magic[8];
  uint32_t version;
  uint32_t headerSize;  // sizeof(CrashDumpHeader); 64 in version 1
  int32_t signal;
  int32_t code;           // si_code
  uint64_t faultAddress;  // si_addr
  int32_t processId;
  int32_t threadId;
  uint32_t siginfoSize;    // bytes of siginfo_t
  uint32_t registerCount;  // 64-bit general registers, in the order of the kernel's context
  uint32_t mapsSize;       // bytes of /proc/self/maps text
  uint32_t stackSize;      // bytes of stack
  uint64_t stackAddress;   // address of the first stack byte (the red zone below the stack pointer)
  // From version 2 on.
  uint32_t frameCount;   // CrashDumpFrame records, innermost first
  uint32_t regionCount;  // data regions, each a CrashDumpRegion and its bytes
  uint64_t regionBytes;  // bytes of all regions with their records
  uint32_t flags;        // kCrashDumpGlobals
  uint32_t reserved;
};

static_assert(sizeof(CrashDumpHeader) == 88, "the dump header is a file format");

// One frame of the faulting thread: registers[n] holds DWARF register n when bit n of known is
// set. The innermost frame knows every register; the frames above it know those a call keeps
// (RBX, RBP, R12 … R15), the stack pointer and the return address.
struct CrashDumpFrame {
  uint64_t registers[kCrashFrameRegisters];
  uint64_t known;
};
static_assert(sizeof(CrashDumpFrame) == 144, "the dump frame is a file format");

// The record of each data region; size bytes follow it when filled is 1, none when the region
// holds only zeros (filled 0).
struct CrashDumpRegion {
  uint64_t address;
  uint64_t size;
  uint64_t filled;
};

// What a dump holds, read back.
struct CrashDump {
  struct Region {
    uint64_t address = 0;
    uint64_t size = 0;
    std::vector<uint8_t> bytes;  // empty for a region of zeros
  };
  CrashDumpHeader header{};
  std::vector<uint8_t> siginfo;
  std::vector<uint64_t> registers;
  std::string maps;
  std::vector<uint8_t> stack;
  std::vector<CrashDumpFrame> frames;
  std::vector<Region> regions;

  // Copies size bytes at address out of the stack and the data regions (a value may span
  // regions side by side); false when a byte lies in none of them.
  bool Read(uint64_t address, void* out, size_t size) const;
};

// Notes the running program's writable segments (its global data) for the dumps to come, and
// whether they are written at all. Called when the handler is installed; not signal-safe.
void PrepareCrashDataRegions(bool writeGlobals);

// Writes the dump to fd from inside the signal handler (async-signal-safe). The stack copy stops
// at the end of the mapping that holds the stack pointer, so no unmapped byte is read. False
// when a write failed or fell short (errno then says why).
bool WriteCrashDump(int fd, const siginfo_t* info, const ucontext_t* context, const char* maps, size_t mapsLength,
                    const CrashDumpFrame* frames, int frameCount);

// Reads a dump of version 1 or 2 from memory; false with error set ("bad magic", "block past
// end", …) when the bytes are not a whole dump.
bool ParseCrashDump(const uint8_t* data, size_t size, CrashDump& out, std::string& error);
// The same from a file; error names the file.
bool ReadCrashDump(const std::string& path, CrashDump& out, std::string& error);

// The whole of a file the crash handler wrote, for the programs that read it afterwards: a link
// under its name is not followed and nothing waits on a FIFO; only a regular file is read. False
// with error set ("is a symbolic link", "is not a regular file", "cannot be opened (<reason>)",
// "cannot be read (<reason>)"); mode gets the file's permission bits.
bool ReadCrashFile(const std::string& path, std::string& bytes, unsigned& mode, std::string& error);

}  // namespace platform::os
