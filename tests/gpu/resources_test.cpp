// Compressed textures, buffers and locks, device loss and reset, presentation with gamma and cursor.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "GpuFixture.h"
#include "platform/gpu/Dxt.h"

namespace gputest {
namespace {

using namespace gpu;

// Blocks with hand-computed pixels. Indices run 0,1,2,3 along each row.
const uint8_t kDxt1Opaque[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};      // red > blue
const uint8_t kDxt1Punch[8] = {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0xE4, 0xE4, 0xE4};       // blue < red
const uint32_t kDxt1OpaqueRow[4] = {0xFFFF0000, 0xFF0000FF, 0xFFAA0055, 0xFF5500AA};
const uint32_t kDxt1PunchRow[4] = {0xFF0000FF, 0xFFFF0000, 0xFF800080, 0x00000000};

TEST(DxtDecode, ColourModesFollowEndpointOrder) {
  uint32_t out[16];
  DecodeDxtBlock(fmt::DXT1, kDxt1Opaque, out);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], kDxt1OpaqueRow[i % 4]) << i;
  DecodeDxtBlock(fmt::DXT1, kDxt1Punch, out);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], kDxt1PunchRow[i % 4]) << i;
}

TEST(DxtDecode, ExplicitAndInterpolatedAlpha) {
  uint8_t dxt3[16];
  for (int i = 0; i < 8; ++i) dxt3[i] = uint8_t(0x10 * (2 * i + 1) + 2 * i);  // nibbles 0,1,2,...,15
  std::memcpy(dxt3 + 8, kDxt1Punch, 8);  // colour half never has a transparent mode
  uint32_t out[16];
  DecodeDxtBlock(fmt::DXT3, dxt3, out);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i] >> 24, uint32_t(i * 17)) << i;
  // In four-colour mode the third and fourth colours interpolate even though blue < red.
  EXPECT_EQ(out[2] & 0xFFFFFF, 0x5500AAu);
  EXPECT_EQ(out[3] & 0xFFFFFF, 0xAA0055u);

  // DXT5: a0 = 255 > a1 = 0 gives six interpolated steps; every pixel uses index i % 8.
  uint8_t dxt5[16] = {255, 0};
  uint64_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= uint64_t(i % 8) << (3 * i);
  for (int i = 0; i < 6; ++i) dxt5[2 + i] = uint8_t(bits >> (8 * i));
  std::memcpy(dxt5 + 8, kDxt1Opaque, 8);
  DecodeDxtBlock(fmt::DXT5, dxt5, out);
  const uint32_t alpha8[8] = {255, 0, 219, 182, 146, 109, 73, 36};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i] >> 24, alpha8[i % 8]) << i;
  // a0 <= a1: four steps plus 0 and 255.
  dxt5[0] = 0, dxt5[1] = 200;
  DecodeDxtBlock(fmt::DXT5, dxt5, out);
  const uint32_t alpha6[8] = {0, 200, 40, 80, 120, 160, 0, 255};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i] >> 24, alpha6[i % 8]) << i;
}

TEST(DxtDecode, ShortInputIsRefused) {
  uint32_t out[64];
  EXPECT_FALSE(DecodeDxt(fmt::DXT5, 8, 8, kDxt1Opaque, 8, out));
  EXPECT_TRUE(DecodeDxt(fmt::DXT1, 4, 4, kDxt1Opaque, 8, out));
}

// A w × h render target made current, drawn with stage 0's texture as it is.
bool DrawStageZeroInto(Device* device, uint32_t w, uint32_t h, Texture** target, Surface** surface) {
  if (device->CreateTexture(w, h, 1, usage::RenderTarget, fmt::A8R8G8B8, pool::Default, target) != kOk) return false;
  (*target)->GetSurfaceLevel(0, surface);
  device->SetRenderTarget(0, *surface);
  device->SetRenderState(rs::Lighting, 0);
  device->SetRenderState(rs::ZEnable, 0);
  device->SetTextureStageState(0, tss::ColorOp, top::SelectArg1);
  return true;
}

class CompressedTextureTest : public GpuTest, public ::testing::WithParamInterface<bool> {};

// Sampled one texel per pixel, the device shows what the decoder computes, whether the
// driver decodes (S3TC) or we do.
TEST_P(CompressedTextureTest, SampledPixelsMatchDecoder) {
  device_->ForceSoftwareDxt(GetParam());
  Texture* target = nullptr;
  Surface* surface = nullptr;
  ASSERT_TRUE(DrawStageZeroInto(device_, 8, 4, &target, &surface));
  for (const uint8_t* block : {kDxt1Opaque, kDxt1Punch}) {
    Texture* t = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 4, 1, 0, fmt::DXT1, pool::Managed, &t), kOk);
    LockedRect locked;
    ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), kOk);
    EXPECT_EQ(locked.pitch, 16);
    std::memcpy(locked.bits, block, 8);
    std::memcpy(static_cast<uint8_t*>(locked.bits) + 8, block, 8);
    t->UnlockRect(0);
    device_->SetTexture(0, t);
    device_->Clear(0, nullptr, clear::Target, 0x12345678, 1.0f, 0);
    DrawQuad(-0.5f, -0.5f, 7.5f, 3.5f);
    uint32_t expected[16];
    DecodeDxtBlock(fmt::DXT1, block, expected);
    const std::vector<uint32_t> p = ReadTarget();
    for (int i = 0; i < 32; ++i) EXPECT_TRUE(ColorNear(p[size_t(i)], expected[(i / 8) * 4 + i % 4], 2)) << i;
    device_->SetTexture(0, nullptr);
    t->Release();
  }
  surface->Release();
  target->Release();
}
INSTANTIATE_TEST_SUITE_P(DriverAndSoftware, CompressedTextureTest, ::testing::Values(false, true));

// A dynamic texture's rows are padded, with spare rows below, for a decoder to write into; what
// is drawn is only the texture's own width and height, and each upload replaces the last.
TEST_F(GpuTest, DynamicTexturesPadTheirRowsAndDrawWhatIsInside) {
  Texture* target = nullptr;
  Surface* surface = nullptr;
  ASSERT_TRUE(DrawStageZeroInto(device_, 6, 3, &target, &surface));
  Texture* t = nullptr;
  ASSERT_EQ(device_->CreateTexture(6, 3, 1, usage::Dynamic, fmt::A8R8G8B8, pool::Managed, &t), kOk);
  for (uint32_t round = 0; round < 2; ++round) {
    LockedRect locked;
    ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), kOk);
    EXPECT_EQ(locked.pitch, int32_t(kDynamicRowAlign));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(locked.bits) % kDynamicRowAlign, 0u);
    uint8_t* bits = static_cast<uint8_t*>(locked.bits);
    // Every byte of the padding and the spare rows is writable; none of it may show.
    std::memset(bits, 0x7F, size_t(locked.pitch) * (3 + kDynamicSpareRows));
    for (uint32_t y = 0; y < 3; ++y)
      for (uint32_t x = 0; x < 6; ++x)
        reinterpret_cast<uint32_t*>(bits + y * uint32_t(locked.pitch))[x] = 0xFF000000u | (round * 0x800000u + y * 0x40 + x * 0x2000);
    t->UnlockRect(0);
    device_->SetTexture(0, t);
    device_->Clear(0, nullptr, clear::Target, 0x12345678, 1.0f, 0);
    DrawQuad(-0.5f, -0.5f, 5.5f, 2.5f);
    const std::vector<uint32_t> p = ReadTarget();
    for (uint32_t y = 0; y < 3; ++y)
      for (uint32_t x = 0; x < 6; ++x)
        EXPECT_TRUE(ColorNear(p[y * 6 + x], 0xFF000000u | (round * 0x800000u + y * 0x40 + x * 0x2000), 0)) << x << "," << y;
  }
  device_->SetTexture(0, nullptr);
  t->Release();
  surface->Release();
  target->Release();
}

TEST_F(GpuTest, BuffersReportTheirDescriptionAndDrawFromRingOffsets) {
  VertexBuffer* vb = nullptr;
  IndexBuffer* ib = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(64 * sizeof(ScreenVertex), usage::Dynamic | usage::WriteOnly, kScreenFvf,
                                        pool::Default, &vb), kOk);
  ASSERT_EQ(device_->CreateIndexBuffer(64 * 2, usage::Dynamic | usage::WriteOnly, fmt::Index16, pool::Default, &ib), kOk);
  BufferDesc desc;
  vb->GetDesc(&desc);
  EXPECT_EQ(desc.format, fmt::VertexData);
  EXPECT_EQ(desc.type, resource::VertexBuffer);
  EXPECT_EQ(desc.usage, 0x208u);
  EXPECT_EQ(desc.size, 64 * sizeof(ScreenVertex));
  EXPECT_EQ(desc.fvf, kScreenFvf);
  ib->GetDesc(&desc);
  EXPECT_EQ(desc.format, fmt::Index16);
  EXPECT_EQ(desc.type, resource::IndexBuffer);
  void* data = nullptr;
  EXPECT_NE(vb->Lock(60 * sizeof(ScreenVertex), 8 * sizeof(ScreenVertex), &data, 0), kOk);  // past the end

  device_->SetRenderState(rs::Lighting, 0);
  device_->SetRenderState(rs::ZEnable, 0);
  device_->SetTextureStageState(0, tss::ColorOp, top::SelectArg1);
  device_->SetTextureStageState(0, tss::ColorArg1, ta::Diffuse);
  device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  // Two batches appended without overwrite, indices relative to each batch's first vertex.
  auto batch = [&](uint32_t firstVertex, uint32_t firstIndex, float x, uint32_t colour, uint32_t flags) {
    ASSERT_EQ(vb->Lock(firstVertex * sizeof(ScreenVertex), 4 * sizeof(ScreenVertex), &data, flags), kOk);
    const ScreenVertex v[4] = {{x, 0, 0.5f, 1, colour, 0, 0}, {x + 4, 0, 0.5f, 1, colour, 0, 0},
                               {x + 4, 4, 0.5f, 1, colour, 0, 0}, {x, 4, 0.5f, 1, colour, 0, 0}};
    std::memcpy(data, v, sizeof v);
    vb->Unlock();
    ASSERT_EQ(ib->Lock(firstIndex * 2, 12, &data, flags), kOk);
    const uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
    std::memcpy(data, idx, sizeof idx);
    ib->Unlock();
    device_->SetFVF(kScreenFvf);
    device_->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
    device_->SetIndices(ib);
    ASSERT_EQ(device_->DrawIndexedPrimitive(prim::TriangleList, int32_t(firstVertex), 0, 4, firstIndex, 2), kOk);
  };
  batch(0, 0, -0.5f, 0xFFFF0000, lock::Discard | lock::NoSysLock);
  batch(4, 6, 7.5f, 0xFF00FF00, lock::NoOverwrite | lock::NoSysLock);
  // A discard starts the ring again over what the first batch drew from; that stays drawn.
  batch(0, 0, 15.5f, 0xFF0000FF, lock::Discard | lock::NoSysLock);
  EXPECT_EQ(Pixel(1, 1), 0xFFFF0000u);
  EXPECT_EQ(Pixel(9, 1), 0xFF00FF00u);
  EXPECT_EQ(Pixel(17, 1), 0xFF0000FFu);
  device_->SetStreamSource(0, nullptr, 0, 0);
  device_->SetIndices(nullptr);
  vb->Release();
  ib->Release();
}

TEST_F(GpuTest, LostDeviceIsRestoredByReset) {
  PresentParameters pp = device_->GetPresentParameters();
  device_->SimulateDeviceLoss();
  EXPECT_EQ(device_->Present(), kErrDeviceLost);
  EXPECT_EQ(device_->TestCooperativeLevel(), kErrDeviceNotReset);
  // Default-pool objects must go before a reset; managed ones survive it.
  VertexBuffer* ring = nullptr;
  Texture* managed = MakeTexture(1, 1, {0xFFFFFFFF});
  device_->CreateVertexBuffer(256, usage::Dynamic, kScreenFvf, pool::Default, &ring);
  EXPECT_EQ(device_->Reset(&pp), kErrInvalidCall);
  ring->Release();
  device_->SimulateResetResult(kErrOutOfVideoMemory);
  EXPECT_EQ(device_->Reset(&pp), kErrOutOfVideoMemory);
  EXPECT_EQ(device_->TestCooperativeLevel(), kErrDeviceNotReset);
  device_->SetRenderState(rs::Lighting, 0);
  pp.backBufferWidth = 48;
  ASSERT_EQ(device_->Reset(&pp), kOk);
  EXPECT_EQ(device_->TestCooperativeLevel(), kOk);
  EXPECT_EQ(device_->GetRenderState(rs::Lighting), 1u);  // states are back to their defaults
  Surface* back = nullptr;
  device_->GetBackBuffer(&back);
  SurfaceDesc desc;
  back->GetDesc(&desc);
  EXPECT_EQ(desc.width, 48u);
  back->Release();
  EXPECT_EQ(device_->Present(), kOk);
  managed->Release();
}

TEST_F(GpuTest, PresentAppliesGammaAndCursorButFrontBufferKeepsFrame) {
  device_->Clear(0, nullptr, clear::Target, 0xFF808080, 1.0f, 0);
  GammaRamp ramp;
  for (int i = 0; i < 256; ++i) {
    ramp.red[i] = uint16_t(i * 128);  // half brightness
    ramp.green[i] = uint16_t(i * 257);
    ramp.blue[i] = 65535;
  }
  device_->SetGammaRamp(0, 0, ramp);
  // A 2×2 cursor with its hot spot at (1, 1).
  Texture* image = MakeTexture(2, 2, {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0x00000000});
  Surface* level = nullptr;
  image->GetSurfaceLevel(0, &level);
  ASSERT_EQ(device_->SetCursorProperties(1, 1, level), kOk);
  device_->SetCursorPosition(10, 20, kCursorImmediateUpdate);
  EXPECT_FALSE(device_->ShowCursor(true));
  ASSERT_EQ(device_->Present(), kOk);
  std::vector<uint32_t> screen;
  uint32_t w = 0, h = 0;
  ASSERT_EQ(device_->ReadScreen(&screen, &w, &h), kOk);
  ASSERT_EQ(w, kSize);
  EXPECT_TRUE(ColorNear(screen[5 * w + 5], 0xFF4080FF, 1));
  EXPECT_EQ(screen[19 * w + 9], 0xFFFF0000u);   // the cursor's top-left texel
  EXPECT_TRUE(ColorNear(screen[20 * w + 10], 0xFF4080FF, 1));  // its transparent texel
  // The front buffer is the frame as drawn.
  Texture* copy = nullptr;
  ASSERT_EQ(device_->CreateTexture(kSize, kSize, 1, 0, fmt::A8R8G8B8, pool::SystemMem, &copy), kOk);
  Surface* copySurface = nullptr;
  copy->GetSurfaceLevel(0, &copySurface);
  ASSERT_EQ(device_->GetFrontBufferData(0, copySurface), kOk);
  LockedRect locked;
  copySurface->LockRect(&locked, nullptr, lock::ReadOnly);
  EXPECT_EQ(static_cast<uint32_t*>(locked.bits)[20 * kSize + 10], 0xFF808080u);
  copySurface->UnlockRect();
  copySurface->Release();
  copy->Release();
  level->Release();
  image->Release();
}

// Every byte of every channel goes through its ramp entry and shows as that entry's high byte,
// as an 8-bit display does: the brightness option's middle ramp (i × 256) shows every byte as
// itself, as i × 257 does. Ramps that are straight lines (worked out in the pass), others (looked
// up) and ramps that show every byte as itself (copied) alike; the screen is opaque whatever
// alpha the frame was drawn with.
TEST_F(GpuTest, GammaRampShowsEveryByteAsItsEntrysHighByte) {
  auto line = [](float step) {
    std::array<uint16_t, 256> entries;
    for (int i = 0; i < 256; ++i) entries[size_t(i)] = uint16_t(std::clamp(float(i) * step, 0.0f, 65535.0f));
    return entries;
  };
  GammaRamp curves, lines, identity, nearIdentity;
  for (int i = 0; i < 256; ++i) {
    identity.red[i] = identity.green[i] = identity.blue[i] = uint16_t(i * 257);
    nearIdentity.red[i] = nearIdentity.green[i] = nearIdentity.blue[i] = uint16_t(std::max(0, i * 257 - 128));
    curves.red[i] = uint16_t(i * 256);
    curves.green[i] = uint16_t(65535 - i * 257);
    curves.blue[i] = uint16_t((i * i) % 65536);
  }
  // The brightness option's ramps at 0.5, 0.37 and 0.9 (clamped at the top).
  std::ranges::copy(line(256.0f), lines.red), std::ranges::copy(line(222.72f), lines.green);
  std::ranges::copy(line(358.4f), lines.blue);
  for (const GammaRamp* ramp : {&curves, &lines, &identity, &nearIdentity}) {
    device_->SetGammaRamp(0, 0, *ramp);
    for (uint32_t i = 0; i < 256; ++i) {
      const Rect pixel{int32_t(i % kSize), int32_t(i / kSize), int32_t(i % kSize) + 1, int32_t(i / kSize) + 1};
      device_->Clear(1, &pixel, clear::Target, i << 24 | i * 0x010101u, 1.0f, 0);
    }
    ASSERT_EQ(device_->Present(), kOk);
    std::vector<uint32_t> screen;
    uint32_t w = 0, h = 0;
    ASSERT_EQ(device_->ReadScreen(&screen, &w, &h), kOk);
    auto shown = [](uint16_t v) { return uint32_t(v) / 256; };
    for (uint32_t i = 0; i < 256; ++i) {
      const uint32_t expected =
          0xFF000000u | shown(ramp->red[i]) << 16 | shown(ramp->green[i]) << 8 | shown(ramp->blue[i]);
      ASSERT_EQ(screen[(i / kSize) * w + i % kSize], expected) << "byte " << i << (ramp == &lines ? " (lines)" : "");
    }
  }
}

TEST_F(GpuTest, VertexFormatSizes) {
  EXPECT_EQ(FvfStride(0x142), 24u);
  EXPECT_EQ(FvfStride(0x112), 32u);
  EXPECT_EQ(FvfStride(0x144), 28u);
  EXPECT_EQ(FvfStride(0x204), 32u);
  EXPECT_EQ(FvfStride(0x52), 28u);
  EXPECT_EQ(FvfStride(0x111C), 48u);
  EXPECT_EQ(FvfStride(0x2 | 0x10 | 0x200 | fvf::TexCoordSize(1, 3)), 44u);
}

TEST(DisplayModes, HeadlessListIsFixed) {
  auto system = System::Create(Backend::Headless);
  ASSERT_TRUE(system);
  DisplayMode desktop;
  system->GetAdapterDisplayMode(&desktop);
  EXPECT_EQ(desktop.width, 1024u);
  const uint32_t count = system->GetAdapterModeCount(fmt::X8R8G8B8);
  EXPECT_GE(count, 3u);
  EXPECT_EQ(system->GetAdapterModeCount(fmt::A8R8G8B8), count);
  DisplayMode mode;
  EXPECT_EQ(system->EnumAdapterModes(fmt::A8R8G8B8, 0, &mode), kOk);
  EXPECT_EQ(mode.format, fmt::A8R8G8B8);
  EXPECT_NE(system->EnumAdapterModes(fmt::X8R8G8B8, count, &mode), kOk);
  uint32_t levels = 7;
  EXPECT_EQ(system->CheckDeviceMultiSampleType(fmt::D24S8, false, kMultisampleNonMaskable, &levels), kErrNotAvailable);
}

}  // namespace
}  // namespace gputest

namespace gputest {
namespace {

using namespace gpu;

// Draws a small scene and returns what the screen shows.
std::vector<uint32_t> RenderScene(Backend backend) {
  auto system = System::Create(backend);
  if (!system) return {};
  PresentParameters pp{};
  pp.backBufferWidth = 40, pp.backBufferHeight = 30, pp.windowed = true, pp.enableAutoDepthStencil = true;
  Device* device = nullptr;
  if (system->CreateDevice(nullptr, 0, &pp, &device) != kOk) return {};
  device->Clear(0, nullptr, clear::Target | clear::ZBuffer, 0xFF203040, 1.0f, 0);
  device->SetRenderState(rs::Lighting, 0);
  device->SetRenderState(rs::AlphaBlendEnable, 1);
  device->SetRenderState(rs::SrcBlend, blend::SrcAlpha);
  device->SetRenderState(rs::DestBlend, blend::InvSrcAlpha);
  device->SetTextureStageState(0, tss::AlphaArg1, ta::Diffuse);
  const ScreenVertex v[3] = {{3, 2, 0.5f, 1, 0x80FF8000, 0, 0}, {37, 5, 0.5f, 1, 0xC000FF80, 0, 0},
                             {8, 27, 0.5f, 1, 0xFF8000FF, 0, 0}};
  device->SetFVF(kScreenFvf);
  device->DrawPrimitiveUP(prim::TriangleList, 1, v, sizeof(ScreenVertex));
  device->Present();
  std::vector<uint32_t> screen;
  uint32_t w = 0, h = 0;
  device->ReadScreen(&screen, &w, &h);
  device->Release();
  return screen;
}

TEST(Backends, WindowShowsTheSamePixelsAsHeadless) {
  const std::vector<uint32_t> headless = RenderScene(Backend::Headless);
  if (headless.empty()) GTEST_SKIP() << "no EGL device can be created here";
  // Without a display SDL's offscreen driver still gives a GL window.
  if (!std::getenv("DISPLAY")) setenv("SDL_VIDEODRIVER", "offscreen", 0);
  const std::vector<uint32_t> window = RenderScene(Backend::Window);
  if (window.empty()) GTEST_SKIP() << "no SDL window with OpenGL 3.3 here";
  ASSERT_EQ(window.size(), headless.size());
  EXPECT_EQ(window, headless);
}

}  // namespace
}  // namespace gputest

namespace gputest {
namespace {

TEST(DeviceLifetime, ObjectsReleasedAfterTheirDeviceDoNotTouchIt) {
  auto system = gpu::System::Create(gpu::Backend::Headless);
  if (!system) GTEST_SKIP() << "no EGL device can be created here";
  gpu::PresentParameters pp{};
  pp.backBufferWidth = pp.backBufferHeight = 8;
  pp.windowed = true;
  gpu::Device* device = nullptr;
  ASSERT_EQ(system->CreateDevice(nullptr, 0, &pp, &device), gpu::kOk);
  gpu::Texture* target = nullptr;
  gpu::VertexBuffer* ring = nullptr;
  device->CreateTexture(4, 4, 1, gpu::usage::RenderTarget, gpu::fmt::A8R8G8B8, gpu::pool::Default, &target);
  device->CreateVertexBuffer(64, gpu::usage::Dynamic, 0, gpu::pool::Default, &ring);
  device->Release();
  gpu::LockedRect locked;
  EXPECT_NE(target->LockRect(0, &locked, nullptr, 0), gpu::kOk);
  void* data = nullptr;
  ASSERT_EQ(ring->Lock(0, 0, &data, 0), gpu::kOk);
  ring->Unlock();
  ring->Release();
  target->Release();
}

}  // namespace
}  // namespace gputest
