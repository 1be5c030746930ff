// The Ogre XML mesh importer: submeshes with their first vertex buffer, triangles and bone
// assignments; one region per material. Values are taken as they stand (no axis, unit or
// texture-coordinate conversion); every element it does not name is ignored. A number that is
// not finite fails the import.
#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "base/resource/Resource.h"
#include "base/system.h"
#include "base/text/Vocable.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/OgreXmlNumbers.h"
#include "graphics/mesh/Skeleton.h"

namespace base {

namespace {

// The names the importer reads, interned once per file (interned names may be reset between
// fuzz inputs, so they are not kept across calls).
struct st_MeshNames {
  const unsigned char* submeshes = vocable::find_or_add("submeshes");
  const unsigned char* geometry = vocable::find_or_add("geometry");
  const unsigned char* vertexcount = vocable::find_or_add("vertexcount");
  const unsigned char* vertexbuffer = vocable::find_or_add("vertexbuffer");
  const unsigned char* position = vocable::find_or_add("position");
  const unsigned char* normal = vocable::find_or_add("normal");
  const unsigned char* texcoord = vocable::find_or_add("texcoord");
  const unsigned char* faces = vocable::find_or_add("faces");
  const unsigned char* count = vocable::find_or_add("count");
  const unsigned char* v1 = vocable::find_or_add("v1");
  const unsigned char* v2 = vocable::find_or_add("v2");
  const unsigned char* v3 = vocable::find_or_add("v3");
  const unsigned char* boneassignments = vocable::find_or_add("boneassignments");
  const unsigned char* vertexindex = vocable::find_or_add("vertexindex");
  const unsigned char* boneindex = vocable::find_or_add("boneindex");
  const unsigned char* weight = vocable::find_or_add("weight");
  const unsigned char* x = vocable::find_or_add("x");
  const unsigned char* y = vocable::find_or_add("y");
  const unsigned char* z = vocable::find_or_add("z");
  const unsigned char* u = vocable::find_or_add("u");
  const unsigned char* v = vocable::find_or_add("v");
};

// x, then y, then z, each only while the ones before were present: a vertex missing a part keeps
// the previous vertex's value. False when a part read is not a finite number.
bool ReadXYZ(const st_MeshNames& n, const StaticVariantIterator& e, tVector3<float>& out) {
  const unsigned char* const names[] = {n.x, n.y, n.z};
  float* const parts[] = {&out.x, &out.y, &out.z};
  for (int i = 0; i < 3; ++i) {
    const en_OgreFloat read = ReadOgreFloat(e, names[i], *parts[i]);
    if (read != OGRE_FLOAT_READ) return read == OGRE_FLOAT_MISSING;
  }
  return true;
}

bool NotFinite(const char* file, int submesh, const char* what, int index, const char* element) {
  sys::Output("ERROR: %s: submesh %d %s %d: \"%s\" holds a number that is not finite\n", file, submesh, what, index,
              element);
  return false;
}

// The submesh's vertices in file order, as far as its first vertex buffer holds them. False
// (with the line) at a value that is not a finite number.
bool ReadVertices(const st_MeshNames& n, const char* file, int submesh, const StaticVariantIterator& geometry,
                  cl_Mesh* mesh, std::vector<cl_Mesh::st_Vertex*>& table) {
  int count = 0;
  const StaticVariantIterator buffer = geometry.get_element(n.vertexbuffer);
  if (!geometry.get_attribute_int(n.vertexcount, count) || !buffer) return true;
  if (count > buffer.get_element_cnt() || count < 0) {
    sys::Output("ERROR: %s: submesh %d declares %d vertices but its vertex buffer holds %d\n", file, submesh, count,
                buffer.get_element_cnt());
    count = count < 0 ? 0 : buffer.get_element_cnt();
  }
  tVector3<float> position, normal;
  tVector2<float> uv;
  table.reserve(static_cast<size_t>(count));
  for (int j = 0; j < count; ++j) {
    const StaticVariantIterator vertex = buffer.get_element(j);
    if (!ReadXYZ(n, vertex.get_element(n.position), position)) return NotFinite(file, submesh, "vertex", j, "position");
    if (!ReadXYZ(n, vertex.get_element(n.normal), normal)) return NotFinite(file, submesh, "vertex", j, "normal");
    const StaticVariantIterator tc = vertex.get_element(n.texcoord);
    en_OgreFloat read = ReadOgreFloat(tc, n.u, uv.x);
    if (read == OGRE_FLOAT_READ) read = ReadOgreFloat(tc, n.v, uv.y);
    if (read == OGRE_FLOAT_NOT_FINITE) return NotFinite(file, submesh, "vertex", j, "texcoord");
    table.push_back(mesh->AddVertex(position, normal, uv));
  }
  return true;
}

}  // namespace

bool MeshLoadOgreXML(const char* fileName, cl_Mesh* mesh) {
  if (!mesh) return false;
  StaticVariant doc;
  if (!xml::read_file(doc, fileName)) return false;
  const st_MeshNames n;
  const StaticVariantIterator root(doc.get_words());
  const StaticVariantIterator submeshes = root.get_element(n.submeshes);
  std::vector<cl_Mesh::st_Vertex*> table;
  for (int s = 0; s < submeshes.get_element_cnt(); ++s) {
    const StaticVariantIterator sub = submeshes.get_element(s);
    tString<BaseString> material;
    if (!sub.is_element() || !GetAttributeText(sub, "material", material)) continue;
    cl_Mesh::st_Region* region = mesh->FindOrAddRegion(material.c_str());
    table.clear();
    const StaticVariantIterator geometry = sub.get_element(n.geometry);
    if (geometry && !ReadVertices(n, fileName, s, geometry, mesh, table)) return false;
    const int vertices = static_cast<int>(table.size());
    int badFaces = 0, badAssignments = 0;

    const StaticVariantIterator faces = sub.get_element(n.faces);
    int faceCount = 0;
    if (faces && faces.get_attribute_int(n.count, faceCount)) {
      // Children past the element's own count would be skipped anyway.
      if (faceCount > faces.get_element_cnt()) faceCount = faces.get_element_cnt();
      for (int k = 0; k < faceCount; ++k) {
        const StaticVariantIterator face = faces.get_element(k);
        int a = 0, b = 0, c = 0;
        if (!face.get_attribute_int(n.v1, a) || !face.get_attribute_int(n.v2, b) || !face.get_attribute_int(n.v3, c))
          continue;
        if (a < 0 || b < 0 || c < 0 || a >= vertices || b >= vertices || c >= vertices) {
          ++badFaces;
          continue;
        }
        mesh->AddTriangle(table[static_cast<size_t>(a)], table[static_cast<size_t>(b)], table[static_cast<size_t>(c)])
            ->region = region;
      }
    }

    const StaticVariantIterator assignments = sub.get_element(n.boneassignments);
    for (int k = 0; k < assignments.get_element_cnt(); ++k) {
      const StaticVariantIterator va = assignments.get_element(k);
      int vertex = 0, bone = 0;
      float weight = 0.0f;
      const en_OgreFloat read = ReadOgreFloat(va, n.weight, weight);
      if (read == OGRE_FLOAT_NOT_FINITE) return NotFinite(fileName, s, "bone assignment", k, "weight");
      if (!va.get_attribute_int(n.vertexindex, vertex) || !va.get_attribute_int(n.boneindex, bone) ||
          read == OGRE_FLOAT_MISSING || vertex < 0 || vertex >= vertices) {
        ++badAssignments;
        continue;
      }
      // Bone numbers are stored as a byte (the model's palettes address bones that way).
      table[static_cast<size_t>(vertex)]->AddBone(static_cast<unsigned char>(bone), weight);
    }
    if (badFaces > 0 || badAssignments > 0) {
      sys::Output("ERROR: %s: submesh %d ('%s'): skipped %d faces and %d bone assignments naming no vertex of its %d\n",
                  fileName, s, material.c_str(), badFaces, badAssignments, vertices);
    }
  }
  mesh->vertexUsage = cl_Mesh::VERTEX_MERGED;
  return true;
}

}  // namespace base
