// Byte-level cases for the structural walkers of carved audio and video:
// each file is built here field by field and walked over a medium in
// memory, inside an extent that may run on past the file's end (as a
// sizer's does), followed by noise or by zeros.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
void Add(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
void AddBe16(Bytes& b, uint16_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
void AddBe24(Bytes& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}
void AddBe32(Bytes& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}
void AddBe64(Bytes& b, uint64_t v) {
  AddBe32(b, uint32_t(v >> 32));
  AddBe32(b, uint32_t(v));
}
void AddLe16(Bytes& b, uint16_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void AddLe32(Bytes& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}
void AddLe64(Bytes& b, uint64_t v) {
  AddLe32(b, uint32_t(v));
  AddLe32(b, uint32_t(v >> 32));
}
void PutBe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
}
void PutLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
void PutLe64(Bytes& b, size_t at, uint64_t v) {
  PutLe32(b, at, uint32_t(v));
  PutLe32(b, at + 4, uint32_t(v >> 32));
}
void AddNoise(Bytes& b, size_t n, uint32_t seed = 0x12345678) {
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245 + 12345;
    b.push_back(uint8_t(seed >> 16));
  }
}

enum class After { kNoise, kZeros };

// Walks `file` with `walker` inside an extent of `extent` bytes (the file
// plus 600 bytes of what follows it when 0), on a medium of 512-byte
// sectors starting at sector 3.
CarvedVerdict Walk(CarvedWalker walker, const Bytes& file, uint64_t extent = 0,
                   After after = After::kNoise) {
  Bytes medium(3 * 512);
  medium.insert(medium.end(), file.begin(), file.end());
  if (after == After::kNoise)
    AddNoise(medium, 600);
  else
    medium.resize(medium.size() + 600, 0);
  medium.resize((medium.size() + 511) / 512 * 512 + 512);
  SectorReader reader;
  const uint64_t sectors = medium.size() / 512;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::move(medium)), sectors);
  CarvedBytes bytes(reader, 512, 3, extent ? extent : file.size() + 600);
  return walker(bytes);
}
CarvedVerdict WalkInZeros(CarvedWalker walker, const Bytes& file) {
  return Walk(walker, file, 0, After::kZeros);
}
// The file cut to `keep` bytes, the extent ending there.
CarvedVerdict WalkCut(CarvedWalker walker, const Bytes& file, size_t keep) {
  return Walk(walker, Bytes(file.begin(), file.begin() + keep), keep);
}

CarvedVerdict Complete(uint64_t n) { return CompleteVerdict(n); }
CarvedVerdict Damaged(CarvedFault f) { return DamagedVerdict(f); }
CarvedVerdict StreamEnd(uint64_t n) { return StreamEndVerdict(n); }
const CarvedVerdict kUnchecked{};

// --- RIFF -------------------------------------------------------------------

void AddRiffChunk(Bytes& b, std::string_view id, const Bytes& data) {
  Add(b, id);
  AddLe32(b, uint32_t(data.size()));
  Add(b, data);
  if (data.size() & 1) b.push_back(0);
}
Bytes Riff(std::string_view form, const Bytes& chunks) {
  Bytes b;
  Add(b, "RIFF");
  AddLe32(b, uint32_t(4 + chunks.size()));
  Add(b, form);
  Add(b, chunks);
  return b;
}
Bytes List(std::string_view kind, const Bytes& chunks) {
  Bytes data;
  Add(data, kind);
  Add(data, chunks);
  Bytes b;
  AddRiffChunk(b, "LIST", data);
  return b;
}
Bytes Wav() {
  Bytes chunks;
  AddRiffChunk(chunks, "fmt ", Bytes(16, 1));
  AddRiffChunk(chunks, "data", Bytes(301, 0x80));  // odd: a pad byte follows
  return Riff("WAVE", chunks);
}
Bytes Avi() {
  Bytes header, movie, chunks;
  AddRiffChunk(header, "avih", Bytes(56, 0));
  AddRiffChunk(movie, "00dc", Bytes(120, 9));
  AddRiffChunk(movie, "01wb", Bytes(33, 3));
  Add(chunks, List("hdrl", header));
  Add(chunks, List("movi", movie));
  AddRiffChunk(chunks, "idx1", Bytes(32, 0));
  return Riff("AVI ", chunks);
}

TEST(CarvedRiff, ChunksFillTheRiffLength) {
  const Bytes w = Wav(), a = Avi();
  EXPECT_EQ(Walk(CheckRiff, w), Complete(w.size()));
  EXPECT_EQ(WalkInZeros(CheckRiff, w), Complete(w.size()));
  EXPECT_EQ(Walk(CheckRiff, a), Complete(a.size()));
  // An OpenDML extension chunk right after the first RIFF belongs to it.
  Bytes big = a, more;
  AddRiffChunk(more, "00dc", Bytes(64, 5));
  Add(big, Riff("AVIX", List("movi", more)));
  EXPECT_EQ(Walk(CheckRiff, big), Complete(big.size()));
  // A last odd chunk whose pad byte the RIFF length leaves out.
  Bytes odd = w;
  odd.pop_back();
  PutLe32(odd, 4, uint32_t(odd.size() - 8));
  EXPECT_EQ(Walk(CheckRiff, odd, odd.size()), Complete(odd.size()));
}

TEST(CarvedRiff, InconsistentSizesAndMissingChunks) {
  Bytes over = Wav();
  PutLe32(over, 16, 17);  // "fmt " now runs one byte into "data"
  EXPECT_EQ(Walk(CheckRiff, over), Damaged(CarvedFault::kBadStructure));
  Bytes huge = Wav();
  PutLe32(huge, 12 + 8 + 16 + 4, 0xFFFFFFF0);  // data past the RIFF end
  EXPECT_EQ(Walk(CheckRiff, huge), Damaged(CarvedFault::kBadStructure));
  Bytes noData;
  AddRiffChunk(noData, "fmt ", Bytes(16, 1));
  EXPECT_EQ(Walk(CheckRiff, Riff("WAVE", noData)), Damaged(CarvedFault::kBadStructure));
  Bytes noMovie;
  Add(noMovie, List("hdrl", Bytes{}));
  EXPECT_EQ(Walk(CheckRiff, Riff("AVI ", noMovie)), Damaged(CarvedFault::kBadStructure));
  const Bytes w = Wav();
  EXPECT_EQ(WalkCut(CheckRiff, w, w.size() - 10), Damaged(CarvedFault::kRunsOff));
  Bytes badName = Wav();
  badName[12 + 24] = 0x01;  // "data" spelt with a control byte
  EXPECT_EQ(Walk(CheckRiff, badName), Damaged(CarvedFault::kBadStructure));
}

// --- ISO base media ------------------------------------------------------------

Bytes Box(std::string_view type, const Bytes& data) {
  Bytes b;
  AddBe32(b, uint32_t(8 + data.size()));
  Add(b, type);
  Add(b, data);
  return b;
}
Bytes Stco(std::initializer_list<uint32_t> offsets) {
  Bytes d(4, 0);
  AddBe32(d, uint32_t(offsets.size()));
  for (uint32_t o : offsets) AddBe32(d, o);
  return Box("stco", d);
}
Bytes Moov(const Bytes& sampleTable) {
  return Box("moov", [&] {
    Bytes inside = Box("mvhd", Bytes(100, 0));
    Add(inside, Box("trak", Box("mdia", Box("minf", Box("stbl", sampleTable)))));
    return inside;
  }());
}
Bytes Ftyp(std::string_view brand = "isom") {
  Bytes d;
  Add(d, brand);
  AddBe32(d, 0x200);
  Add(d, brand);
  Add(d, "mp41");
  return Box("ftyp", d);
}
// ftyp, mdat of `media` bytes, then moov whose chunk offsets point into it.
Bytes Mp4(size_t media = 400) {
  Bytes b = Ftyp();
  const uint32_t data = uint32_t(b.size() + 8);
  Add(b, Box("mdat", Bytes(media, 0x5A)));
  Add(b, Moov(Stco({data, data + 100})));
  return b;
}

TEST(CarvedIsoBmff, TopLevelBoxesToTheirEnd) {
  const Bytes m = Mp4();
  EXPECT_EQ(Walk(CheckIsoBmff, m), Complete(m.size()));
  EXPECT_EQ(WalkInZeros(CheckIsoBmff, m), Complete(m.size()));
  // A 64-bit media data box, the movie box first.
  Bytes wide = Ftyp();
  Bytes moov = Moov(Stco({0}));
  PutBe32(moov, moov.size() - 4, uint32_t(wide.size() + moov.size() + 16));
  Add(wide, moov);
  AddBe32(wide, 1);
  Add(wide, "mdat");
  AddBe64(wide, 16 + 300);
  wide.resize(wide.size() + 300, 0x33);
  EXPECT_EQ(Walk(CheckIsoBmff, wide), Complete(wide.size()));
  // A QuickTime movie that starts with its movie box.
  Bytes qt = Moov(Bytes{});
  Add(qt, Box("free", Bytes(20, 0)));
  EXPECT_EQ(Walk(CheckIsoBmff, qt), Complete(qt.size()));
}

TEST(CarvedIsoBmff, ChunkOffsetsInAnyMediaBoxButNotBetween) {
  const auto twoMedia = [](uint32_t second) {
    Bytes b = Ftyp();
    const uint32_t first = uint32_t(b.size() + 8);
    Add(b, Box("mdat", Bytes(100, 1)));
    Add(b, Box("free", Bytes(50, 0)));
    const uint32_t inSecond = uint32_t(b.size() + 8 + 10);
    Add(b, Box("mdat", Bytes(100, 2)));
    Add(b, Moov(Stco({first, second ? second : inSecond})));
    return b;
  };
  const Bytes good = twoMedia(0);
  EXPECT_EQ(Walk(CheckIsoBmff, good), Complete(good.size()));
  EXPECT_EQ(Walk(CheckIsoBmff, twoMedia(24 + 108 + 20)), Damaged(CarvedFault::kBadStructure));
  EXPECT_EQ(Walk(CheckIsoBmff, twoMedia(10)), Damaged(CarvedFault::kBadStructure));
}

TEST(CarvedIsoBmff, SizeZeroStatesNoLength) {
  Bytes m = Ftyp();
  Add(m, Moov(Bytes{}));
  AddBe32(m, 0);
  Add(m, "mdat");
  m.resize(m.size() + 100, 0x11);
  EXPECT_EQ(Walk(CheckIsoBmff, m), kUnchecked);
}

TEST(CarvedIsoBmff, MediaPastTheExtentOrOffsetsOutsideIt) {
  const Bytes m = Mp4();
  // Cut in the media data: the box runs past the extent.
  EXPECT_EQ(WalkCut(CheckIsoBmff, m, 200), Damaged(CarvedFault::kRunsOff));
  // Cut before the movie box: the movie is missing.
  EXPECT_EQ(Walk(CheckIsoBmff, Bytes(m.begin(), m.begin() + 28 + 408)),
            Damaged(CarvedFault::kBadStructure));
  Bytes outside = Ftyp();
  Add(outside, Box("mdat", Bytes(400, 0)));
  Add(outside, Moov(Stco({100000})));
  EXPECT_EQ(Walk(CheckIsoBmff, outside), Damaged(CarvedFault::kBadStructure));
  // A child box that runs out of its parent.
  Bytes nested = Mp4();
  const size_t stbl = nested.size() - 24 - 8;
  PutBe32(nested, stbl, 0x1000);
  EXPECT_EQ(Walk(CheckIsoBmff, nested), Damaged(CarvedFault::kBadStructure));
  // A count of chunk offsets larger than the box.
  Bytes count = Mp4();
  PutBe32(count, count.size() - 12, 0x40000000);
  EXPECT_EQ(Walk(CheckIsoBmff, count), Damaged(CarvedFault::kBadStructure));
  // Sizes below the header and a 64-bit size past the extent.
  Bytes small = Mp4();
  PutBe32(small, 28, 3);
  EXPECT_EQ(Walk(CheckIsoBmff, small), Damaged(CarvedFault::kBadStructure));
  Bytes far = Ftyp();
  AddBe32(far, 1);
  Add(far, "mdat");
  AddBe64(far, 1ull << 62);
  EXPECT_EQ(Walk(CheckIsoBmff, far), Damaged(CarvedFault::kRunsOff));
  EXPECT_EQ(Walk(CheckIsoBmff, Box("abcd", Bytes(8, 0))), Damaged(CarvedFault::kBadStructure));
}

// --- Matroska -------------------------------------------------------------------

// An element with a one- to four-byte ID and an eight-byte size.
Bytes Element(uint32_t id, const Bytes& data, bool unknownSize = false) {
  Bytes b;
  for (int shift = 24; shift >= 0; shift -= 8)
    if ((id >> shift) != 0) b.push_back(uint8_t(id >> shift));
  b.push_back(0x01);
  for (int shift = 48; shift >= 0; shift -= 8)
    b.push_back(unknownSize ? 0xFF : uint8_t(uint64_t(data.size()) >> shift));
  Add(b, data);
  return b;
}
Bytes WithCrc(uint32_t id, const Bytes& data) {
  Bytes crc;
  AddLe32(crc, Crc32(data));
  Bytes inside = Element(0xBF, crc);
  Add(inside, data);
  return Element(id, inside);
}
Bytes EbmlHeader(std::string_view docType = "webm") {
  Bytes doc(docType.begin(), docType.end());
  Bytes inside = Element(0x4286, {1});
  Add(inside, Element(0x4282, doc));
  return Element(0x1A45DFA3, inside);
}
Bytes SegmentBody() {
  Bytes b = WithCrc(0x1549A966, Element(0x2AD7B1, {0x0F, 0x42, 0x40}));
  Add(b, WithCrc(0x1654AE6B, Element(0xAE, Bytes(20, 1))));
  Bytes cluster = Element(0xE7, {0});
  Add(cluster, Element(0xA3, Bytes(200, 0x77)));
  Add(b, Element(0x1F43B675, cluster));
  Add(b, Element(0xEC, Bytes(10, 0)));
  return b;
}
Bytes Mkv() {
  Bytes b = EbmlHeader();
  Add(b, Element(0x18538067, SegmentBody()));
  return b;
}

TEST(CarvedMatroska, KnownSizeSegmentEndsTheFile) {
  const Bytes m = Mkv();
  EXPECT_EQ(Walk(CheckMatroska, m), Complete(m.size()));
  EXPECT_EQ(WalkInZeros(CheckMatroska, m), Complete(m.size()));
  Bytes named = EbmlHeader("matroska");
  Add(named, Element(0x18538067, SegmentBody()));
  EXPECT_EQ(Walk(CheckMatroska, named), Complete(named.size()));
}

TEST(CarvedMatroska, LiveSegmentAndClustersWalkedElementByElement) {
  Bytes live = EbmlHeader();
  Bytes body = WithCrc(0x1549A966, Element(0x2AD7B1, {1}));
  Add(body, Element(0x1654AE6B, Bytes(8, 1)));
  Bytes cluster = Element(0xE7, {0});
  Add(cluster, Element(0xA3, Bytes(50, 2)));
  Add(body, Element(0x1F43B675, cluster, true));
  Add(body, Element(0x1F43B675, cluster, true));
  Add(live, Element(0x18538067, body, true));
  EXPECT_EQ(Walk(CheckMatroska, live), kUnchecked);
  EXPECT_EQ(WalkInZeros(CheckMatroska, live), kUnchecked);
  // A block cut by the extent's end.
  EXPECT_EQ(WalkCut(CheckMatroska, live, live.size() - 10), Damaged(CarvedFault::kRunsOff));
}

TEST(CarvedMatroska, CrcSizesAndDocType) {
  Bytes crc = Mkv();
  crc[EbmlHeader().size() + 12 + 8 + 8 + 3] ^= 0x40;  // a byte of Info's data
  EXPECT_EQ(Walk(CheckMatroska, crc), Damaged(CarvedFault::kChecksum));
  const Bytes m = Mkv();
  EXPECT_EQ(WalkCut(CheckMatroska, m, m.size() - 5), Damaged(CarvedFault::kRunsOff));
  Bytes doc = EbmlHeader("avi!");
  Add(doc, Element(0x18538067, SegmentBody()));
  EXPECT_EQ(Walk(CheckMatroska, doc), Damaged(CarvedFault::kBadStructure));
  // A cluster whose children overrun it, and a segment without tracks.
  Bytes overrun = EbmlHeader();
  Bytes body = WithCrc(0x1549A966, Bytes{});
  Add(body, Element(0x1654AE6B, Bytes{}));
  Bytes cluster = Element(0xA3, Bytes(10, 0));
  cluster[8] = 0x20;
  Add(body, Element(0x1F43B675, cluster));
  Add(overrun, Element(0x18538067, body));
  EXPECT_EQ(Walk(CheckMatroska, overrun), Damaged(CarvedFault::kBadStructure));
  Bytes noTracks = EbmlHeader();
  Add(noTracks, Element(0x18538067, Element(0x1549A966, Bytes{})));
  EXPECT_EQ(Walk(CheckMatroska, noTracks), Damaged(CarvedFault::kBadStructure));
  // A size of 2^56 - 2.
  Bytes far = EbmlHeader();
  Add(far, Element(0x18538067, Bytes{}));
  for (size_t i = far.size() - 7; i < far.size(); ++i) far[i] = 0xFF;
  far.back() = 0xFE;
  EXPECT_EQ(Walk(CheckMatroska, far), Damaged(CarvedFault::kRunsOff));
}

// --- FLV and SWF ------------------------------------------------------------------

void AddTag(Bytes& b, uint8_t type, const Bytes& data) {
  b.push_back(type);
  AddBe24(b, uint32_t(data.size()));
  AddBe32(b, 0);
  AddBe24(b, 0);
  Add(b, data);
  AddBe32(b, uint32_t(11 + data.size()));
}
// onMetaData with "filesize" (the file's length when `withSize`).
Bytes Flv(bool withSize = true) {
  Bytes b;
  Add(b, "FLV\x01\x05"sv);
  AddBe32(b, 9);
  AddBe32(b, 0);
  Bytes script;
  Add(script, "\x02\x00\x0AonMetaData\x08\x00\x00\x00\x01"sv);
  Add(script, withSize ? "\x00\x08"
                         "filesize\x00"sv
                       : "\x00\x08"
                         "duration\x00"sv);
  AddBe64(script, 0);
  Add(script, "\x00\x00\x09"sv);
  AddTag(b, 18, script);
  AddTag(b, 9, Bytes(100, 0x17));
  AddTag(b, 8, Bytes(40, 0xAF));
  if (withSize) {
    const double size = double(b.size());
    uint64_t bits = 0;
    std::memcpy(&bits, &size, 8);
    const size_t at = 13 + 11 + 13 + 5 + 11;
    for (int i = 0; i < 8; ++i) b[at + i] = uint8_t(bits >> (56 - 8 * i));
  }
  return b;
}

TEST(CarvedFlv, TagsEndAtTheStatedFileSize) {
  const Bytes f = Flv();
  EXPECT_EQ(Walk(CheckFlv, f), Complete(f.size()));
  EXPECT_EQ(WalkInZeros(CheckFlv, f), Complete(f.size()));
  // Without the stated size the tags are walked, the length is not known.
  EXPECT_EQ(Walk(CheckFlv, Flv(false)), kUnchecked);
}

TEST(CarvedFlv, PreviousTagSizesAndCuts) {
  Bytes prev = Flv();
  prev[prev.size() - 40 - 4 - 11 - 1] ^= 1;  // the video tag's PreviousTagSize
  EXPECT_EQ(Walk(CheckFlv, prev), Damaged(CarvedFault::kBadStructure));
  const Bytes f = Flv();
  EXPECT_EQ(WalkCut(CheckFlv, f, f.size() - 20), Damaged(CarvedFault::kRunsOff));
  // The stated size past the tags: a tag must stand there.
  Bytes longer = Flv();
  longer.resize(longer.size() + 20, 0);
  const Bytes shorter(longer.begin(), longer.end() - 20);
  EXPECT_EQ(Walk(CheckFlv, Flv(false)).condition, CarvedCondition::kUnchecked);
  Bytes badType = Flv(false);
  badType[13] = 0x07;
  EXPECT_EQ(Walk(CheckFlv, badType), Damaged(CarvedFault::kBadStructure));
}

Bytes Swf() {
  Bytes b;
  Add(b, "FWS\x06"sv);
  AddLe32(b, 0);
  b.insert(b.end(), {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00});  // rect, 15-bit
  AddLe16(b, 0x0C00);                                                         // 12 fps
  AddLe16(b, 1);
  AddLe16(b, uint16_t(9 << 6 | 3));  // SetBackgroundColor
  b.insert(b.end(), {0xFF, 0xFF, 0xFF});
  AddLe16(b, uint16_t(2 << 6 | 0x3F));  // long form
  AddLe32(b, 100);
  b.resize(b.size() + 100, 0x44);
  AddLe16(b, uint16_t(1 << 6));  // ShowFrame
  AddLe16(b, 0);                 // End
  PutLe32(b, 4, uint32_t(b.size()));
  return b;
}

TEST(CarvedSwf, TagsUpToTheEndTagAtTheStatedLength) {
  const Bytes s = Swf();
  EXPECT_EQ(Walk(CheckSwf, s), Complete(s.size()));
  Bytes longer = s;
  PutLe32(longer, 4, uint32_t(s.size() + 4));
  EXPECT_EQ(Walk(CheckSwf, longer), Damaged(CarvedFault::kBadStructure));
  Bytes tag = s;
  PutLe32(tag, s.size() - 4 - 100 - 4, 0x7FFFFFFF);
  EXPECT_EQ(Walk(CheckSwf, tag), Damaged(CarvedFault::kBadStructure));
  EXPECT_EQ(WalkCut(CheckSwf, s, s.size() - 1), Damaged(CarvedFault::kRunsOff));
  Bytes compressed = s;
  compressed[0] = 'C';
  EXPECT_EQ(Walk(CheckSwf, compressed), kUnchecked);
}

// --- MPEG program and transport streams --------------------------------------------

// MPEG-2 packs of exactly 2048 bytes: pack header, one PES packet each,
// the system header in the first.
Bytes ProgramStream(int packs, bool endCode) {
  Bytes b;
  for (int i = 0; i < packs; ++i) {
    const size_t start = b.size();
    Add(b, "\x00\x00\x01\xBA\x44\x00\x04\x00\x04\x01\x01\x89\xC3\xF8"sv);
    if (i == 0) {
      Add(b, "\x00\x00\x01\xBB"sv);
      AddBe16(b, 6);
      b.resize(b.size() + 6, 0x80);
    }
    const size_t left = 2048 - (b.size() - start) - 6;
    Add(b, "\x00\x00\x01\xE0"sv);
    AddBe16(b, uint16_t(left));
    b.resize(b.size() + left, 0x42);
  }
  if (endCode) Add(b, "\x00\x00\x01\xB9"sv);
  return b;
}

TEST(CarvedMpegProgram, PacksToTheEndCode) {
  const Bytes p = ProgramStream(3, true);
  EXPECT_EQ(Walk(CheckMpegProgram, p), Complete(p.size()));
  EXPECT_EQ(WalkInZeros(CheckMpegProgram, p), Complete(p.size()));
  // MPEG-1 pack headers are 12 bytes.
  Bytes one;
  Add(one, "\x00\x00\x01\xBA\x21\x00\x01\x00\x01\x80\x03\xE9"sv);
  Add(one, "\x00\x00\x01\xC0\x00\x04\x01\x02\x03\x04"sv);
  Add(one, "\x00\x00\x01\xB9"sv);
  EXPECT_EQ(Walk(CheckMpegProgram, one), Complete(one.size()));
}

TEST(CarvedMpegProgram, WithoutEndCodeTheLastPackEndsItUnlessPacksResume) {
  // Whole packs, then bytes that are no start code and hold no pack
  // header: the stream's units stop with its last pack (whether that pack
  // is whole cannot be told).
  const Bytes three = ProgramStream(3, false);
  EXPECT_EQ(Walk(CheckMpegProgram, three), StreamEnd(three.size()));
  EXPECT_EQ(WalkInZeros(CheckMpegProgram, three), StreamEnd(three.size()));
  EXPECT_EQ(WalkCut(CheckMpegProgram, three, three.size()), StreamEnd(three.size()));
  // A pack header after some other bytes: the stream goes on after a
  // broken stretch, so where it ends is unknown. Two packs say nothing of
  // a unit.
  Bytes early = ProgramStream(4, true);
  early[2048 + 14 + 5] -= 1;
  EXPECT_EQ(Walk(CheckMpegProgram, early), kUnchecked);
  Bytes resumed = three;
  AddNoise(resumed, 300);
  Add(resumed, ProgramStream(1, false));
  EXPECT_EQ(Walk(CheckMpegProgram, resumed, resumed.size() + 100), kUnchecked);
  // ... but not a pack start code without a valid mode byte after it.
  Bytes codeOnly = three;
  AddNoise(codeOnly, 300);
  Add(codeOnly, "\x00\x00\x01\xBA\x00"sv);
  EXPECT_EQ(Walk(CheckMpegProgram, codeOnly), StreamEnd(three.size()));
  // Past the extent a resumption is not looked for.
  EXPECT_EQ(Walk(CheckMpegProgram, resumed, three.size() + 200), StreamEnd(three.size()));
  // A PES length one short: the walk breaks off a 2048-byte boundary.
  Bytes shorter = ProgramStream(4, true);
  shorter[3 * 2048 + 14 + 5] -= 1;
  EXPECT_EQ(Walk(CheckMpegProgram, shorter), Damaged(CarvedFault::kBadStructure));
  const Bytes p = ProgramStream(3, true);
  EXPECT_EQ(WalkCut(CheckMpegProgram, p, 3000), Damaged(CarvedFault::kRunsOff));
  Bytes badPack = p;
  badPack[4] = 0x00;  // neither MPEG-1 nor MPEG-2
  EXPECT_EQ(Walk(CheckMpegProgram, badPack), Damaged(CarvedFault::kBadStructure));
}

TEST(CarvedMpegProgram, ElementaryVideoUpToTheSequenceEnd) {
  Bytes v;
  Add(v, "\x00\x00\x01\xB3\x01\x00\x10\x13\xFF\xFF\xE0\x18"sv);
  Add(v, "\x00\x00\x01\xB8\x00\x08\x00\x40"sv);
  Add(v, "\x00\x00\x01\x00\x00\x0F\xFF\xF8"sv);
  Add(v, "\x00\x00\x01\x01\x12\x34\x56"sv);
  Add(v, "\x00\x00\x01\xB7"sv);
  EXPECT_EQ(Walk(CheckMpegProgram, v), Complete(v.size()));
  Bytes audioCode = v;
  audioCode[20 + 3] = 0xC0;  // a system code inside the video
  EXPECT_EQ(Walk(CheckMpegProgram, audioCode), Damaged(CarvedFault::kBadStructure));
  EXPECT_EQ(WalkCut(CheckMpegProgram, v, v.size() - 4), Damaged(CarvedFault::kRunsOff));
}

Bytes TsPacket(uint16_t pid, uint8_t counter, size_t timestamp = 0) {
  Bytes b(timestamp, 0x01);
  b.insert(b.end(), {0x47, uint8_t(0x40 | pid >> 8), uint8_t(pid), uint8_t(0x10 | counter)});
  b.resize(b.size() + 184, 0xFF);
  return b;
}
Bytes Ts(size_t timestamp = 0) {
  Bytes b;
  for (uint8_t i = 0; i < 20; ++i) {
    Add(b, TsPacket(0x100, i & 15, timestamp));
    Add(b, TsPacket(0x101, (i + 5) & 15, timestamp));
  }
  return b;
}

TEST(CarvedTransportStream, WholePacketsStateNoLength) {
  EXPECT_EQ(Walk(CheckTransportStream, Ts()), kUnchecked);
  EXPECT_EQ(WalkInZeros(CheckTransportStream, Ts()), kUnchecked);
  EXPECT_EQ(Walk(CheckMts, Ts(4)), kUnchecked);
  // A repeated packet keeps its counter.
  Bytes repeat = Ts();
  Add(repeat, TsPacket(0x100, 3));
  Add(repeat, TsPacket(0x100, 3));
  EXPECT_EQ(Walk(CheckTransportStream, repeat), kUnchecked);
}

TEST(CarvedTransportStream, CounterJumpsAndBadAdaptationFields) {
  Bytes jump = Ts();
  jump[188 * 10 + 3] = 0x10 | 9;  // a counter out of order
  EXPECT_EQ(Walk(CheckTransportStream, jump), Damaged(CarvedFault::kBadStructure));
  Bytes mtsJump = Ts(4);
  mtsJump[192 * 10 + 4 + 3] = 0x10 | 9;
  EXPECT_EQ(Walk(CheckMts, mtsJump), Damaged(CarvedFault::kBadStructure));
  // A discontinuity flagged in the adaptation field allows the jump.
  Bytes flagged = Ts();
  flagged[188 * 38 + 3] = 0x30 | 9;
  flagged[188 * 38 + 4] = 1;
  flagged[188 * 38 + 5] = 0x80;
  EXPECT_EQ(Walk(CheckTransportStream, flagged), kUnchecked);
  Bytes field = Ts();
  field[188 * 2 + 3] = 0x20;
  field[188 * 2 + 4] = 100;  // adaptation only, yet not 183 bytes long
  EXPECT_EQ(Walk(CheckTransportStream, field), Damaged(CarvedFault::kBadStructure));
  Bytes reserved = Ts();
  reserved[188 * 3 + 3] = 0x00;
  EXPECT_EQ(Walk(CheckTransportStream, reserved), Damaged(CarvedFault::kBadStructure));
  EXPECT_EQ(WalkCut(CheckTransportStream, Ts(), 100), Damaged(CarvedFault::kRunsOff));
}

// --- MPEG audio ------------------------------------------------------------------

// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, stereo: 417 bytes, 418 padded.
Bytes Mp3Frame(bool padded, bool info = false, uint32_t frames = 0, uint32_t bytes = 0) {
  Bytes f{0xFF, 0xFB, uint8_t(0x90 | (padded ? 2 : 0)), 0x00};
  f.resize(padded ? 418 : 417, 0x55);
  if (info) {
    std::memcpy(&f[4 + 32], "Info", 4);
    PutBe32(f, 4 + 32 + 4, 3);
    PutBe32(f, 4 + 32 + 8, frames);
    PutBe32(f, 4 + 32 + 12, bytes);
  }
  return f;
}
Bytes Mp3(bool withInfo, bool tags) {
  Bytes b;
  Add(b, "ID3\x03\x00\x00\x00\x00\x00\x14"sv);  // 20 bytes of tag
  b.resize(b.size() + 20, 0);
  const size_t audio = b.size();
  if (withInfo) Add(b, Mp3Frame(false, true, 5, 0));
  for (int i = 0; i < 5; ++i) Add(b, Mp3Frame(i % 2 == 1));
  if (withInfo) PutBe32(b, audio + 4 + 32 + 12, uint32_t(b.size() - audio));
  if (tags) {
    Bytes ape;
    Add(ape, "APETAGEX"sv);
    AddLe32(ape, 2000);
    AddLe32(ape, 32 + 10);
    AddLe32(ape, 1);
    AddLe32(ape, 0xA0000000);
    ape.resize(32 + 10, 0x61);
    Add(ape, "APETAGEX"sv);
    AddLe32(ape, 2000);
    AddLe32(ape, 32 + 10);
    AddLe32(ape, 1);
    AddLe32(ape, 0x80000000);
    ape.resize(32 + 10 + 32, 0);
    Add(b, ape);
    Add(b, "TAG"sv);
    b.resize(b.size() + 125, 0x20);
  }
  return b;
}

TEST(CarvedMpegAudio, InfoFrameStatesFramesAndBytes) {
  const Bytes plain = Mp3(true, false), tagged = Mp3(true, true);
  EXPECT_EQ(Walk(CheckMpegAudio, plain), Complete(plain.size()));
  EXPECT_EQ(WalkInZeros(CheckMpegAudio, tagged), Complete(tagged.size()));
  EXPECT_EQ(Walk(CheckMpegAudio, tagged), Complete(tagged.size()));
}

TEST(CarvedMpegAudio, WithoutInfoFrameTheLastFrameEndsItUnlessFramesResume) {
  // The frames, then their tags: nothing after them is audio.
  const Bytes tagged = Mp3(false, true);
  EXPECT_EQ(Walk(CheckMpegAudio, tagged), StreamEnd(tagged.size()));
  EXPECT_EQ(WalkInZeros(CheckMpegAudio, tagged), StreamEnd(tagged.size()));
  Bytes layer2{0xFF, 0xFD, 0xE4, 0x00};  // MPEG-1 Layer II, 384 kbit/s, 48 kHz: 1152 bytes
  layer2.resize(1152, 0x11);
  Bytes mp2 = layer2;
  Add(mp2, layer2);
  EXPECT_EQ(Walk(CheckMpegAudio, mp2), StreamEnd(mp2.size()));
  // Two frames of the same kind after other bytes: the stream goes on
  // after a broken stretch, and its end is unknown.
  Bytes resumed = mp2;
  AddNoise(resumed, 100);
  Add(resumed, layer2);
  Add(resumed, layer2);
  EXPECT_EQ(Walk(CheckMpegAudio, resumed), kUnchecked);
  // A frame of its kind soon after broken frames may be its last ones, and
  // two frames at another rate are more of it (joined or broadcast
  // recordings change rate): nothing after the stream is cut then.
  Bytes lone = mp2;
  AddNoise(lone, 100);
  Add(lone, layer2);
  lone.resize(lone.size() + 100, 0x22);
  EXPECT_EQ(Walk(CheckMpegAudio, lone), kUnchecked);
  Bytes other44{0xFF, 0xFD, 0xE0, 0x00};  // 44.1 kHz: 1253 bytes
  other44.resize(1253, 0x11);
  Bytes otherRate = mp2;
  Add(otherRate, other44);
  Add(otherRate, other44);
  EXPECT_EQ(Walk(CheckMpegAudio, otherRate), kUnchecked);
  // One lone header far after the last frame is chance.
  Bytes far = mp2;
  far.resize(far.size() + 6 * 1152, 0x22);
  Add(far, layer2);
  far.resize(far.size() + 100, 0x22);
  EXPECT_EQ(Walk(CheckMpegAudio, far), StreamEnd(mp2.size()));
}

TEST(CarvedMpegAudio, TagsTheWalkDoesNotKnowKeepTheWholeExtent) {
  Bytes layer2{0xFF, 0xFD, 0xE4, 0x00};
  layer2.resize(1152, 0x11);
  Bytes mp2 = layer2;
  Add(mp2, layer2);
  // Lyrics3v2 before ID3v1, an APE tag with only its footer, an ID3v2
  // footer, extended ID3v1 ("TAG+"): each may be followed by more tags.
  for (std::string_view tag : {"LYRICSBEGIN"sv, "APETAGEX"sv, "3DI"sv, "TAG+"sv, "ID3"sv}) {
    SCOPED_TRACE(std::string(tag));
    Bytes b = mp2;
    b.resize(b.size() + 40, 0x20);
    Add(b, tag);
    b.resize(b.size() + 200, 0x20);
    EXPECT_EQ(Walk(CheckMpegAudio, b), kUnchecked);
  }
}

TEST(CarvedMpegAudio, ALastFrameCutShortKeepsTheTagItRunsInto) {
  // Two frames, a third cut after 1100 of its 1152 bytes, then an ID3v1
  // tag: the third frame's length ends inside the tag.
  Bytes layer2{0xFF, 0xFD, 0xE4, 0x00};
  layer2.resize(1152, 0x11);
  Bytes b = layer2;
  Add(b, layer2);
  b.insert(b.end(), layer2.begin(), layer2.begin() + 1100);
  Add(b, "TAG"sv);
  b.resize(b.size() + 125, 0x20);
  EXPECT_EQ(Walk(CheckMpegAudio, b), kUnchecked);
  // Whole, the same frames and tag end the stream after the tag.
  Bytes whole = layer2;
  Add(whole, layer2);
  Add(whole, layer2);
  Add(whole, "TAG"sv);
  whole.resize(whole.size() + 125, 0x20);
  EXPECT_EQ(Walk(CheckMpegAudio, whole), StreamEnd(whole.size()));
}

TEST(CarvedMpegAudio, HeadersThatNeverPairStopTheSearchUnresolved) {
  // One frame, then, past the frames near it, a Layer II header every 5
  // bytes whose next frame never lines up: a few are no resumption, but
  // past the bound on headers tried the end stays unknown.
  Bytes layer2{0xFF, 0xFD, 0xE4, 0x00};
  layer2.resize(1152, 0x11);
  auto withHeaders = [&](int count) {
    Bytes b = layer2;
    b.resize(b.size() + 6 * 1152, 0x22);
    for (int i = 0; i < count; ++i) Add(b, "\xFF\xFD\xE4\x00\x00"sv);
    return b;
  };
  EXPECT_EQ(Walk(CheckMpegAudio, withHeaders(1000)), StreamEnd(1152));
  EXPECT_EQ(Walk(CheckMpegAudio, withHeaders(70000)), kUnchecked);
}

TEST(CarvedMpegAudio, CountsThatDoNotMatchAndCutFrames) {
  Bytes fewer = Mp3(true, false);
  fewer.erase(fewer.end() - 418, fewer.end());  // the last frame is gone
  EXPECT_EQ(Walk(CheckMpegAudio, fewer).condition, CarvedCondition::kDamaged);
  Bytes bytes = Mp3(true, false);
  PutBe32(bytes, 30 + 4 + 32 + 12, 1000);
  EXPECT_EQ(Walk(CheckMpegAudio, bytes), Damaged(CarvedFault::kBadStructure));
  const Bytes m = Mp3(true, false);
  EXPECT_EQ(WalkCut(CheckMpegAudio, m, m.size() - 100), Damaged(CarvedFault::kRunsOff));
  Bytes syncsafe = Mp3(true, false);
  syncsafe[9] = 0x80;
  EXPECT_EQ(Walk(CheckMpegAudio, syncsafe), Damaged(CarvedFault::kBadStructure));
  Bytes apeNoFooter = Mp3(true, true);
  apeNoFooter[apeNoFooter.size() - 128 - 32] = 'X';
  EXPECT_EQ(Walk(CheckMpegAudio, apeNoFooter), Damaged(CarvedFault::kBadStructure));
  // A free-format or reserved header where the first frame should be.
  Bytes reserved = Mp3(true, false);
  reserved[30 + 2] = 0xF0;
  EXPECT_EQ(Walk(CheckMpegAudio, reserved), Damaged(CarvedFault::kBadStructure));
}

// --- ASF -----------------------------------------------------------------------

constexpr auto kAsfHeader = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv;
constexpr auto kAsfProperties =
    "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65"sv;
constexpr auto kAsfData = "\x36\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv;
constexpr auto kAsfIndex = "\x90\x08\x00\x33\xB1\xE5\xCF\x11\x89\xF4\x00\xA0\xC9\x03\x49\xCB"sv;

Bytes Asf(uint32_t flags = 2) {
  const uint32_t packet = 100, packets = 3;
  Bytes props;
  Add(props, kAsfProperties);
  AddLe64(props, 104);
  props.resize(40, 0);
  AddLe64(props, 0);  // file size, filled in below
  props.resize(56, 0);
  AddLe64(props, packets);
  props.resize(88, 0);
  AddLe32(props, flags);
  AddLe32(props, packet);
  AddLe32(props, packet);
  AddLe32(props, 0);
  Bytes b;
  Add(b, kAsfHeader);
  AddLe64(b, 30 + props.size());
  AddLe32(b, 1);
  b.insert(b.end(), {0x01, 0x02});
  Add(b, props);
  Add(b, kAsfData);
  AddLe64(b, 50 + packet * packets);
  b.resize(b.size() + 16, 0);
  AddLe64(b, packets);
  b.insert(b.end(), {0x01, 0x01});
  for (uint32_t i = 0; i < packets; ++i) {
    b.insert(b.end(), {0x82, 0x00, 0x00});
    b.resize(b.size() + packet - 3, 0x11);
  }
  Add(b, kAsfIndex);
  AddLe64(b, 24 + 32);
  b.resize(b.size() + 32, 0);
  PutLe64(b, 30 + 40, b.size());
  return b;
}

TEST(CarvedAsf, ObjectsFillTheStatedFileSize) {
  const Bytes a = Asf();
  EXPECT_EQ(Walk(CheckAsf, a), Complete(a.size()));
  EXPECT_EQ(WalkInZeros(CheckAsf, a), Complete(a.size()));
  // A broadcast file's size is not valid.
  EXPECT_EQ(Walk(CheckAsf, Asf(1)), kUnchecked);
}

TEST(CarvedAsf, CountsAndSizesThatDisagree) {
  Bytes packets = Asf();
  PutLe64(packets, 30 + 104 + 40, 4);  // the data object counts one more packet
  EXPECT_EQ(Walk(CheckAsf, packets), Damaged(CarvedFault::kBadStructure));
  Bytes children = Asf();
  PutLe32(children, 24, 2);
  EXPECT_EQ(Walk(CheckAsf, children), Damaged(CarvedFault::kBadStructure));
  Bytes index = Asf();
  PutLe64(index, index.size() - 56 + 16, 0xFFFFFFFFFFFFull);
  EXPECT_EQ(Walk(CheckAsf, index), Damaged(CarvedFault::kBadStructure));
  const Bytes a = Asf();
  EXPECT_EQ(WalkCut(CheckAsf, a, a.size() - 1), Damaged(CarvedFault::kRunsOff));
  Bytes packet = Asf();
  packet[30 + 104 + 50 + 2 * 100] = 0x11;  // the third packet without its error correction
  EXPECT_EQ(Walk(CheckAsf, packet), Damaged(CarvedFault::kBadStructure));
  Bytes zero = Asf();
  PutLe64(zero, 30 + 104 + 16, 0);  // a data object of size 0
  EXPECT_EQ(Walk(CheckAsf, zero), Damaged(CarvedFault::kBadStructure));
}

// --- Monkey's Audio, MIDI, SMAF, RealMedia -------------------------------------

Bytes Ape(uint16_t version = 3990) {
  Bytes b;
  Add(b, "MAC "sv);
  AddLe16(b, version);
  AddLe16(b, 0);
  AddLe32(b, 52);   // descriptor
  AddLe32(b, 24);   // header
  AddLe32(b, 8);    // seek table
  AddLe32(b, 44);   // WAV header
  AddLe32(b, 300);  // frame data
  AddLe32(b, 0);
  AddLe32(b, 0);  // WAV tail
  b.resize(52 + 24 + 8 + 44 + 300, 0x21);
  Add(b, "TAG"sv);
  b.resize(b.size() + 125, 0);
  return b;
}

TEST(CarvedApe, DescriptorStatesTheLength) {
  const Bytes a = Ape();
  EXPECT_EQ(Walk(CheckApe, a), Complete(a.size()));
  EXPECT_EQ(WalkCut(CheckApe, a, 200), Damaged(CarvedFault::kRunsOff));
  Bytes huge = a;
  PutLe32(huge, 28, 1);  // 4 GiB more frame data
  EXPECT_EQ(Walk(CheckApe, huge), Damaged(CarvedFault::kRunsOff));
  Bytes small = a;
  PutLe32(small, 8, 10);
  EXPECT_EQ(Walk(CheckApe, small), Damaged(CarvedFault::kBadStructure));
  EXPECT_EQ(Walk(CheckApe, Ape(3970)), kUnchecked);
}

Bytes Midi(uint16_t tracks = 2) {
  Bytes b;
  Add(b, "MThd"sv);
  AddBe32(b, 6);
  AddBe16(b, 1);
  AddBe16(b, tracks);
  AddBe16(b, 96);
  for (int i = 0; i < 2; ++i) {
    Add(b, "MTrk"sv);
    AddBe32(b, 8);
    b.insert(b.end(), {0x00, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00});
    if (i == 0) {
      Add(b, "XFIH"sv);  // a chunk of another name between tracks
      AddBe32(b, 2);
      b.insert(b.end(), {1, 2});
    }
  }
  return b;
}

TEST(CarvedMidi, CountedTracksEachClosedByEndOfTrack) {
  const Bytes m = Midi();
  EXPECT_EQ(Walk(CheckMidi, m), Complete(m.size()));
  EXPECT_EQ(Walk(CheckMidi, Midi(3), Midi(3).size()), Damaged(CarvedFault::kRunsOff));
  Bytes open = m;
  open[m.size() - 2] = 0x01;
  EXPECT_EQ(Walk(CheckMidi, open), Damaged(CarvedFault::kBadStructure));
  Bytes huge = m;
  PutBe32(huge, 18, 0xFFFFFFFF);
  EXPECT_EQ(Walk(CheckMidi, huge), Damaged(CarvedFault::kRunsOff));
  EXPECT_EQ(Walk(CheckMidi, Midi(0)), Damaged(CarvedFault::kBadStructure));
}

TEST(CarvedMmf, ChunksFillTheFileChunk) {
  Bytes m;
  Add(m, "MMMD"sv);
  AddBe32(m, 0);
  Add(m, "CNTI"sv);
  AddBe32(m, 5);
  m.resize(m.size() + 5, 1);
  Add(m, "ATR\x00"sv);
  AddBe32(m, 20);
  m.resize(m.size() + 20, 2);
  m.insert(m.end(), {0xAB, 0xCD});  // the CRC
  PutBe32(m, 4, uint32_t(m.size() - 8));
  EXPECT_EQ(Walk(CheckMmf, m), Complete(m.size()));
  Bytes over = m;
  PutBe32(over, 8 + 13 + 4, 21);
  EXPECT_EQ(Walk(CheckMmf, over), Damaged(CarvedFault::kBadStructure));
  EXPECT_EQ(WalkCut(CheckMmf, m, m.size() - 3), Damaged(CarvedFault::kRunsOff));
}

Bytes RealMedia(bool index) {
  Bytes b;
  Add(b, ".RMF"sv);
  AddBe32(b, 18);
  AddBe16(b, 0);
  AddBe32(b, 0);
  AddBe32(b, 3);
  const size_t prop = b.size();
  Add(b, "PROP"sv);
  AddBe32(b, 50);
  AddBe16(b, 0);
  b.resize(prop + 50, 0);
  const size_t data = b.size();
  PutBe32(b, prop + 42, uint32_t(data));
  Add(b, "DATA"sv);
  AddBe32(b, 0);
  AddBe16(b, 0);
  AddBe32(b, 2);
  AddBe32(b, 0);
  for (uint16_t length : {40, 60}) {
    AddBe16(b, 0);
    AddBe16(b, length);
    b.resize(b.size() + length - 4, 0x31);
  }
  PutBe32(b, data + 4, uint32_t(b.size() - data));
  if (index) {
    PutBe32(b, prop + 38, uint32_t(b.size()));
    for (int i = 0; i < 2; ++i) {
      const size_t at = b.size();
      Add(b, "INDX"sv);
      AddBe32(b, 20 + 14);
      AddBe16(b, 0);
      AddBe32(b, 1);
      AddBe16(b, uint16_t(i));
      AddBe32(b, i == 0 ? uint32_t(at + 34) : 0);
      b.resize(b.size() + 14, 0);
    }
  }
  return b;
}

TEST(CarvedRealMedia, PacketsAndIndexChainEndTheFile) {
  const Bytes plain = RealMedia(false), indexed = RealMedia(true);
  EXPECT_EQ(Walk(CheckRealMedia, plain), Complete(plain.size()));
  EXPECT_EQ(Walk(CheckRealMedia, indexed), Complete(indexed.size()));
  // Eight zero bytes closing a file without index belong to it.
  EXPECT_EQ(WalkInZeros(CheckRealMedia, plain), Complete(plain.size() + 8));
}

TEST(CarvedRealMedia, BrokenPacketsAndChains) {
  Bytes packet = RealMedia(false);
  packet[packet.size() - 60 + 2] = 0;  // the last packet's length below its head
  packet[packet.size() - 60 + 3] = 4;
  EXPECT_EQ(Walk(CheckRealMedia, packet), Damaged(CarvedFault::kBadStructure));
  Bytes chain = RealMedia(true);
  PutBe32(chain, chain.size() - 34 - 18, 5);  // the first index names a wrong next one
  EXPECT_EQ(Walk(CheckRealMedia, chain), Damaged(CarvedFault::kBadStructure));
  Bytes dataAt = RealMedia(false);
  PutBe32(dataAt, 18 + 42, 7);
  EXPECT_EQ(Walk(CheckRealMedia, dataAt), Damaged(CarvedFault::kBadStructure));
  const Bytes r = RealMedia(true);
  EXPECT_EQ(WalkCut(CheckRealMedia, r, r.size() - 5), Damaged(CarvedFault::kRunsOff));
  // A data chunk without packets whose head the extent cuts: never an end
  // past the extent.
  constexpr size_t kData = 18 + 50;
  Bytes empty = RealMedia(false);
  empty.resize(kData + 18);
  PutBe32(empty, kData + 4, 18);
  PutBe32(empty, kData + 10, 0);
  EXPECT_EQ(Walk(CheckRealMedia, empty), Complete(empty.size()));
  EXPECT_EQ(WalkCut(CheckRealMedia, empty, kData + 14), Damaged(CarvedFault::kRunsOff));
}

// --- MXF -------------------------------------------------------------------------

constexpr auto kPartitionKey = "\x06\x0E\x2B\x34\x02\x05\x01\x01\x0D\x01\x02\x01\x01"sv;

void AddPartition(Bytes& b, uint8_t kind, uint64_t previous, uint64_t footer) {
  const uint64_t self = b.size();
  Add(b, kPartitionKey);
  b.insert(b.end(), {kind, 0x04, 0x00, 0x83, 0x00, 0x00, 88});
  AddBe16(b, 1);
  AddBe16(b, 3);
  AddBe32(b, 1);
  AddBe64(b, self);
  AddBe64(b, previous);
  AddBe64(b, footer);
  b.resize(b.size() + 88 - 32, 0);
}
Bytes Mxf(bool rip) {
  Bytes b;
  AddPartition(b, 0x02, 0, 0);
  Add(b, "\x06\x0E\x2B\x34\x01\x02\x01\x01\x0D\x01\x03\x01\x15\x01\x05\x00\x82\x01\x00"sv);
  b.resize(b.size() + 256, 0x66);  // an essence element, long-form length
  const uint64_t body = b.size();
  AddPartition(b, 0x03, 0, 0);
  const uint64_t footer = b.size();
  AddPartition(b, 0x04, body, footer);
  for (int i = 0; i < 8; ++i) b[0 + 16 + 4 + 24 + i] = uint8_t(footer >> (56 - 8 * i));
  if (rip) {
    const size_t at = b.size();
    Add(b, kPartitionKey);
    b.insert(b.end(), {0x11, 0x01, 0x00, 40});
    for (uint64_t offset : {uint64_t(0), body, footer}) {
      AddBe32(b, 1);
      AddBe64(b, offset);
    }
    AddBe32(b, uint32_t(b.size() + 4 - at));
  }
  return b;
}

TEST(CarvedMxf, RandomIndexPackClosesTheFile) {
  const Bytes m = Mxf(true);
  EXPECT_EQ(Walk(CheckMxf, m), Complete(m.size()));
  EXPECT_EQ(WalkInZeros(CheckMxf, m), Complete(m.size()));
  EXPECT_EQ(Walk(CheckMxf, Mxf(false)), kUnchecked);
}

TEST(CarvedMxf, PartitionsWhereTheyAreNotSaidToBe) {
  Bytes self = Mxf(true);
  self[16 + 4 + 8 + 7] = 9;  // the header partition says it stands at 9
  EXPECT_EQ(Walk(CheckMxf, self), Damaged(CarvedFault::kBadStructure));
  Bytes listed = Mxf(true);
  listed[listed.size() - 4 - 1] ^= 0x10;  // the random index lists a wrong footer
  EXPECT_EQ(Walk(CheckMxf, listed), Damaged(CarvedFault::kBadStructure));
  Bytes stated = Mxf(true);
  stated.back() ^= 1;  // the random index pack's own length
  EXPECT_EQ(Walk(CheckMxf, stated), Damaged(CarvedFault::kBadStructure));
  const Bytes m = Mxf(true);
  EXPECT_EQ(WalkCut(CheckMxf, m, 200), Damaged(CarvedFault::kRunsOff));
  // Bytes that are no KLV before the footer.
  Bytes early(m.begin(), m.begin() + 100 + 19);
  early.resize(early.size() + 300, 0);
  EXPECT_EQ(Walk(CheckMxf, early, early.size()).condition, CarvedCondition::kDamaged);
}

// --- Ogg ---------------------------------------------------------------------------

uint32_t OggCrc(const Bytes& page) {
  uint32_t crc = 0;
  for (uint8_t b : page) {
    crc ^= uint32_t(b) << 24;
    for (int i = 0; i < 8; ++i) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}
Bytes OggPage(uint8_t flags, uint32_t serial, uint32_t sequence, const Bytes& body) {
  Bytes p;
  Add(p, "OggS"sv);
  p.push_back(0);
  p.push_back(flags);
  p.resize(p.size() + 8, 0);
  AddLe32(p, serial);
  AddLe32(p, sequence);
  AddLe32(p, 0);
  size_t left = body.size();
  Bytes lacing;
  do {
    lacing.push_back(uint8_t(std::min<size_t>(left, 255)));
    left -= lacing.back();
  } while (lacing.back() == 255);
  p.push_back(uint8_t(lacing.size()));
  Add(p, lacing);
  Add(p, body);
  PutLe32(p, 22, OggCrc(p));
  return p;
}
Bytes Ogg() {
  Bytes b = OggPage(2, 7, 0, Bytes(30, 1));
  Add(b, OggPage(2, 9, 0, Bytes(20, 2)));  // a second stream, multiplexed
  Add(b, OggPage(0, 7, 1, Bytes(300, 3)));
  Add(b, OggPage(4, 9, 1, Bytes(10, 4)));
  Add(b, OggPage(4, 7, 2, Bytes(40, 5)));
  return b;
}

TEST(CarvedOgg, PagesUntilEveryStreamHasEnded) {
  const Bytes o = Ogg();
  EXPECT_EQ(Walk(CheckOgg, o), Complete(o.size()));
  EXPECT_EQ(WalkInZeros(CheckOgg, o), Complete(o.size()));
  // A chained stream after the first ones belongs to the file.
  Bytes chained = o;
  Add(chained, OggPage(2 | 4, 11, 0, Bytes(5, 6)));
  EXPECT_EQ(Walk(CheckOgg, chained), Complete(chained.size()));
  // A page that follows the ends without starting a stream does not.
  Bytes after = o;
  Add(after, OggPage(0, 11, 0, Bytes(5, 6)));
  EXPECT_EQ(Walk(CheckOgg, after), Complete(o.size()));
}

TEST(CarvedOgg, CrcSequenceAndMissingEnd) {
  Bytes crc = Ogg();
  crc[100] ^= 1;
  EXPECT_EQ(Walk(CheckOgg, crc), Damaged(CarvedFault::kChecksum));
  Bytes sequence = OggPage(2, 7, 0, Bytes(30, 1));
  Add(sequence, OggPage(4, 7, 2, Bytes(30, 1)));  // page 1 is missing
  EXPECT_EQ(Walk(CheckOgg, sequence), Damaged(CarvedFault::kBadStructure));
  const Bytes o = Ogg();
  const size_t last = o.size() - (27 + 1 + 40);
  EXPECT_EQ(Walk(CheckOgg, Bytes(o.begin(), o.begin() + last)),
            Damaged(CarvedFault::kBadStructure));  // no end-of-stream page
  EXPECT_EQ(WalkCut(CheckOgg, o, o.size() - 1), Damaged(CarvedFault::kRunsOff));
  Bytes unknown = OggPage(2, 7, 0, Bytes(3, 1));
  Add(unknown, OggPage(4, 8, 1, Bytes(3, 1)));  // a stream that never began
  EXPECT_EQ(Walk(CheckOgg, unknown), Damaged(CarvedFault::kBadStructure));
}

// --- Which walker an extension gets ----------------------------------------------

TEST(CarvedMediaRule, ExtensionsWithAndWithoutTableRows) {
  EXPECT_EQ(WalkerForExtension("AVI"), &CheckRiff);
  EXPECT_EQ(WalkerForExtension("wav"), &CheckRiff);
  EXPECT_EQ(WalkerForExtension("mov"), &CheckIsoBmff);
  EXPECT_EQ(WalkerForExtension("3gp"), &CheckIsoBmff);
  EXPECT_EQ(WalkerForExtension("m4a"), &CheckIsoBmff);
  EXPECT_EQ(WalkerForExtension("webm"), &CheckMatroska);
  EXPECT_EQ(WalkerForExtension("ogg"), &CheckOgg);
  EXPECT_EQ(WalkerForExtension("vob"), &CheckMpegProgram);
  EXPECT_EQ(WalkerForExtension("mts"), &CheckMts);
  EXPECT_EQ(WalkerForExtension("mp2"), &CheckMpegAudio);
  EXPECT_EQ(WalkerForExtension("wma"), &CheckAsf);
  EXPECT_EQ(WalkerForExtension("rmvb"), &CheckRealMedia);
  EXPECT_EQ(WalkerForExtension("flac"), nullptr);
}

}  // namespace
}  // namespace brinvale
