// Byte-level cases for the structural walkers of carved files: each file is
// built here field by field and walked over a medium in memory, inside an
// extent that may run on past the file's end (as a sizer's does).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "common/crc32.h"
#include "deepscan/carved_bytes.h"
#include "deepscan/carved_check.h"
#include "deepscan/formats/walkers.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"

namespace brinvale {
namespace {

using namespace std::literals;
using Bytes = std::vector<uint8_t>;

void Add(Bytes& b, std::string_view s) { b.insert(b.end(), s.begin(), s.end()); }
void AddBe16(Bytes& b, uint16_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
void AddBe32(Bytes& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}
void AddLe16(Bytes& b, uint16_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void AddLe32(Bytes& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}
void AddLe64(Bytes& b, uint64_t v) {
  AddLe32(b, uint32_t(v));
  AddLe32(b, uint32_t(v >> 32));
}
// Bytes no walker takes for structure: what follows a file on a used medium.
void AddNoise(Bytes& b, size_t n) {
  uint32_t x = 0x12345678;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245 + 12345;
    b.push_back(uint8_t(x >> 16));
  }
}

// Walks `file` with `walker` inside an extent of `extent` bytes (the file
// plus 600 bytes of noise when 0), on a medium of 512-byte sectors starting
// at sector 3.
CarvedVerdict Walk(CarvedWalker walker, const Bytes& file, uint64_t extent = 0) {
  Bytes medium(3 * 512);
  medium.insert(medium.end(), file.begin(), file.end());
  AddNoise(medium, 600);
  medium.resize((medium.size() + 511) / 512 * 512 + 512);
  SectorReader reader;
  const uint64_t sectors = medium.size() / 512;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::move(medium)), sectors);
  CarvedBytes bytes(reader, 512, 3, extent ? extent : file.size() + 600);
  return walker(bytes);
}

CarvedVerdict Complete(uint64_t n) { return CompleteVerdict(n); }
CarvedVerdict Damaged(CarvedFault f) { return DamagedVerdict(f); }

// --- JPEG -------------------------------------------------------------------

Bytes Segment(uint8_t marker, size_t length) {
  Bytes s{0xFF, marker};
  AddBe16(s, uint16_t(length + 2));
  s.resize(s.size() + length, 0x11);
  return s;
}

Bytes Jpeg(bool withScan = true) {
  Bytes b{0xFF, 0xD8};
  const Bytes app0 = Segment(0xE0, 14);
  b.insert(b.end(), app0.begin(), app0.end());
  const Bytes sof = Segment(0xC0, 15);
  b.insert(b.end(), sof.begin(), sof.end());
  if (withScan) {
    const Bytes sos = Segment(0xDA, 10);
    b.insert(b.end(), sos.begin(), sos.end());
    // Entropy-coded data: a stuffed FF, a restart marker, fill bytes.
    b.insert(b.end(), {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD3, 0x56, 0xFF, 0xFF, 0xD4, 0x78});
  }
  b.insert(b.end(), {0xFF, 0xD9});
  return b;
}

TEST(CarvedJpeg, MarkerWalkEndsAfterEoiWhateverFollows) {
  const Bytes j = Jpeg();
  EXPECT_EQ(Walk(CheckJpeg, j), Complete(j.size()));
  // Fill bytes before a marker belong to it.
  Bytes filled = j;
  filled.insert(filled.begin() + 2, {0xFF, 0xFF});
  EXPECT_EQ(Walk(CheckJpeg, filled), Complete(filled.size()));
}

TEST(CarvedJpeg, ThumbnailEndInsideAnAppSegmentIsSkipped) {
  Bytes j{0xFF, 0xD8};
  Bytes app1{0xFF, 0xE1, 0x00, 0x00};
  Add(app1, "Exif\0\0"sv);
  const Bytes thumb = Jpeg();
  app1.insert(app1.end(), thumb.begin(), thumb.end());
  app1[2] = uint8_t((app1.size() - 2) >> 8);
  app1[3] = uint8_t(app1.size() - 2);
  j.insert(j.end(), app1.begin(), app1.end());
  const Bytes body = Jpeg();
  j.insert(j.end(), body.begin() + 2, body.end());
  EXPECT_EQ(Walk(CheckJpeg, j), Complete(j.size()));
}

// A multi-picture file: the first image's APP2 "MPF" segment lists a
// second image stored after the first image's EOI.
Bytes MultiPicture(bool withSecond) {
  const Bytes image = Jpeg();
  Bytes app2{0xFF, 0xE2, 0x00, 64};
  Add(app2, "MPF\0"sv);
  const size_t base = 2 + 4 + 4;  // the TIFF header's offset in the file
  Add(app2, "II\x2A\x00"sv);
  AddLe32(app2, 8);  // the IFD
  AddLe16(app2, 1);  // one entry: the MP entry list
  AddLe16(app2, 0xB002);
  AddLe16(app2, 7);
  AddLe32(app2, 32);  // two 16-byte entries
  AddLe32(app2, 8 + 2 + 12 + 4);
  AddLe32(app2, 0);  // no next IFD
  const uint32_t first = uint32_t(2 + app2.size() + 32 + image.size() - 2);
  for (uint32_t k = 0; k < 2; ++k) {
    AddLe32(app2, 0);
    AddLe32(app2, k == 0 ? first : uint32_t(image.size()));
    AddLe32(app2, k == 0 ? 0 : uint32_t(first - base));
    AddLe32(app2, 0);
  }
  Bytes b{0xFF, 0xD8};
  b.insert(b.end(), app2.begin(), app2.end());
  b.insert(b.end(), image.begin() + 2, image.end());
  if (withSecond) b.insert(b.end(), image.begin(), image.end());
  return b;
}

TEST(CarvedJpeg, MultiPictureFileEndsWithItsLastImage) {
  const Bytes two = MultiPicture(true);
  EXPECT_EQ(Walk(CheckJpeg, two), Complete(two.size()));
  const Bytes one = MultiPicture(false);
  Bytes zeros = one;
  zeros.resize(zeros.size() + 200, 0);  // the second image is gone
  EXPECT_EQ(Walk(CheckJpeg, zeros, zeros.size()).condition, CarvedCondition::kDamaged);
}

TEST(CarvedJpeg, BrokenWalksAreDamaged) {
  EXPECT_EQ(Walk(CheckJpeg, Jpeg(false)), Damaged(CarvedFault::kBadStructure));  // EOI, no scan
  Bytes shortLength = Jpeg();
  shortLength[5] = 1;  // APP0 length 1: shorter than its own length field
  shortLength[4] = 0;
  EXPECT_EQ(Walk(CheckJpeg, shortLength), Damaged(CarvedFault::kBadStructure));
  Bytes noMarker = Jpeg();
  noMarker[2 + 18] = 0x00;  // where SOF's FF should stand
  EXPECT_EQ(Walk(CheckJpeg, noMarker), Damaged(CarvedFault::kBadStructure));
  const Bytes j = Jpeg();
  // Cut inside the entropy-coded data, zeros after: no marker in the extent.
  Bytes cut(j.begin(), j.end() - 4);
  cut.resize(cut.size() + 100, 0);
  EXPECT_EQ(Walk(CheckJpeg, cut, cut.size()), Damaged(CarvedFault::kRunsOff));
  // A segment longer than the extent.
  Bytes runs = Jpeg();
  runs[4] = 0x7F;
  EXPECT_EQ(Walk(CheckJpeg, runs, runs.size()), Damaged(CarvedFault::kRunsOff));
}

// --- PNG --------------------------------------------------------------------

void AddChunk(Bytes& b, std::string_view type, const Bytes& data) {
  AddBe32(b, uint32_t(data.size()));
  Bytes typed(type.begin(), type.end());
  typed.insert(typed.end(), data.begin(), data.end());
  b.insert(b.end(), typed.begin(), typed.end());
  AddBe32(b, Crc32(typed));
}

Bytes Png() {
  Bytes b;
  Add(b, "\x89PNG\r\n\x1A\n"sv);
  AddChunk(b, "IHDR", Bytes(13, 1));
  AddChunk(b, "tEXt", {});  // a chunk of no data still moves on
  AddChunk(b, "IDAT", Bytes(300, 7));
  AddChunk(b, "IEND", {});
  return b;
}

TEST(CarvedPng, ChunkWalkWithCrcsEndsAfterIend) {
  const Bytes p = Png();
  EXPECT_EQ(Walk(CheckPng, p), Complete(p.size()));
}

TEST(CarvedPng, CrcLengthAndOrderFaults) {
  Bytes crc = Png();
  crc[8 + 25 + 12 + 8 + 100] ^= 1;  // a byte of IDAT's data
  EXPECT_EQ(Walk(CheckPng, crc), Damaged(CarvedFault::kChecksum));
  const Bytes p = Png();
  EXPECT_EQ(Walk(CheckPng, Bytes(p.begin(), p.end() - 20), p.size() - 20),
            Damaged(CarvedFault::kRunsOff));
  Bytes first;
  Add(first, "\x89PNG\r\n\x1A\n"sv);
  AddChunk(first, "IDAT", Bytes(4, 0));
  EXPECT_EQ(Walk(CheckPng, first), Damaged(CarvedFault::kBadStructure));
  Bytes zeros(p.begin(), p.begin() + 8 + 25);
  zeros.resize(zeros.size() + 64, 0);  // a zero-length chunk with no type
  EXPECT_EQ(Walk(CheckPng, zeros, zeros.size()), Damaged(CarvedFault::kBadStructure));
}

// --- GIF --------------------------------------------------------------------

Bytes Gif() {
  Bytes b;
  Add(b, "GIF89a");
  AddLe16(b, 2);
  AddLe16(b, 2);
  b.insert(b.end(), {0x81, 0, 0});                          // global colour table of 4 entries
  b.resize(b.size() + 12, 0x22);                            // the table
  b.insert(b.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});        // graphic control extension
  b.insert(b.end(), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x00});  // image descriptor
  b.insert(b.end(), {2, 3, 0x44, 0x01, 0x3B, 0});           // code size, 3-byte block, end
  b.push_back(0x3B);
  return b;
}

TEST(CarvedGif, BlockWalkEndsAtTheTrailer) {
  const Bytes g = Gif();
  EXPECT_EQ(Walk(CheckGif, g), Complete(g.size()));  // a 3B inside a sub-block is data
}

TEST(CarvedGif, UnknownBlockAndCutSubBlocks) {
  Bytes bad = Gif();
  bad[13 + 12] = 0x99;
  EXPECT_EQ(Walk(CheckGif, bad), Damaged(CarvedFault::kBadStructure));
  const Bytes g = Gif();
  Bytes cut(g.begin(), g.end() - 4);
  EXPECT_EQ(Walk(CheckGif, cut, cut.size()), Damaged(CarvedFault::kRunsOff));
}

// --- BMP --------------------------------------------------------------------

Bytes Bmp(uint32_t fileSize, int32_t width, int32_t height, uint16_t bits = 24) {
  Bytes b;
  Add(b, "BM");
  AddLe32(b, fileSize);
  AddLe32(b, 0);   // reserved
  AddLe32(b, 54);  // pixel offset
  AddLe32(b, 40);  // info header size
  AddLe32(b, uint32_t(width));
  AddLe32(b, uint32_t(height));
  AddLe16(b, 1);  // planes
  AddLe16(b, bits);
  AddLe32(b, 0);  // uncompressed
  b.resize(fileSize < 54 ? 54 : fileSize, 0x33);
  return b;
}

TEST(CarvedBmp, StatedLengthWhenThePixelsFit) {
  // 3 x 2 pixels of 24 bits: rows of 12 bytes (9 padded to 4).
  EXPECT_EQ(Walk(CheckBmp, Bmp(54 + 24, 3, 2)), Complete(78));
  EXPECT_EQ(Walk(CheckBmp, Bmp(54 + 24, 3, -2)), Complete(78));  // top-down rows
  EXPECT_EQ(Walk(CheckBmp, Bmp(54 + 23, 3, 2)), Damaged(CarvedFault::kBadStructure));
  const Bytes b = Bmp(54 + 24, 3, 2);
  EXPECT_EQ(Walk(CheckBmp, b, 60), Damaged(CarvedFault::kRunsOff));
  Bytes os2 = b;
  os2[1] = 'A';  // an OS/2 bitmap array: no rule
  EXPECT_EQ(Walk(CheckBmp, os2), CarvedVerdict{});
}

// --- TIFF -------------------------------------------------------------------

// Little-endian TIFF: header, pixel strips, then the IFD at the end with
// strip offsets and byte counts; `next` links a second IFD offset.
Bytes Tiff(uint32_t next = 0) {
  Bytes b;
  Add(b, "II\x2A\x00"sv);
  AddLe32(b, 8 + 100);  // the IFD after the strips
  b.resize(8 + 100, 0x44);
  AddLe16(b, 3);
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    AddLe16(b, tag);
    AddLe16(b, type);
    AddLe32(b, count);
    AddLe32(b, value);
  };
  entry(256, 3, 1, 10);                    // width
  entry(273, 4, 2, 8 + 100 + 2 + 36 + 4);  // strip offsets, out of line
  entry(279, 3, 2, 60 | 40u << 16);        // strip byte counts, inline
  AddLe32(b, next);
  AddLe32(b, 8);   // strip 1 at 8 (60 bytes)
  AddLe32(b, 68);  // strip 2 at 68 (40 bytes)
  return b;
}

TEST(CarvedTiff, EndsAtTheFurthestIfdValueOrStrip) {
  const Bytes t = Tiff();
  EXPECT_EQ(Walk(CheckTiff, t), Complete(t.size()));
  // A next-IFD link back to the first is a loop, not an endless walk.
  const Bytes loop = Tiff(108);
  EXPECT_EQ(Walk(CheckTiff, loop), Complete(loop.size()));
}

TEST(CarvedTiff, OffsetsOutsideTheExtent) {
  Bytes strip = Tiff();
  StoreLe32(strip, 8 + 100 + 2 + 36 + 4 + 4, 0x100000);  // strip 2 far away
  EXPECT_EQ(Walk(CheckTiff, strip), Damaged(CarvedFault::kRunsOff));
  const Bytes t = Tiff();
  EXPECT_EQ(Walk(CheckTiff, t, t.size() - 4), Damaged(CarvedFault::kRunsOff));
  Bytes mismatch = Tiff();
  StoreLe32(mismatch, 8 + 100 + 2 + 24 + 4, 1);  // one byte count for two strips
  EXPECT_EQ(Walk(CheckTiff, mismatch), Damaged(CarvedFault::kBadStructure));
}

// --- PSD --------------------------------------------------------------------

Bytes Psd(uint16_t compression) {
  Bytes b;
  Add(b, "8BPS");
  AddBe16(b, 1);
  b.resize(b.size() + 6, 0);
  AddBe16(b, 3);   // channels
  AddBe32(b, 2);   // height
  AddBe32(b, 5);   // width
  AddBe16(b, 8);   // depth
  AddBe16(b, 3);   // RGB
  AddBe32(b, 0);   // colour-mode data
  AddBe32(b, 14);  // image resources: one block of 2 data bytes
  Add(b, "8BIM");
  AddBe16(b, 0x03ED);
  b.insert(b.end(), {0, 0});  // empty name, padded
  AddBe32(b, 2);
  b.insert(b.end(), {9, 9});
  AddBe32(b, 0);  // layer and mask information
  AddBe16(b, compression);
  if (compression == 0) b.resize(b.size() + 3 * 2 * 5, 0x55);
  if (compression == 1) {
    for (int r = 0; r < 6; ++r) AddBe16(b, 3);
    for (int r = 0; r < 6; ++r) b.insert(b.end(), {0xFC, 0x66, 0x00});
  }
  return b;
}

TEST(CarvedPsd, SectionsAndImageDataGiveTheLength) {
  const Bytes raw = Psd(0);
  EXPECT_EQ(Walk(CheckPsd, raw), Complete(raw.size()));
  const Bytes rle = Psd(1);
  EXPECT_EQ(Walk(CheckPsd, rle), Complete(rle.size()));
  EXPECT_EQ(Walk(CheckPsd, Psd(2)), CarvedVerdict{});  // zip: no stated length
}

TEST(CarvedPsd, BrokenSections) {
  Bytes resources = Psd(0);
  resources[26 + 4 + 4] = 'X';  // "8BIM" of the resource block
  EXPECT_EQ(Walk(CheckPsd, resources), Damaged(CarvedFault::kBadStructure));
  Bytes version = Psd(0);
  version[5] = 3;
  EXPECT_EQ(Walk(CheckPsd, version), Damaged(CarvedFault::kBadStructure));
  const Bytes raw = Psd(0);
  EXPECT_EQ(Walk(CheckPsd, raw, raw.size() - 1), Damaged(CarvedFault::kRunsOff));
}

// --- ICO --------------------------------------------------------------------

Bytes Ico() {
  Bytes b;
  AddLe16(b, 0);
  AddLe16(b, 1);
  AddLe16(b, 2);
  const Bytes png = Png();
  const uint32_t bmpBytes = 40 + 64;
  for (int i = 0; i < 2; ++i) {
    b.insert(b.end(), {16, 16, 0, 0});
    AddLe16(b, 1);
    AddLe16(b, 32);
    AddLe32(b, i == 0 ? uint32_t(png.size()) : bmpBytes);
    AddLe32(b, i == 0 ? 38 : uint32_t(38 + png.size()));
  }
  b.insert(b.end(), png.begin(), png.end());
  AddLe32(b, 40);
  b.resize(b.size() + bmpBytes - 4, 0x12);
  return b;
}

TEST(CarvedIco, EveryImageInsideAndOfAKnownKind) {
  const Bytes i = Ico();
  EXPECT_EQ(Walk(CheckIco, i), Complete(i.size()));
  EXPECT_EQ(Walk(CheckIco, i, i.size() - 1), Damaged(CarvedFault::kRunsOff));
  Bytes kind = Ico();
  kind[38] = 0x00;  // the first image is neither PNG nor bitmap
  EXPECT_EQ(Walk(CheckIco, kind), Damaged(CarvedFault::kBadStructure));
}

// --- PDF --------------------------------------------------------------------

Bytes Pdf(std::string_view lineEnd, bool xrefStream = false) {
  std::string s = "%PDF-1.4\n1 0 obj\n<< >>\nendobj\n";
  const size_t xref = s.size();
  s += xrefStream ? "2 0 obj\n<< /Type /XRef >>\nstream\nendstream\nendobj\n"
                  : "xref\n0 1\n0000000000 65535 f \ntrailer\n<< >>\n";
  s += "startxref\n" + std::to_string(xref) + "\n%%EOF" + std::string(lineEnd);
  return Bytes(s.begin(), s.end());
}

TEST(CarvedPdf, LastEofWithItsLineEnd) {
  for (std::string_view end : {"\n"sv, "\r\n"sv, "\r"sv, ""sv}) {
    const Bytes p = Pdf(end);
    EXPECT_EQ(Walk(CheckPdf, p), Complete(p.size())) << end.size();
  }
  const Bytes stream = Pdf("\n", true);
  EXPECT_EQ(Walk(CheckPdf, stream), Complete(stream.size()));
  // An incremental update: the second "%%EOF" ends the file; its
  // cross-reference offset names the first section's "xref" at 30.
  Bytes updated = Pdf("\n");
  const std::string tail = "3 0 obj\n<< >>\nendobj\nstartxref\n30\n%%EOF\n";
  updated.insert(updated.end(), tail.begin(), tail.end());
  EXPECT_EQ(Walk(CheckPdf, updated), Complete(updated.size()));
}

TEST(CarvedPdf, MissingEndOrWrongCrossReference) {
  const Bytes p = Pdf("\n");
  Bytes cut(p.begin(), p.end() - 8);
  EXPECT_EQ(Walk(CheckPdf, cut, cut.size()), Damaged(CarvedFault::kRunsOff));
  std::string s(p.begin(), p.end());
  s.replace(s.find("startxref\n") + 10, 2, "31");
  EXPECT_EQ(Walk(CheckPdf, Bytes(s.begin(), s.end())), Damaged(CarvedFault::kBadStructure));
  std::string noWord(p.begin(), p.end());
  noWord.replace(noWord.find("startxref"), 9, "startxreF");
  EXPECT_EQ(Walk(CheckPdf, Bytes(noWord.begin(), noWord.end())),
            Damaged(CarvedFault::kBadStructure));
}

// --- ZIP --------------------------------------------------------------------

// A stored two-member archive; `comment` after the end record.
Bytes Zip(std::string_view comment = {}) {
  Bytes b;
  std::vector<std::pair<uint32_t, std::string>> members;
  for (std::string name : {"a.txt", "word/document.xml"}) {
    members.push_back({uint32_t(b.size()), name});
    Add(b, "PK\x03\x04"sv);
    b.resize(b.size() + 14, 0);  // version, flags, method, time, date, CRC
    AddLe32(b, 5);               // compressed
    AddLe32(b, 5);               // uncompressed
    AddLe16(b, uint16_t(name.size()));
    AddLe16(b, 0);
    Add(b, name);
    Add(b, "hello");
  }
  const uint32_t directory = uint32_t(b.size());
  for (const auto& [local, name] : members) {
    Add(b, "PK\x01\x02"sv);
    b.resize(b.size() + 16, 0);  // versions, flags, method, time, date, CRC
    AddLe32(b, 5);
    AddLe32(b, 5);
    AddLe16(b, uint16_t(name.size()));
    AddLe16(b, 0);              // extra
    AddLe16(b, 0);              // comment
    b.resize(b.size() + 8, 0);  // disk, attributes
    AddLe32(b, local);
    Add(b, name);
  }
  const uint32_t size = uint32_t(b.size()) - directory;
  Add(b, "PK\x05\x06"sv);
  AddLe16(b, 0);
  AddLe16(b, 0);
  AddLe16(b, 2);
  AddLe16(b, 2);
  AddLe32(b, size);
  AddLe32(b, directory);
  AddLe16(b, uint16_t(comment.size()));
  Add(b, comment);
  return b;
}

TEST(CarvedZip, EndRecordWhoseDirectoryEndsBeforeIt) {
  const Bytes z = Zip();
  EXPECT_EQ(Walk(CheckZip, z), Complete(z.size()));
  const Bytes commented = Zip("a comment");
  EXPECT_EQ(Walk(CheckZip, commented), Complete(commented.size()));
  // An end record inside a member's data (a stored archive) does not end it.
  const Bytes nested = Zip();
  Bytes outer;
  Add(outer, "PK\x03\x04"sv);
  outer.resize(outer.size() + 14, 0);
  AddLe32(outer, uint32_t(nested.size()));
  AddLe32(outer, uint32_t(nested.size()));
  AddLe16(outer, 5);
  AddLe16(outer, 0);
  Add(outer, "n.zip");
  outer.insert(outer.end(), nested.begin(), nested.end());
  const uint32_t directory = uint32_t(outer.size());
  Add(outer, "PK\x01\x02"sv);
  outer.resize(outer.size() + 16, 0);
  AddLe32(outer, uint32_t(nested.size()));
  AddLe32(outer, uint32_t(nested.size()));
  AddLe16(outer, 5);
  outer.resize(outer.size() + 4 + 8, 0);
  AddLe32(outer, 0);
  Add(outer, "n.zip");
  const uint32_t size = uint32_t(outer.size()) - directory;
  Add(outer, "PK\x05\x06"sv);
  AddLe32(outer, 0);
  AddLe16(outer, 1);
  AddLe16(outer, 1);
  AddLe32(outer, size);
  AddLe32(outer, directory);
  AddLe16(outer, 0);
  EXPECT_EQ(Walk(CheckZip, outer), Complete(outer.size()));
}

TEST(CarvedZip, InconsistentOrMissingDirectory) {
  const Bytes z = Zip();
  EXPECT_EQ(Walk(CheckZip, Bytes(z.begin(), z.end() - 30), z.size() - 30),
            Damaged(CarvedFault::kRunsOff));
  Bytes count = Zip();
  StoreLe16(count, count.size() - 12, 3);  // three entries on the disk
  StoreLe16(count, count.size() - 14, 3);
  EXPECT_EQ(Walk(CheckZip, count), Damaged(CarvedFault::kBadStructure));
  Bytes local = Zip();
  local[0 + 30 + 5 + 5] = 'X';  // the second local header's signature
  EXPECT_EQ(Walk(CheckZip, local), Damaged(CarvedFault::kBadStructure));
  const Bytes commented = Zip("a long comment");
  EXPECT_EQ(Walk(CheckZip, commented, commented.size() - 3), Damaged(CarvedFault::kRunsOff));
}

// --- Compound documents -----------------------------------------------------

// Header, FAT in sector 0, directory in sector 1, a 4,096-byte stream in
// sectors 2 to 9.
Bytes Compound() {
  Bytes b(512 * 11, 0);
  std::span<uint8_t> s(b);
  std::memcpy(b.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  StoreLe16(s, 0x1A, 3);
  StoreLe16(s, 0x1C, 0xFFFE);
  StoreLe16(s, 0x1E, 9);
  StoreLe16(s, 0x20, 6);
  StoreLe32(s, 0x2C, 1);           // FAT sectors
  StoreLe32(s, 0x30, 1);           // directory
  StoreLe32(s, 0x38, 4096);        // mini stream cutoff
  StoreLe32(s, 0x3C, 0xFFFFFFFE);  // no mini FAT
  StoreLe32(s, 0x44, 0xFFFFFFFE);  // no DIFAT
  for (int i = 0; i < 109; ++i) StoreLe32(s, 0x4C + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
  const size_t fat = 512;
  for (int i = 0; i < 128; ++i) StoreLe32(s, fat + 4 * i, 0xFFFFFFFF);
  StoreLe32(s, fat + 0, 0xFFFFFFFD);  // the FAT sector itself
  StoreLe32(s, fat + 4, 0xFFFFFFFE);  // the directory: one sector
  for (int i = 2; i < 9; ++i) StoreLe32(s, fat + 4 * i, uint32_t(i + 1));
  StoreLe32(s, fat + 4 * 9, 0xFFFFFFFE);
  const size_t dir = 2 * 512;
  b[dir + 0x42] = 5;  // root
  StoreLe32(s, dir + 0x74, 0xFFFFFFFE);
  b[dir + 128 + 0x42] = 2;  // a stream of 4,096 bytes from sector 2
  StoreLe32(s, dir + 128 + 0x74, 2);
  StoreLe32(s, dir + 128 + 0x78, 4096);
  return b;
}

TEST(CarvedCompound, LengthFromTheFatAndChainsChecked) {
  const Bytes c = Compound();
  EXPECT_EQ(Walk(CheckCompoundDocument, c), Complete(11 * 512));
  EXPECT_EQ(Walk(CheckCompoundDocument, c, 10 * 512), Damaged(CarvedFault::kRunsOff));
}

TEST(CarvedCompound, BrokenMarksAndChains) {
  Bytes mark = Compound();
  StoreLe32(mark, 512, 0xFFFFFFFE);  // the FAT sector not marked as one
  EXPECT_EQ(Walk(CheckCompoundDocument, mark), Damaged(CarvedFault::kBadStructure));
  Bytes loop = Compound();
  StoreLe32(loop, 512 + 4 * 9, 2);  // the stream's chain loops back
  EXPECT_EQ(Walk(CheckCompoundDocument, loop), Damaged(CarvedFault::kBadStructure));
  Bytes shortChain = Compound();
  StoreLe32(shortChain, 2 * 512 + 128 + 0x78, 5000);  // more than its chain holds
  EXPECT_EQ(Walk(CheckCompoundDocument, shortChain), Damaged(CarvedFault::kBadStructure));
}

// --- 7z ---------------------------------------------------------------------

Bytes SevenZip() {
  Bytes next{0x01, 0x04, 0x06, 0x00, 0x00};  // a header property list
  Bytes packed(100, 0x5A);
  Bytes b;
  Add(b, "7z\xBC\xAF\x27\x1C"sv);
  b.insert(b.end(), {0, 4});
  Bytes start;
  AddLe64(start, packed.size());
  AddLe64(start, next.size());
  AddLe32(start, Crc32(next));
  AddLe32(b, Crc32(start));
  b.insert(b.end(), start.begin(), start.end());
  b.insert(b.end(), packed.begin(), packed.end());
  b.insert(b.end(), next.begin(), next.end());
  return b;
}

TEST(Carved7z, StartHeaderGivesTheLengthAndBothCrcsHold) {
  const Bytes z = SevenZip();
  EXPECT_EQ(Walk(Check7z, z), Complete(z.size()));
  Bytes start = SevenZip();
  start[12] ^= 1;
  EXPECT_EQ(Walk(Check7z, start), Damaged(CarvedFault::kChecksum));
  Bytes next = SevenZip();
  next[next.size() - 2] ^= 1;
  EXPECT_EQ(Walk(Check7z, next), Damaged(CarvedFault::kChecksum));
  EXPECT_EQ(Walk(Check7z, z, z.size() - 1), Damaged(CarvedFault::kRunsOff));
}

// --- RAR --------------------------------------------------------------------

Bytes RarBlock(uint8_t type, uint16_t flags, const Bytes& rest, const Bytes& data = {}) {
  Bytes head{type};
  AddLe16(head, flags);
  AddLe16(head, uint16_t(7 + rest.size()));
  head.insert(head.end(), rest.begin(), rest.end());
  Bytes b;
  AddLe16(b, uint16_t(Crc32(head)));
  b.insert(b.end(), head.begin(), head.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes Rar(bool withEnd = true) {
  Bytes b;
  Add(b, "Rar!\x1A\x07\x00"sv);
  const Bytes main = RarBlock(0x73, 0, Bytes(6, 0));
  b.insert(b.end(), main.begin(), main.end());
  const Bytes data(50, 0x61);
  Bytes rest;
  AddLe32(rest, 50);  // packed
  AddLe32(rest, 50);  // unpacked
  rest.push_back(2);
  AddLe32(rest, Crc32(data));
  AddLe32(rest, 0);
  rest.insert(rest.end(), {29, 0x30});
  AddLe16(rest, 5);
  AddLe32(rest, 0x20);
  Add(rest, "a.txt");
  const Bytes file = RarBlock(0x74, 0x8000, rest, data);
  b.insert(b.end(), file.begin(), file.end());
  if (withEnd) {
    const Bytes end = RarBlock(0x7B, 0x4000, {});
    b.insert(b.end(), end.begin(), end.end());
  }
  return b;
}

TEST(CarvedRar, BlockWalkToTheEndOfArchive) {
  const Bytes r = Rar();
  EXPECT_EQ(Walk(CheckRar, r), Complete(r.size()));
  // The end block is the one the sizer looks for.
  EXPECT_EQ(Bytes(r.end() - 7, r.end()), (Bytes{0xC4, 0x3D, 0x7B, 0x00, 0x40, 0x07, 0x00}));
}

TEST(CarvedRar, HeadCrcAndMissingEnd) {
  Bytes crc = Rar();
  crc[7 + 13 + 20] ^= 1;  // inside the file head
  EXPECT_EQ(Walk(CheckRar, crc), Damaged(CarvedFault::kChecksum));
  const Bytes noEnd = Rar(false);
  EXPECT_EQ(Walk(CheckRar, noEnd, noEnd.size()), Damaged(CarvedFault::kRunsOff));
}

// --- RTF --------------------------------------------------------------------

TEST(CarvedRtf, BraceBalanceWithEscapesAndBinaryData) {
  const std::string doc = "{\\rtf1\\ansi {\\b bold} \\{ \\} \\\\ {\\*\\pict \\bin4 }}{{}}\n";
  const std::string full = doc;
  EXPECT_EQ(Walk(CheckRtf, Bytes(full.begin(), full.end())), Complete(full.size()));
  const std::string open = "{\\rtf1 {\\b never closed}";
  EXPECT_EQ(Walk(CheckRtf, Bytes(open.begin(), open.end()), open.size()),
            Damaged(CarvedFault::kRunsOff));
}

// --- Bounds -----------------------------------------------------------------

TEST(CarvedBytesBounds, NothingOutsideTheExtentIsRead) {
  Bytes medium(4 * 512, 0xAB);
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::move(medium)), 4);
  CarvedBytes f(reader, 512, 1, 700);
  uint8_t b = 0;
  EXPECT_TRUE(f.Byte(699, b));
  EXPECT_FALSE(f.Byte(700, b));
  EXPECT_EQ(f.View(600).size(), 100u);
  EXPECT_FALSE(f.ReadFailed());
  // An extent past the end of the medium reads as a failure, not as bytes.
  CarvedBytes past(reader, 512, 3, 2048);
  EXPECT_TRUE(past.Byte(511, b));
  EXPECT_FALSE(past.Byte(512, b));
  EXPECT_TRUE(past.ReadFailed());
}

TEST(CarvedBytesBounds, FindAllSeesNeedlesAcrossWindows) {
  Bytes medium(3 * 65536, 0);
  std::memcpy(medium.data() + 65536 - 2, "%%EOF", 5);
  std::memcpy(medium.data() + 2 * 65536 + 7, "%%EOF", 5);
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::move(medium)), 3 * 128);
  CarvedBytes f(reader, 512, 0, 3 * 65536);
  std::vector<uint64_t> found;
  EXPECT_TRUE(f.FindAll("%%EOF", [&](uint64_t at) { return found.push_back(at), true; }));
  EXPECT_EQ(found, (std::vector<uint64_t>{65534, 131079}));
}

TEST(CarvedCheckRule, ExtensionsAndExtents) {
  EXPECT_EQ(WalkerForExtension("jpg"), &CheckJpeg);
  EXPECT_EQ(WalkerForExtension("JPEG"), &CheckJpeg);
  EXPECT_EQ(WalkerForExtension("xlsx"), &CheckZip);
  EXPECT_EQ(WalkerForExtension("fla"), &CheckCompoundDocument);
  EXPECT_EQ(WalkerForExtension("rtf"), &CheckRtf);
  EXPECT_EQ(WalkerForExtension("mso07"), nullptr);
  EXPECT_EQ(CarvedExtension("5000.jpg"), "jpg");
  EXPECT_EQ(CheckedExtent(1000, 512, 10, 100), 1024u);    // the whole last sector
  EXPECT_EQ(CheckedExtent(100000, 512, 90, 100), 5120u);  // cut at the medium's end
  EXPECT_EQ(CheckedExtent(10, 512, 100, 100), 0u);
}

}  // namespace
}  // namespace brinvale
