// A whole savegame held in memory: what a save writes and what a load reads before anything of
// the running game is touched. Loading parses the file into an image first and commits it only
// when every section was read in full, so a damaged file never leaves a half-restored game.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/String.h"
#include "base/data/Variant.h"
#include "quillane/savegame/SavegameHead.h"

namespace base {
class File;
}

namespace quillane {

// One character of the stage block as saved.
struct st_SavegameCharacter {
  base::String name;
  base::String actor;
  float orientation[4] = {0.0f, 0.0f, 0.0f, 1.0f};  // quaternion x, y, z, w
  float position[3] = {0.0f, 0.0f, 0.0f};
  base::Variant properties;
};

struct st_SavegameImage {
  static constexpr uint32_t kVersion = 1;

  uint32_t version = kVersion;
  st_SavegameHead head;      // display name, the two thumbnails, the "SaveData" header, the picture
  base::Variant gameState;   // the game-state tree (an element)
  base::String sceneName;
  // The stage block after the scene name, exactly as the stage reads it back.
  std::vector<unsigned char> stageBlock;
  // The same block taken apart; filled by the reader (the writer uses stageBlock).
  std::vector<st_SavegameCharacter> characters;
  base::String player;
};

// A savegame larger than this is refused unread: the largest real one is well below 8 MB.
inline constexpr int kMaxSavegameBytes = 64 * 1024 * 1024;

// The thumbnails of a game picture: the colour one is the centre 64 x 64 of the picture
// reduced to 102 x 64, the grey one that desaturated. An empty picture gives empty thumbnails.
void MakeSavegameThumbnails(const base::cl_Bitmap32& picture, base::cl_Bitmap32& grey, base::cl_Bitmap32& colour);

// Parses size bytes into out. Every length and count is checked against the bytes left, the
// pictures must be 0 x 0, 64 x 64 or 512 x 320, the version must be 1 and nothing may follow the
// stage block. On damage: false, one "ERROR:" line naming name, the section and the offset.
bool ParseSavegame(const unsigned char* data, int size, const char* name, st_SavegameImage& out);
// The file read whole, then ParseSavegame. A file that cannot be opened is false with its line.
// A failure is told in GetSavegameFailure (SavegameFailure.h).
bool ReadSavegameFile(const char* path, st_SavegameImage& out);

// Writes the stage block (scene name first) into the open file; false when a write failed.
using tStageWriter = std::function<bool(base::File&)>;

// Writes image to path through the engine's crash-safe file (temporary file, fsync, rename):
// either the complete new save is in place afterwards or the old one is untouched. Stale
// temporary files of a killed earlier save of the same path are removed first. An empty header
// is written as an empty "SaveData" element. With stage given it writes the stage block in place of
// the image's scene name and stageBlock. False (logged, and told in GetSavegameFailure) on any
// failure.
bool WriteSavegameFile(const char* path, const st_SavegameImage& image, const tStageWriter& stage = {});

}  // namespace quillane
