#include "quillane/screen/Fader.h"

#include <cmath>

#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/screen/ScreenLayout.h"

namespace {

constexpr uint32_t kCoverColour = 0x00120D05u;  // a very dark brown
constexpr uint32_t kTextColour = 0x00F0F0C8u;

// Alpha 0..255 as a byte; NaN reads as 0.
uint8_t AlphaByte(float alpha) { return alpha > 0.0f ? static_cast<uint8_t>(MinFloat(alpha, 255.0f)) : 0; }

}  // namespace

void cl_Fader::Start(bool cover, float duration, base::tString<base::BaseString> text, uint32_t flags) {
  if (!(duration > 0.0f)) {
    m_state = cover ? STATE_COVERED : STATE_UNCOVERED;
    m_value = cover ? 1.0f : 0.0f;
  } else {
    m_state = cover ? STATE_COVERING : STATE_UNCOVERING;
  }
  m_text = std::move(text);
  m_duration = duration;
  m_flags = flags;
}

void cl_Fader::FadeFromFull(float duration) {
  m_text = "";
  m_duration = duration;
  m_flags = 0;
  m_value = 1.0f;
  m_state = STATE_COUNTDOWN;
}

void cl_Fader::Update(float dt) {
  if (dt > kMaxFrameTime) dt = 0.0f;
  const bool timed = m_duration > 0.0f;
  switch (m_state) {
    case STATE_COVERING:
      m_value = timed ? ApproachFloat(1.0f, m_value, dt / m_duration) : 1.0f;
      if (m_value >= 1.0f) m_state = STATE_COVERED;
      break;
    case STATE_UNCOVERING:
    case STATE_COUNTDOWN:
      m_value = timed ? ApproachFloat(0.0f, m_value, dt / m_duration) : 0.0f;
      if (m_value <= 0.0f) m_state = m_state == STATE_UNCOVERING ? STATE_UNCOVERED : STATE_COVERED;
      break;
    default:
      break;
  }
}

void cl_Fader::Render() {
  if (!(m_value > 0.0f) || m_state == STATE_UNCOVERED) return;
  const float a = (m_flags & FLAG_EASED) ? SinToUnit(m_value) : m_value;
  const float alpha = m_state == STATE_COUNTDOWN ? 0.0f : a * 255.0f;
  const float w = static_cast<float>(base::sys::GetWindowWidth()), h = static_cast<float>(base::sys::GetWindowHeight());
  if (m_flags & FLAG_BLENDER_FRAME)
    DrawDialogFrame(0.0f, 0.0f, w, h, AlphaByte(alpha), 255);
  else
    gfx::FillRect(0.0f, 0.0f, w, h, static_cast<uint32_t>(AlphaByte(alpha)) << 24 | kCoverColour);

  if (m_text.empty() || !(alpha >= 128.0f)) return;
  DrawBlenderFrame(alpha);
  base::tString<base::BaseUnicodeString> shown;
  base::sys::Localize(m_text.c_str(), shown);
  gfx::cl_Font* previous = gfx::GetFont();
  if (gfx::cl_Font* font = gfx::FontExists("screen_blender")) gfx::SetFont(font);
  // The text fades in during the second half of the cover.
  const uint32_t colour = static_cast<uint32_t>(AlphaByte((alpha - 128.0f) * 2.0f)) << 24 | kTextColour;
  const float x = w * 0.5f - gfx::GetTextWidthW(shown.c_str()) * 0.5f;
  gfx::DrawTextW(static_cast<int>(ClampFloat(x, -1e8f, 1e8f)), static_cast<int>(h * 0.5f), shown.c_str(), colour);
  if (previous) gfx::SetFont(previous);
}

void cl_Fader::DrawBlenderFrame(float alpha) {
  const base::tRectf v = GetGameViewportRect();
  const float left = v.min.x, top = v.min.y, right = v.max.x, bottom = v.max.y;
  gfx::SetBlendNone();
  gfx::SetBlendAlphaTextureColor(AlphaByte(std::round(alpha)), true);
  auto width = [](gfx::cl_Image* image) { return static_cast<float>(image->GetWidth()); };
  auto height = [](gfx::cl_Image* image) { return static_cast<float>(image->GetHeight()); };

  float tileStart = 0.0f;
  // Without the right-hand corner the tiles run to the frame's right edge (a band from there to
  // the window's left edge would be drawn mirrored).
  float tileEnd = right;
  if (gfx::cl_Image* i = gfx::ImageExists("ScreenBlenderLeftUpper")) {
    gfx::DrawImage(i, 0.0f, top, 1.0f);
    tileStart = width(i) - 1.0f;
  }
  if (gfx::cl_Image* i = gfx::ImageExists("ScreenBlenderLeftLower")) gfx::DrawImage(i, 0.0f, bottom - height(i), 1.0f);
  if (gfx::cl_Image* i = gfx::ImageExists("ScreenBlenderRightLower"))
    gfx::DrawImage(i, right - width(i), bottom - height(i), 1.0f);
  if (gfx::cl_Image* i = gfx::ImageExists("ScreenBlenderRightUpper")) {
    gfx::DrawImage(i, right - width(i), top, 1.0f);
    tileEnd = right - width(i);
  }
  const float centre = (left + right) * 0.5f;
  if (gfx::cl_Image* i = gfx::ImageExists("ScreenBlenderUpperDecorator"))
    gfx::DrawImage(i, centre - width(i) * 0.5f, top, 1.0f);
  if (gfx::cl_Image* i = gfx::ImageExists("ScreenBlenderLowerDecorator"))
    gfx::DrawImage(i, centre - width(i) * 0.5f, bottom - height(i), 1.0f);
  if (gfx::cl_Texture* t = gfx::TextureExists("ScreenBlenderUpperTile"))
    gfx::DrawTextureQuad(base::tRectf(tileStart, top + 49.0f, tileEnd, top + 57.0f), t);
  if (gfx::cl_Texture* t = gfx::TextureExists("ScreenBlenderLowerTile"))
    gfx::DrawTextureQuad(base::tRectf(tileStart, bottom - 56.0f, tileEnd, bottom - 48.0f), t);
}
