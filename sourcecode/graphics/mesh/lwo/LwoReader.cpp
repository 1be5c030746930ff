// The LightWave object reader: the IFF form, the chunks of both forms, and the entries over a
// file and over memory. Each chunk is read whole (after its size is checked against what is
// left) and decoded from memory, so no count in a chunk can reach past it.
#include <cmath>
#include <cstdint>
#include <memory>

#include "base/File.h"
#include "base/system.h"
#include "graphics/mesh/lwo/LwoChunkReaders.h"

namespace base {


namespace {

class cl_LwoObjectReader {
 public:
  explicit cl_LwoObjectReader(const char* name) : m_name(name ? name : "") {}

  LwoObject* Read(cl_LwoStream& in, unsigned* failId, int* failPos);

 private:
  bool Fail(unsigned id, int at, const std::string& text, unsigned* failId, int* failPos);
  bool ReadChunk(unsigned id, cl_LwoStream& c);
  bool ReadOldChunk(unsigned id, cl_LwoStream& c);
  bool ReadLayer(cl_LwoStream& c);
  bool ReadPoints(cl_LwoStream& c);
  bool ReadPolygons(cl_LwoStream& c);
  bool ReadOldPolygons(cl_LwoStream& c);
  bool ReadVMap(cl_LwoStream& c, bool perPolygon);
  bool ReadTags(cl_LwoStream& c);
  bool ReadPolygonTags(cl_LwoStream& c);
  template <class T>
  bool Append(tLwoList<T>& list, T* record);
  // A point index of the current layer (offset already added), checked.
  bool CheckPoint(int index, int at);
  void WarnEmptyPolygons(int count, int at);

  std::string m_name;
  std::unique_ptr<LwoObject> m_object;
  LwoLayer* m_layer = nullptr;
  bool m_layerSeen = false;
  st_LwoFault m_fault;
};

bool cl_LwoObjectReader::Fail(unsigned id, int at, const std::string& text, unsigned* failId, int* failPos) {
  sys::Output("ERROR: LightWave object '%s': chunk '%s' at byte %d: %s\n", m_name.c_str(), LwoIdText(id).c_str(), at,
              text.c_str());
  if (failId) *failId = id;
  if (failPos) *failPos = at;
  m_object.reset();
  return false;
}

LwoObject* cl_LwoObjectReader::Read(cl_LwoStream& in, unsigned* failId, int* failPos) {
  m_object = std::make_unique<LwoObject>();
  m_layer = m_object->layers.first;
  const int size = in.Remaining();
  if (size < 12) {
    Fail(LwoId("FORM"), size, "shorter than the 12-byte form header", failId, failPos);
    return nullptr;
  }
  const unsigned form = in.U4();
  const int64_t formSize = in.U4();
  const unsigned type = in.U4();
  const bool old = type == LwoId("LWOB");
  if (form != LwoId("FORM") || (type != LwoId("LWO2") && !old)) {
    const std::string what = form != LwoId("FORM") ? "not an IFF form" : "form type '" + LwoIdText(type) + "' is not a LightWave object";
    Fail(LwoId("FORM"), 12, what, failId, failPos);
    return nullptr;
  }
  std::vector<unsigned char> buffer;
  while (formSize > static_cast<int64_t>(in.Position()) - 8) {
    const int at = in.Position();
    if (in.Remaining() < 8) {
      Fail(LwoId("FORM"), at, "short chunk header", failId, failPos);
      return nullptr;
    }
    const unsigned id = in.U4();
    const unsigned chunkSize = in.U4();
    if (chunkSize > static_cast<unsigned>(in.Remaining())) {
      Fail(id, at,
           "chunk claims " + std::to_string(chunkSize) + " bytes, " + std::to_string(in.Remaining()) + " remain",
           failId, failPos);
      return nullptr;
    }
    cl_LwoStream chunk = in.Take(static_cast<int>(chunkSize), buffer);
    if ((chunkSize & 1) && !in.AtEnd()) in.Skip(1);
    if (!in.Ok() || !chunk.Ok()) {
      Fail(id, at, "read error", failId, failPos);
      return nullptr;
    }
    const bool ok = old ? ReadOldChunk(id, chunk) : ReadChunk(id, chunk);
    if (!ok || !chunk.Ok()) {
      if (!m_fault.IsSet()) m_fault.Set(chunk.Position(), "record reads past the end of its chunk");
      Fail(id, m_fault.position, m_fault.text, failId, failPos);
      return nullptr;
    }
  }
  if (!LwoComplete(*m_object, !old, m_fault)) {
    Fail(old ? LwoId("POLS") : LwoId("PTAG"), in.Position(), m_fault.text, failId, failPos);
    return nullptr;
  }
  return m_object.release();
}

template <class T>
bool cl_LwoObjectReader::Append(tLwoList<T>& list, T* record) {
  if (!record) return false;
  list.append(record);
  return true;
}

bool cl_LwoObjectReader::ReadChunk(unsigned id, cl_LwoStream& c) {
  switch (id) {
    case LwoId("LAYR"): return ReadLayer(c);
    case LwoId("PNTS"): return ReadPoints(c);
    case LwoId("POLS"): return ReadPolygons(c);
    case LwoId("VMAP"): return ReadVMap(c, false);
    case LwoId("VMAD"): return ReadVMap(c, true);
    case LwoId("TAGS"): return ReadTags(c);
    case LwoId("PTAG"): return ReadPolygonTags(c);
    case LwoId("SURF"): return Append(m_object->surfaces, LwoReadSurface(c, m_fault));
    case LwoId("CLIP"): return Append(m_object->clips, LwoReadClip(c, m_fault));
    case LwoId("ENVL"): return Append(m_object->envelopes, LwoReadEnvelope(c, m_fault));
    case LwoId("BBOX"):
      for (float& v : m_layer->bbox) v = c.F4();
      return c.Ok();
    default: return true;
  }
}

bool cl_LwoObjectReader::ReadOldChunk(unsigned id, cl_LwoStream& c) {
  switch (id) {
    case LwoId("PNTS"): return ReadPoints(c);
    case LwoId("SRFS"): return ReadTags(c);
    case LwoId("POLS"): return ReadOldPolygons(c);
    case LwoId("SURF"): return Append(m_object->surfaces, LwoReadOldSurface(c, *m_object, m_fault));
    default: return true;
  }
}

bool cl_LwoObjectReader::ReadLayer(cl_LwoStream& c) {
  // The object starts with one layer, which the first "LAYR" describes.
  if (m_layerSeen) {
    m_layer = new LwoLayer;
    m_object->layers.append(m_layer);
  }
  m_layerSeen = true;
  m_layer->index = c.U2();
  m_layer->flags = c.U2();
  for (float& v : m_layer->pivot) v = c.F4();
  m_layer->name = c.S0();
  if (c.Remaining() >= 2) m_layer->parent = c.U2();
  return c.Ok();
}

bool cl_LwoObjectReader::ReadPoints(cl_LwoStream& c) {
  LwoPointList& list = m_layer->points;
  list.offset = list.count();
  const int n = c.Remaining() / 12;
  list.points.reserve(list.points.size() + static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const int at = c.Position();
    LwoPoint p;
    for (float& v : p.pos) v = c.F4();
    // One such point would make every box and normal around it infinite.
    if (c.Ok() && !(std::isfinite(p.pos[0]) && std::isfinite(p.pos[1]) && std::isfinite(p.pos[2])))
      return m_fault.Set(at, "point %d has a coordinate that is not a finite number", list.count());
    list.points.push_back(p);
  }
  return c.Ok();
}

bool cl_LwoObjectReader::CheckPoint(int index, int at) {
  const int count = m_layer->points.count();
  if (index >= 0 && index < count) return true;
  return m_fault.Set(at, "point index %d outside the layer's %d points", index, count);
}

void cl_LwoObjectReader::WarnEmptyPolygons(int count, int at) {
  if (count > 0) {
    sys::Output("Warning: LightWave object '%s': %d polygons without vertices in the chunk at byte %d give faces "
                "without corners\n",
                m_name.c_str(), count, at);
  }
}

bool cl_LwoObjectReader::ReadPolygons(cl_LwoStream& c) {
  const int start = c.Position() - 8;
  LwoPolygonList& list = m_layer->polygons;
  list.offset = list.count();
  list.vertexOffset = list.vertexCount();
  const unsigned type = c.U4();
  // Each vertex takes at least two bytes of the chunk.
  list.vertices.reserve(list.vertices.size() + static_cast<size_t>(c.Remaining() / 2));
  int empty = 0;
  while (c.Ok() && !c.AtEnd()) {
    const int word = c.U2();
    LwoPolygon poly;
    poly.type = type;
    poly.vertexCount = word & 0x3FF;
    poly.flags = word >> 10;
    poly.firstVertex = list.vertexCount();
    if (poly.vertexCount == 0) ++empty;
    for (int k = 0; k < poly.vertexCount; ++k) {
      const int at = c.Position();
      LwoPolygonVertex v;
      v.point = c.VX() + m_layer->points.offset;
      if (!c.Ok()) return m_fault.Set(at, "polygon %d is cut by the end of the chunk", list.count());
      if (!CheckPoint(v.point, at)) return false;
      list.vertices.push_back(v);
    }
    list.polygons.push_back(poly);
  }
  WarnEmptyPolygons(empty, start);
  return c.Ok();
}

bool cl_LwoObjectReader::ReadOldPolygons(cl_LwoStream& c) {
  const int start = c.Position() - 8;
  LwoPolygonList& list = m_layer->polygons;
  list.offset = list.count();
  list.vertexOffset = list.vertexCount();
  int empty = 0;
  while (c.Ok() && !c.AtEnd()) {
    LwoPolygon poly;
    poly.type = LwoId("FACE");
    poly.vertexCount = c.U2();
    poly.firstVertex = list.vertexCount();
    if (poly.vertexCount == 0) ++empty;
    for (int k = 0; k < poly.vertexCount; ++k) {
      const int at = c.Position();
      LwoPolygonVertex v;
      v.point = c.U2() + m_layer->points.offset;
      if (!c.Ok()) return m_fault.Set(at, "polygon %d is cut by the end of the chunk", list.count());
      if (!CheckPoint(v.point, at)) return false;
      list.vertices.push_back(v);
    }
    int surface = c.I2();
    if (surface < 0) {
      // Detail polygons follow; they are read as ordinary polygons after their count.
      c.U2();
      surface = -surface;
    }
    poly.surfaceTag = surface - 1;
    list.polygons.push_back(poly);
  }
  WarnEmptyPolygons(empty, start);
  return c.Ok();
}

bool cl_LwoObjectReader::ReadVMap(cl_LwoStream& c, bool perPolygon) {
  auto map = std::make_unique<LwoVMap>();
  map->perPolygon = perPolygon ? 1 : 0;
  map->type = c.U4();
  map->dimension = c.U2();
  map->name = c.S0();
  if (!c.Ok()) return false;
  const int polygons = m_layer->polygons.count();
  while (!c.AtEnd()) {
    const int at = c.Position();
    const int point = c.VX();
    const int polygon = perPolygon ? c.VX() : 0;
    if (!c.Ok() || c.Remaining() < 4 * map->dimension) return m_fault.Set(at, "vertex map entry is cut by the end of the chunk");
    if (!CheckPoint(point, at)) return false;
    if (perPolygon && polygon >= polygons) {
      return m_fault.Set(at, "polygon index %d outside the layer's %d polygons", polygon, polygons);
    }
    map->pointIndex.push_back(point);
    if (perPolygon) map->polygonIndex.push_back(polygon);
    for (int d = 0; d < map->dimension; ++d) map->values.push_back(c.F4());
    ++map->entryCount;
  }
  m_layer->vmaps.append(map.release());
  return c.Ok();
}

bool cl_LwoObjectReader::ReadTags(cl_LwoStream& c) {
  LwoTagList& tags = m_object->tags;
  tags.offset = tags.count();
  while (c.Ok() && !c.AtEnd()) tags.names.push_back(c.S0());
  return c.Ok();
}

bool cl_LwoObjectReader::ReadPolygonTags(cl_LwoStream& c) {
  const unsigned type = c.U4();
  if (type != LwoId("SURF") && type != LwoId("PART") && type != LwoId("SMGP")) return c.Ok();
  LwoPolygonList& list = m_layer->polygons;
  const int tagCount = m_object->tags.count();
  while (c.Ok() && !c.AtEnd()) {
    const int at = c.Position();
    const int polygon = c.VX() + list.offset;
    const int tag = c.VX() + m_object->tags.offset;
    if (!c.Ok()) return m_fault.Set(at, "polygon tag entry is cut by the end of the chunk");
    if (polygon >= list.count()) {
      return m_fault.Set(at, "polygon index %d outside the layer's %d polygons", polygon, list.count());
    }
    if (tag >= tagCount) return m_fault.Set(at, "tag index %d outside the %d tags", tag, tagCount);
    LwoPolygon& p = list.polygons[static_cast<size_t>(polygon)];
    (type == LwoId("SURF") ? p.surfaceTag : type == LwoId("PART") ? p.part : p.smoothingGroup) = tag;
  }
  return c.Ok();
}

}  // namespace

LwoObject::LwoObject() { layers.append(new LwoLayer); }

LwoObject* LwoReadObject(const char* fileName, unsigned* failId, int* failPos) {
  File file;
  if (!fileName || !file.open(fileName, File::STATUS_READ)) return nullptr;
  cl_LwoStream in(&file);
  cl_LwoObjectReader reader(fileName);
  return reader.Read(in, failId, failPos);
}

LwoObject* LwoReadObjectMemory(const void* data, int size, const char* name, unsigned* failId, int* failPos) {
  cl_LwoStream in(static_cast<const unsigned char*>(data), data ? size : 0, 0);
  cl_LwoObjectReader reader(name);
  return reader.Read(in, failId, failPos);
}

void LwoFreeObject(LwoObject* object) { delete object; }

}  // namespace base
