// A lit relief: the stone pictures are painted as a height field with a colour and
// a shine per sample, lit by one lamp at the top left and shaded with cast shadows,
// then averaged down from a finer grid. Every field is a pure function of the
// absolute scene position, so any part of the scene rendered on its own (a button)
// comes out pixel for pixel like the same part of the whole (the background).
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

#include <array>
#include <functional>
#include <vector>

namespace artgen {

struct Rgb {
  double r = 0, g = 0, b = 0;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t);

class Relief {
 public:
  // Covers `region` (scene pixels) plus `margin` pixels on every side, sampled
  // `scale` times finer than the scene's pixels.
  Relief(const QRect& region, int scale, int margin);

  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  int Scale() const { return scale_; }
  // Scene position of the centre of sample (i, j).
  double SceneX(int i) const { return origin_x_ + (i + 0.5) / scale_; }
  double SceneY(int j) const { return origin_y_ + (j + 0.5) / scale_; }

  double& Height(int i, int j) { return height_[Index(i, j)]; }
  Rgb& Albedo(int i, int j) { return albedo_[Index(i, j)]; }
  double& Shine(int i, int j) { return shine_[Index(i, j)]; }
  double& Glow(int i, int j) { return glow_[Index(i, j)]; }

  // Visits every sample with its scene position.
  void ForEach(const std::function<void(int i, int j, double x, double y)>& visit);

  // A coverage mask (0..1 per sample) of whatever `paint` draws in scene
  // coordinates, antialiased.
  std::vector<float> Mask(const std::function<void(QPainter&)>& paint) const;

  // Lights the relief and returns the region, averaged down to scene pixels.
  QImage Shade() const;

 private:
  std::size_t Index(int i, int j) const { return static_cast<std::size_t>(j) * columns_ + i; }

  QRect region_;
  int scale_;
  int margin_;
  int columns_;
  int rows_;
  double origin_x_;
  double origin_y_;
  std::vector<double> height_;
  std::vector<Rgb> albedo_;
  std::vector<double> shine_;
  std::vector<double> glow_;
};

// Signed distance (in samples) to the 0.5 contour of a coverage mask: positive
// inside, negative outside, exact Euclidean on the sample grid, smoothed by the
// coverage of the edge samples.
std::vector<double> SignedDistance(const std::vector<float>& mask, int columns, int rows);

}  // namespace artgen
