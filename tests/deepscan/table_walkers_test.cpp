// Byte-level cases for the walkers of formats whose length a header or a
// table states: SQLite databases, fonts, Windows executables, cabinets and
// Outlook data files. Each file is built here field by field and walked
// over a medium in memory, inside an extent that may run on past its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

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
void PutBe16(Bytes& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v >> 8);
  b[at + 1] = uint8_t(v);
}
void PutBe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
}
void PutLe16(Bytes& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void PutLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
void PutLe64(Bytes& b, size_t at, uint64_t v) {
  PutLe32(b, at, uint32_t(v));
  PutLe32(b, at + 4, uint32_t(v >> 32));
}
void AddNoise(Bytes& b, size_t n) {
  uint32_t x = 0x13579BDF;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245 + 12345;
    b.push_back(uint8_t(x >> 16));
  }
}

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
const CarvedVerdict kUnchecked{};

// --- SQLite -----------------------------------------------------------------

Bytes Sqlite(uint16_t pageSize, uint32_t pages, uint32_t counter, uint32_t validFor) {
  Bytes b(size_t(pageSize == 1 ? 65536 : pageSize) * std::max<uint32_t>(pages, 1), 0);
  std::memcpy(b.data(), "SQLite format 3\0", 16);
  PutBe16(b, 16, pageSize);
  b[18] = b[19] = 1;
  b[21] = 64;
  b[22] = b[23] = 32;
  PutBe32(b, 24, counter);
  PutBe32(b, 28, pages);
  PutBe32(b, 92, validFor);
  PutBe32(b, 96, 3040001);
  b[100] = 13;  // page 1: a table b-tree leaf
  return b;
}

TEST(CarvedSqlite, PagesTimesPageSizeWhenTheSizeIsValid) {
  const Bytes db = Sqlite(1024, 5, 7, 7);
  EXPECT_EQ(Walk(CheckSqlite, db), Complete(5 * 1024));
  const Bytes big = Sqlite(1, 2, 3, 3);  // 1 stands for 65536
  EXPECT_EQ(Walk(CheckSqlite, big), Complete(2 * 65536));
  // Written by an old library: the size is stale, the length unstated.
  EXPECT_EQ(Walk(CheckSqlite, Sqlite(1024, 5, 8, 7)), kUnchecked);
  EXPECT_EQ(Walk(CheckSqlite, Sqlite(1024, 0, 7, 7)), kUnchecked);
}

TEST(CarvedSqlite, BrokenHeaderOrPagesPastTheExtent) {
  const Bytes db = Sqlite(4096, 3, 1, 1);
  EXPECT_EQ(Walk(CheckSqlite, db, 2 * 4096 + 512), Damaged(CarvedFault::kRunsOff));
  Bytes size = db;
  PutBe16(size, 16, 1000);
  EXPECT_EQ(Walk(CheckSqlite, size), Damaged(CarvedFault::kBadStructure));
  Bytes fraction = db;
  fraction[21] = 60;
  EXPECT_EQ(Walk(CheckSqlite, fraction), Damaged(CarvedFault::kBadStructure));
  Bytes page = db;
  page[100] = 0x0A;  // an index leaf cannot be page 1
  EXPECT_EQ(Walk(CheckSqlite, page), Damaged(CarvedFault::kBadStructure));
  Bytes freelist = db;
  PutBe32(freelist, 36, 3);  // every page free
  EXPECT_EQ(Walk(CheckSqlite, freelist), Damaged(CarvedFault::kBadStructure));
}

// --- fonts ------------------------------------------------------------------

struct Table {
  std::string_view tag;
  Bytes data;
};

// An sfnt with `version` and its tables in order, each padded to 4; the
// head table's checksum adjustment made unless `adjust` is false.
Bytes Font(uint32_t version, const std::vector<Table>& tables, bool adjust = true) {
  const size_t n = tables.size();
  Bytes b(12 + 16 * n, 0);
  PutBe32(b, 0, version);
  PutBe16(b, 4, uint16_t(n));
  PutBe16(b, 6, 16);
  PutBe16(b, 8, 0);
  PutBe16(b, 10, uint16_t(16 * n - 16));
  size_t head = 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t record = 12 + 16 * i;
    std::memcpy(b.data() + record, tables[i].tag.data(), 4);
    PutBe32(b, record + 8, uint32_t(b.size()));
    PutBe32(b, record + 12, uint32_t(tables[i].data.size()));
    if (tables[i].tag == "head") head = b.size();
    b.insert(b.end(), tables[i].data.begin(), tables[i].data.end());
    b.resize((b.size() + 3) / 4 * 4, 0);
  }
  if (adjust && head != 0) {
    uint32_t sum = 0;
    for (size_t i = 0; i < b.size(); i += 4)
      sum += uint32_t(b[i]) << 24 | uint32_t(b[i + 1]) << 16 | uint32_t(b[i + 2]) << 8 | b[i + 3];
    PutBe32(b, head + 8, 0xB1B0AFBA - sum);
  }
  return b;
}

Bytes Head() {
  Bytes h(54, 0);
  PutBe32(h, 0, 0x00010000);
  PutBe32(h, 12, 0x5F0F3CF5);
  PutBe16(h, 18, 2048);
  return h;
}

TEST(CarvedTrueType, TablesInsideAndTheHeadAdjustmentHolds) {
  const Bytes ttf = Font(0x00010000, {{"head", Head()}, {"name", Bytes(13, 'n')}});
  EXPECT_EQ(Walk(CheckTrueType, ttf), Complete(ttf.size()));
  const Bytes otf = Font(0x4F54544F, {{"CFF ", Bytes(30, 'c')}, {"head", Head()}});
  EXPECT_EQ(Walk(CheckTrueType, otf), Complete(otf.size()));
  // The last table's own end is not a multiple of 4: the padding belongs
  // to the file; a file system file that stops before it ends there.
  ASSERT_EQ(ttf.size() % 4, 0u);
  EXPECT_EQ(Walk(CheckTrueType, ttf, ttf.size() - 3), Complete(ttf.size() - 3));
}

TEST(CarvedTrueType, ChecksumAndTablesPastTheExtent) {
  Bytes ttf = Font(0x00010000, {{"head", Head()}, {"glyf", Bytes(400, 'g')}});
  Bytes changed = ttf;
  changed[ttf.size() - 10] ^= 0x01;  // a glyph byte: the sum no longer holds
  EXPECT_EQ(Walk(CheckTrueType, changed), Damaged(CarvedFault::kChecksum));
  // A table past the extent.
  EXPECT_EQ(Walk(CheckTrueType, ttf, ttf.size() - 100), Damaged(CarvedFault::kRunsOff));
  Bytes length = ttf;
  PutBe32(length, 12 + 16 + 12, 1 << 20);
  EXPECT_EQ(Walk(CheckTrueType, length), Damaged(CarvedFault::kRunsOff));
  Bytes magic = ttf;
  magic[ttf.size() - 400 - 54 + 12] = 0;  // head's magic number
  EXPECT_EQ(Walk(CheckTrueType, magic), Damaged(CarvedFault::kBadStructure));
  Bytes version = ttf;
  PutBe32(version, 0, 0x00020000);
  EXPECT_EQ(Walk(CheckTrueType, version), Damaged(CarvedFault::kBadStructure));
}

TEST(CarvedTrueType, CollectionsOfFontsSharingTables) {
  // Two offset tables, both pointing at the same head and glyf tables.
  Bytes font = Font(0x00010000, {{"head", Head()}, {"glyf", Bytes(99, 'g')}}, false);
  const size_t directory = 12 + 16 * 2;
  Bytes ttc(12 + 8 + 4 + 12, 0);  // header, two offsets, DSIG fields (v2)
  std::memcpy(ttc.data(), "ttcf", 4);
  PutBe32(ttc, 4, 0x00020000);
  PutBe32(ttc, 8, 2);
  const uint32_t shift = uint32_t(ttc.size() + directory);  // after both directories
  Bytes first(font.begin(), font.begin() + directory);
  for (size_t i = 0; i < 2; ++i) PutBe32(first, 12 + 16 * i + 8, 0);  // set below
  ttc.insert(ttc.end(), first.begin(), first.end());
  ttc.insert(ttc.end(), first.begin(), first.end());
  PutBe32(ttc, 12, uint32_t(ttc.size() - 2 * directory));
  PutBe32(ttc, 16, uint32_t(ttc.size() - directory));
  const uint32_t tablesAt = uint32_t(ttc.size());
  ttc.insert(ttc.end(), font.begin() + directory, font.end());
  for (size_t d = 0; d < 2; ++d) {
    const size_t at = tablesAt - (2 - d) * directory;
    PutBe32(ttc, at + 12 + 8, tablesAt);
    PutBe32(ttc, at + 12 + 16 + 8, tablesAt + 56);
  }
  (void)shift;
  EXPECT_EQ(Walk(CheckTrueType, ttc), Complete(ttc.size()));
  // A digital signature after the tables.
  Bytes signed_ = ttc;
  std::memcpy(signed_.data() + 20, "DSIG", 4);
  PutBe32(signed_, 24, 20);
  PutBe32(signed_, 28, uint32_t(signed_.size()));
  signed_.resize(signed_.size() + 20, 's');
  EXPECT_EQ(Walk(CheckTrueType, signed_), Complete(signed_.size()));
  EXPECT_EQ(Walk(CheckTrueType, signed_, signed_.size() - 8), Damaged(CarvedFault::kRunsOff));
  Bytes offset = ttc;
  PutBe32(offset, 16, 1 << 24);
  EXPECT_EQ(Walk(CheckTrueType, offset), Damaged(CarvedFault::kRunsOff));
}

// --- Windows executables ----------------------------------------------------

// A PE32+ image: headers in 0x200 bytes, two sections of 0x200 bytes at
// 0x200 and 0x400, and a certificate table of `certificate` bytes at 0x600.
Bytes Pe(uint32_t certificate, uint32_t symbols = 0) {
  Bytes b(0x600 + certificate, 0);
  b[0] = 'M';
  b[1] = 'Z';
  PutLe32(b, 0x3C, 0x80);
  std::memcpy(b.data() + 0x80, "PE\0\0", 4);
  const size_t coff = 0x84, opt = coff + 20;
  PutLe16(b, coff, 0x8664);
  PutLe16(b, coff + 2, 2);
  PutLe16(b, coff + 16, 240);
  PutLe16(b, coff + 18, 0x0022);
  PutLe16(b, opt, 0x20B);
  PutLe32(b, opt + 36, 0x200);  // file alignment
  PutLe32(b, opt + 60, 0x200);  // size of headers
  PutLe32(b, opt + 108, 16);
  if (certificate) {
    PutLe32(b, opt + 112 + 8 * 4, 0x600);
    PutLe32(b, opt + 112 + 8 * 4 + 4, certificate);
  }
  const size_t table = opt + 240;
  for (size_t i = 0; i < 2; ++i) {
    std::memcpy(b.data() + table + 40 * i, i ? ".data\0\0\0" : ".text\0\0\0", 8);
    PutLe32(b, table + 40 * i + 16, 0x200);
    PutLe32(b, table + 40 * i + 20, uint32_t(0x200 + 0x200 * i));
  }
  if (symbols) {
    // The symbol table after everything, then the string table.
    PutLe32(b, coff + 8, uint32_t(b.size()));
    PutLe32(b, coff + 12, symbols);
    b.resize(b.size() + 18 * symbols, 0x5A);
    const size_t strings = b.size();
    b.resize(strings + 30, 's');
    PutLe32(b, strings, 30);
  }
  return b;
}

TEST(CarvedPe, SectionsCertificateAndSymbolsGiveTheEnd) {
  EXPECT_EQ(Walk(CheckPe, Pe(0)), Complete(0x600));
  EXPECT_EQ(Walk(CheckPe, Pe(0x108)), Complete(0x708));
  const Bytes symbols = Pe(0, 3);
  EXPECT_EQ(Walk(CheckPe, symbols), Complete(symbols.size()));
}

TEST(CarvedPe, RawDataPastTheExtentOrBrokenHeaders) {
  EXPECT_EQ(Walk(CheckPe, Pe(0), 0x500), Damaged(CarvedFault::kRunsOff));
  EXPECT_EQ(Walk(CheckPe, Pe(0x100), 0x680), Damaged(CarvedFault::kRunsOff));
  Bytes section = Pe(0);
  PutLe32(section, 0x84 + 20 + 240 + 40 + 20, 0x10000000);
  EXPECT_EQ(Walk(CheckPe, section), Damaged(CarvedFault::kRunsOff));
  Bytes magic = Pe(0);
  PutLe16(magic, 0x84 + 20, 0x107);
  EXPECT_EQ(Walk(CheckPe, magic), Damaged(CarvedFault::kBadStructure));
  Bytes signature = Pe(0);
  signature[0x81] = 'X';
  EXPECT_EQ(Walk(CheckPe, signature), Damaged(CarvedFault::kBadStructure));
  Bytes strings = Pe(0, 2);
  PutLe32(strings, strings.size() - 30, 1 << 20);
  EXPECT_EQ(Walk(CheckPe, strings), Damaged(CarvedFault::kRunsOff));
}

// --- cabinets ---------------------------------------------------------------

uint32_t CabSum(const uint8_t* p, size_t n, uint32_t seed) {
  uint32_t sum = seed;
  size_t i = 0;
  for (; i + 4 <= n; i += 4)
    sum ^= uint32_t(p[i]) | uint32_t(p[i + 1]) << 8 | uint32_t(p[i + 2]) << 16 |
           uint32_t(p[i + 3]) << 24;
  uint32_t last = 0;
  switch (n - i) {
    case 3: last |= uint32_t(p[i++]) << 16; [[fallthrough]];
    case 2: last |= uint32_t(p[i++]) << 8; [[fallthrough]];
    case 1: last |= p[i]; break;
    default: break;
  }
  return sum ^ last;
}

// One folder of stored data in two blocks, one file entry.
Bytes Cab(bool checksums = true) {
  Bytes b(36, 0);
  std::memcpy(b.data(), "MSCF", 4);
  b[24] = 3;
  b[25] = 1;
  PutLe16(b, 26, 1);
  PutLe16(b, 28, 1);
  const size_t folder = b.size();
  b.resize(folder + 8, 0);
  const size_t files = b.size();
  PutLe32(b, 16, uint32_t(files));
  b.resize(files + 16, 0);
  PutLe32(b, files, 11);
  Add(b, "hello.txt\0"sv);
  PutLe32(b, folder, uint32_t(b.size()));
  PutLe16(b, folder + 4, 2);
  for (std::string_view data : {"hello "sv, "world"sv}) {
    const size_t block = b.size();
    b.resize(block + 8, 0);
    PutLe16(b, block + 4, uint16_t(data.size()));
    PutLe16(b, block + 6, uint16_t(data.size()));
    Add(b, data);
    if (checksums)
      PutLe32(b, block, CabSum(b.data() + block + 4, 4, CabSum(b.data() + block + 8, data.size(), 0)));
  }
  PutLe32(b, 8, uint32_t(b.size()));
  return b;
}

TEST(CarvedCab, CabinetSizeWithBlocksAndChecksums) {
  const Bytes cab = Cab();
  EXPECT_EQ(Walk(CheckCab, cab), Complete(cab.size()));
  const Bytes plain = Cab(false);  // blocks without checksums
  EXPECT_EQ(Walk(CheckCab, plain), Complete(plain.size()));
}

TEST(CarvedCab, BrokenBlocksAndSizes) {
  const Bytes cab = Cab();
  Bytes data = cab;
  data[cab.size() - 2] ^= 0x01;
  EXPECT_EQ(Walk(CheckCab, data), Damaged(CarvedFault::kChecksum));
  EXPECT_EQ(Walk(CheckCab, cab, cab.size() - 1), Damaged(CarvedFault::kRunsOff));
  Bytes size = cab;
  PutLe32(size, 8, uint32_t(cab.size() - 3));  // the last block passes it
  EXPECT_EQ(Walk(CheckCab, size), Damaged(CarvedFault::kBadStructure));
  Bytes folder = cab;
  PutLe16(folder, 36 + 8 + 8, 4);  // the file names a fifth folder
  EXPECT_EQ(Walk(CheckCab, folder), Damaged(CarvedFault::kBadStructure));
  Bytes version = cab;
  version[25] = 2;
  EXPECT_EQ(Walk(CheckCab, version), Damaged(CarvedFault::kBadStructure));
}

// --- Outlook data files -----------------------------------------------------

Bytes Pst(uint16_t version, uint64_t size) {
  Bytes b(size, 0);
  std::memcpy(b.data(), "!BDN", 4);
  b[8] = 'S';
  b[9] = 'M';
  PutLe16(b, 10, version);
  if (version < 23)
    PutLe32(b, 0xA8, uint32_t(size));
  else
    PutLe64(b, 0xB8, size);
  return b;
}

TEST(CarvedPst, TheRootStatesTheFileSize) {
  EXPECT_EQ(Walk(CheckPst, Pst(14, 4096)), Complete(4096));
  EXPECT_EQ(Walk(CheckPst, Pst(23, 8192)), Complete(8192));
  EXPECT_EQ(Walk(CheckPst, Pst(23, 8192), 4096), Damaged(CarvedFault::kRunsOff));
  EXPECT_EQ(Walk(CheckPst, Pst(19, 4096)), Damaged(CarvedFault::kBadStructure));
  Bytes tiny = Pst(14, 4096);
  PutLe32(tiny, 0xA8, 100);
  EXPECT_EQ(Walk(CheckPst, tiny), Damaged(CarvedFault::kBadStructure));
}

TEST(CarvedTableRule, RowsWithAndWithoutWalkers) {
  for (std::string_view ext : {"db", "ttf", "otf", "ttc", "exe", "dll", "sys", "cab", "pst"})
    EXPECT_NE(WalkerForExtension(ext), nullptr) << ext;
  EXPECT_EQ(WalkerForExtension("exe"), &CheckPe);
  // Ghost images (structure not published) and Outlook Express stores (no
  // field states the length) have no rule.
  EXPECT_EQ(WalkerForExtension("gho"), nullptr);
  EXPECT_EQ(WalkerForExtension("dbx"), nullptr);
}

}  // namespace
}  // namespace brinvale
