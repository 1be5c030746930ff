// The vertex recorders and their ring buffers.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <type_traits>
#include <vector>

#include "base/data/Array.h"
#include "base/system.h"
#include "platform/gpu/Device.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/DynamicBuffer.h"

namespace win32dx9 {

namespace {

// ORDER RECORDER: the capacity argument of each recorder; vertex and index capacity are three
// times it (21333 keeps the COLORLIGHT recorder's indices below 65,536).
constexpr int kRecorderCapacity[REC_COUNT] = {512, 40000, 512, 512, 21333};
constexpr const char* kRecorderName[REC_COUNT] = {"DIFF", "MODEL", "DIFFBITMAP", "DOUBLETEX", "COLORLIGHT"};
constexpr int kMaxBatchVertices = 65536;  // what a 16-bit index can address

int g_triangles = 0;
st_BitmapCapture* g_bitmapCapture = nullptr;  // benchmarks and tests only

// Whether stage 0's colour is taken from a bound texture: a picture, where a flat fill selects
// the texture factor.
bool ColourReadsTexture() {
  gpu::Device* device = GetD3DDevice();
  if (!device || !device->GetTexture(0)) return false;
  const uint32_t op = device->GetTextureStageState(0, gpu::tss::ColorOp);
  const bool first = device->GetTextureStageState(0, gpu::tss::ColorArg1) == gpu::ta::Texture;
  const bool second = device->GetTextureStageState(0, gpu::tss::ColorArg2) == gpu::ta::Texture;
  if (op == gpu::top::Disable) return false;
  if (op == gpu::top::SelectArg1) return first;
  if (op == gpu::top::SelectArg2) return second;
  return first || second;
}

// ---- Rings

// Position bookkeeping shared by the vertex and the index ring.
class cl_RingPosition {
 public:
  explicit cl_RingPosition(uint32_t capacity) : m_capacity(capacity) {}
  // Claims count elements: sets first and the lock flags; false when count exceeds the capacity.
  bool Claim(uint32_t count, uint32_t& first, uint32_t& flags) {
    if (count > m_capacity) return false;
    flags = gpu::lock::NoOverwrite | gpu::lock::NoSysLock;
    if (m_discardNext || m_position + count > m_capacity) {
      m_discardNext = false;
      m_position = 0;
      flags = gpu::lock::Discard | gpu::lock::NoSysLock;
    }
    first = m_position;
    m_position += count;
    return true;
  }
  void DiscardNext() { m_discardNext = true; }

 private:
  uint32_t m_capacity;
  uint32_t m_position = 0;
  bool m_discardNext = true;
};

// One dynamic default-pool buffer (vertex or index) used as a ring.
template <class Buffer>
class tDynamicRing {
 public:
  tDynamicRing(uint32_t capacity, uint32_t stride) : m_ring(capacity), m_stride(stride) {}
  ~tDynamicRing() {
    Unlock();
    if (m_buffer) m_buffer->Release();
  }
  tDynamicRing(const tDynamicRing&) = delete;
  tDynamicRing& operator=(const tDynamicRing&) = delete;
  Buffer*& Get() { return m_buffer; }

  // Copies count elements in; false (logged) when they cannot be placed.
  bool Write(const void* data, uint32_t count, uint32_t& first, uint32_t& flags) {
    void* target = nullptr;
    if (!m_buffer) return false;  // its creation failed, and said so
    if (!m_ring.Claim(count, first, flags)) {
      base::sys::Output("ERROR: a batch of %u elements does not fit its ring buffer\n", count);
      return false;
    }
    const uint32_t result = m_buffer->Lock(first * m_stride, count * m_stride, &target, flags);
    if (gpu::Failed(result) || !target) {
      LogD3DError(result);
      return false;
    }
    m_locked = true;
    std::memcpy(target, data, static_cast<size_t>(count) * m_stride);
    Unlock();
    return true;
  }
  void Unlock() {
    if (m_locked && m_buffer) m_buffer->Unlock();
    m_locked = false;
  }
  void DiscardNext() { m_ring.DiscardNext(); }

 private:
  cl_RingPosition m_ring;
  uint32_t m_stride;
  Buffer* m_buffer = nullptr;
  bool m_locked = false;
};

// ---- Recorders

class i_Recorder {
 public:
  virtual ~i_Recorder() = default;
  virtual void Reset() = 0;
  st_Batch m_lastBatch;
};

template <class V>
class tRecorder final : public i_Recorder {
 public:
  tRecorder(en_Recorder kind, uint32_t fvf, int capacity)
      : m_kind(kind), m_fvf(fvf), m_capacity(3 * capacity),
        m_vertexRing(static_cast<uint32_t>(m_capacity), sizeof(V)), m_indexRing(static_cast<uint32_t>(m_capacity), 2) {
    gpu::Device* device = GetD3DDevice();
    const uint32_t use = gpu::usage::Dynamic | gpu::usage::WriteOnly;
    if (!device ||
        gpu::Failed(device->CreateVertexBuffer(m_capacity * sizeof(V), use, fvf, gpu::pool::Default, &m_vertexRing.Get())) ||
        gpu::Failed(device->CreateIndexBuffer(m_capacity * 2, use, gpu::fmt::Index16, gpu::pool::Default, &m_indexRing.Get())))
      base::sys::Output("ERROR: the %s vertex recorder cannot make its buffers\n", kRecorderName[kind]);
    m_indices.resize(m_capacity);
    m_vertices.resize(m_capacity);
  }

  // Appends base + offset for each offset, base being the vertex count now. Refused when the
  // indices or the vertices the primitive needs (the largest offset + 1) would not fit; the
  // primitive's vertices are then dropped too, so no index points past the recorded vertices.
  bool AddIndices(std::initializer_list<int> offsets) {
    const int vertices = *std::max_element(offsets.begin(), offsets.end()) + 1;
    if (m_indexCount + static_cast<int>(offsets.size()) > m_capacity || m_vertexCount + vertices > VertexLimit()) {
      m_skipVertices = vertices;
      return Refuse();
    }
    m_skipVertices = 0;
    for (int offset : offsets) m_indices[m_indexCount++] = static_cast<uint16_t>(m_vertexCount + offset);
    return true;
  }
  bool AddIndex(uint16_t index) {
    if (m_indexCount >= m_capacity) return Refuse();
    m_indices[m_indexCount++] = index;
    return true;
  }
  // The next vertex slot, or null when the recorder is full.
  V* AddVertex() {
    if (m_skipVertices > 0) return --m_skipVertices, nullptr;
    if (m_vertexCount >= VertexLimit()) return Refuse(), nullptr;
    return &m_vertices[m_vertexCount++];
  }
  // Room for count more vertices in this batch without passing what 16-bit indices address.
  bool BatchHasRoomFor(int count) const { return m_vertexCount + count <= kMaxBatchVertices; }

  void Flush(uint32_t type) {
    m_used = true;
    if constexpr (std::is_same_v<V, DIFFBITMAPVERTEX>) {
      if (g_bitmapCapture && type == gpu::prim::TriangleList && m_indexCount > 0) {
        for (int i = 0; i < m_indexCount; ++i) g_bitmapCapture->vertices.push_back(m_vertices[m_indices[i]]);
        g_bitmapCapture->drawSizes.push_back(m_indexCount);
        g_bitmapCapture->drawTextured.push_back(ColourReadsTexture());
      }
    }
    if (m_indexCount > 0 && m_vertexCount > 0 && CopyVertices() && CopyIndices()) {
      Select();
      gpu::Device* device = GetD3DDevice();
      device->SetIndices(m_indexRing.Get());
      const uint32_t primitives = type == gpu::prim::LineList ? m_indexCount / 2 : m_indexCount / 3;
      device->DrawIndexedPrimitive(type, m_lastBatch.firstVertex, 0, static_cast<uint32_t>(m_vertexCount),
                                   static_cast<uint32_t>(m_lastBatch.firstIndex), primitives);
    }
    m_vertexCount = m_indexCount = 0;
  }

  void Bind() {
    if (m_vertexCount > 0 && CopyVertices()) Select();
    m_bound = m_vertexCount;
    m_vertexCount = 0;
  }

  void DrawIndexed() {
    m_used = true;
    if (m_indexCount > 0 && m_bound > 0 && CopyIndices()) {
      gpu::Device* device = GetD3DDevice();
      device->SetIndices(m_indexRing.Get());
      device->DrawIndexedPrimitive(gpu::prim::TriangleList, m_lastBatch.firstVertex, 0, static_cast<uint32_t>(m_bound),
                                   static_cast<uint32_t>(m_lastBatch.firstIndex), static_cast<uint32_t>(m_indexCount / 3));
    }
    m_indexCount = 0;
  }

  void Reset() override {
    m_refusalLogged = false;
    if (!m_used) return;
    m_indexCount = m_vertexCount = m_skipVertices = 0;
    m_lastBatch.indexCount = 0;
    m_vertexRing.DiscardNext();
    m_indexRing.DiscardNext();
    m_used = false;
  }

 private:
  int VertexLimit() const { return std::min(m_capacity, kMaxBatchVertices); }
  bool Refuse() {
    if (!m_refusalLogged)
      base::sys::Output("ERROR: the %s vertex recorder is full (%d vertices, %d indices); drawing dropped\n",
                        kRecorderName[m_kind], m_vertexCount, m_indexCount);
    m_refusalLogged = true;
    return false;
  }
  bool CopyVertices() {
    uint32_t first = 0, flags = 0;
    if (!m_vertexRing.Write(m_vertices.data(), static_cast<uint32_t>(m_vertexCount), first, flags)) return false;
    m_lastBatch.vertexCount = m_vertexCount;
    m_lastBatch.firstVertex = static_cast<int>(first);
    m_lastBatch.vertexLockFlags = flags;
    return true;
  }
  bool CopyIndices() {
    uint32_t first = 0, flags = 0;
    if (!m_indexRing.Write(m_indices.data(), static_cast<uint32_t>(m_indexCount), first, flags)) return false;
    m_lastBatch.indexCount = m_indexCount;
    m_lastBatch.firstIndex = static_cast<int>(first);
    return true;
  }
  void Select() {
    gpu::Device* device = GetD3DDevice();
    device->SetFVF(m_fvf);
    device->SetStreamSource(0, m_vertexRing.Get(), 0, sizeof(V));
  }

  en_Recorder m_kind;
  uint32_t m_fvf;
  int m_capacity;
  tDynamicRing<gpu::VertexBuffer> m_vertexRing;
  tDynamicRing<gpu::IndexBuffer> m_indexRing;
  base::tArray<uint16_t> m_indices;
  base::tArray<V> m_vertices;
  int m_indexCount = 0, m_vertexCount = 0;
  int m_bound = 0;  // vertices of the last ModelBind
  bool m_used = true;
  int m_skipVertices = 0;  // vertices of a refused primitive still to be dropped
  bool m_refusalLogged = false;
};

tRecorder<DIFFVERTEX>* g_diff = nullptr;
tRecorder<MODELVERTEX>* g_model = nullptr;
tRecorder<DIFFBITMAPVERTEX>* g_bitmap = nullptr;
tRecorder<DOUBLETEXBITMAPVERTEX>* g_doubleTex = nullptr;
tRecorder<COLORLIGHTVERTEX>* g_colorLight = nullptr;

i_Recorder* Recorder(en_Recorder kind) {
  switch (kind) {
    case REC_DIFF: return g_diff;
    case REC_MODEL: return g_model;
    case REC_DIFFBITMAP: return g_bitmap;
    case REC_DOUBLETEX: return g_doubleTex;
    case REC_COLORLIGHT: return g_colorLight;
    default: return nullptr;
  }
}

template <class R>
void Destroy(R*& recorder) {
  delete recorder;
  recorder = nullptr;
}

}  // namespace

void CreateRecorders() {
  DestroyRecorders();
  g_diff = new tRecorder<DIFFVERTEX>(REC_DIFF, kFvfDiff, kRecorderCapacity[REC_DIFF]);
  g_model = new tRecorder<MODELVERTEX>(REC_MODEL, kFvfModel, kRecorderCapacity[REC_MODEL]);
  g_bitmap = new tRecorder<DIFFBITMAPVERTEX>(REC_DIFFBITMAP, kFvfDiffBitmap, kRecorderCapacity[REC_DIFFBITMAP]);
  g_doubleTex = new tRecorder<DOUBLETEXBITMAPVERTEX>(REC_DOUBLETEX, kFvfDoubleTex, kRecorderCapacity[REC_DOUBLETEX]);
  g_colorLight = new tRecorder<COLORLIGHTVERTEX>(REC_COLORLIGHT, kFvfColorLight, kRecorderCapacity[REC_COLORLIGHT]);
}

void DestroyRecorders() {
  // The device holds the bound buffers; let go of them so they are freed with the recorders.
  if (g_diff)
    if (gpu::Device* device = GetD3DDevice()) {
      device->SetStreamSource(0, nullptr, 0, 0);
      device->SetIndices(nullptr);
    }
  Destroy(g_diff);
  Destroy(g_model);
  Destroy(g_bitmap);
  Destroy(g_colorLight);
  Destroy(g_doubleTex);
}

bool RecordersExist() { return g_diff != nullptr; }
int GetDrawCallCount() { return g_triangles; }

void CaptureBitmapTriangles(st_BitmapCapture* capture) { g_bitmapCapture = capture; }

st_Batch GetLastBatch(en_Recorder recorder) {
  const i_Recorder* r = Recorder(recorder);
  return r ? r->m_lastBatch : st_Batch();
}

int GetRecorderCapacity(en_Recorder recorder) {
  return recorder >= 0 && recorder < REC_COUNT ? 3 * kRecorderCapacity[recorder] : 0;
}

void DynamicBatch::ResetAll() {
  g_triangles = 0;
  for (en_Recorder kind : {REC_DIFF, REC_MODEL, REC_DIFFBITMAP, REC_COLORLIGHT, REC_DOUBLETEX})
    if (i_Recorder* r = Recorder(kind)) r->Reset();
}

// ---- Recording operations. Without recorders (no device) they do nothing.

namespace rec {

void DiffAddLine() {
  if (g_diff) g_diff->AddIndices({0, 1});
}
void DiffAddTriangle() {
  if (g_diff && g_diff->AddIndices({0, 1, 2})) ++g_triangles;
}
void DiffAddVertex(float x, float y, float z, float u, float v, uint32_t color) {
  if (DIFFVERTEX* p = g_diff ? g_diff->AddVertex() : nullptr) *p = {x, y, z, color, u, v};
}
void DiffFlushLines() {
  if (g_diff) g_diff->Flush(gpu::prim::LineList);
}
void DiffFlushTriangles() {
  if (g_diff) g_diff->Flush(gpu::prim::TriangleList);
}

void ModelAddQuad() {
  if (!g_model) return;
  if (!g_model->BatchHasRoomFor(4)) g_model->Flush(gpu::prim::TriangleList);
  if (g_model->AddIndices({0, 1, 2, 0, 2, 3})) g_triangles += 2;
}
void ModelAddVertex(float x, float y, float z, float nx, float ny, float nz, float u, float v) {
  if (MODELVERTEX* p = g_model ? g_model->AddVertex() : nullptr) *p = {x, y, z, nx, ny, nz, u, v};
}
void ModelAddIndex(uint16_t index) {
  if (g_model) g_model->AddIndex(index);
}
void ModelFlush() {
  if (g_model) g_model->Flush(gpu::prim::TriangleList);
}
void ModelBind() {
  if (g_model) g_model->Bind();
}
void ModelDrawIndexed() {
  if (g_model) g_model->DrawIndexed();
}

void BitmapAddTriangle() {
  if (g_bitmap && g_bitmap->AddIndices({0, 1, 2})) ++g_triangles;
}
void BitmapAddQuad() {
  if (g_bitmap && g_bitmap->AddIndices({0, 1, 2, 0, 2, 3})) g_triangles += 2;
}
void BitmapAddVertex(float x, float y, float u, float v, uint32_t color) {
  if (DIFFBITMAPVERTEX* p = g_bitmap ? g_bitmap->AddVertex() : nullptr) *p = {x, y, 0.5f, 0.5f, color, u, v};
}
void BitmapFlush() {
  if (g_bitmap) g_bitmap->Flush(gpu::prim::TriangleList);
}

void DoubleTexAddQuad() {
  if (g_doubleTex && g_doubleTex->AddIndices({0, 1, 2, 0, 2, 3})) g_triangles += 2;
}
void DoubleTexAddVertex(float x, float y, float u, float v) {
  if (DOUBLETEXBITMAPVERTEX* p = g_doubleTex ? g_doubleTex->AddVertex() : nullptr) *p = {x, y, 0.5f, 0.5f, u, v, u, v};
}
void DoubleTexFlush() {
  if (g_doubleTex) g_doubleTex->Flush(gpu::prim::TriangleList);
}

}  // namespace rec

}  // namespace win32dx9
