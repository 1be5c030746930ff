// Line and token readers over files and byte blocks.
#include "base/file/LineParser.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/data/Binary.h"
#include "base/File.h"

namespace base {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == ',' || c == '\n' || c == '\r' || c == '\t'; }

// Finds token i of line; its start and length go to begin and length. Re-entrant, unlike the
// standard tokenizer, so two parsers never disturb each other.
bool FindToken(const char* line, int i, const char*& begin, int& length) {
  const char* p = line;
  for (int k = 0;; ++k) {
    while (*p && IsSeparator(*p)) ++p;
    if (!*p) return false;
    const char* start = p;
    while (*p && !IsSeparator(*p)) ++p;
    if (k == i) {
      begin = start;
      length = static_cast<int>(p - start);
      return true;
    }
  }
}

int CountTokens(const char* line) {
  int n = 0;
  const char* p = line;
  for (;;) {
    while (*p && IsSeparator(*p)) ++p;
    if (!*p) return n;
    ++n;
    while (*p && !IsSeparator(*p)) ++p;
  }
}

const char* CopyToken(const char* line, int i, char* out) {
  if (i < 0) return nullptr;
  const char* begin = nullptr;
  int length = 0;
  if (!FindToken(line, i, begin, length)) return nullptr;
  std::memcpy(out, begin, static_cast<size_t>(length));
  out[length] = 0;
  return out;
}

int ToInt(const char* token) {
  if (!token) return 0;
  const long v = std::strtol(token, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

float ToReal(const char* token) { return token ? static_cast<float>(std::strtod(token, nullptr)) : 0.0f; }

bool BeginsWith(const char* line, const tString<BaseString>& prefix) {
  const int n = prefix.size();
  return n == 0 || std::strncmp(line, prefix.c_str(), static_cast<size_t>(n)) == 0;
}

}  // namespace

// ---- cl_FileParser

cl_FileParser::cl_FileParser(const char* name) { OpenFile(name); }

cl_FileParser::~cl_FileParser() { CloseFile(); }

bool cl_FileParser::OpenFile(const char* name) {
  CloseFile();
  if (!name || !*name) return false;
  m_file = OpenFileStream(name, "rb");
  return m_file != nullptr;
}

void cl_FileParser::CloseFile() {
  if (m_file) std::fclose(m_file);
  m_file = nullptr;
  m_line[0] = 0;
}

void cl_FileParser::Rewind() {
  if (m_file) std::rewind(m_file);
  m_line[0] = 0;
}

bool cl_FileParser::NextLine() {
  m_line[0] = 0;
  if (!m_file) return false;
  if (!std::fgets(m_line, kLineSize, m_file)) {
    m_line[0] = 0;
    return false;
  }
  return true;
}

int cl_FileParser::GetNumTokens() const { return m_file ? CountTokens(m_line) : 0; }

const char* cl_FileParser::GetToken(int i) { return m_file ? CopyToken(m_line, i, m_token) : nullptr; }

int cl_FileParser::GetIntToken(int i) { return ToInt(GetToken(i)); }

float cl_FileParser::GetRealToken(int i) { return ToReal(GetToken(i)); }

tString<BaseString> cl_FileParser::GetStringToken(int i) { return tString<BaseString>(GetToken(i)); }

bool cl_FileParser::SeekLine(const tString<BaseString>& prefix) {
  while (NextLine()) {
    if (BeginsWith(m_line, prefix)) return true;
  }
  return false;
}

// ---- cl_BinaryParser

cl_BinaryParser::cl_BinaryParser(const Binary& data) : m_data(&data) {}

bool cl_BinaryParser::NextLine() {
  m_line[0] = 0;
  const int size = m_data->size();
  const unsigned char* bytes = m_data->get_buffer();
  if (size < 1 || !bytes || m_position >= size) return false;
  auto isBreak = [](unsigned char c) { return c == '\n' || c == '\r' || c == 0; };
  int n = 0;
  while (m_position + n < size && n < kLineSize && !isBreak(bytes[m_position + n])) ++n;
  std::memcpy(m_line, bytes + m_position, static_cast<size_t>(n));
  m_line[n] = 0;
  m_position += n;
  while (m_position < size && isBreak(bytes[m_position])) ++m_position;
  return true;
}

int cl_BinaryParser::GetNumTokens() const { return m_data->size() > 0 ? CountTokens(m_line) : 0; }

const char* cl_BinaryParser::GetToken(int i) { return CopyToken(m_line, i, m_token); }

int cl_BinaryParser::GetIntToken(int i) { return ToInt(GetToken(i)); }

float cl_BinaryParser::GetRealToken(int i) { return ToReal(GetToken(i)); }

tString<BaseString> cl_BinaryParser::GetStringToken(int i) { return tString<BaseString>(GetToken(i)); }

bool cl_BinaryParser::SeekLine(const tString<BaseString>& prefix) {
  while (NextLine()) {
    if (BeginsWith(m_line, prefix)) return true;
  }
  return false;
}

}  // namespace base
