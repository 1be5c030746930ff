// The play-through's fixture: a copy of the demo data (without the caches the engine builds) as
// the working folder, a user folder with the test's configuration, and the game run in this
// process through the program's own entry routine, headless, with its log collected.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "quillane/app/EntryRoutine.h"

namespace playtest {

class PlayTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The bundled config.xml with each (from, to) replaced, as the user folder's config.xml.
  void WriteUserConfig(const std::vector<std::pair<std::string, std::string>>& edits);
  st_StartOptions Options() const;  // headless, fixed step, this user folder, no signals
  int Run(const st_StartOptions& options);
  std::string Log() const;

  std::filesystem::path m_dir;
  std::filesystem::path m_cwd;
};

}  // namespace playtest
