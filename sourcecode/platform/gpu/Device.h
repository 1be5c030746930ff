// The graphics device: a Direct3D-9-shaped device over OpenGL 3.3 core. One `System` per process
// picks the backend (a window or headless); it enumerates display modes and creates the `Device`,
// which owns every texture, surface, buffer and shader made through it. Objects are reference
// counted: `Release` at zero frees them. All calls come from the thread that created the device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gpu/Types.h"

namespace gpu {

class Device;
struct DeviceImpl;

// What the driver tells of the adapter. The display memory comes from the driver's memory
// extension (dedicated memory from GL_NVX_gpu_memory_info, the free texture pool from
// GL_ATI_meminfo), else from the DRM card's sysfs entry, else it is 0.
struct AdapterInfo {
  std::string renderer, vendor, version;
  uint64_t videoMemoryBytes = 0;
  const char* memorySource = "none";  // "GL_NVX_gpu_memory_info", "GL_ATI_meminfo", "sysfs" or "none"
};

// The dedicated memory of the first DRM card under drmRoot ("card0" … "card15") that reports
// device/mem_info_vram_total; 0 when none does.
uint64_t QuerySysfsVideoMemory(const char* drmRoot = "/sys/class/drm");
struct Internal;  // the device's own helpers

// Reference counting shared by every device object.
class Object {
 public:
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  uint32_t AddRef();
  // Drops one reference; the object is freed when none is left. Returns what is left.
  uint32_t Release();

 protected:
  Object() = default;
  virtual ~Object() = default;

 private:
  uint32_t refs_ = 1;
};

class Texture;

// A 2D image: a texture level, the back buffer, or a depth-stencil surface.
class Surface final : public Object {
 public:
  Result GetDesc(SurfaceDesc* out) const;
  // Maps the pixels (or blocks) of the whole surface or of `rect` into memory; one lock at a time.
  Result LockRect(LockedRect* out, const Rect* rect, uint32_t flags);
  Result UnlockRect();
  // The texture this surface is a level of, or null.
  Texture* GetContainer() const { return texture_; }

 private:
  friend class Device;
  friend struct DeviceImpl;
  friend struct Internal;
  friend class Texture;
  Surface(DeviceImpl* device, Texture* texture, uint32_t level);
  ~Surface() override;

  DeviceImpl* device_;
  Texture* texture_;  // holds a reference while this surface exists
  uint32_t level_;
  // Stand-alone depth-stencil surface (texture_ null).
  uint32_t renderbuffer_ = 0;
  uint32_t width_ = 0, height_ = 0, format_ = 0;
  bool counted_ = false;  // a default-pool object of the caller's
};

class Texture final : public Object {
 public:
  uint32_t GetLevelCount() const { return static_cast<uint32_t>(levels_.size()); }
  Result GetLevelDesc(uint32_t level, SurfaceDesc* out) const;
  // A new reference to the surface of a level (the same object while any reference lives).
  Result GetSurfaceLevel(uint32_t level, Surface** out);
  Result LockRect(uint32_t level, LockedRect* out, const Rect* rect, uint32_t flags);
  Result UnlockRect(uint32_t level);
  uint32_t Format() const { return format_; }
  uint32_t Pool() const { return pool_; }
  uint32_t Usage() const { return usage_; }
  uint32_t Width() const { return levels_.empty() ? 0 : levels_[0].width; }
  uint32_t Height() const { return levels_.empty() ? 0 : levels_[0].height; }

 private:
  friend class Device;
  friend struct DeviceImpl;
  friend struct Internal;
  friend class Surface;
  Texture(DeviceImpl* device, uint32_t format, uint32_t usage, uint32_t pool);
  ~Texture() override;

  struct Level {
    uint32_t width, height;
    std::vector<uint8_t> data;  // the pixels as the caller sees them; empty for render targets
    bool locked = false, readOnly = false;
    uint32_t pitch = 0;  // bytes from one row to the next in data
    size_t start = 0;    // where the first row begins in data
  };
  DeviceImpl* device_;
  uint32_t format_, usage_, pool_;
  std::vector<Level> levels_;
  uint32_t name_ = 0;   // GL texture
  bool dirty_ = false;  // memory copy newer than GL
  bool stored_ = false; // GL holds storage for every level: uploads replace the contents only
  bool counted_ = false;
  std::vector<Surface*> surfaces_;  // live level surfaces, not referenced (each references us)
};

class VertexBuffer final : public Object {
 public:
  // Maps `size` bytes from `offset` (size 0 = to the end).
  Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags);
  Result Unlock();
  Result GetDesc(BufferDesc* out) const;

 private:
  friend class Device;
  friend struct DeviceImpl;
  friend struct Internal;
  VertexBuffer(DeviceImpl* device, const BufferDesc& desc);
  ~VertexBuffer() override;
  DeviceImpl* device_;
  BufferDesc desc_;
  std::vector<uint8_t> data_;
  uint32_t name_ = 0;
  uint32_t lockOffset_ = 0, lockSize_ = 0;
  bool locked_ = false, counted_ = false;
};

class IndexBuffer final : public Object {
 public:
  Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags);
  Result Unlock();
  Result GetDesc(BufferDesc* out) const;

 private:
  friend class Device;
  friend struct DeviceImpl;
  friend struct Internal;
  IndexBuffer(DeviceImpl* device, const BufferDesc& desc);
  ~IndexBuffer() override;
  DeviceImpl* device_;
  BufferDesc desc_;
  std::vector<uint8_t> data_;
  uint32_t name_ = 0;
  uint32_t lockOffset_ = 0, lockSize_ = 0;
  bool locked_ = false, counted_ = false;
};

class VertexDeclaration final : public Object {
 public:
  const std::vector<VertexElement>& Elements() const { return elements_; }

 private:
  friend class Device;
  explicit VertexDeclaration(std::vector<VertexElement> elements) : elements_(std::move(elements)) {}
  std::vector<VertexElement> elements_;
};

// A fragment program in GLSL that replaces the texture stages. It reads `vDiffuse`, `vSpecular`,
// `vTex0`..`vTex3`, the samplers `uSampler0`..`uSampler3` and the constants `uConst[8]`, and
// writes `outColor`.
class PixelShader final : public Object {
 private:
  friend class Device;
  friend struct DeviceImpl;
  friend struct Internal;
  PixelShader(DeviceImpl* device, std::string_view source);
  ~PixelShader() override;
  DeviceImpl* device_;
  std::string source_;
  uint32_t id_;
};

// A complete GLSL program (vertex and fragment) with parameters by name; it replaces the whole
// fixed-function path while set. The vertex stage reads the attributes `aPosition`, `aBlendWeight`,
// `aBlendIndices` (0..255 as floats), `aNormal`, `aDiffuse`, `aTex0` and must pass its clip-space
// position (Direct3D convention: z 0..w, y up) through `gpuClip()`.
class Program final : public Object {
 public:
  // Parameter setters; a name the program does not use is ignored and reported false.
  bool SetInt(const char* name, int32_t value);
  bool SetFloat(const char* name, float value);
  bool SetFloats(const char* name, const float* values, uint32_t count);  // float[count]
  bool SetVectors(const char* name, const float* xyzw, uint32_t count);   // vec4[count]
  bool SetMatrices(const char* name, const Matrix* matrices, uint32_t count);
  // Binds a texture to a sampler by name (it keeps no reference).
  bool SetTexture(const char* name, Texture* texture);
  // Sets a parameter of any float, vector, matrix or integer type from `floatCount` floats,
  // filling array elements in order (as an effect's untyped setters do).
  bool SetValues(const char* name, const float* values, uint32_t floatCount);
  // Whether the program uses a parameter of that name.
  bool Has(const char* name) const;

 private:
  friend class Device;
  friend struct DeviceImpl;
  friend struct Internal;
  Program(DeviceImpl* device, uint32_t name);
  ~Program() override;
  int Location(const char* name);
  struct Uniform {
    std::string name;
    int location;
    uint32_t type;
    int size;
  };
  const Uniform* Find(const char* name) const;
  DeviceImpl* device_;
  uint32_t name_;
  std::vector<Uniform> uniforms_;
  std::vector<std::pair<int, Texture*>> textures_;  // sampler location → texture
};

enum class Backend { Headless, Window };

class Device final : public Object {
 public:
  // ---- frame and presentation
  Result TestCooperativeLevel();
  // Rebuilds the back buffer and depth buffer with new parameters and restores every default
  // state. Fails with kErrInvalidCall while default-pool objects other than the device's own live.
  Result Reset(PresentParameters* parameters);
  Result BeginScene();
  Result EndScene();
  // Shows the back buffer (gamma ramp and cursor applied on the way to the screen).
  Result Present();
  // Fills the target, depth and stencil within the viewport (rects: optional list of rectangles).
  Result Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z,
               uint32_t stencil);

  // ---- targets
  Result GetBackBuffer(Surface** out);
  Result GetRenderTarget(uint32_t index, Surface** out);
  // Makes a texture-level surface (usage RenderTarget) or the back buffer target 0; resets the
  // viewport to cover it.
  Result SetRenderTarget(uint32_t index, Surface* surface);
  Result GetDepthStencilSurface(Surface** out);
  Result SetDepthStencilSurface(Surface* surface);  // null = no depth buffer
  Result CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format, uint32_t multisample,
                                   uint32_t quality, bool discard, Surface** out);
  // Copies the last presented frame (without gamma) into an A8R8G8B8 surface of the window's size.
  Result GetFrontBufferData(uint32_t swapChain, Surface* destination);

  // ---- resources
  // levels 0 = the full chain down to 1×1.
  Result CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, uint32_t format,
                       uint32_t pool, Texture** out);
  Result CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool, VertexBuffer** out);
  Result CreateIndexBuffer(uint32_t length, uint32_t usage, uint32_t format, uint32_t pool, IndexBuffer** out);
  Result CreateVertexDeclaration(const VertexElement* elements, VertexDeclaration** out);
  Result CreatePixelShader(const char* glslSource, PixelShader** out);
  // Compiles and links; on failure `errors` (when given) receives the compiler's text.
  Result CreateProgram(const char* vertexSource, const char* fragmentSource, Program** out,
                       std::string* errors = nullptr);

  // ---- vertex input and drawing
  Result SetFVF(uint32_t fvf);
  Result SetVertexDeclaration(VertexDeclaration* declaration);
  Result SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride);
  Result SetIndices(IndexBuffer* buffer);
  Result DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount);
  Result DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t vertexCount,
                              uint32_t startIndex, uint32_t primitiveCount);
  Result DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride);
  Result DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t vertexCount,
                                uint32_t primitiveCount, const void* indices, uint32_t indexFormat,
                                const void* vertices, uint32_t stride);

  // ---- states
  Result SetRenderState(uint32_t state, uint32_t value);
  uint32_t GetRenderState(uint32_t state) const;
  Result SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value);
  uint32_t GetTextureStageState(uint32_t stage, uint32_t state) const;
  Result SetSamplerState(uint32_t sampler, uint32_t state, uint32_t value);
  uint32_t GetSamplerState(uint32_t sampler, uint32_t state) const;
  Result SetTexture(uint32_t stage, Texture* texture);  // keeps a reference while bound
  Texture* GetTexture(uint32_t stage) const;
  Result SetTransform(uint32_t slot, const Matrix& matrix);
  Result GetTransform(uint32_t slot, Matrix* out) const;
  Result SetMaterial(const Material& material);
  Result GetMaterial(Material* out) const;
  Result SetLight(uint32_t index, const Light& light);
  Result GetLight(uint32_t index, Light* out) const;
  Result LightEnable(uint32_t index, bool enable);
  bool GetLightEnable(uint32_t index) const;
  Result SetViewport(const Viewport& viewport);
  Result GetViewport(Viewport* out) const;
  Result SetPixelShader(PixelShader* shader);  // null = the texture stages
  Result SetPixelShaderConstantF(uint32_t start, const float* values, uint32_t count);  // count vec4s
  Result SetProgram(Program* program);          // null = the fixed-function path
  void SetGammaRamp(uint32_t swapChain, uint32_t flags, const GammaRamp& ramp);
  void GetGammaRamp(uint32_t swapChain, GammaRamp* out) const;

  // ---- cursor (drawn over the presented frame)
  Result SetCursorProperties(uint32_t hotX, uint32_t hotY, Surface* image);
  void SetCursorPosition(int32_t x, int32_t y, uint32_t flags);
  bool ShowCursor(bool show);  // returns the previous visibility

  // What the screen shows after the last Present, gamma ramp and cursor applied, at back-buffer
  // size: width × height pixels 0xAARRGGBB, top row first. The same for both backends (a window
  // receives this image, scaled to its size).
  Result ReadScreen(std::vector<uint32_t>* pixels, uint32_t* width, uint32_t* height);

  // ---- queries
  // The shader level this device offers ("ps_2_0" and up; never a ps_1 profile).
  const char* GetPixelShaderProfile() const;
  // The driver's strings and the display memory (see AdapterInfo).
  AdapterInfo GetAdapterInfo() const;
  const PresentParameters& GetPresentParameters() const;
  // Whether compressed textures go to the driver as they are (else they are decoded on upload).
  bool HasNativeDxt() const;
  // Draws issued since the last BeginScene (a measure for tests and benchmarks).
  uint32_t GetDrawCallCount() const;

  // ---- simulation for tests: the device cannot be lost on this platform
  // The next Present reports loss; from then on the device refuses drawing until Reset.
  void SimulateDeviceLoss();
  // The next Reset returns `result` (a failure keeps the device lost) instead of resetting.
  void SimulateResetResult(Result result);
  // Decode compressed textures in software from now on, as on a driver without S3TC.
  void ForceSoftwareDxt(bool force);

 private:
  friend class System;
  Device();
  ~Device() override;
  std::unique_ptr<DeviceImpl> impl_;
};

// The adapter and its backend. One per process.
class System {
 public:
  // Starts the backend; null (with a log line) when it cannot run here, e.g. no EGL device.
  static std::unique_ptr<System> Create(Backend backend);
  // Headless when the environment variable QUILLANE_HEADLESS is set to anything but "0" or "";
  // a window otherwise.
  static Backend DefaultBackend();
  ~System();
  Backend GetBackend() const { return backend_; }
  Result GetAdapterDisplayMode(DisplayMode* out) const;
  uint32_t GetAdapterModeCount(uint32_t format) const;
  Result EnumAdapterModes(uint32_t format, uint32_t index, DisplayMode* out) const;
  // Multisampling is not offered: always kErrNotAvailable unless `type` is none.
  Result CheckDeviceMultiSampleType(uint32_t format, bool windowed, uint32_t type,
                                    uint32_t* qualityLevels) const;
  // `window` is an SDL_Window created with SDL_WINDOW_OPENGL (Window backend; null = the device
  // opens its own window) and is ignored headless. The device must be released before the system.
  Result CreateDevice(void* window, uint32_t behaviourFlags, PresentParameters* parameters, Device** out);

 private:
  System() = default;
  Backend backend_ = Backend::Headless;
  std::vector<DisplayMode> modes_;
  DisplayMode desktop_{};
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace gpu
