#include "palette.h"

#include <algorithm>
#include <array>
#include <map>

namespace artgen {
namespace {

constexpr std::array<int, 3> kWeight = {3, 4, 2};

struct Entry {
  std::array<int, 3> c;
  std::int64_t count;
};

struct Box {
  std::vector<Entry> entries;
  double error = 0.0;   // weighted squared error around the box mean
  int axis = 0;         // axis of largest spread
};

void Measure(Box& box) {
  std::array<double, 3> sum{};
  double n = 0;
  for (const Entry& e : box.entries) {
    for (int k = 0; k < 3; ++k) sum[k] += static_cast<double>(e.c[k]) * e.count;
    n += static_cast<double>(e.count);
  }
  std::array<double, 3> var{};
  for (const Entry& e : box.entries) {
    for (int k = 0; k < 3; ++k) {
      const double d = e.c[k] - sum[k] / n;
      var[k] += d * d * e.count * kWeight[k];
    }
  }
  box.error = var[0] + var[1] + var[2];
  box.axis = 0;
  for (int k = 1; k < 3; ++k)
    if (var[k] > var[box.axis]) box.axis = k;
}

QRgb Mean(const std::vector<Entry>& entries) {
  std::array<std::int64_t, 3> sum{};
  std::int64_t n = 0;
  for (const Entry& e : entries) {
    for (int k = 0; k < 3; ++k) sum[k] += static_cast<std::int64_t>(e.c[k]) * e.count;
    n += e.count;
  }
  auto channel = [&](int k) { return static_cast<int>((sum[k] + n / 2) / n); };
  return qRgb(channel(0), channel(1), channel(2));
}

}  // namespace

int ColourDistance(QRgb a, QRgb b) {
  const int dr = qRed(a) - qRed(b);
  const int dg = qGreen(a) - qGreen(b);
  const int db = qBlue(a) - qBlue(b);
  return kWeight[0] * dr * dr + kWeight[1] * dg * dg + kWeight[2] * db * db;
}

int NearestIndex(std::span<const QRgb> palette, int first, int last, QRgb colour) {
  int best = first;
  int bestDistance = ColourDistance(palette[first], colour);
  for (int i = first + 1; i <= last && bestDistance > 0; ++i) {
    const int d = ColourDistance(palette[i], colour);
    if (d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}

std::vector<QRgb> CollectPixels(std::span<const QImage> images) {
  std::vector<QRgb> out;
  for (const QImage& source : images) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
      const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      out.insert(out.end(), line, line + image.width());
    }
  }
  return out;
}

std::vector<QRgb> MedianCut(std::span<const QRgb> pixels, int count) {
  // Colours are gathered in cells of 4 by 4 by 4 levels, each represented by the
  // mean of its pixels: the cut works on far fewer entries and loses nothing visible.
  struct Cell {
    std::array<std::int64_t, 3> sum{};
    std::int64_t count = 0;
  };
  std::map<QRgb, Cell> histogram;
  for (QRgb p : pixels) {
    Cell& cell = histogram[(p >> 2) & 0x3F3F3Fu];
    cell.sum[0] += qRed(p);
    cell.sum[1] += qGreen(p);
    cell.sum[2] += qBlue(p);
    ++cell.count;
  }
  if (histogram.empty() || count <= 0) return {};

  std::vector<Box> boxes(1);
  for (const auto& [key, cell] : histogram) {
    Entry e{{}, cell.count};
    for (int k = 0; k < 3; ++k) e.c[k] = static_cast<int>((cell.sum[k] + cell.count / 2) / cell.count);
    boxes[0].entries.push_back(e);
  }
  Measure(boxes[0]);

  while (static_cast<int>(boxes.size()) < count) {
    int pick = -1;
    for (int i = 0; i < static_cast<int>(boxes.size()); ++i) {
      if (boxes[i].entries.size() < 2) continue;
      if (pick < 0 || boxes[i].error > boxes[pick].error) pick = i;
    }
    if (pick < 0) break;
    Box& box = boxes[pick];
    const int axis = box.axis;
    std::stable_sort(box.entries.begin(), box.entries.end(), [axis](const Entry& a, const Entry& b) {
      if (a.c[axis] != b.c[axis]) return a.c[axis] < b.c[axis];
      return a.c < b.c;
    });
    std::int64_t total = 0;
    for (const Entry& e : box.entries) total += e.count;
    std::int64_t running = 0;
    std::size_t cut = 1;
    for (std::size_t i = 0; i + 1 < box.entries.size(); ++i) {
      running += box.entries[i].count;
      cut = i + 1;
      if (running * 2 >= total) break;
    }
    Box upper;
    upper.entries.assign(box.entries.begin() + static_cast<std::ptrdiff_t>(cut), box.entries.end());
    box.entries.resize(cut);
    Measure(box);
    Measure(upper);
    boxes.push_back(std::move(upper));
  }

  std::vector<QRgb> palette;
  for (const Box& box : boxes) palette.push_back(Mean(box.entries));

  // A few rounds of k-means over the distinct colours pull each entry to the middle
  // of the colours that actually map to it.
  std::vector<Entry> all;
  for (const Box& box : boxes) all.insert(all.end(), box.entries.begin(), box.entries.end());
  std::sort(all.begin(), all.end(), [](const Entry& a, const Entry& b) { return a.c < b.c; });
  for (int round = 0; round < 4; ++round) {
    std::vector<std::vector<Entry>> members(palette.size());
    for (const Entry& e : all) {
      const QRgb rgb = qRgb(e.c[0], e.c[1], e.c[2]);
      members[NearestIndex(palette, 0, static_cast<int>(palette.size()) - 1, rgb)].push_back(e);
    }
    for (std::size_t i = 0; i < palette.size(); ++i)
      if (!members[i].empty()) palette[i] = Mean(members[i]);
  }
  // Dark to light, so neighbouring entries look alike in a palette view.
  std::stable_sort(palette.begin(), palette.end(), [](QRgb a, QRgb b) {
    const int la = 3 * qRed(a) + 4 * qGreen(a) + 2 * qBlue(a);
    const int lb = 3 * qRed(b) + 4 * qGreen(b) + 2 * qBlue(b);
    if (la != lb) return la < lb;
    return (a & 0xFFFFFFu) < (b & 0xFFFFFFu);
  });
  palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
  return palette;
}

}  // namespace artgen
