#include "platform/gpux/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>
#include <vector>

#include "platform/gpu/Log.h"

namespace gpux {
namespace {

using gpu::Result;

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) gpu::Log("ERROR: font: FreeType does not start\n");
    return l;
  }();
  return library;
}

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Slashes(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

struct Registered {
  std::string family;  // lower case
  bool bold, italic;
  int count;
};
std::map<std::string, Registered>& Registry() {
  static std::map<std::string, Registered> registry;
  return registry;
}

// The file for a face: a registered one of that family (best style match), else a DejaVu face.
std::string Resolve(const std::string& face, bool bold, bool italic, bool* synthBold, bool* synthItalic) {
  const std::string family = Lower(face);
  const std::string* best = nullptr;
  int bestScore = -1;
  for (const auto& [path, entry] : Registry()) {
    if (entry.family != family) continue;
    const int score = (entry.bold == bold) * 2 + (entry.italic == italic);
    if (score > bestScore) bestScore = score, best = &path;
  }
  if (best) {
    const Registered& entry = Registry()[*best];
    *synthBold = bold && !entry.bold;
    *synthItalic = italic && !entry.italic;
    return *best;
  }
  *synthBold = *synthItalic = false;
  const char* base = family.find("mono") != std::string::npos     ? "DejaVuSansMono"
                     : family.find("serif") != std::string::npos && family.find("sans") == std::string::npos
                         ? "DejaVuSerif"
                         : "DejaVuSans";
  const bool serif = std::strcmp(base, "DejaVuSerif") == 0;
  std::string style = bold && italic ? (serif ? "-BoldItalic" : "-BoldOblique")
                      : bold         ? "-Bold"
                      : italic       ? (serif ? "-Italic" : "-Oblique")
                                     : "";
  return std::string("/usr/share/fonts/truetype/dejavu/") + base + style + ".ttf";
}

// Windows-1252 bytes 0x80..0x9F; the rest of the page equals Latin-1.
const char16_t kCp1252[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                              0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                              0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

struct Glyph {
  int x, y, w, h;   // in the atlas
  int left, top;    // bitmap offset from the pen on the baseline
  int advance;
};

struct Line {
  size_t begin, end;
  int width;
};

struct Vertex {
  float x, y, z, rhw;
  uint32_t colour;
  float u, v;
};

constexpr uint32_t kAtlas = 512;

}  // namespace

struct Font::State {
  gpu::Device* device = nullptr;
  FT_Face face = nullptr;
  FontDesc desc;
  bool synthBold = false, synthItalic = false;
  int lineHeight = 0, ascent = 0;
  gpu::Texture* atlas = nullptr;
  int shelfX = 0, shelfY = 0, shelfHeight = 0;
  std::unordered_map<char32_t, Glyph> glyphs;
  std::vector<Vertex> batch;

  ~State() {
    if (atlas) atlas->Release();
    if (face) FT_Done_Face(face);
  }

  const Glyph* GlyphFor(char32_t c, bool* atlasReset) {
    auto found = glyphs.find(c);
    if (found != glyphs.end()) return &found->second;
    Glyph g{};
    if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) {
      FT_GlyphSlot slot = face->glyph;
      if (synthBold) FT_GlyphSlot_Embolden(slot);
      if (synthItalic) FT_GlyphSlot_Oblique(slot);
      if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0) {
        const FT_Bitmap& bitmap = slot->bitmap;
        g.w = int(bitmap.width), g.h = int(bitmap.rows), g.left = slot->bitmap_left, g.top = slot->bitmap_top;
        g.advance = int((slot->advance.x + 32) >> 6);
        if (g.w > 0 && g.h > 0 && g.w < int(kAtlas) && g.h < int(kAtlas)) {
          if (shelfX + g.w + 1 > int(kAtlas)) shelfX = 0, shelfY += shelfHeight + 1, shelfHeight = 0;
          if (shelfY + g.h + 1 > int(kAtlas)) {  // full: the caller draws what it has, then clears
            *atlasReset = true;
            return nullptr;
          }
          g.x = shelfX, g.y = shelfY;
          shelfX += g.w + 1;
          shelfHeight = std::max(shelfHeight, g.h);
          gpu::LockedRect locked;
          const gpu::Rect area{g.x, g.y, g.x + g.w, g.y + g.h};
          if (atlas->LockRect(0, &locked, &area, 0) == gpu::kOk) {
            for (int y = 0; y < g.h; ++y) {
              uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) + y * locked.pitch);
              const uint8_t* src = bitmap.buffer + y * bitmap.pitch;
              for (int x = 0; x < g.w; ++x) row[x] = uint32_t(src[x]) << 24 | 0xFFFFFF;
            }
            atlas->UnlockRect(0);
          }
        } else {
          g.w = g.h = 0;
        }
      }
    }
    return &(glyphs[c] = g);
  }

  void ClearAtlas() {
    glyphs.clear();
    shelfX = shelfY = shelfHeight = 0;
  }

  // A glyph, starting the atlas over when it is full (after drawing what is batched).
  const Glyph& Get(char32_t c) {
    bool full = false;
    const Glyph* g = GlyphFor(c, &full);
    if (!g) {
      Flush();
      ClearAtlas();
      g = GlyphFor(c, &full);
    }
    static const Glyph kNone{};
    return g ? *g : kNone;
  }

  int Advance(char32_t c) { return Get(c).advance; }

  // Splits the text into lines: at line feeds, and with word break at blanks where the next
  // word would pass the width. A word wider than the width keeps a line of its own.
  std::vector<Line> Layout(const std::u32string& text, int width, uint32_t format) {
    std::vector<Line> lines;
    const bool single = (format & dt::SingleLine) != 0;
    const bool wrap = (format & dt::WordBreak) && !single;
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = single ? text.size() : text.find(U'\n', start);
      if (end == std::u32string::npos) end = text.size();
      size_t lineStart = start;
      int w = 0;
      size_t breakAt = std::u32string::npos;
      int widthAtBreak = 0;
      for (size_t i = start; i < end; ++i) {
        const char32_t c = text[i];
        if (c == U'\r' || (single && c == U'\n')) continue;
        if (c == U' ' && wrap) breakAt = i, widthAtBreak = w;
        w += Advance(c);
        if (wrap && w > width && breakAt != std::u32string::npos && breakAt > lineStart) {
          lines.push_back({lineStart, breakAt, widthAtBreak});
          size_t next = breakAt;
          while (next < end && text[next] == U' ') ++next;
          lineStart = next;
          i = next - 1;
          w = 0;
          breakAt = std::u32string::npos;
        }
      }
      lines.push_back({lineStart, end, w});
      if (end >= text.size()) break;
      start = end + 1;
    }
    return lines;
  }

  int Measure(const std::u32string& text, const Line& line) {
    int w = 0;
    for (size_t i = line.begin; i < line.end; ++i)
      if (text[i] != U'\r' && text[i] != U'\n') w += Advance(text[i]);
    return w;
  }

  void Flush() {
    if (batch.empty()) return;
    device->DrawPrimitiveUP(gpu::prim::TriangleList, uint32_t(batch.size() / 3), batch.data(), sizeof(Vertex));
    batch.clear();
  }

  int Draw(const std::u32string& text, gpu::Rect* rect, uint32_t format, uint32_t colour);
};

int Font::State::Draw(const std::u32string& text, gpu::Rect* rect, uint32_t format, uint32_t colour) {
  if (!rect) return 0;
  const std::vector<Line> lines = Layout(text, rect->right - rect->left, format);
  const int height = int(lines.size()) * lineHeight;
  if (format & dt::CalcRect) {
    int widest = 0;
    for (const Line& l : lines) widest = std::max(widest, l.width);
    rect->right = rect->left + widest;
    rect->bottom = rect->top + height;
    return height;
  }
  int y = rect->top;
  if (format & dt::VCenter) y = rect->top + (rect->bottom - rect->top - height) / 2;
  else if (format & dt::Bottom) y = rect->bottom - height;
  const bool clip = !(format & dt::NoClip);

  // Save what we change, draw, restore.
  struct Saved { uint32_t kind, index, state, value; };
  std::vector<Saved> saved;
  auto rs = [&](uint32_t s, uint32_t v) {
    saved.push_back({0, 0, s, device->GetRenderState(s)});
    device->SetRenderState(s, v);
  };
  auto tss = [&](uint32_t stage, uint32_t s, uint32_t v) {
    saved.push_back({1, stage, s, device->GetTextureStageState(stage, s)});
    device->SetTextureStageState(stage, s, v);
  };
  auto ss = [&](uint32_t s, uint32_t v) {
    saved.push_back({2, 0, s, device->GetSamplerState(0, s)});
    device->SetSamplerState(0, s, v);
  };
  rs(gpu::rs::AlphaBlendEnable, 1), rs(gpu::rs::SrcBlend, gpu::blend::SrcAlpha), rs(gpu::rs::DestBlend, gpu::blend::InvSrcAlpha);
  rs(gpu::rs::ZEnable, 0), rs(gpu::rs::CullMode, gpu::cull::None), rs(gpu::rs::Lighting, 0), rs(gpu::rs::FillMode, 3);
  rs(gpu::rs::ColorWriteEnable, 0xF);
  tss(0, gpu::tss::ColorOp, gpu::top::Modulate), tss(0, gpu::tss::ColorArg1, gpu::ta::Texture);
  tss(0, gpu::tss::ColorArg2, gpu::ta::Diffuse), tss(0, gpu::tss::AlphaOp, gpu::top::Modulate);
  tss(0, gpu::tss::AlphaArg1, gpu::ta::Texture), tss(0, gpu::tss::AlphaArg2, gpu::ta::Diffuse);
  tss(0, gpu::tss::TexCoordIndex, 0), tss(1, gpu::tss::ColorOp, gpu::top::Disable), tss(1, gpu::tss::AlphaOp, gpu::top::Disable);
  ss(gpu::ss::MinFilter, gpu::filter::Point), ss(gpu::ss::MagFilter, gpu::filter::Point), ss(gpu::ss::MipFilter, gpu::filter::None);
  ss(gpu::ss::AddressU, gpu::address::Clamp), ss(gpu::ss::AddressV, gpu::address::Clamp);
  gpu::Texture* oldTexture = device->GetTexture(0);
  if (oldTexture) oldTexture->AddRef();
  device->SetTexture(0, atlas);
  device->SetFVF(gpu::fvf::XYZRHW | gpu::fvf::Diffuse | gpu::fvf::Tex1);

  for (const Line& line : lines) {
    int x = rect->left;
    if (format & dt::Center) x = rect->left + (rect->right - rect->left - line.width) / 2;
    else if (format & dt::Right) x = rect->right - line.width;
    const int baseline = y + ascent;
    for (size_t i = line.begin; i < line.end; ++i) {
      const char32_t c = text[i];
      if (c == U'\r' || c == U'\n') continue;
      const Glyph g = Get(c);
      if (g.w > 0) {
        float x0 = float(x + g.left), y0 = float(baseline - g.top), x1 = x0 + float(g.w), y1 = y0 + float(g.h);
        float u0 = float(g.x) / kAtlas, v0 = float(g.y) / kAtlas, u1 = float(g.x + g.w) / kAtlas,
              v1 = float(g.y + g.h) / kAtlas;
        bool visible = true;
        if (clip) {  // cut the quad to the rectangle, texture coordinates with it
          const float cx0 = float(rect->left), cy0 = float(rect->top), cx1 = float(rect->right), cy1 = float(rect->bottom);
          if (x1 <= cx0 || y1 <= cy0 || x0 >= cx1 || y0 >= cy1) visible = false;
          const float du = (u1 - u0) / (x1 - x0), dv = (v1 - v0) / (y1 - y0);
          if (x0 < cx0) u0 += (cx0 - x0) * du, x0 = cx0;
          if (y0 < cy0) v0 += (cy0 - y0) * dv, y0 = cy0;
          if (x1 > cx1) u1 -= (x1 - cx1) * du, x1 = cx1;
          if (y1 > cy1) v1 -= (y1 - cy1) * dv, y1 = cy1;
        }
        if (visible) {
          // Texel (i, j) lands on pixel (x0 + i, y0 + j): corners half a pixel off the centres.
          x0 -= 0.5f, y0 -= 0.5f, x1 -= 0.5f, y1 -= 0.5f;
          const Vertex a{x0, y0, 0.5f, 1, colour, u0, v0}, b{x1, y0, 0.5f, 1, colour, u1, v0},
              cc{x1, y1, 0.5f, 1, colour, u1, v1}, d{x0, y1, 0.5f, 1, colour, u0, v1};
          batch.insert(batch.end(), {a, b, cc, a, cc, d});
        }
      }
      x += g.advance;
    }
    y += lineHeight;
  }
  Flush();
  device->SetTexture(0, oldTexture);
  if (oldTexture) oldTexture->Release();
  for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
    if (it->kind == 0) device->SetRenderState(it->state, it->value);
    else if (it->kind == 1) device->SetTextureStageState(it->index, it->state, it->value);
    else device->SetSamplerState(0, it->state, it->value);
  }
  return height;
}

int AddFontResource(const char* path) {
  if (!path || !Library()) return 0;
  const std::string file = Slashes(path);
  auto found = Registry().find(file);
  if (found != Registry().end()) {
    ++found->second.count;
    return 1;
  }
  FT_Face face = nullptr;
  if (FT_New_Face(Library(), file.c_str(), 0, &face) != 0) {
    gpu::Log("ERROR: font '%s': not a font file or unreadable\n", file.c_str());
    return 0;
  }
  Registry()[file] = {Lower(face->family_name ? face->family_name : ""), (face->style_flags & FT_STYLE_FLAG_BOLD) != 0,
                      (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0, 1};
  FT_Done_Face(face);
  return 1;
}

bool RemoveFontResource(const char* path) {
  if (!path) return false;
  auto found = Registry().find(Slashes(path));
  if (found == Registry().end()) return false;
  if (--found->second.count == 0) Registry().erase(found);
  return true;
}

Result Font::Create(gpu::Device* device, int32_t height, uint32_t width, uint32_t weight, uint32_t mipLevels,
                    bool italic, const char* faceName, Font** out) {
  if (!device || !out || height == 0 || !Library()) return gpu::kErrInvalidCall;
  *out = nullptr;
  auto state = std::make_unique<State>();
  state->device = device;
  state->desc = {height, width, weight, mipLevels, italic, faceName ? faceName : ""};
  const bool bold = weight >= 600;
  const std::string file = Resolve(state->desc.faceName, bold, italic, &state->synthBold, &state->synthItalic);
  if (FT_New_Face(Library(), file.c_str(), 0, &state->face) != 0) {
    gpu::Log("ERROR: font '%s': cannot open face file '%s'\n", state->desc.faceName.c_str(), file.c_str());
    return gpu::kErrNotAvailable;
  }
  // Positive heights are cell heights (ascent plus descent), negative ones character heights.
  FT_Size_RequestRec request{};
  request.type = height > 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
  request.height = FT_Long(std::abs(height)) * 64;
  if (FT_Request_Size(state->face, &request) != 0) {
    gpu::Log("ERROR: font '%s': size %d not available\n", state->desc.faceName.c_str(), height);
    return gpu::kErrInvalidCall;
  }
  const FT_Size_Metrics& m = state->face->size->metrics;
  state->ascent = int((m.ascender + 32) >> 6);
  state->lineHeight = int((m.ascender - m.descender + 32) >> 6);
  if (height > 0) state->lineHeight = height;
  const Result r = device->CreateTexture(kAtlas, kAtlas, 1, 0, gpu::fmt::A8R8G8B8, gpu::pool::Managed, &state->atlas);
  if (r != gpu::kOk) return r;
  Font* font = new Font();
  font->state_ = std::move(state);
  *out = font;
  return gpu::kOk;
}

Font::~Font() = default;

uint32_t Font::Release() {
  const uint32_t left = --refs_;
  if (left == 0) delete this;
  return left;
}

int Font::DrawTextW(const char16_t* text, int count, gpu::Rect* rect, uint32_t format, uint32_t colour) {
  if (!text) return 0;
  std::u32string wide;
  const size_t n = count < 0 ? std::char_traits<char16_t>::length(text) : size_t(count);
  for (size_t i = 0; i < n; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    wide.push_back(c);
  }
  return state_->Draw(wide, rect, format, colour);
}

int Font::DrawTextA(const char* text, int count, gpu::Rect* rect, uint32_t format, uint32_t colour) {
  if (!text) return 0;
  std::u32string wide;
  const size_t n = count < 0 ? std::strlen(text) : size_t(count);
  for (size_t i = 0; i < n; ++i) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    wide.push_back(b >= 0x80 && b < 0xA0 ? char32_t(kCp1252[b - 0x80]) : char32_t(b));
  }
  return state_->Draw(wide, rect, format, colour);
}

Result Font::GetDesc(FontDesc* out) const {
  if (!out) return gpu::kErrInvalidCall;
  *out = state_->desc;
  return gpu::kOk;
}

int Font::LineHeight() const { return state_->lineHeight; }

}  // namespace gpux
