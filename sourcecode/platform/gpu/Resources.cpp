// Textures, surfaces, vertex and index buffers, declarations and shaders.
// Textures keep a memory copy of every level (what LockRect hands out) and upload it to GL when
// next drawn; render targets live in GL only and are read back on lock.
#include <algorithm>
#include <cstring>

#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/Dxt.h"
#include "platform/gpu/Log.h"

namespace gpu {
namespace {

constexpr GLenum kCompressedDxt1 = 0x83F1, kCompressedDxt3 = 0x83F2, kCompressedDxt5 = 0x83F3;

GLenum CompressedGlFormat(uint32_t format) {
  return format == fmt::DXT1 ? kCompressedDxt1 : format == fmt::DXT3 ? kCompressedDxt3 : kCompressedDxt5;
}

bool IsTextureFormat(uint32_t format) {
  return format == fmt::A8R8G8B8 || format == fmt::X8R8G8B8 || format == fmt::A8 || IsCompressed(format);
}

uint32_t FullChain(uint32_t width, uint32_t height) {
  uint32_t levels = 1;
  while (width > 1 || height > 1) {
    width = std::max(1u, width / 2);
    height = std::max(1u, height / 2);
    ++levels;
  }
  return levels;
}

size_t LevelBytes(uint32_t format, uint32_t width, uint32_t height) {
  return size_t(RowPitch(format, width)) * RowCount(format, height);
}

// Reads a render-target level from GL into memory, rows top first.
void ReadLevel(DeviceImpl* d, Texture* texture, uint32_t name, uint32_t level, uint32_t width, uint32_t height,
               uint8_t* out) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, d->readFbo);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, name, GLint(level));
  glReadPixels(0, 0, GLsizei(width), GLsizei(height), GL_BGRA, GL_UNSIGNED_BYTE, out);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  if (texture->Format() == fmt::X8R8G8B8)
    for (size_t i = 0; i < size_t(width) * height; ++i) out[i * 4 + 3] = 0xFF;
}

}  // namespace

void SetFormatSwizzle(uint32_t format) {
  GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
  if (format == fmt::X8R8G8B8) swizzle[3] = GL_ONE;
  if (format == fmt::A8) swizzle[0] = swizzle[1] = swizzle[2] = GL_ZERO, swizzle[3] = GL_RED;
  glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
}

// ---- Textures

Texture::Texture(DeviceImpl* device, uint32_t format, uint32_t usage, uint32_t pool)
    : device_(device), format_(format), usage_(usage), pool_(pool) {}

Texture::~Texture() {
  if (name_) glDeleteTextures(1, &name_);
  if (counted_ && DeviceAlive(device_)) --device_->liveDefaultPool;
}

Texture* Internal::NewRenderTexture(DeviceImpl* d, uint32_t width, uint32_t height, uint32_t format) {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (width == 0 || height == 0 || width > uint32_t(maxSize) || height > uint32_t(maxSize)) return nullptr;
  Texture* t = new Texture(d, format, usage::RenderTarget, pool::Default);
  t->levels_.push_back({width, height, {}});
  t->levels_.back().pitch = RowPitch(format, width);
  glGenTextures(1, &t->name_);
  glBindTexture(GL_TEXTURE_2D, t->name_);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(width), GLsizei(height), 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  SetFormatSwizzle(format);
  return t;
}

Result Device::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, uint32_t format,
                             uint32_t pool, Texture** out) {
  if (!out) return kErrInvalidCall;
  *out = nullptr;
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (width == 0 || height == 0 || width > uint32_t(maxSize) || height > uint32_t(maxSize) ||
      !IsTextureFormat(format) || pool > pool::Scratch)
    return kErrInvalidCall;
  if (usage & usage::RenderTarget) {
    if (pool != pool::Default || (format != fmt::A8R8G8B8 && format != fmt::X8R8G8B8) || levels > 1)
      return kErrInvalidCall;
    Texture* t = Internal::NewRenderTexture(impl_.get(), width, height, format);
    if (!t) return kErrOutOfVideoMemory;
    t->counted_ = true;
    ++impl_->liveDefaultPool;
    *out = t;
    return kOk;
  }
  const uint32_t chain = FullChain(width, height);
  levels = levels == 0 ? chain : std::min(levels, chain);
  Texture* t = new Texture(impl_.get(), format, usage, pool);
  const bool padded = (usage & usage::Dynamic) && !IsCompressed(format);
  uint32_t w = width, h = height;
  for (uint32_t i = 0; i < levels; ++i) {
    Texture::Level& l = t->levels_.emplace_back(Texture::Level{w, h, {}});
    if (padded) {
      l.pitch = (RowPitch(format, w) + kDynamicRowAlign - 1) / kDynamicRowAlign * kDynamicRowAlign;
      l.data.assign(size_t(l.pitch) * (h + kDynamicSpareRows) + kDynamicRowAlign - 1, 0);
      l.start = (kDynamicRowAlign - reinterpret_cast<uintptr_t>(l.data.data()) % kDynamicRowAlign) % kDynamicRowAlign;
    } else {
      l.pitch = RowPitch(format, w);
      l.data.assign(LevelBytes(format, w, h), 0);
    }
    w = std::max(1u, w / 2);
    h = std::max(1u, h / 2);
  }
  t->dirty_ = true;
  if (pool == pool::Default) {
    t->counted_ = true;
    ++impl_->liveDefaultPool;
  }
  *out = t;
  return kOk;
}

// Sends the memory copy of every level to GL, decoding DXT when the driver cannot take it.
void DeviceImpl::UploadTexture(Texture& t) {
  if (!t.dirty_ || (t.usage_ & usage::RenderTarget)) return;
  t.dirty_ = false;
  if (!t.name_) {
    glGenTextures(1, &t.name_);
    t.stored_ = false;
  }
  glBindTexture(GL_TEXTURE_2D, t.name_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(t.levels_.size() - 1));
  SetFormatSwizzle(t.format_);
  const bool native = nativeDxt && !softwareDxt;
  // The storage is made once; later uploads (a video frame, a glyph page) only replace the
  // contents, which spares the driver a new allocation per upload.
  const bool replace = t.stored_;
  t.stored_ = true;
  auto upload = [replace](GLint level, GLsizei w, GLsizei h, GLint internal, GLenum format, const void* data,
                          GLint rowLength) {
    if (rowLength != w) glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    if (replace)
      glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, format, GL_UNSIGNED_BYTE, data);
    else
      glTexImage2D(GL_TEXTURE_2D, level, internal, w, h, 0, format, GL_UNSIGNED_BYTE, data);
    if (rowLength != w) glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  };
  std::vector<uint32_t> decoded;
  for (size_t i = 0; i < t.levels_.size(); ++i) {
    const Texture::Level& l = t.levels_[i];
    const GLint level = GLint(i);
    const GLsizei w = GLsizei(l.width), h = GLsizei(l.height);
    if (IsCompressed(t.format_)) {
      if (native) {
        if (replace)
          glCompressedTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, CompressedGlFormat(t.format_),
                                    GLsizei(l.data.size()), l.data.data());
        else
          glCompressedTexImage2D(GL_TEXTURE_2D, level, CompressedGlFormat(t.format_), w, h, 0,
                                 GLsizei(l.data.size()), l.data.data());
      } else {
        decoded.resize(size_t(l.width) * l.height);
        DecodeDxt(t.format_, l.width, l.height, l.data.data(), l.data.size(), decoded.data());
        upload(level, w, h, GL_RGBA8, GL_BGRA, decoded.data(), w);
      }
    } else if (t.format_ == fmt::A8) {
      upload(level, w, h, GL_R8, GL_RED, l.data.data() + l.start, GLint(l.pitch));
    } else {
      upload(level, w, h, GL_RGBA8, GL_BGRA, l.data.data() + l.start, GLint(l.pitch / 4));
    }
  }
}

Result Texture::GetLevelDesc(uint32_t level, SurfaceDesc* out) const {
  if (!out || level >= levels_.size()) return kErrInvalidCall;
  *out = {format_, resource::Surface, usage_, pool_, 0, 0, levels_[level].width, levels_[level].height};
  return kOk;
}

Result Texture::GetSurfaceLevel(uint32_t level, Surface** out) {
  if (!out || level >= levels_.size()) return kErrInvalidCall;
  if (surfaces_.size() < levels_.size()) surfaces_.resize(levels_.size(), nullptr);
  if (surfaces_[level]) {
    surfaces_[level]->AddRef();
  } else {
    surfaces_[level] = new Surface(device_, this, level);
  }
  *out = surfaces_[level];
  return kOk;
}

Result Texture::LockRect(uint32_t level, LockedRect* out, const Rect* rect, uint32_t flags) {
  if (!out || level >= levels_.size()) return kErrInvalidCall;
  Level& l = levels_[level];
  if (l.locked) return kErrInvalidCall;
  uint32_t x = 0, y = 0;
  if (rect) {
    if (rect->left < 0 || rect->top < 0 || rect->right > int32_t(l.width) || rect->bottom > int32_t(l.height) ||
        rect->left >= rect->right || rect->top >= rect->bottom)
      return kErrInvalidCall;
    x = uint32_t(rect->left);
    y = uint32_t(rect->top);
    // Compressed levels lock whole blocks.
    if (IsCompressed(format_) && ((x | y) & 3)) return kErrInvalidCall;
  }
  if (usage_ & usage::RenderTarget) {
    if (!DeviceAlive(device_)) return kErrDeviceLost;
    if (this == device_->backBuffer) device_->RestoreBackBuffer();
    l.data.resize(LevelBytes(format_, l.width, l.height));
    ReadLevel(device_, this, name_, level, l.width, l.height, l.data.data());
  }
  const uint32_t pitch = l.pitch;
  const size_t offset = IsCompressed(format_) ? size_t(y / 4) * pitch + size_t(x / 4) * (format_ == fmt::DXT1 ? 8 : 16)
                                              : size_t(y) * pitch + size_t(x) * (RowPitch(format_, l.width) / l.width);
  out->pitch = int32_t(pitch);
  out->bits = l.data.data() + l.start + offset;
  l.locked = true;
  l.readOnly = (flags & lock::ReadOnly) != 0;
  return kOk;
}

Result Texture::UnlockRect(uint32_t level) {
  if (level >= levels_.size() || !levels_[level].locked) return kErrInvalidCall;
  Level& l = levels_[level];
  l.locked = false;
  if (usage_ & usage::RenderTarget) {
    if (!l.readOnly) {
      glBindTexture(GL_TEXTURE_2D, name_);
      glTexSubImage2D(GL_TEXTURE_2D, GLint(level), 0, 0, GLsizei(l.width), GLsizei(l.height), GL_BGRA,
                      GL_UNSIGNED_BYTE, l.data.data());
    }
    std::vector<uint8_t>().swap(l.data);
  } else if (!l.readOnly) {
    dirty_ = true;
  }
  return kOk;
}

// ---- Surfaces

Surface::Surface(DeviceImpl* device, Texture* texture, uint32_t level)
    : device_(device), texture_(texture), level_(level) {
  if (texture_) texture_->AddRef();
}

Surface::~Surface() {
  if (renderbuffer_) glDeleteRenderbuffers(1, &renderbuffer_);
  if (texture_ && level_ < texture_->surfaces_.size() && texture_->surfaces_[level_] == this)
    texture_->surfaces_[level_] = nullptr;
  if (texture_) texture_->Release();
  if (counted_ && DeviceAlive(device_)) --device_->liveDefaultPool;
}

Result Surface::GetDesc(SurfaceDesc* out) const {
  if (!out) return kErrInvalidCall;
  if (texture_) return texture_->GetLevelDesc(level_, out);
  *out = {format_, resource::Surface, usage::DepthStencil, pool::Default, 0, 0, width_, height_};
  return kOk;
}

Result Surface::LockRect(LockedRect* out, const Rect* rect, uint32_t flags) {
  return texture_ ? texture_->LockRect(level_, out, rect, flags) : kErrInvalidCall;
}

Result Surface::UnlockRect() { return texture_ ? texture_->UnlockRect(level_) : kErrInvalidCall; }

// ---- Vertex and index buffers: a memory copy plus a GL buffer; Unlock sends the locked bytes.

template <class B>
Result Internal::LockBuffer(B& b, uint32_t offset, uint32_t size, void** data, uint32_t flags) {
  if (!data || b.locked_) return kErrInvalidCall;
  if (size == 0) size = offset <= b.desc_.size ? b.desc_.size - offset : 0;
  if (uint64_t(offset) + size > b.desc_.size) return kErrInvalidCall;
  b.locked_ = true;
  b.lockOffset_ = offset;
  b.lockSize_ = (flags & lock::ReadOnly) ? 0 : size;
  *data = b.data_.data() + offset;
  return kOk;
}

template <class B>
Result Internal::UnlockBuffer(B& b, GLenum target) {
  if (!b.locked_) return kErrInvalidCall;
  b.locked_ = false;
  if (b.lockSize_ == 0 || !DeviceAlive(b.device_)) return kOk;
  glBindVertexArray(0);  // keep the device's vertex array's index binding untouched
  glBindBuffer(target, b.name_);
  // Only the locked bytes go, a discard's too: fresh storage for the whole buffer (what a discard
  // would ask the driver for) costs the software renderer a cleared copy of all of it, per frame
  // for the rings, while GL keeps the data of earlier draws intact either way.
  glBufferSubData(target, GLintptr(b.lockOffset_), GLsizeiptr(b.lockSize_), b.data_.data() + b.lockOffset_);
  glBindVertexArray(b.device_->vao);
  return kOk;
}

template <class B>
void Internal::CreateBufferStorage(B& b, GLenum target) {
  b.data_.assign(b.desc_.size, 0);
  glGenBuffers(1, &b.name_);
  glBindVertexArray(0);
  glBindBuffer(target, b.name_);
  glBufferData(target, GLsizeiptr(b.desc_.size), b.data_.data(),
               (b.desc_.usage & usage::Dynamic) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
  glBindVertexArray(b.device_->vao);
}

VertexBuffer::VertexBuffer(DeviceImpl* device, const BufferDesc& desc) : device_(device), desc_(desc) {
  Internal::CreateBufferStorage(*this, GL_ARRAY_BUFFER);
}
VertexBuffer::~VertexBuffer() {
  // The name may be handed out again: forget any layout that points at it.
  if (DeviceAlive(device_) && device_->layoutBuffer == name_) device_->layoutBuffer = 0;
  glDeleteBuffers(1, &name_);
  if (counted_ && DeviceAlive(device_)) --device_->liveDefaultPool;
}
Result VertexBuffer::Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) {
  return Internal::LockBuffer(*this, offset, size, data, flags);
}
Result VertexBuffer::Unlock() { return Internal::UnlockBuffer(*this, GL_ARRAY_BUFFER); }
Result VertexBuffer::GetDesc(BufferDesc* out) const {
  if (!out) return kErrInvalidCall;
  *out = desc_;
  return kOk;
}

IndexBuffer::IndexBuffer(DeviceImpl* device, const BufferDesc& desc) : device_(device), desc_(desc) {
  Internal::CreateBufferStorage(*this, GL_ELEMENT_ARRAY_BUFFER);
}
IndexBuffer::~IndexBuffer() {
  glDeleteBuffers(1, &name_);
  if (counted_ && DeviceAlive(device_)) --device_->liveDefaultPool;
}
Result IndexBuffer::Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) {
  return Internal::LockBuffer(*this, offset, size, data, flags);
}
Result IndexBuffer::Unlock() { return Internal::UnlockBuffer(*this, GL_ELEMENT_ARRAY_BUFFER); }
Result IndexBuffer::GetDesc(BufferDesc* out) const {
  if (!out) return kErrInvalidCall;
  *out = desc_;
  return kOk;
}

Result Device::CreateVertexBuffer(uint32_t length, uint32_t use, uint32_t fvf, uint32_t pool, VertexBuffer** out) {
  if (!out) return kErrInvalidCall;
  *out = nullptr;
  if (length == 0 || pool > pool::Scratch) return kErrInvalidCall;
  auto* b = new VertexBuffer(impl_.get(), {fmt::VertexData, resource::VertexBuffer, use, pool, length, fvf});
  if (pool == pool::Default) b->counted_ = true, ++impl_->liveDefaultPool;
  *out = b;
  return kOk;
}

Result Device::CreateIndexBuffer(uint32_t length, uint32_t use, uint32_t format, uint32_t pool, IndexBuffer** out) {
  if (!out) return kErrInvalidCall;
  *out = nullptr;
  if (length == 0 || pool > pool::Scratch || (format != fmt::Index16 && format != fmt::Index32))
    return kErrInvalidCall;
  auto* b = new IndexBuffer(impl_.get(), {format, resource::IndexBuffer, use, pool, length, 0});
  if (pool == pool::Default) b->counted_ = true, ++impl_->liveDefaultPool;
  *out = b;
  return kOk;
}

Result Device::CreateVertexDeclaration(const VertexElement* elements, VertexDeclaration** out) {
  if (!out || !elements) return kErrInvalidCall;
  std::vector<VertexElement> list;
  for (const VertexElement* e = elements; e->stream != 0xFF; ++e) {
    if (e->stream != 0 || e->type > decl::UByte4 || list.size() >= 16) return kErrInvalidCall;
    list.push_back(*e);
  }
  *out = new VertexDeclaration(std::move(list));
  return kOk;
}

// ---- Shaders

PixelShader::PixelShader(DeviceImpl* device, std::string_view source)
    : device_(device), source_(source), id_(device->nextShaderId++) {}
PixelShader::~PixelShader() = default;

Result Device::CreatePixelShader(const char* source, PixelShader** out) {
  if (!out || !source) return kErrInvalidCall;
  *out = nullptr;
  // Compile once against a plain vertex stage so that errors surface here, not at draw time.
  static const char* kProbe =
      "out vec4 vDiffuse; out vec4 vSpecular; out vec4 vTex0; out vec4 vTex1; out vec4 vTex2; out vec4 vTex3;\n"
      "void main() { vDiffuse = vSpecular = vTex0 = vTex1 = vTex2 = vTex3 = vec4(0.0); gl_Position = aPosition; }\n";
  std::string errors;
  const GLuint probe =
      CompileProgram(std::string(VertexPrologue()) + kProbe, std::string(FragmentPrologue()) + source, &errors);
  if (!probe) {
    Log("ERROR: gpu: pixel shader does not compile:\n%s\n", errors.c_str());
    return kErrInvalidCall;
  }
  glDeleteProgram(probe);
  *out = new PixelShader(impl_.get(), source);
  return kOk;
}

Result Device::SetPixelShader(PixelShader* shader) {
  if (shader) shader->AddRef();
  if (impl_->pixelShader) impl_->pixelShader->Release();
  impl_->pixelShader = shader;
  impl_->stateDirty = true;
  return kOk;
}

Program::Program(DeviceImpl* device, uint32_t name) : device_(device), name_(name) {
  GLint count = 0;
  glGetProgramiv(name_, GL_ACTIVE_UNIFORMS, &count);
  for (GLint i = 0; i < count; ++i) {
    char text[128];
    GLsizei length = 0;
    GLint size = 0;
    GLenum type = 0;
    glGetActiveUniform(name_, GLuint(i), sizeof text, &length, &size, &type, text);
    std::string uniform(text, size_t(length));
    if (uniform.size() > 3 && uniform.compare(uniform.size() - 3, 3, "[0]") == 0) uniform.resize(uniform.size() - 3);
    const GLint location = glGetUniformLocation(name_, uniform.c_str());
    uniforms_.push_back({uniform, location, type, size});
  }
}

const Program::Uniform* Program::Find(const char* name) const {
  if (!name) return nullptr;
  for (const Uniform& u : uniforms_)
    if (u.name == name) return &u;
  return nullptr;
}

bool Program::Has(const char* name) const { return Find(name) != nullptr; }

bool Program::SetValues(const char* name, const float* values, uint32_t floatCount) {
  const Uniform* u = Find(name);
  if (!u || !values || floatCount == 0) return false;
  glUseProgram(name_);
  if (DeviceAlive(device_)) device_->stateDirty = true;
  auto elements = [&](uint32_t per) { return GLsizei(std::min<uint32_t>(floatCount / per, uint32_t(u->size))); };
  switch (u->type) {
    case GL_FLOAT: glUniform1fv(u->location, elements(1), values); break;
    case GL_FLOAT_VEC2: glUniform2fv(u->location, elements(2), values); break;
    case GL_FLOAT_VEC3: glUniform3fv(u->location, elements(3), values); break;
    case GL_FLOAT_VEC4: glUniform4fv(u->location, elements(4), values); break;
    case GL_FLOAT_MAT4: glUniformMatrix4fv(u->location, elements(16), GL_FALSE, values); break;
    case GL_INT:
    case GL_BOOL: {
      std::vector<GLint> ints(std::min<uint32_t>(floatCount, uint32_t(u->size)));
      for (size_t i = 0; i < ints.size(); ++i) ints[i] = GLint(values[i]);
      glUniform1iv(u->location, GLsizei(ints.size()), ints.data());
      break;
    }
    default: return false;
  }
  return true;
}
Program::~Program() {
  if (name_) glDeleteProgram(name_);
}

int Program::Location(const char* name) {
  if (!name) return -1;
  glUseProgram(name_);
  if (DeviceAlive(device_)) device_->stateDirty = true;  // the device must bind its own program again
  return glGetUniformLocation(name_, name);
}

bool Program::SetInt(const char* name, int32_t value) {
  const int at = Location(name);
  if (at >= 0) glUniform1i(at, value);
  return at >= 0;
}
bool Program::SetFloat(const char* name, float value) {
  const int at = Location(name);
  if (at >= 0) glUniform1f(at, value);
  return at >= 0;
}
bool Program::SetFloats(const char* name, const float* values, uint32_t count) {
  const int at = Location(name);
  if (at >= 0 && values && count) glUniform1fv(at, GLsizei(count), values);
  return at >= 0;
}
bool Program::SetVectors(const char* name, const float* xyzw, uint32_t count) {
  const int at = Location(name);
  if (at >= 0 && xyzw && count) glUniform4fv(at, GLsizei(count), xyzw);
  return at >= 0;
}
bool Program::SetMatrices(const char* name, const Matrix* matrices, uint32_t count) {
  const int at = Location(name);
  // Row-vector matrices uploaded as they lie apply in GLSL as `M * v`.
  if (at >= 0 && matrices && count) glUniformMatrix4fv(at, GLsizei(count), GL_FALSE, &matrices[0].m[0][0]);
  return at >= 0;
}
bool Program::SetTexture(const char* name, Texture* texture) {
  const int at = Location(name);
  if (at < 0) return false;
  for (auto& entry : textures_)
    if (entry.first == at) {
      entry.second = texture;
      return true;
    }
  textures_.push_back({at, texture});
  return true;
}

Result Device::CreateProgram(const char* vertexSource, const char* fragmentSource, Program** out,
                             std::string* errors) {
  if (!out || !vertexSource || !fragmentSource) return kErrInvalidCall;
  *out = nullptr;
  std::string text;
  const GLuint name = CompileProgram(std::string(VertexPrologue()) + vertexSource,
                                     std::string("#version 330 core\nout vec4 outColor;\n") + fragmentSource, &text);
  if (errors) *errors = text;
  if (!name) return kErrInvalidCall;
  *out = new Program(impl_.get(), name);
  return kOk;
}

Result Device::SetProgram(Program* program) {
  if (program) program->AddRef();
  if (impl_->program) impl_->program->Release();
  impl_->program = program;
  impl_->stateDirty = true;
  impl_->lastProgram = nullptr;
  return kOk;
}

}  // namespace gpu
