// Scratch folders named after the test process that owns them, so that the folders of a test that
// was killed before it could remove them (a time limit, a crash) are found and removed by its next
// run.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace testsupport {

// A new folder <stem>_<pid>_XXXXXX under the system's temporary folder, pid being this process's.
// Folders of the same stem whose owner no longer runs are removed first. Empty when none could be made.
inline std::filesystem::path MakeScratchFolder(const std::string& stem) {
  namespace fs = std::filesystem;
  const fs::path temp = fs::temp_directory_path();
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(temp, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, stem.size() + 1, stem + "_") != 0) continue;
    const std::string rest = name.substr(stem.size() + 1);  // <pid>_XXXXXX
    const size_t digits = rest.find_first_not_of("0123456789");
    if (digits == 0 || digits > 9 || rest.size() != digits + 7 || rest[digits] != '_') continue;
    const pid_t owner = static_cast<pid_t>(std::stol(rest.substr(0, digits)));
    if (kill(owner, 0) == 0 || errno == EPERM) continue;  // still running
    std::error_code ignored;
    fs::remove_all(entry.path(), ignored);
  }
  std::string pattern = (temp / (stem + "_" + std::to_string(getpid()) + "_XXXXXX")).string();
  return mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
}

// A scratch folder made by MakeScratchFolder and removed with all it holds when it goes.
class cl_ScratchFolder {
 public:
  explicit cl_ScratchFolder(const std::string& stem) : m_path(MakeScratchFolder(stem)) {}
  ~cl_ScratchFolder() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
  }
  cl_ScratchFolder(const cl_ScratchFolder&) = delete;
  cl_ScratchFolder& operator=(const cl_ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

}  // namespace testsupport
