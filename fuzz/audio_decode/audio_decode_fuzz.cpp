// Sound files from anywhere: the bytes go to the WAV reader and to the Ogg reader (each whatever
// the first bytes say), and what opens is decoded to the end; then the whole-sample path. Bad data
// must be refused cleanly, with nothing read past the bytes given.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/Decoder.h"
#include "platform/audio/Log.h"

namespace pa = platform::audio;

namespace {

void Quiet(const char*) {}

void DrainDecoder(std::unique_ptr<pa::Decoder> decoder) {
  if (!decoder) return;
  std::vector<float> block(size_t{1024} * decoder->Channels());
  for (int rounds = 0; rounds < 4096 && decoder->Read(block.data(), 1024) > 0; ++rounds) {
  }
  decoder->Rewind();
  decoder->Read(block.data(), 1024);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pa::SetLogSink(Quiet);
  if (size > (size_t{1} << 18)) return 0;
  std::string problem;
  DrainDecoder(pa::OpenWavDecoder(pa::ByteSource::FromMemory(data, size), problem));
  DrainDecoder(pa::OpenOggDecoder(pa::ByteSource::FromMemory(data, size), problem));
  // The sample path at a low rate and to mono, so a slow source rate cannot swell the work.
  pa::PcmData pcm;
  pa::DecodeWhole(data, size, 8000, size > 0 && (data[size - 1] & 1), pcm, problem);
  return 0;
}
