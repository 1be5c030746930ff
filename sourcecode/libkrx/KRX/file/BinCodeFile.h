// ".bincode" module files: one module record (the file module with its functions, symbols,
// constant pool and variable tables), little-endian, without magic or version word. Loading
// treats the file as untrusted data: every count, length and nesting level is checked against
// what is left, and a damaged file loads nothing.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "KRX/runtime/RefObj.h"

namespace KRX {

class BinCode;
class Var;
class VarTable;
class StringPool;
class Thread;

// The byte stream the record routines use; ids are stream-local (numbered in order of first
// transfer), so one stream shares each module once and a loaded file never sees an address.
class Stream {
 public:
  Stream();
  ~Stream();  // out of line: it releases the threads it kept
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // ---- writing
  void Write(const void* bytes, size_t n);
  void WriteU8(uint8_t v) { Write(&v, 1); }
  void WriteU16(uint16_t v);
  void WriteU32(uint32_t v);
  const std::vector<uint8_t>& GetBytes() const { return m_bytes; }

  // ---- reading (over a borrowed buffer)
  void SetInput(const uint8_t* data, size_t size);
  // Copies n bytes; false (and the stream failed, with why) when fewer are left.
  bool Read(void* out, size_t n, const char* what);
  bool ReadU8(uint8_t& v, const char* what) { return Read(&v, 1, what); }
  bool ReadU16(uint16_t& v, const char* what);
  bool ReadU32(uint32_t& v, const char* what);
  size_t Remaining() const { return m_size - m_pos; }
  size_t Position() const { return m_pos; }
  // Marks the stream failed at the current offset (the first failure is kept).
  bool Fail(const char* why);
  bool Failed() const { return m_failed; }
  size_t FailOffset() const { return m_failOffset; }
  const std::string& FailReason() const { return m_failReason; }

  // ---- shared objects
  std::map<const void*, uint32_t> m_writeIds;
  std::map<uint32_t, BinCode*> m_readModules;
  std::vector<BinCode*> m_reading;  // modules whose records are being read (cycle check)
  std::vector<tRefPtr<BinCode>> m_keep;  // every module read, alive while the stream lives
  std::map<uint32_t, Thread*> m_readThreads;
  std::vector<tRefPtr<Thread>> m_keepThreads;
  std::vector<Thread*> m_readingThreads;  // threads whose records are being read
  int m_depth = 0;

 private:
  std::vector<uint8_t> m_bytes;
  const uint8_t* m_data = nullptr;
  size_t m_size = 0;
  size_t m_pos = 0;
  bool m_failed = false;
  size_t m_failOffset = 0;
  std::string m_failReason;
};

// Record routines. Writers return false when a value cannot be stored; readers return false
// (the stream failed) on damaged input.
bool WriteModule(Stream& s, const BinCode* module);
// A new or shared module (kept alive by the stream; take a reference before it goes); null for
// an empty module value and on failure.
BinCode* ReadModule(Stream& s);
bool WriteVar(Stream& s, const Var& v);
bool ReadVar(Stream& s, Var& v);
bool WriteVarTable(Stream& s, const VarTable& table);
bool ReadVarTable(Stream& s, VarTable& table);
bool WriteSymbols(Stream& s, const BinCode& module);
bool ReadSymbols(Stream& s, BinCode& owner);
bool WritePool(Stream& s, const StringPool& pool);
// A thread with its variables and its frames 0 to the frame index (at most 32); ids as modules.
bool WriteThread(Stream& s, const Thread* thread);
Thread* ReadThread(Stream& s);  // kept alive by the stream, like ReadModule
bool ReadPool(Stream& s, Var& v);

// The largest module file read (64 MiB); a larger one is refused with a message.
inline constexpr size_t kMaxModuleFileSize = size_t(64) << 20;

// The whole file: written through a temporary file and renamed into place. False when the file
// cannot be written or the module holds a value that has no record.
bool WriteModuleFile(const char* path, const BinCode* module);
// Reads a module file; null, after "Unable to load module file %s (corrupt at offset %d: ...)",
// when it is damaged, not a regular file or over kMaxModuleFileSize (and without a message when
// it is missing).
tRefPtr<BinCode> ReadModuleFile(const char* path);
// The same over bytes in memory; name is used in the message.
tRefPtr<BinCode> ReadModuleMemory(const uint8_t* data, size_t size, const char* name);

}  // namespace KRX
