// Device creation, reset, targets and the state setters.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/Log.h"

namespace gpu {

// ---- Small shared helpers

uint32_t Object::AddRef() { return ++refs_; }

uint32_t Object::Release() {
  const uint32_t left = --refs_;
  if (left == 0) delete this;
  return left;
}

Matrix IdentityMatrix() {
  Matrix m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
  return m;
}

const char* ErrorName(uint32_t result) {
  switch (result) {
    case kOk: return "S_OK";
    case kErrDeviceLost: return "DEVICELOST";
    case kErrDeviceNotReset: return "DEVICENOTRESET";
    case kErrNotAvailable: return "NOTAVAILABLE";
    case kErrInvalidCall: return "INVALIDCALL";
    case kErrDriverInternal: return "DRIVERINTERNALERROR";
    case kErrOutOfVideoMemory: return "OUTOFVIDEOMEMORY";
    case kErrWasStillDrawing: return "WASSTILLDRAWING";
    case kErrOutOfMemory: return "E_OUTOFMEMORY";
    case kErrFail: return "E_FAIL";
    default: return Failed(result) ? "Unknown error" : "Unknown success";
  }
}

const char* ErrorDescription(uint32_t result) {
  switch (result) {
    case kOk: return "The call succeeded.";
    case kErrDeviceLost: return "The device has been lost but cannot be reset at this time.";
    case kErrDeviceNotReset: return "The device has been lost but can be reset at this time.";
    case kErrNotAvailable: return "This device does not support the queried technique.";
    case kErrInvalidCall: return "Invalid call: a parameter or the device state is wrong.";
    case kErrDriverInternal: return "Internal driver error.";
    case kErrOutOfVideoMemory: return "Out of video memory.";
    case kErrWasStillDrawing: return "The previous drawing on this object has not finished.";
    case kErrOutOfMemory: return "Out of memory.";
    case kErrFail: return "The call failed.";
    default: return "No description for this result.";
  }
}

bool IsCompressed(uint32_t format) {
  return format == fmt::DXT1 || format == fmt::DXT3 || format == fmt::DXT5;
}

uint32_t RowPitch(uint32_t format, uint32_t width) {
  switch (format) {
    case fmt::A8R8G8B8:
    case fmt::X8R8G8B8: return width * 4;
    case fmt::A8: return width;
    case fmt::DXT1: return std::max(1u, (width + 3) / 4) * 8;
    case fmt::DXT3:
    case fmt::DXT5: return std::max(1u, (width + 3) / 4) * 16;
    default: return 0;
  }
}

uint32_t RowCount(uint32_t format, uint32_t height) {
  return IsCompressed(format) ? std::max(1u, (height + 3) / 4) : height;
}

uint32_t FvfStride(uint32_t code) {
  uint32_t size = 0;
  switch (code & fvf::PositionMask) {
    case fvf::XYZ: size = 12; break;
    case fvf::XYZRHW:
    case fvf::XYZW: size = 16; break;
    case fvf::XYZB1: size = 16; break;
    case fvf::XYZB2: size = 20; break;
    case fvf::XYZB3: size = 24; break;
    case fvf::XYZB4: size = 28; break;
    case fvf::XYZB5: size = 32; break;
    default: return 0;
  }
  if (code & fvf::Normal) size += 12;
  if (code & fvf::PSize) size += 4;
  if (code & fvf::Diffuse) size += 4;
  if (code & fvf::Specular) size += 4;
  const uint32_t sets = std::min(8u, (code & fvf::TexCountMask) >> fvf::TexCountShift);
  for (uint32_t i = 0; i < sets; ++i) {
    static const uint32_t kFloats[4] = {2, 3, 4, 1};
    size += kFloats[(code >> (16 + 2 * i)) & 3] * 4;
  }
  return size;
}

uint32_t PrimitiveVertexCount(uint32_t type, uint32_t count) {
  switch (type) {
    case prim::PointList: return count;
    case prim::LineList: return count * 2;
    case prim::LineStrip: return count + 1;
    case prim::TriangleList: return count * 3;
    case prim::TriangleStrip:
    case prim::TriangleFan: return count + 2;
    default: return 0;
  }
}

// ---- Creation

namespace {

// Takes the caller's parameters with what this device decides filled in (a zero size is the
// window's, no multisampling), and hands the settled values back to the caller.
void SettleParameters(DeviceImpl& d, PresentParameters* parameters) {
  d.parameters = *parameters;
  if (d.parameters.backBufferWidth == 0 || d.parameters.backBufferHeight == 0) {
    int w = 0, h = 0;
    d.context->WindowSize(&w, &h);
    d.parameters.backBufferWidth = w > 0 ? uint32_t(w) : 640;
    d.parameters.backBufferHeight = h > 0 ? uint32_t(h) : 480;
  }
  if (d.parameters.backBufferFormat == fmt::Unknown) d.parameters.backBufferFormat = fmt::X8R8G8B8;
  d.parameters.multiSampleType = kMultisampleNone;
  d.parameters.multiSampleQuality = 0;
  *parameters = d.parameters;
}

}  // namespace

Result System::CreateDevice(void* window, uint32_t, PresentParameters* parameters, Device** out) {
  if (!out || !parameters) return kErrInvalidCall;
  *out = nullptr;
  std::unique_ptr<Context> context =
      backend_ == Backend::Headless
          ? CreateEglContext()
          : CreateSdlContext(window, int(parameters->backBufferWidth ? parameters->backBufferWidth : 640),
                             int(parameters->backBufferHeight ? parameters->backBufferHeight : 480),
                             !parameters->windowed);
  if (!context) return kErrNotAvailable;
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  if (major * 10 + minor < 33) {
    Log("ERROR: gpu: OpenGL %d.%d is below 3.3\n", major, minor);
    return kErrNotAvailable;
  }
  Device* device = new Device();
  DeviceImpl& d = *device->impl_;
  d.context = std::move(context);
  GLint extensions = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &extensions);
  for (GLint i = 0; i < extensions; ++i) {
    const char* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i)));
    if (name && std::strcmp(name, "GL_EXT_texture_compression_s3tc") == 0) d.nativeDxt = true;
  }
  SettleParameters(d, parameters);

  glGenVertexArrays(1, &d.vao);
  glBindVertexArray(d.vao);
  glGenBuffers(1, &d.upVertexBuffer);
  glGenBuffers(1, &d.upIndexBuffer);
  glGenSamplers(kSamplers, d.samplers);
  glGenFramebuffers(1, &d.drawFbo);
  glGenFramebuffers(1, &d.readFbo);
  glGenTextures(1, &d.whiteTexture);
  glBindTexture(GL_TEXTURE_2D, d.whiteTexture);
  const uint32_t white = 0xFFFFFFFFu;
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, &white);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  for (int i = 0; i < 256; ++i)
    d.gamma.red[i] = d.gamma.green[i] = d.gamma.blue[i] = uint16_t(i * 257);
  d.CreatePresentObjects();
  if (!d.CreateTargets()) {
    device->Release();
    return kErrOutOfVideoMemory;
  }
  d.SetDefaultStates();
  *out = device;
  return kOk;
}

namespace {
std::vector<const DeviceImpl*>& LiveDevices() {
  static std::vector<const DeviceImpl*> live;
  return live;
}
}  // namespace

bool DeviceAlive(const DeviceImpl* device) {
  const auto& live = LiveDevices();
  return std::find(live.begin(), live.end(), device) != live.end();
}

Device::Device() : impl_(std::make_unique<DeviceImpl>(this)) { LiveDevices().push_back(impl_.get()); }

Device::~Device() {
  DeviceImpl& d = *impl_;
  auto& live = LiveDevices();
  live.erase(std::remove(live.begin(), live.end(), impl_.get()), live.end());
  for (auto& t : d.textures)
    if (t) t->Release(), t = nullptr;
  if (d.stream.buffer) d.stream.buffer->Release();
  if (d.indices) d.indices->Release();
  if (d.declaration) d.declaration->Release();
  if (d.pixelShader) d.pixelShader->Release();
  if (d.program) d.program->Release();
  d.stream.buffer = nullptr, d.indices = nullptr, d.declaration = nullptr, d.pixelShader = nullptr, d.program = nullptr;
  d.DestroyTargets();
  if (d.liveDefaultPool) Log("Warning: gpu: device released while %u default-pool objects live\n", d.liveDefaultPool);
  for (auto& [key, program] : d.programCache) glDeleteProgram(program.name);
  d.DestroyPresentObjects();
  glDeleteTextures(1, &d.whiteTexture);
  glDeleteFramebuffers(1, &d.drawFbo);
  glDeleteFramebuffers(1, &d.readFbo);
  glDeleteSamplers(kSamplers, d.samplers);
  glDeleteBuffers(1, &d.upVertexBuffer);
  glDeleteBuffers(1, &d.upIndexBuffer);
  glDeleteVertexArrays(1, &d.vao);
}

// Direct3D's documented start values; callers rely on them without setting them.
void DeviceImpl::SetDefaultStates() {
  renderStates.fill(0);
  auto& r = renderStates;
  r[rs::ZEnable] = parameters.enableAutoDepthStencil ? 1 : 0;
  r[rs::FillMode] = 3;
  r[rs::ShadeMode] = 2;
  r[rs::ZWriteEnable] = 1;
  r[rs::SrcBlend] = blend::One;
  r[rs::DestBlend] = blend::Zero;
  r[rs::CullMode] = cull::CCW;
  r[rs::ZFunc] = cmp::LessEqual;
  r[rs::AlphaFunc] = cmp::Always;
  r[rs::TextureFactor] = 0xFFFFFFFFu;
  r[rs::Lighting] = 1;
  r[rs::ColorVertex] = 1;
  r[rs::DiffuseMaterialSource] = mcs::Color1;
  r[rs::SpecularMaterialSource] = mcs::Color2;
  r[rs::AmbientMaterialSource] = mcs::Material;
  r[rs::EmissiveMaterialSource] = mcs::Material;
  r[rs::ColorWriteEnable] = 0xF;
  r[rs::BlendOp] = 1;
  for (uint32_t s = 0; s < kSamplers; ++s) {
    uint32_t* t = stageStates[s];
    std::fill(t, t + tss::Count, 0u);
    t[tss::ColorOp] = s == 0 ? top::Modulate : top::Disable;
    t[tss::ColorArg1] = ta::Texture;
    t[tss::ColorArg2] = ta::Current;
    t[tss::AlphaOp] = s == 0 ? top::SelectArg1 : top::Disable;
    t[tss::AlphaArg1] = ta::Texture;
    t[tss::AlphaArg2] = ta::Current;
    t[tss::TexCoordIndex] = s;
    uint32_t* m = samplerStates[s];
    std::fill(m, m + ss::Count, 0u);
    m[ss::AddressU] = m[ss::AddressV] = m[ss::AddressW] = address::Wrap;
    m[ss::MagFilter] = m[ss::MinFilter] = filter::Point;
    m[ss::MipFilter] = filter::None;
    samplerDirty[s] = true;
    if (textures[s]) textures[s]->Release(), textures[s] = nullptr;
  }
  world = view = projection = IdentityMatrix();
  material = Material{};
  for (uint32_t i = 0; i < kLights; ++i) {
    lights[i] = Light{};
    lights[i].type = light::Directional;
    lights[i].diffuse = {1, 1, 1, 0};
    lights[i].direction = {0, 0, 1};
    lightEnabled[i] = false;
  }
  viewport = {0, 0, parameters.backBufferWidth, parameters.backBufferHeight, 0.0f, 1.0f};
  fvf = 0;
  std::memset(constants, 0, sizeof constants);
  stateDirty = true;
  lastProgram = nullptr;
}

bool DeviceImpl::CreateTargets() {
  backBuffer = Internal::NewRenderTexture(this, parameters.backBufferWidth, parameters.backBufferHeight,
                                parameters.backBufferFormat);
  if (!backBuffer) return false;
  backBuffer->GetSurfaceLevel(0, &backBufferSurface);
  renderTarget = backBufferSurface;
  renderTarget->AddRef();
  if (parameters.enableAutoDepthStencil) {
    autoDepth = new Surface(this, nullptr, 0);
    autoDepth->width_ = parameters.backBufferWidth;
    autoDepth->height_ = parameters.backBufferHeight;
    autoDepth->format_ = fmt::D24S8;
    glGenRenderbuffers(1, &autoDepth->renderbuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, autoDepth->renderbuffer_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLsizei(autoDepth->width_),
                          GLsizei(autoDepth->height_));
    depthStencil = autoDepth;
    depthStencil->AddRef();
  }
  fboDirty = true;
  // Start from a defined picture; Direct3D leaves it undefined, tests want it stable.
  BindDrawTarget();
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | (depthStencil ? GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT : 0));
  return true;
}

void DeviceImpl::DestroyTargets() {
  if (renderTarget) renderTarget->Release(), renderTarget = nullptr;
  if (depthStencil) depthStencil->Release(), depthStencil = nullptr;
  if (backBufferSurface) backBufferSurface->Release(), backBufferSurface = nullptr;
  if (autoDepth) autoDepth->Release(), autoDepth = nullptr;
  if (backBuffer) backBuffer->Release(), backBuffer = nullptr;
  backBufferStale = false;
  fboDirty = true;
}

void DeviceImpl::BindDrawTarget() {
  if (backBufferStale && renderTarget && renderTarget->texture_ == backBuffer) RestoreBackBuffer();
  glBindFramebuffer(GL_FRAMEBUFFER, drawFbo);
  if (!fboDirty) return;
  fboDirty = false;
  Texture* t = renderTarget ? renderTarget->texture_ : nullptr;
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t ? t->name_ : 0,
                         GLint(renderTarget ? renderTarget->level_ : 0));
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                            depthStencil ? depthStencil->renderbuffer_ : 0);
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE) Log("Warning: gpu: render target incomplete (0x%x)\n", status);
}

// ---- Frame, loss and reset

Result Device::TestCooperativeLevel() { return impl_->lost ? kErrDeviceNotReset : kOk; }

Result Device::Reset(PresentParameters* parameters) {
  DeviceImpl& d = *impl_;
  if (!parameters) return kErrInvalidCall;
  if (d.forcedResetResult != kOk) {
    const Result r = d.forcedResetResult;
    d.forcedResetResult = kOk;
    if (Failed(r)) {
      d.lost = true;
      return r;
    }
  }
  if (d.liveDefaultPool > 0) {
    Log("ERROR: gpu: Reset refused: %u default-pool objects still live\n", d.liveDefaultPool);
    return kErrInvalidCall;
  }
  d.DestroyTargets();
  SettleParameters(d, parameters);
  if (!d.CreateTargets()) return kErrOutOfVideoMemory;
  if (d.stream.buffer) d.stream.buffer->Release(), d.stream.buffer = nullptr;
  if (d.indices) d.indices->Release(), d.indices = nullptr;
  if (d.declaration) d.declaration->Release(), d.declaration = nullptr;
  if (d.pixelShader) d.pixelShader->Release(), d.pixelShader = nullptr;
  if (d.program) d.program->Release(), d.program = nullptr;
  d.SetDefaultStates();
  d.lost = false;
  d.lossPending = false;
  d.inScene = false;
  return kOk;
}

Result Device::BeginScene() {
  if (impl_->inScene) return kErrInvalidCall;
  impl_->inScene = true;
  impl_->drawCalls = 0;
  return kOk;
}

Result Device::EndScene() {
  if (!impl_->inScene) return kErrInvalidCall;
  impl_->inScene = false;
  return kOk;
}

Result Device::Present() {
  DeviceImpl& d = *impl_;
  if (d.lossPending) {
    d.lossPending = false;
    d.lost = true;
  }
  if (d.lost) return kErrDeviceLost;
  d.PresentFrame();
  return kOk;
}

void Device::SimulateDeviceLoss() { impl_->lossPending = true; }
void Device::SimulateResetResult(Result result) { impl_->forcedResetResult = result; }
void Device::ForceSoftwareDxt(bool force) { impl_->softwareDxt = force; }
bool Device::HasNativeDxt() const { return impl_->nativeDxt && !impl_->softwareDxt; }
uint32_t Device::GetDrawCallCount() const { return impl_->drawCalls; }
const char* Device::GetPixelShaderProfile() const { return "ps_3_0"; }
const PresentParameters& Device::GetPresentParameters() const { return impl_->parameters; }

Result Device::Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z,
                     uint32_t stencil) {
  DeviceImpl& d = *impl_;
  if ((flags & (clear::ZBuffer | clear::Stencil)) && !d.depthStencil) return kErrInvalidCall;
  const Viewport& v = d.viewport;
  // A frame that starts by clearing all of the back buffer does not need the one it held.
  if ((flags & clear::Target) && (rectCount == 0 || !rects) && d.renderTarget && d.renderTarget->texture_ == d.backBuffer &&
      v.x == 0 && v.y == 0 && v.width == d.parameters.backBufferWidth && v.height == d.parameters.backBufferHeight)
    d.backBufferStale = false;
  d.BindDrawTarget();
  GLbitfield mask = 0;
  if (flags & clear::Target) mask |= GL_COLOR_BUFFER_BIT;
  if (flags & clear::ZBuffer) mask |= GL_DEPTH_BUFFER_BIT;
  if (flags & clear::Stencil) mask |= GL_STENCIL_BUFFER_BIT;
  if (!mask) return kOk;
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  glClearColor(float((color >> 16) & 0xFF) / 255.0f, float((color >> 8) & 0xFF) / 255.0f,
               float(color & 0xFF) / 255.0f, float(color >> 24) / 255.0f);
  glClearDepth(std::clamp(z, 0.0f, 1.0f));
  glClearStencil(GLint(stencil));
  glEnable(GL_SCISSOR_TEST);
  auto clearBox = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    x1 = std::max<int32_t>(x1, int32_t(v.x));
    y1 = std::max<int32_t>(y1, int32_t(v.y));
    x2 = std::min<int32_t>(x2, int32_t(v.x + v.width));
    y2 = std::min<int32_t>(y2, int32_t(v.y + v.height));
    if (x2 <= x1 || y2 <= y1) return;
    glScissor(x1, y1, x2 - x1, y2 - y1);
    glClear(mask);
  };
  if (rectCount == 0 || !rects) {
    clearBox(int32_t(v.x), int32_t(v.y), int32_t(v.x + v.width), int32_t(v.y + v.height));
  } else {
    for (uint32_t i = 0; i < rectCount; ++i) clearBox(rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
  }
  glDisable(GL_SCISSOR_TEST);
  d.stateDirty = true;
  return kOk;
}

// ---- Targets

Result Device::GetBackBuffer(Surface** out) {
  if (!out || !impl_->backBufferSurface) return kErrInvalidCall;
  *out = impl_->backBufferSurface;
  (*out)->AddRef();
  return kOk;
}

Result Device::GetRenderTarget(uint32_t index, Surface** out) {
  if (!out || index != 0 || !impl_->renderTarget) return kErrNotAvailable;
  *out = impl_->renderTarget;
  (*out)->AddRef();
  return kOk;
}

Result Device::SetRenderTarget(uint32_t index, Surface* surface) {
  DeviceImpl& d = *impl_;
  if (index != 0 || !surface || !surface->texture_ || !(surface->texture_->usage_ & usage::RenderTarget))
    return kErrInvalidCall;
  surface->AddRef();
  if (d.renderTarget) d.renderTarget->Release();
  d.renderTarget = surface;
  d.fboDirty = true;
  const Texture::Level& level = surface->texture_->levels_[surface->level_];
  d.viewport = {0, 0, level.width, level.height, 0.0f, 1.0f};
  d.stateDirty = true;
  return kOk;
}

Result Device::GetDepthStencilSurface(Surface** out) {
  if (!out) return kErrInvalidCall;
  *out = impl_->depthStencil;
  if (!*out) return kErrNotAvailable;
  (*out)->AddRef();
  return kOk;
}

Result Device::SetDepthStencilSurface(Surface* surface) {
  DeviceImpl& d = *impl_;
  if (surface && !surface->renderbuffer_) return kErrInvalidCall;
  if (surface) surface->AddRef();
  if (d.depthStencil) d.depthStencil->Release();
  d.depthStencil = surface;
  d.fboDirty = true;
  d.stateDirty = true;
  return kOk;
}

Result Device::CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format, uint32_t multisample,
                                         uint32_t, bool, Surface** out) {
  if (!out) return kErrInvalidCall;
  *out = nullptr;
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
  if (format != fmt::D24S8 || multisample != kMultisampleNone || width == 0 || height == 0 ||
      width > uint32_t(maxSize) || height > uint32_t(maxSize))
    return kErrInvalidCall;
  Surface* s = new Surface(impl_.get(), nullptr, 0);
  s->width_ = width;
  s->height_ = height;
  s->format_ = format;
  glGenRenderbuffers(1, &s->renderbuffer_);
  glBindRenderbuffer(GL_RENDERBUFFER, s->renderbuffer_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLsizei(width), GLsizei(height));
  // Counted like a default-pool texture, so that releasing it lets a reset go ahead.
  s->counted_ = true;
  ++impl_->liveDefaultPool;
  *out = s;
  return kOk;
}

// ---- States

Result Device::SetRenderState(uint32_t state, uint32_t value) {
  if (state >= rs::Count) return kErrInvalidCall;
  impl_->renderStates[state] = value;
  impl_->stateDirty = true;
  return kOk;
}

uint32_t Device::GetRenderState(uint32_t state) const {
  return state < rs::Count ? impl_->renderStates[state] : 0;
}

Result Device::SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) {
  if (stage >= kSamplers || state >= tss::Count) return kErrInvalidCall;
  impl_->stageStates[stage][state] = value;
  impl_->stateDirty = true;
  return kOk;
}

uint32_t Device::GetTextureStageState(uint32_t stage, uint32_t state) const {
  return stage < kSamplers && state < tss::Count ? impl_->stageStates[stage][state] : 0;
}

Result Device::SetSamplerState(uint32_t sampler, uint32_t state, uint32_t value) {
  if (sampler >= kSamplers || state >= ss::Count) return kErrInvalidCall;
  impl_->samplerStates[sampler][state] = value;
  impl_->samplerDirty[sampler] = true;
  impl_->stateDirty = true;
  return kOk;
}

uint32_t Device::GetSamplerState(uint32_t sampler, uint32_t state) const {
  return sampler < kSamplers && state < ss::Count ? impl_->samplerStates[sampler][state] : 0;
}

Result Device::SetTexture(uint32_t stage, Texture* texture) {
  if (stage >= kSamplers) return kErrInvalidCall;
  Texture*& slot = impl_->textures[stage];
  if (texture) texture->AddRef();
  if (slot) slot->Release();
  slot = texture;
  impl_->stateDirty = true;
  return kOk;
}

Texture* Device::GetTexture(uint32_t stage) const { return stage < kSamplers ? impl_->textures[stage] : nullptr; }

Result Device::SetTransform(uint32_t slot, const Matrix& matrix) {
  switch (slot) {
    case ts::World: impl_->world = matrix; break;
    case ts::View: impl_->view = matrix; break;
    case ts::Projection: impl_->projection = matrix; break;
    default: return kErrInvalidCall;
  }
  impl_->stateDirty = true;
  return kOk;
}

Result Device::GetTransform(uint32_t slot, Matrix* out) const {
  if (!out) return kErrInvalidCall;
  switch (slot) {
    case ts::World: *out = impl_->world; return kOk;
    case ts::View: *out = impl_->view; return kOk;
    case ts::Projection: *out = impl_->projection; return kOk;
    default: return kErrInvalidCall;
  }
}

Result Device::SetMaterial(const Material& material) {
  impl_->material = material;
  impl_->stateDirty = true;
  return kOk;
}

Result Device::GetMaterial(Material* out) const {
  if (!out) return kErrInvalidCall;
  *out = impl_->material;
  return kOk;
}

Result Device::SetLight(uint32_t index, const Light& l) {
  if (index >= kLights) return kErrInvalidCall;
  if (l.type != light::Point && l.type != light::Directional && l.type != light::Spot) return kErrInvalidCall;
  impl_->lights[index] = l;
  impl_->stateDirty = true;
  return kOk;
}

Result Device::GetLight(uint32_t index, Light* out) const {
  if (index >= kLights || !out) return kErrInvalidCall;
  *out = impl_->lights[index];
  return kOk;
}

Result Device::LightEnable(uint32_t index, bool enable) {
  if (index >= kLights) return kErrInvalidCall;
  impl_->lightEnabled[index] = enable;
  impl_->stateDirty = true;
  return kOk;
}

bool Device::GetLightEnable(uint32_t index) const { return index < kLights && impl_->lightEnabled[index]; }

Result Device::SetViewport(const Viewport& viewport) {
  DeviceImpl& d = *impl_;
  uint32_t w = 0, h = 0;
  if (d.renderTarget) {
    if (Texture* t = d.renderTarget->texture_) {
      w = t->levels_[d.renderTarget->level_].width;
      h = t->levels_[d.renderTarget->level_].height;
    }
  }
  if (viewport.width == 0 || viewport.height == 0 || uint64_t(viewport.x) + viewport.width > w ||
      uint64_t(viewport.y) + viewport.height > h || viewport.minZ < 0 || viewport.maxZ > 1 ||
      viewport.minZ > viewport.maxZ)
    return kErrInvalidCall;
  d.viewport = viewport;
  d.stateDirty = true;
  return kOk;
}

Result Device::GetViewport(Viewport* out) const {
  if (!out) return kErrInvalidCall;
  *out = impl_->viewport;
  return kOk;
}

Result Device::SetPixelShaderConstantF(uint32_t start, const float* values, uint32_t count) {
  if (!values || start + count > 8) return kErrInvalidCall;
  std::memcpy(impl_->constants[start], values, count * 4 * sizeof(float));
  impl_->stateDirty = true;
  return kOk;
}

void Device::SetGammaRamp(uint32_t, uint32_t, const GammaRamp& ramp) {
  if (std::memcmp(&ramp, &impl_->gamma, sizeof ramp) == 0) return;
  impl_->SettleScreen();  // the last frame's screen shows the ramp it had
  impl_->gamma = ramp;
  impl_->gammaDirty = true;
}

void Device::GetGammaRamp(uint32_t, GammaRamp* out) const {
  if (out) *out = impl_->gamma;
}

}  // namespace gpu
