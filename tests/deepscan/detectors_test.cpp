// Byte-level cases for the detectors: each builds the first sector of a
// candidate field by field.
#include <gtest/gtest.h>

#include <array>

#include "common/bytes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/test_medium.h"

namespace brinvale {
namespace {

using namespace std::literals;
using test::TestMedium;

class DetectorTest : public ::testing::Test {
 protected:
  TestMedium medium{64};
  std::span<uint8_t> s = medium.Sector(0);
  SizingContext& ctx = medium.At(0);
};

TEST_F(DetectorTest, EveryDetectorRejectsAnEmptyBuffer) {
  const std::span<const uint8_t> none;
  for (auto detect : {DetectMpeg,          DetectMp4,
                      DetectRealMedia,     DetectAsf,
                      DetectSwf,           DetectAvi,
                      DetectFlv,           Detect3gp,
                      DetectMkv,           DetectTransportStream,
                      DetectMts,           DetectMxf,
                      DetectMp3,           DetectMidi,
                      DetectApe,           DetectWav,
                      DetectMov,           DetectMp2,
                      DetectMmf,           DetectFla,
                      DetectGif,           DetectBmp,
                      DetectJpeg,          DetectPng,
                      DetectPsd,           DetectTiff,
                      DetectIco,           DetectCompoundDocument,
                      DetectOfficePackage, DetectPdf,
                      DetectGzip,          Detect7z,
                      DetectZip,           DetectRar,
                      DetectCab,           DetectPe,
                      DetectGho,           DetectSqlite,
                      DetectDbx,           DetectPst,
                      DetectTrueType})
    EXPECT_EQ(detect(ctx, none), kTypeUnknown);
}

TEST_F(DetectorTest, MpegNeedsPackAndSystemHeaderOrSequenceAndGroup) {
  medium.Put(0, "\x00\x00\x01\xBA"sv);   // pack start
  medium.Put(14, "\x00\x00\x01\xBB"sv);  // system header within 32 bytes
  EXPECT_EQ(DetectMpeg(ctx, s), kTypeMpeg);
  EXPECT_EQ(DetectMpeg(ctx, s.first(17)), kTypeUnknown);  // system header cut off
  medium.Put(14, "\x00\x00\x00\x00"sv);
  medium.Put(28, "\x00\x00\x01\xBB"sv);  // still inside the first 32 bytes
  EXPECT_EQ(DetectMpeg(ctx, s), kTypeMpeg);
  medium.Put(28, "\x00\x00\x00\x00"sv);
  medium.Put(40, "\x00\x00\x01\xBB"sv);  // too far
  EXPECT_EQ(DetectMpeg(ctx, s), kTypeUnknown);
  medium.Put(0, "\x00\x00\x01\xB3"sv);   // sequence header
  medium.Put(12, "\x00\x00\x01\xB8"sv);  // group of pictures
  EXPECT_EQ(DetectMpeg(ctx, s), kTypeMpeg);
}

TEST_F(DetectorTest, IsoMediaBrands) {
  medium.Put(4, "ftypisom");
  EXPECT_EQ(DetectMp4(ctx, s), kTypeMp4);
  EXPECT_EQ(DetectMp4(ctx, s.first(31)), kTypeUnknown);  // shorter than 32
  medium.Put(8, "mp42");
  EXPECT_EQ(DetectMp4(ctx, s), kTypeMp4);
  medium.Put(8, "3gp4");
  EXPECT_EQ(DetectMp4(ctx, s), kTypeUnknown);
  EXPECT_EQ(Detect3gp(ctx, s), kType3gp);
  medium.Put(8, "qt  ");
  EXPECT_EQ(DetectMov(ctx, s), kTypeMov);
  medium.Put(0, "moov\0\0\0\0"sv);  // a movie box first also counts
  EXPECT_EQ(DetectMov(ctx, s), kTypeMov);
}

TEST_F(DetectorTest, SwfVersionDependsOnCompression) {
  medium.Put(0, "CWS\x06"sv);  // compressed, version 6
  EXPECT_EQ(DetectSwf(ctx, s), kTypeSwf);
  medium.Put(0, "CWS\x05"sv);  // compressed movies start at version 6
  EXPECT_EQ(DetectSwf(ctx, s), kTypeUnknown);
  medium.Put(0, "FWS\x05"sv);
  EXPECT_EQ(DetectSwf(ctx, s), kTypeSwf);
  medium.Put(0, "FWS\x10"sv);
  EXPECT_EQ(DetectSwf(ctx, s), kTypeUnknown);
}

TEST_F(DetectorTest, RiffFormsAndFlv) {
  medium.Put(0, "RIFF\x10\x00\x00\x00WAVEfmt "sv);
  EXPECT_EQ(DetectWav(ctx, s), kTypeWav);
  EXPECT_EQ(DetectAvi(ctx, s), kTypeUnknown);
  medium.Put(8, "AVI LIST");
  EXPECT_EQ(DetectAvi(ctx, s), kTypeAvi);
  EXPECT_EQ(DetectAvi(ctx, s.first(15)), kTypeUnknown);
  medium.Put(0, "FLV\x01\x05\x00\x00\x00\x09"sv);  // version 1, flags, header size 9
  EXPECT_EQ(DetectFlv(ctx, s), kTypeFlv);
  s[8] = 0x0A;
  EXPECT_EQ(DetectFlv(ctx, s), kTypeUnknown);
}

TEST_F(DetectorTest, Mp3NeedsASaneId3Header) {
  medium.Put(0, "ID3\x03\x00\x00\x00\x00\x10\x7F"sv);  // v2.3, no flags, size bytes < 0x80
  EXPECT_EQ(DetectMp3(ctx, s), kTypeMp3);
  EXPECT_EQ(DetectMp3(ctx, s.first(3)), kTypeUnknown);  // the size bytes are not there
  s[9] = 0x80;
  EXPECT_EQ(DetectMp3(ctx, s), kTypeUnknown);
  s[9] = 0;
  s[5] = 0x10;  // an undefined flag bit
  EXPECT_EQ(DetectMp3(ctx, s), kTypeUnknown);
  s[5] = 0x80;  // unsynchronisation is fine
  EXPECT_EQ(DetectMp3(ctx, s), kTypeMp3);
  s[3] = 0xFF;
  EXPECT_EQ(DetectMp3(ctx, s), kTypeUnknown);
}

TEST_F(DetectorTest, MidiHeaderChunk) {
  medium.Put(0, "MThd\x00\x00\x00\x06\x00\x01\x00\x02\x01\xE0MTrk"sv);
  EXPECT_EQ(DetectMidi(ctx, s), kTypeMidi);
  EXPECT_EQ(DetectMidi(ctx, s.first(16)), kTypeUnknown);  // "MTrk" does not fit
  s[7] = 7;                                               // header length must be 6
  EXPECT_EQ(DetectMidi(ctx, s), kTypeUnknown);
}

TEST_F(DetectorTest, GifVersionAndBitmapHeader) {
  medium.Put(0, "GIF89a");
  EXPECT_EQ(DetectGif(ctx, s), kTypeGif);
  medium.Put(0, "GIF8Xa");
  EXPECT_EQ(DetectGif(ctx, s), kTypeUnknown);
  medium.Put(0, "BM");
  StoreLe32(s, 2, 1000);  // file size
  StoreLe32(s, 14, 40);   // BITMAPINFOHEADER
  EXPECT_EQ(DetectBmp(ctx, s), kTypeBmp);
  StoreLe16(s, 6, 1);  // reserved word not 0
  EXPECT_EQ(DetectBmp(ctx, s), kTypeUnknown);
  StoreLe16(s, 6, 0);
  StoreLe32(s, 14, 108);  // a V4 header is not taken
  EXPECT_EQ(DetectBmp(ctx, s), kTypeUnknown);
}

TEST_F(DetectorTest, JpegNeedsJfifOrExifSegment) {
  medium.Put(0, "\xFF\xD8\xFF\xE0\x00\x10JFIF"sv);
  EXPECT_EQ(DetectJpeg(ctx, s), kTypeJpeg);
  medium.Put(0, "\xFF\xD8\xFF\xE1\x00\x10"sv);  // APP1 with "JFIF" is not taken
  EXPECT_EQ(DetectJpeg(ctx, s), kTypeUnknown);
  medium.Put(6, "Exif");
  EXPECT_EQ(DetectJpeg(ctx, s), kTypeJpeg);
  EXPECT_EQ(DetectJpeg(ctx, s.first(15)), kTypeUnknown);
}

TEST_F(DetectorTest, IconDirectoryMustChainItsImages) {
  medium.Put(0, "\x00\x00\x01\x00\x02\x00"sv);  // icon, two images
  StoreLe32(s, 6 + 8, 100);                     // image 1 size
  StoreLe32(s, 6 + 12, 38);                     // image 1 offset: 6 + 2 x 16
  StoreLe32(s, 22 + 8, 200);                    // image 2 size
  StoreLe32(s, 22 + 12, 138);                   // image 2 offset: after image 1
  EXPECT_EQ(DetectIco(ctx, s), kTypeIco);
  EXPECT_EQ(DetectIco(ctx, s.first(37)), kTypeUnknown);  // directory cut off
  StoreLe32(s, 22 + 12, 139);                            // a gap
  EXPECT_EQ(DetectIco(ctx, s), kTypeUnknown);
  StoreLe32(s, 22 + 12, 138);
  s[6 + 3] = 1;  // reserved byte
  EXPECT_EQ(DetectIco(ctx, s), kTypeUnknown);
}

TEST_F(DetectorTest, GzipHeaderFields) {
  medium.Put(0, "\x1F\x8B\x08\x08\x00\x00\x00\x00\x02\x03"sv);  // name flag, best, Unix
  EXPECT_EQ(DetectGzip(ctx, s), kTypeGzip);
  s[8] = 0;  // default compression level is not taken
  EXPECT_EQ(DetectGzip(ctx, s), kTypeUnknown);
  s[8] = 4;
  s[3] = 0x02;  // header CRC flag
  EXPECT_EQ(DetectGzip(ctx, s), kTypeUnknown);
  s[3] = 0;
  s[9] = 14;
  EXPECT_EQ(DetectGzip(ctx, s), kTypeUnknown);
  s[9] = 255;
  EXPECT_EQ(DetectGzip(ctx, s), kTypeGzip);
}

TEST_F(DetectorTest, ShortSignaturesNeedAllTheirBytes) {
  medium.Put(0, "7z\xBC\xAF\x27\x1C"sv);
  EXPECT_EQ(Detect7z(ctx, s), kType7z);
  EXPECT_EQ(Detect7z(ctx, s.first(2)), kTypeUnknown);
  medium.Put(0, "\xFE\xEF\x00\x00"sv);
  EXPECT_EQ(DetectGho(ctx, s), kTypeGho);
  EXPECT_EQ(DetectGho(ctx, s.first(2)), kTypeUnknown);
  medium.Put(0, "SQLite format 3\0"sv);
  EXPECT_EQ(DetectSqlite(ctx, s), kTypeSqlite);
  EXPECT_EQ(DetectSqlite(ctx, s.first(15)), kTypeUnknown);
  medium.Put(0, "!BDN\0\0\0\0SM"sv);
  EXPECT_EQ(DetectPst(ctx, s), kTypePst);
  medium.Put(0, "Rar!\x1A\x07\x01"sv);  // RAR 5 is another format
  EXPECT_EQ(DetectRar(ctx, s), kTypeUnknown);
}

TEST_F(DetectorTest, PeCharacteristicsPickExeDllOrSys) {
  medium.Put(0, "MZ");
  StoreLe32(s, 0x3C, 0x80);         // PE header offset
  medium.Put(0x80, "PE\0\0"sv);     // signature
  StoreLe16(s, 0x80 + 22, 0x0102);  // executable image
  EXPECT_EQ(DetectPe(ctx, s), kTypeExe);
  StoreLe16(s, 0x80 + 22, 0x2102);  // + DLL
  EXPECT_EQ(DetectPe(ctx, s), kTypeDll);
  StoreLe16(s, 0x80 + 22, 0x3102);  // + system: system wins
  EXPECT_EQ(DetectPe(ctx, s), kTypeSys);
  StoreLe16(s, 0x80 + 22, 0x0100);  // not executable
  EXPECT_EQ(DetectPe(ctx, s), kTypeUnknown);
  StoreLe16(s, 0x80 + 22, 0x0102);
  StoreLe32(s, 0x3C, 489);  // header would run past the sector
  EXPECT_EQ(DetectPe(ctx, s), kTypeUnknown);
  EXPECT_EQ(DetectPe(ctx, s.first(511)), kTypeUnknown);
}

TEST_F(DetectorTest, TrueTypeNeedsVersionAfterDirectory) {
  medium.Put(0, "\x00\x01\x00\x00\x00\x02\x00\x20\x00\x01\x00\x00"sv);  // 2 tables, range 32
  StoreLe16(s, 10, 0x0100);                                             // range shift non-zero
  medium.Put(12 + 32, "\x00\x01\x00\x00"sv);  // first table data: version 1.0
  EXPECT_EQ(DetectTrueType(ctx, s), kTypeTrueType);
  EXPECT_EQ(DetectTrueType(ctx, s.first(47)), kTypeUnknown);
  s[9] = 0;
  s[8] = 0;  // entry selector 0
  EXPECT_EQ(DetectTrueType(ctx, s), kTypeUnknown);
}

TEST_F(DetectorTest, MtsAfterMtsNeedsZeroTimestamp) {
  medium.Put(0, "\x00\x00\x12\x34\x47\x40\x00\x10\x00\x00\xB0\x11\x00\x00\xC1\x00"sv);
  ctx.afterMts = false;
  EXPECT_EQ(DetectMts(ctx, s), kTypeMts);
  ctx.afterMts = true;  // right after another such stream: a continuation
  EXPECT_EQ(DetectMts(ctx, s), kTypeUnknown);
  medium.Put(0, "\x00\x00\x00\x00"sv);  // timestamp 0 starts a new one
  EXPECT_EQ(DetectMts(ctx, s), kTypeMts);
}

// Transport streams: 188-byte packets starting with 0x47.
class TransportStreamTest : public ::testing::Test {
 protected:
  TestMedium medium{64};
  void PacketsFrom(uint64_t byteOffset, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      medium.Put(byteOffset + i * 188, "\x47\x40\x11\x10"sv);  // sync, PID 0x11
      medium.Fill(byteOffset + i * 188 + 4, 184, 0xAA);
    }
  }
};

TEST_F(TransportStreamTest, NeedsTwentyTwoPacketsInARow) {
  PacketsFrom(512 * 4, 22);
  SizingContext& ctx = medium.At(4);
  EXPECT_EQ(DetectTransportStream(ctx, medium.Sector(4)), kTypeTs);
  medium.Bytes()[512 * 4 + 21 * 188] = 0;  // the 22nd packet breaks
  EXPECT_EQ(DetectTransportStream(ctx, medium.Sector(4)), kTypeUnknown);
}

TEST_F(TransportStreamTest, SectorContinuingAStreamIsNotANewOne) {
  PacketsFrom(0, 160);  // a stream from sector 0; sector 47 starts on a packet
  SizingContext& ctx = medium.At(47);
  ctx.inStream = false;
  EXPECT_EQ(DetectTransportStream(ctx, medium.Sector(47)), kTypeTs);
  ctx.inStream = true;  // sector 46 ends with a packet start 188 bytes before its end
  EXPECT_EQ(DetectTransportStream(ctx, medium.Sector(47)), kTypeUnknown);
}

TEST_F(TransportStreamTest, RecordedStreamRangeIsNotANewStream) {
  PacketsFrom(512 * 4, 30);
  SizingContext& ctx = medium.At(4);
  ctx.streamRanges.push_back({2, 9});
  EXPECT_EQ(DetectTransportStream(ctx, medium.Sector(4)), kTypeUnknown);
}

TEST_F(TransportStreamTest, NullPacketHeaderIsNotAStream) {
  PacketsFrom(0, 30);
  medium.Put(0, "\x47\x00\x00\x00"sv);  // bytes 1..3 all zero
  SizingContext& ctx = medium.At(0);
  EXPECT_EQ(DetectTransportStream(ctx, medium.Sector(0)), kTypeUnknown);
}

}  // namespace
}  // namespace brinvale
