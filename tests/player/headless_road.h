// The game run headless in this process on a play script, before the program in the X display
// gets nothing but the pointer and the keys: where its buttons, people and pieces are at the same
// window size, and what the road leaves behind (a savegame to start the program from).
#pragma once

#include <map>
#include <string>
#include <utility>

namespace playertest {

// Points on the screen by name, as a click on each aims at it.
using tPoints = std::map<std::string, std::pair<int, int>>;

// The point noted as what; a test failure, and (-1, -1), when the road did not note it.
std::pair<int, int> NotedPoint(const tPoints& points, const std::string& what);

// Why the window tests cannot run here, empty when they can: X tools missing (also written to
// failure where CI installs them, so there it is a fault), no built program, no demo data or no
// headless graphics device.
std::string WindowTestsUnavailable(std::string& failure);

// Plays script headless in the data folder data with the user folder user (its config.xml written
// beforehand). Each step "check note <kind> <name> [as <key>]" records, under key or else
// "<kind> <name>", the point a click aims at: a "button", "token", "hotspot", "character" or
// "diary" part by name, or a "game" target of the running mini-game; for kind "window" the two
// corners of the window of that label where the screen shows it, under "<key> top left" and
// "<key> bottom right". Empty when the road ran to its end, else what failed.
std::string RunHeadlessRoad(const char* script, const std::string& data, const std::string& user, tPoints& points);

// ---- roads shared by the window tests of one CTest run
// CTest plays each road once in a set-up test, WindowRoads.<Name>, which keeps its outcome in a
// folder of the build; the suites starting from it require that test (a CTest fixture) and read
// the outcome instead of playing the road again. Run by hand, without CTest, a suite plays its
// road itself.

// The folder of the road name for this run (QUILLANE_WINDOW_ROADS/name, set by CTest); empty when
// the tests run without CTest.
std::string SharedRoadFolder(const std::string& name);
// Why the set-up test of the road name does not run here, empty when it does: it runs only under
// CTest, where window tests can run (a failure where CI installs their tools).
std::string RoadSetUpSkipped(const std::string& name);
// Keeps points and, when there is one (and user is not empty), the savegame
// user/Savegames/slot001.sav in folder; false when they could not be written.
bool ShareRoad(const std::string& folder, const tPoints& points, const std::string& user);
// Reads what ShareRoad kept into points and, with the savegame, user/Savegames/slot001.sav (user
// not empty). Empty when it read it, else why not.
std::string ReadSharedRoad(const std::string& folder, tPoints& points, const std::string& user);

}  // namespace playertest
