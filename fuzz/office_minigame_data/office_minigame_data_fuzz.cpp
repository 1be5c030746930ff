// Reads arbitrary bytes as the Bookshelf's and as the Decoder's compiled data file (the first
// byte picks which). A file that does not fit must fail, and leaves the shelf without pictures.
#include <cstddef>
#include <cstdint>

#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/bookshelf/BookShelf.h"
#include "quillane/minigames/decoder/Decoder.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || !fuzzsupport::BeginBaseInput(size)) return 0;
  quillane::cl_MinigameDataFile file;
  if (!file.OpenMemory(data + 1, static_cast<int>(size - 1), "fuzz.dat")) return 0;
  if (data[0] & 1) {
    quillane::cl_DecoderPanel decoder;
    if (decoder.Records(file) != !file.Failed()) __builtin_trap();
  } else {
    quillane::cl_BookshelfPanel shelf;
    // A file that does not fit leaves the shelf without pictures.
    if (!shelf.Records(file) && shelf.GetPanicStrip()) __builtin_trap();
  }
  return 0;
}
