// Presentation: the frame drawn becomes the front buffer (the frame as drawn, kept for read-back)
// by trading textures with the back buffer, not by a copy. A window then receives it through a
// pass that applies the gamma ramp (a plain copy when the ramp shows every byte as itself) with
// the cursor drawn over it; the same screen image is made for ReadScreen only when it is asked for.
// Each Present waits until the frame before it is drawn, so at most one frame is drawn behind
// the one being made.
#include <algorithm>
#include <cstring>

#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/Log.h"

namespace gpu {
namespace {

constexpr GLuint64 kWaitForever = ~GLuint64(0);  // nanoseconds

// uFlip is -1 for a window's framebuffer, whose rows run bottom up (our targets hold the top row
// first).
const char* kPresentVertex =
    "#version 330 core\n"
    "uniform float uFlip; out vec2 vUv;\n"
    "void main() {\n"
    "  vec2 p = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));\n"
    "  vUv = p * 0.5 + 0.5;\n"
    "  gl_Position = vec4(p.x, p.y * uFlip, 0.0, 1.0);\n"
    "}\n";
const char* kPresentFragment =
    "#version 330 core\n"
    "uniform sampler2D uFrame; uniform sampler2D uGamma; in vec2 vUv; out vec4 outColor;\n"
    "void main() {\n"
    "  vec4 c = texture(uFrame, vUv);\n"
    // The entry of each channel's byte, at its texel's centre (sampled, not fetched: the software
    // renderer samples an RGBA8 texture far faster).
    "  vec3 at = (floor(clamp(c.rgb, 0.0, 1.0) * 255.0 + 0.5) + 0.5) / 256.0;\n"
    "  outColor = vec4(texture(uGamma, vec2(at.r, 0.5)).r, texture(uGamma, vec2(at.g, 0.5)).g,\n"
    "                  texture(uGamma, vec2(at.b, 0.5)).b, 1.0);\n"
    "}\n";
// The same for ramps that are straight lines (as the brightness option writes them), worked out
// rather than looked up: three table reads cost the software renderer a quarter of a frame.
// Entry = trunc(clamp(byte × step, 0, 65535)), shown as its high byte (exact in floats).
const char* kPresentLineFragment =
    "#version 330 core\n"
    "uniform sampler2D uFrame; uniform vec3 uStep; in vec2 vUv; out vec4 outColor;\n"
    "void main() {\n"
    "  vec4 c = texture(uFrame, vUv);\n"
    "  vec3 entry = floor(clamp(floor(clamp(c.rgb, 0.0, 1.0) * 255.0 + 0.5) * uStep, 0.0, 65535.0));\n"
    "  outColor = vec4(floor(entry / 256.0) / 255.0, 1.0);\n"
    "}\n";
// A quad in target pixels, top row first.
const char* kCursorVertex =
    "#version 330 core\n"
    "uniform vec4 uRect; uniform vec2 uTarget; uniform float uFlip; out vec2 vUv;\n"
    "void main() {\n"
    "  vec2 c = vec2(float(gl_VertexID & 1), float((gl_VertexID >> 1) & 1));\n"
    "  vUv = c;\n"
    "  vec2 p = (uRect.xy + c * uRect.zw) / uTarget * 2.0 - 1.0;\n"
    "  gl_Position = vec4(p.x, p.y * uFlip, 0.0, 1.0);\n"
    "}\n";
const char* kCursorFragment =
    "#version 330 core\n"
    "uniform sampler2D uImage; in vec2 vUv; out vec4 outColor;\n"
    "void main() { outColor = texture(uImage, vUv); }\n";

// The shown byte of each 16-bit entry: its high byte, as an 8-bit display shows a ramp. So both
// i × 256 (the brightness option's ramp at its middle) and i × 257 show every byte as itself.
uint8_t Shown(uint16_t v) { return uint8_t(v >> 8); }

// The step of a straight-line ramp channel that shows every byte as its table does; 0 (the line
// program unused) when none is found.
float LineStep(const uint16_t* entries) {
  if (entries[0] != 0) return 0.0f;
  // Entry e of byte i puts the step in [e / i, (e + 1) / i), or at least 65535 / i where clamped.
  double low = 0.0, high = 65536.0;
  for (int i = 1; i < 256; ++i) {
    low = std::max(low, double(entries[i]) / i);
    if (entries[i] < 65535) high = std::min(high, double(entries[i] + 1) / i);
  }
  const float step = float((low + high) / 2.0);
  for (int i = 0; i < 256; ++i) {
    const float v = std::clamp(float(i) * step, 0.0f, 65535.0f);
    if (Shown(uint16_t(v)) != Shown(entries[i])) return 0.0f;
  }
  return step;
}

void NearestTexture() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
}

// (Re)allocates an RGBA8 texture of the size when it differs.
void SizeTexture(GLuint name, uint32_t& width, uint32_t& height, uint32_t w, uint32_t h) {
  if (width == w && height == h) return;
  width = w, height = h;
  glBindTexture(GL_TEXTURE_2D, name);
  std::vector<uint8_t> black(size_t(w) * h * 4, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(w), GLsizei(h), 0, GL_BGRA, GL_UNSIGNED_BYTE, black.data());
  NearestTexture();
}

}  // namespace

void DeviceImpl::CreatePresentObjects() {
  std::string errors;
  presentProgram = CompileProgram(kPresentVertex, kPresentFragment, &errors);
  presentLineProgram = CompileProgram(kPresentVertex, kPresentLineFragment, &errors);
  cursorProgram = CompileProgram(kCursorVertex, kCursorFragment, &errors);
  if (!presentProgram || !presentLineProgram || !cursorProgram)
    Log("ERROR: gpu: present programs: %s\n", errors.c_str());
  glGenVertexArrays(1, &blitVao);
  glGenTextures(1, &frontTexture);
  glGenTextures(1, &screenTexture);
  glGenTextures(1, &gammaTexture);
  glGenTextures(1, &cursorTexture);
  glGenFramebuffers(1, &screenFbo);
  gammaDirty = true;
}

void DeviceImpl::DestroyPresentObjects() {
  glDeleteProgram(presentProgram);
  glDeleteProgram(presentLineProgram);
  glDeleteProgram(cursorProgram);
  glDeleteVertexArrays(1, &blitVao);
  glDeleteTextures(1, &frontTexture);
  glDeleteTextures(1, &screenTexture);
  glDeleteTextures(1, &gammaTexture);
  glDeleteTextures(1, &cursorTexture);
  glDeleteFramebuffers(1, &screenFbo);
  if (frameBefore) glDeleteSync(frameBefore);
  frameBefore = nullptr;
}

void DeviceImpl::PresentFrame() {
  const uint32_t w = parameters.backBufferWidth, h = parameters.backBufferHeight;
  // Nothing drawn since the last Present leaves the front buffer as it is: it is that frame.
  if (!backBufferStale) {
    SizeTexture(frontTexture, frontWidth, frontHeight, w, h);  // the back buffer's next storage
    std::swap(backBuffer->name_, frontTexture);
    glBindTexture(GL_TEXTURE_2D, backBuffer->name_);
    SetFormatSwizzle(backBuffer->Format());
    fboDirty = true;
    backBufferStale = true;
  }
  shownCursor = cursor;
  screenPending = true;
  if (context->HasWindow()) {
    int ww = 0, wh = 0;
    context->WindowSize(&ww, &wh);
    DrawScreen(0, ww, wh, true);
    context->Swap(parameters.presentationInterval != kPresentIntervalImmediate);
  }
  glBindVertexArray(vao);
  glBindFramebuffer(GL_FRAMEBUFFER, drawFbo);
  stateDirty = true;
  WaitForFrameBefore();
}

void DeviceImpl::WaitForFrameBefore() {
  // Nothing else waits for a frame since Present no longer copies it: when frames were made
  // faster than drawn (a session's first ones) the software rasteriser queued up to 64 of them,
  // each holding its draw lists until drawn, over 100 MiB in the Office.
  const GLsync drawn = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  glFlush();  // this frame is drawn while the next is made
  if (frameBefore) {
    glClientWaitSync(frameBefore, 0, kWaitForever);
    glDeleteSync(frameBefore);
  }
  frameBefore = drawn;
}

void DeviceImpl::RestoreBackBuffer() {
  if (!backBufferStale) return;
  backBufferStale = false;
  if (!backBuffer) return;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, frontTexture, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, screenFbo);
  glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, backBuffer->name_, 0);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  const GLint w = GLint(frontWidth), h = GLint(frontHeight);
  glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, drawFbo);
  stateDirty = true;
}

void DeviceImpl::SettleScreen() {
  if (!screenPending) return;
  screenPending = false;
  SizeTexture(screenTexture, screenWidth, screenHeight, frontWidth, frontHeight);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, screenFbo);
  glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, screenTexture, 0);
  DrawScreen(screenFbo, int(screenWidth), int(screenHeight), false);
  glBindVertexArray(vao);
  glBindFramebuffer(GL_FRAMEBUFFER, drawFbo);
  stateDirty = true;
}

void DeviceImpl::DrawScreen(GLuint framebuffer, int width, int height, bool bottomUp) {
  if (gammaDirty) {
    gammaDirty = false;
    // Each 16-bit entry as the byte the screen shows for it.
    uint8_t table[256 * 4];
    for (int i = 0; i < 256; ++i) {
      table[i * 4] = Shown(gamma.red[i]), table[i * 4 + 1] = Shown(gamma.green[i]);
      table[i * 4 + 2] = Shown(gamma.blue[i]), table[i * 4 + 3] = 255;
    }
    gammaLine[0] = LineStep(gamma.red), gammaLine[1] = LineStep(gamma.green), gammaLine[2] = LineStep(gamma.blue);
    gammaIdentity = true;
    for (int i = 0; i < 256 * 4; ++i) gammaIdentity = gammaIdentity && (i % 4 == 3 || table[i] == i / 4);
    glBindTexture(GL_TEXTURE_2D, gammaTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, table);
    NearestTexture();
  }
  const int fw = int(frontWidth), fh = int(frontHeight);
  const bool scaled = width != fw || height != fh;
  const float flip = bottomUp ? -1.0f : 1.0f;
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
  glViewport(0, 0, width, height);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glBindVertexArray(blitVao);
  if (gammaIdentity) {
    // Every byte shows as itself: a copy, not a shader pass over every pixel. The copy keeps the
    // frame's alpha where the pass writes 1; the screen has none (ReadScreen reports it opaque).
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, frontTexture, 0);
    glBlitFramebuffer(0, 0, fw, fh, 0, bottomUp ? height : 0, width, bottomUp ? 0 : height, GL_COLOR_BUFFER_BIT,
                      scaled ? GL_LINEAR : GL_NEAREST);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  } else {
    const bool line = presentLineProgram && gammaLine[0] > 0.0f && gammaLine[1] > 0.0f && gammaLine[2] > 0.0f;
    const GLuint pass = line ? presentLineProgram : presentProgram;
    glUseProgram(pass);
    glUniform1f(glGetUniformLocation(pass, "uFlip"), flip);
    glUniform1i(glGetUniformLocation(pass, "uFrame"), 0);
    if (line)
      glUniform3f(glGetUniformLocation(pass, "uStep"), gammaLine[0], gammaLine[1], gammaLine[2]);
    else
      glUniform1i(glGetUniformLocation(pass, "uGamma"), 1);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, frontTexture);
    const GLint filter = scaled ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glBindSampler(0, 0);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, gammaTexture);
    glBindSampler(1, 0);
    glDrawArrays(GL_TRIANGLES, 0, 3);
  }

  const CursorPlacement& c = shownCursor;
  if (c.visible && c.width && c.height && fw > 0 && fh > 0) {
    const float sx = float(width) / float(fw), sy = float(height) / float(fh);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBlendEquation(GL_FUNC_ADD);
    glUseProgram(cursorProgram);
    glUniform4f(glGetUniformLocation(cursorProgram, "uRect"), (float(c.x) - float(c.hotX)) * sx,
                (float(c.y) - float(c.hotY)) * sy, float(c.width) * sx, float(c.height) * sy);
    glUniform2f(glGetUniformLocation(cursorProgram, "uTarget"), float(width), float(height));
    glUniform1f(glGetUniformLocation(cursorProgram, "uFlip"), flip);
    glUniform1i(glGetUniformLocation(cursorProgram, "uImage"), 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, cursorTexture);
    glBindSampler(0, 0);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisable(GL_BLEND);
  }
}

Result Device::ReadScreen(std::vector<uint32_t>* pixels, uint32_t* width, uint32_t* height) {
  DeviceImpl& d = *impl_;
  if (!pixels || !width || !height) return kErrInvalidCall;
  d.SettleScreen();
  const uint32_t w = d.screenWidth, h = d.screenHeight;
  if (w == 0 || h == 0) return kErrNotAvailable;
  pixels->resize(size_t(w) * size_t(h));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, d.screenFbo);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, d.screenTexture, 0);
  glReadPixels(0, 0, GLsizei(w), GLsizei(h), GL_BGRA, GL_UNSIGNED_BYTE, pixels->data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  for (uint32_t& pixel : *pixels) pixel |= 0xFF000000u;
  *width = w, *height = h;
  return kOk;
}

Result Device::GetFrontBufferData(uint32_t, Surface* destination) {
  DeviceImpl& d = *impl_;
  SurfaceDesc desc;
  if (!destination || !destination->GetContainer() || destination->GetDesc(&desc) != kOk ||
      desc.format != fmt::A8R8G8B8 || (desc.usage & usage::RenderTarget))
    return kErrInvalidCall;
  const uint32_t w = d.parameters.backBufferWidth, h = d.parameters.backBufferHeight;
  if (desc.width < w || desc.height < h) return kErrInvalidCall;
  if (d.frontWidth != w || d.frontHeight != h) {
    d.SettleScreen();  // it is made of the front buffer
    SizeTexture(d.frontTexture, d.frontWidth, d.frontHeight, w, h);
  }
  std::vector<uint32_t> pixels(size_t(w) * h);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, d.readFbo);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, d.frontTexture, 0);
  glReadPixels(0, 0, GLsizei(w), GLsizei(h), GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  LockedRect locked;
  if (destination->LockRect(&locked, nullptr, 0) != kOk) return kErrInvalidCall;
  for (uint32_t y = 0; y < h; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) + size_t(y) * uint32_t(locked.pitch));
    for (uint32_t x = 0; x < w; ++x) row[x] = pixels[size_t(y) * w + x] | 0xFF000000u;
  }
  destination->UnlockRect();
  return kOk;
}

Result Device::SetCursorProperties(uint32_t hotX, uint32_t hotY, Surface* image) {
  DeviceImpl& d = *impl_;
  SurfaceDesc desc;
  if (!image || image->GetDesc(&desc) != kOk || desc.format != fmt::A8R8G8B8 || hotX >= desc.width ||
      hotY >= desc.height)
    return kErrInvalidCall;
  LockedRect locked;
  if (image->LockRect(&locked, nullptr, lock::ReadOnly) != kOk) return kErrInvalidCall;
  std::vector<uint8_t> pixels(size_t(desc.width) * desc.height * 4);
  for (uint32_t y = 0; y < desc.height; ++y)
    std::memcpy(&pixels[size_t(y) * desc.width * 4], static_cast<uint8_t*>(locked.bits) + size_t(y) * uint32_t(locked.pitch),
                size_t(desc.width) * 4);
  image->UnlockRect();
  DeviceImpl::CursorPlacement& c = d.cursor;
  // The engine sets its cursor every frame; the same picture again changes nothing.
  if (pixels == d.cursorPixels && c.width == desc.width && c.height == desc.height && c.hotX == hotX && c.hotY == hotY)
    return kOk;
  d.SettleScreen();  // the last frame's screen shows the cursor it had
  glBindTexture(GL_TEXTURE_2D, d.cursorTexture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(desc.width), GLsizei(desc.height), 0, GL_BGRA, GL_UNSIGNED_BYTE,
               pixels.data());
  NearestTexture();
  d.cursorPixels = std::move(pixels);
  c.width = desc.width, c.height = desc.height, c.hotX = hotX, c.hotY = hotY;
  d.stateDirty = true;
  return kOk;
}

void Device::SetCursorPosition(int32_t x, int32_t y, uint32_t) {
  impl_->cursor.x = x;
  impl_->cursor.y = y;
}

bool Device::ShowCursor(bool show) {
  const bool was = impl_->cursor.visible;
  impl_->cursor.visible = show;
  if (show != was) impl_->context->ShowSystemCursor(!show);
  return was;
}

}  // namespace gpu
