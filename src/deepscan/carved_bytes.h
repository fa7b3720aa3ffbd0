#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "deepscan/file_extent_map.h"
#include "device/sector_reader.h"

// One file's bytes as its structure walker sees them: offsets from the
// file's start, bounded by its extent (a carved file's record size, or the
// bytes recovery reads for a file-system find). The bytes lie at one start
// sector (a carved file), in the stretches of an extent map (a FAT chain,
// NTFS runs with sparse runs as zeros) or in memory (resident data).
// Nothing outside [0, extent) is ever read, and each 64 KiB window of the
// file is read from the medium once while the walk stays in it.
namespace brinvale {

class CarvedBytes {
 public:
  static constexpr size_t kWindowBytes = 65536;

  // Borrows `reader` (must outlive this object). `extent` is the record's
  // size in bytes; sectors past the end of the medium read as failures.
  CarvedBytes(SectorReader& reader, uint32_t bytesPerSector, uint64_t startSector, uint64_t extent);
  // The file whose bytes lie in the stretches of `map`; the extent is the
  // smaller of `extent` and the bytes the map holds. Borrows `reader`.
  CarvedBytes(SectorReader& reader, uint32_t bytesPerSector, FileExtentMap map, uint64_t extent);
  // A file held in memory, such as an NTFS file's resident value. Borrows
  // `bytes` (must outlive this object).
  explicit CarvedBytes(std::span<const uint8_t> bytes);
  CarvedBytes(const CarvedBytes&) = delete;
  CarvedBytes& operator=(const CarvedBytes&) = delete;

  uint64_t Extent() const { return m_extent; }
  // Whether `length` bytes at `offset` lie inside the extent.
  bool Holds(uint64_t offset, uint64_t length) const {
    return offset <= m_extent && length <= m_extent - offset;
  }

  // Copies out.size() bytes at `offset`. False when they pass the extent or
  // a read failed (ReadFailed() then says so).
  bool Read(uint64_t offset, std::span<uint8_t> out);
  // The bytes from `offset` to the end of its window (at most `maxLength`),
  // valid until the next call; empty at or past the extent or on a failed
  // read.
  std::span<const uint8_t> View(uint64_t offset, size_t maxLength = SIZE_MAX);

  bool Byte(uint64_t offset, uint8_t& out);
  bool Le16(uint64_t offset, uint16_t& out);
  bool Le32(uint64_t offset, uint32_t& out);
  bool Le64(uint64_t offset, uint64_t& out);
  bool Be16(uint64_t offset, uint16_t& out);
  bool Be32(uint64_t offset, uint32_t& out);
  // `bytes` stand at `offset`.
  bool HasAt(uint64_t offset, std::string_view bytes);

  // Calls `visit`(offset) for every occurrence of `needle` (1 to 64 bytes)
  // in the extent from `from` on, in order; `visit` answers false to stop.
  // False when a read failed.
  bool FindAll(std::string_view needle, const std::function<bool(uint64_t)>& visit,
               uint64_t from = 0);

  // The CRC-32 (ZIP, PNG) of `length` bytes at `offset`, continued from
  // `crc` (0 to start). False when they pass the extent or a read fails.
  bool Crc32(uint64_t offset, uint64_t length, uint32_t& crc);

  bool ReadFailed() const { return m_readFailed; }

 private:
  bool Load(uint64_t window);
  // Fills `out` with the file's bytes from `offset` out of the stretch
  // `piece`; the bytes that arrived.
  size_t FillFromPiece(size_t piece, uint64_t offset, std::span<uint8_t> out);

  SectorReader* m_reader = nullptr;  // null for a file in memory
  uint32_t m_bytesPerSector = 0;
  FileExtentMap m_pieces;
  std::vector<uint64_t> m_pieceStarts;  // file offset of each stretch
  std::span<const uint8_t> m_memory;
  uint64_t m_extent = 0;
  std::unique_ptr<uint8_t[]> m_window;
  uint64_t m_windowIndex = UINT64_MAX;
  size_t m_windowBytes = 0;
  bool m_readFailed = false;
};

// Continues the CRC-32 `crc` (0 to start) over `bytes`.
uint32_t Crc32Continue(uint32_t crc, std::span<const uint8_t> bytes);

}  // namespace brinvale
