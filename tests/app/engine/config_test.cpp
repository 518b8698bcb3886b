#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "paths.h"
#include "private_profile.h"
#include "settings.h"
#include "test_support.h"

namespace fs = std::filesystem;

using test_support::TempFolder;

namespace {

std::string Value(const std::string& text, const std::string& key, const std::string& def = "DEF") {
  return ProfileStringFromText(text, "FLAGS", key, def);
}

}  // namespace

TEST(PrivateProfile, SectionsAndKeysIgnoreCase) {
  const std::string text = "[flags]\nsource=a.ace\n[Other]\nNFOFILE=x\n";
  EXPECT_EQ(Value(text, "SOURCE"), "a.ace");
  EXPECT_EQ(Value(text, "NFOFILE"), "DEF") << "a key of another section is not found";
}

TEST(PrivateProfile, ValueIsTextAfterFirstEqualsWithoutBlanks) {
  EXPECT_EQ(Value("[FLAGS]\r\n  KEY  =  a = b  \r\n", "KEY"), "a = b");
  EXPECT_EQ(Value("[FLAGS]\nKEY=\t12\t\n", "KEY"), "12");
}

TEST(PrivateProfile, OnePairOfMatchingQuotesIsRemoved) {
  EXPECT_EQ(Value("[FLAGS]\nK=\"rel.ace\"\n", "K"), "rel.ace");
  EXPECT_EQ(Value("[FLAGS]\nK='rel.ace'\n", "K"), "rel.ace");
  EXPECT_EQ(Value("[FLAGS]\nK=\"rel.ace'\n", "K"), "\"rel.ace'") << "quotes must match";
  EXPECT_EQ(Value("[FLAGS]\nK=\"\"x\"\"\n", "K"), "\"x\"") << "only one pair goes";
}

TEST(PrivateProfile, EmptyValueIsNotTheDefault) {
  EXPECT_EQ(Value("[FLAGS]\nK=\n", "K"), "");
  EXPECT_EQ(Value("[FLAGS]\nOTHER=1\n", "K"), "DEF");
  EXPECT_EQ(Value("", "K"), "DEF");
  EXPECT_EQ(Value("[NOTFLAGS]\nK=1\n", "K"), "DEF");
}

TEST(PrivateProfile, LongValuesAreCutTo1023Characters) {
  const std::string longValue(1500, 'x');
  EXPECT_EQ(Value("[FLAGS]\nK=" + longValue + "\n", "K"), std::string(1023, 'x'));
  EXPECT_EQ(Value("[FLAGS]\nK=" + std::string(1023, 'y') + "\n", "K"), std::string(1023, 'y'));
}

TEST(PrivateProfile, MissingFileGivesDefault) {
  EXPECT_EQ(GetPrivateProfileString("FLAGS", "K", "fallback", "/nonexistent/install.ini"), "fallback");
  TempFolder dir;  // a folder in place of the file
  EXPECT_EQ(GetPrivateProfileString("FLAGS", "K", "fallback", dir.Dir()), "fallback");
}

TEST(StrToInt, AcceptsTheIntegerLiteralForms) {
  EXPECT_EQ(StrToInt("$1A"), 26);
  EXPECT_EQ(StrToInt("$1a"), 26);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("-7"), -7);
  EXPECT_EQ(StrToInt("0012"), 12);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt("$7FFFFFFF"), INT32_MAX);
}

TEST(StrToInt, RefusesEverythingElseWithTheValueInTheMessage) {
  for (const char* bad : {"", "12a", "a12", "+", "-", "$", "-$1A", "+$1", "1 2", "2147483648",
                          "-2147483649", "$80000000", "0x1A", "1.0"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid integer value");
    }
  }
}

TEST(ReadSettings, ReadsAllKeysAndJoinsTheTwoPaths) {
  TempFolder dir;
  dir.WriteFile("install.ini",
            "[FLAGS]\nSOURCE=\"sub/rel.ace\"\nnfofile=rel.nfo\nMIDFILE=tune.mid\nDEFAULTDIR=Game\n"
            "REGFILE1=a.reg\nREGFILE2=b.reg\nEXECUTE=setup.exe\nNUMFILES= 12 \n");
  TSettings s;
  ReadSettings(dir.Dir(), s);
  EXPECT_EQ(s.Source, dir.Dir() + "sub/rel.ace");
  EXPECT_EQ(s.NfoFile, dir.Dir() + "rel.nfo");
  EXPECT_EQ(s.MidFile, "tune.mid");
  EXPECT_EQ(s.DefaultDir, "Game");
  EXPECT_EQ(s.RegFile1, "a.reg");
  EXPECT_EQ(s.RegFile2, "b.reg");
  EXPECT_EQ(s.Execute, "setup.exe");
  EXPECT_EQ(s.NumFiles, 12);
  EXPECT_EQ(s.VolumeCounterMax, 12);
  EXPECT_EQ(s.FileBarOrigin, (TPoint{60, 150}));
  EXPECT_EQ(s.VolumeBarOrigin, (TPoint{60, 250}));
}

TEST(ReadSettings, DefaultsWithoutAFile) {
  TempFolder dir;
  TSettings s;
  ReadSettings(dir.Dir(), s);
  EXPECT_EQ(s.Source, dir.Dir()) << "the archive path is the folder itself";
  EXPECT_EQ(s.NfoFile, dir.Dir());
  EXPECT_EQ(s.MidFile, "");
  EXPECT_EQ(s.DefaultDir, "untitled");
  EXPECT_EQ(s.NumFiles, 10);
}

TEST(ReadSettings, EmptyDefaultDirProposesAnEmptyName) {
  TempFolder dir;
  dir.WriteFile("install.ini", "[FLAGS]\nDEFAULTDIR=\n");
  TSettings s;
  ReadSettings(dir.Dir(), s);
  EXPECT_EQ(s.DefaultDir, "");
}

TEST(ReadSettings, BadNumFilesStopsAfterTheNames) {
  TempFolder dir;
  dir.WriteFile("install.ini", "[FLAGS]\nSOURCE=r.ace\nEXECUTE=x\nNUMFILES=\n");
  TSettings s;
  try {
    ReadSettings(dir.Dir(), s);
    FAIL() << "an empty NUMFILES must not convert";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'' is not a valid integer value");
  }
  EXPECT_EQ(s.Source, dir.Dir() + "r.ace");
  EXPECT_EQ(s.Execute, "x");
  EXPECT_EQ(s.NumFiles, 0);
  EXPECT_EQ(s.FileBarOrigin, (TPoint{0, 0}));
}

TEST(ReadSettings, NumFilesBelowOneIsRefused) {
  for (const char* value : {"0", "-3"}) {
    TempFolder dir;
    dir.WriteFile("install.ini", std::string("[FLAGS]\nNUMFILES=") + value + "\n");
    TSettings s;
    EXPECT_THROW(ReadSettings(dir.Dir(), s), EConvertError) << value;
    EXPECT_EQ(s.NumFiles, 0);
  }
}

TEST(Paths, AddSlash) {
  EXPECT_EQ(AddSlash(""), std::string(1, kPathSeparator));
  EXPECT_EQ(AddSlash("/opt/games"), "/opt/games/");
  EXPECT_EQ(AddSlash("/opt/games/"), "/opt/games/");
  EXPECT_EQ(AddSlash("/"), "/");
}

TEST(Paths, ExecutableDirEndsWithSeparatorAndHoldsTheTest) {
  const std::string dir = ExecutableDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), kPathSeparator);
  EXPECT_TRUE(fs::exists(dir + "config_tests"));
}

TEST(Paths, FileNamePart) {
  EXPECT_EQ(FileNamePart("/rel/disk.c01"), "disk.c01");
  EXPECT_EQ(FileNamePart("disk.ace"), "disk.ace");
  EXPECT_EQ(FileNamePart("/rel/"), "");
}
