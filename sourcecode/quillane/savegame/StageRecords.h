// The records of a savegame's stage block, shared by the stage that reads the block into itself
// and the savegame parser that checks a whole file first: little-endian u32 numbers, strings as
// a u32 byte count and the bytes, and the 32-byte locator (a reserved word, the orientation
// x, y, z, w and the position x, y, z as f32). Each reader checks the bytes left first and on
// damage logs one line through the file, naming what and the offset.
#pragma once

#include <cstdint>

#include "base/String.h"

namespace base {
class File;
}

namespace quillane {

inline constexpr int kStageLocatorBytes = 32;
// The smallest character record: two empty strings, the locator and the smallest tree record.
inline constexpr int64_t kMinStageCharacterBytes = 4 + 4 + kStageLocatorBytes + 4;

bool WriteStageU32(base::File& file, uint32_t value);  // false when the write failed
bool WriteStageText(base::File& file, const base::String& text);
bool ReadStageU32(base::File& file, uint32_t& value, const char* what);
// A string without zero bytes (the engine's strings end at one, so it could not be written back).
bool ReadStageText(base::File& file, base::String& text, const char* what);
// The orientation and position of character name's locator; refused when not finite or far out
// of range (a unit quaternion, a place within a scene).
bool ReadStageLocator(base::File& file, const char* name, float parts[7]);

}  // namespace quillane
