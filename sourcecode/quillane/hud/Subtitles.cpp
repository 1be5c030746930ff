// The subtitle control: the line queue on the video clock and its drawing.
#include "quillane/hud/Subtitles.h"

#include <cstddef>

#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/screen/ScreenLayout.h"

namespace {

constexpr uint32_t kOutline = 0xFF191919u;
constexpr float kSideMargin = 50.0f, kBottomMargin = 25.0f;

cl_SubtitleCtrl* g_instance = nullptr;

}  // namespace

cl_SubtitleCtrl::cl_SubtitleCtrl() {
  SetName("Subtitles");
  g_instance = this;
  SetSubtitleLines(this);
}

cl_SubtitleCtrl::~cl_SubtitleCtrl() {
  if (g_instance == this) g_instance = nullptr;
  if (GetSubtitleLines() == this) SetSubtitleLines(nullptr);
}

cl_SubtitleCtrl* cl_SubtitleCtrl::GetInstance() { return g_instance; }

void cl_SubtitleCtrl::AddLine(const char* key, float start, float end, float fade, uint32_t colour, int kind) {
  if (!key) return;
  st_Line line;
  base::sys::Localize(key, line.text);
  line.start = kind == KIND_VIDEO ? start : m_clock + start;
  line.end = kind == KIND_VIDEO ? end : m_clock + end;
  line.fade = fade;
  line.colour = colour;
  line.kind = kind;
  m_lines.push_back(std::move(line));
}

void cl_SubtitleCtrl::RemoveLines(int kind) {
  if (kind == REMOVE_ALL) {
    m_lines.clear();
    return;
  }
  std::erase_if(m_lines, [kind](const st_Line& l) { return l.kind == kind; });
}

void cl_SubtitleCtrl::Update(float, float dt) {
  m_videoTime = hud::GetVideoTime();
  m_clock += dt;
  // Only the front is looked at: lines are shown in the order they were queued.
  std::size_t ended = 0;
  while (ended < m_lines.size() && m_lines[ended].end < m_videoTime) ++ended;
  m_lines.erase(m_lines.begin(), m_lines.begin() + static_cast<std::ptrdiff_t>(ended));
  if (m_lines.empty()) m_clock = 0.0f;
}

uint8_t cl_SubtitleCtrl::FadeAlpha(const st_Line& line, float t) {
  float alpha = 255.0f;
  if (line.fade > 0.0f) {
    if (t < line.start + line.fade)
      alpha = (t - line.start) / line.fade * 255.0f;
    else if (t > line.end - line.fade)
      alpha = (line.end - t) / line.fade * 255.0f;
  }
  return static_cast<uint8_t>(ClampFloat(alpha, 0.0f, 255.0f));
}

void cl_SubtitleCtrl::Render() {
  if (m_lines.empty() || !hud::IsVideoPlaying()) return;
  const float t = m_videoTime;
  gfx::cl_Font* previous = gfx::GetFont();
  if (gfx::cl_Font* font = gfx::FontExists("game")) gfx::SetFont(font);
  const base::Variant saved = gfx::GetFontProperties();
  base::Variant centred;
  centred.set_element("Properties");
  centred.attribute("alignment")->set_string("center");
  gfx::SetFontProperties(centred);
  const float w = static_cast<float>(base::sys::GetWindowWidth()), h = static_cast<float>(base::sys::GetWindowHeight());
  const float boxWidth = w - 2.0f * kSideMargin;
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  for (const st_Line& line : m_lines) {
    if (line.kind != KIND_VIDEO || !(line.start <= t && t < line.end)) continue;
    const uint32_t alpha = static_cast<uint32_t>(FadeAlpha(line, t)) << 24;
    const float height = gfx::GetWrappedTextHeightW(line.text.c_str(), boxWidth);
    gfx::DrawTextBoxOutlinedW(kSideMargin, h - height - kBottomMargin, boxWidth, height, line.text.c_str(),
                              (line.colour & 0x00FFFFFFu) | alpha, (kOutline & 0x00FFFFFFu) | alpha);
  }
  if (!saved.is_void()) gfx::SetFontProperties(saved);
  if (previous) gfx::SetFont(previous);
}
