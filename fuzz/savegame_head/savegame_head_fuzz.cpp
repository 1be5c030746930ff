// Reads arbitrary bytes as a savegame head, preview included: every count and size comes from
// the file, so a failed read must leave nothing behind and a good one only sane pictures.
#include <cstddef>
#include <cstdint>

#include "base/File.h"
#include "quillane/savegame/SavegameHead.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  base::File file;
  if (!file.open_memory(data, static_cast<int>(size), "fuzz.sav")) return 0;
  st_SavegameHead head;
  if (ReadSavegameHead(file, head, true)) {
    unsigned sum = 0;
    for (int i = 0; i < head.m_preview.NumPixels(); ++i) sum += head.m_preview.GetPixels()[i].r;
    if (head.m_name.size() > kMaxSavegameNameUnits || sum == 0xFFFFFFFFu) __builtin_trap();
  } else if (!head.m_name.empty() || !head.m_grey.IsEmpty() || !head.m_preview.IsEmpty()) {
    __builtin_trap();
  }
  return 0;
}
