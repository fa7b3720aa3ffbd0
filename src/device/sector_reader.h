#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "device/byte_source.h"

// Raw sector access to a whole disk or an image file. Sector numbers are
// absolute on the disk (or counted from the start of the image file); the
// byte offset is sector x bytes per sector in 64 bits. Media are opened for
// reading only: nothing here ever writes to a disk or an image.
namespace brinvale {

// One engine's reader: the open medium and its number of sectors. Closed
// (no source, 0 sectors) until an Open* call succeeds.
struct SectorReader {
  std::unique_ptr<ByteSource> source;
  uint64_t totalSectors = 0;

  SectorReader() = default;
  SectorReader(SectorReader&&) = default;
  SectorReader& operator=(SectorReader&&) = default;
  SectorReader(const SectorReader&) = delete;
  SectorReader& operator=(const SectorReader&) = delete;

  bool IsOpen() const { return source != nullptr; }
};

// The largest single read asked of the system.
inline constexpr size_t kReadChunkBytes = 65536;

// Opens whole disk `diskNumber`. The total comes from the disk's byte length
// over its sector size, or from cylinders x tracks x sectors when the length
// cannot be had. A geometry failure is returned with the disk left open in
// the reader; a length failure is not.
int OpenDiskReader(SectorReader& reader, int diskNumber);

// Opens an image file. Image files always count 512-byte sectors: total =
// file size / 512, remainder dropped.
int OpenImageReader(SectorReader& reader, const std::filesystem::path& path);

// Makes `reader` read from `source`, `totalSectors` long (tests, fuzzing,
// and sources opened elsewhere).
void OpenSourceReader(SectorReader& reader, std::unique_ptr<ByteSource> source,
                      uint64_t totalSectors);

// Reads `count` sectors of `bytesPerSector` bytes from `start` into `buffer`,
// which must hold count x bytesPerSector bytes.
// Returns 0; 87 when start + count passes the end (nothing read, `sectorsRead`
// untouched); 30 when a read fails or returns no bytes, with `sectorsRead`
// the whole sectors that arrived.
int ReadSectors(uint32_t count, SectorReader& reader, void* buffer, uint64_t start,
                uint32_t bytesPerSector, uint32_t& sectorsRead);

// Closes the medium; the reader is closed afterwards.
void CloseReader(SectorReader& reader);

// The sector size of an open disk, 512 when it cannot be learnt.
uint32_t QueryBytesPerSector(const platform::UniqueHandle& disk);

// Flushes a mounted volume's cached data to the medium; failures ignored.
void FlushVolume(char16_t driveLetter);

}  // namespace brinvale
