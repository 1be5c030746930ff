// Reads arbitrary bytes as a LightWave object, then walks every cross reference the reader
// built (corner points, vmap entries, surfaces), so that an object the reader lets through can
// never send its users out of bounds, nor give them a point that is not finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "graphics/mesh/lwo/LwoObject.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 256 * 1024)) return 0;
  base::LwoObject* o = base::LwoReadObjectMemory(data, static_cast<int>(size), "fuzz.lwo", nullptr, nullptr);
  if (!o) return 0;
  volatile float sink = 0;
  for (const base::LwoLayer* l = o->layers.first; l; l = l->next) {
    for (const base::LwoPoint& p : l->points.points) {
      if (!(std::isfinite(p.pos[0]) && std::isfinite(p.pos[1]) && std::isfinite(p.pos[2]))) std::abort();
      for (int j : p.polygons) sink = sink + l->polygons.polygons[static_cast<size_t>(j)].normal[0];
      for (const base::LwoVMapRef& r : p.vmapRefs) {
        if (r.vmap->dimension > 0) sink = sink + r.vmap->value(r.entry)[r.vmap->dimension - 1];
      }
    }
    for (const base::LwoPolygon& poly : l->polygons.polygons) {
      sink = sink + poly.surface->smoothingAngle;
      for (int k = 0; k < poly.vertexCount; ++k) {
        const base::LwoPolygonVertex& v = poly.vertices[k];
        sink = sink + l->points.points[static_cast<size_t>(v.point)].pos[2] + v.normal[1];
        for (const base::LwoVMapRef& r : v.vmapRefs) {
          if (r.vmap->dimension > 0) sink = sink + r.vmap->value(r.entry)[r.vmap->dimension - 1];
        }
      }
    }
  }
  base::LwoFreeObject(o);
  return 0;
}
