// Memory straight from the kernel, for large tables of which little is ever used.
#pragma once

#include <cstddef>

namespace platform::os {

// bytes of private memory that read as zero and cost nothing until a page is first written; null
// when the kernel refuses. It is never returned. Leak checkers do not read it (they read static
// storage and the heap), so it must not hold the only pointer to a block.
void* MapZeroedPages(std::size_t bytes);

}  // namespace platform::os
