#include "quillane/diary/HUDBookPage.h"

#include "graphics/RenderTarget.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "platform/gpu/Device.h"

cl_HUDBookPage::~cl_HUDBookPage() { Free(); }

void cl_HUDBookPage::OnLost() {
  Free();
  m_valid = false;
}

void cl_HUDBookPage::OnRestore() { m_valid = true; }

void cl_HUDBookPage::Free() {
  delete m_renderTarget;
  m_renderTarget = nullptr;
}

bool cl_HUDBookPage::Build(base::Variant*) { return true; }

bool cl_HUDBookPage::Setup(uint32_t width, uint32_t height, int index, base::Variant* description) {
  m_index = index;
  m_width = width;
  m_height = height;
  Free();
  if (description) m_description.copy(*description);
  return Build(description);
}

gfx::cl_Texture* cl_HUDBookPage::GetTexture(gfx::cl_Texture* background, gfx::cl_Texture*, bool isLeft,
                                           bool bookmarked) {
  if (!m_valid) return nullptr;
  if (!m_renderTarget) {
    m_renderTarget = new gfx::cl_RenderTarget;
    if (m_width == 0 || m_height == 0 || !m_renderTarget->CreateTexture(m_width, m_height)) {
      Free();
      return nullptr;
    }
    Draw(background, isLeft, bookmarked);
  } else if (background != m_drawnBackground || bookmarked != m_drawnBookmark) {
    Draw(background, isLeft, bookmarked);
  }
  return m_renderTarget->GetTexture();
}

void cl_HUDBookPage::SetPageCompositing() {
  gpu::Device* d = win32dx9::GetD3DDevice();
  if (!d) return;
  d->SetRenderState(gpu::rs::AlphaBlendEnable, 1);
  d->SetRenderState(gpu::rs::SrcBlend, gpu::blend::One);
  d->SetRenderState(gpu::rs::DestBlend, gpu::blend::InvSrcAlpha);
  d->SetTextureStageState(0, gpu::tss::AlphaOp, gpu::top::SelectArg1);
  d->SetTextureStageState(0, gpu::tss::AlphaArg1, gpu::ta::Texture);
  for (uint32_t stage : {1u, 2u}) {
    d->SetTextureStageState(stage, gpu::tss::ColorOp, gpu::top::Disable);
    d->SetTextureStageState(stage, gpu::tss::AlphaOp, gpu::top::Disable);
  }
}

void cl_HUDBookPage::Draw(gfx::cl_Texture* background, bool isLeft, bool bookmarked) {
  m_drawnBackground = background;
  m_drawnBookmark = bookmarked;
  if (!gfx::SetRenderTarget(m_renderTarget)) return;
  ++m_drawCount;
  gfx::ClearScreen(0);
  gfx::Begin2D();
  gfx::SetBlendNone();
  gfx::SetFilterLinear();
  SetPageCompositing();
  if (background && background->Load()) {
    gfx::SetTexture(0, background);
    const float w = static_cast<float>(m_width), h = static_cast<float>(m_height);
    gfx::DrawTriangle2D({0, 0, 0, 0}, {w, 0, 1, 0}, {0, h, 0, 1});
    gfx::DrawTriangle2D({0, h, 0, 1}, {w, 0, 1, 0}, {w, h, 1, 1});
  }
  // The content may choose its own font; the caller's stays current afterwards.
  gfx::cl_Font* font = gfx::GetFont();
  DrawContent();
  if (font && gfx::GetFont() != font) gfx::SetFont(font);
  if (bookmarked) {
    if (gfx::cl_Image* mark = gfx::ImageExists(isLeft ? "bookmark_left" : "bookmark_right")) {
      gfx::SetBlendNone();
      SetPageCompositing();
      gfx::DrawImage(mark, isLeft ? static_cast<float>(m_width) - static_cast<float>(mark->GetWidth()) : 0.0f, 0.0f,
                     1.0f);
    }
  }
  if (gpu::Device* d = win32dx9::GetD3DDevice()) d->SetRenderState(gpu::rs::AlphaBlendEnable, 0);
  gfx::SetRenderTarget(nullptr);
}
