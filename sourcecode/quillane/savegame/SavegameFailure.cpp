// The last savegame failure and the system's error numbers in a player's terms.
#include "quillane/savegame/SavegameFailure.h"

#include <cerrno>

namespace quillane {
namespace {

thread_local en_SavegameFailure t_failure = en_SavegameFailure::None;

}  // namespace

en_SavegameFailure GetSavegameFailure() { return t_failure; }

void SetSavegameFailure(en_SavegameFailure failure) { t_failure = failure; }

en_SavegameFailure SavegameFailureOf(int errorNumber) {
  switch (errorNumber) {
    case 0: return en_SavegameFailure::None;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return en_SavegameFailure::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS: return en_SavegameFailure::NotPermitted;
    case ENOENT: return en_SavegameFailure::Missing;
    default: return en_SavegameFailure::Other;
  }
}

}  // namespace quillane
