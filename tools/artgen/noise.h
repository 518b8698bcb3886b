// Seeded procedural noise. Everything is integer hashing and double arithmetic in a
// fixed order, so a given seed paints the same texture on every machine.
#pragma once

#include <cstdint>

namespace artgen {

// A 64-bit mix of the lattice point (x, y) and the seed.
std::uint64_t HashPoint(std::int64_t x, std::int64_t y, std::uint64_t seed);

// Uniform value in [0, 1) for the lattice point.
double LatticeValue(std::int64_t x, std::int64_t y, std::uint64_t seed);

// Smoothly interpolated value noise in [0, 1), one lattice cell per unit.
double ValueNoise(double x, double y, std::uint64_t seed);

// Fractal sum of value noise: `octaves` layers, each at twice the frequency and
// `gain` times the weight of the one before; result roughly in [0, 1).
double FractalNoise(double x, double y, std::uint64_t seed, int octaves, double gain);

// Cellular noise: distance from (x, y) to the nearest of the jittered feature points
// (one per unit cell), in cell units.
double CellDistance(double x, double y, std::uint64_t seed);

// A small deterministic generator for scattering things (stars, speckles).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  double Uniform();                     // [0, 1)
  int Range(int lo, int hi);            // [lo, hi]
 private:
  std::uint64_t state_;
};

}  // namespace artgen
