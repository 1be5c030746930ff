// /proc/meminfo reading.
#include "platform/os/MemoryInfo.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform::os {

bool ParseMemTotal(const std::string& text, uint64_t* kilobytes) {
  static const char kKey[] = "MemTotal:";
  size_t at = 0;
  while ((at = text.find(kKey, at)) != std::string::npos) {
    if (at == 0 || text[at - 1] == '\n') break;  // a key at a line start, not inside another
    at += 1;
  }
  if (at == std::string::npos) return false;
  const char* p = text.c_str() + at + sizeof kKey - 1;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p < '0' || *p > '9') return false;
  *kilobytes = std::strtoull(p, nullptr, 10);
  return true;
}

bool ReadMemTotal(uint64_t* kilobytes, const char* path) {
  std::ifstream in(path);
  if (!in) return false;
  std::stringstream text;
  text << in.rdbuf();
  return ParseMemTotal(text.str(), kilobytes);
}

}  // namespace platform::os
