// Arbitrary bytes as a character's material script, imported as the set-up dialog imports it,
// into a fresh character element; the result must write as XML that
// reads back. Long lines, missing names, stray separators and NUL bytes must neither crash nor
// read past the input.
#include <cstddef>
#include <cstdint>

#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/text/Text.h"
#include "quillane/editor/CharacterList.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 256 * 1024)) return 0;
  base::Variant character;
  character.set_element("Character");
  character.add_element("Mesh");
  character.add_element("Skeleton");
  quillane::ImportMaterialScriptText(character, reinterpret_cast<const char*>(data), static_cast<int>(size),
                                     "characters/fuzz");
  base::Text text;
  if (base::xml::write_text(character, text)) {
    base::Variant back;
    base::xml::read_text(back, text.c_str(), "material");
  }
  return 0;
}
