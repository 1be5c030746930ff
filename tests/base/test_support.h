// Shared helpers of the base tests: a scratch folder removed afterwards and a capture of the
// engine log.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/system.h"

namespace testsupport {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillane_base_XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    m_path = mkdtemp(name.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  std::string path(const std::string& name = "") const { return name.empty() ? m_path : m_path + "/" + name; }

  void write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string m_path;
};

// Collects every line given to base::sys::Output while alive.
class LogCapture {
 public:
  LogCapture() {
    lines().clear();
    base::sys::AddOutputCallback(&Collect);
  }
  ~LogCapture() { base::sys::RemoveOutputCallback(&Collect); }
  const std::vector<std::string>& get() const { return lines(); }
  bool contains(const std::string& part) const {
    for (const auto& l : lines()) {
      if (l.find(part) != std::string::npos) return true;
    }
    return false;
  }

 private:
  static std::vector<std::string>& lines() {
    static std::vector<std::string> l;
    return l;
  }
  static bool Collect(const char* text) {
    lines().emplace_back(text);
    return true;
  }
};

}  // namespace testsupport
