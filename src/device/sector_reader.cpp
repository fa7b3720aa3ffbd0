#include "device/sector_reader.h"

#include <algorithm>

#include "common/error_codes.h"
#include "platform/disk.h"

namespace brinvale {

int OpenDiskReader(SectorReader& reader, int diskNumber) {
  CloseReader(reader);
  platform::UniqueHandle disk;
  if (int rc = platform::OpenDisk(diskNumber, disk); rc != kOk) return rc;
  platform::DiskGeometry geometry;
  int geometryResult = platform::QueryDiskGeometry(disk, geometry);
  auto source = std::make_unique<FileByteSource>(std::move(disk));
  const platform::UniqueHandle& handle = source->Handle();
  reader.source = std::move(source);
  if (geometryResult != kOk) return geometryResult;
  const uint32_t bps = geometry.bytesPerSector ? geometry.bytesPerSector : 512;
  uint64_t length = 0;
  if (platform::QueryDiskLength(handle, length) == kOk) reader.totalSectors = length / bps;
  if (reader.totalSectors == 0)
    reader.totalSectors =
        geometry.cylinders * geometry.tracksPerCylinder * geometry.sectorsPerTrack;
  return kOk;
}

int OpenImageReader(SectorReader& reader, const std::filesystem::path& path) {
  CloseReader(reader);
  platform::UniqueHandle file;
  if (int rc = platform::OpenFile(path, platform::OpenMode::kReadExisting, file); rc != kOk)
    return rc;
  uint64_t size = 0;
  int rc = platform::FileSizeOf(file, size);
  reader.source = std::make_unique<FileByteSource>(std::move(file));
  if (rc != kOk) return rc;
  reader.totalSectors = size / 512;
  return kOk;
}

void OpenSourceReader(SectorReader& reader, std::unique_ptr<ByteSource> source,
                      uint64_t totalSectors) {
  reader.source = std::move(source);
  reader.totalSectors = reader.source ? totalSectors : 0;
}

int ReadSectors(uint32_t count, SectorReader& reader, void* buffer, uint64_t start,
                uint32_t bytesPerSector, uint32_t& sectorsRead) {
  if (!reader.source) return kErrInvalidHandle;
  if (bytesPerSector == 0) return kErrInvalidParameter;
  // start + count > total, without wrapping at the top of the 64-bit range.
  if (start > reader.totalSectors || count > reader.totalSectors - start)
    return kErrInvalidParameter;
  const uint64_t offset = start * bytesPerSector;
  uint64_t remaining = uint64_t(count) * bytesPerSector;
  uint64_t done = 0;
  int result = kOk;
  auto* out = static_cast<uint8_t*>(buffer);
  while (remaining > 0) {
    const size_t chunk = size_t(std::min<uint64_t>(remaining, kReadChunkBytes));
    size_t got = 0;
    int rc = reader.source->ReadAt(offset + done, out + done, chunk, got);
    if (rc != kOk || got == 0) {
      result = kErrReadFault;
      break;
    }
    done += got;
    remaining -= got;
  }
  sectorsRead = uint32_t(done / bytesPerSector);
  return result;
}

void CloseReader(SectorReader& reader) {
  reader.source.reset();
  reader.totalSectors = 0;
}

uint32_t QueryBytesPerSector(const platform::UniqueHandle& disk) {
  platform::DiskGeometry geometry;
  if (platform::QueryDiskGeometry(disk, geometry) != kOk || geometry.bytesPerSector == 0)
    return 512;
  return geometry.bytesPerSector;
}

void FlushVolume(char16_t driveLetter) { platform::FlushVolumeLetter(driveLetter); }

}  // namespace brinvale
