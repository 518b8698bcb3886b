// The installer's extraction run, in its window and unattended (`install --target`),
// against `aceextract x` on the same archive set of more than 200 MiB in several
// volumes, in one run: wall time of each (all as child processes, so that each
// starts cold and its peak memory can be read), their ratios, the run's peak
// resident memory, and the share of the unattended install that the walk over the
// set's headers before the first write takes.
//
//   run_install_bench [--work DIR] [benchmark flags]
//
// The run presents its window on Qt's offscreen platform once per data piece, with
// the refresh wait active.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ace_writer.h"
#include "bench_support.h"
#include "unace.h"
#include "message_boxes.h"
#include "unit1.h"
#include "unit1_probe.h"

namespace fs = std::filesystem;

namespace {

// 300 MiB of payload that packs into a set of more than 200 MiB (two thirds of
// every file is noise, as in already-compressed media), cut into 24 MiB volumes.
constexpr int kFiles = 10;
constexpr std::size_t kFileBytes = 30u << 20;
constexpr std::uint64_t kVolumeBytes = 24u << 20;

fs::path gWork = fs::temp_directory_path() / "run-install-bench";
std::string gSelf;

// Text-like data, and noise in long stretches: one third compresses about as well as
// documentation, two thirds not at all.
std::vector<std::uint8_t> Payload(int seed) {
  static const char* words[] = {"install", "release", "volume", "archive", "the", "of", "a", "folder", "data",
                                "screen", "progress", "entry", "window", "picture", "music", "and", "to", "is"};
  std::mt19937 rng{std::uint32_t(seed)};
  std::vector<std::uint8_t> out;
  out.reserve(kFileBytes);
  while (out.size() < kFileBytes) {
    const char* w = words[rng() % (sizeof words / sizeof *words)];
    out.insert(out.end(), w, w + std::strlen(w));
    out.push_back(rng() % 13 == 0 ? '\n' : ' ');
    if (rng() % 97 == 0)
      for (int i = 0; i < 16; ++i) out.push_back(std::uint8_t(rng()));
    if (out.size() % (3u << 20) < 8)  // after each 1 MiB of text, 2 MiB of noise
      for (int i = 0; i < (2 << 20); ++i) out.push_back(std::uint8_t(rng() >> 24));
  }
  out.resize(kFileBytes);
  return out;
}

fs::path Release() { return gWork / "release"; }

void MakeRelease() {
  const fs::path stamp = Release() / ".complete";
  if (fs::exists(stamp)) return;
  fs::remove_all(Release());
  fs::create_directories(Release());
  ace::WriterOptions options;
  options.Level = 1;
  options.VolumeSize = kVolumeBytes;
  ace::Writer writer(Release() / "big.ace", options);
  for (int i = 0; i < kFiles; ++i) {
    const auto data = Payload(i);
    writer.AddBytes("data\\part" + std::to_string(i) + ".txt", data, 0x5A8C6B2E, 0x20);
  }
  const auto volumes = writer.Finish();
  std::uintmax_t setBytes = 0;
  for (const fs::path& v : volumes) setBytes += fs::file_size(v);
  std::fprintf(stderr, "archive set: %zu volumes, %.1f MiB (payload %.1f MiB)\n", volumes.size(),
               double(setBytes) / (1 << 20), double(kFiles) * double(kFileBytes) / (1 << 20));
  fs::copy_file(DEMO_SHEET_PATH, Release() / "install.dat", fs::copy_options::overwrite_existing);
  std::ofstream(Release() / "install.ini") << "[FLAGS]\nSOURCE=big.ace\nNUMFILES=" << volumes.size() << "\n";
  std::ofstream(stamp) << volumes.size() << "\n";
}

// The installer beside install.ini, as a release carries it; copied afresh so that
// each build is measured.
void CopyInstaller() {
  fs::copy_file(INSTALLER_PATH, Release() / "install", fs::copy_options::overwrite_existing);
}

struct ChildResult {
  double Seconds = 0;
  long PeakKiB = 0;
  int Status = -1;
};

ChildResult RunChild(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  ChildResult r;
  r.Seconds = bench::SecondsSince(start);
  r.PeakKiB = usage.ru_maxrss;
  r.Status = status;
  return r;
}

std::vector<double> gExtractSeconds, gInstallSeconds, gUnattendedSeconds, gScanSeconds;
long gInstallPeakKiB = 0;

ChildResult Extract(const fs::path& dest) {
  fs::remove_all(dest);
  fs::create_directories(dest);
  ::sync();  // the previous run's written data must not be flushed during this one
  return RunChild({ACEEXTRACT_PATH, "x", (Release() / "big.ace").string(), dest.string() + "/"});
}

// The child reports how long RunInstall itself took (without the program's start-up:
// decoding the artwork, making the window), which is what is compared.
ChildResult Install(const fs::path& dest) {
  fs::remove_all(dest);
  ::sync();
  const fs::path timing = gWork / "run-seconds";
  fs::remove(timing);
  ChildResult r = RunChild({gSelf, "--install", Release().string(), dest.string(), timing.string()});
  std::ifstream in(timing);
  double seconds = 0;
  if (in >> seconds) r.Seconds = seconds;
  else r.Status = -1;
  return r;
}

// The whole program, start-up included, as a script would run it.
ChildResult Unattended(const fs::path& dest) {
  fs::remove_all(dest);
  ::sync();
  return RunChild({(Release() / "install").string(), "--target", dest.string()});
}

// The header walk alone, as the run makes it before its first write.
double ScanSeconds() {
  const auto start = std::chrono::steady_clock::now();
  TACESetSummary summary;
  if (ACEScanArchive((Release() / "big.ace").c_str(), &summary) != 0) return -1;
  return bench::SecondsSince(start);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Each iteration runs both, in alternating order, on the same set; the reported time
// is the run's, and the ratio is taken over the medians.
void BM_RunInstallVsAceExtract(benchmark::State& state) {
  MakeRelease();
  CopyInstaller();
  int round = 0;
  for (auto _ : state) {
    ChildResult extract, install, unattended;
    if (round++ % 2 == 0) {
      extract = Extract(gWork / "dest-aceextract");
      unattended = Unattended(gWork / "dest-unattended");
      install = Install(gWork / "dest-install");
    } else {
      install = Install(gWork / "dest-install");
      unattended = Unattended(gWork / "dest-unattended");
      extract = Extract(gWork / "dest-aceextract");
    }
    if (extract.Status != 0 || install.Status != 0 || unattended.Status != 0) state.SkipWithError("a run failed");
    gExtractSeconds.push_back(extract.Seconds);
    gInstallSeconds.push_back(install.Seconds);
    gUnattendedSeconds.push_back(unattended.Seconds);
    gScanSeconds.push_back(ScanSeconds());
    gInstallPeakKiB = std::max(gInstallPeakKiB, install.PeakKiB);
    state.SetIterationTime(install.Seconds);
  }
  fs::remove_all(gWork / "dest-aceextract");
  fs::remove_all(gWork / "dest-install");
  fs::remove_all(gWork / "dest-unattended");
  state.counters["aceextract_s"] = Median(gExtractSeconds);
  state.counters["ratio"] = Median(gInstallSeconds) / Median(gExtractSeconds);
  state.counters["peak_MiB"] = double(gInstallPeakKiB) / 1024.0;
  state.SetBytesProcessed(std::int64_t(state.iterations()) * kFiles * std::int64_t(kFileBytes));
}

// The child: the installer's main window in a release folder, one extraction run.
int InstallChild(const std::string& release, const std::string& dest, const std::string& timing) {
  int argc = 1;
  char name[] = "install";
  char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int boxes = 0;
  SetMessageBoxHook([&](const TMessageBoxRequest& box) {
    std::fprintf(stderr, "%s: %s\n", box.Caption.c_str(), box.Text.c_str());
    ++boxes;
  });
  TForm1Options options;
  options.ExeDir = release;
  options.ShellOpen = [](const std::string&) {};
  TForm1 form(options);
  if (form.StartupFailed()) return 2;
  form.show();
  TForm1Probe(form).DXTimer1.SetEnabled(false);
  form.TargetDir() = dest;
  QCoreApplication::processEvents();
  const auto start = std::chrono::steady_clock::now();
  form.RunInstall();
  std::ofstream(timing) << bench::SecondsSince(start) << "\n";
  return boxes == 0 ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  gSelf = fs::canonical("/proc/self/exe").string();
  if (argc == 5 && std::string(argv[1]) == "--install") return InstallChild(argv[2], argv[3], argv[4]);
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--work") gWork = argv[i + 1];
  benchmark::RegisterBenchmark("RunInstallVsAceExtract", BM_RunInstallVsAceExtract)
      ->UseManualTime()
      ->Iterations(4)
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double install = Median(gInstallSeconds), extract = Median(gExtractSeconds);
  if (install > 0 && extract > 0)
    std::printf("RunInstall / aceextract x wall time (medians of %zu alternating rounds): %.3f (%.2f s vs %.2f s); "
                "run peak resident memory %.1f MiB\n",
                gInstallSeconds.size(), install / extract, install, extract, double(gInstallPeakKiB) / 1024.0);
  const double unattended = Median(gUnattendedSeconds), scan = Median(gScanSeconds);
  if (unattended > 0 && extract > 0)
    std::printf("install --target / aceextract x wall time (medians, start-up included): %.3f (%.2f s vs %.2f s); "
                "header walk %.1f ms = %.2f%% of the unattended install\n",
                unattended / extract, unattended, extract, scan * 1000.0, 100.0 * scan / unattended);
  return 0;
}
