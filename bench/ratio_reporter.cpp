#include "bench/ratio_reporter.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <utility>

namespace bench {

namespace {

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double Nanoseconds(const benchmark::BenchmarkReporter::Run& run) {
  return run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
}

std::string Duration(double ns) {
  char text[32];
  if (ns < 0) {
    std::snprintf(text, sizeof text, "-");
  } else if (ns >= 1e6) {
    std::snprintf(text, sizeof text, "%.2f ms", ns / 1e6);
  } else if (ns >= 1e3) {
    std::snprintf(text, sizeof text, "%.2f us", ns / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.0f ns", ns);
  }
  return text;
}

std::string Ratio(double ours, double floor) {
  char text[32];
  if (ours < 0 || floor <= 0) return "-";
  std::snprintf(text, sizeof text, "%.1fx", ours / floor);
  return text;
}

std::string Number(const benchmark::UserCounters& counters, const char* key) {
  auto it = counters.find(key);
  if (it == counters.end()) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", it->second.value);
  return text;
}

}  // namespace

RatioReporter::RatioReporter(std::vector<std::string> order, OutputOptions options)
    : ConsoleReporter(options), order_(std::move(order)) {}

RatioReporter::Measured& RatioReporter::Find(const std::string& fullName) {
  const size_t slash = fullName.rfind('/');
  const std::string name = slash == std::string::npos ? fullName : fullName.substr(0, slash);
  const std::string role = slash == std::string::npos ? "" : fullName.substr(slash + 1);
  for (Measured& m : measured_) {
    if (m.name == name && m.role == role) return m;
  }
  Measured m;
  m.name = name;
  m.role = role;
  measured_.push_back(m);
  return measured_.back();
}

const RatioReporter::Measured* RatioReporter::Get(const std::string& name,
                                                  const std::string& role) const {
  for (const Measured& m : measured_) {
    if (m.name == name && m.role == role) return &m;
  }
  return nullptr;
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  std::vector<Run> shown;
  const bool aggregated = std::any_of(runs.begin(), runs.end(), [](const Run& r) {
    return r.run_type == Run::RT_Aggregate;
  });
  for (const Run& run : runs) {
    if (run.error_occurred) {
      shown.push_back(run);
      continue;
    }
    Measured& m = Find(run.run_name.function_name);
    if (run.run_type == Run::RT_Iteration) {
      m.times.push_back(Nanoseconds(run));
      if (m.counters.empty()) m.counters = run.counters;
    } else if (run.aggregate_name == "median") {
      m.median = Nanoseconds(run);
      m.counters = run.counters;
    }
    // The counters have tables of their own below.
    if (aggregated ? run.aggregate_name == "median" : run.run_type == Run::RT_Iteration) {
      shown.push_back(run);
      shown.back().counters.clear();
    }
  }
  if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
}

void RatioReporter::Finalize() {
  ConsoleReporter::Finalize();
  std::ostream& out = GetOutputStream();
  PrintRatios(out);
  PrintCalls(out);
}

void RatioReporter::PrintRatios(std::ostream& out) {
  auto time = [this](const std::string& name, const std::string& role) {
    const Measured* m = Get(name, role);
    if (m == nullptr) return -1.0;
    return m->median >= 0 ? m->median : Median(m->times);
  };
  out << "\nEach operation against its baseline, measured side by side in this run"
         " (median real time):\n";
  char line[200];
  std::snprintf(line, sizeof line, "%-16s %11s %11s %11s %9s %11s %13s\n", "operation",
                "module", "same calls", "baseline", "ratio", "calls/base", "module-calls");
  out << line;
  for (const std::string& name : order_) {
    const double ours = time(name, "module"), calls = time(name, "same_calls"),
                 floor = time(name, "baseline");
    if (ours < 0 && floor < 0) continue;
    std::snprintf(line, sizeof line, "%-16s %11s %11s %11s %9s %11s %13s\n", name.c_str(),
                  Duration(ours).c_str(), Duration(calls).c_str(), Duration(floor).c_str(),
                  Ratio(ours, floor).c_str(), Ratio(calls, floor).c_str(),
                  ours >= 0 && calls >= 0 ? Duration(std::max(0.0, ours - calls)).c_str() : "-");
    out << line;
  }
  for (const Measured& m : measured_) {
    if (m.role != "reference") continue;
    std::snprintf(line, sizeof line, "%-16s %11s   (reference: no baseline)\n", m.name.c_str(),
                  Duration(time(m.name, m.role)).c_str());
    out << line;
  }
  out << "module: the whole operation through ENTRYPOINT with a fresh host; same calls: the\n"
         "system calls the POSIX layer made for the module, replayed with nothing else;\n"
         "baseline: one read (write) call and the simplest decoding (encoding) loop.\n";
}

void RatioReporter::PrintCalls(std::ostream& out) {
  out << "\nCalls per operation (the module's through the POSIX layer and the host's suites;"
         " the baseline's as written):\n";
  static const char* const keys[] = {"reads", "writes", "seeks", "system_calls", "bytes_read",
                                     "bytes_written",
                                     "global_allocs", "heap_callocs", "handle_calls",
                                     "buffer_calls", "other_host_calls", "heap_module",
                                     "heap_host"};
  char line[64];
  std::snprintf(line, sizeof line, "%-25s", "operation");
  out << line;
  for (const char* key : keys) out << " " << key;
  out << "\n";
  for (const std::string& name : order_) {
    for (const char* role : {"module", "baseline"}) {
      const Measured* m = Get(name, role);
      if (m == nullptr || m->counters.empty()) continue;
      std::snprintf(line, sizeof line, "%-25s", (name + "/" + role).c_str());
      out << line;
      for (const char* key : keys) {
        std::snprintf(line, sizeof line, " %*s", static_cast<int>(std::string(key).size()),
                      Number(m->counters, key).c_str());
        out << line;
      }
      out << "\n";
    }
  }
  out << "reads, writes, seeks: the module's _lread, _lwrite and _llseek calls; system_calls:\n"
         "the read, write and lseek calls the POSIX layer made of the system for them.\n"
         "other_host_calls: resources, descriptors, advanceState and progress. heap_module:\n"
         "heap allocations made inside ENTRYPOINT; heap_host: those of the host, in its\n"
         "callbacks and around the calls (the host made and torn down once per operation).\n";
}

}  // namespace bench
