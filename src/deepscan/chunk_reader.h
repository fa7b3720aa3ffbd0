#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "deepscan/sizing_context.h"

// The sizers' common walk: read on from the sector after a candidate's start
// in 64 KiB chunks, report progress after each, and stop at a size cap, a
// failed read, the end of the medium, a cancel, or the first sector that
// starts another file or holds file-system metadata.
namespace brinvale {

inline constexpr uint64_t kMiB = 1024 * 1024;
inline constexpr uint64_t kGiB = 1024 * kMiB;

// Which detections end a file. MPEG streams hold sectors that look like new
// MPEG starts, so the MPEG sizer does not stop at those. So do MPEG audio
// Layer II streams: every frame of a stream begins with the same four bytes
// the MP2 row detects, and one frame in nine of a 384 kbit/s stream starts
// a sector.
enum class NextStartRule { kAnyFormat, kIgnoreMpeg, kIgnoreMp2 };

// File-system metadata that ends any file being sized: NTFS file records,
// index and restart pages, "$STA" log names, FAT, FAT32, NTFS and exFAT boot
// sectors, and FAT directory sectors. Needs a sector of at least 32 bytes.
bool IsFileSystemMetadata(std::span<const uint8_t> sector);

// A sector (at the context's current sector) starts another file.
bool IsNextStart(SizingContext& ctx, std::span<const uint8_t> sector, NextStartRule rule);

// Borrows `ctx` for its lifetime. `capBytes` limits the bytes read after
// the start sector.
class ChunkReader {
 public:
  ChunkReader(SizingContext& ctx, uint64_t capBytes, NextStartRule rule);
  ChunkReader(const ChunkReader&) = delete;
  ChunkReader& operator=(const ChunkReader&) = delete;

  // Makes the first sector of the candidate (when `buffer` holds all of it)
  // the sector before the first chunk, so that searches see it.
  void SetStartSector(std::span<const uint8_t> buffer);

  // Reads and checks the next chunk. False when the sizing is over.
  bool Next();

  // The sectors of the current chunk that belong to the file (all of them,
  // or those before a next start), at file offset FileOffset().
  std::span<const uint8_t> FilePart() const { return m_filePart; }
  uint64_t FileOffset() const { return m_fileOffset; }
  // The sector before the chunk (the last one the file had in the previous
  // chunk, or the start sector) followed by FilePart(), at WindowOffset().
  // Searching the window finds markers that straddle two chunks.
  std::span<const uint8_t> Window() const { return m_window; }
  uint64_t WindowOffset() const { return m_fileOffset - m_tailBytes; }
  // Where a search for a marker of `length` bytes starts in Window() so as
  // to find only markers that end in the new bytes of this chunk...
  size_t NewBytesFrom(size_t length) const {
    return m_tailBytes - std::min(m_tailBytes, length - 1);
  }
  // ... or that also lie wholly in the start sector, on the first chunk.
  size_t SearchFrom(size_t length) const { return m_first ? 0 : NewBytesFrom(length); }
  // A next start was met in the current chunk: this is the last one.
  bool MetNextStart() const { return m_metNextStart; }
  // Bytes of the file counted so far: the start sector plus the sectors read
  // that belong to it.
  uint64_t Counted() const { return m_counted; }

 private:
  SizingContext& m_ctx;
  uint64_t m_capBytes;
  NextStartRule m_rule;
  uint64_t m_sectorsRead = 0;
  uint64_t m_counted;
  uint64_t m_fileOffset = 0;
  std::span<const uint8_t> m_filePart;
  std::span<const uint8_t> m_window;
  size_t m_tailBytes = 0;
  bool m_first = true;
  bool m_haveTail = false;
  bool m_metNextStart = false;
  bool m_done = false;
};

// Sizes a file that ends only at a next start (or the cap).
uint64_t SizeUntilNextStart(SizingContext& ctx, uint64_t capBytes,
                            NextStartRule rule = NextStartRule::kAnyFormat);

}  // namespace brinvale
