#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "common/read_bytes.h"
#include "common/sha256.h"
#include "platform/file.h"
#include "results/scan_record.h"

// Writing one recovered file from its start: the bytes are hashed as they
// go out, the record's times are set on the open file, and a file written
// whole is noted (NoteWrittenFile) with its size and SHA-256 for the
// recovery manifest.
//
// With a WriteBehind in place on the thread, a file is held in memory
// instead while it stays small, and handed to the WriteBehind whole when it
// is finished: its creation and its write errors then come from there. A
// file that grows past the limit, or that is closed unfinished, is written
// here after all, so an unfinished copy is on the target as before.
namespace brinvale {

class WriteBehind;

class RecoveredFileWriter {
 public:
  RecoveredFileWriter() = default;
  ~RecoveredFileWriter();
  RecoveredFileWriter(const RecoveredFileWriter&) = delete;
  RecoveredFileWriter& operator=(const RecoveredFileWriter&) = delete;

  // Creates `target`, or truncates a file there. Returns 0 or the system
  // error.
  int Open(const std::filesystem::path& target);
  // Appends all `length` bytes. Returns 0 or the system error; after an
  // error the file is never noted.
  int Write(const uint8_t* data, size_t length);
  // Appends the first `length` bytes of `bytes` (at most its size). Where
  // they are the first bytes of a file held for a WriteBehind, the vector
  // itself is kept instead of its bytes copied, and `bytes` is left empty.
  int WriteTaking(ReadBytes& bytes, size_t length);
  // The file is whole: gives it the times of `record` (ApplyRecordTimes),
  // closes it and notes what was written. Nothing is noted after a failed
  // write.
  void Finish(const ScanRecord& record);
  // Closes the file without a note: its copy failed or was stopped.
  void Close();

  bool IsOpen() const { return m_held != nullptr || m_file.IsOpen(); }
  uint64_t Written() const { return m_written; }

 private:
  // Writes the bytes held so far into the file on this thread; from then
  // on the file is written here. With `release`, its claim is given up.
  // Returns 0 or the system error.
  int WriteHeldHere(bool release);

  WriteBehind* m_held = nullptr;  // the WriteBehind the bytes are held for
  ReadBytes m_bytes;              // the bytes held
  platform::UniqueHandle m_file;
  std::filesystem::path m_target;
  Sha256 m_hash;
  uint64_t m_written = 0;
  bool m_failed = false;
};

}  // namespace brinvale
