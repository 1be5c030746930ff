// Static geometry for models: a vertex format description that yields the vertex size and the
// FVF code, and managed-pool vertex and 16-bit index buffers. Each buffer can keep a system copy
// of its contents, which is what its binary record is written from.
#pragma once

#include <cstdint>

namespace base {
class File;
class cl_Mesh;
}  // namespace base

namespace gpu {
class VertexBuffer;
class IndexBuffer;
}  // namespace gpu

namespace gfx {

// 24 bytes as they lie in memory; the model record stores them as they are.
struct st_VertexFormat {
  uint8_t kind = 0;        // 1: the FVF code is maintained; 0: only the layout fields are
  uint8_t position = 0;    // 1 with a position
  uint8_t reserved0 = 0;
  uint8_t blendWeights = 0;  // weight count or 0x20; 0 without weights
  uint8_t normals = 0;
  uint8_t reserved1[3] = {0, 0, 0};
  uint8_t texCoordSizes[8] = {};  // dimension of each set; 0 ends the list
  uint32_t stride = 0;
  uint32_t fvf = 0;

  st_VertexFormat() = default;
  static st_VertexFormat ForBuilding();  // kind 1, everything else 0

  // The calls come in this order: position (then skin weights), normals, sets, set sizes.
  void AddPosition();
  void AddSkinWeights(int numWeights);  // 4 only: three floats and four index bytes
  void AddNormals(int count);
  void AddTexCoords(int count);         // count sets of dimension 2
  void SetTexCoordSize(int set, int dimension);
  uint32_t GetFVF() const { return fvf; }
  // Position, normal and the 2-D uv of the vertex, as far as the format has them; returns the
  // bytes written. Blend weights are the model builder's.
  int WriteVertex(uint8_t* destination, const base::cl_Mesh& mesh, int vertex) const;
};
static_assert(sizeof(st_VertexFormat) == 24, "the model record stores the descriptor as it lies in memory");

class cl_VertexBuffer {
 public:
  cl_VertexBuffer() = default;
  ~cl_VertexBuffer() { Release(); }
  cl_VertexBuffer(const cl_VertexBuffer&) = delete;
  cl_VertexBuffer& operator=(const cl_VertexBuffer&) = delete;

  void Release();  // empty: no device buffer, no copy, count 0
  // Replaces the contents; nothing more for count 0 or no data. A failed creation or lock leaves
  // the buffer empty (the lock failure logged). keepCopy keeps the bytes for Write.
  void Create(uint32_t count, uint32_t stride, uint32_t fvf, const void* data, bool keepCopy);
  void CreateFromFormat(uint32_t count, const st_VertexFormat& format, const void* data, bool keepCopy);
  // The record: count, stride, FVF, the bytes. False (logged) without a system copy.
  bool Write(base::File* file) const;
  // Reads a record; a damaged one is logged, fails the file and leaves the buffer empty.
  bool Read(base::File* file);

  gpu::VertexBuffer* GetD3DBuffer() const { return m_buffer; }
  uint32_t GetCount() const { return m_count; }
  uint32_t GetStride() const { return m_stride; }
  uint32_t GetFVF() const { return m_fvf; }
  const uint8_t* GetSystemCopy() const { return m_pSystemCopy; }

 private:
  gpu::VertexBuffer* m_buffer = nullptr;
  uint32_t m_count = 0;
  uint32_t m_stride = 0;
  uint32_t m_fvf = 0;
  uint8_t* m_pSystemCopy = nullptr;
};

class cl_IndexBuffer {
 public:
  cl_IndexBuffer() = default;
  ~cl_IndexBuffer() { Release(); }
  cl_IndexBuffer(const cl_IndexBuffer&) = delete;
  cl_IndexBuffer& operator=(const cl_IndexBuffer&) = delete;

  void Release();
  void Create(uint32_t count, const uint16_t* data, bool keepCopy);
  bool Write(base::File* file) const;  // false (logged) without a system copy
  // A damaged record is logged, fails the file and leaves the buffer empty. The indices are kept
  // in `indices` for the caller's checks when it is not null.
  bool Read(base::File* file, uint16_t** indices = nullptr);

  gpu::IndexBuffer* GetD3DBuffer() const { return m_buffer; }
  uint32_t GetCount() const { return m_count; }
  const uint16_t* GetSystemCopy() const { return m_pSystemCopy; }

 private:
  gpu::IndexBuffer* m_buffer = nullptr;
  uint32_t m_count = 0;
  uint16_t* m_pSystemCopy = nullptr;
};

}  // namespace gfx
