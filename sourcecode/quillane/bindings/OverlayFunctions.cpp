// The overlay script functions: pictures, texts, score changes and effects laid over the game
// view for a while, and the animated texture strips of the scene's layers. Only ShowImage makes
// its caller wait: until the picture is gone or the player clicked it away.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "KRX/ScriptSystem.h"
#include "quillane/hud/OverlayMgr.h"
#include "quillane/script/GameThread.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/Session.h"

namespace quillane {
namespace {

cl_OverlayMgr* Overlays() {
  cl_Session* session = GetSession();
  return session ? session->GetOverlayMgr() : nullptr;
}

void CreateOverlay(const char* type, const char* content, float fadeIn, float hold, float fadeOut,
                   uint32_t colour = 0) {
  if (cl_OverlayMgr* overlays = Overlays())
    overlays->CreateOverlay(type, content ? content : "", fadeIn, hold, fadeOut, colour);
}

// A phase as the overlay counts it: never negative, and a time that is no number is none.
float Phase(float seconds) { return std::isfinite(seconds) ? std::max(seconds, 0.0f) : 0.0f; }

uint32_t Channel(int value) { return uint32_t(std::clamp(value, 0, 255)); }

}  // namespace
}  // namespace quillane

namespace script_bindings {

using script::GetArgBool;
using script::GetArgFloat;
using script::GetArgInt;
using script::GetArgString;

void AddOverlay(KRX::t_Interface& in) {
  const char* type = GetArgString(in, 1, "default", true);
  const char* content = GetArgString(in, 2, "default", true);
  const float fadeIn = GetArgFloat(in, 3, 0.0f, true);
  const float hold = GetArgFloat(in, 4, 0.0f, true);
  const float fadeOut = GetArgFloat(in, 5, 0.0f, true);
  quillane::CreateOverlay(type, content, fadeIn, hold, fadeOut);
}

void ShowImage(const char* image, float fadeIn, float hold, float fadeOut) {
  quillane::cl_Session* session = quillane::GetSession();
  if (!session) return;
  quillane::cl_GameActionQueue& queue = session->GetActionQueue();
  // The picture is the player's to click away, not a sequence to skip or cancel.
  queue.ForbidSkipAndCancel();
  quillane::CreateOverlay("image", image, fadeIn, hold, fadeOut);
  // Only a game thread is woken by the queue; any other caller goes on at once.
  GameThread* thread = dynamic_cast<GameThread*>(script::GetCallingThread(nullptr));
  if (!thread) {
    KRX::ReportError("ERROR: ShowImage: only a game script thread can wait; the call does not wait");
    return;
  }
  quillane::st_GameAction* action = queue.Add(thread);
  action->m_kind = "skippable_sleep";
  action->m_time = quillane::Phase(fadeIn) + quillane::Phase(hold) + quillane::Phase(fadeOut);
}

void StartEffect(const char* type, float seconds) { quillane::CreateOverlay(type, "", 0.0f, seconds, 0.0f); }

void ShowScore(KRX::t_Interface& in) {
  const char* type = GetArgString(in, 1, "default", true);
  const int amount = GetArgInt(in, 2, 0, true);
  const float fadeIn = GetArgFloat(in, 3, 0.0f, true);
  const float hold = GetArgFloat(in, 4, 0.0f, true);
  const float fadeOut = GetArgFloat(in, 5, 0.0f, true);
  if (amount <= 0) return;
  char text[16];
  std::snprintf(text, sizeof text, "%i", amount);
  quillane::CreateOverlay(type, text, fadeIn, hold, fadeOut);
}

void ShowSceneSubtitle(KRX::t_Interface& in) {
  const char* text = GetArgString(in, 1, "default", true);
  const float fadeIn = GetArgFloat(in, 2, 0.0f, true);
  const float hold = GetArgFloat(in, 3, 0.0f, true);
  const float fadeOut = GetArgFloat(in, 4, 0.0f, true);
  const uint32_t red = quillane::Channel(GetArgInt(in, 5, 255, false));
  const uint32_t green = quillane::Channel(GetArgInt(in, 6, 255, false));
  const uint32_t blue = quillane::Channel(GetArgInt(in, 7, 255, false));
  const uint32_t colour = 0xFF000000u | red << 16 | green << 8 | blue;
  quillane::CreateOverlay("text", text, fadeIn, hold, fadeOut, colour);
}

void RunTextureStrip(KRX::t_Interface& in) {
  const char* layer = GetArgString(in, 1, "default", true);
  const bool pause = GetArgBool(in, 2, false, true);
  const int frame = GetArgInt(in, 3, -1, false);
  quillane::PauseLayerStrip(layer, pause, frame);
}

void ShowTextureStrip(KRX::t_Interface& in) {
  const char* layer = GetArgString(in, 1, "default", true);
  const bool fade = GetArgBool(in, 2, false, true);
  quillane::FadeLayerStrip(layer, fade);
}

}  // namespace script_bindings
