// The session's look-ups into the game state and its tables. Every answer is asked afresh of
// GetSession(): the world and the interface call in while no game runs, and the stage and its
// scene are replaced with every scene change.
#include "quillane/session/GameStateLookups.h"

#include <algorithm>
#include <cmath>

#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/character/Character.h"
#include "quillane/scene/Layer.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneElements.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"

namespace quillane {
namespace {

cl_Scene* CurrentScene() {
  cl_Session* session = GetSession();
  return session ? session->GetScene() : nullptr;
}

// "Scenes/<scene>/<group>/<name>": the states outlive the scene object, which every load rebuilds.
base::String StatePath(const cl_Scene& scene, const char* group, const char* name) {
  base::String path("Scenes/");
  path += scene.GetName().c_str();
  path += "/";
  path += group;
  path += "/";
  path += name;
  return path;
}

// The layer's strip, or null when the scene, the layer or its strip is missing.
gfx::cl_TextureStrip* LayerStrip(const char* name) {
  cl_Scene* scene = CurrentScene();
  cl_Layer* layer = scene && name ? scene->FindLayer(name) : nullptr;
  return layer ? layer->GetStrip() : nullptr;
}

// The strip's pause in the sense the scripts use: unpausing with a frame jumps to that frame and
// leaves the strip as it was; anything else pauses or resumes it, and pausing drops a pending stop
// at a frame.
void SetStripPaused(gfx::cl_TextureStrip& strip, bool pause, int frame) {
  if (!pause && frame != -1) {
    strip.SetPlaying(false, frame, true);
  } else if (pause) {
    strip.SetPlaying(true);  // clears the frame it was running to
    strip.SetPlaying(false);
  } else {
    strip.SetPlaying(true);
  }
}

// The child of the game state's table with "label" = label; null without a session or table.
const base::Variant* FindTableEntry(const char* table, const char* label) {
  cl_Session* session = GetSession();
  if (!session || !label) return nullptr;
  base::Variant* element = (*session->GetGameState())(table);
  return element ? base::variant_find_element_by_attribute_value(*element, "label", label) : nullptr;
}

// The entry's text attribute, localised (it may be a text key); empty when it has none.
void EntryText(const base::Variant& entry, base::tString<base::BaseUnicodeString>& text) {
  base::String raw;
  entry.get_attribute_string("text", raw);
  text.clear();
  if (!raw.empty()) base::sys::Localize(raw.c_str(), text);
}

}  // namespace

// ---- hotspots, layers, locators

bool IsHotspotActive(const char* name) {
  cl_Session* session = GetSession();
  cl_Scene* scene = session ? session->GetScene() : nullptr;
  if (!scene || !name || !scene->FindHotspot(name)) return false;
  // Asking must never add keys: the game state is saved as it stands.
  const base::Variant* stored =
      base::variant_get_attribute_by_path(*session->GetGameState(), StatePath(*scene, "Hotspots", name).c_str(), false);
  return !stored || stored->is_void() || stored->get_int() != 0;
}

void SetHotspotStateValue(const char* name, bool active) {
  cl_Session* session = GetSession();
  cl_Scene* scene = session ? session->GetScene() : nullptr;
  if (!scene || !name || !scene->FindHotspot(name)) return;
  base::Variant* stored =
      base::variant_get_attribute_by_path(*session->GetGameState(), StatePath(*scene, "Hotspots", name).c_str(), true);
  if (stored) stored->set_int(active ? 1 : 0);
}

void SetLayerStateValue(const char* name, float value, float time) {
  cl_Session* session = GetSession();
  cl_Scene* scene = session ? session->GetScene() : nullptr;
  cl_Layer* layer = scene && name ? scene->FindLayer(name) : nullptr;
  // A value that is no number would poison the saved state and the layer's fade for good.
  if (!layer || !std::isfinite(value)) return;
  if (!std::isfinite(time)) time = -1.0f;
  base::Variant* stored =
      base::variant_get_attribute_by_path(*session->GetGameState(), StatePath(*scene, "Layers", name).c_str(), true);
  if (stored) stored->set_float(value);
  layer->m_targetAlpha = value;
  layer->m_fadeDuration = time;
  // No time to fade in (0 as well as negative): the layer takes the value at once, or it would
  // never move, since it fades only for a positive time.
  if (time <= 0.0f) layer->m_alpha = value;
}

bool PauseLayerStrip(const char* name, bool pause, int frame) {
  gfx::cl_TextureStrip* strip = LayerStrip(name);
  if (!strip) return false;
  SetStripPaused(*strip, pause, frame);
  return true;
}

bool FadeLayerStrip(const char* name, bool fade) {
  gfx::cl_TextureStrip* strip = LayerStrip(name);
  if (!strip) return false;
  SetStripPaused(*strip, fade, 0);
  strip->SetFade(fade);
  return true;
}

base::cl_Locator GetLocatorPosition(const char* name) {
  cl_Session* session = GetSession();
  cl_Stage* stage = session ? session->GetStage() : nullptr;
  if (!stage || !name) return base::cl_Locator();
  if (cl_Character* character = stage->GetCharacter(name)) return character->locator;
  cl_Scene* scene = stage->GetScene();
  if (cl_SceneLocator* locator = scene ? scene->FindLocator(name) : nullptr) return locator->locator;
  return base::cl_Locator();
}

cl_Character* GetStageCharacter(const char* name) {
  cl_Session* session = GetSession();
  cl_Stage* stage = session ? session->GetStage() : nullptr;
  return stage && name ? stage->GetCharacter(name) : nullptr;
}

// ---- tooltips, cursors, cast

bool GetTooltipText(const char* label, base::tString<base::BaseUnicodeString>& text, float hover, bool& elaborate) {
  if (!GetSession()) return false;
  elaborate = false;
  // The long text only after a real pause over the object, not at the two-second mark itself.
  if (hover > kElaborateTooltipDelay && GetElaborateTooltipText(label, text)) {
    elaborate = true;
    return true;
  }
  const base::Variant* entry = FindTableEntry("Tooltips", label);
  if (!entry) return false;
  EntryText(*entry, text);
  return true;
}

bool GetElaborateTooltipText(const char* label, base::tString<base::BaseUnicodeString>& text) {
  const base::Variant* entry = FindTableEntry("ElaborateTooltips", label);
  if (!entry) return false;
  EntryText(*entry, text);
  return true;
}

bool GetCursorImage(const char* label, base::String& file) {
  const base::Variant* entry = FindTableEntry("Cursor", label);
  if (!entry) return false;
  file.clear();
  entry->get_attribute_string("filename", file);
  return true;
}

const base::Variant* FindCastEntry(const char* name) {
  cl_Session* session = GetSession();
  if (!session || !name) return nullptr;
  // The table is read-only; the search helper only walks it.
  auto& cast = const_cast<base::Variant&>(session->GetCastList());
  return base::variant_find_element_by_attribute_value(cast, "label", name);
}

base::Color32 GetCastTextColour(const char* name) {
  const base::Variant* entry = FindCastEntry(name);
  if (!entry) return base::Color32(255, 255, 255, 255);
  // The list is hand-edited: a value outside a byte is held at its end rather than wrapped.
  auto channel = [entry](const char* attribute) {
    int value = 255;
    entry->get_attribute_int(attribute, value);
    return static_cast<unsigned char>(std::clamp(value, 0, 255));
  };
  return base::Color32(channel("text_r"), channel("text_g"), channel("text_b"), 255);
}

}  // namespace quillane
