// The formatted-NTFS engine over the images made by mkntfs and an ntfs-3g
// mount (tests/fixtures/make_ntfs_fixtures.sh): every FILE record sector is
// handed to it as the full scan would, and the tree it builds is checked
// against the manifests.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/ntfs/attribute_runs.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/ntfs_manifest.h"
#include "engines/ntfs/ntfs_volume.h"
#include "engines/ntfs/professional_ntfs_recovery.h"
#include "engines/ntfs/record_to_sector.h"
#include "support/fixture_path.h"
#include "support/sha256.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

using ManifestEntry = test::NtfsManifestEntry;

// lostdir's record went to reuse.txt: its file sits in LostFolder64.
std::string TreePath(const ManifestEntry& e) {
  if (e.path.rfind("lostdir/", 0) == 0) return "LostFolder64/" + e.path.substr(8);
  return e.path;
}

class ProNtfsFixture : public ::testing::TestWithParam<const char*> {
 protected:
  ProNtfsFixture()
      : m_logs(fs::temp_directory_path() /
               ("brinvale-" + std::to_string(BRINVALE_TEST_PID) + "-pro-ntfs-" + GetParam())) {
    fs::remove_all(m_logs);
  }
  ~ProNtfsFixture() override {
    std::error_code ec;
    fs::remove_all(m_logs, ec);
  }

  fs::path ImagePath() const { return test::FixturePath(std::string(GetParam()) + ".img"); }

  // Opens the engine on the image and hands it every sector that starts a
  // FILE record which is no folder, as the full scan's sector tests do.
  void ScanLikeTheFullScan() {
    const test::NtfsManifest manifest = test::ReadNtfsManifest(GetParam());
    m_manifest = manifest.entries;
    ASSERT_FALSE(m_manifest.empty());
    m_clusterBytes = manifest.ClusterBytes();
    ASSERT_EQ(m_engine.OpenImage(ImagePath(), u'R'), kOk);
    m_engine.SetScanLogFolder(m_logs);
    m_engine.SetPreviewFolder(m_logs / "preview");
    ASSERT_EQ(m_engine.OpenProLog(nullptr), kOk);
    const std::vector<uint8_t> image = test::ReadFileBytes(ImagePath());
    ASSERT_EQ(image.size(), 16u << 20);
    const uint32_t recordSize = m_engine.Volume().recordSize;
    for (size_t at = 0; at + 512 <= image.size(); at += 512) {
      const std::span<const uint8_t> sector(image.data() + at, 512);
      if (LoadLe32(sector, 0) != ntfs::record::kSignature || LoadLe32(sector, 0x18) > recordSize ||
          LoadLe32(sector, 0x1C) != recordSize || LoadLe16(sector, 0x30) != LoadLe16(sector, 510) ||
          (LoadLe16(sector, 0x16) & ntfs::record::kFlagDirectory) != 0)
        continue;
      const size_t length = std::min<size_t>(8192, image.size() - at);
      const int rc = m_engine.AnalyseRecord(std::span(image.data() + at, length), at / 512);
      EXPECT_TRUE(rc == kOk || rc == ntfs::kNotFileRecord) << "sector " << at / 512;
      ++m_fed;
    }
    ASSERT_EQ(m_engine.RunFolderPass(), kOk);
    Collect(nullptr, 0, "");
  }

  void Collect(const ScanRecord* parent, uint32_t level, const std::string& prefix) {
    RecordList children;
    ASSERT_EQ(m_engine.ListChildren(parent, level, children), kOk);
    for (const ScanRecord& child : children) {
      const std::string path = prefix + std::string(child.Name());
      ASSERT_EQ(m_tree.count(path), 0u) << "listed twice: " << path;
      m_tree[path] = child;
      if (child.IsFolder()) Collect(&m_tree[path], level + 1, path + "/");
    }
  }

  const ManifestEntry& Entry(const std::string& path) const {
    for (const auto& e : m_manifest)
      if (e.path == path) return e;
    throw std::runtime_error("no manifest entry " + path);
  }

  fs::path m_logs;
  std::vector<ManifestEntry> m_manifest;
  uint32_t m_clusterBytes = 0;
  CProfessionalNtfsRecovery m_engine;
  std::map<std::string, ScanRecord> m_tree;
  size_t m_fed = 0;
};

TEST_P(ProNtfsFixture, RecordGeometryFollowsTheVolumesOwnSectors) {
  ASSERT_EQ(m_engine.OpenImage(ImagePath(), u'R'), kOk);
  // Images are read in 512-byte sectors; records are as the volume made them.
  EXPECT_EQ(m_engine.Volume().bytesPerSector, 512u);
  const bool fourK = std::string(GetParam()) == "ntfs_4kn";
  EXPECT_EQ(m_engine.Volume().recordSize, fourK ? 4096u : 1024u);
  EXPECT_EQ(m_engine.Volume().sectorsPerRecord, fourK ? 8u : 2u);
  // The boot sector's MFT is known from the start.
  ASSERT_EQ(m_engine.MftMap().size(), 1u);
  EXPECT_FALSE(m_engine.MftMap().begin()->second.empty());
}

TEST_P(ProNtfsFixture, EveryFileAndFolderComesBackInItsPlace) {
  ScanLikeTheFullScan();
  EXPECT_GT(m_fed, m_manifest.size());
  for (const ManifestEntry& e : m_manifest) {
    if (e.path == "lostdir") continue;
    SCOPED_TRACE(e.path);
    auto found = m_tree.find(TreePath(e));
    ASSERT_NE(found, m_tree.end());
    const ScanRecord& r = found->second;
    EXPECT_EQ(r.IsFolder(), e.folder);
    EXPECT_EQ(r.EntryKey(), e.record);
    EXPECT_EQ(r.EngineValue(), 2u);
    EXPECT_EQ(r.SourceKey(), u'R');
    EXPECT_EQ(r.PartitionStart(), 0u);
    EXPECT_EQ(r.ClusterBytes(), m_clusterBytes);
    if (!e.folder) {
      EXPECT_EQ(r.FileSize(), e.size);
    }
  }
  const ScanRecord& lost = m_tree.at("LostFolder64");
  EXPECT_TRUE(lost.IsFolder());
  EXPECT_EQ(lost.EntryKey(), 64u);
  // The scan's first file with non-resident data taught the cluster size.
  EXPECT_EQ(m_engine.SectorsPerCluster(), m_clusterBytes / 512);
  std::string path;
  ASSERT_EQ(m_engine.GetRecordPath(m_tree.at("olddir/inner/c.txt"), path, 260), kOk);
  EXPECT_EQ(path, "olddir\\inner\\");
  ASSERT_EQ(m_engine.GetRecordPath(m_tree.at("docs/reports/2025/tables.bin"), path, 260), kOk);
  EXPECT_EQ(path, "docs\\reports\\2025\\");
}

TEST_P(ProNtfsFixture, RecoversFilesByteForByteFromTheirOwnRecords) {
  ScanLikeTheFullScan();
  size_t checked = 0;
  for (const ManifestEntry& e : m_manifest) {
    // Deleted fillers lost their clusters; ballast.bin is only large.
    if (e.folder || (e.deleted && e.path.starts_with("fill/")) || e.path == "ballast.bin") continue;
    SCOPED_TRACE(e.path);
    auto found = m_tree.find(TreePath(e));
    ASSERT_NE(found, m_tree.end());
    const fs::path target = m_logs / "out" / std::to_string(e.record);
    ASSERT_EQ(m_engine.RecoverRecord(found->second, target, 0), kOk);
    EXPECT_EQ(test::Sha256Hex(test::ReadFileBytes(target)), e.sha256);
    ++checked;
  }
  EXPECT_GE(checked, 15u);
  // A whole folder with its subfolders.
  const fs::path olddir = m_logs / "folder" / "olddir";
  ASSERT_EQ(m_engine.RecoverRecord(m_tree.at("olddir"), olddir, 0), kOk);
  EXPECT_EQ(test::Sha256Hex(test::ReadFileBytes(olddir / "inner" / "c.txt")),
            Entry("olddir/inner/c.txt").sha256);
  EXPECT_EQ(test::Sha256Hex(test::ReadFileBytes(olddir / "b.bin")), Entry("olddir/b.bin").sha256);
}

TEST_P(ProNtfsFixture, BothNtfsEnginesAgreeOnWhereAFilesDataStarts) {
  ScanLikeTheFullScan();
  const ScanRecord& frag = m_tree.at("frag.bin");
  uint64_t pro = 0;
  ASSERT_TRUE(m_engine.FirstDataSector(frag, pro));
  uint64_t unused = 0;
  EXPECT_FALSE(m_engine.FirstDataSector(m_tree.at("deleted_note.txt"), unused));  // resident
  // The first run read through the volume's own structures.
  SectorReader reader;
  ASSERT_EQ(OpenImageReader(reader, ImagePath()), kOk);
  NtfsVolume v;
  ASSERT_EQ(OpenNtfsVolume(reader, 0, reader.totalSectors, 512, u'Q', v), kOk);
  uint64_t sector = 0;
  ASSERT_EQ(RecordToSector(v, Entry("frag.bin").record, sector), kOk);
  RunList runs;
  ASSERT_EQ(FindAttributeRuns(v, reader, sector, ntfs::kTypeData, runs), kOk);
  ASSERT_FALSE(runs.empty());
  EXPECT_EQ(pro * 512, uint64_t(runs[0].clusterDelta) * v.ClusterBytes());
  // The quick engine answers in the volume's own sectors.
  CFastNtfsRecovery quick;
  ASSERT_EQ(quick.OpenImage(ImagePath(), u'Q'), kOk);
  ScanRecord r;
  r.SetEntryKey(Entry("frag.bin").record);
  r.SetClusterBytes(v.ClusterBytes());
  r.SetMetadataSector(sector);
  r.SetPartitionStart(0);
  uint64_t fast = 0;
  ASSERT_TRUE(quick.FirstDataSector(r, fast));
  EXPECT_EQ(fast * v.bytesPerSector, pro * 512);
}

INSTANTIATE_TEST_SUITE_P(Images, ProNtfsFixture, ::testing::Values("ntfs_c4k", "ntfs_4kn", "ntfs_c64k"));

}  // namespace
}  // namespace brinvale
