// Big-endian reading primitives of the LightWave object reader (I1 .. F4, VX, S0) over a file
// or over a view of memory, with the running byte count of the format's reference readers: a
// failed read marks the stream failed and makes every later read a no-op returning 0, so a
// whole record is tested once at its end.
#pragma once

#include <string>
#include <vector>

namespace base {

class File;

class cl_LwoStream {
 public:
  cl_LwoStream() = default;
  // A view of size bytes at data (not copied) that sits at basePosition in the file.
  cl_LwoStream(const unsigned char* data, int size, int basePosition);
  // Reads file from its current position; the file must stay open while the stream is used.
  explicit cl_LwoStream(File* file);

  int I1();
  int U1();
  int I2();
  int U2();
  int I4();
  unsigned U4();
  float F4();
  // A variable-length index: a U2 below 0xFF00, else a U4 whose top byte is dropped (24 bits).
  int VX();
  // A zero-terminated string padded to an even length; a missing terminator fails the stream.
  std::string S0();
  // n raw bytes appended to out.
  bool Raw(std::vector<unsigned char>& out, int n);
  bool Skip(int n);

  // The next n bytes as a view of their own (a file stream reads them into buffer, which must
  // outlive the view); this stream moves past them. A failed stream when fewer remain.
  cl_LwoStream Take(int n, std::vector<unsigned char>& buffer);
  // Take for a memory view; on a file stream it fails.
  cl_LwoStream Sub(int n);

  // The running count: bytes consumed since the last reset, or -1 once a read has failed.
  void ResetCount() { m_count = 0; }
  int Count() const { return m_failed ? -1 : m_count; }
  bool Ok() const { return !m_failed; }
  void Fail() { m_failed = true; }

  int Position() const;   // absolute offset in the file
  int Remaining() const;  // bytes left in the view or the file
  bool AtEnd() const { return Remaining() <= 0; }

 private:
  bool Read(void* out, int n);

  File* m_file = nullptr;
  const unsigned char* m_data = nullptr;
  int m_size = 0;
  int m_pos = 0;
  int m_base = 0;
  int m_count = 0;
  bool m_failed = false;
};

}  // namespace base
