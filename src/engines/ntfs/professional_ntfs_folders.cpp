// The folders of the formatted-NTFS engine: parent chains read through the
// MFT that owns each record, and the pass that writes the folders after
// the scan.
#include <new>
#include <unordered_set>
#include <vector>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/ntfs/file_record.h"
#include "engines/ntfs/fixups.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/professional_ntfs_state.h"
#include "engines/ntfs/record_names.h"
#include "engines/ntfs/record_to_sector.h"
#include "platform/text.h"

namespace brinvale {
namespace {

using namespace ntfs;

// No real path is this deep; a longer chain is damage, not a tree.
constexpr uint32_t kMaxChainSteps = 4096;

// Reads record `number` through `view` into `buffer` (record size bytes)
// with the fix-up applied. Returns 0, the read's error, 87 when the view
// cannot place it, or -1 when it is not a FILE record whose header lies
// within the record.
int ReadFolderRecord(const ProNtfsView& view, SectorReader& reader, uint32_t number,
                     std::vector<uint8_t>& buffer, uint64_t& sector) {
  if (int rc = RecordToSector(view.locator, number, sector); rc != kOk) return rc;
  if (int rc = ReadRecord(view.locator, reader, sector, buffer); rc != kOk) return rc;
  if (!HasFileSignature(buffer)) return kNotFileRecord;
  const uint32_t size = view.locator.recordSize;
  ApplyFixups(buffer, size);
  const uint32_t first = FirstAttributeOffset(buffer);
  const uint32_t inUse = BytesInUse(buffer);
  if (first >= size || inUse > size || first > inUse) return kNotFileRecord;
  return kOk;
}

// Whether a repaired record is still folder `number`.
bool IsFolderRecord(std::span<const uint8_t> record, uint32_t number) {
  return (RecordFlags(record) & record::kFlagDirectory) != 0 && RecordNumberOf(record) == number &&
         BaseRecordNumberOf(record) == 0;
}

}  // namespace

void CProfessionalNtfsRecovery::AddFolder(uint32_t number, size_t view) {
  if (m_state->folderIndex.count(number) != 0) return;
  m_state->folderIndex.emplace(number, m_state->folders.size());
  m_state->folders.push_back({number, view});
}

int CProfessionalNtfsRecovery::ParentChain(uint32_t parent, size_t view, uint32_t self,
                                           uint32_t& level, bool& selfOnCycle) {
  level = 0;
  selfOnCycle = false;
  std::vector<uint32_t> path;  // the folders walked, innermost first
  std::unordered_set<uint32_t> visited{self};
  uint32_t p = parent;
  uint64_t sector = 0;
  while (p != kRootRecord && level < kMaxChainSteps) {
    if (visited.count(p) != 0) {
      // A cycle: its folders are lost folders at the top level (level 1),
      // so this record sits one below the first of them it reached.
      if (p == self) {
        selfOnCycle = true;
      } else {
        for (size_t i = 0; i < path.size(); ++i)
          if (path[i] == p) level = uint32_t(i + 1);
      }
      return kOk;
    }
    visited.insert(p);
    path.push_back(p);
    AddFolder(p, view);
    ++level;
    const int rc = ReadFolderRecord(m_state->views[view], m_reader, p, m_state->chain, sector);
    if (rc > 0 && rc != kErrInvalidParameter) return rc;  // a read error ends this chain only
    if (rc != kOk || !IsFolderRecord(m_state->chain, p)) return kOk;
    const RecordNames names =
        ReadRecordNames(m_state->chain, m_volume.recordSize, WalkKind::kParentChain);
    if (!names.found) return kOk;
    p = uint32_t(names.first.parentRecord);
  }
  return kOk;
}

void CProfessionalNtfsRecovery::WriteLostFolder(uint32_t number) {
  ScanRecord r;
  r.SetSourceKey(m_volume.driveLetter);
  r.SetEngine(kEngineCode);
  r.SetIsFolder(true);
  r.SetContentCheck(1);
  r.SetEntryKey(number);
  r.SetClusterBytes(m_sectorsPerCluster * m_volume.bytesPerSector);
  const std::string name = "LostFolder" + std::to_string(number);
  r.SetName(name);
  const uint32_t logged = m_store->AppendRecord(r);
  m_store->AddRelation(kRootRecord, logged, number, name);
}

void CProfessionalNtfsRecovery::AnalyseFolder(uint32_t expected, size_t view, uint64_t sector) {
  const std::vector<uint8_t>& record = m_state->record;
  if (!IsFolderRecord(record, expected)) {
    WriteLostFolder(expected);
    return;
  }
  const RecordNames names = ReadRecordNames(record, m_volume.recordSize, WalkKind::kParentChain);
  if (!names.found) {
    WriteLostFolder(expected);
    return;
  }
  const ProNtfsView& v = m_state->views[view];
  const uint32_t spc = v.contiguous ? m_sectorsPerCluster : v.locator.sectorsPerCluster;
  const uint64_t fsStart = v.fsStart;
  const uint32_t parent = uint32_t(names.first.parentRecord);
  uint32_t level = 0;
  bool onCycle = false;
  (void)ParentChain(parent, view, expected, level, onCycle);
  if (onCycle) {
    WriteLostFolder(expected);
    return;
  }

  ScanRecord r;
  r.SetSourceKey(m_volume.driveLetter);
  r.SetEngine(kEngineCode);
  r.SetIsFolder(true);
  r.SetContentCheck(1);
  r.SetEntryKey(expected);
  r.SetClusterBytes(spc * m_volume.bytesPerSector);
  r.SetCreated(names.first.created);
  r.SetAccessed(names.first.accessed);
  r.SetWritten(names.first.modified);
  r.SetFileSize(names.size);
  r.SetMetadataSector(sector);
  r.SetPartitionStart(fsStart);
  r.SetName(platform::Utf16ToUtf8(names.name));
  const std::string name(r.Name());
  const uint32_t logged = m_store->AppendRecord(r);
  m_store->AddRelation(uint64_t(parent == kRootRecord ? 0 : level) << 32 | parent, logged, expected,
                       name);
}

int CProfessionalNtfsRecovery::RunFolderPass() {
  try {
    if (int rc = EnsureStore(); rc != kOk) return rc;
    if (!m_open) return kErrInvalidHandle;
    int result = kOk;
    // Folders met while this pass walks up from a folder join the list and
    // are written in turn.
    for (size_t i = 0; i < m_state->folders.size(); ++i) {
      const ProNtfsFolder folder = m_state->folders[i];
      uint64_t sector = 0;
      const int rc = ReadFolderRecord(m_state->views[folder.view], m_reader, folder.number,
                                      m_state->record, sector);
      if (rc != kOk) {
        if (rc > 0 && rc != kErrInvalidParameter && result == kOk) result = rc;
        WriteLostFolder(folder.number);
        continue;
      }
      AnalyseFolder(folder.number, folder.view, sector);
    }
    if (int rc = m_store->FlushLog(); rc != kOk && result == kOk) result = rc;
    return result;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

}  // namespace brinvale
