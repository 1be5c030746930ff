// The passes that complete a read object, layer by layer: bounding box, polygon normals,
// point-to-polygon lists, surface resolution, smoothed vertex normals, vertex map references.
#include <cmath>
#include <cstring>
#include <numbers>
#include <span>
#include <vector>

#include "graphics/mesh/lwo/LwoChunkReaders.h"

namespace base {

namespace {

void Normalise(float v[3]) {
  const float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (len > 0) {
    for (int i = 0; i < 3; ++i) v[i] /= len;
  }
}

// Kept when the file gave one (any value non-zero), else measured; a layer without points keeps it.
void BoundingBox(LwoLayer& layer) {
  for (float v : layer.bbox) {
    if (v != 0) return;
  }
  if (layer.points.points.empty()) return;
  for (int i = 0; i < 3; ++i) {
    layer.bbox[i] = 1e20f;
    layer.bbox[i + 3] = -1e20f;
  }
  for (const LwoPoint& p : layer.points.points) {
    for (int i = 0; i < 3; ++i) {
      if (p.pos[i] < layer.bbox[i]) layer.bbox[i] = p.pos[i];
      if (p.pos[i] > layer.bbox[i + 3]) layer.bbox[i + 3] = p.pos[i];
    }
  }
}

// From the first, second and last corner; polygons of fewer corners keep a zero normal.
void PolygonNormals(LwoLayer& layer) {
  for (LwoPolygon& poly : layer.polygons.polygons) {
    if (poly.vertexCount < 3) continue;
    const float* p1 = layer.points.points[static_cast<size_t>(poly.vertices[0].point)].pos;
    const float* p2 = layer.points.points[static_cast<size_t>(poly.vertices[1].point)].pos;
    const float* pn = layer.points.points[static_cast<size_t>(poly.vertices[poly.vertexCount - 1].point)].pos;
    const float a[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
    const float b[3] = {pn[0] - p1[0], pn[1] - p1[1], pn[2] - p1[2]};
    poly.normal[0] = a[1] * b[2] - a[2] * b[1];
    poly.normal[1] = a[2] * b[0] - a[0] * b[2];
    poly.normal[2] = a[0] * b[1] - a[1] * b[0];
    Normalise(poly.normal);
  }
}

// Fills store with the items of each slot in turn, given each item's slot by visit(emit), which
// calls emit(slot, item) for every item in order; spans[slot] is set to the slot's items.
template <class T, class Visit>
void FillSlots(std::vector<T>& store, int slots, Visit visit, std::vector<std::span<const T>*>& spans) {
  std::vector<int> start(static_cast<size_t>(slots) + 1, 0);
  visit([&](int slot, const T&) { ++start[static_cast<size_t>(slot) + 1]; });
  for (int i = 0; i < slots; ++i) start[static_cast<size_t>(i) + 1] += start[static_cast<size_t>(i)];
  store.assign(static_cast<size_t>(start[static_cast<size_t>(slots)]), T{});
  std::vector<int> fill(start.begin(), start.end() - 1);
  visit([&](int slot, const T& item) { store[static_cast<size_t>(fill[static_cast<size_t>(slot)]++)] = item; });
  for (int i = 0; i < slots; ++i) {
    *spans[static_cast<size_t>(i)] = std::span<const T>(store.data() + start[static_cast<size_t>(i)],
                                                       static_cast<size_t>(start[static_cast<size_t>(i) + 1] -
                                                                           start[static_cast<size_t>(i)]));
  }
}

void PointPolygons(LwoLayer& layer) {
  std::vector<LwoPoint>& points = layer.points.points;
  std::vector<std::span<const int>*> spans;
  for (LwoPoint& p : points) spans.push_back(&p.polygons);
  const std::vector<LwoPolygon>& polys = layer.polygons.polygons;
  FillSlots<int>(layer.pointPolygonStore, static_cast<int>(points.size()), [&](auto emit) {
    for (int j = 0; j < static_cast<int>(polys.size()); ++j) {
      for (int k = 0; k < polys[static_cast<size_t>(j)].vertexCount; ++k) emit(polys[static_cast<size_t>(j)].vertices[k].point, j);
    }
  }, spans);
}

// Every polygon's surface by its tag; a used tag without a surface gets a default one, made when
// first met and shared by every layer (tagSurfaces keeps them).
bool ResolveSurfaces(LwoObject& object, LwoLayer& layer, std::vector<LwoSurface*>& tagSurfaces, st_LwoFault& fault) {
  const int tagCount = object.tags.count();
  for (size_t j = 0; j < layer.polygons.polygons.size(); ++j) {
    LwoPolygon& poly = layer.polygons.polygons[j];
    if (poly.surfaceTag < 0 || poly.surfaceTag >= tagCount) {
      return fault.Set(0, "polygon %d uses tag %d, but the object has %d tags", static_cast<int>(j), poly.surfaceTag,
                       tagCount);
    }
    LwoSurface*& surface = tagSurfaces[static_cast<size_t>(poly.surfaceTag)];
    if (!surface) {
      surface = new LwoSurface;
      surface->name = object.tags.names[static_cast<size_t>(poly.surfaceTag)];
      object.surfaces.append(surface);
    }
    poly.surface = surface;
  }
  return true;
}

// Each corner starts with its polygon's normal and, within the surface's smoothing angle, adds
// the normals of the other polygons of the same smoothing group at its point.
void VertexNormals(LwoLayer& layer) {
  std::vector<LwoPolygon>& polys = layer.polygons.polygons;
  for (size_t j = 0; j < polys.size(); ++j) {
    LwoPolygon& poly = polys[j];
    const float angle = poly.surface ? poly.surface->smoothingAngle : 0.0f;
    // acos(dot) <= angle, without an arc cosine per pair: acos falls monotonically over [-1, 1]
    // and never exceeds pi.
    const float minDot = angle >= std::numbers::pi_v<float> ? -2.0f : std::cos(angle);
    for (int k = 0; k < poly.vertexCount; ++k) {
      LwoPolygonVertex& v = poly.vertices[k];
      std::memcpy(v.normal, poly.normal, sizeof v.normal);
      if (!(angle > 0)) continue;
      for (int other : layer.points.points[static_cast<size_t>(v.point)].polygons) {
        const LwoPolygon& o = polys[static_cast<size_t>(other)];
        if (static_cast<size_t>(other) == j || o.smoothingGroup != poly.smoothingGroup) continue;
        const float dot = poly.normal[0] * o.normal[0] + poly.normal[1] * o.normal[1] + poly.normal[2] * o.normal[2];
        if (dot >= minDot) {
          for (int i = 0; i < 3; ++i) v.normal[i] += o.normal[i];
        }
      }
      Normalise(v.normal);
    }
  }
}

// Indices were checked against the layer when the maps were read. References keep map order and
// entry order.
void VMapReferences(LwoLayer& layer) {
  std::vector<std::span<const LwoVMapRef>*> spans;
  for (LwoPoint& p : layer.points.points) spans.push_back(&p.vmapRefs);
  FillSlots<LwoVMapRef>(layer.pointRefStore, static_cast<int>(spans.size()), [&](auto emit) {
    for (LwoVMap* map = layer.vmaps.first; map; map = map->next) {
      if (map->perPolygon) continue;
      for (int e = 0; e < map->entryCount; ++e) emit(map->pointIndex[static_cast<size_t>(e)], LwoVMapRef{map, e});
    }
  }, spans);

  // A per-polygon entry belongs to the first corner of its polygon at its point; entries naming
  // a point the polygon does not use are dropped.
  spans.clear();
  for (LwoPolygonVertex& v : layer.polygons.vertices) spans.push_back(&v.vmapRefs);
  FillSlots<LwoVMapRef>(layer.cornerRefStore, static_cast<int>(spans.size()), [&](auto emit) {
    for (LwoVMap* map = layer.vmaps.first; map; map = map->next) {
      if (!map->perPolygon) continue;
      for (int e = 0; e < map->entryCount; ++e) {
        const LwoPolygon& poly = layer.polygons.polygons[static_cast<size_t>(map->polygonIndex[static_cast<size_t>(e)])];
        const int point = map->pointIndex[static_cast<size_t>(e)];
        for (int k = 0; k < poly.vertexCount; ++k) {
          if (poly.vertices[k].point == point) {
            emit(poly.firstVertex + k, LwoVMapRef{map, e});
            break;
          }
        }
      }
    }
  }, spans);
}

}  // namespace

bool LwoComplete(LwoObject& object, bool withVMaps, st_LwoFault& fault) {
  std::vector<LwoSurface*> tagSurfaces(object.tags.names.size(), nullptr);
  for (size_t t = 0; t < tagSurfaces.size(); ++t) {
    for (LwoSurface* s = object.surfaces.first; s && !tagSurfaces[t]; s = s->next) {
      if (s->name == object.tags.names[t]) tagSurfaces[t] = s;
    }
  }
  for (LwoLayer* layer = object.layers.first; layer; layer = layer->next) {
    LwoPolygonList& list = layer->polygons;
    for (LwoPolygon& poly : list.polygons) {
      poly.vertices = poly.vertexCount > 0 ? &list.vertices[static_cast<size_t>(poly.firstVertex)] : nullptr;
    }
    BoundingBox(*layer);
    PolygonNormals(*layer);
    PointPolygons(*layer);
    if (!ResolveSurfaces(object, *layer, tagSurfaces, fault)) return false;
    VertexNormals(*layer);
    if (withVMaps) VMapReferences(*layer);
  }
  return true;
}

}  // namespace base
