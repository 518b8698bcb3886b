// CPU share of background music: process CPU time over wall time while the demo tune
// plays, next to the same measurement with the audio device open but silent, for
// SDL's dummy and disk drivers (neither needs a sound server).
//
//   music_cpu_bench [--seconds=N] [benchmark flags]
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "bench_support.h"
#include "media_player.h"
#include "tune_composer.h"

namespace {

namespace fs = std::filesystem;

double g_seconds = 10.0;
fs::path g_dir;
std::map<std::string, double> g_share;  // "driver/mode" -> CPU share

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

void Measure(benchmark::State& state, const std::string& driver, bool playing) {
  ::setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
  ::setenv("SDL_DISKAUDIOFILE", (g_dir / ("out-" + driver + ".raw")).c_str(), 1);
  TMediaPlayer player;
  player.FileName = (g_dir / "tune.mid").string();
  try {
    player.Open();
  } catch (const EMCIDeviceError& e) {
    state.SkipWithError(e.what());
    for (auto _ : state) {
    }
    return;
  }
  if (playing) player.Play();
  // Let the synthesiser settle into the tune before measuring.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  double share = 0;
  for (auto _ : state) {
    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    const auto until = wall0 + std::chrono::duration<double>(g_seconds);
    while (std::chrono::steady_clock::now() < until) {
      player.PumpNotifications();  // as the GUI thread's event loop would
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double wall = bench::SecondsSince(wall0);
    share = (ProcessCpuSeconds() - cpu0) / wall;
  }
  if (playing && !player.IsPlaying()) state.SkipWithError("the tune ended before the measurement did");
  state.counters["cpu_share_pct"] = share * 100.0;
  g_share[driver + (playing ? "/playing" : "/idle")] = share;
}

}  // namespace

int main(int argc, char** argv) {
  // Our own flag first; the rest goes to Google Benchmark.
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--seconds=", 10) == 0) {
      g_seconds = std::atof(argv[i] + 10);
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  if (g_seconds <= 0) g_seconds = 10.0;

  g_dir = bench::MakeTempFolder("music-bench");
  if (!midi::ComposeTune({7, 100}).WriteFile((g_dir / "tune.mid").string())) {
    std::fprintf(stderr, "cannot write the tune\n");
    return 1;
  }

  for (const char* driver : {"dummy", "disk"}) {
    for (bool playing : {false, true}) {
      const std::string name = std::string("MusicCpu/") + driver + (playing ? "/playing" : "/idle");
      benchmark::RegisterBenchmark(name.c_str(), [driver, playing](benchmark::State& s) {
        Measure(s, driver, playing);
      })->Iterations(1)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kSecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\nCPU share (process CPU time / wall time over %.0f s):\n", g_seconds);
  for (const char* driver : {"dummy", "disk"}) {
    const std::string d = driver;
    if (!g_share.count(d + "/playing")) continue;
    const double play = g_share[d + "/playing"];
    const double idle = g_share.count(d + "/idle") ? g_share[d + "/idle"] : 0.0;
    std::printf("  %-5s  playing %6.2f %%   device idle %6.2f %%   playing/idle %.1fx\n", driver, play * 100,
                idle * 100, idle > 0 ? play / idle : 0.0);
  }
  std::error_code ec;
  fs::remove_all(g_dir, ec);
  return 0;
}
