// What the drawing benchmarks measure, and their anchors alike: the CPU time of the whole process.
// The software rasteriser draws on threads of its own, which a thread's CPU clock leaves out, and
// a wall clock counts whatever else the machine does. The rasteriser runs on one thread (unless
// LP_NUM_THREADS says otherwise), so a figure does not depend on how many cores are free.
//
// Rows timed by Google Benchmark add ->MeasureProcessCPUTime() (their names end "/process_time");
// rows that time themselves pass ProcessSeconds() differences to SetIterationTime and are named
// "…/process_cpu".
#pragma once

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <string>

namespace benchcpu {

// Before the first graphics device: one rasteriser thread, unless the environment chose; the
// count goes into the program's header lines.
inline void OneRasteriserThread() {
  setenv("LP_NUM_THREADS", "1", 0);
  benchmark::AddCustomContext("rasteriser threads (LP_NUM_THREADS)", getenv("LP_NUM_THREADS"));
  benchmark::AddCustomContext("drawing rows measure", "process CPU time, all threads");
}

// Seconds of CPU the process has used so far, all its threads.
inline double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Registers a row that times itself with ProcessSeconds differences (SetIterationTime); its name
// ends "/process_cpu".
inline benchmark::internal::Benchmark* SelfTimedRow(const char* name, void (*run)(benchmark::State&)) {
  return benchmark::RegisterBenchmark((std::string(name) + "/process_cpu").c_str(), run)->UseManualTime();
}

// A row's seconds per iteration as it measured them: the time it set itself, else its CPU time
// (the process's where it asked for that).
inline double RowSeconds(const benchmark::BenchmarkReporter::Run& r) {
  const bool manual = r.run_name.time_type.find("manual_time") != std::string::npos;
  return (manual ? r.real_accumulated_time : r.cpu_accumulated_time) / static_cast<double>(r.iterations);
}

// A row's name without what it measures ("/process_time", "/real_time", "/manual_time"), as the
// ratio tables name it.
inline std::string RowKey(const benchmark::BenchmarkReporter::Run& r) {
  std::string name = r.benchmark_name();
  for (const char* suffix : {"/process_time", "/real_time", "/manual_time"})
    for (size_t at = name.find(suffix); at != std::string::npos; at = name.find(suffix))
      name.erase(at, std::string(suffix).size());
  return name;
}

}  // namespace benchcpu
