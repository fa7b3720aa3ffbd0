#include "device/image_copy.h"

#include <algorithm>
#include <vector>

#include "common/error_codes.h"
#include "device/sector_reader.h"
#include "platform/clock.h"
#include "platform/disk.h"
#include "platform/file.h"

namespace brinvale {
namespace {

constexpr uint32_t kEstimateIntervalMs = 5000;

}  // namespace

int CopySourceToImage(ImageCopyJob& job, ByteSource& disk, uint32_t bytesPerSector,
                      uint64_t diskBytes, uint64_t start, uint64_t count,
                      const std::filesystem::path& imagePath, void* user) {
  const uint32_t startTick = platform::TickCountMs();
  uint32_t lastEstimate = startTick;
  int secondsLeft = -1;

  job.bytesPerSector = bytesPerSector ? bytesPerSector : 512;
  job.startSector = start;
  job.user = user;
  const uint32_t bps = job.bytesPerSector;
  const uint64_t diskSectors = diskBytes / bps;
  if (count == 0) count = diskSectors > start ? diskSectors - start : 0;
  job.sectorCount = count;

  platform::UniqueHandle image;
  if (int rc = platform::OpenFile(imagePath, platform::OpenMode::kWriteTruncate, image);
      rc != kOk)
    return rc;

  std::vector<uint8_t> buffer;
  try {
    buffer.resize(kReadChunkBytes);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }

  const uint64_t total = count * bps;
  uint64_t remaining = total;
  uint64_t done = 0;
  uint64_t diskOffset = start * bps;
  size_t chunk = kReadChunkBytes;
  while (remaining > 0) {
    if (remaining < chunk) chunk = size_t(remaining);
    size_t got = 0;
    int rc = disk.ReadAt(diskOffset, buffer.data(), chunk, got);
    const size_t whole = got / bps * bps;
    if (rc != kOk || whole == 0) return kErrReadFault;
    for (size_t written = 0; written < whole;) {
      size_t put = 0;
      rc = platform::WriteAt(image, done + written, buffer.data() + written, whole - written,
                             put);
      if (rc != kOk) return rc;
      if (put == 0) return kErrWriteFault;
      written += put;
    }
    diskOffset += whole;
    done += whole;
    remaining -= whole;

    const uint32_t now = platform::TickCountMs();
    if (now - lastEstimate >= kEstimateIntervalMs) {
      uint64_t rate = done / std::max<uint64_t>((now - startTick) / 1000, 1);
      if (rate == 0) rate = 1;
      secondsLeft = int(std::min<uint64_t>((total - done) / rate, INT32_MAX));
      lastEstimate = now;
    }
    if (job.progress) {
      if (int stop = job.progress(user, int(done * 100 / total), done / bps, total / bps,
                                  secondsLeft);
          stop != 0)
        return stop;
    }
  }
  // The last writes may only fail as the image is closed (a network target).
  return image.Close();
}

int CopyDiskToImage(ImageCopyJob& job, int diskNumber, uint64_t start, uint64_t count,
                    const std::filesystem::path& imagePath, void* user) {
  job.bytesPerSector = 512;
  job.startSector = start;
  job.sectorCount = count;
  job.user = user;
  platform::UniqueHandle disk;
  if (int rc = platform::OpenDisk(diskNumber, disk); rc != kOk) return rc;
  platform::DiskGeometry geometry;
  if (int rc = platform::QueryDiskGeometry(disk, geometry); rc != kOk) return rc;
  const uint32_t bps = geometry.bytesPerSector ? geometry.bytesPerSector : 512;
  uint64_t length = 0;
  if (platform::QueryDiskLength(disk, length) != kOk || length == 0)
    length = geometry.cylinders * geometry.tracksPerCylinder * geometry.sectorsPerTrack * bps;
  FileByteSource source(std::move(disk));
  return CopySourceToImage(job, source, bps, length, start, count, imagePath, user);
}

}  // namespace brinvale
