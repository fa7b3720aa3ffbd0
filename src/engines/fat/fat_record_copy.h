#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "engines/fat/fat_copy_sink.h"
#include "results/recovery_engine.h"
#include "results/scan_record.h"

// Copying found FAT files and folders out of a volume, shared by the FAT
// engines; each engine supplies how a record's data is read and how a
// folder's children are listed.
namespace brinvale {

// Clusters larger than this (100 MiB) are refused by recovery and
// extraction with 29: no FAT volume has them, so the boot sector or the
// learnt layout that claims them is damaged.
inline constexpr uint32_t kMaxFatClusterBytes = 100u << 20;

// Reads the data of `record` into `sink`, at most `limit` bytes of its size.
using FatCopyData = std::function<int(const ScanRecord& record, uint64_t limit, FatCopySink& sink)>;
// Lists the found children of `folder`, which lies `level` folders below
// the recovery folder.
using FatListFolder =
    std::function<int(const ScanRecord& folder, uint32_t level, RecordList& out)>;
// Recovers one found file to `path`; setting `stop` ends the whole recovery
// with the returned result.
using FatRecoverFile =
    std::function<int(const ScanRecord& file, const std::filesystem::path& path, bool& stop)>;
// Lists an item that could not be recovered (a folder that cannot be made,
// a name the target cannot take) with its error; kCancelled ends the whole
// recovery.
using FatReportFailure = std::function<int(const std::filesystem::path& path, int error)>;

// Copies the file of `record` to `target` (created or truncated), telling
// `callback` (may be null) of the progress. Every file ends with one report
// of 100 % and its error; a copy that fails or is stopped before its end
// leaves what it wrote as "name.partial.ext" (an empty file is removed),
// reported under that path, a stopped one with kCancelled. A record whose
// cluster size is above `maxClusterBytes` fails with 29 before the target
// is touched. `stopped` tells whether the callback's answer ended the copy;
// that answer is then returned.
int RecoverFatFile(const ScanRecord& record, const std::filesystem::path& target,
                   uint32_t maxClusterBytes, CopyProgressCallback callback, void* user,
                   const FatCopyData& copyData, bool& stopped);

// Recovers everything found below folder `record` into the existing folder
// `target`, which lies `level` folders below the recovery folder (whose
// CountSeparators is `separators`), breadth first: subfolders are created,
// files handed to `recoverFile`, each folder entered once. A found name
// never leads out of its folder; it is cut to the target's lengths, a path
// too long is cut from the top (ChildTargetPath), and a name already taken
// gets "(1)". Folders and names that cannot be made go to `reportFailure`.
// Returns the first error met, or the result a file stopped on.
int RecoverFatFolder(const ScanRecord& record, const std::filesystem::path& target, int separators,
                     uint32_t level, const FatListFolder& listFolder,
                     const FatRecoverFile& recoverFile, const FatReportFailure& reportFailure);

// The preview extraction: to a file in `previewFolder` (its path written
// back into `path`), or into `buffer`, at most `size` bytes, when no
// preview file can be named. `size` gives the bytes placed in `buffer`; for
// a file it stays 0 unless `sizeFromRecord`, when a finished file reports
// the record's size. A file whose copy fails is deleted. A record whose
// cluster size is above `maxClusterBytes` fails with 29 before anything is
// written.
int ExtractFatRecord(const ScanRecord& record, const std::filesystem::path& previewFolder,
                     std::filesystem::path& path, uint8_t* buffer, uint64_t& size,
                     ExtractProgressCallback callback, void* user, uint32_t maxClusterBytes,
                     const FatCopyData& copyData, bool sizeFromRecord);

}  // namespace brinvale
