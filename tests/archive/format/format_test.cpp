// The format that reader and writer share, on its own: the checksum, block
// sealing, volume names, entry names in both directions, DOS time stamps and the
// error type.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "crc32.h"
#include "dos_time.h"
#include "entry_names.h"
#include "error.h"
#include "layout.h"
#include "volume_names.h"

namespace {

TEST(Crc, CheckValues) {
  const std::string nine = "123456789";
  EXPECT_EQ(ace::Crc32(reinterpret_cast<const std::uint8_t*>(nine.data()), 9), 0x340BC6D9u);
  EXPECT_EQ(ace::Crc32(nullptr, 0), 0xFFFFFFFFu);
  // Piecewise updates give the same value as one pass, at every split point.
  for (std::size_t split = 0; split <= 9; ++split) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(nine.data());
    EXPECT_EQ(ace::CrcUpdate(ace::Crc32(p, split), p + split, 9 - split), 0x340BC6D9u) << split;
  }
}

TEST(Crc, FastRoutineAgreesWithTheTable) {
  std::vector<std::uint8_t> data(5008);  // room for the largest length at the largest offset
  std::uint32_t seed = 12345;
  for (auto& b : data) {
    seed = seed * 1103515245u + 12345u;
    b = std::uint8_t(seed >> 16);
  }
  for (std::size_t len : {0u, 1u, 15u, 16u, 63u, 64u, 65u, 79u, 80u, 127u, 128u, 129u, 200u, 1000u, 4093u, 4999u}) {
    for (std::size_t offset : {0u, 1u, 3u}) {
      for (std::uint32_t start : {0xFFFFFFFFu, 0u, 0x12345678u}) {
        EXPECT_EQ(ace::CrcUpdate(start, data.data() + offset, len), ace::CrcTable(start, data.data() + offset, len))
            << len << " " << offset << " " << start;
      }
    }
  }
}

TEST(VolumeNames, FollowTheSetNumbering) {
  using V = std::vector<std::string>;
  EXPECT_EQ(ace::NextVolumeNames("/d/set.ace"), (V{"/d/set.C00", "/d/set.c00"}));
  EXPECT_EQ(ace::NextVolumeNames("/d/SET.ACE"), (V{"/d/SET.C00", "/d/SET.c00"}));
  EXPECT_EQ(ace::NextVolumeNames("/d/set.c00"), (V{"/d/set.C01", "/d/set.c01"}));
  EXPECT_EQ(ace::NextVolumeNames("/d/set.C09"), (V{"/d/set.C10", "/d/set.c10"}));
  EXPECT_EQ(ace::NextVolumeNames("/d/set.c99"), (V{"/d/set.100"}));
  EXPECT_EQ(ace::NextVolumeNames("/d/set.100"), (V{"/d/set.101"}));
  EXPECT_EQ(ace::NextVolumeNames("/d/set.exe"), (V{"/d/set.C00", "/d/set.c00"}));
  // A missing volume is named in the case of the current extension.
  EXPECT_EQ(ace::MissingVolumeName("/d/set.ace"), "/d/set.c00");
  EXPECT_EQ(ace::MissingVolumeName("/d/SET.ACE"), "/d/SET.C00");
  EXPECT_EQ(ace::MissingVolumeName("/d/set.C05"), "/d/set.C06");
  EXPECT_EQ(ace::MissingVolumeName("/d/set.c99"), "/d/set.100");
}

TEST(EntryNames, SafeNamesSplitAndUnsafeOnesAreRefused) {
  std::vector<std::string> parts;
  ASSERT_EQ(ace::SplitEntryName("dir\\sub/file.txt", parts), ace::Status::Ok);
  EXPECT_EQ(parts, (std::vector<std::string>{"dir", "sub", "file.txt"}));
  ASSERT_EQ(ace::SplitEntryName("..name", parts), ace::Status::Ok);
  for (const char* bad : {"", "\\abs", "/abs", "C:\\x", "c:x", "..", "..\\x", "a\\..\\b", "a\\.\\b",
                          ".", "a\\\\b", "a\\", "a//b"}) {
    EXPECT_EQ(ace::SplitEntryName(bad, parts), ace::Status::UnsafeName) << bad;
  }
}

TEST(DosTime, LocalTimeFieldsAndImpossibleStamps) {
  std::int64_t t = 0;
  ASSERT_TRUE(ace::DosTimeToUnix(0x24DE9280, t));
  const time_t tt = time_t(t);
  struct tm tm;
  localtime_r(&tt, &tm);
  // 0x24DE9280: 1998-06-30 18:20:00
  EXPECT_EQ(tm.tm_year + 1900, 1998);
  EXPECT_EQ(tm.tm_mon + 1, 6);
  EXPECT_EQ(tm.tm_mday, 30);
  EXPECT_EQ(tm.tm_hour, 18);
  EXPECT_EQ(tm.tm_min, 20);
  EXPECT_EQ(tm.tm_sec, 0);
  EXPECT_FALSE(ace::DosTimeToUnix(0, t));           // month 0, day 0
  EXPECT_FALSE(ace::DosTimeToUnix(0x0021F000, t));  // hour 30
}

TEST(VolumeNames, ExtensionsOfEachIndex) {
  const struct {
    int index;
    char letter;
    const char* extension;
  } rows[] = {{1, 'c', "c00"}, {2, 'C', "C01"}, {100, 'c', "c99"}, {101, 'c', "100"}, {256, 'C', "255"}};
  for (const auto& row : rows) EXPECT_EQ(ace::VolumeExtension(row.index, row.letter), row.extension) << row.index;
}

// The writer names volume k with VolumeExtension(k, 'c'); the reader, from volume
// k - 1, must look for exactly that name (its lower-case spelling).
TEST(VolumeNames, TheReaderFindsWhatTheWriterNames) {
  std::string current = "/d/set.ace";
  for (int k = 1; k <= 256; ++k) {
    const std::string expected = "/d/set." + ace::VolumeExtension(k, 'c');
    EXPECT_EQ(ace::NextVolumeNames(current).back(), expected) << k;
    EXPECT_EQ(ace::MissingVolumeName(current), expected) << k;
    current = expected;
  }
}

TEST(Blocks, SealedBlocksCarryTheirSizeAndChecksum) {
  std::vector<std::uint8_t> block(ace::kBlockPrefix, 0xEE);
  ace::AppendU8(block, ace::kFileBlock32);
  ace::AppendU16(block, ace::kFlagAddSize | ace::kFlagSolid);
  ace::AppendU32(block, 0x01020304u);
  ace::SealBlock(block);
  ASSERT_EQ(block.size(), ace::kBlockPrefix + 7);
  EXPECT_EQ(ace::LoadU16(block.data() + 2), 7u);
  EXPECT_EQ(ace::LoadU16(block.data()), ace::HeaderCrc(block.data() + 4, 7));
  EXPECT_EQ(ace::HeaderCrc(block.data() + 4, 7),
            ace::CrcTable(ace::kCrcStart, block.data() + 4, 7) & 0xFFFF);
  EXPECT_EQ(ace::LoadU16(block.data() + 5), 0x8001u);
  EXPECT_EQ(ace::LoadU32(block.data() + 7), 0x01020304u);
}

TEST(EntryNames, StoredFormsAndTheStatusOfRefusals) {
  ace::EntryName forms;
  std::string message;
  ASSERT_EQ(ace::StoredEntryName("dir/M\xc3\xbcller.txt/", forms, message), ace::Status::Ok);
  EXPECT_EQ(forms.name, "dir\\M\xc3\xbcller.txt");
  EXPECT_EQ(forms.stored, "dir\\M\x81ller.txt");
  EXPECT_TRUE(message.empty());
  // What the writer stores, the reader lets through, in the same components.
  std::vector<std::string> parts;
  ASSERT_EQ(ace::SplitEntryName(forms.name, parts), ace::Status::Ok);
  EXPECT_EQ(parts, (std::vector<std::string>{"dir", "M\xc3\xbcller.txt"}));
  const std::pair<const char*, const char*> refused[] = {
      {"", "entry name \"\": is empty"},
      {"/abs", "entry name \"/abs\": is absolute"},
      {"a//b", "entry name \"a//b\": has an empty path component"},
      {"a/../b", "entry name \"a/../b\": has a '..' component"},
      {"c:x", "entry name \"c:x\": contains the character ':'"},
  };
  for (const auto& [name, text] : refused) {
    EXPECT_EQ(ace::StoredEntryName(name, forms, message), ace::Status::UnsafeName) << name;
    EXPECT_EQ(message, text);
    EXPECT_TRUE(forms.name.empty() && forms.stored.empty()) << name;
  }
}

TEST(DosTime, StampsOfMomentsReadBackAndAreClamped) {
  struct tm tm = {};
  tm.tm_year = 1998 - 1900;
  tm.tm_mon = 5;
  tm.tm_mday = 30;
  tm.tm_hour = 18;
  tm.tm_min = 20;
  tm.tm_sec = 7;  // odd seconds round down to the step of two
  tm.tm_isdst = -1;
  const std::time_t moment = std::mktime(&tm);
  EXPECT_EQ(ace::UnixToDosTime(moment), 0x24DE9283u);
  std::int64_t back = 0;
  ASSERT_TRUE(ace::DosTimeToUnix(ace::UnixToDosTime(moment), back));
  EXPECT_EQ(back, std::int64_t(moment) - 1);
  EXPECT_EQ(ace::UnixToDosTime(0), (1u << 21) | (1u << 16));  // 1970 becomes 1980-01-01
}

TEST(Errors, CarryTheirStatusAndMessage) {
  try {
    throw ace::Error(ace::Status::Cancelled, "stopped");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "stopped");
    ASSERT_NE(dynamic_cast<const ace::Error*>(&e), nullptr);
    EXPECT_EQ(dynamic_cast<const ace::Error&>(e).status(), ace::Status::Cancelled);
  }
}

}  // namespace
