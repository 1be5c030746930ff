// A 2D picture of any size drawn in screen space: the source bitmap is cut into a grid of tiles
// of 32 to 1024 texels a side, each kept as a DDS file image (DXT5 or uncompressed) and turned
// into a managed texture; every tile but the last of a row or column covers one pixel less than
// its texture, so bilinear filtering meets seamlessly at the seams. Background layers, overlays,
// strip frames and menu art. Resource type "Image". Main thread only.
//
// Record (little-endian): f32 offset x, y; u8 built; i32 source width, height; 4 × 16 i32 grid
// (column offsets, row offsets, column widths, row heights); i32 columns, rows; u32 tile count;
// per tile u32 size and the DDS bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Imaging.h"
#include "base/data/Binary.h"
#include "base/math/Limit.h"
#include "base/resource/Resource.h"
#include "graphics/image/TileCells.h"

namespace gpu {
class Texture;
}

namespace gfx {

// One axis of the tile grid.
struct st_TileAxis {
  static constexpr int kMax = 16;
  int offsets[kMax] = {};
  int sizes[kMax] = {};
  int count = 0;
};

// Cuts a length into tiles (powers of two from 32 to 1024, all but the last one pixel short).
// False, with count 0, when more than 16 tiles would be needed.
bool TileAxis(int length, st_TileAxis& out);

class cl_Image : public base::i_Resource {
 public:
  cl_Image();
  ~cl_Image() override;
  cl_Image(const cl_Image&) = delete;
  cl_Image& operator=(const cl_Image&) = delete;

  // Releases the tile textures; the tile data and the grid stay.
  void Clear();
  // Cuts the region (x0, y0, width, height) of bitmap into tiles, each compressed (DXT5 with
  // alpha, DXT1 without) or kept as A8R8G8B8. Texels past a tile's region repeat the nearest
  // pixel of the bitmap. False (logged, no tiles) when the region needs more than 16 tiles on
  // an axis.
  bool CreateFromBitmap(const base::cl_Bitmap32* bitmap, int x0, int y0, int width, int height, bool compress,
                        bool alpha);
  // Reads the file through the bitmap loaders and cuts it uncompressed; false when it is missing.
  // The tiles hold the picture padded to powers of two; the image is the picture's own size.
  bool Load(const char* file, bool unused = true);
  // "file", read as Load reads it; with a non-zero "compress" the tiles are DXT5; with a non-zero
  // "trim" the image is as large as the picture was painted (its transparent margins cut away).
  bool Init(base::StaticVariantIterator element) override;
  // A damaged record leaves an image without tiles, one "ERROR:" line and the file failed.
  void Read(base::File* file) override;
  void Write(base::File* file) override;

  // Draws every tile at (x, y) + offset, scaled, cut to the current window; blend states are
  // the caller's. Where they leave transparent texels unseen (source alpha blending of the
  // texture's alpha), the empty cells of each tile are left out, and where they would show opaque
  // texels unchanged, the opaque cells are drawn with blending off: the same pixels for less work.
  void Draw(float x, float y, float scale);
  // The same, leaving out what lies wholly outside the screen rectangle within (cut at whole
  // texels, so the pixels drawn are those Draw gives them).
  void DrawWithin(float x, float y, float scale, const base::tRectf& within);
  // Those shortcuts on (the default) or off (every tile whole: the reference they are tested
  // against).
  static void SetDrawShortcuts(bool on);

  void SetOffset(float x, float y) { m_offset[0] = x, m_offset[1] = y; }
  float* GetOffset() { return m_offset; }
  int GetSourceWidth() const { return m_sourceWidth; }
  int GetSourceHeight() const { return m_sourceHeight; }
  int GetWidth() const { return m_sourceWidth; }
  int GetHeight() const { return m_sourceHeight; }
  const st_TileAxis& GetColumns() const { return m_columns; }
  const st_TileAxis& GetRows() const { return m_rows; }
  int GetTileCount() const { return static_cast<int>(m_tileData.size()); }
  const base::Binary& GetTileData(int i) const { return m_tileData[static_cast<size_t>(i)]; }
  gpu::Texture* GetTileTexture(int i) const { return m_tiles[static_cast<size_t>(i)]; }
  const cl_TileCells& GetTileCells(int i) const { return m_cells[static_cast<size_t>(i)]; }
  bool IsBuilt() const { return m_built; }

 private:
  void MakeTileTexture(int index);  // and classifies its cells
  void DrawTiles(float x, float y, float scale, const base::tRectf* within);  // within: null for all
  // CreateFromBitmap with the tile grid of gridWidth x gridHeight, less the tiles that show
  // nothing of width x height (the picture inside a padded bitmap).
  bool Cut(const base::cl_Bitmap32* bitmap, int x0, int y0, int width, int height, int gridWidth, int gridHeight,
           bool compress, bool alpha);

  float m_offset[2] = {0.0f, 0.0f};
  bool m_built = false;
  int m_sourceWidth = 0;
  int m_sourceHeight = 0;
  st_TileAxis m_columns;
  st_TileAxis m_rows;
  std::vector<base::Binary> m_tileData;
  std::vector<gpu::Texture*> m_tiles;
  std::vector<cl_TileCells> m_cells;  // one per tile, unknown where the texture failed
  std::vector<cl_TileCells::st_Rect> m_cutRects;  // DrawWithin's rectangles of the tile at hand
};

// The bitmap loader for "bmp", "tga" and "dds": the file's pixels in a bitmap of its size
// rounded up to powers of two, padded with transparent black. Needs no graphics device.
bool LoadBitmapD3DX(const char* file, base::cl_Bitmap32* bitmap);
// Registers LoadBitmapD3DX for the three extensions.
void RegisterBitmapLoaders();
// The size a picture was painted at: up to its last column and row with a visible pixel (the
// loader pads pictures with transparent black to powers of two).
void PaintedExtent(const base::cl_Bitmap32& bitmap, int& width, int& height);

}  // namespace gfx
