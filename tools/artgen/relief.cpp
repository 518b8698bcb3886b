#include "relief.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace artgen {
namespace {

// The lamp: up and to the left of the viewer, a little more from above than from
// the side, 42 degrees over the stone.
struct Lamp {
  double x, y, z;        // unit vector towards the lamp
  double stepX, stepY;   // unit step towards the lamp on the stone
  double rise;           // height gained per unit of travel towards the lamp
  double hx, hy, hz;     // half vector between lamp and viewer
};

Lamp MakeLamp() {
  const double dx = -0.64, dy = -0.77;
  const double elevation = 42.0 * 3.14159265358979323846 / 180.0;
  Lamp lamp{};
  const double flat = std::cos(elevation);
  lamp.x = dx * flat;
  lamp.y = dy * flat;
  lamp.z = std::sin(elevation);
  lamp.stepX = dx;
  lamp.stepY = dy;
  lamp.rise = std::tan(elevation);
  const double n = std::sqrt(lamp.x * lamp.x + lamp.y * lamp.y + (lamp.z + 1) * (lamp.z + 1));
  lamp.hx = lamp.x / n;
  lamp.hy = lamp.y / n;
  lamp.hz = (lamp.z + 1) / n;
  return lamp;
}

constexpr double kAmbient = 0.34;
constexpr double kDiffuse = 0.92;

// Exact 1-D squared distance transform (lower envelope of parabolas).
void Transform1D(const std::vector<double>& f, std::vector<double>& d, int n) {
  std::vector<int> v(static_cast<std::size_t>(n));
  std::vector<double> z(static_cast<std::size_t>(n) + 1);
  int k = 0;
  v[0] = 0;
  z[0] = -std::numeric_limits<double>::infinity();
  z[1] = std::numeric_limits<double>::infinity();
  for (int q = 1; q < n; ++q) {
    double s = 0;
    for (;;) {
      const int p = v[static_cast<std::size_t>(k)];
      s = ((f[q] + q * static_cast<double>(q)) - (f[p] + p * static_cast<double>(p))) / (2.0 * q - 2.0 * p);
      if (s <= z[static_cast<std::size_t>(k)] && k > 0) {
        --k;
        continue;
      }
      break;
    }
    ++k;
    v[static_cast<std::size_t>(k)] = q;
    z[static_cast<std::size_t>(k)] = s;
    z[static_cast<std::size_t>(k) + 1] = std::numeric_limits<double>::infinity();
  }
  k = 0;
  for (int q = 0; q < n; ++q) {
    while (z[static_cast<std::size_t>(k) + 1] < q) ++k;
    const int p = v[static_cast<std::size_t>(k)];
    d[static_cast<std::size_t>(q)] = (q - p) * static_cast<double>(q - p) + f[static_cast<std::size_t>(p)];
  }
}

// Distance from each sample to the nearest sample where `target` holds.
std::vector<double> DistanceTo(const std::vector<bool>& target, int columns, int rows) {
  const double far = 1e12;
  std::vector<double> grid(target.size());
  for (std::size_t i = 0; i < target.size(); ++i) grid[i] = target[i] ? 0.0 : far;
  const int longest = std::max(columns, rows);
  std::vector<double> f(static_cast<std::size_t>(longest)), d(static_cast<std::size_t>(longest));
  for (int x = 0; x < columns; ++x) {
    for (int y = 0; y < rows; ++y) f[static_cast<std::size_t>(y)] = grid[static_cast<std::size_t>(y) * columns + x];
    Transform1D(f, d, rows);
    for (int y = 0; y < rows; ++y) grid[static_cast<std::size_t>(y) * columns + x] = d[static_cast<std::size_t>(y)];
  }
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x) f[static_cast<std::size_t>(x)] = grid[static_cast<std::size_t>(y) * columns + x];
    Transform1D(f, d, columns);
    for (int x = 0; x < columns; ++x) grid[static_cast<std::size_t>(y) * columns + x] = std::sqrt(d[static_cast<std::size_t>(x)]);
  }
  return grid;
}

}  // namespace

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Relief::Relief(const QRect& region, int scale, int margin)
    : region_(region),
      scale_(scale),
      margin_(margin),
      columns_((region.width() + 2 * margin) * scale),
      rows_((region.height() + 2 * margin) * scale),
      origin_x_(region.x() - margin),
      origin_y_(region.y() - margin),
      height_(static_cast<std::size_t>(columns_) * rows_, 0.0),
      albedo_(static_cast<std::size_t>(columns_) * rows_),
      shine_(static_cast<std::size_t>(columns_) * rows_, 0.0),
      glow_(static_cast<std::size_t>(columns_) * rows_, 0.0) {}

void Relief::ForEach(const std::function<void(int, int, double, double)>& visit) {
  for (int j = 0; j < rows_; ++j)
    for (int i = 0; i < columns_; ++i) visit(i, j, SceneX(i), SceneY(j));
}

std::vector<float> Relief::Mask(const std::function<void(QPainter&)>& paint) const {
  QImage canvas(columns_, rows_, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  {
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.scale(scale_, scale_);
    painter.translate(-origin_x_, -origin_y_);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    paint(painter);
  }
  std::vector<float> mask(static_cast<std::size_t>(columns_) * rows_);
  for (int j = 0; j < rows_; ++j) {
    const auto* line = reinterpret_cast<const QRgb*>(canvas.constScanLine(j));
    for (int i = 0; i < columns_; ++i) mask[Index(i, j)] = static_cast<float>(qAlpha(line[i]) / 255.0);
  }
  return mask;
}

QImage Relief::Shade() const {
  const Lamp lamp = MakeLamp();
  const double flatLight = kAmbient + kDiffuse * lamp.z;
  const int reach = 12 * scale_;

  auto heightAt = [this](int i, int j) {
    i = std::clamp(i, 0, columns_ - 1);
    j = std::clamp(j, 0, rows_ - 1);
    return height_[Index(i, j)];
  };

  // Ambient occlusion: a sample lying below the mean of its surroundings (in a
  // groove, at the foot of a wall) gets less of the room's light.
  const int radius = 4 * scale_;
  std::vector<double> rowsum(height_.size()), around(height_.size());
  for (int j = 0; j < rows_; ++j) {
    double run = 0;
    for (int i = -radius; i <= radius; ++i) run += heightAt(i, j);
    for (int i = 0; i < columns_; ++i) {
      rowsum[Index(i, j)] = run;
      run += heightAt(i + radius + 1, j) - heightAt(i - radius, j);
    }
  }
  for (int i = 0; i < columns_; ++i) {
    double run = 0;
    for (int j = -radius; j <= radius; ++j) run += rowsum[Index(i, std::clamp(j, 0, rows_ - 1))];
    for (int j = 0; j < rows_; ++j) {
      around[Index(i, j)] = run / ((2.0 * radius + 1) * (2.0 * radius + 1));
      run += rowsum[Index(i, std::clamp(j + radius + 1, 0, rows_ - 1))] - rowsum[Index(i, std::clamp(j - radius, 0, rows_ - 1))];
    }
  }

  std::vector<int> stepI(static_cast<std::size_t>(reach) + 1), stepJ(static_cast<std::size_t>(reach) + 1);
  for (int t = 0; t <= reach; ++t) {
    stepI[static_cast<std::size_t>(t)] = static_cast<int>(std::lround(lamp.stepX * t));
    stepJ[static_cast<std::size_t>(t)] = static_cast<int>(std::lround(lamp.stepY * t));
  }

  std::vector<Rgb> lit(height_.size());
  for (int j = 0; j < rows_; ++j) {
    for (int i = 0; i < columns_; ++i) {
      const double h = height_[Index(i, j)];
      const double gx = (heightAt(i + 1, j) - heightAt(i - 1, j)) * scale_ * 0.5;
      const double gy = (heightAt(i, j + 1) - heightAt(i, j - 1)) * scale_ * 0.5;
      const double len = std::sqrt(gx * gx + gy * gy + 1.0);
      const double nx = -gx / len, ny = -gy / len, nz = 1.0 / len;
      const double diffuse = std::max(0.0, nx * lamp.x + ny * lamp.y + nz * lamp.z);

      // Soft cast shadow: how far the stone between here and the lamp rises above
      // the ray towards it.
      double blocked = 0.0;
      for (int t = 1; t <= reach; ++t) {
        const int si = i + stepI[static_cast<std::size_t>(t)];
        const int sj = j + stepJ[static_cast<std::size_t>(t)];
        const double ray = h + lamp.rise * t / scale_;
        blocked = std::max(blocked, heightAt(si, sj) - ray);
      }
      const double shadow = 1.0 - std::clamp(blocked * 0.9, 0.0, 0.85);

      const double occlusion = 1.0 - std::clamp((around[Index(i, j)] - h) * 0.16, 0.0, 0.4);
      const double light = (kAmbient * occlusion + kDiffuse * diffuse * shadow) / flatLight;
      const double highlight =
          std::pow(std::max(0.0, nx * lamp.hx + ny * lamp.hy + nz * lamp.hz), 28.0) * shadow;
      const Rgb& a = albedo_[Index(i, j)];
      const double s = shine_[Index(i, j)] * highlight;
      Rgb c{a.r * light + s * (0.55 * a.r + 0.45 * 255.0), a.g * light + s * (0.55 * a.g + 0.45 * 255.0),
            a.b * light + s * (0.55 * a.b + 0.45 * 255.0)};
      c = Mix(c, a, glow_[Index(i, j)]);
      lit[Index(i, j)] = c;
    }
  }

  QImage out(region_.width(), region_.height(), QImage::Format_RGB32);
  const double area = static_cast<double>(scale_) * scale_;
  for (int y = 0; y < region_.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < region_.width(); ++x) {
      Rgb sum;
      for (int dj = 0; dj < scale_; ++dj) {
        for (int di = 0; di < scale_; ++di) {
          const Rgb& c = lit[Index((x + margin_) * scale_ + di, (y + margin_) * scale_ + dj)];
          sum.r += c.r;
          sum.g += c.g;
          sum.b += c.b;
        }
      }
      auto channel = [&](double v) { return std::clamp(static_cast<int>(std::lround(v / area)), 0, 255); };
      line[x] = qRgb(channel(sum.r), channel(sum.g), channel(sum.b));
    }
  }
  return out;
}

std::vector<double> SignedDistance(const std::vector<float>& mask, int columns, int rows) {
  std::vector<bool> inside(mask.size()), outside(mask.size());
  for (std::size_t i = 0; i < mask.size(); ++i) {
    inside[i] = mask[i] >= 0.5f;
    outside[i] = !inside[i];
  }
  const std::vector<double> toOutside = DistanceTo(outside, columns, rows);
  const std::vector<double> toInside = DistanceTo(inside, columns, rows);
  std::vector<double> out(mask.size());
  for (std::size_t i = 0; i < mask.size(); ++i) {
    // Edge samples take their coverage into account, so the contour moves smoothly
    // between samples instead of in whole steps.
    const double edge = static_cast<double>(mask[i]) - 0.5;
    out[i] = inside[i] ? toOutside[i] - 0.5 + edge : -(toInside[i] - 0.5) + edge;
  }
  return out;
}

}  // namespace artgen
