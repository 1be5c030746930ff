// Vertex input and draw calls: vertex layouts to GL attributes, render states to GL state.
#include <algorithm>
#include <cstring>

#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/Log.h"

namespace gpu {
namespace {

// Attribute locations. ORDER ATTRIB: VertexPrologue() in FixedFunction.cpp.
enum : GLuint { kPosition = 0, kBlendWeight = 1, kBlendIndices = 2, kNormal = 3, kDiffuse = 4, kSpecular = 5,
                kTex0 = 6, kAttributes = 10 };

GLenum GlBlend(uint32_t b) {
  switch (b) {
    case blend::Zero: return GL_ZERO;
    case blend::SrcColor: return GL_SRC_COLOR;
    case blend::InvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case blend::SrcAlpha: return GL_SRC_ALPHA;
    case blend::InvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case blend::DestAlpha: return GL_DST_ALPHA;
    case blend::InvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case blend::DestColor: return GL_DST_COLOR;
    case blend::InvDestColor: return GL_ONE_MINUS_DST_COLOR;
    default: return GL_ONE;
  }
}

GLenum GlCompare(uint32_t c) {
  static const GLenum kTable[] = {GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL, GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
  return c >= 1 && c <= 8 ? kTable[c - 1] : GL_LEQUAL;
}

GLenum GlAddress(uint32_t a) {
  switch (a) {
    case address::Mirror: return GL_MIRRORED_REPEAT;
    case address::Clamp: return GL_CLAMP_TO_EDGE;
    case 4: return GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
  }
}

void Pointer(GLuint location, GLint size, GLenum type, bool normalized, uint32_t stride, uintptr_t at) {
  glEnableVertexAttribArray(location);
  glVertexAttribPointer(location, size, type, normalized ? GL_TRUE : GL_FALSE, GLsizei(stride),
                        reinterpret_cast<const void*>(at));
}

}  // namespace

GLenum GlPrimitive(uint32_t type) {
  switch (type) {
    case prim::PointList: return GL_POINTS;
    case prim::LineList: return GL_LINES;
    case prim::LineStrip: return GL_LINE_STRIP;
    case prim::TriangleList: return GL_TRIANGLES;
    case prim::TriangleStrip: return GL_TRIANGLE_STRIP;
    case prim::TriangleFan: return GL_TRIANGLE_FAN;
    default: return GL_NONE;
  }
}

Result Device::SetFVF(uint32_t fvf) {
  DeviceImpl& d = *impl_;
  if (fvf && !FvfStride(fvf)) return kErrInvalidCall;
  if (fvf != d.fvf || d.declaration) d.layoutBuffer = 0;
  d.fvf = fvf;
  if (d.declaration) d.declaration->Release(), d.declaration = nullptr;
  d.stateDirty = true;
  return kOk;
}

Result Device::SetVertexDeclaration(VertexDeclaration* declaration) {
  DeviceImpl& d = *impl_;
  if (declaration != d.declaration) d.layoutBuffer = 0;
  if (declaration) declaration->AddRef();
  if (d.declaration) d.declaration->Release();
  d.declaration = declaration;
  if (declaration) d.fvf = 0;
  d.stateDirty = true;
  return kOk;
}

Result Device::SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) {
  if (stream != 0) return kErrInvalidCall;
  DeviceImpl& d = *impl_;
  if (buffer) buffer->AddRef();
  if (d.stream.buffer) d.stream.buffer->Release();
  d.stream = {buffer, offset, stride};
  return kOk;
}

Result Device::SetIndices(IndexBuffer* buffer) {
  DeviceImpl& d = *impl_;
  if (buffer) buffer->AddRef();
  if (d.indices) d.indices->Release();
  d.indices = buffer;
  return kOk;
}

bool DeviceImpl::PrepareVertices(uintptr_t base, uint32_t stride) {
  glBindVertexArray(vao);
  GLint bound = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
  if (layoutBuffer == GLuint(bound) && bound != 0 && layoutBase == base && layoutStride == stride &&
      layoutFvf == fvf && layoutDeclaration == declaration)
    return true;
  layoutBuffer = 0;
  for (GLuint i = 0; i < kAttributes; ++i) glDisableVertexAttribArray(i);
  VertexInputs in;
  if (declaration) {
    for (const VertexElement& e : declaration->Elements()) {
      static const GLint kSize[] = {1, 2, 3, 4, GL_BGRA, 4};
      static const GLenum kType[] = {GL_FLOAT, GL_FLOAT, GL_FLOAT, GL_FLOAT, GL_UNSIGNED_BYTE, GL_UNSIGNED_BYTE};
      GLuint location;
      switch (e.usage) {
        case decl::UsagePositionT: location = kPosition, in.rhw = true; break;
        case decl::UsagePosition: location = kPosition; break;
        case decl::UsageBlendWeight: location = kBlendWeight; break;
        case decl::UsageBlendIndices: location = kBlendIndices; break;
        case decl::UsageNormal: location = kNormal, in.normal = true; break;
        case decl::UsageColor:
          location = e.usageIndex == 0 ? kDiffuse : kSpecular;
          (e.usageIndex == 0 ? in.diffuse : in.specular) = true;
          break;
        case decl::UsageTexCoord:
          if (e.usageIndex >= 4) continue;
          location = kTex0 + e.usageIndex;
          in.texSets = std::max<uint32_t>(in.texSets, e.usageIndex + 1u);
          break;
        default: continue;
      }
      Pointer(location, kSize[e.type], kType[e.type], e.type == decl::Color, stride, base + e.offset);
    }
  } else {
    const uint32_t code = fvf;
    uintptr_t at = base;
    const uint32_t position = code & fvf::PositionMask;
    if (position == fvf::XYZRHW || position == fvf::XYZW) {
      Pointer(kPosition, 4, GL_FLOAT, false, stride, at);
      in.rhw = position == fvf::XYZRHW;
      at += 16;
    } else if (position) {
      Pointer(kPosition, 3, GL_FLOAT, false, stride, at);
      at += 12;
      // Blend values follow the position; with a packed last value that one holds bone indices.
      uint32_t betas = position == fvf::XYZ ? 0 : (position - fvf::XYZB1) / 2 + 1;
      const bool packed = (code & (fvf::LastBetaUByte4 | fvf::LastBetaColor)) != 0 && betas > 0;
      const uint32_t weights = packed ? betas - 1 : betas;
      if (weights) Pointer(kBlendWeight, GLint(std::min(weights, 4u)), GL_FLOAT, false, stride, at);
      at += weights * 4;
      if (packed) {
        Pointer(kBlendIndices, 4, GL_UNSIGNED_BYTE, false, stride, at);
        at += 4;
      }
    } else {
      return false;
    }
    if (code & fvf::Normal) Pointer(kNormal, 3, GL_FLOAT, false, stride, at), at += 12, in.normal = true;
    if (code & fvf::PSize) at += 4;
    if (code & fvf::Diffuse) Pointer(kDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, true, stride, at), at += 4, in.diffuse = true;
    if (code & fvf::Specular) Pointer(kSpecular, GL_BGRA, GL_UNSIGNED_BYTE, true, stride, at), at += 4, in.specular = true;
    const uint32_t sets = std::min(8u, (code & fvf::TexCountMask) >> fvf::TexCountShift);
    for (uint32_t i = 0; i < sets; ++i) {
      static const GLint kFloats[4] = {2, 3, 4, 1};
      const GLint n = kFloats[(code >> (16 + 2 * i)) & 3];
      if (i < 4) Pointer(kTex0 + i, n, GL_FLOAT, false, stride, at);
      at += uintptr_t(n) * 4;
    }
    in.texSets = std::min(sets, 4u);
  }
  // Missing colours read as opaque white, as the fixed-function path expects.
  if (!in.diffuse) glVertexAttrib4f(kDiffuse, 1, 1, 1, 1);
  layoutBuffer = GLuint(bound), layoutBase = base, layoutStride = stride, layoutFvf = fvf, layoutDeclaration = declaration;
  if (std::memcmp(&in, &inputs, sizeof in) != 0) {
    inputs = in;
    stateDirty = true;
  }
  return true;
}

void DeviceImpl::ApplySampler(uint32_t unit) {
  if (!samplerDirty[unit]) return;
  samplerDirty[unit] = false;
  const uint32_t* s = samplerStates[unit];
  const GLuint name = samplers[unit];
  const bool linearMin = s[ss::MinFilter] >= filter::Linear;
  GLenum min = linearMin ? GL_LINEAR : GL_NEAREST;
  if (s[ss::MipFilter] == filter::Point) min = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  if (s[ss::MipFilter] >= filter::Linear) min = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  glSamplerParameteri(name, GL_TEXTURE_MIN_FILTER, GLint(min));
  glSamplerParameteri(name, GL_TEXTURE_MAG_FILTER, s[ss::MagFilter] >= filter::Linear ? GL_LINEAR : GL_NEAREST);
  glSamplerParameteri(name, GL_TEXTURE_WRAP_S, GLint(GlAddress(s[ss::AddressU])));
  glSamplerParameteri(name, GL_TEXTURE_WRAP_T, GLint(GlAddress(s[ss::AddressV])));
  glSamplerParameteri(name, GL_TEXTURE_WRAP_R, GLint(GlAddress(s[ss::AddressW])));
  float bias;
  std::memcpy(&bias, &s[ss::MipMapLodBias], sizeof bias);
  glSamplerParameterf(name, GL_TEXTURE_LOD_BIAS, bias);
  glSamplerParameterf(name, GL_TEXTURE_MIN_LOD, float(s[ss::MaxMipLevel]));
  float border[4];
  const uint32_t c = s[ss::BorderColor];
  border[0] = float((c >> 16) & 0xFF) / 255.0f, border[1] = float((c >> 8) & 0xFF) / 255.0f;
  border[2] = float(c & 0xFF) / 255.0f, border[3] = float(c >> 24) / 255.0f;
  glSamplerParameterfv(name, GL_TEXTURE_BORDER_COLOR, border);
}

void DeviceImpl::ApplyPipelineState() {
  if (backBufferStale) {
    // Sampling the back buffer reads the frame it held.
    bool sampled = false;
    for (Texture* t : textures) sampled = sampled || t == backBuffer;
    if (program)
      for (const auto& entry : program->textures_) sampled = sampled || entry.second == backBuffer;
    if (sampled) RestoreBackBuffer();
  }
  BindDrawTarget();
  for (uint32_t i = 0; i < kSamplers; ++i)
    if (textures[i] && textures[i]->dirty_) UploadTexture(*textures[i]), stateDirty = true;
  if (program)
    for (auto& entry : program->textures_)
      if (entry.second && entry.second->dirty_) UploadTexture(*entry.second), stateDirty = true;
  if (!stateDirty) return;
  stateDirty = false;
  const auto& r = renderStates;
  glViewport(GLint(viewport.x), GLint(viewport.y), GLsizei(viewport.width), GLsizei(viewport.height));
  glDepthRange(viewport.minZ, viewport.maxZ);
  glDisable(GL_SCISSOR_TEST);
  if (r[rs::ZEnable] && depthStencil) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GlCompare(r[rs::ZFunc]));
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  glDepthMask(r[rs::ZWriteEnable] ? GL_TRUE : GL_FALSE);
  if (r[rs::AlphaBlendEnable]) {
    glEnable(GL_BLEND);
    glBlendFunc(GlBlend(r[rs::SrcBlend]), GlBlend(r[rs::DestBlend]));
    static const GLenum kOps[] = {GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN, GL_MAX};
    glBlendEquation(r[rs::BlendOp] >= 1 && r[rs::BlendOp] <= 5 ? kOps[r[rs::BlendOp] - 1] : GL_FUNC_ADD);
  } else {
    glDisable(GL_BLEND);
  }
  // Our targets hold the top row first, so GL sees screen winding unchanged: Direct3D's
  // counter-clockwise faces are GL's clockwise ones.
  if (r[rs::CullMode] == cull::CCW || r[rs::CullMode] == cull::CW) {
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glCullFace(r[rs::CullMode] == cull::CCW ? GL_BACK : GL_FRONT);
  } else {
    glDisable(GL_CULL_FACE);
  }
  const uint32_t mask = r[rs::ColorWriteEnable];
  glColorMask(mask & 1 ? GL_TRUE : GL_FALSE, mask & 2 ? GL_TRUE : GL_FALSE, mask & 4 ? GL_TRUE : GL_FALSE,
              mask & 8 ? GL_TRUE : GL_FALSE);
  glPolygonMode(GL_FRONT_AND_BACK, r[rs::FillMode] == 1 ? GL_POINT : r[rs::FillMode] == 2 ? GL_LINE : GL_FILL);

  if (program) {
    glUseProgram(program->name_);
    const GLint clip = glGetUniformLocation(program->name_, "uClipAdjust");
    glUniform2f(clip, 1.0f / float(viewport.width), 1.0f / float(viewport.height));
    GLint unit = 0;
    for (auto& [location, texture] : program->textures_) {
      glActiveTexture(GL_TEXTURE0 + GLenum(unit));
      glBindTexture(GL_TEXTURE_2D, texture && texture->name_ ? texture->name_ : whiteTexture);
      ApplySampler(uint32_t(unit));
      glBindSampler(GLuint(unit), samplers[unit]);
      glUniform1i(location, unit);
      if (++unit == GLint(kSamplers)) break;
    }
    return;
  }
  GlProgram* p = ProgramFor();
  if (!p) return;
  glUseProgram(p->name);
  FeedUniforms(*p);
  for (uint32_t i = 0; i < 4; ++i) {
    glActiveTexture(GL_TEXTURE0 + i);
    Texture* t = textures[i];
    glBindTexture(GL_TEXTURE_2D, t && t->name_ ? t->name_ : whiteTexture);
    ApplySampler(i);
    glBindSampler(i, samplers[i]);
  }
}

void DeviceImpl::DrawArrays(uint32_t type, uint32_t first, uint32_t count) {
  glDrawArrays(GlPrimitive(type), GLint(first), GLsizei(count));
  ++drawCalls;
}

Result Device::DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount) {
  DeviceImpl& d = *impl_;
  const uint32_t count = PrimitiveVertexCount(type, primitiveCount);
  if (!count || !d.stream.buffer || !d.stream.stride) return kErrInvalidCall;
  if (uint64_t(d.stream.offset) + uint64_t(startVertex + count) * d.stream.stride > d.stream.buffer->desc_.size)
    return kErrInvalidCall;
  if (d.lost) return kOk;
  glBindBuffer(GL_ARRAY_BUFFER, d.stream.buffer->name_);
  if (!d.PrepareVertices(d.stream.offset, d.stream.stride)) return kErrInvalidCall;
  d.ApplyPipelineState();
  d.DrawArrays(type, startVertex, count);
  return kOk;
}

Result Device::DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t, uint32_t, uint32_t startIndex,
                                    uint32_t primitiveCount) {
  DeviceImpl& d = *impl_;
  const uint32_t count = PrimitiveVertexCount(type, primitiveCount);
  if (!count || !d.stream.buffer || !d.stream.stride || !d.indices) return kErrInvalidCall;
  const uint32_t indexSize = d.indices->desc_.format == fmt::Index32 ? 4 : 2;
  if (uint64_t(startIndex + count) * indexSize > d.indices->desc_.size || baseVertex < 0) return kErrInvalidCall;
  if (d.lost) return kOk;
  glBindBuffer(GL_ARRAY_BUFFER, d.stream.buffer->name_);
  if (!d.PrepareVertices(d.stream.offset, d.stream.stride)) return kErrInvalidCall;
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, d.indices->name_);
  d.ApplyPipelineState();
  glDrawElementsBaseVertex(GlPrimitive(type), GLsizei(count), indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                           reinterpret_cast<const void*>(uintptr_t(startIndex) * indexSize), baseVertex);
  ++d.drawCalls;
  return kOk;
}

Result Device::DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride) {
  DeviceImpl& d = *impl_;
  const uint32_t count = PrimitiveVertexCount(type, primitiveCount);
  if (!count || !vertices || !stride) return kErrInvalidCall;
  if (d.lost) return kOk;
  glBindBuffer(GL_ARRAY_BUFFER, d.upVertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(count) * stride, vertices, GL_STREAM_DRAW);
  if (!d.PrepareVertices(0, stride)) return kErrInvalidCall;
  d.ApplyPipelineState();
  d.DrawArrays(type, 0, count);
  return kOk;
}

Result Device::DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t vertexCount,
                                      uint32_t primitiveCount, const void* indices, uint32_t indexFormat,
                                      const void* vertices, uint32_t stride) {
  DeviceImpl& d = *impl_;
  const uint32_t count = PrimitiveVertexCount(type, primitiveCount);
  if (!count || !vertices || !indices || !stride || !vertexCount) return kErrInvalidCall;
  if (d.lost) return kOk;
  const uint32_t indexSize = indexFormat == fmt::Index32 ? 4 : 2;
  glBindBuffer(GL_ARRAY_BUFFER, d.upVertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(minIndex + vertexCount) * stride, vertices, GL_STREAM_DRAW);
  if (!d.PrepareVertices(0, stride)) return kErrInvalidCall;
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, d.upIndexBuffer);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(count) * indexSize, indices, GL_STREAM_DRAW);
  d.ApplyPipelineState();
  glDrawElements(GlPrimitive(type), GLsizei(count), indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, nullptr);
  ++d.drawCalls;
  return kOk;
}

}  // namespace gpu
