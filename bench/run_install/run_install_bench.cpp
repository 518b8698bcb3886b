// The installer's extraction run against `aceextract x` on the same archive set of
// more than 200 MiB in several volumes, in one run: wall time of each (both as child
// processes, so that each starts cold and its peak memory can be read), their ratio,
// and the run's peak resident memory.
//
//   run_install_bench [--work DIR] [benchmark flags]
//
// The run presents its window on Qt's offscreen platform once per data piece, with
// the refresh wait active.
#include <benchmark/benchmark.h>

#include <QApplication>
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
#include "canvas_text.h"
#include "message_boxes.h"
#include "unit1.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 10;
constexpr std::size_t kFileBytes = 21u << 20;  // 210 MiB in all
constexpr std::uint64_t kVolumeBytes = 24u << 20;

fs::path gWork = fs::temp_directory_path() / "run-install-bench";
std::string gSelf;

// Text-like data of a few thousand words: compresses about as well as documentation.
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
      for (int i = 0; i < 16; ++i) out.push_back(std::uint8_t(rng()));  // some noise
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
  AceWriterOptions options;
  options.Level = 1;
  options.VolumeSize = kVolumeBytes;
  AceWriter writer(Release() / "big.ace", options);
  for (int i = 0; i < kFiles; ++i) {
    const auto data = Payload(i);
    writer.AddBytes("data\\part" + std::to_string(i) + ".txt", data, 0x5A8C6B2E, 0x20);
  }
  const auto volumes = writer.Finish();
  fs::copy_file(DEMO_SHEET_PATH, Release() / "install.dat", fs::copy_options::overwrite_existing);
  std::ofstream(Release() / "install.ini") << "[FLAGS]\nSOURCE=big.ace\nNUMFILES=" << volumes.size() << "\n";
  std::ofstream(stamp) << volumes.size() << "\n";
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
  r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.PeakKiB = usage.ru_maxrss;
  r.Status = status;
  return r;
}

double gExtractSeconds = 0, gInstallSeconds = 0;
long gInstallPeakKiB = 0;

void BM_AceExtract(benchmark::State& state) {
  MakeRelease();
  for (auto _ : state) {
    fs::remove_all(gWork / "dest-aceextract");
    fs::create_directories(gWork / "dest-aceextract");
    const ChildResult r = RunChild({ACEEXTRACT_PATH, "x", (Release() / "big.ace").string(),
                                    (gWork / "dest-aceextract").string() + "/"});
    if (r.Status != 0) state.SkipWithError("aceextract failed");
    state.SetIterationTime(r.Seconds);
    gExtractSeconds = r.Seconds;
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * kFiles * std::int64_t(kFileBytes));
}

void BM_RunInstall(benchmark::State& state) {
  MakeRelease();
  for (auto _ : state) {
    fs::remove_all(gWork / "dest-install");
    const ChildResult r = RunChild({gSelf, "--install", Release().string(), (gWork / "dest-install").string()});
    if (r.Status != 0) state.SkipWithError("the extraction run failed");
    state.SetIterationTime(r.Seconds);
    gInstallSeconds = r.Seconds;
    gInstallPeakKiB = r.PeakKiB;
  }
  state.counters["peak_MiB"] = double(gInstallPeakKiB) / 1024.0;
  if (gExtractSeconds > 0) state.counters["ratio_to_aceextract"] = gInstallSeconds / gExtractSeconds;
  state.SetBytesProcessed(std::int64_t(state.iterations()) * kFiles * std::int64_t(kFileBytes));
}

// The child: the installer's main window in a release folder, one extraction run.
int InstallChild(const std::string& release, const std::string& dest) {
  int argc = 1;
  char name[] = "install";
  char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallQtCanvasTextRenderer();
  int boxes = 0;
  SetMessageBoxHook([&](const TMessageBoxRequest& box) {
    std::fprintf(stderr, "%s: %s\n", box.Caption.c_str(), box.Text.c_str());
    ++boxes;
  });
  TForm1Options options;
  options.ExeDir = release;
  options.ShellOpen = [](const std::string&) {};
  TForm1 form(options);
  if (form.StartupFailed) return 2;
  form.show();
  form.DXTimer1.SetEnabled(false);
  form.TargetDir = dest;
  form.RunInstall();
  return boxes == 0 ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  gSelf = fs::canonical("/proc/self/exe").string();
  if (argc == 4 && std::string(argv[1]) == "--install") return InstallChild(argv[2], argv[3]);
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--work") gWork = argv[i + 1];
  benchmark::RegisterBenchmark("aceextract_x", BM_AceExtract)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("RunInstall", BM_RunInstall)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gExtractSeconds > 0 && gInstallSeconds > 0)
    std::printf("RunInstall / aceextract x wall time: %.3f (%.2f s vs %.2f s); run peak resident memory %.1f MiB\n",
                gInstallSeconds / gExtractSeconds, gInstallSeconds, gExtractSeconds, double(gInstallPeakKiB) / 1024.0);
  return 0;
}
