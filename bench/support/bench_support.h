// What the benchmarks share: a console reporter that keeps every run's times, so
// that main() can print ratios of things measured side by side in the same run,
// and the small helpers around it.
#pragma once

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

// Per iteration, in the benchmark's time unit.
struct TRunTimes {
  double Cpu = 0;
  double Wall = 0;
};

// Prints as the console reporter does and keeps the times of every run that did
// not fail, under its function name ("BM_Draw") and its full name ("BM_Draw/16"):
// each aggregate's under its statistic ("median", "min"...), a single run's under
// "". Of several runs under one name (repetitions, or the arguments of one
// function) the last one is kept.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      auto& byName = FTimes[run.run_type == Run::RT_Aggregate ? run.aggregate_name : ""];
      const TRunTimes times{run.GetAdjustedCPUTime(), run.GetAdjustedRealTime()};
      byName[run.run_name.function_name] = times;
      byName[run.run_name.str()] = times;
    }
  }

  // The times of `statistic` over name's repetitions or, when there is none, of
  // name's single run; nullptr when neither was reported.
  const TRunTimes* Find(const std::string& name, const std::string& statistic = "") const {
    for (const std::string& s : {statistic, std::string()}) {
      const auto byName = FTimes.find(s);
      if (byName == FTimes.end()) continue;
      if (const auto it = byName->second.find(name); it != byName->second.end()) return &it->second;
    }
    return nullptr;
  }

 private:
  std::map<std::string, std::map<std::string, TRunTimes>> FTimes;  // by statistic, then by name
};

// A statistic for ComputeStatistics: the fastest repetition. Other work on a
// shared machine only ever adds time, so the minimum settles sooner than the median.
inline double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// benchmark::Initialize with `defaults` ahead of the command line's own flags, so
// that a flag given on the command line still wins: the later one is kept.
inline void InitializeWithDefaults(int argc, char** argv, std::initializer_list<const char*> defaults) {
  std::vector<std::string> flags(defaults.begin(), defaults.end());
  std::vector<char*> args{argv[0]};
  for (std::string& f : flags) args.push_back(f.data());
  args.insert(args.end(), argv + 1, argv + argc);
  int count = int(args.size());
  benchmark::Initialize(&count, args.data());
}

// A new, empty folder under the system's temporary folder; the caller removes it.
inline std::filesystem::path MakeTempFolder(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder like " + pattern);
  return pattern;
}

// The whole file, as std::string or as std::vector<std::uint8_t>; empty if it
// cannot be read.
template <class Bytes = std::string>
Bytes ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace bench
