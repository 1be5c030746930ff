// The glyph-sheet font: the sheet scan, loading and the batched quad drawing.
#include "graphics/font/TextureFont.h"

#include <algorithm>
#include <cstring>

#include "base/FileTools.h"
#include "base/data/Binary.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "platform/gpu/Device.h"
#include "platform/gpux/TextureLoad.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/DynamicBuffer.h"

namespace gfx {

namespace {

constexpr uint32_t kColourKey = 0xFF000000u;
constexpr int kRows = 5;
constexpr float kTabAdvance = 120.0f;
constexpr float kBlankLess = 3.0f;
constexpr float kItalicSlant = 4.0f;

// The characters of the sheet's rows, left to right (Windows-1252 bytes).
const unsigned char kRow1[] = "abcdefghijklmnopqrstuvwxyz\xE4\xF6\xFC";
const unsigned char kRow2[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ\xC4\xD6\xDC";
const unsigned char kRow3[] = "0123456789";
const unsigned char kRow4[] = ",.-;:_#'+*<>";
const unsigned char kRow5[] = "!\"\xA7$%&/()=?[]{}\\";
const unsigned char* const kRowChars[kRows] = {kRow1, kRow2, kRow3, kRow4, kRow5};
const int kRowLength[kRows] = {sizeof(kRow1) - 1, sizeof(kRow2) - 1, sizeof(kRow3) - 1, sizeof(kRow4) - 1,
                               sizeof(kRow5) - 1};

bool Visible(const base::cl_Bitmap32& sheet, int x, int y) { return sheet.GetPixels()[y * sheet.Width() + x].a != 0; }

// The first visible pixel in reading order from line y on; false when there is none.
bool FindFirstVisible(const base::cl_Bitmap32& sheet, int y, int& outX, int& outY) {
  for (; y < sheet.Height(); ++y)
    for (int x = 0; x < sheet.Width(); ++x)
      if (Visible(sheet, x, y)) {
        outX = x, outY = y;
        return true;
      }
  return false;
}

bool ColumnHasVisible(const base::cl_Bitmap32& sheet, int x, int y, int h) {
  for (int j = y; j < y + h; ++j)
    if (Visible(sheet, x, j)) return true;
  return false;
}

}  // namespace

void ScanGlyphSheet(const base::cl_Bitmap32& sheet, st_GlyphSheet& out) {
  out = st_GlyphSheet();
  out.width = sheet.Width();
  out.height = sheet.Height();
  if (sheet.IsEmpty() || out.width < 1 || out.height < 1) {
    out.spaceWidth = out.lineHeight / 3.0f;
    return;
  }
  const float W = static_cast<float>(out.width), H = static_cast<float>(out.height);
  float widthSum = 0.0f;
  int x = 0, y = 0;
  bool found = FindFirstVisible(sheet, 0, x, y);
  // Only five character lists exist: a sixth row of glyphs is not read.
  for (int row = 0; found && row < kRows; ++row) {
    int h = 0;
    while (y + h < out.height && Visible(sheet, x, y + h)) ++h;
    out.lineHeight = std::max(out.lineHeight, static_cast<float>(h));
    ++x;
    int next = 0;
    for (;;) {
      while (x < out.width && !ColumnHasVisible(sheet, x, y, h)) ++x;
      if (x >= out.width) break;
      int g = 0;
      while (x + g < out.width && ColumnHasVisible(sheet, x + g, y, h)) ++g;
      const unsigned char c = next < kRowLength[row] ? kRowChars[row][next] : 0;
      ++next;
      float* glyph = out.glyphs[c];
      glyph[0] = x / W, glyph[1] = y / H, glyph[2] = (x + g) / W, glyph[3] = (y + h) / H;
      widthSum += static_cast<float>(g);
      ++out.glyphCount;
      x += g;
    }
    x = 0;
    y = y + h + 1;
    found = FindFirstVisible(sheet, y, x, y);
  }
  // The mean of no widths is undefined; a third of the line height reads like a blank.
  out.spaceWidth = out.glyphCount > 0 ? widthSum / static_cast<float>(out.glyphCount) : out.lineHeight / 3.0f;
}

// ---- Loading

cl_TextureFont::cl_TextureFont() = default;

cl_TextureFont::~cl_TextureFont() {
  if (m_sheetTexture) m_sheetTexture->Release();
  if (m_vertexBuffer) m_vertexBuffer->Release();
}

void cl_TextureFont::ReadSettings(const char* file, int spacing) {
  BuildFromSheet(file);
  SetColor(0xFFFFFFFFu);
  SetSize(1.0f);
  SetSpacing(spacing);
}

bool cl_TextureFont::Init(base::StaticVariantIterator element) {
  base::tString<base::BaseString> file;
  int spacing = 0;
  const bool hasFile = element.get_attribute_string("file", file);
  element.get_attribute_int("spacing", spacing);
  if (!hasFile) {
    base::sys::Output("ERROR: TextureFont without \"file\"; it draws nothing\n");
    SetColor(0xFFFFFFFFu), SetSize(1.0f), SetSpacing(spacing);
    return true;
  }
  ReadSettings(file.c_str(), spacing);
  return true;
}

bool cl_TextureFont::Load(uint32_t, const base::Variant& element) {
  base::tString<base::BaseString> file;
  if (!element.get_attribute_string("file", file)) return false;
  int spacing = 0;
  element.get_attribute_int("spacing", spacing);
  ReadSettings(file.c_str(), spacing);
  return true;
}

bool cl_TextureFont::BuildFromSheet(const char* path) {
  gpu::Device* device = win32dx9::GetD3DDevice();
  base::Binary bytes;
  gpu::Texture* texture = nullptr;
  if (device && path && base::LoadFile(path, bytes) && bytes.size() > 0) {
    gpux::CreateTextureFromFileInMemoryEx(device, bytes.get_buffer(), static_cast<size_t>(bytes.size()),
                                          gpux::kDefault, gpux::kDefault, 1, 0, gpu::fmt::A8R8G8B8,
                                          gpu::pool::Managed, gpux::filter::Triangle, gpux::filter::Triangle,
                                          kColourKey, nullptr, &texture, path);
  }
  if (!texture) {
    m_invalid = true;
    base::sys::Output("ERROR: TextureFont sheet '%s' could not be made into a texture\n", path ? path : "");
    return false;
  }
  return Adopt(texture);
}

bool cl_TextureFont::BuildFromBitmap(const base::cl_Bitmap32& sheet) {
  gpu::Device* device = win32dx9::GetD3DDevice();
  gpu::Texture* texture = nullptr;
  if (!device || sheet.IsEmpty() ||
      gpu::Failed(device->CreateTexture(static_cast<uint32_t>(sheet.Width()), static_cast<uint32_t>(sheet.Height()),
                                        1, 0, gpu::fmt::A8R8G8B8, gpu::pool::Managed, &texture)))
    return false;
  gpu::LockedRect locked{};
  if (gpu::Failed(texture->LockRect(0, &locked, nullptr, 0))) {
    texture->Release();
    return false;
  }
  for (int y = 0; y < sheet.Height(); ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(locked.bits) + y * locked.pitch);
    for (int x = 0; x < sheet.Width(); ++x) {
      const uint32_t value = sheet.GetPixels()[y * sheet.Width() + x].value();
      row[x] = value == kColourKey ? 0u : value;
    }
  }
  texture->UnlockRect(0);
  return Adopt(texture);
}

bool cl_TextureFont::Adopt(gpu::Texture* texture) {
  if (m_sheetTexture) m_sheetTexture->Release();
  m_sheetTexture = texture;
  m_invalid = false;
  base::cl_Bitmap32* bitmap = CreateBitmapFromTexture(texture);
  if (bitmap) ScanGlyphSheet(*bitmap, m_sheet);
  else ScanGlyphSheet(base::cl_Bitmap32(), m_sheet);
  delete bitmap;
  if (!m_vertexBuffer) {
    gpu::Device* device = win32dx9::GetD3DDevice();
    if (!device || gpu::Failed(device->CreateVertexBuffer(kBufferVertices * sizeof(win32dx9::DIFFBITMAPVERTEX),
                                                          gpu::usage::Dynamic, win32dx9::kFvfDiffBitmap,
                                                          gpu::pool::Managed, &m_vertexBuffer))) {
      base::sys::Output("ERROR: TextureFont: its vertex buffer could not be made; it draws nothing\n");
      m_vertexBuffer = nullptr;
    }
  }
  return true;
}

// ---- Drawing and measuring

float cl_TextureFont::GlyphAdvance(unsigned char c) const {
  const float* g = m_sheet.glyphs[c];
  const float W = static_cast<float>(m_sheet.width);
  const float L = g[0] + 0.5f / W, R = g[2] + 0.5f / W;
  return static_cast<float>(m_spacing) + static_cast<float>(static_cast<int>(W * (R - L) - 1.0f));
}

void cl_TextureFont::DrawText(float x, float y, const char* text, uint32_t colour) {
  m_lastDrawCalls = 0;
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (m_invalid || !text || !device || !m_vertexBuffer) return;
  const uint32_t saved = m_colour;
  m_colour = colour;
  const float x0 = static_cast<float>(static_cast<int>(x));
  float px = x, py = y;
  const float W = static_cast<float>(m_sheet.width), H = static_cast<float>(m_sheet.height);
  const float slant = m_italic ? kItalicSlant : 0.0f;

  device->SetRenderState(gpu::rs::AlphaBlendEnable, 1);
  device->SetRenderState(gpu::rs::SrcBlend, gpu::blend::SrcAlpha);
  device->SetRenderState(gpu::rs::DestBlend, gpu::blend::InvSrcAlpha);
  device->SetRenderState(gpu::rs::TextureFactor, m_colour);
  device->SetTextureStageState(0, gpu::tss::ColorArg1, gpu::ta::Texture);
  device->SetTextureStageState(0, gpu::tss::ColorArg2, gpu::ta::TFactor);
  device->SetTextureStageState(0, gpu::tss::ColorOp, gpu::top::Modulate);
  device->SetTextureStageState(0, gpu::tss::AlphaOp, gpu::top::Modulate);
  device->SetTextureStageState(0, gpu::tss::AlphaArg1, gpu::ta::Texture);
  device->SetTextureStageState(0, gpu::tss::AlphaArg2, gpu::ta::TFactor);
  device->SetTextureStageState(1, gpu::tss::ColorOp, gpu::top::Disable);
  device->SetStreamSource(0, m_vertexBuffer, 0, sizeof(win32dx9::DIFFBITMAPVERTEX));
  device->SetTexture(0, m_sheetTexture);
  device->SetFVF(win32dx9::kFvfDiffBitmap);
  device->SetSamplerState(0, gpu::ss::MinFilter, gpu::filter::Point);
  device->SetSamplerState(0, gpu::ss::MagFilter, gpu::filter::Point);
  device->SetSamplerState(0, gpu::ss::MipFilter, gpu::filter::None);

  void* locked = nullptr;
  if (gpu::Succeeded(m_vertexBuffer->Lock(0, 0, &locked, gpu::lock::Discard)) && locked) {
    auto* v = static_cast<win32dx9::DIFFBITMAPVERTEX*>(locked);
    uint32_t batch = 0;
    auto put = [&](float vx, float vy, float u, float tv) { *v++ = {vx, vy, 0.9f, 1.0f, m_colour, u, tv}; };
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
      const unsigned char c = *p;
      if (c == '\n') {
        px = x0, py += m_sheet.lineHeight;
      } else if (c == '\t') {
        px += kTabAdvance;
      } else if (c == ' ') {
        px += m_sheet.spaceWidth - kBlankLess;
      } else if (c > ' ') {
        const float* g = m_sheet.glyphs[c];
        const float L = g[0] + 0.5f / W, T = g[1] + 0.5f / H, R = g[2] + 0.5f / W, B = g[3] + 0.5f / H;
        const float GW = W * (R - L), GH = H * (B - T);
        put(px, py + GH, L, B);
        put(px + slant, py, L, T);
        put(px + GW, py + GH, R, B);
        put(px + GW + slant, py, R, T);
        put(px + GW, py + GH, R, B);
        put(px + slant, py, L, T);
        batch += 2;
        if (batch * 3 > kBufferVertices - 6) {  // full: draw what is there, start over
          m_vertexBuffer->Unlock();
          device->DrawPrimitive(gpu::prim::TriangleList, 0, batch);
          ++m_lastDrawCalls;
          batch = 0;
          locked = nullptr;
          if (gpu::Failed(m_vertexBuffer->Lock(0, 0, &locked, gpu::lock::Discard)) || !locked) break;
          v = static_cast<win32dx9::DIFFBITMAPVERTEX*>(locked);
        }
        px += static_cast<float>(m_spacing) + static_cast<float>(static_cast<int>(GW - 1.0f));
      }
    }
    if (locked) {
      m_vertexBuffer->Unlock();
      if (batch > 0) {
        device->DrawPrimitive(gpu::prim::TriangleList, 0, batch);
        ++m_lastDrawCalls;
      }
    }
  }
  device->SetRenderState(gpu::rs::AlphaBlendEnable, 0);
  m_colour = saved;
}

int cl_TextureFont::GetTextWidth(const char* text) {
  if (!text) return 0;
  float w = 0.0f, m = 0.0f;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p == '\n') m = std::max(m, w), w = 0.0f;
    else if (*p == '\t') w += kTabAdvance;
    else if (*p == ' ') w += m_sheet.spaceWidth - kBlankLess;
    else if (*p > ' ') w += GlyphAdvance(*p);
  }
  return static_cast<int>(std::max(m, w));
}

base::tVector2<float> cl_TextureFont::GetTextSize(const char* text) {
  if (!text) return {0.0f, m_sheet.lineHeight};
  float height = m_sheet.lineHeight, w = 0.0f, m = 0.0f;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') {
      m = std::max(m, w), height += m_sheet.lineHeight, w = 0.0f;
    } else {
      const char one[2] = {*p, 0};
      w += static_cast<float>(GetTextWidth(one));
    }
  }
  return {std::max(m, w), height};
}

}  // namespace gfx
