// The catcher of a thread's error lines.
#include "base/ErrorCatcher.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/system.h"

namespace base {

// The live catchers; Output may come from any thread, so they are guarded.
struct st_ErrorCatchers {
  std::mutex mutex;
  std::vector<cl_ErrorCatcher*> live;

  static st_ErrorCatchers& Get() {
    static st_ErrorCatchers* catchers = new st_ErrorCatchers;  // never destroyed: static destructors log
    return *catchers;
  }

  static bool Catch(const char* text) {
    static const char kPrefix[] = "ERROR: ";
    if (!text || std::strncmp(text, kPrefix, sizeof kPrefix - 1) != 0) return false;
    std::string line = text + sizeof kPrefix - 1;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    st_ErrorCatchers& catchers = Get();
    const std::thread::id self = std::this_thread::get_id();
    std::lock_guard<std::mutex> lock(catchers.mutex);
    for (cl_ErrorCatcher* catcher : catchers.live)
      if (catcher->m_thread == self) catcher->m_last = line;
    return false;
  }
};

cl_ErrorCatcher::cl_ErrorCatcher() : m_thread(std::this_thread::get_id()) {
  // Installed once for the process: adding and removing it with every catcher would change the
  // callback list under the other threads' lines for nothing.
  static std::once_flag installed;
  std::call_once(installed, [] { sys::AddOutputCallback(st_ErrorCatchers::Catch); });
  st_ErrorCatchers& catchers = st_ErrorCatchers::Get();
  std::lock_guard<std::mutex> lock(catchers.mutex);
  catchers.live.push_back(this);
}

cl_ErrorCatcher::~cl_ErrorCatcher() {
  st_ErrorCatchers& catchers = st_ErrorCatchers::Get();
  std::lock_guard<std::mutex> lock(catchers.mutex);
  std::erase(catchers.live, this);
}

std::string cl_ErrorCatcher::Cause(const char* fallback) const {
  std::lock_guard<std::mutex> lock(st_ErrorCatchers::Get().mutex);
  if (!m_last.empty()) return m_last;
  return fallback ? fallback : "";
}

std::string cl_ErrorCatcher::CauseOf(const char* file, const char* fallback) const {
  std::string cause = Cause(fallback);
  const std::string named = std::string("'") + (file ? file : "") + "': ";
  const size_t at = file && *file ? cause.find(named) : std::string::npos;
  return at == std::string::npos ? cause : cause.substr(at + named.size());
}

}  // namespace base
