// The adapter's strings and display memory.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/gpu/DeviceImpl.h"

namespace gpu {

namespace {

// The tokens of the two vendor memory extensions (their values are fixed by the extensions).
constexpr GLenum kNvxDedicatedVidmemKb = 0x9047;
constexpr GLenum kAtiTextureFreeMemory = 0x87FC;

std::string GlString(GLenum name) {
  const GLubyte* text = glGetString(name);
  return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

bool HasExtension(const char* wanted) {
  GLint count = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &count);
  for (GLint i = 0; i < count; ++i) {
    const char* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i)));
    if (name && std::strcmp(name, wanted) == 0) return true;
  }
  return false;
}

}  // namespace

uint64_t QuerySysfsVideoMemory(const char* drmRoot) {
  for (int card = 0; card < 16; ++card) {
    std::ifstream in(std::string(drmRoot) + "/card" + std::to_string(card) + "/device/mem_info_vram_total");
    if (!in) continue;
    std::string text;
    in >> text;
    char* end = nullptr;
    const unsigned long long bytes = std::strtoull(text.c_str(), &end, 10);
    if (!text.empty() && end && *end == 0 && bytes > 0) return bytes;
  }
  return 0;
}

AdapterInfo Device::GetAdapterInfo() const {
  AdapterInfo info;
  info.renderer = GlString(GL_RENDERER);
  info.vendor = GlString(GL_VENDOR);
  info.version = GlString(GL_VERSION);
  GLint kilobytes[4] = {0, 0, 0, 0};
  if (HasExtension("GL_NVX_gpu_memory_info")) {
    glGetIntegerv(kNvxDedicatedVidmemKb, kilobytes);
    info.memorySource = "GL_NVX_gpu_memory_info";
  } else if (HasExtension("GL_ATI_meminfo")) {
    glGetIntegerv(kAtiTextureFreeMemory, kilobytes);
    info.memorySource = "GL_ATI_meminfo";
  }
  while (glGetError() != GL_NO_ERROR) {
  }
  if (kilobytes[0] > 0) {
    info.videoMemoryBytes = uint64_t(kilobytes[0]) * 1024;
    return info;
  }
  info.videoMemoryBytes = QuerySysfsVideoMemory();
  info.memorySource = info.videoMemoryBytes ? "sysfs" : "none";
  return info;
}

}  // namespace gpu
