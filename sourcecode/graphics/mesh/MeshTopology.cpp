// Vertex-face lists, connectivity, edges, and the conversions between the vertex sharing modes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <queue>
#include <utility>
#include <vector>

#include "base/system.h"
#include "graphics/mesh/Mesh.h"

namespace base {

namespace {

// The merge tolerance of the sharing-mode changes.
constexpr float kSharingEpsilon = 1e-5f;

// The values a merge compares, packed so that the grid search stays in cache.
struct st_MergeKey {
  tVector3<float> position;
  tVector3<float> normal;
  tVector2<float> uv;
};

template <class V>
bool WithinEpsilon(const V& a, const V& b, float epsilon) {
  return (a.position - b.position).length() <= epsilon && (a.normal - b.normal).length() <= epsilon &&
         (a.uv - b.uv).length() <= epsilon;
}

// The table index takes the low bits, so every key bit must reach them (splitmix64's mixer).
uint64_t Mix(uint64_t h) {
  h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
  h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
  return h ^ (h >> 31);
}

// The mesh's edges found by their two vertices in either order, for building the edge list in
// linear time: open addressing over a table at most half full.
class cl_EdgeTable {
 public:
  explicit cl_EdgeTable(size_t capacity) {
    size_t size = 16;
    while (size < 2 * capacity) size *= 2;
    m_mask = size - 1;
    m_slots.assign(size, nullptr);
  }
  // The slot of the edge a-b: holding it, or null for the caller to fill. At most `capacity`
  // slots may be filled.
  cl_Mesh::st_Edge*& Find(const cl_Mesh::st_Vertex* a, const cl_Mesh::st_Vertex* b) {
    const uint64_t pa = reinterpret_cast<uintptr_t>(a), pb = reinterpret_cast<uintptr_t>(b);
    const uint64_t hash = Mix(Mix(std::min(pa, pb)) + std::max(pa, pb));
    for (size_t i = static_cast<size_t>(hash) & m_mask;; i = (i + 1) & m_mask) {
      cl_Mesh::st_Edge*& slot = m_slots[i];
      if (!slot || (slot->vertexA == a && slot->vertexB == b) || (slot->vertexA == b && slot->vertexB == a))
        return slot;
    }
  }

 private:
  size_t m_mask = 0;
  std::vector<cl_Mesh::st_Edge*> m_slots;
};

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

// ---- connectivity

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
  // The neighbour count reads marks as "a corner of the face under examination": marks left by
  // SplitVertices would count every corner of every face.
  for (st_Face* f : faces) {
    for (int i = 0; i < f->vertices.size(); ++i) f->vertices[i]->mark = 0;
  }
  // A face g shares as many corners with f as it has uses in the face lists of f's distinct
  // corners. Those uses are counted in g's word2 (cleared above, and again after), and the faces
  // met are kept in the order first met, which is the order of a scan corner by corner.
  std::vector<st_Face*> met;
  for (st_Face* f : faces) {
    f->neighbours.clear();
    met.clear();
    for (int i = 0; i < f->vertices.size(); ++i) {
      st_Vertex* v = f->vertices[i];
      if (v->mark != 0) continue;  // a corner used twice
      v->mark = 1;
      for (int k = 0; k < v->faces.size(); ++k) {
        st_Face* g = v->faces[k];
        if (g == f) continue;
        if (g->word2++ == 0) met.push_back(g);
      }
    }
    for (st_Face* g : met) {
      if (g->word2 >= 2) f->neighbours.push_back(g);
      g->word2 = 0;
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
  size_t corners = 0;
  for (const st_Face* f : faces) corners += static_cast<size_t>(f->vertices.size());
  cl_EdgeTable table(static_cast<size_t>(edges.size()) + corners);
  // An edge listed twice is found as its first, as AddOrFindEdge finds it.
  for (st_Edge* e : edges) {
    st_Edge*& slot = table.Find(e->vertexA, e->vertexB);
    if (!slot) slot = e;
  }
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
      st_Edge*& slot = table.Find(a, b);
      if (!slot) slot = AddEdge(a, b);
      st_Edge* e = slot;
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

// ---- sharing modes

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
namespace {

// Positions bucketed in cubes many epsilons wide, so that a vertex's neighbourhood mostly lies
// in its own cell and most rounds probe one table slot. Cells are found through an
// open-addressed table of key hashes (two cells sharing a hash only add candidates, which the
// exact test rejects); the vertices of one cell are chained through an array. Keys are computed in double, where a float position and
// the epsilon margin round without losing a neighbour.
class cl_MergeGrid {
 public:
  // False when some position cannot be keyed (not finite, or too far out for the cell size).
  bool Build(const std::vector<st_MergeKey>& vertices, float epsilon) {
    const int n = static_cast<int>(vertices.size());
    m_cell = static_cast<double>(epsilon) * 32.0;
    m_reach = static_cast<double>(epsilon) * 1.01;
    if (!(epsilon > 0.0f) || !std::isfinite(m_cell)) return false;
    m_keys.resize(static_cast<size_t>(n) * 3);
    for (int k = 0; k < n; ++k) {
      for (int c = 0; c < 3; ++c) {
        const double q = std::floor(static_cast<double>(vertices[static_cast<size_t>(k)].position[c]) / m_cell);
        if (!(std::fabs(q) < 1e15)) return false;
        m_keys[static_cast<size_t>(k) * 3 + static_cast<size_t>(c)] = static_cast<int64_t>(q);
      }
    }
    size_t size = 16;
    while (size < static_cast<size_t>(n) * 2) size *= 2;
    m_mask = size - 1;
    m_table.assign(size, st_Slot());
    m_next.assign(static_cast<size_t>(n), -1);
    for (int k = n - 1; k >= 0; --k) {
      st_Slot& slot = Find(Hash(&m_keys[static_cast<size_t>(k) * 3]));
      m_next[static_cast<size_t>(k)] = slot.head;
      slot.head = k;
    }
    return true;
  }

  // Calls fn(id) for every vertex id whose cell may hold a point within epsilon of p.
  template <class Fn>
  void ForNeighbours(const tVector3<float>& p, Fn fn) const {
    int64_t lo[3], hi[3];
    for (int c = 0; c < 3; ++c) {
      lo[c] = static_cast<int64_t>(std::floor((static_cast<double>(p[c]) - m_reach) / m_cell));
      hi[c] = static_cast<int64_t>(std::floor((static_cast<double>(p[c]) + m_reach) / m_cell));
    }
    int64_t key[3];
    for (key[0] = lo[0]; key[0] <= hi[0]; ++key[0]) {
      for (key[1] = lo[1]; key[1] <= hi[1]; ++key[1]) {
        for (key[2] = lo[2]; key[2] <= hi[2]; ++key[2]) {
          const st_Slot* slot = Lookup(Hash(key));
          if (!slot) continue;
          for (int id = slot->head; id >= 0; id = m_next[static_cast<size_t>(id)]) fn(id);
        }
      }
    }
  }

 private:
  struct st_Slot {
    uint64_t hash = 0;
    int head = -1;  // -1: unused
  };

  static uint64_t Hash(const int64_t* key) {
    uint64_t h = Mix(static_cast<uint64_t>(key[0]));
    h = Mix(h + static_cast<uint64_t>(key[1]));
    return Mix(h + static_cast<uint64_t>(key[2]));
  }

  st_Slot& Find(uint64_t hash) {  // the hash's slot, claimed when new
    for (size_t i = static_cast<size_t>(hash) & m_mask;; i = (i + 1) & m_mask) {
      st_Slot& slot = m_table[i];
      if (slot.head < 0) {
        slot.hash = hash;
        return slot;
      }
      if (slot.hash == hash) return slot;
    }
  }
  const st_Slot* Lookup(uint64_t hash) const {
    for (size_t i = static_cast<size_t>(hash) & m_mask;; i = (i + 1) & m_mask) {
      const st_Slot& slot = m_table[i];
      if (slot.head < 0) return nullptr;
      if (slot.hash == hash) return &slot;
    }
  }

  double m_cell = 0.0;
  double m_reach = 0.0;
  size_t m_mask = 0;
  std::vector<int64_t> m_keys;
  std::vector<st_Slot> m_table;
  std::vector<int> m_next;
};

}  // namespace

void cl_Mesh::MergeVertices(float epsilon) {
  const int n = vertices.size();
  // Vertex ids are their starting slots.
  std::vector<st_Vertex*> byId(vertices.begin(), vertices.end());
  std::vector<st_MergeKey> values(static_cast<size_t>(n));
  for (size_t k = 0; k < values.size(); ++k) values[k] = {byId[k]->position, byId[k]->normal, byId[k]->uv};
  cl_MergeGrid grid;
  if (!grid.Build(values, epsilon)) {
    MergeVerticesAllPairs(epsilon);
    return;
  }
  FindVertexFaces();
  std::vector<int> slotOf(static_cast<size_t>(n));
  std::vector<int> idAt(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) slotOf[static_cast<size_t>(k)] = idAt[static_cast<size_t>(k)] = k;
  std::vector<char> matching(static_cast<size_t>(n), 0);
  std::vector<int> matches;
  using SlotId = std::pair<int, int>;
  std::priority_queue<SlotId, std::vector<SlotId>, std::greater<SlotId>> pending;

  int count = n;
  for (int i = 0; i < count; ++i) {
    const int aId = idAt[static_cast<size_t>(i)];
    st_Vertex* a = byId[static_cast<size_t>(aId)];
    matches.clear();
    const st_MergeKey& av = values[static_cast<size_t>(aId)];
    grid.ForNeighbours(av.position, [&](int id) {
      const size_t u = static_cast<size_t>(id);
      if (id == aId || matching[u] || !byId[u] || !WithinEpsilon(av, values[u], epsilon)) return;
      matching[u] = 1;
      matches.push_back(id);
      pending.emplace(slotOf[u], id);
    });
    while (!pending.empty()) {
      const auto [slot, id] = pending.top();
      pending.pop();
      const size_t u = static_cast<size_t>(id);
      if (!byId[u] || slotOf[u] != slot) continue;  // moved since it was queued
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
