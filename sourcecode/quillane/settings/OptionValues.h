// The configuration the game starts with, checked once after reading: a hand-edited option or
// display value that is no finite number ("nan", "inf", "1e999") would reach the sound levels, the
// gamma ramp and the window size as one, and a language that holds a path would have the
// language's files read and the speech archive written outside "loca/"; either is read as its
// default instead.
#pragma once

namespace base {
class Variant;
}

namespace quillane {

// Every "Value" under options that is no finite number becomes the value of the same option in
// defaults (the "Options" element of the default configuration; 0 where it has no finite one),
// each with a "Warning: " line naming file and the option. Returns how many were replaced.
int ReplaceNonFiniteOptions(base::Variant& options, const base::Variant* defaults, const char* file);

// Every attribute of config's "Display" that is no finite number becomes the same attribute of
// defaults' "Display" (the default configuration; 0 where it has no finite one, which leaves the
// choice to the platform), each with a "Warning: " line naming file and the attribute. Returns how
// many were replaced.
int ReplaceNonFiniteDisplay(base::Variant& config, const base::Variant* defaults, const char* file);

// A "Localization/Language" of config that is no plain folder name ("../x", "a/b", "..") becomes
// the language of defaults (the default configuration; "English" where it has no plain one), with
// a "Warning: " line naming file and the value unless file is null. True when it was replaced.
bool ReplacePathLanguage(base::Variant& config, base::Variant& defaults, const char* file);

}  // namespace quillane
