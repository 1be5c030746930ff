// An independent reader of DDS files for the tests: it knows the published layout, not the
// library's tables, so that a file the library writes is checked against what another program
// would read from it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ddsfile_test {

struct DdsFile {
  uint32_t flags = 0, height = 0, width = 0, linear_size = 0, depth = 0, mip_count = 0;
  uint32_t pf_flags = 0, fourcc = 0, bit_count = 0, masks[4] = {0, 0, 0, 0};
  uint32_t caps = 0, caps2 = 0;
  std::string fourcc_text;  // "DXT1" … or empty
  std::vector<std::vector<uint8_t>> levels;
};

inline uint32_t Read32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Bytes of a level of w × h, from the pixel format alone; 0 when the format is not understood.
inline size_t LevelBytes(const DdsFile& f, uint32_t w, uint32_t h) {
  const size_t blocks = size_t{(w + 3) / 4} * ((h + 3) / 4);
  if (f.pf_flags & 0x4) {
    if (f.fourcc_text == "DXT1") return blocks * 8;
    if (f.fourcc_text == "DXT3" || f.fourcc_text == "DXT5" || f.fourcc_text == "ATI2")
      return blocks * 16;
    switch (f.fourcc) {  // numeric formats: half R, half RG, half RGBA, float R, float RGBA …
      case 111: return size_t{w} * h * 2;
      case 112: return size_t{w} * h * 4;
      case 113: return size_t{w} * h * 8;
      case 114: return size_t{w} * h * 4;
      case 116: return size_t{w} * h * 16;
      case 117: return size_t{w} * h * 2;
      case 63: return size_t{w} * h * 4;
      default: return 0;
    }
  }
  if (f.bit_count % 8 != 0 || f.bit_count == 0) return 0;
  return size_t{w} * h * (f.bit_count / 8);
}

// Parses a whole file; on failure returns false with the reason.
inline bool ParseDds(const std::vector<uint8_t>& data, DdsFile& f, std::string& why) {
  if (data.size() < 128) return why = "shorter than the header", false;
  if (std::memcmp(data.data(), "DDS ", 4) != 0) return why = "no magic", false;
  const uint8_t* d = data.data() + 4;
  if (Read32(d) != 124) return why = "descriptor size is not 124", false;
  f.flags = Read32(d + 4);
  f.height = Read32(d + 8);
  f.width = Read32(d + 12);
  f.linear_size = Read32(d + 16);
  f.depth = Read32(d + 20);
  f.mip_count = Read32(d + 24);
  for (int i = 28; i < 72; ++i)
    if (d[i] != 0) return why = "reserved words are not zero", false;
  if (Read32(d + 72) != 32) return why = "pixel format size is not 32", false;
  f.pf_flags = Read32(d + 76);
  f.fourcc = Read32(d + 80);
  f.bit_count = Read32(d + 84);
  for (int k = 0; k < 4; ++k) f.masks[k] = Read32(d + 88 + 4 * k);
  f.caps = Read32(d + 104);
  f.caps2 = Read32(d + 108);
  if (f.pf_flags & 0x4) {
    char text[5] = {0, 0, 0, 0, 0};
    std::memcpy(text, d + 80, 4);
    if (f.fourcc > 0xFFFF) f.fourcc_text = text;
  }
  if ((f.flags & 0x1007) != 0x1007) return why = "caps, height, width or pixel format flag missing", false;
  if (f.width == 0 || f.height == 0) return why = "empty surface", false;
  if (!(f.caps & 0x1000)) return why = "texture cap missing", false;
  const bool has_mips = (f.flags & 0x20000) != 0;
  if (has_mips != ((f.caps & 0x400008) == 0x400008)) return why = "mip-map flag and caps disagree", false;
  uint32_t full = 0;
  for (uint32_t m = f.width > f.height ? f.width : f.height; m; m >>= 1) ++full;
  const uint32_t count = has_mips ? f.mip_count : 1;
  if (count == 0 || count > full) return why = "mip count outside the chain", false;
  if (LevelBytes(f, f.width, f.height) == 0) return why = "unknown pixel format", false;
  if ((f.flags & 0x80000) && f.linear_size != LevelBytes(f, f.width, f.height))
    return why = "linear size is not the size of level 0", false;
  size_t pos = 128;
  uint32_t w = f.width, h = f.height;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t n = LevelBytes(f, w, h);
    if (pos + n > data.size()) return why = "level " + std::to_string(i) + " is truncated", false;
    f.levels.emplace_back(data.begin() + static_cast<long>(pos), data.begin() + static_cast<long>(pos + n));
    pos += n;
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  if (pos != data.size()) return why = "bytes after the last level", false;
  return true;
}

}  // namespace ddsfile_test
