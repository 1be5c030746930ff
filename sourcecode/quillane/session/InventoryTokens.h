// The inventory tokens: the glue between the token table ("GUI/tokens/tokens.xml"), the
// game state's "Inventory", the token bar and the story scripts. It says whether a label is a
// token and of which category, how many the player holds, whether a token may be picked up or
// dropped on a target, and what runs when it is dropped: script functions with composed names
// ("Check_"/"Play_" + token + "_On_" + target, "Check_"/"Play_" + token) looked up in the scene
// script, the target's dialogue script and "tokens.lua", in that order. Main thread only.
#pragma once

#include "base/String.h"
#include "base/math/Limit.h"
#include "base/math/Vector.h"

namespace base {
class Variant;
}

struct st_InterfaceServices;

namespace quillane {

using tTokenLabel = base::tString<base::BaseString>;

inline constexpr const char* kTokenScript = "tokens.lua";

// The token-table entry labelled label (the first among the categories); category (when given)
// gets the category element's name. Null without a session or for an unknown label.
const base::Variant* FindTokenDefinition(const char* label, tTokenLabel* category = nullptr);
// The category of the label; "error" after "ERROR: token <label> is unknown." for an unknown one.
tTokenLabel GetTokenCategory(const char* label);
// The inventory's "Token" entry of label. Missing and create: appended under its category
// ("cnt" 0, none for "DialogTokens"); null when not created or the label is unknown (logged).
base::Variant* FindOrAddInventoryToken(const char* label, bool create);

// One more of the token (dialogue topics stay at 1), flying into the token bar from the screen
// point of source (a character or hotspot). flag is handed to the bar unchanged.
void AcquireTokenAnimated(const char* token, const char* source, int flag);
// One more of the token, popping into the bar without a start point.
void AcquireTokenDirect(const char* token);
// One less (never below 0); the bar drops the token whatever count remains. Nothing for a
// token never held.
void LoseTokenFromInventory(const char* token, bool animated);
// "cnt" of the inventory entry; 0 when not held, 0 (logged) for an unknown token.
int GetTokenCount(const char* token);
// The overhead point of the stage character of that name, else the screen centre of the
// scene's hotspot; (0, 0) for neither.
base::tVector2<float> GetTokenScreenPos(const char* name);
// Where an acquired token starts flying: from p, 96 px right per token already animating (n),
// raised by 64, kept inside the viewport less 32 px at left and top and 128 px at right and bottom.
base::tVector2<float> GetTokenFlyInStart(base::tVector2<float> p, int n, const base::tRectf& viewport);

// ---- the token rules the token bar asks
// The player may pick the token up: it is shown in the bar and, outside a dialogue, an item;
// in a dialogue the partner's check decides.
bool CanUseToken(const char* token);
// A drop of token on target is accepted: in a dialogue exactly on the partner, otherwise when
// one of the three check stages accepts.
bool CheckTokenOnTarget(const char* target, const char* token);
// Runs what the drop does (after the automatic save when AutoSave_OnUserAction is on).
void PlayTokenHandler(const char* target, const char* token);
// The token-bar token under the screen point, else the stage's character or hotspot; false
// (name emptied) for nothing.
bool GetDropTargetName(float x, float y, tTokenLabel& name);

// ---- the three check stages: each accepts only when its check function returns exactly 1
// Scene script "Check_<token>_On_<target>" outside a dialogue, else the dialogue script
// "Check_<token>" of target.
bool CallTokenHandler(const char* target, const char* token);
// Scene script "Check_<token>_On_<target>", run through the session.
bool CallSceneTokenHandler(const char* target, const char* token);
// "tokens.lua": "Check_<token>_On_<target>", else "Check_<target>_On_<token>"; both must be tokens.
bool CallTokenScriptHandler(const char* target, const char* token);

// A dialogue runs: its control is active or a dialogue-script call is under way.
bool IsInDialogue();

// The token entries of the interface's services: the rules above and FindTokenDefinition.
void FillTokenServices(st_InterfaceServices& services);

}  // namespace quillane
