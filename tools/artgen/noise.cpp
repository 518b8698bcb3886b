#include "noise.h"

#include <algorithm>
#include <cmath>

namespace artgen {
namespace {

std::uint64_t Mix(std::uint64_t z) {
  z += 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

}  // namespace

std::uint64_t HashPoint(std::int64_t x, std::int64_t y, std::uint64_t seed) {
  std::uint64_t h = Mix(seed);
  h = Mix(h ^ static_cast<std::uint64_t>(x));
  h = Mix(h ^ (static_cast<std::uint64_t>(y) * 0xD6E8FEB86659FD93ull));
  return h;
}

double LatticeValue(std::int64_t x, std::int64_t y, std::uint64_t seed) {
  return static_cast<double>(HashPoint(x, y, seed) >> 11) * (1.0 / 9007199254740992.0);
}

double ValueNoise(double x, double y, std::uint64_t seed) {
  const double fx = std::floor(x);
  const double fy = std::floor(y);
  const auto ix = static_cast<std::int64_t>(fx);
  const auto iy = static_cast<std::int64_t>(fy);
  const double tx = Fade(x - fx);
  const double ty = Fade(y - fy);
  const double a = LatticeValue(ix, iy, seed);
  const double b = LatticeValue(ix + 1, iy, seed);
  const double c = LatticeValue(ix, iy + 1, seed);
  const double d = LatticeValue(ix + 1, iy + 1, seed);
  const double top = a + (b - a) * tx;
  const double bottom = c + (d - c) * tx;
  return top + (bottom - top) * ty;
}

double FractalNoise(double x, double y, std::uint64_t seed, int octaves, double gain) {
  double sum = 0.0;
  double weight = 1.0;
  double total = 0.0;
  double frequency = 1.0;
  for (int i = 0; i < octaves; ++i) {
    // Each octave gets its own seed and a fixed offset so lattice lines don't align.
    sum += weight * ValueNoise(x * frequency + 17.31 * i, y * frequency - 9.77 * i,
                               seed + 0x51ED27ull * static_cast<std::uint64_t>(i + 1));
    total += weight;
    weight *= gain;
    frequency *= 2.0;
  }
  return sum / total;
}

double CellDistance(double x, double y, std::uint64_t seed) {
  const auto cx = static_cast<std::int64_t>(std::floor(x));
  const auto cy = static_cast<std::int64_t>(std::floor(y));
  double best = 4.0;
  for (std::int64_t j = cy - 1; j <= cy + 1; ++j) {
    for (std::int64_t i = cx - 1; i <= cx + 1; ++i) {
      const std::uint64_t h = HashPoint(i, j, seed);
      const double px = static_cast<double>(i) + static_cast<double>(h & 0xFFFF) / 65536.0;
      const double py = static_cast<double>(j) + static_cast<double>((h >> 16) & 0xFFFF) / 65536.0;
      const double dx = px - x;
      const double dy = py - y;
      best = std::min(best, dx * dx + dy * dy);
    }
  }
  return std::sqrt(best);
}

std::uint64_t Random::Next() {
  state_ += 0x9E3779B97F4A7C15ull;
  return Mix(state_);
}

double Random::Uniform() {
  return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
}

int Random::Range(int lo, int hi) {
  const auto span = static_cast<std::uint64_t>(hi - lo + 1);
  return lo + static_cast<int>(Next() % span);
}

}  // namespace artgen
