// Parses arbitrary bytes as a whole savegame into an image, as a load does before it commits
// anything: a refused file must leave the image empty, an accepted one only sane contents.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "quillane/savegame/SavegameImage.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, size_t{4} << 20)) return 0;
  quillane::st_SavegameImage image;
  if (quillane::ParseSavegame(data, static_cast<int>(size), "fuzz.sav", image)) {
    if (image.version != 1 || !image.gameState.is_element() || !image.head.m_header.is_element()) __builtin_trap();
    if (image.stageBlock.size() > size) __builtin_trap();
    for (const quillane::st_SavegameCharacter& c : image.characters)
      for (float f : c.position)
        if (!std::isfinite(f)) __builtin_trap();
  } else if (image.gameState.is_element() || !image.head.m_name.empty() || !image.characters.empty() ||
             !image.stageBlock.empty()) {
    __builtin_trap();
  }
  return 0;
}
