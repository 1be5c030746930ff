// Which code the block codec runs: the scalar reference, or kernels for SSE4.1 or AVX2 that
// compute the same numbers in vector lanes and so write the same bytes. The fastest path the
// processor supports is chosen at the first use; tests and benchmarks force each path in turn.
#pragma once

namespace dds {

struct st_BlockKernels;

// ORDER PATH: slowest first.
enum class en_BlockCodecPath { kScalar, kSse41, kAvx2 };

// The path in use (process-wide).
en_BlockCodecPath BlockCodecPath();
// The fastest path this processor runs.
en_BlockCodecPath FastestBlockCodecPath();
// Selects a path for every thread; false (nothing changed) when the processor lacks it.
bool SetBlockCodecPath(en_BlockCodecPath path);
// "scalar", "sse4.1" or "avx2".
const char* BlockCodecPathName(en_BlockCodecPath path);
// True while the scalar reference code is selected.
inline bool ScalarBlockCodec() { return BlockCodecPath() == en_BlockCodecPath::kScalar; }
// The kernels of the path in use; null on the scalar path.
const st_BlockKernels* BlockKernels();

}  // namespace dds
