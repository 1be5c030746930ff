// The script functions for scene state and the screen: switching a hotspot in the game state,
// fading the screen and reading a numeric option. None of them makes the script wait.
#include <cstdio>

#include "base/data/Variant.h"
#include "base/system.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/Session.h"

namespace script_bindings {

void SetHotspotState(KRX::t_Interface& in) {
  const char* name = script::GetArgString(in, 1, "default", true);
  const int state = script::GetArgInt(in, 2, 0, true);
  quillane::SetHotspotStateValue(name, state != 0);
}

void Fade(KRX::t_Interface& in) {
  const int direction = script::GetArgInt(in, 1, 0, true);
  const float duration = script::GetArgFloat(in, 2, 0.0f, false);
  const char* text = script::GetArgString(in, 3, "", false);
  const int flags = script::GetArgInt(in, 4, 0, false);
  quillane::cl_Session* session = quillane::GetSession();
  if (!session) return;
  session->GetFader().Start(direction != 0, duration, text ? text : "", static_cast<uint32_t>(flags));
}

float GetOptionValue(const char* path) {
  char name[512];
  std::snprintf(name, sizeof name, "%s/Value", path ? path : "");
  const base::Variant* value = base::sys::GetOptionValue(name);
  // Scripts multiply by options such as volumes: a missing one must not silence anything.
  return value && !value->is_void() ? value->get_float() : 1.0f;
}

}  // namespace script_bindings
