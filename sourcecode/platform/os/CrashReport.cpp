// The crash report's text. Runs inside a signal handler: no allocation, no stdio, no locks.
#include "platform/os/CrashReport.h"

#define UNW_LOCAL_ONLY
#include <libunwind.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>

namespace platform::os {

// ---- Line writer

CrashText& CrashText::Str(const char* text) { return Str(text, strlen(text)); }

CrashText& CrashText::Str(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (m_length < kRoom) m_buffer[m_length++] = text[i];
    if (text[i] == '\n') Flush();
  }
  return *this;
}

CrashText& CrashText::Hex(uint64_t value, int width) {
  char digits[16];
  int n = 0;
  do {
    digits[n++] = "0123456789ABCDEF"[value & 15];
    value >>= 4;
  } while (value != 0);
  char text[16];
  int length = 0;
  for (int pad = width - n; pad > 0 && length < 16 - n; --pad) text[length++] = '0';
  while (n > 0) text[length++] = digits[--n];
  return Str(text, size_t(length));
}

CrashText& CrashText::Dec(int64_t value) {
  char text[24];
  int length = 0;
  uint64_t magnitude = value < 0 ? 0 - uint64_t(value) : uint64_t(value);
  char digits[20];
  int n = 0;
  do {
    digits[n++] = char('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) text[length++] = '-';
  while (n > 0) text[length++] = digits[--n];
  return Str(text, size_t(length));
}

void CrashText::Flush() {
  // A short write (full disk, closed console) is not retried beyond what write itself gives:
  // the report must not stall the dying process. A report with a hole is no report: the failure
  // is kept, so that the file is thrown away instead of put in place.
  if (m_fd >= 0 && m_length > 0 && m_writeError == 0) {
    size_t done = 0;
    while (done < m_length) {
      const ssize_t n = write(m_fd, m_buffer + done, m_length - done);
      if (n <= 0) {
        m_writeError = n < 0 ? errno : EIO;
        break;
      }
      done += size_t(n);
    }
  }
  if (m_echoFd >= 0 && m_length > 0) {
    const ssize_t ignored = write(m_echoFd, m_buffer, m_length);
    (void)ignored;
  }
  m_length = 0;
}

// ---- Names

CrashCodeName NameCrashCode(int signal, int siCode, bool stackFault) {
  switch (signal) {
    case SIGSEGV:
      return stackFault ? CrashCodeName{0xC00000FD, "STACK_OVERFLOW"} : CrashCodeName{0xC0000005, "ACCESS_VIOLATION"};
    case SIGBUS:
      return siCode == BUS_ADRALN ? CrashCodeName{0x80000002, "DATATYPE_MISALIGNMENT"}
                                  : CrashCodeName{0xC0000006, "IN_PAGE_ERROR"};
    case SIGILL:
      return siCode == ILL_PRVOPC || siCode == ILL_PRVREG ? CrashCodeName{0xC0000096, "PRIV_INSTRUCTION"}
                                                          : CrashCodeName{0xC000001D, "ILLEGAL_INSTRUCTION"};
    case SIGTRAP:
      return siCode == TRAP_TRACE ? CrashCodeName{0x80000004, "SINGLE_STEP"} : CrashCodeName{0x80000003, "BREAKPOINT"};
    case SIGFPE:
      switch (siCode) {
        case FPE_INTDIV: return {0xC0000094, "INT_DIVIDE_BY_ZERO"};
        case FPE_INTOVF: return {0xC0000095, "INT_OVERFLOW"};
        case FPE_FLTDIV: return {0xC000008E, "FLT_DIVIDE_BY_ZERO"};
        case FPE_FLTOVF: return {0xC0000091, "FLT_OVERFLOW"};
        case FPE_FLTUND: return {0xC0000093, "FLT_UNDERFLOW"};
        case FPE_FLTRES: return {0xC000008F, "FLT_INEXACT_RESULT"};
        case FPE_FLTINV: return {0xC0000090, "FLT_INVALID_OPERATION"};
        case FPE_FLTSUB: return {0xC000008C, "ARRAY_BOUNDS_EXCEEDED"};
        default: break;
      }
      break;
    default:
      break;
  }
  const char* description = sigdescr_np(signal);  // a static text, safe here
  return {uint32_t(signal > 0 ? signal : 0), description ? description : "unknown signal"};
}

bool IsStackFault(uint64_t faultAddress, uint64_t stackPointer) {
  // A frame may reserve a few pages before it touches them, and a push faults one word below.
  constexpr uint64_t kBelow = 256 * 1024, kAbove = 4096;
  return faultAddress + kBelow >= stackPointer && faultAddress <= stackPointer + kAbove;
}

// ---- /proc/self/maps

namespace {

using MapLine = CrashMapping;

uint64_t ParseHex(const char*& p, const char* end) {
  uint64_t value = 0;
  for (; p < end; ++p) {
    const char c = *p;
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    value = value << 4 | uint64_t(digit);
  }
  return value;
}

void SkipField(const char*& p, const char* end) {
  while (p < end && *p == ' ') ++p;
  while (p < end && *p != ' ' && *p != '\n') ++p;
}

// Reads the line starting at p; p moves to the next line. False at the end of the text.
bool NextMapLine(const char*& p, const char* end, MapLine* line) {
  if (p >= end) return false;
  const char* lineEnd = p;
  while (lineEnd < end && *lineEnd != '\n') ++lineEnd;
  *line = MapLine();
  const char* q = p;
  line->start = ParseHex(q, lineEnd);
  if (q < lineEnd && *q == '-') ++q;
  line->end = ParseHex(q, lineEnd);
  while (q < lineEnd && *q == ' ') ++q;
  line->writable = lineEnd - q > 1 && q[1] == 'w';
  SkipField(q, lineEnd);  // permissions
  while (q < lineEnd && *q == ' ') ++q;
  line->offset = ParseHex(q, lineEnd);
  SkipField(q, lineEnd);  // device
  SkipField(q, lineEnd);  // inode
  while (q < lineEnd && *q == ' ') ++q;
  if (q < lineEnd) {
    line->path = q;
    line->pathLength = size_t(lineEnd - q);
  }
  p = lineEnd < end ? lineEnd + 1 : end;
  return true;
}

bool SamePath(const MapLine& a, const char* path, size_t length) {
  return a.pathLength == length && memcmp(a.path, path, length) == 0;
}

}  // namespace

bool FindCrashMapping(const char* maps, size_t length, uint64_t address, CrashMapping* out) {
  const char* p = maps;
  MapLine line;
  while (NextMapLine(p, maps + length, &line)) {
    if (address >= line.start && address < line.end) {
      *out = line;
      return true;
    }
  }
  return false;
}

bool FindMapping(const char* maps, size_t length, uint64_t address, uint64_t* start, uint64_t* end) {
  CrashMapping line;
  if (!FindCrashMapping(maps, length, address, &line)) return false;
  *start = line.start;
  *end = line.end;
  return true;
}

bool FindCrashModule(const char* maps, size_t length, uint64_t address, CrashModule* out) {
  MapLine line, hit;
  // Only files count as modules ("[stack]", "[heap]" and anonymous memory do not).
  if (!FindCrashMapping(maps, length, address, &hit) || hit.pathLength == 0 || hit.path[0] != '/') return false;
  // The load base is where the file's offset 0 is mapped; the mappings of one file are adjacent
  // and in address order, so the lowest one with offset 0 is taken.
  uint64_t base = hit.start - hit.offset;
  const char* p = maps;
  while (NextMapLine(p, maps + length, &line)) {
    if (line.offset == 0 && line.start <= hit.start && SamePath(line, hit.path, hit.pathLength)) {
      base = line.start;
      break;
    }
  }
  out->path = hit.path;
  out->pathLength = hit.pathLength;
  out->base = base;
  return true;
}

// ---- The report

namespace {

void WriteModuleAddress(CrashText& text, const char* maps, size_t mapsLength, uint64_t address) {
  CrashModule module;
  if (FindCrashModule(maps, mapsLength, address, &module)) {
    text.Str(module.path, module.pathLength).Str("+").Hex(address - module.base);
  } else {
    text.Str("?");
  }
}

uint16_t ReadSegment(int which) {
  uint16_t value = 0;
  if (which == 0) asm volatile("mov %%ds, %0" : "=r"(value));
  else if (which == 1) asm volatile("mov %%es, %0" : "=r"(value));
  else asm volatile("mov %%ss, %0" : "=r"(value));
  return value;
}

void WriteRegisters(CrashText& text, const ucontext_t* context) {
  const greg_t* r = context->uc_mcontext.gregs;
  struct st_Register {
    const char* label;
    int index;
  };
  static const st_Register kGeneral[] = {
      {"RAX:", REG_RAX}, {"RBX:", REG_RBX}, {"RCX:", REG_RCX}, {"RDX:", REG_RDX}, {"RSI:", REG_RSI},
      {"RDI:", REG_RDI}, {"R8: ", REG_R8},  {"R9: ", REG_R9},  {"R10:", REG_R10}, {"R11:", REG_R11},
      {"R12:", REG_R12}, {"R13:", REG_R13}, {"R14:", REG_R14}, {"R15:", REG_R15},
  };
  text.Str("\r\nRegisters:\r\n");
  for (const st_Register& g : kGeneral) text.Str(g.label).Hex(uint64_t(r[g.index]), 16).Str("\r\n");
  // CS, GS and FS share one saved word; SS is saved there too by newer kernels (flag 2), and the
  // data segments are the same for every thread, so they are read here.
  const uint64_t segments = uint64_t(r[REG_CSGSFS]);
  const uint16_t ss = (context->uc_flags & 2) ? uint16_t(segments >> 48) : ReadSegment(2);
  text.Str("CS:RIP:").Hex(segments & 0xFFFF, 4).Str(":").Hex(uint64_t(r[REG_RIP]), 16).Str("\r\n");
  text.Str("SS:RSP:").Hex(ss, 4).Str(":").Hex(uint64_t(r[REG_RSP]), 16);
  text.Str("  RBP:").Hex(uint64_t(r[REG_RBP]), 16).Str("\r\n");
  text.Str("DS:").Hex(ReadSegment(0), 4).Str("  ES:").Hex(ReadSegment(1), 4);
  text.Str("  FS:").Hex((segments >> 32) & 0xFFFF, 4).Str("  GS:").Hex((segments >> 16) & 0xFFFF, 4).Str("\r\n");
  text.Str("Flags:").Hex(uint64_t(r[REG_EFL]), 8).Str("\r\n");
}

void WriteCallStack(CrashText& text, const char* maps, size_t mapsLength, const CrashDumpFrame* frames,
                    const CrashFrameName* names, int frameCount) {
  text.Str("\r\nCall stack:\r\n");
  text.Str("Address           Frame             Function            SourceFile\r\n");
  if (frameCount <= 0) {
    text.Str("(the stack cannot be walked)\r\n");
    return;
  }
  for (int i = 0; i < frameCount; ++i) {
    const uint64_t ip = frames[i].registers[kCrashRegisterIp];
    text.Hex(ip, 16).Str("  ").Hex(frames[i].registers[kCrashRegisterSp], 16).Str("  ");
    if (names[i].known)
      text.Str(names[i].text).Str("+").Hex(names[i].offset);
    else
      text.Str("?");
    text.Str("  [");
    WriteModuleAddress(text, maps, mapsLength, ip);
    text.Str("]\r\n");
  }
}

}  // namespace

int WalkCrashStack(const ucontext_t* context, CrashDumpFrame* frames, CrashFrameName* names) {
  unw_cursor_t cursor;
  // libunwind's context on x86-64 is the ucontext; the flag makes the first frame the faulting
  // instruction itself rather than a return address.
  if (unw_init_local2(&cursor, const_cast<ucontext_t*>(context), UNW_INIT_SIGNAL_FRAME) != 0) return 0;
  // The registers a call keeps, and with them the frame's stack pointer and return address, are
  // right in every frame; the others only in the faulting one.
  static const int kKept[] = {UNW_X86_64_RBX, UNW_X86_64_RBP, UNW_X86_64_R12, UNW_X86_64_R13,
                              UNW_X86_64_R14, UNW_X86_64_R15, UNW_X86_64_RSP, UNW_X86_64_RIP};
  static const int kContext[kCrashFrameRegisters] = {REG_RAX, REG_RDX, REG_RCX, REG_RBX, REG_RSI, REG_RDI,
                                                     REG_RBP, REG_RSP, REG_R8,  REG_R9,  REG_R10, REG_R11,
                                                     REG_R12, REG_R13, REG_R14, REG_R15, REG_RIP};
  int count = 0;
  for (; count < kCrashMaxFrames; ++count) {
    CrashDumpFrame& frame = frames[count];
    memset(&frame, 0, sizeof frame);
    if (count == 0) {
      for (int r = 0; r < kCrashFrameRegisters; ++r)
        frame.registers[r] = uint64_t(context->uc_mcontext.gregs[kContext[r]]);
      frame.known = (uint64_t(1) << kCrashFrameRegisters) - 1;
    } else {
      for (int r : kKept) {
        unw_word_t value = 0;
        if (unw_get_reg(&cursor, r, &value) != 0) continue;
        frame.registers[r] = value;  // libunwind numbers the registers as DWARF does
        frame.known |= uint64_t(1) << r;
      }
    }
    if (frame.registers[kCrashRegisterIp] == 0) break;
    CrashFrameName& name = names[count];
    unw_word_t offset = 0;
    const int named = unw_get_proc_name(&cursor, name.text, sizeof name.text, &offset);
    name.known = named == 0 || named == -UNW_ENOMEM;
    name.text[sizeof name.text - 1] = 0;
    name.offset = offset;
    if (unw_step(&cursor) <= 0) {
      ++count;
      break;
    }
  }
  return count;
}

int WriteCrashReport(int fd, int echoFd, const siginfo_t* info, const ucontext_t* context, const char* maps,
                      size_t mapsLength, const CrashDumpFrame* frames, const CrashFrameName* names, int frameCount) {
  CrashText text(fd, echoFd);
  const greg_t* r = context->uc_mcontext.gregs;
  const uint64_t faultAddress = uint64_t(reinterpret_cast<uintptr_t>(info->si_addr));
  const bool stackFault = info->si_signo == SIGSEGV && IsStackFault(faultAddress, uint64_t(r[REG_RSP]));
  const CrashCodeName name = NameCrashCode(info->si_signo, info->si_code, stackFault);

  text.Str("//=====================================================\r\n");
  text.Str("Exception code: ").Hex(name.code, 8).Str(" ").Str(name.name).Str("\r\n");
  text.Str("Fault address:  ").Hex(uint64_t(r[REG_RIP]), 16).Str(" ");
  WriteModuleAddress(text, maps, mapsLength, uint64_t(r[REG_RIP]));
  text.Str("\r\n");
  const char* abbreviation = sigabbrev_np(info->si_signo);
  text.Str("Signal:         ").Dec(info->si_signo).Str(" SIG").Str(abbreviation ? abbreviation : "?");
  text.Str(" code ").Dec(info->si_code).Str("\r\n");
  if (info->si_signo == SIGSEGV || info->si_signo == SIGBUS)
    text.Str("Data address:   ").Hex(faultAddress, 16).Str("\r\n");
  WriteRegisters(text, context);
  WriteCallStack(text, maps, mapsLength, frames, names, frameCount);
  text.Str("\r\n").Str(kCrashVariablesLine).Str("\r\n");
  text.Str("\r\n");
  text.Flush();
  return text.WriteError();
}

}  // namespace platform::os
