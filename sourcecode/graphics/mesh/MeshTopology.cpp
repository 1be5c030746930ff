// Vertex-face lists, connectivity, edges, and the conversions between the vertex sharing modes.
#include <cmath>
#include <cstdint>
#include <functional>
#include <queue>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/system.h"
#include "graphics/mesh/Mesh.h"

namespace base {

namespace {

// The merge tolerance of the sharing-mode changes.
constexpr float kSharingEpsilon = 1e-5f;

bool WithinEpsilon(const cl_Mesh::st_Vertex& a, const cl_Mesh::st_Vertex& b, float epsilon) {
  return (a.position - b.position).length() <= epsilon && (a.normal - b.normal).length() <= epsilon &&
         (a.uv - b.uv).length() <= epsilon;
}

// Every corner of B's faces that holds B takes A instead; then B is destroyed.
void FoldVertexInto(cl_Mesh::st_Vertex* a, cl_Mesh::st_Vertex* b) {
  for (int k = 0; k < b->faces.size(); ++k) {
    cl_Mesh::st_Face* f = b->faces[k];
    for (int c = 0; c < f->vertices.size(); ++c) {
      if (f->vertices[c] == b) f->vertices[c] = a;
    }
  }
  delete b;
}

}  // namespace

// ---------------------------------------------------------------- connectivity

void cl_Mesh::FindVertexFaces() {
  for (st_Vertex* v : vertices) v->faces.clear();
  for (st_Face* f : faces) {
    for (int i = 0; i < f->vertices.size(); ++i) f->vertices[i]->faces.push_back(f);
  }
  flags |= FLAG_VERTEX_FACES;
}

void cl_Mesh::CalcConnectivity() {
  FindVertexFaces();
  for (st_Face* f : faces) {
    f->word2 = 0;
    f->CalcCenterAndNormal();
  }
  for (st_Face* f : faces) {
    f->neighbours.clear();
    for (int i = 0; i < f->vertices.size(); ++i) f->vertices[i]->mark = 1;
    for (int i = 0; i < f->vertices.size(); ++i) {
      const st_Vertex* v = f->vertices[i];
      for (int k = 0; k < v->faces.size(); ++k) {
        st_Face* g = v->faces[k];
        if (g == f) continue;
        int shared = 0;
        for (int c = 0; c < g->vertices.size(); ++c) shared += g->vertices[c]->mark != 0;
        if (shared >= 2) f->neighbours.push_back_unique(g);
      }
    }
    for (int i = 0; i < f->vertices.size(); ++i) f->vertices[i]->mark = 0;
  }
  // Unnormalised face normals weigh each face by its area.
  for (st_Vertex* v : vertices) {
    tVector3<float> sum;
    for (int k = 0; k < v->faces.size(); ++k) sum += v->faces[k]->normal;
    v->normal = sum.normal();
  }
}

void cl_Mesh::BuildEdgeList() {
  for (st_Face* f : faces) {
    const int n = f->vertices.size();
    for (int i = 0; i < n; ++i) {
      st_Vertex* a = f->vertices[i];
      st_Vertex* b = f->vertices[(i + 1) % n];
      const tVector3<float>& p = a->position;
      if (a == b) {
        sys::Output("Warning: mesh import detected invalid edge (%.02f,%.02f,%.02f)\n(vertex occurred twice)\n",
                    static_cast<double>(p.x), static_cast<double>(p.y), static_cast<double>(p.z));
        continue;
      }
      if (a->position.x == b->position.x && a->position.z == b->position.z) {
        sys::Output(
            "Warning: mesh import detected invalid edge (%.02f,%.02f,%.02f)\n(two vertices sharing XZ position)\n",
            static_cast<double>(p.x), static_cast<double>(p.y), static_cast<double>(p.z));
        continue;
      }
      st_Edge* e = AddOrFindEdge(a, b);
      e->faces.push_back_unique(f);
      f->edges.push_back_unique(e);
    }
  }
  for (st_Edge* e : edges) {
    tVector3<float> sum;
    for (int k = 0; k < e->faces.size(); ++k) sum += e->faces[k]->normal;
    e->normal = sum.normal();
    e->centre = (e->vertexA->position + e->vertexB->position) * 0.5f;
  }
}

// ---------------------------------------------------------------- sharing modes

void cl_Mesh::SplitVertices() {
  for (st_Vertex* v : vertices) v->mark = 0;
  for (st_Face* f : faces) {
    for (int i = 0; i < f->vertices.size(); ++i) {
      st_Vertex* v = f->vertices[i];
      if (v->mark != 0) {
        st_Vertex* copy = new st_Vertex;
        copy->position = v->position;
        copy->normal = v->normal;
        // A merged mesh has no corner data: the corner keeps the uv it had.
        copy->uv = v->uv;
        copy->tag = v->tag;
        copy->boneIndices = v->boneIndices;
        copy->boneWeights = v->boneWeights;
        copy->mark = 2;
        copy->index = vertices.size();
        vertices.push_back(copy);
        f->vertices[i] = copy;
        v = copy;
      } else {
        v->mark = 1;
      }
      // Only shared-mode faces carry corner data; other faces keep their vertices' values.
      if (i < f->cornerUVs.size()) v->uv = f->cornerUVs[i];
      if (i < f->cornerNormals.size()) v->normal = f->cornerNormals[i];
    }
    f->cornerUVs.clear();
    f->cornerNormals.clear();
  }
}

void cl_Mesh::MergeVerticesAllPairs(float epsilon) {
  FindVertexFaces();
  for (int i = 0; i < vertices.size(); ++i) {
    st_Vertex* a = vertices[i];
    for (int j = i + 1; j < vertices.size();) {
      st_Vertex* b = vertices[j];
      if (WithinEpsilon(*a, *b, epsilon)) {
        FoldVertexInto(a, b);
        vertices.remove_swap_last(j);
      } else {
        ++j;
      }
    }
  }
  for (int k = 0; k < vertices.size(); ++k) vertices[k]->index = k;
}

// The all-pairs loop removes, in round i, exactly the later vertices within epsilon of
// vertices[i] (closeness is symmetric, so no earlier survivor is close to it), and the order
// the survivors end in depends only on which slots those were. So each round can find its
// matches through a grid of positions and then replay just the slot moves: the smallest
// matching slot takes the last vertex, which is itself removed at once when it matches.
void cl_Mesh::MergeVertices(float epsilon) {
  const int n = vertices.size();
  // Grid cells a little wider than epsilon, so that close positions are at most one cell apart
  // whatever the rounding; positions the grid cannot key take the reference path.
  const float cell = epsilon * 1.5f;
  const float kMaxKey = 1e9f;
  bool gridOk = epsilon > 0.0f && std::isfinite(epsilon) && std::isfinite(1.0f / cell);
  std::vector<int64_t> keys(static_cast<size_t>(gridOk ? n : 0) * 3);
  for (int k = 0; gridOk && k < n; ++k) {
    for (int c = 0; c < 3; ++c) {
      const float q = std::floor(vertices[k]->position[c] / cell);
      if (!(std::fabs(q) < kMaxKey)) {
        gridOk = false;
        break;
      }
      keys[static_cast<size_t>(k) * 3 + static_cast<size_t>(c)] = static_cast<int64_t>(q);
    }
  }
  if (!gridOk) {
    MergeVerticesAllPairs(epsilon);
    return;
  }

  FindVertexFaces();
  auto cellKey = [](int64_t x, int64_t y, int64_t z) {
    return static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^
           static_cast<uint64_t>(z) * 0x165667B19E3779F9ull;
  };
  // Vertex ids are their starting slots; grid buckets hold ids (a hash collision only adds
  // candidates, which the exact test then rejects).
  std::unordered_map<uint64_t, std::vector<int>> grid;
  grid.reserve(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    const int64_t* key = &keys[static_cast<size_t>(k) * 3];
    grid[cellKey(key[0], key[1], key[2])].push_back(k);
  }
  std::vector<st_Vertex*> byId(vertices.begin(), vertices.end());
  std::vector<int> slotOf(static_cast<size_t>(n));
  std::vector<int> idAt(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) slotOf[static_cast<size_t>(k)] = idAt[static_cast<size_t>(k)] = k;
  std::vector<char> removed(static_cast<size_t>(n), 0);
  std::vector<char> matching(static_cast<size_t>(n), 0);
  std::vector<int> matches;
  using SlotId = std::pair<int, int>;
  std::priority_queue<SlotId, std::vector<SlotId>, std::greater<SlotId>> pending;

  int count = n;
  for (int i = 0; i < count; ++i) {
    const int aId = idAt[static_cast<size_t>(i)];
    st_Vertex* a = byId[static_cast<size_t>(aId)];
    const int64_t* key = &keys[static_cast<size_t>(aId) * 3];
    matches.clear();
    for (int64_t dx = -1; dx <= 1; ++dx) {
      for (int64_t dy = -1; dy <= 1; ++dy) {
        for (int64_t dz = -1; dz <= 1; ++dz) {
          auto it = grid.find(cellKey(key[0] + dx, key[1] + dy, key[2] + dz));
          if (it == grid.end()) continue;
          for (int id : it->second) {
            const size_t u = static_cast<size_t>(id);
            if (id == aId || removed[u] || matching[u]) continue;
            if (!WithinEpsilon(*a, *byId[u], epsilon)) continue;
            matching[u] = 1;
            matches.push_back(id);
            pending.emplace(slotOf[u], id);
          }
        }
      }
    }
    while (!pending.empty()) {
      const auto [slot, id] = pending.top();
      pending.pop();
      const size_t u = static_cast<size_t>(id);
      if (removed[u] || slotOf[u] != slot) continue;  // moved since it was queued
      removed[u] = 1;
      FoldVertexInto(a, byId[u]);
      byId[u] = nullptr;
      const int last = count - 1;
      if (slot != last) {
        const int movedId = idAt[static_cast<size_t>(last)];
        idAt[static_cast<size_t>(slot)] = movedId;
        slotOf[static_cast<size_t>(movedId)] = slot;
        if (matching[static_cast<size_t>(movedId)]) pending.emplace(slot, movedId);
      }
      --count;
    }
    for (int id : matches) matching[static_cast<size_t>(id)] = 0;
  }

  vertices.resize_down(count);
  for (int k = 0; k < count; ++k) {
    vertices[k] = byId[static_cast<size_t>(idAt[static_cast<size_t>(k)])];
    vertices[k]->index = k;
  }
}

void cl_Mesh::SetVertexSharing(en_VertexUsage mode) {
  if (mode == vertexUsage) return;
  switch (mode) {
    case VERTEX_SPLIT:
      SplitVertices();
      break;
    case VERTEX_MERGED:
      if (vertexUsage == VERTEX_SHARED) SplitVertices();
      MergeVertices(kSharingEpsilon);
      break;
    case VERTEX_SHARED:
      for (st_Face* f : faces) {
        f->cornerUVs.clear();
        f->cornerNormals.clear();
        for (int i = 0; i < f->vertices.size(); ++i) {
          f->cornerUVs.push_back(f->vertices[i]->uv);
          f->cornerNormals.push_back(f->vertices[i]->normal);
        }
      }
      // With normals and uvs zeroed the merge goes by position alone.
      for (st_Vertex* v : vertices) {
        v->normal = tVector3<float>();
        v->uv = tVector2<float>();
      }
      MergeVertices(kSharingEpsilon);
      break;
    default:  // stored as it is
      break;
  }
  vertexUsage = mode;
}

}  // namespace base
