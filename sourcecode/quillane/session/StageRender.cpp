// Drawing the stage: the scene's layers with the characters depth-sorted among its stage layers,
// mirror images and shadows, the debug overlays, and the characters' hover tooltips.
#include <algorithm>
#include <cfloat>
#include <cstring>
#include <vector>

#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/scene/Scene.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/OptionLevels.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/world/WorldServices.h"

namespace quillane {

namespace {

constexpr int kCameraPeekKey = 0x43;  // 'C': the developers' view from closer in
constexpr uint32_t kShadowColour = 0xFF30281Eu;

// One entry of the depth list: a character or a stage layer.
struct st_DepthEntry {
  float key;
  cl_Character* character;
  cl_Layer* layer;
};

int ReflectionsOption() {
  const base::Variant* value = base::sys::GetOptionValue("Gfx/Reflections/Value");
  return value ? value->get_int() : 1;
}

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
  const float x0 = screenRect.min.x, y0 = screenRect.min.y, x1 = screenRect.max.x, y1 = screenRect.max.y;
  base::cl_Camera& camera = m_scene->GetCamera();
  float cx0, cy0, cx1, cy1;
  camera.GetViewportRect(cx0, cy0, cx1, cy1);
  if (cx0 != x0 || cy0 != y0 || cx1 != x1 || cy1 != y1) {
    camera.SetViewportRect(x0, y0, x1, y1);
    m_scene->UpdateViewFromCamera();
  }
  float zNear, zFar;
  camera.GetClippingRange(zNear, zFar);
  gfx::SetViewportRect(x0, y0, x1, y1, zNear, zFar);
  // Layers are flat pictures drawn in 2D; characters, their mirror images and shadows in 3D
  // through the scene camera.
  auto begin3D = [&camera]() {
    gfx::Begin3D();
    gfx::SetCamera(&camera);
  };
  begin3D();
  gfx::EnableLighting(0xFF3C3C3C);
  gfx::SetDirectionalLight(camera.GetLookDir(), 0xFFB4A0A0);

  gfx::Begin2D();
  cl_Layer* blur = m_blur ? m_scene->FindSpecialFXLayer("blur") : nullptr;
  if (blur)
    blur->Render(x0, y0, x1, y1);
  else
    m_scene->RenderBackgroundLayers(x0, y0, x1, y1);

  cl_Layer* mirrorMask = m_scene->FindSpecialFXLayer("mirrormask");
  cl_Layer* shadowMask = m_scene->FindSpecialFXLayer("shadowmask");
  const bool mirrors = mirrorMask && ReflectionsOption() == 1;

  std::vector<st_DepthEntry> depth;
  bool mirrored = false;
  begin3D();
  for (cl_Character* character : m_characters) {
    const base::tVector3<float>& p = character->GetPosition();
    if (mirrors) {
      m_scene->SetupLightsAt(p);
      character->RenderMirror(&camera);
      mirrored = true;
    }
    depth.push_back({camera.GetZDistance(p), character, nullptr});
  }
  if (mirrored) gfx::ClearZBuffer();
  gfx::Begin2D();
  if (mirrorMask) mirrorMask->Render(x0, y0, x1, y1);

  begin3D();
  for (cl_Character* character : m_characters) {
    const base::tVector3<float>& p = character->GetPosition();
    for (const cl_SceneLight* light : m_scene->Lights) {
      if (light->kind == LIGHT_BLOBSHADOW) {
        character->RenderBlobShadow();
      } else if (light->kind == LIGHT_PROJECTIONSHADOW) {
        // Cast from the light's position onto the floor under the character.
        const float height = light->vector.y - p.y;
        if (height < 1.0f) continue;
        const float a = -(light->vector.x - p.x) / height, b = -(light->vector.z - p.z) / height;
        character->RenderProjectedShadow(a, b, p, kShadowColour, &camera);
      }
    }
  }
  gfx::Begin2D();
  if (shadowMask) shadowMask->Render(x0, y0, x1, y1);

  // Stage layers sort by their y-sort line cast onto the floor.
  for (cl_Layer* layer : m_scene->StageElements) {
    const base::tVector2<float> screen = m_scene->SceneToScreen(layer->GetX(), static_cast<float>(layer->GetYSort()));
    base::tVector3<float> world;
    const float key = m_scene->PickRay(screen.x, screen.y, world) ? camera.GetZDistance(world) : -FLT_MAX;
    depth.push_back({key, nullptr, layer});
  }
  std::stable_sort(depth.begin(), depth.end(),
                   [](const st_DepthEntry& a, const st_DepthEntry& b) { return a.key < b.key; });

  base::cl_Camera peek = camera;
  const bool peeking = Debug_KeysEnabled && base::sys::KeyState(kCameraPeekKey);
  if (peeking) {
    peek.MoveForward(700.0f);
    peek.MoveUp(-80.0f);
  }
  for (const st_DepthEntry& entry : depth) {
    if (entry.layer) {
      gfx::Begin2D();
      entry.layer->Render(x0, y0, x1, y1);
      continue;
    }
    gfx::Begin3D();
    gfx::SetCamera(peeking ? &peek : &camera);
    m_scene->SetupLightsAt(entry.character->GetPosition());
    entry.character->Render(peeking ? &peek : &camera);
  }

  gfx::Begin2D();
  m_scene->RenderForegroundLayers(x0, y0, x1, y1);
  gfx::SetCamera(&camera);  // the debug shapes of locators and nav meshes are placed in the world
  m_scene->RenderDebug();
  gfx::Begin2D();
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
    if (!WorldServices().GetTooltipText || !WorldServices().GetTooltipText(label, text, session->GetHoverTime(), bubble)) {
      base::String displayName;
      if (!entry || !entry->get_attribute_string("display_name", displayName)) continue;
      base::sys::Localize(displayName.c_str(), text);
    }
    if (text.empty()) continue;
    const base::tRectf rect = GetCharacterScreenRect(character);
    const float x = (rect.min.x + rect.max.x) * 0.5f, y = (rect.min.y + rect.max.y) * 0.5f - 48.0f;
    if (bubble)
      DrawTextBubble(x, y, text.c_str(), colour, 0xFF191919, 3.0f, false);
    else
      DrawTextCentered(x, y, text.c_str(), colour, 0xFF191919, false);
  }
  if (previous) gfx::SetFont(previous);
}

}  // namespace quillane
