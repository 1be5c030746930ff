// Mono Ogg Vorbis files at 22050 Hz from float samples in [-1, 1]: the music, the sounds and the
// spoken lines.
#pragma once

#include <string>
#include <vector>

namespace demogen {

class cl_Output;

using tSamples = std::vector<float>;
constexpr int kOggRate = 22050;

// Encodes samples and writes them to relative; false (with a message on stderr) on failure.
bool WriteOgg(cl_Output& out, const std::string& relative, const tSamples& samples);

}  // namespace demogen
