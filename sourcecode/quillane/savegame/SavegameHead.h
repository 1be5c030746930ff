// The leading records of a savegame file, as the load/save panel's rows read them: the version
// word, the display name, the grey and colour thumbnails, the "SaveData" list header and the
// preview picture. The rest of the file belongs to the session. Nothing read is trusted.
#pragma once

#include "base/Imaging.h"
#include "base/String.h"
#include "base/data/Variant.h"

namespace base {
class File;
}

struct st_SavegameHead {
  base::tString<base::BaseUnicodeString> m_name;
  base::cl_Bitmap32 m_grey;     // 64 x 64, or empty
  base::cl_Bitmap32 m_colour;   // 64 x 64, or empty
  base::Variant m_header;       // the "SaveData" element
  base::cl_Bitmap32 m_preview;  // 512 x 320, or empty; read only when asked for
};

inline constexpr int kMaxSavegameNameUnits = 1024;

// Reads the head from an open file; with preview the picture after the header too. Any damaged
// record logs one "ERROR:" line naming the file and the offset and leaves out empty.
bool ReadSavegameHead(base::File& file, st_SavegameHead& out, bool preview);
// The same from path; a file that cannot be opened is false without a line of its own.
bool ReadSavegameHead(const char* path, st_SavegameHead& out, bool preview);
