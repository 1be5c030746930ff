// Window backend: an SDL2 window with an OpenGL 3.3 core context. The device draws into FBOs as
// headless; Present copies the frame to the window's default framebuffer and swaps.
#include <SDL2/SDL.h>

#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/Log.h"

namespace gpu {
namespace {

class SdlContext final : public Context {
 public:
  ~SdlContext() override {
    if (context_) SDL_GL_DeleteContext(context_);
    if (ownWindow_ && window_) SDL_DestroyWindow(window_);
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  bool Open(void* window, int width, int height, bool fullscreen) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      Log("ERROR: gpu: SDL video: %s\n", SDL_GetError());
      return false;
    }
    videoStarted_ = true;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    window_ = static_cast<SDL_Window*>(window);
    if (!window_) {
      Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | (fullscreen ? SDL_WINDOW_FULLSCREEN : 0);
      window_ = SDL_CreateWindow("Quillane", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
      if (!window_) {
        Log("ERROR: gpu: cannot open a window: %s\n", SDL_GetError());
        return false;
      }
      ownWindow_ = true;
    }
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
      Log("ERROR: gpu: cannot create an OpenGL 3.3 core context: %s\n", SDL_GetError());
      return false;
    }
    return MakeCurrent();
  }

  bool MakeCurrent() override {
    if (SDL_GL_MakeCurrent(window_, context_) == 0) return true;
    Log("ERROR: gpu: cannot make the GL context current: %s\n", SDL_GetError());
    return false;
  }
  bool HasWindow() const override { return true; }
  void WindowSize(int* width, int* height) override { SDL_GL_GetDrawableSize(window_, width, height); }
  void Swap(bool vsync) override {
    if (vsync != vsync_) {
      SDL_GL_SetSwapInterval(vsync ? 1 : 0);
      vsync_ = vsync;
    }
    SDL_GL_SwapWindow(window_);
  }
  void ShowSystemCursor(bool show) override { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

 private:
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  bool ownWindow_ = false, videoStarted_ = false, vsync_ = true;
};

}  // namespace

std::unique_ptr<Context> CreateSdlContext(void* window, int width, int height, bool fullscreen) {
  auto context = std::make_unique<SdlContext>();
  if (!context->Open(window, width, height, fullscreen)) return nullptr;
  return context;
}

}  // namespace gpu
