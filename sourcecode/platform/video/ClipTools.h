// Clip making and plain decoding for the tools around the player: the demo generator paints and
// encodes its movies here, and the tests and benchmarks make their clips and decode them with
// FFmpeg's own send-packet/receive-frame loop to compare the player against.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform::video {

struct st_ClipSettings {
  int width = 64, height = 48;
  int rateNum = 25, rateDen = 1;  // frames per second as a fraction
  int frames = 25;
  std::string container = "avi";       // FFmpeg's muxer name: "avi", "ogg", "matroska"
  std::string videoCodec = "mpeg4";    // "mpeg4", "ffv1", "libtheora"
  std::string soundCodec = "pcm_s16le";  // "" for a clip without sound; "libvorbis" for Ogg
  int soundRate = 44100;               // stereo
  int64_t bitRate = 0;                 // 0: the codec's quality default (high for our tests)
  int quality = 4;                     // fixed quantiser when bitRate is 0 (lower is better)
  int bFrames = 0;                     // bidirectional frames between references (mpeg4)
};

// Paints frame `index` into `pixels` (width × height, 0xAARRGGBB, top row first).
using PaintFrame = std::function<void(int index, uint32_t* pixels)>;
// Fills `count` stereo frames (interleaved floats -1..1) starting at sample frame `first`.
using MakeSound = std::function<void(int64_t first, float* stereo, int count)>;

// Encodes the clip into path; false with the reason in error.
bool WriteClip(const std::string& path, const st_ClipSettings& settings, const PaintFrame& paint,
               const MakeSound& sound, std::string* error);

// One decoded picture as 4:2:0 planes, tightly packed.
struct st_PlanarFrame {
  int width = 0, height = 0;
  std::vector<uint8_t> y, cb, cr;
};

// FFmpeg's plain decode loop over a clip, frame by frame.
class cl_ReferenceDecoder {
 public:
  cl_ReferenceDecoder();
  ~cl_ReferenceDecoder();
  cl_ReferenceDecoder(const cl_ReferenceDecoder&) = delete;
  cl_ReferenceDecoder& operator=(const cl_ReferenceDecoder&) = delete;

  bool Open(const std::string& path);  // single-threaded decoder, as the player's
  // The next picture; false at the end. With a null frame it only decodes.
  bool Next(st_PlanarFrame* frame);
  void Close();

 private:
  struct st_Impl;
  st_Impl* m_impl;
};

}  // namespace platform::video
