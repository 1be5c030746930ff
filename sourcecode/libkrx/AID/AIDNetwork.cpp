// Listener registry, received-message queue and the process's link.
#include "libkrx/AID/AIDNetwork.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "libkrx/AID/WinAIDNetwork.h"
#include "base/system.h"

namespace AID {
namespace {

constexpr size_t kMaxPendingLogs = 32;

std::string Lower(const char* text) {
  std::string s = text ? text : "";
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::atomic<ListenerCallback> g_debuggerCallback{nullptr};

// Guards the process's link against SendLog from other threads while it is destroyed.
std::mutex g_networkMutex;
AIDNetwork* g_network = nullptr;

}  // namespace

AIDNetwork::AIDNetwork() = default;
AIDNetwork::~AIDNetwork() = default;

// ---- listeners

uint32_t AIDNetwork::AddListener(const char* channel, ListenerCallback callback, void* object) {
  if (!callback) return kNoListener;
  std::lock_guard lock(m_listenerMutex);
  uint32_t id = m_nextListenerId;
  while (id == kNoListener || m_listeners.count(id)) ++id;
  m_listeners[id] = Listener{Lower(channel), callback, object};
  m_nextListenerId = id + 1;
  return id;
}

uint32_t AIDNetwork::AddDebuggerListener(void* debugger) {
  const ListenerCallback callback = g_debuggerCallback.load();
  if (!callback) return kNoListener;
  return AddListener(kDebuggerChannel, callback, debugger);
}

bool AIDNetwork::RemoveListener(uint32_t id) {
  std::lock_guard lock(m_listenerMutex);
  return m_listeners.erase(id) > 0;
}

size_t AIDNetwork::ListenerCount() const {
  std::lock_guard lock(m_listenerMutex);
  return m_listeners.size();
}

// ---- queue

void AIDNetwork::QueueMessage(std::unique_ptr<Message> message) {
  std::lock_guard lock(m_queueMutex);
  m_queue.push_back(std::move(message));
}

void AIDNetwork::ClearQueue() {
  std::deque<std::unique_ptr<Message>> gone;
  std::lock_guard lock(m_queueMutex);
  gone.swap(m_queue);
}

std::unique_ptr<Message> AIDNetwork::PopMessage() {
  std::lock_guard lock(m_queueMutex);
  if (m_queue.empty()) return nullptr;
  std::unique_ptr<Message> m = std::move(m_queue.front());
  m_queue.pop_front();
  return m;
}

size_t AIDNetwork::QueuedMessageCount() const {
  std::lock_guard lock(m_queueMutex);
  return m_queue.size();
}

bool AIDNetwork::ProcessMessages() {
  while (std::unique_ptr<Message> m = PopMessage()) {
    const std::string channel = Lower(m->Name1());
    std::vector<uint32_t> ids;
    {
      std::lock_guard lock(m_listenerMutex);
      for (const auto& [id, l] : m_listeners)
        if (l.channel == channel) ids.push_back(id);
    }
    // Callbacks may add or remove listeners; each is looked up again just before its call.
    for (uint32_t id : ids) {
      ListenerCallback callback;
      void* object;
      {
        std::lock_guard lock(m_listenerMutex);
        auto it = m_listeners.find(id);
        if (it == m_listeners.end()) continue;
        callback = it->second.callback;
        object = it->second.object;
      }
      callback(object, this, m.get());
    }
  }
  // After the dispatch, so that the report of a bad datagram is out by the time any message
  // that arrived after it has been handled.
  FlushLogs();
  return true;
}

void AIDNetwork::SetOptions(const LinkOptions& options) { m_options = options; }

// ---- deferred log

void AIDNetwork::DeferLog(std::string line) {
  std::lock_guard lock(m_logMutex);
  if (m_pendingLogs.size() >= kMaxPendingLogs) {
    ++m_droppedLogs;
    return;
  }
  m_pendingLogs.push_back(std::move(line));
}

void AIDNetwork::DeferRepeatedLog(std::string line) {
  {
    std::lock_guard lock(m_logMutex);
    if (m_repeating) {
      ++m_repeatCount;
      m_repeatLast = std::move(line);
      return;
    }
    m_repeating = true;
    m_repeatSince = std::chrono::steady_clock::now();
  }
  DeferLog(std::move(line));
}

void AIDNetwork::FlushLogs() {
  std::deque<std::string> lines;
  size_t dropped;
  {
    std::lock_guard lock(m_logMutex);
    lines.swap(m_pendingLogs);
    dropped = m_droppedLogs;
    m_droppedLogs = 0;
    const auto now = std::chrono::steady_clock::now();
    if (m_repeating && now - m_repeatSince >= std::chrono::seconds(1)) {
      // A second without a repeat ends the spell; the next line is logged as it stands again.
      m_repeating = m_repeatCount > 0;
      m_repeatSince = now;
      if (m_repeatCount > 0)
        lines.push_back(m_repeatLast + " (the last of " + std::to_string(m_repeatCount) + " in the last second)");
      m_repeatCount = 0;
    }
  }
  for (const std::string& line : lines) base::sys::Output("%s\n", line.c_str());
  if (dropped) base::sys::Output("ERROR: debugger link: %zu more log lines dropped\n", dropped);
}

// ---- the process's link

void SetDebuggerCallback(ListenerCallback callback) { g_debuggerCallback.store(callback); }

AIDNetwork* CreateNetwork() {
  std::lock_guard lock(g_networkMutex);
  if (!g_network) g_network = new WinAIDNetwork;
  return g_network;
}

AIDNetwork* GetNetwork() {
  std::lock_guard lock(g_networkMutex);
  return g_network;
}

void DestroyNetwork() {
  AIDNetwork* gone;
  {
    std::lock_guard lock(g_networkMutex);
    gone = g_network;
    g_network = nullptr;
  }
  // Outside the lock: closing may log, and the log feeds SendLog, which takes the lock.
  delete gone;
}

bool ConnectDebugger(const char* name, float timeoutSeconds, const char* secondName, uint8_t flags) {
  AIDNetwork* link = CreateNetwork();
  return link->Init(name, timeoutSeconds, secondName, flags) && link->Connect(nullptr);
}

bool SendLog(const char* text) {
  if (!text) return true;
  std::lock_guard lock(g_networkMutex);
  if (!g_network || !g_network->IsConnected()) return true;
  static constexpr char kCategory[] = "default";
  const size_t length = std::strlen(text);
  if (length + sizeof kCategory + 1 > kMaxPayload) return true;
  std::vector<char> payload(sizeof kCategory + length + 1, 0);
  std::memcpy(payload.data(), kCategory, sizeof kCategory);
  std::memcpy(payload.data() + sizeof kCategory, text, length);
  g_network->SendData(kText, kLoggerChannel, nullptr, 0, 0, payload.data(), static_cast<uint32_t>(payload.size()));
  return true;
}

}  // namespace AID
