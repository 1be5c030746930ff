// For fuzz targets over readers that take a file name: the input written to a scratch file of
// this process (one per suffix), rewritten for every input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

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

}  // namespace fuzzsupport
