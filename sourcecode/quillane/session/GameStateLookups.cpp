// Placeholder bodies until the look-ups are built: each gives its answer without a session.
#include "quillane/session/GameStateLookups.h"

#include "graphics/Camera.h"

namespace quillane {

bool IsHotspotActive(const char*) { return true; }
void SetHotspotStateValue(const char*, bool) {}
void SetLayerStateValue(const char*, float, float) {}
bool PauseLayerStrip(const char*, bool, int) { return false; }
bool FadeLayerStrip(const char*, bool) { return false; }
base::cl_Locator GetLocatorPosition(const char*) { return base::cl_Locator(); }
cl_Character* GetStageCharacter(const char*) { return nullptr; }
bool GetTooltipText(const char*, base::tString<base::BaseUnicodeString>&, float, bool&) { return false; }
bool GetElaborateTooltipText(const char*, base::tString<base::BaseUnicodeString>&) { return false; }
bool GetCursorImage(const char*, base::String&) { return false; }
const base::Variant* FindCastEntry(const char*) { return nullptr; }
base::Color32 GetCastTextColour(const char*) { return base::Color32(255, 255, 255, 255); }
void SetMissionState(const char*, int) {}

}  // namespace quillane
