// The diary's entry ids as the game scripts name them: each entry a script adds is stored under
// a key of the script's choosing as an int attribute of the game state's "Missions", so that the
// ids travel with the game state into savegames. Main thread only.
#pragma once

namespace quillane {

// The id stored under key ("Missions/<key>"); −1 without a session, for a null or empty key, or
// when nothing (or no number) is stored there.
int GetDiaryEntryId(const char* key);
// Stores id under key, making the path as needed and replacing what was there. Nothing without a
// session or for a null or empty key.
void SetDiaryEntryId(const char* key, int id);

}  // namespace quillane
