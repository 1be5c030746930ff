// A full-screen panel drawn as an open book: a cover, a left and a right page, and a page turn
// that the player drives with the mouse (grab a bottom corner, drag it over the spine, release)
// or that the program drives by browsing to a page. Pages render their content once into their
// own textures; the book binds those to two page quads and, during a turn, to the fold triangles.
// A bookmark marks one spread and a hot-spot jumps back to it. The book fades in and out. It
// knows nothing of what its pages show (the diary derives from it). Main thread only.
//
// Pages are numbered from 0. A spread is named by its left page: spread 0 shows a blank front
// page on the left and page 0 on the right; spread k (odd) shows pages k and k + 1. Odd pages
// are left pages.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/gui/GUI.h"
#include "quillane/diary/PageFold.h"

namespace gfx {
class cl_Texture;
}

class cl_HUDBookPage;

class cl_HUDBook : public base::cl_Panel {
 public:
  using tPoint = cl_PageFold::tPoint;
  enum en_TurnState { TURN_IDLE = 0, TURN_SETTLING = 1, TURN_PEEKING = 2, TURN_DRAGGING = 3 };
  enum en_FadeState { FADE_IN = 0, FADE_SHOWN = 1, FADE_OUT = 2 };
  static constexpr float kStepTime = 0.025f;  // fold points move at most this often
  static constexpr float kClickTime = 0.3f;   // a release this soon after the press turns the page
  static constexpr float kFadeSpeed = 510.0f;  // alpha units per second

  cl_HUDBook();  // no pages, spread 0, no target or bookmark, idle, fading in from 0, not visible
  ~cl_HUDBook() override;

  // ---- set-up, by the owner before first use
  // Page area = the rectangle less the margins; the spine in the rectangle's middle; the blank
  // front and back pages made. A book drawn at a scale of its laid-out size (below 1 in a small
  // window) lays its pages out at that size all the same: their textures are drawn smaller.
  void SetGeometry(const tPoint& topLeft, const tPoint& bottomRight, float marginX, float marginY, float scale = 1.0f);
  void LoadCoverTexture(const char* name);
  // name + "_left" and "_right" as page backgrounds, shadow + "_left" and "_right" as shadows.
  void LoadPageTextures(const char* name, const char* shadow);
  void LoadFoldShadowTexture(const char* name);
  void SetBookmarkSpot(float left, float top, float right, float bottom);
  void SetGrabRadius(float radius) { m_grabRadius = radius; }
  // Takes the page, sets it up with the description (copied; a kind may change the caller's) and
  // puts it before the index-th page, or at the end for −1 or an index past the end. The page's
  // position, or −1 (nothing taken) for a null page.
  int AddPage(cl_HUDBookPage* page, base::Variant* description, int index);
  virtual void Clear();  // deletes every page

  // ---- paging
  void SetLastPage(int n);    // the last page index; spread 0 shown
  void SetCurrentPage(int p); // the spread holding p, at once; ignored outside 0..last page
  void SetBookmark(int p);    // the spread holding p carries the bookmark; ignored outside 0..last
  // Starts browsing towards the spread holding p (clamped to the book), one spread at a time.
  void SetTargetPage(int p);
  // speed <= 0: SetCurrentPage at once. Else page −1 is the last page; speed is the approach
  // factor per step of the turning corner; SetTargetPage.
  void BrowseToPage(int page, float speed);
  static int SpreadOf(int page) { return page <= 0 ? 0 : (page % 2 ? page : page - 1); }
  // A spread after the one shown holds a page: a forward turn has somewhere to go.
  bool HasNextSpread() const { return SpreadOf(m_lastPage) > m_currentPage; }

  // ---- window slots
  // Hiding a visible book lets a turn fall back and fades it out; it stays visible until the
  // fade ends, then every page texture is released.
  void Show(bool visible) override;
  void Render(float px, float py) override;
  void Update(float dt) override;
  bool ProcessInput(base::ICMD& cmd) override;
  // Drawn after the cover and before the pages (tabs of the diary).
  virtual void DrawDecorations(float /*px*/, float /*py*/) {}

  // ---- state
  bool IsVisible() const { return m_visible; }
  int GetCurrentPage() const { return m_currentPage; }
  int GetLastPage() const { return m_lastPage; }
  int GetTargetPage() const { return m_targetPage; }
  int GetBookmark() const { return m_bookmarkPage; }
  int GetTurnState() const { return m_turnState; }
  int GetFadeState() const { return m_fadeState; }
  float GetFadeAlpha() const { return m_fadeAlpha; }
  int GetPageCount() const { return static_cast<int>(m_pages.size()); }
  cl_HUDBookPage* GetPage(int i) const;  // null outside the list
  cl_HUDBookPage* GetFrontPage() const { return m_frontPage.get(); }
  cl_HUDBookPage* GetBackPage() const { return m_backPage.get(); }
  const cl_PageFold& GetFold() const { return m_fold; }
  tPoint GetTopLeft() const { return m_fold.m_corners[cl_PageFold::TOP_LEFT]; }      // of the page area
  tPoint GetBottomRight() const { return m_fold.m_corners[cl_PageFold::BOTTOM_RIGHT]; }
  bool IsInsidePageArea(const tPoint& p) const;  // strictly inside

 protected:
  void SetTurnState(int state);
  // The texture of page index with its background and bookmark; the plain background for an
  // index outside the book.
  gfx::cl_Texture* PageTexture(int index);
  gfx::cl_Texture* FrontTexture();
  gfx::cl_Texture* BackTexture();
  void ReleaseTextures();
  // After the pages were rebuilt: the last page is the last in the list, and the current page,
  // the bookmark and the target lie inside the book.
  void FitToPages();
  void ResetBookmark() { m_bookmarkPage = -1, m_targetPage = -1; }

  float m_marginX = 0.0f;
  float m_marginY = 0.0f;
  tPoint m_mouse;

 private:
  bool HitsBookmark() const;
  void RenderFold();  // the uncovered page, the back of the turning page and its shadow

  std::vector<std::unique_ptr<cl_HUDBookPage>> m_pages;
  std::unique_ptr<cl_HUDBookPage> m_frontPage;
  std::unique_ptr<cl_HUDBookPage> m_backPage;
  uint32_t m_pageWidth = 0, m_pageHeight = 0;  // of a page's texture: the laid-out page
  int m_lastPage = 0;
  int m_currentPage = 0;
  int m_targetPage = -1;
  int m_bookmarkPage = -1;
  bool m_visible = false;
  gfx::cl_Texture* m_coverTexture = nullptr;
  gfx::cl_Texture* m_pageTextures[2] = {nullptr, nullptr};    // left, right backgrounds
  gfx::cl_Texture* m_shadowTextures[2] = {nullptr, nullptr};  // left, right (loaded, not drawn)
  gfx::cl_Texture* m_foldShadowTexture = nullptr;
  int m_turnState = TURN_IDLE;
  float m_bookmarkSpot[4] = {0, 0, 0, 0};
  float m_fadeAlpha = 0.0f;
  int m_fadeState = FADE_IN;
  float m_browseSpeed = 0.8f;
  bool m_quickRelease = false;
  float m_pressTime = 0.0f;
  float m_stepTimer = 0.0f;  // the diary is the only book, so the step clock is its own
  tPoint m_foldGoal;
  float m_grabRadius = 1000.0f;
  float m_approach = 0.2f;
  int m_pendingDelta = 0;
  cl_PageFold m_fold;  // corners, active corner, fold point and the fold triangles
};
