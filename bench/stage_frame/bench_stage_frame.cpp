// A frame of the Office as the player sees it, against one full-screen opaque textured quad drawn
// straight with OpenGL (DirectGl.h) on the same software renderer. The game runs headless, each
// frame 0.1 s of game time, so the road reaches the Office's quiet moment in the same frames
// however slow the machine (and the frame loop's nap does not sleep). In the Office it times
// frames with the characters, without them (hidden) and with the image shortcuts off (every tile
// whole, as before them), taking turns in short runs so that the machine's other work falls on
// all three alike; a second run times frames of the root menu. Each figure is the process's CPU
// time per frame (every thread: the rasteriser's too, on one thread, see ProcessCpu.h), the mean
// over the fastest run of ten (from one frame's start, its forerunners drawn, to the next's), the
// one least disturbed by the machine's other work; the quad's likewise over runs of ten cleared-and-drawn frames.
// The Office's row also reports the most memory the program held at once (idle_peak_MiB) on a
// road run before the others: the Office loaded from a savegame and left idle for 15 s of game time.
//
// Goals: the Office within 1.5 × (the quad + the characters' share), and within 1.2 × the root
// menu's frame.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "../DemoRun.h"
#include "../ProcessCpu.h"
#include "../gpu/DirectGl.h"
#include "../gpu/FrameTimes.h"
#include "SavegameGenerator.h"
#include "base/system.h"
#include "graphics/image/Image.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/character/Character.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"

namespace {

constexpr int kTurns = 6, kRun = 10;  // runs per case, frames per run

void Quiet(const char*) {}

// The mean of the fastest run of kRun consecutive values.
double FastestRun(const std::vector<double>& values) {
  double best = 0.0;
  for (size_t at = 0; at + kRun <= values.size(); at += kRun) {
    double sum = 0.0;
    for (size_t i = at; i < at + kRun; ++i) sum += values[i];
    if (best == 0.0 || sum / kRun < best) best = sum / kRun;
  }
  return best;
}

// Frame times by case: "mark <case>" at the start of every frame of a run, "begin <case>" first.
struct st_Marks {
  std::map<std::string, std::vector<double>> seconds;
  std::map<std::string, double> last;  // process CPU seconds at the last mark
};

st_Marks& Marks() {
  static st_Marks marks;
  return marks;
}

// Headless nothing waits for a shown frame, so the rasteriser thread may fall frames behind,
// and its work into another run's time: each mark waits until the frames before it are drawn.
double DrawnSeconds() {
  glFinish();
  return benchcpu::ProcessSeconds();
}

std::map<std::string, cl_PlayDriver::tCheck> Checks() {
  auto begin = [](const std::string& name, std::string*) {
    Marks().last[name] = DrawnSeconds();
    return true;
  };
  auto mark = [](const std::string& name, std::string*) {
    const double now = DrawnSeconds();
    Marks().seconds[name].push_back(now - Marks().last[name]);
    Marks().last[name] = now;
    return true;
  };
  auto characters = [](const std::string& argument, std::string* why) {
    quillane::cl_Session* session = quillane::GetSession();
    quillane::cl_Stage* stage = session ? session->GetStage() : nullptr;
    if (!stage) {
      *why = "no stage";
      return false;
    }
    for (quillane::cl_Character* character : stage->GetCharacters()) character->hidden = argument == "hide";
    return true;
  };
  auto shortcuts = [](const std::string& argument, std::string*) {
    gfx::cl_Image::SetDrawShortcuts(argument == "on");
    return true;
  };
  return {{"begin", begin}, {"mark", mark}, {"characters", characters}, {"shortcuts", shortcuts}};
}

// The steps of one timed run of a case, after a frame to settle.
std::string Run(const std::string& name) {
  std::string road = "wait frames 2\ncheck begin " + name + "\n";
  for (int i = 0; i < kRun; ++i) road += "wait frames 1\ncheck mark " + name + "\n";
  return road;
}

// The most memory the process has held at once, in MiB.
double PeakResidentMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes
}

// Seconds per frame of the Office with characters, without them, and without the
// shortcuts; of the root menu; the peak memory of the idle Office. Zeros when a run did not
// reach its end.
struct st_Frames {
  double office = 0.0, officeNoCharacters = 0.0, officeReference = 0.0, rootMenu = 0.0;
  double idleOfficePeakMiB = 0.0;
};

// The idle Office's road, first in the process so that the process's peak is the road's own: a
// frame that is not waited for holds its draw lists in the rasteriser's queue until drawn.
double IdleOfficePeakMiB() {
  const benchdemo::tEdits fromSavegame = {
      {"<DevTools ShowIntroMovies=\"1\"/>",
       "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\" Savegame=\"slot001.sav\"/>"},
      {"Debug_KeysEnabled=\"1\"", "Debug_KeysEnabled=\"0\""}};
  const benchdemo::fs::path user = benchdemo::UserFolder("idle", fromSavegame);
  benchdemo::fs::create_directories(user / "Savegames");
  savegen::WriteFile((user / "Savegames" / "slot001.sav").string(), savegen::Generate().bytes);
  const std::string road = "wait scene Office 300\nwait frames 150\ncheck stop\n";
  return benchdemo::RunRoad(user, road, Checks(), true) ? PeakResidentMiB() : 0.0;
}

const st_Frames& Frames() {
  static const st_Frames frames = [] {
    st_Frames f;
    base::sys::SetDebuggerOutput(Quiet);
    base::RegisterMeshResourceType();
    f.idleOfficePeakMiB = IdleOfficePeakMiB();
    std::string office = "wait scene Office 300\nwait idle 400\nwait frames 20\n";
    for (int turn = 0; turn < kTurns; ++turn)
      office += Run("with") + "check characters hide\n" + Run("without") +
                "check characters show\ncheck shortcuts off\n" + Run("whole") + "check shortcuts on\n";
    office += "check stop\n";
    const benchdemo::tEdits quickLaunch = {
        {"<DevTools ShowIntroMovies=\"1\"/>", "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\"/>"},
        {"Debug_KeysEnabled=\"1\"", "Debug_KeysEnabled=\"0\""}};
    Marks() = st_Marks();
    if (benchdemo::RunRoad(benchdemo::UserFolder("office", quickLaunch), office, Checks(), true)) {
      f.office = FastestRun(Marks().seconds["with"]);
      f.officeNoCharacters = FastestRun(Marks().seconds["without"]);
      f.officeReference = FastestRun(Marks().seconds["whole"]);
    }
    std::string menu = "wait state RootMenu 1000\nwait frames 20\n";
    for (int turn = 0; turn < kTurns; ++turn) menu += Run("menu");
    menu += "check stop\n";
    const benchdemo::tEdits noIntro = {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""}};
    Marks() = st_Marks();
    if (benchdemo::RunRoad(benchdemo::UserFolder("menu", noIntro), menu, Checks(), true))
      f.rootMenu = FastestRun(Marks().seconds["menu"]);
    base::sys::SetDebuggerOutput(nullptr);
    return f;
  }();
  return frames;
}

void Report(benchmark::State& state, double seconds) {
  if (seconds <= 0.0) {
    state.SkipWithError("the game did not run its road");
    return;
  }
  for (auto _ : state) state.SetIterationTime(seconds);
}

void BM_OfficeFrame(benchmark::State& s) {
  Report(s, Frames().office);
  if (Frames().idleOfficePeakMiB > 0.0) s.counters["idle_peak_MiB"] = Frames().idleOfficePeakMiB;
}
void BM_OfficeFrameNoCharacters(benchmark::State& s) { Report(s, Frames().officeNoCharacters); }
void BM_OfficeFrameNoShortcuts(benchmark::State& s) { Report(s, Frames().officeReference); }
void BM_RootMenuFrame(benchmark::State& s) { Report(s, Frames().rootMenu); }

// The anchor: one full-screen opaque textured quad, cleared, drawn and waited for.
void BM_OpaqueQuadDirectGL(benchmark::State& state) {
  benchgl::Direct direct;
  if (!direct.Open(false)) {
    state.SkipWithError("no headless GL device");
    return;
  }
  const float w = float(benchgl::kWidth) - 0.5f, h = float(benchgl::kHeight) - 0.5f;
  const benchgl::Vertex a{-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0}, b{w, -0.5f, 0.5f, 1, 0xFFFFFFFF, 1, 0},
      c{w, h, 0.5f, 1, 0xFFFFFFFF, 1, 1}, d{-0.5f, h, 0.5f, 1, 0xFFFFFFFF, 0, 1};
  const std::vector<benchgl::Vertex> quad = {a, b, c, a, c, d};
  direct.Frame(quad, 1);
  std::vector<double> seconds;
  for (int i = 0; i < kTurns * kRun * 3; ++i) {
    const double start = benchcpu::ProcessSeconds();
    direct.Frame(quad, 1);
    seconds.push_back(benchcpu::ProcessSeconds() - start);
  }
  Report(state, FastestRun(seconds));
}

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  for (const auto& [name, run] : {std::pair{"BM_OfficeFrame", &BM_OfficeFrame},
                                  {"BM_OfficeFrameNoCharacters", &BM_OfficeFrameNoCharacters},
                                  {"BM_OfficeFrameNoShortcuts", &BM_OfficeFrameNoShortcuts},
                                  {"BM_RootMenuFrame", &BM_RootMenuFrame},
                                  {"BM_OpaqueQuadDirectGL", &BM_OpaqueQuadDirectGL}})
    benchcpu::SelfTimedRow(name, run)->Iterations(1)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchgl::cl_FrameTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double office = reporter.Seconds("BM_OfficeFrame"), bare = reporter.Seconds("BM_OfficeFrameNoCharacters");
  const double whole = reporter.Seconds("BM_OfficeFrameNoShortcuts"), menu = reporter.Seconds("BM_RootMenuFrame");
  const double quad = reporter.Seconds("BM_OpaqueQuadDirectGL");
  std::printf("\n");
  if (office > 0.0 && quad > 0.0 && bare > 0.0) {
    const double characters = std::max(office - bare, 0.0);
    std::printf("ratio Office / (quad %.2f ms + characters %.2f ms)  %.2f  (goal 1.5)\n", quad * 1e3,
                characters * 1e3, office / (quad + characters));
  }
  if (office > 0.0 && menu > 0.0) std::printf("ratio Office / root menu                  %.2f  (goal 1.2)\n", office / menu);
  if (office > 0.0 && whole > 0.0) std::printf("ratio Office with every tile whole / as drawn  %.2f\n", whole / office);
  benchmark::Shutdown();
  return reporter.ExitStatus();
}
