// The block kernels for processors with SSE4.1 (two doubles a lane group); this file alone is
// compiled with -msse4.1, and only runs where the processor reports SSE4.1.
#include "dds/block/SimdKernels.inl"

namespace dds {

const st_BlockKernels& Sse41BlockKernels() { return kKernels; }

}  // namespace dds
