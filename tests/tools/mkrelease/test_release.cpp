#include "test_release.h"

#include "sheet.h"

#include <QImage>
#include <QString>

#include <fstream>

namespace fs = std::filesystem;

namespace mkrelease::fixture {

QColor PictureColour(int index) {
  static const QColor colours[6] = {QColor(200, 30, 30), QColor(30, 180, 40), QColor(40, 60, 210),
                                    QColor(220, 200, 40), QColor(200, 40, 200), QColor(40, 200, 200)};
  return colours[index];
}

void WriteTestPictures(const fs::path& folder) {
  fs::create_directories(folder);
  for (std::size_t i = 0; i < mksheet::kRegions.size(); ++i) {
    const auto& region = mksheet::kRegions[i];
    QImage image(region.width, region.height, QImage::Format_RGB32);
    image.fill(PictureColour(static_cast<int>(i)));
    const fs::path file = folder / (std::string(region.name) + ".png");
    if (!image.save(QString::fromStdString(file.string()), "PNG")) {
      throw ReleaseError("cannot write the test picture " + file.string());
    }
  }
}

ReleaseSummary MakeTestRelease(const fs::path& payload, const fs::path& outDir, const fs::path& installer,
                               const TestReleaseOptions& options) {
  const fs::path inputs = outDir.parent_path() / (outDir.filename().string() + "-inputs");
  fs::create_directories(inputs);
  WriteTestPictures(inputs / "art");
  {
    std::ofstream nfo(inputs / "test.nfo", std::ios::binary);
    nfo << "\xC9\xCD\xCD\xBB\r\n\xBA  \xBA test release\r\n\xC8\xCD\xCD\xBC\r\n";
  }
  ReleaseDescription d;
  d.title = options.title;
  d.payload = payload;
  d.volumeSize = options.volumeSize;
  d.nfo = inputs / "test.nfo";
  d.pictures = inputs / "art";
  d.execute = options.execute;
  d.installer = installer;
  d.level = options.level;
  if (!options.defaultDir.empty()) d.defaultDir = options.defaultDir;
  if (options.withTune) {
    std::ofstream(inputs / "tune.mid", std::ios::binary) << "MThd";
    d.tune = inputs / "tune.mid";
  }
  if (options.withRegFile) {
    std::ofstream(inputs / "register.txt", std::ios::binary) << "registered to the tests\n";
    d.regfile1 = inputs / "register.txt";
  }
  return BuildRelease(d, outDir, BuildOptions{});
}

}  // namespace mkrelease::fixture
