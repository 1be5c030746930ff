// The texture resource: loading, the bitmap path, drawing and the record.
#include "graphics/Texture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/data/Variant.h"
#include "base/math/VectorTools.h"
#include "base/system.h"
#include "platform/gpu/Device.h"
#include "platform/gpux/TextureLoad.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/DynamicBuffer.h"

namespace gfx {

namespace {

// Bytes of a record after the name and the data: format, width, height, centre.
constexpr int kRecordTail = 5 * 4;

// -1 until read; then the "Display" element's "LowRes" (0 when absent).
int g_lowRes = -1;

bool LowRes() {
  if (g_lowRes < 0) {
    const base::Variant* display = base::sys::GetConfig().get_element("Display");
    int value = 0;
    g_lowRes = display && display->get_attribute_int("LowRes", value) && value != 0 ? 1 : 0;
  }
  return g_lowRes == 1;
}

void ClampAddressing(gpu::Device* device, uint32_t sampler) {
  device->SetSamplerState(sampler, gpu::ss::AddressU, gpu::address::Clamp);
  device->SetSamplerState(sampler, gpu::ss::AddressV, gpu::address::Clamp);
}

}  // namespace

cl_Texture::cl_Texture() = default;

cl_Texture::~cl_Texture() {
  Clear();
  m_fileData.clear();
}

void cl_Texture::ReleaseTexture() {
  if (m_texture) m_texture->Release();
  m_texture = nullptr;
  m_Status &= ~TEXTURE_VALID;
}

void cl_Texture::Clear() {
  ReleaseTexture();
  m_Status = 0;
  m_width = m_height = 0;
  m_fileName.clear();
}

void cl_Texture::ResetLowResFlag() { g_lowRes = -1; }

// ---- Set-up

bool cl_Texture::SetFile(const char* file, uint32_t format) {
  Clear();
  m_fileName = file;
  m_Status |= FILE_VALID;
  m_format = format;
  return true;
}

bool cl_Texture::SetFileData(base::Binary& data) {
  m_Status |= BINARY_VALID;
  m_fileData.clear();
  m_fileData.cut(data);
  m_format = kFormatFromFile;
  return true;
}

bool cl_Texture::Init(base::StaticVariantIterator element) {
  base::tString<base::BaseString> file;
  element.get_attribute_string("file", file);
  SetFile(file.c_str(), kFormatA8R8G8B8);
  element.get_attribute_float("x", m_centerX);
  element.get_attribute_float("y", m_centerY);
  return true;
}

void cl_Texture::SetCenterToMiddle() {
  m_centerX = m_width * 0.5f;
  m_centerY = m_height * 0.5f;
}

void cl_Texture::AdoptD3DTexture(gpu::Texture* texture, uint32_t width, uint32_t height) {
  ReleaseTexture();
  m_texture = texture;
  m_width = width;
  m_height = height;
  if (texture) m_Status |= TEXTURE_VALID;
}

// ---- Loading

bool cl_Texture::Load() {
  if (m_texture) return true;
  if (m_Status == 0) return false;
  if (LowRes() && !m_fileName.empty()) {
    base::tString<base::BaseString> candidate = base::StripPath(m_fileName);
    base::ReplaceFileExtension(candidate, "dds");
    base::tString<base::BaseString> path = base::ExtractPath(m_fileName);
    // A bare file name has its "low" folder beside it, not at the root.
    path += path.empty() ? "low/" : "/low/";
    path += candidate;
    candidate = path;
    if (base::FileExists(candidate)) m_fileName = candidate;
  }
  if (!(m_Status & BINARY_VALID)) {
    if (!base::LoadFile(m_fileName.c_str(), m_fileData)) {
      m_Status = 0;
      return false;
    }
    m_Status |= BINARY_VALID;
  }
  m_format = kFormatFromFile;
  return LoadFromMemory();
}

bool cl_Texture::LoadFromMemory() {
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!(m_Status & BINARY_VALID) || !device) return false;
  ReleaseTexture();
  gpu::Texture* texture = nullptr;
  const uint32_t triangleMirror = gpux::filter::Triangle | 0x70000;
  const uint32_t result = gpux::CreateTextureFromFileInMemoryEx(
      device, m_fileData.get_buffer(), static_cast<size_t>(m_fileData.size()), gpux::kDefault, gpux::kDefault, 0, 0,
      m_format, gpu::pool::Managed, triangleMirror, triangleMirror, 0, nullptr, &texture, m_fileName.c_str());
  if (gpu::Failed(result) || !texture) {
    base::sys::Output("ERROR: failed to load texture %s from memory.\n", m_fileName.c_str());
    return false;
  }
  AdoptD3DTexture(texture, texture->Width(), texture->Height());
  return true;
}

bool cl_Texture::CreateFromBitmap(const base::cl_Bitmap32* bitmap, int sx, int sy, int width, int height) {
  Clear();
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!bitmap || !device) return false;
  const int w = width == -1 ? bitmap->Width() : width, h = height == -1 ? bitmap->Height() : height;
  if (w < 1 || h < 1) return false;
  gpu::Texture* texture = nullptr;
  if (gpu::Failed(device->CreateTexture(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 1, 0, m_format,
                                        gpu::pool::Managed, &texture)))
    return false;
  gpu::LockedRect locked{};
  if (gpu::Failed(texture->LockRect(0, &locked, nullptr, 0))) {
    texture->Release();
    return false;
  }
  for (int y = 0; y < h; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(locked.bits) + y * locked.pitch);
    for (int x = 0; x < w; ++x) row[x] = bitmap->Point(sx + x, sy + y).value();
  }
  texture->UnlockRect(0);
  AdoptD3DTexture(texture, static_cast<uint32_t>(w), static_cast<uint32_t>(h));
  m_Status = TEXTURE_VALID;
  return true;
}

// ---- Use

uint32_t cl_Texture::Bind(uint32_t stage) {
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!device) return gpu::kErrInvalidCall;
  Load();
  return device->SetTexture(stage, m_texture);
}

void cl_Texture::DrawRect(float x, float y, float scale, float rect[4]) const {
  rect[0] = (x - m_centerX) * scale - 0.5f, rect[1] = (y - m_centerY) * scale - 0.5f;
  rect[2] = rect[0] + m_width * scale, rect[3] = rect[1] + m_height * scale;
}

void cl_Texture::Draw(float x, float y, float scale) {
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!Load() || !device) return;
  ClampAddressing(device, 0);
  ClampAddressing(device, 1);
  device->SetTexture(0, m_texture);
  float r[4];
  DrawRect(x, y, scale, r);
  namespace rec = win32dx9::rec;
  rec::BitmapAddQuad();
  rec::BitmapAddVertex(r[0], r[1], 0.0f, 0.0f, 0xFFFFFFFFu);
  rec::BitmapAddVertex(r[2], r[1], 1.0f, 0.0f, 0xFFFFFFFFu);
  rec::BitmapAddVertex(r[2], r[3], 1.0f, 1.0f, 0xFFFFFFFFu);
  rec::BitmapAddVertex(r[0], r[3], 0.0f, 1.0f, 0xFFFFFFFFu);
  rec::BitmapFlush();
}

void cl_Texture::DrawSprites(const st_Sprite* sprites, size_t count) {
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!sprites || count == 0 || !Load() || !device) return;
  // Kept between frames: drawing allocates nothing once the particles have been drawn once.
  static std::vector<win32dx9::DIFFBITMAPVERTEX> vertices;
  vertices.clear();
  for (size_t i = 0; i < count; ++i) {
    const st_Sprite& s = sprites[i];
    float r[4];
    DrawRect(s.x / s.scale, s.y / s.scale, s.scale, r);
    // The triangles of a recorded quad, in its order.
    const win32dx9::DIFFBITMAPVERTEX a{r[0], r[1], 0.5f, 0.5f, s.colour, 0.0f, 0.0f},
        b{r[2], r[1], 0.5f, 0.5f, s.colour, 1.0f, 0.0f}, c{r[2], r[3], 0.5f, 0.5f, s.colour, 1.0f, 1.0f},
        d{r[0], r[3], 0.5f, 0.5f, s.colour, 0.0f, 1.0f};
    vertices.insert(vertices.end(), {a, b, c, a, c, d});
  }
  ClampAddressing(device, 0);
  ClampAddressing(device, 1);
  device->SetTexture(0, m_texture);
  device->SetFVF(win32dx9::kFvfDiffBitmap);
  device->DrawPrimitiveUP(gpu::prim::TriangleList, static_cast<uint32_t>(count * 2), vertices.data(),
                          sizeof(win32dx9::DIFFBITMAPVERTEX));
}

void cl_Texture::DrawBlended(cl_Texture* second, float x, float y, float scale) {
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!second || !device || !Load() || !second->Load()) return;
  float r[4];
  DrawRect(x, y, scale, r);
  const float left = r[0], top = r[1], right = r[2], bottom = r[3];
  ClampAddressing(device, 0);
  device->SetTexture(0, m_texture);
  ClampAddressing(device, 1);
  device->SetTexture(1, second->m_texture);
  namespace rec = win32dx9::rec;
  rec::DoubleTexAddQuad();
  rec::DoubleTexAddVertex(left, top, 0.0f, 0.0f);
  rec::DoubleTexAddVertex(right, top, 1.0f, 0.0f);
  rec::DoubleTexAddVertex(right, bottom, 1.0f, 1.0f);
  rec::DoubleTexAddVertex(left, bottom, 0.0f, 1.0f);
  rec::DoubleTexFlush();
}

void cl_Texture::DrawRotated(float x, float y, float angle, float scale) {
  const base::tVector2<float> pivot(x + m_centerX - 0.5f, y + m_centerY - 0.5f);
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!Load() || !device) return;
  ClampAddressing(device, 0);
  device->SetTexture(0, m_texture);
  const float w = static_cast<float>(m_width), h = static_cast<float>(m_height);
  const base::tVector2<float> corners[4] = {
      {-m_centerX, -m_centerY}, {w - m_centerX, -m_centerY}, {w - m_centerX, h - m_centerY}, {-m_centerX, h - m_centerY}};
  const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  win32dx9::rec::BitmapAddQuad();
  for (int i = 0; i < 4; ++i) {
    const base::tVector2<float> p = pivot + base::RotateVec2(corners[i], angle) * scale;
    win32dx9::rec::BitmapAddVertex(p.x, p.y, uv[i][0], uv[i][1], 0xFFFFFFFFu);
  }
  win32dx9::rec::BitmapFlush();
}

// ---- Record

void cl_Texture::Write(base::File* file) {
  if (!file) return;
  Load();
  m_fileName.Write(file);
  m_fileData.Write(file);
  file->write_int(static_cast<int>(m_format));
  file->write_int(static_cast<int>(m_width));
  file->write_int(static_cast<int>(m_height));
  file->write(&m_centerX, 4);
  file->write(&m_centerY, 4);
}

void cl_Texture::Read(base::File* file) {
  Clear();
  m_fileData.clear();
  if (!file) return;
  // The name and data readers reject lengths past the end (with their own line).
  if (!m_fileName.Read(file) || !m_fileData.Read(file)) {
    Clear();
    m_fileData.clear();
    return;
  }
  if (file->get_remaining() < kRecordTail) {
    file->report_error("texture record '%s' ends before its size fields (offset %d)", m_fileName.c_str(),
                       file->get_current_position());
    Clear();
    m_fileData.clear();
    return;
  }
  m_format = static_cast<uint32_t>(file->read_int());
  m_width = static_cast<uint32_t>(file->read_int());
  m_height = static_cast<uint32_t>(file->read_int());
  file->read(&m_centerX, 4);
  file->read(&m_centerY, 4);
  m_Status = 0;
  if (!m_fileName.empty()) m_Status |= FILE_VALID;
  if (m_fileData.size() > 0) m_Status |= BINARY_VALID;
}

// ---- Helpers

cl_Texture* TextureExists(const char* label) { return base::tResourceType<cl_Texture>::Get(label); }

base::cl_Bitmap32* CreateBitmapFromTexture(gpu::Texture* texture) {
  gpu::SurfaceDesc desc{};
  if (!texture || gpu::Failed(texture->GetLevelDesc(0, &desc))) return nullptr;
  if (desc.format != gpu::fmt::A8R8G8B8 && desc.format != gpu::fmt::X8R8G8B8) return nullptr;
  gpu::LockedRect locked{};
  if (gpu::Failed(texture->LockRect(0, &locked, nullptr, gpu::lock::ReadOnly))) return nullptr;
  base::cl_Bitmap32* bitmap = new base::cl_Bitmap32;
  bitmap->Create(static_cast<int>(desc.width), static_cast<int>(desc.height));
  for (int y = 0; y < bitmap->Height(); ++y)
    std::memcpy(bitmap->Pixel(0, y), static_cast<unsigned char*>(locked.bits) + y * locked.pitch,
                static_cast<size_t>(bitmap->Width()) * 4);
  texture->UnlockRect(0);
  return bitmap;
}

}  // namespace gfx
