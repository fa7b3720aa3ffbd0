#include "output/image_job.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "common/error_codes.h"
#include "device/byte_source.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Pattern(size_t bytes) {
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = uint8_t(i * 31 + i / 4096);
  return data;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

// A copier that copies sectors of a disk in memory, as CopyDiskToImage does
// for a real disk.
CImageJob::Copier MemoryCopier(const std::vector<uint8_t>& disk) {
  return [&disk](ImageCopyJob& job, const ImageSource& source, const fs::path& image, void* user) {
    MemoryByteSource bytes{std::span<const uint8_t>(disk)};
    return CopySourceToImage(job, bytes, 512, disk.size(), source.startSector, source.sectorCount,
                             image, user);
  };
}

// A per-test file: CTest runs the tests of this file side by side.
struct TempImage {
  fs::path path = fs::temp_directory_path() /
                  (std::string("brinvale_image_job_") +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".img");
  ~TempImage() { fs::remove(path); }
};

ImageSource SectorRun(uint64_t start, uint64_t count) {
  ImageSource source;
  source.kind = ImageSource::Kind::kPartition;
  source.diskNumber = 0;
  source.startSector = start;
  source.sectorCount = count;
  return source;
}

TEST(ImageJob, CopiesThePartitionAndReportsEveryChunk) {
  const std::vector<uint8_t> disk = Pattern(1 << 20);  // 2048 sectors
  TempImage image;
  CImageJob job(SectorRun(100, 1000), image.path, MemoryCopier(disk));
  std::vector<ImageProgress> seen;
  job.SetObserver([&](const ImageProgress& p) { seen.push_back(p); });
  EXPECT_EQ(job.Run(), kOk);
  EXPECT_TRUE(job.Finished());
  EXPECT_EQ(job.CloseCode(), 1);
  // 1000 sectors are 512,000 bytes: seven 64 KiB chunks and a short one.
  ASSERT_EQ(seen.size(), 8u);
  EXPECT_EQ(seen[0].sectorsDone, 128u);
  EXPECT_EQ(seen[0].percent, 12);
  EXPECT_EQ(seen[0].secondsLeft, -1);
  EXPECT_EQ(seen.back().percent, 100);
  EXPECT_EQ(seen.back().sectorsDone, 1000u);
  EXPECT_EQ(seen.back().totalSectors, 1000u);
  EXPECT_EQ(job.Progress().sectorsDone, 1000u);
  const std::vector<uint8_t> copied = ReadAll(image.path);
  EXPECT_EQ(copied, std::vector<uint8_t>(disk.begin() + 100 * 512, disk.begin() + 1100 * 512));
}

TEST(ImageJob, CancelFromTheObserverStopsAfterThatChunkAndKeepsThePartialFile) {
  const std::vector<uint8_t> disk = Pattern(1 << 20);
  TempImage image;
  CImageJob job(SectorRun(0, 2048), image.path, MemoryCopier(disk));
  int calls = 0;
  job.SetObserver([&](const ImageProgress&) {
    if (++calls == 3) job.RequestCancel();
  });
  EXPECT_EQ(job.Run(), kCancelled);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(job.CloseCode(), 2);
  EXPECT_EQ(fs::file_size(image.path), 3u * 65536);
}

TEST(ImageJob, CancelRequestedEarlyStopsAtTheFirstProgressCall) {
  const std::vector<uint8_t> disk = Pattern(1 << 20);
  TempImage image;
  CImageJob job(SectorRun(0, 2048), image.path, MemoryCopier(disk));
  job.RequestCancel();
  bool observed = false;
  job.SetObserver([&](const ImageProgress&) { observed = true; });
  EXPECT_EQ(job.Run(), kCancelled);
  EXPECT_FALSE(observed);
  EXPECT_EQ(job.Progress().sectorsDone, 0u);
}

TEST(ImageJob, AReadFailureClosesWithCodeThree) {
  const std::vector<uint8_t> disk = Pattern(64 * 512);
  TempImage image;
  // Ten sectors more than the disk has: the read past the end fails.
  CImageJob job(SectorRun(0, 74), image.path, MemoryCopier(disk));
  EXPECT_EQ(job.Run(), kErrReadFault);
  EXPECT_EQ(job.CloseCode(), 3);
  EXPECT_EQ(fs::file_size(image.path), 64u * 512);
}

TEST(ImageJobCloseCode, MapsResults) {
  EXPECT_EQ(ImageJobCloseCode(kOk), 1);
  EXPECT_EQ(ImageJobCloseCode(kCancelled), 2);
  EXPECT_EQ(ImageJobCloseCode(kErrWriteFault), 3);
  EXPECT_EQ(ImageJobCloseCode(1), 3);
}

TEST(CopyImageSource, ImageFileIsCopiedInWhole512ByteSectors) {
  const auto source = fs::temp_directory_path() / "brinvale_image_job_source.img";
  const std::vector<uint8_t> bytes = Pattern(100 * 512 + 300);
  std::ofstream(source, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  TempImage image;
  ImageSource file;
  file.kind = ImageSource::Kind::kImageFile;
  file.imageFile = source;
  uint64_t size = 0;
  EXPECT_EQ(ImageSourceBytes(file, size), kOk);
  EXPECT_EQ(size, 100u * 512);
  CImageJob job(file, image.path);
  EXPECT_EQ(job.Run(), kOk);
  EXPECT_EQ(ReadAll(image.path), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 100 * 512));
  fs::remove(source);
}

TEST(CopyImageSource, SourcesWithoutADiskAreRefused) {
  TempImage image;
  ImageCopyJob copy;
  ImageSource whole;
  whole.kind = ImageSource::Kind::kWholeDisk;
  whole.diskNumber = -1;
  EXPECT_EQ(CopyImageSource(copy, whole, image.path, nullptr), kErrInvalidParameter);
  ImageSource empty = SectorRun(0, 0);
  EXPECT_EQ(CopyImageSource(copy, empty, image.path, nullptr), kErrInvalidParameter);
  EXPECT_FALSE(fs::exists(image.path));
}

}  // namespace
}  // namespace brinvale
