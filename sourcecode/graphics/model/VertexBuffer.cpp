#include "graphics/model/VertexBuffer.h"

#include <cstring>
#include <memory>

#include "base/File.h"
#include "base/system.h"
#include "graphics/mesh/Mesh.h"
#include "platform/gpu/Device.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace gfx {

// ---- st_VertexFormat

st_VertexFormat st_VertexFormat::ForBuilding() {
  st_VertexFormat f;
  f.kind = 1;
  return f;
}

void st_VertexFormat::AddPosition() {
  stride += 12;
  position = 1;
  if (kind) fvf = gpu::fvf::XYZ;
}

void st_VertexFormat::AddSkinWeights(int numWeights) {
  if (numWeights != 4) {
    base::sys::Output("ERROR: a skinned vertex format takes 4 blend values, not %d\n", numWeights);
    return;
  }
  stride += static_cast<uint32_t>(numWeights) * 4;
  position = 1;
  blendWeights = static_cast<uint8_t>(numWeights | 0x20);
  if (kind) fvf = gpu::fvf::XYZB4 | gpu::fvf::LastBetaUByte4;
}

void st_VertexFormat::AddNormals(int count) {
  normals = static_cast<uint8_t>(count);
  stride += static_cast<uint32_t>(count) * 12;
  if (kind) fvf |= gpu::fvf::Normal;
}

void st_VertexFormat::AddTexCoords(int count) {
  if (count < 0 || count > 8) return;
  for (int i = 0; i < count; ++i) texCoordSizes[i] = 2;
  stride += static_cast<uint32_t>(count) * 8;
  if (kind) fvf |= static_cast<uint32_t>(count) << gpu::fvf::TexCountShift;
}

void st_VertexFormat::SetTexCoordSize(int set, int dimension) {
  if (set < 0 || set >= 8 || dimension < 1 || dimension > 4) return;
  texCoordSizes[set] = static_cast<uint8_t>(dimension);
  stride += static_cast<uint32_t>(dimension * 4 - 8);
  if (kind) fvf |= gpu::fvf::TexCoordSize(static_cast<uint32_t>(set), static_cast<uint32_t>(dimension));
}

int st_VertexFormat::WriteVertex(uint8_t* destination, const base::cl_Mesh& mesh, int vertex) const {
  const base::cl_Mesh::st_Vertex& v = *mesh.vertices[vertex];
  uint8_t* out = destination;
  auto put = [&out](const float* f, int n) {
    std::memcpy(out, f, static_cast<size_t>(n) * 4);
    out += n * 4;
  };
  if (position) {
    const float p[3] = {v.position.x, v.position.y, v.position.z};
    put(p, 3);
  }
  if (normals) {
    const float n[3] = {v.normal.x, v.normal.y, v.normal.z};
    put(n, 3);
  }
  for (int set = 0; set < 8 && texCoordSizes[set] != 0; ++set) {
    if (texCoordSizes[set] != 2) continue;
    const float uv[2] = {v.uv.x, v.uv.y};
    put(uv, 2);
  }
  return static_cast<int>(out - destination);
}

// ---- cl_VertexBuffer

void cl_VertexBuffer::Release() {
  m_count = m_stride = m_fvf = 0;
  if (m_buffer) m_buffer->Release();
  m_buffer = nullptr;
  delete[] m_pSystemCopy;
  m_pSystemCopy = nullptr;
}

void cl_VertexBuffer::Create(uint32_t count, uint32_t stride, uint32_t fvf, const void* data, bool keepCopy) {
  Release();
  if (count == 0 || !data) return;
  m_count = count;
  m_stride = stride;
  m_fvf = fvf;
  const uint32_t size = count * stride;
  if (keepCopy) {
    m_pSystemCopy = new uint8_t[size];
    std::memcpy(m_pSystemCopy, data, size);
  }
  gpu::Device* d = win32dx9::GetD3DDevice();
  if (!d || d->CreateVertexBuffer(size, 0, fvf, gpu::pool::Managed, &m_buffer) != gpu::kOk || !m_buffer) {
    m_buffer = nullptr;
    // Without a device the record still round-trips through the kept copy.
    if (!keepCopy) Release();
    return;
  }
  void* p = nullptr;
  if (m_buffer->Lock(0, size, &p, 0) != gpu::kOk || !p) {
    base::sys::Output("VertexBuffer Lock failed\n");
    Release();
    return;
  }
  std::memcpy(p, data, size);
  m_buffer->Unlock();
}

void cl_VertexBuffer::CreateFromFormat(uint32_t count, const st_VertexFormat& format, const void* data,
                                       bool keepCopy) {
  if (count && format.stride && data) Create(count, format.stride, format.GetFVF(), data, keepCopy);
}

bool cl_VertexBuffer::Write(base::File* file) const {
  if (m_count && !m_pSystemCopy) {
    base::sys::Output("ERROR: file '%s': a vertex buffer read from a record cannot be written again\n",
                      file->get_name().c_str());
    return false;
  }
  bool ok = file->write_int(static_cast<int>(m_count)) && file->write_int(static_cast<int>(m_stride)) &&
            file->write_int(static_cast<int>(m_fvf));
  if (ok && m_count) ok = file->write(m_pSystemCopy, static_cast<int>(m_count * m_stride));
  return ok;
}

bool cl_VertexBuffer::Read(base::File* file) {
  Release();
  const int count = file->read_int();
  const int stride = file->read_int();
  const int fvf = file->read_int();
  if (file->has_error()) return false;
  if (count == 0) return true;
  if (count < 0 || stride <= 0 || static_cast<uint32_t>(stride) != gpu::FvfStride(static_cast<uint32_t>(fvf))) {
    file->report_error("vertex buffer with count %d, stride %d and FVF 0x%X", count, stride, fvf);
    return false;
  }
  const int64_t size = static_cast<int64_t>(count) * stride;
  if (size > file->get_remaining()) {
    file->report_error("vertex buffer of %lld bytes past the end", static_cast<long long>(size));
    return false;
  }
  std::unique_ptr<uint8_t[]> block(new uint8_t[static_cast<size_t>(size)]);
  if (!file->read(block.get(), static_cast<int>(size))) return false;
  Create(static_cast<uint32_t>(count), static_cast<uint32_t>(stride), static_cast<uint32_t>(fvf), block.get(),
         !win32dx9::GetD3DDevice());
  return true;
}

// ---- cl_IndexBuffer

void cl_IndexBuffer::Release() {
  m_count = 0;
  if (m_buffer) m_buffer->Release();
  m_buffer = nullptr;
  delete[] m_pSystemCopy;
  m_pSystemCopy = nullptr;
}

void cl_IndexBuffer::Create(uint32_t count, const uint16_t* data, bool keepCopy) {
  Release();
  if (count == 0 || !data) return;
  m_count = count;
  const uint32_t size = count * 2;
  if (keepCopy) {
    m_pSystemCopy = new uint16_t[count];
    std::memcpy(m_pSystemCopy, data, size);
  }
  gpu::Device* d = win32dx9::GetD3DDevice();
  if (!d || d->CreateIndexBuffer(size, 0, gpu::fmt::Index16, gpu::pool::Managed, &m_buffer) != gpu::kOk ||
      !m_buffer) {
    m_buffer = nullptr;
    if (!keepCopy) Release();
    return;
  }
  void* p = nullptr;
  if (m_buffer->Lock(0, size, &p, 0) != gpu::kOk || !p) {
    base::sys::Output("IndexBuffer Lock failed\n");
    Release();
    return;
  }
  std::memcpy(p, data, size);
  m_buffer->Unlock();
}

bool cl_IndexBuffer::Write(base::File* file) const {
  if (m_count && !m_pSystemCopy) {
    base::sys::Output("ERROR: file '%s': an index buffer read from a record cannot be written again\n",
                      file->get_name().c_str());
    return false;
  }
  bool ok = file->write_int(static_cast<int>(m_count));
  if (ok && m_count) ok = file->write(m_pSystemCopy, static_cast<int>(m_count * 2));
  return ok;
}

bool cl_IndexBuffer::Read(base::File* file, uint16_t** indices) {
  Release();
  if (indices) *indices = nullptr;
  int count = 0;
  if (!file->read_length(count, 2, "index buffer")) return false;
  if (count == 0) return true;
  uint16_t* block = new uint16_t[static_cast<size_t>(count)];
  if (!file->read(block, count * 2)) {
    delete[] block;
    return false;
  }
  Create(static_cast<uint32_t>(count), block, !win32dx9::GetD3DDevice());
  if (indices) {
    *indices = block;
  } else {
    delete[] block;
  }
  return true;
}

}  // namespace gfx
