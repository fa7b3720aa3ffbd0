// The first-byte prefilter must give the same first match as trying every
// row in table order.
#include <gtest/gtest.h>

#include <random>

#include "common/bytes.h"
#include "deepscan/content_fixture.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/file_type_table.h"
#include "deepscan/test_medium.h"

namespace brinvale {
namespace {

using namespace std::literals;

void ExpectSameMatch(SizingContext& ctx, std::span<const uint8_t> sector, const char* what,
                     uint64_t where) {
  const FirstMatch fast = DetectFirstMatch(ctx, sector);
  const FirstMatch plain = DetectFirstMatchEveryRow(ctx, sector);
  EXPECT_EQ(fast.typeCode, plain.typeCode) << what << " at " << where;
  EXPECT_EQ(fast.row, plain.row) << what << " at " << where;
}

TEST(FirstMatch, SameAsEveryRowOnEveryFixtureSector) {
  const std::vector<uint8_t> image = test::LoadContentImage();
  ASSERT_GT(image.size(), 512u);
  test::TestMedium medium(image.size() / 512);
  std::copy(image.begin(), image.begin() + ptrdiff_t(medium.Bytes().size()),
            medium.Bytes().begin());
  size_t recognised = 0;
  for (uint64_t n = 0; n < image.size() / 512; ++n) {
    SizingContext& ctx = medium.At(n);
    ExpectSameMatch(ctx, medium.Sector(n), "fixture sector", n);
    recognised += DetectFirstMatch(ctx, medium.Sector(n)).typeCode != kTypeUnknown;
  }
  EXPECT_GE(recognised, test::LoadContentManifest().size());
}

TEST(FirstMatch, SameAsEveryRowOnRandomSectors) {
  test::TestMedium medium(64);
  std::mt19937 random(12345);
  SizingContext& ctx = medium.At(8);
  for (int round = 0; round < 20000; ++round) {
    for (uint8_t& b : medium.Sector(8)) b = uint8_t(random());
    // Often keep a real signature byte first, so the picked detectors run.
    if (round % 2) medium.Sector(8)[0] = "\x00\x47MRPIFG\xFF\xD0\x89%7S!\x1A\x06\x30"[round % 18];
    ExpectSameMatch(ctx, medium.Sector(8), "random sector", uint64_t(round));
  }
}

// Sectors that more than one row accepts: the earliest row must win.
TEST(FirstMatch, EarliestRowWinsWhenSeveralMatch) {
  struct Case {
    std::string_view bytes;
    size_t at;
    int expected;
  };
  const Case cases[] = {
      // "moov" first: QuickTime.
      {"moov\0\0\0\0\0\0\0\0"sv, 0, kTypeMov},
      // "ftyp" + "isom": MP4 comes before 3GP and MOV.
      {"\0\0\0\x1C"
       "ftypisom"sv,
       0, kTypeMp4},
      // D0 CF 11 E0 without the full compound signature: only the FLA row.
      {"\xD0\xCF\x11\xE0\0\0\0\0"sv, 0, kTypeFla},
      // A local ZIP header naming no Office part: plain ZIP.
      {"PK\x03\x04\x14\0\0\0\x08\0"sv, 0, kTypeZip},
      // A TS sync byte is also "G", but "GIF89a" breaks the 188-byte steps.
      {"GIF89a"sv, 0, kTypeGif},
      // "MZ" with no PE header: not an executable, and nothing else.
      {"MZ\x90\0"sv, 0, kTypeUnknown},
  };
  for (const Case& c : cases) {
    test::TestMedium medium(64);
    medium.Put(c.at, c.bytes);
    SizingContext& ctx = medium.At(0);
    ExpectSameMatch(ctx, medium.Sector(0), "crafted", c.at);
    EXPECT_EQ(DetectFirstMatch(ctx, medium.Sector(0)).typeCode, c.expected);
  }
}

TEST(FirstMatch, OfficePackageBeforeZipAndSharedRowsGiveTheFirstRow) {
  test::TestMedium medium(64);
  medium.Put(0, "PK\x03\x04\x14\0\0\0\x08\0"sv);
  medium.Put(30, "word/document.xml");  // member name
  SizingContext& ctx = medium.At(0);
  const FirstMatch m = DetectFirstMatch(ctx, medium.Sector(0));
  EXPECT_EQ(m.typeCode, kTypeWordPackage);
  ASSERT_NE(m.row, nullptr);
  EXPECT_STREQ(m.row->extension, "docx");
  ExpectSameMatch(ctx, medium.Sector(0), "package", 0);
  // "RIFF" first, but a 192-byte stream packet's table at 8: the later-bytes
  // test must still pick the stream row.
  medium.Put(0, "RIFF\0\0\0\0\0\0\xB0\x11\0\0\xC1\0"sv);
  ExpectSameMatch(ctx, medium.Sector(0), "riff+mts", 0);
  EXPECT_EQ(DetectFirstMatch(ctx, medium.Sector(0)).typeCode, kTypeMts);
}

}  // namespace
}  // namespace brinvale
