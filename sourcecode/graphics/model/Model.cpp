// The model as a resource: initialisation from its element through the ".bmo" cache, the
// binary record with its checks, the pool lookup and the type's registration.
#include "graphics/model/Model.h"

#include <memory>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/resource/ResourceMgr.h"
#include "base/system.h"
#include "base/text/Vocable.h"
#include "graphics/Texture.h"
#include "graphics/mesh/Mesh.h"
#include "platform/gpu/Device.h"

namespace gfx {

cl_Model::~cl_Model() { Clear(); }

void cl_Model::Clear() {
  m_skinned = 0;
  for (float& r : m_reserved) r = 0.0f;
  m_vertexFormat = st_VertexFormat();
  m_vertexBuffer.Release();
  m_indexBuffer.Release();
  m_partitions.clear();
  m_opaquePartitionCount = 0;
}

// ---- Init and the cache

bool cl_Model::Init(base::StaticVariantIterator element) {
  base::tString<base::BaseString> label, file;
  if (!base::GetAttributeText(element, "label", label) || !base::GetAttributeText(element, "file", file)) {
    base::sys::Output("ERROR: a \"Model\" needs both \"label\" and \"file\" ('%s', '%s')\n", label.c_str(),
                      file.c_str());
    return false;
  }
  base::tString<base::BaseString> cache = file;
  base::ReplaceFileExtension(cache, "bmo");
  // The model's own textures come from its element whether the geometry is built or read, so a
  // cached model finds them as a freshly built one does.
  InitTextures(element);
  const bool haveCache = base::FileExists(cache);
  const bool haveSource = base::FileExists(file);
  // The build stamps the cache with its source's time, so any other time means the source moved on.
  if (haveCache && (!haveSource || base::FileTimeCompare(cache.c_str(), file.c_str()) == 0)) {
    base::File in(cache.c_str(), base::File::STATUS_READ);
    if (in.is_open() && ReadRecord(&in)) return true;
    base::sys::Output("Warning: model cache '%s' is damaged; rebuilding it from '%s'\n", cache.c_str(), file.c_str());
  }
  if (BuildFromSource(element, file.c_str(), label.c_str(), cache.c_str())) return true;
  if (haveCache) {
    base::File in(cache.c_str(), base::File::STATUS_READ);
    if (in.is_open() && ReadRecord(&in)) {
      base::sys::Output("Warning: model '%s' uses its old cache '%s'\n", label.c_str(), cache.c_str());
      return true;
    }
  }
  return false;
}

void cl_Model::InitTextures(base::StaticVariantIterator element) {
  static const unsigned char* const kTexture = base::vocable::find_or_add("Texture");
  m_textures.Clear();
  for (int c = 0; c < element.get_element_cnt(); ++c) {
    const base::StaticVariantIterator child = element.get_element(c);
    base::tString<base::BaseString> name;
    if (!child.is_element() || child.get_label() != kTexture || !base::GetAttributeText(child, "label", name)) continue;
    cl_Texture* texture = new cl_Texture;
    texture->Init(child);
    texture->Load();
    m_textures.Add(name.c_str(), texture);
  }
}

bool cl_Model::BuildFromSource(base::StaticVariantIterator element, const char* file, const char* label,
                               const char* cachePath) {
  std::unique_ptr<base::cl_Mesh> mesh(new base::cl_Mesh);
  if (!base::tMultiFileFormatLoader<base::cl_Mesh>::LoadFileMultiFormat(file, mesh.get()) ||
      !mesh->InitMaterials(element)) {
    base::sys::Output("ERROR: could not open file %s for model or unknown file format('%s')\n", file, label);
    return false;
  }
  if (!BuildIndexArrays(*mesh)) {
    base::sys::Output("ERROR: model '%s' could not be built from %s\n", label, file);
    return false;
  }
  base::File out;
  if (!out.open(cachePath, base::File::STATUS_WRITE)) {
    base::sys::Output("Warning: could not write the model cache %s; '%s' stays built in memory\n", cachePath, label);
    return true;
  }
  if (!WriteRecord(&out)) {
    out.discard();
    return true;
  }
  if (out.close()) base::FileTimeCopy(cachePath, file);
  return true;
}

// ---- The record

void cl_Model::Read(base::File* file) { ReadRecord(file); }
void cl_Model::Write(base::File* file) { WriteRecord(file); }

bool cl_Model::WriteRecord(base::File* file) {
  if (!IsBuilt() || (m_vertexBuffer.GetCount() && !m_vertexBuffer.GetSystemCopy()) ||
      (m_indexBuffer.GetCount() && !m_indexBuffer.GetSystemCopy())) {
    base::sys::Output("ERROR: file '%s': model without system copies of its buffers (not built in this run)\n",
                      file->get_name().c_str());
    file->set_error();
    return false;
  }
  bool ok = file->write(&m_skinned, 1) && file->write(m_reserved, sizeof m_reserved) &&
            file->write(&m_vertexFormat, sizeof m_vertexFormat) && m_vertexBuffer.Write(file) &&
            m_indexBuffer.Write(file) && file->write_int(static_cast<int>(m_partitions.size()));
  for (const st_Partition& p : m_partitions) {
    if (!ok) break;
    ok = file->write_int(p.startIndex) && file->write_int(p.primitiveCount) && p.material.Write(file) &&
         base::WriteIntList(file, p.palette.data(), static_cast<int>(p.palette.size()));
  }
  return ok && file->write_int(m_opaquePartitionCount);
}

bool cl_Model::ReadRecord(base::File* file) {
  Clear();
  auto fail = [&](const char* what) {
    // Short reads fail the file silently, so the record says what was wrong either way.
    file->report_error("damaged model record: %s", what);
    Clear();
    return false;
  };
  st_VertexFormat format;
  if (!file->read(&m_skinned, 1) || !file->read(m_reserved, sizeof m_reserved) || !file->read(&format, sizeof format))
    return fail("short header");
  if (m_skinned > 1) return fail("skinned flag");
  uint16_t* indexBlock = nullptr;
  if (!m_vertexBuffer.Read(file)) return fail("vertex buffer");
  const bool indicesRead = m_indexBuffer.Read(file, &indexBlock);
  std::unique_ptr<uint16_t[]> indices(indexBlock);
  if (!indicesRead) return fail("index buffer");
  const uint32_t vertices = m_vertexBuffer.GetCount();
  if (vertices && (format.kind != 1 || format.stride != m_vertexBuffer.GetStride() ||
                   format.fvf != m_vertexBuffer.GetFVF()))
    return fail("vertex format and vertex buffer disagree");
  const uint32_t indexCount = m_indexBuffer.GetCount();
  for (uint32_t i = 0; i < indexCount; ++i) {
    if (indices[i] >= vertices) return fail("index past the vertices");
  }
  int count = 0;
  // A partition takes at least 4 + 4 + 4 (nil Variant) + 4 bytes.
  if (!file->read_length(count, 16, "model partitions")) return fail("partition count");
  m_partitions.resize(static_cast<size_t>(count));
  for (st_Partition& p : m_partitions) {
    p.startIndex = file->read_int();
    p.primitiveCount = file->read_int();
    if (file->has_error() || !p.material.Read(file)) return fail("partition");
    if (p.startIndex < 0 || p.primitiveCount < 0 ||
        static_cast<int64_t>(p.startIndex) + static_cast<int64_t>(p.primitiveCount) * 3 > indexCount)
      return fail("partition range outside the index buffer");
    int n = 0;
    if (!file->read_length(n, 4, "palette")) return fail("palette");
    if (n > kPaletteSize) return fail("palette larger than 25");
    p.palette.resize(static_cast<size_t>(n));
    for (int& bone : p.palette) bone = file->read_int();
    if (file->has_error()) return fail("palette");
  }
  m_opaquePartitionCount = file->read_int();
  if (file->has_error()) return fail("opaque partition count");
  if (m_opaquePartitionCount < 0 || m_opaquePartitionCount > count) return fail("opaque partition count");
  m_vertexFormat = format;
  return true;
}

// ---- Pool and type

using ModelType = base::tResourceType<cl_Model>;

cl_Model* GetModel(const char* label) { return ModelType::Get(label); }

base::i_ResourceType* CreateModelResourceType() {
  // Labels are unique: a second "Model" of a label is refused with a log line.
  return new ModelType(false);
}

}  // namespace gfx
