#include "platform/audio/VorbisHeaders.h"

#include <ogg/ogg.h>

#include <cstring>
#include <map>
#include <memory>

#include "platform/audio/Decoder.h"

namespace platform::audio {
namespace {

// Vorbis packs fields from the least significant bit of each byte up.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : m_data(data), m_bits(uint64_t{size} * 8) {}
  bool Ok() const { return m_ok; }
  uint32_t Read(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      if (m_at >= m_bits) {
        m_ok = false;
        return 0;
      }
      value |= static_cast<uint32_t>((m_data[m_at >> 3] >> (m_at & 7)) & 1) << i;
      ++m_at;
    }
    return value;
  }
  void Skip(uint64_t count) {
    if (count > m_bits - m_at) m_ok = false;
    m_at = m_ok ? m_at + count : m_bits;
  }

 private:
  const uint8_t* m_data;
  uint64_t m_bits;
  uint64_t m_at = 0;
  bool m_ok = true;
};

int Log2Ceil(uint32_t v) {
  int bits = 0;
  while (v) {
    ++bits;
    v >>= 1;
  }
  return bits;
}

// Walks the codebooks at the head of a setup packet; false at the first one that is malformed or
// has no dimensions.
bool CheckCodebooks(const uint8_t* packet, size_t size, std::string& problem) {
  if (size < 7 || packet[0] != 5 || std::memcmp(packet + 1, "vorbis", 6) != 0) return true;  // not a setup
  BitReader bits(packet + 7, size - 7);
  const uint32_t books = bits.Read(8) + 1;
  for (uint32_t b = 0; b < books && bits.Ok(); ++b) {
    if (bits.Read(24) != 0x564342) {
      problem = "bad Vorbis codebook (sync)";
      return false;
    }
    const uint32_t dimensions = bits.Read(16);
    const uint32_t entries = bits.Read(24);
    if (bits.Ok() && (dimensions == 0 || entries == 0)) {
      problem = "bad Vorbis codebook (no dimensions or entries)";
      return false;
    }
    // The code lengths must form a prefix code (Kraft: the sum of 2^-length at most 1). libvorbis
    // refuses an over-full one but keeps the half-built codebooks after it without dimensions,
    // and divides by them later.
    uint64_t kraft = 0;  // in units of 2^-32
    uint32_t used = 0;
    const auto addLength = [&kraft, &used](uint32_t length, uint32_t count) {
      if (length > 32) kraft = ~uint64_t{0};
      else kraft += uint64_t{count} << (32 - length);
      used += count;
    };
    if (bits.Read(1)) {  // ordered: runs of entries with growing lengths
      uint32_t entry = 0;
      uint32_t length = bits.Read(5) + 1;
      while (entry < entries && bits.Ok()) {
        const uint32_t run = bits.Read(Log2Ceil(entries - entry));
        if (run > entries - entry) break;
        addLength(length++, run);
        entry += run;
      }
      if (bits.Ok() && entry != entries) {
        problem = "bad Vorbis codebook (lengths)";
        return false;
      }
    } else {
      const bool sparse = bits.Read(1) != 0;
      for (uint32_t e = 0; e < entries && bits.Ok(); ++e)
        if (!sparse || bits.Read(1)) addLength(bits.Read(5) + 1, 1);
    }
    if (bits.Ok() && (used == 0 || kraft > (uint64_t{1} << 32))) {
      problem = "bad Vorbis codebook (code lengths)";
      return false;
    }
    const uint32_t lookup = bits.Read(4);
    if (lookup == 1 || lookup == 2) {
      bits.Skip(64);  // minimum and delta
      const uint32_t valueBits = bits.Read(4) + 1;
      bits.Read(1);
      uint64_t values = uint64_t{entries} * dimensions;
      if (lookup == 1) {  // the largest r with r^dimensions <= entries
        uint64_t r = 0;
        for (;;) {
          uint64_t power = 1;
          for (uint32_t d = 0; d < dimensions && power <= entries; ++d) power *= r + 1;
          if (power > entries) break;
          ++r;
        }
        values = r;
      }
      bits.Skip(values * valueBits);
    } else if (lookup != 0) {
      problem = "bad Vorbis codebook (lookup type)";
      return false;
    }
  }
  if (!bits.Ok()) {
    problem = "bad Vorbis setup header (cut short)";
    return false;
  }
  return true;
}

struct StreamState {
  ogg_stream_state state;
  int packets = 0;
  explicit StreamState(int serial) { ogg_stream_init(&state, serial); }
  ~StreamState() { ogg_stream_clear(&state); }
};

}  // namespace

bool CheckVorbisSetups(ByteSource& source, std::string& problem) {
  if (!source.Seek(0)) return true;
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  std::map<int, std::unique_ptr<StreamState>> streams;
  bool ok = true;
  for (bool more = true; more && ok;) {
    char* buffer = ogg_sync_buffer(&sync, 4096);
    const size_t got = source.Read(buffer, 4096);
    ogg_sync_wrote(&sync, static_cast<long>(got));
    more = got > 0;
    ogg_page page;
    while (ok && ogg_sync_pageout(&sync, &page) == 1) {
      const int serial = ogg_page_serialno(&page);
      auto& stream = streams[serial];
      if (!stream) stream = std::make_unique<StreamState>(serial);
      if (stream->packets >= 3) continue;  // past the three headers of this stream
      ogg_stream_pagein(&stream->state, &page);
      ogg_packet packet;
      while (ok && stream->packets < 3 && ogg_stream_packetout(&stream->state, &packet) == 1) {
        if (++stream->packets == 3) ok = CheckCodebooks(packet.packet, static_cast<size_t>(packet.bytes), problem);
      }
    }
  }
  ogg_sync_clear(&sync);
  return ok;
}

}  // namespace platform::audio
