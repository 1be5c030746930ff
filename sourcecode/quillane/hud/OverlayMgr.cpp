// The overlay kinds and their manager.
#include "quillane/hud/OverlayMgr.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <numbers>

#include "base/data/Variant.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/screen/ScreenLayout.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kOutline = 0xFF191919u;

uint8_t AlphaByte(float alpha) { return static_cast<uint8_t>(ClampFloat(alpha, 0.0f, 1.0f) * 255.0f); }
uint32_t WithAlpha(uint32_t colour, uint8_t alpha) { return (colour & 0x00FFFFFFu) | static_cast<uint32_t>(alpha) << 24; }

// The named font, centred, while alive; the previous font and its properties come back after.
class cl_FontScope {
 public:
  cl_FontScope(const char* name, const char* alignment) : m_previous(gfx::GetFont()) {
    if (gfx::cl_Font* font = gfx::FontExists(name)) gfx::SetFont(font);
    m_saved = gfx::GetFontProperties();
    if (!alignment) return;
    base::Variant properties;
    properties.set_element("Properties");
    properties.attribute("alignment")->set_string(alignment);
    gfx::SetFontProperties(properties);
  }
  ~cl_FontScope() {
    if (!m_saved.is_void()) gfx::SetFontProperties(m_saved);
    if (m_previous) gfx::SetFont(m_previous);
  }
  cl_FontScope(const cl_FontScope&) = delete;
  cl_FontScope& operator=(const cl_FontScope&) = delete;

 private:
  gfx::cl_Font* m_previous;
  base::Variant m_saved;
};

float WindowWidth() { return static_cast<float>(base::sys::GetWindowWidth()); }
float WindowHeight() { return static_cast<float>(base::sys::GetWindowHeight()); }

}  // namespace

// ---- cl_Overlay

void cl_Overlay::Update(float dt) { m_elapsed += dt; }

bool cl_Overlay::IsExpired() const { return m_elapsed > GetTotalTime(); }

float cl_Overlay::GetAlpha() const {
  if (m_fadeIn > 0.0f && m_elapsed < m_fadeIn) return m_elapsed / m_fadeIn;
  if (m_fadeOut > 0.0f && m_elapsed > m_fadeIn + m_hold)
    return std::fmax(0.0f, 1.0f - (m_elapsed - m_fadeIn - m_hold) / m_fadeOut);
  return 1.0f;
}

// ---- image

cl_ImageOverlay::cl_ImageOverlay(const char* file) {
  m_layer = 1;
  m_image = new (std::nothrow) gfx::cl_Image;
  if (m_image && !m_image->Load(file)) {
    base::sys::Output("ERROR: overlay image '%s' cannot be read\n", file ? file : "");
    delete m_image;
    m_image = nullptr;
  }
}

cl_ImageOverlay::~cl_ImageOverlay() { delete m_image; }

void cl_ImageOverlay::Render() {
  if (!m_image) return;
  const float alpha = GetAlpha();
  if (alpha >= 1.0f)
    gfx::SetBlendNone();
  else
    gfx::SetBlendAlphaTextureColor(AlphaByte(alpha), true);
  const base::tRectf viewport = GetGameViewportRect();
  gfx::DrawImage(m_image, viewport.min.x, viewport.min.y, GetGuiScale());
}

// ---- text

void cl_TextOverlay::Render() {
  if (!m_localized) {
    base::sys::Localize(m_text.c_str(), m_wide);
    m_localized = true;
  }
  // An under-title belongs to its scene and to a free moment of the player.
  if (!hud::IsPlayerFree() || hud::IsSceneJustLoaded()) {
    End();
    return;
  }
  if (m_wide.empty()) return;
  cl_FontScope font("scene_undertitle", "center");
  const base::tVector2<float> size = gfx::GetTextSizeW(m_wide.c_str());
  const float x = (WindowWidth() - size.x) * 0.5f;
  float sceneHeight = 0.0f, y = 0.0f;
  if (hud::GetSceneHeight(sceneHeight)) y = GetGameViewportRect().max.y - size.y - 50.0f;
  DrawRoundFrame(x - 20.0f, y - 20.0f, x + size.x + 20.0f, y + size.y + 20.0f, 255);
  const uint8_t alpha = AlphaByte(GetAlpha());
  SetBlendForAlpha(255);
  gfx::DrawTextBoxOutlinedW(x, y, size.x, size.y, m_wide.c_str(), WithAlpha(m_colour, alpha), WithAlpha(kOutline, alpha));
}

// ---- score

cl_ScoreOverlay::cl_ScoreOverlay(const char* type, const char* value) {
  base::tString<base::BaseString> icon("scoreicon_");
  icon += base::tString<base::BaseString>(type).lower();
  m_icon = gfx::ImageExists(icon.c_str());
  // The sign is written once, before the magnitude.
  const int n = base::str::ascii_to_integer(value);
  const long v = std::labs(static_cast<long>(n));
  char text[32];
  std::snprintf(text, sizeof text, "%s%ld", n > 0 ? "+" : (n < 0 ? "-" : ""), v);
  m_wide = base::str::convert_string_to_unicode(text);
  const float w = m_icon ? static_cast<float>(m_icon->GetWidth()) : 0.0f;
  const float h = m_icon ? static_cast<float>(m_icon->GetHeight()) : 0.0f;
  m_x = (WindowWidth() - w) * 0.5f;
  m_y = (WindowHeight() - h) * 0.5f;
  m_rise = m_y;
}

void cl_ScoreOverlay::Update(float dt) {
  const float total = GetTotalTime();
  if (total > 0.0f) m_y -= dt / total * m_rise;
  m_elapsed += dt;
}

void cl_ScoreOverlay::Render() {
  if (!hud::IsPlayerFree() && base::str::compare(hud::GetCurrentActionName(), "speak") == 0) {
    End();
    return;
  }
  if (m_soundPending) {
    PlayInterfaceSample("sfx/ui/ui_aquiretoken.ogg", "GetScore", "GUI", 0.5f, true);
    m_soundPending = false;
  }
  const uint8_t alpha = AlphaByte(GetAlpha());
  SetBlendForAlpha(alpha);
  if (m_icon) gfx::DrawImage(m_icon, m_x, m_y, 1.0f);
  cl_FontScope font("score", nullptr);
  const float width = gfx::GetTextWidthW(m_wide.c_str());
  gfx::DrawTextOutlinedW(static_cast<int>(m_x - 10.0f - width), static_cast<int>(m_y), m_wide.c_str(),
                         WithAlpha(kWhite, alpha), WithAlpha(kOutline, alpha));
}

// ---- dust

cl_DustEffect::cl_DustEffect(const char* maskFile, int count) {
  m_name = "dust";
  if (!maskFile || !m_mask.LoadBMP(maskFile) || m_mask.IsEmpty()) {
    base::sys::Output("ERROR: dust mask '%s' cannot be read; no dust\n", maskFile ? maskFile : "");
    m_mask.Release();
    return;
  }
  if (count < 0 || count > kMaxParticles)
    base::sys::Output("Warning: dust count %d kept within 0 … %d\n", count, kMaxParticles);
  m_particles.resize(static_cast<size_t>(count < 0 ? 0 : (count > kMaxParticles ? kMaxParticles : count)));
  for (st_Particle& p : m_particles) {
    p = {};
    p.life = base::Random() + 1.0f;  // every mote spawns at the first update
  }
}

bool cl_DustEffect::InMask(float x, float y) const {
  if (m_mask.IsEmpty()) return false;
  const base::tRectf v = GetGameViewportRect();
  const float w = v.max.x - v.min.x, h = v.max.y - v.min.y;
  if (!(w > 0.0f && h > 0.0f)) return false;
  const float u = (x - v.min.x) / w, t = (y - v.min.y) / h;
  if (!(u >= 0.0f && u < 1.0f && t >= 0.0f && t < 1.0f)) return false;  // also NaN
  const int px = static_cast<int>(u * static_cast<float>(m_mask.Width()));
  const int py = static_cast<int>(t * static_cast<float>(m_mask.Height()));
  const base::Color32 c = m_mask.Point(px, py);
  return c.r != 0 || c.g != 0 || c.b != 0;
}

void cl_DustEffect::Spawn(st_Particle& p) {
  const base::tRectf v = GetGameViewportRect();
  p.brightness = 0.0f;  // unseen until a try lands on the mask
  for (int i = 0; i < kSpawnTries; ++i) {
    p.x = v.min.x + base::Random() * (v.max.x - v.min.x);
    p.y = v.min.y + base::Random() * (v.max.y - v.min.y);
    if (!InMask(p.x, p.y)) continue;
    p.brightness = 0.3f + 0.7f * base::Random();
    break;
  }
  p.vx = base::RandBetween(-8.0f, 8.0f);
  p.vy = base::RandBetween(-4.0f, 4.0f);
  p.ax = base::RandBetween(-2.0f, 2.0f);
  p.ay = base::RandBetween(-1.0f, 1.0f);
  p.life = 0.0f;
  p.lifeSpeed = 0.15f + 0.35f * base::Random();
  p.size = 0.5f + base::Random();
}

void cl_DustEffect::Update(float dt) {
  m_elapsed += dt;
  for (st_Particle& p : m_particles) {
    p.life += p.lifeSpeed * dt;
    p.vx += p.ax * dt;
    p.vy += p.ay * dt;
    p.x += p.vx * dt * p.size;
    p.y += p.vy * dt * p.size;
    // A mote that drifts off the mask starts anew rather than showing where dust may not be.
    if (p.life > 1.0f || (p.brightness > 0.0f && !InMask(p.x, p.y))) Spawn(p);
  }
}

void cl_DustEffect::Render() {
  gfx::cl_Texture* texture = gfx::TextureExists("helper/dust.tga");
  if (!texture) return;
  CollectSprites();
  if (m_sprites.empty()) return;
  // One draw for every mote: each mote's grey rides in its vertex colour.
  gfx::SetBlendMultiplyVertexColor();
  texture->DrawSprites(m_sprites.data(), m_sprites.size());
}

void cl_DustEffect::CollectSprites() {
  m_sprites.clear();
  for (const st_Particle& p : m_particles) {
    const float flicker = std::sin(ClampFloat(p.life, 0.0f, 1.0f) * std::numbers::pi_v<float>);
    const float alpha = ClampFloat(p.brightness * flicker * 165.0f, 0.0f, 255.0f);
    if (alpha < 16.0f || !(p.size * flicker > 0.0f)) continue;
    const uint32_t grey = static_cast<uint8_t>(alpha);
    m_sprites.push_back({p.x, p.y, p.size * flicker * 0.55f, 0xFF000000u + grey * 0x010101u});
  }
}

// ---- cl_OverlayMgr

cl_Overlay* cl_OverlayMgr::CreateOverlay(const char* type, const char* text, float fadeIn, float hold, float fadeOut,
                                         uint32_t colour) {
  if (!type) return nullptr;
  std::unique_ptr<cl_Overlay> made;
  const base::tString<base::BaseString> lower = base::tString<base::BaseString>(type).lower();
  if (base::str::compare(type, "image") == 0)
    made.reset(new cl_ImageOverlay(text));
  else if (lower == "text")
    made.reset(new cl_TextOverlay(colour));
  else if (lower == "skill" || lower == "wealth" || lower == "spycraft")
    made.reset(new cl_ScoreOverlay(type, text));
  if (!made) return nullptr;
  made->m_name = type;
  made->m_text = text;
  // Scripts pass the times; a negative one would run the clock backwards.
  made->m_fadeIn = std::fmax(fadeIn, 0.0f);
  made->m_hold = std::fmax(hold, 0.0f);
  made->m_fadeOut = std::fmax(fadeOut, 0.0f);
  m_overlays.push_back(std::move(made));
  return m_overlays.back().get();
}

cl_DustEffect* cl_OverlayMgr::AddDustEffect(const char* maskFile, int count) {
  m_overlays.push_back(std::make_unique<cl_DustEffect>(maskFile, count));
  return static_cast<cl_DustEffect*>(m_overlays.back().get());
}

void cl_OverlayMgr::Update(float dt) {
  for (auto& o : m_overlays) o->Update(dt);
  std::erase_if(m_overlays, [](const std::unique_ptr<cl_Overlay>& o) { return o->IsExpired(); });
}

void cl_OverlayMgr::RemoveOverlay(const char* name) {
  std::erase_if(m_overlays, [name](const std::unique_ptr<cl_Overlay>& o) {
    return base::str::compare(o->m_name.c_str(), name) == 0;
  });
}

bool cl_OverlayMgr::IsBusy() const {
  for (const auto& o : m_overlays)
    if (o->IsBusy()) return true;
  return false;
}

void cl_OverlayMgr::RenderLayer(int layer) {
  for (size_t i = 0; i < m_overlays.size(); ++i)
    if (m_overlays[i]->m_layer == layer) m_overlays[i]->Render();
}

void cl_OverlayMgr::Clear() { m_overlays.clear(); }
