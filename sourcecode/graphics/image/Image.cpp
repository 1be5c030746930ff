// The tiled image: tiling, cutting a bitmap into DDS tiles, clipped drawing, the record and the
// bitmap loader behind the "bmp", "tga" and "dds" extensions.
#include "graphics/image/Image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "graphics/RenderTarget.h"
#include "graphics/TextureCompression.h"
#include "graphics/gfx.h"
#include "platform/gpu/Device.h"
#include "platform/gpux/TextureLoad.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/DynamicBuffer.h"

namespace gfx {

namespace {

constexpr int kMinTile = 32, kMaxTile = 1024;
// Largest sane source side: 15 tiles one pixel short and a full last one.
constexpr int kMaxSide = (st_TileAxis::kMax - 1) * (kMaxTile - 1) + kMaxTile;
constexpr uint32_t kTriangleMirror = 0x70004;

bool g_drawShortcuts = true;

int NextPow2(int n) {
  int p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

int LargestPow2NotAbove(int n) {
  int p = 1;
  while (p * 2 <= n) p <<= 1;
  return p;
}

bool AxisIsSane(const st_TileAxis& axis, int sourceSize) {
  if (axis.count < 0 || axis.count > st_TileAxis::kMax) return false;
  for (int i = 0; i < axis.count; ++i)
    if (axis.sizes[i] < 0 || axis.sizes[i] > kMaxTile || axis.offsets[i] < 0 || axis.offsets[i] > sourceSize)
      return false;
  return true;
}

bool ReadAxisArray(base::File* file, int* values) { return file->read(values, st_TileAxis::kMax * 4); }

// The file's pixels in a bitmap of its size rounded up to powers of two (transparent black
// beyond them), and the file's own size.
bool DecodePadded(const char* file, base::cl_Bitmap32* bitmap, int& width, int& height) {
  width = height = 0;
  base::Binary bytes;
  if (!file || !bitmap || !base::LoadFile(file, bytes) || bytes.size() < 1) return false;
  gpux::Image image;
  if (!gpux::DecodeImage(bytes.get_buffer(), static_cast<size_t>(bytes.size()), file, &image)) return false;
  if (image.width < 1 || image.height < 1) return true;
  width = static_cast<int>(image.width), height = static_cast<int>(image.height);
  const int w = NextPow2(static_cast<int>(image.width)), h = NextPow2(static_cast<int>(image.height));
  bitmap->Create(w, h);
  base::Color32* pixels = bitmap->GetPixels();
  std::fill(pixels, pixels + static_cast<size_t>(w) * h, base::Color32());
  for (uint32_t y = 0; y < image.height; ++y)
    for (uint32_t x = 0; x < image.width; ++x)
      pixels[static_cast<size_t>(y) * w + x] = base::Color32(image.pixels[static_cast<size_t>(y) * image.width + x]);
  return true;
}

// A picture file through the bitmap loaders, and the size of the picture itself: the loaders pad
// to powers of two, and an image is as large as its picture, whatever its tiles hold.
bool ReadPicture(const char* file, base::cl_Bitmap32& bitmap, int& width, int& height) {
  if (base::tMultiFileFormatLoader<base::cl_Bitmap32>::GetLoader(file) == &LoadBitmapD3DX)
    return DecodePadded(file, &bitmap, width, height);
  const bool read = base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(file, &bitmap);
  width = bitmap.Width(), height = bitmap.Height();
  return read;
}

// Drops the tiles that start at or past length: a grid laid over a padded picture keeps only
// those that show some of the picture.
void KeepTilesWithin(st_TileAxis& axis, int length) {
  while (axis.count > 0 && axis.offsets[axis.count - 1] >= length) {
    --axis.count;
    axis.offsets[axis.count] = axis.sizes[axis.count] = 0;
  }
}

}  // namespace

bool TileAxis(int length, st_TileAxis& out) {
  out = st_TileAxis();
  int remaining = length;
  while (remaining > 0) {
    if (out.count == st_TileAxis::kMax) {
      out = st_TileAxis();
      return false;
    }
    int t = std::clamp(LargestPow2NotAbove(remaining), kMinTile, kMaxTile);
    if (t < remaining) --t;  // the next tile's first pixel is this texture's last texel
    out.sizes[out.count] = t;
    out.offsets[out.count] = out.count == 0 ? 0 : out.offsets[out.count - 1] + out.sizes[out.count - 1];
    remaining -= t;
    ++out.count;
  }
  return true;
}

// ---- Life cycle and building

cl_Image::cl_Image() = default;

cl_Image::~cl_Image() {
  Clear();
  m_tileData.clear();
}

void cl_Image::Clear() {
  for (gpu::Texture*& tile : m_tiles)
    if (tile) tile->Release(), tile = nullptr;
  m_tiles.clear();
  m_cells.clear();
  m_built = false;
}

void cl_Image::MakeTileTexture(int index) {
  gpu::Texture*& tile = m_tiles[static_cast<size_t>(index)];
  if (tile) tile->Release(), tile = nullptr;
  m_cells[static_cast<size_t>(index)].Forget();
  gpu::Device* device = win32dx9::GetD3DDevice();
  const base::Binary& data = m_tileData[static_cast<size_t>(index)];
  if (!device || data.size() < 1) return;
  // The cells from the texels as stored (a compressed alpha may differ from the bitmap's); first,
  // so that making the texture then reads the bytes from the cache.
  cl_TileCells& cells = m_cells[static_cast<size_t>(index)];
  const int c = index % m_columns.count, r = index / m_columns.count;
  const int w = std::min(m_columns.sizes[c], m_sourceWidth - m_columns.offsets[c]);
  const int h = std::min(m_rows.sizes[r], m_sourceHeight - m_rows.offsets[r]);
  cells.ClassifyDds(data.get_buffer(), static_cast<size_t>(data.size()), w, h);
  gpu::Texture* texture = nullptr;
  const uint32_t result = gpux::CreateTextureFromFileInMemoryEx(
      device, data.get_buffer(), static_cast<size_t>(data.size()), gpux::kDefault, gpux::kDefault, 1, 0,
      gpu::fmt::FromFile, gpu::pool::Managed, kTriangleMirror, kTriangleMirror, 0, nullptr, &texture, "image tile");
  if (gpu::Succeeded(result)) tile = texture;  // a tile that is no readable DDS stays null
  if (!tile) cells.Forget();
}

bool cl_Image::CreateFromBitmap(const base::cl_Bitmap32* bitmap, int x0, int y0, int width, int height,
                                bool compress, bool alpha) {
  return Cut(bitmap, x0, y0, width, height, width, height, compress, alpha);
}

bool cl_Image::Cut(const base::cl_Bitmap32* bitmap, int x0, int y0, int width, int height, int gridWidth,
                   int gridHeight, bool compress, bool alpha) {
  Clear();
  m_tileData.clear();
  m_built = true;
  m_sourceWidth = m_sourceHeight = 0;
  if (!TileAxis(gridWidth, m_columns) || !TileAxis(gridHeight, m_rows)) {
    base::sys::Output("ERROR: image region of %d x %d pixels needs more than %d tiles on a side; not cut\n", gridWidth,
                      gridHeight, st_TileAxis::kMax);
    m_columns = m_rows = st_TileAxis();
    return false;
  }
  KeepTilesWithin(m_columns, width);
  KeepTilesWithin(m_rows, height);
  if (!bitmap || bitmap->IsEmpty()) {
    m_columns = m_rows = st_TileAxis();
    return width <= 0 || height <= 0;
  }
  m_sourceWidth = std::max(width, 0);
  m_sourceHeight = std::max(height, 0);
  const int count = m_columns.count * m_rows.count;
  m_tiles.assign(static_cast<size_t>(count), nullptr);
  m_cells.assign(static_cast<size_t>(count), cl_TileCells());
  m_tileData.assign(static_cast<size_t>(count), base::Binary());
  base::cl_Bitmap32 texels;
  for (int r = 0; r < m_rows.count; ++r)
    for (int c = 0; c < m_columns.count; ++c) {
      const int index = m_columns.count * r + c;
      const int texW = NextPow2(m_columns.sizes[c]), texH = NextPow2(m_rows.sizes[r]);
      texels.Create(texW, texH);
      for (int y = 0; y < texH; ++y) {
        const int sy = std::clamp(y0 + m_rows.offsets[r] + y, 0, bitmap->Height() - 1);
        const base::Color32* source = bitmap->GetPixels() + static_cast<size_t>(sy) * bitmap->Width();
        base::Color32* target = texels.GetPixels() + static_cast<size_t>(y) * texW;
        for (int x = 0; x < texW; ++x)
          target[x] = source[std::clamp(x0 + m_columns.offsets[c] + x, 0, bitmap->Width() - 1)];
      }
      if (CompressToDDS(m_tileData[static_cast<size_t>(index)], &texels, static_cast<float>(texW),
                        static_cast<float>(texH), alpha, false, compress))
        MakeTileTexture(index);
    }
  return true;
}

bool cl_Image::Load(const char* file, bool) {
  Clear();
  if (!file || !base::FileExists(file)) return false;
  base::cl_Bitmap32 bitmap;
  int width = 0, height = 0;
  // A file that cannot be read leaves an empty bitmap and so an image without tiles.
  ReadPicture(file, bitmap, width, height);
  Cut(&bitmap, 0, 0, width, height, bitmap.Width(), bitmap.Height(), false, true);
  m_built = true;
  return true;
}

bool cl_Image::Init(base::StaticVariantIterator element) {
  base::tString<base::BaseString> file;
  element.get_attribute_string("file", file);
  int compress = 0, trim = 0;
  element.get_attribute_int("trim", trim);
  if ((element.get_attribute_int("compress", compress) && compress != 0) || trim != 0) {
    base::cl_Bitmap32 bitmap;
    int width = 0, height = 0;
    if (!ReadPicture(file.c_str(), bitmap, width, height)) {
      base::sys::Output("ERROR: image file '%s' could not be read\n", file.c_str());
      return false;
    }
    if (trim != 0) PaintedExtent(bitmap, width, height);
    Cut(&bitmap, 0, 0, width, height, bitmap.Width(), bitmap.Height(), compress != 0, true);
    return true;
  }
  if (!Load(file.c_str())) {
    base::sys::Output("ERROR: image file '%s' not found\n", file.c_str());
    return false;
  }
  return true;
}

// ---- Drawing

namespace {

// What the caller's states let the tile cells skip. Images are drawn with white vertices and no
// shader, so only the blend factors and the first stage's alpha decide.
enum class en_Shortcut { NONE, SKIP_EMPTY, SKIP_EMPTY_UNBLEND_OPAQUE };

en_Shortcut ShortcutFor(const gpu::Device* d) {
  using namespace gpu;
  const uint32_t dest = d->GetRenderState(rs::DestBlend);
  if (!d->GetRenderState(rs::AlphaBlendEnable) || d->GetRenderState(rs::SrcBlend) != blend::SrcAlpha ||
      d->GetRenderState(rs::BlendOp) != 1 || (dest != blend::InvSrcAlpha && dest != blend::One))
    return en_Shortcut::NONE;
  if (d->GetTextureStageState(0, tss::ColorOp) == top::Disable || d->GetTextureStageState(1, tss::ColorOp) != top::Disable)
    return en_Shortcut::NONE;
  const uint32_t op = d->GetTextureStageState(0, tss::AlphaOp);
  const uint32_t a1 = d->GetTextureStageState(0, tss::AlphaArg1), a2 = d->GetTextureStageState(0, tss::AlphaArg2);
  // The stage's alpha must be the texel's alpha times something (0 stays 0), and for the opaque
  // cells exactly the texel's alpha (255 stays 255).
  auto exactlyOne = [d](uint32_t arg) {
    return arg == ta::Diffuse || arg == ta::Current || arg == ta::Texture ||
           (arg == ta::TFactor && (d->GetRenderState(rs::TextureFactor) >> 24) == 255);
  };
  bool exact = false;
  if (op == top::SelectArg1 && a1 == ta::Texture) {
    exact = true;
  } else if (op == top::SelectArg2 && a2 == ta::Texture) {
    exact = true;
  } else if (op == top::Modulate && (a1 == ta::Texture || a2 == ta::Texture)) {
    exact = exactlyOne(a1 == ta::Texture ? a2 : a1);
  } else if ((op == top::Modulate2X || op == top::Modulate4X) && (a1 == ta::Texture || a2 == ta::Texture)) {
    exact = false;
  } else {
    return en_Shortcut::NONE;
  }
  // Unblended, an opaque texel is what blending it over the target with 1 and 0 gives.
  return exact && dest == blend::InvSrcAlpha ? en_Shortcut::SKIP_EMPTY_UNBLEND_OPAQUE : en_Shortcut::SKIP_EMPTY;
}

// Where a tile lands: its top-left texel's corner, the scale and the texture's size.
struct st_TilePlace {
  float left, top, scale;
  float texW, texH;
  float screenW, screenH;
};

// One axis of a part of a tile cut to the screen: screen edges a0 … a1 carry texture
// coordinates t0 … t1; false when nothing of it is on the screen.
bool ClipAxis(float& a0, float& a1, float& t0, float& t1, float screen) {
  if (a0 > screen - 0.5f || a1 < -0.5f) return false;
  const float A0 = a0, A1 = a1, T0 = t0, T1 = t1;
  if (A0 < -0.5f) t0 = T0 + (T1 - T0) * (-0.5f - A0) / (A1 - A0), a0 = -0.5f;
  if (A1 >= screen - 0.5f) t1 = T0 + (T1 - T0) * (screen - 0.5f - A0) / (A1 - A0), a1 = screen - 0.5f;
  return true;
}

// Records the quad of texels [x0, x1) × [y0, y1) of the tile, cut to the screen.
bool AddTileQuad(const st_TilePlace& at, int x0, int y0, int x1, int y1) {
  float left = at.left + static_cast<float>(x0) * at.scale, right = at.left + static_cast<float>(x1) * at.scale;
  float top = at.top + static_cast<float>(y0) * at.scale, bottom = at.top + static_cast<float>(y1) * at.scale;
  float uL = static_cast<float>(x0) / at.texW, uR = static_cast<float>(x1) / at.texW;
  float vT = static_cast<float>(y0) / at.texH, vB = static_cast<float>(y1) / at.texH;
  if (top > at.screenH - 0.5f || bottom < -0.5f) return false;
  if (!ClipAxis(left, right, uL, uR, at.screenW) || !ClipAxis(top, bottom, vT, vB, at.screenH)) return false;
  namespace rec = win32dx9::rec;
  rec::BitmapAddQuad();
  rec::BitmapAddVertex(left, top, uL, vT, 0xFFFFFFFFu);
  rec::BitmapAddVertex(right, top, uR, vT, 0xFFFFFFFFu);
  rec::BitmapAddVertex(right, bottom, uR, vB, 0xFFFFFFFFu);
  rec::BitmapAddVertex(left, bottom, uL, vB, 0xFFFFFFFFu);
  return true;
}

// Records rectangles of one kind (or all that are not empty), flushing before the recorder fills.
void DrawRects(const st_TilePlace& at, std::span<const cl_TileCells::st_Rect> rects, bool opaqueOnly,
               bool skipOpaque) {
  const int perFlush = win32dx9::GetRecorderCapacity(win32dx9::REC_DIFFBITMAP) / 6;
  int recorded = 0;
  for (const cl_TileCells::st_Rect& r : rects) {
    const bool opaque = r.kind == cl_TileCells::OPAQUE;
    if ((opaqueOnly && !opaque) || (skipOpaque && opaque)) continue;
    if (!AddTileQuad(at, r.x0, r.y0, r.x1, r.y1)) continue;
    if (++recorded == perFlush) win32dx9::rec::BitmapFlush(), recorded = 0;
  }
  if (recorded) win32dx9::rec::BitmapFlush();
}

// The parts of the rectangles that reach into the screen rectangle within, widened to whole
// texels: their quads are cut where texels meet, as the cells are.
void CutRects(std::span<const cl_TileCells::st_Rect> rects, const st_TilePlace& at, const base::tRectf& within,
              std::vector<cl_TileCells::st_Rect>& out) {
  out.clear();
  const int x0 = static_cast<int>(std::floor((within.min.x - at.left) / at.scale));
  const int y0 = static_cast<int>(std::floor((within.min.y - at.top) / at.scale));
  const int x1 = static_cast<int>(std::ceil((within.max.x - at.left) / at.scale));
  const int y1 = static_cast<int>(std::ceil((within.max.y - at.top) / at.scale));
  for (const cl_TileCells::st_Rect& r : rects) {
    const cl_TileCells::st_Rect cut{std::max(r.x0, x0), std::max(r.y0, y0), std::min(r.x1, x1), std::min(r.y1, y1),
                                    r.kind};
    if (cut.x0 < cut.x1 && cut.y0 < cut.y1) out.push_back(cut);
  }
}

}  // namespace

void cl_Image::SetDrawShortcuts(bool on) { g_drawShortcuts = on; }

void cl_Image::Draw(float x, float y, float scale) { DrawTiles(x, y, scale, nullptr); }

void cl_Image::DrawWithin(float x, float y, float scale, const base::tRectf& within) {
  DrawTiles(x, y, scale, &within);
}

void cl_Image::DrawTiles(float x, float y, float scale, const base::tRectf* within) {
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!device || m_tiles.empty()) return;
  const float X = x - 0.5f, Y = y - 0.5f;
  // The surface drawn to as it is now: the window (a resolution change must not cut images to
  // the old size), or a texture drawn into, which may be larger than the window.
  const cl_RenderTarget* target = GetRenderTarget();
  const float sw = static_cast<float>(target ? target->GetWidth() : base::sys::GetWindowWidth());
  const float sh = static_cast<float>(target ? target->GetHeight() : base::sys::GetWindowHeight());
  device->SetRenderState(gpu::rs::ZEnable, 0);
  device->SetRenderState(gpu::rs::CullMode, gpu::cull::None);
  device->SetSamplerState(0, gpu::ss::AddressU, gpu::address::Clamp);
  device->SetSamplerState(0, gpu::ss::AddressV, gpu::address::Clamp);
  const en_Shortcut shortcut = g_drawShortcuts ? ShortcutFor(device) : en_Shortcut::NONE;
  // Unscaled at whole pixels, every pixel centre falls on a texel centre, where the bilinear
  // filter gives the texel itself: point sampling draws the same pixels for a fraction of the
  // software renderer's work. The caller's filters are put back.
  const bool texelExact = scale == 1.0f && x == std::floor(x) && y == std::floor(y) &&
                          m_offset[0] == std::floor(m_offset[0]) && m_offset[1] == std::floor(m_offset[1]);
  const uint32_t minFilter = device->GetSamplerState(0, gpu::ss::MinFilter);
  const uint32_t magFilter = device->GetSamplerState(0, gpu::ss::MagFilter);
  if (texelExact) {
    device->SetSamplerState(0, gpu::ss::MinFilter, gpu::filter::Point);
    device->SetSamplerState(0, gpu::ss::MagFilter, gpu::filter::Point);
  }
  for (int r = 0; r < m_rows.count; ++r)
    for (int c = 0; c < m_columns.count; ++c) {
      const int index = m_columns.count * r + c;
      if (index >= static_cast<int>(m_tiles.size())) break;
      int w = m_columns.sizes[c], h = m_rows.sizes[r];
      if (m_columns.offsets[c] + w > m_sourceWidth) w = m_sourceWidth - m_columns.offsets[c];
      if (m_rows.offsets[r] + h > m_sourceHeight) h = m_sourceHeight - m_rows.offsets[r];
      const st_TilePlace at{X + (static_cast<float>(m_columns.offsets[c]) + m_offset[0]) * scale,
                            Y + (static_cast<float>(m_rows.offsets[r]) + m_offset[1]) * scale,
                            scale,
                            static_cast<float>(NextPow2(m_columns.sizes[c])),
                            static_cast<float>(NextPow2(m_rows.sizes[r])),
                            sw,
                            sh};
      const cl_TileCells& cells = m_cells[static_cast<size_t>(index)];
      const bool useCells = shortcut != en_Shortcut::NONE && cells.IsKnown();
      const cl_TileCells::st_Rect whole{0, 0, w, h, cl_TileCells::MIXED};
      std::span<const cl_TileCells::st_Rect> rects = useCells ? std::span(cells.GetRects()) : std::span(&whole, 1);
      if (within) {
        CutRects(rects, at, *within, m_cutRects);
        rects = m_cutRects;
      }
      if (rects.empty()) continue;
      // The whole tile off the screen binds nothing.
      const float right = at.left + static_cast<float>(w) * scale, bottom = at.top + static_cast<float>(h) * scale;
      if (at.left > sw - 0.5f || at.top > sh - 0.5f || right < -0.5f || bottom < -0.5f) continue;
      const uint32_t bound = device->SetTexture(0, m_tiles[static_cast<size_t>(index)]);
      if (gpu::Failed(bound)) win32dx9::LogD3DError(bound);
      const bool unblend = useCells && shortcut == en_Shortcut::SKIP_EMPTY_UNBLEND_OPAQUE;
      DrawRects(at, rects, false, unblend);
      if (!unblend) continue;
      device->SetRenderState(gpu::rs::AlphaBlendEnable, 0);
      DrawRects(at, rects, true, false);
      device->SetRenderState(gpu::rs::AlphaBlendEnable, 1);
    }
  device->SetSamplerState(0, gpu::ss::MinFilter, minFilter);
  device->SetSamplerState(0, gpu::ss::MagFilter, magFilter);
}

// ---- Record

void cl_Image::Write(base::File* file) {
  if (!file) return;
  file->write(m_offset, 8);
  const unsigned char built = m_built ? 1 : 0;
  file->write(&built, 1);
  file->write_int(m_sourceWidth);
  file->write_int(m_sourceHeight);
  file->write(m_columns.offsets, sizeof m_columns.offsets);
  file->write(m_rows.offsets, sizeof m_rows.offsets);
  file->write(m_columns.sizes, sizeof m_columns.sizes);
  file->write(m_rows.sizes, sizeof m_rows.sizes);
  file->write_int(m_columns.count);
  file->write_int(m_rows.count);
  file->write_int(static_cast<int>(m_tileData.size()));
  for (const base::Binary& tile : m_tileData) tile.Write(file);
}

void cl_Image::Read(base::File* file) {
  Clear();
  m_tileData.clear();
  m_columns = m_rows = st_TileAxis();
  m_sourceWidth = m_sourceHeight = 0;
  if (!file) return;
  unsigned char built = 0;
  st_TileAxis columns, rows;
  int sourceWidth = 0, sourceHeight = 0;
  bool ok = file->read(m_offset, 8) && file->read(&built, 1) && file->read(&sourceWidth, 4) &&
            file->read(&sourceHeight, 4) && ReadAxisArray(file, columns.offsets) && ReadAxisArray(file, rows.offsets) &&
            ReadAxisArray(file, columns.sizes) && ReadAxisArray(file, rows.sizes) && file->read(&columns.count, 4) &&
            file->read(&rows.count, 4);
  if (!ok) {
    file->report_error("image record ends inside its grid (offset %d)", file->get_current_position());
    return;
  }
  if (sourceWidth < 0 || sourceHeight < 0 || sourceWidth > kMaxSide || sourceHeight > kMaxSide ||
      !AxisIsSane(columns, sourceWidth) || !AxisIsSane(rows, sourceHeight)) {
    file->report_error("image record has an impossible grid (%d x %d tiles over %d x %d pixels)", columns.count,
                       rows.count, sourceWidth, sourceHeight);
    return;
  }
  int tileCount = 0;
  // Every tile is at least its 4-byte size.
  if (!file->read_length(tileCount, 4, "image tile list")) return;
  if (tileCount != columns.count * rows.count) {
    file->report_error("image record has %d tiles for a grid of %d x %d", tileCount, columns.count, rows.count);
    return;
  }
  std::vector<base::Binary> tiles(static_cast<size_t>(tileCount));
  for (base::Binary& tile : tiles)
    if (!tile.Read(file)) return;  // the byte-block reader logged it
  m_built = built != 0;
  m_sourceWidth = sourceWidth, m_sourceHeight = sourceHeight;
  m_columns = columns, m_rows = rows;
  m_tileData.swap(tiles);
  m_tiles.assign(m_tileData.size(), nullptr);
  m_cells.assign(m_tileData.size(), cl_TileCells());
  for (int i = 0; i < tileCount; ++i) MakeTileTexture(i);
}

// ---- Bitmap loader

bool LoadBitmapD3DX(const char* file, base::cl_Bitmap32* bitmap) {
  int width = 0, height = 0;
  return DecodePadded(file, bitmap, width, height);
}

void PaintedExtent(const base::cl_Bitmap32& bitmap, int& width, int& height) {
  width = 0;
  height = 0;
  const base::Color32* pixels = bitmap.GetPixels();
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x)
      if (pixels[static_cast<size_t>(y) * bitmap.Width() + x].a != 0) {
        if (x + 1 > width) width = x + 1;
        height = y + 1;
      }
}

void RegisterBitmapLoaders() {
  for (const char* extension : {"bmp", "tga", "dds"})
    base::tMultiFileFormatLoader<base::cl_Bitmap32>::AddFileFormat(extension, LoadBitmapD3DX);
}

}  // namespace gfx
