// What the character script functions share: the stage and its characters as a script sees
// them (looked up by name, with the common report for a missing one), where a name places a
// character, the actions a blocking function makes its caller wait on, the start of a
// character's one-shot animation and showing or hiding characters by name. Main thread only.
#pragma once

#include "KRX/runtime/Interface.h"
#include "base/math/Vector.h"

namespace base {
class cl_Locator;
}

namespace quillane {
class cl_Character;
class cl_Stage;
class cl_SceneLocator;
struct st_GameAction;
class cl_GameActionCompletionEvent;
}  // namespace quillane

namespace script_bindings {

quillane::cl_Stage* GetScriptStage();  // the session's stage; null without a game or a scene
// The stage character of that name; null without (a null name finds none).
quillane::cl_Character* FindCharacter(const char* name);
// As FindCharacter; a miss is reported "Character '<name>' does not exist." at the script's line.
quillane::cl_Character* GetCharacterOrReport(const char* name);
// The scene locator of that name on the stage's scene; null without.
quillane::cl_SceneLocator* FindSceneLocator(const char* name);

// The stage character name and the position of the scene locator where, for a walk there; null
// without a stage (silently) or when either is missing ("Character <name> does not exist." or
// "Locator <where> does not exist." at the script's line).
quillane::cl_Character* FindWalkToLocator(const char* name, const char* where, base::tVector3<float>& goal);

// Where a name places a character: the scene locator of that name, else the stage character's
// own placement; null for neither.
const base::cl_Locator* FindPlacementTarget(const char* name);
// The position of the stage character of that name, else of the scene locator; false for neither.
bool GetLocatorPosition(const char* name, base::tVector3<float>& out);

// An action of kind for the calling script thread, which waits on it from now on; null (the
// script goes on at once) without a session or when the caller is no game thread.
quillane::st_GameAction* AddCallerAction(KRX::t_Interface& in, const char* kind, const char* object,
                                         float time = 0.0f);
// As AddCallerAction, with the completion event that finishes the action; null as there.
quillane::cl_GameActionCompletionEvent* AddCallerWait(KRX::t_Interface& in, const char* kind, const char* object);

// Starts the one-shot animation of (name, animation, speed, lead, tail) from the call's five
// arguments; the character that plays it, or null. duration is set to 0 once the arguments are
// there and to the playing time (seconds) once it started. A speed that is not a positive
// finite number is reported and taken as 1.0.
quillane::cl_Character* StartCharacterAnimation(KRX::t_Interface& in, float& duration);

// Every argument names a character ("all": every one of the stage) whose visible flag is set;
// an unknown name is reported and the next one taken.
void SetCharactersVisible(KRX::t_Interface& in, bool visible);

}  // namespace script_bindings
