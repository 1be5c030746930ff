// cl_LwoWriter: writes IFF files as LightWave objects use them (big-endian numbers, chunks with
// a 32-bit size, sub-chunks with a 16-bit size, both padded to even), byte by byte, so that
// tools can write objects and tests can write damaged ones. The reader never uses it.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace base {

class cl_LwoWriter {
 public:
  cl_LwoWriter& U1(int v) {
    m_bytes.push_back(static_cast<char>(v & 0xFF));
    return *this;
  }
  cl_LwoWriter& U2(int v) { return U1(v >> 8).U1(v); }
  cl_LwoWriter& I2(int v) { return U2(v & 0xFFFF); }
  cl_LwoWriter& U4(uint32_t v) { return U2(static_cast<int>(v >> 16)).U2(static_cast<int>(v & 0xFFFF)); }
  cl_LwoWriter& F4(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return U4(bits);
  }
  cl_LwoWriter& F4s(std::initializer_list<float> fs) {
    for (float f : fs) F4(f);
    return *this;
  }
  // The variable-length index: two bytes below 0xFF00, else four with 0xFF first.
  cl_LwoWriter& VX(int v) { return v < 0xFF00 ? U2(v) : U4(0xFF000000u | static_cast<uint32_t>(v)); }
  cl_LwoWriter& S0(const std::string& s) {
    m_bytes += s;
    m_bytes.push_back(0);
    if (m_bytes.size() & 1) m_bytes.push_back(0);
    return *this;
  }
  cl_LwoWriter& Id(const char* id) {
    m_bytes.append(id, 4);
    return *this;
  }
  cl_LwoWriter& Raw(const std::string& bytes) {
    m_bytes += bytes;
    return *this;
  }

  // Opens a chunk (4-byte size) or a sub-chunk (2-byte size); End closes the innermost one.
  cl_LwoWriter& Chunk(const char* id) { return Open(id, 4); }
  cl_LwoWriter& Sub(const char* id) { return Open(id, 2); }
  cl_LwoWriter& End() {
    const Opened o = m_open.back();
    m_open.pop_back();
    const size_t size = m_bytes.size() - o.at - 4 - static_cast<size_t>(o.sizeBytes);
    for (int i = 0; i < o.sizeBytes; ++i) {
      m_bytes[o.at + 4 + static_cast<size_t>(i)] = static_cast<char>((size >> (8 * (o.sizeBytes - 1 - i))) & 0xFF);
    }
    if (size & 1) m_bytes.push_back(0);
    return *this;
  }

  int size() const { return static_cast<int>(m_bytes.size()); }
  const std::string& bytes() const { return m_bytes; }

 private:
  struct Opened {
    size_t at;
    int sizeBytes;
  };
  cl_LwoWriter& Open(const char* id, int sizeBytes) {
    m_open.push_back({m_bytes.size(), sizeBytes});
    Id(id);
    m_bytes.append(static_cast<size_t>(sizeBytes), '\0');
    return *this;
  }

  std::string m_bytes;
  std::vector<Opened> m_open;
};

struct st_LwoPoint3 {
  float x, y, z;
};

// "PNTS" with the given points.
inline cl_LwoWriter& LwoWritePoints(cl_LwoWriter& w, const std::vector<st_LwoPoint3>& points) {
  w.Chunk("PNTS");
  for (const st_LwoPoint3& p : points) w.F4s({p.x, p.y, p.z});
  return w.End();
}

// "POLS" of type "FACE" with the given point lists.
inline cl_LwoWriter& LwoWriteFaces(cl_LwoWriter& w, const std::vector<std::vector<int>>& polygons) {
  w.Chunk("POLS").Id("FACE");
  for (const auto& poly : polygons) {
    w.U2(static_cast<int>(poly.size()));
    for (int p : poly) w.VX(p);
  }
  return w.End();
}

// "TAGS" with the given names.
inline cl_LwoWriter& LwoWriteTags(cl_LwoWriter& w, const std::vector<std::string>& names) {
  w.Chunk("TAGS");
  for (const auto& n : names) w.S0(n);
  return w.End();
}

// "PTAG" of type, pairs of (polygon, tag).
inline cl_LwoWriter& LwoWritePolygonTags(cl_LwoWriter& w, const char* type, const std::vector<std::pair<int, int>>& pairs) {
  w.Chunk("PTAG").Id(type);
  for (const auto& [poly, tag] : pairs) w.VX(poly).VX(tag);
  return w.End();
}

}  // namespace base
