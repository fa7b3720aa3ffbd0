// FAT boot-sector layout, FAT entries and chains, and entry names, on bytes
// built here field by field.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "device/sector_reader.h"
#include "engines/fat/fat_boot_sector.h"
#include "engines/fat/fat_names.h"
#include "engines/fat/fat_table.h"

namespace brinvale {
namespace {

// A 1.44 MB floppy as mkfs.fat makes it.
std::array<uint8_t, 512> FloppyBootSector() {
  std::array<uint8_t, 512> b{};
  StoreLe16(b, 11, 512);   // bytes per sector
  b[13] = 1;               // sectors per cluster
  StoreLe16(b, 14, 1);     // reserved sectors
  b[16] = 2;               // FAT count
  StoreLe16(b, 17, 224);   // root entries
  StoreLe16(b, 19, 2880);  // total sectors
  StoreLe16(b, 22, 9);     // sectors per FAT
  b[510] = 0x55;
  b[511] = 0xAA;
  return b;
}

TEST(FatBootSector, FloppyRootHoldsItsEntryCountNot32Sectors) {
  auto g = ParseFatBootSector(FloppyBootSector());
  ASSERT_TRUE(g);
  EXPECT_EQ(g->kind, FatKind::kFat12);
  EXPECT_EQ(g->rootDirSectors, 14u);           // 224 x 32 / 512
  EXPECT_EQ(g->firstDataSector, 1 + 18 + 14u);  // reserved + 2 FATs + root
  EXPECT_EQ(g->RootDirStart(), 19u);
  EXPECT_EQ(g->clusterCount, 2880 - 33u);
}

TEST(FatBootSector, RootEntryCountRoundsUpToWholeSectors) {
  auto b = FloppyBootSector();
  StoreLe16(b, 17, 17);  // 17 entries need 544 bytes: two sectors
  auto g = ParseFatBootSector(b);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->rootDirSectors, 2u);
}

TEST(FatBootSector, Fat32TextDecidesFat32AndRootCluster) {
  std::array<uint8_t, 512> b{};
  StoreLe16(b, 11, 512);
  b[13] = 8;
  StoreLe16(b, 14, 32);
  b[16] = 2;
  StoreLe32(b, 32, 1 << 20);  // total sectors
  StoreLe32(b, 36, 1000);     // sectors per FAT
  StoreLe32(b, 44, 2);        // root cluster
  std::memcpy(b.data() + 82, "FAT32   ", 8);
  auto g = ParseFatBootSector(b);
  ASSERT_TRUE(g);
  EXPECT_TRUE(g->IsFat32());
  EXPECT_EQ(g->rootCluster, 2u);
  EXPECT_EQ(g->firstDataSector, 32 + 2000u);
  EXPECT_EQ(g->ClusterSector(5), 2032 + 3 * 8u);
}

TEST(FatBootSector, RefusesImpossibleNumbers) {
  auto b = FloppyBootSector();
  b[13] = 3;  // not a power of two
  EXPECT_FALSE(ParseFatBootSector(b));
  b = FloppyBootSector();
  StoreLe16(b, 11, 0);
  EXPECT_FALSE(ParseFatBootSector(b));
  b = FloppyBootSector();
  StoreLe16(b, 19, 20);  // data area starts past the end
  EXPECT_FALSE(ParseFatBootSector(b));
  EXPECT_FALSE(ParseFatBootSector(std::span<const uint8_t>(b.data(), 100)));
}

struct FatFixture {
  std::vector<uint8_t> image;
  SectorReader reader;
  FatGeometry geometry;

  // A volume whose FAT starts at sector 1 and is `fatSectors` long.
  FatFixture(FatKind kind, uint32_t fatSectors, uint64_t imageSectors) {
    image.assign(imageSectors * 512, 0);
    geometry.kind = kind;
    geometry.fatSectors = fatSectors;
    geometry.clusterCount = 100000;
    // Borrow the bytes so that the test can still write them.
    OpenSourceReader(reader,
                     std::make_unique<MemoryByteSource>(std::span<const uint8_t>(image)),
                     imageSectors);
  }
  uint8_t* Fat() { return image.data() + 512; }
};

TEST(FatTable, Fat12EntriesAreTwelveBitsTwoInThreeBytes) {
  FatFixture f(FatKind::kFat12, 9, 40);
  // Entries 2 = 0x003, 3 = 0xFFF packed into bytes 3..5: 03 F0 FF.
  f.Fat()[3] = 0x03;
  f.Fat()[4] = 0xF0;
  f.Fat()[5] = 0xFF;
  // Entries 4 = 0x123, 5 = 0x456: bytes 6..8 = 23 61 45.
  f.Fat()[6] = 0x23;
  f.Fat()[7] = 0x61;
  f.Fat()[8] = 0x45;
  FatTable t(f.reader, f.geometry, 1);
  uint32_t v = 0;
  ASSERT_EQ(t.ReadEntry(2, v), kOk);
  EXPECT_EQ(v, 0x003u);
  ASSERT_EQ(t.ReadEntry(3, v), kOk);
  EXPECT_EQ(v, 0xFFFu);
  ASSERT_EQ(t.ReadEntry(4, v), kOk);
  EXPECT_EQ(v, 0x123u);
  ASSERT_EQ(t.ReadEntry(5, v), kOk);
  EXPECT_EQ(v, 0x456u);
  EXPECT_EQ(t.NextCluster(2), std::optional<uint32_t>(3));
  EXPECT_EQ(t.NextCluster(3), std::nullopt) << "0xFFF ends a FAT12 chain";
}

TEST(FatTable, FreeEntriesRunOnWhileTheNextIsFreeToo) {
  FatFixture f(FatKind::kFat16, 4, 40);
  StoreLe16(std::span<uint8_t>(f.Fat(), 2048), 2 * 12, 0xFFFF);  // cluster 12 in use
  FatTable t(f.reader, f.geometry, 1);
  EXPECT_EQ(t.NextCluster(10), std::optional<uint32_t>(11));
  EXPECT_EQ(t.NextCluster(11), std::nullopt) << "cluster 12 is in use";
}

TEST(FatTable, Fat32IgnoresTopFourBitsAndStopsAtEndMarks) {
  FatFixture f(FatKind::kFat32, 4, 40);
  std::span<uint8_t> fat(f.Fat(), 2048);
  StoreLe32(fat, 4 * 2, 0xF0000003);  // reserved top bits set
  StoreLe32(fat, 4 * 3, 0x0FFFFFF8);
  StoreLe32(fat, 4 * 4, 0x00000001);  // a link below 2 names no data
  FatTable t(f.reader, f.geometry, 1);
  EXPECT_EQ(t.NextCluster(2), std::optional<uint32_t>(3));
  EXPECT_EQ(t.NextCluster(3), std::nullopt);
  EXPECT_EQ(t.NextCluster(4), std::nullopt);
}

TEST(FatTable, EntriesPastTheFatAreRefused) {
  FatFixture f(FatKind::kFat16, 1, 40);
  FatTable t(f.reader, f.geometry, 1);
  uint32_t v = 0;
  EXPECT_EQ(t.ReadEntry(255, v), kOk);
  EXPECT_EQ(t.ReadEntry(256, v), kErrInvalidParameter);
}

TEST(FatTable, WindowStopsAtTheEndOfASmallMedium) {
  // The FAT claims 64 sectors but the medium ends after 10: the entries that
  // exist are still read (a whole-window read past the end would fail).
  FatFixture f(FatKind::kFat16, 64, 10);
  StoreLe16(std::span<uint8_t>(f.Fat(), 512), 2 * 7, 9);
  FatTable t(f.reader, f.geometry, 1);
  EXPECT_EQ(t.NextCluster(7), std::optional<uint32_t>(9));
  uint32_t v = 0;
  EXPECT_NE(t.ReadEntry(256 * 20, v), kOk) << "past the medium";
}

// A long-name part: sequence, 13 characters, attribute 0x0F.
std::array<uint8_t, 32> LongPart(uint8_t sequence, std::u16string_view chars) {
  std::array<uint8_t, 32> e{};
  e[0] = sequence;
  e[11] = 0x0F;
  static constexpr size_t kAt[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  for (size_t i = 0; i < 13; ++i) {
    char16_t c = i < chars.size() ? chars[i] : (i == chars.size() ? u'\0' : char16_t(0xFFFF));
    StoreLe16(e, kAt[i], uint16_t(c));
  }
  return e;
}

TEST(LongNameCollector, JoinsPartsLastFirstIntoUtf8) {
  LongNameCollector c;
  c.AddPart(LongPart(0x42, u"фото.jpg"));        // second part comes first on disk
  c.AddPart(LongPart(0x01, u"Ünïcödé name "));  // 13 characters
  EXPECT_EQ(c.Name(), "Ünïcödé name фото.jpg");
}

TEST(LongNameCollector, TwentyPartsMakeA255CharacterName) {
  std::u16string full;
  for (int i = 0; i < 255; ++i) full += char16_t('a' + i % 26);
  LongNameCollector c;
  for (int part = 20; part >= 1; --part) {
    std::u16string_view chunk = std::u16string_view(full).substr(size_t(part - 1) * 13);
    c.AddPart(LongPart(uint8_t(part | (part == 20 ? 0x40 : 0)), chunk.substr(0, 13)));
  }
  EXPECT_EQ(c.Name().size(), 255u);
  EXPECT_EQ(c.Name().substr(0, 3), "abc");
}

TEST(ShortEntryName, LowersTrimsAndMarksDeleted) {
  std::array<uint8_t, 32> e{};
  std::memcpy(e.data(), "\xE5OTO    JPG", 11);
  EXPECT_EQ(ShortEntryName(e, false), "!oto.jpg");
  std::memcpy(e.data(), "README     ", 11);
  EXPECT_EQ(ShortEntryName(e, false), "readme");
  std::memcpy(e.data(), "DIR     EXT", 11);
  EXPECT_EQ(ShortEntryName(e, true), "dir") << "folders keep no extension";
  std::memcpy(e.data(), "\x81" "BER    TXT", 11);
  EXPECT_EQ(ShortEntryName(e, false), "über.txt") << "code page 437";
}

// The short name a driver made from a long one, its first byte lost to the
// deletion mark.
bool Fits(const char* short11, std::string_view longName) {
  std::array<uint8_t, 11> name{};
  std::memcpy(name.data(), short11, 11);
  return ShortNameFitsLongName(name, longName);
}

TEST(ShortNameFitsLongName, TheDriversBasisWithItsTailFits) {
  EXPECT_TRUE(Fits("\xE5" "ESSAG~5TXT", "Message 005.txt"));
  EXPECT_TRUE(Fits("\xE5" "YHOLI~1JPE", "my holiday.jpeg")) << "extension cut to three";
  EXPECT_TRUE(Fits("\xE5" "ELLOWOR   ", "hello wor")) << "no tail: the whole base";
  EXPECT_TRUE(Fits("\xE5" "_B_C~1 TXT", "a+b,c.txt")) << "+ and , become _";
  EXPECT_TRUE(Fits("\xE5" "RZ_~1  TXT", "Grüße.txt")) << "a character outside ASCII matches any byte";
  EXPECT_TRUE(Fits("\xE5" "ARVER~1GZ ", "tar.vers.1.gz")) << "only the last dot splits";
  EXPECT_TRUE(Fits("\xE5" "B~1    TX ", "ab.tx")) << "three characters compared";
}

TEST(ShortNameFitsLongName, AnotherNameOrTooLittleToCompareDoesNotFit) {
  EXPECT_FALSE(Fits("\xE5" "ESSAG~5DOC", "Message 005.txt")) << "extension differs";
  EXPECT_FALSE(Fits("\xE5" "WERTY~1TXT", "Message 005.txt")) << "base differs";
  EXPECT_FALSE(Fits("\xE5" "ESSAG~5   ", "Message 005.txt")) << "extension missing";
  EXPECT_FALSE(Fits("\xE5" "ELLO      ", "hello wor")) << "no tail, base too short";
  EXPECT_FALSE(Fits("\xE5" "BCDE~1 TXT", "abc.txt")) << "a tail but the long name too short";
  EXPECT_FALSE(Fits("\xE5" "B~1       ", "ab")) << "one character compared";
  EXPECT_FALSE(Fits("\xE5" "~1        ", "a")) << "nothing to compare";
}

}  // namespace
}  // namespace brinvale
