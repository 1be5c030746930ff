// The world's services (what scenes, actors and characters ask of the game) answered by the
// running session: its hotspot table, its scripts, its dialogue and its action queue (each stage
// answers for its own characters). The session installs them when it is made and empties them
// when it goes. Main thread only.
#pragma once

namespace quillane {

void InstallSessionServices();  // fills WorldServices() from GetSession()
void RemoveSessionServices();   // empties the entries InstallSessionServices filled

// Answers the interface's services share with the world's; each gives its empty answer (free,
// no partner) without a session.
bool IsPlayerFree();             // IsInteractionAllowed of the session
const char* GetDialogPartner();  // the heroine's partner in the running dialogue; "" without

}  // namespace quillane
