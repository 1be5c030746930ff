// The Sabotage game: start and end, the scroll over the four quarters, the skip question, input
// to the phases, the cursor and the drawing.
#include "quillane/minigames/sabotage/Sabotage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/gui/Messagebox.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/sabotage/SabotageGrid.h"
#include "quillane/minigames/sabotage/SabotageMixer.h"
#include "quillane/minigames/sabotage/SabotagePumps.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

constexpr const char* kMissionPrefix = "Missions/Minigames/Sabotage";
constexpr const char* kSkipQuestion = "#sabota0_02 Do you really want to skip the minigame?";
constexpr const char* kSkipAnswer = "MB_SkipMinigame";

}  // namespace

cl_Sabotage::cl_Sabotage()
    : m_Phase1(std::make_unique<cl_SabotagePhase1>()),
      m_Phase2(std::make_unique<cl_SabotagePhase2>()),
      m_Phase3(std::make_unique<cl_SabotagePhase3>()) {
  m_Label = "SabotageGame";
  m_Tutorials.emplace_back(
      "#sabota0_01 So this is the master control panel of the poison-gas plant. First I start the pumps for the "
      "three basic elements, then I connect them to the main boiler, and then I set the critical mixture ratio. "
      "And then I get to safety in time!",
      static_cast<float>(base::sys::GetWindowWidth()) * 0.5f, static_cast<float>(base::sys::GetWindowHeight()) * 0.5f,
      400, 4, "Start", 10.0f);
}

cl_Sabotage::~cl_Sabotage() { CloseSkipBox(); }

i_Minigame* cl_Sabotage::Create() { return new cl_Sabotage(); }

// ---- start and end

bool cl_Sabotage::Init(base::Variant*, bool) {
  m_DrawScale = 1.0f;
  FitView();
  cl_MinigameDataFile file;
  if (!file.OpenRead(m_DataFile.c_str()) || !ArchiveDataFile(file)) {
    base::sys::Output("Sabotage Minigame Error! Cannot read Textures!\n");
    return false;
  }
  CheckLabels();
  if (gfx::cl_Image* corner = gfx::ImageExists("nophase_bg")) {
    m_QuarterWidth = static_cast<float>(corner->GetWidth()) * m_DrawScale;
    m_QuarterHeight = static_cast<float>(corner->GetHeight()) * m_DrawScale;
  }
  // The first view: the pump panel, a little way in from its left edge.
  m_ScrollX = m_ScrollY = m_ScrollMargin = 0.0f;
  ScrollBy(kFirstScrollX, 0.0f);
  ScrollBy(0.0f, m_QuarterHeight + m_ScrollMargin);
  m_TargetX = m_ScrollX, m_TargetY = m_ScrollY;
  // The pointer rests where it was when the game began: without a move its edge scroll and the
  // mixer's wheel must not take it for the corner.
  base::ICMD pointer;
  pointer.mouseX = static_cast<uint16_t>(std::max(0, base::sys::MouseX()));
  pointer.mouseY = static_cast<uint16_t>(std::max(0, base::sys::MouseY()));
  m_View.ToLayout(pointer);
  m_MouseX = static_cast<float>(pointer.mouseX);
  m_MouseY = static_cast<float>(pointer.mouseY);
  if (!m_Phase1) m_Phase1 = std::make_unique<cl_SabotagePhase1>();
  if (!m_Phase2) m_Phase2 = std::make_unique<cl_SabotagePhase2>();
  if (!m_Phase3) m_Phase3 = std::make_unique<cl_SabotagePhase3>();
  m_Phase1->Layout(m_DrawScale, m_Phase2.get(), this);
  base::Variant grid;
  grid.set_element("WireTap");
  grid.attribute("Filename")->set_string("grid.xml");
  if (!m_Phase2->Layout(&grid, m_DrawScale, this, m_Phase3.get())) return false;
  // The grid's clock bonus is this game's: paid into the mission only when the game has one.
  m_Phase2->SetMissionPath(GetMissionPath().c_str());
  m_Phase3->Layout(m_DrawScale, this);
  ResetPanicTimer(static_cast<float>(Sabotage_Panic_Timeout));
  TriggerTutorial(kMissionPrefix, "Start", true);
  CloseSkipBox();
  return true;
}

void cl_Sabotage::End() {
  m_Exit = false;
  m_Finished = false;
  CloseSkipBox();
}

bool cl_Sabotage::IsFinished() { return m_Finished || m_Exit || (m_Phase3 && m_Phase3->IsEnded()); }

// ---- the skip question

void cl_Sabotage::CloseSkipBox() {
  cl_Messagebox* box = m_SkipBox;
  base::cl_GUI* gui = m_SkipGUI;
  m_SkipBox = nullptr;
  m_SkipGUI = nullptr;
  // Only a box its GUI still shows is touched: an answered one has already gone.
  if (!box || !gui) return;
  const auto& modal = gui->GetModalWindows();
  if (std::find(modal.begin(), modal.end(), box) != modal.end()) box->Withdraw();
}

bool cl_Sabotage::ProcessEvent(const base::Variant& event) {
  const char* label = event.get_label();
  if (!label || base::String(label) != kSkipAnswer) return false;
  base::tString<base::BaseString> pressed;
  event.get_attribute_string("ctrl_label", pressed);
  if (pressed == "Ok") {
    SetResult(true);
    m_Finished = true;
  }
  m_SkipBox = nullptr;
  m_SkipGUI = nullptr;
  return true;
}

bool cl_Sabotage::OverSkipButton(float x, float y) const {
  return m_SkipVisible && m_PanicStrip &&
         m_PanicStrip->IsInside(x - (m_QuarterWidth - m_ScrollX), y - (m_QuarterHeight - m_ScrollY), m_DrawScale);
}

// ---- the window the panel plays in

void cl_Sabotage::FitView() {
  // The scale that fits the layout's width into the game viewport, never above 1: the panel's
  // window is the real one divided by it, and it is drawn into the real one at that scale.
  const float scale = std::min(1.0f, GetGuiScale());
  if (!(scale > 0.0f)) return;  // no window yet
  m_View.Fit(base::tRectf(0.0f, 0.0f, static_cast<float>(base::sys::GetWindowWidth()) / scale,
                          static_cast<float>(base::sys::GetWindowHeight()) / scale));
}

float cl_Sabotage::GetPanelWindowWidth() const {
  return static_cast<float>(base::sys::GetWindowWidth()) / m_View.GetScale();
}

float cl_Sabotage::GetPanelWindowHeight() const {
  return static_cast<float>(base::sys::GetWindowHeight()) / m_View.GetScale();
}

base::tRectf cl_Sabotage::GetPanelViewport() const {
  const base::tRectf view = GetGameViewportRect();
  const float s = m_View.GetScale();
  return base::tRectf(view.min.x / s, view.min.y / s, view.max.x / s, view.max.y / s);
}

bool cl_Sabotage::PanelPointOnWindow(float& x, float& y) const {
  const base::tVector2<float> shown = m_View.ToWindow(x, y);
  x = shown.x, y = shown.y;
  return IsOnWindow(x, y);
}

// ---- scrolling

void cl_Sabotage::GetScrollLimits(float limits[4]) const {
  const base::tRectf view = GetPanelViewport();
  const float l = view.min.x, t = view.min.y, r = view.max.x, b = view.max.y;
  limits[0] = m_ScrollMargin;
  limits[1] = 2.0f * m_QuarterWidth - (r - l) - 2.0f * l;
  limits[2] = -t - m_ScrollMargin;
  limits[3] = 2.0f * m_QuarterHeight - (b - t) - t;
}

void cl_Sabotage::SetScroll(float x, float y) {
  float limits[4];
  GetScrollLimits(limits);
  auto clamp = [](float v, float lower, float upper) { return v < lower ? lower : v > upper ? upper : v; };
  m_ScrollX = clamp(x, limits[0], limits[1]);
  m_ScrollY = clamp(y, limits[2], limits[3]);
}

void cl_Sabotage::ScrollBy(float dx, float dy) { SetScroll(m_ScrollX + dx, m_ScrollY + dy); }

void cl_Sabotage::ScrollTo(en_View view) {
  m_TargetX = 2.0f * m_QuarterWidth;
  m_TargetY = view == VIEW_GRID ? 2.0f * m_QuarterHeight : 0.0f;
}

void cl_Sabotage::Update(float dt) {
  if (!(dt >= 0.0f) || !std::isfinite(dt)) dt = 0.0f;  // a damaged clock must not throw the view away
  i_Minigame::Update(dt);
  if (UpdateTutorial(dt)) return;
  const float step = kScrollSpeed * dt;
  if (m_ScrollX == m_TargetX && m_ScrollY == m_TargetY) {
    const float width = GetPanelWindowWidth(), height = GetPanelWindowHeight();
    if (width - m_MouseX < kEdge) ScrollBy(step, 0.0f);
    if (m_MouseX < kEdge) ScrollBy(-step, 0.0f);
    if (height - m_MouseY < kEdge) ScrollBy(0.0f, step);
    if (m_MouseY < kEdge) ScrollBy(0.0f, -step);
    m_TargetX = m_ScrollX, m_TargetY = m_ScrollY;
  } else {
    // Each axis moves by at most what is left of its way, so a target inside the limits is met
    // exactly instead of being passed to and fro; the scroll ends there or where a limit holds it.
    const float beforeX = m_ScrollX, beforeY = m_ScrollY;
    auto approach = [step](float value, float target) {
      return std::fabs(target - value) <= step ? target : value + (target > value ? step : -step);
    };
    SetScroll(approach(m_ScrollX, m_TargetX), approach(m_ScrollY, m_TargetY));
    if (step > 0.0f && m_ScrollX == beforeX && m_ScrollY == beforeY) m_TargetX = m_ScrollX, m_TargetY = m_ScrollY;
  }
  m_Phase1->Update(dt);
  m_Phase2->Update(dt);
  m_Phase3->Update(dt);
  const bool usable = m_Phase1->IsHovering() || m_Phase2->IsHovering() || m_Phase3->IsHovering() ||
                      (OverSkipButton(m_MouseX, m_MouseY) && !m_Finished);
  SetGameCursor(usable ? "cursor_manipulate" : "gamecursor");
}

// ---- input

bool cl_Sabotage::HandleInput(base::ICMD& input) {
  base::ICMD cmd = input;  // the mouse in the panel's pixels
  m_View.ToLayout(cmd);
  m_MouseX = static_cast<float>(cmd.mouseX);
  m_MouseY = static_cast<float>(cmd.mouseY);
  if (HandleTutorialInput(cmd)) return true;
  // The question is a window of the GUI, in the window's own pixels.
  if (m_SkipBox) return m_SkipGUI ? m_SkipGUI->ProcessInput(input) : true;
  if (cmd.type == base::ICMD::KEY_PRESSED && cmd.key == base::key::Escape) m_Exit = true;
  if (cmd.type == base::ICMD::LEFT_UP && OverSkipButton(m_MouseX, m_MouseY) && !m_Finished) {
    m_SkipBox = cl_Messagebox::Show("MB_YESNO", kSkipQuestion, kSkipAnswer, nullptr, GetGUI(), this);
    m_SkipGUI = m_SkipBox ? m_SkipBox->GetGUI() : nullptr;
    return true;
  }
  const float w = m_QuarterWidth, h = m_QuarterHeight, sx = m_ScrollX, sy = m_ScrollY;
  if (!m_Phase1->HandleInput(cmd, -sx, h - sy, m_DrawScale) && !m_Phase2->HandleInput(cmd, w - sx, h - sy))
    m_Phase3->HandleInput(cmd, w - sx, -sy, m_DrawScale);
  return true;
}

// ---- drawing

void cl_Sabotage::DrawViewportMask() const {
  const base::tRectf view = GetPanelViewport();
  const float width = GetPanelWindowWidth(), height = GetPanelWindowHeight();
  constexpr uint32_t kBlack = 0xFF000000u;
  gfx::FillRect(0.0f, 0.0f, width, view.min.y, kBlack);
  gfx::FillRect(0.0f, view.max.y, width, height, kBlack);
  gfx::FillRect(0.0f, view.min.y, view.min.x, view.max.y, kBlack);
  gfx::FillRect(view.max.x, view.min.y, width, view.max.y, kBlack);
}

bool cl_Sabotage::IsQuarterInView(float x, float y, float reachLeft) const {
  const base::tRectf view = GetPanelViewport();
  return x - reachLeft < view.max.x && x + m_QuarterWidth > view.min.x && y < view.max.y &&
         y + m_QuarterHeight > view.min.y;
}

void cl_Sabotage::Render(float, float) {
  FitView();
  const bool scaled = m_View.Begin();
  const float w = m_QuarterWidth, h = m_QuarterHeight, sx = m_ScrollX, sy = m_ScrollY;
  // The texture's own colours: the frame before ended on flat fills (the viewport mask, the
  // tutorial's box), whose colour stage would paint the corner black.
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  gfx::SetFilterLinear();
  // Quarters the view does not show are passed over: their big pictures cost fill for nothing.
  // The mixer's valves for all columns lie left of its quarter, over the empty corner.
  constexpr float kValveReach = 128.0f;
  if (IsQuarterInView(-sx, -sy, 0.0f)) DrawLabelImage("nophase_bg", -sx, -sy, m_DrawScale);
  if (IsQuarterInView(-sx, h - sy, 0.0f)) m_Phase1->Draw(-sx, h - sy, m_DrawScale);
  if (IsQuarterInView(w - sx, h - sy, 0.0f)) m_Phase2->Draw(w - sx, h - sy, m_DrawScale);
  if (IsQuarterInView(w - sx, -sy, kValveReach)) m_Phase3->Draw(w - sx, -sy, m_DrawScale);
  DrawSkipButton(w - sx, h - sy, m_DrawScale);
  DrawViewportMask();
  if (scaled) m_View.End(base::tRectf(0.0f, 0.0f, GetPanelWindowWidth(), GetPanelWindowHeight()), 0.0f);
  DrawTutorial();  // in the window's own pixels, at the size of every game's help
}

// ---- play targets

bool cl_Sabotage::ElementPoint(const cl_ActionElement& element, float originX, float originY, float& x,
                               float& y) const {
  x = originX + element.m_X + element.m_Width * m_DrawScale * 0.5f;
  y = originY + element.m_Y + element.m_Height * m_DrawScale * 0.5f;
  return PanelPointOnWindow(x, y);
}

bool cl_Sabotage::GetSkipButtonCentre(float& x, float& y) const {
  return i_Minigame::GetSkipButtonCentre(x, y) && PanelPointOnWindow(x, y);
}

bool cl_Sabotage::GetPlayTarget(const char* name, float& x, float& y) {
  if (!name) return false;
  const std::string_view what(name);
  const float w = m_QuarterWidth, h = m_QuarterHeight, sx = m_ScrollX, sy = m_ScrollY;
  int a = 0, b = 0;
  char rest = 0;
  if (std::sscanf(name, "knob %d%c", &a, &rest) == 1 && a >= 1 && a <= 3)
    return ElementPoint(m_Phase1->GetKnob(a - 1), -sx, h - sy, x, y);
  if (what == "reset") return ElementPoint(m_Phase1->GetResetButton(), -sx, h - sy, x, y);
  if (std::sscanf(name, "cell %d %d%c", &a, &b, &rest) == 2) {
    if (!m_Phase2->CellMiddle(a, b, x, y)) return false;
    x += w - sx, y += h - sy;
    return PanelPointOnWindow(x, y);
  }
  if (std::sscanf(name, "tank %d%c", &a, &rest) == 1) {
    if (!m_Phase2->TankMiddle(a - 1, x, y)) return false;
    x += w - sx, y += h - sy;
    return PanelPointOnWindow(x, y);
  }
  if (std::sscanf(name, "valve %d%c", &a, &rest) == 1 && a >= 1 && a <= cl_SabotagePhase3::kButtons)
    return ElementPoint(m_Phase3->GetButton(a - 1).m_ButtonElement, w - sx, -sy, x, y);
  if (what == "exit") return ElementPoint(m_Phase3->GetExitSign(), w - sx, -sy, x, y);
  // Inside the band at each window edge that scrolls the view.
  const float width = GetPanelWindowWidth(), height = GetPanelWindowHeight();
  const float inset = kEdge * 0.5f;
  const struct {
    const char* name;
    float x, y;
  } edges[] = {{"edge left", inset, height * 0.5f},
               {"edge right", width - inset, height * 0.5f},
               {"edge up", width * 0.5f, inset},
               {"edge down", width * 0.5f, height - inset}};
  for (const auto& edge : edges)
    if (what == edge.name) return x = edge.x, y = edge.y, PanelPointOnWindow(x, y);
  return i_Minigame::GetPlayTarget(name, x, y);
}

bool cl_Sabotage::IsPlayCondition(const char* name) {
  if (!name) return false;
  const std::string_view what(name);
  if (what == "idle")
    return i_Minigame::IsPlayCondition(name) && !m_SkipBox && m_ScrollX == m_TargetX && m_ScrollY == m_TargetY &&
           !m_Phase1->IsAnimating() && !m_Phase2->IsAnimating() && !m_Phase2->IsTurning() && !m_Phase3->IsAnimating();
  // The quarter that holds the middle of the game viewport.
  const base::tRectf view = GetPanelViewport();
  const bool right = (view.min.x + view.max.x) * 0.5f + m_ScrollX >= m_QuarterWidth;
  const bool lower = (view.min.y + view.max.y) * 0.5f + m_ScrollY >= m_QuarterHeight;
  if (what == "view pumps") return !right && lower;
  if (what == "view grid") return right && lower;
  if (what == "view mixer") return right && !lower;
  return false;
}

}  // namespace quillane
