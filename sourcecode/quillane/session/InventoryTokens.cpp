// The inventory tokens: table look-ups, the inventory's counts, the token bar's acquisitions
// and losses, and the three check stages with the actions a drop runs.
#include "quillane/session/InventoryTokens.h"

#include <algorithm>

#include "KRX/ScriptLoader.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/savegame/SaveSlots.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneElements.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/script/GameThread.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {
namespace {

constexpr const char* kDialogTokens = "DialogTokens";
constexpr const char* kItems = "Items";

bool Same(const char* a, const char* b) { return base::str::compare(a, b) == 0; }

void LogUnknownToken(const char* label) { base::sys::Output("ERROR: token %s is unknown.\n", label ? label : ""); }

// A check stage's first test: the token must be in the table.
bool IsListedForCheck(const char* token) {
  if (FindTokenDefinition(token)) return true;
  base::sys::Output("%s is not in token list.\n", token ? token : "");
  return false;
}

base::String Composed(const char* prefix, const char* a, const char* b = nullptr) {
  base::String name(prefix);
  name += a ? a : "";
  if (b) {
    name += "_On_";
    name += b;
  }
  return name;
}

// A check function accepts only with the result 1: a check that waits yields nil and refuses.
bool RunCheck(const char* module, const base::String& function) {
  return GameThread::Start(module, function.c_str(), base::Variant()).get_int() == 1;
}

// A check sees the token it checks as the dialogue's current token; afterwards the topic being
// played is current again, so its script's counts without a label read its own token.
class cl_CheckedToken {
 public:
  cl_CheckedToken(cl_Session& session, const char* token) : m_saved(session.GetDialogCtrl().m_CurrentToken) {
    session.GetDialogCtrl().m_CurrentToken = token;
  }
  ~cl_CheckedToken() {
    if (cl_Session* session = GetSession()) session->GetDialogCtrl().m_CurrentToken = m_saved;
  }
  cl_CheckedToken(const cl_CheckedToken&) = delete;
  cl_CheckedToken& operator=(const cl_CheckedToken&) = delete;

 private:
  base::String m_saved;
};

base::String CurrentScenePath(cl_Session& session) {
  cl_Scene* scene = session.GetScene();
  return scene ? base::String(scene->GetScriptPath().c_str()) : base::String();
}

// Starts "Play_<token>_On_<target>" of the scene script as the scene-script sequence, when the
// script has it.
void PlaySceneAction(cl_Session& session, const char* target, const char* token) {
  cl_Scene* scene = session.GetScene();
  if (!scene) return;
  const base::String path = scene->GetScriptPath().c_str();
  KRX::Require(path.c_str(), true);
  const base::String function = Composed("Play_", token, target);
  if (KRX::HasFunction(path.c_str(), function.c_str()))
    session.CallSceneScript(base::String(scene->GetName().c_str()), function, base::Variant());
}

// Runs a function of "tokens.lua" as the action queue's scene-script thread, replacing the one
// held there; the thread's stop event tells the queue when it ends.
void PlayTokenScript(cl_Session& session, const base::String& function) {
  auto* stop = new st_ScriptStopEvent();
  GameThread* thread = GameThread::CreateForFunction(kTokenScript, function.c_str(), stop);
  if (!thread) return;
  stop->m_thread = thread;
  session.GetActionQueue().m_sceneScript = thread;
  base::Variant ignored;
  GameThread::Run(ignored, thread, function.c_str(), base::Variant());
}

}  // namespace

// ---- table and inventory

const base::Variant* FindTokenDefinition(const char* label, tTokenLabel* category) {
  cl_Session* session = GetSession();
  if (!session || !label) return nullptr;
  return FindTokenDefinitionIn(&session->GetTokensTable(), label, category);
}

tTokenLabel GetTokenCategory(const char* label) {
  tTokenLabel category;
  if (FindTokenDefinition(label, &category)) return category;
  LogUnknownToken(label);
  return tTokenLabel("error");
}

base::Variant* FindOrAddInventoryToken(const char* label, bool create) {
  cl_Session* session = GetSession();
  base::Variant* state = session ? session->GetGameState() : nullptr;
  if (!state || !label) return nullptr;
  if (!state->is_element()) state->set_element("GameState");
  base::Variant* inventory = base::variant_find_or_add_element(*state, "Inventory");
  for (int i = 0; i < inventory->size(); ++i) {
    base::Variant* category = inventory->child(i);
    if (!category || !category->is_element()) continue;
    if (base::Variant* entry = base::variant_find_element_by_attribute_value(*category, "label", label)) return entry;
  }
  if (!create) return nullptr;
  tTokenLabel categoryName;
  if (!FindTokenDefinition(label, &categoryName)) {
    LogUnknownToken(label);
    return nullptr;
  }
  base::Variant* category = base::variant_find_or_add_element(*inventory, categoryName.c_str());
  base::Variant& entry = category->add_element("Token");
  entry.attribute("label")->set_string(label);
  if (!Same(categoryName.c_str(), kDialogTokens)) entry.attribute("cnt")->set_int(0);
  return &entry;
}

namespace {

// The count step shared by both acquisitions; false for an unknown token (logged).
bool AddOneToInventory(const char* token) {
  tTokenLabel category;
  if (!FindTokenDefinition(token, &category)) {
    LogUnknownToken(token);
    return false;
  }
  base::Variant* entry = FindOrAddInventoryToken(token, true);
  if (!entry) return false;
  int count = 0;
  entry->get_attribute_int("cnt", count);
  ++count;
  // A topic is known or not: asking twice does not make two.
  if (Same(category.c_str(), kDialogTokens) && count > 1) count = 1;
  entry->attribute("cnt")->set_int(count);
  return true;
}

cl_TokenBar* SessionTokenBar() {
  cl_Session* session = GetSession();
  return session ? session->GetTokenBar() : nullptr;
}

}  // namespace

base::tVector2<float> GetTokenFlyInStart(base::tVector2<float> p, int n, const base::tRectf& viewport) {
  const base::tVector2<float> start(p.x + 96.0f * static_cast<float>(n) - 32.0f, p.y - 64.0f);
  const base::tRectf inset(viewport.min.x + 32.0f, viewport.min.y + 32.0f, viewport.max.x - 128.0f,
                           viewport.max.y - 128.0f);
  return inset.clamp(start);
}

void AcquireTokenAnimated(const char* token, const char* source, int flag) {
  if (!AddOneToInventory(token)) return;
  cl_TokenBar* bar = SessionTokenBar();
  const int moving = bar ? bar->CountDragged() : 0;
  const base::tVector2<float> start = GetTokenFlyInStart(GetTokenScreenPos(source), moving, GetGameViewportRect());
  if (bar) bar->AddTokenAt(token, start.x, start.y, flag);
}

void AcquireTokenDirect(const char* token) {
  if (!AddOneToInventory(token)) return;
  if (cl_TokenBar* bar = SessionTokenBar()) bar->AddTokenDirect(token);
}

void LoseTokenFromInventory(const char* token, bool animated) {
  if (!FindTokenDefinition(token)) {
    LogUnknownToken(token);
    return;
  }
  base::Variant* entry = FindOrAddInventoryToken(token, false);
  if (!entry) return;
  int count = 0;
  entry->get_attribute_int("cnt", count);
  entry->attribute("cnt")->set_int(std::max(0, count - 1));
  if (cl_TokenBar* bar = SessionTokenBar()) bar->LoseToken(token, animated);
}

int GetTokenCount(const char* token) {
  if (!FindTokenDefinition(token)) {
    LogUnknownToken(token);
    return 0;
  }
  const base::Variant* entry = FindOrAddInventoryToken(token, false);
  int count = 0;
  if (entry) entry->get_attribute_int("cnt", count);
  return count;
}

base::tVector2<float> GetTokenScreenPos(const char* name) {
  cl_Session* session = GetSession();
  cl_Stage* stage = session ? session->GetStage() : nullptr;
  if (!stage || !name) return {};
  if (const cl_Character* character = stage->GetCharacter(name)) return stage->GetOverheadScreenPos(character);
  cl_Scene* scene = stage->GetScene();
  if (const cl_SceneHotspot* hotspot = scene ? scene->FindHotspot(name) : nullptr) {
    const base::tVector2<float> centre = hotspot->outline.GetCenter();
    return scene->SceneToScreen(centre.x, centre.y);
  }
  return {};
}

// ---- the check stages

bool IsInDialogue() {
  cl_Session* session = GetSession();
  return session && session->GetDialogCtrl().IsActive();
}

bool CallTokenHandler(const char* target, const char* token) {
  cl_Session* session = GetSession();
  if (!session || !session->GetScene()) return false;
  if (!IsListedForCheck(token)) return false;
  if (!IsInDialogue()) {
    const base::String path = CurrentScenePath(*session);
    KRX::Require(path.c_str(), true);
    const base::String function = Composed("Check_", token, target);
    if (KRX::HasFunction(path.c_str(), function.c_str())) return RunCheck(path.c_str(), function);
  }
  base::String path;
  const base::String function = Composed("Check_", token);
  if (!GetDialogScriptPath(base::String(target ? target : ""), path) || !KRX::Require(path.c_str(), false) ||
      !KRX::HasFunction(path.c_str(), function.c_str()))
    return false;
  const cl_CheckedToken current(*session, token);
  return RunCheck(path.c_str(), function);
}

bool CallSceneTokenHandler(const char* target, const char* token) {
  if (!IsListedForCheck(token)) return false;
  cl_Session* session = GetSession();
  cl_Scene* scene = session ? session->GetScene() : nullptr;
  if (!scene) return false;
  const base::String path = scene->GetScriptPath().c_str();
  const base::String function = Composed("Check_", token, target);
  if (!KRX::Require(path.c_str(), false) || !KRX::HasFunction(path.c_str(), function.c_str())) return false;
  const cl_CheckedToken current(*session, token);
  const base::Variant result = session->RunSceneScript(base::String(scene->GetName().c_str()), function, base::Variant());
  return result.get_int() == 1;
}

bool CallTokenScriptHandler(const char* target, const char* token) {
  if (!IsListedForCheck(token)) return false;
  if (!FindTokenDefinition(target)) return false;
  base::String function = Composed("Check_", token, target);
  if (KRX::HasFunction(kTokenScript, function.c_str())) return RunCheck(kTokenScript, function);
  function = Composed("Check_", target, token);
  if (KRX::HasFunction(kTokenScript, function.c_str())) return RunCheck(kTokenScript, function);
  return false;
}

// ---- the token bar's rules

bool CanUseToken(const char* token) {
  cl_TokenBar* bar = SessionTokenBar();
  if (!bar || !token) return false;
  const auto& shown = bar->GetShownLabels();
  if (std::none_of(shown.begin(), shown.end(), [token](const tTokenLabel& l) { return Same(l.c_str(), token); }))
    return false;
  if (!IsInDialogue()) {
    tTokenLabel category;
    return FindTokenDefinition(token, &category) && Same(category.c_str(), kItems);
  }
  return CallTokenHandler(GetSession()->GetDialogCtrl().m_Partner.c_str(), token);
}

bool CheckTokenOnTarget(const char* target, const char* token) {
  cl_Session* session = GetSession();
  if (!session) return false;
  // In a dialogue only the partner takes tokens, and only those the drop would play: the sign
  // shown while carrying, and the drop, follow the dialogue's check and the scene's for the
  // partner, so a refused topic goes back to the bar instead of vanishing unplayed.
  if (IsInDialogue())
    return Same(target, session->GetDialogCtrl().m_Partner.c_str()) &&
           (CallTokenHandler(target, token) || CallSceneTokenHandler(target, token));
  return CallTokenHandler(target, token) || CallSceneTokenHandler(target, token) ||
         CallTokenScriptHandler(target, token);
}

void PlayTokenHandler(const char* target, const char* token) {
  cl_Session* session = GetSession();
  if (!session) return;
  if (AutoSave_OnUserAction) WriteAutoSave(session);
  if (CallTokenHandler(target, token)) {
    if (IsInDialogue()) {
      session->GetDialogCtrl().m_CurrentToken = token;  // the topic its "Play_" counts
      session->GetDialogCtrl().Start(target, Composed("Play_", token).c_str());
      return;
    }
    PlaySceneAction(*session, target, token);
    return;
  }
  if (CallSceneTokenHandler(target, token)) PlaySceneAction(*session, target, token);
  if (!FindTokenDefinition(target)) return;
  base::String function = Composed("Play_", token, target);
  // The reverse order is run without a look: a token pair whose check accepted has one of the two.
  if (!KRX::HasFunction(kTokenScript, function.c_str())) function = Composed("Play_", target, token);
  PlayTokenScript(*session, function);
}

bool GetDropTargetName(float x, float y, tTokenLabel& name) {
  name.clear();
  cl_Session* session = GetSession();
  if (!session) return false;
  if (cl_TokenBar* bar = session->GetTokenBar()) {
    // The bar lays its tokens out in the frame the mouse is read in.
    if (bar->HitTest(x, y, name)) return true;
  }
  base::String picked;
  if (cl_Stage* stage = session->GetStage(); stage && stage->PickAt(x, y, picked)) {
    name = picked.c_str();
    return true;
  }
  name.clear();
  return false;
}

// ---- services

namespace {
const base::Variant* FindTokenDefinitionEntry(const char* label) { return FindTokenDefinition(label); }
}  // namespace

void FillTokenServices(st_InterfaceServices& services) {
  services.FindTokenDefinition = &FindTokenDefinitionEntry;
  services.CanUseToken = &CanUseToken;
  services.CallTokenHandler = &CallTokenHandler;
  services.CheckTokenOnTarget = &CheckTokenOnTarget;
  services.PlayTokenHandler = &PlayTokenHandler;
  services.GetDropTargetName = &GetDropTargetName;
}

}  // namespace quillane
