#pragma once

// A small FAT32 volume built byte by byte in memory, for cases no tool
// makes on purpose: lost high cluster words, looping chains, folder cycles.
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "common/bytes.h"
#include "device/byte_source.h"
#include "engines/fat/fat_entry_builder.h"

namespace brinvale::testing {

class Fat32Volume {
 public:
  static constexpr uint32_t kBytesPerSector = 512;
  static constexpr uint32_t kReserved = 32;
  static constexpr uint32_t kRootCluster = 2;

  // `clusters` data clusters of `sectorsPerCluster` sectors; one FAT.
  Fat32Volume(uint32_t clusters, uint8_t sectorsPerCluster)
      : m_spc(sectorsPerCluster),
        m_fatSectors((uint64_t(clusters) + 2) * 4 / kBytesPerSector + 1),
        m_total(kReserved + m_fatSectors + uint64_t(clusters) * sectorsPerCluster),
        m_bytes(m_total * kBytesPerSector, 0) {
    std::span<uint8_t> b(m_bytes);
    b[0] = 0xEB, b[1] = 0x58, b[2] = 0x90;     // jump
    std::memcpy(&b[3], "MSWIN4.1", 8);         // OEM name
    StoreLe16(b, 11, kBytesPerSector);         // bytes per sector
    b[13] = sectorsPerCluster;                 // sectors per cluster
    StoreLe16(b, 14, kReserved);               // reserved sectors
    b[16] = 1;                                 // FAT count
    StoreLe16(b, 17, 0);                       // root entries: none on FAT32
    b[21] = 0xF8;                              // media
    StoreLe32(b, 32, uint32_t(m_total));       // total sectors
    StoreLe32(b, 36, uint32_t(m_fatSectors));  // sectors per FAT
    StoreLe32(b, 44, kRootCluster);            // root cluster
    std::memcpy(&b[82], "FAT32   ", 8);        // file system type
    b[510] = 0x55, b[511] = 0xAA;              // signature
    SetFat(0, 0x0FFFFFF8);                     // media entry
    SetFat(1, 0x0FFFFFFF);                     // reserved entry
    SetFat(kRootCluster, 0x0FFFFFFF);          // the root: one cluster
  }

  // Moves the root folder to `cluster` (FAT32 allows any cluster).
  void SetRootCluster(uint32_t cluster) {
    SetFat(kRootCluster, 0);
    StoreLe32(m_bytes, 44, cluster);  // root cluster
    SetFat(cluster, 0x0FFFFFFF);
  }

  void SetFat(uint32_t cluster, uint32_t value) {
    StoreLe32(m_bytes, kReserved * kBytesPerSector + size_t(cluster) * 4, value);
  }
  uint64_t FirstDataSector() const { return kReserved + m_fatSectors; }
  uint32_t ClusterBytes() const { return m_spc * kBytesPerSector; }
  std::span<uint8_t> Cluster(uint32_t cluster) {
    const size_t at = size_t((FirstDataSector() + uint64_t(cluster - 2) * m_spc) * kBytesPerSector);
    return std::span<uint8_t>(m_bytes).subspan(at, ClusterBytes());
  }
  // Puts `entry` as the `index`th entry of `cluster`.
  void Put(uint32_t cluster, size_t index, const Entry& entry) {
    std::memcpy(Cluster(cluster).data() + index * 32, entry.data(), 32);
  }
  // Starts folder `cluster` with its "." and ".." entries.
  void StartFolder(uint32_t cluster, uint32_t parent) {
    Entry dot = DotEntry(1, uint16_t(cluster));
    StoreLe16(dot, 20, uint16_t(cluster >> 16));
    Entry dotdot = DotEntry(2, uint16_t(parent));
    StoreLe16(dotdot, 20, uint16_t(parent >> 16));
    Put(cluster, 0, dot);
    Put(cluster, 1, dotdot);
  }

  uint64_t TotalSectors() const { return m_total; }
  std::vector<uint8_t>& Bytes() { return m_bytes; }
  std::unique_ptr<ByteSource> Source() const {
    return std::make_unique<MemoryByteSource>(std::vector<uint8_t>(m_bytes));
  }

 private:
  uint32_t m_spc;
  uint64_t m_fatSectors;
  uint64_t m_total;
  std::vector<uint8_t> m_bytes;
};

// A deleted file entry: 0xE5, then the rest of an 11-byte name.
inline Entry DeletedFile(const char* name11, uint32_t cluster, uint32_t size) {
  Entry e = FileEntry(name11);
  e[0] = 0xE5;                                // deleted
  StoreLe16(e, 20, uint16_t(cluster >> 16));  // first cluster, high word
  StoreLe16(e, 26, uint16_t(cluster));        // first cluster, low word
  StoreLe32(e, 28, size);                     // size
  return e;
}

// A folder entry naming `cluster`, deleted or not.
inline Entry Folder(const char* name11, uint32_t cluster, bool deleted) {
  Entry e = FolderEntry(name11);
  if (deleted) e[0] = 0xE5;                   // deleted
  StoreLe16(e, 20, uint16_t(cluster >> 16));  // first cluster, high word
  StoreLe16(e, 26, uint16_t(cluster));        // first cluster, low word
  return e;
}

// A long-name part holding `text` (at most 13 ASCII characters, NUL-ended
// and 0xFFFF-filled when shorter), deleted.
inline Entry DeletedLongPart(const char* text) {
  Entry e = LongNamePart(0x41, 0);
  static constexpr size_t kCharAt[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  const size_t n = std::strlen(text);
  for (size_t k = 0; k < 13; ++k)
    StoreLe16(e, kCharAt[k], k < n ? uint16_t(uint8_t(text[k])) : k == n ? 0 : 0xFFFF);
  e[0] = 0xE5;  // deleted: the sequence number is gone
  return e;
}

}  // namespace brinvale::testing
