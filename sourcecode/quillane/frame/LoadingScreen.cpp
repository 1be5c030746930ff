// The loading screen's load cycles and its picture with the progress bar.
#include "quillane/frame/LoadingScreen.h"

#include <algorithm>

#include "base/FileTools.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/frame/GameFrame.h"

namespace {

bool g_cursorHidden = false;

// Half the bar's width, its height, and how far its centre line stands above the viewport's
// bottom when there is no picture.
constexpr float kBarHalfWidth = 256.0f;
constexpr float kBarHalfHeight = 8.0f;
constexpr float kBarRise = 128.0f;
constexpr float kPictureMargin = 16.0f;  // between picture edges and bar, and the bar's height

// The largest 1.6 rectangle centred in the window (the game's viewport).
void ViewportRect(float out[4]) {
  const float w = static_cast<float>(std::max(base::sys::GetWindowWidth(), 1));
  const float h = static_cast<float>(std::max(base::sys::GetWindowHeight(), 1));
  const double aspect = static_cast<double>(w) / h;
  if (std::abs(1.6 - aspect) < 1e-10) {
    out[0] = 0.0f, out[1] = 0.0f, out[2] = w, out[3] = h;
  } else if (aspect < 1.6) {
    const float y = (h - w / 1.6f) * 0.5f;
    out[0] = 0.0f, out[1] = y, out[2] = w, out[3] = y + w / 1.6f;
  } else {
    const float x = (w - h * 1.6f) * 0.5f;
    out[0] = x, out[1] = 0.0f, out[2] = x + h * 1.6f, out[3] = h;
  }
}

// The progress bar: end caps, a stretched centre and the filler, bright up to the value and
// dimmed to a quarter after it. Always 32 pixels high from its top edge.
void DrawBar(const float rect[4], float value, uint32_t colour) {
  value = std::clamp(value, 0.0f, 1.0f);
  const float x0 = rect[0], y0 = rect[1], x1 = rect[2];
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  if (gfx::cl_Texture* left = gfx::TextureExists("hbar_left")) gfx::DrawTextureAt(left, x0 - 16.0f, y0, 1.0f);
  if (gfx::cl_Texture* right = gfx::TextureExists("hbar_right")) gfx::DrawTextureAt(right, x1, y0, 1.0f);
  if (gfx::cl_Texture* centre = gfx::TextureExists("hbar_center"))
    gfx::DrawTextureQuad(base::tRectf(x0, y0, x1, y0 + 32.0f), centre);
  const float fillEnd = (x0 + 1.0f) + ((x1 - 1.0f) - (x0 + 1.0f)) * value;
  gfx::cl_Texture* filler = gfx::TextureExists("hbar_filler");
  if (!filler) return;
  gfx::SetTextureTinted(filler, colour);
  gfx::SetBlendAlpha(true);
  gfx::DrawTextureQuad(base::tRectf(x0 + 1.0f, y0, fillEnd, y0 + 32.0f), filler);
  const uint32_t dim = (colour & 0xFF000000u) | (static_cast<uint32_t>(((colour >> 16) & 0xFF) * 0.25f) << 16) |
                       (static_cast<uint32_t>(((colour >> 8) & 0xFF) * 0.25f) << 8) |
                       static_cast<uint32_t>((colour & 0xFF) * 0.25f);
  gfx::SetTextureTinted(filler, dim);
  gfx::SetBlendAlpha(true);
  gfx::DrawTextureQuad(base::tRectf(fillEnd, y0, x1, y0 + 32.0f), filler);
}

}  // namespace

bool IsCursorHidden() { return g_cursorHidden; }
void SetCursorHidden(bool hidden) { g_cursorHidden = hidden; }

void cl_ChangeModuleEvent::Execute() {
  if (!g_cursorHidden) {
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
    float viewport[4];
    ViewportRect(viewport);
    const float cx = (viewport[0] + viewport[2]) * 0.5f, cy = (viewport[1] + viewport[3]) * 0.5f;
    float bar[4] = {cx - kBarHalfWidth, viewport[3] - kBarRise - kBarHalfHeight, cx + kBarHalfWidth,
                    viewport[3] - kBarRise + kBarHalfHeight};
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
    DrawBar(bar, value, kBarColour);
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
