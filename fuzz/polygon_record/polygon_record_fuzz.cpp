// Reads arbitrary bytes as a sequence of polygon records and runs the polyline routines on each.
#include <cstddef>
#include <cstdint>

#include "base/File.h"
#include "graphics/mesh/Geometry.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 256 * 1024)) return 0;
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "fuzz.poly")) return 0;
  for (int guard = 0; guard < 64 && f.get_remaining() > 0; ++guard) {
    base::Polygon2 p;
    if (!base::ReadPolygon2(&f, p)) break;
    if (p.size() == 0) continue;
    const base::tVector2<float> c = p.GetCenter();
    p.Contains(c.x, c.y);
    p.PointAtDistance(p.Length() * 0.5f);
    p.GetBounds();
    base::Polygon2 out;
    p.Smooth(out, 2);
    p.Roughen(out, 0.5f);
  }
  return 0;
}
