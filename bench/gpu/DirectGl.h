// The reference path of the drawing benchmarks: the same screen-space vertices drawn straight
// with OpenGL (one shader, blending on unless asked otherwise, a 64 × 64 texture) into a
// 1024 × 768 colour buffer, without the graphics layer's bookkeeping. A headless device supplies
// only the GL context.
#pragma once

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gpu/Device.h"

namespace benchgl {

constexpr uint32_t kWidth = 1024, kHeight = 768;

struct Vertex {
  float x, y, z, rhw;
  uint32_t colour;
  float u, v;
};

inline std::vector<uint32_t> TexturePixels() {
  std::vector<uint32_t> p(64 * 64);
  for (int i = 0; i < 64 * 64; ++i) p[size_t(i)] = ((i / 64 + i % 64) & 8) ? 0xC0FF8040 : 0x8040A0FF;
  return p;
}

inline const char* kVertex =
    "#version 330 core\n"
    "layout(location = 0) in vec4 aPosition; layout(location = 4) in vec4 aColour; layout(location = 6) in vec2 aUv;\n"
    "out vec4 vColour; out vec2 vUv;\n"
    "void main() { vColour = aColour; vUv = aUv;\n"
    "  gl_Position = vec4((aPosition.xy + 0.5) / vec2(1024.0, 768.0) * 2.0 - 1.0, 0.0, 1.0); }\n";
inline const char* kFragment =
    "#version 330 core\n"
    "uniform sampler2D uTexture; in vec4 vColour; in vec2 vUv; out vec4 outColour;\n"
    "void main() { outColour = texture(uTexture, vUv) * vColour; }\n";

struct Direct {
  std::unique_ptr<gpu::System> system;
  gpu::Device* device = nullptr;  // only for its context
  GLuint program = 0, vao = 0, vbo = 0, texture = 0, fbo = 0, colour = 0;
  bool Open(bool blend = true) {
    system = gpu::System::Create(gpu::Backend::Headless);
    if (!system) return false;
    gpu::PresentParameters pp{};
    pp.backBufferWidth = 16, pp.backBufferHeight = 16, pp.windowed = true;
    if (system->CreateDevice(nullptr, 0, &pp, &device) != gpu::kOk) return false;
    return Build(blend);
  }
  // The GL objects in the context that is current: the own device's, or a caller's device's
  // (whose state tracking does not know of them: draw nothing through it afterwards).
  bool Build(bool blend) {
    auto stage = [](GLenum kind, const char* text) {
      const GLuint s = glCreateShader(kind);
      glShaderSource(s, 1, &text, nullptr);
      glCompileShader(s);
      return s;
    };
    program = glCreateProgram();
    const GLuint vs = stage(GL_VERTEX_SHADER, kVertex), fs = stage(GL_FRAGMENT_SHADER, kFragment);
    glAttachShader(program, vs), glAttachShader(program, fs), glLinkProgram(program);
    glDeleteShader(vs), glDeleteShader(fs);
    glGenVertexArrays(1, &vao), glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glEnableVertexAttribArray(0), glEnableVertexAttribArray(4), glEnableVertexAttribArray(6);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    glVertexAttribPointer(4, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex), reinterpret_cast<void*>(16));
    glVertexAttribPointer(6, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(20));
    glGenTextures(1, &texture);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBindSampler(0, 0);
    const auto pixels = TexturePixels();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "uTexture"), 0);
    glViewport(0, 0, kWidth, kHeight);
    glDisable(GL_DEPTH_TEST), glDisable(GL_CULL_FACE), glDisable(GL_SCISSOR_TEST);
    if (blend)
      glEnable(GL_BLEND);
    else
      glDisable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    return true;
  }
  ~Direct() {
    glDeleteProgram(program), glDeleteVertexArrays(1, &vao), glDeleteBuffers(1, &vbo);
    glDeleteTextures(1, &texture), glDeleteTextures(1, &colour), glDeleteFramebuffers(1, &fbo);
    if (device) device->Release();
  }
  // The triangles in v, one draw call for each count in sizes (vertices, in order).
  void FrameBatches(const std::vector<Vertex>& v, const std::vector<int>& sizes) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    size_t at = 0;
    for (int n : sizes) {
      if (n <= 0 || at + size_t(n) > v.size()) break;
      glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(size_t(n) * sizeof(Vertex)), &v[at], GL_STREAM_DRAW);
      glDrawArrays(GL_TRIANGLES, 0, GLsizei(n));
      at += size_t(n);
    }
    glFinish();
  }
  void Frame(const std::vector<Vertex>& v, int perDraw) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    for (size_t at = 0; at < v.size(); at += size_t(perDraw) * 6) {
      const size_t n = std::min(v.size() - at, size_t(perDraw) * 6);
      glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(n * sizeof(Vertex)), &v[at], GL_STREAM_DRAW);
      glDrawArrays(GL_TRIANGLES, 0, GLsizei(n));
    }
    glFinish();
  }
};

}  // namespace benchgl
