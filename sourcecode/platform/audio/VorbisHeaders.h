// A check of every Vorbis setup header in an Ogg file before libvorbis reads it: the library
// divides by a codebook's dimension count while decoding, and leaves that count at zero for a
// codebook without dimensions or without a used entry; such a file would crash the program.
#pragma once

#include <string>

namespace platform::audio {

class ByteSource;

// True when every logical stream's setup header has sound codebooks (or is absent, which the
// library reports itself); false with the reason in problem. Leaves the source anywhere.
bool CheckVorbisSetups(ByteSource& source, std::string& problem);

}  // namespace platform::audio
