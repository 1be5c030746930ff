// Screenshot file names: "<folder>/<prefix>NNN.bmp", three digits at least and more past 999.
// A screenshot never replaces an earlier one; the search for a free number starts after the last
// number used, so a folder with a thousand pictures costs one look-up, not a thousand.
#pragma once

#include "base/String.h"

namespace quillane {

inline constexpr int kMaxScreenshotNumber = 9999999;

// The name of number in folder with prefix ("shots/quillane_007.bmp", "shots/quillane_1000.bmp").
base::String ScreenshotName(const char* folder, const char* prefix, int number);
// The first name after last (-1: from 0) that names no file yet; last becomes its number. Empty
// when every number up to kMaxScreenshotNumber is taken.
base::String NextScreenshotName(const char* folder, const char* prefix, int& last);

}  // namespace quillane
