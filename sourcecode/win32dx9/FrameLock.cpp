#include "win32dx9/FrameLock.h"

#include <mutex>

namespace gfx {
namespace {

std::recursive_mutex* g_frameLock = nullptr;

}  // namespace

void InitFrameLock() {
  if (!g_frameLock) g_frameLock = new std::recursive_mutex;
}

void DeleteFrameLock() {
  delete g_frameLock;
  g_frameLock = nullptr;
}

void LockFrame() {
  if (g_frameLock) g_frameLock->lock();
}

void UnlockFrame() {
  if (g_frameLock) g_frameLock->unlock();
}

}  // namespace gfx
