// Bounded reading of the compiled scene file's records: every count, length and flag is checked
// against the bytes left and against fixed caps before anything is allocated, so a truncated or
// hostile file fails with one "ERROR: <file>: <record> at offset N" line instead of a crash.
// Numbers that are later turned into integers are pulled into a range where that is defined.
#pragma once

#include <cstdint>

#include "base/File.h"
#include "base/String.h"

namespace quillane {

constexpr int kMaxSceneString = 64 * 1024;
constexpr int kMaxSceneBitmapSide = 8192;
// Floats read from files or descriptions are kept within ±kSaneCoordinate before any int cast.
constexpr float kSaneCoordinate = 1.0e6f;

// Logs "ERROR: <file>: <record> at offset N" and marks the file failed; returns false.
bool FailRecord(base::File& file, const char* record);

bool ReadI32(base::File& file, int32_t& out, const char* record);
bool ReadU32(base::File& file, uint32_t& out, const char* record);
bool ReadF32(base::File& file, float& out, const char* record);
bool ReadF32s(base::File& file, float* out, int count, const char* record);
// A u8 that must be 0 or 1.
bool ReadFlag(base::File& file, bool& out, const char* record);
// i32 length (0 .. kMaxSceneString, within the bytes left), then the characters.
bool ReadSceneString(base::File& file, base::tString<base::BaseString>& out, const char* record);
// i32 count of records of at least minBytes each: 0 .. bytes left / minBytes; a negative count
// reads as 0, as the writer never writes one.
bool ReadCount(base::File& file, int& out, int minBytes, const char* record);

// NaN becomes 0; everything else is clamped to ±kSaneCoordinate.
float SaneFloat(float v);
// trunc(SaneFloat(v)) as an int.
int TruncToInt(float v);

}  // namespace quillane
