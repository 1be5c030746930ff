// The skin's GUI root, its registrations and the pieces its controls share.
#include "win32dx9/SystemGUI/SystemGUI.h"

#include <string>
#include <unordered_map>

#include "base/app/ICMD.h"
#include "base/gui/GUIEdit.h"
#include "base/system.h"
#include "base/text/Vocable.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "win32dx9/SystemGUI/SystemControls.h"
#include "win32dx9/SystemGUI/SystemValueControls.h"

namespace win32dx9 {

const uint32_t s_SkinColors[5] = {0xFF000000u, 0xFFFFFFFFu, 0xFF555555u, 0xFF8C8C8Cu, 0xFFAAAAAAu};

namespace {

constexpr size_t kMaxCachedCaptions = 4096;

uint32_t g_keyReleaseSerial = 0;

struct st_CaptionCache {
  std::string language;
  std::unordered_map<std::string, base::tString<base::BaseUnicodeString>> texts;
};

st_CaptionCache& Captions() {
  static st_CaptionCache cache;
  return cache;
}

}  // namespace

cl_SystemGUI::cl_SystemGUI() {
  Register<base::cl_Menu>("Menu");
  Register<base::cl_Sheet>("Sheet");
  Register<cl_SystemEdit>("Edit");
  Register<cl_SystemButton>("Button");
  Register<cl_SystemCloseButton>("CloseButton");
  Register<cl_SystemTitleBar>("TitleBar");
  Register<cl_SystemFrame>("Frame");
  Register<cl_SystemSliderHandle>("SliderHandle");
  Register<cl_SystemSlider>("Slider");
  Register<cl_SystemStaticText>("Text");
  Register<cl_SystemStaticImage>("Image");
  Register<cl_SystemTreeToggle>("TreeToggle");
  Register<base::cl_TreeCtrl>("TreeCtrl");
  Register<cl_SystemGroup>("Group");
  Register<cl_SystemMenuEntry>("MenuEntry");
  Register<cl_SystemMenuFolder>("MenuFolder");
  Register<cl_SystemScrollArea>("ScrollArea");
  Register<cl_SystemStringCtrl>("StringCtrl");
  Register<cl_SystemCheckBox>("CheckBox");
  Register<cl_SystemRadioButton>("RadioButton");
}

cl_SystemGUI::~cl_SystemGUI() = default;

bool cl_SystemGUI::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::KEY_RELEASED) ++g_keyReleaseSerial;
  return base::cl_GUI::ProcessInput(cmd);
}

void cl_SystemGUI::DrawBevelFrame(const base::tRectf& rect, uint32_t fill, bool sunken) {
  const float l = rect.min.x, t = rect.min.y, r = rect.max.x, b = rect.max.y;
  if (sunken) {
    gfx::FillRect(l, t, r, b, s_SkinColors[SKIN_WHITE]);
    gfx::FillRect(l, t, r - 1, b - 1, s_SkinColors[SKIN_DARK]);
    gfx::FillRect(l + 2, t + 2, r - 1, b - 1, s_SkinColors[SKIN_LIGHT]);
    gfx::FillRect(l + 2, t + 2, r - 2, b - 2, fill);
  } else {
    gfx::FillRect(l, t, r, b, s_SkinColors[SKIN_BLACK]);
    gfx::FillRect(l, t, r - 1, b - 1, s_SkinColors[SKIN_WHITE]);
    gfx::FillRect(l + 1, t + 1, r - 1, b - 1, s_SkinColors[SKIN_DARK]);
    gfx::FillRect(l + 1, t + 1, r - 2, b - 2, fill);
  }
}

gfx::cl_Texture* GetSkinTexture(en_SkinTexture which) {
  // ORDER SKINTEXTURE
  static const char* const kLabels[] = {"GUI_check", "GUI_dot", "GUI_checker", "GUI_folderarrow"};
  return gfx::TextureExists(kLabels[which]);
}

void DrawSkinTexture(en_SkinTexture which, float x, float y) {
  gfx::cl_Texture* texture = GetSkinTexture(which);
  if (!texture) return;
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  gfx::DrawTextureAt(texture, x, y, 1.0f);
}

const char16_t* LocalizeCaption(const base::tString<base::BaseString>& text) {
  st_CaptionCache& cache = Captions();
  const base::tString<base::BaseString> language = base::sys::GetLanguageString();
  if (cache.language != language.c_str()) {
    cache.texts.clear();
    cache.language = language.c_str();
  }
  const std::string key(text.c_str());
  auto it = cache.texts.find(key);
  if (it == cache.texts.end()) {
    if (cache.texts.size() >= kMaxCachedCaptions) cache.texts.clear();
    base::tString<base::BaseUnicodeString> wide;
    base::sys::Localize(text.c_str(), wide, nullptr, -1);
    it = cache.texts.emplace(key, std::move(wide)).first;
  }
  return it->second.c_str();
}

void ForgetCaptions() { Captions().texts.clear(); }

uint32_t GetKeyReleaseSerial() { return g_keyReleaseSerial; }

}  // namespace win32dx9
