// The path graph's nodes and the generic best-first search over them. A node keeps the parent
// and cost of its first discovery; the search has no heuristic and tests the goal when it is
// popped, so results depend only on discovery order. Used by the navigation mesh.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "base/math/Vector.h"

namespace base {
class cl_Mesh;
}

namespace quillane {

// Search marks of a node: parent (null = not discovered in the current search) and the cost at
// discovery.
template <class T>
struct tPathNode {
  T* parent = nullptr;
  float cost = 0.0f;
};

// One graph node per mesh edge. Neighbours and their weights live in flat arrays owned by the
// nav mesh, so a search walks contiguous memory; the node holds its slice. What a search reads
// comes first.
class cl_PathNode final : public tPathNode<cl_PathNode> {
 public:
  virtual ~cl_PathNode() = default;
  cl_PathNode() = default;
  cl_PathNode(const cl_PathNode&) = default;
  cl_PathNode& operator=(const cl_PathNode&) = default;

  virtual int GetNeighbourCount() const { return neighbourCount; }
  virtual cl_PathNode* GetNeighbour(int k) const { return neighbours[k]; }
  // Nodes stand on the floor in 3-D; there is no 2-D position.
  virtual void GetPosition2D(base::tVector2<float>& out) const { out = base::tVector2<float>(0, 0); }

  int neighbourCount = 0;
  cl_PathNode** neighbours = nullptr;  // neighbourCount entries, in build order
  // EdgeCost to each neighbour (length × weight), kept beside the weights by an owner that
  // writes them; null when the search is to ask EdgeCost.
  float* costs = nullptr;
  int id = 0;  // 1-based creation order
  int zero = 0;
  const void* element = nullptr;  // the mesh edge (base::cl_Mesh::st_Edge)
  base::tVector3<float> position;
  float* weights = nullptr;  // one per neighbour, written by every path query
  float* lengths = nullptr;  // 3-D distance to each neighbour, fixed at build
};

// Best-first search with a 1-based binary min-heap. Derived classes supply EdgeCost; the heap
// storage and the list of discovered nodes are kept between searches.
template <class T>
class tPathFinder {
 public:
  static constexpr int kHeapReserve = 50001;
  static constexpr int kPopBudget = 49999;

  tPathFinder() = default;
  virtual ~tPathFinder() = default;
  tPathFinder(const tPathFinder&) = delete;
  tPathFinder& operator=(const tPathFinder&) = delete;

  virtual float EdgeCost(T* from, T* to) = 0;
  virtual bool IsPassable(T*) { return true; }

  // True when the goal is reached within the pop budget at a cost up to maxCost; the result list
  // then runs from the node after start to goal and resultCost holds the goal's cost. Marks are
  // cleared before returning.
  bool Search(T* start, T* goal, float maxCost);

  T* m_start = nullptr;
  T* m_goal = nullptr;
  float m_maxCost = 0.0f;
  float m_resultCost = 0.0f;
  std::vector<T*> m_result;

 private:
  struct st_HeapEntry {
    float cost;
    T* node;
  };
  void Push(float cost, T* node);
  st_HeapEntry Pop();
  void ResetMarks();

  std::vector<st_HeapEntry> m_heap;  // entry 0 unused
  int m_heapSize = 0;
  std::vector<T*> m_touched;  // every node whose parent was set in this search
};

// ---- search

template <class T>
void tPathFinder<T>::Push(float cost, T* node) {
  ++m_heapSize;
  if (m_heapSize >= static_cast<int>(m_heap.size())) m_heap.resize(m_heap.size() * 2);
  int i = m_heapSize;
  // An equal-cost parent stays above.
  while (i > 1 && m_heap[i / 2].cost > cost) {
    m_heap[i] = m_heap[i / 2];
    i /= 2;
  }
  m_heap[i] = st_HeapEntry{cost, node};
}

template <class T>
typename tPathFinder<T>::st_HeapEntry tPathFinder<T>::Pop() {
  const st_HeapEntry top = m_heap[1];
  // The last entry sinks from the root: a child moves up when it is strictly cheaper than the
  // sinking entry, the right one only when also strictly cheaper than the left. Done bottom-up:
  // the hole runs down the path of cheaper children to a leaf (one comparison a level, no early
  // exit to mispredict), then the sinking entry climbs back over the path entries that are not
  // cheaper than it. Costs along the path never decrease, so it ends where the sinking stops.
  const st_HeapEntry last = m_heap[m_heapSize];
  const int size = --m_heapSize;
  int i = 1;
  while (2 * i < size) {
    const int l = 2 * i;
    const int chosen = m_heap[l + 1].cost < m_heap[l].cost ? l + 1 : l;
    m_heap[i] = m_heap[chosen];
    i = chosen;
  }
  if (2 * i == size) {  // a lone left child
    m_heap[i] = m_heap[2 * i];
    i = 2 * i;
  }
  while (i > 1 && !(m_heap[i / 2].cost < last.cost)) {
    m_heap[i] = m_heap[i / 2];
    i /= 2;
  }
  m_heap[i] = last;
  return top;
}

template <class T>
void tPathFinder<T>::ResetMarks() {
  // A list instead of a walk over the graph: no recursion, and only the nodes touched.
  for (T* n : m_touched) n->parent = nullptr;
  m_touched.clear();
  m_heapSize = 0;
}

template <class T>
bool tPathFinder<T>::Search(T* start, T* goal, float maxCost) {
  m_start = start;
  m_goal = goal;
  m_maxCost = maxCost;
  m_resultCost = 0.0f;
  m_result.clear();
  if (goal && !IsPassable(goal)) return false;
  if (start == nullptr || goal == nullptr || start == goal) return false;
  if (m_heap.size() < static_cast<size_t>(kHeapReserve)) m_heap.resize(kHeapReserve);
  m_heapSize = 0;
  m_touched.clear();
  start->parent = start;
  m_touched.push_back(start);
  Push(0.0f, start);
  for (int pops = 0; pops < kPopBudget && m_heapSize > 0; ++pops) {
    const st_HeapEntry e = Pop();
    T* n = e.node;
    if (n == goal) {
      for (T* p = goal; p != start; p = p->parent) m_result.push_back(p);
      std::reverse(m_result.begin(), m_result.end());
      m_resultCost = e.cost;
      ResetMarks();
      return true;
    }
    const int count = n->GetNeighbourCount();
    for (int k = 0; k < count; ++k) {
      T* m = n->GetNeighbour(k);
      if (m == nullptr || m->parent != nullptr) continue;
      if (!IsPassable(m)) continue;
      const float c = (n->costs ? n->costs[k] : EdgeCost(n, m)) + e.cost;
      if (c <= maxCost) {
        Push(c, m);
        m->cost = c;
        m->parent = n;
        m_touched.push_back(m);
      }
    }
  }
  ResetMarks();
  return false;
}

}  // namespace quillane
