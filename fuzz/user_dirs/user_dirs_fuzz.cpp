// Feeds arbitrary bytes to the reader of the XDG user-dirs file: the documents folder it finds
// must be absolute, start with the home folder when it came from "$HOME", and hold no control
// characters or line ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/os/UserFolders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  const std::string home = "/home/fuzz";
  const std::string found = platform::os::ParseUserDirsDocuments(reinterpret_cast<const char*>(data), size, home);
  if (found.empty()) return 0;
  if (found[0] != '/') std::abort();
  for (char c : found)
    if (static_cast<unsigned char>(c) < 0x20) std::abort();
  return 0;
}
