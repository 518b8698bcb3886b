// The embedded pictures as the program carries them: their stored form, the shapes
// the main screen depends on, and that the build paints the same bytes every time.
#include "embedded_pictures.h"
#include "stored_picture_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <unistd.h>
#include <set>
#include <string>
#include <vector>

namespace {

using testing_art::Decode;
using testing_art::DecodedPicture;
using testing_art::Rgb;

struct Expected {
  const char* name;
  int width, height, bits;
  std::size_t bytes;
};

const Expected kMainList[] = {
    {"bg", 500, 400, 8, 201069},
    {"info_install1", 83, 29, 8, 3505},   {"info_install2", 83, 29, 8, 3505},
    {"info_install3", 83, 29, 8, 3505},   {"info_nfo1", 98, 29, 8, 3969},
    {"info_nfo2", 98, 29, 8, 3969},       {"info_nfo3", 98, 29, 8, 3969},
    {"info_quit1", 53, 29, 8, 2693},      {"info_quit2", 53, 29, 8, 2693},
    {"info_quit3", 53, 29, 8, 2693},      {"info_features1", 91, 10, 8, 1989},
    {"info_features2", 91, 10, 8, 1989},  {"info_features3", 91, 10, 8, 1989},
    {"info_screenshot1", 116, 10, 8, 2229}, {"info_screenshot2", 116, 10, 8, 2229},
    {"info_screenshot3", 116, 10, 8, 2229}, {"tarnwell", 480, 26, 4, 6349},
};

const Expected kOthers[] = {
    {"MAINICON", 32, 32, 4, 5 + 40 + 64 + 16 * 32},
    {"FLOPPY", 16, 11, 4, 5 + 40 + 64 + 8 * 11},       {"HARD", 16, 11, 4, 5 + 40 + 64 + 8 * 11},
    {"NETWORK", 16, 11, 4, 5 + 40 + 64 + 8 * 11},      {"CDROM", 16, 11, 4, 5 + 40 + 64 + 8 * 11},
    {"RAM", 16, 11, 4, 5 + 40 + 64 + 8 * 11},          {"OPENFOLDER", 16, 15, 4, 5 + 40 + 64 + 8 * 15},
    {"CLOSEDFOLDER", 16, 15, 4, 5 + 40 + 64 + 8 * 15}, {"CURRENTFOLDER", 16, 15, 4, 5 + 40 + 64 + 8 * 15},
};

DecodedPicture Picture(const char* name) {
  const auto data = resources::FindPicture(name);
  auto decoded = Decode(data);
  if (!decoded) ADD_FAILURE() << name << " does not decode";
  return decoded.value_or(DecodedPicture{});
}

const Rgb kBlack{0, 0, 0};

void CheckStoredForm(const Expected& e, std::span<const std::uint8_t> data) {
  SCOPED_TRACE(e.name);
  ASSERT_EQ(data.size(), e.bytes);
  const auto p = Decode(data);
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->className, "TDIB");
  EXPECT_EQ(p->width, e.width);
  EXPECT_EQ(p->height, e.height);  // positive: rows bottom-up
  EXPECT_EQ(p->planes, 1);
  EXPECT_EQ(p->bits, e.bits);
  EXPECT_EQ(p->compression, 0u);
  const std::uint32_t stride = ((e.bits * e.width + 31) / 32) * 4;
  EXPECT_EQ(p->imageSize, stride * static_cast<std::uint32_t>(e.height));
  EXPECT_TRUE(p->xResolution == 0 || p->xResolution == 3780);
  EXPECT_TRUE(p->yResolution == 0 || p->yResolution == 3780);
  EXPECT_EQ(p->coloursUsed, 0u);
  EXPECT_EQ(p->coloursImportant, 0u);
  EXPECT_EQ(p->palette.size(), std::size_t{1} << e.bits);
  for (std::uint8_t r : p->reservedBytes) EXPECT_EQ(r, 0);
  EXPECT_EQ(p->paddingNonZero, 0u);
}

TEST(EmbeddedPictures, MainWindowListHasTheSeventeenPicturesInOrderWithTheirStoredSizes) {
  const auto list = resources::MainWindowPictures();
  ASSERT_EQ(list.size(), std::size(kMainList));
  for (std::size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i].Name, kMainList[i].name) << "position " << i;
    CheckStoredForm(kMainList[i], list[i].Data);
    // Looking the name up finds the very same bytes.
    EXPECT_EQ(resources::FindPicture(kMainList[i].name).data(), list[i].Data.data());
  }
}

TEST(EmbeddedPictures, IconAndDialogPicturesAreFoundByNameAndAreSixteenColourPictures) {
  for (const Expected& e : kOthers) CheckStoredForm(e, resources::FindPicture(e.name));
}

TEST(EmbeddedPictures, UnknownNamesFindNothing) {
  EXPECT_TRUE(resources::FindPicture("").empty());
  EXPECT_TRUE(resources::FindPicture("screen_default").empty());  // comes from the sheet
  EXPECT_TRUE(resources::FindPicture("info_install4").empty());
  EXPECT_TRUE(resources::FindPicture("BG").empty());              // names are exact
  EXPECT_TRUE(resources::FindPicture("bg ").empty());
}

TEST(Background, SlideWindowIsExactlyThePlainBlackRectangle) {
  const DecodedPicture bg = Picture("bg");
  ASSERT_EQ(bg.width, 500);
  int blackInside = 0;
  int blackOutsideNearWindow = 0;
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 500; ++x) {
      const bool inside = x >= 15 && x <= 485 && y >= 102 && y <= 359;
      const bool black = bg.At(x, y) == kBlack;
      if (inside) blackInside += black;
      // The frame: a band of 6 pixels around the window must be stone, not black,
      // so the window's edge is exactly where the slide goes.
      const bool band = !inside && x >= 9 && x <= 491 && y >= 96 && y <= 365;
      if (band) blackOutsideNearWindow += black;
    }
  }
  EXPECT_EQ(blackInside, 471 * 258);
  EXPECT_EQ(blackOutsideNearWindow, 0);
}

TEST(Background, FrameOutsideTheWindowIsLitStoneWithoutBlack) {
  const DecodedPicture bg = Picture("bg");
  long sum = 0;
  int count = 0;
  int black = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 500; ++x) {
      if (x >= 15 && x <= 485 && y >= 102 && y <= 359) continue;
      const Rgb c = bg.At(x, y);
      black += c == kBlack;
      sum += c.r + c.g + c.b;
      ++count;
    }
  EXPECT_EQ(black, 0);
  const double mean = static_cast<double>(sum) / (3.0 * count);
  EXPECT_GT(mean, 70.0);   // stone, not a dark void
  EXPECT_LT(mean, 200.0);  // and not washed out
  // Lit from the top left: the rim's top rows are brighter than its bottom rows.
  auto rowMean = [&](int y) {
    long s = 0;
    for (int x = 20; x < 480; ++x) s += bg.At(x, y).r + bg.At(x, y).g + bg.At(x, y).b;
    return s / 460.0;
  };
  EXPECT_GT(rowMean(0) + rowMean(1), rowMean(398) + rowMean(399));
}

TEST(Background, TitleLetteringIsGildedAndTheButtonStripIsPlainStone) {
  const DecodedPicture bg = Picture("bg");
  auto golden = [](const Rgb& c) { return c.r > c.b + 60 && c.g > c.b + 30; };
  int goldTitle = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 500; ++x) goldTitle += golden(bg.At(x, y));
  EXPECT_GT(goldTitle, 2000);  // a large lettering, not a few stray pixels
  int goldStrip = 0;
  for (int y = 368; y <= 396; ++y)
    for (int x = 0; x < 500; ++x) goldStrip += golden(bg.At(x, y));
  EXPECT_EQ(goldStrip, 0);
}

struct Button {
  const char* stem;
  int left, top;
};
const Button kButtons[] = {{"info_install", 7, 368}, {"info_nfo", 101, 368}, {"info_quit", 212, 368}};

TEST(Buttons, ThreeStatesShareOneSizeAndLookClearlyDifferent) {
  for (const Button& b : kButtons) {
    SCOPED_TRACE(b.stem);
    std::vector<DecodedPicture> states;
    for (int s = 1; s <= 3; ++s) states.push_back(Picture((std::string(b.stem) + std::to_string(s)).c_str()));
    for (int s = 1; s < 3; ++s) {
      EXPECT_EQ(states[s].width, states[0].width);
      EXPECT_EQ(states[s].height, states[0].height);
    }
    for (int a = 0; a < 3; ++a)
      for (int c = a + 1; c < 3; ++c) {
        int differing = 0;
        for (int y = 0; y < states[a].height; ++y)
          for (int x = 0; x < states[a].width; ++x) {
            const Rgb p = states[a].At(x, y), q = states[c].At(x, y);
            differing += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) > 60;
          }
        EXPECT_GT(differing, 40) << "states " << a + 1 << " and " << c + 1;
      }
  }
}

TEST(Buttons, StoneAroundTheLetteringIsTheBackgroundsStoneSoTheButtonsSitSeamlessly) {
  const DecodedPicture bg = Picture("bg");
  for (const Button& b : kButtons) {
    for (int s = 1; s <= 3; ++s) {
      const std::string name = std::string(b.stem) + std::to_string(s);
      SCOPED_TRACE(name);
      const DecodedPicture button = Picture(name.c_str());
      int mismatched = 0, border = 0;
      for (int y = 0; y < button.height; ++y)
        for (int x = 0; x < button.width; ++x) {
          if (x > 1 && y > 1 && x < button.width - 2 && y < button.height - 2) continue;
          ++border;
          mismatched += button.At(x, y) != bg.At(b.left + x, b.top + y);
        }
      EXPECT_GT(border, 0);
      EXPECT_EQ(mismatched, 0);
      // The lettering itself changes the middle of the picture.
      int changed = 0;
      for (int y = 0; y < button.height; ++y)
        for (int x = 0; x < button.width; ++x) changed += button.At(x, y) != bg.At(b.left + x, b.top + y);
      EXPECT_GT(changed, 60);
    }
  }
}

TEST(Labels, ReadInDarkGreyWhiteAndYellowOnBlack) {
  for (const char* stem : {"info_features", "info_screenshot"}) {
    std::vector<Rgb> inks;
    for (int s = 1; s <= 3; ++s) {
      const DecodedPicture p = Picture((std::string(stem) + std::to_string(s)).c_str());
      std::map<Rgb, int> counts;
      for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) ++counts[p.At(x, y)];
      ASSERT_EQ(counts.size(), 2u) << stem << s << ": black and one ink";
      EXPECT_GT(counts[kBlack], counts.rbegin()->second);
      EXPECT_GT(counts.rbegin()->second, 60);
      inks.push_back(counts.rbegin()->first);
    }
    EXPECT_EQ(inks[0].r, inks[0].g);
    EXPECT_EQ(inks[0].g, inks[0].b);
    EXPECT_LT(inks[0].r, 160);
    EXPECT_EQ(inks[1], (Rgb{255, 255, 255}));
    EXPECT_GT(inks[2].r, 200);
    EXPECT_GT(inks[2].g, 200);
    EXPECT_LT(inks[2].b, 100);
  }
}

TEST(Palettes, AllEightBitPicturesFitOneColourTableAndSixteenColourOnesUseAtMostSixteen) {
  // A 256-colour display gets one table for everything; the stored pictures'
  // colours, with the 16 that Windows keeps, must fit it.
  std::set<Rgb> colours = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},   {128, 128, 0},
                           {0, 0, 128},     {128, 0, 128},   {0, 128, 128}, {192, 192, 192},
                           {128, 128, 128}, {255, 0, 0},     {0, 255, 0},   {255, 255, 0},
                           {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};
  for (const auto& entry : resources::MainWindowPictures()) {
    const auto p = Decode(entry.Data);
    ASSERT_TRUE(p.has_value());
    if (p->bits != 8) continue;
    for (std::uint8_t i : p->index) colours.insert(p->palette[i]);
  }
  EXPECT_LE(colours.size(), 256u);
  EXPECT_GT(colours.size(), 100u);  // the stone really is shaded

  for (const char* name : {"tarnwell", "MAINICON", "FLOPPY", "HARD", "NETWORK", "CDROM", "RAM", "OPENFOLDER",
                           "CLOSEDFOLDER", "CURRENTFOLDER"}) {
    SCOPED_TRACE(name);
    const DecodedPicture p = Picture(name);
    EXPECT_EQ(p.bits, 4);
    std::set<Rgb> used;
    for (std::uint8_t i : p.index) used.insert(p.palette[i]);
    EXPECT_LE(used.size(), 16u);
    EXPECT_GE(used.size(), 4u);
  }
}

TEST(DialogPictures, BackgroundIsWhiteEntryFifteenAndTheDrawingIsInside) {
  for (const char* name : {"FLOPPY", "HARD", "NETWORK", "CDROM", "RAM", "OPENFOLDER", "CLOSEDFOLDER", "CURRENTFOLDER"}) {
    SCOPED_TRACE(name);
    const DecodedPicture p = Picture(name);
    EXPECT_EQ(p.palette[15], (Rgb{255, 255, 255}));
    for (int i = 0; i < 15; ++i) EXPECT_NE(p.palette[static_cast<std::size_t>(i)], (Rgb{255, 255, 255}));
    EXPECT_EQ(p.IndexAt(0, p.height - 1), 15);  // the bottom-left corner is background
    int drawn = 0;
    for (std::uint8_t i : p.index) drawn += i != 15;
    EXPECT_GT(drawn, p.width * p.height / 4);
  }
  // Each picture is its own drawing.
  std::set<std::vector<std::uint8_t>> distinct;
  for (const char* name : {"FLOPPY", "HARD", "NETWORK", "CDROM", "RAM", "OPENFOLDER", "CLOSEDFOLDER", "CURRENTFOLDER"})
    distinct.insert(Picture(name).index);
  EXPECT_EQ(distinct.size(), 8u);
}

// ---- determinism ----------------------------------------------------------------

std::string PaintCommand(const std::filesystem::path& dir) {
  return "env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 '" + std::string(ARTGEN_PATH) +
         "' --stored '" + dir.string() + "' 2>/dev/null";
}

TEST(Determinism, TwoRunsPaintIdenticalBytesAndTheProgramCarriesExactlyThem) {
  const test_support::TempFolder folder("artgen-test");
  const auto first = folder / "a";
  const auto second = folder / "b";
  // The two runs go side by side, as two separate processes; both must succeed.
  const std::string both =
      PaintCommand(first) + " & a=$!; " + PaintCommand(second) + "; b=$?; wait $a; exit $(( $? | b ))";
  ASSERT_EQ(std::system(both.c_str()), 0) << both;
  std::vector<std::string> names;
  for (const auto& e : resources::MainWindowPictures()) names.emplace_back(e.Name);
  for (const Expected& e : kOthers) names.emplace_back(e.name);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const auto a = test_support::ReadBytes(first / (name + ".tdib"));
    const auto b = test_support::ReadBytes(second / (name + ".tdib"));
    ASSERT_FALSE(a.empty());
    EXPECT_TRUE(a == b);
    const auto embedded = resources::FindPicture(name);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), embedded.begin(), embedded.end()));
  }
}

TEST(Determinism, ArtgenRefusesBadArgumentsWithoutWritingAnything) {
  const std::string base = "env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 '" + std::string(ARTGEN_PATH) + "'";
  EXPECT_NE(std::system((base + " 2>/dev/null").c_str()), 0);
  const test_support::TempFolder folder("artgen-test-bad");
  const auto dir = folder / "out";
  EXPECT_NE(std::system((base + " --nonsense '" + dir.string() + "' 2>/dev/null").c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "bg.tdib"));
}

}  // namespace
