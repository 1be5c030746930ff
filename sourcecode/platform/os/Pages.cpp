#include "platform/os/Pages.h"

#include <sys/mman.h>

namespace platform::os {

void* MapZeroedPages(std::size_t bytes) {
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return memory == MAP_FAILED ? nullptr : memory;
}

}  // namespace platform::os
