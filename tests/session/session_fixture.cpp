#include "session_fixture.h"

#include <fstream>
#include <sstream>

#include "KRX/ScriptSystem.h"
#include "quillane/settings/TweakSettings.h"

namespace sessiontest {

void SessionTest::SetUp() {
  FrameTest::SetUp();
  if (IsSkipped()) return;
  m_cwd = std::filesystem::current_path();
  std::filesystem::current_path(m_dir);
  m_warningLevel = Debug_ScriptWarningLevel;
  Debug_ScriptWarningLevel = 1;
}

void SessionTest::TearDown() {
  if (!m_cwd.empty()) std::filesystem::current_path(m_cwd);
  FrameTest::TearDown();
  KRX::ScriptSystem::Shutdown();
  Debug_ScriptWarningLevel = m_warningLevel;
}

void SessionTest::Write(const std::string& path, const std::string& text) {
  const std::filesystem::path file = m_dir / path;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

bool SessionTest::StepUntilState(const std::string& name, int limit) {
  for (int i = 0; i < limit && StateName() != name; ++i) Step();
  return StateName() == name;
}

std::vector<std::string> SessionTest::LinesAfter(const std::string& prefix) const {
  std::vector<std::string> lines;
  std::istringstream log(Log());
  std::string line;
  while (std::getline(log, line))
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line.substr(prefix.size()));
  return lines;
}

}  // namespace sessiontest
