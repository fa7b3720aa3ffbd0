#include "engines/ntfs/file_record.h"

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/ntfs/fixups.h"
#include "engines/ntfs/ntfs_layout.h"

namespace brinvale {

int ReadRecord(const NtfsVolume& volume, SectorReader& reader, uint64_t sector,
               std::span<uint8_t> buffer) {
  if (volume.recordSize == 0 || buffer.size() < volume.recordSize ||
      volume.sectorsPerRecord * volume.bytesPerSector != volume.recordSize)
    return kErrInvalidParameter;
  uint32_t got = 0;
  return ReadSectors(volume.sectorsPerRecord, reader, buffer.data(), sector, volume.bytesPerSector,
                     got);
}

int LoadFileRecord(const NtfsVolume& volume, SectorReader& reader, uint64_t sector,
                   std::vector<uint8_t>& record) {
  record.assign(volume.recordSize, 0);
  if (int rc = ReadRecord(volume, reader, sector, record); rc != kOk) return rc;
  if (!HasFileSignature(record)) return ntfs::kNotFileRecord;
  ApplyFixups(record, volume.recordSize);
  return kOk;
}

bool HasFileSignature(std::span<const uint8_t> record) {
  return record.size() >= ntfs::record::kHeaderBytes &&
         LoadLe32(record, ntfs::record::kSignatureAt) == ntfs::record::kSignature;
}

uint16_t RecordFlags(std::span<const uint8_t> record) {
  return LoadLe16(record, ntfs::record::kFlags);
}

uint16_t FirstAttributeOffset(std::span<const uint8_t> record) {
  return LoadLe16(record, ntfs::record::kFirstAttribute);
}

uint32_t BytesInUse(std::span<const uint8_t> record) {
  return LoadLe32(record, ntfs::record::kBytesInUse);
}

uint32_t RecordNumberOf(std::span<const uint8_t> record) {
  return LoadLe32(record, ntfs::record::kRecordNumber);
}

uint64_t BaseRecordNumberOf(std::span<const uint8_t> record) {
  return LoadLe64(record, ntfs::record::kBaseRecord) & ntfs::kRecordNumberMask;
}

}  // namespace brinvale
