// Headless backend: an OpenGL 3.3 core context on EGL without any display (Mesa's surfaceless
// platform; a default display with a tiny pbuffer where that is missing). Drawing goes to FBOs.
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/Log.h"

namespace gpu {
namespace {

class EglContext final : public Context {
 public:
  ~EglContext() override {
    if (display_ == EGL_NO_DISPLAY) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
    if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
    // The display stays initialised for the life of the process: opening it again per device
    // is slow, and terminating it unloads the driver mid-run.
  }

  bool Open() {
    static EGLDisplay shared = EGL_NO_DISPLAY;
    static bool sharedSurfaceless = false;
    if (shared != EGL_NO_DISPLAY) {
      display_ = shared;
      return CreateContext(sharedSurfaceless);
    }
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    bool surfaceless = clientExtensions && std::strstr(clientExtensions, "EGL_MESA_platform_surfaceless");
    if (surfaceless) {
      auto getPlatformDisplay =
          reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
      if (getPlatformDisplay)
        display_ = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    }
    if (display_ == EGL_NO_DISPLAY) {
      surfaceless = false;
      display_ = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    }
    if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, nullptr, nullptr)) {
      Log("ERROR: gpu: no EGL display (0x%x)\n", eglGetError());
      display_ = EGL_NO_DISPLAY;
      return false;
    }
    shared = display_;
    sharedSurfaceless = surfaceless;
    return CreateContext(surfaceless);
  }

  bool CreateContext(bool surfaceless) {
    if (!eglBindAPI(EGL_OPENGL_API)) {
      Log("ERROR: gpu: EGL offers no desktop OpenGL\n");
      return false;
    }
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, surfaceless ? 0 : EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display_, configAttributes, &config, 1, &count) || count < 1) {
      Log("ERROR: gpu: no EGL configuration for OpenGL\n");
      return false;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_NONE};
    context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, contextAttributes);
    if (context_ == EGL_NO_CONTEXT) {
      Log("ERROR: gpu: cannot create an OpenGL 3.3 core context (0x%x)\n", eglGetError());
      return false;
    }
    if (!surfaceless) {
      const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
      surface_ = eglCreatePbufferSurface(display_, config, pbufferAttributes);
    }
    return MakeCurrent();
  }

  bool MakeCurrent() override {
    if (eglMakeCurrent(display_, surface_, surface_, context_)) return true;
    Log("ERROR: gpu: cannot make the EGL context current (0x%x)\n", eglGetError());
    return false;
  }
  bool HasWindow() const override { return false; }
  void WindowSize(int* width, int* height) override { *width = *height = 0; }
  void Swap(bool) override {}

 private:
  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLContext context_ = EGL_NO_CONTEXT;
  EGLSurface surface_ = EGL_NO_SURFACE;
};

}  // namespace

std::unique_ptr<Context> CreateEglContext() {
  auto context = std::make_unique<EglContext>();
  if (!context->Open()) return nullptr;
  return context;
}

}  // namespace gpu
