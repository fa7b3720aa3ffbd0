#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "device/byte_source.h"
#include "engines/recovery_engine.h"
#include "engines/volume_recognition.h"

namespace brinvale {

enum class ScanMode : int { kQuick = 0, kFull = 1 };

// Reads the first 16 KiB of the partition and makes the engine for the
// recognised file system and mode, already opened with OpenPartition (its
// open result is not examined: later operations report it). Null when the
// disk cannot be opened, the 16 KiB cannot be read whole, or in quick mode
// when no file system is recognised.
std::unique_ptr<IRidiRedazuvoParse> CreateEngineForPartition(int diskNumber, uint64_t start,
                                                             uint64_t count,
                                                             char16_t driveLetter,
                                                             ScanMode mode);

// The same for an image file, opened with OpenImage.
std::unique_ptr<IRidiRedazuvoParse> CreateEngineForImage(const std::filesystem::path& path,
                                                         char16_t driveLetter, ScanMode mode);

// The engine class for a recognised kind and mode, not yet opened; null where
// no engine exists (an unrecognised volume in quick mode, or an engine not
// built into this version).
std::unique_ptr<IRidiRedazuvoParse> MakeEngine(VolumeKind kind, ScanMode mode);

// Reads the recognition bytes at byte `offset` of `source`; 0, or 30 when
// fewer than 16 KiB arrive.
int ReadRecognitionBytes(ByteSource& source, uint64_t offset,
                         std::span<uint8_t, kRecognitionBytes> out);

}  // namespace brinvale
