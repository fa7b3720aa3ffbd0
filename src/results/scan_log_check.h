#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The check kept beside a recorded full scan's logs, so that a later scan
// continues only logs that are still what was recorded. It lists every log
// file of the folder with its byte length and checksum when the scan was
// recorded, in the folder's file ".logcheck" (a name beginning with ".",
// which FindScanLogFile skips). Text, one line per file, in name order:
//
//   brinvale scan-log check 1
//   <length in decimal> <FNV-1a 64 checksum, 16 lower-case hex digits> <name>
namespace brinvale {

inline constexpr std::string_view kScanLogCheckName = ".logcheck";
// A folder holds the three files of each of a few engines' logs; a check
// listing more is not one this program wrote.
inline constexpr size_t kMaxCheckedLogFiles = 1000;

struct CheckedLogFile {
  std::string name;  // UTF-8, no folder
  uint64_t length = 0;
  uint64_t checksum = 0;

  bool operator==(const CheckedLogFile&) const = default;
};

// How a folder's logs compare with their check.
enum class ScanLogState {
  kIntact,          // every file as recorded, and the records as counted
  kNoCheck,         // no check file, or one that cannot be read or parsed
  kFileMissing,     // a recorded file is gone
  kFileAdded,       // a file that was not recorded is among the logs
  kLengthDiffers,   // a file was cut or grew
  kContentDiffers,  // a file has its length but other bytes
  kRecordCount,     // the record files hold another number of records
};

struct ScanLogVerdict {
  ScanLogState state = ScanLogState::kNoCheck;
  std::string file;      // the file concerned, when there is one
  uint64_t records = 0;  // kRecordCount: the records the files hold
};

// The text of a check listing `files` (in the order given).
std::string SerializeScanLogCheck(const std::vector<CheckedLogFile>& files);

// Parses a check's text; false (with `files` empty) when it is not one:
// a wrong first line, a malformed line, a name that is empty, begins with
// ".", or holds a separator or a control character, a repeated name, more
// than kMaxCheckedLogFiles files, or a last line without its line feed.
bool ParseScanLogCheck(std::span<const uint8_t> text, std::vector<CheckedLogFile>& files);

// Every log file of `folder` (regular files whose names do not begin with
// "."), in name order, with its length and checksum. Returns 0 or the
// system error of listing or reading the folder.
int MeasureScanLogs(const std::filesystem::path& folder, std::vector<CheckedLogFile>& files);

// Writes the check of `folder` as its logs stand now, through a temporary
// file put in place in one step. The folder is created when missing.
// Returns 0 or a system error code.
int WriteScanLogCheck(const std::filesystem::path& folder);

// The records that `files` hold: for each record file (a name that does
// not end in "_Relation" or "_DirInfo"), its length over the 346-byte
// record size.
uint64_t RecordsInLogs(const std::vector<CheckedLogFile>& files);

// Compares `folder`'s logs with its check, and the records their record
// files hold with `records` (the count recorded with the scan).
ScanLogVerdict VerifyScanLogs(const std::filesystem::path& folder, uint64_t records);

}  // namespace brinvale
