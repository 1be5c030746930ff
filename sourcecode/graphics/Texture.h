// The engine's single-image texture: a named image file (TGA, BMP or DDS) kept in memory as its
// encoded bytes and turned into a device texture on first use; or a texture filled from a CPU
// bitmap. Made by the resource type "Texture", by the binary record below (inside compiled game
// data), by render targets and by code. Draws itself as a screen-space quad (plain, with a second
// texture, or turned about its pivot). Main thread only.
//
// Record (little-endian): u32 name length, name bytes, u32 data size, data bytes, u32 format,
// u32 width, u32 height, f32 centre x, f32 centre y.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/Imaging.h"
#include "base/String.h"
#include "base/data/Binary.h"
#include "base/resource/Resource.h"

namespace gpu {
class Texture;
}

namespace gfx {

// One copy of a texture among many drawn at once: placed as DrawTextureAt places it (x, y in
// pixels), with its own vertex colour.
struct st_Sprite {
  float x, y, scale;
  uint32_t colour;
};

class cl_Texture : public base::i_Resource {
 public:
  enum en_Status : uint32_t { FILE_VALID = 1, BINARY_VALID = 2, TEXTURE_VALID = 4 };
  static constexpr uint32_t kFormatA8R8G8B8 = 21;
  static constexpr uint32_t kFormatFromFile = 0xFFFFFFFDu;

  cl_Texture();
  ~cl_Texture() override;
  cl_Texture(const cl_Texture&) = delete;
  cl_Texture& operator=(const cl_Texture&) = delete;

  // Names the file (nothing is read yet) and the format for bitmap-made textures; the device
  // texture and the size are dropped. Always true.
  bool SetFile(const char* file, uint32_t format);
  bool SetFileA8R8G8B8(const char* file) { return SetFile(file, kFormatA8R8G8B8); }
  // Takes the encoded file bytes (data is left empty). Always true.
  bool SetFileData(base::Binary& data);
  // "file" and the optional pivot "x", "y". Always true.
  bool Init(base::StaticVariantIterator element) override;
  // A damaged record leaves an empty texture (status 0) and one "ERROR:" line.
  void Read(base::File* file) override;
  void Write(base::File* file) override;  // loads first, so the file bytes are present

  // Makes the device texture when missing: from the file bytes, read from disk first when needed
  // (the low-resolution variant when "Display/LowRes" is set and it exists). False when there is
  // no device texture afterwards; a file that cannot be read clears the status.
  bool Load();
  // The device texture from the file bytes (full mip chain, power-of-two size).
  bool LoadFromMemory();
  // A one-level texture of width × height (−1: the bitmap's) from the bitmap's pixels at (sx, sy)
  // on; texels outside the bitmap are transparent black. Leaves only TEXTURE_VALID.
  bool CreateFromBitmap(const base::cl_Bitmap32* bitmap, int sx, int sy, int width = -1, int height = -1);

  // Loads, then sets the device texture on a stage (null when it cannot load); the device's result.
  uint32_t Bind(uint32_t stage);
  // A quad of the texture's size × scale with the pivot at (x, y) × scale; colour white, blend
  // states the caller's.
  void Draw(float x, float y, float scale);
  // The same with second on stage 1 (same texture coordinates); nothing unless both load.
  void DrawBlended(cl_Texture* second, float x, float y, float scale);
  // Every sprite in one draw, each quad as Draw gives it; the vertex colour reaches the pixels
  // only where the caller's stage preset reads the diffuse colour.
  void DrawSprites(const st_Sprite* sprites, size_t count);
  // (x, y) is the unturned top-left corner; the quad turns about the pivot with the engine's 2D
  // turn (RotateVec2), which mirrors the image left to right at angle 0.
  void DrawRotated(float x, float y, float angle, float scale);

  void SetCenter(float x, float y) { m_centerX = x, m_centerY = y; }
  void SetCenterToMiddle();
  float GetCenterX() const { return m_centerX; }
  float GetCenterY() const { return m_centerY; }
  uint32_t GetWidth() const { return m_width; }
  uint32_t GetHeight() const { return m_height; }
  uint32_t GetStatus() const { return m_Status; }
  uint32_t GetFormat() const { return m_format; }
  void SetFormat(uint32_t format) { m_format = format; }
  const base::tString<base::BaseString>& GetFileName() const { return m_fileName; }
  const base::Binary& GetFileData() const { return m_fileData; }
  gpu::Texture* GetD3DTexture() const { return m_texture; }
  // For the render target: adopts a device texture made elsewhere (with its size).
  void AdoptD3DTexture(gpu::Texture* texture, uint32_t width, uint32_t height);

  // The "LowRes" setting is read once per process; tests read it again after this.
  static void ResetLowResFlag();

 private:
  void ReleaseTexture();
  // The quad Draw(x, y, scale) covers: left, top, right, bottom. Needs the size (Load first).
  void DrawRect(float x, float y, float scale, float rect[4]) const;
  void Clear();  // no device texture, status, size and name cleared

  base::tString<base::BaseString> m_fileName;
  base::Binary m_fileData;
  gpu::Texture* m_texture = nullptr;
  uint32_t m_format = kFormatA8R8G8B8;
  uint32_t m_Status = 0;
  uint32_t m_width = 0;
  uint32_t m_height = 0;
  float m_centerX = 0.0f;
  float m_centerY = 0.0f;
};

// The texture filed under label by the "Texture" resource type, or null.
cl_Texture* TextureExists(const char* label);
// A new bitmap (the caller's) with level 0 of a device texture; null for a null texture or one
// that cannot be read back.
base::cl_Bitmap32* CreateBitmapFromTexture(gpu::Texture* texture);

}  // namespace gfx
