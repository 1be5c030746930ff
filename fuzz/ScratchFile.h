// For fuzz targets over readers that take a file name: the input written to a scratch file of
// this process (one per suffix), rewritten for every input; and, for code that reads and writes
// paths relative to the working folder, a scratch folder of this process to work in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include <unistd.h>

namespace fuzzsupport {

// The scratch file's path, or an empty string when it could not be written.
inline std::string WriteScratchFile(const uint8_t* data, size_t size, const char* suffix) {
  // A random name chosen once, so that parallel fuzzing jobs do not share a file.
  static const std::string stem =
      (std::filesystem::temp_directory_path() / ("quillane_fuzz_" + std::to_string(std::random_device()()))).string();
  const std::string path = stem + suffix;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return {};
  const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok ? path : std::string();
}

// A folder of this process alone ("quillane_fuzz_<name>_XXXXXX"), the working folder while an
// input runs, and left afterwards, so libFuzzer's relative corpus paths stay valid. Files are
// found by scanning their folders; a relative path spares the scan of a busy temporary folder on
// every input. Its name is fixed by the first one made.
struct st_InScratchFolder {
  explicit st_InScratchFolder(const char* name) {
    static char home[4096];
    static std::string folder = [name] {
      std::string pattern =
          (std::filesystem::temp_directory_path() / ("quillane_fuzz_" + std::string(name) + "_XXXXXX")).string();
      return std::string(getcwd(home, sizeof home) && mkdtemp(pattern.data()) ? pattern : std::string());
    }();
    m_home = home;
    ok = !folder.empty() && chdir(folder.c_str()) == 0;
  }
  ~st_InScratchFolder() {
    if (ok && chdir(m_home) != 0) std::abort();
  }
  st_InScratchFolder(const st_InScratchFolder&) = delete;
  st_InScratchFolder& operator=(const st_InScratchFolder&) = delete;
  bool ok = false;
  const char* m_home = nullptr;
};

}  // namespace fuzzsupport
