// The text of the crash report, written from inside the crash signal handler: the exception's
// name, the registers, the fault address and the call stack with module offsets. Everything
// here is async-signal-safe: fixed buffers, our own number formatting, write(2) only. The
// variables of the frames are the symboliser's, from the crash dump.
#pragma once

#include <signal.h>
#include <ucontext.h>

#include <cstddef>
#include <cstdint>

#include "platform/os/CrashDump.h"

namespace platform::os {

// A line writer over a fixed buffer: text is gathered until a line ends (or the buffer is full,
// longer text is cut) and then written to the report file and echoed to the console.
class CrashText {
 public:
  CrashText(int fd, int echoFd) : m_fd(fd), m_echoFd(echoFd) {}
  CrashText& Str(const char* text);
  CrashText& Str(const char* text, size_t length);
  // Upper-case hexadecimal, zero-padded to at least width digits.
  CrashText& Hex(uint64_t value, int width = 0);
  CrashText& Dec(int64_t value);
  // Writes what is gathered (also done at every "\n").
  void Flush();
  // errno of the first write to the report file that failed or fell short (EIO when the system
  // gave none); 0 while every line went in whole. Nothing more goes to the file after it.
  int WriteError() const { return m_writeError; }

 private:
  static constexpr size_t kRoom = 1024;
  char m_buffer[kRoom];
  size_t m_length = 0;
  int m_fd;
  int m_echoFd;
  int m_writeError = 0;
};

// The report's name of a fault: the table code and name the report prints. Signals outside the
// table get their own number and description (code 0 when the signal is unknown).
struct CrashCodeName {
  uint32_t code;
  const char* name;
};
CrashCodeName NameCrashCode(int signal, int siCode, bool stackFault);

// A SIGSEGV whose address lies just around the stack pointer is a stack overflow: a guard page
// or the end of the stack's growth area was hit.
bool IsStackFault(uint64_t faultAddress, uint64_t stackPointer);

// One mapped module of /proc/self/maps: its path (pointing into the maps text) and load base,
// the start of its mapping at file offset 0.
struct CrashModule {
  const char* path = nullptr;
  size_t pathLength = 0;
  uint64_t base = 0;
};
// The module that maps address, from the text of /proc/self/maps. False when no named mapping
// holds it (anonymous memory, the stack, or an address that is not mapped at all).
bool FindCrashModule(const char* maps, size_t length, uint64_t address, CrashModule* out);
// The start and end of the mapping that holds address; false when none does.
bool FindMapping(const char* maps, size_t length, uint64_t address, uint64_t* start, uint64_t* end);

// One line of the maps text: the mapping, its file offset, whether it may be written, and the
// path (pointing into the maps text; empty for anonymous memory).
struct CrashMapping {
  uint64_t start = 0, end = 0, offset = 0;
  bool writable = false;
  const char* path = nullptr;
  size_t pathLength = 0;
};
// The mapping that holds address; false when none does.
bool FindCrashMapping(const char* maps, size_t length, uint64_t address, CrashMapping* out);

// Most frames the call stack lists.
constexpr int kCrashMaxFrames = 64;

// A frame's raw symbol as the unwinder names it, and the offset into it.
struct CrashFrameName {
  char text[1024];
  uint64_t offset;
  bool known;
};

// Unwinds the faulting thread from context into frames and names (room for kCrashMaxFrames
// each); the number of frames.
int WalkCrashStack(const ucontext_t* context, CrashDumpFrame* frames, CrashFrameName* names);

// The marker line where the symboliser puts the variables of the frames.
constexpr const char* kCrashVariablesLine =
    "Local variables, parameters and global variables: quillane-symbolize lists them from the crash dump.";

// The whole report for the signal, its context and the frames WalkCrashStack found. fd may be
// -1 (console only). The CrashText::WriteError of the file: 0 when the report went in whole.
int WriteCrashReport(int fd, int echoFd, const siginfo_t* info, const ucontext_t* context, const char* maps,
                      size_t mapsLength, const CrashDumpFrame* frames, const CrashFrameName* names, int frameCount);

}  // namespace platform::os
