#include "quillane/hud/InterfaceServices.h"

#include "base/data/Variant.h"
#include "graphics/video/VideoFunctions.h"

st_InterfaceServices& InterfaceServices() {
  static st_InterfaceServices services;
  return services;
}

namespace {

template <typename R, typename F, typename... A>
R Ask(F entry, R empty, A... args) {
  return entry ? entry(args...) : empty;
}

}  // namespace

namespace hud {

base::Variant* GameState() { return Ask<base::Variant*>(InterfaceServices().GetGameState, nullptr); }

const base::Variant* FindTokenDefinition(const char* label) {
  const st_InterfaceServices& s = InterfaceServices();
  if (s.FindTokenDefinition) return s.FindTokenDefinition(label);
  return FindTokenDefinitionIn(s.GetTokenTable ? s.GetTokenTable() : nullptr, label);
}

bool CanUseToken(const char* token) { return Ask(InterfaceServices().CanUseToken, false, token); }
bool CallTokenHandler(const char* target, const char* token) {
  return Ask(InterfaceServices().CallTokenHandler, false, target, token);
}
bool CheckTokenOnTarget(const char* target, const char* token) {
  return Ask(InterfaceServices().CheckTokenOnTarget, false, target, token);
}
void PlayTokenHandler(const char* target, const char* token) {
  if (InterfaceServices().PlayTokenHandler) InterfaceServices().PlayTokenHandler(target, token);
}
bool GetTooltipText(const char* label, base::tString<base::BaseUnicodeString>& text, float hover, bool& special) {
  special = false;
  auto entry = InterfaceServices().GetTooltipText;
  return entry && entry(label, text, hover, special);
}
bool IsDialogActive() { return Ask(InterfaceServices().IsDialogActive, false); }
int GetDialogPendingCount() { return Ask(InterfaceServices().GetDialogPendingCount, 0); }
const char* GetDialogPartner() {
  const char* partner = Ask<const char*>(InterfaceServices().GetDialogPartner, "");
  return partner ? partner : "";
}
bool IsPlayerFree() { return Ask(InterfaceServices().IsPlayerFree, true); }
bool HasForegroundAction() { return Ask(InterfaceServices().HasForegroundAction, false); }
bool IsCutscene() { return Ask(InterfaceServices().IsCutscene, false); }
const char* GetCurrentActionName() {
  const char* name = Ask<const char*>(InterfaceServices().GetCurrentActionName, "");
  return name ? name : "";
}
bool IsDiaryVisible() { return Ask(InterfaceServices().IsDiaryVisible, false); }
bool IsSceneJustLoaded() { return Ask(InterfaceServices().IsSceneJustLoaded, false); }
bool GetSceneHeight(float& height) {
  auto entry = InterfaceServices().GetSceneHeight;
  return entry && entry(height);
}
bool IsVideoPlaying() {
  auto entry = InterfaceServices().IsVideoPlaying;
  return entry ? entry() : gfx::IsVideoPlaying();
}
float GetVideoTime() {
  auto entry = InterfaceServices().GetVideoTime;
  return entry ? entry() : gfx::GetVideoTime();
}

}  // namespace hud

const base::Variant* FindTokenDefinitionIn(const base::Variant* table, const char* label,
                                           base::tString<base::BaseString>* category) {
  if (!table || !label) return nullptr;
  for (int c = 0; c < table->size(); ++c) {
    const base::Variant* group = table->child(c);
    if (!group || !group->is_element()) continue;
    for (int i = 0; i < group->size(); ++i) {
      const base::Variant* entry = group->child(i);
      if (!entry || !entry->is_element()) continue;
      const base::Variant* l = entry->get_attribute("label");
      if (!l || base::str::compare(l->get_string(), label) != 0) continue;
      if (category) *category = group->get_label() ? group->get_label() : "";
      return entry;
    }
  }
  return nullptr;
}
