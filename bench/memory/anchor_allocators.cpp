#include "anchor_allocators.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace memory_bench {
namespace {

constexpr const char* kTunable = "glibc.rtld.optional_static_tls=65536";

st_AnchorFunctions Load(const char* library, const char* alloc, const char* release, const char* sized) {
  st_AnchorFunctions f;
  // RTLD_DEEPBIND keeps the library's own calls to malloc inside the library.
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
  if (!handle) {
    std::fprintf(stderr, "note: %s not loaded (%s)\n", library, dlerror());
    return f;
  }
  f.m_alloc = reinterpret_cast<void* (*)(std::size_t)>(dlsym(handle, alloc));
  f.m_free = reinterpret_cast<void (*)(void*)>(dlsym(handle, release));
  if (sized) f.m_sizedFree = reinterpret_cast<void (*)(void*, std::size_t, int)>(dlsym(handle, sized));
  if (!f.m_alloc || !f.m_free) f = {};
  return f;
}

}  // namespace

void EnsureTlsForAnchors(char** argv) {
  const char* current = std::getenv("GLIBC_TUNABLES");
  if (current && std::strstr(current, "optional_static_tls")) return;
  std::string value = current && *current ? std::string(current) + ":" + kTunable : kTunable;
  setenv("GLIBC_TUNABLES", value.c_str(), 1);
  execv("/proc/self/exe", argv);
  std::fprintf(stderr, "note: could not re-execute with more static TLS; jemalloc may fail to load\n");
}

const st_AnchorFunctions& Mimalloc() {
  static const st_AnchorFunctions f = Load("libmimalloc.so.2", "mi_malloc", "mi_free", nullptr);
  return f;
}

const st_AnchorFunctions& Jemalloc() {
  static const st_AnchorFunctions f = Load("libjemalloc.so.2", "malloc", "free", "sdallocx");
  return f;
}

}  // namespace memory_bench
