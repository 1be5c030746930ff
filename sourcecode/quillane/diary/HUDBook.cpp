#include "quillane/diary/HUDBook.h"

#include <algorithm>
#include <cmath>

#include "base/app/ICMD.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "platform/gpu/Device.h"
#include "quillane/diary/HUDBookPage.h"

namespace {

constexpr int kMirrorCorner[4] = {1, 0, 3, 2};  // where a corner lands when its turn completes

// Binds texture on stage 0, or unbinds for null, so that a missing page shows nothing old.
void BindTexture(gfx::cl_Texture* texture) {
  if (texture) {
    gfx::SetTexture(0, texture);
  } else if (gpu::Device* d = win32dx9::GetD3DDevice()) {
    d->SetTexture(0, nullptr);
  }
}

void DrawQuad(const cl_HUDBook::tPoint& tl, const cl_HUDBook::tPoint& tr, const cl_HUDBook::tPoint& bl,
              const cl_HUDBook::tPoint& br) {
  gfx::DrawTriangle2D({tl.x, tl.y, 0, 0}, {tr.x, tr.y, 1, 0}, {bl.x, bl.y, 0, 1});
  gfx::DrawTriangle2D({bl.x, bl.y, 0, 1}, {tr.x, tr.y, 1, 0}, {br.x, br.y, 1, 1});
}

void DrawFoldTriangles(const cl_HUDBook::tPoint* positions, const cl_HUDBook::tPoint* uvs, uint32_t triangles) {
  for (uint32_t t = 0; t < triangles; ++t) {
    const cl_HUDBook::tPoint* p = positions + t * 3;
    const cl_HUDBook::tPoint* uv = uvs + t * 3;
    gfx::DrawTriangle2D({p[0].x, p[0].y, uv[0].x, uv[0].y}, {p[1].x, p[1].y, uv[1].x, uv[1].y},
                        {p[2].x, p[2].y, uv[2].x, uv[2].y});
  }
}

gfx::cl_Texture* LoadTexture(const char* name) {
  gfx::cl_Texture* texture = name ? gfx::TextureExists(name) : nullptr;
  if (texture) texture->Load();
  return texture;
}

}  // namespace

cl_HUDBook::cl_HUDBook() { m_fold.SetArea({0, 0}, {0, 0}, 0); }

cl_HUDBook::~cl_HUDBook() = default;

// ---- Set-up

void cl_HUDBook::SetGeometry(const tPoint& topLeft, const tPoint& bottomRight, float marginX, float marginY,
                             float scale) {
  m_marginX = marginX;
  m_marginY = marginY;
  m_fold.SetArea({topLeft.x + marginX, topLeft.y + marginY}, {bottomRight.x - marginX, bottomRight.y - marginY},
                 (topLeft.x + bottomRight.x) * 0.5f);
  m_Rect = {topLeft.x, topLeft.y, bottomRight.x - topLeft.x, bottomRight.y - topLeft.y};
  if (!(scale > 0.0f)) scale = 1.0f;
  m_pageWidth = static_cast<uint32_t>(std::max(0.0f, std::round(m_fold.GetWidth() / 2 / scale)));
  m_pageHeight = static_cast<uint32_t>(std::max(0.0f, std::round(m_fold.GetHeight() / scale)));
  m_frontPage = std::make_unique<cl_HUDBookPage>();
  m_frontPage->Setup(m_pageWidth, m_pageHeight, 0, nullptr);
  m_backPage = std::make_unique<cl_HUDBookPage>();
  m_backPage->Setup(m_pageWidth, m_pageHeight, 0, nullptr);
}

void cl_HUDBook::LoadCoverTexture(const char* name) { m_coverTexture = LoadTexture(name); }

void cl_HUDBook::LoadPageTextures(const char* name, const char* shadow) {
  const base::tString<base::BaseString> page(name), shade(shadow);
  m_pageTextures[0] = LoadTexture((page + "_left").c_str());
  m_pageTextures[1] = LoadTexture((page + "_right").c_str());
  m_shadowTextures[0] = LoadTexture((shade + "_left").c_str());
  m_shadowTextures[1] = LoadTexture((shade + "_right").c_str());
}

void cl_HUDBook::LoadFoldShadowTexture(const char* name) { m_foldShadowTexture = LoadTexture(name); }

void cl_HUDBook::SetBookmarkSpot(float left, float top, float right, float bottom) {
  m_bookmarkSpot[0] = left, m_bookmarkSpot[1] = top, m_bookmarkSpot[2] = right, m_bookmarkSpot[3] = bottom;
}

int cl_HUDBook::AddPage(cl_HUDBookPage* page, base::Variant* description, int index) {
  if (!page) return -1;
  std::unique_ptr<cl_HUDBookPage> owned(page);
  const int count = GetPageCount();
  if (index < 0 || index > count) index = count;
  page->Setup(m_pageWidth, m_pageHeight, index, description);
  m_pages.insert(m_pages.begin() + index, std::move(owned));
  m_lastPage = GetPageCount() - 1;
  return index;
}

void cl_HUDBook::Clear() { m_pages.clear(); }

void cl_HUDBook::FitToPages() {
  m_lastPage = std::max(GetPageCount() - 1, 0);
  const int lastSpread = SpreadOf(m_lastPage);
  m_currentPage = std::min(m_currentPage, lastSpread);
  m_bookmarkPage = std::min(m_bookmarkPage, lastSpread);
  m_targetPage = std::min(m_targetPage, lastSpread);
}

cl_HUDBookPage* cl_HUDBook::GetPage(int i) const {
  return i >= 0 && i < GetPageCount() ? m_pages[static_cast<size_t>(i)].get() : nullptr;
}

// ---- Paging

void cl_HUDBook::SetLastPage(int n) {
  m_lastPage = n;
  m_currentPage = 0;
}

void cl_HUDBook::SetCurrentPage(int p) {
  if (p < 0 || p > m_lastPage) return;
  m_currentPage = SpreadOf(p);
}

void cl_HUDBook::SetBookmark(int p) {
  if (p < 0 || p > m_lastPage) return;
  m_bookmarkPage = SpreadOf(p);
}

void cl_HUDBook::SetTargetPage(int p) {
  m_turnState = m_fold.m_turnState = TURN_IDLE;
  m_targetPage = std::clamp(SpreadOf(p), 0, SpreadOf(std::max(m_lastPage, 0)));
}

void cl_HUDBook::BrowseToPage(int page, float speed) {
  if (speed <= 0.0f) {
    SetCurrentPage(page);
    return;
  }
  if (page == -1) page = m_lastPage;
  m_browseSpeed = speed;
  SetTargetPage(page);
}

// ---- Turning

bool cl_HUDBook::IsInsidePageArea(const tPoint& p) const {
  const tPoint tl = GetTopLeft(), br = GetBottomRight();
  return p.x > tl.x && p.x < br.x && p.y > tl.y && p.y < br.y;
}

void cl_HUDBook::SetTurnState(int state) {
  const int corner = m_fold.m_activeCorner;
  const bool active = corner >= 0 && corner < 4;
  if (state == TURN_IDLE) {
    m_currentPage += m_pendingDelta;
    m_pressTime = 0.0f;
    m_pendingDelta = 0;
    m_fold.m_activeCorner = -1;
    m_fold.m_triangleCount = 0;
  } else if (state == TURN_SETTLING) {
    if (active) {
      const bool quick = m_pressTime < kClickTime && m_quickRelease;
      m_quickRelease = false;
      const bool forward = cl_PageFold::IsRightCorner(corner);
      const float spine = m_fold.GetSpineX();
      if (quick || (forward ? m_mouse.x < spine : m_mouse.x > spine)) {
        m_foldGoal = m_fold.m_corners[kMirrorCorner[corner]];
        if (forward && HasNextSpread()) m_pendingDelta = m_currentPage == 0 ? 1 : 2;
        if (!forward && m_currentPage != 0) m_pendingDelta = m_currentPage == 1 ? -1 : -2;
      } else {
        m_foldGoal = m_fold.m_corners[corner];
      }
    }
  } else if (state == TURN_PEEKING) {
    if (!active) return;
    // Past the last spread lies nothing but blank paper: the last page may be its left one.
    const bool possible = cl_PageFold::IsRightCorner(corner) ? HasNextSpread() : m_currentPage != 0;
    if (!possible) return;
    m_fold.m_foldPoint = m_fold.m_corners[corner];
    m_fold.BuildFold(0.0f, true);
  }
  m_turnState = state;
  m_fold.m_turnState = state;
}

void cl_HUDBook::Show(bool visible) {
  if (!visible && m_visible) {
    m_quickRelease = false;
    SetTurnState(TURN_SETTLING);
    m_browseSpeed = 0.8f;
    m_pendingDelta = 0;
    m_fadeState = FADE_OUT;
    return;
  }
  if (visible && m_visible && m_fadeState == FADE_OUT) m_fadeState = FADE_IN;  // back from where it faded to
  m_visible = visible;
}

void cl_HUDBook::ReleaseTextures() {
  for (auto& page : m_pages) page->Free();
  if (m_frontPage) m_frontPage->Free();
  if (m_backPage) m_backPage->Free();
}

void cl_HUDBook::Update(float dt) {
  if (m_fadeState == FADE_IN) {
    m_fadeAlpha += kFadeSpeed * dt;
    if (m_fadeAlpha >= 255.0f) m_fadeAlpha = 255.0f, m_fadeState = FADE_SHOWN;
  } else if (m_fadeState == FADE_OUT) {
    m_fadeAlpha -= kFadeSpeed * dt;
    if (m_fadeAlpha <= 0.0f) {
      SetTurnState(TURN_IDLE);
      ReleaseTextures();
      m_fadeState = FADE_IN;
      m_fadeAlpha = 0.0f;
      m_targetPage = -1;
      m_visible = false;
    }
  } else {
    m_fadeAlpha = 255.0f;
  }
  base::cl_Panel::Update(dt);
  m_stepTimer += dt;
  m_pressTime += dt;
  if (m_targetPage == m_currentPage) m_targetPage = -1;
  if (m_targetPage >= 0 && m_turnState == TURN_IDLE) {
    const int corner = m_targetPage < m_currentPage ? cl_PageFold::BOTTOM_LEFT : cl_PageFold::BOTTOM_RIGHT;
    m_fold.m_activeCorner = corner;
    m_fold.m_foldPoint = m_fold.m_corners[corner];
    m_quickRelease = true;
    m_pressTime = 0.0f;
    m_approach = m_browseSpeed;
    SetTurnState(TURN_SETTLING);
    return;
  }
  if (m_fold.m_activeCorner >= 0)
    for (int round = 0; round < cl_PageFold::kCorrectionRounds; ++round)
      if (m_fold.BuildFold(dt, true)) break;

  tPoint& fold = m_fold.m_foldPoint;
  const bool step = m_stepTimer >= kStepTime;
  switch (m_turnState) {
    case TURN_IDLE:
      m_approach = 0.2f;
      m_fold.m_activeCorner = -1;
      for (int corner : {cl_PageFold::BOTTOM_RIGHT, cl_PageFold::BOTTOM_LEFT}) {
        if (!IsInsidePageArea(m_mouse) || (m_mouse - m_fold.m_corners[corner]).length() >= m_grabRadius) continue;
        m_fold.m_activeCorner = corner;
        fold = m_foldGoal = m_fold.m_corners[corner];
        SetTurnState(TURN_PEEKING);
        break;
      }
      break;
    case TURN_SETTLING:
      if ((fold - m_foldGoal).sqr_length() < 1.0f) {
        SetTurnState(TURN_IDLE);
      } else if (step) {
        m_stepTimer = 0.0f;
        fold += (m_foldGoal - fold) * m_approach;
        m_fold.ClampFoldPoint();
      }
      break;
    case TURN_PEEKING: {
      const tPoint corner = m_fold.m_corners[m_fold.m_activeCorner];
      if ((m_mouse - corner).length() > m_grabRadius || !IsInsidePageArea(m_mouse)) {
        SetTurnState(TURN_SETTLING);
      } else if (step) {
        m_stepTimer = 0.0f;
        fold += (m_mouse - fold) * m_approach;
        const tPoint reach = fold - corner;
        const float half = m_grabRadius * 0.5f;
        if (reach.length() > half) fold = corner + reach * (half / reach.length());
        fold.y = std::clamp(fold.y, GetTopLeft().y + 5.0f, std::max(GetTopLeft().y + 5.0f, GetBottomRight().y - 5.0f));
        m_fold.ClampFoldPoint();
        m_fold.BuildFold(dt, false);
      }
      break;
    }
    case TURN_DRAGGING:
      if (step) {
        m_stepTimer = 0.0f;
        fold += (m_mouse - fold) * m_approach;
        m_fold.ClampFoldPoint();
      }
      break;
    default: break;
  }
}

// ---- Input

bool cl_HUDBook::HitsBookmark() const {
  const tPoint centre((m_bookmarkSpot[0] + m_bookmarkSpot[2]) * 0.5f, (m_bookmarkSpot[1] + m_bookmarkSpot[3]) * 0.5f);
  const tPoint diagonal(m_bookmarkSpot[2] - m_bookmarkSpot[0], m_bookmarkSpot[3] - m_bookmarkSpot[1]);
  return (m_mouse - centre).length() < diagonal.length() * 0.5f;
}

bool cl_HUDBook::ProcessInput(base::ICMD& cmd) {
  if (m_fadeState == FADE_IN || m_fadeState == FADE_OUT) return true;
  const bool mouse = cmd.type == base::ICMD::MOUSE_MOVE || cmd.type == base::ICMD::LEFT_DOWN ||
                     cmd.type == base::ICMD::LEFT_UP;
  if (mouse) {
    m_mouse.y = cmd.mouseY;
    m_mouse.x = std::clamp(static_cast<float>(cmd.mouseX), GetTopLeft().x, std::max(GetTopLeft().x, GetBottomRight().x));
  }
  if (cmd.type == base::ICMD::LEFT_DOWN) {
    if (m_turnState == TURN_IDLE) {
      if (!HitsBookmark()) return false;
      if (m_bookmarkPage >= 0 && m_currentPage != m_bookmarkPage) SetTargetPage(m_bookmarkPage);
      return true;
    }
    if (m_turnState == TURN_PEEKING) {
      m_quickRelease = true;
      m_pressTime = 0.0f;
      m_turnState = m_fold.m_turnState = TURN_DRAGGING;
      return true;
    }
  } else if (cmd.type == base::ICMD::LEFT_UP && m_turnState == TURN_DRAGGING) {
    SetTurnState(TURN_SETTLING);
    return true;
  }
  return base::cl_Panel::ProcessInput(cmd);
}

// ---- Drawing

gfx::cl_Texture* cl_HUDBook::FrontTexture() {
  return m_frontPage ? m_frontPage->GetTexture(m_pageTextures[0], m_pageTextures[0], true, m_bookmarkPage == 0)
                     : m_pageTextures[0];
}

gfx::cl_Texture* cl_HUDBook::BackTexture() {
  return m_backPage ? m_backPage->GetTexture(m_pageTextures[1], m_pageTextures[1], false,
                                             m_currentPage == m_bookmarkPage)
                    : m_pageTextures[1];
}

gfx::cl_Texture* cl_HUDBook::PageTexture(int index) {
  const bool isLeft = index % 2 != 0;
  gfx::cl_Texture* background = m_pageTextures[isLeft ? 0 : 1];
  cl_HUDBookPage* page = index <= m_lastPage ? GetPage(index) : nullptr;
  if (!page) return background;
  const bool bookmarked = index == 0 ? m_bookmarkPage == 0 : isLeft ? index == m_bookmarkPage : index - 1 == m_bookmarkPage;
  return page->GetTexture(background, background, isLeft, bookmarked);
}

void cl_HUDBook::Render(float px, float py) {
  if (!m_visible) return;
  const cl_PageFold::tPoint* c = m_fold.m_corners;
  const uint8_t alpha = static_cast<uint8_t>(std::clamp(m_fadeAlpha, 0.0f, 255.0f));
  gfx::Begin2D();
  gfx::SetBlendNone();
  gfx::SetFilterLinear();
  BindTexture(m_coverTexture);
  gfx::SetBlendAlphaTextureColor(alpha, true);
  const tPoint tl(c[0].x - m_marginX, c[0].y - m_marginY), br(c[2].x + m_marginX, c[2].y + m_marginY);
  DrawQuad(tl, {br.x, tl.y}, {tl.x, br.y}, br);

  DrawDecorations(px, py);

  // Page textures are drawn on first use, which changes the target and states: fetch, then set.
  gfx::cl_Texture* left = m_currentPage == 0 ? FrontTexture() : PageTexture(m_currentPage);
  gfx::SetBlendNone();
  gfx::SetBlendAlphaTextureColor(alpha, true);
  BindTexture(left);
  DrawQuad(c[0], c[4], c[3], c[5]);

  gfx::cl_Texture* right =
      m_currentPage == 0 ? PageTexture(0) : m_currentPage < m_lastPage ? PageTexture(m_currentPage + 1) : BackTexture();
  gfx::SetBlendNone();
  gfx::SetBlendAlphaTextureColor(alpha, true);
  BindTexture(right);
  DrawQuad(c[4], c[1], c[5], c[2]);

  const uint32_t triangles = m_fold.m_triangleCount;
  if (m_turnState != TURN_IDLE && triangles > 0) RenderFold();
  // A page texture freed later must not stay alive in the device as its bound texture.
  BindTexture(nullptr);
}

void cl_HUDBook::RenderFold() {
  const uint8_t alpha = static_cast<uint8_t>(std::clamp(m_fadeAlpha, 0.0f, 255.0f));
  const uint32_t triangles = m_fold.m_triangleCount;
  const bool forward = cl_PageFold::IsRightCorner(m_fold.m_activeCorner);
  gfx::cl_Texture* below;
  gfx::cl_Texture* back;
  if (forward) {
    const bool next = (m_currentPage == 0 && m_lastPage > 1) || (m_currentPage != 0 && m_currentPage < m_lastPage - 2);
    below = next ? PageTexture(m_currentPage == 0 ? 2 : m_currentPage + 3) : BackTexture();
    back = PageTexture(m_currentPage == 0 ? 1 : m_currentPage + 2);
  } else {
    below = m_currentPage == 1 ? FrontTexture() : PageTexture(m_currentPage - 2);
    back = PageTexture(m_currentPage - 1);
  }
  gfx::SetBlendAlphaTextureColor(alpha, true);
  BindTexture(below);
  DrawFoldTriangles(m_fold.m_belowPos, m_fold.m_belowUV, triangles);
  gfx::SetBlendAlphaTextureColor(255, true);
  BindTexture(back);
  DrawFoldTriangles(m_fold.m_backPos, m_fold.m_backUV, triangles);
  const float shade = std::clamp((1.0f - m_fold.m_foldRatio) * 254.0f, 0.0f, 255.0f);
  gfx::SetBlendAlphaTextureColor(static_cast<uint8_t>(shade), true);
  BindTexture(m_foldShadowTexture);
  if (m_foldShadowTexture) DrawFoldTriangles(m_fold.m_backPos, m_fold.m_shadowUV, triangles);
}
