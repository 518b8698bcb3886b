// The slideshow's blend (a 471 x 258 slide into the 502 x 402 back surface at (15, 102),
// Alpha 128) on every path, against a memcpy of the same rows in the same run. Prints
// the benchmarks and then each blend's time as a multiple of the memcpy's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "blend.h"

namespace {

constexpr int kSlideWidth = 471, kSlideHeight = 258;
constexpr int kBackWidth = 502, kBackHeight = 402;
constexpr int kLeft = 15, kTop = 102;

struct TScene {
  std::vector<std::uint8_t> slide, back;
  TPixelView source, target;

  explicit TScene(const TPixelFormat& format) {
    const int bytes = format.BytesPerPixel();
    slide.resize(std::size_t(kSlideWidth) * kSlideHeight * std::size_t(bytes));
    back.resize(std::size_t(kBackWidth) * kBackHeight * std::size_t(bytes));
    std::mt19937 rng(42);
    for (auto& b : slide) b = std::uint8_t(rng());
    source = {slide.data(), kSlideWidth, kSlideHeight, kSlideWidth * bytes, format, nullptr};
    target = {back.data(), kBackWidth, kBackHeight, kBackWidth * bytes, format, nullptr};
  }
  // Black, as the window is behind the slides.
  void ClearBack() { std::memset(back.data(), 0, back.size()); }
};

const TPixelFormat& FormatOf(int bits) { return bits == 32 ? pixel_formats::Xrgb8888 : pixel_formats::Rgb565; }

void Memcpy(benchmark::State& state, int bits) {
  TScene scene(FormatOf(bits));
  const int bytes = bits / 8;
  const std::size_t rowBytes = std::size_t(kSlideWidth) * std::size_t(bytes);
  for (auto _ : state) {
    for (int y = 0; y < kSlideHeight; ++y)
      std::memcpy(scene.target.Bits + std::ptrdiff_t(kTop + y) * scene.target.Pitch + kLeft * bytes,
                  scene.source.Bits + std::ptrdiff_t(y) * scene.source.Pitch, rowBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(rowBytes) * kSlideHeight);
}

void Blend(benchmark::State& state, int bits, TBlendPath path) {
  if (!BlendPathAvailable(path)) {
    state.SkipWithError("this processor cannot run the path");
    return;
  }
  TScene scene(FormatOf(bits));
  scene.ClearBack();
  SetBlendPath(path);
  const TRect dest = Bounds(kLeft, kTop, kSlideWidth, kSlideHeight), src = Bounds(0, 0, kSlideWidth, kSlideHeight);
  for (auto _ : state) {
    BlendRect(scene.target, scene.source, dest, src, false, 0, 128);
    benchmark::ClobberMemory();
  }
  SetBlendPath(TBlendPath::Auto);
  state.SetBytesProcessed(std::int64_t(state.iterations()) * kSlideWidth * kSlideHeight * (bits / 8));
}

const std::pair<const char*, TBlendPath> kPaths[] = {{"Auto", TBlendPath::Auto},
                                                     {"Avx2", TBlendPath::Avx2},
                                                     {"Sse2", TBlendPath::Sse2},
                                                     {"Template", TBlendPath::Template},
                                                     {"Generic", TBlendPath::Generic}};

}  // namespace

int main(int argc, char** argv) {
  for (const int bits : {32, 16}) {
    const std::string suffix = std::to_string(bits) + "bit";
    benchmark::RegisterBenchmark(("Memcpy/" + suffix).c_str(), [bits](benchmark::State& s) { Memcpy(s, bits); });
    for (const auto& [name, path] : kPaths) {
      const TBlendPath p = path;
      benchmark::RegisterBenchmark(("Blend" + std::string(name) + "/" + suffix).c_str(),
                                   [bits, p](benchmark::State& s) { Blend(s, bits, p); });
    }
  }
  // Repeat by default so that the ratios compare medians on a busy machine.
  bench::InitializeWithDefaults(argc, argv, {"--benchmark_repetitions=5"});
  bench::TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  // Processor time, the median when repeated: on a machine shared with other work it
  // varies far less than the wall-clock time.
  auto cpu = [&reporter](const std::string& name) {
    const bench::TRunTimes* t = reporter.Find(name, "median");
    return t ? t->Cpu : 0.0;
  };
  std::printf("\nSlideshow blend (471 x 258 at Alpha 128) as a multiple of memcpy of the same rows:\n");
  for (const int bits : {32, 16}) {
    const std::string suffix = std::to_string(bits) + "bit";
    const double copy = cpu("Memcpy/" + suffix);
    for (const auto& [name, path] : kPaths) {
      const double blend = cpu("Blend" + std::string(name) + "/" + suffix);
      if (copy > 0 && blend > 0) std::printf("  %2d-bit %-8s %6.2f x memcpy\n", bits, name, blend / copy);
    }
  }
  benchmark::Shutdown();
  return 0;
}
