// The directory tests over the sectors of a FAT12 volume made by mkfs.fat
// and mtools (tests/fixtures/make_fat_dir_sectors.sh).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "common/bytes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/fat_directory_tests.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

class FatDirectoryFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    m_image = test::ReadFileBytes(test::FixturePath("fat_dir_sectors.img"));
    ASSERT_EQ(m_image.size(), 1024u * 1024);
    std::span<const uint8_t> boot(m_image);
    m_bytesPerSector = LoadLe16(boot, 11);              // bytes per sector
    m_sectorsPerCluster = boot[13];                     // sectors per cluster
    const uint16_t reserved = LoadLe16(boot, 14);       // reserved sectors
    const uint8_t fatCount = boot[16];                  // number of FATs
    const uint16_t rootEntries = LoadLe16(boot, 17);    // root folder entries
    const uint16_t sectorsPerFat = LoadLe16(boot, 22);  // sectors per FAT
    ASSERT_EQ(m_bytesPerSector, 512u);
    m_fatStart = reserved;
    m_rootStart = reserved + fatCount * sectorsPerFat;
    m_rootSectors = rootEntries * 32u / m_bytesPerSector;
    m_dataStart = m_rootStart + m_rootSectors;
  }

  std::span<const uint8_t> Sector(size_t number) const {
    return std::span<const uint8_t>(m_image).subspan(number * m_bytesPerSector, m_bytesPerSector);
  }

  size_t ClusterSector(uint32_t cluster) const {
    return m_dataStart + (cluster - 2) * size_t(m_sectorsPerCluster);
  }

  // FAT12 entries are 12 bits wide, two in every three bytes.
  uint16_t FatEntry(uint32_t cluster) const {
    const size_t at = m_fatStart * m_bytesPerSector + cluster * 3 / 2;
    const uint16_t pair = LoadLe16(m_image, at);
    return cluster % 2 ? uint16_t(pair >> 4) : uint16_t(pair & 0xFFF);
  }

  // The root entry with the given 11-byte short name.
  std::span<const uint8_t> RootEntry(const char* name11) const {
    for (size_t i = 0; i < m_rootSectors * m_bytesPerSector / 32; ++i) {
      auto e =
          std::span<const uint8_t>(m_image).subspan(m_rootStart * m_bytesPerSector + i * 32, 32);
      if (std::memcmp(e.data(), name11, 11) == 0) return e;
    }
    return {};
  }

  std::vector<uint8_t> m_image;
  uint32_t m_bytesPerSector = 0;
  uint32_t m_sectorsPerCluster = 0;
  size_t m_fatStart = 0;
  size_t m_rootStart = 0;
  size_t m_rootSectors = 0;
  size_t m_dataStart = 0;
};

TEST_F(FatDirectoryFixture, RootSectorsWithEntriesAreDirectorySectors) {
  // The label with a blank between its words comes first.
  ASSERT_EQ(std::memcmp(Sector(m_rootStart).data(), "NEW VOLUME \x08", 12), 0);
  size_t withEntries = 0;
  bool sawDeleted = false;
  for (size_t s = m_rootStart; s < m_dataStart && Sector(s)[0] != 0; ++s) {
    EXPECT_TRUE(IsDirectorySector(Sector(s))) << "root sector " << s;
    for (size_t at = 0; at < m_bytesPerSector; at += 32) sawDeleted |= Sector(s)[at] == 0xE5;
    ++withEntries;
  }
  EXPECT_GE(withEntries, 1u);
  EXPECT_TRUE(sawDeleted) << "the fixture should hold a deleted long name";
  EXPECT_FALSE(IsDotDirectoryStart(Sector(m_rootStart)));
}

TEST_F(FatDirectoryFixture, FolderClusterStartsWithDotsAndHoldsTwentyPartNames) {
  std::span<const uint8_t> folder = RootEntry("LONGNAME   ");
  ASSERT_FALSE(folder.empty());
  const uint16_t cluster = LoadLe16(folder, 26);  // first cluster
  ASSERT_GE(FatEntry(cluster), 0xFF8) << "the folder should fit in one cluster";
  const size_t first = ClusterSector(cluster);
  EXPECT_TRUE(IsDotDirectoryStart(Sector(first)));
  EXPECT_TRUE(IsPlausibleEntry(Sector(first)));
  EXPECT_FALSE(IsDirectorySector(Sector(first))) << "\".\" is no name for the sector test";
  // Still directory data: a content sizer must not run on through it.
  EXPECT_TRUE(IsFileSystemMetadata(Sector(first)));

  bool sawTwentyParts = false;
  bool sawNineteenParts = false;
  bool sawDeleted = false;
  size_t checked = 0;
  for (size_t s = first; s < first + m_sectorsPerCluster && Sector(s)[0] != 0; ++s) {
    if (s > first) {
      EXPECT_TRUE(IsDirectorySector(Sector(s))) << "folder sector " << s - first;
      ++checked;
    }
    for (size_t at = 0; at < m_bytesPerSector; at += 32) {
      const uint8_t* e = Sector(s).data() + at;
      sawTwentyParts |= e[11] == 0x0F && e[0] == (0x40 | 20);
      sawNineteenParts |= e[11] == 0x0F && e[0] == (0x40 | 19);
      sawDeleted |= e[0] == 0xE5;
    }
  }
  EXPECT_GE(checked, 2u);
  EXPECT_TRUE(sawNineteenParts) << "the 247-character name should need 19 parts";
  EXPECT_TRUE(sawTwentyParts) << "the 255-character name should need 20 parts";
  EXPECT_TRUE(sawDeleted);
}

TEST_F(FatDirectoryFixture, FileDataIsNoDirectory) {
  std::span<const uint8_t> file = RootEntry("RANDOM  BIN");
  ASSERT_FALSE(file.empty());
  const size_t first = ClusterSector(LoadLe16(file, 26));
  for (size_t s = first; s < first + m_sectorsPerCluster; ++s) {
    EXPECT_FALSE(IsDirectorySector(Sector(s))) << "data sector " << s - first;
    EXPECT_FALSE(IsDotDirectoryStart(Sector(s)));
  }
}

TEST_F(FatDirectoryFixture, EveryEntryOfTheVolumeThatToolsWroteIsPlausible) {
  // Each live or deleted short entry and long-name part in the root.
  for (size_t s = m_rootStart; s < m_dataStart; ++s) {
    for (size_t at = 0; at < m_bytesPerSector; at += 32) {
      std::span<const uint8_t> e = Sector(s).subspan(at, 32);
      if (e[0] == 0) continue;
      EXPECT_TRUE(IsPlausibleEntry(e)) << "root sector " << s << " entry " << at / 32;
    }
  }
}

// FAT32 root and folder clusters written by mtools with code-page short
// names (bytes above 0x7F standing alone) and 250-character names
// (tests/fixtures/make_fat_folder_fixtures.sh).
class FatDirectoryNames : public ::testing::Test {
 protected:
  void SetUp() override {
    m_image = test::ReadFileBytes(test::FixturePath("fat_dir_names.img"));
    ASSERT_GT(m_image.size(), 1u << 20);
    std::span<const uint8_t> boot(m_image);
    m_bytesPerSector = LoadLe16(boot, 11);  // bytes per sector
    m_sectorsPerCluster = boot[13];         // sectors per cluster
    const uint32_t dataStart = LoadLe16(boot, 14) + boot[16] * LoadLe32(boot, 36);
    m_dataStart = dataStart;                // reserved + FATs x 32-bit FAT size
    m_rootCluster = LoadLe32(boot, 44);
  }

  std::span<const uint8_t> Sector(size_t number) const {
    return std::span<const uint8_t>(m_image).subspan(number * m_bytesPerSector, m_bytesPerSector);
  }
  size_t ClusterSector(uint32_t cluster) const {
    return m_dataStart + (cluster - 2) * size_t(m_sectorsPerCluster);
  }
  // The first cluster of the root entry with the given 11-byte short name.
  uint32_t RootEntryCluster(const char* name11) const {
    const size_t first = ClusterSector(m_rootCluster);
    for (size_t s = first; s < first + m_sectorsPerCluster; ++s)
      for (size_t at = 0; at < m_bytesPerSector; at += 32)
        if (std::memcmp(Sector(s).data() + at, name11, 11) == 0 &&
            Sector(s)[at + 11] == 0x10)  // a folder, not the label of the same name
          return uint32_t(LoadLe16(Sector(s), at + 20)) << 16 | LoadLe16(Sector(s), at + 26);
    return 0;
  }

  std::vector<uint8_t> m_image;
  uint32_t m_bytesPerSector = 0;
  uint32_t m_sectorsPerCluster = 0;
  size_t m_dataStart = 0;
  uint32_t m_rootCluster = 0;
};

TEST_F(FatDirectoryNames, SectorsWithCodePageAndLongNamesAreDirectorySectors) {
  const uint32_t names = RootEntryCluster("NAMES      ");
  ASSERT_NE(names, 0u);
  bool sawLoneCodePageByte = false, sawTwentyParts = false, sawDeleted = false;
  size_t checked = 0;
  for (const uint32_t cluster : {m_rootCluster, names}) {
    const size_t first = ClusterSector(cluster);
    for (size_t s = first; s < first + m_sectorsPerCluster && Sector(s)[0] != 0; ++s) {
      if (cluster == names && s == first) {
        EXPECT_TRUE(IsDotDirectoryStart(Sector(s)));
        EXPECT_TRUE(IsFileSystemMetadata(Sector(s)));
      } else {
        EXPECT_TRUE(IsDirectorySector(Sector(s))) << "cluster " << cluster << " sector " << s;
        ++checked;
      }
      for (size_t at = 0; at < m_bytesPerSector; at += 32) {
        const uint8_t* e = Sector(s).data() + at;
        sawTwentyParts |= e[11] == 0x0F && e[0] == (0x40 | 20);
        sawDeleted |= e[0] == 0xE5;
        if (e[11] == 0x0F) continue;
        for (size_t k = 0; k + 1 < 11; ++k)
          sawLoneCodePageByte |= e[k] > 0x7F && e[k + 1] <= 0x7F && e[0] != 0xE5;
      }
    }
  }
  EXPECT_GE(checked, 4u);
  EXPECT_TRUE(sawLoneCodePageByte) << "the fixture should hold a name like CAF\\x90.TXT";
  EXPECT_TRUE(sawTwentyParts) << "a 250-character name needs 20 long-name parts";
  EXPECT_TRUE(sawDeleted);
}

TEST(FatDirectoryRandom, RandomSectorsAreNoDirectorySectors) {
  std::mt19937 random(20261209);
  std::vector<uint8_t> sector(512);
  size_t passed = 0;
  for (int i = 0; i < 20000; ++i) {
    for (uint8_t& b : sector) b = uint8_t(random());
    passed += IsDirectorySector(sector) || IsDotDirectoryStart(sector);
    // Random bytes above 0x7F only, where code-page names live.
    for (uint8_t& b : sector) b |= 0x80;
    passed += IsDirectorySector(sector);
  }
  EXPECT_EQ(passed, 0u);
}

}  // namespace
}  // namespace brinvale
