// Screenshot file names.
#include "quillane/savegame/ScreenshotName.h"

#include <algorithm>

#include "base/FileTools.h"

namespace quillane {

base::String ScreenshotName(const char* folder, const char* prefix, int number) {
  base::String name;
  name.print("%s/%s%03d.bmp", folder ? folder : "", prefix ? prefix : "", number);
  return name;
}

base::String NextScreenshotName(const char* folder, const char* prefix, int& last) {
  for (int i = std::max(last + 1, 0); i <= kMaxScreenshotNumber; ++i) {
    base::String name = ScreenshotName(folder, prefix, i);
    if (base::FileExists(name)) continue;
    last = i;
    return name;
  }
  return base::String();
}

}  // namespace quillane
