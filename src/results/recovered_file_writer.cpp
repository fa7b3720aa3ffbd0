#include "results/recovered_file_writer.h"

#include <span>

#include "common/error_codes.h"
#include "results/record_times.h"
#include "results/write_behind.h"
#include "results/written_files.h"

namespace brinvale {

RecoveredFileWriter::~RecoveredFileWriter() { Close(); }

int RecoveredFileWriter::Open(const std::filesystem::path& target) {
  Close();
  m_target = target;
  m_hash = Sha256();
  m_written = 0;
  m_failed = false;
  if (WriteBehind* behind = CurrentWriteBehind(); behind != nullptr) {
    behind->Claim(target);
    m_held = behind;
    m_bytes.clear();
    return kOk;
  }
  return platform::OpenFile(target, platform::OpenMode::kWriteTruncate, m_file);
}

int RecoveredFileWriter::WriteHeldHere(bool release) {
  WriteBehind* behind = m_held;
  m_held = nullptr;
  // Like the writers, never over anything: the probe found the name free
  // from what the recovery made (WriteBehind::SurelyFree), and whatever
  // another program put there since stays as it is.
  int rc = platform::OpenFile(m_target, platform::OpenMode::kWriteNew, m_file);
  if (rc == kOk) rc = platform::WriteAll(m_file, 0, m_bytes.data(), m_bytes.size());
  ReadBytes().swap(m_bytes);
  // The file is on the target now, or its error is known here.
  if (release) behind->Unclaim(m_target);
  if (rc != kOk) m_failed = true;
  return rc;
}

int RecoveredFileWriter::Write(const uint8_t* data, size_t length) {
  if (m_held != nullptr) {
    if (m_written + length <= WriteBehind::kMostFileBytes) {
      m_bytes.insert(m_bytes.end(), data, data + length);
      m_written += length;
      return kOk;
    }
    // Too large to hold: the hash of what was held is taken here.
    m_hash.Update(std::span<const uint8_t>(m_bytes));
    if (int rc = WriteHeldHere(true); rc != kOk) return rc;
  }
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

int RecoveredFileWriter::WriteTaking(ReadBytes& bytes, size_t length) {
  if (length > bytes.size()) return kErrInvalidParameter;
  if (m_held != nullptr && m_written == 0 && m_bytes.empty() &&
      length <= WriteBehind::kMostFileBytes) {
    bytes.resize(length);
    m_bytes.swap(bytes);
    bytes.clear();
    m_written = length;
    return kOk;
  }
  return Write(bytes.data(), length);
}

void RecoveredFileWriter::Finish(const ScanRecord& record) {
  if (m_held != nullptr) {
    try {
      m_held->Submit(m_target, m_bytes, TimesOfRecord(record));
      m_held = nullptr;
      m_bytes = {};
    } catch (...) {
      // Not handed over: the file is written here, and ends with how that
      // went, so its report is never left waiting.
      WriteBehind* behind = m_held;
      const int rc = WriteHeldHere(false);
      if (rc == kOk) (void)ApplyRecordTimes(record, m_file);
      m_file.Reset();
      behind->AddEnded(m_target, rc);
    }
    return;
  }
  if (!m_file.IsOpen()) return;
  (void)ApplyRecordTimes(record, m_file);
  m_file.Reset();
  if (!m_failed) NoteWrittenFile(m_target, {m_written, m_hash.HexDigest()});
}

void RecoveredFileWriter::Close() {
  if (m_held != nullptr) {
    // Unfinished: what was read goes onto the target now, as it would have
    // as it was read, and the file ends here.
    // A report the engine made of it as done stays as it was made; its
    // other outcomes the engine reports itself. The path stays claimed
    // until that end is taken, whatever the engine does with the file.
    WriteBehind* behind = m_held;
    (void)WriteHeldHere(false);
    behind->AddEnded(m_target, kOk);
  }
  m_file.Reset();
}

}  // namespace brinvale
