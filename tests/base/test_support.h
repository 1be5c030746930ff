// Shared helpers of the base tests: a scratch folder removed afterwards, and the engine log
// captures (support/EngineLogCapture.h).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/system.h"
#include "support/EngineLogCapture.h"
#include "support/ScratchFolder.h"

namespace testsupport {

class TempDir {
 public:
  TempDir() : m_path(MakeScratchFolder("quillane_base").string()) {}
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

// A 32-bit number as the little-endian bytes the file formats store.
inline std::string LE(int v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

}  // namespace testsupport
