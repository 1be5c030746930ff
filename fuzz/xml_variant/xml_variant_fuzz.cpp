// Arbitrary text through the Variant XML reader; whatever it accepts is written back, and what
// the writer writes must read back to the same text again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/data/StaticVariant.h"
#include "base/text/Text.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  base::Variant v;
  if (!base::xml::read_text(v, text.c_str(), "fuzz.xml")) return 0;

  // With the prolog first, as write_file writes it: "<?xml" inside the data is then not taken
  // for the prolog.
  base::Text once("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
  if (!base::xml::write_text(v, once)) return 0;
  base::Variant back;
  if (!base::xml::read_text(back, once.c_str(), "rewritten.xml")) __builtin_trap();
  base::Text twice("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
  if (!base::xml::write_text(back, twice) || base::str::compare(once.c_str(), twice.c_str()) != 0) __builtin_trap();

  base::StaticVariant words;
  words = v;
  base::Variant expanded;
  words.copy_to(expanded);
  return 0;
}
