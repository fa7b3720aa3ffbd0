#include "deepscan/fat_entry_times.h"

#include <gtest/gtest.h>

#include "engines/fat/fat_entry_builder.h"

namespace brinvale {
namespace {

using testing::FatDate;
using testing::FatTime;
using testing::FileEntry;

// FILETIME values worked out independently of the code under test.
constexpr uint64_t k1990 = 0x1B41E2A18D64000;              // 1990-01-01 00:00:00
constexpr uint64_t k2050 = 0x1F7630BE39D8000;              // 2050-01-01 00:00:00
constexpr uint64_t k20100615_123020 = 129210786200000000;  // 2010-06-15 12:30:20
constexpr uint64_t k20100615 = 129210336000000000;         // 2010-06-15 00:00:00
constexpr uint64_t kSecond = 10'000'000;

TEST(FatEntryTimes, ReadsAllThreeStampsAsCalendarTime) {
  testing::Entry e = FileEntry();
  StoreLe16(e, 18, FatDate(1990, 1, 1));  // last access date
  StoreLe16(e, 22, FatTime(0, 0, 0));     // last write time
  StoreLe16(e, 24, FatDate(2050, 1, 1));  // last write date
  FatFileTimes t = FatEntryTimes(e);
  EXPECT_EQ(t.creation, k20100615_123020);
  EXPECT_EQ(t.lastAccess, k1990);
  EXPECT_EQ(t.lastWrite, k2050);
}

TEST(FatEntryTimes, AccessDateIsMidnight) {
  testing::Entry e = FileEntry();
  // The access stamp has no time field: bytes 20..21 hold the cluster high word.
  StoreLe16(e, 20, 0xFFFF);  // first cluster, high word
  EXPECT_EQ(FatEntryTimes(e).lastAccess, k20100615);
}

TEST(FatEntryTimes, TenMillisecondCountAboveHundredAddsASecond) {
  testing::Entry e = FileEntry();
  e[13] = 100;  // creation 10-ms count: exactly one second is not "above"
  EXPECT_EQ(FatEntryTimes(e).creation, k20100615_123020);
  e[13] = 101;
  EXPECT_EQ(FatEntryTimes(e).creation, k20100615_123020 + kSecond);
  e[13] = 199;
  EXPECT_EQ(FatEntryTimes(e).creation, k20100615_123020 + kSecond);
  // Only the creation stamp has the count; the write stamp ignores it.
  EXPECT_EQ(FatEntryTimes(e).lastWrite, k20100615_123020);
}

TEST(FatEntryTimes, OddSecondFromCountStillConvertsAt58) {
  testing::Entry e = FileEntry();
  StoreLe16(e, 14, FatTime(23, 59, 58));                      // creation time
  StoreLe16(e, 16, FatDate(2000, 2, 29));                     // creation date: a leap day
  e[13] = 150;                                                // creation 10-ms count
  EXPECT_EQ(FatEntryTimes(e).creation, 125963423990000000u);  // 2000-02-29 23:59:59
}

TEST(FatEntryTimes, DatesThatDoNotConvertGiveZero) {
  struct Case {
    const char* what;
    uint16_t date;
    uint16_t time;
  };
  const Case cases[] = {
      {"month 0", uint16_t(30 << 9 | 0 << 5 | 10), 0},
      {"month 13", uint16_t(30 << 9 | 13 << 5 | 10), 0},
      {"day 0", FatDate(2010, 6, 0), 0},
      {"31 February", FatDate(2010, 2, 31), 0},
      {"30 February of a leap year", FatDate(2012, 2, 30), 0},
      {"29 February 2100 (not a leap year)", FatDate(2100, 2, 29), 0},
      {"31 April", FatDate(2010, 4, 31), 0},
      {"hour 24", FatDate(2010, 6, 15), uint16_t(24 << 11)},
      {"minute 60", FatDate(2010, 6, 15), uint16_t(60 << 5)},
      {"second 60", FatDate(2010, 6, 15), uint16_t(30)},
      {"all zero", 0, 0},
  };
  for (const Case& c : cases) {
    testing::Entry e = FileEntry();
    StoreLe16(e, 14, c.time);  // creation time
    StoreLe16(e, 16, c.date);  // creation date
    StoreLe16(e, 22, c.time);  // last write time
    StoreLe16(e, 24, c.date);  // last write date
    StoreLe16(e, 18, c.date);  // last access date
    FatFileTimes t = FatEntryTimes(e);
    EXPECT_EQ(t.creation, 0u) << c.what;
    EXPECT_EQ(t.lastWrite, 0u) << c.what;
    if (c.time == 0) {
      EXPECT_EQ(t.lastAccess, 0u) << c.what;
    }
  }
}

TEST(FatEntryTimes, SecondFiftyEightPlusCountDoesNotRollOver) {
  testing::Entry e = FileEntry();
  StoreLe16(e, 14, uint16_t(29));  // creation time: 00:00:58
  e[13] = 199;                     // creation 10-ms count: +1 s
  EXPECT_NE(FatEntryTimes(e).creation, 0u);
  StoreLe16(e, 14, uint16_t(30));  // creation time: second 60, invalid
  e[13] = 0;
  EXPECT_EQ(FatEntryTimes(e).creation, 0u);
}

TEST(FatEntryTimes, EachStampFailsOnItsOwn) {
  testing::Entry e = FileEntry();
  StoreLe16(e, 18, FatDate(2010, 2, 30));  // last access date: invalid
  FatFileTimes t = FatEntryTimes(e);
  EXPECT_EQ(t.lastAccess, 0u);
  EXPECT_EQ(t.creation, k20100615_123020);
  EXPECT_EQ(t.lastWrite, k20100615_123020);
}

TEST(FatEntryTimes, ShortInputGivesZerosWithoutReading) {
  testing::Entry e = FileEntry();
  FatFileTimes t = FatEntryTimes(std::span<const uint8_t>(e).first(31));
  EXPECT_EQ(t.creation, 0u);
  EXPECT_EQ(t.lastAccess, 0u);
  EXPECT_EQ(t.lastWrite, 0u);
}

TEST(FatEntryTimes, WholeFatYearRangeConverts) {
  testing::Entry e = FileEntry();
  StoreLe16(e, 16, FatDate(1980, 1, 1));  // creation date: the first FAT day
  StoreLe16(e, 14, 0);                    // creation time
  EXPECT_EQ(FatEntryTimes(e).creation, 119600064000000000u);
  StoreLe16(e, 16, FatDate(2107, 12, 31));  // creation date: the last FAT day
  StoreLe16(e, 14, FatTime(23, 59, 58));    // creation time
  EXPECT_EQ(FatEntryTimes(e).creation, 159992927980000000u);
}

}  // namespace
}  // namespace brinvale
