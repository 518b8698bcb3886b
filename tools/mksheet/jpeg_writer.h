// Baseline JPEG encoding through libjpeg, into memory.
#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

namespace mksheet {

// Encodes the image as a baseline JPEG at `quality`, every component sampled at full
// resolution (4:4:4) so fine edges such as the progress bars stay crisp. Returns
// false with libjpeg's message in `error` when the library refuses.
bool EncodeJpeg(const QImage& image, int quality, std::vector<std::uint8_t>& out, std::string& error);

}  // namespace mksheet
