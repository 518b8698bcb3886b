// The demo release pictures, painted in-process, and their way into a sheet.
#include "demo_art.h"
#include "sheet.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <map>

namespace {

class DemoArt : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    pictures_ = new std::map<QString, QImage>();
    for (const auto& [n, image] : artgen::PaintDemoPictures()) (*pictures_)[n] = image;
  }
  static void TearDownTestSuite() {
    delete pictures_;
    pictures_ = nullptr;
  }
  static const QImage& Get(const char* name) { return pictures_->at(name); }
  static std::map<QString, QImage>* pictures_;
};

std::map<QString, QImage>* DemoArt::pictures_ = nullptr;

double Luma(QRgb c) { return 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c); }

struct Stats {
  double mean = 0, spread = 0, max = 0;
};

Stats Measure(const QImage& image, const QRect& r) {
  Stats s;
  double sum = 0, sum2 = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const double l = Luma(image.pixel(x, y));
      sum += l;
      sum2 += l * l;
      s.max = std::max(s.max, l);
    }
  const double n = static_cast<double>(r.width()) * r.height();
  s.mean = sum / n;
  s.spread = std::sqrt(std::max(0.0, sum2 / n - s.mean * s.mean));
  return s;
}

TEST_F(DemoArt, SixPicturesInSheetOrderWithTheSheetsSizes) {
  const auto painted = artgen::PaintDemoPictures();
  ASSERT_EQ(painted.size(), mksheet::kRegions.size());
  for (std::size_t i = 0; i < painted.size(); ++i) {
    EXPECT_EQ(painted[i].first.toStdString(), mksheet::kRegions[i].name);
    EXPECT_EQ(painted[i].second.size(), QSize(mksheet::kRegions[i].width, mksheet::kRegions[i].height));
  }
  // Painting again gives the very same pixels.
  for (const auto& [name, image] : painted) EXPECT_EQ(image, pictures_->at(name)) << name.toStdString();
}

TEST_F(DemoArt, SlidesArePicturesNotFlatFills) {
  for (const char* name : {"screen_default", "screen_features", "screen_screenshots"}) {
    const Stats s = Measure(Get(name), QRect(0, 0, 471, 258));
    EXPECT_GT(s.spread, 15.0) << name;
    EXPECT_GT(s.max, 200.0) << name;  // lettering that stands out
  }
  // Three different slides.
  EXPECT_NE(Get("screen_default"), Get("screen_features"));
  EXPECT_NE(Get("screen_features"), Get("screen_screenshots"));
}

TEST_F(DemoArt, ProgressPictureIsDarkAndCalmWhereTextAndBarsGo) {
  const QImage& image = Get("screen_install");
  // In picture coordinates (the picture sits at 15, 102): three lines of white
  // 8-point text 20 pixels above their bars, and two bars of 378 by 36.
  const QRect places[] = {QRect(45, 28, 300, 14), QRect(45, 128, 300, 14), QRect(45, 213, 200, 14),
                          QRect(45, 48, 378, 36), QRect(45, 148, 378, 36)};
  for (const QRect& r : places) {
    const Stats s = Measure(image, r);
    EXPECT_LT(s.mean, 40.0) << r.x() << "," << r.y();
    EXPECT_LT(s.spread, 12.0) << r.x() << "," << r.y();
  }
}

TEST_F(DemoArt, BarsAreFullAndShinyAcrossTheirWholeWidth) {
  for (const char* name : {"progbar1", "progbar2"}) {
    const QImage& bar = Get(name);
    for (int x = 0; x < bar.width(); ++x) {
      const Stats column = Measure(bar, QRect(x, 0, 1, 36));
      ASSERT_GT(column.mean, 60.0) << name << " column " << x;
      // The shine band, everywhere but the shaded left edge.
      if (x > 0) {
        ASSERT_GT(column.max, 180.0) << name << " column " << x;
      }
    }
    // Brighter near the top than at the bottom, like a lit tube.
    EXPECT_GT(Measure(bar, QRect(0, 5, 378, 6)).mean, Measure(bar, QRect(0, 26, 378, 6)).mean) << name;
  }
  EXPECT_NE(Get("progbar1"), Get("progbar2"));
}

TEST_F(DemoArt, PicturesComposeIntoASheet) {
  std::array<QImage, 6> six;
  for (std::size_t i = 0; i < six.size(); ++i) six[i] = Get(mksheet::kRegions[i].name);
  std::string error;
  const QImage sheet = mksheet::ComposeSheet(six, error);
  ASSERT_FALSE(sheet.isNull()) << error;
  EXPECT_EQ(sheet.copy(0, 780, 471, 258).convertToFormat(QImage::Format_RGB32),
            Get("screen_install").convertToFormat(QImage::Format_RGB32));
}

}  // namespace
