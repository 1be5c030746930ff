// A page of a book panel: a fixed-size off-screen texture into which the page's content is drawn
// once, on first use, over the page background, and then reused every frame until it is released
// (the book's fade-out, a device loss). Kinds of page derive from it and draw their content; a
// plain page is blank. Main thread only, inside a frame.
#pragma once

#include <cstdint>

#include "base/data/Variant.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace gfx {
class cl_RenderTarget;
class cl_Texture;
}  // namespace gfx

class cl_HUDBookPage : public win32dx9::i_ResetCriticalResource {
 public:
  cl_HUDBookPage() = default;
  ~cl_HUDBookPage() override;

  void OnLost() override;   // drops the target; no texture until the device is back
  void OnRestore() override;  // the next GetTexture draws the page again
  virtual void Free();      // drops the target; the next GetTexture draws the page again
  // Draws the page's content into the current target (page pixels, origin top-left). Blank here.
  virtual void DrawContent() {}
  // Prepares the content from the description (which a kind may change). True for a blank page.
  virtual bool Build(base::Variant* description);

  // Stores size and index, drops the target, keeps a copy of the description when given, and
  // returns Build(description).
  bool Setup(uint32_t width, uint32_t height, int index, base::Variant* description);
  // The page's texture, drawn first when there is none (or when it was drawn with another
  // background or bookmark): the background over the whole page, the content, and on a
  // bookmarked page "bookmark_left" at its right edge (left pages) or "bookmark_right" at its left
  // edge. Null while the device is lost or when no target can be made. spare is not drawn.
  gfx::cl_Texture* GetTexture(gfx::cl_Texture* background, gfx::cl_Texture* spare, bool isLeft, bool bookmarked);

  int GetIndex() const { return m_index; }
  uint32_t GetWidth() const { return m_width; }
  uint32_t GetHeight() const { return m_height; }
  const base::Variant& GetDescription() const { return m_description; }
  bool HasTexture() const { return m_renderTarget != nullptr; }
  int GetDrawCount() const { return m_drawCount; }  // how often the content was drawn

  // The compositing for drawing into a page: one / inverse source alpha, so what the page
  // texture holds is already weighted by its alpha; stage-0 alpha from the texture.
  static void SetPageCompositing();

 protected:
  gfx::cl_RenderTarget* m_renderTarget = nullptr;
  int m_index = 0;
  uint32_t m_width = 0;
  uint32_t m_height = 0;
  base::Variant m_description;  // void on blank pages
  bool m_valid = true;

 private:
  void Draw(gfx::cl_Texture* background, bool isLeft, bool bookmarked);

  gfx::cl_Texture* m_drawnBackground = nullptr;  // what the target shows, to notice a change
  bool m_drawnBookmark = false;
  int m_drawCount = 0;
};
