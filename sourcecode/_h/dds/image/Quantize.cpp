#include "dds/image/Quantize.h"

#include "dds/block/Codebook.h"
#include "dds/block/CodebookSearch.h"
#include "dds/block/ColorPacking.h"
#include "dds/CompressImage.h"
#include "dds/image/Dither.h"
#include "dds/TextureCompressOptions.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace dds {

// ---- bytes and index packing

void LevelToBytes(const FloatImage& level, tVector<u8>& rgba) {
  rgba.resize(level.width * level.height * 4);
  u8* p = rgba.data();
  for (u32 y = 0; y < level.height; ++y) {
    const f32* row = level.Row(y);
    for (u32 k = 0; k < level.width * 4; ++k) *p++ = static_cast<u8>(UnitToByte(row[k]));
  }
}

u32 PackedIndexBytes(u32 width, u32 height, i32 palette_size) {
  if (palette_size > 16) return width * height;
  return std::max<u32>(1, (width + 1) / 2 * height);
}

void PackIndices(const u32* indices, u32 width, u32 height, i32 palette_size, tVector<u8>& out) {
  out.resize(PackedIndexBytes(width, height, palette_size));
  if (palette_size > 16) {
    for (u32 i = 0; i < width * height; ++i) out[i] = static_cast<u8>(indices[i]);
    return;
  }
  std::memset(out.data(), 0, out.size());
  u8* p = out.data();
  for (u32 y = 0; y < height; ++y) {
    for (u32 x = 0; x < width; x += 2) {
      const u32 first = indices[y * width + x] & 15;
      const u32 second = x + 1 < width ? indices[y * width + x + 1] & 15 : 0;
      *p++ = static_cast<u8>(first | second << 4);
    }
  }
}

// ---- Wu's quantiser

namespace {

constexpr int kSide = 33;  // 32 cells per axis and a zero border

struct Box {
  int r0, r1, g0, g1, b0, b1;  // lower bounds exclusive, upper inclusive
  int volume;
};

// Cumulative moments over the grid; sums in 64 bits so large levels cannot wrap.
struct Moments {
  i64 wt[kSide][kSide][kSide];
  i64 mr[kSide][kSide][kSide];
  i64 mg[kSide][kSide][kSide];
  i64 mb[kSide][kSide][kSide];
  f64 m2[kSide][kSide][kSide];
};

template <typename T>
T Volume(const Box& c, const T (&m)[kSide][kSide][kSide]) {
  return m[c.r1][c.g1][c.b1] - m[c.r1][c.g1][c.b0] - m[c.r1][c.g0][c.b1] + m[c.r1][c.g0][c.b0] -
         m[c.r0][c.g1][c.b1] + m[c.r0][c.g1][c.b0] + m[c.r0][c.g0][c.b1] - m[c.r0][c.g0][c.b0];
}

// The part of a box's sum that lies below its lower bound on one axis.
template <typename T>
T Bottom(const Box& c, int axis, const T (&m)[kSide][kSide][kSide]) {
  switch (axis) {
    case 0:
      return -m[c.r0][c.g1][c.b1] + m[c.r0][c.g1][c.b0] + m[c.r0][c.g0][c.b1] - m[c.r0][c.g0][c.b0];
    case 1:
      return -m[c.r1][c.g0][c.b1] + m[c.r1][c.g0][c.b0] + m[c.r0][c.g0][c.b1] - m[c.r0][c.g0][c.b0];
    default:
      return -m[c.r1][c.g1][c.b0] + m[c.r1][c.g0][c.b0] + m[c.r0][c.g1][c.b0] - m[c.r0][c.g0][c.b0];
  }
}

// The part of a box's sum up to plane `pos` on one axis.
template <typename T>
T Top(const Box& c, int axis, int pos, const T (&m)[kSide][kSide][kSide]) {
  switch (axis) {
    case 0:
      return m[pos][c.g1][c.b1] - m[pos][c.g1][c.b0] - m[pos][c.g0][c.b1] + m[pos][c.g0][c.b0];
    case 1:
      return m[c.r1][pos][c.b1] - m[c.r1][pos][c.b0] - m[c.r0][pos][c.b1] + m[c.r0][pos][c.b0];
    default:
      return m[c.r1][c.g1][pos] - m[c.r1][c.g0][pos] - m[c.r0][c.g1][pos] + m[c.r0][c.g0][pos];
  }
}

f64 Variance(const Box& c, const Moments& m) {
  const f64 r = static_cast<f64>(Volume(c, m.mr));
  const f64 g = static_cast<f64>(Volume(c, m.mg));
  const f64 b = static_cast<f64>(Volume(c, m.mb));
  const f64 w = static_cast<f64>(Volume(c, m.wt));
  if (w <= 0) return 0;
  return Volume(c, m.m2) - (r * r + g * g + b * b) / w;
}

// Best plane on one axis: the between-part variance it leaves, and where (−1: none).
f64 Maximize(const Box& c, int axis, int first, int last, int& cut, const i64 whole[4],
             const Moments& m) {
  const i64 base_r = Bottom(c, axis, m.mr), base_g = Bottom(c, axis, m.mg);
  const i64 base_b = Bottom(c, axis, m.mb), base_w = Bottom(c, axis, m.wt);
  f64 best = 0;
  cut = -1;
  for (int i = first; i < last; ++i) {
    i64 half_r = base_r + Top(c, axis, i, m.mr), half_g = base_g + Top(c, axis, i, m.mg);
    i64 half_b = base_b + Top(c, axis, i, m.mb), half_w = base_w + Top(c, axis, i, m.wt);
    if (half_w == 0) continue;
    f64 temp = (static_cast<f64>(half_r) * half_r + static_cast<f64>(half_g) * half_g +
                static_cast<f64>(half_b) * half_b) / static_cast<f64>(half_w);
    half_r = whole[0] - half_r;
    half_g = whole[1] - half_g;
    half_b = whole[2] - half_b;
    half_w = whole[3] - half_w;
    if (half_w == 0) continue;
    temp += (static_cast<f64>(half_r) * half_r + static_cast<f64>(half_g) * half_g +
             static_cast<f64>(half_b) * half_b) / static_cast<f64>(half_w);
    if (temp > best) {
      best = temp;
      cut = i;
    }
  }
  return best;
}

bool Cut(Box& a, Box& b, const Moments& m) {
  const i64 whole[4] = {Volume(a, m.mr), Volume(a, m.mg), Volume(a, m.mb), Volume(a, m.wt)};
  int cut_r, cut_g, cut_b;
  const f64 max_r = Maximize(a, 0, a.r0 + 1, a.r1, cut_r, whole, m);
  const f64 max_g = Maximize(a, 1, a.g0 + 1, a.g1, cut_g, whole, m);
  const f64 max_b = Maximize(a, 2, a.b0 + 1, a.b1, cut_b, whole, m);
  int axis;
  if (max_r >= max_g && max_r >= max_b) {
    axis = 0;
    if (cut_r < 0) return false;
  } else if (max_g >= max_r && max_g >= max_b) {
    axis = 1;
  } else {
    axis = 2;
  }
  b.r1 = a.r1;
  b.g1 = a.g1;
  b.b1 = a.b1;
  switch (axis) {
    case 0:
      b.r0 = a.r1 = cut_r;
      b.g0 = a.g0;
      b.b0 = a.b0;
      break;
    case 1:
      b.g0 = a.g1 = cut_g;
      b.r0 = a.r0;
      b.b0 = a.b0;
      break;
    default:
      b.b0 = a.b1 = cut_b;
      b.r0 = a.r0;
      b.g0 = a.g0;
      break;
  }
  a.volume = (a.r1 - a.r0) * (a.g1 - a.g0) * (a.b1 - a.b0);
  b.volume = (b.r1 - b.r0) * (b.g1 - b.g0) * (b.b1 - b.b0);
  return true;
}

}  // namespace

// ---- codebook path

namespace {

// Channel depths of an error-diffusion pre-pass: red, green, blue, alpha (0 keeps alpha).
struct DitherDepths {
  i32 bits[4];
};

// Sixteen colours cannot carry more than 4 bits a channel; 256 get the 5:6:5 grid.
DitherDepths DepthsFor(i32 palette_size, bool with_alpha) {
  const bool small = palette_size <= 16;
  return {{small ? 4 : 5, small ? 4 : 6, small ? 4 : 5, with_alpha ? 8 : 0}};
}

void DitherBytes(u8* rgba, u32 width, u32 height, const DitherDepths& depths) {
  Image image;
  image.width = static_cast<i32>(width);
  image.height = static_cast<i32>(height);
  image.pixels.resize(width * height);
  std::memcpy(image.pixels.data(), rgba, static_cast<std::size_t>(width) * height * 4);
  const i32* b = depths.bits;
  if (b[3] > 0)
    DitherRGBA(image, b[3], b[0], b[1], b[2]);
  else
    DitherRGB(image, b[0], b[1], b[2]);
  std::memcpy(rgba, image.pixels.data(), static_cast<std::size_t>(width) * height * 4);
}

void GatherChannels(const u8* rgba, u32 pixels, u32 channels, std::vector<u8>& out) {
  out.resize(static_cast<std::size_t>(pixels) * channels);
  for (u32 i = 0; i < pixels; ++i)
    for (u32 c = 0; c < channels; ++c) out[i * channels + c] = rgba[4 * i + c];
}

}  // namespace

void MapBytesToPalette(const u8* rgba, u32 width, u32 height, const PaletteRecord& palette,
                       bool dither, tVector<u32>& indices) {
  const u32 pixels = width * height;
  const u32 channels = palette.channels == 4 ? 4 : 3;
  std::vector<u8> source(rgba, rgba + static_cast<std::size_t>(pixels) * 4);
  if (dither) DitherBytes(source.data(), width, height, DepthsFor(palette.count, channels == 4));

  Codebook book;
  book.tile_height = book.tile_width = 1;
  book.channels = channels;
  book.count = static_cast<u32>(std::clamp(palette.count, 1, 256));
  book.components.resize(book.count * channels);
  for (u32 k = 0; k < book.count; ++k)
    for (u32 c = 0; c < channels; ++c) book.components[k * channels + c] = palette.colours[k][c];

  Codebook image;
  image.tile_height = height;
  image.tile_width = width;
  image.channels = channels;
  image.count = 1;
  image.components.resize(pixels * channels);
  for (u32 i = 0; i < pixels; ++i)
    for (u32 c = 0; c < channels; ++c) image.components[i * channels + c] = source[4 * i + c];

  Codebook mapped;
  indices.resize(pixels);
  if (MapPixelsToPalette(image, book, mapped) != kOk) {
    for (u32 i = 0; i < pixels; ++i) indices[i] = 0;
    return;
  }
  for (u32 i = 0; i < pixels; ++i) indices[i] = mapped.components[i];
}

namespace {

void QuantiseTree(const FloatImage& level, i32 palette_size, PaletteRecord& palette,
                  const DitherDepths* dither, bool with_alpha, tVector<u8>& indices) {
  const i32 colours = std::clamp(palette_size, 1, 256);
  tVector<u8> rgba;
  LevelToBytes(level, rgba);
  const u32 pixels = level.width * level.height;
  const u32 channels = with_alpha ? 4 : 3;

  std::vector<u8> reduced(rgba.data(), rgba.data() + rgba.size());
  if (dither) DitherBytes(reduced.data(), level.width, level.height, *dither);
  std::vector<u8> packed;
  GatherChannels(reduced.data(), pixels, channels, packed);

  palette.channels = static_cast<i32>(channels);
  palette.count = 0;
  std::memset(palette.colours, 0, sizeof(palette.colours));
  Codebook book;
  if (pixels > 0 &&
      BuildCodebook(packed.data(), book, static_cast<i32>(level.height),
                    static_cast<i32>(level.width), static_cast<i32>(channels), 1, 1,
                    colours) == kOk) {
    palette.count = static_cast<i32>(std::min<u32>(book.count, 256));
    for (i32 k = 0; k < palette.count; ++k) {
      for (u32 c = 0; c < channels; ++c)
        palette.colours[k][c] = static_cast<u8>(book.components[static_cast<u32>(k) * channels + c]);
      if (channels == 3) palette.colours[k][3] = 255;
    }
  }
  tVector<u32> index;
  if (palette.count > 0) {
    // The dithered level is what gets mapped, so its diffusion pattern survives.
    MapBytesToPalette(dither ? reduced.data() : rgba.data(), level.width, level.height, palette,
                      false, index);
  } else {
    index.resize(pixels);
  }
  PackIndices(index.data(), level.width, level.height, colours, indices);
}

}  // namespace

void QuantiseLevelTree(const FloatImage& level, i32 palette_size, PaletteRecord& palette,
                       bool dither, bool with_alpha, tVector<u8>& indices) {
  const DitherDepths depths = DepthsFor(palette_size, with_alpha);
  QuantiseTree(level, palette_size, palette, dither ? &depths : nullptr, with_alpha, indices);
}

// ---- Wu's quantiser, entry

void QuantiseLevelWu(const FloatImage& level, i32 palette_size, PaletteRecord& palette,
                     bool dither, tVector<u8>& indices) {
  if (dither) {
    // Wu's cuts cannot follow a dither pattern; the codebook gets the level cut to 4 bits of
    // colour and 8 of alpha.
    const DitherDepths depths{{4, 4, 4, 8}};
    QuantiseTree(level, palette_size, palette, &depths, false, indices);
    return;
  }
  const i32 colours = std::clamp(palette_size, 1, 256);
  tVector<u8> rgba;
  LevelToBytes(level, rgba);
  const u32 pixels = level.width * level.height;

  std::unique_ptr<Moments> m(new Moments());
  std::vector<u16> tag(pixels);
  for (u32 i = 0; i < pixels; ++i) {
    const int r = rgba[4 * i], g = rgba[4 * i + 1], b = rgba[4 * i + 2];
    const int ir = (r >> 3) + 1, ig = (g >> 3) + 1, ib = (b >> 3) + 1;
    tag[i] = static_cast<u16>(ir * kSide * kSide + ig * kSide + ib);
    m->wt[ir][ig][ib] += 1;
    m->mr[ir][ig][ib] += r;
    m->mg[ir][ig][ib] += g;
    m->mb[ir][ig][ib] += b;
    m->m2[ir][ig][ib] += static_cast<f64>(r * r + g * g + b * b);
  }
  // Cumulative moments: each cell holds the sums of every cell at or below it on all axes.
  for (int r = 1; r < kSide; ++r) {
    i64 area_w[kSide] = {}, area_r[kSide] = {}, area_g[kSide] = {}, area_b[kSide] = {};
    f64 area2[kSide] = {};
    for (int g = 1; g < kSide; ++g) {
      i64 line_w = 0, line_r = 0, line_g = 0, line_b = 0;
      f64 line2 = 0;
      for (int b = 1; b < kSide; ++b) {
        line_w += m->wt[r][g][b];
        line_r += m->mr[r][g][b];
        line_g += m->mg[r][g][b];
        line_b += m->mb[r][g][b];
        line2 += m->m2[r][g][b];
        area_w[b] += line_w;
        area_r[b] += line_r;
        area_g[b] += line_g;
        area_b[b] += line_b;
        area2[b] += line2;
        m->wt[r][g][b] = m->wt[r - 1][g][b] + area_w[b];
        m->mr[r][g][b] = m->mr[r - 1][g][b] + area_r[b];
        m->mg[r][g][b] = m->mg[r - 1][g][b] + area_g[b];
        m->mb[r][g][b] = m->mb[r - 1][g][b] + area_b[b];
        m->m2[r][g][b] = m->m2[r - 1][g][b] + area2[b];
      }
    }
  }

  std::vector<Box> boxes(static_cast<std::size_t>(colours));
  std::vector<f64> variance(static_cast<std::size_t>(colours), 0.0);
  boxes[0] = {0, 32, 0, 32, 0, 32, 32 * 32 * 32};
  i32 count = colours;
  std::size_t next = 0;
  for (i32 i = 1; i < colours; ++i) {
    const std::size_t k = static_cast<std::size_t>(i);
    if (Cut(boxes[next], boxes[k], *m)) {
      variance[next] = boxes[next].volume > 1 ? Variance(boxes[next], *m) : 0.0;
      variance[k] = boxes[k].volume > 1 ? Variance(boxes[k], *m) : 0.0;
    } else {
      variance[next] = 0.0;
      --i;
    }
    next = 0;
    f64 largest = variance[0];
    for (std::size_t j = 1; j <= static_cast<std::size_t>(i); ++j) {
      if (variance[j] > largest) {
        largest = variance[j];
        next = j;
      }
    }
    if (largest <= 0.0) {
      count = i + 1;
      break;
    }
  }

  palette.channels = 3;
  palette.count = count;
  std::memset(palette.colours, 0, sizeof(palette.colours));
  std::vector<u8> mark(static_cast<std::size_t>(kSide) * kSide * kSide, 0);
  for (i32 k = 0; k < count; ++k) {
    const Box& c = boxes[static_cast<std::size_t>(k)];
    const i64 weight = Volume(c, m->wt);
    u8* colour = palette.colours[k];
    if (weight > 0) {
      colour[0] = static_cast<u8>(Volume(c, m->mr) / weight);
      colour[1] = static_cast<u8>(Volume(c, m->mg) / weight);
      colour[2] = static_cast<u8>(Volume(c, m->mb) / weight);
    }
    colour[3] = 255;
    for (int r = c.r0 + 1; r <= c.r1; ++r)
      for (int g = c.g0 + 1; g <= c.g1; ++g)
        for (int b = c.b0 + 1; b <= c.b1; ++b)
          mark[static_cast<std::size_t>(r * kSide * kSide + g * kSide + b)] = static_cast<u8>(k);
  }
  std::vector<u32> index(pixels);
  for (u32 i = 0; i < pixels; ++i) index[i] = mark[tag[i]];
  PackIndices(index.data(), level.width, level.height, colours, indices);
}

}  // namespace dds
