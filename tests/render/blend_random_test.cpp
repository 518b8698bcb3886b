// Every path of the blend against the plain reference, on seeded random pixels, random
// surface layouts and random rectangles (clipped at each edge, same size, scaled up and
// down, refused), for many formats and Alpha values.
#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "blend_test_support.h"

namespace blend_test {
namespace {

namespace pf = pixel_formats;

constexpr TPixelFormat kBgr8888{32, false, {0x0000FF}, {0x00FF00}, {0xFF0000}, {}};
constexpr TPixelFormat kArgb8888{32, false, {0xFF0000}, {0x00FF00}, {0x0000FF}, {0xFF000000}};
constexpr TPixelFormat kRgb101010{32, false, {0x3FF00000}, {0x000FFC00}, {0x000003FF}, {}};
constexpr TPixelFormat kRgb332{8, false, {0xE0}, {0x1C}, {0x03}, {}};
constexpr TPixelFormat kArgb4444{16, false, {0x0F00}, {0x00F0}, {0x000F}, {0xF000}};
constexpr TPixelFormat kRg88{16, false, {0xFF00}, {0x00FF}, {}, {}};

struct TFormatPair {
  const char* name;
  TPixelFormat target, source;
};

const TFormatPair kPairs[] = {
    {"Rgb565", pf::Rgb565, pf::Rgb565},
    {"Rgb555", pf::Rgb555, pf::Rgb555},
    {"Rgb888", pf::Rgb888, pf::Rgb888},
    {"Xrgb8888", pf::Xrgb8888, pf::Xrgb8888},
    {"Indexed8", pf::Indexed8, pf::Indexed8},
    {"Indexed8OntoRgb565", pf::Rgb565, pf::Indexed8},
    {"Indexed8OntoXrgb8888", pf::Xrgb8888, pf::Indexed8},
    {"Xrgb8888OntoIndexed8", pf::Indexed8, pf::Xrgb8888},
    {"Rgb565OntoIndexed8", pf::Indexed8, pf::Rgb565},
    {"Rgb565OntoXrgb8888", pf::Xrgb8888, pf::Rgb565},
    {"Xrgb8888OntoRgb555", pf::Rgb555, pf::Xrgb8888},
    {"Rgb888OntoRgb565", pf::Rgb565, pf::Rgb888},
    {"Bgr8888", kBgr8888, kBgr8888},
    {"Argb8888OntoXrgb8888", pf::Xrgb8888, kArgb8888},
    {"Argb8888", kArgb8888, kArgb8888},
    {"Rgb101010", kRgb101010, kRgb101010},
    {"Rgb332", kRgb332, kRgb332},
    {"Argb4444OntoRgb565", pf::Rgb565, kArgb4444},
    {"Rg88OntoRgb565", pf::Rgb565, kRg88},
};

int Uniform(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

std::unique_ptr<TGuardedSurface> RandomSurface(std::mt19937& rng, const TPixelFormat& format) {
  // Mostly small, sometimes wide enough for long vector runs.
  const int width = Uniform(rng, 0, 5) == 0 ? Uniform(rng, 100, 300) : Uniform(rng, 1, 80);
  const int height = Uniform(rng, 1, 24);
  auto s = std::make_unique<TGuardedSurface>(width, height, format, Uniform(rng, 0, 2) * Uniform(rng, 0, 7),
                                             Uniform(rng, 0, 3) == 0, Uniform(rng, 0, 1) == 0);
  s->Randomise(rng);
  return s;
}

// One axis of a drawing: a source span and a target span, same size, scaled or
// refused, placed inside, across either edge or outside the target.
void RandomAxis(std::mt19937& rng, int sourceSize, int targetSize, int& srcLo, int& srcHi, int& dstLo, int& dstHi) {
  // Often the whole source, as the slideshow draws it.
  const bool whole = Uniform(rng, 0, 2) == 0;
  srcLo = whole ? 0 : Uniform(rng, 0, sourceSize - 1);
  srcHi = whole ? sourceSize : Uniform(rng, srcLo + 1, sourceSize);
  if (Uniform(rng, 0, 15) == 0) {  // out of the source, or empty
    switch (Uniform(rng, 0, 2)) {
      case 0: srcLo = -Uniform(rng, 1, 3); break;
      case 1: srcHi = sourceSize + Uniform(rng, 1, 3); break;
      default: srcHi = srcLo; break;
    }
  }
  const int span = std::max(1, srcHi - srcLo);
  int size = span;
  switch (Uniform(rng, 0, 7)) {
    case 0: case 1: case 2: case 3: break;                                   // same size
    case 4: size = span + Uniform(rng, 1, 3); break;                          // slightly up
    case 5: size = span * Uniform(rng, 1, 3) + Uniform(rng, 0, span); break;  // up
    case 6: size = std::max(1, span / Uniform(rng, 1, 4) - Uniform(rng, 0, 2)); break;  // down
    default: size = Uniform(rng, 1, 2 * targetSize + 10); break;
  }
  switch (Uniform(rng, 0, 7)) {
    case 0: dstLo = -Uniform(rng, 1, size + 5); break;                    // across or before the low edge
    case 1: dstLo = targetSize - Uniform(rng, 0, std::min(size, targetSize)); break;  // across the high edge
    case 2: dstLo = targetSize + Uniform(rng, 0, 3); break;                 // outside
    default: dstLo = Uniform(rng, 0, std::max(0, targetSize - size)); break;  // inside if it fits (4 in 8)
  }
  dstHi = dstLo + size;
  if (Uniform(rng, 0, 30) == 0) dstHi = dstLo - Uniform(rng, 0, 2);  // empty target rectangle
}

void PrintTo(const TFormatPair& pair, std::ostream* out) { *out << pair.name; }

class BlendAgainstReference : public ::testing::TestWithParam<TFormatPair> {};

TEST_P(BlendAgainstReference, EveryPathWritesTheReferencePixels) {
  const TFormatPair& pair = GetParam();
  std::mt19937 rng(20261208u + unsigned(std::string(pair.name).size()) * 7919u);
  const int kCases = 60;
  int drawn = 0, changed = 0, compared = 0;

  for (int n = 0; n < kCases; ++n) {
    auto target = RandomSurface(rng, pair.target);
    auto source = RandomSurface(rng, pair.source);
    TRect dest, src;
    RandomAxis(rng, source->Width(), target->Width(), src.Left, src.Right, dest.Left, dest.Right);
    RandomAxis(rng, source->Height(), target->Height(), src.Top, src.Bottom, dest.Top, dest.Bottom);
    const bool transparent = Uniform(rng, 0, 3) == 0;
    // A key that really occurs in the source.
    const std::uint32_t key =
        source->Get(Uniform(rng, 0, source->Width() - 1), Uniform(rng, 0, source->Height() - 1)) &
        ~pair.source.Alpha.Mask;

    const std::vector<std::uint8_t> original = target->Snapshot();
    const int alphas[] = {1, 2, 127, 128, 252, 254, 255, Uniform(rng, 1, 254), Uniform(rng, 1, 254)};
    for (const int alpha : alphas) {
      std::vector<std::uint8_t> expected = original;
      std::vector<std::uint8_t> sourceCopy = source->Snapshot();
      const bool didDraw = ReferenceBlend(SurfaceIn(*target, expected), SurfaceIn(*source, sourceCopy), dest, src,
                                          transparent, key, alpha);
      drawn += didDraw;
      changed += expected != original;
      for (const TBlendPath path : kForcedPaths) {
        if (!BlendPathAvailable(path)) continue;
        std::copy(original.begin(), original.end(), target->Block());
        {
          TPathScope scope(path);
          BlendRect(target->Surface(), source->Surface(), dest, src, transparent, key, alpha);
        }
        ++compared;
        const std::string difference = FirstDifference(*target, expected);
        ASSERT_TRUE(difference.empty())
            << difference << "\n  path " << PathName(path) << ", case " << n << ", alpha " << alpha << ", target "
            << target->Width() << "x" << target->Height() << " pitch " << target->Surface().Pitch << ", source "
            << source->Width() << "x" << source->Height() << " pitch " << source->Surface().Pitch << ", dest ("
            << dest.Left << "," << dest.Top << "," << dest.Right << "," << dest.Bottom << "), src (" << src.Left
            << "," << src.Top << "," << src.Right << "," << src.Bottom << ")" << (transparent ? ", keyed" : "");
      }
      // Source pixels are only read.
      ASSERT_TRUE(FirstDifference(*source, sourceCopy).empty()) << "the source was written";
    }
  }
  // The random rectangles must really exercise drawing, not only the refusals.
  const int total = kCases * 9;
  EXPECT_GT(drawn, total / 3) << "too few drawings passed the checks";
  EXPECT_GT(changed, total / 4) << "too few drawings changed any pixel";
  EXPECT_LT(drawn, total) << "no drawing was refused";
  EXPECT_GE(compared, total * 2);
}

INSTANTIATE_TEST_SUITE_P(Formats, BlendAgainstReference, ::testing::ValuesIn(kPairs),
                         [](const ::testing::TestParamInfo<TFormatPair>& info) { return info.param.name; });

}  // namespace
}  // namespace blend_test
