// The imaging effects of the three extended bitmap kinds.
#include "base/imaging/BitmapEffects.h"

#include <algorithm>
#include <utility>

#include "base/math/Random.h"

namespace base {

namespace {

// Largest side a fractal enlargement may produce; bitmaps stop at this size.
constexpr int kMaxSide = 32768;

bool Inside(const cl_Bitmap8& b, int x, int y) { return x >= 0 && x < b.Width() && y >= 0 && y < b.Height(); }

// One fractal enlargement: (2w − 1) × (2h − 1), old pixel (x, y) at (2x, 2y), the new pixels
// between from pick(kind, old x, old y), kind 0 horizontal, 1 vertical, 2 centre, drawn in this
// order per old pixel. False (the bitmap unchanged) when the result would be too large.
template <class Pick>
bool Enlarge(cl_Bitmap8& bitmap, Pick pick) {
  const int w = bitmap.Width(), h = bitmap.Height();
  if (bitmap.IsEmpty() || 2 * w - 1 > kMaxSide || 2 * h - 1 > kMaxSide) return false;
  cl_Bitmap8 out;
  out.Create(2 * w - 1, 2 * h - 1);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      *out.Pixel(2 * x, 2 * y) = *bitmap.Pixel(x, y);
      if (x < w - 1) *out.Pixel(2 * x + 1, 2 * y) = pick(0, x, y);
      if (y < h - 1) *out.Pixel(2 * x, 2 * y + 1) = pick(1, x, y);
      if (x < w - 1 && y < h - 1) *out.Pixel(2 * x + 1, 2 * y + 1) = pick(2, x, y);
    }
  }
  bitmap = std::move(out);
  return true;
}

}  // namespace

// ---- cl_Bitmap8Ex

void cl_Bitmap8Ex::Blur() {
  for (int y = 0; y < Height(); ++y) {
    for (int x = 0; x < Width(); ++x) {
      int sum = *Pixel(x, y), count = 1;
      for (int i = 0; i < 6; ++i) {
        const int dx = Random(2) + Random(2) - 1;
        const int dy = Random(2) + Random(2) - 1;
        if (Inside(*this, x + dx, y + dy)) {
          sum += *Pixel(x + dx, y + dy);
          ++count;
        }
      }
      *Pixel(x, y) = static_cast<unsigned char>(sum / count);
    }
  }
}

void cl_Bitmap8Ex::Blur(const cl_Bitmap8* radius) {
  if (!radius || radius->IsEmpty()) return;
  for (int y = 0; y < Height(); ++y) {
    for (int x = 0; x < Width(); ++x) {
      const int r = radius->Point(x % radius->Width(), y % radius->Height());
      int sum = *Pixel(x, y), count = 1;
      for (int i = 0; i < 2 * r; ++i) {
        int sx = x - Random(r);
        sx += Random(r);
        int sy = y - Random(r);
        sy += Random(r);
        if (Inside(*this, sx, sy)) {
          sum += *Pixel(sx, sy);
          ++count;
        }
      }
      *Pixel(x, y) = static_cast<unsigned char>(sum / count);
    }
  }
}

void cl_Bitmap8Ex::AddSaturated(const cl_Bitmap8* detail) {
  if (!detail) return;
  for (int y = 0; y < Height(); ++y) {
    for (int x = 0; x < Width(); ++x) {
      const int a = *Pixel(x, y);
      if (a <= 128) continue;
      const int b = detail->Point(x & 511, y & 511);
      int value = a + (a - 128) * b / 192;
      if (value > 255) value = 765 - 2 * value;
      *Pixel(x, y) = static_cast<unsigned char>(std::max(value, 0));
    }
  }
}

cl_Bitmap8Ex& cl_Bitmap8Ex::operator*=(const cl_Bitmap8& other) {
  for (int y = 0; y < Height(); ++y)
    for (int x = 0; x < Width(); ++x) *Pixel(x, y) = static_cast<unsigned char>(*Pixel(x, y) * other.Point(x, y) >> 8);
  return *this;
}

void cl_Bitmap8Ex::AddNoise(int steps, int amplitude) {
  for (int step = 0; step < steps; ++step) {
    // The enlargement writes a new buffer, so the picks read the old pixels.
    const cl_Bitmap8& source = *this;
    const bool enlarged = Enlarge(*this, [&source](int kind, int x, int y) -> unsigned char {
      const int v = source.Point(x, y);
      if (kind == 0) return static_cast<unsigned char>(RandBetween(v, static_cast<int>(source.Point(x + 1, y))));
      if (kind == 1) return static_cast<unsigned char>(RandBetween(v, static_cast<int>(source.Point(x, y + 1))));
      if (Random(2) == 0)
        return static_cast<unsigned char>(RandBetween(static_cast<int>(source.Point(x, y + 1)), static_cast<int>(source.Point(x + 1, y))));
      return static_cast<unsigned char>(RandBetween(v, static_cast<int>(source.Point(x + 1, y + 1))));
    });
    if (!enlarged) return;
    if (amplitude != 0) {
      for (int i = 0; i < NumPixels(); ++i)
        GetPixels()[i] = static_cast<unsigned char>(GetPixels()[i] + Random(amplitude) - amplitude / 2);
    }
    amplitude /= 2;
  }
}

void cl_Bitmap8Ex::AddDetail(int steps) {
  for (int step = 0; step < steps; ++step) {
    const cl_Bitmap8& source = *this;
    const bool enlarged = Enlarge(*this, [&source](int kind, int x, int y) -> unsigned char {
      if (kind == 0) return Random(2) != 0 ? source.Point(x, y) : source.Point(x + 1, y);
      if (kind == 1) return Random(2) != 0 ? source.Point(x, y) : source.Point(x, y + 1);
      if (Random(2) != 0) return Random(2) != 0 ? source.Point(x, y) : source.Point(x + 1, y + 1);
      return Random(2) != 0 ? source.Point(x, y + 1) : source.Point(x + 1, y);
    });
    if (!enlarged) return;
  }
}

// ---- cl_Bitmap32Ex

void cl_Bitmap32Ex::Blur() {
  for (int y = 0; y < Height(); ++y) {
    for (int x = 0; x < Width(); ++x) {
      Color32& p = *Pixel(x, y);
      int r = 5 * p.r, g = 5 * p.g, b = 5 * p.b, weight = 5;
      for (int i = 0; i < 5; ++i) {
        int sx = x - Random(2);
        sx += Random(2);
        int sy = y - Random(2);
        sy += Random(2);
        if (sx < 0 || sx >= Width() || sy < 0 || sy >= Height()) continue;
        const Color32& s = *Pixel(sx, sy);
        r += s.r, g += s.g, b += s.b;
        ++weight;
      }
      p = Color32(static_cast<unsigned char>(r / weight), static_cast<unsigned char>(g / weight),
                  static_cast<unsigned char>(b / weight), 255);
    }
  }
}

void cl_Bitmap32Ex::Desaturate() {
  for (int i = 0; i < NumPixels(); ++i) {
    Color32& p = GetPixels()[i];
    const unsigned char grey = static_cast<unsigned char>((p.r + p.g + p.b) / 3);
    p = Color32(grey, grey, grey, 255);
  }
}

void cl_Bitmap32Ex::Colorize(const cl_Bitmap8* mask, int lo, int hi, Color32 colour) {
  if (!mask) return;
  for (int y = 0; y < Height(); ++y) {
    for (int x = 0; x < Width(); ++x) {
      const int m = mask->Point(x, y);
      if (m >= lo && m <= hi) *Pixel(x, y) = colour;
    }
  }
}

void cl_Bitmap32Ex::Colorize(const cl_Bitmap8* mask, int lo, int hi, Color32 colour1, Color32 colour2) {
  if (!mask) return;
  for (int y = 0; y < Height(); ++y) {
    for (int x = 0; x < Width(); ++x) {
      const int m = mask->Point(x, y);
      if (m < lo || m > hi) continue;
      // lo = hi has no ratio; the range's own colour is the first.
      const float t = hi > lo ? static_cast<float>(m - lo) / static_cast<float>(hi - lo) : 0.0f;
      *Pixel(x, y) = colour1.lerp(colour2, t);
    }
  }
}

void cl_Bitmap32Ex::CreateContour(const cl_Bitmap8* mask, int threshold, Color32 inner, Color32 edge,
                                  Color32 outside) {
  CreateContour(mask, [threshold](unsigned char v) { return v >= threshold; }, inner, edge, outside);
}

void cl_Bitmap32Ex::CreateContour(const cl_Bitmap8* mask, const std::function<bool(unsigned char)>& inside,
                                  Color32 inner, Color32 edge, Color32 outside) {
  if (!mask || mask->IsEmpty()) {
    Release();
    return;
  }
  const int w = mask->Width(), h = mask->Height();
  Create(w, h);
  // The frame has no full set of neighbours; it counts as outside.
  for (int i = 0; i < NumPixels(); ++i) GetPixels()[i] = outside;
  for (int y = 1; y < h - 1; ++y) {
    for (int x = 1; x < w - 1; ++x) {
      if (!inside(mask->Point(x, y))) continue;
      const bool enclosed = inside(mask->Point(x - 1, y)) && inside(mask->Point(x + 1, y)) &&
                            inside(mask->Point(x, y - 1)) && inside(mask->Point(x, y + 1));
      *Pixel(x, y) = enclosed ? inner : edge;
    }
  }
}

void cl_Bitmap32Ex::CreateRelief(const cl_Bitmap8* height) {
  if (!height || height->IsEmpty()) {
    Release();
    return;
  }
  const int w = height->Width(), h = height->Height();
  Create(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int a = height->Point(x, y);
      const int x2 = std::min(x + 1 + Random(2), w - 1);
      const int b = height->Point(x2, y);
      const int a2 = a * a / 255, b2 = b * b / 255;
      const unsigned char g = Color24::wrap(static_cast<float>((b2 - a2) * a2 / 20.0 + 220.0));
      *Pixel(x, y) = Color32(g, g, g, 255);
    }
  }
}

void cl_Bitmap32Ex::Resample(int width, int height) {
  cl_Bitmap32 out;
  if (!IsEmpty()) out.Create(width, height);
  if (!out.IsEmpty()) {
    const float sx = static_cast<float>(Width()) / static_cast<float>(width);
    const float sy = static_cast<float>(Height()) / static_cast<float>(height);
    for (int y = 0; y < height; ++y) {
      // Rounding of the ratio must not step past the last source row or column.
      const int from = std::min(static_cast<int>(static_cast<float>(y) * sy), Height() - 1);
      for (int x = 0; x < width; ++x)
        *out.Pixel(x, y) = *Pixel(std::min(static_cast<int>(static_cast<float>(x) * sx), Width() - 1), from);
    }
  }
  static_cast<cl_Bitmap32&>(*this) = std::move(out);
}

void cl_Bitmap32Ex::Crop(const tLimit<tVector2<int>>& rectangle) {
  const int w = rectangle.max.x - rectangle.min.x, h = rectangle.max.y - rectangle.min.y;
  cl_Bitmap32 out;
  out.Create(w, h);
  for (int y = 0; y < out.Height(); ++y)
    for (int x = 0; x < out.Width(); ++x) *out.Pixel(x, y) = Point(rectangle.min.x + x, rectangle.min.y + y);
  static_cast<cl_Bitmap32&>(*this) = std::move(out);
}

// ---- cl_Bitmap1fEx

void cl_Bitmap1fEx::Smooth(int n) {
  const int w = Width(), h = Height();
  for (int pass = 0; pass < n && !IsEmpty(); ++pass) {
    cl_Bitmap1f out;
    out.Create(w, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        float sum = 0.0f;
        int count = 0;
        static const int kSides[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const auto& d : kSides) {
          const int sx = x + d[0], sy = y + d[1];
          if (sx < 0 || sx >= w || sy < 0 || sy >= h) continue;
          sum += *Pixel(sx, sy);
          ++count;
        }
        *out.Pixel(x, y) = count ? sum / static_cast<float>(count) : *Pixel(x, y);
      }
    }
    static_cast<cl_Bitmap1f&>(*this) = std::move(out);
  }
}

void cl_Bitmap1fEx::SmoothInflate(int n) {
  for (int step = 0; step < n && !IsEmpty(); ++step) {
    const int w = Width(), h = Height();
    if (2 * w - 1 > kMaxSide || 2 * h - 1 > kMaxSide) return;
    const int nw = 2 * w - 1, nh = 2 * h - 1;
    cl_Bitmap1f big;
    big.Create(nw, nh);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const float v = *Pixel(x, y);
        *big.Pixel(2 * x, 2 * y) = v;
        if (x < w - 1) *big.Pixel(2 * x + 1, 2 * y) = (v + *Pixel(x + 1, y)) * 0.5f;
        if (y < h - 1) *big.Pixel(2 * x, 2 * y + 1) = (v + *Pixel(x, y + 1)) * 0.5f;
        if (x < w - 1 && y < h - 1)
          *big.Pixel(2 * x + 1, 2 * y + 1) = (v + *Pixel(x + 1, y) + *Pixel(x, y + 1) + *Pixel(x + 1, y + 1)) * 0.25f;
      }
    }
    cl_Bitmap1f out;
    out.Create(nw, nh);
    for (int y = 0; y < nh; ++y) {
      for (int x = 0; x < nw; ++x) {
        float sum = 0.0f;
        int count = 0;
        for (int sy = std::max(y - 1, 0); sy <= std::min(y + 1, nh - 1); ++sy)
          for (int sx = std::max(x - 1, 0); sx <= std::min(x + 1, nw - 1); ++sx, ++count) sum += *big.Pixel(sx, sy);
        *out.Pixel(x, y) = sum / static_cast<float>(count);
      }
    }
    static_cast<cl_Bitmap1f&>(*this) = std::move(out);
  }
}

}  // namespace base
