#include "artwork_sheet.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "file_system.h"

namespace {

struct TSheetRegion {
  const char* Name;
  int Top, Width, Height;
};
// Between the regions lie two-row gaps that nothing shows.
constexpr TSheetRegion kSheetRegions[6] = {
    {"screen_default", 0, 471, 258},   {"screen_features", 260, 471, 258}, {"screen_screenshots", 520, 471, 258},
    {"screen_install", 780, 471, 258}, {"progbar1", 1040, 378, 36},         {"progbar2", 1078, 378, 36},
};

TRgbImage Cut(const TRgbImage& sheet, const TSheetRegion& region) {
  TRgbImage out;
  out.Width = region.Width;
  out.Height = region.Height;
  out.Rgb.assign(std::size_t(region.Width) * region.Height * 3, 0xFF);  // a new picture starts white
  const int columns = std::min(region.Width, sheet.Width);
  for (int y = 0; y < region.Height && region.Top + y < sheet.Height; ++y) {
    const std::uint8_t* src = sheet.Rgb.data() + std::size_t(region.Top + y) * sheet.Width * 3;
    std::copy(src, src + std::size_t(columns) * 3, out.Rgb.data() + std::size_t(y) * region.Width * 3);
  }
  return out;
}

}  // namespace

std::array<TSheetPicture, 6> CutArtworkSheet(const TRgbImage& sheet) {
  std::array<TSheetPicture, 6> out;
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = {kSheetRegions[i].Name, Cut(sheet, kSheetRegions[i])};
  return out;
}

std::array<TSheetPicture, 6> LoadArtworkSheet(const std::string& exeDir) {
  const std::string path = exeDir + "install.dat";
  std::ifstream in(path, std::ios::binary);
  if (!IsFile(path) || !in) throw ESheetOpenError("Cannot open file " + path);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return CutArtworkSheet(DecodeJpeg(bytes));
}
