// The script functions that change what the player sees around the scene: tokens shown in or
// hidden from the token bar, the tooltip, elaborate tooltip and cursor of a label (kept in the
// game state, so that they are saved with the game), and the end of the game.
#include "base/data/VariantTools.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "quillane/core/FrameServices.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/Session.h"
#include "sound/Sfx.h"

namespace quillane {
namespace {

void SetTokenShown(const char* label, bool shown, bool animated) {
  cl_Session* session = GetSession();
  cl_TokenBar* bar = session ? session->GetTokenBar() : nullptr;
  if (bar && label) bar->SetTokenVisible(label, shown, animated);
}

// The table's child with that label gets the value; a label not there yet gets a new child.
// Other attributes of an existing child stay as they are.
void Upsert(const char* table, const char* child, const char* valueName, const char* label, const char* value) {
  cl_Session* session = GetSession();
  if (!session || !label || !value) return;
  base::Variant* element = base::variant_get_element_by_path(*session->GetGameState(), table, true);
  if (!element || !element->is_element()) return;
  base::Variant* entry = base::variant_find_element_by_attribute_value(*element, "label", label);
  if (!entry) {
    entry = &element->add_element(child);
    entry->attribute("label")->set_string(label);
  }
  entry->attribute(valueName)->set_string(value);
}

// The label and value arguments of the three table functions.
void UpsertFromArgs(KRX::t_Interface& in, const char* table, const char* child, const char* valueName) {
  const char* label = script::GetArgString(in, 1, "default", true);
  const char* value = script::GetArgString(in, 2, "default", true);
  Upsert(table, child, valueName, label, value);
}

}  // namespace
}  // namespace quillane

namespace script_bindings {

void ShowToken(const char* label, bool animated) { quillane::SetTokenShown(label, true, animated); }
void HideToken(const char* label, bool animated) { quillane::SetTokenShown(label, false, animated); }

void SetTooltip(KRX::t_Interface& in) { quillane::UpsertFromArgs(in, "Tooltips", "Tooltip", "text"); }
void SetElaborateTooltip(KRX::t_Interface& in) { quillane::UpsertFromArgs(in, "ElaborateTooltips", "Tooltip", "text"); }
void SetCursor(KRX::t_Interface& in) { quillane::UpsertFromArgs(in, "Cursor", "Cursor", "filename"); }

void GameOver() {
  quillane::cl_Session* session = quillane::GetSession();
  if (!session) return;
  // The world, the queue and the mini-games stand still from now on; once the screen is covered
  // the session's update ends the game and returns to the root menu.
  session->SetPaused(true);
  session->SetRequest("mainmenu");
  session->GetFader().Start(true, 0.5f, "", 0);
  FadeOutAllSoundGroups();
  sfx::RemoveAllFx();
  SetCursorHidden(false);
  gfx::SetCursor(nullptr, gfx::TextureExists("gamecursor"));
}

}  // namespace script_bindings
