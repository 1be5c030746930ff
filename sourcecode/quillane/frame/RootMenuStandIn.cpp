// The root menu's stand-in.
#include "quillane/frame/RootMenuStandIn.h"

#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"

void cl_RootMenuStandIn::Update(float, float) {
  if (m_logged) return;
  m_logged = true;
  base::sys::Output("RootMenu: the main menu is not built yet; showing its stand-in\n");
}

void cl_RootMenuStandIn::Render() {
  gfx::ClearScreen(kBackground);
  gfx::Begin2D();
  if (gfx::cl_Font* font = gfx::FontExists("game")) {
    gfx::SetFont(font);
    const char16_t* title = u"The Night Ferry";
    const float x = (static_cast<float>(base::sys::GetWindowWidth()) - gfx::GetTextWidthW(title)) * 0.5f;
    gfx::DrawTextW(static_cast<int>(x), base::sys::GetWindowHeight() / 3, title, 0xFFF4E6B8u);
    if (gfx::cl_Font* system = gfx::FontExists("system")) gfx::SetFont(system);
  }
}
