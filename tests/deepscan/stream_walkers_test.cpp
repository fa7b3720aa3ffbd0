// Byte-level cases for the walkers of compressed streams (gzip, bzip2, xz)
// and of tar archives: each file is made here (with zlib, libbz2 and
// liblzma, or field by field) and walked over a medium in memory, inside an
// extent that may run on past the file's end.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#if BRINVALE_HAVE_BZIP2
#include <bzlib.h>
#endif
#if BRINVALE_HAVE_LZMA
#include <lzma.h>
#endif

#include "deepscan/carved_bytes.h"
#include "deepscan/carved_check.h"
#include "deepscan/formats/walkers.h"
#include "deepscan/stream_decoder.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"

namespace brinvale {
namespace {

using namespace std::literals;
using Bytes = std::vector<uint8_t>;

void Add(Bytes& b, std::string_view s) { b.insert(b.end(), s.begin(), s.end()); }
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
void AddLe16(Bytes& b, uint16_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void AddLe32(Bytes& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}
void AddNoise(Bytes& b, size_t n) {
  uint32_t x = 0x2468ACE1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245 + 12345;
    b.push_back(uint8_t(x >> 16));
  }
}
// Text that compresses, but not to nothing.
Bytes Text(size_t n) {
  Bytes b;
  for (size_t i = 0; b.size() < n; ++i) Add(b, "line " + std::to_string(i * 7919 % 10007) + "\n");
  b.resize(n);
  return b;
}

// A medium of 512-byte sectors with `file` at sector 3, random bytes
// after it; the walk's extent is `extent` bytes (the file and 600 bytes
// more when 0).
struct Medium {
  explicit Medium(const Bytes& file, uint64_t extent = 0) {
    Bytes medium(3 * 512);
    medium.insert(medium.end(), file.begin(), file.end());
    AddNoise(medium, 600);
    medium.resize((medium.size() + 511) / 512 * 512 + 512);
    const uint64_t sectors = medium.size() / 512;
    OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::move(medium)), sectors);
    bytes = std::make_unique<CarvedBytes>(reader, 512, 3, extent ? extent : file.size() + 600);
  }
  SectorReader reader;
  std::unique_ptr<CarvedBytes> bytes;
};

CarvedVerdict Walk(CarvedWalker walker, const Bytes& file, uint64_t extent = 0) {
  Medium m(file, extent);
  return walker(*m.bytes);
}

CarvedVerdict Complete(uint64_t n) { return CompleteVerdict(n); }
CarvedVerdict Damaged(CarvedFault f) { return DamagedVerdict(f); }
const CarvedVerdict kUnchecked{};

// --- gzip -------------------------------------------------------------------

Bytes RawDeflate(const Bytes& data) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes out(deflateBound(&z, uLong(data.size())));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = uInt(data.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

uint32_t CrcOf(const Bytes& data) { return uint32_t(crc32(0, data.data(), uInt(data.size()))); }

// A member: the fixed header with `flags`, its optional fields, the
// deflate stream, CRC-32 and ISIZE.
Bytes GzipMember(const Bytes& data, uint8_t flags = 0) {
  Bytes b{0x1F, 0x8B, 0x08, flags, 0x10, 0x20, 0x30, 0x40, 0x00, 0x03};
  if (flags & 0x04) {
    AddLe16(b, 6);
    Add(b, "AB\x02\x00xy"sv);
  }
  if (flags & 0x08) Add(b, "name.txt\0"sv);
  if (flags & 0x10) Add(b, "a comment\0"sv);
  if (flags & 0x02) AddLe16(b, uint16_t(CrcOf(b)));
  Append(b, RawDeflate(data));
  AddLe32(b, CrcOf(data));
  AddLe32(b, uint32_t(data.size()));
  return b;
}

TEST(CarvedGzip, MembersEndAfterTheLastTrailer) {
  const Bytes text = Text(100000);
  const Bytes plain = GzipMember(text);
  EXPECT_EQ(Walk(CheckGzip, plain), Complete(plain.size()));
  // Every optional header field, the header CRC among them.
  const Bytes fields = GzipMember(text, 0x02 | 0x04 | 0x08 | 0x10);
  EXPECT_EQ(Walk(CheckGzip, fields), Complete(fields.size()));
  // Two members in a row, then zeros.
  Bytes two = plain;
  Append(two, GzipMember(Text(3000), 0x08));
  const size_t length = two.size();
  two.resize(length + 1000, 0);
  EXPECT_EQ(Walk(CheckGzip, two), Complete(length));
  // An empty member.
  const Bytes empty = GzipMember({});
  EXPECT_EQ(Walk(CheckGzip, empty), Complete(empty.size()));
  // gzip's own output from zlib's gzip wrapper.
  z_stream z{};
  ASSERT_EQ(deflateInit2(&z, 9, Z_DEFLATED, MAX_WBITS + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes wrapped(deflateBound(&z, uLong(text.size())) + 64);
  z.next_in = const_cast<Bytef*>(text.data());
  z.avail_in = uInt(text.size());
  z.next_out = wrapped.data();
  z.avail_out = uInt(wrapped.size());
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  wrapped.resize(z.total_out);
  deflateEnd(&z);
  EXPECT_EQ(Walk(CheckGzip, wrapped), Complete(wrapped.size()));
}

TEST(CarvedGzip, FailingChecksAndCutStreams) {
  const Bytes good = GzipMember(Text(50000), 0x02 | 0x08);
  Bytes crc = good;
  crc[crc.size() - 8] ^= 0x01;
  EXPECT_EQ(Walk(CheckGzip, crc), Damaged(CarvedFault::kChecksum));
  Bytes isize = good;
  isize[isize.size() - 4] ^= 0x01;
  EXPECT_EQ(Walk(CheckGzip, isize), Damaged(CarvedFault::kChecksum));
  Bytes header = good;
  header[4] ^= 0x01;  // the time: the header CRC no longer holds
  EXPECT_EQ(Walk(CheckGzip, header), Damaged(CarvedFault::kChecksum));
  // A second member that breaks breaks the file.
  Bytes second = good;
  Bytes bad = GzipMember(Text(2000));
  bad[bad.size() - 6] ^= 0x40;
  Append(second, bad);
  EXPECT_EQ(Walk(CheckGzip, second), Damaged(CarvedFault::kChecksum));
  // Cut inside the stream, inside the trailer, inside the name.
  EXPECT_EQ(Walk(CheckGzip, good, good.size() / 2), Damaged(CarvedFault::kRunsOff));
  EXPECT_EQ(Walk(CheckGzip, good, good.size() - 3), Damaged(CarvedFault::kRunsOff));
  EXPECT_EQ(Walk(CheckGzip, good, 14), Damaged(CarvedFault::kRunsOff));
  // A block of the reserved type 3.
  Bytes block = good;
  const size_t data = 10 + 9 + 2;  // fixed header, name, header CRC
  block[data] = 0x07;
  EXPECT_EQ(Walk(CheckGzip, block), Damaged(CarvedFault::kBadStructure));
  Bytes flags = good;
  flags[3] = 0x20;  // a reserved flag
  EXPECT_EQ(Walk(CheckGzip, flags), Damaged(CarvedFault::kBadStructure));
}

// A raw deflate stream of `chunks` MiB of zeros, made without compressing
// them all: after a full flush the compressor starts afresh, so every MiB
// compresses to the same bytes.
Bytes ZerosDeflate(uint32_t chunks, uint32_t& crc) {
  const Bytes zeros(1 << 20, 0);
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes unit(1 << 16);
  z.next_in = const_cast<Bytef*>(zeros.data());
  z.avail_in = uInt(zeros.size());
  z.next_out = unit.data();
  z.avail_out = uInt(unit.size());
  EXPECT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
  unit.resize(z.total_out);
  Bytes tail(64);
  z.next_out = tail.data();
  z.avail_out = uInt(tail.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  tail.resize(64 - z.avail_out);
  deflateEnd(&z);
  Bytes stream;
  const uint32_t unitCrc = uint32_t(crc32(0, zeros.data(), uInt(zeros.size())));
  crc = 0;
  for (uint32_t i = 0; i < chunks; ++i) {
    Append(stream, unit);
    crc = uint32_t(crc32_combine(crc, unitCrc, z_off_t(zeros.size())));
  }
  Append(stream, tail);
  return stream;
}

TEST(CarvedGzip, BombStopsAtTheOutputBound) {
  // 1 GiB of zeros in about 1 MB: a whole, valid file.
  uint32_t crc = 0;
  Bytes bomb{0x1F, 0x8B, 0x08, 0x00, 0, 0, 0, 0, 0x02, 0x03};
  Append(bomb, ZerosDeflate(1024, crc));
  AddLe32(bomb, crc);
  AddLe32(bomb, 0);  // 2^30 modulo 2^32
  ASSERT_LT(bomb.size(), 1100000u);
  EXPECT_EQ(Walk(CheckGzip, bomb), kUnchecked);
  // The decoder stopped within a buffer of the bound, not at 1 GiB.
  Medium m(bomb);
  const DecodedStream s = DecodeStream(StreamCodec::kDeflate, *m.bytes, 10, kDecodedOutputBound);
  EXPECT_EQ(s.end, StreamEnd::kOverBound);
  EXPECT_GT(s.outputBytes, kDecodedOutputBound);
  EXPECT_LE(s.outputBytes, kDecodedOutputBound + 65536);
  // Below the bound the same kind of stream is checked whole.
  Bytes small{0x1F, 0x8B, 0x08, 0x00, 0, 0, 0, 0, 0x02, 0x03};
  Append(small, ZerosDeflate(8, crc));
  AddLe32(small, crc);
  AddLe32(small, 8 << 20);
  EXPECT_EQ(Walk(CheckGzip, small), Complete(small.size()));
}

// --- bzip2 ------------------------------------------------------------------

#if BRINVALE_HAVE_BZIP2
Bytes Bzip2(const Bytes& data, int level = 9) {
  Bytes out(data.size() + data.size() / 100 + 700);
  unsigned length = unsigned(out.size());
  char none = 0;
  EXPECT_EQ(BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &length,
                                     data.empty() ? &none : const_cast<char*>(reinterpret_cast<const char*>(data.data())),
                                     unsigned(data.size()), level, 0, 0),
            BZ_OK);
  out.resize(length);
  return out;
}
#endif

TEST(CarvedBzip2, StreamsEndAtTheirEndMarker) {
#if !BRINVALE_HAVE_BZIP2
  GTEST_SKIP() << "built without libbz2: bzip2 files stay unchecked";
#else
  const Bytes one = Bzip2(Text(300000), 1);  // three blocks of 100k
  EXPECT_EQ(Walk(CheckBzip2, one), Complete(one.size()));
  Bytes two = one;
  Append(two, Bzip2(Text(5000)));
  const size_t length = two.size();
  two.resize(length + 700, 0);
  EXPECT_EQ(Walk(CheckBzip2, two), Complete(length));
  const Bytes empty = Bzip2({});
  EXPECT_EQ(Walk(CheckBzip2, empty), Complete(empty.size()));
#endif
}

TEST(CarvedBzip2, FailingCrcsAndCutStreams) {
#if !BRINVALE_HAVE_BZIP2
  GTEST_SKIP() << "built without libbz2: bzip2 files stay unchecked";
#else
  const Bytes good = Bzip2(Text(40000));
  Bytes combined = good;
  combined[combined.size() - 3] ^= 0x10;  // inside the stream's combined CRC
  EXPECT_EQ(Walk(CheckBzip2, combined), Damaged(CarvedFault::kChecksum));
  Bytes block = good;
  block[12] ^= 0x01;  // the first block's CRC (after its magic at 4)
  EXPECT_EQ(Walk(CheckBzip2, block), Damaged(CarvedFault::kChecksum));
  EXPECT_EQ(Walk(CheckBzip2, good, good.size() - 2), Damaged(CarvedFault::kRunsOff));
  EXPECT_EQ(Walk(CheckBzip2, good, good.size() / 2), Damaged(CarvedFault::kRunsOff));
  Bytes level = good;
  level[3] = '0';
  EXPECT_EQ(Walk(CheckBzip2, level), Damaged(CarvedFault::kBadStructure));
  // Output past the bound stops the decoder there.
  const Bytes zeros = Bzip2(Bytes(4 << 20, 0));
  Medium m(zeros);
  const DecodedStream s = DecodeStream(StreamCodec::kBzip2, *m.bytes, 0, 100000);
  EXPECT_EQ(s.end, StreamEnd::kOverBound);
  EXPECT_LE(s.outputBytes, 100000u + 65536u);
#endif
}

// --- xz -----------------------------------------------------------------------

#if BRINVALE_HAVE_LZMA
Bytes Xz(const Bytes& data, lzma_check check = LZMA_CHECK_CRC64) {
  Bytes out(lzma_stream_buffer_bound(data.size()));
  size_t length = 0;
  EXPECT_EQ(lzma_easy_buffer_encode(6, check, nullptr, data.data(), data.size(), out.data(),
                                    &length, out.size()),
            LZMA_OK);
  out.resize(length);
  return out;
}
#endif

TEST(CarvedXz, StreamsEndAtTheirFooter) {
#if !BRINVALE_HAVE_LZMA
  GTEST_SKIP() << "built without liblzma: xz files stay unchecked";
#else
  const Bytes one = Xz(Text(200000));
  EXPECT_EQ(Walk(CheckXz, one), Complete(one.size()));
  const Bytes sha = Xz(Text(1000), LZMA_CHECK_SHA256);
  EXPECT_EQ(Walk(CheckXz, sha), Complete(sha.size()));
  // Padding between streams belongs to the file; padding at the end does not.
  Bytes two = one;
  two.resize(two.size() + 8, 0);
  Append(two, Xz(Text(3000), LZMA_CHECK_CRC32));
  const size_t length = two.size();
  two.resize(length + 12, 0);
  EXPECT_EQ(Walk(CheckXz, two), Complete(length));
  // Padding of a length that is not a multiple of four is no padding.
  Bytes odd = one;
  odd.resize(odd.size() + 3, 0);
  Append(odd, sha);
  EXPECT_EQ(Walk(CheckXz, odd), Complete(one.size()));
#endif
}

TEST(CarvedXz, FailingChecksAndCutStreams) {
#if !BRINVALE_HAVE_LZMA
  GTEST_SKIP() << "built without liblzma: xz files stay unchecked";
#else
  const Bytes good = Xz(Text(30000));
  Bytes footer = good;
  footer[footer.size() - 12] ^= 0x01;  // the footer's CRC-32
  EXPECT_EQ(Walk(CheckXz, footer), Damaged(CarvedFault::kChecksum));
  Bytes data = good;
  data[good.size() / 2] ^= 0x01;
  EXPECT_EQ(Walk(CheckXz, data).condition, CarvedCondition::kDamaged);
  EXPECT_EQ(Walk(CheckXz, good, good.size() - 1), Damaged(CarvedFault::kRunsOff));
  Bytes magic = good;
  magic[1] = 'X';
  EXPECT_EQ(Walk(CheckXz, magic), Damaged(CarvedFault::kBadStructure));
  const Bytes zeros = Xz(Bytes(4 << 20, 0));
  Medium m(zeros);
  const DecodedStream s = DecodeStream(StreamCodec::kXz, *m.bytes, 0, 100000);
  EXPECT_EQ(s.end, StreamEnd::kOverBound);
  EXPECT_LE(s.outputBytes, 100000u + 65536u);
#endif
}

// --- tar ----------------------------------------------------------------------

void Octal(Bytes& h, size_t at, size_t width, uint64_t v) {
  std::string s(width - 1, '0');
  for (size_t i = width - 1; i-- > 0; v /= 8) s[i] = char('0' + v % 8);
  std::memcpy(h.data() + at, s.data(), s.size());
  h[at + width - 1] = 0;
}

// A ustar header for `size` bytes of type `type`, its checksum made
// (changed by `checksumDelta`).
Bytes TarHeader(std::string_view name, uint64_t size, char type = '0', int checksumDelta = 0) {
  Bytes h(512, 0);
  std::memcpy(h.data(), name.data(), name.size());
  Octal(h, 100, 8, 0644);
  Octal(h, 108, 8, 1000);
  Octal(h, 116, 8, 1000);
  Octal(h, 124, 12, size);
  Octal(h, 136, 12, 1700000000);
  h[156] = uint8_t(type);
  std::memcpy(h.data() + 257, "ustar\0" "00", 8);
  std::memset(h.data() + 148, ' ', 8);
  uint32_t sum = 0;
  for (uint8_t c : h) sum += c;
  Octal(h, 148, 7, sum + checksumDelta);
  h[155] = ' ';
  return h;
}

void AddMember(Bytes& tar, std::string_view name, const Bytes& data, char type = '0') {
  Append(tar, TarHeader(name, data.size(), type));
  Append(tar, data);
  tar.resize((tar.size() + 511) / 512 * 512, 0);
}

// Members, two zero blocks, zeros to the end of the 10240-byte record.
Bytes Tar(Bytes members) {
  members.resize(members.size() + 1024, 0);
  members.resize((members.size() + 10239) / 10240 * 10240, 0);
  return members;
}

TEST(CarvedTar, HeadersToTheEndBlocksAndTheRecordEnd) {
  Bytes m;
  AddMember(m, "a.txt", Text(1000));
  AddMember(m, "dir/", {}, '5');
  AddMember(m, "b.bin", Text(12000));
  const Bytes tar = Tar(m);
  ASSERT_EQ(tar.size(), 20480u);
  EXPECT_EQ(Walk(CheckTar, tar), Complete(tar.size()));
  // A file that stops inside the record's zeros ends there (its own end on
  // a file system, written with a smaller record).
  const uint64_t short_ = m.size() + 1024 + 512 * 3;
  EXPECT_EQ(Walk(CheckTar, tar, short_), Complete(short_));
  // Other bytes inside the record: another record size, end not stated.
  Bytes other(tar.begin(), tar.begin() + m.size() + 1024);
  AddNoise(other, 5000);
  EXPECT_EQ(Walk(CheckTar, other), kUnchecked);
}

TEST(CarvedTar, Base256AndPaxSizes) {
  Bytes m;
  Bytes big = TarHeader("big.bin", 0);
  // 3000 in base-256, then the checksum made again.
  std::memset(big.data() + 124, 0, 12);
  big[124] = 0x80;
  big[134] = 3000 >> 8;
  big[135] = 3000 & 0xFF;
  std::memset(big.data() + 148, ' ', 8);
  uint32_t sum = 0;
  for (uint8_t c : big) sum += c;
  Octal(big, 148, 7, sum);
  Append(m, big);
  Append(m, Text(3000));
  m.resize((m.size() + 511) / 512 * 512, 0);
  // A pax header whose "size" record overrides the next header's size.
  Bytes pax;
  Add(pax, "30 mtime=1700000000.123456789\n"sv);
  Add(pax, "14 size=20000\n"sv);
  Append(m, TarHeader("PaxHeaders/c", pax.size(), 'x'));
  Append(m, pax);
  m.resize((m.size() + 511) / 512 * 512, 0);
  Append(m, TarHeader("c.bin", 0));
  Append(m, Text(20000));
  m.resize((m.size() + 511) / 512 * 512, 0);
  const Bytes tar = Tar(m);
  EXPECT_EQ(Walk(CheckTar, tar), Complete(tar.size()));
}

TEST(CarvedTar, BrokenHeadersAndSizes) {
  Bytes off;
  Append(off, TarHeader("a.txt", 100, '0', 1));  // checksum off by one
  off.resize(512 * 2, 'x');
  EXPECT_EQ(Walk(CheckTar, Tar(off)), Damaged(CarvedFault::kChecksum));
  Bytes second;
  AddMember(second, "a.txt", Text(100));
  Append(second, TarHeader("b.txt", 100, '0', -1));
  EXPECT_EQ(Walk(CheckTar, Tar(second)), Damaged(CarvedFault::kChecksum));
  // A size past the extent.
  Bytes past;
  Append(past, TarHeader("a.txt", 1 << 20));
  AddNoise(past, 2000);
  EXPECT_EQ(Walk(CheckTar, past), Damaged(CarvedFault::kRunsOff));
  // A size field that is not a number.
  Bytes bad = TarHeader("a.txt", 10);
  bad[125] = '9';
  std::memset(bad.data() + 148, ' ', 8);
  uint32_t sum = 0;
  for (uint8_t c : bad) sum += c;
  Octal(bad, 148, 7, sum);
  EXPECT_EQ(Walk(CheckTar, Tar(bad)), Damaged(CarvedFault::kBadStructure));
  // Zeros from the start are no archive; one zero block then a header is
  // not its end.
  EXPECT_EQ(Walk(CheckTar, Bytes(10240, 0)), Damaged(CarvedFault::kBadStructure));
  Bytes lone;
  AddMember(lone, "a.txt", Text(10));
  lone.resize(lone.size() + 512, 0);
  AddMember(lone, "b.txt", Text(10));
  EXPECT_EQ(Walk(CheckTar, Tar(lone)), Damaged(CarvedFault::kBadStructure));
  // Cut before the end blocks.
  Bytes cut;
  AddMember(cut, "a.txt", Text(2000));
  EXPECT_EQ(Walk(CheckTar, Tar(cut), 512 * 5), Damaged(CarvedFault::kRunsOff));
}

TEST(CarvedStreamRule, UncarvedFormatsHaveWalkersByExtension) {
  EXPECT_EQ(WalkerForExtension("gz"), &CheckGzip);
  EXPECT_EQ(WalkerForExtension("GZIP"), &CheckGzip);
  EXPECT_EQ(WalkerForExtension("bz2"), &CheckBzip2);
  EXPECT_EQ(WalkerForExtension("Xz"), &CheckXz);
  EXPECT_EQ(WalkerForExtension("tar"), &CheckTar);
  EXPECT_EQ(CanDecode(StreamCodec::kDeflate), true);
  EXPECT_EQ(CanDecode(StreamCodec::kBzip2), BRINVALE_HAVE_BZIP2 != 0);
  EXPECT_EQ(CanDecode(StreamCodec::kXz), BRINVALE_HAVE_LZMA != 0);
}

}  // namespace
}  // namespace brinvale
