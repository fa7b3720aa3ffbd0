// The state stamps of a medium over real volumes made by mkfs.fat and
// mkntfs, changed by the tools that write to them (mtools, ntfs-3g's
// ntfscp) or by flipping allocation entries in a copy.
#include "engines/medium_stamp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/engine_factory.h"
#include "platform/volume.h"
#include "support/child_process.h"
#include "support/fixture_path.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace brinvale {
namespace {

namespace fs = std::filesystem;

// A copy of a fixture in a scratch folder, which the test may change.
class MediumCopy {
 public:
  MediumCopy(const test::TempDir& dir, const std::string& fixture) : m_path(dir.Path() / fixture) {
    fs::copy_file(test::FixturePath(fixture), m_path, fs::copy_options::overwrite_existing);
  }
  const fs::path& Path() const { return m_path; }

 private:
  fs::path m_path;
};

// The stamp of the image taken as a partition that starts at its first
// sector: the quick engine of its file system (if any) maps it, and the
// ends are read through a reader of its own.
uint64_t StampOf(const fs::path& image, const fs::path& logs) {
  EngineSetup setup;
  setup.logFolder = logs;
  std::unique_ptr<IRidiRedazuvoParse> quick =
      CreateEngineForImage(image, 0, ScanMode::kQuick, setup);
  SectorReader reader;
  EXPECT_EQ(OpenImageReader(reader, image), kOk);
  return ContentStamp(quick.get(), reader, 0, reader.totalSectors, 512);
}

// Writes `bytes` bytes to a file of the host and makes them durable.
void WriteHostFile(const fs::path& path, size_t bytes) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::vector<char> zeros(bytes, 0);
    out.write(zeros.data(), std::streamsize(zeros.size()));
  }
#if !defined(_WIN32)
  const int fd = ::open(path.c_str(), O_WRONLY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
#endif
}

#if !defined(_WIN32)
bool HaveTool(const char* path) { return fs::exists(path); }
#endif

// Marks the last free cluster of a FAT16 volume as the end of a chain in
// every FAT: one cluster more is allocated, nothing else changes.
void AllocateLastFreeFat16Cluster(const fs::path& image) {
  std::vector<uint8_t> bytes = test::ReadFileBytes(image);
  ASSERT_GE(bytes.size(), 512u);
  const uint32_t bytesPerSector = LoadLe16(bytes, 0x0B);
  const uint32_t sectorsPerCluster = bytes[0x0D];
  const uint32_t reserved = LoadLe16(bytes, 0x0E);
  const uint32_t fats = bytes[0x10];
  const uint32_t rootEntries = LoadLe16(bytes, 0x11);
  const uint32_t fatSectors = LoadLe16(bytes, 0x16);
  uint64_t totalSectors = LoadLe16(bytes, 0x13);
  if (totalSectors == 0) totalSectors = LoadLe32(bytes, 0x20);
  ASSERT_GT(fatSectors, 0u) << "not FAT12/16";
  const uint64_t firstData = reserved + uint64_t(fats) * fatSectors +
                             (rootEntries * 32 + bytesPerSector - 1) / bytesPerSector;
  const uint64_t clusters = (totalSectors - firstData) / sectorsPerCluster;
  uint64_t cluster = clusters + 1;
  const size_t fat0 = size_t(reserved) * bytesPerSector;
  while (cluster >= 2 && LoadLe16(bytes, fat0 + 2 * cluster) != 0) --cluster;
  ASSERT_GE(cluster, 2u) << "the volume has no free cluster";
  for (uint32_t f = 0; f < fats; ++f)
    StoreLe16(bytes, fat0 + size_t(f) * fatSectors * bytesPerSector + 2 * cluster, 0xFFFF);
  test::WriteFileBytes(image, bytes);
}

TEST(ContentStamp, FatStampFollowsTheAllocationAndNotTheHost) {
  test::TempDir dir("stamp-fat");
  MediumCopy fat16(dir, "fat16.img");
  const uint64_t before = StampOf(fat16.Path(), dir.Path() / "logs");
  EXPECT_EQ(StampOf(fat16.Path(), dir.Path() / "logs"), before) << "the same volume, read again";
  WriteHostFile(dir.Path() / "unrelated.bin", 4 << 20);
  EXPECT_EQ(StampOf(fat16.Path(), dir.Path() / "logs"), before)
      << "a write on the host is no change of the volume";
  AllocateLastFreeFat16Cluster(fat16.Path());
  EXPECT_NE(StampOf(fat16.Path(), dir.Path() / "logs"), before) << "one cluster more in use";
}

// mtools and ntfs-3g run on POSIX hosts only.
#if !defined(_WIN32)
TEST(ContentStamp, FatStampChangesWhenMtoolsAddsAFile) {
  if (!HaveTool("/usr/bin/mcopy")) GTEST_SKIP() << "mcopy (mtools) is needed";
  test::TempDir dir("stamp-mtools");
  MediumCopy fat32(dir, "fat32.img");
  const uint64_t before = StampOf(fat32.Path(), dir.Path() / "logs");
  const fs::path added = dir.Path() / "added.bin";
  WriteHostFile(added, 20000);
  const test::ChildResult r = test::RunChild(
      {"/usr/bin/mcopy", "-i", fat32.Path().string(), added.string(), "::/ADDED.BIN"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(StampOf(fat32.Path(), dir.Path() / "logs"), before);
}

TEST(ContentStamp, NtfsStampChangesWhenNtfs3gAddsAFile) {
  if (!HaveTool("/usr/sbin/ntfscp") && !HaveTool("/usr/bin/ntfscp"))
    GTEST_SKIP() << "ntfscp (ntfs-3g) is needed";
  const char* ntfscp = HaveTool("/usr/sbin/ntfscp") ? "/usr/sbin/ntfscp" : "/usr/bin/ntfscp";
  test::TempDir dir("stamp-ntfs");
  MediumCopy ntfs(dir, "ntfs_reformat.img");
  const uint64_t before = StampOf(ntfs.Path(), dir.Path() / "logs");
  WriteHostFile(dir.Path() / "unrelated.bin", 4 << 20);
  EXPECT_EQ(StampOf(ntfs.Path(), dir.Path() / "logs"), before);
  // Large enough to need clusters of its own: a small file would stay in
  // its MFT record and leave the $Bitmap as it was.
  const fs::path added = dir.Path() / "added.bin";
  WriteHostFile(added, 70000);
  const test::ChildResult r =
      test::RunChild({ntfscp, "-f", ntfs.Path().string(), added.string(), "/added.bin"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(StampOf(ntfs.Path(), dir.Path() / "logs"), before);
}

// Without a recognised file system only the two ends are read: a change
// there moves the stamp, one between them does not.
#endif

TEST(ContentStamp, UnrecognisedMediumIsStampedByItsFirstAndLastMiB) {
  test::TempDir dir("stamp-raw");
  const fs::path raw = dir.Path() / "raw.img";
  std::vector<uint8_t> bytes(4 << 20);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7 + (i >> 9));
  test::WriteFileBytes(raw, bytes);
  const uint64_t before = StampOf(raw, dir.Path() / "logs");
  auto changed = [&](size_t at) {
    std::vector<uint8_t> copy = bytes;
    copy[at] ^= 0x01;
    test::WriteFileBytes(raw, copy);
    return StampOf(raw, dir.Path() / "logs") != before;
  };
  EXPECT_TRUE(changed(0));
  EXPECT_TRUE(changed((1 << 20) - 1));
  EXPECT_TRUE(changed(bytes.size() - (1 << 20)));
  EXPECT_TRUE(changed(bytes.size() - 1));
  EXPECT_FALSE(changed(2 << 20)) << "the middle is not read";
  // A medium shorter than two MiB is read once, whole.
  bytes.resize(3 * 512);
  test::WriteFileBytes(raw, bytes);
  const uint64_t small = StampOf(raw, dir.Path() / "logs");
  bytes[512] ^= 1;
  test::WriteFileBytes(raw, bytes);
  EXPECT_NE(StampOf(raw, dir.Path() / "logs"), small);
}

// A drive letter counts only where the system gives volumes letters.
TEST(PartitionStamp, ADriveLetterWithoutAVolumeLeavesTheContentStamp) {
  test::TempDir dir("stamp-letter");
  MediumCopy fat16(dir, "fat16.img");
  EngineSetup setup;
  setup.logFolder = dir.Path() / "logs";
  auto quick = CreateEngineForImage(fat16.Path(), 0, ScanMode::kQuick, setup);
  ASSERT_NE(quick, nullptr);
  SectorReader reader;
  ASSERT_EQ(OpenImageReader(reader, fat16.Path()), kOk);
  const uint64_t content = ContentStamp(quick.get(), reader, 0, reader.totalSectors, 512);
  uint64_t freeBytes = 0;
#if defined(_WIN32)
  if (platform::DriveLetterFreeSpace(u'C', freeBytes) == kOk) {
    EXPECT_EQ(PartitionStamp(u'C', quick.get(), reader, 0, reader.totalSectors, 512), freeBytes);
  }
#else
  EXPECT_EQ(platform::DriveLetterFreeSpace(u'C', freeBytes), kErrNotSupported);
  EXPECT_EQ(PartitionStamp(u'C', quick.get(), reader, 0, reader.totalSectors, 512), content);
#endif
  EXPECT_EQ(PartitionStamp(0, quick.get(), reader, 0, reader.totalSectors, 512), content);
}

TEST(ImageStamp, IsTheLastWriteTimeAsAFiletime) {
  test::TempDir dir("stamp-image");
  const fs::path image = dir.Path() / "a.img";
  test::WriteFileBytes(image, std::vector<uint8_t>(512, 1));
  // 2024-01-01 00:00:00 UTC as a FILETIME.
  constexpr uint64_t k2024 = 133485408000000000ULL;
  const std::chrono::sys_seconds newYear{
      std::chrono::sys_days{std::chrono::year{2024} / std::chrono::January / 1}};
  const auto when = std::chrono::file_clock::from_sys(newYear);
  fs::last_write_time(image, when);
  EXPECT_EQ(ImageStamp(image), k2024);
  EXPECT_EQ(ImageStamp(dir.Path() / "missing.img"), 0u);
}

}  // namespace
}  // namespace brinvale
