#include "CrashImage.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/os/CrashReport.h"

namespace symbolize {

cl_CrashImage::~cl_CrashImage() {
  for (auto& file : m_files) {
    if (file.second >= 0) close(file.second);
  }
}

bool cl_CrashImage::Read(uint64_t address, void* out, size_t size) const {
  if (m_dump.Read(address, out, size)) return true;
  // A mapping that cannot be written holds what its file holds at the same offset.
  platform::os::CrashMapping mapping;
  if (!platform::os::FindCrashMapping(m_dump.maps.data(), m_dump.maps.size(), address, &mapping) || mapping.writable ||
      mapping.pathLength == 0 || mapping.path[0] != '/' || size > mapping.end - address)
    return false;
  const std::string path(mapping.path, mapping.pathLength);
  auto found = m_files.find(path);
  if (found == m_files.end()) found = m_files.emplace(path, open(path.c_str(), O_RDONLY | O_CLOEXEC)).first;
  if (found->second < 0) return false;
  const off_t at = off_t(mapping.offset + (address - mapping.start));
  return pread(found->second, out, size, at) == ssize_t(size);
}

bool cl_CrashImage::ModuleOf(uint64_t address, std::string& path, uint64_t& base) const {
  platform::os::CrashModule module;
  if (!platform::os::FindCrashModule(m_dump.maps.data(), m_dump.maps.size(), address, &module)) return false;
  path.assign(module.path, module.pathLength);
  base = module.base;
  return true;
}

}  // namespace symbolize
