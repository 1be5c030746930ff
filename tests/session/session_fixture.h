// A game session on the headless platform: the frame fixture (a started root module with a
// cl_GameFrame, frames stepped as the frame loop steps them) with its scratch folder as the
// working folder, which the test fills with the session's data (scripts, tables, game state).
// Script output reaches the log; the script language is brought down after each test, so every
// test starts with no module loaded.
#pragma once

#include <string>
#include <vector>

#include "../frame/frame_fixture.h"

namespace sessiontest {

class SessionTest : public frametest::FrameTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes text to path below the working folder (folders made as needed).
  void Write(const std::string& path, const std::string& text);
  // Steps until the frame's state is name; false after limit frames.
  bool StepUntilState(const std::string& name, int limit = 50);
  // The log lines that begin with prefix, in order, without the prefix and the line end.
  std::vector<std::string> LinesAfter(const std::string& prefix) const;

  std::filesystem::path m_cwd;
  int m_warningLevel = 0;  // Debug_ScriptWarningLevel before the test
};

}  // namespace sessiontest
