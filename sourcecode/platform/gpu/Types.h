// Constants and plain records of the graphics device. The numeric values are the ones the engine's
// data and callers rely on (vertex format bits, state values, format codes), so they must not change.
#pragma once

#include <cstdint>

namespace gpu {

// Call results. Success is 0; failures have the top bit set. ORDER RESULT: ErrorName() in Device.cpp.
enum Result : uint32_t {
  kOk = 0,
  kErrDeviceLost = 0x88760868u,
  kErrDeviceNotReset = 0x88760869u,
  kErrNotAvailable = 0x8876086Au,
  kErrInvalidCall = 0x8876086Cu,
  kErrDriverInternal = 0x88760827u,
  kErrOutOfVideoMemory = 0x8876017Cu,
  kErrWasStillDrawing = 0x8876021Cu,
  kErrOutOfMemory = 0x8007000Eu,
  kErrFail = 0x80004005u,
};
inline bool Failed(uint32_t r) { return (r & 0x80000000u) != 0; }
inline bool Succeeded(uint32_t r) { return !Failed(r); }
// Symbolic name and one-line description of a result (never null).
const char* ErrorName(uint32_t result);
const char* ErrorDescription(uint32_t result);

namespace fmt {  // pixel, index and vertex data formats
inline constexpr uint32_t Unknown = 0;
inline constexpr uint32_t A8R8G8B8 = 21;
inline constexpr uint32_t X8R8G8B8 = 22;
inline constexpr uint32_t A8 = 28;
inline constexpr uint32_t D24S8 = 75;
inline constexpr uint32_t VertexData = 100;
inline constexpr uint32_t Index16 = 101;
inline constexpr uint32_t Index32 = 102;
inline constexpr uint32_t DXT1 = 0x31545844;  // "DXT1"
inline constexpr uint32_t DXT3 = 0x33545844;  // "DXT3"
inline constexpr uint32_t DXT5 = 0x35545844;  // "DXT5"
inline constexpr uint32_t FromFile = 0xFFFFFFFDu;  // take the format stored in an image file
}  // namespace fmt
bool IsCompressed(uint32_t format);
// Bytes of one row of blocks (compressed) or one row of pixels; 0 for an unknown format.
uint32_t RowPitch(uint32_t format, uint32_t width);
// Rows of the above in a level of the given height (block rows for compressed formats).
uint32_t RowCount(uint32_t format, uint32_t height);

namespace pool {
inline constexpr uint32_t Default = 0, Managed = 1, SystemMem = 2, Scratch = 3;
}
namespace usage {
inline constexpr uint32_t RenderTarget = 0x1, DepthStencil = 0x2, WriteOnly = 0x8, Dynamic = 0x200;
}
// Uncompressed dynamic textures keep each level's memory with rows padded to kDynamicRowAlign
// bytes, starting on such a boundary, and kDynamicSpareRows spare rows below the last: a video
// decoder that works in whole blocks of rows can write a picture straight into it.
inline constexpr uint32_t kDynamicRowAlign = 64, kDynamicSpareRows = 64;
namespace lock {
inline constexpr uint32_t ReadOnly = 0x10, NoSysLock = 0x800, NoOverwrite = 0x1000, Discard = 0x2000;
}
namespace clear {
inline constexpr uint32_t Target = 1, ZBuffer = 2, Stencil = 4;
}
namespace resource {  // what a buffer description names as its type
inline constexpr uint32_t Surface = 1, Texture = 3, VertexBuffer = 6, IndexBuffer = 7;
}

namespace fvf {  // flexible vertex format bits
inline constexpr uint32_t PositionMask = 0x400E;
inline constexpr uint32_t XYZ = 0x002, XYZRHW = 0x004, XYZB1 = 0x006, XYZB2 = 0x008, XYZB3 = 0x00A,
                          XYZB4 = 0x00C, XYZB5 = 0x00E, XYZW = 0x4002;
inline constexpr uint32_t Normal = 0x010, PSize = 0x020, Diffuse = 0x040, Specular = 0x080;
inline constexpr uint32_t TexCountMask = 0xF00, TexCountShift = 8;
inline constexpr uint32_t Tex1 = 0x100, Tex2 = 0x200;
inline constexpr uint32_t LastBetaUByte4 = 0x1000, LastBetaColor = 0x8000;
// Texture coordinate set `set` holds `dimension` floats (1 to 4); 2 needs no bits.
constexpr uint32_t TexCoordSize(uint32_t set, uint32_t dimension) {
  return (dimension == 1 ? 3u : dimension == 3 ? 1u : dimension == 4 ? 2u : 0u) << (set * 2 + 16);
}
}  // namespace fvf
// Vertex size in bytes of a format code; 0 when the code names no position.
uint32_t FvfStride(uint32_t fvf);

namespace prim {
inline constexpr uint32_t PointList = 1, LineList = 2, LineStrip = 3, TriangleList = 4, TriangleStrip = 5,
                          TriangleFan = 6;
}
// Vertices (or indices) that `count` primitives of the type use; 0 for an unknown type.
uint32_t PrimitiveVertexCount(uint32_t type, uint32_t count);

namespace ts {  // transform slots
inline constexpr uint32_t View = 2, Projection = 3, World = 256;
}

namespace rs {  // render states
inline constexpr uint32_t ZEnable = 7, FillMode = 8, ShadeMode = 9, ZWriteEnable = 14, AlphaTestEnable = 15,
                          SrcBlend = 19, DestBlend = 20, CullMode = 22, ZFunc = 23, AlphaRef = 24,
                          AlphaFunc = 25, DitherEnable = 26, AlphaBlendEnable = 27, FogEnable = 28,
                          SpecularEnable = 29, StencilEnable = 52, TextureFactor = 60, Lighting = 137,
                          Ambient = 139, ColorVertex = 141, NormalizeNormals = 143,
                          DiffuseMaterialSource = 145, SpecularMaterialSource = 146,
                          AmbientMaterialSource = 147, EmissiveMaterialSource = 148, VertexBlend = 151,
                          ColorWriteEnable = 168, BlendOp = 171;
inline constexpr uint32_t Count = 256;  // states are stored in a table of this size
}  // namespace rs
namespace blend {
inline constexpr uint32_t Zero = 1, One = 2, SrcColor = 3, InvSrcColor = 4, SrcAlpha = 5, InvSrcAlpha = 6,
                          DestAlpha = 7, InvDestAlpha = 8, DestColor = 9, InvDestColor = 10;
}
namespace cull {
inline constexpr uint32_t None = 1, CW = 2, CCW = 3;
}
namespace cmp {
inline constexpr uint32_t Never = 1, Less = 2, Equal = 3, LessEqual = 4, Greater = 5, NotEqual = 6,
                          GreaterEqual = 7, Always = 8;
}
namespace mcs {  // where lighting takes a material colour from
inline constexpr uint32_t Material = 0, Color1 = 1, Color2 = 2;
}

namespace tss {  // texture-stage states
inline constexpr uint32_t ColorOp = 1, ColorArg1 = 2, ColorArg2 = 3, AlphaOp = 4, AlphaArg1 = 5,
                          AlphaArg2 = 6, TexCoordIndex = 11;
inline constexpr uint32_t Count = 33;
}  // namespace tss
namespace top {  // texture-stage operations
inline constexpr uint32_t Disable = 1, SelectArg1 = 2, SelectArg2 = 3, Modulate = 4, Modulate2X = 5,
                          Modulate4X = 6, Add = 7, AddSigned = 8, AddSigned2X = 9, Subtract = 10;
}
namespace ta {  // texture-stage arguments
inline constexpr uint32_t Diffuse = 0, Current = 1, Texture = 2, TFactor = 3, Specular = 4;
inline constexpr uint32_t SelectMask = 0xF, Complement = 0x10, AlphaReplicate = 0x20;
}  // namespace ta

namespace ss {  // sampler states
inline constexpr uint32_t AddressU = 1, AddressV = 2, AddressW = 3, BorderColor = 4, MagFilter = 5,
                          MinFilter = 6, MipFilter = 7, MipMapLodBias = 8, MaxMipLevel = 9;
inline constexpr uint32_t Count = 14;
}  // namespace ss
namespace filter {
inline constexpr uint32_t None = 0, Point = 1, Linear = 2;
}
namespace address {
inline constexpr uint32_t Wrap = 1, Mirror = 2, Clamp = 3;
}

namespace light {
inline constexpr uint32_t Point = 1, Spot = 2, Directional = 3;
}

inline constexpr uint32_t kStages = 3;     // texture stages the fixed-function path combines
inline constexpr uint32_t kSamplers = 8;   // samplers a shader may read
inline constexpr uint32_t kLights = 8;     // lights that can be enabled at once
inline constexpr uint32_t kMultisampleNone = 0, kMultisampleNonMaskable = 1;
inline constexpr uint32_t kSwapDiscard = 1;
inline constexpr uint32_t kPresentIntervalDefault = 0, kPresentIntervalOne = 1,
                          kPresentIntervalImmediate = 0x80000000u;
inline constexpr uint32_t kCursorImmediateUpdate = 1;

struct Vec3 { float x, y, z; };
struct ColorValue { float r, g, b, a; };
// Row-vector matrix: a point p becomes p × M; translation in the last row.
struct Matrix { float m[4][4]; };
Matrix IdentityMatrix();

struct Material {
  ColorValue diffuse, ambient, specular, emissive;
  float power;
};

struct Light {
  uint32_t type;  // light::
  ColorValue diffuse, specular, ambient;
  Vec3 position, direction;
  float range, falloff, attenuation0, attenuation1, attenuation2, theta, phi;
};

struct Viewport {
  uint32_t x, y, width, height;
  float minZ, maxZ;
};

struct Rect { int32_t left, top, right, bottom; };

struct LockedRect {
  int32_t pitch;
  void* bits;
};

struct SurfaceDesc {
  uint32_t format, type, usage, pool, multisample, multisampleQuality, width, height;
};

struct BufferDesc {  // vertex and index buffers
  uint32_t format, type, usage, pool, size, fvf;
};

struct DisplayMode {
  uint32_t width, height, refreshRate, format;
};

struct PresentParameters {
  uint32_t backBufferWidth, backBufferHeight, backBufferFormat, backBufferCount;
  uint32_t multiSampleType, multiSampleQuality, swapEffect;
  void* deviceWindow;  // the window the backend presents to; null = the device's own
  bool windowed, enableAutoDepthStencil;
  uint32_t autoDepthStencilFormat, flags, fullScreenRefreshRateInHz, presentationInterval;
};

// Gamma ramp: 256 entries per channel, 0..65535.
struct GammaRamp {
  uint16_t red[256], green[256], blue[256];
};

// One element of a vertex declaration; a list ends with an element whose stream is 0xFF.
struct VertexElement {
  uint16_t stream, offset;
  uint8_t type, method, usage, usageIndex;
};
namespace decl {
inline constexpr uint8_t Float1 = 0, Float2 = 1, Float3 = 2, Float4 = 3, Color = 4, UByte4 = 5;
inline constexpr uint8_t UsagePosition = 0, UsageBlendWeight = 1, UsageBlendIndices = 2, UsageNormal = 3,
                         UsageTexCoord = 5, UsagePositionT = 9, UsageColor = 10;
inline constexpr VertexElement End = {0xFF, 0, 17, 0, 0, 0};
}  // namespace decl

}  // namespace gpu
