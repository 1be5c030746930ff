// A scratch copy of the bundled demo data. Tests that start the program or a game run in such a
// copy: the engine writes caches, archives and compiled files into its data folder, and other
// test programs copy the bundled folder at the same time.
#pragma once

#include <cstring>
#include <filesystem>
#include <string>

namespace testsupport {

// What the engine builds from the data on first use; a copy starts without them, as a fresh
// checkout does, also after the program has been played in the bundled folder (which leaves the
// compiled characters and mini-game pictures there, ".dat", as it leaves the archives).
inline bool IsEngineCache(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  for (const char* tail : {".cache", ".pak", ".bmo", "_protocol.txt", ".bincode", ".dat"})
    if (name.size() >= std::strlen(tail) && name.compare(name.size() - std::strlen(tail), std::string::npos, tail) == 0)
      return true;
  return false;
}

// Copies the folder data into to (made when missing), without the engine's caches.
inline void CopyDemoData(const std::filesystem::path& data, const std::filesystem::path& to) {
  namespace fs = std::filesystem;
  fs::create_directories(to);
  for (auto it = fs::recursive_directory_iterator(data); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path target = to / fs::relative(it->path(), data);
    if (it->is_directory())
      fs::create_directories(target);
    else if (it->is_regular_file() && !IsEngineCache(it->path()))
      fs::copy_file(it->path(), target);
  }
}

}  // namespace testsupport
