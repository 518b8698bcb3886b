#include "release_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

#include <jpeglib.h>

namespace fs = std::filesystem;

namespace {

fs::path MakeTemp(const char* stem) {
  static int counter = 0;
  fs::path p = fs::temp_directory_path() /
               (std::string(stem) + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

}  // namespace

TTempFolder::TTempFolder() : path_(MakeTemp("installer-test-dest")) {}
TTempFolder::~TTempFolder() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}
std::string TTempFolder::Dir() const { return path_.string() + "/"; }

TReleaseFolder::TReleaseFolder() : path_(MakeTemp("installer-test-release")) {}
TReleaseFolder::~TReleaseFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}
std::string TReleaseFolder::Dir() const { return path_.string() + "/"; }

void TReleaseFolder::WriteIni(const std::string& flagsBody) { WriteFile("install.ini", "[FLAGS]\n" + flagsBody); }

void TReleaseFolder::WriteFile(const std::string& name, const std::string& bytes) {
  fs::create_directories((path_ / name).parent_path());
  std::ofstream(path_ / name, std::ios::binary) << bytes;
}

void TReleaseFolder::CopyFromCorpus(const std::vector<std::string>& names) {
  for (const std::string& name : names)
    fs::copy_file(fs::path(ACE_CORPUS_DIR) / name, path_ / fs::path(name).filename(),
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
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<std::uint8_t> row(std::size_t(width) * 3);
  while (info.next_scanline < info.image_height) {
    for (int x = 0; x < width; ++x) SheetColor(x, int(info.next_scanline), &row[std::size_t(x) * 3]);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&info, &r, 1);
  }
  jpeg_finish_compress(&info);
  WriteFile("install.dat", std::string(reinterpret_cast<char*>(out), size));
  jpeg_destroy_compress(&info);
  std::free(out);
}
