// Line and token readers for simple line formats (lip-sync timings, imported material scripts):
// cl_FileParser reads a file on disk, cl_BinaryParser a base::Binary in memory. Each splits the
// current line into tokens on the separators space, comma, LF, CR and tab (runs count as one).
//
// NextLine returns true whenever it produced a line, including a last line that reaches the
// end of the data, and false once nothing is left; so `while (p.NextLine()) use(p);` sees
// every line.
#pragma once

#include <cstdio>

#include "base/String.h"

namespace base {

class Binary;

class cl_FileParser {
 public:
  static constexpr int kLineSize = 256;  // characters including the terminator

  cl_FileParser() = default;
  explicit cl_FileParser(const char* name);  // OpenFile(name)
  ~cl_FileParser();
  cl_FileParser(const cl_FileParser&) = delete;
  cl_FileParser& operator=(const cl_FileParser&) = delete;

  bool OpenFile(const char* name);  // closes an open file first; true when open
  void CloseFile();
  bool IsOpen() const { return m_file != nullptr; }
  void Rewind();                    // back to the start of the file

  // The next line: at most 255 characters with its line break; a longer line continues in the
  // next call. False when no file is open or nothing was left to read.
  bool NextLine();
  const char* GetLine() const { return m_line; }

  int GetNumTokens() const;            // 0 when no file is open
  const char* GetToken(int i);         // token i (from 0) or null; valid until the next GetToken
  int GetIntToken(int i);              // base-10 integer prefix; 0 when missing or no file
  float GetRealToken(int i);           // decimal real; 0.0 when missing or no file
  tString<BaseString> GetStringToken(int i);  // empty when missing or no file
  bool SeekLine(const tString<BaseString>& prefix);  // reads on until a line begins with prefix

 private:
  std::FILE* m_file = nullptr;
  char m_line[kLineSize] = {};
  char m_token[kLineSize] = {};
};

class cl_BinaryParser {
 public:
  static constexpr int kLineSize = 256;  // characters, without the terminator

  explicit cl_BinaryParser(const Binary& data);  // the Binary must outlive the parser
  cl_BinaryParser(const cl_BinaryParser&) = delete;
  cl_BinaryParser& operator=(const cl_BinaryParser&) = delete;

  void Rewind() { m_position = 0; }
  // The next line: characters up to LF, CR or NUL (at most 256; a longer line continues in the
  // next call); the line breaks behind it are skipped, so empty lines in between are not seen.
  bool NextLine();
  const char* GetLine() const { return m_line; }

  int GetNumTokens() const;  // 0 when the data is empty
  const char* GetToken(int i);
  int GetIntToken(int i);
  float GetRealToken(int i);
  tString<BaseString> GetStringToken(int i);
  bool SeekLine(const tString<BaseString>& prefix);

 private:
  const Binary* m_data;
  int m_position = 0;
  char m_line[kLineSize + 1] = {};
  char m_token[kLineSize + 1] = {};
};

}  // namespace base
