// Prints the usual benchmark table and remembers each benchmark's wall time
// per iteration and its user counters, so a program can print ratios against
// a baseline measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vesk::bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      seconds_[run.run_name.function_name] =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      for (const auto& [counter, value] : run.counters)
        counters_[{run.run_name.function_name, counter}] = value.value;
    }
  }

  // Seconds per iteration of the benchmark function of that name; 0 if it did not run.
  double Seconds(const std::string& name) const {
    auto it = seconds_.find(name);
    return it == seconds_.end() ? 0.0 : it->second;
  }

  // A user counter of the benchmark function of that name, as reported; 0 if absent.
  double Counter(const std::string& name, const std::string& counter) const {
    auto it = counters_.find({name, counter});
    return it == counters_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> seconds_;
  std::map<std::pair<std::string, std::string>, double> counters_;
};

}  // namespace vesk::bench
