#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "common/sha256.h"
#include "platform/file.h"
#include "results/scan_record.h"

// Writing one recovered file from its start: the bytes are hashed as they
// go out, the record's times are set on the open file, and a file written
// whole is noted (NoteWrittenFile) with its size and SHA-256 for the
// recovery manifest.
namespace brinvale {

class RecoveredFileWriter {
 public:
  RecoveredFileWriter() = default;
  RecoveredFileWriter(const RecoveredFileWriter&) = delete;
  RecoveredFileWriter& operator=(const RecoveredFileWriter&) = delete;

  // Creates `target`, or truncates a file there. Returns 0 or the system
  // error.
  int Open(const std::filesystem::path& target);
  // Appends all `length` bytes. Returns 0 or the system error; after an
  // error the file is never noted.
  int Write(const uint8_t* data, size_t length);
  // The file is whole: gives it the times of `record` (ApplyRecordTimes),
  // closes it and notes what was written. Nothing is noted after a failed
  // write.
  void Finish(const ScanRecord& record);
  // Closes the file without a note: its copy failed or was stopped.
  void Close();

  bool IsOpen() const { return m_file.IsOpen(); }
  uint64_t Written() const { return m_written; }

 private:
  platform::UniqueHandle m_file;
  std::filesystem::path m_target;
  Sha256 m_hash;
  uint64_t m_written = 0;
  bool m_failed = false;
};

}  // namespace brinvale
