// The whole-image operations and conversions of the bitmap kinds.
#include <algorithm>

#include "base/Imaging.h"

namespace base {

namespace {

unsigned char Truncate(float v) { return Color24::wrap(v); }

// The smallest rectangle of pixels for which keep(x, y) holds; false when there is none.
template <class F>
bool BoundingBox(int width, int height, F keep, int& x0, int& y0, int& x1, int& y1) {
  x0 = width, y0 = height, x1 = -1, y1 = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (keep(x, y)) x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
  return x1 >= 0;
}

// Cuts bitmap to the rectangle (inclusive corners) and moves its origin by the corner.
void CutTo(cl_Bitmap24& bitmap, int x0, int y0, int x1, int y1) {
  cl_Bitmap24 cut;
  cut.Create(x1 - x0 + 1, y1 - y0 + 1);
  for (int y = 0; y < cut.Height(); ++y)
    for (int x = 0; x < cut.Width(); ++x) *cut.Pixel(x, y) = bitmap.Point(x0 + x, y0 + y);
  cut.SetOrigin(bitmap.OriginX() + x0, bitmap.OriginY() + y0);
  bitmap = static_cast<cl_Bitmap24&&>(cut);
}

bool IsBlack(const Color24& c) { return c.r == 0 && c.g == 0 && c.b == 0; }

// Bilinear between the four pixels around (x, y); pixels outside count as black.
template <class T>
T Bilinear(const tBitmap<T>& b, float x, float y) {
  const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
  const float fx = x - x0, fy = y - y0;
  const T top = b.Point(x0, y0).lerp(b.Point(x0 + 1, y0), fx);
  const T bottom = b.Point(x0, y0 + 1).lerp(b.Point(x0 + 1, y0 + 1), fx);
  return top.lerp(bottom, fy);
}

}  // namespace

// ---- 8 bits

template <>
unsigned char* cl_Bitmap8::operator[](int row) {
  return m_pixels + Wrap(row, m_height) * m_width;
}

template <>
void cl_Bitmap8::CreateMiniature(const cl_Bitmap8& source) {
  if (source.Height() < 2) return;
  Create(source.Width() / 2, source.Height() / 2);
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x) {
      const int sum = source.Point(2 * x, 2 * y) + source.Point(2 * x + 1, 2 * y) + source.Point(2 * x, 2 * y + 1) +
                      source.Point(2 * x + 1, 2 * y + 1);
      m_pixels[y * m_width + x] = static_cast<unsigned char>(sum >> 2);
    }
}

template <>
void cl_Bitmap8::RotateCW() {
  if (!m_pixels) return;
  cl_Bitmap8 turned;
  turned.Create(m_height, m_width);
  for (int y = 0; y < turned.Height(); ++y)
    for (int x = 0; x < turned.Width(); ++x) *turned.Pixel(x, y) = Point(y, x);
  turned.SetOrigin(m_originX, m_originY);
  *this = static_cast<cl_Bitmap8&&>(turned);
}

template <>
void cl_Bitmap8::HalfTone() {
  for (int i = 0; i < NumPixels(); ++i) m_pixels[i] >>= 1;
}

// ---- 24 bits

template <>
void cl_Bitmap24::Gamma(float g) {
  for (int i = 0; i < NumPixels(); ++i) {
    Color24& c = m_pixels[i];
    const float l = (c.b + c.g + c.r) / 768.0f;
    const float f = l * l * g + (1.0f - g);
    c = Color24(Truncate(c.r * f), Truncate(c.g * f), Truncate(c.b * f));
  }
}

template <>
void cl_Bitmap24::Mult(const cl_Bitmap8& mask) {
  const int dx = (mask.Width() - m_width) / 2, dy = (mask.Height() - m_height) / 2;
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x) {
      Color24& c = m_pixels[y * m_width + x];
      const int m = mask.Point(x + dx, y + dy);
      c = Color24(static_cast<unsigned char>(c.r * m >> 8), static_cast<unsigned char>(c.g * m >> 8),
                  static_cast<unsigned char>(c.b * m >> 8));
      if (m < 128 && !IsBlack(c)) c = Color24(m, m, m);
    }
}

template <>
Color24 cl_Bitmap24::SubPixelPoint(float x, float y) const {
  return Bilinear(*this, x, y);
}

template <>
void cl_Bitmap24::MakeHalfsize() {
  cl_Bitmap24 half;
  half.Create(m_width / 2, m_height / 2);
  for (int y = 0; y < half.Height(); ++y)
    for (int x = 0; x < half.Width(); ++x) {
      Color24& out = *half.Pixel(x, y);
      for (int ch = 0; ch < 3; ++ch) {
        const int sum = Point(2 * x, 2 * y)[ch] + Point(2 * x + 1, 2 * y)[ch] + Point(2 * x, 2 * y + 1)[ch] +
                        Point(2 * x + 1, 2 * y + 1)[ch];
        out[ch] = static_cast<unsigned char>(sum >> 2);
      }
    }
  half.SetOrigin(m_originX, m_originY);
  *this = static_cast<cl_Bitmap24&&>(half);
}

template <>
void cl_Bitmap24::MakeHalfbright() {
  for (int i = 0; i < NumPixels(); ++i)
    for (int ch = 0; ch < 3; ++ch) m_pixels[i][ch] = static_cast<unsigned char>(m_pixels[i][ch] >> 1);
}

template <>
void cl_Bitmap24::Crop() {
  int x0, y0, x1, y1;
  if (BoundingBox(m_width, m_height, [&](int x, int y) { return !IsBlack(m_pixels[y * m_width + x]); }, x0, y0, x1, y1))
    CutTo(*this, x0, y0, x1, y1);
}

template <>
void cl_Bitmap24::DifferencesTo(const cl_Bitmap24& other) {
  int x0, y0, x1, y1;
  auto differs = [&](int x, int y) { return !(m_pixels[y * m_width + x] == other.Point(x, y)); };
  if (BoundingBox(m_width, m_height, differs, x0, y0, x1, y1)) CutTo(*this, x0, y0, x1, y1);
}

template <>
void cl_Bitmap24::DrawTo(cl_Bitmap32& target) const {
  const int tw = target.Width(), th = target.Height();
  if (tw < 1 || th < 1) return;
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x) {
      // Positive modulo: an origin left of or above the target wraps around it.
      const int tx = ((m_originX + x) % tw + tw) % tw, ty = ((m_originY + y) % th + th) % th;
      Color32& out = target.GetPixels()[ty * tw + tx];
      const Color24& in = m_pixels[y * m_width + x];
      out.r = in.r, out.g = in.g, out.b = in.b;
    }
}

template <>
void cl_Bitmap24::SmoothAlphaMask(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
  for (int y = 0; y < m_height; ++y) {
    const float t = static_cast<float>(y) / m_height;
    const float left = a + t * (c - a), right = b + t * (d - b);
    const float step = (right - left) / m_width;
    float v = left;
    for (int x = 0; x < m_width; ++x, v += step) {
      const unsigned char grey = Truncate(v);
      m_pixels[y * m_width + x] = Color24(grey, grey, grey);
    }
  }
}

template <>
void cl_Bitmap24::Init(const cl_Bitmap8* indices, const cl_Palette* palette) {
  if (!indices || !palette) return;
  Create(indices->Width(), indices->Height());
  for (int i = 0; i < NumPixels(); ++i) m_pixels[i] = (*palette)[indices->GetPixels()[i]];
}

template <>
void cl_Bitmap24::Init(const cl_Bitmap8* indices) {
  cl_Palette grey;
  for (int i = 0; i < 256; ++i) grey.entries[i] = Color24(i, i, i);
  Init(indices, &grey);
}

template <>
template <>
cl_Bitmap24& cl_Bitmap24::operator=(const cl_Bitmap32& source) {
  Create(source.Width(), source.Height());
  for (int i = 0; i < NumPixels(); ++i) {
    const Color32& c = source.GetPixels()[i];
    m_pixels[i] = Color24(c.r, c.g, c.b);
  }
  SetOrigin(source.OriginX(), source.OriginY());
  return *this;
}

// ---- 32 bits

template <>
Color32 cl_Bitmap32::SubPixelPoint(float x, float y) const {
  return Bilinear(*this, x, y);
}

template <>
void cl_Bitmap32::CreateFromRegion(const cl_Bitmap32& source, int x0, int y0, int x1, int y1) {
  Release();
  if (source.IsEmpty() || x1 <= x0 || y1 <= y0) return;
  Create(x1 - x0, y1 - y0);
  const int sw = source.Width(), sh = source.Height();
  const int column = ((x0 % sw) + sw) % sw;
  // A rectangle reaching past the source's right edge is cut there rather than read past it.
  const int count = std::min(m_width, sw - column);
  for (int y = 0; y < m_height; ++y) {
    const Color32* row = source.GetPixels() + (((y0 + y) % sh + sh) % sh) * sw + column;
    std::copy(row, row + count, m_pixels + y * m_width);
  }
}

template <>
void cl_Bitmap32::CreateAlpha(const cl_Bitmap24* colour, const cl_Bitmap8* alpha) {
  if (!colour) return;
  Create(colour->Width(), colour->Height());
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x) {
      const Color24 c = colour->Point(x, y);
      m_pixels[y * m_width + x] = Color32(c.r, c.g, c.b, alpha ? alpha->Point(x, y) : 0);
    }
}

template <>
void cl_Bitmap32::CreateSaturated(const cl_Bitmap24* colour) {
  if (!colour) return;
  Create(colour->Width(), colour->Height());
  for (int i = 0; i < NumPixels(); ++i) {
    const Color24 c = colour->GetPixels()[i];
    m_pixels[i] = Color32(c.r, c.g, c.b, static_cast<unsigned char>(std::min(c.r + c.g + c.b, 255)));
  }
}

template <>
cl_Bitmap32& cl_Bitmap32::operator*=(const cl_Bitmap32& other) {
  const int n = std::min(NumPixels(), other.NumPixels());
  for (int i = 0; i < n; ++i)
    for (int ch = 0; ch < 4; ++ch) m_pixels[i][ch] = static_cast<unsigned char>(m_pixels[i][ch] * other.m_pixels[i][ch] / 255);
  return *this;
}

template <>
void cl_Bitmap32::Saturate(float s) {
  for (int i = 0; i < NumPixels(); ++i) {
    Color32& c = m_pixels[i];
    const float r = c.r / 255.0f, g = c.g / 255.0f, b = c.b / 255.0f;
    const float mean = (r + g + b) / 3.0f;
    auto push = [&](float v) { return Truncate(std::clamp((v - mean) * s + mean, 0.0f, 1.0f) * 255.0f); };
    c.r = push(r), c.g = push(g), c.b = push(b);
  }
}

template <>
unsigned char cl_Bitmap32::GetOverallAlpha() const {
  if (NumPixels() == 0) return 0;
  long long sum = 0;
  for (int i = 0; i < NumPixels(); ++i) sum += m_pixels[i].a;
  return static_cast<unsigned char>(sum / NumPixels());
}

template <>
template <>
cl_Bitmap32& cl_Bitmap32::operator=(const cl_Bitmap24& source) {
  Create(source.Width(), source.Height());
  for (int i = 0; i < NumPixels(); ++i) {
    const Color24& c = source.GetPixels()[i];
    m_pixels[i] = Color32(c.r, c.g, c.b, 255);
  }
  SetOrigin(source.OriginX(), source.OriginY());
  return *this;
}

}  // namespace base
