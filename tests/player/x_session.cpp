// Xvfb, xdotool, setxkbmap and xwd around the program.
#include "x_session.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "support/ProgramRun.h"

namespace playertest {
namespace {

namespace fs = std::filesystem;

// A big-endian 32-bit field of an XWD header.
uint32_t Big32(const std::string& bytes, size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The program of the session started last and not yet stopped, whose time Frames counts.
pid_t s_running = -1;

// The processor time of pid's main thread (the frame loop's) in milliseconds; -1 once it has ended.
long MainThreadMs(pid_t pid) {
  if (pid <= 0) return -1;
  const std::string id = std::to_string(pid);
  const std::string stat = testprogram::ReadFile("/proc/" + id + "/task/" + id + "/stat");
  const size_t name = stat.rfind(')');  // the name may hold spaces and parentheses
  if (name == std::string::npos) return -1;
  std::istringstream fields(stat.substr(name + 1));
  std::string state, skipped;
  fields >> state;  // field 3
  if (state == "Z" || state == "X") return -1;
  for (int field = 4; field <= 13; ++field) fields >> skipped;
  long user = 0, system = 0;
  if (!(fields >> user >> system)) return -1;  // fields 14 and 15, in clock ticks
  static const long kTicks = sysconf(_SC_CLK_TCK);
  return (user + system) * 1000 / kTicks;
}

// Polls done until it holds (true) or pid has run ms of its own time, ended, or the last guard
// passed (false).
bool UntilInProgramTime(pid_t pid, int ms, const std::function<bool()>& done, int pollMs, testsupport::st_Where where) {
  const long start = MainThreadMs(pid);
  bool held = false;
  testsupport::WaitUntil(
      [&] {
        if ((held = done())) return true;
        const long now = MainThreadMs(pid);
        return now < 0 || now - start >= ms;
      },
      kWaitMs, pollMs, where);
  return held;
}

// Waits while pid runs ms of its own time; it sleeps ms when pid is not running.
void WaitForProgramTime(pid_t pid, int ms, testsupport::st_Where where = {}) {
  if (MainThreadMs(pid) < 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return;
  }
  UntilInProgramTime(
      pid, ms, [] { return false; }, std::min(ms, 10), where);
}

}  // namespace

std::string MissingTools() {
  std::string missing;
  for (const char* tool : {"Xvfb", "xdotool", "setxkbmap", "xwd"})
    if (testsupport::FindProgram(tool).empty()) missing += std::string(missing.empty() ? "" : ", ") + tool;
  return missing;
}

void Frames(int ms, testsupport::st_Where where) { WaitForProgramTime(s_running, ms, where); }

bool cl_XSession::StartEditor(const std::string& userDir, const std::string& log, int width, int height,
                              int startMs) {
  testprogram::WriteUserConfig(
      userDir, {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""},
                {"<DevTools ShowIntroMovies=\"0\"/>", "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"editor\"/>"}});
  return Start(userDir, log, width, height, "us") && testprogram::WaitForLog(log, "GameFrame: state Editor", startMs);
}

cl_XSession::~cl_XSession() {
  if (m_pid > 0) Stop();
}

bool cl_XSession::Start(const std::string& userDir, const std::string& log, int width, int height,
                        const std::string& layout) {
  m_dir = fs::path(userDir).parent_path().string();
  // The layout is set on the server before the program starts, as a player's desktop has it.
  if (!m_server.Start(width, height, 20000) || !X({"setxkbmap", layout})) return false;
  m_pid = testprogram::StartProgram(testprogram::WindowEnvironment(m_server), userDir, log);
  if (m_pid > 0) s_running = m_pid;
  return m_pid > 0;
}

int cl_XSession::Stop() {
  int status = -1;
  Resume();  // a held program would not hear the request to end
  if (m_pid > 0) testprogram::StopProgram(m_pid, &status);
  if (s_running == m_pid) s_running = -1;
  m_pid = -1;
  m_server.Stop();
  return status;
}

bool cl_XSession::X(const std::vector<std::string>& args) const {
  const int status =
      testsupport::Run({.args = args, .env = m_server.ClientEnvironment(), .out = "/dev/null", .err = "/dev/null"});
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void cl_XSession::MoveTo(int x, int y) { X({"xdotool", "mousemove", std::to_string(x), std::to_string(y)}); }
void cl_XSession::Press() { X({"xdotool", "mousedown", "1"}); }
void cl_XSession::Release() { X({"xdotool", "mouseup", "1"}); }

void cl_XSession::Click(int x, int y) {
  MoveTo(x, y);
  WaitForProgramTime(m_pid, 100);  // the hover first, as a hand would
  X({"xdotool", "click", "1"});
}

void cl_XSession::RightClick(int x, int y) {
  MoveTo(x, y);
  WaitForProgramTime(m_pid, 100);
  X({"xdotool", "click", "3"});
}

void cl_XSession::Key(const std::string& name) { X({"xdotool", "key", name}); }
void cl_XSession::KeyDown(const std::string& name) { X({"xdotool", "keydown", name}); }
void cl_XSession::KeyUp(const std::string& name) { X({"xdotool", "keyup", name}); }
void cl_XSession::Type(const std::string& text) { X({"xdotool", "type", "--delay", "60", text}); }

st_Screen cl_XSession::Grab() const {
  st_Screen screen;
  const std::string file = m_dir + "/screen.xwd";
  if (!X({"xwd", "-root", "-silent", "-out", file})) return screen;
  const std::string bytes = testprogram::ReadFile(file);
  constexpr size_t kHeaderFields = 100;
  if (bytes.size() < kHeaderFields) return screen;
  // XWD: a header of 32-bit fields, the window's name, the colour table, then the rows.
  const uint32_t headerSize = Big32(bytes, 0), width = Big32(bytes, 16), height = Big32(bytes, 20);
  const uint32_t byteOrder = Big32(bytes, 28), bitsPerPixel = Big32(bytes, 44), bytesPerLine = Big32(bytes, 48);
  const uint32_t colours = Big32(bytes, 76);
  const size_t first = size_t(headerSize) + size_t(colours) * 12;
  // Depth 24 comes packed in 24 or in 32 bits a pixel, as the server keeps it.
  const uint32_t stride = bitsPerPixel / 8;
  if ((stride != 3 && stride != 4) || bytesPerLine < width * stride ||
      bytes.size() < first + size_t(bytesPerLine) * height)
    return screen;
  screen.width = static_cast<int>(width);
  screen.height = static_cast<int>(height);
  screen.pixels.resize(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const auto* p =
          reinterpret_cast<const unsigned char*>(bytes.data()) + first + size_t(y) * bytesPerLine + x * stride;
      const unsigned char* low = byteOrder == 0 ? p : p + stride - 3;  // the colour's three bytes
      const uint32_t v = byteOrder == 0 ? uint32_t(low[0]) | uint32_t(low[1]) << 8 | uint32_t(low[2]) << 16
                                        : uint32_t(low[2]) | uint32_t(low[1]) << 8 | uint32_t(low[0]) << 16;
      screen.pixels[size_t(y) * width + x] = v & 0xFFFFFFu;
    }
  return screen;
}

st_Screen cl_XSession::GrabUntil(const std::function<bool(const st_Screen&)>& shows, int programMs,
                                 testsupport::st_Where where) const {
  // A grab (an xwd run and the whole screen read) costs more than a frame: one each kGrabStepMs of
  // the program's own time, so a busy machine that slows the program does not multiply them.
  constexpr long kGrabStepMs = 50;
  st_Screen screen;
  long grabbedAt = -1;
  UntilInProgramTime(
      m_pid, programMs,
      [&] {
        const long now = ProgramMs();
        if (grabbedAt >= 0 && now >= 0 && now - grabbedAt < kGrabStepMs) return false;
        grabbedAt = now;
        return shows(screen = Grab());
      },
      20, where);
  return screen;
}

bool cl_XSession::LogShows(const std::string& log, const std::string& text, int programMs,
                           testsupport::st_Where where) const {
  return LogShowsTimes(log, text, 1, programMs, where);
}

bool cl_XSession::LogShowsTimes(const std::string& log, const std::string& text, int times, int programMs,
                                testsupport::st_Where where) const {
  auto count = [&] {
    const std::string all = testprogram::ReadFile(log);
    int seen = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) ++seen;
    return seen;
  };
  return UntilInProgramTime(m_pid, programMs, [&] { return count() >= times; }, 20, where);
}

bool cl_XSession::DragTopicUntil(std::pair<int, int> topic, std::pair<int, int> partner, const std::string& log,
                                 const std::string& line) {
  const auto [tx, ty] = topic;
  const auto [px, py] = partner;
  for (int attempt = 0; attempt < 3; ++attempt) {
    Frames(1000);
    MoveTo(tx, ty);
    Frames(300);
    Press();
    Frames(100);
    for (int step = 1; step <= 8; ++step) {
      MoveTo(tx + (px - tx) * step / 8, ty + (py - ty) * step / 8);
      Frames(60);
    }
    Frames(200);
    Release();
    if (LogShows(log, line, 3000)) return true;
  }
  return false;
}

st_Screen cl_XSession::Settled(const std::function<bool(const st_Screen&, const st_Screen&)>& still, int forMs,
                               testsupport::st_Where where) const {
  st_Screen last = Grab();
  long stillSince = ProgramMs();
  return GrabUntil(
      [&](const st_Screen& now) {
        const long ms = ProgramMs();
        if (!still(last, now)) stillSince = ms;
        last = now;
        return ms < 0 || ms - stillSince >= forMs;
      },
      kWaitMs, where);
}

long cl_XSession::ProgramMs() const { return MainThreadMs(m_pid); }

void cl_XSession::Hold() {
  if (m_pid > 0) kill(m_pid, SIGSTOP);
}

void cl_XSession::Resume() {
  if (m_pid > 0) kill(m_pid, SIGCONT);
}

}  // namespace playertest
