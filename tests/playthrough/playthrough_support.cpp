#include "playthrough_support.h"

#include <unistd.h>

#include <fstream>

#include "../support/DemoDataCopy.h"
#include "../support/HeadlessGpu.h"
#include "base/system.h"
#include "graphics/mesh/Mesh.h"
#include "support/ScratchFolder.h"

namespace playtest {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> g_log;

bool Capture(const char* text) {
  g_log.emplace_back(text);
  return true;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

void PlayTest::SetUp() {
  const fs::path data = QUILLANE_DATA_DIR;
  if (!fs::exists(data / "gui/loading_screens/loading_main.tga")) GTEST_SKIP() << "no generated demo data (run demogen)";
  if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  m_dir = testsupport::MakeScratchFolder("quillane_play");
  testsupport::CopyDemoData(data, m_dir / "data");
  fs::create_directories(m_dir / "user");
  m_cwd = fs::current_path();
  fs::current_path(m_dir / "data");
  g_log.clear();
  base::sys::AddOutputCallback(&Capture);
  base::RegisterMeshResourceType();
}

void PlayTest::TearDown() {
  base::sys::RemoveOutputCallback(&Capture);
  if (!m_cwd.empty()) fs::current_path(m_cwd);
  if (!m_dir.empty()) {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
}

void PlayTest::WriteUserConfig(const std::vector<std::pair<std::string, std::string>>& edits) {
  std::string text = ReadFile(fs::path(QUILLANE_DATA_DIR) / "config.xml");
  for (const auto& [from, to] : edits) {
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  }
  std::ofstream(m_dir / "user" / "config.xml", std::ios::binary) << text;
}

st_StartOptions PlayTest::Options() const {
  st_StartOptions options;
  options.userDir = (m_dir / "user").string();
  options.display = st_StartOptions::en_Display::Headless;
  options.fixedStep = true;
  options.handleSignals = false;
  return options;
}

int PlayTest::Run(const st_StartOptions& options) { return RunGame(options); }

std::string PlayTest::Log() const {
  std::string all;
  for (const std::string& line : g_log) all += line;
  return all;
}

}  // namespace playtest
