#include "engines/volume_recognition.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

using Sector = std::array<uint8_t, 512>;
using Superblock = std::array<uint8_t, 1024>;

// ---- the first 64 KiB of volumes made by mkfs.fat, mkntfs and mkfs.ext4 ----

struct Sample {
  const char* file;
  VolumeKind kind;
};

constexpr Sample kSamples[] = {
    {"recog_fat12.bin", VolumeKind::kFat}, {"recog_fat16.bin", VolumeKind::kFat},
    {"recog_fat32.bin", VolumeKind::kFat}, {"recog_ntfs.bin", VolumeKind::kNtfs},
    {"recog_ext4.bin", VolumeKind::kExt},  {"recog_ext4_4k.bin", VolumeKind::kExt},
};

std::vector<uint8_t> LoadSample(const char* file) {
  std::vector<uint8_t> bytes = test::ReadFileBytes(test::FixturePath(file));
  EXPECT_EQ(bytes.size(), 65536u) << file << " missing from " << test::FixtureDir();
  return bytes;
}

TEST(VolumeRecognitionSamples, EachRecogniserAcceptsOnlyItsOwnKind) {
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(sample.file);
    std::vector<uint8_t> bytes = LoadSample(sample.file);
    ASSERT_EQ(bytes.size(), 65536u);
    std::span<const uint8_t> all(bytes);
    EXPECT_EQ(IsNtfsBootSector(all.first(512)), sample.kind == VolumeKind::kNtfs);
    EXPECT_EQ(IsFatBootSector(all.first(512)), sample.kind == VolumeKind::kFat);
    EXPECT_EQ(IsExtSuperblock(all.subspan(1024, 1024)), sample.kind == VolumeKind::kExt);
    EXPECT_EQ(ClassifyVolumeStart(all.first(kRecognitionBytes)), sample.kind);
  }
}

// The FAT samples cover the three cluster-count bands of the FAT test.
TEST(VolumeRecognitionSamples, FatSamplesSpanTheClusterCountBands) {
  auto clusters = [](std::span<const uint8_t> s) {
    const uint32_t fatSize = LoadLe16(s, 22) ? LoadLe16(s, 22) : LoadLe32(s, 36);
    const uint32_t total = LoadLe32(s, 32) ? LoadLe32(s, 32) : LoadLe16(s, 19);
    const uint32_t rootSectors = LoadLe16(s, 17) * 32u / LoadLe16(s, 11);
    return (total - rootSectors - s[16] * fatSize - LoadLe16(s, 14)) / s[13];
  };
  std::vector<uint8_t> fat12 = LoadSample("recog_fat12.bin");
  std::vector<uint8_t> fat16 = LoadSample("recog_fat16.bin");
  std::vector<uint8_t> fat32 = LoadSample("recog_fat32.bin");
  ASSERT_FALSE(fat12.empty() || fat16.empty() || fat32.empty());
  EXPECT_LT(clusters(fat12), 4085u);
  EXPECT_GE(clusters(fat16), 4085u);
  EXPECT_LT(clusters(fat16), 65525u);
  EXPECT_GE(clusters(fat32), 65525u);
}

// The whole images start the same way as their samples.
TEST(VolumeRecognitionSamples, FatImagesClassifyAsFat) {
  for (const char* image : {"fat12.img", "fat16.img", "fat32.img", "sample.img"}) {
    SCOPED_TRACE(image);
    std::vector<uint8_t> head = test::ReadFileBytes(test::FixturePath(image), kRecognitionBytes);
    ASSERT_EQ(head.size(), kRecognitionBytes);
    EXPECT_EQ(ClassifyVolumeStart(head), VolumeKind::kFat);
  }
}

// ---- NTFS boot sectors built field by field ----

Sector NtfsBootSector() {
  Sector s{};
  std::memcpy(&s[3], "NTFS    ", 8);  // OEM name
  StoreLe16(s, 11, 512);              // bytes per sector
  s[13] = 8;                          // sectors per cluster
  StoreLe16(s, 14, 0);                // reserved sectors: always 0
  s[21] = 0xF8;                       // media descriptor (not examined)
  StoreLe64(s, 40, 32767);            // total sectors
  StoreLe64(s, 48, 4);                // $MFT cluster
  s[510] = 0x55;                      // boot signature
  s[511] = 0xAA;
  return s;
}

TEST(IsNtfsBootSector, AcceptsAPlainBootSector) { EXPECT_TRUE(IsNtfsBootSector(NtfsBootSector())); }

TEST(IsNtfsBootSector, AcceptsEveryPowerOfTwoClusterUpTo128) {
  for (int spc : {1, 2, 4, 8, 16, 32, 64, 128}) {
    Sector s = NtfsBootSector();
    s[13] = uint8_t(spc);  // sectors per cluster
    EXPECT_TRUE(IsNtfsBootSector(s)) << spc;
  }
  for (int spc : {0, 3, 6, 129, 0xF4}) {  // 0xF4: a large cluster stored as a negative shift
    Sector s = NtfsBootSector();
    s[13] = uint8_t(spc);
    EXPECT_FALSE(IsNtfsBootSector(s)) << spc;
  }
}

TEST(IsNtfsBootSector, BytesPerSectorMustBeAMultipleOf512) {
  for (uint16_t bps : {0, 512, 1024, 4096}) {
    Sector s = NtfsBootSector();
    StoreLe16(s, 11, bps);
    EXPECT_TRUE(IsNtfsBootSector(s)) << bps;
  }
  for (uint16_t bps : {256, 520, 1000}) {
    Sector s = NtfsBootSector();
    StoreLe16(s, 11, bps);
    EXPECT_FALSE(IsNtfsBootSector(s)) << bps;
  }
}

TEST(IsNtfsBootSector, RefusesEachBrokenField) {
  Sector s = NtfsBootSector();
  s[3] = 'n';  // OEM name is case-sensitive
  EXPECT_FALSE(IsNtfsBootSector(s));
  s = NtfsBootSector();
  StoreLe16(s, 14, 1);  // reserved sectors
  EXPECT_FALSE(IsNtfsBootSector(s));
  s = NtfsBootSector();
  StoreLe64(s, 40, 0);  // total sectors
  EXPECT_FALSE(IsNtfsBootSector(s));
  s = NtfsBootSector();
  s[511] = 0;  // boot signature
  EXPECT_FALSE(IsNtfsBootSector(s));
  // The FAT-only fields must be zero: FAT count, root entries, 16-bit total,
  // 16-bit FAT size, 32-bit total.
  for (size_t at : {16, 17, 18, 19, 20, 22, 23, 32, 33, 34, 35}) {
    s = NtfsBootSector();
    s[at] = 1;
    EXPECT_FALSE(IsNtfsBootSector(s)) << "byte " << at;
  }
  const Sector whole = NtfsBootSector();
  EXPECT_FALSE(IsNtfsBootSector(std::span(whole).first(511))) << "short input";
}

// ---- FAT boot sectors built field by field ----

// 512-byte sectors, one sector per cluster, one reserved sector, two FATs and
// 512 root entries (32 sectors), so clusters = total - 33 - 2 x FAT size.
constexpr uint32_t kFatOverhead = 1 + 32;

// A FAT12/16 boot sector whose cluster count is `clusters`.
Sector Fat16BootSector(uint32_t clusters) {
  Sector s{};
  s[0] = 0xEB;                        // jump
  std::memcpy(&s[3], "MSWIN4.1", 8);  // OEM name
  StoreLe16(s, 11, 512);              // bytes per sector
  s[13] = 1;                          // sectors per cluster
  StoreLe16(s, 14, 1);                // reserved sectors
  s[16] = 2;                          // FAT count
  StoreLe16(s, 17, 512);              // root entries
  const uint16_t fatSize = 256;       // 16-bit FAT size at 22
  StoreLe16(s, 22, fatSize);
  const uint32_t total = clusters + kFatOverhead + 2 * fatSize;
  if (total < 0x10000)
    StoreLe16(s, 19, uint16_t(total));  // 16-bit total sectors
  else
    StoreLe32(s, 32, total);           // 32-bit total sectors
  std::memcpy(&s[54], "FAT16   ", 8);  // file system type text (not examined)
  s[510] = 0x55;                       // boot signature
  s[511] = 0xAA;
  return s;
}

// A FAT32 boot sector whose cluster count is `clusters`.
Sector Fat32BootSector(uint32_t clusters) {
  Sector s{};
  s[0] = 0xEB;                        // jump
  std::memcpy(&s[3], "mkfs.fat", 8);  // OEM name
  StoreLe16(s, 11, 512);              // bytes per sector
  s[13] = 1;                          // sectors per cluster
  StoreLe16(s, 14, 1);                // reserved sectors
  s[16] = 2;                          // FAT count
  StoreLe16(s, 17, 512);              // root entries (kept for the same overhead)
  StoreLe16(s, 22, 0);                // 16-bit FAT size: 0 on FAT32
  const uint32_t fatSize = 1024;      // 32-bit FAT size at 36
  StoreLe32(s, 36, fatSize);
  StoreLe32(s, 32, clusters + kFatOverhead + 2 * fatSize);  // 32-bit total sectors
  StoreLe32(s, 44, 2);                                      // root folder cluster
  std::memcpy(&s[82], "FAT32   ", 8);                       // file system type text
  s[510] = 0x55;                                            // boot signature
  s[511] = 0xAA;
  return s;
}

TEST(IsFatBootSector, AcceptsBothLayoutsOnEitherSideOfEachBoundary) {
  for (uint32_t clusters : {1u, 4084u, 4085u, 65524u, 65525u, 1000000u}) {
    EXPECT_TRUE(IsFatBootSector(Fat16BootSector(clusters))) << clusters;
    EXPECT_TRUE(IsFatBootSector(Fat32BootSector(clusters))) << clusters;
  }
}

TEST(IsFatBootSector, Fat32LayoutNeedsItsTypeText) {
  for (uint32_t clusters : {4084u, 4085u, 65524u, 65525u}) {
    Sector s = Fat32BootSector(clusters);
    std::memcpy(&s[82], "FAT16   ", 8);
    EXPECT_FALSE(IsFatBootSector(s)) << clusters;
    std::memcpy(&s[82], "FAT32  ", 8);  // one space short: the NUL ends it
    EXPECT_FALSE(IsFatBootSector(s)) << clusters;
  }
}

TEST(IsFatBootSector, ClusterCountOf0x0FFFFFF0OrMoreIsRefused) {
  EXPECT_TRUE(IsFatBootSector(Fat32BootSector(0x0FFFFFEF)));
  EXPECT_FALSE(IsFatBootSector(Fat32BootSector(0x0FFFFFF0)));
  EXPECT_FALSE(IsFatBootSector(Fat32BootSector(0x0FFFFFF0 + 1000)));
}

TEST(IsFatBootSector, MetadataLargerThanTheVolumeIsRefused) {
  // 100 sectors in all but two 256-sector FATs: the cluster count wraps.
  Sector s = Fat16BootSector(10);
  StoreLe16(s, 19, 100);
  EXPECT_FALSE(IsFatBootSector(s));
}

TEST(IsFatBootSector, The32BitTotalIsLookedAtFirst) {
  Sector s = Fat16BootSector(70000);  // 32-bit total only
  ASSERT_EQ(LoadLe16(s, 19), 0);
  StoreLe16(s, 19, 10);  // a 16-bit total too small for the metadata
  EXPECT_TRUE(IsFatBootSector(s)) << "the 32-bit total wins";
  StoreLe32(s, 32, 0);
  EXPECT_FALSE(IsFatBootSector(s)) << "now the 16-bit total is used and wraps";
}

TEST(IsFatBootSector, BitLockerOemNameIsNotFat) {
  Sector s = Fat16BootSector(5000);
  const uint8_t bitLocker[] = {0x2D, 0x46, 0x56, 0x45, 0x2D, 0x46, 0x53, 0x2D};  // "-FVE-FS-"
  std::memcpy(&s[3], bitLocker, sizeof bitLocker);
  EXPECT_FALSE(IsFatBootSector(s));
}

void PutBitLockerPattern(Sector& s) {
  std::memset(&s[480], 0x78, 8);   // eight 0x78
  std::memset(&s[488], 0xFF, 19);  // nineteen 0xFF
  s[507] = 0x00;
  s[508] = 0x1F;
  s[509] = 0x2C;
}

TEST(IsFatBootSector, BitLockerPatternAt480IsNotFat) {
  Sector s = Fat32BootSector(100000);
  PutBitLockerPattern(s);
  EXPECT_FALSE(IsFatBootSector(s));
  // The whole 30 bytes must match: any one byte changed and it is FAT again.
  for (size_t at : {480u, 487u, 488u, 506u, 507u, 508u, 509u}) {
    Sector t = s;
    t[at] ^= 0x01;
    EXPECT_TRUE(IsFatBootSector(t)) << "byte " << at;
  }
}

TEST(IsFatBootSector, RefusesEachBrokenField) {
  const Sector good = Fat16BootSector(5000);
  ASSERT_TRUE(IsFatBootSector(good));
  Sector s = good;
  StoreLe16(s, 11, 0);  // bytes per sector
  EXPECT_FALSE(IsFatBootSector(s));
  s = good;
  StoreLe16(s, 11, 768);  // not a multiple of 512
  EXPECT_FALSE(IsFatBootSector(s));
  s = good;
  s[13] = 0;  // sectors per cluster
  EXPECT_FALSE(IsFatBootSector(s));
  s = good;
  s[13] = 3;  // not a power of two
  EXPECT_FALSE(IsFatBootSector(s));
  s = good;
  s[16] = 0;  // FAT count
  EXPECT_FALSE(IsFatBootSector(s));
  s = good;
  s[510] = 0;  // boot signature
  EXPECT_FALSE(IsFatBootSector(s));
  EXPECT_FALSE(IsFatBootSector(std::span(good).first(511))) << "short input";

  const Sector good32 = Fat32BootSector(100000);
  s = good32;
  StoreLe32(s, 36, 0);  // 32-bit FAT size (and no 16-bit one)
  EXPECT_FALSE(IsFatBootSector(s));
  s = good32;
  s[511] = 0x55;  // boot signature
  EXPECT_FALSE(IsFatBootSector(s));
}

TEST(IsFatBootSector, LargerSectorsAndClustersPass) {
  Sector s = Fat32BootSector(100000);
  StoreLe16(s, 11, 4096);  // bytes per sector
  s[13] = 128;             // sectors per cluster
  StoreLe32(s, 32, 100000u * 128 + 3000);
  EXPECT_TRUE(IsFatBootSector(s));
}

// ---- Ext superblocks built field by field ----

// A 16 MiB volume of 1 KiB blocks: 2 groups of 8,192 blocks and 2,048 inodes.
Superblock ExtSuperblock() {
  Superblock b{};
  StoreLe32(b, 0, 4096);     // inode count
  StoreLe32(b, 4, 16384);    // block count
  StoreLe32(b, 20, 1);       // first data block
  StoreLe32(b, 24, 0);       // log block size: 1,024 << 0
  StoreLe32(b, 32, 8192);    // blocks per group
  StoreLe32(b, 40, 2048);    // inodes per group
  StoreLe16(b, 56, 0xEF53);  // magic
  StoreLe32(b, 76, 1);       // revision (dynamic)
  StoreLe32(b, 84, 11);      // first non-reserved inode
  return b;
}

// The same with 4 KiB blocks: one group of 4,096 blocks and 4,096 inodes.
Superblock Ext4KSuperblock() {
  Superblock b = ExtSuperblock();
  StoreLe32(b, 4, 4096);    // block count
  StoreLe32(b, 20, 0);      // first data block
  StoreLe32(b, 24, 2);      // log block size: 1,024 << 2
  StoreLe32(b, 32, 32768);  // blocks per group
  StoreLe32(b, 40, 4096);   // inodes per group
  return b;
}

TEST(IsExtSuperblock, AcceptsBothBlockSizes) {
  EXPECT_TRUE(IsExtSuperblock(ExtSuperblock()));
  EXPECT_TRUE(IsExtSuperblock(Ext4KSuperblock()));
}

TEST(IsExtSuperblock, FirstDataBlockFollowsTheBlockSize) {
  Superblock b = ExtSuperblock();
  StoreLe32(b, 20, 0);     // 1 KiB blocks need first data block 1
  StoreLe32(b, 4, 16383);  // keep the group count at 2
  EXPECT_FALSE(IsExtSuperblock(b));
  b = Ext4KSuperblock();
  StoreLe32(b, 20, 1);  // larger blocks need first data block 0
  StoreLe32(b, 4, 4097);
  EXPECT_FALSE(IsExtSuperblock(b));
}

TEST(IsExtSuperblock, GroupCountsFromBlocksAndInodesMustAgree) {
  Superblock b = ExtSuperblock();
  StoreLe32(b, 40, 1024);  // 4 inode groups against 2 block groups
  EXPECT_FALSE(IsExtSuperblock(b));
  b = ExtSuperblock();
  StoreLe32(b, 4, 16386);  // (16386 - 1 - 1) / 8192 + 1 = 3 block groups
  EXPECT_FALSE(IsExtSuperblock(b));
  StoreLe32(b, 4, 16385);  // still 2
  EXPECT_TRUE(IsExtSuperblock(b));
}

TEST(IsExtSuperblock, RefusesEachBrokenField) {
  for (size_t at : {0u, 4u, 32u, 40u}) {  // inodes, blocks, per-group counts
    Superblock b = ExtSuperblock();
    StoreLe32(b, at, 0);
    EXPECT_FALSE(IsExtSuperblock(b)) << "field at " << at;
  }
  Superblock b = ExtSuperblock();
  StoreLe16(b, 56, 0xEF52);  // magic
  EXPECT_FALSE(IsExtSuperblock(b));
  b = ExtSuperblock();
  StoreLe32(b, 84, 2);  // first non-reserved inode must be above 2
  EXPECT_FALSE(IsExtSuperblock(b));
  b = ExtSuperblock();
  StoreLe32(b, 4, 1);  // no blocks after the first data block
  EXPECT_FALSE(IsExtSuperblock(b));
  const Superblock whole = ExtSuperblock();
  EXPECT_FALSE(IsExtSuperblock(std::span(whole).first(1023))) << "short input";
}

TEST(IsExtSuperblock, InodeCountMustExceedTheFirstInode) {
  Superblock b = ExtSuperblock();
  StoreLe32(b, 4, 100);   // one block group
  StoreLe32(b, 40, 100);  // one inode group
  StoreLe32(b, 0, 11);    // as many inodes as the first non-reserved one
  EXPECT_FALSE(IsExtSuperblock(b));
  StoreLe32(b, 0, 12);
  EXPECT_TRUE(IsExtSuperblock(b));
}

// ---- classification of whole starts ----

std::vector<uint8_t> StartWith(std::span<const uint8_t> sector, std::span<const uint8_t> ext) {
  std::vector<uint8_t> start(kRecognitionBytes);
  if (!sector.empty()) std::memcpy(start.data(), sector.data(), sector.size());
  if (!ext.empty()) std::memcpy(start.data() + 1024, ext.data(), ext.size());
  return start;
}

TEST(ClassifyVolumeStart, TriesNtfsThenFatThenExt) {
  const Superblock ext = ExtSuperblock();
  EXPECT_EQ(ClassifyVolumeStart(StartWith(NtfsBootSector(), {})), VolumeKind::kNtfs);
  EXPECT_EQ(ClassifyVolumeStart(StartWith(Fat32BootSector(70000), {})), VolumeKind::kFat);
  EXPECT_EQ(ClassifyVolumeStart(StartWith({}, ext)), VolumeKind::kExt);
  EXPECT_EQ(ClassifyVolumeStart(StartWith(NtfsBootSector(), ext)), VolumeKind::kNtfs);
  EXPECT_EQ(ClassifyVolumeStart(StartWith(Fat16BootSector(5000), ext)), VolumeKind::kFat);
}

TEST(ClassifyVolumeStart, ZerosOnesAndRandomBytesAreUnknown) {
  EXPECT_EQ(ClassifyVolumeStart(std::vector<uint8_t>(kRecognitionBytes, 0)), VolumeKind::kUnknown);
  EXPECT_EQ(ClassifyVolumeStart(std::vector<uint8_t>(kRecognitionBytes, 0xFF)),
            VolumeKind::kUnknown);
  std::mt19937 rng(20240607);
  std::vector<uint8_t> start(kRecognitionBytes);
  for (int round = 0; round < 500; ++round) {
    for (uint8_t& b : start) b = uint8_t(rng());
    ASSERT_EQ(ClassifyVolumeStart(start), VolumeKind::kUnknown) << "round " << round;
  }
  // Random bytes behind a valid boot signature are still nothing.
  for (int round = 0; round < 500; ++round) {
    for (uint8_t& b : start) b = uint8_t(rng());
    start[510] = 0x55;
    start[511] = 0xAA;
    ASSERT_EQ(ClassifyVolumeStart(start), VolumeKind::kUnknown) << "round " << round;
  }
}

TEST(ClassifyVolumeStart, FewerThan2048BytesIsUnknown) {
  std::vector<uint8_t> start = StartWith(Fat16BootSector(5000), {});
  EXPECT_EQ(ClassifyVolumeStart(std::span(start).first(2048)), VolumeKind::kFat);
  EXPECT_EQ(ClassifyVolumeStart(std::span(start).first(2047)), VolumeKind::kUnknown);
  EXPECT_EQ(ClassifyVolumeStart({}), VolumeKind::kUnknown);
}

TEST(VolumeKindName, NamesEachKind) {
  EXPECT_STREQ(VolumeKindName(VolumeKind::kFat), "FAT");
  EXPECT_STREQ(VolumeKindName(VolumeKind::kNtfs), "NTFS");
  EXPECT_STREQ(VolumeKindName(VolumeKind::kExt), "Ext");
  EXPECT_STREQ(VolumeKindName(VolumeKind::kUnknown), "unknown");
}

}  // namespace
}  // namespace brinvale
