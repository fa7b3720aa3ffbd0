// Byte-level cases for the sizers over a medium in memory: a file starts at
// sector 10 (unless a case says otherwise) and the sectors after it hold
// what the case needs.
#include <gtest/gtest.h>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/test_medium.h"

namespace brinvale {
namespace {

using namespace std::literals;
using test::TestMedium;

constexpr uint64_t kStart = 10;
constexpr uint64_t kAt = kStart * 512;  // byte offset of the file

class SizerTest : public ::testing::Test {
 protected:
  TestMedium medium{400};
  // Non-zero filler that no detector takes for a start or for metadata.
  void Filler(uint64_t fromSector, uint64_t toSector) {
    for (uint64_t n = fromSector; n < toSector; ++n)
      medium.Fill(n * 512, 512, uint8_t(0x55 + n % 3));
  }
  std::span<uint8_t> First() { return medium.Sector(kStart); }
  SizingContext& Ctx() { return medium.At(kStart); }
};

TEST_F(SizerTest, WavAndAviCarryTheirLength) {
  medium.Put(kAt, "RIFF\xE8\x03\x00\x00WAVEfmt "sv);  // RIFF length 1,000
  EXPECT_EQ(SizeWav(Ctx(), First()), 1008u);
  medium.Put(kAt, "RIFF\xFF\xFF\xFF\xFF"sv);  // the largest length does not wrap
  EXPECT_EQ(SizeAvi(Ctx(), First()), 0xFFFFFFFFull + 8);
}

TEST_F(SizerTest, BitmapCabinetAndSwfLengthsAreCapped) {
  medium.Put(kAt, "BM");
  StoreLe32(First(), 2, 5000);
  EXPECT_EQ(SizeBmp(Ctx(), First()), 5000u);
  StoreLe32(First(), 2, 0xF0000000);
  EXPECT_EQ(SizeBmp(Ctx(), First()), 128 * kMiB);
  EXPECT_EQ(SizeBmp(Ctx(), First().first(5)), 0u);
  medium.Put(kAt, "MSCF");
  StoreLe32(First(), 8, 0xF0000000);
  EXPECT_EQ(SizeCab(Ctx(), First()), 1 * kGiB);
  EXPECT_EQ(SizeCab(Ctx(), First().first(35)), 512u);
  medium.Put(kAt, "FWS\x05"sv);
  StoreLe32(First(), 4, 0xF0000000);
  EXPECT_EQ(SizeSwf(Ctx(), First()), 256 * kMiB);
  medium.Put(kAt, "CWS\x09"sv);  // compressed: only the first sector
  EXPECT_EQ(SizeSwf(Ctx(), First()), 512u);
}

TEST_F(SizerTest, AsfFilePropertiesGiveTheSize) {
  medium.Put(kAt + 40, "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65"sv);
  StoreLe64(First(), 40 + 40, 123456);  // file size
  EXPECT_EQ(SizeAsf(Ctx(), First()), 123456u);
  StoreLe32(First(), 40 + 88, 1);  // broadcast: the size is not valid
  EXPECT_EQ(SizeAsf(Ctx(), First()), 512u);
  StoreLe32(First(), 40 + 88, 0);
  EXPECT_EQ(SizeAsf(Ctx(), First().first(131)), 512u);  // flags cut off
}

TEST_F(SizerTest, JpegEndInFirstSectorNeedsZeroSlack) {
  medium.Put(kAt, "\xFF\xD8\xFF\xE0"sv);
  medium.Put(kAt + 300, "\xFF\xD9"sv);  // followed by zeros to the sector end
  EXPECT_EQ(SizeJpeg(Ctx(), First()), 302u);
}

TEST_F(SizerTest, JpegEndFollowedByDataIsNotTheEnd) {
  Filler(kStart + 1, kStart + 5);
  medium.Put(kAt, "\xFF\xD8\xFF\xE0"sv);
  medium.Put(kAt + 300, "\xFF\xD9\x01"sv);        // data after the marker
  medium.Put(kAt + 3 * 512 + 100, "\xFF\xD9"sv);  // sector 13: end with zero slack
  medium.Fill(kAt + 3 * 512 + 102, 512 - 102, 0);
  medium.Put(kAt + 6 * 512, "%PDF-1.4"sv);  // next file at sector 16
  EXPECT_EQ(SizeJpeg(Ctx(), First()), 3 * 512u + 102);
}

TEST(SizerSectorSize, JpegOn4096ByteSectors) {
  TestMedium medium(20, 4096);
  for (uint64_t n = 1; n < 20; ++n) medium.Fill(n * 4096, 4096, 0x55);
  medium.Put(0, "\xFF\xD8\xFF\xE0\x00\x10JFIF"sv);
  medium.Put(2 * 4096 + 1000, "\xFF\xD9"sv);  // end of image, zeros after it
  medium.Fill(2 * 4096 + 1002, 4096 - 1002, 0);
  EXPECT_EQ(SizeJpeg(medium.At(0), medium.Sector(0)), 2 * 4096u + 1002);
}

TEST_F(SizerTest, JpegWithoutEndRunsToTheNextStart) {
  Filler(kStart + 1, kStart + 20);
  medium.Put(kAt, "\xFF\xD8\xFF\xE0"sv);
  medium.Put(kAt + 7 * 512, "\x89PNG\r\n\x1A\n"sv);  // a PNG starts at sector 17
  EXPECT_EQ(SizeJpeg(Ctx(), First()), 7 * 512u);
}

TEST_F(SizerTest, NtfsRecordEndsAFile) {
  Filler(kStart + 1, kStart + 20);
  medium.Put(kAt + 4 * 512, "FILE0\x00\x03\x00"sv);  // sector 14
  EXPECT_EQ(SizeTiff(Ctx(), First()), 4 * 512u);
}

TEST_F(SizerTest, BootSectorsAndNtfsLogEndAFile) {
  Filler(kStart + 1, kStart + 20);
  medium.Put(kAt + 2 * 512, "\xEB\x58\x90MSWIN4.1"sv);  // FAT32 boot sector at 12
  EXPECT_EQ(SizeSqlite(Ctx(), First()), 2 * 512u);
  medium.Put(kAt + 2 * 512, "\xEB\x58\x90XXXXXXXX"sv);          // an unknown OEM name does not
  medium.Put(kAt + 5 * 512, "RSTR");                            // restart page at 15 ...
  EXPECT_EQ(SizeSqlite(Ctx(), First()), (400 - kStart) * 512);  // ... is not enough
  medium.Put(kAt + 5 * 512 + 100, "N\0T\0F\0S\0"sv);            // ... naming NTFS in UTF-16
  EXPECT_EQ(SizeSqlite(Ctx(), First()), 5 * 512u);
}

TEST_F(SizerTest, FatDirectorySectorEndsAFile) {
  Filler(kStart + 1, kStart + 20);
  const uint64_t dir = kAt + 3 * 512;
  medium.Fill(dir, 512, 0);
  const char* names[] = {"README  TXT", "NOTES   TXT"};
  for (size_t i = 0; i < 2; ++i) {
    const uint64_t e = dir + 32 * i;
    medium.Put(e, names[i]);                             // name and extension
    medium.Bytes()[e + 11] = 0x20;                       // archive
    StoreLe16(medium.Bytes(), e + 14, 0x6000);           // created 12:00:00
    StoreLe16(medium.Bytes(), e + 16, 0x5021);           // on 2020-01-01
    StoreLe16(medium.Bytes(), e + 18, 0x5021);           // last access
    StoreLe16(medium.Bytes(), e + 22, 0x6000);           // written 12:00:00
    StoreLe16(medium.Bytes(), e + 24, 0x5021);           // on 2020-01-01
    StoreLe16(medium.Bytes(), e + 26, uint16_t(5 + i));  // first cluster
    StoreLe32(medium.Bytes(), e + 28, 100);              // size
  }
  EXPECT_EQ(SizeMp2(Ctx(), First()), 3 * 512u);
}

TEST_F(SizerTest, CapLimitsTheBytesRead) {
  TestMedium big(300000);  // about 146 MiB
  for (uint64_t n = 1; n < 300000; ++n) big.Fill(n * 512, 512, 0x55);
  SizingContext& ctx = big.At(0);
  EXPECT_EQ(SizeTiff(ctx, big.Sector(0)), 128 * kMiB + 512);
  EXPECT_EQ(ctx.sectorsReadBySizing, 128 * kMiB / 512);
}

TEST_F(SizerTest, FileRunningToTheEndOfTheMediumKeepsItsLastSectors) {
  TestMedium small(40);  // 20 KiB: less than one chunk after the start
  for (uint64_t n = 1; n < 40; ++n) small.Fill(n * 512, 512, 0x55);
  EXPECT_EQ(SizeTiff(small.At(0), small.Sector(0)), 40 * 512u);
}

TEST_F(SizerTest, FailedReadKeepsWhatWasCounted) {
  TestMedium small(300);
  for (uint64_t n = 1; n < 300; ++n) small.Fill(n * 512, 512, 0x55);
  SizingContext& ctx = small.At(0);
  small.Reader().totalSectors = 1000;  // reads past 300 sectors fail
  EXPECT_EQ(SizeTiff(ctx, small.Sector(0)), 512u + 2 * 65536u);
}

int CancelOnSecondChunk(void* user, int percent, int scale, int, uint64_t position, uint64_t total,
                        uint64_t, int) {
  auto* calls = static_cast<int*>(user);
  EXPECT_EQ(scale, 100);
  EXPECT_EQ(total, 1000u);
  EXPECT_EQ(percent, int(position * 100 / total) + 10);
  return ++*calls == 2 ? kCancelled : 0;
}

TEST_F(SizerTest, ProgressCallbackCanStopASizing) {
  Filler(kStart + 1, 400);
  SizingContext& ctx = Ctx();
  int calls = 0;
  ctx.progress = {CancelOnSecondChunk, &calls, 100, 5, 200, 1000, 3};
  SizeTiff(ctx, First());
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ctx.stopValue, kCancelled);
}

TEST_F(SizerTest, GifAndPngEndAtTheFirstFooterThatPasses) {
  Filler(kStart + 1, kStart + 10);
  medium.Put(kAt, "GIF89a");
  medium.Put(kAt + 512 + 10, "\x00\x3B\x07"sv);   // data follows: not the end
  medium.Put(kAt + 2 * 512 + 510, "\x00\x3B"sv);  // ends on a sector boundary
  EXPECT_EQ(SizeGif(Ctx(), First()), 3 * 512u);
  medium.Put(kAt + 4 * 512, "IEND\xAE\x42\x60\x82"sv);
  medium.Fill(kAt + 4 * 512 + 8, 504, 0);
  EXPECT_EQ(SizePng(Ctx(), First()), 4 * 512u + 8);
}

TEST_F(SizerTest, FooterSplitBetweenStartSectorAndFirstChunkIsFound) {
  Filler(kStart + 1, kStart + 10);
  medium.Put(kAt, "\x89PNG\r\n\x1A\n"sv);
  medium.Put(kAt + 507, "IEND\xAE\x42\x60\x82"sv);  // 5 bytes here, 3 in the next sector
  medium.Fill(kAt + 515, 512 - 3, 0);
  EXPECT_EQ(SizePng(Ctx(), First()), 515u);
}

TEST_F(SizerTest, MarkerSplitBetweenTwoChunksIsFound) {
  Filler(kStart + 1, 400);
  // The first chunk holds file bytes 512..66047; "%%EOF" straddles its end.
  medium.Put(kAt + 66048 - 2, "%%EOF");
  EXPECT_EQ(SizePdf(Ctx(), First()), 66048u + 3);
}

TEST_F(SizerTest, ArchiveWithinItsStartSectorEndsThere) {
  Filler(kStart + 1, kStart + 10);
  medium.Put(kAt, "PK\x03\x04"sv);
  medium.Put(kAt + 300, "PK\x05\x06"sv);  // end of central directory in the start sector
  EXPECT_EQ(SizeZip(Ctx(), First()), 322u);
}

TEST_F(SizerTest, MpegIgnoresMpegStartsAndEndsAtProgramEnd) {
  Filler(kStart + 1, kStart + 10);
  medium.Put(kAt, "\x00\x00\x01\xBA"sv);
  medium.Put(kAt + 2 * 512, "\x00\x00\x01\xBA\x44\x00\x04\x00\x04\x01\x00\x00\x01\xBB"sv);
  medium.Put(kAt + 5 * 512 + 20, "\x00\x00\x01\xB9"sv);
  medium.Fill(kAt + 5 * 512 + 24, 488, 0);
  EXPECT_EQ(SizeMpeg(Ctx(), First()), 5 * 512u + 24);
}

TEST_F(SizerTest, Mp2IgnoresItsOwnFramesAtSectorStartsButNotOtherFormats) {
  // A 384 kbit/s, 48 kHz stream: 1,152-byte frames, every ninth at a sector
  // start, all beginning FF FD E4 00.
  Filler(kStart + 1, kStart + 40);
  for (uint64_t at = 0; at < 27 * 512; at += 1152) medium.Put(kAt + at, "\xFF\xFD\xE4\x00"sv);
  medium.Put(kAt + 30 * 512, "GIF89a"sv);  // the next file
  EXPECT_EQ(SizeMp2(Ctx(), First()), 30 * 512u);
}

TEST_F(SizerTest, Mp3EndsAfterTheLastChunksTag) {
  Filler(kStart + 1, kStart + 300);
  medium.Put(kAt + 100 * 512, "TAG");    // first chunk of sectors 11..138
  medium.Put(kAt + 200 * 512, "TAG");    // second chunk: wins
  medium.Put(kAt + 250 * 512, "%PDF-");  // next start
  EXPECT_EQ(SizeMp3(Ctx(), First()), 200 * 512u + 128);
}

TEST_F(SizerTest, MidiCountsEveryTrackFromTheStartSector) {
  Filler(kStart + 1, kStart + 20);
  medium.Put(kAt, "MThd\x00\x00\x00\x06\x00\x01\x00\x02\x01\xE0"sv);  // 2 tracks
  medium.Put(kAt + 14, "MTrk\x00\x00\x01\x00"sv);                     // track 1: 256 bytes
  medium.Put(kAt + 14 + 264, "MTrk\x00\x00\x03\x00"sv);               // track 2: 768 bytes
  EXPECT_EQ(SizeMidi(Ctx(), First()), 14u + 264 + 776);
}

TEST_F(SizerTest, ApeEndsAfterTheTagFooter) {
  Filler(kStart + 1, kStart + 20);
  medium.Put(kAt + 512 + 40, "APETAGEX\xD0\x07"sv);   // tag header
  medium.Put(kAt + 512 + 200, "APETAGEX\xD0\x07"sv);  // tag footer
  EXPECT_EQ(SizeApe(Ctx(), First()), 512u + 200 + 32);
}

TEST_F(SizerTest, ZipEndsAfterTheLastEndOfDirectory) {
  Filler(kStart + 1, kStart + 20);
  medium.Put(kAt + 512 + 10, "PK\x05\x06"sv);
  medium.Put(kAt + 3 * 512 + 10, "PK\x05\x06"sv);
  EXPECT_EQ(SizeZip(Ctx(), First()), 3 * 512u + 32);
}

TEST_F(SizerTest, PdfEndsAtEofNotAtTrailer) {
  Filler(kStart + 1, 400);
  // "trailer" closes the first chunk (sectors 11..138); "%%EOF" is in the next.
  medium.Put(kAt + 128 * 512 - 20, "trailer");
  medium.Put(kAt + 130 * 512 + 40, "%%EOF");
  EXPECT_EQ(SizePdf(Ctx(), First()), 130 * 512u + 45);
}

TEST_F(SizerTest, SevenZipAndRarMarkers) {
  Filler(kStart + 1, kStart + 20);
  medium.Put(kAt + 512 + 7, "\x00\x07\x0B\x01\x00\x01\x23\x03\x01\x01\x05\x5D"sv);
  EXPECT_EQ(Size7z(Ctx(), First()), 512u + 7 + 27);
  medium.Put(kAt + 2 * 512 + 100, "\xC4\x3D\x7B\x00\x40\x07\x00"sv);  // data follows
  medium.Put(kAt + 3 * 512 + 505, "\xC4\x3D\x7B\x00\x40\x07\x00"sv);  // ends the sector
  EXPECT_EQ(SizeRar(Ctx(), First()), 4 * 512u);
}

TEST_F(SizerTest, RealMediaEndsAfterIndexHeader) {
  Filler(kStart + 1, kStart + 20);
  medium.Put(kAt + 2 * 512 + 64,
             "INDX\x00\x00\x00\x14\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00\x00"sv);
  EXPECT_EQ(SizeRealMedia(Ctx(), First()), 2 * 512u + 84);
}

TEST_F(SizerTest, Mp4EndsAfterProducerText) {
  Filler(kStart + 1, kStart + 20);
  medium.Put(kAt + 512 + 8, "freeIsoMedia File Produced by X"sv);
  medium.Fill(kAt + 512 + 39, 20, 0);
  EXPECT_EQ(SizeMp4(Ctx(), First()), 512u + 39);
}

TEST_F(SizerTest, IconAndFontDirectoriesReadOnWhenCutOff) {
  medium.Put(kAt, "\x00\x00\x01\x00\x40\x00"sv);            // 64 images: 1,030 directory bytes
  StoreLe32(medium.Bytes(), kAt + 6 + 63 * 16 + 8, 1000);   // last image size
  StoreLe32(medium.Bytes(), kAt + 6 + 63 * 16 + 12, 5000);  // last image offset
  EXPECT_EQ(SizeIco(Ctx(), First()), 6000u);
  medium.Put(kAt, "\x00\x01\x00\x00\x00\x30"sv);                   // font, 48 tables
  StoreLe32(medium.Bytes(), kAt + 12 + 40 * 16 + 8, 0x01000000);   // big-endian 1
  StoreLe32(medium.Bytes(), kAt + 12 + 40 * 16 + 12, 0x10270000);  // big-endian 10,000
  EXPECT_EQ(SizeTrueType(Ctx(), First()), 10001u);
}

TEST_F(SizerTest, TransportStreamEndsAtFirstBadPacketAndIsRemembered) {
  for (size_t i = 0; i < 40; ++i) medium.Put(kAt + i * 188, "\x47\x40\x11\x10"sv);
  SizingContext& ctx = Ctx();
  ctx.inStream = true;
  EXPECT_EQ(SizeTransportStream(ctx, First()), 40 * 188u);
  ASSERT_EQ(ctx.streamRanges.size(), 1u);
  EXPECT_EQ(ctx.streamRanges[0].first, kStart);
  EXPECT_EQ(ctx.streamRanges[0].last, kStart + 14);  // 7,520 bytes: 15 sectors
}

}  // namespace
}  // namespace brinvale
