// The LightWave object reader: a file in the current form (IFF "FORM" of type "LWO2") or the
// older one ("LWOB") read into layers of points and polygons with their vertex maps, tags,
// surfaces, clips and envelopes, plus the normals and cross references an importer needs.
// Everything in the file is checked against the chunk that holds it; a damaged file gives null,
// one "ERROR:" line, and the chunk and position of the fault.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "graphics/mesh/lwo/LwoList.h"
#include "graphics/mesh/lwo/LwoSurface.h"

namespace base {

struct LwoVMap {
  LwoVMap* next = nullptr;
  LwoVMap* prev = nullptr;
  std::string name;
  unsigned type = 0;  // "TXUV", "WGHT", ...
  int dimension = 0;
  int entryCount = 0;
  int perPolygon = 0;           // 1 for "VMAD", 0 for "VMAP"
  std::vector<int> pointIndex;  // as read: relative to the layer's points
  std::vector<int> polygonIndex;  // per-polygon maps only, as read
  std::vector<float> values;      // entryCount × dimension

  const float* value(int entry) const { return values.data() + static_cast<size_t>(entry) * dimension; }
};

struct LwoVMapRef {
  LwoVMap* vmap = nullptr;
  int entry = 0;
};

// The cross references (spans) point into arrays their layer owns, set once the read is complete.
struct LwoPoint {
  float pos[3] = {0, 0, 0};
  std::span<const int> polygons;  // polygons using this point, in order, once per use
  std::span<const LwoVMapRef> vmapRefs;
};

struct LwoPolygonVertex {
  int point = 0;
  float normal[3] = {0, 0, 0};  // smoothed vertex normal
  std::span<const LwoVMapRef> vmapRefs;
};

struct LwoPolygon {
  int surfaceTag = 0;  // tag index as read
  LwoSurface* surface = nullptr;  // after surface resolution
  int part = 0;            // tag index
  int smoothingGroup = 0;  // tag index
  int flags = 0;           // upper 6 bits of the vertex-count word
  unsigned type = 0;       // the polygon chunk's type ("FACE", "CURV", "PTCH", ...)
  float normal[3] = {0, 0, 0};
  int vertexCount = 0;
  int firstVertex = 0;  // into the polygon list's vertex array
  LwoPolygonVertex* vertices = nullptr;  // set once the read is complete
};

struct LwoPointList {
  int offset = 0;  // count before the most recent "PNTS"
  std::vector<LwoPoint> points;
  int count() const { return static_cast<int>(points.size()); }
};

struct LwoPolygonList {
  int offset = 0;        // count before the most recent polygon chunk
  int vertexOffset = 0;  // vertex count before it
  std::vector<LwoPolygon> polygons;
  std::vector<LwoPolygonVertex> vertices;  // shared by all polygons of the list
  int count() const { return static_cast<int>(polygons.size()); }
  int vertexCount() const { return static_cast<int>(vertices.size()); }
};

struct LwoTagList {
  int offset = 0;  // count before the most recent "TAGS"/"SRFS"
  std::vector<std::string> names;
  int count() const { return static_cast<int>(names.size()); }
};

struct LwoLayer {
  LwoLayer* next = nullptr;
  LwoLayer* prev = nullptr;
  std::string name;
  int index = 0;
  int parent = 0;
  int flags = 0;
  float pivot[3] = {0, 0, 0};
  float bbox[6] = {0, 0, 0, 0, 0, 0};  // min x, y, z, max x, y, z
  LwoPointList points;
  LwoPolygonList polygons;
  tLwoList<LwoVMap> vmaps;
  int vmapCount() const { return vmaps.count; }

  // Storage behind the points' and corners' spans: one array each for the whole layer.
  std::vector<int> pointPolygonStore;
  std::vector<LwoVMapRef> pointRefStore;
  std::vector<LwoVMapRef> cornerRefStore;
};

struct LwoObject {
  LwoObject();  // with its first layer
  tLwoList<LwoLayer> layers;
  tLwoList<LwoEnvelope> envelopes;
  tLwoList<LwoClip> clips;
  tLwoList<LwoSurface> surfaces;
  LwoTagList tags;

  int layerCount() const { return layers.count; }
  int envelopeCount() const { return envelopes.count; }
  int clipCount() const { return clips.count; }
  int surfaceCount() const { return surfaces.count; }
};

// Reads fileName; null when it cannot be opened (failId and failPos untouched) or on a damaged
// file: then *failId is the identifier of the chunk being read ("FORM" for the header) and
// *failPos the byte offset where the fault was found, each written when the pointer is set.
LwoObject* LwoReadObject(const char* fileName, unsigned* failId, int* failPos);
// The same over size bytes in memory; name is used in messages.
LwoObject* LwoReadObjectMemory(const void* data, int size, const char* name, unsigned* failId, int* failPos);
// Frees the object with everything it holds; null is accepted.
void LwoFreeObject(LwoObject* object);

}  // namespace base
