// CPU images: the bitmap template over one pixel type, its four kinds (8-bit grey or palette
// index, 24-bit colour, 32-bit colour with alpha, one float per pixel), the 256-colour palette,
// uncompressed BMP files, conversions between the kinds and whole-image operations. Textures and
// images are filled from cl_Bitmap32; screenshots and savegame pictures use 24 and 32 bits.
// Plain value types; each bitmap owns its pixel buffer.
#pragma once

#include "base/math/Color.h"

namespace base {

class File;

template <class C, int N>
struct tPal {
  C entries[N];  // black after construction
  C& operator[](unsigned char index) { return entries[index]; }
  const C& operator[](unsigned char index) const { return entries[index]; }
};
using cl_Palette = tPal<Color24, 256>;

template <class T>
class tBitmap {
 public:
  tBitmap() = default;
  tBitmap(const tBitmap& other) { *this = other; }
  tBitmap(tBitmap&& other) noexcept { swap(other); }
  ~tBitmap() { Release(); }
  // Frees the own pixels, then copies size, origin and pixels.
  tBitmap& operator=(const tBitmap& other);
  tBitmap& operator=(tBitmap&& other) noexcept {
    if (this != &other) {
      Release();
      swap(other);
    }
    return *this;
  }
  // Conversions between kinds (24 <-> 32 bits): same size and origin; see Imaging.cpp.
  template <class U>
  tBitmap& operator=(const tBitmap<U>& source);

  // width × height pixels of undefined content, origin (0, 0). A size below 1 gives an empty bitmap.
  void Create(int width, int height);
  // Frees the pixels: size 0, origin 0.
  void Release();
  bool IsEmpty() const { return m_pixels == nullptr; }

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  int NumPixels() const { return m_width * m_height; }
  int OriginX() const { return m_originX; }
  int OriginY() const { return m_originY; }
  void SetOrigin(int x, int y) { m_originX = x, m_originY = y; }
  T* GetPixels() { return m_pixels; }
  const T* GetPixels() const { return m_pixels; }

  // The pixel at ((x + width) mod width, (y + height) mod height): coordinates wrap once, so
  // -width <= x < 2 × width (likewise y) address a pixel. The bitmap must not be empty.
  T* Pixel(int x, int y) { return m_pixels + Wrap(y, m_height) * m_width + Wrap(x, m_width); }
  const T* Pixel(int x, int y) const { return m_pixels + Wrap(y, m_height) * m_width + Wrap(x, m_width); }
  // The pixel's value inside the bitmap, zero outside.
  T Point(int x, int y) const {
    return x >= 0 && x < m_width && y >= 0 && y < m_height ? m_pixels[y * m_width + x] : T();
  }

  // ---- 8 bits (cl_Bitmap8)
  T* operator[](int row);  // first pixel of row, wrapping as Pixel does
  // This becomes half the source's size, each pixel the mean of a 2 × 2 block (integer).
  void CreateMiniature(const tBitmap& source);
  void RotateCW();  // width and height exchange; result (x, y) = source (y, x)
  void HalfTone();  // every pixel >> 1
  // Palette index or grey BMP; an unreadable or malformed file leaves the bitmap empty (logged).
  bool LoadBMP(const char* path);
  bool SaveBMP(const char* path, const cl_Palette* palette);
  bool SaveBMP(const char* path);  // with the grey palette

  // ---- 24 bits (cl_Bitmap24); the BMP pair above serves this kind too (24 bits per pixel)
  // f = l² × g + (1 − g) with l the brightness (sum / 768); every channel × f.
  void Gamma(float g);
  // Darkens by a centred 8-bit mask: channel × m >> 8; dark mask values (< 128) flatten to m.
  void Mult(const tBitmap<unsigned char>& mask);
  T SubPixelPoint(float x, float y) const;  // bilinear; outside counts as black (24 and 32 bits)
  void MakeHalfsize();    // half size, 2 × 2 means; fewer than 2 rows gives an empty size
  void MakeHalfbright();  // every channel >> 1
  // Cut to the smallest rectangle of non-black pixels; the origin grows by its corner.
  void Crop();
  // As Crop, around the pixels that differ from other's (other's outside count as black).
  void DifferencesTo(const tBitmap& other);
  // Colour into the target at (origin + position) mod the target's size; the target's alpha stays.
  void DrawTo(tBitmap<Color32>& target) const;
  // Fills with a grey gradient between the corner values a (top left), b, c, d (bottom right).
  void SmoothAlphaMask(unsigned char a, unsigned char b, unsigned char c, unsigned char d);
  // Pixels looked up in the palette (or the grey palette); nothing when the source is null.
  void Init(const tBitmap<unsigned char>* indices, const cl_Palette* palette);
  void Init(const tBitmap<unsigned char>* indices);
  // Kept as no-operations: callers still call them.
  void Bump() {}
  void Backup() {}
  void AlphaMix() {}
  void Restore() {}

  // ---- 32 bits (cl_Bitmap32)
  // This becomes (x1 − x0) × (y1 − y0); row y copies source row (y0 + y) mod height from column
  // x0 mod width on (rows wrap; columns must stay inside the source).
  void CreateFromRegion(const tBitmap& source, int x0, int y0, int x1, int y1);
  // Colour of colour, alpha from alpha at the same position (0 outside it).
  void CreateAlpha(const tBitmap<Color24>* colour, const tBitmap<unsigned char>* alpha);
  // Colour copied, alpha = min(blue + green + red, 255).
  void CreateSaturated(const tBitmap<Color24>* colour);
  // Channel-wise this × other / 255 over this bitmap's pixel count (other must have as many).
  tBitmap& operator*=(const tBitmap& other);
  void Saturate(float s);               // colour pushed away from (s > 1) or toward its grey mean
  unsigned char GetOverallAlpha() const;  // mean alpha; 0 when empty
  // A 24-bit BMP with alpha 255, or a colour BMP joined with an 8-bit alpha BMP.
  bool LoadBMP(const char* colourPath, const char* alphaPath);
  // The bitmap record (u32 width, height, origin x, origin y, then width × height pixels when
  // both are non-zero). Empties the bitmap first; a size with exactly one side of 0, over
  // kMaxRecordSide or past the end of the file is refused (logged, file failed) and leaves it empty.
  bool Read(File* file);
  // The same record written: 0 x 0 and no pixels for an empty bitmap. False when a write failed.
  bool Write(File* file) const;
  static constexpr int kMaxRecordSide = 8192;

  // ---- floats (cl_Bitmap1f)
  void Clear(T value) {
    for (int i = 0; i < NumPixels(); ++i) m_pixels[i] = value;
  }

 private:
  static int Wrap(int v, int n) { return v < 0 ? v + n : (v >= n ? v - n : v); }
  void swap(tBitmap& other) noexcept {
    auto exchange = [](auto& a, auto& b) {
      auto t = a;
      a = b;
      b = t;
    };
    exchange(m_width, other.m_width), exchange(m_height, other.m_height);
    exchange(m_originX, other.m_originX), exchange(m_originY, other.m_originY);
    exchange(m_pixels, other.m_pixels);
  }

  int m_width = 0;
  int m_height = 0;
  int m_originX = 0;  // where the top-left pixel lies in the bitmap this one was cut from
  int m_originY = 0;
  T* m_pixels = nullptr;  // row-major, top row first
};

using cl_Bitmap8 = tBitmap<unsigned char>;
using cl_Bitmap24 = tBitmap<Color24>;
using cl_Bitmap32 = tBitmap<Color32>;
using cl_Bitmap1f = tBitmap<float>;

// ---- BMP files in memory (the loaders read the whole file first, so damaged files can be
// checked against their real size). Each returns false with one "ERROR:" line naming `name`
// and leaves out empty; out is also emptied first.
bool ReadBMP24(const unsigned char* data, int size, const char* name, cl_Bitmap24& out);
bool ReadBMP8(const unsigned char* data, int size, const char* name, cl_Bitmap8& out);

// ---- the operations each kind has; defined in base/imaging/
template <> unsigned char* cl_Bitmap8::operator[](int row);
template <> void cl_Bitmap8::CreateMiniature(const cl_Bitmap8& source);
template <> void cl_Bitmap8::RotateCW();
template <> void cl_Bitmap8::HalfTone();
template <> bool cl_Bitmap8::LoadBMP(const char* path);
template <> bool cl_Bitmap8::SaveBMP(const char* path, const cl_Palette* palette);
template <> bool cl_Bitmap8::SaveBMP(const char* path);

template <> bool cl_Bitmap24::LoadBMP(const char* path);
template <> bool cl_Bitmap24::SaveBMP(const char* path);
template <> void cl_Bitmap24::Gamma(float g);
template <> void cl_Bitmap24::Mult(const cl_Bitmap8& mask);
template <> Color24 cl_Bitmap24::SubPixelPoint(float x, float y) const;
template <> void cl_Bitmap24::MakeHalfsize();
template <> void cl_Bitmap24::MakeHalfbright();
template <> void cl_Bitmap24::Crop();
template <> void cl_Bitmap24::DifferencesTo(const cl_Bitmap24& other);
template <> void cl_Bitmap24::DrawTo(cl_Bitmap32& target) const;
template <> void cl_Bitmap24::SmoothAlphaMask(unsigned char a, unsigned char b, unsigned char c, unsigned char d);
template <> void cl_Bitmap24::Init(const cl_Bitmap8* indices, const cl_Palette* palette);
template <> void cl_Bitmap24::Init(const cl_Bitmap8* indices);
template <> template <> cl_Bitmap24& cl_Bitmap24::operator=(const cl_Bitmap32& source);

template <> bool cl_Bitmap32::LoadBMP(const char* path);
template <> bool cl_Bitmap32::LoadBMP(const char* colourPath, const char* alphaPath);
template <> Color32 cl_Bitmap32::SubPixelPoint(float x, float y) const;
template <> void cl_Bitmap32::CreateFromRegion(const cl_Bitmap32& source, int x0, int y0, int x1, int y1);
template <> void cl_Bitmap32::CreateAlpha(const cl_Bitmap24* colour, const cl_Bitmap8* alpha);
template <> void cl_Bitmap32::CreateSaturated(const cl_Bitmap24* colour);
template <> cl_Bitmap32& cl_Bitmap32::operator*=(const cl_Bitmap32& other);
template <> void cl_Bitmap32::Saturate(float s);
template <> unsigned char cl_Bitmap32::GetOverallAlpha() const;
template <> template <> cl_Bitmap32& cl_Bitmap32::operator=(const cl_Bitmap24& source);
template <> bool cl_Bitmap32::Read(File* file);
template <> bool cl_Bitmap32::Write(File* file) const;

// ---- what every kind shares

template <class T>
tBitmap<T>& tBitmap<T>::operator=(const tBitmap& other) {
  if (this == &other) return *this;
  Release();
  if (other.m_pixels) {
    Create(other.m_width, other.m_height);
    for (int i = 0; i < NumPixels(); ++i) m_pixels[i] = other.m_pixels[i];
  }
  m_originX = other.m_originX;
  m_originY = other.m_originY;
  return *this;
}

template <class T>
void tBitmap<T>::Create(int width, int height) {
  Release();
  // Beyond 32,768 on a side the byte sizes of callers and files stop fitting 32 bits.
  if (width < 1 || height < 1 || width > 32768 || height > 32768) return;
  m_pixels = new T[static_cast<unsigned>(width) * static_cast<unsigned>(height)]();  // zeroed: callers rely on it
  m_width = width;
  m_height = height;
}

template <class T>
void tBitmap<T>::Release() {
  delete[] m_pixels;
  m_pixels = nullptr;
  m_width = m_height = m_originX = m_originY = 0;
}

}  // namespace base
