// Reads arbitrary bytes as every kind of length-prefixed record, and as lines and tokens.
#include <cstddef>
#include <cstdint>

#include "base/data/Binary.h"
#include "base/File.h"
#include "base/file/LineParser.h"
#include "base/String.h"
#include "base/text/Text.h"

#include "../BaseFuzz.h"

namespace {

// Reads records of one kind until the data ends or a record is rejected.
void ReadAll(const uint8_t* data, size_t size, int kind) {
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "fuzz.bin")) return;
  for (int guard = 0; guard < 4096 && f.get_remaining() > 0; ++guard) {
    bool ok = false;
    switch (kind) {
      case 0: { base::String s; ok = s.Read(&f); break; }
      case 1: { base::UnicodeString s; ok = s.Read(&f); break; }
      case 2: { base::Text t; ok = t.Read(&f); break; }
      case 3: { base::Binary b; ok = b.Read(&f); break; }
      case 4: {
        int count = 0;
        unsigned char* block = base::ReadChunk(&f, count);
        ok = !f.has_error();
        delete[] block;
        break;
      }
      case 5: {
        int count = 0;
        int* values = base::ReadIntList(&f, count);
        ok = !f.has_error();
        delete[] values;
        break;
      }
      default: {
        // A mixed record as a serialiser would read it.
        int number = 0;
        base::String name;
        base::UnicodeString display;
        ok = f.archive(number) && f.archive(name) && f.archive(display);
        break;
      }
    }
    if (!ok) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  for (int kind = 0; kind < 7; ++kind) ReadAll(data, size, kind);

  base::Binary bytes;
  bytes.set(static_cast<int>(size), data);
  base::cl_BinaryParser parser(bytes);
  while (parser.NextLine()) {
    const int n = parser.GetNumTokens();
    for (int i = 0; i <= n; ++i) {
      parser.GetIntToken(i);
      parser.GetRealToken(i);
    }
  }
  return 0;
}
