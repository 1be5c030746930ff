// The crashed process as its dump shows it: the memory the dump holds (stack and program data),
// the read-only file mappings read back from their files (constants and string literals), and
// the module that holds an address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "platform/os/CrashDump.h"

namespace symbolize {

class cl_CrashImage {
 public:
  explicit cl_CrashImage(const platform::os::CrashDump& dump) : m_dump(dump) {}
  ~cl_CrashImage();
  cl_CrashImage(const cl_CrashImage&) = delete;
  cl_CrashImage& operator=(const cl_CrashImage&) = delete;

  const platform::os::CrashDump& Dump() const { return m_dump; }
  // Copies size bytes at address; false when any of them is not known.
  bool Read(uint64_t address, void* out, size_t size) const;
  // The file of the module that maps address and the address its start is loaded at.
  bool ModuleOf(uint64_t address, std::string& path, uint64_t& base) const;

 private:
  const platform::os::CrashDump& m_dump;
  mutable std::map<std::string, int> m_files;  // read-only mappings' files, opened on first use
};

}  // namespace symbolize
