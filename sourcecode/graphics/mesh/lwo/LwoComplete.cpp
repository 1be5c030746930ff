// The passes that complete a read object, layer by layer: bounding box, polygon normals,
// point-to-polygon lists, surface resolution, smoothed vertex normals, vertex map references.
#include <cmath>
#include <cstring>
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
      layer.bbox[i] = std::fmin(layer.bbox[i], p.pos[i]);
      layer.bbox[i + 3] = std::fmax(layer.bbox[i + 3], p.pos[i]);
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

void PointPolygons(LwoLayer& layer) {
  const std::vector<LwoPolygon>& polys = layer.polygons.polygons;
  for (int j = 0; j < static_cast<int>(polys.size()); ++j) {
    for (int k = 0; k < polys[static_cast<size_t>(j)].vertexCount; ++k) {
      layer.points.points[static_cast<size_t>(polys[static_cast<size_t>(j)].vertices[k].point)].polygons.push_back(j);
    }
  }
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
    for (int k = 0; k < poly.vertexCount; ++k) {
      LwoPolygonVertex& v = poly.vertices[k];
      std::memcpy(v.normal, poly.normal, sizeof v.normal);
      if (!(angle > 0)) continue;
      for (int other : layer.points.points[static_cast<size_t>(v.point)].polygons) {
        const LwoPolygon& o = polys[static_cast<size_t>(other)];
        if (static_cast<size_t>(other) == j || o.smoothingGroup != poly.smoothingGroup) continue;
        float dot = poly.normal[0] * o.normal[0] + poly.normal[1] * o.normal[1] + poly.normal[2] * o.normal[2];
        dot = std::fmax(-1.0f, std::fmin(1.0f, dot));  // rounding must not make acos NaN
        if (std::acos(dot) <= angle) {
          for (int i = 0; i < 3; ++i) v.normal[i] += o.normal[i];
        }
      }
      Normalise(v.normal);
    }
  }
}

// Indices were checked against the layer when the maps were read.
void VMapReferences(LwoLayer& layer) {
  for (LwoVMap* map = layer.vmaps.first; map; map = map->next) {
    if (map->perPolygon) continue;
    for (int e = 0; e < map->entryCount; ++e) {
      layer.points.points[static_cast<size_t>(map->pointIndex[static_cast<size_t>(e)])].vmapRefs.push_back({map, e});
    }
  }
  for (LwoVMap* map = layer.vmaps.first; map; map = map->next) {
    if (!map->perPolygon) continue;
    for (int e = 0; e < map->entryCount; ++e) {
      LwoPolygon& poly = layer.polygons.polygons[static_cast<size_t>(map->polygonIndex[static_cast<size_t>(e)])];
      const int point = map->pointIndex[static_cast<size_t>(e)];
      for (int k = 0; k < poly.vertexCount; ++k) {
        if (poly.vertices[k].point == point) {
          poly.vertices[k].vmapRefs.push_back({map, e});
          break;
        }
      }
    }
  }
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
