// Level-of-detail options as whole levels: the options menu stores a level as a slider value
// (1.0 full detail, 0.5 reduced, 0.0 lowest); scenes and actors want the level number.
#pragma once

namespace quillane {

// The highest level of detail; levels run 0 (full) .. kMaxDetailLevel (lowest).
constexpr int kMaxDetailLevel = 2;

// The option "<path>/Value" (e.g. path "Gfx/SceneLOD/") as a level:
// trunc(2 - 2v + 0.5), so 1.0 -> 0, 0.5 -> 1, 0.0 -> 2; 0 when the option is absent.
int GetOptionIntValue(const char* path);

}  // namespace quillane
