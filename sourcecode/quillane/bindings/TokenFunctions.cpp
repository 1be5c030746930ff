// The script functions that read and change the player's tokens, keep mission values in the
// game state, and move the scene view: zooming onto hotspots and characters, mapping characters
// to scene points and setting the state of scene layers.
#include <algorithm>
#include <cmath>

#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "quillane/bindings/CharacterScript.h"
#include "quillane/character/Character.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneElements.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/InventoryTokens.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"

namespace script_bindings {

using quillane::cl_Character;
using tScenePoint = base::tVector2<float>;

namespace {

// A dialogue's "Play_" + label function yields the label when it calls UseToken without one.
constexpr int kPlayPrefixLength = 5;
// ZoomIn frames the characters with this much room around them.
constexpr float kZoomMargin = 1.2f;

quillane::cl_Session* Session() { return quillane::GetSession(); }

quillane::cl_Scene* ScriptScene() {
  quillane::cl_Stage* stage = GetScriptStage();
  return stage ? stage->GetScene() : nullptr;
}

base::Variant* MissionsValue(const char* key, bool create) {
  quillane::cl_Session* session = Session();
  if (!session || !key) return nullptr;
  base::Variant& state = *session->GetGameState();
  if (create && !state.is_element()) state.set_element("GameState");
  base::String path("Missions/");
  path += key;
  return base::variant_get_attribute_by_path(state, path.c_str(), create);
}

// The token's "use_cnt" (1 when missing) counted up by one.
void CountUse(base::Variant& element) {
  int uses = 0;
  element.get_attribute_int("use_cnt", uses);
  element.attribute("use_cnt")->set_int(uses + 1);
}

// The scene point of the character's position raised by lift world units.
tScenePoint RaisedScenePoint(quillane::cl_Scene& scene, const cl_Character& character, float lift) {
  base::tVector3<float> p = character.GetPosition();
  p.y += lift;
  return scene.WorldToScene(p);
}

}  // namespace

// ---- tokens

int GotToken(const char* label) { return quillane::GetTokenCount(label) > 0 ? 1 : 0; }

int GetTokenCnt(const char* label) { return quillane::GetTokenCount(label); }

void UseToken(KRX::t_Interface& in) {
  base::String label;
  if (const char* given = script::GetArgString(in, 1, nullptr, false)) {
    label = given;
  } else {
    // The caller's name less its "Play_": a shorter name leaves no label, never a read past it.
    const char* caller = in.m_thread ? in.m_thread->GetFunctionName() : nullptr;
    if (caller && base::str::len(caller) > kPlayPrefixLength) label = caller + kPlayPrefixLength;
  }
  const char* module = in.m_thread ? in.m_thread->GetModuleName() : nullptr;
  base::Variant* token = label.empty() ? nullptr : quillane::FindOrAddInventoryToken(label.c_str(), false);
  if (!token) {
    script::ReportError(in, "Token %s has not been acquired yet.", label.c_str());
    return;
  }
  CountUse(*token);
  if (module && *module) {
    base::Variant* user = base::variant_find_element_by_attribute_value_case_insensitiv(*token, "label", module);
    if (!user) {
      user = &token->add_element("Character");
      user->attribute("label")->set_string(module);
    }
    CountUse(*user);
  }
  quillane::cl_Session* session = Session();
  if (cl_TokenBar* bar = session ? session->GetTokenBar() : nullptr) {
    bar->UseToken(label.c_str());
    bar->RefreshTokens();
  }
}

int TimesTokenBeenUsedOn(KRX::t_Interface& in) {
  quillane::cl_Session* session = Session();
  if (!session) return 0;
  const quillane::cl_DialogCtrl& dialog = session->GetDialogCtrl();
  const char* label = script::GetArgString(in, 1, dialog.m_CurrentToken.c_str(), false);
  const char* user = script::GetArgString(in, 2, dialog.m_Partner.c_str(), false);
  base::Variant* token = quillane::FindOrAddInventoryToken(label, false);
  base::Variant* entry =
      token ? base::variant_find_element_by_attribute_value_case_insensitiv(*token, "label", user) : nullptr;
  int uses = 0;
  if (entry) entry->get_attribute_int("use_cnt", uses);
  return uses;
}

void AcquireToken(KRX::t_Interface& in) {
  const char* label = script::GetArgString(in, 1, "default", true);
  script::GetArgBool(in, 2, true, false);  // read for its place; the bar is told flag 2
  base::String target = script::GetArgString(in, 3, "", false);
  quillane::cl_Session* session = Session();
  cl_TokenBar* bar = session ? session->GetTokenBar() : nullptr;
  if (target.empty() && bar && bar->IsDialogMode()) target = session->GetDialogCtrl().m_Partner;
  if (target == "inventory")
    quillane::AcquireTokenDirect(label);
  else
    quillane::AcquireTokenAnimated(label, target.c_str(), 2);
}

void LooseToken(KRX::t_Interface& in) {
  const char* label = script::GetArgString(in, 1, "default", true);
  script::GetArgBool(in, 2, true, false);
  if (!quillane::FindTokenDefinition(label)) {
    script::ReportError(in, "Token %s unknown.", label);
    return;
  }
  quillane::LoseTokenFromInventory(label, true);
}

// ---- mission values

void SetValue(KRX::t_Interface& in) {
  quillane::cl_Session* session = Session();
  if (session) session->GetActionQueue().ForbidCancel();
  const char* key = script::GetArgString(in, 1, "default", true);
  base::Variant* value = MissionsValue(key, true);
  if (!value) return;
  const KRX::Var* given = in.GetParam(1);
  if (given && given->IsNumber())
    value->set_float(given->ToFloat());
  else if (given && given->IsString())
    value->set_string(given->GetString());
  else if (given && given->IsBool())
    value->set_int(given->ToBool() ? 1 : 0);
  else
    value->set_nil();
}

KRX::Var GetValue(KRX::t_Interface& in) {
  const char* key = script::GetArgString(in, 1, "default", true);
  const base::Variant* value = MissionsValue(key, false);
  if (!value) return KRX::Var();
  // A stored boolean is an int, so it reads back as 1.0 or 0.0.
  if (value->is_number()) return KRX::Var(value->get_float());
  if (value->is_string()) return KRX::Var(value->get_string());
  return KRX::Var();
}

// ---- the view

void ZoomIn(KRX::t_Interface& in) {
  quillane::cl_Stage* stage = GetScriptStage();
  quillane::cl_Scene* scene = stage ? stage->GetScene() : nullptr;
  if (!scene) return;
  if (const char* name = script::GetArgString(in, 1, nullptr, false)) {
    if (quillane::cl_SceneHotspot* hotspot = scene->FindHotspot(name)) {
      const base::tRectf bounds = hotspot->outline.GetBounds();
      if (!scene->ZoomToRect(bounds.min.x, bounds.min.y, bounds.max.x, bounds.max.y))
        script::ReportError(in, "ZoomIn: hotspot %s has no area to zoom to.", name);
      return;
    }
  }
  const float factor = script::GetArgFloat(in, 1, 1.0f, false);
  cl_Character* who = FindCharacter(script::GetArgString(in, 2, nullptr, false));
  if (!who) who = stage->GetPlayerCharacter();
  if (!who) return;
  base::tRectf r = stage->GetCharacterScreenRect(who);
  if (cl_Character* other = FindCharacter(script::GetArgString(in, 3, nullptr, false))) {
    const base::tRectf o = stage->GetCharacterScreenRect(other);
    r.extend(o.min).extend(o.max);
  }
  const tScenePoint a = scene->ScreenToScene(r.min.x, r.min.y), b = scene->ScreenToScene(r.max.x, r.max.y);
  const tScenePoint centre((a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f);
  float left = centre.x + (a.x - centre.x) * kZoomMargin, top = centre.y + (a.y - centre.y) * kZoomMargin;
  float right = centre.x + (b.x - centre.x) * kZoomMargin, bottom = centre.y + (b.y - centre.y) * kZoomMargin;
  bottom = top + (bottom - top) * factor;
  bottom = std::min(bottom, scene->GetHeight());
  // An empty frame would mean an endless zoom: the view stays as it was.
  if (!(right - left > 0.0f) || !(bottom - top > 0.0f) || !std::isfinite(right - left) ||
      !std::isfinite(bottom - top)) {
    script::ReportError(in, "ZoomIn: nothing to zoom to (factor %g).", static_cast<double>(factor));
    return;
  }
  scene->ZoomToRect(left, top, right, bottom);
}

void ZoomOut() {
  if (quillane::cl_Scene* scene = ScriptScene()) scene->SetZoom(1.0f);
}

void ZoomOnCharacter(const char* name, float low, float high, float shift) {
  quillane::cl_Scene* scene = ScriptScene();
  cl_Character* character = GetCharacterOrReport(name);
  if (!scene || !character) return;
  // The shift is measured against the height between the two marks, which must differ.
  if (high == low || !std::isfinite(high - low)) {
    KRX::ReportError("ZoomOnCharacter: low and high must differ (both %g).\n", static_cast<double>(low));
    return;
  }
  const float s = scene->GetCharacterScale();
  const tScenePoint a = RaisedScenePoint(*scene, *character, s * low);
  const tScenePoint b = RaisedScenePoint(*scene, *character, s * high);
  const float h = a.y - b.y, w = 1.6f * h, m = h * shift / (high - low);
  if (!scene->ZoomToRect(b.x - w * 0.5f - m, b.y, a.x + w * 0.5f - m, a.y))
    KRX::ReportError("ZoomOnCharacter: %s gives no area to zoom to.\n", name);
}

namespace {

// The scene point of the character; false (reported) for no name or no such character.
bool CharacterScenePoint(const char* name, tScenePoint& out) {
  quillane::cl_Scene* scene = ScriptScene();
  cl_Character* character = GetCharacterOrReport(name);
  if (!scene || !character) return false;
  out = RaisedScenePoint(*scene, *character, 0.0f);
  return true;
}

}  // namespace

float ScenePosX(const char* name) {
  tScenePoint p;
  return CharacterScenePoint(name, p) ? p.x : -1.0f;
}

float ScenePosY(const char* name) {
  tScenePoint p;
  return CharacterScenePoint(name, p) ? p.y : -1.0f;
}

void SetLayerState(KRX::t_Interface& in) {
  const char* layer = script::GetArgString(in, 1, "default", true);
  const float value = script::GetArgFloat(in, 2, 0.0f, true);
  const float time = script::GetArgFloat(in, 3, -1.0f, false);
  quillane::SetLayerStateValue(layer, value, time);
}

}  // namespace script_bindings
