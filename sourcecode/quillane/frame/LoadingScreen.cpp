// The loading screen's load cycles and its picture with the progress bar.
#include "quillane/frame/LoadingScreen.h"

#include <algorithm>

#include "base/FileTools.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/core/FrameServices.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/screen/ScreenLayout.h"

namespace {

// Half the bar's width, its height, and how far its centre line stands above the viewport's
// bottom when there is no picture.
constexpr float kBarHalfWidth = 256.0f;
constexpr float kBarHalfHeight = 8.0f;
constexpr float kBarRise = 128.0f;
constexpr float kPictureMargin = 16.0f;  // between picture edges and bar, and the bar's height

}  // namespace

void cl_ChangeModuleEvent::Execute() {
  if (!IsCursorHidden()) {
    if (gfx::cl_Texture* cursor = gfx::TextureExists("gamecursor")) gfx::SetCursor(nullptr, cursor);
  }
  if (cl_GameFrame* frame = GetGameFrame()) frame->SwitchState(m_Module.c_str());
}

void cl_EventTask::Run() {
  if (m_event) m_event->Execute();
}

cl_LoadingScreen* cl_LoadingScreen::Create() { return new cl_LoadingScreen(); }

cl_LoadingScreen::cl_LoadingScreen() = default;

cl_LoadingScreen::~cl_LoadingScreen() = default;

void cl_LoadingScreen::SetImage(const char* path) {
  m_pImage.reset();
  if (!path || !base::FileExists(path)) return;
  auto image = std::make_unique<gfx::cl_Image>();
  if (image->Load(path, true)) m_pImage = std::move(image);
}

void cl_LoadingScreen::SetProgressRange(float start, float end) {
  m_fProgressStart = start;
  m_fProgressEnd = end;
}

const char* cl_LoadingScreen::GetPendingTarget() const {
  const auto* pending = dynamic_cast<const cl_EventTask*>(m_completionTask);
  const auto* change = pending ? dynamic_cast<const cl_ChangeModuleEvent*>(pending->GetEvent()) : nullptr;
  return change ? change->GetTarget().c_str() : "";
}

void cl_LoadingScreen::BeginCycle(const base::tString<base::BaseString>& target) {
  // A savegame load asks twice for the same target (the load, then its scene change): the
  // second request must neither lose the event nor restart the count below the queued tasks.
  if (m_completionTask && base::str::compare(GetPendingTarget(), target.c_str()) == 0) return;
  SetCompletionTask(new cl_EventTask(new cl_ChangeModuleEvent(target)));
  for (const base::i_Task* task : m_queue) m_total += task->m_weight;
}

void cl_LoadingScreen::Render() {
  m_barDrawn = false;
  gfx::ClearScreen(0);
  if (m_total >= kBarMinimumTotal) {
    gfx::Begin2D();
    const base::tRectf viewport = GetGameViewportRect();
    const float cx = (viewport.min.x + viewport.max.x) * 0.5f, cy = (viewport.min.y + viewport.max.y) * 0.5f;
    float bar[4] = {cx - kBarHalfWidth, viewport.max.y - kBarRise - kBarHalfHeight, cx + kBarHalfWidth,
                    viewport.max.y - kBarRise + kBarHalfHeight};
    if (m_pImage) {
      const float w = static_cast<float>(m_pImage->GetWidth()), h = static_cast<float>(m_pImage->GetHeight());
      const float x = cx - w * 0.5f, y = cy - (h + 2.0f * kPictureMargin) * 0.5f;
      gfx::SetBlendNone();
      gfx::DrawImage(m_pImage.get(), x, y, 1.0f);
      bar[0] = x + kPictureMargin;
      bar[2] = x + w - kPictureMargin;
      bar[1] = y + h + kPictureMargin;
      bar[3] = bar[1] + kPictureMargin;
    }
    const float value = m_fProgressStart + (m_done / m_total) * (m_fProgressEnd - m_fProgressStart);
    DrawHBar(base::tRectf(bar[0], bar[1], bar[2], bar[3]), value, kBarColour);
    std::copy(bar, bar + 4, m_lastRect);
    m_lastValue = value;
    m_barDrawn = true;
  }
  if (gfx::cl_Texture* none = gfx::TextureExists("no_cursor")) gfx::SetCursor(nullptr, none);
}

bool cl_LoadingScreen::GetLastBar(float rect[4], float* value) const {
  if (!m_barDrawn) return false;
  std::copy(m_lastRect, m_lastRect + 4, rect);
  if (value) *value = m_lastValue;
  return true;
}
