// Drawing models: materials as fixed-function state for static models, and the skinning effect
// for skinned ones, which draws opaque partitions first and alpha partitions in two passes
// (cut-out texels with depth writes, then the blended rest without). Models are drawn without
// culling whatever the caller left: the floor mirror turns their winding over, a flattened shadow
// has none, and imported meshes do not promise one.
#include <cstring>
#include <string>

#include "base/File.h"
#include "base/math/Matrix4.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/Texture.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Skeleton.h"
#include "graphics/model/Model.h"
#include "platform/gpu/Device.h"
#include "platform/gpux/Effect.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace gfx {

gpux::Effect* cl_Model::ms_pSkinShader = nullptr;
bool cl_Model::ms_skinShaderFailed = false;

namespace {

const char* const kSkinShaderPath = "Shader\\Skinning.fx";

gpu::Matrix ToDevice(const base::Matrix4& m) {
  gpu::Matrix out;
  std::memcpy(out.m, m.m, sizeof out.m);
  return out;
}

bool IsMaterial(const base::Variant& material) {
  const char* label = material.is_element() ? material.get_label() : nullptr;
  return label && std::strcmp(label, "Material") == 0;
}

// The string attribute name, or null when absent or not a string.
const char* StringAttribute(const base::Variant& material, const char* name) {
  const base::Variant* a = material.get_attribute(name);
  return a && a->is_string() ? a->get_string() : nullptr;
}

int IntAttribute(const base::Variant& material, const char* name, int otherwise) {
  int value = otherwise;
  material.get_attribute_int(name, value);
  return value;
}

// The model's own texture of that label first, then the texture pool.
cl_Texture* LookUpTexture(const char* label, const base::tNamedList<cl_Texture>* textures) {
  cl_Texture* t = textures ? textures->Find(label) : nullptr;
  return t ? t : TextureExists(label);
}

void ReportDrawFailure(gpu::Result result) {
  base::sys::Output("ERROR: %s\n", gpu::ErrorName(result));
  base::sys::Output("ERROR: DrawIndexedPrimitive of a model failed\n");
}

}  // namespace

void ApplyMaterial(const base::Variant& material, const base::tNamedList<cl_Texture>* textures) {
  if (!IsMaterial(material)) return;
  const char* shader = StringAttribute(material, "shader");
  if (!shader) return;
  if (std::strcmp(shader, "lambert") == 0) {
    SetTextureModulateDiffuse();
    const bool alpha = IntAttribute(material, "alpha", 0) == 1;
    SetBlendAlpha(alpha);
    SetCullNone(true, false);
    if (const char* label = StringAttribute(material, "texture")) {
      if (cl_Texture* t = LookUpTexture(label, textures)) SetTexture(0, t);
    }
  } else if (std::strcmp(shader, "diffusecolor") == 0) {
    auto channel = [&](const char* name) { return static_cast<uint32_t>(IntAttribute(material, name, 255)) & 0xFF; };
    SetFlatColor(channel("a") << 24 | channel("r") << 16 | channel("g") << 8 | channel("b"));
  } else if (std::strcmp(shader, "color") == 0) {
    SetFlatColor(0xFFFF0000u);
  } else {
    SetFlatColor(0xFFFFFFFFu);
  }
}

cl_Texture* cl_Model::FindTexture(const char* label) const { return LookUpTexture(label, &m_textures); }

void cl_Model::BindBuffers() {
  gpu::Device* d = win32dx9::GetD3DDevice();
  d->SetFVF(m_vertexFormat.GetFVF());
  d->SetStreamSource(0, m_vertexBuffer.GetD3DBuffer(), 0, m_vertexFormat.stride);
  d->SetIndices(m_indexBuffer.GetD3DBuffer());
}

int cl_Model::DrawMesh() {
  SetCullNone(true, false);
  gpu::Device* d = win32dx9::GetD3DDevice();
  if (!IsBuilt() || !d || !m_vertexBuffer.GetD3DBuffer() || !m_indexBuffer.GetD3DBuffer()) return 0;
  BindBuffers();
  int drawn = 0;
  for (const st_Partition& p : m_partitions) {
    ApplyMaterial(p.material, &m_textures);
    if (p.primitiveCount > 0) {
      const gpu::Result r = d->DrawIndexedPrimitive(gpu::prim::TriangleList, 0, 0, m_vertexBuffer.GetCount(),
                                                    static_cast<uint32_t>(p.startIndex),
                                                    static_cast<uint32_t>(p.primitiveCount));
      if (r != gpu::kOk) ReportDrawFailure(r);
    }
    drawn += p.primitiveCount;
  }
  return drawn;
}

void cl_Model::ReleaseSkinShader() {
  if (ms_pSkinShader) ms_pSkinShader->Release();
  ms_pSkinShader = nullptr;
  ms_skinShaderFailed = false;
}

bool cl_Model::SkinShaderFailed() { return ms_skinShaderFailed; }

namespace {

// Reads the effect through the engine's file names ("\" and any case); one log line on failure.
gpux::Effect* CreateSkinShader(gpu::Device* device) {
  base::File file(kSkinShaderPath, base::File::STATUS_READ);
  std::string text(static_cast<size_t>(file.is_open() ? file.get_size() : 0), '\0');
  if (!file.is_open() || text.empty() || !file.read(text.data(), static_cast<int>(text.size()))) {
    base::sys::Output("ERROR: could not read the skinning effect %s; skinned models are not drawn\n", kSkinShaderPath);
    return nullptr;
  }
  gpux::Effect* effect = nullptr;
  std::string errors;
  if (gpux::Effect::CreateFromMemory(device, text.data(), text.size(), &effect, &errors) != gpu::kOk || !effect) {
    base::sys::Output("ERROR: Shader Error in %s: %s\n", kSkinShaderPath, errors.empty() ? "(no text)" : errors.c_str());
    return nullptr;
  }
  return effect;
}

}  // namespace

int cl_Model::DrawSkinned(const base::Matrix4& world, base::cl_Skeleton* skeleton, base::cl_Camera* camera) {
  gpu::Device* d = win32dx9::GetD3DDevice();
  if (!IsDeviceOk() || !d) return 0;
  if (!ms_pSkinShader && !ms_skinShaderFailed) {
    ms_pSkinShader = CreateSkinShader(d);
    // Until the next reset a failed effect is not tried again, so its text is logged once.
    ms_skinShaderFailed = !ms_pSkinShader;
  }
  if (!ms_pSkinShader || !IsBuilt() || !camera || !skeleton || !m_vertexBuffer.GetD3DBuffer() ||
      !m_indexBuffer.GetD3DBuffer())
    return 0;
  gpux::Effect* fx = ms_pSkinShader;

  const base::Matrix4 view = camera->GetViewMatrix();
  camera->_CalcProjection();
  const base::Matrix4 viewProjection = view * camera->GetProjectionMatrix();
  const base::Matrix4 worldViewProjection = world * viewProjection;
  fx->SetTechnique(IsModelConstantColor() ? "CC_Skinned" : "Skinned");
  const base::Matrix4 inverseView = view.inverse();
  const float cameraPosition[3] = {inverseView.m[12], inverseView.m[13], inverseView.m[14]};

  const int lights = LightState.entryCount;
  float posNrml[st_LightState::kMaxLights * 4] = {}, colours[st_LightState::kMaxLights * 4] = {};
  float ranges[st_LightState::kMaxLights] = {};
  for (int i = 0; i < lights; ++i) {
    const st_LightState::st_Entry& e = LightState.entries[i];
    posNrml[i * 4 + 0] = e.vector.x;
    posNrml[i * 4 + 1] = e.vector.y;
    posNrml[i * 4 + 2] = e.vector.z;
    colours[i * 4 + 0] = ((e.colour >> 16) & 0xFF) / 255.0f;
    colours[i * 4 + 1] = ((e.colour >> 8) & 0xFF) / 255.0f;
    colours[i * 4 + 2] = (e.colour & 0xFF) / 255.0f;
    ranges[i] = e.range;
  }
  const uint32_t base = IsModelConstantColor() ? GetTextureFactor() : LightState.ambient;
  const float colour[3] = {((base >> 16) & 0xFF) / 255.0f, ((base >> 8) & 0xFF) / 255.0f, (base & 0xFF) / 255.0f};

  fx->SetFloatArray("CameraPosition", cameraPosition, 3);
  fx->SetInt("CurNumLights", lights);
  fx->SetInt("NumLights", lights);
  fx->SetVectorArray("LightPosNrml", posNrml, static_cast<uint32_t>(lights));
  fx->SetVectorArray("LightColor", colours, static_cast<uint32_t>(lights));
  fx->SetFloatArray("LightRange", ranges, static_cast<uint32_t>(lights));
  fx->SetMatrix("World", ToDevice(world));
  fx->SetMatrix("WorldIT", ToDevice(world.inverse()));
  fx->SetMatrix("ViewProjection", ToDevice(viewProjection));
  fx->SetMatrix("WorldViewProjection", ToDevice(worldViewProjection));
  fx->SetFloatArray("Color", colour, 3);
  fx->SetFloat("DiffuseCoeff", GetDiffuseCoefficient());
  fx->SetFloat("SpecularCoeff", 0.0f);
  fx->SetFloat("SpecularPower", 1.0f);
  fx->SetFloat("NumBones", 4.0f);
  BindBuffers();
  SetCullNone(true, false);

  int drawn = 0;
  const int count = static_cast<int>(m_partitions.size());
  const int opaque = std::min(std::max(m_opaquePartitionCount, 0), count);
  // An override texture (a silhouette) is blended on the opaque parts too.
  SetBlendAlpha(GetModelTextureOverride() != nullptr);
  fx->SetInt("AlphaMode", 0);
  for (int i = 0; i < opaque; ++i) drawn += DrawPartition(m_partitions[static_cast<size_t>(i)], world, skeleton);
  if (opaque < count) {
    SetBlendAlpha(true);
    fx->SetInt("AlphaMode", 1);
    for (int i = opaque; i < count; ++i) drawn += DrawPartition(m_partitions[static_cast<size_t>(i)], world, skeleton);
    SetBlendAlpha(true);
    EnableZWrite(false);
    fx->SetInt("AlphaMode", 2);
    for (int i = opaque; i < count; ++i) drawn += DrawPartition(m_partitions[static_cast<size_t>(i)], world, skeleton);
  }
  EnableZWrite(true);
  return drawn;
}

int cl_Model::DrawPartition(const st_Partition& partition, const base::Matrix4& world, base::cl_Skeleton* skeleton) {
  gpux::Effect* fx = ms_pSkinShader;
  gpu::Device* d = win32dx9::GetD3DDevice();
  if (!fx || !d || !skeleton) return 0;
  gpu::Matrix palette[kPaletteSize];
  const int size = std::min(static_cast<int>(partition.palette.size()), static_cast<int>(kPaletteSize));
  for (int k = 0; k < size; ++k) {
    const int b = partition.palette[static_cast<size_t>(k)];
    if (b < 0 || b >= skeleton->GetNumBones()) {
      base::sys::Output("ERROR: skinned model names bone %d, the skeleton has %d; partition not drawn\n", b,
                        skeleton->GetNumBones());
      return 0;
    }
    palette[k] = ToDevice((*skeleton)[b].skinMatrix * world);
  }
  fx->SetMatrixArray("BoneWorld", palette, static_cast<uint32_t>(size));

  cl_Texture* override = GetModelTextureOverride();
  fx->SetInt("AlphaBlend", 0);
  if (const char* label = partition.material.is_element() ? StringAttribute(partition.material, "texture") : nullptr) {
    cl_Texture* t = FindTexture(label);
    if (override) {
      t = override;
      fx->SetInt("AlphaBlend", 1);
    }
    if (!t) {
      base::sys::Output("no texture with label %s exists.\n", label);
    } else {
      t->Load();
      if (gpu::Texture* device = t->GetD3DTexture()) {
        fx->SetTexture("ColorTexture", device);
      } else {
        base::sys::Output("no device texture for label %s exists.\n", label);
      }
    }
  }
  uint32_t passes = 0;
  fx->Begin(&passes, 0);
  for (uint32_t pass = 0; pass < passes; ++pass) {
    fx->BeginPass(pass);
    const gpu::Result r =
        d->DrawIndexedPrimitive(gpu::prim::TriangleList, 0, 0, m_vertexBuffer.GetCount(),
                                static_cast<uint32_t>(partition.startIndex), static_cast<uint32_t>(partition.primitiveCount));
    if (r != gpu::kOk) ReportDrawFailure(r);
    fx->EndPass();
  }
  fx->End();
  return partition.primitiveCount;
}

// ---- The immediate helpers for models

namespace {
int CountFrameTriangles(int drawn) {
  if (win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance())
    device->TrianglesThisFrame() += drawn;
  return drawn;
}
}  // namespace

int DrawModel(cl_Model* model, const base::Matrix4& world) {
  if (!model) return 0;
  SetWorldMatrix(world);
  return CountFrameTriangles(model->DrawMesh());
}

int DrawModelPart(cl_Model* model, base::cl_Skeleton* skeleton, const base::Matrix4& world, base::cl_Camera* camera) {
  if (!model) return 0;
  SetWorldMatrix(world);
  return CountFrameTriangles(model->DrawSkinned(world, skeleton, camera));
}

}  // namespace gfx
