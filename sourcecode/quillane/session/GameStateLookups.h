// The session's look-ups into the game state and its read-only tables: hotspot and layer states
// kept per scene (they must survive leaving a scene and be saved, so they live in the game-state
// tree, not in the scene), locators, tooltips, cursor images and cast colours (mission values are
// core/GameState.h's).
// Every function answers its default without a session. Main thread only.
#pragma once

#include "base/math/Color.h"
#include "base/String.h"

namespace base {
class Variant;
class cl_Locator;
}  // namespace base

namespace quillane {

class cl_Character;

// Hotspots and layers of the current scene, under "Scenes/<scene>/Hotspots|Layers/<name>".
bool IsHotspotActive(const char* name);                     // unknown hotspot: false; never stored: true
void SetHotspotStateValue(const char* name, bool active);   // unknown hotspot: ignored
void SetLayerStateValue(const char* name, float value, float time);  // time <= 0 jumps at once
bool PauseLayerStrip(const char* name, bool pause, int frame);       // false: no layer or strip
bool FadeLayerStrip(const char* name, bool fade);                    // false: no layer or strip
// The stage character's locator of that name, else the scene's locator, else a default one.
base::cl_Locator GetLocatorPosition(const char* name);
cl_Character* GetStageCharacter(const char* name);  // null for a null name or without a stage

// The game state's "Tooltips", "ElaborateTooltips" and "Cursor" tables and the cast list. Texts
// come back localised. Hovering longer than kElaborateTooltipDelay seconds asks for the long text.
// (Level-of-detail options are read as levels by GetOptionIntValue in settings/OptionLevels.h.)
constexpr float kElaborateTooltipDelay = 2.0f;
bool GetTooltipText(const char* label, base::tString<base::BaseUnicodeString>& text, float hover, bool& elaborate);
bool GetElaborateTooltipText(const char* label, base::tString<base::BaseUnicodeString>& text);
bool GetCursorImage(const char* label, base::String& file);
const base::Variant* FindCastEntry(const char* name);  // the cast list's entry; null when none
base::Color32 GetCastTextColour(const char* name);     // opaque white for an unknown name

}  // namespace quillane
