#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "device/byte_source.h"
#include "engines/volume_recognition.h"
#include "results/recovery_engine.h"
#include "results/scan_history_interface.h"

namespace brinvale {

enum class ScanMode : int { kQuick = 0, kFull = 1 };

// What the factory hands to every engine it makes.
struct EngineSetup {
  // Where a quick engine keeps its scan logs (the current scan-log folder).
  // A full scan picks its own folder through `history`.
  std::filesystem::path logFolder;
  // Where previews are extracted; empty means the scan-log base folder.
  std::filesystem::path previewFolder;
  // The index of earlier scans that a full scan resumes from and records
  // into. Borrowed, must outlive the engine; without it no full-scan engine
  // is made.
  IScanHistory* history = nullptr;
};

// Reads the first 16 KiB of the partition and makes the engine for the
// recognised file system and mode, already opened with OpenPartition (its
// open result is not examined: later operations report it). Null when the
// disk cannot be opened, the 16 KiB cannot be read whole, or in quick mode
// when no file system is recognised.
std::unique_ptr<IRidiRedazuvoParse> CreateEngineForPartition(int diskNumber, uint64_t start,
                                                             uint64_t count, char16_t driveLetter,
                                                             ScanMode mode,
                                                             const EngineSetup& setup);

// The same for an image file, opened with OpenImage.
std::unique_ptr<IRidiRedazuvoParse> CreateEngineForImage(const std::filesystem::path& path,
                                                         char16_t driveLetter, ScanMode mode,
                                                         const EngineSetup& setup);

// The same for one partition of an image that holds a whole disk: the
// recognition bytes are read at the partition's start (`start` and `count`
// in the image's 512-byte sectors), and the engine is opened with
// OpenImagePartition.
std::unique_ptr<IRidiRedazuvoParse> CreateEngineForImagePartition(
    const std::filesystem::path& path, uint64_t start, uint64_t count, char16_t sourceKey,
    ScanMode mode, const EngineSetup& setup);

// The engine class for a recognised kind and mode, given `setup` but not yet
// opened; null where no engine exists (an unrecognised volume in quick mode,
// an engine not built into this version, or full mode without a history).
std::unique_ptr<IRidiRedazuvoParse> MakeEngine(VolumeKind kind, ScanMode mode,
                                               const EngineSetup& setup);

// Reads the recognition bytes at byte `offset` of `source`; 0, or 30 when
// fewer than 16 KiB arrive.
int ReadRecognitionBytes(ByteSource& source, uint64_t offset,
                         std::span<uint8_t, kRecognitionBytes> out);

}  // namespace brinvale
