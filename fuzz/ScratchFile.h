// For fuzz targets over readers that take a file name: the input written to a scratch file of
// this process (one per suffix), rewritten for every input; and, for code that reads and writes
// paths relative to the working folder, a scratch folder to work in. Both lie in one folder of
// the run, "quillane_fuzz_<pid>_XXXXXX" in the temporary folder, removed when the run ends; the
// folder of a run that crashed is removed by the next run (support/ScratchFolder.h).
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "support/ScratchFolder.h"

namespace fuzzsupport {

// The run's scratch folder, made at its first use; empty when it could not be made.
inline const std::filesystem::path& RunFolder() {
  static const struct st_RunFolder {
    std::filesystem::path path = testsupport::MakeScratchFolder("quillane_fuzz");
    ~st_RunFolder() {
      std::error_code ignored;
      if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
  } folder;
  return folder.path;
}

// The scratch file's path, or an empty string when it could not be written.
inline std::string WriteScratchFile(const uint8_t* data, size_t size, const char* suffix) {
  if (RunFolder().empty()) return {};
  const std::string path = (RunFolder() / (std::string("input") + suffix)).string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return {};
  const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok ? path : std::string();
}

// A folder "<name>" in the run's folder: the working folder while an input runs, and left after
// it, so that libFuzzer's relative corpus paths stay valid. Files are found by scanning their folders; a
// relative path spares the scan of a busy temporary folder on every input. Its name is fixed by
// the first one made.
struct st_InScratchFolder {
  explicit st_InScratchFolder(const char* name) {
    static char home[4096];
    static std::string folder = [name] {
      std::error_code ec;
      const std::filesystem::path made = RunFolder() / name;
      const bool ok =
          !RunFolder().empty() && getcwd(home, sizeof home) && std::filesystem::create_directories(made, ec);
      return ok ? made.string() : std::string();
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
