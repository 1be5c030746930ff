// Private to the device: its state record, the GL context backends and the shader cache.
// Only the device's own .cpp files include this (it pulls in the GL declarations).
#pragma once

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gpu/Device.h"

namespace gpu {

// A current GL 3.3 core context and, for a window, the way to show its default framebuffer.
class Context {
 public:
  virtual ~Context() = default;
  virtual bool MakeCurrent() = 0;
  virtual bool HasWindow() const = 0;
  virtual void WindowSize(int* width, int* height) = 0;
  virtual void Swap(bool vsync) = 0;
  // The device draws its own cursor; a window hides the system's one meanwhile.
  virtual void ShowSystemCursor(bool) {}
};
std::unique_ptr<Context> CreateEglContext();
// `window` is an SDL_Window* or null (then the context opens a window of the given size).
std::unique_ptr<Context> CreateSdlContext(void* window, int width, int height, bool fullscreen);

// A linked GL program with the locations the device feeds.
struct GlProgram {
  GLuint name = 0;
  GLint world = -1, view = -1, projection = -1, worldView = -1, normalMatrix = -1, viewportPx = -1,
        clipAdjust = -1, factor = -1, ambient = -1, matDiffuse = -1, matAmbient = -1, matEmissive = -1,
        lightDiffuse = -1, lightAmbient = -1, lightVector = -1, lightRange = -1, lightAtten = -1,
        constants = -1, alphaRef = -1;
  GLint samplers[kSamplers] = {-1, -1, -1, -1, -1, -1, -1, -1};
};

// What the current vertex layout provides; part of the fixed-function program key.
struct VertexInputs {
  bool rhw = false, normal = false, diffuse = false, specular = false;
  uint32_t texSets = 0;
};

struct StreamSource {
  VertexBuffer* buffer = nullptr;
  uint32_t offset = 0, stride = 0;
};

struct DeviceImpl {
  explicit DeviceImpl(Device* owner) : self(owner) {}

  Device* self;
  std::unique_ptr<Context> context;
  PresentParameters parameters{};

  // Fixed-function and pipeline state.
  std::array<uint32_t, rs::Count> renderStates{};
  uint32_t stageStates[kSamplers][tss::Count]{};
  uint32_t samplerStates[kSamplers][ss::Count]{};
  Texture* textures[kSamplers]{};
  Matrix world{}, view{}, projection{};
  Material material{};
  Light lights[kLights]{};
  bool lightEnabled[kLights]{};
  Viewport viewport{};
  uint32_t fvf = 0;
  VertexDeclaration* declaration = nullptr;
  StreamSource stream;
  IndexBuffer* indices = nullptr;
  PixelShader* pixelShader = nullptr;
  Program* program = nullptr;
  VertexInputs inputs;
  float constants[8][4]{};

  // Targets. The back buffer is a render-target texture of our own; everything draws into an FBO.
  Texture* backBuffer = nullptr;
  Surface* backBufferSurface = nullptr;
  Surface* autoDepth = nullptr;
  Surface* renderTarget = nullptr;  // referenced
  Surface* depthStencil = nullptr;  // referenced, may be null
  GLuint drawFbo = 0, readFbo = 0;
  bool fboDirty = true;
  // Presenting trades the back buffer's texture for the front one instead of copying the frame;
  // the back buffer then holds an older frame until it is restored (see RestoreBackBuffer).
  GLuint frontTexture = 0;  // last presented frame
  uint32_t frontWidth = 0, frontHeight = 0;
  bool backBufferStale = false;
  // What the screen shows (gamma and cursor applied), made only when asked for: ReadScreen.
  GLuint screenTexture = 0, screenFbo = 0;
  uint32_t screenWidth = 0, screenHeight = 0;
  bool screenPending = false;  // the last presented frame's screen is not made yet
  // Signalled once the last presented frame is drawn: the next Present waits for it.
  GLsync frameBefore = nullptr;
  GammaRamp gamma{};
  GLuint gammaTexture = 0;
  bool gammaDirty = true;
  float gammaLine[3] = {0.0f, 0.0f, 0.0f};  // per channel: the ramp's step when it is a straight line, else 0
  bool gammaIdentity = false;               // every entry shows as its own byte: presenting copies

  // Cursor: as set, and as it was at the last Present (what that frame's screen shows).
  struct CursorPlacement {
    bool visible = false;
    int32_t x = 0, y = 0;
    uint32_t width = 0, height = 0, hotX = 0, hotY = 0;
  };
  GLuint cursorTexture = 0;
  std::vector<uint8_t> cursorPixels;  // the image in cursorTexture, rows of width × 4 bytes
  CursorPlacement cursor, shownCursor;

  // GL objects of the draw path.
  GLuint vao = 0;
  // The attribute layout last given to the vertex array; drawing again with the same skips it.
  GLuint layoutBuffer = 0;
  uintptr_t layoutBase = 0;
  uint32_t layoutStride = 0, layoutFvf = 0;
  const VertexDeclaration* layoutDeclaration = nullptr;
  GLuint upVertexBuffer = 0, upIndexBuffer = 0;
  GLuint samplers[kSamplers]{};
  bool samplerDirty[kSamplers]{};
  GLuint whiteTexture = 0;
  GLuint presentProgram = 0, presentLineProgram = 0, cursorProgram = 0, blitVao = 0;
  std::unordered_map<std::string, GlProgram> programCache;
  std::string lastKey;
  GlProgram* lastProgram = nullptr;
  bool stateDirty = true;
  uint32_t nextShaderId = 1;

  // Device condition.
  bool inScene = false;
  bool lost = false;
  bool lossPending = false;
  Result forcedResetResult = kOk;
  bool softwareDxt = false;
  bool nativeDxt = false;
  uint32_t drawCalls = 0;
  uint32_t liveDefaultPool = 0;  // default-pool objects the caller created and still holds

  // ---- Device.cpp
  void SetDefaultStates();
  bool CreateTargets();
  void DestroyTargets();
  void BindDrawTarget();
  // ---- Draw.cpp
  // Points the vertex attributes at `base` (an offset into the bound GL buffer); false when the
  // current layout is unusable.
  bool PrepareVertices(uintptr_t base, uint32_t stride);
  void ApplyPipelineState();
  void ApplySampler(uint32_t unit);
  void DrawArrays(uint32_t type, uint32_t first, uint32_t count);
  // ---- FixedFunction.cpp
  GlProgram* ProgramFor();
  void FeedUniforms(GlProgram& p);
  // ---- Resources.cpp
  void UploadTexture(Texture& texture);
  // ---- Present.cpp
  void CreatePresentObjects();
  void DestroyPresentObjects();
  void PresentFrame();
  // Waits until the frame presented before this one is drawn.
  void WaitForFrameBefore();
  // Gives the back buffer the last presented frame again when it holds an older one; called
  // before the back buffer is read or drawn into (a clear of all of it needs no restoring).
  void RestoreBackBuffer();
  // Makes the pending screen image; called before what it is made of changes.
  void SettleScreen();
  // Draws the presented frame as the screen shows it into `framebuffer`, bottomUp for a window's.
  void DrawScreen(GLuint framebuffer, int width, int height, bool bottomUp);
};

// Whether the device an object was made by still exists. Objects released after their device
// (a caller's mistake, or static destruction at exit) must not touch it.
bool DeviceAlive(const DeviceImpl* device);

// Helpers that reach into the objects' private parts.
struct Internal {
  template <class B>
  static Result LockBuffer(B& b, uint32_t offset, uint32_t size, void** data, uint32_t flags);
  template <class B>
  static Result UnlockBuffer(B& b, GLenum target);
  template <class B>
  static void CreateBufferStorage(B& b, GLenum target);
  static Texture* NewRenderTexture(DeviceImpl* d, uint32_t width, uint32_t height, uint32_t format);
};

// Shared GLSL helpers.
GLuint CompileProgram(const std::string& vertex, const std::string& fragment, std::string* errors);
// The prologue every vertex program starts with: attributes and the Direct3D-to-GL clip mapping.
const char* VertexPrologue();
const char* FragmentPrologue();
// Component swizzle of a texture format so that sampling returns what Direct3D returns.
void SetFormatSwizzle(uint32_t format);
GLenum GlPrimitive(uint32_t type);

}  // namespace gpu
