// A benchmark main that prints, after the usual table, how our code compares with the library
// it is measured against: for each pair the anchor's time per iteration over ours, so above 1
// means ours is faster. Each row counts what it measured (its CPU time, the process's where it
// asked for that, or the time it set itself); pairs name rows without that suffix. With
// --benchmark_repetitions the fastest repetition of each counts (the least disturbed by other
// work on the machine). A row whose work failed (SkipWithError; its loop breaks there) has no
// time: its pair says so, and the program ends with exit status 1, naming it. Programs with a
// reporter of their own derive it from cl_FailureReporter, so they end the same way.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "ProcessCpu.h"

namespace benchratios {

struct st_Ratio {
  const char* label;
  const char* ours;    // benchmark names
  const char* anchor;
};

// The console table, and the rows whose work failed, each with its message: a benchmark
// program's reporter derives from it and its main ends with ExitStatus.
class cl_FailureReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (r.error_occurred) m_failed.emplace(benchcpu::RowKey(r), r.error_message);
  }
  // Whether the row (named without what it measures) failed.
  bool Failed(const std::string& row) const { return m_failed.count(row) > 0; }
  // Names each failed row ("ERROR: benchmark <row> failed: <message>"); the program's exit
  // status: 1 when a row failed, else 0.
  int ExitStatus() const {
    for (const auto& [row, message] : m_failed)
      std::printf("ERROR: benchmark %s failed: %s\n", row.c_str(), message.c_str());
    std::fflush(stdout);
    return m_failed.empty() ? 0 : 1;
  }

 private:
  std::map<std::string, std::string> m_failed;  // row: the message of its failure
};

class cl_RatioReporter : public cl_FailureReporter {
 public:
  explicit cl_RatioReporter(std::vector<st_Ratio> ratios) : m_ratios(std::move(ratios)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    cl_FailureReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred || r.iterations < 1) continue;
      const double seconds = benchcpu::RowSeconds(r);
      auto [it, added] = m_seconds.emplace(benchcpu::RowKey(r), seconds);
      if (!added && seconds < it->second) it->second = seconds;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (m_ratios.empty()) return;
    std::printf("\nRatios: the anchor's time over ours (above 1: ours is faster)\n");
    for (const st_Ratio& r : m_ratios) {
      if (Failed(r.ours) || Failed(r.anchor)) {
        std::printf("ratio %-44s not measured: %s failed\n", r.label, Failed(r.ours) ? r.ours : r.anchor);
        continue;
      }
      auto ours = m_seconds.find(r.ours);
      auto anchor = m_seconds.find(r.anchor);
      if (ours == m_seconds.end() || anchor == m_seconds.end()) continue;  // filtered out
      std::printf("ratio %-44s %6.2f  (ours %.2f ms, anchor %.2f ms)\n", r.label, anchor->second / ours->second,
                  ours->second * 1e3, anchor->second * 1e3);
    }
    std::fflush(stdout);
  }

 private:
  std::vector<st_Ratio> m_ratios;
  std::map<std::string, double> m_seconds;
};

// The body of a benchmark program's main.
inline int RunWithRatios(int argc, char** argv, std::initializer_list<st_Ratio> ratios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  cl_RatioReporter reporter{std::vector<st_Ratio>(ratios)};
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return reporter.ExitStatus();
}

// The body of the main of a benchmark program without ratios.
inline int RunReportingFailures(int argc, char** argv) { return RunWithRatios(argc, argv, {}); }

}  // namespace benchratios
