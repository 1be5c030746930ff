// The default skin's GUI root: registers the flat grey cl_System* controls under the layout class
// names, and holds what they share: the colour table, the bevel frame, the four skin textures and
// the captions localised once per key and language.
#pragma once

#include <cstdint>

#include "base/String.h"
#include "base/gui/GUI.h"
#include "base/math/Limit.h"

namespace gfx {
class cl_Texture;
}

namespace win32dx9 {

// ORDER SKINCOLOR: indices into s_SkinColors.
enum en_SkinColor { SKIN_BLACK, SKIN_WHITE, SKIN_DARK, SKIN_MID, SKIN_LIGHT };
extern const uint32_t s_SkinColors[5];

// ORDER SKINTEXTURE: the textures the skin draws, by resource label.
enum en_SkinTexture { SKIN_TEX_CHECK, SKIN_TEX_DOT, SKIN_TEX_CHECKER, SKIN_TEX_FOLDERARROW };

class cl_SystemGUI : public base::cl_GUI {
 public:
  cl_SystemGUI();  // the 20 registrations, in order
  ~cl_SystemGUI() override;
  // Every key release seen here ends a held key's repeat, wherever the focus is.
  bool ProcessInput(base::ICMD& cmd) override;

  // Four nested fills: raised shows white top-left and black/dark bottom-right; sunken shows a
  // dark band top-left and white/light bottom-right. The face is fill.
  static void DrawBevelFrame(const base::tRectf& rect, uint32_t fill, bool sunken);
};

// A skin texture by its label (loaded on first use by the resource layer); null when missing.
gfx::cl_Texture* GetSkinTexture(en_SkinTexture which);
// The texture at (x, y), scale 1, blending off then alpha blending on, as every skin glyph.
void DrawSkinTexture(en_SkinTexture which, float x, float y);

// The localised caption of text; unchanged for a text that is no key. Kept per key until the
// language changes (or the cache fills), so the result stays valid until the next call with a
// new key at least.
const char16_t* LocalizeCaption(const base::tString<base::BaseString>& text);
// Drops every cached caption: after the text tables or the text parser change.
void ForgetCaptions();

// Serial of the last key release a cl_SystemGUI saw (0 before the first).
uint32_t GetKeyReleaseSerial();

}  // namespace win32dx9
