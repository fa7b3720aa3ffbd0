// The format table, IdentifyFile and MatchesExtension.
#include "deepscan/file_type_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <string_view>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/test_medium.h"

namespace brinvale {
namespace {

using namespace std::literals;
using test::TestMedium;

TEST(FileTypeTable, RowsInOrderWithSharedCodesSharingFunctions) {
  const auto rows = FileTypeTable();
  ASSERT_EQ(rows.size(), 87u);
  EXPECT_STREQ(rows[0].extension, "mpeg");
  EXPECT_STREQ(rows[24].extension, "fla");
  EXPECT_STREQ(rows[37].extension, "doc");
  EXPECT_STREQ(rows[69].extension, "mso07");
  EXPECT_STREQ(rows[86].extension, "ico");
  for (const FileTypeRow& a : rows) {
    EXPECT_GE(a.typeCode, 0);
    EXPECT_LT(a.typeCode, kTypeUnknown);
    for (const FileTypeRow& b : rows) {
      if (a.typeCode != b.typeCode) continue;
      EXPECT_EQ(a.detect, b.detect) << a.extension << " " << b.extension;
      EXPECT_EQ(a.size, b.size) << a.extension << " " << b.extension;
    }
  }
  std::set<int> unsized;
  for (const FileTypeRow& r : rows)
    if (r.size == nullptr) unsized.insert(r.typeCode);
  EXPECT_EQ(unsized, (std::set<int>{kTypeOfficePackage, kTypeExe, kTypeDll, kTypeSys, kTypeGho}));
}

// The row of an extension is its first row in table order, in any case of
// its letters; anything else has none.
TEST(FileTypeTable, AnExtensionFindsItsFirstRowInAnyCase) {
  const auto rows = FileTypeTable();
  for (const FileTypeRow& row : rows) {
    const FileTypeRow* first = nullptr;
    for (const FileTypeRow& r : rows)
      if (std::string_view(r.extension) == row.extension) {
        first = &r;
        break;
      }
    std::string upper = row.extension;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    std::string mixed = upper;
    if (!mixed.empty()) mixed[0] = row.extension[0];
    EXPECT_EQ(FirstRowOfExtension(row.extension), first) << row.extension;
    EXPECT_EQ(FirstRowOfExtension(upper), first) << upper;
    EXPECT_EQ(FirstRowOfExtension(mixed), first) << mixed;
  }
  EXPECT_EQ(FirstRowOfExtension("mpg")->typeCode, kTypeMpeg);
  for (const char* none : {"", "txt", "jp", "jpegg", "mpeg4", "a-very-long-extension-indeed"})
    EXPECT_EQ(FirstRowOfExtension(none), nullptr) << none;
  EXPECT_EQ(FirstRowOfExtension("jp\xC9g"), nullptr);
}

class IdentifyTest : public ::testing::Test {
 protected:
  TestMedium medium{200};
  std::string name;
  int code = -1;
  uint64_t size = 0;
  int Identify(uint64_t sector) {
    SizingContext& ctx = medium.At(sector);
    return IdentifyFile(ctx, medium.Sector(sector), int64_t(sector), name, code, size);
  }
};

TEST_F(IdentifyTest, WavIsNamedAndSizedFromItsHeader) {
  medium.Put(512 * 20, "RIFF\xE8\x03\x00\x00WAVEfmt "sv);  // RIFF length 1,000
  ASSERT_EQ(Identify(20), kOk);
  EXPECT_EQ(name, "20.wav");
  EXPECT_EQ(code, kTypeWav);
  EXPECT_EQ(size, 1008u);
}

TEST_F(IdentifyTest, FirstRowOfACodeNamesTheFile) {
  medium.Put(512 * 5, "\x00\x00\x01\xBA\x44\x00\x04\x00\x04\x01\x00\x00\x01\xBB"sv);
  ASSERT_EQ(Identify(5), kOk);
  EXPECT_EQ(name, "5.mpeg");
  medium.Put(512 * 7,
             "\xFF\xD8\xFF\xE1\x00\x10"
             "Exif"sv);
  ASSERT_EQ(Identify(7), kOk);
  EXPECT_EQ(name, "7.jpg");
}

TEST_F(IdentifyTest, ExecutableIsRecognisedButNotReported) {
  const uint64_t at = 512 * 3;
  medium.Put(at, "MZ");
  StoreLe32(medium.Bytes(), at + 0x3C, 0x80);
  medium.Put(at + 0x80, "PE\0\0"sv);
  StoreLe16(medium.Bytes(), at + 0x80 + 22, 0x0102);
  EXPECT_EQ(Identify(3), kErrInvalidParameter);
  EXPECT_EQ(code, kTypeExe);
  EXPECT_TRUE(name.empty());
}

TEST_F(IdentifyTest, NothingRecognisedIs87) {
  medium.Fill(0, 512, 0x55);
  EXPECT_EQ(Identify(0), kErrInvalidParameter);
  EXPECT_EQ(code, kTypeUnknown);
}

int AlwaysCancel(void*, int, int, int, uint64_t, uint64_t, uint64_t, int) { return kCancelled; }

TEST_F(IdentifyTest, CancelledSizingReturnsCancel) {
  medium.Put(512 * 2, "II\x2A\x00"sv);  // TIFF: sized chunk by chunk
  SizingContext& ctx = medium.At(2);
  ctx.progress.callback = AlwaysCancel;
  EXPECT_EQ(IdentifyFile(ctx, medium.Sector(2), 2, name, code, size), kCancelled);
  ctx.progress.callback = nullptr;
  EXPECT_EQ(IdentifyFile(ctx, medium.Sector(2), 2, name, code, size), kOk);  // stop value cleared
}

TEST_F(IdentifyTest, MtsContinuationRightAfterAnMtsIsNotANewFile) {
  // Two 192-byte packets with a program association table at 4.
  const auto packet = "\x00\x00\x00\x00\x47\x40\x00\x10\x00\x00\xB0\x11\x00\x00\xC1\x00"sv;
  medium.Put(512 * 10, packet);  // timestamp 0: a new stream
  medium.Put(512 * 11, packet);
  medium.Put(512 * 11, "\x00\x12\x34\x56"sv);  // later timestamp
  ASSERT_EQ(Identify(10), kOk);
  EXPECT_EQ(code, kTypeMts);
  EXPECT_EQ(size, (200u - 10) * 512);  // its own continuation does not end it
  SizingContext& ctx = medium.At(11);
  EXPECT_TRUE(ctx.afterMts);
  EXPECT_EQ(IdentifyFile(ctx, medium.Sector(11), 11, name, code, size), kErrInvalidParameter);
  EXPECT_FALSE(ctx.afterMts);  // only the identification right after an MTS
  EXPECT_EQ(IdentifyFile(ctx, medium.Sector(11), 11, name, code, size), kOk);
}

// Compound documents: header in sector 4, compound sector n at sector 5 + n.
class CompoundTest : public ::testing::Test {
 protected:
  TestMedium medium{200};
  static constexpr uint64_t kHeader = 4 * 512;
  void Header(uint32_t directorySector) {
    medium.Put(kHeader, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv);   // signature
    StoreLe16(medium.Bytes(), kHeader + 0x1E, 9);                // 512-byte sectors
    StoreLe32(medium.Bytes(), kHeader + 0x2C, 1);                // one FAT sector
    StoreLe32(medium.Bytes(), kHeader + 0x30, directorySector);  // first directory sector
    StoreLe32(medium.Bytes(), kHeader + 0x4C, 2);                // the FAT is sector 2
    for (uint32_t i = 1; i < 109; ++i)
      StoreLe32(medium.Bytes(), kHeader + 0x4C + 4 * i, 0xFFFFFFFF);
  }
  // Directory entry `i` of compound sector 1 named `name` (UTF-16).
  void DirectoryName(size_t i, std::string_view name) {
    for (size_t c = 0; c < name.size(); ++c)
      medium.Bytes()[6 * 512 + 128 * i + 2 * c] = uint8_t(name[c]);
  }
  std::string Name() {
    std::string name;
    int code = -1;
    uint64_t size = 0;
    SizingContext& ctx = medium.At(4);
    EXPECT_EQ(IdentifyFile(ctx, medium.Sector(4), 4, name, code, size), kOk);
    return name;
  }
};

TEST_F(CompoundTest, WordFilesAreNamedDocAndOtherCompoundFilesFla) {
  Header(1);
  DirectoryName(0, "Root Entry");
  DirectoryName(1, "WORDDOCUMENT");  // names compare ignoring case
  EXPECT_EQ(Name(), "4.doc");
  DirectoryName(1, "Contents\0\0\0\0"sv);
  EXPECT_EQ(Name(), "4.fla");
  DirectoryName(2, "Workbook");
  EXPECT_EQ(Name(), "4.xls");
}

TEST_F(CompoundTest, FirstStreamSectorAndClassIdDecideTheKind) {
  Header(1);
  SizingContext& ctx = medium.At(4);
  StoreLe16(medium.Bytes(), 5 * 512, 0xA5EC);  // Word file information block
  EXPECT_EQ(DetectFirstMatch(ctx, medium.Sector(4)).typeCode, kTypeWord);
  medium.Put(5 * 512, "\x09\x08\x10\x00\x00\x06"sv);  // Excel BOF record
  EXPECT_EQ(DetectFirstMatch(ctx, medium.Sector(4)).typeCode, kTypeExcel);
  medium.Fill(5 * 512, 8, 0);
  medium.Put(6 * 512 + 0x50,  // root entry class id: PowerPoint
             "\x10\x8D\x81\x64\x9B\x4F\xCF\x11\x86\xEA\x00\xAA\x00\xB9\x29\xE8"sv);
  EXPECT_EQ(DetectFirstMatch(ctx, medium.Sector(4)).typeCode, kTypePowerPoint);
}

TEST_F(CompoundTest, SizeComesFromTheLastFatSector) {
  Header(1);
  DirectoryName(1, "WordDocument");
  // FAT (compound sector 2, disk sector 7): the last 100 of 128 entries free.
  for (size_t i = 28; i < 128; ++i) StoreLe32(medium.Bytes(), 7 * 512 + 4 * i, 0xFFFFFFFF);
  std::string name;
  int code = -1;
  uint64_t size = 0;
  SizingContext& ctx = medium.At(4);
  ASSERT_EQ(IdentifyFile(ctx, medium.Sector(4), 4, name, code, size), kOk);
  EXPECT_EQ(size, (128u + 1 - 100) * 512);
}

TEST_F(CompoundTest, LastFatSectorIsFoundThroughTheDifatChain) {
  Header(1);
  DirectoryName(1, "WordDocument");
  StoreLe32(medium.Bytes(), kHeader + 0x2C, 110);  // 110 FAT sectors: one beyond the header's
  StoreLe32(medium.Bytes(), kHeader + 0x44, 3);    // first DIFAT sector
  StoreLe32(medium.Bytes(), kHeader + 0x48, 1);    // one DIFAT sector
  StoreLe32(medium.Bytes(), 8 * 512, 4);           // its first entry: FAT sector 110 is sector 4
  for (size_t i = 8; i < 128; ++i) StoreLe32(medium.Bytes(), 9 * 512 + 4 * i, 0xFFFFFFFF);
  std::string name;
  int code = -1;
  uint64_t size = 0;
  SizingContext& ctx = medium.At(4);
  ASSERT_EQ(IdentifyFile(ctx, medium.Sector(4), 4, name, code, size), kOk);
  EXPECT_EQ(size, (128u * 110 + 1 - 120) * 512);
  StoreLe32(medium.Bytes(), kHeader + 0x2C,
            100);  // with DIFAT sectors, fewer than 109: no FAT size
  ASSERT_EQ(IdentifyFile(ctx, medium.Sector(4), 4, name, code, size), kOk);
  EXPECT_EQ(size, (200u - 4) * 512);  // runs on through the zeros to the end of the medium
}

TEST_F(CompoundTest, MatchesExtensionUsesTheCompoundTest) {
  Header(1);
  DirectoryName(1, "WordDocument");
  SizingContext& ctx = medium.At(4);
  EXPECT_EQ(MatchesExtension(ctx, medium.Sector(4), "doc", medium.Reader(), 512, 4), 1);
  EXPECT_EQ(MatchesExtension(ctx, medium.Sector(4), "DOC", medium.Reader(), 512, 4), 1);
  EXPECT_EQ(MatchesExtension(ctx, medium.Sector(4), "xls", medium.Reader(), 512, 4), 0);
  EXPECT_EQ(MatchesExtension(ctx, medium.Sector(4), "fla", medium.Reader(), 512, 4), 0);
  DirectoryName(1, "Contents\0\0\0\0"sv);  // a compound file of no known kind
  EXPECT_EQ(MatchesExtension(ctx, medium.Sector(4), "doc", medium.Reader(), 512, 4), 0);
  EXPECT_EQ(MatchesExtension(ctx, medium.Sector(4), "ole", medium.Reader(), 512, 4), 1);
  EXPECT_EQ(MatchesExtension(ctx, medium.Sector(4), "fla", medium.Reader(), 512, 4), 1);
}

TEST(MatchesExtension, UnknownExtensionPassesAndMso07Fails) {
  TestMedium medium(8);
  medium.Fill(0, 512, 0x55);
  EXPECT_EQ(MatchesExtension(medium.Sector(0), "txt", medium.Reader(), 512, 0), 1);
  EXPECT_EQ(MatchesExtension(medium.Sector(0), "", medium.Reader(), 512, 0), 1);
  EXPECT_EQ(MatchesExtension(medium.Sector(0), "mso07", medium.Reader(), 512, 0), 0);
  EXPECT_EQ(MatchesExtension(medium.Sector(0), "jpg", medium.Reader(), 512, 0), 0);
  medium.Put(0, "%PDF-1.4");
  EXPECT_EQ(MatchesExtension(medium.Sector(0), "Pdf", medium.Reader(), 512, 0), 1);
}

TEST(MatchesExtension, PackageKindComesFromMemberNames) {
  TestMedium medium(40);
  medium.Put(0, "PK\x03\x04\x14\x00"sv);
  medium.Put(30, "[Content_Types].xml");
  medium.Put(3 * 512 + 100, "PK\x03\x04"sv);  // a later member, three sectors on
  medium.Put(3 * 512 + 130, "xl/workbook.xml");
  SizingContext& ctx = medium.At(0);
  EXPECT_EQ(MatchesExtension(ctx, medium.Sector(0), "xlsx", medium.Reader(), 512, 0), 1);
  EXPECT_EQ(MatchesExtension(ctx, medium.Sector(0), "docx", medium.Reader(), 512, 0), 0);
  EXPECT_EQ(MatchesExtension(ctx, medium.Sector(0), "zip", medium.Reader(), 512, 0), 1);
}

}  // namespace
}  // namespace brinvale
