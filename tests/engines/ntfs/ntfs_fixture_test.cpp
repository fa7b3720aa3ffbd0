// The NTFS structures over images made by mkntfs and filled through an
// ntfs-3g mount (tests/fixtures/make_ntfs_fixtures.sh), checked against
// their manifests.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/ntfs/attribute_runs.h"
#include "engines/ntfs/attribute_walk.h"
#include "engines/ntfs/file_name_attribute.h"
#include "engines/ntfs/file_record.h"
#include "engines/ntfs/fixups.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/ntfs_manifest.h"
#include "engines/ntfs/ntfs_volume.h"
#include "engines/ntfs/record_to_sector.h"
#include "engines/ntfs/resident_data.h"
#include "support/sha256.h"

namespace brinvale {
namespace {

using test::FixtureDir;
using ManifestEntry = test::NtfsManifestEntry;
using Manifest = test::NtfsManifest;

// Reads `size` bytes of a file through its runs: sparse runs as zeros.
std::vector<uint8_t> ReadThroughRuns(const NtfsVolume& v, SectorReader& reader, const RunList& runs,
                                     uint64_t size) {
  std::vector<PlacedRun> placed;
  EXPECT_TRUE(PlaceRuns(runs, placed));
  std::vector<uint8_t> out;
  std::vector<uint8_t> cluster(v.ClusterBytes());
  for (const PlacedRun& run : placed) {
    for (uint64_t c = 0; c < run.clusterCount && out.size() < size; ++c) {
      std::fill(cluster.begin(), cluster.end(), 0);
      if (!run.sparse) {
        uint32_t got = 0;
        const uint64_t sector = v.startSector + (run.startCluster + c) * v.sectorsPerCluster;
        EXPECT_EQ(
            ReadSectors(v.sectorsPerCluster, reader, cluster.data(), sector, v.bytesPerSector, got),
            kOk);
      }
      const size_t take = size_t(std::min<uint64_t>(cluster.size(), size - out.size()));
      out.insert(out.end(), cluster.begin(), cluster.begin() + ptrdiff_t(take));
    }
  }
  return out;
}

std::vector<FileNameInfo> FileNames(const NtfsVolume& v, SectorReader& reader, uint64_t record,
                                    uint16_t& flags) {
  uint64_t sector = 0;
  EXPECT_EQ(RecordToSector(v, record, sector), kOk);
  std::vector<uint8_t> buffer(ntfs::kRecordBufferBytes);
  EXPECT_EQ(ReadRecord(v, reader, sector, buffer), kOk);
  std::vector<FileNameInfo> names;
  if (!HasFileSignature(buffer)) return names;
  ApplyFixups(buffer, v.recordSize);
  flags = RecordFlags(buffer);
  AttributeWalk walk(buffer, v.recordSize, WalkKind::kRecordAnalysis);
  while (walk.Next()) {
    FileNameInfo info;
    if (walk.Type() == ntfs::kTypeFileName && DecodeFileName(walk.Attribute(), info))
      names.push_back(info);
  }
  return names;
}

class NtfsFixture : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    manifest = test::ReadNtfsManifest(GetParam());
    ASSERT_FALSE(manifest.entries.empty()) << "manifest of " << GetParam();
    ASSERT_EQ(OpenImageReader(reader, FixtureDir() / (std::string(GetParam()) + ".img")), kOk);
    ASSERT_EQ(OpenNtfsVolume(reader, 0, reader.totalSectors, 512, u'X', volume), kOk);
  }

  Manifest manifest;
  SectorReader reader;
  NtfsVolume volume;
};

TEST_P(NtfsFixture, GeometryMatchesTheManifest) {
  EXPECT_EQ(volume.bytesPerSector, std::stoul(manifest.facts.at("bytes_per_sector")));
  EXPECT_EQ(volume.ClusterBytes(), std::stoul(manifest.facts.at("cluster_bytes")));
  EXPECT_EQ(volume.recordSize, volume.bytesPerSector == 512 ? 1024u : volume.bytesPerSector);
  EXPECT_EQ(volume.sectorCount * volume.bytesPerSector, 16u << 20);
}

TEST_P(NtfsFixture, RecordZeroIsTheMftAndCarriesAFixupEntryPer512Bytes) {
  uint64_t sector = 0;
  ASSERT_EQ(RecordToSector(volume, 0, sector), kOk);
  EXPECT_EQ(sector, volume.mftStartSector);
  std::vector<uint8_t> record(ntfs::kRecordBufferBytes);
  ASSERT_EQ(ReadRecord(volume, reader, sector, record), kOk);
  ASSERT_TRUE(HasFileSignature(record));
  const uint32_t blocks = volume.recordSize / 512;
  EXPECT_EQ(LoadLe16(record, 0x06), blocks + 1);
  const uint16_t sequence = LoadLe16(record, 0x30);
  for (uint32_t i = 0; i < blocks; ++i)
    EXPECT_EQ(LoadLe16(record, 512 * (i + 1) - 2), sequence) << "block " << i;
  EXPECT_TRUE(ApplyFixups(record, volume.recordSize));
  for (uint32_t i = 0; i < blocks; ++i)
    EXPECT_EQ(LoadLe16(record, 512 * (i + 1) - 2), LoadLe16(record, 0x32 + 2 * i));
  EXPECT_EQ(RecordNumberOf(record), 0u);
  uint16_t flags = 0;
  auto names = FileNames(volume, reader, 0, flags);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0].name, u"$MFT");
  EXPECT_EQ(names[0].parentRecord, 5u);
}

TEST_P(NtfsFixture, EveryMftRecordMapsToItsOwnSectorAndOnePastTheEndIsAnError) {
  const uint64_t records =
      TotalClusters(volume.mftRuns) * volume.ClusterBytes() / volume.recordSize;
  ASSERT_GT(records, 64u);
  std::set<uint64_t> sectors;
  std::vector<uint8_t> record(ntfs::kRecordBufferBytes);
  uint64_t fileRecords = 0;
  for (uint64_t r = 0; r < records; ++r) {
    uint64_t sector = 0;
    ASSERT_EQ(RecordToSector(volume, r, sector), kOk) << r;
    EXPECT_TRUE(sectors.insert(sector).second) << r;
    ASSERT_EQ(ReadRecord(volume, reader, sector, record), kOk) << r;
    if (!HasFileSignature(record)) continue;
    ++fileRecords;
    ApplyFixups(record, volume.recordSize);
    // mkntfs formats the reserved records from 16 to the end of the MFT's
    // first cluster, and at least to 23, with number 0.
    if (r < 16 || r >= std::max<uint64_t>(24, volume.ClusterBytes() / volume.recordSize)) {
      EXPECT_EQ(RecordNumberOf(record), r);
    }
  }
  EXPECT_GE(fileRecords, 16 + manifest.entries.size() - 1);  // one record was reused
  uint64_t sector = 0;
  EXPECT_EQ(RecordToSector(volume, records, sector), kErrInvalidParameter);
}

TEST_P(NtfsFixture, FilesReadThroughTheirRecordsMatchTheManifest) {
  size_t checked = 0;
  for (const auto& e : manifest.entries) {
    // Deleted fillers lost their clusters; ballast.bin is 13 MB of zeros.
    if (e.folder || (e.deleted && e.path.starts_with("fill/")) || e.path == "ballast.bin") continue;
    SCOPED_TRACE(e.path);
    uint64_t sector = 0;
    ASSERT_EQ(RecordToSector(volume, e.record, sector), kOk);
    uint64_t size = 0;
    ASSERT_EQ(ReadDataSize(volume, reader, sector, size), kOk);
    EXPECT_EQ(size, e.size);
    std::vector<uint8_t> data;
    int rc = ReadResidentData(volume, reader, sector, data);
    if (rc == ntfs::kNotResidentData) {
      RunList runs;
      ASSERT_EQ(FindAttributeRuns(volume, reader, sector, ntfs::kTypeData, runs), kOk);
      data = ReadThroughRuns(volume, reader, runs, e.size);
    } else {
      ASSERT_EQ(rc, kOk);
      EXPECT_LT(e.size, 700u);
    }
    EXPECT_EQ(data.size(), e.size);
    EXPECT_EQ(test::Sha256Hex(data), e.sha256);
    ++checked;
  }
  EXPECT_GE(checked, 15u);
}

TEST_P(NtfsFixture, FragmentedAndSparseFilesHaveTheRunsTheyShould) {
  for (const char* path : {"frag.bin", "frag_deleted.bin"}) {
    uint64_t sector = 0;
    ASSERT_EQ(RecordToSector(volume, manifest.At(path).record, sector), kOk);
    RunList runs;
    ASSERT_EQ(FindAttributeRuns(volume, reader, sector, ntfs::kTypeData, runs), kOk);
    EXPECT_GE(runs.size(), 8u) << path;
    EXPECT_TRUE(std::none_of(runs.begin(), runs.end(), [](const DataRun& r) { return r.sparse; }));
  }
  uint64_t sector = 0;
  ASSERT_EQ(RecordToSector(volume, manifest.At("sparse.bin").record, sector), kOk);
  RunList runs;
  ASSERT_EQ(FindAttributeRuns(volume, reader, sector, ntfs::kTypeData, runs), kOk);
  EXPECT_GE(std::count_if(runs.begin(), runs.end(), [](const DataRun& r) { return r.sparse; }), 2);
  EXPECT_EQ(TotalClusters(runs) * volume.ClusterBytes(), 1u << 20);
}

TEST_P(NtfsFixture, DeletedRecordsKeepTheirNamesAndTheLostFolderCaseHolds) {
  for (const auto& e : manifest.entries) {
    if (!e.deleted || e.path == "lostdir") continue;
    SCOPED_TRACE(e.path);
    uint16_t flags = 0xFFFF;
    auto names = FileNames(volume, reader, e.record, flags);
    ASSERT_FALSE(names.empty());
    // Deleting clears the in-use bit; a folder keeps its directory bit.
    EXPECT_EQ(flags, e.folder ? ntfs::record::kFlagDirectory : 0);
    const std::string leaf = e.path.substr(e.path.rfind('/') + 1);
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&](const FileNameInfo& n) {
      return n.name == std::u16string(leaf.begin(), leaf.end());
    }));
  }
  // orphan.txt's parent record now holds the live file reuse.txt.
  uint16_t flags = 0;
  auto orphan = FileNames(volume, reader, manifest.At("lostdir/orphan.txt").record, flags);
  ASSERT_FALSE(orphan.empty());
  EXPECT_EQ(orphan[0].parentRecord, manifest.At("lostdir").record);
  auto reused = FileNames(volume, reader, manifest.At("lostdir").record, flags);
  ASSERT_FALSE(reused.empty());
  EXPECT_EQ(reused[0].name, u"reuse.txt");
  EXPECT_EQ(flags, ntfs::record::kFlagInUse);
  // A deleted folder's files name it as their parent.
  auto inner = FileNames(volume, reader, manifest.At("olddir/inner/c.txt").record, flags);
  ASSERT_FALSE(inner.empty());
  EXPECT_EQ(inner[0].parentRecord, manifest.At("olddir/inner").record);
}

TEST_P(NtfsFixture, FileWithAShortNameCarriesWin32AndDosNames) {
  uint16_t flags = 0;
  auto names = FileNames(volume, reader, manifest.At("LongFileName.txt").record, flags);
  std::map<uint8_t, std::u16string> byNamespace;
  for (const auto& n : names) byNamespace[n.nameSpace] = n.name;
  EXPECT_EQ(byNamespace,
            (std::map<uint8_t, std::u16string>{{1, u"LongFileName.txt"}, {2, u"LONGFI~1.TXT"}}));
  // ntfs-3g removes the DOS name when it deletes the file: the Win32 name stays.
  names = FileNames(volume, reader, manifest.At("DeletedLongName.txt").record, flags);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].nameSpace, 1u);
  EXPECT_EQ(names[0].name, u"DeletedLongName.txt");
}

INSTANTIATE_TEST_SUITE_P(Images, NtfsFixture, ::testing::Values("ntfs_c4k", "ntfs_4kn", "ntfs_c64k"));

}  // namespace
}  // namespace brinvale
