// A full-surface Draw and a Present of the 502 by 402 back surface, in 16 and 32
// bits, each reported as a ratio to a plain memcpy of the same bytes measured in
// the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "direct_draw.h"
#include "dxdraw.h"

namespace {

constexpr int kWidth = 502, kHeight = 402;

// The window side: the frame is copied into a window-sized buffer; no vblank wait.
class TBufferPlatform : public TDXDrawPlatform {
 public:
  explicit TBufferPlatform(TPixelFormat format) : FFormat(format) {
    Window.resize(std::size_t(kWidth) * kHeight * std::size_t(format.BytesPerPixel()));
  }
  bool HasParentForm() const override { return true; }
  TPixelFormat DisplayFormat() const override { return FFormat; }
  int ControlWidth() const override { return kWidth; }
  int ControlHeight() const override { return kHeight; }
  bool PrimaryLost() override { return false; }
  bool RestorePrimary() override { return true; }
  void WaitForVerticalBlank() override {}
  void ShowFrame(const TPixelView& frame, const TRect& target) override {
    const std::size_t rowBytes = std::size_t(frame.Width) * std::size_t(FFormat.BytesPerPixel());
    for (int y = 0; y < frame.Height; ++y)
      std::memcpy(Window.data() + std::size_t(y) * rowBytes, frame.Bits + std::ptrdiff_t(y) * frame.Pitch, rowBytes);
  }
  // The frames measured here carry no text.
  void DrawText(const TPixelView&, const TCanvasFont&, int, int, const std::string&) override {}
  std::vector<std::uint8_t> Window;

 private:
  TPixelFormat FFormat;
};

TPixelFormat FormatFor(int bits) { return bits == 16 ? pixel_formats::Rgb565 : pixel_formats::Xrgb8888; }

void BM_Memcpy(benchmark::State& state) {
  const std::size_t bytes = std::size_t(kWidth) * kHeight * std::size_t(state.range(0) / 8);
  std::vector<std::uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

void BM_Draw(benchmark::State& state) {
  TDirectDraw dd(FormatFor(int(state.range(0))));
  TDirectDrawSurface back(dd), picture(dd);
  back.SetSize(kWidth, kHeight);
  picture.SetSize(kWidth, kHeight);
  picture.Fill(0x1234);
  for (auto _ : state) {
    back.Draw(0, 0, picture.ClientRect(), &picture, false);
    benchmark::DoNotOptimize(back.Bits());
    benchmark::ClobberMemory();
  }
  if (back.Pixel(kWidth - 1, kHeight - 1) != 0x1234) state.SkipWithError("Draw copied nothing");
}

void BM_Present(benchmark::State& state) {
  TBufferPlatform platform(FormatFor(int(state.range(0))));
  TDXDraw draw(platform);
  draw.SetOptions(TDXDrawOptions{TDXDrawOption::doWaitVBlank, TDXDrawOption::doSystemMemory, TDXDrawOption::doCenter});
  draw.Initialize();
  draw.Surface()->Fill(0x4321);
  for (auto _ : state) {
    draw.Present();
    benchmark::DoNotOptimize(platform.Window.data());
    benchmark::ClobberMemory();
  }
  if (platform.Window[0] != 0x21) state.SkipWithError("Present showed nothing");
}

BENCHMARK(BM_Memcpy)->Arg(16)->Arg(32);
BENCHMARK(BM_Draw)->Arg(16)->Arg(32);
BENCHMARK(BM_Present)->Arg(16)->Arg(32);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // Processor time per iteration of the single runs: the machine is shared, so wall
  // time says little.
  for (const char* bits : {"16", "32"}) {
    const bench::TRunTimes* base = reporter.Find(std::string("BM_Memcpy/") + bits);
    if (!base || base->Cpu <= 0) continue;
    for (const char* op : {"BM_Draw/", "BM_Present/"}) {
      if (const bench::TRunTimes* t = reporter.Find(std::string(op) + bits))
        std::printf("%s%s bits: %.2f x memcpy of the same bytes\n", op + 3, bits, t->Cpu / base->Cpu);
    }
  }
  benchmark::Shutdown();
  return 0;
}
