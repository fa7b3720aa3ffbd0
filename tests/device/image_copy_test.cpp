#include "device/image_copy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "common/error_codes.h"
#include "device/sector_reader.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

// Bytes that differ from sector to sector and within each sector.
std::vector<uint8_t> Pattern(size_t bytes) {
  std::vector<uint8_t> v(bytes);
  for (size_t i = 0; i < bytes; ++i) v[i] = uint8_t(i * 13 + i / 512 * 7 + i / 65536);
  return v;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t length) {
  return {v.begin() + ptrdiff_t(from), v.begin() + ptrdiff_t(from + length)};
}

struct Call {
  int percent;
  uint64_t sectorsDone;
  uint64_t totalSectors;
  int secondsLeft;
};

// Records every progress call; returns `stopWith` on call number `stopAt`
// (1-based), 0 otherwise.
struct Recorder {
  std::vector<Call> calls;
  int stopAt = 0;
  int stopWith = 0;

  static int Callback(void* user, int percent, uint64_t done, uint64_t total, int left) {
    auto* self = static_cast<Recorder*>(user);
    self->calls.push_back({percent, done, total, left});
    return int(self->calls.size()) == self->stopAt ? self->stopWith : 0;
  }
};

// A source that fails (with `error`) or comes up empty for reads at or
// after byte `failFrom`, and may stall once before a given read.
class FaultySource final : public ByteSource {
 public:
  FaultySource(std::vector<uint8_t> bytes, uint64_t failFrom, int error)
      : m_memory(std::move(bytes)), m_failFrom(failFrom), m_error(error) {}
  int ReadAt(uint64_t offset, void* buffer, size_t length, size_t& got) override {
    got = 0;
    if (offset >= m_failFrom) return m_error;
    return m_memory.ReadAt(offset, buffer, length, got);
  }

 private:
  MemoryByteSource m_memory;
  uint64_t m_failFrom;
  int m_error;
};

TEST(CopySourceToImage, CopiesARangeByteForByte) {
  const std::vector<uint8_t> disk = Pattern(1 << 20);
  MemoryByteSource source(disk);
  test::TempFile image("range.img");
  ImageCopyJob job;
  EXPECT_EQ(CopySourceToImage(job, source, 512, disk.size(), 10, 300, image.Path(), nullptr), kOk);
  EXPECT_EQ(test::ReadFileBytes(image.Path()), Slice(disk, 10 * 512, 300 * 512));
  EXPECT_EQ(job.startSector, 10u);
  EXPECT_EQ(job.sectorCount, 300u);
  EXPECT_EQ(job.bytesPerSector, 512u);
}

TEST(CopySourceToImage, CountZeroCopiesFromStartToTheEnd) {
  // 2,000 whole sectors and a 100-byte tail that is no sector.
  const std::vector<uint8_t> disk = Pattern(2000 * 512 + 100);
  MemoryByteSource source(disk);
  test::TempFile image("tail.img");
  ImageCopyJob job;
  EXPECT_EQ(CopySourceToImage(job, source, 512, disk.size(), 1500, 0, image.Path(), nullptr), kOk);
  EXPECT_EQ(job.sectorCount, 500u) << "count 0 is replaced by the sectors left";
  EXPECT_EQ(test::ReadFileBytes(image.Path()), Slice(disk, 1500 * 512, 500 * 512));
}

TEST(CopySourceToImage, StartAtTheEndCopiesNothing) {
  const std::vector<uint8_t> disk = Pattern(64 * 512);
  MemoryByteSource source(disk);
  test::TempFile image("empty.img");
  ImageCopyJob job;
  Recorder recorder;
  job.progress = Recorder::Callback;
  EXPECT_EQ(CopySourceToImage(job, source, 512, disk.size(), 64, 0, image.Path(), &recorder), kOk);
  EXPECT_EQ(job.sectorCount, 0u);
  EXPECT_TRUE(std::filesystem::exists(image.Path()));
  EXPECT_EQ(std::filesystem::file_size(image.Path()), 0u);
  EXPECT_TRUE(recorder.calls.empty());
}

// Overwriting an older, longer image must not leave its tail behind the copy:
// the result would be a different disk than the one copied.
TEST(CopySourceToImage, LongerExistingImageIsTruncated) {
  const std::vector<uint8_t> disk = Pattern(256 * 512);
  MemoryByteSource source(disk);
  test::TempFile image("old.img");
  test::WriteFileBytes(image.Path(), std::vector<uint8_t>(1 << 20, 0xEE));
  ImageCopyJob job;
  EXPECT_EQ(CopySourceToImage(job, source, 512, disk.size(), 0, 256, image.Path(), nullptr), kOk);
  EXPECT_EQ(test::ReadFileBytes(image.Path()), disk);
}

TEST(CopySourceToImage, ReportsAfterEvery64KiBChunk) {
  // 1 MiB less one sector: fifteen whole chunks and a shorter last one.
  const uint64_t sectors = 2048 - 1;
  const std::vector<uint8_t> disk = Pattern(2048 * 512);
  MemoryByteSource source(disk);
  test::TempFile image("progress.img");
  ImageCopyJob job;
  Recorder recorder;
  job.progress = Recorder::Callback;
  ASSERT_EQ(CopySourceToImage(job, source, 512, disk.size(), 1, sectors, image.Path(), &recorder),
            kOk);
  ASSERT_EQ(recorder.calls.size(), 16u);
  for (size_t i = 0; i < 15; ++i) {
    const uint64_t done = (i + 1) * 128;
    EXPECT_EQ(recorder.calls[i].sectorsDone, done);
    EXPECT_EQ(recorder.calls[i].totalSectors, sectors);
    EXPECT_EQ(recorder.calls[i].percent, int(done * 100 / sectors));
    EXPECT_EQ(recorder.calls[i].secondsLeft, -1) << "no estimate within the first 5 s";
  }
  EXPECT_EQ(recorder.calls.back().sectorsDone, sectors);
  EXPECT_EQ(recorder.calls.back().percent, 100);
  EXPECT_EQ(test::ReadFileBytes(image.Path()), Slice(disk, 512, sectors * 512));
}

// The one slow test here: the estimate appears only after 5 seconds.
TEST(CopySourceToImage, SecondsLeftAppearOnceFiveSecondsHavePassed) {
  class StallingSource final : public ByteSource {
   public:
    explicit StallingSource(std::vector<uint8_t> bytes) : m_memory(std::move(bytes)) {}
    int ReadAt(uint64_t offset, void* buffer, size_t length, size_t& got) override {
      if (offset == 65536) std::this_thread::sleep_for(std::chrono::milliseconds(5100));
      return m_memory.ReadAt(offset, buffer, length, got);
    }

   private:
    MemoryByteSource m_memory;
  };
  // Four chunks; the second read stalls 5.1 s.
  StallingSource source(Pattern(4 * 65536));
  test::TempFile image("estimate.img");
  ImageCopyJob job;
  Recorder recorder;
  job.progress = Recorder::Callback;
  ASSERT_EQ(CopySourceToImage(job, source, 512, 4 * 65536, 0, 0, image.Path(), &recorder), kOk);
  ASSERT_EQ(recorder.calls.size(), 4u);
  EXPECT_EQ(recorder.calls[0].secondsLeft, -1);
  // After 128 KiB in about 5 s, the 128 KiB left take about 5 s more.
  EXPECT_GE(recorder.calls[1].secondsLeft, 4);
  EXPECT_LE(recorder.calls[1].secondsLeft, 6);
  // The estimate stays until the next 5 seconds have passed.
  EXPECT_EQ(recorder.calls[2].secondsLeft, recorder.calls[1].secondsLeft);
}

TEST(CopySourceToImage, NonZeroCallbackValueStopsTheCopyAndIsReturned) {
  const std::vector<uint8_t> disk = Pattern(1 << 20);
  for (int stopValue : {kCancelled, 1, 42}) {
    SCOPED_TRACE(stopValue);
    MemoryByteSource source(disk);
    test::TempFile image("stop.img");
    ImageCopyJob job;
    Recorder recorder;
    recorder.stopAt = 3;
    recorder.stopWith = stopValue;
    job.progress = Recorder::Callback;
    EXPECT_EQ(CopySourceToImage(job, source, 512, disk.size(), 0, 0, image.Path(), &recorder),
              stopValue);
    EXPECT_EQ(recorder.calls.size(), 3u) << "no chunk after the stop";
    EXPECT_EQ(test::ReadFileBytes(image.Path()), Slice(disk, 0, 3 * 65536))
        << "what was copied before the stop stays";
  }
}

TEST(CopySourceToImage, FailingReadGivesReadFault) {
  const std::vector<uint8_t> disk = Pattern(1 << 20);
  for (int error : {kErrAccessDenied, kErrIoDevice, kErrReadFault}) {
    SCOPED_TRACE(error);
    FaultySource source(disk, 2 * 65536, error);
    test::TempFile image("fail.img");
    ImageCopyJob job;
    EXPECT_EQ(CopySourceToImage(job, source, 512, disk.size(), 0, 0, image.Path(), nullptr),
              kErrReadFault);
    EXPECT_EQ(test::ReadFileBytes(image.Path()), Slice(disk, 0, 2 * 65536));
  }
}

TEST(CopySourceToImage, SourceEndingEarlyGivesReadFault) {
  // The caller believes the disk is 1 MiB; only 300 sectors and a part
  // sector arrive.
  const std::vector<uint8_t> disk = Pattern(300 * 512 + 200);
  MemoryByteSource source(disk);
  test::TempFile image("short.img");
  ImageCopyJob job;
  EXPECT_EQ(CopySourceToImage(job, source, 512, 1 << 20, 0, 0, image.Path(), nullptr),
            kErrReadFault);
  EXPECT_EQ(test::ReadFileBytes(image.Path()), Slice(disk, 0, 300 * 512));
}

TEST(CopySourceToImage, Copies4096ByteSectors) {
  const std::vector<uint8_t> disk = Pattern(64 * 4096);
  MemoryByteSource source(disk);
  test::TempFile image("4k.img");
  ImageCopyJob job;
  Recorder recorder;
  job.progress = Recorder::Callback;
  ASSERT_EQ(CopySourceToImage(job, source, 4096, disk.size(), 3, 40, image.Path(), &recorder), kOk);
  EXPECT_EQ(job.bytesPerSector, 4096u);
  EXPECT_EQ(test::ReadFileBytes(image.Path()), Slice(disk, 3 * 4096, 40 * 4096));
  // 64 KiB is 16 sectors of 4 KiB.
  ASSERT_EQ(recorder.calls.size(), 3u);
  EXPECT_EQ(recorder.calls[0].sectorsDone, 16u);
  EXPECT_EQ(recorder.calls[1].sectorsDone, 32u);
  EXPECT_EQ(recorder.calls[2].sectorsDone, 40u);
  EXPECT_EQ(recorder.calls[2].totalSectors, 40u);
  EXPECT_EQ(recorder.calls[0].percent, 40);
}

TEST(CopySourceToImage, ZeroSectorSizeCountsAs512) {
  const std::vector<uint8_t> disk = Pattern(16 * 512);
  MemoryByteSource source(disk);
  test::TempFile image("bps0.img");
  ImageCopyJob job;
  EXPECT_EQ(CopySourceToImage(job, source, 0, disk.size(), 2, 4, image.Path(), nullptr), kOk);
  EXPECT_EQ(job.bytesPerSector, 512u);
  EXPECT_EQ(test::ReadFileBytes(image.Path()), Slice(disk, 2 * 512, 4 * 512));
}

TEST(CopySourceToImage, UnwritableTargetFailsBeforeReading) {
  const std::vector<uint8_t> disk = Pattern(16 * 512);
  FaultySource source(disk, 0, kErrIoDevice);  // any read would fail with 30
  ImageCopyJob job;
  const int rc = CopySourceToImage(job, source, 512, disk.size(), 0, 0,
                                   "/nonexistent-brinvale-folder/out.img", nullptr);
  EXPECT_NE(rc, kOk);
  EXPECT_NE(rc, kErrReadFault);
}

// ---- the reader over the real images ----

TEST(OpenImageReader, ReadsTheFixtureImagesAsTheyAre) {
  for (const char* name : {"fat12.img", "fat16.img", "fat32.img", "sample.img"}) {
    SCOPED_TRACE(name);
    const auto path = test::FixturePath(name);
    const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    ASSERT_FALSE(bytes.empty());
    SectorReader reader;
    ASSERT_EQ(OpenImageReader(reader, path), kOk);
    EXPECT_EQ(reader.totalSectors, bytes.size() / 512);
    std::vector<uint8_t> buffer(bytes.size());
    uint32_t got = 0;
    ASSERT_EQ(ReadSectors(uint32_t(reader.totalSectors), reader, buffer.data(), 0, 512, got), kOk);
    EXPECT_EQ(got, reader.totalSectors);
    EXPECT_TRUE(buffer == bytes);
    EXPECT_EQ(buffer[510], 0x55);
    EXPECT_EQ(buffer[511], 0xAA);
    EXPECT_EQ(ReadSectors(1, reader, buffer.data(), reader.totalSectors, 512, got),
              kErrInvalidParameter);
    CloseReader(reader);
    EXPECT_FALSE(reader.IsOpen());
  }
}

}  // namespace
}  // namespace brinvale
