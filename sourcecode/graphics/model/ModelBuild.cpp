// Turning an editable mesh into a model: fan triangulation, the static build with one partition
// per region, and the skinned build that groups faces by bone set and merges the groups into
// palettes the skinning effect can take at once.
#include <algorithm>
#include <cstring>
#include <map>

#include "base/system.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/model/Model.h"

namespace gfx {

struct cl_Model::st_BoneGroup {
  int region = 0;
  std::vector<uint8_t> boneSet;  // ascending until a merge appends
  std::vector<const base::cl_Mesh::st_Face*> faces;
};

namespace {

using Mesh = base::cl_Mesh;

// Triangles (c0, ck, c(k-1)): the reverse of the face's winding, which is what the device culls by.
void AppendFan(const Mesh::st_Face& face, std::vector<uint16_t>& indices) {
  const int n = face.vertices.size();
  for (int k = 2; k < n; ++k) {
    indices.push_back(static_cast<uint16_t>(face.vertices[0]->index));
    indices.push_back(static_cast<uint16_t>(face.vertices[k]->index));
    indices.push_back(static_cast<uint16_t>(face.vertices[k - 1]->index));
  }
}

int MaterialAlpha(const base::Variant& material) {
  int alpha = 0;
  if (material.is_element()) material.get_attribute_int("alpha", alpha);
  return alpha;
}

constexpr int kStaticStride = 32, kSkinnedStride = 48;

}  // namespace

uint8_t cl_Model::FindPaletteIndex(const std::vector<int>& palette, int bone) {
  for (size_t k = 0; k < palette.size(); ++k) {
    if (static_cast<uint8_t>(palette[k]) == static_cast<uint8_t>(bone)) return static_cast<uint8_t>(k);
  }
  return 0;
}

bool cl_Model::BuildIndexArrays(base::cl_Mesh& mesh) {
  Clear();
  mesh.SetVertexSharing(Mesh::VERTEX_MERGED);
  int triangles = 0;
  for (const Mesh::st_Face* f : mesh.faces) {
    if (f->vertices.size() < 3) continue;
    triangles += f->vertices.size() - 2;
    for (int c = 0; !m_skinned && c < f->vertices.size(); ++c) {
      if (f->vertices[c]->boneIndices.size() > 0) m_skinned = 1;
    }
  }
  if (mesh.vertices.size() == 0 || triangles == 0) {
    base::sys::Output("ERROR: Mesh '%s' has no %s; the model stays empty\n", mesh.label.c_str(),
                      mesh.vertices.size() == 0 ? "vertices" : "triangles");
    Clear();
    return false;
  }
  if (mesh.vertices.size() > kMaxVertices) {
    base::sys::Output("ERROR: Mesh '%s' has %d vertices, more than the %d a model can index\n", mesh.label.c_str(),
                      mesh.vertices.size(), kMaxVertices);
    Clear();
    return false;
  }
  const bool ok = m_skinned ? PartitionByBones(mesh, triangles) : BuildStatic(mesh, triangles);
  if (!ok) Clear();
  return ok;
}

bool cl_Model::BuildStatic(base::cl_Mesh& mesh, int triangles) {
  std::vector<uint16_t> indices;
  indices.reserve(static_cast<size_t>(triangles) * 3);
  m_partitions.assign(static_cast<size_t>(mesh.regions.size()), st_Partition());
  for (const Mesh::st_Region* r : mesh.regions) {
    if (r->index < 0 || r->index >= static_cast<int>(m_partitions.size())) continue;
    st_Partition& p = m_partitions[static_cast<size_t>(r->index)];
    p.material = r->material;
    p.startIndex = static_cast<int>(indices.size());
    for (const Mesh::st_Face* f : mesh.faces) {
      if (f->region == r) AppendFan(*f, indices);
    }
    p.primitiveCount = (static_cast<int>(indices.size()) - p.startIndex) / 3;
    base::sys::Output("Surface %d: %d primitives\n", r->index, p.primitiveCount);
  }
  // Faces without a region are not drawn; their slots hold zeros.
  indices.resize(static_cast<size_t>(triangles) * 3, 0);

  m_vertexFormat = st_VertexFormat::ForBuilding();
  m_vertexFormat.AddPosition();
  m_vertexFormat.AddNormals(1);
  m_vertexFormat.AddTexCoords(1);
  m_vertexFormat.SetTexCoordSize(0, 2);
  std::vector<uint8_t> bytes(static_cast<size_t>(mesh.vertices.size()) * kStaticStride);
  for (const Mesh::st_Vertex* v : mesh.vertices) {
    m_vertexFormat.WriteVertex(&bytes[static_cast<size_t>(v->index) * kStaticStride], mesh, v->index);
  }
  m_vertexBuffer.CreateFromFormat(static_cast<uint32_t>(mesh.vertices.size()), m_vertexFormat, bytes.data(), true);
  m_indexBuffer.Create(static_cast<uint32_t>(indices.size()), indices.data(), true);
  return true;
}

bool cl_Model::TryMergeBoneGroup(std::vector<st_BoneGroup>& groups, int i, int range) {
  st_BoneGroup& a = groups[static_cast<size_t>(i)];
  if (a.faces.empty()) return false;
  for (size_t j = 0; j < groups.size(); ++j) {
    st_BoneGroup& b = groups[j];
    if (static_cast<int>(j) == i || b.faces.empty() || b.region != a.region) continue;
    int missing = 0;
    for (uint8_t bone : b.boneSet) {
      if (std::find(a.boneSet.begin(), a.boneSet.end(), bone) == a.boneSet.end() && ++missing > range) break;
    }
    if (missing > range || static_cast<int>(a.boneSet.size()) + missing > kPaletteSize) continue;
    for (uint8_t bone : b.boneSet) {
      if (std::find(a.boneSet.begin(), a.boneSet.end(), bone) == a.boneSet.end()) a.boneSet.push_back(bone);
    }
    a.faces.insert(a.faces.end(), b.faces.begin(), b.faces.end());
    b.faces.clear();
    return true;
  }
  return false;
}

bool cl_Model::PartitionByBones(base::cl_Mesh& mesh, int triangles) {
  const char* label = mesh.label.c_str();
  std::vector<st_BoneGroup> groups;
  for (int r = 0; r < mesh.regions.size(); ++r) {
    const Mesh::st_Region* region = mesh.regions[r];
    for (const Mesh::st_Face* f : mesh.faces) {
      if (f->region != region) continue;
      std::vector<uint8_t> set;
      for (int c = 0; c < f->vertices.size(); ++c) {
        const Mesh::st_Vertex* v = f->vertices[c];
        const int k = v->boneIndices.size();
        if (k == 0) {
          base::sys::Output("ERROR: mesh '%s' contains vertices that are not attached to any bone\n", label);
          return false;
        }
        if (k > kPaletteSize) {
          base::sys::Output("ERROR: mesh '%s' contains vertices that are attached to more than %li bones\n", label,
                            static_cast<long>(kPaletteSize));
          return false;
        }
        for (int b = 0; b < k; ++b) {
          const uint8_t bone = v->boneIndices[b];
          auto at = std::lower_bound(set.begin(), set.end(), bone);
          if (at == set.end() || *at != bone) set.insert(at, bone);
        }
      }
      // One face with more bones than a palette holds could never be drawn whole.
      if (static_cast<int>(set.size()) > kPaletteSize) {
        base::sys::Output("ERROR: Mesh '%s': face %d needs %d bones, more than the %d of a palette\n", label,
                          f->index, static_cast<int>(set.size()), kPaletteSize);
        return false;
      }
      auto g = std::find_if(groups.begin(), groups.end(),
                            [&](const st_BoneGroup& x) { return x.region == r && x.boneSet == set; });
      if (g == groups.end()) {
        groups.push_back({r, set, {}});
        g = groups.end() - 1;
      }
      g->faces.push_back(f);
    }
  }
  base::sys::Output("Regions: %li\n", static_cast<long>(mesh.regions.size()));
  base::sys::Output("Partions: %li\n", static_cast<long>(groups.size()));

  for (int range = 0; range < kPaletteSize; ++range) {
    bool changed = true;
    while (changed) {
      changed = false;
      const int count = static_cast<int>(groups.size());
      for (int i = 0; i < count; ++i) changed |= TryMergeBoneGroup(groups, i, range);
    }
    for (size_t i = 0; i < groups.size();) {
      if (!groups[i].faces.empty()) {
        ++i;
        continue;
      }
      if (i + 1 != groups.size()) groups[i] = std::move(groups.back());
      groups.pop_back();
    }
    base::sys::Output("Range %li, Partions: %li\n", static_cast<long>(range), static_cast<long>(groups.size()));
  }

  base::sys::Output("Partions: %li\n", static_cast<long>(groups.size()));
  for (size_t i = 0; i < groups.size(); ++i) {
    const st_BoneGroup& g = groups[i];
    base::sys::Output("  %li belongs to region %li, has %li bones and %li faces and alpha is %li\n",
                      static_cast<long>(i), static_cast<long>(g.region), static_cast<long>(g.boneSet.size()),
                      static_cast<long>(g.faces.size()),
                      static_cast<long>(MaterialAlpha(mesh.regions[g.region]->material)));
  }

  // Opaque partitions from the front, alpha ones from the back, so the draw can take them in turn.
  std::vector<uint16_t> indices;
  indices.reserve(static_cast<size_t>(triangles) * 3);
  m_partitions.assign(groups.size(), st_Partition());
  int opaque = 0, alpha = static_cast<int>(groups.size()) - 1;
  for (const st_BoneGroup& g : groups) {
    const base::Variant& material = mesh.regions[g.region]->material;
    st_Partition& p = m_partitions[static_cast<size_t>(MaterialAlpha(material) ? alpha-- : opaque++)];
    p.material = material;
    p.startIndex = static_cast<int>(indices.size());
    for (const Mesh::st_Face* f : g.faces) AppendFan(*f, indices);
    p.primitiveCount = (static_cast<int>(indices.size()) - p.startIndex) / 3;
    for (uint8_t bone : g.boneSet) {
      if (std::find(p.palette.begin(), p.palette.end(), bone) == p.palette.end()) p.palette.push_back(bone);
    }
  }
  if (!groups.empty()) m_opaquePartitionCount = opaque;
  indices.resize(static_cast<size_t>(triangles) * 3, 0);

  m_vertexFormat = st_VertexFormat::ForBuilding();
  m_vertexFormat.AddPosition();
  m_vertexFormat.AddSkinWeights(4);
  m_vertexFormat.AddNormals(1);
  m_vertexFormat.AddTexCoords(1);
  m_vertexFormat.SetTexCoordSize(0, 2);
  std::vector<uint8_t> bytes(static_cast<size_t>(mesh.vertices.size()) * kSkinnedStride);
  for (const Mesh::st_Vertex* v : mesh.vertices) {
    uint8_t* out = &bytes[static_cast<size_t>(v->index) * kSkinnedStride];
    float f[12] = {v->position.x, v->position.y, v->position.z, 0, 0, 0, 0, -v->normal.x, -v->normal.y,
                   -v->normal.z, v->uv.x, v->uv.y};
    for (int k = 0; k < 3 && k < v->boneWeights.size(); ++k) f[3 + k] = v->boneWeights[k];
    std::memcpy(out, f, sizeof f);
    uint8_t* bonesAt = out + 24;
    for (int k = 0; k < 4; ++k) bonesAt[k] = k < v->boneIndices.size() ? v->boneIndices[k] : 0;
  }

  // Palette positions. A vertex whose bones sit at other positions in a later partition gets a
  // record of its own for that partition, so every partition reads the right matrices.
  const int meshVertices = mesh.vertices.size();
  std::vector<int> owner(static_cast<size_t>(meshVertices), -1);  // partition that remapped it
  std::vector<uint8_t> source(bytes);                               // bone numbers before remapping
  for (size_t pi = 0; pi < m_partitions.size(); ++pi) {
    const st_Partition& p = m_partitions[pi];
    std::map<int, int> copies;  // original vertex → this partition's record
    for (int i = p.startIndex; i < p.startIndex + p.primitiveCount * 3; ++i) {
      const int v = indices[static_cast<size_t>(i)];
      const uint8_t* from = &source[static_cast<size_t>(v) * kSkinnedStride + 24];
      uint8_t mapped[4];
      for (int k = 0; k < 4; ++k) mapped[k] = FindPaletteIndex(p.palette, from[k]);
      if (owner[static_cast<size_t>(v)] < 0) {
        owner[static_cast<size_t>(v)] = static_cast<int>(pi);
        std::memcpy(&bytes[static_cast<size_t>(v) * kSkinnedStride + 24], mapped, 4);
        continue;
      }
      if (owner[static_cast<size_t>(v)] == static_cast<int>(pi)) continue;
      if (std::memcmp(&bytes[static_cast<size_t>(v) * kSkinnedStride + 24], mapped, 4) == 0) continue;
      auto it = copies.find(v);
      if (it == copies.end()) {
        const int record = static_cast<int>(bytes.size() / kSkinnedStride);
        if (record >= kMaxVertices) {
          base::sys::Output("ERROR: Mesh '%s' needs more than %d vertices once split between palettes\n", label,
                            kMaxVertices);
          return false;
        }
        bytes.insert(bytes.end(), &source[static_cast<size_t>(v) * kSkinnedStride],
                     &source[static_cast<size_t>(v + 1) * kSkinnedStride]);
        std::memcpy(&bytes[static_cast<size_t>(record) * kSkinnedStride + 24], mapped, 4);
        it = copies.emplace(v, record).first;
      }
      indices[static_cast<size_t>(i)] = static_cast<uint16_t>(it->second);
    }
  }
  const uint32_t vertexCount = static_cast<uint32_t>(bytes.size() / kSkinnedStride);
  m_vertexBuffer.CreateFromFormat(vertexCount, m_vertexFormat, bytes.data(), true);
  m_indexBuffer.Create(static_cast<uint32_t>(indices.size()), indices.data(), true);
  return true;
}

}  // namespace gfx
