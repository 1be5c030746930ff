// The "Options" of the configuration the game starts with, checked once after reading: a
// hand-edited value that is no finite number ("nan", "inf", "1e999") would reach the sound levels
// and the gamma ramp as one, so it is read as the option's default instead.
#pragma once

namespace base {
class Variant;
}

namespace quillane {

// Every "Value" under options that is no finite number becomes the value of the same option in
// defaults (the "Options" element of the default configuration; 0 where it has no finite one),
// each with a "Warning: " line naming file and the option. Returns how many were replaced.
int ReplaceNonFiniteOptions(base::Variant& options, const base::Variant* defaults, const char* file);

}  // namespace quillane
