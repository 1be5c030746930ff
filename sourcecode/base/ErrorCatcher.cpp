// The catcher of the first error line.
#include "base/ErrorCatcher.h"

#include <cstring>
#include <mutex>

#include "base/system.h"

namespace base {

namespace {

// Output may come from any thread: the catcher's state is guarded.
std::mutex g_catchMutex;
bool g_catching = false;
std::string g_firstError;

bool CatchError(const char* text) {
  static const char kPrefix[] = "ERROR: ";
  if (!text || std::strncmp(text, kPrefix, sizeof kPrefix - 1) != 0) return false;
  std::lock_guard<std::mutex> lock(g_catchMutex);
  if (!g_catching || !g_firstError.empty()) return false;
  g_firstError = text + sizeof kPrefix - 1;
  while (!g_firstError.empty() && (g_firstError.back() == '\n' || g_firstError.back() == '\r')) g_firstError.pop_back();
  return false;
}

}  // namespace

cl_ErrorCatcher::cl_ErrorCatcher() {
  std::lock_guard<std::mutex> lock(g_catchMutex);
  if (g_catching) return;
  g_catching = m_active = true;
  g_firstError.clear();
  sys::AddOutputCallback(CatchError);
}

cl_ErrorCatcher::~cl_ErrorCatcher() {
  if (!m_active) return;
  sys::RemoveOutputCallback(CatchError);
  std::lock_guard<std::mutex> lock(g_catchMutex);
  g_catching = false;
}

std::string cl_ErrorCatcher::First(const char* fallback) const {
  std::lock_guard<std::mutex> lock(g_catchMutex);
  if (m_active && !g_firstError.empty()) return g_firstError;
  return fallback ? fallback : "";
}

}  // namespace base
