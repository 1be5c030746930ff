// The Sabotage panels' element: pictures by label, drawing, hit test and the queue of steps.
#include "quillane/minigames/sabotage/ActionElement.h"

#include <algorithm>
#include <numbers>

#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/screen/FontScope.h"

namespace quillane {

namespace {

constexpr uint32_t kTextOutline = 0xFF191919u;  // (25, 25, 25)

// Linear progress of a timed step; a step of no length (or a damaged one) is over at once.
float Progress(float elapsed, float duration) { return duration > 0.0f ? elapsed / duration : 1.0f; }

void PictureStates() {
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  gfx::SetFilterLinear();
}

}  // namespace

// ---- steps

bool cl_ActionElement::st_Rotation::Update(float dt) {
  float& r = m_Element->m_Rotation;
  const float d = dt * std::numbers::pi_v<float>;
  if (r < m_Target) {
    r = std::min(r + d, m_Target);
    return true;
  }
  if (r > m_Target) {
    r = std::max(r - d, m_Target);
    return true;
  }
  return false;
}

bool cl_ActionElement::st_Linear::Update(float dt) {
  if (!m_Started) {
    m_StartA = m_A, m_StartB = m_B;
    m_Elapsed = 0.0f;
    m_Started = true;
  }
  m_Elapsed += dt;
  const float f = Progress(m_Elapsed, m_Duration);
  if (!(f < 1.0f)) {
    m_A = m_TargetA, m_B = m_TargetB;
    return false;
  }
  m_A = m_StartA + f * (m_TargetA - m_StartA);
  m_B = m_StartB + f * (m_TargetB - m_StartB);
  return true;
}

bool cl_ActionElement::st_StripRun::Update(float dt) {
  gfx::cl_TextureStrip* strip = m_Element->m_Strip.get();
  // Nothing would ever end the run, and the panel would wait on it for good.
  if (!strip) return false;
  if (!m_Started) {
    strip->SetPosition(0.0f);
    strip->SetPlayMode(m_Loop ? gfx::cl_TextureStrip::PLAY_LOOP : gfx::cl_TextureStrip::PLAY_ONCE, strip->GetSpeed());
    strip->SetPlaying(true);
    m_Started = true;
  }
  strip->Update(dt);
  return strip->IsPlaying();
}

void cl_ActionElement::st_StripRun::Reset() {
  if (m_Element->m_Strip) m_Element->m_Strip->SetPosition(0.0f);
}

// ---- the element

cl_ActionElement::cl_ActionElement() = default;
cl_ActionElement::~cl_ActionElement() = default;

void cl_ActionElement::SetTexture(const char* label, float x, float y, float rotation) {
  m_Texture = label ? gfx::TextureExists(label) : nullptr;
  if (m_Texture && m_Texture->Load()) {
    m_Texture->SetCenterToMiddle();
    m_Width = static_cast<float>(m_Texture->GetWidth());
    m_Height = static_cast<float>(m_Texture->GetHeight());
  }
  m_X = x, m_Y = y, m_Rotation = rotation;
}

void cl_ActionElement::SetTextureRect(const char* label, float x, float y, float width, float height) {
  m_Texture = label ? gfx::TextureExists(label) : nullptr;
  m_X = x, m_Y = y, m_Width = width, m_Height = height;
  m_Stretch = true;
  m_Rotation = 0.0f;
}

void cl_ActionElement::SetImage(const char* label, float x, float y) {
  m_Image = label ? gfx::ImageExists(label) : nullptr;
  m_X = x, m_Y = y;
  if (m_Image) {
    m_Width = static_cast<float>(m_Image->GetWidth());
    m_Height = static_cast<float>(m_Image->GetHeight());
  }
}

bool cl_ActionElement::ReadStrip(cl_MinigameDataFile& file, float scale) {
  m_Strip = std::make_unique<gfx::cl_TextureStrip>();
  const bool ok = file.Record(*m_Strip);
  const float* box = m_Strip->GetBounds();
  m_X = box[0] * scale, m_Y = box[1] * scale;
  m_Width = box[2], m_Height = box[3];
  return ok;
}

void cl_ActionElement::Draw(float offsetX, float offsetY, float scale) {
  const float sx = m_X + offsetX, sy = m_Y + offsetY;
  if (m_Texture) {
    PictureStates();
    if (m_Stretch && m_Quad) {
      if (m_Width != 0.0f && m_Height != 0.0f)
        gfx::DrawTextureQuad(base::tRectf(sx, sy, sx + m_Width, sy + m_Height), m_Texture);
    } else if (m_Stretch) {
      // A band of no length has no direction to be drawn along.
      if (m_Width != 0.0f || m_Height != 0.0f) gfx::DrawTextureRect(sx, sy, sx + m_Width, sy + m_Height, m_Texture);
    } else {
      gfx::DrawTextureRotated(m_Texture, sx * scale, sy * scale, m_Rotation, scale);
    }
    return;
  }
  if (m_Image) {
    PictureStates();
    gfx::DrawImage(m_Image, sx, sy, scale);
    return;
  }
  if (m_Strip) {
    PictureStates();
    m_Strip->Draw(offsetX, offsetY, scale);
    return;
  }
  if (!m_Text.empty()) {
    cl_FontScope font(gfx::FontExists("sabotage"));
    cl_CenteredFont centred(true);
    gfx::DrawTextBoxOutlinedW(sx, sy, m_Width, m_Height, m_Text.c_str(), m_Colour, kTextOutline);
    return;
  }
  if ((m_Colour >> 24) == 0) return;  // a clear box shows nothing
  gfx::SetBlendAlpha(true);
  gfx::SetFilterLinear();
  // A box that a wipe shrinks from the right has a negative width: the same pixels either way.
  gfx::FillRect(std::min(sx, sx + m_Width), std::min(sy, sy + m_Height), std::max(sx, sx + m_Width),
                std::max(sy, sy + m_Height), m_Colour);
}

bool cl_ActionElement::HitTest(float px, float py, float scale) const {
  return m_X <= px && px <= m_X + scale * m_Width && m_Y <= py && py <= m_Y + scale * m_Height;
}

bool cl_ActionElement::Update(float dt) {
  while (!m_Animations.empty()) {
    if (m_Animations.front()->Update(dt)) break;
    m_Animations.pop_front();
  }
  return !m_Animations.empty();
}

void cl_ActionElement::StopAnimations() {
  for (const std::unique_ptr<st_Animation>& step : m_Animations) step->Reset();
  m_Animations.clear();
}

void cl_ActionElement::AddRotation(float angle, bool absolute) {
  m_Animations.push_back(std::make_unique<st_Rotation>(this, absolute ? angle : m_Rotation + angle));
}

void cl_ActionElement::AddTranslation(float dx, float dy, float duration, bool absolute) {
  m_Animations.push_back(
      std::make_unique<st_Translation>(this, absolute ? dx : m_X + dx, absolute ? dy : m_Y + dy, duration));
}

void cl_ActionElement::AddScale(float dw, float dh, float duration, bool absolute) {
  m_Animations.push_back(
      std::make_unique<st_Scale>(this, absolute ? dw : m_Width + dw, absolute ? dh : m_Height + dh, duration));
}

void cl_ActionElement::AddStripRun(bool loop) { m_Animations.push_back(std::make_unique<st_StripRun>(this, loop)); }

}  // namespace quillane
