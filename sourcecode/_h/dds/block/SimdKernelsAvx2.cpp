// The block kernels for processors with AVX2 (four doubles a lane group); this file alone is
// compiled with -mavx2, and only runs where the processor reports AVX2.
#include "dds/block/SimdKernels.inl"

namespace dds {

const st_BlockKernels& Avx2BlockKernels() { return kKernels; }

}  // namespace dds
