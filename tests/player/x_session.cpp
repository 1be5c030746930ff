// Xvfb, xdotool, setxkbmap and xwd around the program.
#include "x_session.h"

#include <sys/wait.h>

#include <chrono>
#include <filesystem>
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

}  // namespace

std::string MissingTools() {
  std::string missing;
  for (const char* tool : {"Xvfb", "xdotool", "setxkbmap", "xwd"})
    if (testsupport::FindProgram(tool).empty()) missing += std::string(missing.empty() ? "" : ", ") + tool;
  return missing;
}

void Frames(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

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
  return m_pid > 0;
}

int cl_XSession::Stop() {
  int status = -1;
  if (m_pid > 0) testprogram::StopProgram(m_pid, &status);
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
  Frames(100);  // the hover first, as a hand would
  X({"xdotool", "click", "1"});
}

void cl_XSession::RightClick(int x, int y) {
  MoveTo(x, y);
  Frames(100);
  X({"xdotool", "click", "3"});
}

void cl_XSession::Key(const std::string& name) { X({"xdotool", "key", name}); }
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

st_Screen cl_XSession::GrabUntil(const std::function<bool(const st_Screen&)>& shows, int timeoutMs) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  st_Screen screen = Grab();
  while (!shows(screen) && std::chrono::steady_clock::now() < end) {
    Frames(100);
    screen = Grab();
  }
  return screen;
}

}  // namespace playertest
