// Sounds made by code for the sound library's tests and benchmarks: sines, WAV file images written
// by hand and Ogg Vorbis images through libvorbisenc. No dependency on GoogleTest.
#include "SoundMaker.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audiotest {
namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

std::vector<float> Sine(int rate, int channels, double seconds, double hz, double amplitude) {
  const size_t frames = static_cast<size_t>(seconds * rate);
  std::vector<float> out(frames * channels);
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      out[i * channels + c] = static_cast<float>(amplitude * std::sin(2.0 * M_PI * hz * i / rate));
  return out;
}

std::vector<uint8_t> MakeWav(int rate, int channels, int bits, const std::vector<float>& frames) {
  const uint32_t dataBytes = static_cast<uint32_t>(frames.size() * (bits / 8));
  std::vector<uint8_t> out;
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  Put32(out, 36 + dataBytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(out, 16);
  Put16(out, bits == 32 ? 3 : 1);
  Put16(out, static_cast<uint32_t>(channels));
  Put32(out, static_cast<uint32_t>(rate));
  Put32(out, static_cast<uint32_t>(rate * channels * bits / 8));
  Put16(out, static_cast<uint32_t>(channels * bits / 8));
  Put16(out, static_cast<uint32_t>(bits));
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  Put32(out, dataBytes);
  for (float v : frames) {
    if (bits == 8) out.push_back(static_cast<uint8_t>(std::lround(v * 127.0f) + 128));
    else if (bits == 16) Put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767.0f))));
    else {
      uint32_t word;
      std::memcpy(&word, &v, 4);
      Put32(out, word);
    }
  }
  return out;
}

std::vector<uint8_t> MakeOgg(int rate, int channels, const std::vector<float>& frames) {
  std::vector<uint8_t> out;
  vorbis_info info;
  vorbis_info_init(&info);
  vorbis_encode_init_vbr(&info, channels, rate, 0.5f);
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1234);
  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &headerComment);
  ogg_stream_packetin(&stream, &headerCode);
  ogg_page page;
  auto emit = [&out](const ogg_page& p) {
    out.insert(out.end(), p.header, p.header + p.header_len);
    out.insert(out.end(), p.body, p.body + p.body_len);
  };
  while (ogg_stream_flush(&stream, &page)) emit(page);

  const size_t total = frames.size() / channels;
  size_t at = 0;
  bool eos = false;
  while (!eos) {
    const size_t n = std::min<size_t>(4096, total - at);
    if (n == 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
      for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c) buffer[c][i] = frames[(at + i) * channels + c];
      vorbis_analysis_wrote(&dsp, static_cast<int>(n));
      at += n;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page)) {
          emit(page);
          if (ogg_page_eos(&page)) eos = true;
        }
      }
    }
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

}  // namespace audiotest
