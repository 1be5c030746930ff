// The Sabotage mixing desk: valve buttons, fluid columns, tube lights, the alarm and the exit.
#include "quillane/minigames/sabotage/SabotageMixer.h"

#include <algorithm>
#include <cstdio>
#include <numbers>

#include "base/app/ICMD.h"
#include "base/system.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/minigames/sabotage/Sabotage.h"
#include "quillane/minigames/sabotage/SabotageGrid.h"
#include "quillane/screen/FontScope.h"
#include "quillane/screen/ScaledView.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

constexpr int kCritical[cl_SabotagePhase3::kColumns] = {12, 5, 10};
constexpr int kAmountLimit = 20;  // the tube shows −20 (empty) to 20 (full)
constexpr float kFullHeight = 190.0f;
constexpr int kRaiseBelow = 22;        // a positive delta is added only below this amount
constexpr float kLevelSpeed = 200.0f;  // pixels a second a column rises or falls
constexpr float kDrainTime = 1.0f;     // an unfilled column empties in this time
constexpr float kBackX = 212.0f, kBackY = 69.0f;
constexpr float kExitX = 18.0f, kExitY = 485.0f;
constexpr float kFluidFoot = 310.0f;
constexpr float kBarX[cl_SabotagePhase3::kColumns] = {260.0f, 523.0f, 780.0f};
constexpr float kCapX[cl_SabotagePhase3::kColumns] = {220.0f, 485.0f, 738.0f};
// The tube meters' middles; each meter is centred on its y.
constexpr float kMeterPlaces[cl_SabotagePhase3::kColumns][2] = {{188.0f, 158.0f}, {451.0f, 192.0f}, {705.0f, 168.0f}};
constexpr const char* kFluids[cl_SabotagePhase3::kColumns] = {"phase3_fluid1", "phase3_fluid2", "phase3_fluid3"};
constexpr const char* kCaps[cl_SabotagePhase3::kColumns] = {"phase3_fluid_cap1", "phase3_fluid_cap2",
                                                            "phase3_fluid_cap3"};
constexpr const char* kLever = "sfx/MG_Sabotage_valvelever.ogg";
constexpr const char* kWheel = "sfx/MG_Sabotage_valvewheel.ogg";

// ORDER BUTTONS: the valve buttons 1 to 8. The two that act on all columns lie left of the
// panel, over the neighbouring quarter.
struct st_ButtonPlace {
  int column;
  int delta;
  const char* texture;
  const char* sound;
  float x, y;
};
constexpr st_ButtonPlace kButtonPlaces[cl_SabotagePhase3::kButtons] = {
    {0, -2, "phase3_button2", kLever, 120.0f, 443.0f},
    {0, -5, "phase3_button1", kWheel, 281.0f, 444.0f},
    {1, -2, "phase3_button2", kLever, 386.0f, 443.0f},
    {1, -5, "phase3_button1", kWheel, 535.0f, 444.0f},
    {2, -2, "phase3_button2", kLever, 645.0f, 443.0f},
    {2, -5, "phase3_button1", kWheel, 792.0f, 444.0f},
    {cl_SabotagePhase3::kAllColumns, 7, "phase3_button3", kWheel, -96.0f, 205.0f},
    {cl_SabotagePhase3::kAllColumns, 0, "phase3_button2", kLever, -30.0f, 120.0f},
};

}  // namespace

cl_SabotagePhase3::cl_SabotagePhase3() = default;

int cl_SabotagePhase3::CriticalAmount(int column) { return column >= 0 && column < kColumns ? kCritical[column] : 0; }

float cl_SabotagePhase3::ColumnHeight(int amount) const {
  const int n = std::clamp(amount, -kAmountLimit, kAmountLimit);
  return static_cast<float>((n + kAmountLimit) * static_cast<int>(kFullHeight) / (2 * kAmountLimit)) * m_PanelScale;
}

bool cl_SabotagePhase3::Layout(float scale, cl_Sabotage* game) {
  if (m_LaidOut) return true;
  m_LaidOut = true;
  m_PanelScale = scale;
  m_Game = game;
  for (int b = 0; b < kButtons; ++b) {
    const st_ButtonPlace& place = kButtonPlaces[b];
    st_ValveButton& button = m_Buttons[b];
    button.m_Column = place.column;
    button.m_Delta = place.delta;
    button.m_Sound = place.sound;
    button.m_ButtonElement.SetTexture(place.texture, place.x * scale, place.y * scale, 0.0f);
  }
  for (int c = 0; c < kColumns; ++c) {
    m_Columns[c].m_Bar.SetTextureRect(kFluids[c], kBarX[c] * scale, kFluidFoot * scale, 0.0f, 0.0f);
    m_Columns[c].m_Cap.SetImage(kCaps[c], kCapX[c] * scale, kFluidFoot * scale);
  }
  m_ExitSign.SetImage("phase3_exit", kExitX * scale, kExitY * scale);
  for (int c = 0; c < kColumns; ++c) {
    cl_ActionElement& meter = m_TubeMeters[c];
    meter.SetImage("phase3_tubemeter", 0.0f, 0.0f);
    if (!meter.m_Image) continue;
    meter.m_X = kMeterPlaces[c][0] * scale;
    meter.m_Y = (kMeterPlaces[c][1] - meter.m_Height / 2.0f) * scale;
  }
  return true;
}

void cl_SabotagePhase3::SetLevel(int c) {
  const float h = ColumnHeight(m_Columns[c].m_Amount);
  m_Columns[c].m_Bar.AddScale(0.0f, -h, h / kLevelSpeed, true);
  char name[32];
  std::snprintf(name, sizeof(name), "FluidScale%d", c);
  PlayGameSound("sfx/MG_Sabotage_gasfill.ogg", name, 1.0f);
}

void cl_SabotagePhase3::SetFilled(int c, bool filled) {
  if (c < 0 || c >= kColumns || m_Filled[c] == filled) return;
  m_Filled[c] = filled;
  if (filled)
    SetLevel(c);
  else
    m_Columns[c].m_Bar.AddScale(0.0f, 0.0f, kDrainTime, true);
}

bool cl_SabotagePhase3::IsMixtureRight() const {
  for (int c = 0; c < kColumns; ++c)
    if (m_Columns[c].m_Amount != kCritical[c] || !m_Filled[c]) return false;
  return true;
}

bool cl_SabotagePhase3::IsAnimating() const {
  if (m_Animating || m_ExitSign.IsAnimating()) return true;
  for (const st_ValveButton& button : m_Buttons)
    if (button.m_ButtonElement.IsAnimating()) return true;
  for (const st_Column& column : m_Columns)
    if (column.m_Bar.IsAnimating()) return true;
  return false;
}

// ---- play

void cl_SabotagePhase3::Update(float dt) {
  m_Animating = false;
  for (st_ValveButton& button : m_Buttons) m_Animating = button.m_ButtonElement.Update(dt) || m_Animating;
  for (st_Column& column : m_Columns) {
    m_Animating = column.m_Bar.Update(dt) || m_Animating;
    column.m_Cap.m_Y = column.m_Bar.m_Y + column.m_Bar.m_Height - column.m_Cap.m_Height / 2.0f;
  }
  m_Animating = m_ExitSign.Update(dt) || m_Animating;
  for (cl_ActionElement& light : m_TubeLights) light.Update(dt);

  for (int c = 0; c < kColumns; ++c) {
    cl_ActionElement& light = m_TubeLights[c];
    if (m_Columns[c].m_Amount == kCritical[c] && m_Filled[c] && !m_Animating) {
      if (!light.IsAnimating()) light.AddStripRun(true);
    } else {
      light.StopAnimations();
    }
  }
  if (m_Alarm) {
    m_AlarmTime += dt;
    if (m_AlarmTime > kAlarmTime) m_Ended = true;
  }
  if (m_Alarm || m_Animating || !IsMixtureRight()) return;
  m_Alarm = true;
  m_AlarmTime = 0.0f;
  if (m_Game) {
    m_Game->SetResult(true);
    if (cl_SabotagePhase2* grid = m_Game->GetGrid())
      for (int i = 1; i < cl_SabotagePhase2::kPipes; ++i) grid->GetLight(i).AddStripRun(true);
  }
  PlayGameSound("sfx/MG_Sabotage_alarm.ogg", "AlertSiren", 1.0f);
}

bool cl_SabotagePhase3::HandleInput(const base::ICMD& cmd, float originX, float originY, float scale) {
  const float x = static_cast<float>(cmd.mouseX) - originX, y = static_cast<float>(cmd.mouseY) - originY;
  const bool onExit = m_ExitSign.HitTest(x, y, scale);
  st_ValveButton* pressed = nullptr;
  for (st_ValveButton& button : m_Buttons)
    if (!pressed && button.m_ButtonElement.HitTest(x, y, scale)) pressed = &button;
  m_Hover = onExit || pressed;
  if (m_Animating || IsMixtureRight()) return false;
  if (cmd.type == base::ICMD::KEY_RELEASED && cmd.key == 'N' && Debug_KeysEnabled) {
    for (int c = 0; c < kColumns; ++c) {
      m_Columns[c].m_Amount = kCritical[c];
      m_Filled[c] = true;
      SetLevel(c);
    }
    return true;
  }
  if (cmd.type != base::ICMD::LEFT_UP) return true;
  if (onExit) {
    if (m_Game) m_Game->SetExit();
    return true;
  }
  if (!pressed) return true;
  const float quarter = std::numbers::pi_v<float> / 2.0f;
  for (int c = 0; c < kColumns; ++c) {
    if (pressed->m_Column != kAllColumns && pressed->m_Column != c) continue;
    pressed->m_ButtonElement.AddRotation(pressed->m_Column == kAllColumns ? quarter : -quarter, false);
    char name[48];
    std::snprintf(name, sizeof(name), "ButtonRotate%d%d", pressed->m_Column, pressed->m_Delta);
    PlayGameSound(pressed->m_Sound.c_str(), name, 1.0f);
    int& amount = m_Columns[c].m_Amount;
    if (pressed->m_Delta == 0)
      amount = 0;
    else if (pressed->m_Delta > 0 && amount < kRaiseBelow)
      amount += pressed->m_Delta;
    else if (pressed->m_Delta < 0 && amount > -kRaiseBelow)
      amount += pressed->m_Delta;
    if (m_Filled[c]) SetLevel(c);
  }
  return true;
}

void cl_SabotagePhase3::Draw(float originX, float originY, float scale) {
  gfx::SetBlendAlpha(true);
  gfx::SetFilterLinear();
  cl_Sabotage::DrawLabelImage("phase3_bg_back", originX + kBackX * scale, originY + kBackY * scale, scale);
  for (st_Column& column : m_Columns) {
    column.m_Bar.Draw(originX, originY, scale);
    column.m_Cap.Draw(originX, originY, scale);
  }
  gfx::SetBlendAlpha(true);
  cl_Sabotage::DrawLabelImage("phase3_bg", originX, originY, scale);
  for (cl_ActionElement& meter : m_TubeMeters) meter.Draw(originX, originY, scale);
  m_ExitSign.Draw(originX, originY, scale);
  const base::tVector2<float> mouse = cl_ScaledView::Mouse();  // in the panel's pixels
  if (m_ExitSign.m_Image && m_ExitSign.HitTest(mouse.x - originX, mouse.y - originY, scale)) {
    base::tString<base::BaseUnicodeString> text;
    base::sys::Localize("#gui_x0_324 Exit", text);
    cl_FontScope font(gfx::FontExists("tooltip"));
    DrawTextCentered(originX + m_ExitSign.m_X + m_ExitSign.m_Width / 2.0f, originY + m_ExitSign.m_Y, text.c_str(),
                     0xFFFFFFFFu, 0xFF191919u, false);
  }
  for (cl_ActionElement& light : m_TubeLights) light.Draw(originX, originY, scale);
  for (st_ValveButton& button : m_Buttons) button.m_ButtonElement.Draw(originX, originY, scale);
}

}  // namespace quillane
