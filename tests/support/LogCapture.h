// One capture of log lines for every log of the program: the engine log (base::sys::Output's
// callback list), the debugger output and the libraries' own sinks (graphics layer, texture
// library, script system). A test names the log it listens to, for example
//   using DdsLogCapture = testsupport::tLogCapture<testsupport::tSinkLog<&dds::SetLogSink>>;
// and reads what arrived while the capture lived. Lines may arrive from other threads.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

// The lines a capture received, each as it was handed over.
class cl_LogLines {
 public:
  std::vector<std::string> get() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
  }
  // Every line joined, each followed by separator ("" keeps the texts as they came).
  std::string text(const char* separator = "") const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string out;
    for (const std::string& l : m_lines) out += l + separator;
    return out;
  }
  bool contains(const std::string& part) const { return count(part) > 0; }
  // The lines that contain part.
  int count(const std::string& part) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const std::string& l : m_lines) n += l.find(part) != std::string::npos ? 1 : 0;
    return n;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.clear();
  }
  void add(const char* text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.emplace_back(text ? text : "");
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_lines;
};

// A log with one replaceable sink: Set(fn) installs fn, Set(nullptr) restores the default.
template <void (*Set)(void (*)(const char*))>
struct tSinkLog {
  static void Install(void (*fn)(const char*)) { Set(fn); }
  static void Remove() { Set(nullptr); }
};

// A log with a list of callbacks (base::sys::AddOutputCallback / RemoveOutputCallback).
template <void (*Add)(bool (*)(const char*)), void (*Drop)(bool (*)(const char*))>
struct tCallbackListLog {
  static void Install(void (*fn)(const char*)) {
    Target() = fn;
    Add(&Forward);
  }
  static void Remove() { Drop(&Forward); }

 private:
  static void (*&Target())(const char*) {
    static void (*target)(const char*) = nullptr;
    return target;
  }
  static bool Forward(const char* text) {
    Target()(text);
    return true;
  }
};

// Collects the lines of Log while alive; one capture per log at a time.
template <class Log>
class tLogCapture : public cl_LogLines {
 public:
  tLogCapture() {
    Current() = this;
    Log::Install(&Collect);
  }
  ~tLogCapture() {
    Log::Remove();
    Current() = nullptr;
  }
  tLogCapture(const tLogCapture&) = delete;
  tLogCapture& operator=(const tLogCapture&) = delete;

 private:
  static tLogCapture*& Current() {
    static tLogCapture* current = nullptr;
    return current;
  }
  static void Collect(const char* text) {
    if (tLogCapture* c = Current()) c->add(text);
  }
};

}  // namespace testsupport
