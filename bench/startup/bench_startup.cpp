// Start-up costs. StartUpToRootMenu: the program's entry routine on a copy of the demo data,
// headless with the real clock and the intro movie off, from the call to the first frame drawn
// in the root menu (the caches the engine builds on first use are made by a warm-up run first). LoadingSlices: 500
// loading tasks of 1 to 5 ms each through the loading screen's time slices; reports the longest
// slice (it may pass 20 ms by its last task only) and the overhead over the tasks' own time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "../BenchRatios.h"
#include "../DemoRun.h"
#include "base/system.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/frame/LoadingScreen.h"

namespace {

using Clock = std::chrono::steady_clock;

void Quiet(const char*) {}

// A user folder with the intro movie off.
const std::filesystem::path& UserFolder() {
  static const std::filesystem::path folder =
      benchdemo::UserFolder("user", {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""}});
  return folder;
}

// One run to the first root-menu frame; false when it was not reached.
bool RunToRootMenu() { return benchdemo::RunRoad(UserFolder(), "wait state RootMenu 1000\ncheck stop\n", {}, false); }

void StartUpToRootMenu(benchmark::State& state) {
  base::sys::SetDebuggerOutput(Quiet);
  base::RegisterMeshResourceType();
  if (!RunToRootMenu()) state.SkipWithError("the root menu was not reached");
  for (auto _ : state)
    if (!RunToRootMenu()) {
      state.SkipWithError("the root menu was not reached");
      break;
    }
  base::sys::SetDebuggerOutput(nullptr);
}
BENCHMARK(StartUpToRootMenu)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// What the tasks took by the wall clock: on a loaded machine a task may be held up past its
// length, and that is not the scheduler's overhead.
struct st_TaskTimes {
  double sum = 0.0;
  double last = 0.0;
};

// Spins for its time: sleeping would measure the scheduler of the machine, not ours.
class cl_BusyTask : public base::i_Task {
 public:
  cl_BusyTask(double ms, st_TaskTimes* times) : m_ms(ms), m_times(times) {}
  void Run() override {
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double, std::milli>(m_ms);
    while (Clock::now() < end) {
    }
    m_times->last = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    m_times->sum += m_times->last;
  }

 private:
  double m_ms;
  st_TaskTimes* m_times;
};

class cl_DoneEvent : public i_Event {
 public:
  explicit cl_DoneEvent(bool* done) : m_done(done) {}
  void Execute() override { *m_done = true; }

 private:
  bool* m_done;
};

void LoadingSlices(benchmark::State& state) {
  base::sys::SetDebuggerOutput(Quiet);
  constexpr int kTasks = 500;
  std::mt19937 random(20261207u);
  std::uniform_real_distribution<double> length(1.0, 5.0);
  std::vector<double> lengths(kTasks);
  for (double& ms : lengths) ms = length(random);
  double worstSlice = 0.0, worstOver = 0.0, overhead = 0.0;
  for (auto _ : state) {
    cl_LoadingScreen screen;
    bool done = false;
    st_TaskTimes times;
    screen.SetCompletionTask(new cl_EventTask(new cl_DoneEvent(&done)));
    for (double ms : lengths) screen.AddTask(new cl_BusyTask(ms, &times));
    const auto t0 = Clock::now();
    int slices = 0;
    while (!done) {
      const auto s0 = Clock::now();
      screen.Update(0.0f, 0.0f);
      const double slice = std::chrono::duration<double, std::milli>(Clock::now() - s0).count();
      worstSlice = std::max(worstSlice, slice);
      worstOver = std::max(worstOver, slice - times.last - 20.0);
      ++slices;
    }
    const double total = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    overhead = std::max(overhead, (total - times.sum) / times.sum);
    state.counters["slices"] = slices;
  }
  state.counters["longest_slice_ms"] = worstSlice;
  state.counters["past_20ms_and_last_task_ms"] = worstOver;  // the clock's 1 ms steps at most
  state.counters["overhead_pct"] = overhead * 100.0;
  base::sys::SetDebuggerOutput(nullptr);
}
BENCHMARK(LoadingSlices)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return benchratios::RunReportingFailures(argc, argv); }
