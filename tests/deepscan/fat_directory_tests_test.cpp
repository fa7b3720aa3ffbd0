#include "deepscan/fat_directory_tests.h"

#include <gtest/gtest.h>

#include <string>

#include "engines/fat/fat_entry_builder.h"

namespace brinvale {
namespace {

using testing::Concat;
using testing::DotEntry;
using testing::Entry;
using testing::FatDate;
using testing::FatTime;
using testing::FileEntry;
using testing::FolderEntry;
using testing::LabelEntry;
using testing::LongNamePart;
using testing::Sector;

uint8_t ChecksumOf(const Entry& shortEntry) {
  return ShortNameChecksum(std::span<const uint8_t, 11>(shortEntry.data(), 11));
}

// ---- IsPlausibleEntry, rule by rule ----

TEST(IsPlausibleEntry, PlainFileAndFolderPass) {
  EXPECT_TRUE(IsPlausibleEntry(FileEntry()));
  EXPECT_TRUE(IsPlausibleEntry(FolderEntry()));
}

TEST(IsPlausibleEntry, FewerThan32BytesFail) {
  Entry e = FileEntry();
  EXPECT_FALSE(IsPlausibleEntry(std::span<const uint8_t>(e).first(31)));
  EXPECT_FALSE(IsPlausibleEntry({}));
}

TEST(IsPlausibleEntry, Step1DotFollowedByDotDotIsAcceptedOnSight) {
  std::vector<uint8_t> pair = Concat(DotEntry(1, 9), DotEntry(2, 0));
  EXPECT_TRUE(IsPlausibleEntry(pair));
  // Without the following entry the "." name fails the name rule.
  EXPECT_FALSE(IsPlausibleEntry(std::span<const uint8_t>(pair).first(32)));
  // A ".." with a size is no folder start.
  Entry dotDot = DotEntry(2, 0);
  StoreLe32(dotDot, 28, 512);  // size
  EXPECT_FALSE(IsPlausibleEntry(Concat(DotEntry(1, 9), dotDot)));
  // Nor is "." followed by a second "." entry.
  Entry notDotDot = DotEntry(1, 0);
  EXPECT_FALSE(IsPlausibleEntry(Concat(DotEntry(1, 9), notDotDot)));
  // A "." that is a file is no folder start.
  Entry dotFile = DotEntry(1, 9);
  dotFile[11] = 0x20;  // attributes: archive
  EXPECT_FALSE(IsPlausibleEntry(Concat(dotFile, DotEntry(2, 0))));
}

TEST(IsPlausibleEntry, Step2EmptyFileWithClusterFails) {
  Entry e = FileEntry();
  StoreLe32(e, 28, 0);  // size
  EXPECT_FALSE(IsPlausibleEntry(e)) << "size 0, low cluster 5";
  StoreLe16(e, 26, 0);  // first cluster, low word
  EXPECT_TRUE(IsPlausibleEntry(e)) << "size 0, no cluster";
  StoreLe16(e, 20, 1);  // first cluster, high word
  EXPECT_FALSE(IsPlausibleEntry(e)) << "size 0, high cluster 1";
  // A folder has size 0 and a cluster.
  EXPECT_TRUE(IsPlausibleEntry(FolderEntry()));
}

TEST(IsPlausibleEntry, Step3VolumeLabelOwnsNoData) {
  // Labels need no stamps, may hold lower case and are exempt from the name rule.
  EXPECT_TRUE(IsPlausibleEntry(LabelEntry("My disk    ")));
  Entry sized = LabelEntry("MYDISK     ");
  StoreLe32(sized, 28, 1);  // size
  EXPECT_FALSE(IsPlausibleEntry(sized));
  Entry low = LabelEntry("MYDISK     ");
  StoreLe16(low, 26, 3);  // first cluster, low word
  EXPECT_FALSE(IsPlausibleEntry(low));
  Entry high = LabelEntry("MYDISK     ");
  StoreLe16(high, 20, 3);  // first cluster, high word
  EXPECT_FALSE(IsPlausibleEntry(high));
}

TEST(IsPlausibleEntry, Step3LabelBitMixedWithOthersFails) {
  Entry e = FileEntry();
  e[11] = 0x28;  // attributes: archive + volume label
  EXPECT_FALSE(IsPlausibleEntry(e));
  e[11] = 0x18;  // attributes: folder + volume label
  EXPECT_FALSE(IsPlausibleEntry(e));
  e[11] = 0x0C;  // attributes: system + volume label
  EXPECT_FALSE(IsPlausibleEntry(e));
  // 0x0F is the long-name mark, not a label.
  EXPECT_TRUE(IsPlausibleEntry(LongNamePart(0x41, 0x5A)));
}

TEST(IsPlausibleEntry, Step4FolderReadOnlyAndHighBitsFail) {
  Entry folder = FolderEntry();
  folder[11] = 0x11;  // attributes: folder + read-only
  EXPECT_FALSE(IsPlausibleEntry(folder));
  Entry file = FileEntry();
  file[11] = 0x21;  // attributes: archive + read-only
  EXPECT_TRUE(IsPlausibleEntry(file));
  file[11] = 0x60;  // attributes: archive + 0x40
  EXPECT_FALSE(IsPlausibleEntry(file));
  file[11] = 0x31;  // attributes: archive + folder + read-only
  EXPECT_FALSE(IsPlausibleEntry(file));
  file[11] = 0x27;  // attributes: archive, system, hidden, read-only
  EXPECT_TRUE(IsPlausibleEntry(file));
}

TEST(IsPlausibleEntry, Step5LongNameOfTwentyPartsIsLegal) {
  EXPECT_TRUE(IsPlausibleEntry(LongNamePart(0x40 | 18, 0x11)));
  EXPECT_TRUE(IsPlausibleEntry(LongNamePart(0x40 | 19, 0x11)));
  EXPECT_TRUE(IsPlausibleEntry(LongNamePart(0x40 | 20, 0x11)));
  EXPECT_TRUE(IsPlausibleEntry(LongNamePart(20, 0x11)));
  EXPECT_FALSE(IsPlausibleEntry(LongNamePart(0x40 | 21, 0x11)));
  EXPECT_FALSE(IsPlausibleEntry(LongNamePart(21, 0x11)));
  EXPECT_FALSE(IsPlausibleEntry(LongNamePart(0x3F, 0x11)));
  // A deleted part has lost its sequence number.
  EXPECT_TRUE(IsPlausibleEntry(LongNamePart(0xE5, 0x11)));
}

TEST(IsPlausibleEntry, Step6LiveFileDated1985Fails) {
  for (size_t dateAt : {16u, 18u, 24u}) {  // creation, access, write date
    Entry e = FileEntry();
    StoreLe16(e, dateAt, FatDate(1985, 3, 1));
    EXPECT_FALSE(IsPlausibleEntry(e)) << "date at " << dateAt;
    e[0] = 0xE5;  // deleted: stamps not checked
    EXPECT_TRUE(IsPlausibleEntry(e)) << "deleted, date at " << dateAt;
  }
  Entry folder = FolderEntry();
  StoreLe16(folder, 16, FatDate(1985, 3, 1));  // creation date
  EXPECT_TRUE(IsPlausibleEntry(folder)) << "folders are not dated";
}

TEST(IsPlausibleEntry, Step6WindowIsInclusiveOnBothEnds) {
  Entry e = FileEntry();
  StoreLe16(e, 14, 0);                    // creation time
  StoreLe16(e, 16, FatDate(1990, 1, 1));  // creation date
  EXPECT_TRUE(IsPlausibleEntry(e)) << "1990-01-01 00:00:00";
  StoreLe16(e, 14, FatTime(23, 59, 58));    // creation time
  StoreLe16(e, 16, FatDate(1989, 12, 31));  // creation date
  EXPECT_FALSE(IsPlausibleEntry(e)) << "1989-12-31 23:59:58";
  StoreLe16(e, 14, 0);                    // creation time
  StoreLe16(e, 16, FatDate(2050, 1, 1));  // creation date
  EXPECT_TRUE(IsPlausibleEntry(e)) << "2050-01-01 00:00:00";
  e[13] = 101;  // creation 10-ms count: one second later
  EXPECT_FALSE(IsPlausibleEntry(e)) << "2050-01-01 00:00:01";
  e[13] = 0;
  StoreLe16(e, 22, FatTime(0, 0, 2));     // last write time
  StoreLe16(e, 24, FatDate(2050, 1, 1));  // last write date
  EXPECT_FALSE(IsPlausibleEntry(e)) << "written 2050-01-01 00:00:02";
}

TEST(IsPlausibleEntry, Step6StampThatDoesNotConvertFails) {
  Entry e = FileEntry();
  StoreLe16(e, 18, 0);  // last access date: none recorded
  EXPECT_FALSE(IsPlausibleEntry(e));
  e = FileEntry();
  StoreLe16(e, 16, FatDate(2010, 2, 31));  // creation date: 31 February
  EXPECT_FALSE(IsPlausibleEntry(e));
}

TEST(IsPlausibleEntry, Step7NameBytes) {
  EXPECT_FALSE(IsPlausibleEntry(FileEntry("PHOTo   JPG"))) << "lower case";
  EXPECT_FALSE(IsPlausibleEntry(FileEntry("PHOTO   JPg"))) << "lower case in the extension";
  for (char c : std::string("\\/:*?\"<>|.")) {
    std::string name = "PH?TO   JPG";
    name[2] = c;
    EXPECT_FALSE(IsPlausibleEntry(FileEntry(name.c_str()))) << "byte " << c;
  }
  Entry control = FileEntry();
  control[4] = 0x1F;  // a control byte inside the base name
  EXPECT_FALSE(IsPlausibleEntry(control));
  Entry kanjiEscape = FileEntry();
  kanjiEscape[0] = 0x05;  // first byte 0x05
  EXPECT_FALSE(IsPlausibleEntry(kanjiEscape));
  EXPECT_TRUE(IsPlausibleEntry(FileEntry("A_B-1~2 $!#"))) << "punctuation FAT allows";
  Entry high = FileEntry();
  high[3] = 0xC4;  // a byte of an OEM code page
  EXPECT_TRUE(IsPlausibleEntry(high));
  Entry deleted = FileEntry();
  deleted[0] = 0xE5;  // deleted mark
  EXPECT_TRUE(IsPlausibleEntry(deleted));
  // Long-name parts hold UTF-16 text and are exempt.
  EXPECT_TRUE(IsPlausibleEntry(LongNamePart(0x41, 0x11, 'a')));
}

TEST(IsPlausibleEntry, Step8SizeAndClusterWhereNoneBelongs) {
  Entry folder = FolderEntry();
  StoreLe32(folder, 28, 4096);  // size
  EXPECT_FALSE(IsPlausibleEntry(folder)) << "live folder with a size";
  folder[0] = 0xE5;  // deleted mark
  EXPECT_TRUE(IsPlausibleEntry(folder)) << "deleted folder with a size";
  Entry part = LongNamePart(0x41, 0x11);
  StoreLe16(part, 26, 1);  // first cluster, low word
  EXPECT_FALSE(IsPlausibleEntry(part));
}

TEST(IsPlausibleEntry, Step8FileNeedsFolderOrArchiveBit) {
  Entry e = FileEntry();
  e[11] = 0x00;  // attributes: none
  EXPECT_FALSE(IsPlausibleEntry(e));
  e[11] = 0x01;  // attributes: read-only
  EXPECT_FALSE(IsPlausibleEntry(e));
  e[11] = 0x06;  // attributes: hidden + system
  EXPECT_FALSE(IsPlausibleEntry(e));
  e[11] = 0x26;  // attributes: archive + hidden + system
  EXPECT_TRUE(IsPlausibleEntry(e));
}

// ---- IsDotDirectoryStart ----

TEST(IsDotDirectoryStart, DotAndDotDotFolders) {
  std::vector<uint8_t> s = Sector({DotEntry(1, 9), DotEntry(2, 0), FileEntry()});
  EXPECT_TRUE(IsDotDirectoryStart(s));
  EXPECT_TRUE(IsDotDirectoryStart(std::span<const uint8_t>(s).first(64)));
  EXPECT_FALSE(IsDotDirectoryStart(std::span<const uint8_t>(s).first(63)));
  // ...and, entry by entry, the first passes the plausibility shortcut.
  EXPECT_TRUE(IsPlausibleEntry(s));
}

TEST(IsDotDirectoryStart, EachConditionMatters) {
  Entry dotFile = DotEntry(1, 9);
  dotFile[11] = 0x20;  // attributes: archive
  EXPECT_FALSE(IsDotDirectoryStart(Concat(dotFile, DotEntry(2, 0))));
  Entry dotSized = DotEntry(1, 9);
  StoreLe32(dotSized, 28, 1);  // size
  EXPECT_FALSE(IsDotDirectoryStart(Concat(dotSized, DotEntry(2, 0))));
  Entry single = DotEntry(1, 0);
  EXPECT_FALSE(IsDotDirectoryStart(Concat(DotEntry(1, 9), single)));
  Entry dotDotFile = DotEntry(2, 0);
  dotDotFile[11] = 0x20;  // attributes: archive
  EXPECT_FALSE(IsDotDirectoryStart(Concat(DotEntry(1, 9), dotDotFile)));
  Entry dotDotSized = DotEntry(2, 0);
  StoreLe32(dotDotSized, 28, 1);  // size
  EXPECT_FALSE(IsDotDirectoryStart(Concat(DotEntry(1, 9), dotDotSized)));
  EXPECT_FALSE(IsDotDirectoryStart(Concat(FolderEntry(), DotEntry(2, 0))));
}

// ---- IsDirectorySector ----

TEST(IsDirectorySector, ShorterThanOneEntryCounts) {
  EXPECT_TRUE(IsDirectorySector({}));
  std::vector<uint8_t> junk(31, 0xAB);
  EXPECT_TRUE(IsDirectorySector(junk));
}

TEST(IsDirectorySector, FirstByteZeroIsNoDirectory) {
  std::vector<uint8_t> zeros(512, 0);
  EXPECT_FALSE(IsDirectorySector(zeros));
  std::vector<uint8_t> s = Sector({FileEntry()});
  s[0] = 0;
  EXPECT_FALSE(IsDirectorySector(s));
}

TEST(IsDirectorySector, EntriesThenZeroFill) {
  std::vector<uint8_t> s = Sector({FileEntry(), FolderEntry()});
  EXPECT_TRUE(IsDirectorySector(s));
  s[200] = 1;  // a stray byte in the fill
  EXPECT_FALSE(IsDirectorySector(s));
  // An end mark whose own entry is not blank.
  s = Sector({FileEntry(), FolderEntry()});
  s[64 + 11] = 0x20;
  EXPECT_FALSE(IsDirectorySector(s));
}

TEST(IsDirectorySector, FillRuleCoversBytesAfterTheLastWholeEntry) {
  std::vector<uint8_t> s = Sector({FileEntry()}, 80);  // two entries and 16 bytes
  EXPECT_TRUE(IsDirectorySector(s));
  s[79] = 7;
  EXPECT_FALSE(IsDirectorySector(s));
  // Without an end mark, the partial tail is not looked at.
  std::vector<uint8_t> full = Sector({FileEntry(), FolderEntry()}, 80);
  full[79] = 7;
  EXPECT_TRUE(IsDirectorySector(full));
}

TEST(IsDirectorySector, FullSectorOfEntriesPasses) {
  std::vector<uint8_t> s;
  for (int i = 0; i < 16; ++i) {
    Entry e = FileEntry("FILE0000TXT");
    e[6] = uint8_t('0' + i / 10);  // base name digits
    e[7] = uint8_t('0' + i % 10);
    s.insert(s.end(), e.begin(), e.end());
  }
  EXPECT_TRUE(IsDirectorySector(s));
}

TEST(IsDirectorySector, LiveFileDated1985Fails) {
  Entry old = FileEntry();
  StoreLe16(old, 24, FatDate(1985, 7, 1));  // last write date
  EXPECT_FALSE(IsDirectorySector(Sector({FileEntry(), old})));
}

TEST(IsDirectorySector, RepeatingFillerPatternFails) {
  // A deleted entry whose bytes 17..30 repeat bytes 1..14.
  Entry e{};
  std::memcpy(e.data(),
              "\xE5"
              "2ABCDEFGH",
              10);                               // deleted mark + name bytes 1..9
  e[10] = 'X';                                   // last extension byte
  e[11] = 0x20;                                  // attributes: archive
  e[12] = 0x01;                                  // reserved (size byte 0 after the copy)
  e[13] = 0x00;                                  // creation 10-ms count
  e[14] = 0x00;                                  // creation time, low byte
  e[15] = 0x00;                                  // creation time, high byte
  e[16] = 0x21;                                  // creation date, low byte: 1 January
  std::memcpy(e.data() + 17, e.data() + 1, 14);  // bytes 17..30 = bytes 1..14
  e[31] = 0x00;                                  // size, high byte
  // Creation date 0x3221 is 1 January 2005; the entry itself is plausible.
  ASSERT_TRUE(IsPlausibleEntry(e));
  EXPECT_FALSE(IsDirectorySector(Sector({FileEntry(), e})));
  e[30] = 0x01;  // break the repetition (size byte 2)
  ASSERT_TRUE(IsPlausibleEntry(e));
  EXPECT_TRUE(IsDirectorySector(Sector({FileEntry(), e})));
}

TEST(IsDirectorySector, LongNameRunWithItsShortEntryPasses) {
  Entry shortEntry = FileEntry("HOLIDA~1JPG");
  const uint8_t sum = ChecksumOf(shortEntry);
  EXPECT_TRUE(IsDirectorySector(
      Sector({LongNamePart(0x42, sum, 'n'), LongNamePart(0x01, sum, 'a'), shortEntry})));
}

TEST(IsDirectorySector, LongNameChecksumMismatchFails) {
  Entry shortEntry = FileEntry("HOLIDA~1JPG");
  const uint8_t sum = ChecksumOf(shortEntry);
  const uint8_t other = uint8_t(sum + 1);
  EXPECT_FALSE(IsDirectorySector(Sector({LongNamePart(0x41, other), shortEntry})))
      << "short entry does not match";
  EXPECT_FALSE(
      IsDirectorySector(Sector({LongNamePart(0x42, sum), LongNamePart(0x01, other), shortEntry})))
      << "parts of one run disagree";
  // A deleted short entry lost its first byte, so its checksum cannot match.
  Entry deleted = shortEntry;
  deleted[0] = 0xE5;  // deleted mark
  EXPECT_TRUE(IsDirectorySector(Sector({LongNamePart(0xE5, sum), deleted})));
  // A folder ends a run as well.
  Entry folder = FolderEntry("HOLIDA~1   ");
  EXPECT_TRUE(IsDirectorySector(Sector({LongNamePart(0x41, ChecksumOf(folder)), folder})));
}

TEST(IsDirectorySector, LongNameRunEntryMustBePlausible) {
  Entry shortEntry = FileEntry("HOLIDA~1JPG");
  StoreLe16(shortEntry, 16, FatDate(1985, 1, 1));  // creation date: too early
  EXPECT_FALSE(IsDirectorySector(Sector({LongNamePart(0x41, ChecksumOf(shortEntry)), shortEntry})));
}

TEST(IsDirectorySector, LongNameRunGoingPastTheSectorEndPasses) {
  // 15 ordinary entries, then the last part of a name whose short entry is
  // in the next sector.
  std::vector<uint8_t> s;
  for (int i = 0; i < 15; ++i) {
    Entry e = FileEntry("FILE00  TXT");
    e[5] = uint8_t('A' + i);
    s.insert(s.end(), e.begin(), e.end());
  }
  Entry part = LongNamePart(0x43, 0x77);
  s.insert(s.end(), part.begin(), part.end());
  ASSERT_EQ(s.size(), 512u);
  EXPECT_TRUE(IsDirectorySector(s));
}

// Builds a run of `parts` long-name parts, last part first, then its short entry.
std::vector<uint8_t> LongNameSector(int parts, size_t sectorSize) {
  Entry shortEntry = FileEntry("VERYLO~1TXT");
  const uint8_t sum = ChecksumOf(shortEntry);
  std::vector<uint8_t> s;
  for (int n = parts; n >= 1; --n) {
    Entry part = LongNamePart(uint8_t(n == parts ? 0x40 | n : n), sum, char('a' + n % 20));
    s.insert(s.end(), part.begin(), part.end());
  }
  s.insert(s.end(), shortEntry.begin(), shortEntry.end());
  s.resize(sectorSize, 0);
  return s;
}

TEST(IsDirectorySector, TwentyPartLongNameFitsAndTwentyOneDoesNot) {
  // 255 characters need 20 parts; a 1024-byte sector holds 20 parts and
  // the short entry.
  EXPECT_TRUE(IsDirectorySector(LongNameSector(19, 1024)));
  EXPECT_TRUE(IsDirectorySector(LongNameSector(20, 1024)));
  EXPECT_FALSE(IsDirectorySector(LongNameSector(21, 1024)));
}

TEST(IsDirectorySector, RunStillGoingAfterTwentyMoreEntriesFails) {
  // 21 parts that all pass on their own (sequence numbers 20, 20, 19, ...)
  // and share one checksum.
  Entry shortEntry = FileEntry("VERYLO~1TXT");
  const uint8_t sum = ChecksumOf(shortEntry);
  std::vector<uint8_t> s;
  for (int n = 21; n >= 1; --n) {
    Entry part = LongNamePart(uint8_t(n > 20 ? 20 : n), sum);
    s.insert(s.end(), part.begin(), part.end());
  }
  s.insert(s.end(), shortEntry.begin(), shortEntry.end());
  s.resize(1024, 0);
  EXPECT_FALSE(IsDirectorySector(s));
}

TEST(IsDirectorySector, ShortEntryCreationMustConvert) {
  Entry folder = FolderEntry();
  StoreLe16(folder, 16, uint16_t(30 << 9));  // creation date: month 0, day 0
  ASSERT_TRUE(IsPlausibleEntry(folder)) << "folders escape the date window";
  EXPECT_FALSE(IsDirectorySector(Sector({folder})));
  Entry deleted = FileEntry();
  deleted[0] = 0xE5;                             // deleted mark
  StoreLe16(deleted, 16, FatDate(2010, 2, 31));  // creation date: 31 February
  EXPECT_FALSE(IsDirectorySector(Sector({deleted})));
  // A volume label has no stamps at all.
  EXPECT_TRUE(IsDirectorySector(Sector({LabelEntry("BACKUP     "), FileEntry()})));
}

TEST(IsDirectorySector, LabelNameBytesStillChecked) {
  EXPECT_FALSE(IsDirectorySector(Sector({LabelEntry("V1.0       ")})));
  EXPECT_FALSE(IsDirectorySector(Sector({LabelEntry("BACK\x01UP    ")})));
}

TEST(IsDirectorySector, BlankInsideNameFails) {
  EXPECT_FALSE(IsDirectorySector(Sector({FileEntry("AB CD   TXT")})));
  EXPECT_FALSE(IsDirectorySector(Sector({FileEntry("ABCD    T X")})));
  EXPECT_TRUE(IsDirectorySector(Sector({FileEntry("ABCD    TX ")})));
  EXPECT_TRUE(IsDirectorySector(Sector({FileEntry("ABCDEFGH   ")})));
}

TEST(IsDirectorySector, VolumeLabelMayHoldBlanksBetweenWords) {
  EXPECT_TRUE(IsDirectorySector(Sector({LabelEntry("NEW VOLUME "), FileEntry()})));
}

TEST(IsDirectorySector, CodePageBytesStandAloneOrInPairs) {
  Entry pair = FileEntry(
      "A\x82\xA0"
      "B    TXT");  // a double-byte character 0x82 0xA0
  EXPECT_TRUE(IsDirectorySector(Sector({pair})));
  Entry lone = FileEntry(
      "CAF\x90"
      "    TXT");  // "CAFÉ.TXT" in code page 850: 0x90 then a blank
  ASSERT_TRUE(IsPlausibleEntry(lone));
  EXPECT_TRUE(IsDirectorySector(Sector({lone})));
  Entry between = FileEntry("\x90T\x90     TXT");  // "ÉTÉ.TXT"
  EXPECT_TRUE(IsDirectorySector(Sector({between})));
  Entry atNine = FileEntry("ABCDEFGHT\x82X");  // an extension byte above 0x7F
  EXPECT_TRUE(IsDirectorySector(Sector({atNine})));
  // The deleted mark is not the lead of a pair.
  Entry deleted = FileEntry();
  deleted[0] = 0xE5;  // deleted mark
  EXPECT_TRUE(IsDirectorySector(Sector({deleted})));
}

TEST(IsDirectorySector, DotEntriesAreLeftToIsDotDirectoryStart) {
  // "." and ".." fail the short-name rules; a folder's first sector is
  // recognised by IsDotDirectoryStart instead.
  std::vector<uint8_t> s = Sector({DotEntry(1, 9), DotEntry(2, 0), FileEntry()});
  EXPECT_FALSE(IsDirectorySector(s));
  EXPECT_TRUE(IsDotDirectoryStart(s));
}

TEST(IsDirectorySector, MixedRootFolderPasses) {
  Entry shortEntry = FileEntry("HOLIDA~1JPG");
  const uint8_t sum = ChecksumOf(shortEntry);
  Entry deletedFile = FileEntry("OLD     DOC");
  deletedFile[0] = 0xE5;  // deleted mark
  EXPECT_TRUE(IsDirectorySector(
      Sector({LabelEntry("CAMERA     "), FolderEntry(), LongNamePart(0x42, sum, 'n'),
              LongNamePart(0x01, sum), shortEntry, deletedFile})));
}

TEST(ShortNameChecksum, KnownValues) {
  const uint8_t a[11] = {'A', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  // 'A' then ten rotations right of 0x41: 0x41 rotated right by 10 = by 2.
  EXPECT_EQ(ShortNameChecksum(std::span<const uint8_t, 11>(a, 11)), 0x50);
}

}  // namespace
}  // namespace brinvale
