#include "device/partition_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/crc32.h"
#include "common/error_codes.h"
#include "support/partitioned_disks_manifest.h"

namespace brinvale {
namespace {

// A disk built byte by byte: sectorBytes-long sectors, all zero at first.
class CraftedDisk {
 public:
  CraftedDisk(uint64_t sectors, uint32_t sectorBytes = 512)
      : m_bytes(size_t(sectors) * sectorBytes, 0), m_sectorBytes(sectorBytes) {}

  std::span<uint8_t> Sector(uint64_t n) {
    return std::span<uint8_t>(m_bytes).subspan(size_t(n) * m_sectorBytes, m_sectorBytes);
  }

  // One 16-byte entry of the table in sector `at` (0 for the MBR, an EBR's
  // sector otherwise).
  void MbrEntry(uint64_t at, int slot, uint8_t type, uint32_t first, uint32_t count,
                uint8_t status = 0) {
    std::span<uint8_t> s = Sector(at);
    const size_t e = 446 + size_t(slot) * 16;
    s[e] = status;
    s[e + 4] = type;
    StoreLe32(s, e + 8, first);
    StoreLe32(s, e + 12, count);
    s[510] = 0x55;
    s[511] = 0xAA;
  }

  struct GptPart {
    uint64_t first, last;
    const char* name;
  };

  // A GPT header at sector `at` with its entry array at `entriesAt`, both
  // CRCs right; 128 entries of 128 bytes, the given ones first, all basic
  // data.
  void Gpt(uint64_t at, uint64_t other, uint64_t entriesAt, uint64_t firstUsable,
           uint64_t lastUsable, const std::vector<GptPart>& parts) {
    std::vector<uint8_t> array(128 * 128, 0);
    static const uint8_t kBasicData[16] = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                           0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
    for (size_t i = 0; i < parts.size(); ++i) {
      std::span<uint8_t> e = std::span<uint8_t>(array).subspan(i * 128, 128);
      std::memcpy(e.data(), kBasicData, 16);          // type GUID
      e[16] = uint8_t(i + 1);                         // unique GUID
      StoreLe64(e, 32, parts[i].first);               // first sector
      StoreLe64(e, 40, parts[i].last);                // last sector
      for (size_t c = 0; parts[i].name[c]; ++c)       // name, UTF-16
        StoreLe16(e, 56 + 2 * c, uint8_t(parts[i].name[c]));
    }
    std::memcpy(m_bytes.data() + entriesAt * m_sectorBytes, array.data(), array.size());
    std::span<uint8_t> h = Sector(at);
    std::memcpy(h.data(), "EFI PART", 8);
    StoreLe32(h, 8, 0x00010000);        // revision 1.0
    StoreLe32(h, 12, 92);               // header size
    StoreLe64(h, 24, at);               // this header
    StoreLe64(h, 32, other);            // the other header
    StoreLe64(h, 40, firstUsable);
    StoreLe64(h, 48, lastUsable);
    h[56] = 0x42;                       // disk GUID
    StoreLe64(h, 72, entriesAt);
    StoreLe32(h, 80, 128);              // entries
    StoreLe32(h, 84, 128);              // entry size
    StoreLe32(h, 88, Crc32(array));
    StoreLe32(h, 16, 0);
    StoreLe32(h, 16, Crc32(h.first(92)));
  }

  void Protective(uint64_t sectors) {
    MbrEntry(0, 0, 0xEE, 1, uint32_t(std::min<uint64_t>(sectors - 1, 0xFFFFFFFF)));
  }

  // A whole GPT disk: protective MBR, primary and backup with the partitions.
  void FullGpt(uint64_t sectors, const std::vector<GptPart>& parts) {
    const uint64_t entrySectors = 128 * 128 / m_sectorBytes;
    Protective(sectors);
    Gpt(1, sectors - 1, 2, 2 + entrySectors, sectors - 2 - entrySectors, parts);
    Gpt(sectors - 1, 1, sectors - 1 - entrySectors, 2 + entrySectors, sectors - 2 - entrySectors,
        parts);
  }

  PartitionTable Read(uint32_t readerBytes = 512) {
    SectorReader reader;
    OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::span<const uint8_t>(m_bytes)),
                     m_bytes.size() / readerBytes);
    PartitionTable table;
    EXPECT_EQ(ReadPartitionTable(reader, readerBytes, table), kOk);
    return table;
  }

  std::vector<uint8_t>& Bytes() { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
  uint32_t m_sectorBytes;
};

std::vector<uint32_t> Numbers(const PartitionTable& t) {
  std::vector<uint32_t> out;
  for (const PartitionEntry& e : t.partitions) out.push_back(e.number);
  return out;
}

// ---- MBR ---------------------------------------------------------------------

TEST(MbrTable, PrimariesAndALogicalPartitionInTheChain) {
  CraftedDisk disk(4096);
  disk.MbrEntry(0, 0, 0x06, 64, 1000, 0x80);    // FAT16, boot
  disk.MbrEntry(0, 1, 0x05, 2000, 2000);        // extended
  disk.MbrEntry(2000, 0, 0x07, 32, 500);        // logical 5 at 2032
  disk.MbrEntry(2000, 1, 0x05, 600, 1000);      // next EBR at 2600
  disk.MbrEntry(2600, 0, 0x0C, 32, 800);        // logical 6 at 2632
  const PartitionTable t = disk.Read();
  EXPECT_EQ(t.scheme, PartitionScheme::kMbr);
  EXPECT_FALSE(t.Damaged()) << t.damage;
  ASSERT_EQ(Numbers(t), (std::vector<uint32_t>{1, 5, 6}));
  EXPECT_TRUE(t.partitions[0].bootable);
  EXPECT_EQ(t.partitions[1].start, 2032u);
  EXPECT_EQ(t.partitions[1].length, 500u);
  EXPECT_TRUE(t.partitions[1].logical);
  EXPECT_EQ(t.partitions[2].start, 2632u);
  EXPECT_EQ(t.partitions[2].type, 0x0C);
}

TEST(MbrTable, NoTableWhereAVolumeBootSectorOrNothingLies) {
  {
    CraftedDisk disk(64);
    EXPECT_EQ(disk.Read().scheme, PartitionScheme::kNone) << "no 0x55 0xAA";
  }
  {
    CraftedDisk disk(64);
    disk.MbrEntry(0, 0, 0, 0, 0);
    EXPECT_EQ(disk.Read().scheme, PartitionScheme::kNone) << "signature but no entry";
  }
  {
    CraftedDisk disk(64);
    disk.MbrEntry(0, 0, 0x06, 1, 10);
    disk.Sector(0)[446 + 16] = 0x29;  // boot code where a status byte would be
    EXPECT_EQ(disk.Read().scheme, PartitionScheme::kNone);
  }
}

TEST(MbrTable, EntriesPastTheEndOrOverlappingAreDroppedWithAReason) {
  CraftedDisk disk(1000);
  disk.MbrEntry(0, 0, 0x06, 10, 100);
  disk.MbrEntry(0, 1, 0x07, 50, 100);    // over partition 1
  disk.MbrEntry(0, 2, 0x0B, 900, 200);   // ends at 1100, disk has 1000
  disk.MbrEntry(0, 3, 0x83, 500, 500);   // ends exactly at the end: fine
  const PartitionTable t = disk.Read();
  EXPECT_EQ(Numbers(t), (std::vector<uint32_t>{1, 4}));
  EXPECT_NE(t.damage.find("partition 2 overlaps partition 1"), std::string::npos) << t.damage;
  EXPECT_NE(t.damage.find("partition 3"), std::string::npos) << t.damage;
  EXPECT_NE(t.damage.find("past the end"), std::string::npos) << t.damage;
}

TEST(MbrTable, AnEntryAtSectorZeroIsNotTrusted) {
  CraftedDisk disk(1000);
  disk.MbrEntry(0, 0, 0x06, 0, 100);
  const PartitionTable t = disk.Read();
  EXPECT_TRUE(t.partitions.empty());
  EXPECT_NE(t.damage.find("sector 0"), std::string::npos) << t.damage;
}

TEST(MbrTable, AnEbrChainThatLoopsEndsWithWhatWasReadAndAReason) {
  CraftedDisk disk(4096);
  disk.MbrEntry(0, 0, 0x05, 100, 3000);
  disk.MbrEntry(100, 0, 0x06, 10, 50);     // logical 5 at 110
  disk.MbrEntry(100, 1, 0x05, 200, 500);   // next EBR at 300
  disk.MbrEntry(300, 0, 0x06, 10, 50);     // logical 6 at 310
  disk.MbrEntry(300, 1, 0x05, 0, 500);     // back to the first EBR
  const PartitionTable t = disk.Read();
  EXPECT_EQ(Numbers(t), (std::vector<uint32_t>{5, 6}));
  EXPECT_NE(t.damage.find("loops back to sector 100"), std::string::npos) << t.damage;
}

TEST(MbrTable, AnEbrChainStopsAfter128LogicalPartitions) {
  CraftedDisk disk(200 * 4 + 200);
  disk.MbrEntry(0, 0, 0x05, 4, 200 * 4);
  for (uint32_t i = 0; i < 200; ++i) {
    const uint32_t ebr = 4 + 4 * i;
    disk.MbrEntry(ebr, 0, 0x06, 1, 3);
    if (i + 1 < 200) disk.MbrEntry(ebr, 1, 0x05, 4 * (i + 1), 4);
  }
  const PartitionTable t = disk.Read();
  EXPECT_EQ(t.partitions.size(), kMaxLogicalPartitions);
  EXPECT_NE(t.damage.find("more than 128 logical partitions"), std::string::npos) << t.damage;
}

TEST(MbrTable, LogicalPartitionOutsideItsExtendedPartitionAndBrokenLinks) {
  CraftedDisk disk(4096);
  disk.MbrEntry(0, 0, 0x0F, 100, 1000);
  disk.MbrEntry(100, 0, 0x06, 10, 2000);    // runs out of the extended partition
  disk.MbrEntry(100, 1, 0x05, 5000, 10);    // next EBR past its end
  const PartitionTable t = disk.Read();
  EXPECT_TRUE(t.partitions.empty());
  EXPECT_NE(t.damage.find("outside its extended partition"), std::string::npos) << t.damage;
  EXPECT_NE(t.damage.find("links past the end"), std::string::npos) << t.damage;
}

TEST(MbrTable, AnEbrWithoutSignatureEndsTheChain) {
  CraftedDisk disk(4096);
  disk.MbrEntry(0, 0, 0x05, 100, 1000);
  disk.MbrEntry(0, 1, 0x07, 2000, 100);
  const PartitionTable t = disk.Read();
  EXPECT_EQ(Numbers(t), (std::vector<uint32_t>{2}));
  EXPECT_NE(t.damage.find("no 0x55 0xAA"), std::string::npos) << t.damage;
}

TEST(MbrTable, UnpartitionedRangesCoverWhatNoPartitionDoes) {
  CraftedDisk disk(1000);
  disk.MbrEntry(0, 0, 0x06, 100, 100);
  disk.MbrEntry(0, 1, 0x07, 300, 200);
  const auto gaps = UnpartitionedRanges(disk.Read());
  ASSERT_EQ(gaps.size(), 3u);
  EXPECT_EQ(gaps[0].start, 0u);
  EXPECT_EQ(gaps[0].length, 100u);
  EXPECT_EQ(gaps[1].start, 200u);
  EXPECT_EQ(gaps[1].length, 100u);
  EXPECT_EQ(gaps[2].start, 500u);
  EXPECT_EQ(gaps[2].length, 500u);
}

// ---- GPT ---------------------------------------------------------------------

TEST(GptTable, PrimaryHeaderGivesNamedPartitions) {
  CraftedDisk disk(2048);
  disk.FullGpt(2048, {{100, 599, "data"}, {600, 1999, "more"}});
  const PartitionTable t = disk.Read();
  EXPECT_EQ(t.scheme, PartitionScheme::kGpt);
  EXPECT_FALSE(t.Damaged()) << t.damage;
  EXPECT_FALSE(t.fromBackup);
  ASSERT_EQ(Numbers(t), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(t.partitions[0].start, 100u);
  EXPECT_EQ(t.partitions[0].length, 500u);
  EXPECT_EQ(t.partitions[0].name, "data");
  EXPECT_EQ(t.partitions[0].type, 0x07);
  EXPECT_EQ(GuidText(t.partitions[0].typeGuid), "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7");
  EXPECT_EQ(t.partitions[1].uniqueGuid[0], 2);
  EXPECT_EQ(t.diskGuid[0], 0x42);
}

TEST(GptTable, ABadHeaderCrcFallsBackToTheBackup) {
  CraftedDisk disk(2048);
  disk.FullGpt(2048, {{100, 599, "data"}});
  disk.Sector(1)[40] ^= 1;  // first usable sector, under the CRC
  const PartitionTable t = disk.Read();
  EXPECT_TRUE(t.fromBackup);
  ASSERT_EQ(Numbers(t), (std::vector<uint32_t>{1}));
  EXPECT_NE(t.damage.find("header fails its CRC32 check"), std::string::npos) << t.damage;
  EXPECT_NE(t.damage.find("backup GPT in sector 2047 was read"), std::string::npos) << t.damage;
}

TEST(GptTable, ABadEntryArrayCrcFallsBackToTheBackupsOwnArray) {
  CraftedDisk disk(2048);
  disk.FullGpt(2048, {{100, 599, "data"}});
  disk.Sector(2)[32] ^= 1;  // the primary array's first entry
  const PartitionTable t = disk.Read();
  EXPECT_TRUE(t.fromBackup);
  ASSERT_EQ(t.partitions.size(), 1u);
  EXPECT_EQ(t.partitions[0].start, 100u);
  EXPECT_NE(t.damage.find("entry array fails its CRC32 check"), std::string::npos) << t.damage;
}

TEST(GptTable, ADestroyedPrimaryIsFoundThroughTheProtectiveMbr) {
  CraftedDisk disk(2048);
  disk.FullGpt(2048, {{100, 599, "data"}});
  std::fill(disk.Sector(1).begin(), disk.Sector(1).end(), 0);
  const PartitionTable t = disk.Read();
  EXPECT_EQ(t.scheme, PartitionScheme::kGpt);
  EXPECT_TRUE(t.fromBackup);
  EXPECT_EQ(t.partitions.size(), 1u);
}

TEST(GptTable, BothHeadersDamagedGivesNoPartitionsAndAReason) {
  CraftedDisk disk(2048);
  disk.FullGpt(2048, {{100, 599, "data"}});
  disk.Sector(1)[40] ^= 1;
  disk.Sector(2047)[40] ^= 1;
  const PartitionTable t = disk.Read();
  EXPECT_EQ(t.scheme, PartitionScheme::kGpt);
  EXPECT_TRUE(t.partitions.empty());
  EXPECT_NE(t.damage.find("and the backup GPT"), std::string::npos) << t.damage;
}

TEST(GptTable, ProtectiveMbrWithoutAnyHeader) {
  CraftedDisk disk(2048);
  disk.Protective(2048);
  const PartitionTable t = disk.Read();
  EXPECT_EQ(t.scheme, PartitionScheme::kGpt);
  EXPECT_TRUE(t.partitions.empty());
  EXPECT_TRUE(t.Damaged());
}

TEST(GptTable, EntriesOutsideTheUsableAreaOrOverlappingAreDropped) {
  CraftedDisk disk(2048);
  disk.FullGpt(2048, {{100, 599, "a"}, {500, 700, "b"}, {1000, 5000, "c"}, {900, 800, "d"}});
  const PartitionTable t = disk.Read();
  EXPECT_EQ(Numbers(t), (std::vector<uint32_t>{1}));
  EXPECT_NE(t.damage.find("partition 2 overlaps partition 1"), std::string::npos) << t.damage;
  EXPECT_NE(t.damage.find("partition 3"), std::string::npos) << t.damage;
  EXPECT_NE(t.damage.find("partition 4"), std::string::npos) << t.damage;
}

TEST(GptTable, AHeaderThatClaimsAnotherSectorOrAHugeArrayIsRefused) {
  {
    CraftedDisk disk(2048);
    disk.FullGpt(2048, {{100, 599, "a"}});
    std::span<uint8_t> h = disk.Sector(1);
    StoreLe64(h, 24, 7);  // "this header" no longer sector 1
    StoreLe32(h, 16, 0);
    StoreLe32(h, 16, Crc32(h.first(92)));
    const PartitionTable t = disk.Read();
    EXPECT_TRUE(t.fromBackup);
    EXPECT_NE(t.damage.find("says it lies in sector 7"), std::string::npos) << t.damage;
  }
  {
    CraftedDisk disk(2048);
    disk.FullGpt(2048, {{100, 599, "a"}});
    for (uint64_t at : {uint64_t(1), uint64_t(2047)}) {
      std::span<uint8_t> h = disk.Sector(at);
      StoreLe32(h, 80, 0x10000000);  // entries
      StoreLe32(h, 16, 0);
      StoreLe32(h, 16, Crc32(h.first(92)));
    }
    const PartitionTable t = disk.Read();
    EXPECT_TRUE(t.partitions.empty());
    EXPECT_NE(t.damage.find("more than can be read"), std::string::npos) << t.damage;
  }
}

TEST(GptTable, FourKilobyteSectorsOnAnImageOf512ByteSectors) {
  // A disk of 4,096-byte sectors copied into an image file, which is read
  // in 512-byte sectors.
  CraftedDisk disk(512, 4096);
  disk.FullGpt(512, {{10, 99, "big"}});
  const PartitionTable t = disk.Read(512);
  EXPECT_EQ(t.scheme, PartitionScheme::kGpt);
  EXPECT_EQ(t.sectorBytes, 4096u);
  EXPECT_EQ(t.diskSectors, 512u);
  ASSERT_EQ(t.partitions.size(), 1u);
  EXPECT_EQ(t.partitions[0].start, 10u);
  EXPECT_EQ(StartIn(t, t.partitions[0], 512), 80u);
  EXPECT_EQ(LengthIn(t, t.partitions[0], 512), 720u);
  // The same disk read as a disk of 4,096-byte sectors.
  const PartitionTable own = disk.Read(4096);
  EXPECT_EQ(own.sectorBytes, 4096u);
  ASSERT_EQ(own.partitions.size(), 1u);
}

TEST(PartitionTable, ASectorZeroThatCannotBeReadIsAnError) {
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::vector<uint8_t>(100)), 0);
  PartitionTable t;
  EXPECT_EQ(ReadPartitionTable(reader, 512, t), kErrInvalidParameter);
  EXPECT_EQ(t.scheme, PartitionScheme::kNone);
}

// ---- images made by sfdisk ---------------------------------------------------

class PartitionedImage : public ::testing::TestWithParam<const char*> {};

TEST_P(PartitionedImage, TableMatchesTheManifest) {
  const test::PartitionedDisks manifest = test::ReadPartitionedDisks();
  const std::string image = GetParam();
  const auto expected = manifest.PartitionsOf(image);
  ASSERT_FALSE(expected.empty()) << "partitioned_disks.manifest missing or without " << image;
  SectorReader reader;
  ASSERT_EQ(OpenImageReader(reader, test::FixturePath(image)), kOk);
  PartitionTable t;
  ASSERT_EQ(ReadPartitionTable(reader, 512, t), kOk);
  ASSERT_EQ(t.partitions.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(t.partitions[i].number, expected[i].number);
    EXPECT_EQ(t.partitions[i].start, expected[i].start);
    EXPECT_EQ(t.partitions[i].length, expected[i].length);
    EXPECT_EQ(t.partitions[i].type, expected[i].type);
    EXPECT_EQ(t.partitions[i].name, expected[i].name);
  }
  const bool backup = image == std::string("gpt_backup.img");
  EXPECT_EQ(t.fromBackup, backup);
  EXPECT_EQ(t.Damaged(), backup) << t.damage;
  EXPECT_EQ(t.scheme, image == std::string("mbr_parts.img") ? PartitionScheme::kMbr
                                                            : PartitionScheme::kGpt);
  CloseReader(reader);
}

INSTANTIATE_TEST_SUITE_P(Sfdisk, PartitionedImage,
                         ::testing::Values("mbr_parts.img", "gpt_parts.img", "gpt_backup.img"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace brinvale
