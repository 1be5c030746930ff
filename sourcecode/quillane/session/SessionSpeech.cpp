// The bubble of a spoken line: a placeholder until the line layout is built.
#include "quillane/session/Session.h"

namespace quillane {

void cl_Session::ShowSpeech(st_GameAction*) {}

}  // namespace quillane
