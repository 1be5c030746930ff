// The session's input: placeholders until the input order, the cursor and the menu keys are built.
#include "quillane/diary/Diary.h"
#include "quillane/session/Session.h"

namespace quillane {

bool cl_Session::ProcessInput(base::ICMD& cmd) { return base::i_GameSession::ProcessInput(cmd); }

void cl_Session::OpenDiary() {}

void cl_Session::UpdateCursor() {}

bool cl_Session::IsInteractionAllowed() const { return true; }

bool cl_Session::IsDiaryVisible() const { return true; }

bool IsTokenHeld() { return false; }

}  // namespace quillane
