// Uncompressed BMP files of 24 bits (colour) and 8 bits (index or grey with a 256-entry palette).
// Written bottom-up with the engine's fixed header values; read with every header field that
// decides where bytes lie checked against the file's real size, so a damaged or hostile file
// gives an empty bitmap and one log line.
#include <cstring>
#include <vector>

#include "base/FileTools.h"
#include "base/Imaging.h"
#include "base/data/Binary.h"
#include "base/system.h"

namespace base {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kPixelsPerMetre = 2953;  // 75 dots per inch
constexpr int kLargestSide = 32768;     // as tBitmap::Create

unsigned U16(const unsigned char* p) { return p[0] | p[1] << 8; }
int I32(const unsigned char* p) {
  return static_cast<int>(static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8 |
                          static_cast<unsigned>(p[2]) << 16 | static_cast<unsigned>(p[3]) << 24);
}
void Put16(std::vector<unsigned char>& out, unsigned v) {
  out.push_back(static_cast<unsigned char>(v)), out.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(std::vector<unsigned char>& out, int v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(static_cast<unsigned>(v) >> (8 * i)));
}

// The two headers as the writer lays them out.
void PutHeaders(std::vector<unsigned char>& out, int fileSize, int pixelOffset, int width, int height, int bits) {
  out.push_back('B'), out.push_back('M');
  Put32(out, fileSize);
  Put16(out, 0), Put16(out, 0);
  Put32(out, pixelOffset);
  Put32(out, kInfoHeaderSize);
  Put32(out, width), Put32(out, height);
  Put16(out, 1), Put16(out, static_cast<unsigned>(bits));
  Put32(out, 0), Put32(out, 0);
  Put32(out, kPixelsPerMetre), Put32(out, kPixelsPerMetre);
  Put32(out, 0), Put32(out, 0);
}

// Where the rows of a checked file lie.
struct st_BmpLayout {
  int width = 0, height = 0;
  bool topDown = false;
  int pixelOffset = 0;
  int rowSize = 0;  // bytes per row with padding
};

// Checks the headers for an uncompressed file of `bits` per pixel whose rows fit the data.
bool CheckBmp(const unsigned char* data, int size, const char* name, int bits, st_BmpLayout& layout) {
  auto fail = [&](const char* what) {
    sys::Output("ERROR: bitmap '%s': %s\n", name ? name : "", what);
    return false;
  };
  if (!data || size < kFileHeaderSize + kInfoHeaderSize) return fail("shorter than the BMP headers");
  if (data[0] != 'B' || data[1] != 'M') return fail("not a BMP file (no \"BM\")");
  const int headerSize = I32(data + 14);
  if (headerSize < kInfoHeaderSize || headerSize > size - kFileHeaderSize) return fail("bad information header size");
  const int width = I32(data + 18), height = I32(data + 22);
  const unsigned bpp = U16(data + 28);
  const int compression = I32(data + 30);
  if (static_cast<int>(bpp) != bits) return fail(bits == 24 ? "not 24 bits per pixel" : "not 8 bits per pixel");
  if (compression != 0) return fail("compressed pixels are not supported");
  // height == INT_MIN cannot be negated; it is refused with the other oversized values.
  if (width < 1 || width > kLargestSide || height == 0 || height < -kLargestSide || height > kLargestSide)
    return fail("bad image size");
  layout.width = width;
  layout.topDown = height < 0;
  layout.height = height < 0 ? -height : height;
  layout.rowSize = (width * bits / 8 + 3) & ~3;
  layout.pixelOffset = I32(data + 10);
  const int headersEnd = kFileHeaderSize + headerSize + (bits == 8 ? 1024 : 0);
  if (layout.pixelOffset < headersEnd || layout.pixelOffset > size) return fail("bad pixel offset");
  // The last row needs its pixels only; its padding may be missing.
  const long long needed =
      static_cast<long long>(layout.rowSize) * (layout.height - 1) + static_cast<long long>(width) * bits / 8;
  if (needed > size - layout.pixelOffset) return fail("the rows reach past the end of the file");
  return true;
}

// The whole file through reader into bitmap; an unreadable file leaves it empty (logged).
template <class B>
bool LoadWith(const char* path, bool (*reader)(const unsigned char*, int, const char*, B&), B& bitmap) {
  bitmap.Release();
  Binary file;
  if (!path || !LoadFile(path, file)) {
    sys::Output("ERROR: bitmap '%s': cannot be read\n", path ? path : "");
    return false;
  }
  return reader(file.get_buffer(), file.size(), path, bitmap);
}

}  // namespace

// ---- Reading

bool ReadBMP24(const unsigned char* data, int size, const char* name, cl_Bitmap24& out) {
  out.Release();
  st_BmpLayout l;
  if (!CheckBmp(data, size, name, 24, l)) return false;
  out.Create(l.width, l.height);
  for (int row = 0; row < l.height; ++row) {
    const unsigned char* src = data + l.pixelOffset + static_cast<long long>(row) * l.rowSize;
    Color24* dst = out.Pixel(0, l.topDown ? row : l.height - 1 - row);
    for (int x = 0; x < l.width; ++x, src += 3) dst[x] = Color24(src[2], src[1], src[0]);
  }
  return true;
}

bool ReadBMP8(const unsigned char* data, int size, const char* name, cl_Bitmap8& out) {
  out.Release();
  st_BmpLayout l;
  if (!CheckBmp(data, size, name, 8, l)) return false;
  out.Create(l.width, l.height);
  for (int row = 0; row < l.height; ++row) {
    const unsigned char* src = data + l.pixelOffset + static_cast<long long>(row) * l.rowSize;
    std::memcpy(out[l.topDown ? row : l.height - 1 - row], src, static_cast<size_t>(l.width));
  }
  return true;
}

template <>
bool cl_Bitmap24::LoadBMP(const char* path) {
  return LoadWith(path, ReadBMP24, *this);
}

template <>
bool cl_Bitmap8::LoadBMP(const char* path) {
  return LoadWith(path, ReadBMP8, *this);
}

template <>
bool cl_Bitmap32::LoadBMP(const char* path) {
  cl_Bitmap24 colour;
  Release();
  if (!colour.LoadBMP(path)) return false;
  *this = colour;
  return true;
}

template <>
bool cl_Bitmap32::LoadBMP(const char* colourPath, const char* alphaPath) {
  cl_Bitmap24 colour;
  cl_Bitmap8 alpha;
  Release();
  if (!colour.LoadBMP(colourPath) || !alpha.LoadBMP(alphaPath)) return false;
  CreateAlpha(&colour, &alpha);
  return true;
}

// ---- Writing

template <>
bool cl_Bitmap24::SaveBMP(const char* path) {
  if (!path) return false;
  const int padding = (4 - (m_width * 3) % 4) % 4;
  const int rowSize = m_width * 3 + padding;
  std::vector<unsigned char> out;
  out.reserve(static_cast<size_t>(54 + m_height * rowSize));
  PutHeaders(out, 54 + m_height * rowSize, 54, m_width, m_height, 24);
  for (int y = m_height - 1; y >= 0; --y) {
    const Color24* row = m_pixels + y * m_width;
    for (int x = 0; x < m_width; ++x) out.push_back(row[x].b), out.push_back(row[x].g), out.push_back(row[x].r);
    out.insert(out.end(), static_cast<size_t>(padding), 0xFF);
  }
  return SaveFile(path, out.data(), static_cast<int>(out.size()));
}

template <>
bool cl_Bitmap8::SaveBMP(const char* path, const cl_Palette* palette) {
  if (!path || !palette) return false;
  const int padding = m_width % 4 ? 4 - m_width % 4 : 0;
  const int fileSize = (m_width + padding) * m_height + 1080;
  std::vector<unsigned char> out;
  out.reserve(static_cast<size_t>(fileSize));
  PutHeaders(out, fileSize, 1078, m_width, m_height, 8);
  for (int i = 0; i < 256; ++i) {
    const Color24& c = palette->entries[i];
    out.push_back(c.b), out.push_back(c.g), out.push_back(c.r), out.push_back(0);
  }
  for (int y = m_height - 1; y >= 0; --y) {
    out.insert(out.end(), m_pixels + y * m_width, m_pixels + (y + 1) * m_width);
    out.insert(out.end(), static_cast<size_t>(padding), 0xFF);
  }
  out.push_back(0), out.push_back(0);
  return SaveFile(path, out.data(), static_cast<int>(out.size()));
}

template <>
bool cl_Bitmap8::SaveBMP(const char* path) {
  cl_Palette grey;
  for (int i = 0; i < 256; ++i) grey.entries[i] = Color24(i, i, i);
  return SaveBMP(path, &grey);
}

}  // namespace base
