// Arbitrary text through the XML word reader, into a growing block and into a small fixed one;
// every tree it produces must pass the structural check and expand into a Variant.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/data/StaticVariant.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);

  base::StaticVariant sv;
  if (base::xml::read_text(sv, text.c_str(), "fuzz.xml")) {
    int bad;
    const char* why;
    if (!base::static_variant_validate(sv.get_words(), sv.get_size(), nullptr, nullptr, bad, why)) __builtin_trap();
    base::Variant v;
    sv.copy_to(v);
  }

  // The bounded form must stop at its end, never write past it (ASan watches the heap block).
  const int room = static_cast<int>(size % 64);
  int* block = new int[static_cast<size_t>(room) + 1];
  int* cursor = block;
  const char* p = text.c_str();
  if (base::xml_parse_static_variant(cursor, block + room, p) && cursor > block + room) __builtin_trap();
  delete[] block;
  return 0;
}
