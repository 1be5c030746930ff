// The renderable form of a mesh: its vertices in one vertex buffer, its triangles in one 16-bit
// index buffer, cut into partitions that each carry a material and, for skinned models, a palette
// of at most 25 bones. A "Model" resource, cached as a ".bmo" record beside its source mesh.
#pragma once

#include <cstdint>
#include <vector>

#include "base/data/Variant.h"
#include "base/resource/Resource.h"
#include "graphics/NamedList.h"
#include "graphics/Texture.h"
#include "graphics/model/VertexBuffer.h"

namespace base {
class Matrix4;
class cl_Camera;
class cl_Mesh;
class cl_Skeleton;
class i_ResourceMgr;
}  // namespace base

namespace gpux {
class Effect;
}

namespace gfx {


class cl_Model : public base::i_Resource {
 public:
  static constexpr int kPaletteSize = 25;  // bone matrices the skinning effect takes at once
  static constexpr int kMaxVertices = 65536;  // 16-bit indices

  struct st_Partition {
    int startIndex = 0;
    int primitiveCount = 0;   // triangles from startIndex on
    base::Variant material;   // the region's "Material" element, or nil
    std::vector<int> palette;  // skeleton bone numbers by palette position (empty when static)
  };

  cl_Model() = default;
  ~cl_Model() override;

  // "label" and "file" are required. A ".bmo" beside the file with the file's time stamp is
  // read; a stale or damaged one is rebuilt from the file (the old one kept, with a warning,
  // when that fails). A cache without its source is used as it is.
  bool Init(base::StaticVariantIterator element) override;
  // The record. A damaged one is logged, fails the file and leaves the model empty.
  void Read(base::File* file) override;
  // Logged and the file failed when the model has no system copies (read, or a failed build).
  void Write(base::File* file) override;
  bool ReadRecord(base::File* file);   // Read with its result
  bool WriteRecord(base::File* file);  // Write with its result

  // Replaces format, buffers and partitions with the mesh's (whose vertices get merged). A mesh
  // the model cannot hold is logged and leaves the model empty; false then.
  bool BuildIndexArrays(base::cl_Mesh& mesh);
  bool IsBuilt() const { return m_vertexFormat.kind == 1; }

  // Fixed-function draw with each partition's material; the triangles drawn.
  int DrawMesh();
  // Through the skinning effect with the skeleton's last pose; alpha partitions count twice.
  int DrawSkinned(const base::Matrix4& world, base::cl_Skeleton* skeleton, base::cl_Camera* camera);
  int DrawPartition(const st_Partition& partition, const base::Matrix4& world, base::cl_Skeleton* skeleton);
  // Drops the shared effect (device loss); the next skinned draw makes it again.
  static void ReleaseSkinShader();
  static bool SkinShaderFailed();  // the last creation failed; cleared by ReleaseSkinShader

  // The first palette position holding bone (as a byte); 0 when absent.
  static uint8_t FindPaletteIndex(const std::vector<int>& palette, int bone);

  // Read access for tools and tests.
  bool IsSkinned() const { return m_skinned != 0; }
  const st_VertexFormat& GetVertexFormat() const { return m_vertexFormat; }
  const cl_VertexBuffer& GetVertexBuffer() const { return m_vertexBuffer; }
  const cl_IndexBuffer& GetIndexBuffer() const { return m_indexBuffer; }
  const std::vector<st_Partition>& GetPartitions() const { return m_partitions; }
  int GetOpaquePartitionCount() const { return m_opaquePartitionCount; }
  base::tNamedList<cl_Texture>& GetTextures() { return m_textures; }

 private:
  struct st_BoneGroup;
  void Clear();
  bool BuildStatic(base::cl_Mesh& mesh, int triangles);
  bool PartitionByBones(base::cl_Mesh& mesh, int triangles);
  static bool TryMergeBoneGroup(std::vector<st_BoneGroup>& groups, int i, int range);
  void InitTextures(base::StaticVariantIterator element);  // the element's "Texture" children
  bool BuildFromSource(base::StaticVariantIterator element, const char* file, const char* label,
                       const char* cachePath);
  cl_Texture* FindTexture(const char* label) const;
  void BindBuffers();

  uint8_t m_skinned = 0;
  float m_reserved[6] = {};
  st_VertexFormat m_vertexFormat;
  cl_VertexBuffer m_vertexBuffer;
  cl_IndexBuffer m_indexBuffer;
  std::vector<st_Partition> m_partitions;
  int m_opaquePartitionCount = 0;
  base::tNamedList<cl_Texture> m_textures;

  static gpux::Effect* ms_pSkinShader;
  static bool ms_skinShaderFailed;
};

// The model filed under label, or null (an empty pool entry is left for a new label).
cl_Model* GetModel(const char* label);
inline cl_Model* ModelExists(const char* label) { return GetModel(label); }

// Turns a "Material" element into fixed-function state; textures may be null.
void ApplyMaterial(const base::Variant& material, const base::tNamedList<cl_Texture>* textures);

// World transform, then the model's draw; the count is added to the frame's triangles.
int DrawModel(cl_Model* model, const base::Matrix4& world);
int DrawModelPart(cl_Model* model, base::cl_Skeleton* skeleton, const base::Matrix4& world, base::cl_Camera* camera);

// The "Model" resource type (labels unique), for the graphics library's registration.
base::i_ResourceType* CreateModelResourceType();

}  // namespace gfx
