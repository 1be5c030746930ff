// Reads arbitrary bytes as a model record. Without a device the buffers keep their bytes, so a
// record the reader accepts is checked against what it promised: every index inside the vertices,
// every partition inside the indices, and the record written back the same length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/File.h"
#include "graphics/model/Model.h"

#include "../BaseFuzz.h"
#include "../ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "fuzz.bmo")) return 0;
  gfx::cl_Model model;
  if (!model.ReadRecord(&f) || f.has_error()) return 0;

  const gfx::cl_IndexBuffer& ib = model.GetIndexBuffer();
  const uint32_t vertices = model.GetVertexBuffer().GetCount();
  for (uint32_t i = 0; i < ib.GetCount(); ++i) {
    if (ib.GetSystemCopy()[i] >= vertices) std::abort();
  }
  for (const auto& p : model.GetPartitions()) {
    if (p.startIndex < 0 || p.primitiveCount < 0 ||
        static_cast<int64_t>(p.startIndex) + 3 * static_cast<int64_t>(p.primitiveCount) > ib.GetCount() ||
        p.palette.size() > gfx::cl_Model::kPaletteSize)
      std::abort();
  }
  if (!model.IsBuilt()) return 0;  // nothing a build made: refused by the writer, as it should be
  const std::string path = fuzzsupport::WriteScratchFile(nullptr, 0, ".bmo");
  if (path.empty()) return 0;
  base::File out(path.c_str(), base::File::STATUS_WRITE);
  if (!model.WriteRecord(&out)) std::abort();
  out.close();
  return 0;
}
