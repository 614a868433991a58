// The console report, one line per benchmark (the median where there are
// repetitions), followed by what the run is for: each operation's time as a
// ratio to its baseline measured in the same run, next to the time of the
// same system calls alone, and the calls each operation made. Benchmarks
// are paired by name: "NAME/module", "NAME/baseline", "NAME/same_calls".
// The full data, counters included, goes to --benchmark_out as usual.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // `order`: the operations' names, in the order the tables list them.
  RatioReporter(std::vector<std::string> order, OutputOptions options);
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  struct Measured {
    std::string name;  // before the last '/'
    std::string role;  // after it: "module", "baseline" or another
    std::vector<double> times;  // ns per iteration, one per repetition
    double median = -1;         // from the aggregate, when reported
    benchmark::UserCounters counters;
  };
  Measured& Find(const std::string& fullName);
  const Measured* Get(const std::string& name, const std::string& role) const;
  void PrintRatios(std::ostream& out);
  void PrintCalls(std::ostream& out);

  std::vector<std::string> order_;
  std::vector<Measured> measured_;
};

}  // namespace bench
