// Import of a LightWave object into the editable mesh. LightWave is left-handed: X is negated
// and every polygon's winding reversed so that fronts stay fronts.
#include "graphics/mesh/lwo/LwoImport.h"

#include <map>

#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/lwo/LwoObject.h"

namespace base {

namespace {

// The uv of a "TXUV" reference of two or more dimensions, flipped to (u, 1 − v). Other maps are
// refused: a weight map has one value and must never be read as two.
bool TexUV(const LwoVMapRef& r, tVector2<float>& uv) {
  if (r.vmap->type != LwoId("TXUV") || r.vmap->dimension < 2) return false;
  const float* v = r.vmap->value(r.entry);
  uv = tVector2<float>(v[0], 1.0f - v[1]);
  return true;
}

}  // namespace

bool MeshLoadLWO(const char* fileName, cl_Mesh* mesh) {
  LwoObject* object = LwoReadObject(fileName, nullptr, nullptr);
  if (!object || !mesh) {
    LwoFreeObject(object);
    return false;
  }
  mesh->vertexUsage = cl_Mesh::VERTEX_SHARED;

  std::map<const LwoSurface*, cl_Mesh::st_Region*> regionOf;
  int i = 0;
  for (const LwoSurface* s = object->surfaces.first; s; s = s->next, ++i) {
    auto* region = new cl_Mesh::st_Region;
    region->label = s->name.c_str();
    region->index = i;
    mesh->regions.push_back(region);
    regionOf[s] = region;
  }

  const LwoLayer& layer = *object->layers.first;
  const int base = mesh->vertices.size();
  for (const LwoPoint& p : layer.points.points) {
    // Of several uv maps on a point the last one wins, as the editor shows it.
    tVector2<float> uv;
    for (auto it = p.vmapRefs.rbegin(); it != p.vmapRefs.rend() && !TexUV(*it, uv); ++it) {
    }
    mesh->AddVertex(tVector3<float>(-p.pos[0], p.pos[1], p.pos[2]), tVector3<float>(), uv);
  }

  // Every polygon becomes the face of its number, one without vertices too (the reader has
  // warned about it): face numbers and surfaces stay those of the file.
  std::vector<cl_Mesh::st_Vertex*> corners;
  for (const LwoPolygon& poly : layer.polygons.polygons) {
    corners.clear();
    for (int k = poly.vertexCount - 1; k >= 0; --k) corners.push_back(mesh->vertices[base + poly.vertices[k].point]);
    cl_Mesh::st_Face* face = mesh->AddFace(corners.data(), static_cast<int>(corners.size()));
    face->region = regionOf[poly.surface];
    for (int k = poly.vertexCount - 1; k >= 0; --k) {
      const LwoPolygonVertex& v = poly.vertices[k];
      face->cornerNormals.push_back(tVector3<float>(-v.normal[0], v.normal[1], v.normal[2]));
      // A corner's own uv (a per-polygon map) comes first, then its point's.
      tVector2<float> uv = mesh->vertices[base + v.point]->uv;
      for (const LwoVMapRef& r : v.vmapRefs) {
        if (TexUV(r, uv)) break;
      }
      face->cornerUVs.push_back(uv);
    }
  }
  LwoFreeObject(object);
  return true;
}

}  // namespace base
