// A token: picture loading, the animation queue, pick-up and drop, drawing and the tooltip.
#include "quillane/hud/Token.h"

#include <cmath>
#include <new>

#include "base/FileTools.h"
#include "base/Imaging.h"
#include "base/app/ICMD.h"
#include "base/data/Variant.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/screen/ScreenLayout.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kOutline = 0xFF191919u;
constexpr float kHalf = cl_Token::kSize * 0.5f;

uint8_t AlphaByte(float alpha) { return static_cast<uint8_t>(ClampFloat(alpha, 0.0f, 1.0f) * 255.0f); }

void BlendAt(float alpha) { SetBlendForAlpha(AlphaByte(alpha)); }

// A texture made from the bitmap, owned by the caller; null when the device refuses it.
gfx::cl_Texture* TextureFromBitmap(const base::cl_Bitmap32& bitmap) {
  gfx::cl_Texture* texture = new (std::nothrow) gfx::cl_Texture;
  if (texture && !texture->CreateFromBitmap(&bitmap, 0, 0)) {
    delete texture;
    return nullptr;
  }
  return texture;
}

// The token sounds on the player channel, past the sound effects.
void PlayTokenSound(const char* file, const char* name) { PlayInterfaceSample(file, name, "PLAYER", 1.0f, true); }

}  // namespace

cl_Token::cl_Token(cl_TokenBar* bar, const char* label) : m_bar(bar) {
  m_Label = label;
  m_Rect.w = m_Rect.h = kSize;
  const base::Variant* definition = hud::FindTokenDefinition(label);
  if (!definition) base::sys::Output("ERROR: %s unknown token  \n", m_Label.c_str());
  base::tString<base::BaseString> file = m_Label;
  file += ".tga";
  if (definition) definition->get_attribute_string("file", file);
  base::tString<base::BaseString> path("GUI/Tokens/");
  path += file;
  if (!base::FileExists(path)) return;
  base::cl_Bitmap32 bitmap;
  if (!base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(path.c_str(), &bitmap) || bitmap.IsEmpty()) {
    base::sys::Output("ERROR: token picture '%s' cannot be read\n", path.c_str());
    return;
  }
  m_picture = TextureFromBitmap(bitmap);
  bitmap.Saturate(0.1f);
  m_grey = TextureFromBitmap(bitmap);
}

cl_Token::~cl_Token() {
  delete m_picture;
  delete m_grey;
}

void cl_Token::UpdateRect(float, float) {
  m_AbsRect = {m_Rect.x, m_Rect.y, m_Rect.x + m_Rect.w, m_Rect.y + m_Rect.h};
}

void cl_Token::SetHome(float x, float y) {
  m_homeX = x, m_homeY = y;
  if (m_state == STATE_IDLE) m_Rect.x = x, m_Rect.y = y;
}

void cl_Token::ReturnHome() {
  m_Rect.x = m_homeX, m_Rect.y = m_homeY;
  if (m_bar && m_bar->GetCarried() == this) m_bar->SetCarried(nullptr);
}

void cl_Token::QueueAnimation(const st_TokenAnimation& animation) {
  m_state = STATE_ANIMATING;
  m_animations.push_back(animation);
}

st_TokenAnimation cl_Token::PopAnimation() {
  if (m_animations.empty()) return {};
  st_TokenAnimation front = m_animations.front();
  m_animations.pop_front();
  return front;
}

void cl_Token::Activate() {
  base::Variant event;
  event.set_element("ButtonPressed");
  event.attribute("ctrl_label")->set_string(m_Label.c_str());
  ProcessEvent(event);
}

float cl_Token::EffectiveAlpha() const { return m_alpha * (m_bar ? m_bar->GetAlpha() : 1.0f); }

bool cl_Token::AcceptsUse() const {
  return !HasFlag(base::WF_DISABLED) && m_interactive && (!m_bar || m_bar->CanInteract());
}

// ---- animation

void cl_Token::StepFront(float dt) {
  st_TokenAnimation& a = m_animations.front();
  const float step = dt * a.speed;
  m_scaleX = m_scaleY = 1.0f;
  switch (a.type) {
    case ANIM_APPEAR:
      a.progress += 3.0f * step;
      break;
    case ANIM_GLIDE_HOME: {
      // The eased share of the way still to go, so the glide needs no start point.
      const float before = SinToUnit(a.progress);
      a.progress += step;
      const float after = SinToUnit(a.progress);
      const float share = before < 1.0f ? ClampFloat((after - before) / (1.0f - before), 0.0f, 1.0f) : 1.0f;
      m_Rect.x += (m_homeX - m_Rect.x) * share;
      m_Rect.y += (m_homeY - m_Rect.y) * share;
      break;
    }
    case ANIM_SLIDE_HOME: {
      const float left = 1.0f - a.progress;
      const float share = left > step ? step / left : 1.0f;
      m_Rect.x += (m_homeX - m_Rect.x) * share;
      m_Rect.y += (m_homeY - m_Rect.y) * share;
      a.progress += step;
      break;
    }
    case ANIM_USE_GROW:
    case ANIM_USE:
      a.progress += 2.0f * step;
      // Inside a removal (more records follow) the fade is only a fade; alone it is a use.
      if (a.progress >= 1.0f && m_animations.size() == 1) {
        // A second's rest, undrawn, behind the use; the bar runs the action meanwhile.
        a.type = ANIM_WAIT;
        a.progress = 0.0f;
        if (m_bar) m_bar->SetLastUsed(this);
        m_state = STATE_USED;
      }
      break;
    case ANIM_MARK_REMOVED:
      a.type = ANIM_WAIT;
      m_state = STATE_REMOVED;
      break;
    case ANIM_SHOW:
      a.progress += step;
      m_alpha = ClampFloat(a.progress, 0.0f, 1.0f);
      break;
    case ANIM_HIDE:
      a.progress += step;
      m_alpha = ClampFloat(1.0f - a.progress, 0.0f, 1.0f);
      break;
    case ANIM_POP_IN:
      a.progress += 2.0f * step;
      break;
    default:  // pulse, sparkle, the fades at home, dissolve, wait and glow
      a.progress += step;
      break;
  }
  if (m_state == STATE_ANIMATING && a.progress > 1.0f) m_animations.pop_front();
  if (m_state == STATE_ANIMATING && m_animations.empty()) m_state = STATE_IDLE;
}

void cl_Token::Update(float dt) {
  const float mx = static_cast<float>(base::sys::MouseX()), my = static_cast<float>(base::sys::MouseY());
  const bool inside = m_Rect.x <= mx && mx < m_Rect.x + m_Rect.w && m_Rect.y <= my && my < m_Rect.y + m_Rect.h;
  if (m_state == STATE_ANIMATING) {
    if (m_animations.empty())
      m_state = STATE_IDLE;
    else
      StepFront(dt);
  }
  const bool highlight = inside && m_interactive && (!m_bar || m_bar->CanInteract());
  cl_Token* carried = m_bar ? m_bar->GetCarried() : nullptr;
  if (!carried && m_state != STATE_ANIMATING) {
    m_targetScale = highlight ? kHighlightScale : 1.0f;
    if (m_bar && highlight) m_bar->SetHovered(this);
    if (m_bar && !highlight && m_bar->GetHovered() == this) m_bar->SetHovered(nullptr);
  } else {
    m_targetScale = carried == this ? kHighlightScale : 1.0f;
  }
  m_scale = ApproachFloat(m_targetScale, m_scale, kScaleSpeed * dt);
  // The elaborate tooltip needs an unbroken rest over the token.
  m_hoverTime = inside ? m_hoverTime + dt : 0.0f;
}

// ---- input

bool cl_Token::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::KEY_PRESSED || cmd.type == 1) return false;
  const bool carriedHere = m_bar && m_bar->GetCarried() == this;
  if (carriedHere && cmd.type == base::ICMD::RIGHT_UP) {
    ReturnHome();
    m_state = STATE_IDLE;
    m_grabbedByPress = false;
    return true;
  }
  if (!AcceptsUse()) return false;
  const float mx = cmd.mouseX, my = cmd.mouseY;
  const bool on = m_Rect.x <= mx && mx < m_Rect.x + m_Rect.w && m_Rect.y <= my && my < m_Rect.y + m_Rect.h;
  if (on && cmd.type == base::ICMD::LEFT_DOWN) {
    m_pressed = true;
    // The press grabs an idle token at once: held and moved, it is dragged and the release drops
    // it; released where it was pressed, it stays carried for a second click to drop.
    if (m_bar && !m_bar->GetCarried() && m_state == STATE_IDLE) {
      PickUp(mx, my);
      m_grabbedByPress = true;
      m_pressX = mx, m_pressY = my;
    }
    return true;
  }
  if (on && cmd.type == base::ICMD::LEFT_UP) {
    m_pressed = false;
    cl_Token* carried = m_bar ? m_bar->GetCarried() : nullptr;
    if (!carried) {
      if (m_state != STATE_IDLE) return true;  // an animating token finishes first
      PickUp(mx, my);
      return true;
    }
    if (carried == this) {
      const bool click =
          m_grabbedByPress && std::fabs(mx - m_pressX) <= kDragSlack && std::fabs(my - m_pressY) <= kDragSlack;
      m_grabbedByPress = false;
      if (!click) Drop(mx, my);
      return true;
    }
    if (m_bar->IsDialogMode()) {
      Activate();  // the dialogue takes this token as its topic
      return true;
    }
    return false;
  }
  if (cmd.type == base::ICMD::LEFT_UP) m_pressed = false;
  if (carriedHere && cmd.type == base::ICMD::MOUSE_MOVE) {
    m_Rect.x = m_homeX + (mx - m_bar->GetGrabX());
    m_Rect.y = m_homeY + (my - m_bar->GetGrabY());
  }
  return false;
}

void cl_Token::PickUp(float mx, float my) {
  m_bar->SetGrabPoint(mx, my);
  m_homeX = m_Rect.x, m_homeY = m_Rect.y;
  m_state = STATE_CARRIED;
  m_bar->SetCarried(this);
  PlayTokenSound("sfx/ui/UI_pickuptoken.ogg", "pickuptoken");
}

void cl_Token::Drop(float mx, float my) {
  m_dropTarget.clear();
  if (cl_Token* target = m_bar->GetDropTargetToken()) {
    m_dropTarget = target->m_Label;
  } else {
    m_dropX = mx, m_dropY = my;
    if (InterfaceServices().GetDropTargetName)
      InterfaceServices().GetDropTargetName(mx, my, m_dropTarget);
    else
      m_bar->HitTest(mx, my, m_dropTarget);
  }
  if (!m_dropTarget.empty() && hud::CheckTokenOnTarget(m_dropTarget.c_str(), m_Label.c_str())) {
    m_bar->SetCarried(nullptr);
    QueueAnimation({ANIM_USE_GROW, 0.0f, 1.0f});
    PlayTokenSound("sfx/ui/UI_droptoken.ogg", "droptoken");
  } else {
    PlayTokenSound("sfx/ui/UI_failtoken.ogg", "failtoken");
    ReturnHome();
    m_state = STATE_IDLE;
  }
}

// ---- drawing

void cl_Token::DrawPicture(float x, float y, float scale, float alpha, bool colour) {
  gfx::cl_Texture* texture = colour ? m_picture : m_grey;
  if (!texture) texture = gfx::TextureExists("token");
  if (!texture || !(alpha > 0.0f) || !(scale > 0.0f)) return;  // the draw divides by the scale
  BlendAt(alpha);
  const float offset = scale * kHalf - kHalf;
  gfx::DrawTextureAt(texture, x - offset, y - offset, scale);
}

void cl_Token::DrawGlow(float x, float y, float scale, float alpha) {
  if (!(alpha > 0.0f) || !(scale > 0.0f)) return;
  BlendAt(alpha);
  DrawPictureAt("token_glow", x - scale * kHalf, y - scale * kHalf, scale);
}

void cl_Token::DrawCarried(bool colour) {
  UpdateRect(0, 0);
  gfx::SetFilterLinear();
  DrawPicture(m_Rect.x, m_Rect.y, m_scale, 1.0f, colour);
  gfx::SetFilterPoint();
}

void cl_Token::DrawFront() {
  const st_TokenAnimation& a = m_animations.front();
  const float p = ClampFloat(a.progress, 0.0f, 1.0f);
  const float bar = m_bar ? m_bar->GetAlpha() : 1.0f;
  const float x = m_Rect.x, y = m_Rect.y;
  switch (a.type) {
    case ANIM_APPEAR:
      DrawPicture(x, y, 1.0f, p * bar, true);
      break;
    case ANIM_PULSE:
      gfx::SetFilterLinear();
      DrawPicture(x, y, 2.0f - 2.0f * std::fabs(p - 0.5f), bar, true);
      gfx::SetFilterPoint();
      break;
    case ANIM_GLIDE_HOME:
    case ANIM_SLIDE_HOME:
      DrawPicture(x, y, 1.0f, bar, true);
      break;
    case ANIM_SPARKLE:
      DrawPicture(x, y, 1.0f, bar, true);
      if (static_cast<int>(a.progress * 5.0f) % 2 == 0) {
        BlendAt(bar);
        DrawPictureAt("token_hilite", x - kHalf, y - kHalf, 1.0f);
      }
      break;
    case ANIM_USE_GROW:
    case ANIM_USE: {
      const float scale = a.type == ANIM_USE_GROW ? p + kHighlightScale : 1.0f;
      DrawPicture(x, y, scale, (1.0f - p) * bar, true);
      DrawGlow(x, y, scale, (1.0f - p) * bar);
      break;
    }
    case ANIM_FADE_IN_HOME:
      DrawPicture(m_homeX, m_homeY, m_scaleX, p * bar, true);
      break;
    case ANIM_FADE_OUT_HOME:
      DrawPicture(m_homeX, m_homeY, m_scaleX, (1.0f - p) * bar, true);
      break;
    case ANIM_DISSOLVE:
      gfx::SetTextureTinted(nullptr, (static_cast<uint32_t>(AlphaByte((1.0f - p) * bar)) << 24) | 0xFFFFFFu);
      BlendAt((1.0f - p) * bar);
      DrawPictureAt("token_dissolve", m_homeX, m_homeY, 1.0f);
      break;
    case ANIM_SHOW:
    case ANIM_HIDE:
      DrawPicture(m_homeX, m_homeY, 1.0f, m_alpha * bar, true);
      break;
    case ANIM_GLOW:
      DrawPicture(x, y, 1.0f, bar, true);
      DrawGlow(x, y, 1.0f, p * bar);
      break;
    case ANIM_POP_IN:
      DrawPicture(x, y, p, p * bar, true);
      break;
    default:  // marking and waiting draw nothing
      break;
  }
}

void cl_Token::Render(float px, float py) {
  UpdateRect(px, py);
  if (m_state == STATE_ANIMATING || m_state == STATE_USED) {
    if (!m_animations.empty()) {
      DrawFront();
      return;
    }
    if (m_state == STATE_ANIMATING) m_state = STATE_IDLE;
  }
  if (m_state == STATE_CARRIED || m_state == STATE_REMOVED) return;  // the bar draws a carried one
  const float alpha = EffectiveAlpha();
  DrawPicture(m_Rect.x, m_Rect.y, m_scale, alpha, AcceptsUse());
  if (alpha == 1.0f && (hud::IsPlayerFree() || (hud::IsDialogActive() && !hud::HasForegroundAction())))
    DrawTooltip(m_AbsRect.left, m_AbsRect.top, m_AbsRect.right);
}

void cl_Token::DrawTooltip(float x0, float y0, float x1) {
  if (!m_tooltipOn) return;
  const float mx = static_cast<float>(base::sys::MouseX()), my = static_cast<float>(base::sys::MouseY());
  const bool mouseOver = x0 <= mx && mx < x1 && y0 <= my && my < y0 + m_Rect.h;
  if (m_picture && !mouseOver) return;
  base::tString<base::BaseUnicodeString> text;
  bool special = false;
  if (!hud::GetTooltipText(m_Label.c_str(), text, m_hoverTime, special)) {
    const base::Variant* definition = hud::FindTokenDefinition(m_Label.c_str());
    base::tString<base::BaseString> name;
    if (!definition || !definition->get_attribute_string("display_name", name) || name.empty()) return;
    base::sys::Localize(name.c_str(), text);
  }
  if (text.empty()) return;
  gfx::cl_Font* previous = gfx::GetFont();
  if (gfx::cl_Font* font = gfx::FontExists("tooltip")) gfx::SetFont(font);
  const float x = (x0 + x1) * 0.5f, y = y0 - 5.0f;
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  if (special)
    DrawTextBubble(x, y, text.c_str(), kWhite, kOutline, m_hoverTime, true);
  else
    DrawTextCentered(x, y, text.c_str(), kWhite, kOutline, true);
  if (previous) gfx::SetFont(previous);
}
