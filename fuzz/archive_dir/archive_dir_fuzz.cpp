// Reads arbitrary bytes as an archive file: the directory must be rejected or every member must
// lie inside the data with its size word in front of it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/File.h"
#include "base/file/FileArchive.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "fuzz.pak")) return 0;
  base::cl_FileArchive archive;
  if (!archive.ReadDirectory(&f)) {
    if (archive.GetMemberCount() != 0) std::abort();
    return 0;
  }
  return 0;
}
