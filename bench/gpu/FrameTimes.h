// A console reporter that also keeps each benchmark's time per iteration as it measured it (in
// seconds, by name up to its first "/": the process's CPU time for the drawing rows, see
// ProcessCpu.h), so a benchmark program can print ratios at the end; failed rows as
// cl_FailureReporter keeps them.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "../BenchRatios.h"
#include "../ProcessCpu.h"

namespace benchgl {

class cl_FrameTimes : public benchratios::cl_FailureReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // With --benchmark_repetitions the fastest repetition counts (the least disturbed by other
    // work on the machine); the aggregate rows are passed over.
    for (const Run& r : runs)
      if (!r.error_occurred && r.iterations > 0 && r.run_type == Run::RT_Iteration) {
        std::string name = r.benchmark_name();
        const double seconds = benchcpu::RowSeconds(r);
        auto [it, added] = m_seconds.emplace(name.substr(0, name.find('/')), seconds);
        if (!added && seconds < it->second) it->second = seconds;
      }
    cl_FailureReporter::ReportRuns(runs);
  }
  // The seconds per iteration of a benchmark, or 0 when it did not run.
  double Seconds(const std::string& name) const {
    const auto it = m_seconds.find(name);
    return it == m_seconds.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> m_seconds;
};

}  // namespace benchgl
