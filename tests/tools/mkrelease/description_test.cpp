// The release description and the name checks: what is accepted, and that each
// refusal names what to fix.
#include "description.h"
#include "names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace fs = std::filesystem;
using mkrelease::ParseDescription;
using mkrelease::ParseSize;
using mkrelease::ReleaseError;
using ::testing::HasSubstr;

namespace {

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ReleaseError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(Description, FullExampleWithCommentsAndRelativePaths) {
  const auto d = ParseDescription(
      "# the demo\n"
      "[Release]\r\n"
      "title = demo            ; base name of the volumes\n"
      "payload = payload/\n"
      "volume_size = 8M\n"
      "nfo = demo.nfo\n"
      "tune = music/tune.mid\n"
      "pictures = art/\n"
      "execute = docs/readme.txt\n"
      "regfile1 = key.txt\n"
      "regfile2 = /abs/other.txt\n"
      "defaultdir = Demo Folder\n"
      "installer = ../bin/install\n"
      "level = 5\n",
      "/rel/base");
  EXPECT_EQ(d.title, "demo");
  EXPECT_EQ(d.payload, fs::path("/rel/base/payload/"));
  EXPECT_EQ(d.volumeSize, 8u << 20);
  EXPECT_EQ(d.nfo, fs::path("/rel/base/demo.nfo"));
  ASSERT_TRUE(d.tune);
  EXPECT_EQ(*d.tune, fs::path("/rel/base/music/tune.mid"));
  ASSERT_TRUE(d.pictures);
  EXPECT_FALSE(d.sheet);
  EXPECT_EQ(d.execute, "docs/readme.txt");
  EXPECT_EQ(*d.regfile1, fs::path("/rel/base/key.txt"));
  EXPECT_EQ(*d.regfile2, fs::path("/abs/other.txt"));
  EXPECT_EQ(d.defaultDir, std::optional<std::string>("Demo Folder"));
  EXPECT_EQ(d.installer, fs::path("/rel/bin/install"));
  EXPECT_EQ(d.level, 5);
}

TEST(Description, OptionalKeysStayUnset) {
  const auto d = ParseDescription("[release]\ntitle=t\npayload=p\nnfo=n.nfo\nsheet=install.jpg\n", "/b");
  EXPECT_FALSE(d.tune);
  EXPECT_FALSE(d.regfile1);
  EXPECT_FALSE(d.regfile2);
  EXPECT_FALSE(d.defaultDir);
  EXPECT_TRUE(d.execute.empty());
  EXPECT_TRUE(d.installer.empty());
  EXPECT_EQ(d.volumeSize, 8u << 20);  // the default
  EXPECT_EQ(*d.sheet, fs::path("/b/install.jpg"));
}

TEST(Description, RefusalsNameTheLineAndTheFix) {
  const std::string base = "[release]\ntitle=t\npayload=p\nnfo=n\npictures=a\n";
  EXPECT_THAT(ErrorOf([&] { ParseDescription(base + "colour = red\n", "/b", "d.txt"); }),
              HasSubstr("d.txt line 6: unknown key 'colour'"));
  EXPECT_THAT(ErrorOf([&] { ParseDescription(base + "title = again\n", "/b"); }),
              HasSubstr("'title' is already given on line 2"));
  EXPECT_THAT(ErrorOf([&] { ParseDescription("[release]\npayload=p\nnfo=n\npictures=a\n", "/b"); }),
              HasSubstr("lacks the key 'title'"));
  EXPECT_THAT(ErrorOf([&] { ParseDescription(base + "sheet = s.jpg\n", "/b"); }),
              HasSubstr("both 'pictures' and 'sheet'"));
  EXPECT_THAT(ErrorOf([&] { ParseDescription("[release]\ntitle=t\npayload=p\nnfo=n\n", "/b"); }),
              HasSubstr("needs 'pictures'"));
  EXPECT_THAT(ErrorOf([&] { ParseDescription("title=t\n", "/b"); }), HasSubstr("belong in the section [release]"));
  EXPECT_THAT(ErrorOf([&] { ParseDescription("[other]\n", "/b"); }), HasSubstr("unknown section [other]"));
  EXPECT_THAT(ErrorOf([&] { ParseDescription(base + "just words\n", "/b"); }), HasSubstr("expected 'key = value'"));
  EXPECT_THAT(ErrorOf([&] { ParseDescription(base + "tune =\n", "/b"); }), HasSubstr("'tune' is empty"));
  EXPECT_THAT(ErrorOf([&] { ParseDescription(base + "level = 9\n", "/b"); }), HasSubstr("from 0 (store) to 5"));
  EXPECT_THAT(ErrorOf([&] { ParseDescription(base + "volume_size = 8Q\n", "/b"); }),
              HasSubstr("line 6: '8Q' is not a size"));
  EXPECT_THAT(ErrorOf([] { mkrelease::ReadDescription("/nonexistent/desc.ini"); }),
              HasSubstr("cannot read the description /nonexistent/desc.ini"));
}

TEST(Description, Sizes) {
  EXPECT_EQ(ParseSize("1000"), 1000u);
  EXPECT_EQ(ParseSize("512K"), 512u * 1024);
  EXPECT_EQ(ParseSize("8m"), 8u << 20);
  EXPECT_EQ(ParseSize("2G"), 2ull << 30);
  EXPECT_THAT(ErrorOf([] { ParseSize(""); }), HasSubstr("is not a size"));
  EXPECT_THAT(ErrorOf([] { ParseSize("K"); }), HasSubstr("is not a size"));
  EXPECT_THAT(ErrorOf([] { ParseSize("-4M"); }), HasSubstr("is not a size"));
  EXPECT_THAT(ErrorOf([] { ParseSize("999999999999G"); }), HasSubstr("too large"));
}

TEST(Names, IniValues) {
  EXPECT_EQ(ErrorOf([] { mkrelease::CheckIniValue("v", "plain name.txt"); }), "(accepted)");
  EXPECT_EQ(ErrorOf([] { mkrelease::CheckIniValue("v", ""); }), "(accepted)");
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckIniValue("the NFO", "a\nb"); }), HasSubstr("the NFO holds a line break"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckIniValue("v", "a\rb"); }), HasSubstr("line break"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckIniValue("v", "a\tb"); }), HasSubstr("control character"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckIniValue("v", "a=b"); }), HasSubstr("holds '='"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckIniValue("v", " a"); }), HasSubstr("blank"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckIniValue("v", "a "); }), HasSubstr("blank"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckIniValue("v", "\"a\""); }), HasSubstr("quotation mark"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckIniValue("v", "'a"); }), HasSubstr("quotation mark"));
  EXPECT_EQ(ErrorOf([] { mkrelease::CheckIniValue("v", std::string(1023, 'x')); }), "(accepted)");
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckIniValue("v", std::string(1024, 'x')); }), HasSubstr("at most 1023"));
}

TEST(Names, ReleaseFileNames) {
  EXPECT_EQ(ErrorOf([] { mkrelease::CheckReleaseFileName("f", "demo.nfo"); }), "(accepted)");
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckReleaseFileName("f", "sub/demo.nfo"); }), HasSubstr("not a plain file name"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckReleaseFileName("f", "/abs.nfo"); }), HasSubstr("not a plain file name"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckReleaseFileName("f", ".."); }), HasSubstr("uses '..'"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckReleaseFileName("f", "a\\b"); }), HasSubstr("character '\\'"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckReleaseFileName("f", "caf\xC3\xA9.nfo"); }), HasSubstr("printable ASCII"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckReleaseFileName("f", "Install.INI"); }), HasSubstr("release folder itself uses"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckReleaseFileName("f", ""); }), HasSubstr("is empty"));
}

TEST(Names, PayloadPaths) {
  EXPECT_EQ(ErrorOf([] { mkrelease::CheckPayloadPath("p", "docs/readme.txt"); }), "(accepted)");
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckPayloadPath("p", "/etc/passwd"); }), HasSubstr("is absolute"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckPayloadPath("p", "docs//readme.txt"); }), HasSubstr("empty path component"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckPayloadPath("p", "docs/../x"); }), HasSubstr("uses '..'"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckPayloadPath("p", "docs/"); }), HasSubstr("empty path component"));
  EXPECT_THAT(ErrorOf([] { mkrelease::CheckPayloadPath("p", "c:x"); }), HasSubstr("character ':'"));
}

}  // namespace
