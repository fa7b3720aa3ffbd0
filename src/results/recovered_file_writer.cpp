#include "results/recovered_file_writer.h"

#include <span>

#include "common/error_codes.h"
#include "results/record_times.h"
#include "results/written_files.h"

namespace brinvale {

int RecoveredFileWriter::Open(const std::filesystem::path& target) {
  Close();
  m_target = target;
  m_hash = Sha256();
  m_written = 0;
  m_failed = false;
  return platform::OpenFile(target, platform::OpenMode::kWriteTruncate, m_file);
}

int RecoveredFileWriter::Write(const uint8_t* data, size_t length) {
  const int rc = platform::WriteAll(m_file, m_written, data, length);
  if (rc != kOk) {
    // Some of the bytes may be in the file: what it holds is unknown now.
    m_failed = true;
    return rc;
  }
  m_hash.Update(std::span<const uint8_t>(data, length));
  m_written += length;
  return kOk;
}

void RecoveredFileWriter::Finish(const ScanRecord& record) {
  if (!m_file.IsOpen()) return;
  (void)ApplyRecordTimes(record, m_file);
  m_file.Reset();
  if (!m_failed) NoteWrittenFile(m_target, {m_written, m_hash.HexDigest()});
}

void RecoveredFileWriter::Close() { m_file.Reset(); }

}  // namespace brinvale
