#pragma once

#include <cstdint>
#include <span>

#include "device/sector_reader.h"
#include "engines/ntfs/run_list.h"

// The facts of one NTFS volume that the NTFS engines read it by.
namespace brinvale {

// One per NTFS engine, owned by it. Sector numbers count the volume's own
// sectors (bytes per sector) from the start of the disk or image.
struct NtfsVolume {
  uint64_t startSector = 0;  // first sector of the volume; 0 for an image file
  uint64_t sectorCount = 0;  // sectors of the volume
  char16_t driveLetter = 0;  // copied into every scan-log record
  uint32_t bytesPerSector = 512;
  uint32_t sectorsPerCluster = 0;
  uint64_t mftStartSector = 0;  // absolute sector of $MFT's record 0
  uint32_t recordSize = 1024;   // 1,024 on 512-byte sectors, else one sector
  uint32_t sectorsPerRecord = 2;
  RunList mftRuns;  // the runs of $MFT's $DATA

  uint32_t ClusterBytes() const { return bytesPerSector * sectorsPerCluster; }
};

// Sets the sector size and the record geometry that follows from it alone
// (the boot sector's clusters-per-record field is not used). Returns false,
// leaving `volume` unchanged, for a size that is not 512, 1,024, 2,048 or
// 4,096 bytes.
bool SetSectorSize(NtfsVolume& volume, uint32_t bytesPerSector);

// Takes bytes per sector (0 read as 512), sectors per cluster and the $MFT
// start from a boot sector of at least 512 bytes, with `volume.startSector`
// already set. Returns 0, or 87 when a field is out of range: a sector size
// SetSectorSize refuses, a sectors-per-cluster byte of 0 or 0x81 to 0xE0, a
// cluster over 2 MiB, or an $MFT start that does not fit in 64 bits. That
// byte holds 1 to 128 as the count, 0xE1 to 0xFF as 2 to the power of minus
// the byte read as a signed value.
int ParseNtfsBootSector(std::span<const uint8_t> boot, NtfsVolume& volume);

// Reads the 4,096 bytes at `startSector` (counted in `mediumBytesPerSector`
// sectors) and sets up `volume` from them: start and count are restated in
// the volume's own sectors. Borrows `reader` for the call. Returns 0, the
// read's error (87 past the end, 30 for a short read), or 87 for a boot
// sector ParseNtfsBootSector refuses or a start that is not a whole number
// of the volume's sectors.
int ReadNtfsBootSector(SectorReader& reader, uint64_t startSector, uint64_t sectorCount,
                       uint32_t mediumBytesPerSector, char16_t driveLetter, NtfsVolume& volume);

// Reads the runs of $MFT's $DATA from record 0 at `volume.mftStartSector`
// into `volume.mftRuns` (replacing them). Returns 0, -1 when record 0 is not
// a FILE record, -100 when it has no $DATA runs, or the read's error.
int ReadMftRunList(NtfsVolume& volume, SectorReader& reader);

// ReadNtfsBootSector then ReadMftRunList; returns the first failure. An
// engine that opens with a missing MFT run list calls the two itself.
int OpenNtfsVolume(SectorReader& reader, uint64_t startSector, uint64_t sectorCount,
                   uint32_t mediumBytesPerSector, char16_t driveLetter, NtfsVolume& volume);

}  // namespace brinvale
