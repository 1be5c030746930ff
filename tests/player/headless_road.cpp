// The headless road of the window tests: the game's own entry routine under a play driver whose
// "note" check records points.
#include "headless_road.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "graphics/mesh/Mesh.h"
#include "quillane/app/EntryRoutine.h"
#include "quillane/app/PlayDriver.h"
#include "quillane/minigames/Minigame.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/session/Session.h"
#include "support/HeadlessGpu.h"
#include "support/ProgramRun.h"
#include "x_session.h"

namespace playertest {

namespace fs = std::filesystem;

std::pair<int, int> NotedPoint(const tPoints& points, const std::string& what) {
  const auto it = points.find(what);
  if (it != points.end()) return it->second;
  ADD_FAILURE() << "the headless run noted no " << what;
  return {-1, -1};
}

std::string WindowTestsUnavailable(std::string& failure) {
  const std::string missing = MissingTools();
  if (!missing.empty()) {
    const std::string why = "missing here: " + missing + " (scripts/install-deps.sh installs them)";
    if (std::getenv("CI")) failure = why;  // CI installs them: their absence is a fault there
    return why;
  }
  if (!fs::exists(testprogram::ProgramPath()) || !testsupport::HeadlessGpuAvailable() ||
      !fs::exists(fs::path(QUILLANE_DATA_DIR) / "gui/loading_screens/loading_main.tga"))
    return "no program, no demo data or no headless graphics device";
  return std::string();
}

namespace {

// The point of "kind name" on the screen now; false when there is none.
bool PointOf(const std::string& kind, const std::string& name, int& x, int& y) {
  if (kind != "game") return cl_PlayDriver::FindPoint(kind, name, &x, &y);
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_MinigameManager* games = session ? session->GetMinigameManager() : nullptr;
  quillane::i_Minigame* game = games ? games->GetGame() : nullptr;
  float fx = 0.0f, fy = 0.0f;
  if (!game || !game->GetPlayTarget(name.c_str(), fx, fy)) return false;
  x = static_cast<int>(fx), y = static_cast<int>(fy);
  return true;
}

}  // namespace

std::string RunHeadlessRoad(const char* script, const std::string& data, const std::string& user, tPoints& points) {
  std::vector<st_PlayStep> steps;
  std::string error;
  if (!ReadPlayScript(script, std::strlen(script), "road", steps, &error)) return error;
  cl_PlayDriver driver(std::move(steps), (fs::path(user) / "golden").string());
  driver.AddCheck("note", [&points](const std::string& argument, std::string* why) {
    const size_t as = argument.find(" as ");
    const std::string what = argument.substr(0, as);
    const size_t blank = what.find(' ');
    const std::string key = as == std::string::npos ? argument : argument.substr(as + 4);
    if (what.rfind("window ", 0) == 0) {
      const base::cl_Window* window = cl_PlayDriver::FindOpenWindow(what.substr(7));
      if (!window) {
        *why = "no open " + what;
        return false;
      }
      const base::tRectf r = cl_PlayDriver::ShownRect(window);
      points[key + " top left"] = {static_cast<int>(r.min.x), static_cast<int>(r.min.y)};
      points[key + " bottom right"] = {static_cast<int>(r.max.x) - 1, static_cast<int>(r.max.y) - 1};
      return true;
    }
    int x = 0, y = 0;
    if (blank == std::string::npos || !PointOf(what.substr(0, blank), what.substr(blank + 1), x, y)) {
      *why = "nothing to note for " + argument;
      return false;
    }
    points[key] = {x, y};
    return true;
  });
  const fs::path cwd = fs::current_path();
  fs::current_path(data);
  base::RegisterMeshResourceType();
  st_StartOptions options;
  options.userDir = user;
  options.display = st_StartOptions::en_Display::Headless;
  options.fixedStep = true;
  options.handleSignals = false;
  options.driver = &driver;
  const int code = RunGame(options);
  fs::current_path(cwd);
  if (code != 0 || !driver.Finished()) return "the headless road failed: " + driver.GetFailure();
  return std::string();
}

// ---- roads shared by the window tests of one CTest run

std::string SharedRoadFolder(const std::string& name) {
  const char* roads = std::getenv("QUILLANE_WINDOW_ROADS");
  return roads && *roads ? (fs::path(roads) / name).string() : std::string();
}

std::string RoadSetUpSkipped(const std::string& name) {
  if (SharedRoadFolder(name).empty()) return "the set-up test of the window tests CTest runs";
  std::string failure;
  const std::string skip = WindowTestsUnavailable(failure);
  EXPECT_EQ(failure, "");
  return skip;
}

bool ShareRoad(const std::string& folder, const tPoints& points, const std::string& user) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  if (!fs::create_directories(folder, ec)) return false;
  const fs::path save = fs::path(user) / "Savegames/slot001.sav";
  if (!user.empty() && fs::exists(save) && !fs::copy_file(save, fs::path(folder) / "slot001.sav", ec)) return false;
  // Written last: its presence says the rest is there.
  std::ofstream out(fs::path(folder) / "points.txt");
  for (const auto& [what, point] : points) out << point.first << ' ' << point.second << ' ' << what << '\n';
  return bool(out.flush());
}

std::string ReadSharedRoad(const std::string& folder, tPoints& points, const std::string& user) {
  std::ifstream in(fs::path(folder) / "points.txt");
  if (!in) return "the set-up test of the road left nothing in " + folder;
  int x = 0, y = 0;
  std::string what;
  while (in >> x >> y && std::getline(in >> std::ws, what)) points[what] = {x, y};
  const fs::path save = fs::path(folder) / "slot001.sav";
  if (user.empty() || !fs::exists(save)) return std::string();
  std::error_code ec;
  fs::create_directories(fs::path(user) / "Savegames", ec);
  fs::copy_file(save, fs::path(user) / "Savegames/slot001.sav", fs::copy_options::overwrite_existing, ec);
  return ec ? "cannot copy " + save.string() + ": " + ec.message() : std::string();
}

}  // namespace playertest
