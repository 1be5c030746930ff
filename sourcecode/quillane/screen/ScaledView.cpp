#include "quillane/screen/ScaledView.h"

#include <algorithm>
#include <cmath>

#include "base/app/ICMD.h"
#include "base/system.h"
#include "graphics/RenderTarget.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "platform/gpu/Device.h"

namespace {

const cl_ScaledView* g_drawing = nullptr;  // the view between its Begin and End

// The device's colour-write bits: red 1, green 2, blue 4, alpha 8.
constexpr uint32_t kAlphaOnly = 8, kAllChannels = 0xF;

void WriteChannels(uint32_t mask) {
  if (gpu::Device* d = win32dx9::GetD3DDevice()) d->SetRenderState(gpu::rs::ColorWriteEnable, mask);
}

}  // namespace

cl_ScaledView::st_Target::st_Target() = default;
cl_ScaledView::st_Target::~st_Target() = default;
void cl_ScaledView::st_Target::OnLost() { texture.reset(); }

cl_ScaledView::cl_ScaledView() = default;

cl_ScaledView::~cl_ScaledView() {
  if (g_drawing == this) g_drawing = nullptr;
}

void cl_ScaledView::Fit(const base::tRectf& covered) {
  const float windowWidth = static_cast<float>(base::sys::GetWindowWidth());
  const float windowHeight = static_cast<float>(base::sys::GetWindowHeight());
  const float width = covered.max.x - covered.min.x, height = covered.max.y - covered.min.y;
  float scale = std::min({1.0f, windowWidth / width, windowHeight / height});
  if (!(scale > 0.0f)) scale = 1.0f;  // no window yet, or nothing to fit
  if (m_target && (scale != m_scale || width != m_width || height != m_height)) m_target->texture.reset();
  m_covered = covered;
  m_width = width, m_height = height, m_scale = scale;
  m_origin = {std::floor((windowWidth - width * scale) * 0.5f), std::floor((windowHeight - height * scale) * 0.5f)};
}

bool cl_ScaledView::Begin() {
  if (!IsScaled()) return false;
  if (!m_target) m_target = std::make_unique<st_Target>();
  std::unique_ptr<gfx::cl_RenderTarget>& texture = m_target->texture;
  if (!texture) {
    texture = std::make_unique<gfx::cl_RenderTarget>();
    if (!texture->CreateTexture(static_cast<unsigned>(std::ceil(m_width)),
                                static_cast<unsigned>(std::ceil(m_height)))) {
      texture.reset();
      return false;
    }
  }
  if (!gfx::SetRenderTarget(texture.get())) return false;
  gfx::ClearScreen(0);
  gfx::Begin2D();
  m_drawing = true;
  g_drawing = this;
  return true;
}

void cl_ScaledView::End(const base::tRectf& body, float corner) {
  if (!m_drawing) return;
  m_drawing = false;
  g_drawing = nullptr;
  // Text blended onto the body leaves its alpha below 1 in the texture: the body is made whole
  // again, but for the corners, which are the frame's own.
  const base::tVector2<float> at = GetPanelPlace();
  const base::tRectf b(at.x + body.min.x, at.y + body.min.y, at.x + body.max.x, at.y + body.max.y);
  WriteChannels(kAlphaOnly);
  gfx::FillRect(b.min.x + corner, b.min.y, b.max.x - corner, b.max.y, 0xFF000000u);
  gfx::FillRect(b.min.x, b.min.y + corner, b.max.x, b.max.y - corner, 0xFF000000u);
  WriteChannels(kAllChannels);
  gfx::SetRenderTarget(nullptr);

  gfx::Begin2D();
  gfx::SetFilterLinear();
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  gfx::SetTexture(0, m_target->texture->GetTexture());
  const float x0 = m_origin.x, y0 = m_origin.y, x1 = x0 + m_width * m_scale, y1 = y0 + m_height * m_scale;
  gfx::DrawTriangle2D({x0, y0, 0, 0}, {x1, y0, 1, 0}, {x0, y1, 0, 1});
  gfx::DrawTriangle2D({x0, y1, 0, 1}, {x1, y0, 1, 0}, {x1, y1, 1, 1});
  // The target may be remade later: the device must not keep it bound.
  if (gpu::Device* d = win32dx9::GetD3DDevice()) d->SetTexture(0, nullptr);
}

void cl_ScaledView::ToLayout(base::ICMD& cmd) const {
  if (!IsScaled()) return;
  auto inside = [](float v, float limit) {
    return static_cast<uint16_t>(std::clamp(std::lround(v), 0L, static_cast<long>(limit)));
  };
  cmd.mouseX = inside((static_cast<float>(cmd.mouseX) - m_origin.x) / m_scale, m_width);
  cmd.mouseY = inside((static_cast<float>(cmd.mouseY) - m_origin.y) / m_scale, m_height);
}

base::tVector2<float> cl_ScaledView::ToWindow(float x, float y) const {
  if (!IsScaled()) return {x, y};
  return {m_origin.x + x * m_scale, m_origin.y + y * m_scale};
}

base::tVector2<float> cl_ScaledView::Mouse() {
  base::ICMD at;
  at.mouseX = static_cast<uint16_t>(std::max(0, base::sys::MouseX()));
  at.mouseY = static_cast<uint16_t>(std::max(0, base::sys::MouseY()));
  if (g_drawing) g_drawing->ToLayout(at);
  return {static_cast<float>(at.mouseX), static_cast<float>(at.mouseY)};
}
