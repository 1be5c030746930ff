// Reads arbitrary bytes as the Bookshelf's and as the Decoder's compiled data file (the first
// byte picks which). A file that does not fit must fail; one that is read leaves no bytes over.
#include <cstddef>
#include <cstdint>

#include "base/File.h"
#include "quillane/minigames/BookShelf.h"
#include "quillane/minigames/Decoder.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || !fuzzsupport::BeginBaseInput(size)) return 0;
  base::File f;
  if (!f.open_memory(data + 1, static_cast<int>(size - 1), "fuzz.dat")) return 0;
  bool read = false;
  if (data[0] & 1) {
    quillane::cl_DecoderPanel decoder;
    read = decoder.ReadData(f);
  } else {
    quillane::cl_BookshelfPanel shelf;
    read = shelf.ReadData(f);
  }
  if (read && (f.has_error() || f.get_remaining() != 0)) __builtin_trap();
  return 0;
}
