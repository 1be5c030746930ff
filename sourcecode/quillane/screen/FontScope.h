// Scoped changes of the current font for one piece of drawing: another font, or centred lines,
// each put back when the scope ends. Main thread, inside a frame.
#pragma once

#include "base/data/Variant.h"
#include "graphics/draw/Draw.h"

// Makes font current for its lifetime (when there is one) and restores the previous font.
class cl_FontScope {
 public:
  explicit cl_FontScope(gfx::cl_Font* font) : m_previous(gfx::GetFont()) {
    if (font) gfx::SetFont(font);
  }
  ~cl_FontScope() {
    if (m_previous) gfx::SetFont(m_previous);
  }
  cl_FontScope(const cl_FontScope&) = delete;
  cl_FontScope& operator=(const cl_FontScope&) = delete;

 private:
  gfx::cl_Font* m_previous;
};

// The current font centres its lines (with vertical, also the block in its box) while alive; its
// properties are put back afterwards.
class cl_CenteredFont {
 public:
  explicit cl_CenteredFont(bool vertical = false) : m_saved(gfx::GetFontProperties()) {
    base::Variant centred;
    centred.set_element("Properties");
    centred.attribute("alignment")->set_string("center");
    if (vertical) centred.attribute("v_alignment")->set_string("center");
    gfx::SetFontProperties(centred);
  }
  ~cl_CenteredFont() {
    if (!m_saved.is_void()) gfx::SetFontProperties(m_saved);
  }
  cl_CenteredFont(const cl_CenteredFont&) = delete;
  cl_CenteredFont& operator=(const cl_CenteredFont&) = delete;

 private:
  base::Variant m_saved;
};
