#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "common/read_bytes.h"
#include "device/sector_reader.h"
#include "engines/ntfs/ntfs_volume.h"
#include "results/recovery_engine.h"
#include "results/scan_log_store.h"

// Copying a found NTFS file out of the volume, shared by the NTFS engines:
// the data is read from the file's own record (log offset 70), placed with
// the log record's cluster size (offset 26) from its file-system start
// (offset 78).
namespace brinvale {

// Sink for copied file data; returns 0, a system error, or kNtfsSinkFull
// to stop without an error.
using NtfsDataSink = std::function<int(const uint8_t* data, size_t length)>;
// Takes a file's data that came in one piece, instead of the sink: the
// first `length` bytes of `bytes`, which it may move out. Returns as the
// sink does.
using NtfsWholeDataSink = std::function<int(ReadBytes& bytes, size_t length)>;
// Told after each chunk: percent done; a non-zero answer stops the copy.
using NtfsChunkProgress = std::function<int(int percent)>;
inline constexpr int kNtfsSinkFull = -1;

// Reads the file of `record` and hands its data to `sink` in chunks of at
// most 64 KiB: the resident value, or every run of its unnamed $DATA (whole
// run lists, sparse runs as zeros), up to the logged file size. `volume`
// gives the sector and record geometry and, through its start, cluster size
// and MFT runs, where attribute lists and extension records lie. Borrows
// everything. Returns 0, 30 when the record no longer leads to the data or
// its runs end before the file does, the read's or the sink's error, or the
// progress callback's stop value. `resident` tells which path was taken.
// With `whole`, a file whose data is read in one chunk goes to `whole`
// instead of `sink`.
int CopyNtfsFileData(const NtfsVolume& volume, SectorReader& reader, const ScanRecord& record,
                     const NtfsDataSink& sink, const NtfsChunkProgress& progress, bool& resident,
                     const NtfsWholeDataSink& whole = {});

// Copies the file of `record` to `target` (created or replaced), telling
// `copy` (may be null) of each chunk and of the end. A copy that fails or
// is stopped before its end leaves what it wrote as "name.partial.ext" (an
// empty file is removed), reported under that path, a stopped one with
// kCancelled. Returns as above, or the system error of the target.
int CopyNtfsFileToPath(const NtfsVolume& volume, SectorReader& reader, const ScanRecord& record,
                       const std::filesystem::path& target, CopyProgressCallback copy, void* user);

// Copies one found file to a path; kCancelled ends the whole recovery.
using NtfsCopyFile = std::function<int(const ScanRecord&, const std::filesystem::path&)>;
// Lists an item that could not be recovered (a folder that cannot be made,
// a name the target cannot take) with its error; kCancelled ends the whole
// recovery.
using NtfsReportFailure = std::function<int(const std::filesystem::path& path, int error)>;

// Copies folder `record` and everything below it into `target`, listing
// through `engine` and copying each file with `copyFile`. `store` (may be
// null) gives the folder's level. Names are cut to the target's lengths and
// a path too long is cut from the top (ChildTargetPath, with `separators`
// of the recovery folder). Returns the last listing's or copy's result;
// kCancelled ends the whole recovery.
int RecoverNtfsFolder(IRidiRedazuvoParse& engine, ScanLogStore* store, const ScanRecord& record,
                      const std::filesystem::path& target, int separators,
                      const NtfsCopyFile& copyFile, const NtfsReportFailure& reportFailure);

// Recovers `record` to `target`: a file through `copyFile`, its folder
// created first; a folder as RecoverNtfsFolder does.
int RecoverNtfsRecord(IRidiRedazuvoParse& engine, ScanLogStore* store, const ScanRecord& record,
                      const std::filesystem::path& target, int separators,
                      const NtfsCopyFile& copyFile, const NtfsReportFailure& reportFailure);

// The preview extraction of slot 13: to a file in `previewFolder` (its path
// written back into `path`) or into `buffer`, at most `size` bytes (`size`
// then gives the bytes placed). A target file is deleted when the copy
// fails.
int ExtractNtfsFile(const NtfsVolume& volume, SectorReader& reader, const ScanRecord& record,
                    const std::filesystem::path& previewFolder, std::filesystem::path& path,
                    uint8_t* buffer, uint64_t& size, ExtractProgressCallback callback, void* user);

// The absolute sector where the file's data starts: the record is read at
// log offset 70 and its first run of the unnamed $DATA placed from offset
// 78 with the cluster size at offset 26. False for resident data, no runs,
// a sparse first run, or a record that cannot be read.
bool NtfsFirstDataSector(const NtfsVolume& volume, SectorReader& reader, const ScanRecord& record,
                         uint64_t& sector);

}  // namespace brinvale
