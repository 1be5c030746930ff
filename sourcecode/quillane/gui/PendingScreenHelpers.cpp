// Stand-ins until the game-wide helpers land; removed then.
#include "quillane/gui/PendingScreenHelpers.h"

#include <algorithm>

#include "base/TaskScheduler.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"

void DrawHighlightRect(float x0, float y0, float x1, float y1) {
  gfx::DrawRect(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1), static_cast<int>(y1), 0xFFDCA459u);
}
void DrawRoundFrame(float, float, float, float, uint8_t) {}
void PlayClickSound() {}
void PlayMouseOverSound() {}
void FadeOutAllSoundGroups() {}
base::tRectf GetGameViewportRect() {
  const float w = static_cast<float>(base::sys::GetWindowWidth()), h = static_cast<float>(base::sys::GetWindowHeight());
  return base::tRectf(0.0f, (h - w / 1.6f) * 0.5f, w, (h + w / 1.6f) * 0.5f);
}
float GetGuiScale() { return static_cast<float>(base::sys::GetWindowWidth()) / 1024.0f; }

void cl_Fader::Start(bool cover, float duration, base::tString<base::BaseString>, uint32_t) {
  m_duration = duration;
  if (duration <= 0) {
    m_state = cover ? STATE_COVERED : STATE_UNCOVERED;
    m_value = cover ? 1.0f : 0.0f;
    return;
  }
  m_state = cover ? STATE_COVERING : STATE_UNCOVERING;
}

void cl_Fader::Update(float dt) {
  if (dt > 0.5f) dt = 0;
  if (m_state == STATE_COVERING) {
    m_value = std::min(1.0f, m_value + dt / m_duration);
    if (m_value >= 1) m_state = STATE_COVERED;
  } else if (m_state == STATE_UNCOVERING) {
    m_value = std::max(0.0f, m_value - dt / m_duration);
    if (m_value <= 0) m_state = STATE_UNCOVERED;
  }
}

void AddLoadingTask(base::i_Task* task) {
  if (task) task->Run();
  delete task;
}
void PendingStartEditor() {}
