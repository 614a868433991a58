// The module through ENTRYPOINT, driven by the plughost library in this
// process: FilterFile, whole opens of the three palette forms and a whole
// save of a 16 x 16 image. Each has a baseline (baselines.h) and a replay of
// the very system calls the POSIX layer makes for the module with nothing
// around them ("same_calls"), measured in the same run; ratio_reporter.h
// prints the ratios. Counters come from one counted run of each operation.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/baselines.h"
#include "bench/call_counts.h"
#include "bench/heap_counter.h"
#include "bench/ratio_reporter.h"
#include "bench/sample_files.h"
#include "platform/posix/posix_test_hooks.h"
#include "plughost/files/file_refs.h"
#include "plughost/host/host.h"

namespace {

struct Samples {
  std::string dir;
  std::vector<std::string> paths;
  int palette24 = -1, palette12 = -1, headerless = -1, saveTarget = -1;
  plughost::Image image;
};

Samples samples;

bool MakeSamples() {
  char dir[] = "/tmp/zentrow-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) return false;
  samples.dir = dir;
  auto place = [](const char* name, const std::vector<uint8_t>& bytes) {
    const std::string path = samples.dir + "/" + name;
    samples.paths.push_back(path);
    return bench::WriteFileBytes(path, bytes) ? plughost::OpenForReading(path) : -1;
  };
  samples.palette24 = place("palette24.kcf", bench::Palette24(1));
  samples.palette12 = place("palette12.kcf", bench::Palette12(1));
  samples.headerless = place("headerless.kcf", bench::PaletteHeaderless(1));
  samples.paths.push_back(samples.dir + "/saved.kcf");
  samples.saveTarget = plughost::CreateForWriting(samples.paths.back());
  samples.image = plughost::Image::Blank(16, 16, 3);
  samples.image.pixels = bench::Image16(1);
  return samples.palette24 >= 0 && samples.palette12 >= 0 && samples.headerless >= 0 &&
         samples.saveTarget >= 0;
}

void RemoveSamples() {
  for (int fd : {samples.palette24, samples.palette12, samples.headerless, samples.saveTarget}) {
    plughost::CloseFile(fd);
  }
  for (const std::string& path : samples.paths) std::remove(path.c_str());
  rmdir(samples.dir.c_str());
}

using Operation = std::function<int16_t(plughost::Host&)>;

// One run of the operation with everything counted, on a host of its own,
// so that the timed runs carry no counting.
bool CountOnce(benchmark::State& state, const Operation& operation) {
  posix_hooks::ResetCounters();
  HeapCounterReset();
  int16_t result = 0;
  bench::HostCallCounts calls;
  {
    plughost::Host host(bench::CountingEntry());
    bench::CountingSuites counting(host);
    result = operation(host);
    calls = bench::CountingSuites::Counts();
  }
  const posix_hooks::Counters& c = posix_hooks::GetCounters();
  auto set = [&state](const char* key, int64_t value) {
    state.counters[key] = benchmark::Counter(static_cast<double>(value));
  };
  set("reads", c.reads);
  set("writes", c.writes);
  set("seeks", c.seeks);
  set("system_calls", c.systemCalls);
  set("bytes_read", c.bytesRead);
  set("bytes_written", c.bytesWritten);
  set("global_allocs", c.globalAllocs);
  set("heap_callocs", c.heapCallocs);
  set("handle_calls", calls.handle);
  set("buffer_calls", calls.buffer);
  set("other_host_calls", calls.resource + calls.descriptor + calls.advance + calls.progress);
  set("heap_module", HeapAllocations(kHeapZoneModule));
  set("heap_host", HeapAllocations(kHeapZoneDriver) + HeapAllocations(kHeapZoneCallback));
  if (result != 0) state.SkipWithError(("the module answered " + std::to_string(result)).c_str());
  return result == 0;
}

// A fresh host for every operation, as a host does for every file it is given.
void RunModule(benchmark::State& state, const Operation& operation) {
  if (!CountOnce(state, operation)) return;
  for (auto _ : state) {
    plughost::Host host(ENTRYPOINT);
    const int16_t result = operation(host);
    if (result != 0) {
      state.SkipWithError("the module answered an error");
      break;
    }
  }
}

void SetBaselineCounters(benchmark::State& state, int reads, int writes, int bytes) {
  state.counters["reads"] = reads;
  state.counters["writes"] = writes;
  state.counters["seeks"] = 0;
  state.counters["system_calls"] = reads + writes;
  state.counters["bytes_read"] = reads != 0 ? bytes : 0;
  state.counters["bytes_written"] = writes != 0 ? bytes : 0;
}

void RunBaseline(benchmark::State& state, const std::function<bool()>& operation) {
  for (auto _ : state) {
    if (!operation()) {
      state.SkipWithError("the baseline failed");
      break;
    }
  }
}

// The system calls the POSIX layer makes for the module, replayed with
// nothing else: seeks to a place, seeks that ask where the file stands,
// reads of up to `bytes` (as many as the file still holds) and writes.
struct Step {
  enum Kind { kSeekTo, kWhere, kRead, kWrite } kind;
  int bytes;
  int times;
};

bool Replay(int fd, const Step& step, uint8_t* bytes) {
  const auto n = static_cast<size_t>(step.bytes);
  switch (step.kind) {
    case Step::kSeekTo: return lseek(fd, step.bytes, SEEK_SET) == step.bytes;
    case Step::kWhere: return lseek(fd, 0, SEEK_CUR) >= 0;
    case Step::kRead: return read(fd, bytes, n) >= 0;
    case Step::kWrite: return write(fd, bytes, n) == step.bytes;
  }
  return false;
}

void RunSameCalls(benchmark::State& state, int fd, const std::vector<Step>& steps) {
  static uint8_t bytes[4096] = {};
  for (auto _ : state) {
    for (const Step& step : steps) {
      for (int i = 0; i < step.times; ++i) {
        if (!Replay(fd, step, bytes)) state.SkipWithError("a system call failed");
      }
    }
    benchmark::DoNotOptimize(bytes);
  }
}

uint8_t image[bench::kImageBytes];

void Register(const std::string& name, const Operation& module, const std::function<bool()>& baseline,
              int baselineReads, int baselineWrites, int baselineBytes, int fd,
              const std::vector<Step>& calls) {
  benchmark::RegisterBenchmark((name + "/module").c_str(), [module](benchmark::State& state) {
    RunModule(state, module);
  });
  benchmark::RegisterBenchmark((name + "/baseline").c_str(), [=](benchmark::State& state) {
    SetBaselineCounters(state, baselineReads, baselineWrites, baselineBytes);
    RunBaseline(state, baseline);
  });
  benchmark::RegisterBenchmark((name + "/same_calls").c_str(), [=](benchmark::State& state) {
    RunSameCalls(state, fd, calls);
  });
}

void RegisterAll() {
  using S = Step;
  // The layer reads a page ahead within a call and, when the call ends short
  // of what it fetched, asks where the file stands and puts it back.
  const std::vector<Step> headed = {{S::kSeekTo, 0, 1},  {S::kRead, 4096, 1}, {S::kWhere, 0, 1},
                                    {S::kSeekTo, 32, 1}, {S::kWhere, 0, 1},  {S::kRead, 4096, 1}};
  Register("FilterFile", [](plughost::Host& h) { return h.Filter(samples.palette24); },
           [] { return bench::BaselineFilter(samples.palette24); }, 1, 0, 32, samples.palette24,
           {{S::kSeekTo, 0, 1}, {S::kRead, 4096, 1}, {S::kWhere, 0, 1}, {S::kSeekTo, 32, 1}});
  Register("Open24Bit", [](plughost::Host& h) { return h.Open(samples.palette24); },
           [] { return bench::BaselineOpen24(samples.palette24, image); }, 1, 0, 800,
           samples.palette24, headed);
  Register("Open12Bit", [](plughost::Host& h) { return h.Open(samples.palette12); },
           [] { return bench::BaselineOpen12(samples.palette12, image); }, 1, 0, 352,
           samples.palette12, headed);
  Register("OpenHeaderless", [](plughost::Host& h) { return h.Open(samples.headerless); },
           [] { return bench::BaselineOpenHeaderless(samples.headerless, image); }, 1, 0, 320,
           samples.headerless,
           {{S::kSeekTo, 0, 1}, {S::kRead, 4096, 1}, {S::kSeekTo, 0, 1}, {S::kWhere, 0, 1},
            {S::kRead, 4096, 1}});
  Register("Save16x16", [](plughost::Host& h) { return h.Save(samples.saveTarget, samples.image); },
           [] { return bench::BaselineSave(samples.saveTarget, samples.image.pixels.data()); }, 0,
           1, 800, samples.saveTarget, {{S::kSeekTo, 0, 1}, {S::kWrite, 32, 1}, {S::kWrite, 48, 16}});
  // What the host alone costs per file: made and torn down, no call made.
  benchmark::RegisterBenchmark("HostSetup/reference", [](benchmark::State& state) {
    for (auto _ : state) {
      plughost::Host host(ENTRYPOINT);
      benchmark::DoNotOptimize(&host);
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  // Defaults for noisy machines; any of them can be given again to override.
  std::vector<std::string> defaults = {"--benchmark_repetitions=5",
                                       "--benchmark_enable_random_interleaving=true",
                                       "--benchmark_report_aggregates_only=true",
                                       "--benchmark_min_time=0.2"};
  std::vector<char*> args = {argv[0]};
  for (std::string& d : defaults) args.push_back(&d[0]);
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;
  if (!MakeSamples()) {
    std::fprintf(stderr, "cannot write the sample palettes\n");
    return 1;
  }
  RegisterAll();
  const bool terminal = isatty(fileno(stdout)) != 0;
  bench::RatioReporter reporter(
      {"FilterFile", "Open24Bit", "Open12Bit", "OpenHeaderless", "Save16x16"},
      terminal ? benchmark::ConsoleReporter::OO_Color : benchmark::ConsoleReporter::OO_None);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  RemoveSamples();
  return 0;
}
