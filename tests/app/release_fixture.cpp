#include "release_fixture.h"

#include <cstdlib>

#include <jpeglib.h>

namespace fs = std::filesystem;

void TReleaseFolder::WriteIni(const std::string& flagsBody) { WriteFile("install.ini", "[FLAGS]\n" + flagsBody); }

void TReleaseFolder::WriteFile(const std::string& name, const std::string& bytes) { folder_.WriteFile(name, bytes); }

void TReleaseFolder::CopyFromCorpus(const std::vector<std::string>& names) {
  for (const std::string& name : names)
    fs::copy_file(test_support::kCorpus / name, Path() / fs::path(name).filename(),
                  fs::copy_options::overwrite_existing);
}

void TReleaseFolder::SheetColor(int x, int y, std::uint8_t rgb[3]) {
  // Smooth patterns survive JPEG coding well; each region gets its own hue.
  auto set = [&](int r, int g, int b) {
    rgb[0] = std::uint8_t(r);
    rgb[1] = std::uint8_t(g);
    rgb[2] = std::uint8_t(b);
  };
  const int regionTops[] = {0, 260, 520, 780, 1040, 1078};
  const int heights[] = {258, 258, 258, 258, 36, 36};
  const int widths[] = {471, 471, 471, 471, 378, 378};
  for (int i = 0; i < 6; ++i) {
    if (y >= regionTops[i] && y < regionTops[i] + heights[i] && x < widths[i]) {
      const int fx = x * 200 / widths[i], fy = (y - regionTops[i]) * 200 / heights[i];
      switch (i) {
        case 0: return set(40 + fx, 30, 30 + fy / 2);
        case 1: return set(30, 40 + fx, 60);
        case 2: return set(50, 60, 40 + fx);
        case 3: return set(20 + fy / 4, 30, 60);
        case 4: return set(60 + fx / 2, 200, 80);
        default: return set(200, 120 + fx / 4, 40);
      }
    }
  }
  set(255, 0, 255);
}

void TReleaseFolder::WriteSheet(int width, int height) {
  std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height) * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) SheetColor(x, y, &pixels[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3]);
  const std::vector<std::uint8_t> jpeg = EncodeJpeg(width, height, 3, pixels, 95);
  WriteFile("install.dat", std::string(jpeg.begin(), jpeg.end()));
}

std::vector<std::uint8_t> EncodeJpeg(int width, int height, int components, const std::vector<std::uint8_t>& pixels,
                                     int quality) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = components;
  info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + std::size_t(info.next_scanline) * std::size_t(width) * std::size_t(components));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<std::uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&info);
  std::free(out);
  return bytes;
}
