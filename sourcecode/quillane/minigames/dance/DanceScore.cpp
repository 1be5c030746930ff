// The dance's notes, touches and score: a note's flight through its goal, the points a touch is
// worth, the floating score texts, the dancer's steadiness, and the result with its payout.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/minigames/dance/DanceMinigame.h"
#include "quillane/screen/FontScope.h"
#include "sound/Sfx.h"

namespace quillane {

namespace {

constexpr float kZone = 80.0f;        // goal distance that counts as 1 (pixels)
constexpr float kFlightEnd = 600.0f;  // a touched note is gone this far from its aim
constexpr float kPushFloor = 200.0f;  // a weaker push flies the note straight up or down
constexpr float kPopupRise = 10.0f;   // pixels per second
constexpr float kStumbleWithDancer = 3.0f;
constexpr float kStumbleAlone = 2.0f;
constexpr int kMissPoints = -10;
constexpr float kHitSoundPoints = 7.0f;

float Length(const base::tVector2<float>& v) { return std::sqrt(v.x * v.x + v.y * v.y); }

uint8_t Byte(float value) { return static_cast<uint8_t>(std::clamp(value, 0.0f, 255.0f)); }

}  // namespace

int cl_DanceMinigame::s_Score = 0;
int cl_DanceMinigame::s_Needed = 0;
std::list<st_ScorePopup> cl_DanceMinigame::s_ScorePopups;

void cl_DanceMinigame::ResetScore() {
  s_Score = 0;
  s_Needed = 0;
  s_ScorePopups.clear();
}

// ---- notes

base::tVector2<float> st_DanceNote::GoalCentre() const {
  return {(m_Goal[0] + m_Goal[2]) * 0.5f, (m_Goal[1] + m_Goal[3]) * 0.5f};
}

void st_DanceNote::Update(float step) {
  if (m_State == Touched) {
    m_Velocity += m_Push * step;
    m_Position += m_Velocity * step;
    if (Length(m_Position - m_Aim) > kFlightEnd) m_State = Done;
    return;
  }
  if (m_State == Missed) {
    m_Linger -= step;
    if (m_Linger <= 0.0f) {
      m_State = Done;
      if (m_Owner) {
        m_Owner->AddScore(static_cast<float>(kMissPoints), m_Position.x, m_Position.y);
        m_Owner->RequestStumble();
      }
      return;
    }
  }
  // Towards the aim; a step past it would turn the note round, so it stops there instead.
  const base::tVector2<float> toAim = m_Aim - m_Position;
  const float distance = Length(toAim);
  const float move = m_Speed * step;
  if (distance <= move)
    m_Position = m_Aim;
  else
    m_Position += toAim * (move / distance);

  const float d = Length(m_Position - GoalCentre()) / kZone;
  if (m_State == Approaching && d < 0.5f) m_State = InGoal;
  if (m_State == InGoal) {
    m_Accuracy = std::clamp(1.0f - d, 0.0f, 1.0f);
    if (d >= 1.5f) m_State = Missed;
  }
}

bool st_DanceNote::Contains(float x, float y) const {
  if (!m_Image) return false;
  const float hw = static_cast<float>(m_Image->GetWidth()) * 0.5f;
  const float hh = static_cast<float>(m_Image->GetHeight()) * 0.5f;
  return m_Position.x - hw <= x && x < m_Position.x + hw && m_Position.y - hh <= y && y < m_Position.y + hh;
}

void st_DanceNote::Hit(float mouseX, float mouseY) {
  float points = m_Accuracy * 20.0f - 10.0f;
  if (points > 0.0f) points += 1.0f;
  if (points >= kHitSoundPoints) PlayGameSound("sfx/MG_Dance_hit.ogg", "DanceHit", 0.25f);
  if (m_Owner) m_Owner->AddScore(points, m_Position.x, m_Position.y);
  m_State = Touched;
  const base::tVector2<float> toAim = m_Aim - m_Position;
  const float distance = Length(toAim);
  m_Velocity = distance > 0.0f ? toAim * (m_Speed / distance) : base::tVector2<float>();
  m_Push = (base::tVector2<float>(mouseX, mouseY) - m_Position) * -100.0f;
  if (Length(m_Push) < kPushFloor) m_Push = {0.0f, m_Accuracy >= 0.5f ? -1000.0f : 1000.0f};
  if (points < 1.0f && m_Owner) m_Owner->RequestStumble();
}

void st_DanceNote::Render() {
  // Touching needs no button: the pointer over a note in flight takes it.
  const float mx = static_cast<float>(base::sys::MouseX()), my = static_cast<float>(base::sys::MouseY());
  if ((m_State == Approaching || m_State == InGoal) && Contains(mx, my)) Hit(mx, my);
  if (!m_Image) return;
  const uint8_t alpha = m_State == Missed ? Byte(m_Linger * 255.0f) : 255;
  const uint32_t grey = std::max<uint32_t>(128u, static_cast<uint32_t>(Byte(m_Accuracy * 255.0f)));
  gfx::SetBlendAlphaTextureColor(alpha, true);
  gfx::SetBlendTextureFactor2X(uint32_t(alpha) << 24 | grey << 16 | grey << 8 | grey);
  gfx::DrawImage(m_Image, m_Position.x - m_Image->GetWidth() * 0.5f, m_Position.y - m_Image->GetHeight() * 0.5f, 1.0f);
  const float halfWidth = (m_Goal[2] - m_Goal[0]) * 0.5f;
  const base::tVector2<float> goal = GoalCentre();
  const float distance = Length(m_Position - goal);
  if (!m_Glow || !(distance < halfWidth)) return;
  gfx::SetBlendAlphaTextureColor(Byte(255.0f - distance / halfWidth * 255.0f), true);
  gfx::DrawImage(m_Glow, m_Position.x - m_Glow->GetWidth() * 0.5f, m_Position.y - m_Glow->GetHeight() * 0.5f, 1.0f);
}

// ---- score

void st_ScorePopup::Update(float dt) {
  m_Life -= dt;
  m_Position += m_Velocity * dt;
}

void cl_DanceMinigame::AddScore(float points, float x, float y) {
  st_ScorePopup popup;
  popup.m_Points = static_cast<int>(points);
  popup.m_Position = {x, y};
  popup.m_Velocity = {0.0f, points >= 0.0f ? -kPopupRise : kPopupRise};
  s_ScorePopups.push_back(popup);
  s_Score = std::max(0, static_cast<int>(static_cast<float>(s_Score) + points));
}

int cl_DanceMinigame::MaxScore() const { return std::max(1, m_TotalMoves * 10); }

bool cl_DanceMinigame::Tier(int& margin, int& third) const {
  third = (MaxScore() - s_Needed) / 3;
  margin = s_Score - s_Needed;
  return margin >= 0;
}

void cl_DanceMinigame::DrawScorePopup(const st_ScorePopup& popup) {
  char text[32];
  std::snprintf(text, sizeof(text), "%s%d", popup.m_Points > 0 ? "+" : "", popup.m_Points);
  const uint32_t alpha = static_cast<uint32_t>(static_cast<int>(popup.m_Life * 120.0f)) & 0xFFu;
  cl_FontScope font(gfx::FontExists("dance_score"));
  gfx::DrawTextOutlined(static_cast<int>(popup.m_Position.x), static_cast<int>(popup.m_Position.y), text,
                        alpha << 24 | 0xE4C876u, alpha << 24);
}

float cl_DanceMinigame::UpdateWeight() {
  if (m_DemoMode) return 1.0f;
  if (m_WeightMode == 1) {
    const float dx = static_cast<float>(base::sys::MouseX()) - m_CenterX;
    const float dy = static_cast<float>(base::sys::MouseY()) - m_CenterY;
    const float half = static_cast<float>(base::sys::GetWindowWidth()) * 0.5f;
    return std::clamp(1.0f - std::sqrt(dx * dx + dy * dy) / half, 0.0f, 1.0f);
  }
  if (m_Stumble) {
    m_Stumble = false;
    m_StumbleUntil = m_Time + (GetDancer() ? kStumbleWithDancer : kStumbleAlone);
    m_TargetWeight = 0.0f;
  } else {
    m_TargetWeight = m_StumbleUntil < m_Time ? 1.0f : 0.0f;
  }
  return m_Weight;
}

// ---- result

void cl_DanceMinigame::DecideResult() {
  m_Notes.clear();
  s_ScorePopups.clear();
  const bool won = s_Score >= s_Needed;
  m_State = won ? Won : Lost;
  SetResult(won);
}

void cl_DanceMinigame::FinishDance() {
  if (m_SongFinished) return;
  if (m_DemoMode) s_Score = MaxScore();
  // A score just at "needed" wins, but only a better one makes the audience cheer.
  const bool cheer = s_Score > s_Needed;
  m_SongFinished = true;
  PlayGameSound(cheer ? "sfx/MG_Dance_won.ogg" : "sfx/MG_Dance_lost.ogg", "DanceEnd", 1.0f, "DANCE_APPLAUD");
  sfx::FadeChannelVolume("DANCE_APPLAUD", 1.0f, 4.0f);
  int margin = 0, third = 0;
  Tier(margin, third);
  AudienceReactsToEnd(cheer, margin > 2 * third);
}

void cl_DanceMinigame::Grade() {
  int margin = 0, third = 0;
  const char* trigger = "Loose";
  if (Tier(margin, third)) trigger = margin <= third ? "Win" : margin <= 2 * third ? "WinGood" : "WinVeryGood";
  TriggerTutorial("", trigger, false);
}

}  // namespace quillane
