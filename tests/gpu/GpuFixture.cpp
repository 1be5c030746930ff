#include "GpuFixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gputest {

void GpuTest::SetUp() {
  system_ = gpu::System::Create(gpu::Backend::Headless);
  if (!system_) GTEST_SKIP() << "no EGL device can be created here";
  gpu::PresentParameters pp{};
  pp.backBufferWidth = width_;
  pp.backBufferHeight = height_;
  pp.backBufferFormat = gpu::fmt::X8R8G8B8;
  pp.backBufferCount = 1;
  pp.swapEffect = gpu::kSwapDiscard;
  pp.windowed = true;
  pp.enableAutoDepthStencil = true;
  pp.autoDepthStencilFormat = gpu::fmt::D24S8;
  pp.presentationInterval = gpu::kPresentIntervalOne;
  if (system_->CreateDevice(nullptr, 0x44, &pp, &device_) != gpu::kOk || !device_)
    GTEST_SKIP() << "no EGL device can be created here";
}

void GpuTest::TearDown() {
  if (device_) device_->Release();
  device_ = nullptr;
  system_.reset();
}

void GpuTest::DrawQuad(float x1, float y1, float x2, float y2, uint32_t color, float u1, float v1, float u2, float v2) {
  const ScreenVertex v[6] = {{x1, y1, 0.5f, 0.5f, color, u1, v1}, {x2, y1, 0.5f, 0.5f, color, u2, v1},
                             {x2, y2, 0.5f, 0.5f, color, u2, v2}, {x1, y1, 0.5f, 0.5f, color, u1, v1},
                             {x2, y2, 0.5f, 0.5f, color, u2, v2}, {x1, y2, 0.5f, 0.5f, color, u1, v2}};
  device_->SetFVF(kScreenFvf);
  ASSERT_EQ(device_->DrawPrimitiveUP(gpu::prim::TriangleList, 2, v, sizeof(ScreenVertex)), gpu::kOk);
}

std::vector<uint32_t> GpuTest::ReadTarget() {
  gpu::Surface* target = nullptr;
  std::vector<uint32_t> pixels;
  if (device_->GetRenderTarget(0, &target) != gpu::kOk) return pixels;
  gpu::SurfaceDesc desc;
  target->GetDesc(&desc);
  gpu::LockedRect locked;
  targetWidth_ = desc.width;
  if (target->LockRect(&locked, nullptr, gpu::lock::ReadOnly) == gpu::kOk) {
    pixels.resize(size_t(desc.width) * desc.height);
    for (uint32_t y = 0; y < desc.height; ++y)
      std::memcpy(&pixels[size_t(y) * desc.width], static_cast<uint8_t*>(locked.bits) + size_t(y) * uint32_t(locked.pitch),
                  desc.width * 4);
    target->UnlockRect();
  }
  target->Release();
  return pixels;
}

uint32_t GpuTest::Pixel(uint32_t x, uint32_t y) {
  const std::vector<uint32_t> pixels = ReadTarget();
  const size_t at = size_t(y) * targetWidth_ + x;
  return at < pixels.size() ? pixels[at] : 0xDEADBEEF;
}

gpu::Texture* GpuTest::MakeTexture(uint32_t w, uint32_t h, const std::vector<uint32_t>& pixels, uint32_t levels) {
  gpu::Texture* texture = nullptr;
  if (device_->CreateTexture(w, h, levels, 0, gpu::fmt::A8R8G8B8, gpu::pool::Managed, &texture) != gpu::kOk)
    return nullptr;
  gpu::LockedRect locked;
  texture->LockRect(0, &locked, nullptr, 0);
  for (uint32_t y = 0; y < h; ++y)
    std::memcpy(static_cast<uint8_t*>(locked.bits) + size_t(y) * uint32_t(locked.pitch), &pixels[size_t(y) * w], w * 4);
  texture->UnlockRect(0);
  return texture;
}

::testing::AssertionResult ColorNear(uint32_t actual, uint32_t expected, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int a = int((actual >> shift) & 0xFF), e = int((expected >> shift) & 0xFF);
    if (std::abs(a - e) > tolerance) {
      char text[96];
      std::snprintf(text, sizeof text, "got 0x%08X, expected 0x%08X (±%d)", actual, expected, tolerance);
      return ::testing::AssertionFailure() << text;
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace gputest
