// The sheet tool against real picture files in a temporary folder, with the written
// JPEG decoded again by libjpeg.
#include "sheet.h"

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include <jpeglib.h>

namespace {

struct Decoded {
  int width = 0, height = 0, components = 0;
  bool progressive = true;
  std::vector<int> samplingFactors;
  std::vector<unsigned char> rgb;
  int At(int x, int y, int c) const { return rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c]; }
};

struct JpegErrors {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void Fail(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }

bool DecodeJpeg(const std::vector<unsigned char>& bytes, Decoded& out) {
  jpeg_decompress_struct info;
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = Fail;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  out.progressive = info.progressive_mode;
  for (int c = 0; c < info.num_components; ++c) {
    out.samplingFactors.push_back(info.comp_info[c].h_samp_factor);
    out.samplingFactors.push_back(info.comp_info[c].v_samp_factor);
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.components = info.output_components;
  out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.rgb.data() + static_cast<std::size_t>(info.output_scanline) * out.width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

std::vector<unsigned char> ReadAll(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A recognisable picture per region: its own flat colour, with a white marker
// square in the top-left corner and a black one in the bottom-right.
QColor RegionColour(std::size_t i) {
  static const QColor colours[] = {QColor(200, 40, 40), QColor(40, 180, 60), QColor(50, 70, 210),
                                   QColor(220, 200, 40), QColor(160, 60, 190), QColor(40, 190, 190)};
  return colours[i];
}

QImage RegionPicture(std::size_t i) {
  const mksheet::Region& r = mksheet::kRegions[i];
  QImage image(r.width, r.height, QImage::Format_RGB32);
  image.fill(RegionColour(i));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      image.setPixel(x, y, qRgb(255, 255, 255));
      image.setPixel(r.width - 16 + x, r.height - 16 + y, qRgb(0, 0, 0));
    }
  return image;
}

class SheetTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  QString Path(const QString& leaf) const { return dir_.filePath(leaf); }

  // Writes the six pictures (in the given formats) and returns the argument list.
  std::vector<QString> WritePictures(const std::vector<const char*>& formats) {
    std::vector<QString> args = {Path("install.dat")};
    for (std::size_t i = 0; i < mksheet::kRegions.size(); ++i) {
      const QString path = Path(QString("%1.%2").arg(mksheet::kRegions[i].name, formats[i % formats.size()]));
      EXPECT_TRUE(RegionPicture(i).save(path)) << path.toStdString();
      args.push_back(path);
    }
    return args;
  }

  int Run(const std::vector<QString>& args) {
    messages_.str("");
    return mksheet::Run(args, messages_);
  }

  QStringList Files() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden); }

  QTemporaryDir dir_;
  std::ostringstream messages_;
};

double RegionMean(const Decoded& d, int left, int top, int width, int height, int c) {
  double sum = 0;
  for (int y = top; y < top + height; ++y)
    for (int x = left; x < left + width; ++x) sum += d.At(x, y, c);
  return sum / (static_cast<double>(width) * height);
}

TEST_F(SheetTool, PlacesEachPictureAtItsRowsInABaselineFullResolutionJpeg) {
  ASSERT_EQ(Run(WritePictures({"png", "bmp", "jpg", "png", "ppm", "bmp"})), 0) << messages_.str();
  Decoded d;
  ASSERT_TRUE(DecodeJpeg(ReadAll(Path("install.dat")), d));
  EXPECT_EQ(d.width, 471);
  EXPECT_EQ(d.height, 1114);
  EXPECT_EQ(d.components, 3);
  EXPECT_FALSE(d.progressive);
  EXPECT_EQ(d.samplingFactors, (std::vector<int>{1, 1, 1, 1, 1, 1}));  // 4:4:4

  for (std::size_t i = 0; i < mksheet::kRegions.size(); ++i) {
    const mksheet::Region& r = mksheet::kRegions[i];
    SCOPED_TRACE(r.name);
    const QColor want = RegionColour(i);
    // The inside of the region, away from its markers and edges.
    const double means[3] = {RegionMean(d, 20, r.top + 12, r.width - 40, r.height - 30, 0),
                             RegionMean(d, 20, r.top + 12, r.width - 40, r.height - 30, 1),
                             RegionMean(d, 20, r.top + 12, r.width - 40, r.height - 30, 2)};
    EXPECT_NEAR(means[0], want.red(), 6);
    EXPECT_NEAR(means[1], want.green(), 6);
    EXPECT_NEAR(means[2], want.blue(), 6);
    // The markers land at the region's own corners: nothing is shifted or scaled.
    EXPECT_GT(RegionMean(d, 1, r.top + 1, 6, 6, 0) + RegionMean(d, 1, r.top + 1, 6, 6, 1), 470);
    EXPECT_LT(RegionMean(d, r.width - 15, r.top + r.height - 15, 6, 6, 1), 25);
  }
}

TEST_F(SheetTool, LeavesTheGapsAndTheSpaceBesideTheBarsBlack) {
  std::array<QImage, 6> pictures;
  for (std::size_t i = 0; i < pictures.size(); ++i) pictures[i] = RegionPicture(i);
  std::string error;
  const QImage sheet = mksheet::ComposeSheet(pictures, error);
  ASSERT_FALSE(sheet.isNull()) << error;
  ASSERT_EQ(sheet.size(), QSize(471, 1114));
  auto used = [](int x, int y) {
    for (const mksheet::Region& r : mksheet::kRegions)
      if (x < r.width && y >= r.top && y < r.top + r.height) return true;
    return false;
  };
  int unusedPixels = 0, notBlack = 0;
  for (int y = 0; y < sheet.height(); ++y)
    for (int x = 0; x < sheet.width(); ++x) {
      if (used(x, y)) continue;
      ++unusedPixels;
      notBlack += (sheet.pixel(x, y) & 0xFFFFFFu) != 0;
    }
  // Five two-row gaps, and columns 378..470 beside the bars (the gap between them counted once).
  EXPECT_EQ(unusedPixels, 5 * 2 * 471 + 93 * 72);
  EXPECT_EQ(notBlack, 0);
  // Every region pixel is exactly the picture's pixel.
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const mksheet::Region& r = mksheet::kRegions[i];
    EXPECT_EQ(sheet.copy(0, r.top, r.width, r.height).convertToFormat(QImage::Format_RGB32),
              pictures[i].convertToFormat(QImage::Format_RGB32))
        << r.name;
  }

  // After the JPEG round trip the gaps stay dark; their middle is far from the
  // neighbouring colours even with the encoder's ringing.
  ASSERT_EQ(Run(WritePictures({"png"})), 0) << messages_.str();
  Decoded d;
  ASSERT_TRUE(DecodeJpeg(ReadAll(Path("install.dat")), d));
  for (int top : {258, 518, 778, 1038, 1076}) {
    EXPECT_LT(RegionMean(d, 0, top, 471, 2, 0) + RegionMean(d, 0, top, 471, 2, 1) + RegionMean(d, 0, top, 471, 2, 2),
              3 * 60.0)
        << "gap at row " << top;
  }
  EXPECT_LT(RegionMean(d, 390, 1040, 81, 74, 1), 8.0);
}

TEST_F(SheetTool, RefusesAPictureOfTheWrongSizeAndWritesNothing) {
  std::vector<QString> args = WritePictures({"png"});
  QImage wrong(380, 36, QImage::Format_RGB32);
  wrong.fill(Qt::red);
  ASSERT_TRUE(wrong.save(args[5]));  // progbar1
  const QStringList before = Files();
  EXPECT_EQ(Run(args), 1);
  EXPECT_NE(messages_.str().find("progbar1 is 380x36"), std::string::npos) << messages_.str();
  EXPECT_NE(messages_.str().find("378x36"), std::string::npos);
  EXPECT_FALSE(QFile::exists(Path("install.dat")));
  EXPECT_EQ(Files(), before);  // no temporary file left either

  // A slide one row short is refused too.
  QImage shortSlide(471, 257, QImage::Format_RGB32);
  shortSlide.fill(Qt::blue);
  args = WritePictures({"png"});
  ASSERT_TRUE(shortSlide.save(args[3]));
  EXPECT_EQ(Run(args), 1);
  EXPECT_NE(messages_.str().find("screen_screenshots is 471x257"), std::string::npos) << messages_.str();
  EXPECT_FALSE(QFile::exists(Path("install.dat")));
}

TEST_F(SheetTool, RefusesUnreadableFilesAndKeepsAnEarlierSheetIntact) {
  std::vector<QString> args = WritePictures({"png"});
  ASSERT_EQ(Run(args), 0) << messages_.str();
  const std::vector<unsigned char> earlier = ReadAll(Path("install.dat"));
  ASSERT_FALSE(earlier.empty());

  {
    std::ofstream text(args[2].toStdString(), std::ios::trunc);
    text << "not a picture at all\n";
  }
  const QStringList before = Files();
  EXPECT_EQ(Run(args), 1);
  EXPECT_NE(messages_.str().find("cannot read"), std::string::npos) << messages_.str();
  EXPECT_NE(messages_.str().find("screen_features"), std::string::npos);
  EXPECT_EQ(ReadAll(Path("install.dat")), earlier);
  EXPECT_EQ(Files(), before);

  args[2] = Path("missing.png");
  EXPECT_EQ(Run(args), 1);
  EXPECT_NE(messages_.str().find("missing.png"), std::string::npos);
  EXPECT_EQ(ReadAll(Path("install.dat")), earlier);
}

TEST_F(SheetTool, RefusesAWrongArgumentCountAndAnUnwritableTarget) {
  std::vector<QString> args = WritePictures({"png"});
  std::vector<QString> tooFew(args.begin(), args.end() - 1);
  EXPECT_EQ(Run(tooFew), 2);
  EXPECT_NE(messages_.str().find("usage: mksheet OUT"), std::string::npos);
  EXPECT_NE(messages_.str().find("got 6 arguments"), std::string::npos) << messages_.str();
  std::vector<QString> tooMany = args;
  tooMany.push_back(args[1]);
  EXPECT_EQ(Run(tooMany), 2);
  EXPECT_EQ(Run({}), 2);
  EXPECT_FALSE(QFile::exists(Path("install.dat")));

  args[0] = Path("no-such-folder/install.dat");
  EXPECT_EQ(Run(args), 1);
  EXPECT_NE(messages_.str().find("cannot write"), std::string::npos) << messages_.str();
}

TEST_F(SheetTool, DemoPicturesFromArtgenBecomeASheetThroughTheCommandLine) {
  const std::string env = "env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 ";
  const QString demo = Path("demo");
  ASSERT_EQ(std::system((env + "'" ARTGEN_PATH "' --demo '" + demo.toStdString() + "' 2>/dev/null").c_str()), 0);
  std::string command = env + "'" MKSHEET_PATH "' '" + Path("install.dat").toStdString() + "'";
  for (const mksheet::Region& r : mksheet::kRegions) command += " '" + (demo + "/" + r.name + ".png").toStdString() + "'";
  ASSERT_EQ(std::system((command + " 2>/dev/null").c_str()), 0) << command;
  Decoded d;
  ASSERT_TRUE(DecodeJpeg(ReadAll(Path("install.dat")), d));
  EXPECT_EQ(d.width, 471);
  EXPECT_EQ(d.height, 1114);
  // Each region is the demo picture, within what the JPEG changes.
  for (const mksheet::Region& r : mksheet::kRegions) {
    const QImage source(demo + "/" + r.name + ".png");
    ASSERT_EQ(source.size(), QSize(r.width, r.height)) << r.name;
    double error = 0;
    for (int y = 0; y < r.height; ++y)
      for (int x = 0; x < r.width; ++x) {
        const QRgb s = source.pixel(x, y);
        error += std::abs(qRed(s) - d.At(x, r.top + y, 0)) + std::abs(qGreen(s) - d.At(x, r.top + y, 1)) +
                 std::abs(qBlue(s) - d.At(x, r.top + y, 2));
      }
    EXPECT_LT(error / (3.0 * r.width * r.height), 4.0) << r.name;
  }
  // The command line reports a wrong count like the library does.
  EXPECT_NE(std::system((env + "'" MKSHEET_PATH "' only-one 2>/dev/null").c_str()), 0);
}

}  // namespace
