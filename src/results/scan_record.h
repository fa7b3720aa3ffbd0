#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/bytes.h"

namespace brinvale {

// The 346-byte record of one found file or folder, as engines append it to
// their scan logs and hand it out in lists. Little-endian, no padding:
//
//   offset size field
//     0     2  source key: drive letter, or the tag of an image source
//     2     4  engine code (EngineCode)
//     6     4  1 folder, 0 file
//    10     4  folder records of FAT engines: deleted, or inside a deleted folder
//    14     4  content check: 1 agrees with the extension or no test applies
//    18     4  the record's own number, 1-based
//    22     4  entry key: first cluster (FAT) or MFT record number (NTFS)
//    26     4  bytes per cluster
//    30     8  creation FILETIME
//    38     8  last access FILETIME (midnight)
//    46     8  last write FILETIME
//    54     8  file size in bytes (0 for folders)
//    62     8  FAT: first data sector of the volume, relative to its start
//    70     8  absolute sector of the item's metadata (entry or MFT record)
//    78     8  partition start sector, absolute on the disk
//    86   260  name, UTF-8, NUL-terminated; a deleted FAT entry's 0xE5 is "!"
namespace rec {
inline constexpr size_t kSourceKey = 0;
inline constexpr size_t kEngine = 2;
inline constexpr size_t kIsFolder = 6;
inline constexpr size_t kDeleted = 10;
inline constexpr size_t kContentCheck = 14;
inline constexpr size_t kNumber = 18;
inline constexpr size_t kEntryKey = 22;
inline constexpr size_t kClusterBytes = 26;
inline constexpr size_t kCreated = 30;
inline constexpr size_t kAccessed = 38;
inline constexpr size_t kWritten = 46;
inline constexpr size_t kFileSize = 54;
inline constexpr size_t kFirstDataSector = 62;
inline constexpr size_t kMetadataSector = 70;
inline constexpr size_t kPartitionStart = 78;
inline constexpr size_t kName = 86;
inline constexpr size_t kNameBytes = 260;
inline constexpr size_t kSize = 346;
static_assert(kName + kNameBytes == kSize);
}  // namespace rec

enum class EngineCode : uint32_t {
  kQuickNtfs = 0,
  kQuickFat = 1,
  kFormattedNtfs = 2,
  kFormattedFat = 3,
  kContent = 4,
};

class ScanRecord {
 public:
  static constexpr size_t kSize = rec::kSize;

  ScanRecord() { m_bytes.fill(0); }
  // A record from its 346 stored bytes; `bytes` must hold at least kSize.
  static ScanRecord FromBytes(std::span<const uint8_t> bytes);

  std::span<const uint8_t, kSize> Bytes() const { return m_bytes; }
  std::span<uint8_t, kSize> MutableBytes() { return m_bytes; }

  char16_t SourceKey() const { return char16_t(LoadLe16(m_bytes, rec::kSourceKey)); }
  void SetSourceKey(char16_t v) { StoreLe16(m_bytes, rec::kSourceKey, uint16_t(v)); }

  EngineCode Engine() const { return EngineCode(LoadLe32(m_bytes, rec::kEngine)); }
  uint32_t EngineValue() const { return LoadLe32(m_bytes, rec::kEngine); }
  void SetEngine(EngineCode v) { StoreLe32(m_bytes, rec::kEngine, uint32_t(v)); }

  bool IsFolder() const { return LoadLe32(m_bytes, rec::kIsFolder) == 1; }
  void SetIsFolder(bool v) { StoreLe32(m_bytes, rec::kIsFolder, v ? 1 : 0); }

  uint32_t Deleted() const { return LoadLe32(m_bytes, rec::kDeleted); }
  void SetDeleted(uint32_t v) { StoreLe32(m_bytes, rec::kDeleted, v); }

  uint32_t ContentCheck() const { return LoadLe32(m_bytes, rec::kContentCheck); }
  void SetContentCheck(uint32_t v) { StoreLe32(m_bytes, rec::kContentCheck, v); }

  uint32_t Number() const { return LoadLe32(m_bytes, rec::kNumber); }
  void SetNumber(uint32_t v) { StoreLe32(m_bytes, rec::kNumber, v); }

  uint32_t EntryKey() const { return LoadLe32(m_bytes, rec::kEntryKey); }
  void SetEntryKey(uint32_t v) { StoreLe32(m_bytes, rec::kEntryKey, v); }

  uint32_t ClusterBytes() const { return LoadLe32(m_bytes, rec::kClusterBytes); }
  void SetClusterBytes(uint32_t v) { StoreLe32(m_bytes, rec::kClusterBytes, v); }

  uint64_t Created() const { return LoadLe64(m_bytes, rec::kCreated); }
  void SetCreated(uint64_t v) { StoreLe64(m_bytes, rec::kCreated, v); }
  uint64_t Accessed() const { return LoadLe64(m_bytes, rec::kAccessed); }
  void SetAccessed(uint64_t v) { StoreLe64(m_bytes, rec::kAccessed, v); }
  uint64_t Written() const { return LoadLe64(m_bytes, rec::kWritten); }
  void SetWritten(uint64_t v) { StoreLe64(m_bytes, rec::kWritten, v); }

  uint64_t FileSize() const { return LoadLe64(m_bytes, rec::kFileSize); }
  void SetFileSize(uint64_t v) { StoreLe64(m_bytes, rec::kFileSize, v); }

  uint64_t FirstDataSector() const { return LoadLe64(m_bytes, rec::kFirstDataSector); }
  void SetFirstDataSector(uint64_t v) { StoreLe64(m_bytes, rec::kFirstDataSector, v); }

  uint64_t MetadataSector() const { return LoadLe64(m_bytes, rec::kMetadataSector); }
  void SetMetadataSector(uint64_t v) { StoreLe64(m_bytes, rec::kMetadataSector, v); }

  uint64_t PartitionStart() const { return LoadLe64(m_bytes, rec::kPartitionStart); }
  void SetPartitionStart(uint64_t v) { StoreLe64(m_bytes, rec::kPartitionStart, v); }

  // The name up to its NUL (at most 259 bytes).
  std::string_view Name() const;
  // Stores `name`, cut to 259 bytes at a UTF-8 character boundary so that a
  // character is never split, and NUL-terminates it; the rest is zeroed.
  void SetName(std::string_view name);

  // The absolute sector where cluster `cluster` of this record's volume
  // starts: partition start + first data sector + (cluster - 2) x sectors
  // per cluster. Sector size is the caller's.
  uint64_t ClusterToSector(uint64_t cluster, uint32_t bytesPerSector) const;

 private:
  std::array<uint8_t, kSize> m_bytes;
};

// Cuts UTF-8 text to at most `maxBytes` bytes without splitting a character.
std::string_view CutUtf8(std::string_view text, size_t maxBytes);

}  // namespace brinvale
