// The game itself in a benchmark: a copy of the demo data as the working folder (made once per
// process), user folders whose config.xml is the bundled one with a few edits, and a run of the
// program's entry routine, headless, along a road of play steps.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "quillane/app/EntryRoutine.h"
#include "base/app/SystemRoot.h"
#include "quillane/app/PlayDriver.h"

namespace benchdemo {

namespace fs = std::filesystem;

using tEdits = std::vector<std::pair<std::string, std::string>>;

// The copy of the demo data; its "data" folder is the game's working folder. The copy is about
// the size of the data, so it goes when the process ends.
inline const fs::path& DemoCopy() {
  struct st_Copy {
    fs::path dir;
    st_Copy() {
      std::string pattern = (fs::temp_directory_path() / "quillane_bench_XXXXXX").string();
      if (!mkdtemp(pattern.data())) return;  // the runs then fail on the missing data
      dir = pattern;
      fs::copy(QUILLANE_DATA_DIR, dir / "data", fs::copy_options::recursive);
    }
    ~st_Copy() {
      std::error_code ec;
      if (!dir.empty()) fs::remove_all(dir, ec);
    }
  };
  static const st_Copy copy;
  return copy.dir;
}

// A user folder "name" beside the copy, with the bundled config.xml and each (from, to) replaced.
inline fs::path UserFolder(const std::string& name, const tEdits& edits) {
  const fs::path dir = DemoCopy() / name;
  fs::create_directories(dir);
  std::ifstream in(DemoCopy() / "data" / "config.xml", std::ios::binary);
  std::string config((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const auto& [from, to] : edits)
    if (const size_t at = config.find(from); at != std::string::npos) config.replace(at, from.size(), to);
  std::ofstream(dir / "config.xml", std::ios::binary) << config;
  return dir;
}

// Runs the game from the copy's data folder along the road, with the real clock or with every
// frame 0.1 s long (fixedStep); the check "stop" ends it. True when every step was carried out
// (else the driver's failure goes to stderr).
inline bool RunRoad(const fs::path& userFolder, const std::string& road,
                    const std::map<std::string, cl_PlayDriver::tCheck>& checks, bool fixedStep) {
  std::vector<st_PlayStep> steps;
  std::string error;
  if (!ReadPlayScript(road.data(), road.size(), "bench", steps, &error)) return false;
  cl_PlayDriver driver(std::move(steps), "");
  for (const auto& [name, check] : checks) driver.AddCheck(name, check);
  driver.AddCheck("stop", [](const std::string&, std::string*) {
    base::cl_System::GetInstance()->SetQuit(true);
    return true;
  });
  const fs::path here = fs::current_path();
  fs::current_path(DemoCopy() / "data");
  st_StartOptions options;
  options.userDir = userFolder.string();
  options.display = st_StartOptions::en_Display::Headless;
  options.handleSignals = false;
  options.fixedStep = fixedStep;
  options.driver = &driver;
  RunGame(options);
  fs::current_path(here);
  if (driver.Failed()) std::fprintf(stderr, "%s\n", driver.GetFailure().c_str());
  return driver.Finished();
}

}  // namespace benchdemo
