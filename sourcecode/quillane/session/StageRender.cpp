// Drawing the stage: the scene with its characters (the passes every stage shares), the debug
// overlays, and the characters' hover tooltips.
#include <algorithm>

#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/character/ScenePasses.h"
#include "quillane/scene/Scene.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/OptionLevels.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/world/WorldServices.h"

namespace quillane {

namespace {

bool LodEditMode() {
  const base::Variant* debug = base::sys::GetConfig().get_element("Debug");
  int mode = 0;
  return debug && debug->get_attribute_int("LODEditMode", mode) && mode == 1;
}

// The entry of label in a table of categories of entries (the tokens table, the cast list).
const base::Variant* FindEntry(const base::Variant& table, const char* label) {
  for (int i = 0; i < table.size(); ++i) {
    const base::Variant& group = table[i];
    for (int k = 0; k < group.size(); ++k) {
      base::String l;
      if (group[k].get_attribute_string("label", l) && l == label) return &group[k];
    }
    base::String own;
    if (group.get_attribute_string("label", own) && own == label) return &group;
  }
  return nullptr;
}

}  // namespace

void cl_Stage::Render(const base::tRectf& screenRect) {
  if (!m_scene) return;
  // Only the faces this frame draws are where a spoken line's box must keep off.
  for (cl_Character* character : m_characters) character->ForgetDrawnFace();
  st_ScenePasses passes;
  passes.blur = m_blur;
  RenderScenePasses(*m_scene, m_characters, screenRect, passes);
  if (LodEditMode()) {
    const int level = GetOptionIntValue("Gfx/SceneLOD/");
    base::String text;
    text.print("LOD Level: %i(%s)", level, level == 0 ? "High" : level == 1 ? "Mid" : "Low");
    gfx::DrawTextOutlined(10, 10, text.c_str(), 0xFFFFFFFF, 0xFF191919);
  }
  if (SceneDisplay().showBoundaries) {
    for (const cl_Character* character : m_characters) {
      const base::tRectf r = GetCharacterScreenRect(character);
      gfx::DrawRect(static_cast<int>(r.min.x), static_cast<int>(r.min.y), static_cast<int>(r.max.x),
                    static_cast<int>(r.max.y), 0xFFFFFF00);
      gfx::DrawText(static_cast<int>(r.min.x), static_cast<int>(r.min.y), character->name.c_str(), 0xFFFFFF00);
    }
  }
  if (cl_Character::s_debugDisplay) {
    for (cl_Character* character : m_characters) {
      const base::tVector2<float> at = GetOverheadScreenPos(character);
      base::tVector2<float> cursor = at;
      character->RenderDebugInfo(cursor);
    }
  }
}

void cl_Stage::ShowTooltip(bool all, const base::String& hoveredName) const {
  const cl_Session* session = GetSession();
  if (!session || !m_scene) return;
  if (WorldServices().IsPlayerFree && !WorldServices().IsPlayerFree()) return;
  if (all && !SceneDisplay().showHotspots) return;
  gfx::cl_Font* previous = gfx::GetFont();
  if (gfx::cl_Font* tooltip = gfx::FontExists("tooltip")) gfx::SetFont(tooltip);
  for (const cl_Character* character : m_characters) {
    if (character == m_player || character->IsIgnored()) continue;
    if ((character->name == hoveredName) == all) continue;
    const char* label = character->name.c_str();
    const base::Variant* entry = FindEntry(session->GetTokensTable(), label);
    if (!entry) entry = FindEntry(session->GetCastList(), label);
    int r = 255, g = 255, b = 255;
    if (entry) {
      entry->get_attribute_int("text_r", r);
      entry->get_attribute_int("text_g", g);
      entry->get_attribute_int("text_b", b);
    }
    if (all) r -= 75, g -= 75, b -= 75;
    auto channel = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
    const uint32_t colour = 0xFF000000u | channel(r) << 16 | channel(g) << 8 | channel(b);

    base::tString<base::BaseUnicodeString> text;
    bool bubble = false;
    if (!WorldServices().GetTooltipText ||
        !WorldServices().GetTooltipText(label, text, session->GetHoverTime(), bubble)) {
      base::String displayName;
      if (!entry || !entry->get_attribute_string("display_name", displayName)) continue;
      base::sys::Localize(displayName.c_str(), text);
    }
    if (text.empty()) continue;
    // Over the head, or beside it: a caption on the figure's middle covered the face, and a
    // framed one the faces of those beside it too.
    const base::tVector2<float> at = FigureCaptionCentre(GetCharacterScreenRect(character), text.c_str(), bubble);
    if (bubble)
      DrawTextBubble(at.x, at.y, text.c_str(), colour, 0xFF191919, 3.0f, false);
    else
      DrawTextCentered(at.x, at.y, text.c_str(), colour, 0xFF191919, false);
  }
  if (previous) gfx::SetFont(previous);
}

}  // namespace quillane
