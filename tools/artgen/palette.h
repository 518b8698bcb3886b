// Palette building and mapping for the indexed pictures: a median cut over the
// colour histogram, refined by a few k-means rounds, then nearest-colour mapping.
// Every tie is broken by the lower index or the earlier box, so results are stable.
#pragma once

#include <QImage>
#include <QRgb>

#include <cstdint>
#include <span>
#include <vector>

namespace artgen {

// Squared distance with weights that follow the eye (green counts most).
int ColourDistance(QRgb a, QRgb b);

// Up to `count` colours that represent `pixels` (alpha ignored). Fewer come back
// when the pixels hold fewer distinct colours.
std::vector<QRgb> MedianCut(std::span<const QRgb> pixels, int count);

// The entry of palette[first..last] nearest to `colour`; the lowest index wins ties.
int NearestIndex(std::span<const QRgb> palette, int first, int last, QRgb colour);

// All pixels of the images, in order, for building one palette over several pictures.
std::vector<QRgb> CollectPixels(std::span<const QImage> images);

}  // namespace artgen
