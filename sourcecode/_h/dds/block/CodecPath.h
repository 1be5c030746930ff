// Which code the block codec runs: the SSE2 paths (the default) or the scalar code they were
// derived from, which tests run side by side with them on the same blocks.
#pragma once

namespace dds {

// True while the scalar reference code is selected (process-wide).
bool ScalarBlockCodec();
// Selects the scalar reference code (true) or the SSE2 code (false) for every thread.
void SetScalarBlockCodec(bool scalar);

}  // namespace dds
