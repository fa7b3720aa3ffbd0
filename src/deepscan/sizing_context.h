#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "device/sector_reader.h"
#include "results/recovery_engine.h"

namespace brinvale {

// Sectors of one transport stream sized earlier in the scan, inclusive.
struct StreamRange {
  uint64_t first = 0;
  uint64_t last = 0;
};

// What the content scan tells its progress callback while a long sizing
// reads on through a file.
struct SizingProgress {
  ScanProgressCallback callback = nullptr;  // may be null
  void* user = nullptr;
  int scale = 100;
  int secondsLeft = -1;
  uint64_t sectorsScanned = 0;  // the scan's position before this candidate
  uint64_t totalSectors = 0;
  uint64_t filesFound = 0;
};

// The state shared by the detectors and sizers during one content scan: the
// medium, the candidate's position, the progress values, the stream flags
// and ranges, and two 64 KiB buffers (the sizers' chunk buffer and a
// scratch buffer for the detectors that read the medium; the sizers' next-
// start test runs detectors while a chunk sits in the chunk buffer).
//
// One context belongs to one engine (or one scan) and is used by one thread
// at a time; two engines never share one. Borrows `reader` (must outlive
// every call made with this context).
struct SizingContext {
  static constexpr size_t kChunkBytes = 65536;
  // Sector sizes the context reads with; anything else fails every read.
  static constexpr uint32_t kMaxBytesPerSector = 4096;

  // Allocates the two buffers (may throw std::bad_alloc).
  SizingContext();
  SizingContext(const SizingContext&) = delete;
  SizingContext& operator=(const SizingContext&) = delete;

  // Points the context at a candidate: start and current sector = `sector`.
  void SetCandidate(SectorReader& medium, uint32_t sectorBytes, uint64_t sector);

  // Reads `count` sectors at absolute `sector` into `out` (count x bytes
  // per sector long). Returns 0, 87 past the end of the medium or for a bad
  // sector size, 6 without a reader, 30 for a failed read.
  int Read(uint64_t sector, uint32_t count, std::span<uint8_t> out);

  // Reads `length` bytes at the byte `offset` from the start of the medium
  // into the scratch buffer and gives a view of them; `length` + one sector
  // must fit in the scratch buffer. Returns the same codes as Read.
  int ReadBytes(uint64_t offset, size_t length, std::span<const uint8_t>& view);

  bool InStreamRange(uint64_t sector) const;

  std::span<uint8_t> ChunkBuffer() { return {m_chunk.get() + kMaxBytesPerSector, kChunkBytes}; }
  // The chunk buffer with one sector of room in front of it, where the
  // sizers keep the sector before a chunk so that markers split between
  // the two are found.
  std::span<uint8_t> ChunkArea() { return {m_chunk.get(), kMaxBytesPerSector + kChunkBytes}; }
  std::span<uint8_t> Scratch() { return {m_scratch.get(), kScratchBytes}; }

  SectorReader* reader = nullptr;
  uint32_t bytesPerSector = 512;
  uint64_t startSector = 0;
  uint64_t currentSector = 0;  // advanced by the next-start test
  SizingProgress progress;
  uint64_t sectorsReadBySizing = 0;
  int stopValue = 0;  // the progress callback's last non-zero answer
  bool inStream = false;
  bool afterMts = false;
  std::vector<StreamRange> streamRanges;

 private:
  static constexpr size_t kScratchBytes = kChunkBytes + 2 * kMaxBytesPerSector;
  std::unique_ptr<uint8_t[]> m_chunk;
  std::unique_ptr<uint8_t[]> m_scratch;
};

}  // namespace brinvale
